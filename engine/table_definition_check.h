// The check of a table definition before a create or a restructure.
#pragma once

#include <string_view>

#include "engine/restructure_definition.h"

namespace rudira {

// Checks `definition`, in this order, raising with databaseName and
// tableName as context:
//   10015 encrypted with a password that, trimmed, is empty or longer than 15
//   15878 a non-zero language identifier without an installed locale for the
//         sort identifier
//   9492  more than 1024 fields, or a LastAutoIncValue below -1
//   9487  more than 32 secondary index definitions
//   9498  a BLOB block size below 64
// then the field rules (storage/field_definitions.h) and the index rules
// (storage/index_key.h PrepareIndexDefinition; secondary names valid and
// unique, 10010, 10022, 10027). With `restructuring` an index field number
// that names no new field raises 9985 with the number as field name.
//
// A given field's FieldNo links it to the table's field of that number (0
// for a new field); the returned copy numbers the fields by position and
// has them and the indexes prepared (widths, offsets, key sizes, field
// counts).
TRestructureDefinition ValidateDefinition(const TRestructureDefinition& definition, std::string_view databaseName,
                                          std::string_view tableName, bool restructuring = false);

}  // namespace rudira
