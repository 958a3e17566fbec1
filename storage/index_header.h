// The header of an index file (".IDX"): 4096 bytes at offset 0, scrambled as
// one run with the record seed when the table is encrypted.
//
//   offset  width     field                 meaning
//   0       int32     IndexChangeCount      incremented on every header write
//   4       4 bytes   reserved              0
//   8       byte      FormatVersion         5
//   9       int32     NextPageNumber        pages in the file + 1 (1 when empty)
//   13      byte      SecondaryIndexCount   secondary indexes in use (slots 1..count)
//   14      33 × 120  Definitions           slot 0 primary, 1..30 secondary,
//                                           31 "Sys Deleted", 32 "Sys Text"
//   3974    int32     ActiveRecordCount     records in use
//   3978    byte      NoPrimaryKey          1 = the primary index has no fields
//   3979    byte      IndexHeaderModified   the writer's modified flag; ignored on reading
//   3980    116 bytes reserved              0
//
// Page n (n >= 1) of the file occupies bytes n × 4096 .. n × 4096 + 4095.
#pragma once

#include <array>
#include <cstdint>

#include "storage/index_definition.h"

namespace rudira {

constexpr size_t kIndexHeaderSize = 4096;
constexpr size_t kIndexPageSize = 4096;
constexpr uint8_t kIndexFormatVersion = 5;

constexpr int kIndexSlotCount = 33;
constexpr int kPrimarySlot = 0;
constexpr int kMaxSecondaryIndexes = 30;
constexpr int kSysDeletedSlot = 31;
constexpr int kSysTextSlot = 32;
constexpr uint8_t kMaxStoredIndexCount = 32;  // SecondaryIndexCount above this is corrupt

constexpr char kSysDeletedName[] = "Sys Deleted";
constexpr char kSysTextName[] = "Sys Text";
constexpr int16_t kSysDeletedKeySize = 5;   // status byte, int32 unique id
constexpr int16_t kSysTextKeySize = 68;     // 3 bytes, 61-byte word, int32 record number
constexpr int kSysTextWordOffset = 3;
constexpr int kSysTextWordWidth = 61;

// The last page may end at most at this byte of the file; page numbers stay
// at most kMaxIndexPageNumber as well.
constexpr int64_t kMaxIndexFileEnd = 4000000000LL;
constexpr int32_t kMaxIndexPageNumber = 2000000000;

struct TIndexHeader {
  int32_t IndexChangeCount = 0;
  uint8_t FormatVersion = kIndexFormatVersion;
  int32_t NextPageNumber = 1;
  uint8_t SecondaryIndexCount = 0;
  std::array<TIndexDefinition, kIndexSlotCount> Definitions{};
  int32_t ActiveRecordCount = 0;
  uint8_t NoPrimaryKey = 0;
  uint8_t IndexHeaderModified = 0;

  // Writes the 4096 bytes at p (unscrambled).
  void EncodeTo(uint8_t* p) const;
  // Reads the 4096 bytes at p; false when a definition name is malformed.
  bool DecodeFrom(const uint8_t* p);
};

// The definitions written into slots 31 and 32 of a new index file.
TIndexDefinition SysDeletedDefinition();
TIndexDefinition SysTextDefinition();

// A new file's header: FormatVersion 5, NextPageNumber 1, the two internal
// definitions, everything else 0.
TIndexHeader NewIndexHeader();

// The encoded bytes of the header last written by one index file. A header
// write changes a counter or two and seldom a definition, so the next
// encoding re-encodes only the definitions that differ from those encoded
// last and patches the counters in place. The bytes are always those that
// TIndexHeader::EncodeTo gives for the same contents.
class TIndexHeaderImage {
 public:
  // The 4096 bytes (unscrambled) of a header holding the counters of
  // `header`, with `changeCount`, `modifiedFlag` and `secondaryCount` in
  // place of its IndexChangeCount, IndexHeaderModified and
  // SecondaryIndexCount, and `definitions[i]` in slot i (header's own
  // definitions are not read). Valid until the next call.
  const uint8_t* Encode(const TIndexHeader& header, int32_t changeCount, uint8_t modifiedFlag,
                        uint8_t secondaryCount,
                        const std::array<const TIndexDefinition*, kIndexSlotCount>& definitions);
  // Forgets the encoding: the next Encode encodes every byte.
  void Invalidate() { valid_ = false; }

 private:
  std::array<uint8_t, kIndexHeaderSize> bytes_{};
  std::array<TIndexDefinition, kIndexSlotCount> encoded_{};  // what each slot of bytes_ holds
  bool valid_ = false;                                       // bytes_ and encoded_ agree
};

}  // namespace rudira
