#include "storage/index_header.h"

#include <cstring>

#include "storage/byte_codec.h"

namespace rudira {

namespace {
constexpr size_t kDefinitionsOffset = 14;
constexpr size_t kActiveRecordCountOffset = 3974;
constexpr size_t kNoPrimaryKeyOffset = 3978;
constexpr size_t kHeaderModifiedOffset = 3979;
static_assert(kDefinitionsOffset + kIndexSlotCount * kIndexDefinitionSize == kActiveRecordCountOffset);
}  // namespace

void TIndexHeader::EncodeTo(uint8_t* p) const {
  std::memset(p, 0, kIndexHeaderSize);
  StoreLE<int32_t>(p, IndexChangeCount);
  p[8] = FormatVersion;
  StoreLE<int32_t>(p + 9, NextPageNumber);
  p[13] = SecondaryIndexCount;
  for (int i = 0; i < kIndexSlotCount; ++i) {
    Definitions[i].EncodeTo(p + kDefinitionsOffset + i * kIndexDefinitionSize);
  }
  StoreLE<int32_t>(p + kActiveRecordCountOffset, ActiveRecordCount);
  p[kNoPrimaryKeyOffset] = NoPrimaryKey;
  p[kHeaderModifiedOffset] = IndexHeaderModified;
}

bool TIndexHeader::DecodeFrom(const uint8_t* p) {
  IndexChangeCount = LoadLE<int32_t>(p);
  FormatVersion = p[8];
  NextPageNumber = LoadLE<int32_t>(p + 9);
  SecondaryIndexCount = p[13];
  for (int i = 0; i < kIndexSlotCount; ++i) {
    if (!Definitions[i].DecodeFrom(p + kDefinitionsOffset + i * kIndexDefinitionSize)) return false;
  }
  ActiveRecordCount = LoadLE<int32_t>(p + kActiveRecordCountOffset);
  NoPrimaryKey = p[kNoPrimaryKeyOffset];
  IndexHeaderModified = p[kHeaderModifiedOffset];
  return true;
}

const uint8_t* TIndexHeaderImage::Encode(const TIndexHeader& header, int32_t changeCount, uint8_t modifiedFlag,
                                         uint8_t secondaryCount,
                                         const std::array<const TIndexDefinition*, kIndexSlotCount>& definitions) {
  uint8_t* p = bytes_.data();
  if (!valid_) std::memset(p, 0, kIndexHeaderSize);
  for (int i = 0; i < kIndexSlotCount; ++i) {
    const TIndexDefinition& d = *definitions[i];
    if (valid_ && encoded_[i] == d) continue;
    d.EncodeTo(p + kDefinitionsOffset + i * kIndexDefinitionSize);
    encoded_[i] = d;
  }
  valid_ = true;
  StoreLE<int32_t>(p, changeCount);
  p[8] = header.FormatVersion;
  StoreLE<int32_t>(p + 9, header.NextPageNumber);
  p[13] = secondaryCount;
  StoreLE<int32_t>(p + kActiveRecordCountOffset, header.ActiveRecordCount);
  p[kNoPrimaryKeyOffset] = header.NoPrimaryKey;
  p[kHeaderModifiedOffset] = modifiedFlag;
  return p;
}

TIndexDefinition SysDeletedDefinition() {
  TIndexDefinition d;
  d.IndexName = kSysDeletedName;
  d.KeySize = kSysDeletedKeySize;
  d.Unique = 1;  // the unique id inside the key already makes every key distinct
  d.Compression = kCompressionNone;
  return d;
}

TIndexDefinition SysTextDefinition() {
  TIndexDefinition d;
  d.IndexName = kSysTextName;
  d.KeySize = kSysTextKeySize;
  d.Unique = 1;  // the record number inside the key already makes every key distinct
  d.Compression = kCompressionFull;
  return d;
}

TIndexHeader NewIndexHeader() {
  TIndexHeader h;
  h.Definitions[kSysDeletedSlot] = SysDeletedDefinition();
  h.Definitions[kSysTextSlot] = SysTextDefinition();
  return h;
}

}  // namespace rudira
