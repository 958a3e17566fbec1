// Storing field values into record buffers and reading them back.
//
// A field value travels as TFieldValue, whose alternative is fixed by the
// field's type:
//
//   type                          alternative              meaning
//   1 string                      std::string              UTF-8 text
//   2 date                        int32_t                  day number, 0001-01-01 = 1
//   3 BLOB                        BlobReference            first block and stamp
//   4 boolean                     bool (store: also uint16_t, above 1 stored as 1)
//   5 small integer               int16_t
//   6 integer, AUTOINC            int32_t
//   7 float, money                double
//   8 BCD                         Bcd
//   9 bytes, 15 variable bytes    std::vector<uint8_t>     cut or zero-padded to Width
//   10 time                       int32_t                  milliseconds since midnight
//   11 timestamp                  double                   milliseconds since 0001-01-01 00:00
//   12 word                       uint16_t
//   13 cardinal                   uint32_t
//   14 extended                   long double
//   18 large integer              int64_t
//
// std::monostate is null. Storing rules: a string has its trailing blanks
// removed (and everything from an embedded zero byte on, since the stored text
// is zero-terminated), gets the field's CharCase under the table's locale, is
// cut to Size bytes without splitting a UTF-8 character and is
// zero-terminated; it is null when nothing is left. An AUTOINC value goes to
// record offset 5 without a null flag; AUTOINC is never null, so storing null
// into it leaves it unchanged. A store into a Computed field is ignored.
// Storing null sets the null flag to 0 and zeroes the data bytes; every other
// value sets it to 1.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "storage/bcd.h"
#include "storage/field_descriptor.h"

namespace rudira {

struct BlobReference {
  int32_t FirstBlock = 0;  // 0 = no BLOB
  int32_t Stamp = 0;
  bool operator==(const BlobReference&) const = default;
};

using TFieldValue = std::variant<std::monostate, std::string, bool, int16_t, uint16_t, int32_t, uint32_t,
                                 int64_t, double, long double, Bcd, BlobReference, std::vector<uint8_t>>;

// The locale of a table, for case mapping.
struct TableLocale {
  int16_t LanguageId = 0;  // 0 = none
  int16_t SortId = 0;
};

// Stores `value` into field `field` of `record`. Returns false, changing
// nothing, when the value's alternative does not fit the field's type.
// REQUIRES: record holds at least field.Offset + 1 + field.Width bytes.
[[nodiscard]] bool StoreFieldValue(uint8_t* record, const TFieldDescriptor& field, const TFieldValue& value,
                                   const TableLocale& locale);

// Stores null into the field (see above for AUTOINC and Computed fields).
void StoreFieldNull(uint8_t* record, const TFieldDescriptor& field);

// Whether the field is null: its null flag is 0. AUTOINC is never null; a
// Computed field, holding no bytes, always is.
bool IsFieldNull(const uint8_t* record, const TFieldDescriptor& field);

// The field's value, std::monostate when null.
TFieldValue ReadFieldValue(const uint8_t* record, const TFieldDescriptor& field);

// The string rules of a store without the record: trailing blanks removed,
// CharCase applied under the locale, cut to `size` bytes at a character
// boundary. Empty means null.
std::string NormalizeStringValue(std::string_view text, uint8_t charCase, uint8_t size, const TableLocale& locale);

}  // namespace rudira
