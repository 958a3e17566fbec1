#include "storage/blob_layout.h"

#include <cstring>

#include "engine/errors.h"
#include "storage/byte_codec.h"

namespace rudira {
namespace {

// File header.
constexpr size_t kOffChangeCount = 0;
constexpr size_t kOffFormatVersion = 8;
constexpr size_t kOffFirstFreeBlock = 9;
constexpr size_t kOffNextBlockNumber = 13;
constexpr size_t kOffHeaderModified = 17;
constexpr size_t kOffHeaderReserved = 18;
static_assert(kOffHeaderReserved + 494 == kBlobHeaderSize);

// Block header.
constexpr size_t kOffPrevBlock = 0;
constexpr size_t kOffNextBlock = 4;
constexpr size_t kOffUsedBytes = 8;
constexpr size_t kOffOwnerStamp = 10;
constexpr size_t kOffTotalLength = 14;
static_assert(kOffTotalLength + 4 == kBlockHeaderSize);

}  // namespace

void TBlobHeader::EncodeTo(uint8_t* p) const {
  std::memset(p, 0, kBlobHeaderSize);
  StoreLE<int32_t>(p + kOffChangeCount, BlobChangeCount);
  p[kOffFormatVersion] = FormatVersion;
  StoreLE<int32_t>(p + kOffFirstFreeBlock, FirstFreeBlock);
  StoreLE<int32_t>(p + kOffNextBlockNumber, NextBlockNumber);
  p[kOffHeaderModified] = BlobHeaderModified;
}

void TBlobHeader::DecodeFrom(const uint8_t* p) {
  BlobChangeCount = LoadLE<int32_t>(p + kOffChangeCount);
  FormatVersion = p[kOffFormatVersion];
  FirstFreeBlock = LoadLE<int32_t>(p + kOffFirstFreeBlock);
  NextBlockNumber = LoadLE<int32_t>(p + kOffNextBlockNumber);
  BlobHeaderModified = p[kOffHeaderModified];
}

void BlockHeader::EncodeTo(uint8_t* p) const {
  StoreLE<int32_t>(p + kOffPrevBlock, PrevBlock);
  StoreLE<int32_t>(p + kOffNextBlock, NextBlock);
  StoreLE<uint16_t>(p + kOffUsedBytes, UsedBytes);
  StoreLE<int32_t>(p + kOffOwnerStamp, OwnerStamp);
  StoreLE<int32_t>(p + kOffTotalLength, TotalLength);
}

void BlockHeader::DecodeFrom(const uint8_t* p) {
  PrevBlock = LoadLE<int32_t>(p + kOffPrevBlock);
  NextBlock = LoadLE<int32_t>(p + kOffNextBlock);
  UsedBytes = LoadLE<uint16_t>(p + kOffUsedBytes);
  OwnerStamp = LoadLE<int32_t>(p + kOffOwnerStamp);
  TotalLength = LoadLE<int32_t>(p + kOffTotalLength);
}

void CheckBlobBlockSize(uint32_t storedBlockSize, std::string_view databaseName, std::string_view tableName) {
  if (!ValidBlockSize(storedBlockSize)) RaiseTableError(RUDIRA_BLOBLIMIT, databaseName, tableName);
}

}  // namespace rudira
