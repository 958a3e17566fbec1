// TLockRegistry: the byte ranges this process holds locked, per file.
//
// Open-file-description locks let one descriptor re-lock a range it already
// holds (the kernel merges the ranges), but the engine's lock protocol relies
// on a locked range being refused to every later request, even through the
// same handle. The registry keeps that rule inside the process: a range that
// overlaps one recorded for the same file (device and inode, whatever name or
// descriptor it was opened by) is refused before the kernel is asked.
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

  // The ranges recorded for file, in the order they were taken.
  std::vector<LockedRange> Held(FileKey file) const;

 private:
  mutable std::mutex mutex_;                            // leaf lock
  std::map<FileKey, std::vector<LockedRange>> ranges_;  // per file
};

}  // namespace rudira
