// The evaluator of typed expression trees.
//
// Evaluation is recursive over a tree that the type checker has typed; it
// raises nothing for NULLs and follows the types fixed by the checker:
//   - "=" is true when both sides are NULL and false when one is; "<>" the
//     opposite; the ordering comparisons are false when exactly one side is
//     NULL;
//   - strings compare under the table's locale (case counts); filters may ask
//     for case-insensitive equality and equality over a prefix length;
//   - numbers compare across types as numbers (BCD through its fixed-point
//     value), a DATE against a TIMESTAMP as the date's midnight;
//   - arithmetic with a NULL operand is NULL, except that "+" on strings
//     takes a NULL string as empty; AND and OR take NULL as false;
//   - a division by zero, and a BCD result outside the 64-bit fixed-point
//     range, is NULL;
//   - SUBSTRING, REPLACE and TRIM results that come out empty are NULL.
//
// Column values, sub-selects, aggregates and other tables come from the
// caller through TExpressionRecordAccess.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/exp_token.h"
#include "engine/split_words.h"
#include "storage/field_descriptor.h"

namespace rudira {

// What the evaluator needs from its caller.
class TExpressionRecordAccess {
 public:
  virtual ~TExpressionRecordAccess() = default;

  // Fills `value` (typed like the column) with the column's value in the
  // current record: SetNull() or one of the setters (strings and memos whole
  // through SetBytes).
  virtual void ReadColumn(const TExpToken& column, TExpToken& value) = 0;

  // The stored record that holds the column's current value, with the
  // column's field there, for a caller whose columns are fields of records
  // in their table's layout: the evaluator then takes numbers straight from
  // the record's bytes. Null (the default) when the value comes another way;
  // ReadColumn is then asked.
  virtual const uint8_t* ColumnRecord(const TExpToken& column, const TFieldDescriptor*& field);

  // Whether the sub-select yields a row with `tested` bound as its value.
  // The default raises: only SQL statements parse sub-selects.
  virtual bool SubSelectHasRow(const TExpToken& subSelect, const TExpToken& tested);

  // The current value of an aggregate over the group being evaluated. The
  // default raises: aggregates are evaluated by the SQL grouping.
  virtual void ReadAggregate(const TExpToken& aggregate, TExpToken& value);

  // The last auto-increment value of the named table. The default raises.
  virtual int32_t LastAutoIncValue(std::string_view tableName);

  // The word characters of the column's text index: the default takes every
  // byte above 32 except punctuation as a word character and blanks and
  // punctuation as separators.
  virtual void TextIndexCharSets(const TExpToken& column, CharSet& includeChars, CharSet& spaceChars);
};

struct TEvaluateOptions {
  uint16_t LanguageId = 0;       // the table's locale
  uint16_t SortId = 0;
  bool CaseInsensitive = false;  // "=" and "<>" on strings ignore case
  size_t PartialLength = 0;      // "=" and "<>" on strings compare this many bytes; 0 whole texts
};

// The value of `root` against the caller's current record: a new node with
// the root's type and the value (IsNull for NULL).
TExpTokenPtr EvaluateExpression(const TExpToken& root, TExpressionRecordAccess& access,
                                const TEvaluateOptions& options = {});

// Whether `root` (a BOOLEAN tree) is true for the current record; NULL
// counts as false.
bool EvaluateCondition(const TExpToken& root, TExpressionRecordAccess& access, const TEvaluateOptions& options = {});

}  // namespace rudira
