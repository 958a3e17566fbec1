// TRecordCache: the cached records of one data file.
//
// Records live in a table keyed by record number and in a most-recently-used
// list threaded through the records themselves (storage/numbered_mru_list.h).
// A lookup checks the four most recently used records before searching,
// because cursors mostly revisit the record they are on or its neighbours.
//
// The cache also keeps the bytes of the last read run (one positioned read
// of about 8 KiB, as stored in the file): the records of that run count as
// read, and a record of it is installed as a TRecord only when it is asked
// for, so that a random read does not copy a whole run of records it will
// never use. The run always matches the file: TDataFile reports every
// record write through NoteWritten, and Clear (dropping the cache after a
// change by another user, emptying, sorting) forgets it. A record that is
// installed wins over the run's bytes.
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
#include "storage/numbered_mru_list.h"

namespace rudira {

constexpr size_t kCacheGrowth = 64;

// Lookup (Find, Peek), insertion, removal, the least recently used clean
// record, shrinking, capacity and the lookup counters come from
// TNumberedMruList; what is particular to records is below.
class TRecordCache : public TNumberedMruList<TRecord, TRecordStack, &TRecord::RecordNo> {
 public:
  explicit TRecordCache(TRecordStack& stack) : TNumberedMruList(stack) {
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

  // Drops every record (returning them to the spare stack) and forgets the
  // read run. REQUIRES: no record is pinned.
  void Clear();

  // All cached records in record-number order.
  std::vector<TRecord*> Records() const { return Sorted(); }

  // --- the last read run ---

  // The buffer a run of `count` records from record `first` is read into,
  // with room for `count` records; it becomes the run once SetRunRead says
  // how many records came back.
  uint8_t* RunBuffer(int32_t first, size_t bytes) {
    run_.Count = 0;
    run_.First = first;
    if (run_.Bytes.size() < bytes) run_.Bytes.resize(bytes);
    return run_.Bytes.data();
  }
  void SetRunRead(int32_t count) { run_.Count = count; }
  // Record n's bytes as stored, when the run holds it; else nullptr.
  const uint8_t* RunRecord(int32_t recordNo, size_t recordSize) const;
  // Records first.. (count of them, as stored) were written to the file:
  // the run takes the bytes it holds of them.
  void NoteWritten(int32_t first, const uint8_t* bytes, int32_t count, size_t recordSize);

 private:
  struct ReadRun {
    std::vector<uint8_t> Bytes;  // reused from run to run
    int32_t First = 0;           // record number of the first record
    int32_t Count = 0;           // records held; 0 = none
  };

  // Numbers of records that became modified, possibly repeated or stale (a
  // record written back, dropped or reused since); every modified cached
  // record is listed. ModifiedUnpinned sorts it and drops the stale ones.
  std::vector<int32_t> modifiedNumbers_;
  ReadRun run_;  // the last read run, as stored in the file
};

}  // namespace rudira
