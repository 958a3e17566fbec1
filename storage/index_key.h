// Keys of index entries: how a record's index fields become bytes whose
// unsigned byte order is the index order (for tables without a locale).
//
// A key is, for each index field in key order, one null-flag byte (1 = the
// field has a value, 0 = null) followed by the field's Width bytes in an
// order-preserving form:
//
//   type                              form
//   1 string                          the text (upper-cased under the table's locale
//                                     when CaseInsensitive, cut to Size bytes at a
//                                     character boundary), zero-terminated, zero-padded
//   2 date, 6 integer/AUTOINC, 10 time   int32 big-endian, sign bit inverted
//   5 small integer                   int16 big-endian, sign bit inverted
//   4 boolean, 12 word                uint16 big-endian
//   18 large integer                  int64 big-endian, sign bit inverted
//   7 float/money, 11 timestamp       float64 big-endian; >= 0: sign bit set;
//                                     < 0: all eight bytes inverted
//   8 BCD                             the value × 10000 as int64, in the large-integer
//                                     form, in the first 8 of the 34 bytes; the other
//                                     26 bytes are 0
//   any other                         the stored bytes unchanged
//
// A null field has flag 0 and all value bytes 0. A descending field of a
// table without a locale has its flag byte and value bytes inverted (for a
// string the flag and the Size text bytes, the last terminator byte stays
// 0); with a locale descending order comes from the comparison instead
// (storage/index_key_compare.h). A non-unique index appends the record's
// unique id (record bytes 5..8) as int32 in the form above, which makes every
// key distinct: equal values order by id.
//
// KeySize = Σ (Width + 1) over the index fields, + 4 when not unique.
//
// Choices where the form leaves room: -0.0 is keyed as +0.0 (they are equal
// values); a BCD outside the 64-bit fixed-point range is keyed as the nearest
// end of that range.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/field_descriptor.h"
#include "storage/field_value.h"
#include "storage/index_definition.h"

namespace rudira {

// Order-preserving forms of single values (big-endian, see above).
void EncodeOrderedInt16(int16_t value, uint8_t* out);
void EncodeOrderedUInt16(uint16_t value, uint8_t* out);
void EncodeOrderedInt32(int32_t value, uint8_t* out);
void EncodeOrderedInt64(int64_t value, uint8_t* out);
void EncodeOrderedDouble(double value, uint8_t* out);
int32_t DecodeOrderedInt32(const uint8_t* in);
int64_t DecodeOrderedInt64(const uint8_t* in);
double DecodeOrderedDouble(const uint8_t* in);

// The key bytes of one index field, Width + 1 bytes at out, from the field's
// stored value: `data` points at its Width stored bytes (record offset + 1;
// for AUTOINC record offset 5); `hasValue` false keys it as null.
// `invert`: descending field of a table without a locale.
void EncodeKeyField(const TFieldDescriptor& field, bool hasValue, const uint8_t* data, bool caseInsensitive,
                    bool invert, const TableLocale& locale, uint8_t* out);

// The key bytes of one field of a whole record: its stored value, AUTOINC
// from record offset 5 (never null), a Computed field as null.
void EncodeRecordKeyField(const TFieldDescriptor& field, const uint8_t* record, bool caseInsensitive, bool invert,
                          const TableLocale& locale, uint8_t* out);

// The key of `record` in the index `definition` over the table's fields.
// REQUIRES: the definition has been prepared against these fields
// (PrepareIndexDefinition), key holds KeySize bytes.
void BuildIndexKey(const TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields,
                   const uint8_t* record, const TableLocale& locale, uint8_t* key);

// Whether records a and b hold the same bytes wherever BuildIndexKey reads
// for `definition`: each key field's null flag and value (the unique id for
// an auto-increment field) and, in a non-unique index, the unique id. True
// means both give the same key; false says nothing (equal values may still
// key alike, e.g. texts differing only in case in a case-insensitive index).
// REQUIRES: as for BuildIndexKey.
bool IndexKeySourcesEqual(const TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields,
                          const uint8_t* a, const uint8_t* b);

// The "Sys Deleted" key of a record: its status byte and its unique id.
void BuildSysDeletedKey(const uint8_t* record, uint8_t* key);

// Σ (Width + 1) over the index fields, + 4 when not unique.
// REQUIRES: every field number names one of `fields`.
int IndexKeySize(const TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields);

// Checks a definition against the table's fields and sets its KeySize (for
// the "Sys Text" index, `textIndex`, the fixed 68). Raises with the table
// name (and the index and field names):
//   9487  more than 16 fields
//   10023 a field number that names no field
//   12292 a BLOB field; for the text index a field that is neither a string
//         nor a memo
//   10026 a key of more than 522 bytes
void PrepareIndexDefinition(TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields,
                            bool textIndex, const std::string& tableName);

}  // namespace rudira
