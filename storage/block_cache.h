// TBlockCache: the cached blocks of one BLOB file.
//
// Blocks live in a table keyed by block number and in a
// most-recently-used list threaded through the blocks themselves
// (storage/numbered_mru_list.h). A lookup checks the four most recently used
// blocks before searching, because a chain is walked block by block and
// written back right after.
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
#include "storage/numbered_mru_list.h"

namespace rudira {

constexpr size_t kBlockCacheGrowth = 32;

// Lookup (Find, Peek), insertion, removal, the least recently used clean
// block, shrinking, capacity and the lookup counters come from
// TNumberedMruList; what is particular to blocks is below.
class TBlockCache : public TNumberedMruList<TBlock, TBlockStack, &TBlock::BlockNo> {
 public:
  explicit TBlockCache(TBlockStack& stack) : TNumberedMruList(stack) {}
  ~TBlockCache();

  // The modified blocks in block-number order.
  std::vector<TBlock*> ModifiedBlocks() const;
  bool AnyPinned() const;

  // Drops every unpinned block (modified ones too) into the spare stack.
  // Pinned blocks stay: their users are in the middle of an operation.
  void Clear();

  // All cached blocks in block-number order.
  std::vector<TBlock*> Blocks() const { return Sorted(); }
};

}  // namespace rudira
