#include "sql/group_table.h"

#include <cassert>
#include <cstring>

namespace rudira {

void TGroupTable::Start(size_t keyBytes, size_t rowBytes, size_t maxGroups) {
  keyBytes_ = keyBytes;
  rowBytes_ = rowBytes;
  maxGroups_ = maxGroups;
  count_ = 0;
  keys_.clear();
  rows_.clear();
  hashes_.clear();
  slots_.assign(64, 0);
}

uint64_t TGroupTable::HashOf(const uint8_t* key) const {
  // FNV-1a over the key bytes, then mixed so that the low bits (the slot)
  // depend on every byte.
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = 0; i < keyBytes_; ++i) hash = (hash ^ key[i]) * 1099511628211ull;
  hash ^= hash >> 29;
  hash *= 0xbf58476d1ce4e5b9ull;
  hash ^= hash >> 32;
  return hash;
}

size_t TGroupTable::SlotOf(const uint8_t* key, uint64_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t slot = static_cast<size_t>(hash) & mask;; slot = (slot + 1) & mask) {
    const uint32_t held = slots_[slot];
    if (held == 0) return slot;
    const size_t group = held - 1;
    if (hashes_[group] == hash && std::memcmp(keys_.data() + group * keyBytes_, key, keyBytes_) == 0) return slot;
  }
}

uint8_t* TGroupTable::Find(const uint8_t* key) {
  const uint32_t held = slots_[SlotOf(key, HashOf(key))];
  return held == 0 ? nullptr : rows_.data() + (held - 1) * rowBytes_;
}

bool TGroupTable::Add(const uint8_t* key, const uint8_t* row) {
  if (count_ >= maxGroups_) return false;
  if (2 * (count_ + 1) > slots_.size()) Grow();
  const uint64_t hash = HashOf(key);
  const size_t slot = SlotOf(key, hash);
  assert(slots_[slot] == 0);
  keys_.insert(keys_.end(), key, key + keyBytes_);
  rows_.insert(rows_.end(), row, row + rowBytes_);
  hashes_.push_back(hash);
  slots_[slot] = static_cast<uint32_t>(++count_);
  return true;
}

void TGroupTable::Grow() {
  slots_.assign(slots_.size() * 2, 0);
  const size_t mask = slots_.size() - 1;
  for (size_t group = 0; group < count_; ++group) {
    size_t slot = static_cast<size_t>(hashes_[group]) & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<uint32_t>(group + 1);
  }
}

}  // namespace rudira
