// ExpValue: the working form of a value while an expression is evaluated,
// and its exchange with the stored encodings of TExpToken nodes.
//
//   type                               held in
//   4 BOOLEAN, 5, 6, 12, 13, 18        Int (BOOLEAN 0 or 1)
//   2 DATE (day), 10 TIME (ms)         Int
//   8 BCD                              Int: the fixed-point value x 10000; Scale the stored scale
//   7 FLOAT, 11 TIMESTAMP, 14          Real
//   1 string, 3 BLOB, 9 and 15 bytes   Text
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/exp_token.h"
#include "engine/expression_evaluator.h"

namespace rudira {

struct ExpValue {
  uint8_t Type = 0;
  uint8_t SubType = 0;
  uint16_t Size = 0;
  uint8_t Scale = 0;
  bool Null = true;
  int64_t Int = 0;
  double Real = 0;
  std::string Text;

  static ExpValue NullOf(uint8_t type) {
    ExpValue v;
    v.Type = type;
    return v;
  }
  static ExpValue Boolean(bool b);
  static ExpValue Integer(uint8_t type, int64_t i);
  static ExpValue Float(uint8_t type, double d);
  static ExpValue String(uint8_t type, std::string text);  // empty text is NULL
};

// The node's value (its type fields and stored bytes).
ExpValue LoadExpValue(const TExpToken& node);
// Writes the value into the node in its stored encoding with the value's
// type. A BCD outside the 32-digit form at its scale is stored as NULL.
void StoreExpValue(const ExpValue& value, TExpToken& node);

// The value converted to another type for IF, COALESCE and IFNULL results:
// numbers widen, DATE becomes TIMESTAMP, strings become BLOB texts. A value
// that cannot be converted is NULL.
ExpValue ConvertExpValue(const ExpValue& value, uint8_t type, uint8_t subType, uint16_t size, uint8_t scale);

// The text form of a value (dates and times in the fixed forms).
std::string ExpValueText(const ExpValue& value);

// The value of a function node (kNodeFunction other than CAST); `eval`
// evaluates its arguments.
struct ExpValue;
ExpValue EvaluateFunctionNode(const TExpToken& node, TExpressionRecordAccess& access, const TEvaluateOptions& options,
                              const std::function<ExpValue(const TExpToken&)>& eval);

bool IsExpIntegerType(uint8_t type);  // BOOLEAN, 5, 6, 12, 13, 18
bool IsExpTextType(uint8_t type);     // 1, 3, 9, 15

}  // namespace rudira
