// TLockRegistry: the byte ranges this process holds locked, per file.
//
// Open-file-description locks let one descriptor re-lock a range it already
// holds (the kernel merges the ranges), but the engine's lock protocol relies
// on a locked range being refused to every later request, even through the
// same handle. The registry keeps that rule inside the process: a range that
// overlaps one recorded for the same file (device and inode, whatever name or
// descriptor it was opened by) is refused before the kernel is asked.
//
// A transaction holds one record lock per changed row until it commits, so a
// file can have many thousands of ranges: they are kept ordered by start
// (no two recorded ranges of a file overlap), and Acquire and Release cost
// O(log n) in the ranges of that file.
//
// The registry's mutex is a leaf lock: it is taken inside a file's guard and
// nothing else is taken while it is held.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace rudira {

struct LockedRange {
  int64_t Start = 0;
  int64_t Length = 0;
  const void* Owner = nullptr;  // the TOsFile that holds it
};

class TLockRegistry {
 public:
  using FileKey = std::pair<dev_t, ino_t>;

  // The one registry of the process.
  static TLockRegistry& Instance();

  // If no recorded range of file overlaps [start, start + length - 1], runs
  // take (the kernel lock) and, when it succeeds, records the range for
  // owner. Returns false (take not run) on an overlap, or take's failure.
  // REQUIRES: length >= 1.
  bool Acquire(FileKey file, const void* owner, int64_t start, int64_t length,
               const std::function<bool()>& take);

  // If owner holds exactly [start, length) on file, runs release and, when it
  // succeeds, forgets the range. False when there is no such range.
  bool Release(FileKey file, const void* owner, int64_t start, int64_t length,
               const std::function<bool()>& release);

  // Forgets every range of owner on file (its descriptor is being closed,
  // which drops the kernel locks).
  void ReleaseAll(FileKey file, const void* owner);

  // The ranges recorded for file, in the order they were taken. Costs
  // O(n log n): for tests and diagnostics, not for the lock paths.
  std::vector<LockedRange> Held(FileKey file) const;

 private:
  struct Entry {
    int64_t Length = 0;
    const void* Owner = nullptr;
    uint64_t Taken = 0;  // sequence number, for Held's order
  };
  // One file's ranges by start; no two of them overlap.
  using RangeMap = std::map<int64_t, Entry>;

  mutable std::mutex mutex_;                // leaf lock
  std::map<FileKey, RangeMap> ranges_;      // per file; no empty maps kept
  uint64_t nextTaken_ = 0;                  // sequence of Acquire successes
};

}  // namespace rudira
