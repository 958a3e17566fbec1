// ReadFieldToken: the value of one field of a stored record as an
// expression value, for everything that evaluates expressions over records
// (filters, SQL execution).
//
// Strings keep their length; BLOB fields (memos included) are read whole
// through the table's BLOB file; a null field, a null record or a BLOB
// without blocks gives NULL.
#pragma once

#include <cstdint>

#include "engine/exp_token.h"
#include "storage/data_table.h"
#include "storage/field_descriptor.h"

namespace rudira {

// Fills `value` with `field` of `record`. REQUIRES: `record` (when not
// null) is a record of `table`.
void ReadFieldToken(TDataTable& table, const TFieldDescriptor& field, const uint8_t* record, TExpToken& value);

// The value of a small integer, word, integer (AUTOINC included) or large
// integer field of `record`, as ReadFieldToken would give it, without a
// value node: true with `isNull` and `value` for those types, false
// (nothing read) for any other type.
bool ReadIntegerField(const TFieldDescriptor& field, const uint8_t* record, int64_t& value, bool& isNull);

}  // namespace rudira
