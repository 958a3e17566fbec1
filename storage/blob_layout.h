// The byte layout of a table's BLOB file (".BLB") and of the BLOB reference
// kept in a record.
//
// File layout (block size B from the data file header, 512 when it is 0):
//
//   offset                  size   contents
//   0                       512    file header (TBlobHeader)
//   512 + (n − 1) × B       B      block n, n ≥ 1
//
// File header (512 bytes; scrambled as one run with the record seed when the
// table is encrypted):
//
//   offset  width  field               meaning
//   0       int32  BlobChangeCount     +1 on every header write; others compare it
//   4       4      reserved            0
//   8       byte   FormatVersion       5
//   9       int32  FirstFreeBlock      head of the free-block chain; 0 = none
//   13      int32  NextBlockNumber     blocks in the file + 1 (1 when empty)
//   17      byte   BlobHeaderModified  the writer's modified flag; ignored on reading
//   18      494    reserved            0
//
// Block (B bytes; the 18-byte header and the data area are each scrambled as
// a run of their own with the record seed when encrypted):
//
//   offset  width   field        meaning
//   0       int32   PrevBlock    previous block of the same BLOB; 0 in the first
//   4       int32   NextBlock    next block of the same BLOB, 0 in the last;
//                                in a free block the next free block
//   8       uint16  UsedBytes    data bytes used in this block
//   10      int32   OwnerStamp   stamp of the BLOB the block belongs to
//   14      int32   TotalLength  total BLOB length; in the first block only, else 0
//   18      B − 18  data
//
// BLOB reference (the 8 data bytes of a BLOB field after its null-flag byte):
//
//   offset  width  field       meaning
//   0       int32  FirstBlock  first block of the chain; 0 = no BLOB
//   4       int32  Stamp       stamp every block of the chain repeats
//
// A stamp is issued from the data header's LastBlobStamp (+1, wrapping from
// 2147483647 to 1), so a live chain never carries stamp 0; freed blocks are
// given stamp 0, which no reference matches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "storage/field_value.h"

namespace rudira {

constexpr size_t kBlobHeaderSize = 512;
constexpr uint8_t kBlobFormatVersion = 5;
constexpr size_t kBlockHeaderSize = 18;
constexpr size_t kBlobReferenceSize = 8;

// Block sizes: 0 in the data header stands for 512. Below 64 a block would
// hold almost nothing but its header; above 65535 its data area could no
// longer be counted by the 16-bit UsedBytes.
constexpr uint32_t kDefaultBlockSize = 512;
constexpr uint32_t kMinBlockSize = 64;
constexpr uint32_t kMaxBlockSize = 65535;

// File limits: the highest block number, and the byte the end of the last
// block may not pass.
constexpr int32_t kMaxBlockNumber = 2000000000;
constexpr int64_t kMaxBlobFileEnd = 4000000000LL;

// Blocks are read from disk in runs of about this many bytes.
constexpr int32_t kBlobReadAheadBytes = 16384;

// The 512-byte file header.
struct TBlobHeader {
  int32_t BlobChangeCount = 0;
  uint8_t FormatVersion = kBlobFormatVersion;
  int32_t FirstFreeBlock = 0;
  int32_t NextBlockNumber = 1;
  uint8_t BlobHeaderModified = 0;

  // Writes the 512 bytes at p (reserved bytes zero), unscrambled.
  void EncodeTo(uint8_t* p) const;
  // Reads the 512 bytes at p, unscrambled. Every bit pattern decodes; the
  // values are checked by the BLOB file.
  void DecodeFrom(const uint8_t* p);
};

// The 18-byte header of a block.
struct BlockHeader {
  int32_t PrevBlock = 0;
  int32_t NextBlock = 0;
  uint16_t UsedBytes = 0;
  int32_t OwnerStamp = 0;
  int32_t TotalLength = 0;

  void EncodeTo(uint8_t* p) const;
  void DecodeFrom(const uint8_t* p);
};

// Whether a BLOB field's reference (BlobReference, storage/field_value.h,
// which stores and reads it in records) names a chain.
constexpr bool HasBlob(const BlobReference& reference) { return reference.FirstBlock != 0; }

// The block size a data header's BlobBlockSize stands for (0 means 512).
constexpr uint32_t EffectiveBlockSize(uint32_t storedBlockSize) {
  return storedBlockSize == 0 ? kDefaultBlockSize : storedBlockSize;
}

// Whether a BlobBlockSize value can be used for a table.
constexpr bool ValidBlockSize(uint32_t storedBlockSize) {
  const uint32_t size = EffectiveBlockSize(storedBlockSize);
  return size >= kMinBlockSize && size <= kMaxBlockSize;
}

// Refuses an unusable BlobBlockSize with 9498 (RUDIRA_BLOBLIMIT), naming the
// table; a table is checked with it before any of its files is created.
void CheckBlobBlockSize(uint32_t storedBlockSize, std::string_view databaseName, std::string_view tableName);

// Data bytes a block of blockSize bytes holds.
constexpr size_t BlockDataSize(uint32_t blockSize) { return blockSize - kBlockHeaderSize; }

// File offset of block n. REQUIRES: n ≥ 1.
constexpr int64_t BlockOffset(int32_t blockNo, uint32_t blockSize) {
  return static_cast<int64_t>(kBlobHeaderSize) + static_cast<int64_t>(blockNo - 1) * blockSize;
}

// Whether block n may exist within the file limits.
constexpr bool BlockWithinLimits(int32_t blockNo, uint32_t blockSize) {
  return blockNo >= 1 && blockNo <= kMaxBlockNumber &&
         BlockOffset(blockNo, blockSize) + blockSize <= kMaxBlobFileEnd;
}

// Blocks a value of `length` bytes occupies (0 for an empty value).
constexpr int64_t BlocksForLength(int64_t length, uint32_t blockSize) {
  const int64_t data = static_cast<int64_t>(BlockDataSize(blockSize));
  return (length + data - 1) / data;
}

}  // namespace rudira
