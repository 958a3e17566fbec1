// The engine's field types: type and sub-type codes and the stored width of
// each type.
//
//   code  sub-types                                 width   stored value
//   1     0 (31 fixed, 32 wide: stored alike)       n + 1   zero-terminated text, trailing blanks removed
//   2     0                                         4       int32 day number, 0001-01-01 = day 1
//   3     0 BLOB, 22 memo, 23 binary, 24 formatted  8       BLOB reference: int32 first block, int32 stamp
//         memo, 26 graphic, 28 typed binary
//   4     0                                         2       uint16 0 or 1
//   5     0                                         2       int16
//   6     0 integer, 29 AUTOINC                     4       int32 (AUTOINC: kept in the record header)
//   7     0 float, 21 money                         8       float64
//   8     0                                         34      BCD (storage/bcd.h)
//   9     0                                         n       raw bytes
//   10    0                                         4       int32 milliseconds since midnight
//   11    0                                         8       float64 milliseconds since 0001-01-01 00:00
//   12    0                                         2       uint16
//   13    0                                         4       uint32
//   14    0                                         10      80-bit extended float (storage/extended_float.h)
//   15    0                                         n       raw bytes
//   18    0                                         8       int64
//
// n is the declared Size (1..250) of types 1, 9 and 15; every other type has
// Size 0. Only type 8 has a Scale.
#pragma once

#include <cstdint>

namespace rudira {

constexpr uint8_t kFieldTypeString = 1;
constexpr uint8_t kFieldTypeDate = 2;
constexpr uint8_t kFieldTypeBlob = 3;
constexpr uint8_t kFieldTypeBoolean = 4;
constexpr uint8_t kFieldTypeSmallInt = 5;
constexpr uint8_t kFieldTypeInteger = 6;
constexpr uint8_t kFieldTypeFloat = 7;
constexpr uint8_t kFieldTypeBcd = 8;
constexpr uint8_t kFieldTypeBytes = 9;
constexpr uint8_t kFieldTypeTime = 10;
constexpr uint8_t kFieldTypeTimestamp = 11;
constexpr uint8_t kFieldTypeWord = 12;
constexpr uint8_t kFieldTypeCardinal = 13;
constexpr uint8_t kFieldTypeExtended = 14;
constexpr uint8_t kFieldTypeVarBytes = 15;
constexpr uint8_t kFieldTypeLargeInt = 18;

constexpr uint8_t kSubTypeNone = 0;
constexpr uint8_t kSubTypeFixedString = 31;
constexpr uint8_t kSubTypeWideString = 32;
constexpr uint8_t kSubTypeMemo = 22;
constexpr uint8_t kSubTypeBinary = 23;
constexpr uint8_t kSubTypeFormattedMemo = 24;
constexpr uint8_t kSubTypeGraphic = 26;
constexpr uint8_t kSubTypeTypedBinary = 28;
constexpr uint8_t kSubTypeAutoInc = 29;
constexpr uint8_t kSubTypeMoney = 21;

constexpr uint8_t kMaxDeclaredSize = 250;  // Size of types 1, 9 and 15
constexpr uint8_t kBcdWidth = 34;
constexpr uint8_t kExtendedWidth = 10;

// Whether `type` is one of the codes above.
bool IsKnownFieldType(uint8_t type);

// Whether `subType` is allowed with `type`.
bool IsValidSubType(uint8_t type, uint8_t subType);

// Types 1, 9 and 15 carry a declared size; all others have size 0.
inline bool FieldTypeHasSize(uint8_t type) {
  return type == kFieldTypeString || type == kFieldTypeBytes || type == kFieldTypeVarBytes;
}

inline bool IsAutoIncField(uint8_t type, uint8_t subType) {
  return type == kFieldTypeInteger && subType == kSubTypeAutoInc;
}

// The stored data width of a field of `type` with declared `size`; 0 for an
// unknown type.
uint8_t FieldDataWidth(uint8_t type, uint8_t size);

}  // namespace rudira
