// TIndexTree: the B+-tree operations on one index of an index file.
//
// An index is empty (RootPage 0), a single root leaf (type 3), or a root
// branch (type 0) over branches (1) and leaves (2); all leaves are at the
// same depth. The separator of a child is its first key. Branch entries
// carry the record count of their child's subtree (unless the index has
// NoCounts), so a record's position in index order is the sum of the counts
// left of its path plus its position in the leaf, and the entry at a given
// ordinal is reached in one descent.
//
// Insert: the entry goes into its leaf; a new first key replaces the
// separators above it; the counts up the path grow by one; a page that
// overflows splits (the old page keeps the first ⌈n/2⌉ entries, the new
// right neighbour the rest; compressed leaves then move entries one at a
// time until both halves encode within 4083 bytes) and its parent gets an
// entry for the new page, recursively; a split root gets a new root branch.
//
// Delete: the entry leaves its leaf, separators and counts are updated.
// A non-root branch or uncompressed leaf below half its capacity is
// rebalanced with a sibling under the same parent (the left one, or the
// right one for a first child): merged into it when both together hold
// fewer entries than a page can, else redistributed so the left page holds
// ⌈total/2⌉. A compressed leaf is reclaimed only when it becomes empty. An
// empty root leaf empties the index; a root branch left with one entry is
// replaced by its child.
//
// Every walk is bounded (depth, page numbers, entry counts); a page that
// contradicts the tree raises 8965 instead of being trusted.
//
// A tree object holds no pages between calls; it is cheap to make one per
// operation. It refers to the file's key comparer of its slot, so it must not
// outlive a change of that slot's definition or of the table's fields.
// Without subtree counts (NoCounts, "Sys Text") counting and positioning by
// ordinal walk the leaf chain instead, and a path from PathOfOrdinal holds
// only its leaf level. REQUIRES: the index file is open, used under the
// table's lock.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "storage/index_file.h"

namespace rudira {

constexpr int kMaxTreeDepth = 32;

// The pages and positions from the root down to a leaf.
struct TIndexPath {
  struct Level {
    int32_t Page = 0;   // page number
    int Position = 0;   // entry position in that page
  };
  int Depth = 0;                       // levels in use; 0 = empty index
  Level Levels[kMaxTreeDepth];
  const Level& Leaf() const { return Levels[Depth - 1]; }
};

class TIndexTree {
 public:
  TIndexTree(TIndexFile& file, int slot);

  // --- search ---
  // The path to the first entry whose key is not less than the first
  // `length` bytes of `key` (Leaf().Position may equal the leaf's entry
  // count: the key is greater than every key of that leaf).
  TIndexPath Descend(const uint8_t* key, int length);
  // Descend, also setting `ordinal` to Ordinal() of the path found: with
  // subtree counts it is summed from the pages as the descent reads them,
  // instead of reading them again.
  TIndexPath DescendCounting(const uint8_t* key, int length, int64_t& ordinal);
  // The record number of the entry whose key equals `key`; 0 when none.
  int32_t Find(const uint8_t* key);
  // Records in the index (the root's subtree count, or a walk of the leaves
  // for an index without counts).
  int64_t RecordCount();
  // The 0-based position in index order of the entry at `path`.
  int64_t Ordinal(const TIndexPath& path);
  // The path to the entry at 0-based position `ordinal`; Depth 0 when the
  // ordinal is outside the index.
  TIndexPath PathOfOrdinal(int64_t ordinal);
  // The key and record number of the entry at `path`.
  // REQUIRES: the path points at an entry.
  void EntryAt(const TIndexPath& path, std::vector<uint8_t>& key, int32_t& recordNo);

  // --- walking along the leaves ---
  // A walk keeps a leaf page and position and moves with the sibling links,
  // reading one page per leaf instead of one descent per entry. The caller
  // must know the tree unchanged since the position was taken
  // (TIndexFile::TreeChangeCount).
  // Moves (page, position) to the following (forward) or preceding entry.
  // False, leaving both as they were, at either end of the index or when
  // the page is no leaf holding `position` (the caller then descends).
  bool StepAlongLeaves(int32_t& page, int& position, bool forward);
  // The key and record number at a leaf position; 8965 when the page holds
  // no such entry.
  void LeafEntry(int32_t page, int position, std::vector<uint8_t>& key, int32_t& recordNo);
  int32_t LeafRecordNo(int32_t page, int position);
  // Entries on a page.
  int LeafEntryCount(int32_t page) { return Page(page)->EntryCount(); }

  // --- changes ---
  // Inserts (key, recordNo). False, changing nothing, when an entry with an
  // equal key exists already.
  bool Insert(const uint8_t* key, int32_t recordNo);
  // Deletes the entry whose key equals `key`; false when there is none.
  bool Delete(const uint8_t* key);
  // Appends `count` entries after the last one: entry(i, key) writes the
  // key of entry i (0-based) and returns its record number. The pages are
  // exactly those that inserting the entries one by one would leave, but a
  // leaf is filled up to its split at once and no descent searches keys.
  // REQUIRES: the keys ascend strictly and the first is greater than every
  // key of the index.
  void Append(int64_t count, const std::function<int32_t(int64_t i, uint8_t* key)>& entry);

  // --- checks ---
  // Walks the whole tree and raises 8965 unless it is consistent: page
  // types by level, keys strictly ascending, separators equal to their
  // child's first key, counts equal to subtree sizes, sibling links at each
  // level, capacities. Returns the number of entries.
  int64_t Check();
  // Calls visit(key, recordNo) for every entry in index order.
  void ForEach(const std::function<void(const uint8_t*, int32_t)>& visit);

 private:
  TPage* Page(int32_t pageNo) { return file_.GetPage(slot_, pageNo); }
  // The descent; adds the entries left of the path to *ordinal when given.
  TIndexPath DescendTo(const uint8_t* key, int length, int64_t* ordinal);
  int32_t RootPage() const { return file_.Definition(slot_).RootPage; }
  int32_t CountOf(TPage* page) const;
  void CheckLeafType(TPage* page, bool root);
  void FixSeparators(const TIndexPath& path, int level);
  void AdjustCounts(const TIndexPath& path, int level, int delta);
  void Split(const TIndexPath& path, int level);
  void BalanceCompressedSplit(TPage* left, TPage* right);
  void AfterRemoval(const TIndexPath& path, int level, int pos);
  void CollapseRoot();
  void Rebalance(const TIndexPath& path, int level);
  void RemoveEmptyPage(const TIndexPath& path, int level);
  int64_t CheckPage(int32_t pageNo, int depth, int& leafDepth, const uint8_t* separator,
                    std::vector<std::vector<int32_t>>& levels, std::vector<bool>& seen);

  TIndexFile& file_;
  int slot_;
  bool counts_;                     // branch entries carry counts
  const TKeyComparer& comparer_;    // the index's key order
  int keySize_;
};

}  // namespace rudira
