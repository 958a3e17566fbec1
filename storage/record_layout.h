// The layout of one record of a data file (RecordSize bytes).
//
//   offset  width  contents
//   0       byte   RecordStatus: 0 = in use, 1 = deleted
//   1       int32  in use: the record's own number;
//                  deleted: the next record of the deleted chain (0 = end)
//   5       int32  auto-increment value given when the record was created; an
//                  AUTOINC field (Offset 5, no null-flag byte) reads it here
//   9       …      each stored field in field-number order: one null-flag byte
//                  (0 = null, 1 = has a value) followed by Width data bytes
//
// RecordSize = 9 + Σ (Width + 1) over the fields that are neither AUTOINC nor
// Computed. A field's Offset points at its null-flag byte; its data starts at
// Offset + 1.
#pragma once

#include <cstdint>

#include "storage/byte_codec.h"

namespace rudira {

constexpr size_t kRecordHeaderSize = 9;
constexpr size_t kRecordStatusOffset = 0;
constexpr size_t kRecordNumberOffset = 1;   // own number, or the next deleted record
constexpr size_t kRecordAutoIncOffset = 5;
constexpr uint16_t kFirstFieldOffset = 9;

constexpr uint8_t kRecordInUse = 0;
constexpr uint8_t kRecordDeleted = 1;

constexpr uint32_t kMaxRecordSize = 65535;
constexpr int32_t kMaxRecordCount = 200000000;
constexpr int64_t kMaxDataFileEnd = 4000000000LL;  // the last record may not end past this byte
constexpr size_t kMaxFieldCount = 1024;
constexpr int kMaxBlobFieldCount = 128;

inline uint8_t RecordStatus(const uint8_t* record) { return record[kRecordStatusOffset]; }
inline void SetRecordStatus(uint8_t* record, uint8_t status) { record[kRecordStatusOffset] = status; }

// In use: the record's own number; deleted: the next link of the free chain.
inline int32_t RecordNumberOrLink(const uint8_t* record) { return LoadLE<int32_t>(record + kRecordNumberOffset); }
inline void SetRecordNumberOrLink(uint8_t* record, int32_t value) {
  StoreLE<int32_t>(record + kRecordNumberOffset, value);
}

inline int32_t RecordAutoIncValue(const uint8_t* record) { return LoadLE<int32_t>(record + kRecordAutoIncOffset); }
inline void SetRecordAutoIncValue(uint8_t* record, int32_t value) {
  StoreLE<int32_t>(record + kRecordAutoIncOffset, value);
}

}  // namespace rudira
