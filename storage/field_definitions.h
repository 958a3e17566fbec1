// Checking field definitions and laying out records.
//
// PrepareFieldDefinitions runs before a table is created (or restructured):
// it checks what the caller asked for, normalises what the caller may leave
// open (sizes and scales of types that have none, the derived Width, the
// Offsets) and computes the record size. ValidateFieldDescriptors runs when a
// data file is opened and accepts only what PrepareFieldDefinitions could
// have produced.
//
// Offsets: an AUTOINC field reads the record header's auto-increment value at
// offset 5 and has no null-flag byte; a Computed field occupies nothing and
// has Offset 0; every other field takes Width + 1 bytes from offset 9 upward
// in field order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/field_descriptor.h"

namespace rudira {

struct RecordLayoutSummary {
  uint32_t RecordSize = 0;     // 9 + Σ (Width + 1) over the fields with a null flag
  int BlobFieldCount = 0;      // fields of type 3
};

// Checks `fields` (in field-number order) and fills in Size, Scale,
// ScaleCopy, Width and Offset. Raises, with databaseName and tableName as
// context (and the field's name where one is at fault):
//   9492  no field, or more than 1024
//   10000 a field number that is not its 1-based position, an unknown type or
//         sub-type, a missing or out-of-range size (types 1, 9, 15: 1..250), a
//         scale above 32, a CharCase above 2
//   10038 a name that is empty, longer than 30 bytes, does not begin with a
//         letter, "_" or a byte 128..254, or repeats another without regard to case
//   10006 a minimum, maximum or default text that does not parse for the type
//   9498  more than 128 BLOB fields
//   9477  a record size above 65535
RecordLayoutSummary PrepareFieldDefinitions(std::vector<TFieldDescriptor>& fields, std::string_view databaseName,
                                            std::string_view tableName);

// Whether the descriptors read from a file are consistent: widths match type
// and size, names are valid and unique, numbers equal positions, sizes,
// scales and check texts are valid, offsets are consecutive from 9 (AUTOINC
// at 5) and the record size equals `recordSize`, the BLOB field count equals
// `blobFieldCount`.
bool ValidateFieldDescriptors(const std::vector<TFieldDescriptor>& fields, uint16_t recordSize,
                              int16_t blobFieldCount);

// Whether `name` is a valid field name: 1 to 30 bytes, beginning with a
// letter, "_" or a byte 128..254.
bool IsValidFieldName(std::string_view name);

// The key under which field names compare without regard to case.
std::string FieldNameKey(std::string_view name);

// Whether a minimum, maximum or default text parses for the field's type.
// The empty text (no check) always does.
bool FieldCheckTextParses(const TFieldDescriptor& field, std::string_view text);

}  // namespace rudira
