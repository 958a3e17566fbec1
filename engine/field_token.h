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

}  // namespace rudira
