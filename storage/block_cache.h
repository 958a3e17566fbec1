// TBlockCache: the cached blocks of one BLOB file.
//
// Blocks live in a vector sorted by block number (binary search) and in a
// most-recently-used list threaded through the blocks themselves. A lookup
// checks the four most recently used blocks before searching, because a chain
// is walked block by block and written back right after.
//
// The cache only keeps blocks; TBlobFile decides what is read, written and
// evicted. Capacity is the number of blocks the cache may hold before
// TBlobFile must reuse or write one; it grows beyond the session limit when
// every block is pinned or must stay until commit.
//
// Not thread-safe: used under the table's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "storage/blob_block.h"

namespace rudira {

constexpr size_t kBlockMruProbeCount = 4;
constexpr size_t kBlockCacheGrowth = 32;

class TBlockCache {
 public:
  explicit TBlockCache(TBlockStack& stack) : stack_(stack) {}
  ~TBlockCache();
  TBlockCache(const TBlockCache&) = delete;
  TBlockCache& operator=(const TBlockCache&) = delete;

  // The cached block n, made the most recently used; nullptr on a miss.
  TBlock* Find(int32_t blockNo);
  // The cached block n without touching the use order.
  TBlock* Peek(int32_t blockNo) const;

  // Adds `block` as the most recently used. REQUIRES: its number is not cached.
  TBlock* Insert(std::unique_ptr<TBlock> block);
  // Takes `block` out of the cache and returns it to the caller.
  std::unique_ptr<TBlock> Remove(TBlock* block);
  // Removes `block` and keeps it in the spare stack.
  void Discard(TBlock* block);

  // The least recently used block that is neither modified nor pinned.
  TBlock* LeastRecentlyUsedClean() const;
  // The modified blocks in block-number order.
  std::vector<TBlock*> ModifiedBlocks() const;
  bool AnyModified() const;
  bool AnyPinned() const;

  // Drops every unpinned block (modified ones too) into the spare stack.
  // Pinned blocks stay: their users are in the middle of an operation.
  void Clear();
  // Drops least recently used clean, unpinned blocks until at most `limit`
  // remain (or none of that kind is left).
  void ShrinkTo(size_t limit);

  size_t Count() const { return sorted_.size(); }
  size_t Capacity() const { return capacity_; }
  void SetCapacity(size_t capacity) { capacity_ = capacity; }
  bool Full() const { return sorted_.size() >= capacity_; }

  // All cached blocks in block-number order.
  const std::vector<std::unique_ptr<TBlock>>& Blocks() const { return sorted_; }

  // Lookup counters, for tests and tuning: hits among the four most recently
  // used, hits found by binary search, misses.
  uint64_t MruHits() const { return mruHits_; }
  uint64_t SearchHits() const { return searchHits_; }
  uint64_t Misses() const { return misses_; }

 private:
  // Index in sorted_ of the first block numbered >= blockNo.
  size_t LowerBound(int32_t blockNo) const;
  void Unlink(TBlock* block);
  void LinkFront(TBlock* block);

  TBlockStack& stack_;                           // spare blocks of the owning file
  std::vector<std::unique_ptr<TBlock>> sorted_;  // owned blocks by number
  TBlock* mruHead_ = nullptr;                    // most recently used
  TBlock* mruTail_ = nullptr;                    // least recently used
  size_t capacity_ = 0;                          // blocks allowed before reuse
  uint64_t mruHits_ = 0;
  uint64_t searchHits_ = 0;
  uint64_t misses_ = 0;
};

}  // namespace rudira
