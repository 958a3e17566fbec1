// TIndexTree: delete with merge, redistribution, reclaiming of emptied
// compressed leaves and root collapse.
#include "storage/index_tree.h"

namespace rudira {

bool TIndexTree::Delete(const uint8_t* key) {
  file_.NoteTreeChange();
  if (RootPage() == 0) return false;
  const TIndexPath path = Descend(key, keySize_);
  const int level = path.Depth - 1;
  const int pos = path.Leaf().Position;
  {
    TPage* leaf = Page(path.Leaf().Page);
    if (pos >= leaf->EntryCount() || comparer_.Compare(leaf->Key(pos), key) != 0) return false;
    leaf->DeleteEntry(pos);
  }
  AdjustCounts(path, level, -1);
  AfterRemoval(path, level, pos);
  return true;
}

void TIndexTree::CollapseRoot() {
  for (int guard = 0; guard < kMaxTreeDepth; ++guard) {
    TPage* root = Page(RootPage());
    if (root->IsLeaf()) {
      if (root->EntryCount() > 0) return;
      file_.FreePage(root);
      file_.SetRootPage(slot_, 0);
      return;
    }
    if (root->EntryCount() > 1) return;
    if (root->EntryCount() == 0) {
      file_.FreePage(root);
      file_.SetRootPage(slot_, 0);
      return;
    }
    TPagePin old(root);
    TPage* child = Page(old->Value(0));
    if (child->IsRoot() || child->Freed()) file_.RaiseCorrupt();
    child->SetPageType(child->IsLeaf() ? kPageRootLeaf : kPageRootBranch);
    child->SetLeftSibling(0);
    child->SetRightSibling(0);
    child->SetModified(true);
    file_.SetRootPage(slot_, child->PageNumber());
    file_.FreePage(old.get());
  }
  file_.RaiseCorrupt();
}

void TIndexTree::RemoveEmptyPage(const TIndexPath& path, int level) {
  TPagePin page(Page(path.Levels[level].Page));
  if (page->LeftSibling() != 0) {
    TPage* left = Page(page->LeftSibling());
    if (left->RightSibling() != page->PageNumber()) file_.RaiseCorrupt();
    left->SetRightSibling(page->RightSibling());
    left->SetModified(true);
  }
  if (page->RightSibling() != 0) {
    TPage* right = Page(page->RightSibling());
    if (right->LeftSibling() != page->PageNumber()) file_.RaiseCorrupt();
    right->SetLeftSibling(page->LeftSibling());
    right->SetModified(true);
  }
  const int32_t removed = page->SubtreeCount();
  file_.FreePage(page.get());
  const int q = path.Levels[level - 1].Position;
  {
    TPage* parent = Page(path.Levels[level - 1].Page);
    if (q >= parent->EntryCount() || parent->Value(q) != path.Levels[level].Page) file_.RaiseCorrupt();
    parent->DeleteEntry(q);
  }
  if (removed != 0) AdjustCounts(path, level - 1, -removed);
  AfterRemoval(path, level - 1, q);
}

void TIndexTree::AfterRemoval(const TIndexPath& path, int level, int pos) {
  TPage* page = Page(path.Levels[level].Page);
  if (page->IsRoot()) {
    CollapseRoot();
    return;
  }
  if (page->EntryCount() == 0 && page->IsCompressedLeaf()) {
    RemoveEmptyPage(path, level);
    return;
  }
  if (pos == 0) FixSeparators(path, level);
  page = Page(path.Levels[level].Page);
  if (!page->IsCompressedLeaf() && 2 * page->EntryCount() < page->Capacity()) Rebalance(path, level);
}

void TIndexTree::Rebalance(const TIndexPath& path, int level) {
  TPagePin parent(Page(path.Levels[level - 1].Page));
  const int q = path.Levels[level - 1].Position;
  if (q >= parent->EntryCount() || parent->Value(q) != path.Levels[level].Page) file_.RaiseCorrupt();
  if (parent->EntryCount() < 2) {
    // No sibling under the same parent (only an inconsistent tree gets here
    // with a non-empty page): an empty page still goes.
    if (Page(path.Levels[level].Page)->EntryCount() == 0) RemoveEmptyPage(path, level);
    return;
  }
  const int leftPos = q > 0 ? q - 1 : 0;
  const int rightPos = leftPos + 1;
  TPagePin left(Page(parent->Value(leftPos)));
  TPagePin right(Page(parent->Value(rightPos)));
  if (left->RightSibling() != right->PageNumber() || right->LeftSibling() != left->PageNumber() ||
      left->IsLeaf() != right->IsLeaf() || left->Freed() || right->Freed()) {
    file_.RaiseCorrupt();
  }
  const bool pageIsLeft = q == leftPos;
  const int total = left->EntryCount() + right->EntryCount();
  if (total < left->Capacity()) {
    const int32_t sum = parent->Count(leftPos) + parent->Count(rightPos);
    if (pageIsLeft) {
      // Merge the page into its right sibling.
      const int32_t outer = left->LeftSibling();
      left->MoveTailTo(0, *right.get());
      right->SetLeftSibling(outer);
      if (outer != 0) {
        TPage* o = Page(outer);
        if (o->RightSibling() != left->PageNumber()) file_.RaiseCorrupt();
        o->SetRightSibling(right->PageNumber());
        o->SetModified(true);
      }
      right->SetModified(true);
      parent->SetCount(rightPos, sum);
      parent->SetKey(rightPos, right->Key(0));
      file_.FreePage(left.get());
      parent->DeleteEntry(leftPos);
      AfterRemoval(path, level - 1, leftPos);
    } else {
      // Merge the page into its left sibling.
      const int32_t outer = right->RightSibling();
      right->MoveHeadTo(right->EntryCount(), *left.get());
      left->SetRightSibling(outer);
      if (outer != 0) {
        TPage* o = Page(outer);
        if (o->LeftSibling() != right->PageNumber()) file_.RaiseCorrupt();
        o->SetLeftSibling(left->PageNumber());
        o->SetModified(true);
      }
      left->SetModified(true);
      parent->SetCount(leftPos, sum);
      file_.FreePage(right.get());
      parent->DeleteEntry(rightPos);
      AfterRemoval(path, level - 1, rightPos);
    }
    return;
  }
  const int leftTarget = (total + 1) / 2;
  if (left->EntryCount() > leftTarget) {
    left->MoveTailTo(leftTarget, *right.get());
  } else if (left->EntryCount() < leftTarget) {
    right->MoveHeadTo(leftTarget - left->EntryCount(), *left.get());
  }
  parent->SetCount(leftPos, CountOf(left.get()));
  parent->SetCount(rightPos, CountOf(right.get()));
  parent->SetKey(rightPos, right->Key(0));
}

}  // namespace rudira
