// TIndexTree: descent, lookup, ordinals and walks.
#include <algorithm>

#include "engine/errors.h"
#include "storage/index_tree.h"

namespace rudira {

TIndexTree::TIndexTree(TIndexFile& file, int slot)
    : file_(file),
      slot_(slot),
      counts_(!file.PageFormat(slot).NoCounts),
      comparer_(file.Comparer(slot)),
      keySize_(file.Definition(slot).KeySize) {
  if (keySize_ <= 0 || keySize_ > kMaxKeySize) file_.RaiseCorrupt();
}

int32_t TIndexTree::CountOf(TPage* page) const {
  return counts_ ? static_cast<int32_t>(page->SubtreeCount()) : 0;
}

void TIndexTree::CheckLeafType(TPage* page, bool root) {
  const uint8_t type = page->PageType();
  const bool ok = root ? (type == kPageRootBranch || type == kPageRootLeaf)
                       : (type == kPageBranch || type == kPageLeaf);
  if (!ok || page->Freed() || page->EntryCount() == 0) file_.RaiseCorrupt();
}

TIndexPath TIndexTree::Descend(const uint8_t* key, int length) { return DescendTo(key, length, nullptr); }

TIndexPath TIndexTree::DescendCounting(const uint8_t* key, int length, int64_t& ordinal) {
  ordinal = 0;
  if (counts_) return DescendTo(key, length, &ordinal);
  const TIndexPath path = DescendTo(key, length, nullptr);
  ordinal = Ordinal(path);
  return path;
}

TIndexPath TIndexTree::DescendTo(const uint8_t* key, int length, int64_t* ordinal) {
  TIndexPath path;
  int32_t pageNo = RootPage();
  if (pageNo == 0) return path;
  for (;;) {
    if (path.Depth >= kMaxTreeDepth) file_.RaiseCorrupt();
    TPage* page = Page(pageNo);
    CheckLeafType(page, path.Depth == 0);
    auto& level = path.Levels[path.Depth++];
    level.Page = pageNo;
    if (page->IsLeaf()) {
      level.Position = page->LowerBound(comparer_, key, length);
      if (ordinal) *ordinal += level.Position;
      return path;
    }
    // A whole key lies in the child of the last branch key not above it.
    // A shorter key is a prefix that equal keys may share across children:
    // the first of them can sit in the child before a branch key equal to
    // the prefix, so the descent takes the last branch key below it (the
    // leaf position may then be that leaf's entry count).
    level.Position = length < keySize_ ? std::max(0, page->LowerBound(comparer_, key, length) - 1)
                                       : page->ChildPosition(comparer_, key, length);
    if (ordinal) *ordinal += page->CountBefore(level.Position);
    pageNo = page->Value(level.Position);
  }
}

int32_t TIndexTree::Find(const uint8_t* key) {
  TIndexPath path = Descend(key, keySize_);
  if (path.Depth == 0) return 0;
  TPage* leaf = Page(path.Leaf().Page);
  const int pos = path.Leaf().Position;
  if (pos >= leaf->EntryCount() || comparer_.Compare(leaf->Key(pos), key) != 0) return 0;
  return leaf->Value(pos);
}

void TIndexTree::ForEach(const std::function<void(const uint8_t*, int32_t)>& visit) {
  int32_t pageNo = RootPage();
  if (pageNo == 0) return;
  // Down the first children to the first leaf, then along the leaf chain.
  for (int depth = 0;; ++depth) {
    if (depth >= kMaxTreeDepth) file_.RaiseCorrupt();
    TPage* page = Page(pageNo);
    CheckLeafType(page, depth == 0);
    if (page->IsLeaf()) break;
    pageNo = page->Value(0);
  }
  std::vector<uint8_t> key(keySize_);
  const int32_t limit = file_.NextPageNumber(slot_);
  for (int32_t steps = 0; pageNo != 0; ++steps) {
    if (steps >= limit) file_.RaiseCorrupt();
    TPagePin page(Page(pageNo));
    if (!page->IsLeaf() || page->Freed()) file_.RaiseCorrupt();
    for (int i = 0; i < page->EntryCount(); ++i) visit(page->Key(i), page->Value(i));
    pageNo = page->RightSibling();
  }
}

int64_t TIndexTree::RecordCount() {
  TPage* root = file_.GetRootPage(slot_);
  if (!root) return 0;
  if (counts_ || root->IsLeaf()) return root->SubtreeCount();
  int64_t n = 0;
  ForEach([&n](const uint8_t*, int32_t) { ++n; });
  return n;
}

int64_t TIndexTree::Ordinal(const TIndexPath& path) {
  if (path.Depth == 0) return 0;
  if (!counts_) {
    // Without counts: the entries of the leaves left of this one.
    const int32_t target = path.Leaf().Page;
    int32_t pageNo = RootPage();
    for (int depth = 0;; ++depth) {
      if (depth >= kMaxTreeDepth || pageNo == 0) file_.RaiseCorrupt();
      TPage* page = Page(pageNo);
      CheckLeafType(page, depth == 0);
      if (page->IsLeaf()) break;
      pageNo = page->Value(0);
    }
    int64_t n = 0;
    const int32_t limit = file_.NextPageNumber(slot_);
    for (int32_t steps = 0; pageNo != target; ++steps) {
      if (pageNo == 0 || steps >= limit) file_.RaiseCorrupt();
      TPage* page = Page(pageNo);
      n += page->EntryCount();
      pageNo = page->RightSibling();
    }
    return n + path.Leaf().Position;
  }
  // From the leaf up: the pages a descent has just read are the most
  // recently used ones, so the lower levels are found in even the smallest
  // cache before the root's turn comes.
  int64_t n = 0;
  for (int i = path.Depth - 1; i >= 0; --i) n += Page(path.Levels[i].Page)->CountBefore(path.Levels[i].Position);
  return n;
}

TIndexPath TIndexTree::PathOfOrdinal(int64_t ordinal) {
  TIndexPath path;
  if (ordinal < 0) return path;
  int32_t pageNo = RootPage();
  if (pageNo == 0) return path;
  if (!counts_) {
    // Without counts: along the leaf chain.
    TIndexPath first;
    for (;;) {
      if (first.Depth >= kMaxTreeDepth) file_.RaiseCorrupt();
      TPage* page = Page(pageNo);
      CheckLeafType(page, first.Depth == 0);
      first.Levels[first.Depth++] = {pageNo, 0};
      if (page->IsLeaf()) break;
      pageNo = page->Value(0);
    }
    const int32_t limit = file_.NextPageNumber(slot_);
    for (int32_t steps = 0; pageNo != 0 && steps < limit; ++steps) {
      TPage* page = Page(pageNo);
      if (ordinal < page->EntryCount()) {
        // The upper levels are not tracked on this path; only the leaf is.
        path.Depth = 1;
        path.Levels[0] = {pageNo, static_cast<int>(ordinal)};
        return path;
      }
      ordinal -= page->EntryCount();
      pageNo = page->RightSibling();
    }
    return path;
  }
  for (;;) {
    if (path.Depth >= kMaxTreeDepth) file_.RaiseCorrupt();
    TPage* page = Page(pageNo);
    CheckLeafType(page, path.Depth == 0);
    auto& level = path.Levels[path.Depth++];
    level.Page = pageNo;
    if (page->IsLeaf()) {
      if (ordinal >= page->EntryCount()) {
        if (path.Depth == 1) return TIndexPath{};  // beyond the end of a root leaf
        file_.RaiseCorrupt();                    // the counts above promised more
      }
      level.Position = static_cast<int>(ordinal);
      return path;
    }
    int i = 0;
    while (i < page->EntryCount() - 1 && ordinal >= page->Count(i)) {
      ordinal -= page->Count(i);
      ++i;
    }
    if (path.Depth == 1 && ordinal >= page->Count(i)) return TIndexPath{};  // beyond the end
    level.Position = i;
    pageNo = page->Value(i);
  }
}

bool TIndexTree::StepAlongLeaves(int32_t& page, int& position, bool forward) {
  TPage* leaf = Page(page);
  if (!leaf->IsLeaf() || position < 0 || position >= leaf->EntryCount()) return false;
  if (forward ? position + 1 < leaf->EntryCount() : position > 0) {
    position += forward ? 1 : -1;
    return true;
  }
  const int32_t next = forward ? leaf->RightSibling() : leaf->LeftSibling();
  if (next == 0) return false;
  TPage* neighbour = Page(next);
  // A sibling that is no leaf with entries contradicts the tree.
  if (!neighbour->IsLeaf() || neighbour->EntryCount() == 0) file_.RaiseCorrupt();
  page = next;
  position = forward ? 0 : neighbour->EntryCount() - 1;
  return true;
}

void TIndexTree::LeafEntry(int32_t page, int position, std::vector<uint8_t>& key, int32_t& recordNo) {
  TPage* leaf = Page(page);
  if (!leaf->IsLeaf() || position < 0 || position >= leaf->EntryCount()) file_.RaiseCorrupt();
  key.assign(leaf->Key(position), leaf->Key(position) + keySize_);
  recordNo = leaf->Value(position);
}

int32_t TIndexTree::LeafRecordNo(int32_t page, int position) {
  TPage* leaf = Page(page);
  if (!leaf->IsLeaf() || position < 0 || position >= leaf->EntryCount()) file_.RaiseCorrupt();
  return leaf->Value(position);
}

void TIndexTree::EntryAt(const TIndexPath& path, std::vector<uint8_t>& key, int32_t& recordNo) {
  TPage* leaf = Page(path.Leaf().Page);
  const int pos = path.Leaf().Position;
  if (pos < 0 || pos >= leaf->EntryCount()) file_.RaiseCorrupt();
  key.assign(leaf->Key(pos), leaf->Key(pos) + keySize_);
  recordNo = leaf->Value(pos);
}

}  // namespace rudira
