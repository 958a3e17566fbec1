// TRecordCache: the cached records of one data file.
//
// Records live in a vector sorted by record number (binary search) and in a
// most-recently-used list threaded through the records themselves
// (storage/sorted_mru_list.h). A lookup checks the four most recently used
// records before searching, because cursors mostly revisit the record they
// are on or its neighbours.
//
// The cache only keeps records; TDataFile decides what is read, written and
// evicted. Capacity is the number of records the cache may hold before
// TDataFile must reuse or write one; it can grow beyond the session limit
// when every record is pinned or must stay (in a transaction).
//
// Not thread-safe: used under the table's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "storage/record.h"
#include "storage/sorted_mru_list.h"

namespace rudira {

constexpr size_t kCacheGrowth = 64;

// Lookup (Find, Peek), insertion, removal, the least recently used clean
// record, shrinking, capacity and the lookup counters come from
// TSortedMruList; what is particular to records is below.
class TRecordCache : public TSortedMruList<TRecord, TRecordStack, &TRecord::RecordNo> {
 public:
  explicit TRecordCache(TRecordStack& stack) : TSortedMruList(stack) {
    static_assert(kRemembersHeldRun, "records report becoming evictable (TRecord::SetModified, Unpin)");
  }
  ~TRecordCache();

  // Insertion as in the list, and the record learns its cache so that it
  // can report becoming modified.
  TRecord* Insert(std::unique_ptr<TRecord> record);

  // Adds records not cached yet, sorted by number, as the most recently used
  // (the last one most recently), with one merge instead of one insertion
  // each: a read run adds many records at once.
  void InsertSorted(std::vector<std::unique_ptr<TRecord>> records);
  // Takes up to `count` least recently used records that are neither
  // modified nor pinned out of the cache, with one pass over the sorted list.
  std::vector<std::unique_ptr<TRecord>> TakeCleanVictims(size_t count);

  // Called when record n becomes modified (TRecord::SetModified).
  void NoteModified(int32_t recordNo) { modifiedNumbers_.push_back(recordNo); }
  // The modified, unpinned records in record-number order. Costs the number
  // of records modified since the last call, not the size of the cache.
  std::vector<TRecord*> ModifiedUnpinned();
  // Whether any cached record is modified (hides the list's full walk).
  bool AnyModified() const;

  // Drops every record (returning them to the spare stack).
  // REQUIRES: no record is pinned.
  void Clear();

  // All cached records in record-number order.
  const std::vector<std::unique_ptr<TRecord>>& Records() const { return sorted_; }

 private:
  // Numbers of records that became modified, possibly repeated or stale (a
  // record written back, dropped or reused since); every modified cached
  // record is listed. ModifiedUnpinned sorts it and drops the stale ones.
  std::vector<int32_t> modifiedNumbers_;
};

}  // namespace rudira
