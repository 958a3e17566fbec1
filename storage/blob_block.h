// TBlock: one cached block of a BLOB file; TBlockStack: spare blocks kept for
// reuse.
//
// A TBlock is owned by the block cache of one TBlobFile, which decides when
// it is read, written back and reused. It keeps the block's header decoded
// (storage/blob_layout.h) and its data area unscrambled; scrambling happens
// only on the way to and from the file. The data area is allocated once for
// the file's block size and kept when the block is reused for another block
// number.
//
// A block with a pin count above 0 is held by a user in the middle of an
// operation and is never evicted; a modified block is written back before its
// place in the cache is reused.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "storage/blob_layout.h"

namespace rudira {

constexpr size_t kBlockStackLimit = 32;

template <typename T, typename Stack, int32_t (T::*NumberOf)() const>
class TNumberedMruList;

class TBlock {
 public:
  TBlock() = default;
  TBlock(const TBlock&) = delete;
  TBlock& operator=(const TBlock&) = delete;

  // Makes this block number `blockNo` of a file with blocks of `blockSize`
  // bytes, header and data zeroed, clean and unpinned. The data area is
  // reallocated only when its size changes. REQUIRES: blockSize > 18.
  void Reset(int32_t blockNo, uint32_t blockSize);
  // Zeroes header and data (a block handed out by allocation).
  void Clear();

  int32_t BlockNo() const { return blockNo_; }

  BlockHeader& Header() { return header_; }
  const BlockHeader& Header() const { return header_; }

  uint8_t* Data() { return data_.data(); }
  const uint8_t* Data() const { return data_.data(); }
  // Data bytes the block holds: block size − 18.
  size_t DataSize() const { return data_.size(); }

  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }

  void Pin() { ++pinCount_; }
  // REQUIRES: Pinned().
  void Unpin();
  bool Pinned() const { return pinCount_ > 0; }
  int PinCount() const { return pinCount_; }

  // Writes the block as stored (DataSize() + 18 bytes) at p, scrambling the
  // header and the data area as two runs when `encrypted`.
  void EncodeTo(uint8_t* p, bool encrypted) const;
  // Reads the block as stored from p, unscrambling when `encrypted`.
  void DecodeFrom(const uint8_t* p, bool encrypted);

 private:
  template <typename T, typename Stack, int32_t (T::*NumberOf)() const>
  friend class TNumberedMruList;
  friend class TBlockCache;

  int32_t blockNo_ = 0;         // 1-based block number
  bool modified_ = false;       // contents differ from the file
  int pinCount_ = 0;            // users holding it
  BlockHeader header_;          // decoded 18-byte header
  std::vector<uint8_t> data_;   // the data area, unscrambled
  TBlock* mruPrev_ = nullptr;   // towards the most recently used end
  TBlock* mruNext_ = nullptr;   // towards the least recently used end
};

// Up to 32 spare blocks of one BLOB file, so that a busy cache does not
// reallocate data areas. A block returned beyond that is freed. Not
// thread-safe: it belongs to one BLOB file, used under the table's lock.
class TBlockStack {
 public:
  // A block ready for Reset: a spare one if any, else a new one.
  std::unique_ptr<TBlock> Pop();
  // Keeps `block` for reuse, or frees it when 32 are kept already.
  void Push(std::unique_ptr<TBlock> block);
  size_t Count() const { return spare_.size(); }

 private:
  std::vector<std::unique_ptr<TBlock>> spare_;  // at most kBlockStackLimit
};

}  // namespace rudira
