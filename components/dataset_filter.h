// TDataSetFilter: a dataset's Filter text compiled against the fields of its
// cursor and tried on records.
//
// The text is parsed and type-checked as a filter expression by the engine's
// expression parser and checker (RUDIRA_INVALIDFILTER with the parser's
// message on a bad text; string constants may name columns) and evaluated
// on each record read: a record is in view when the condition is true (NULL
// counts as false). foCaseInsensitive makes "=" and "<>" on strings ignore
// case.
//
// This runs in the dataset over every record the cursor reads; the cursor's
// own filter layer, which can serve a condition from an index, takes its
// place once it exists (a placeholder until then). A trailing "*" of a
// string constant (partial compare) is left to that layer: here it is an
// ordinary character.
//
// REQUIRES: the cursor outlives the filter and keeps its fields.
#pragma once

#include <cstdint>
#include <string>

#include "components/data_set.h"
#include "engine/data_cursor.h"
#include "engine/exp_token.h"
#include "engine/expression_evaluator.h"

namespace rudira {

class TDataSetFilter : public TExpressionRecordAccess {
 public:
  // Compiles `text`; raises for a text that is no boolean expression.
  TDataSetFilter(TDataCursor& cursor, const std::string& text, TFilterOptions options);

  // Whether the record (a record of the cursor) satisfies the condition.
  bool Accepts(const uint8_t* record);

  void ReadColumn(const TExpToken& column, TExpToken& value) override;

 private:
  TDataCursor& cursor_;
  TExpTokenPtr root_;
  TEvaluateOptions options_;
  const uint8_t* record_ = nullptr;  // the record being tried
};

}  // namespace rudira
