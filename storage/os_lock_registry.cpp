#include "storage/os_lock_registry.h"

#include <algorithm>

namespace rudira {

namespace {

// Whether [aStart, aStart + aLength) and [bStart, bStart + bLength) share a
// byte. Lengths are >= 1 and the ends do not overflow (checked by callers).
bool Overlaps(int64_t aStart, int64_t aLength, int64_t bStart, int64_t bLength) {
  return aStart < bStart + bLength && bStart < aStart + aLength;
}

}  // namespace

TLockRegistry& TLockRegistry::Instance() {
  // Never destroyed: files closed while the process ends (the file list's
  // destructor) still release their ranges here.
  static TLockRegistry* registry = new TLockRegistry;
  return *registry;
}

bool TLockRegistry::Acquire(FileKey file, const void* owner, int64_t start, int64_t length,
                            const std::function<bool()>& take) {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<LockedRange>& held = ranges_[file];
  for (const LockedRange& range : held) {
    if (Overlaps(range.Start, range.Length, start, length)) return false;
  }
  if (!take()) {
    if (held.empty()) ranges_.erase(file);
    return false;
  }
  held.push_back({start, length, owner});
  return true;
}

bool TLockRegistry::Release(FileKey file, const void* owner, int64_t start, int64_t length,
                            const std::function<bool()>& release) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto entry = ranges_.find(file);
  if (entry == ranges_.end()) return false;
  std::vector<LockedRange>& held = entry->second;
  auto it = std::find_if(held.begin(), held.end(), [&](const LockedRange& range) {
    return range.Owner == owner && range.Start == start && range.Length == length;
  });
  if (it == held.end() || !release()) return false;
  held.erase(it);
  if (held.empty()) ranges_.erase(entry);
  return true;
}

void TLockRegistry::ReleaseAll(FileKey file, const void* owner) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto entry = ranges_.find(file);
  if (entry == ranges_.end()) return;
  std::erase_if(entry->second, [&](const LockedRange& range) { return range.Owner == owner; });
  if (entry->second.empty()) ranges_.erase(entry);
}

std::vector<LockedRange> TLockRegistry::Held(FileKey file) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto entry = ranges_.find(file);
  return entry == ranges_.end() ? std::vector<LockedRange>{} : entry->second;
}

}  // namespace rudira
