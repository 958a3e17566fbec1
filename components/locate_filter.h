// The temporary filter of Locate and Lookup when no index serves the search:
// one equality per field with its value, joined by AND, made as a typed
// expression tree for TDataCursor::AddFilter.
//
// The tree is built from the fields' own descriptors and values, never from
// text, so a string value is compared as it is: no quoting is needed and a
// value that happens to spell a field name stays a constant.
//
//   value                         condition
//   NULL                          field = NULL (the null test)
//   a string, partial key         field = 'value*' (a prefix compare; the
//                                 filter is made without no-partial-compare)
//   an empty string, partial key  field <> NULL (every text starts with "")
//   anything else                 field = value
//
// With the case-insensitive option the filter compares strings without
// regard to case. Strings are given as a store would leave them (trimmed to
// the field's size, its character case applied) and without the trailing "*"
// that partial key removes.
#pragma once

#include <vector>

#include "components/data_set.h"
#include "engine/data_filter.h"
#include "engine/exp_token.h"
#include "storage/field_value.h"

namespace rudira {

struct TLocateCondition {
  const TFieldDescriptor* Field = nullptr;  // an engine field of the cursor
  TFieldValue Value;                         // in the field's own type
};

// The AND of the conditions' equalities. REQUIRES: at least one condition.
TExpTokenPtr BuildLocateFilter(const std::vector<TLocateCondition>& conditions, TLocateOptions options);

// The filter options that go with the tree.
TCursorFilterOptions LocateFilterOptions(TLocateOptions options);

}  // namespace rudira
