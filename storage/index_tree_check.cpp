// TIndexTree: the consistency walk.
#include <vector>

#include "storage/index_tree.h"

namespace rudira {

int64_t TIndexTree::CheckPage(int32_t pageNo, int depth, int& leafDepth, const uint8_t* separator,
                              std::vector<std::vector<int32_t>>& levels, std::vector<bool>& seen) {
  if (depth >= kMaxTreeDepth || pageNo < 1 || pageNo >= file_.NextPageNumber(slot_)) file_.RaiseCorrupt();
  if (seen[pageNo]) file_.RaiseCorrupt();
  seen[pageNo] = true;
  if (static_cast<int>(levels.size()) <= depth) levels.resize(depth + 1);
  levels[depth].push_back(pageNo);
  TPagePin page(Page(pageNo));
  CheckLeafType(page.get(), depth == 0);
  if (page->Overflows()) file_.RaiseCorrupt();
  const int n = page->EntryCount();
  for (int i = 1; i < n; ++i) {
    if (comparer_.Compare(page->Key(i - 1), page->Key(i)) >= 0) file_.RaiseCorrupt();
  }
  if (separator && CompareKeyBytes(separator, page->Key(0), keySize_) != 0) file_.RaiseCorrupt();
  if (page->IsLeaf()) {
    if (leafDepth < 0) leafDepth = depth;
    if (leafDepth != depth) file_.RaiseCorrupt();
    return n;
  }
  int64_t total = 0;
  std::vector<uint8_t> key;
  for (int i = 0; i < n; ++i) {
    key.assign(page->Key(i), page->Key(i) + keySize_);
    const int64_t below = CheckPage(page->Value(i), depth + 1, leafDepth, key.data(), levels, seen);
    if (counts_ && below != page->Count(i)) file_.RaiseCorrupt();
    total += below;
  }
  return total;
}

int64_t TIndexTree::Check() {
  const int32_t root = RootPage();
  if (root == 0) return 0;
  std::vector<std::vector<int32_t>> levels;
  std::vector<bool> seen(static_cast<size_t>(file_.NextPageNumber(slot_)) + 1, false);
  int leafDepth = -1;
  const int64_t total = CheckPage(root, 0, leafDepth, nullptr, levels, seen);
  // Each level is one doubly linked chain in key order.
  for (const auto& level : levels) {
    for (size_t i = 0; i < level.size(); ++i) {
      TPage* page = Page(level[i]);
      const int32_t left = i == 0 ? 0 : level[i - 1];
      const int32_t right = i + 1 == level.size() ? 0 : level[i + 1];
      if (page->LeftSibling() != left || page->RightSibling() != right) file_.RaiseCorrupt();
    }
  }
  return total;
}

}  // namespace rudira
