// TIndexTree: insert with separator and count updates and page splits, and
// appending ascending entries at the end.
#include <cassert>
#include <functional>
#include <vector>

#include "storage/index_tree.h"

namespace rudira {

void TIndexTree::FixSeparators(const TIndexPath& path, int level) {
  std::vector<uint8_t> first;
  {
    TPage* page = Page(path.Levels[level].Page);
    if (page->EntryCount() == 0) return;
    first.assign(page->Key(0), page->Key(0) + keySize_);
  }
  for (int i = level - 1; i >= 0; --i) {
    TPage* parent = Page(path.Levels[i].Page);
    const int pos = path.Levels[i].Position;
    if (pos >= parent->EntryCount()) file_.RaiseCorrupt();
    parent->SetKey(pos, first.data());
    if (pos != 0) break;
  }
}

void TIndexTree::AdjustCounts(const TIndexPath& path, int level, int delta) {
  if (!counts_) return;
  for (int i = 0; i < level; ++i) {
    TPage* parent = Page(path.Levels[i].Page);
    const int pos = path.Levels[i].Position;
    if (pos >= parent->EntryCount()) file_.RaiseCorrupt();
    parent->SetCount(pos, parent->Count(pos) + delta);
    parent->SetModified(true);
  }
}

bool TIndexTree::Insert(const uint8_t* key, int32_t recordNo) {
  file_.NoteTreeChange();
  if (RootPage() == 0) {
    TPage* root = file_.AllocatePage(slot_);
    root->SetPageType(kPageRootLeaf);
    root->InsertEntry(0, key, recordNo, 0);
    file_.SetRootPage(slot_, root->PageNumber());
    return true;
  }
  const TIndexPath path = Descend(key, keySize_);
  const int level = path.Depth - 1;
  const int pos = path.Leaf().Position;
  {
    TPagePin leaf(Page(path.Leaf().Page));
    if (pos < leaf->EntryCount() && comparer_.Compare(leaf->Key(pos), key) == 0) return false;
    leaf->InsertEntry(pos, key, recordNo, 0);
  }
  if (pos == 0) FixSeparators(path, level);
  AdjustCounts(path, level, +1);
  if (Page(path.Leaf().Page)->Overflows()) Split(path, level);
  return true;
}

void TIndexTree::BalanceCompressedSplit(TPage* left, TPage* right) {
  // Move single entries from the fuller half until both encode within a page.
  for (int guard = left->EntryCount() + right->EntryCount(); guard >= 0; --guard) {
    if (left->CompressedSize() > kPageEntryBytes && left->EntryCount() > 1) {
      left->MoveTailTo(left->EntryCount() - 1, *right);
    } else if (right->CompressedSize() > kPageEntryBytes && right->EntryCount() > 1) {
      right->MoveHeadTo(1, *left);
    } else {
      break;
    }
  }
  if (left->Overflows() || right->Overflows()) file_.RaiseCorrupt();
}

void TIndexTree::Split(const TIndexPath& path, int level) {
  TPagePin page(Page(path.Levels[level].Page));
  const bool wasRoot = page->IsRoot();
  const bool leaf = page->IsLeaf();
  TPagePin fresh(file_.AllocatePage(slot_));
  const uint8_t type = leaf ? kPageLeaf : kPageBranch;
  page->SetPageType(type);
  fresh->SetPageType(type);
  const int n = page->EntryCount();
  page->MoveTailTo((n + 1) / 2, *fresh.get());
  if (page->IsCompressedLeaf()) BalanceCompressedSplit(page.get(), fresh.get());
  fresh->SetLeftSibling(page->PageNumber());
  fresh->SetRightSibling(page->RightSibling());
  if (page->RightSibling() != 0) {
    TPage* right = Page(page->RightSibling());
    if (right->LeftSibling() != page->PageNumber()) file_.RaiseCorrupt();
    right->SetLeftSibling(fresh->PageNumber());
    right->SetModified(true);
  }
  page->SetRightSibling(fresh->PageNumber());
  page->SetModified(true);
  fresh->SetModified(true);

  if (!wasRoot) {
    TPagePin parent(Page(path.Levels[level - 1].Page));
    const int q = path.Levels[level - 1].Position;
    parent->SetCount(q, CountOf(page.get()));
    parent->InsertEntry(q + 1, fresh->Key(0), fresh->PageNumber(), CountOf(fresh.get()));
    if (parent->Overflows()) Split(path, level - 1);
    return;
  }
  TPage* root = file_.AllocatePage(slot_);
  root->SetPageType(kPageRootBranch);
  root->InsertEntry(0, page->Key(0), page->PageNumber(), CountOf(page.get()));
  root->InsertEntry(1, fresh->Key(0), fresh->PageNumber(), CountOf(fresh.get()));
  file_.SetRootPage(slot_, root->PageNumber());
}

void TIndexTree::Append(int64_t count, const std::function<int32_t(int64_t i, uint8_t* key)>& entry) {
  if (count <= 0) return;
  std::vector<uint8_t> key(keySize_);
  int64_t next = 0;
  if (RootPage() == 0) {
    const int32_t recordNo = entry(next++, key.data());
    Insert(key.data(), recordNo);
  }
  file_.NoteTreeChange();
  while (next < count) {
    // The path an insert of a key above all others descends: the last
    // entry of every branch, the end of the last leaf.
    TIndexPath path;
    for (int32_t pageNo = RootPage();;) {
      if (path.Depth >= kMaxTreeDepth) file_.RaiseCorrupt();
      TPage* page = Page(pageNo);
      CheckLeafType(page, path.Depth == 0);
      auto& level = path.Levels[path.Depth++];
      level.Page = pageNo;
      if (page->IsLeaf()) {
        level.Position = page->EntryCount();
        break;
      }
      level.Position = page->EntryCount() - 1;
      pageNo = page->Value(level.Position);
    }
    const int level = path.Depth - 1;
    // Entries go in one after another until the leaf overflows: one by one,
    // each of them would have found the same leaf and no split before.
    int added = 0;
    bool overflows = false;
    {
      TPagePin leaf(Page(path.Leaf().Page));
      while (next < count && !overflows) {
        const int32_t recordNo = entry(next++, key.data());
        assert(leaf->EntryCount() == 0 || comparer_.Compare(leaf->Key(leaf->EntryCount() - 1), key.data()) < 0);
        leaf->InsertEntry(leaf->EntryCount(), key.data(), recordNo, 0);
        ++added;
        overflows = leaf->Overflows();
      }
    }
    AdjustCounts(path, level, added);
    if (overflows) Split(path, level);
  }
}

}  // namespace rudira
