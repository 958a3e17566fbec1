#include "expression_harness.h"

#include <gtest/gtest.h>

#include "engine/calendar.h"
#include "engine/expression_value.h"
#include "storage/field_type.h"

namespace rudira::test {

ExpressionHarness::ExpressionHarness() {
  // The default record: A 'yes', B 40, C false, D 2024-03-05, N NULL, F 2.5,
  // T 13:05:00, S '日本語', M a memo.
  Columns = {
      {"A", kFieldTypeString, 0, 20, 0, [](TExpToken& v) { v.SetBytes("yes"); }},
      {"B", kFieldTypeInteger, 0, 0, 0, [](TExpToken& v) { v.SetInt32(40); }},
      {"C", kFieldTypeBoolean, 0, 0, 0, [](TExpToken& v) { v.SetUInt16(0); }},
      {"D", kFieldTypeDate, 0, 0, 0, [](TExpToken& v) { v.SetInt32(*EncodeDate(2024, 3, 5)); }},
      {"N", kFieldTypeInteger, 0, 0, 0, nullptr},
      {"F", kFieldTypeFloat, 0, 0, 0, [](TExpToken& v) { v.SetDouble(2.5); }},
      {"T", kFieldTypeTime, 0, 0, 0, [](TExpToken& v) { v.SetInt32(*EncodeTime(13, 5, 0, 0)); }},
      {"TS", kFieldTypeTimestamp, 0, 0, 0,
       [](TExpToken& v) { v.SetDouble(EncodeTimestamp(*EncodeDate(2024, 3, 5), *EncodeTime(13, 5, 0, 0))); }},
      {"S", kFieldTypeString, 0, 30, 0, [](TExpToken& v) { v.SetBytes("日本語"); }},
      {"M", kFieldTypeBlob, kSubTypeMemo, 0, 0,
       [](TExpToken& v) { v.SetBytes("Go is a game. The game of Go is old; go play."); }},
      {"W", kFieldTypeWord, 0, 0, 0, [](TExpToken& v) { v.SetUInt16(7); }},
      {"L", kFieldTypeLargeInt, 0, 0, 0, [](TExpToken& v) { v.SetInt64(5000000000LL); }},
      {"SI", kFieldTypeSmallInt, 0, 0, 0, [](TExpToken& v) { v.SetInt16(-3); }},
      {"BC", kFieldTypeBcd, 0, 0, 4, [](TExpToken& v) { v.SetBcd(*BcdFromFixedPoint(12345, 4)); }},
      {"BY", kFieldTypeBytes, 0, 4, 0, [](TExpToken& v) { v.SetBytes(std::string("\x01\x02\x03\x04", 4)); }},
  };
}

bool ExpressionHarness::Resolve(TExpToken& column) const {
  for (size_t i = 0; i < Columns.size(); ++i) {
    const HarnessColumn& c = Columns[i];
    if (c.Name.size() != column.ColumnName.size()) continue;
    bool same = true;
    for (size_t k = 0; k < c.Name.size() && same; ++k) {
      same = std::toupper(static_cast<unsigned char>(c.Name[k])) ==
             std::toupper(static_cast<unsigned char>(column.ColumnName[k]));
    }
    if (!same) continue;
    column.FieldNo = static_cast<int32_t>(i + 1);
    column.ColumnName = c.Name;
    column.SetType(c.Type, c.SubType, c.Size, c.Scale);
    return true;
  }
  return false;
}

void ExpressionHarness::ReadColumn(const TExpToken& column, TExpToken& value) {
  const HarnessColumn& c = Columns.at(static_cast<size_t>(column.FieldNo - 1));
  if (c.Fill) c.Fill(value);
  else value.SetNull();
}

TExpTokenPtr ExpressionHarness::Parse(const std::string& text, uint32_t permissions) {
  TExpressionParser parser(ErrorCode, Context, Owner);
  parser.SetNames("db\\", "T");
  parser.SetText(text);
  return parser.Parse(permissions);
}

TExpTokenPtr ExpressionHarness::Check(const std::string& text, uint32_t permissions) {
  TExpTokenPtr root = Parse(text, permissions);
  TExpressionCheck check;
  check.ErrorCode = ErrorCode;
  check.DatabaseName = "db\\";
  check.TableName = "T";
  check.ContextPhrase = Context;
  check.StringsNameColumns = true;
  check.ResolveColumn = [this](TExpToken& column) { return Resolve(column); };
  CheckExpressionTypes(*root, check);
  return root;
}

TExpTokenPtr ExpressionHarness::Evaluate(const std::string& text, uint32_t permissions) {
  TExpTokenPtr root = Check(text, permissions);
  return EvaluateExpression(*root, *this, Options);
}

std::string ExpressionHarness::ValueText(const TExpToken& value) {
  if (value.IsNull) return "NULL";
  return ExpValueText(LoadExpValue(value));
}

ERUDIRAEngineError ExpressionHarness::Raised(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const ERUDIRAEngineError& e) {
    return e;
  }
  ADD_FAILURE() << "no engine error was raised";
  return ERUDIRAEngineError(0, 0, 0, "", "", "", "", "", "", "", "");
}

std::string DumpTree(const TExpToken& node) {
  switch (node.NodeKind) {
    case kNodeColumn:
      return node.TableAlias.empty() ? node.ColumnName : node.TableAlias + "." + node.ColumnName;
    case kNodeConstant:
      if (node.IsParameter) return "?" + std::to_string(node.ParameterIndex);
      if (node.IsNull) return "NULL";
      if (node.DataType == kFieldTypeString) return "'" + std::string(node.Bytes()) + "'";
      return ExpValueText(LoadExpValue(node));
    case kNodeUnary:
      return "(" + node.TokenText + " " + DumpTree(*node.Left) + ")";
    case kNodeBinary:
      return "(" + node.TokenText + " " + DumpTree(*node.Left) + " " + DumpTree(*node.Right) + ")";
    case kNodeSubSelect:
      return "SELECT";
    default: {
      std::string text = "(" + node.TokenText;
      for (const TExpToken* argument : node.Arguments) text += " " + DumpTree(*argument);
      return text + ")";
    }
  }
}

}  // namespace rudira::test
