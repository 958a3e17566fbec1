// TRecordCache: the cached records of one data file.
//
// Records live in a vector sorted by record number (binary search) and in a
// most-recently-used list threaded through the records themselves. A lookup
// checks the four most recently used records before searching, because
// cursors mostly revisit the record they are on or its neighbours.
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

namespace rudira {

constexpr size_t kMruProbeCount = 4;
constexpr size_t kCacheGrowth = 64;

class TRecordCache {
 public:
  explicit TRecordCache(TRecordStack& stack) : stack_(stack) {}
  ~TRecordCache();
  TRecordCache(const TRecordCache&) = delete;
  TRecordCache& operator=(const TRecordCache&) = delete;

  // The cached record n, made the most recently used; nullptr on a miss.
  TRecord* Find(int32_t recordNo);
  // The cached record n without touching the use order.
  TRecord* Peek(int32_t recordNo) const;

  // Adds `record` as the most recently used. REQUIRES: its number is not cached.
  TRecord* Insert(std::unique_ptr<TRecord> record);
  // Takes `record` out of the cache and returns it to the caller.
  std::unique_ptr<TRecord> Remove(TRecord* record);
  // Removes `record` and keeps it in the spare stack.
  void Discard(TRecord* record);

  // Adds records not cached yet, sorted by number, as the most recently used
  // (the last one most recently), with one merge instead of one insertion
  // each: a read run adds many records at once.
  void InsertSorted(std::vector<std::unique_ptr<TRecord>> records);
  // Takes up to `count` least recently used records that are neither
  // modified nor pinned out of the cache, with one pass over the sorted list.
  std::vector<std::unique_ptr<TRecord>> TakeCleanVictims(size_t count);

  // The least recently used record that is neither modified nor pinned.
  TRecord* LeastRecentlyUsedClean() const;
  // The modified, unpinned records in record-number order.
  std::vector<TRecord*> ModifiedUnpinned() const;
  // Whether any record is modified.
  bool AnyModified() const;

  // Drops every record (returning them to the spare stack).
  // REQUIRES: no record is pinned.
  void Clear();
  // Drops least recently used clean records until at most `limit` remain.
  void ShrinkTo(size_t limit);

  size_t Count() const { return sorted_.size(); }
  size_t Capacity() const { return capacity_; }
  void SetCapacity(size_t capacity) { capacity_ = capacity; }
  bool Full() const { return sorted_.size() >= capacity_; }

  // All cached records in record-number order.
  const std::vector<std::unique_ptr<TRecord>>& Records() const { return sorted_; }

  // Lookup counters, for tests and tuning: hits among the four most recently
  // used, hits found by binary search, misses.
  uint64_t MruHits() const { return mruHits_; }
  uint64_t SearchHits() const { return searchHits_; }
  uint64_t Misses() const { return misses_; }

 private:
  // Index in sorted_ of the first record numbered >= recordNo.
  size_t LowerBound(int32_t recordNo) const;
  void Unlink(TRecord* record);
  void LinkFront(TRecord* record);

  TRecordStack& stack_;                            // spare records of the owning file
  std::vector<std::unique_ptr<TRecord>> sorted_;   // owned records by number
  TRecord* mruHead_ = nullptr;                     // most recently used
  TRecord* mruTail_ = nullptr;                     // least recently used
  size_t capacity_ = 0;                            // records allowed before reuse
  uint64_t mruHits_ = 0;
  uint64_t searchHits_ = 0;
  uint64_t misses_ = 0;
};

}  // namespace rudira
