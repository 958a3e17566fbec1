#include "storage/os_lock_registry.h"

#include <algorithm>
#include <iterator>

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
  RangeMap& held = ranges_[file];
  // Recorded ranges do not overlap each other, so only the first range
  // starting at or after start and the one before it can reach the new one.
  auto next = held.lower_bound(start);
  if (next != held.end() && Overlaps(next->first, next->second.Length, start, length)) return false;
  if (next != held.begin()) {
    auto before = std::prev(next);
    if (Overlaps(before->first, before->second.Length, start, length)) return false;
  }
  if (!take()) {
    if (held.empty()) ranges_.erase(file);
    return false;
  }
  held.emplace_hint(next, start, Entry{length, owner, nextTaken_++});
  return true;
}

bool TLockRegistry::Release(FileKey file, const void* owner, int64_t start, int64_t length,
                            const std::function<bool()>& release) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto entry = ranges_.find(file);
  if (entry == ranges_.end()) return false;
  RangeMap& held = entry->second;
  auto it = held.find(start);
  if (it == held.end() || it->second.Owner != owner || it->second.Length != length) return false;
  if (!release()) return false;
  held.erase(it);
  if (held.empty()) ranges_.erase(entry);
  return true;
}

void TLockRegistry::ReleaseAll(FileKey file, const void* owner) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto entry = ranges_.find(file);
  if (entry == ranges_.end()) return;
  std::erase_if(entry->second, [&](const auto& range) { return range.second.Owner == owner; });
  if (entry->second.empty()) ranges_.erase(entry);
}

std::vector<LockedRange> TLockRegistry::Held(FileKey file) const {
  std::vector<std::pair<uint64_t, LockedRange>> taken;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    auto entry = ranges_.find(file);
    if (entry == ranges_.end()) return {};
    taken.reserve(entry->second.size());
    for (const auto& [start, range] : entry->second) {
      taken.push_back({range.Taken, LockedRange{start, range.Length, range.Owner}});
    }
  }
  std::sort(taken.begin(), taken.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<LockedRange> result;
  result.reserve(taken.size());
  for (const auto& [order, range] : taken) result.push_back(range);
  return result;
}

}  // namespace rudira
