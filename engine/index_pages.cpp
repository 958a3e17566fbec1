#include "engine/index_pages.h"

#include <set>
#include <vector>

namespace rudira {

void FreeIndexPages(TIndexFile& index, int slot) {
  const int32_t root = index.Definition(slot).RootPage;
  if (root == 0) return;
  const int32_t limit = index.NextPageNumber(slot);
  // Collect first: freeing a page clears its entries.
  std::vector<int32_t> pages;
  std::set<int32_t> seen;
  std::vector<int32_t> pending{root};
  while (!pending.empty()) {
    const int32_t pageNo = pending.back();
    pending.pop_back();
    if (pageNo < 1 || pageNo >= limit || !seen.insert(pageNo).second) index.RaiseCorrupt();
    pages.push_back(pageNo);
    TPage* page = index.GetPage(slot, pageNo);
    if (page->IsLeaf()) continue;
    for (int i = 0; i < page->EntryCount(); ++i) pending.push_back(page->Value(i));
  }
  index.SetRootPage(slot, 0);
  for (int32_t pageNo : pages) index.FreePage(index.GetPage(slot, pageNo));
}

}  // namespace rudira
