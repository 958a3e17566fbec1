#include "engine/expression_checker.h"

#include <algorithm>
#include <string>

#include "engine/errors.h"
#include "engine/expression_parser.h"
#include "engine/utf8_text.h"
#include "engine/value_text.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

bool IsInt(uint8_t t) { return t == kFieldTypeSmallInt || t == kFieldTypeInteger || t == kFieldTypeWord; }
bool IsIntOrLarge(uint8_t t) { return IsInt(t) || t == kFieldTypeLargeInt; }
bool IsNumeric(uint8_t t) {
  return IsIntOrLarge(t) || t == kFieldTypeFloat || t == kFieldTypeBcd;
}
bool IsStringLike(uint8_t t) {
  return t == kFieldTypeString || t == kFieldTypeBlob || t == kFieldTypeBytes || t == kFieldTypeVarBytes;
}
bool IsText(uint8_t t) { return t == kFieldTypeString || t == kFieldTypeBlob; }
bool IsDateTime(uint8_t t) { return t == kFieldTypeDate || t == kFieldTypeTime || t == kFieldTypeTimestamp; }

bool IsStringConstant(const TExpToken& n) {
  return n.NodeKind == kNodeConstant && !n.IsParameter && n.DataType == kFieldTypeString;
}

bool IsNullConstant(const TExpToken& n) { return n.NodeKind == kNodeConstant && !n.IsParameter && n.IsNull; }

// The numeric rank used to widen IF / COALESCE results.
int NumericRank(uint8_t t) {
  switch (t) {
    case kFieldTypeSmallInt: case kFieldTypeWord: return 1;
    case kFieldTypeInteger: return 2;
    case kFieldTypeLargeInt: return 3;
    case kFieldTypeBcd: return 4;
    case kFieldTypeFloat: return 5;
    default: return 0;
  }
}

class Checker {
 public:
  explicit Checker(const TExpressionCheck& check) : check_(check) {}

  void Check(TExpToken& node, bool mayNameColumn);

 private:
  [[noreturn]] void Raise(const std::string& message) const {
    RaiseEngineError(check_.ErrorCode,
                     {.DatabaseName = check_.DatabaseName, .TableName = check_.TableName, .Text = message});
  }
  [[noreturn]] void RaiseWithContext(std::string_view fragment) const {
    Raise(std::string(fragment) + std::string(check_.ContextPhrase));
  }
  [[noreturn]] void RaiseBinaryMismatch(const TExpToken& op, const TExpToken& left, const TExpToken& right) const {
    Raise("Type mismatch between '" + left.TokenText + "'" + " and " + "'" + right.TokenText + "'" + " for " +
          "'" + op.TokenText + "'" + " operator in " + std::string(check_.ContextPhrase));
  }

  void ResolveColumn(TExpToken& node);
  void ColumnFromString(TExpToken& node);
  void ConvertDateConstant(TExpToken& constant, uint8_t type);
  void AlignDateConstants(TExpToken& a, TExpToken& b);
  void CheckUnary(TExpToken& node);
  void CheckBinary(TExpToken& node);
  void CheckExtended(TExpToken& node);
  void CheckFunction(TExpToken& node);
  uint8_t CommonType(TExpToken& node, const TExpToken& a, const TExpToken& b, std::string_view name);

  const TExpressionCheck& check_;
};

void Checker::ResolveColumn(TExpToken& node) {
  if (node.ColumnName == "*") return;  // expanded by the SQL engine; COUNT(*) counts rows
  if (!check_.ResolveColumn || !check_.ResolveColumn(node)) {
    Raise(ExpressionMessage("Invalid column name '", node.ColumnName, check_.ContextPhrase));
  }
}

void Checker::ColumnFromString(TExpToken& node) {
  if (!check_.StringsNameColumns || !check_.ResolveColumn || !IsStringConstant(node) || node.IsNull) return;
  const uint8_t savedType = node.DataType, savedSub = node.SubType, savedScale = node.DataScale;
  const uint16_t savedSize = node.DataSize;
  node.NodeKind = kNodeColumn;
  node.ColumnName = Utf8Cut(node.Bytes(), 255);
  if (check_.ResolveColumn(node)) {
    node.FromString = true;
    node.SavedDataType = savedType;
    node.SavedSubType = savedSub;
    node.SavedDataSize = savedSize;
    node.SavedDataScale = savedScale;
    node.IsNull = true;
    return;
  }
  node.NodeKind = kNodeConstant;
  node.ColumnName.clear();
  node.FieldNo = 0;
  node.SetType(savedType, savedSub, savedSize, savedScale);
}

void Checker::ConvertDateConstant(TExpToken& constant, uint8_t type) {
  if (constant.IsNull) {
    constant.SetType(type);
    constant.IsNull = true;
    return;
  }
  const std::string text(constant.Bytes());
  try {
    switch (type) {
      case kFieldTypeDate: constant.SetInt32(TextToDate(text)); break;
      case kFieldTypeTime: constant.SetInt32(TextToTime(text)); break;
      default: constant.SetDouble(TextToTimestamp(text)); break;
    }
  } catch (const EConvertError&) {
    Raise(ExpressionMessage("Date, time, or timestamp expression expected, instead found '", text,
                            check_.ContextPhrase));
  }
  constant.SetType(type);
}

void Checker::AlignDateConstants(TExpToken& a, TExpToken& b) {
  if (IsStringConstant(a) && IsDateTime(b.DataType)) ConvertDateConstant(a, b.DataType);
  else if (IsStringConstant(b) && IsDateTime(a.DataType)) ConvertDateConstant(b, a.DataType);
}

void Checker::Check(TExpToken& node, bool mayNameColumn) {
  switch (node.NodeKind) {
    case kNodeColumn:
      ResolveColumn(node);
      return;
    case kNodeConstant:
      if (mayNameColumn) ColumnFromString(node);
      return;
    case kNodeSubSelect:
      return;  // typed by the SQL engine
    case kNodeUnary:
      Check(*node.Left, true);
      CheckUnary(node);
      return;
    case kNodeBinary:
      Check(*node.Left, true);
      Check(*node.Right, true);
      CheckBinary(node);
      return;
    case kNodeExtended:
      for (TExpToken* argument : node.Arguments) Check(*argument, true);
      CheckExtended(node);
      return;
    case kNodeFunction:
      for (size_t i = 0; i < node.Arguments.size(); ++i) {
        bool mayName = true;
        switch (node.OpCode) {
          case kFuncTrimLeading: case kFuncTrimTrailing: case kFuncTrimBoth: mayName = i != 0; break;
          case kFuncTextSearch: case kFuncTextOccurs: mayName = i != 0; break;
          case kFuncLastAutoInc: case kFuncIdentCurrent: mayName = false; break;
          case kFuncRound: mayName = i == 0; break;
          default: break;
        }
        Check(*node.Arguments[i], mayName);
      }
      CheckFunction(node);
      return;
    default:
      return;
  }
}

void Checker::CheckUnary(TExpToken& node) {
  const TExpToken& operand = *node.Left;
  const uint8_t t = operand.DataType;
  bool ok = false;
  switch (node.OpCode) {
    case kOpNot: ok = t == kFieldTypeBoolean; break;
    case kOpNegate:
      ok = t == kDataTypeUnknown || t == kFieldTypeDate || t == kFieldTypeSmallInt || t == kFieldTypeInteger ||
           t == kFieldTypeFloat || t == kFieldTypeBcd || t == kFieldTypeTime || t == kFieldTypeTimestamp ||
           t == kFieldTypeLargeInt;
      break;
    case kOpPlusSign:
      ok = t == kDataTypeUnknown || t == kFieldTypeDate || t == kFieldTypeSmallInt || t == kFieldTypeInteger ||
           t == kFieldTypeFloat || t == kFieldTypeBcd || t == kFieldTypeTime || t == kFieldTypeTimestamp ||
           t == kFieldTypeLargeInt || t == kFieldTypeWord;
      break;
    default: break;
  }
  if (!ok) {
    Raise("Type mismatch between '" + node.TokenText + "'" + " operator and " + "'" + operand.TokenText + "'" +
          " in " + std::string(check_.ContextPhrase));
  }
  node.SetType(t, operand.SubType, operand.DataSize, operand.DataScale);
}

void Checker::CheckBinary(TExpToken& node) {
  TExpToken& left = *node.Left;
  TExpToken& right = *node.Right;
  AlignDateConstants(left, right);
  const uint8_t l = left.DataType;
  const uint8_t r = right.DataType;
  switch (node.OpCode) {
    case kOpAnd: case kOpOr:
      if ((l != kFieldTypeBoolean && l != kDataTypeUnknown) || (r != kFieldTypeBoolean && r != kDataTypeUnknown)) {
        RaiseBinaryMismatch(node, left, right);
      }
      node.SetType(kFieldTypeBoolean);
      return;
    case kOpEqual: case kOpNotEqual: case kOpLess: case kOpLessEqual: case kOpGreater: case kOpGreaterEqual:
      if (!TypesComparable(l, r)) RaiseBinaryMismatch(node, left, right);
      node.SetType(kFieldTypeBoolean);
      return;
    default:
      break;
  }
  uint8_t result = 0;
  if (!ArithmeticResultType(node.OpCode, l, r, result)) RaiseBinaryMismatch(node, left, right);
  uint16_t size = 0;
  uint8_t scale = 0;
  uint8_t subType = 0;
  if (result == kFieldTypeString || result == kFieldTypeBlob) {
    size = static_cast<uint16_t>(std::min<int>(left.DataSize + right.DataSize, 65535));
    if (result == kFieldTypeBlob) subType = l == kFieldTypeBlob ? left.SubType : right.SubType;
  } else if (result == kFieldTypeBcd) {
    const uint8_t ls = l == kFieldTypeBcd ? left.DataScale : 0;
    const uint8_t rs = r == kFieldTypeBcd ? right.DataScale : 0;
    if (node.OpCode == kOpMultiply) scale = static_cast<uint8_t>(std::min(4, ls + rs));
    else if (node.OpCode == kOpDivide) scale = 4;
    else scale = std::max(ls, rs);
  }
  node.SetType(result, subType, size, scale);
}

void Checker::CheckExtended(TExpToken& node) {
  TExpToken& tested = *node.Arguments[0];
  switch (node.OpCode) {
    case kOpLike: case kOpNotLike: {
      TExpToken& pattern = *node.Arguments[1];
      const auto textOrUnknown = [](uint8_t t) { return t == kDataTypeUnknown || IsText(t); };
      if (!textOrUnknown(tested.DataType) || !textOrUnknown(pattern.DataType)) {
        RaiseBinaryMismatch(node, tested, pattern);
      }
      break;
    }
    case kOpInSelect: case kOpNotInSelect:
      break;
    default:
      for (size_t i = 1; i < node.Arguments.size(); ++i) {
        TExpToken& value = *node.Arguments[i];
        AlignDateConstants(tested, value);
        if (!TypesComparable(tested.DataType, value.DataType)) RaiseBinaryMismatch(node, tested, value);
      }
      break;
  }
  node.SetType(kFieldTypeBoolean);
}

uint8_t Checker::CommonType(TExpToken& node, const TExpToken& a, const TExpToken& b, std::string_view name) {
  const uint8_t ta = a.DataType;
  const uint8_t tb = b.DataType;
  uint8_t result = 0;
  if (ta == kDataTypeUnknown) result = tb;
  else if (tb == kDataTypeUnknown || ta == tb) result = ta;
  else if (IsNumeric(ta) && IsNumeric(tb)) {
    result = NumericRank(ta) >= NumericRank(tb) ? ta : tb;
    if (NumericRank(ta) == NumericRank(tb)) result = kFieldTypeInteger;  // SMALLINT with WORD
  } else if (IsText(ta) && IsText(tb)) result = kFieldTypeBlob;
  else if ((ta == kFieldTypeDate || ta == kFieldTypeTimestamp) && (tb == kFieldTypeDate || tb == kFieldTypeTimestamp)) {
    result = kFieldTypeTimestamp;
  } else {
    RaiseWithContext("Expression arguments of " + std::string(name) + " function must be of compatible types in ");
  }
  const TExpToken& source = result == ta ? a : b;
  uint16_t size = std::max(a.DataSize, b.DataSize);
  node.SetType(result, result == kFieldTypeBlob ? kSubTypeMemo : source.SubType, size,
               std::max(a.DataScale, b.DataScale));
  if (result == kFieldTypeBlob && ta == tb) node.SubType = a.SubType;
  return result;
}

void Checker::CheckFunction(TExpToken& node) {
  const std::string name = node.TokenText;
  std::vector<TExpToken*>& args = node.Arguments;
  const auto textOrUnknown = [](const TExpToken* n) { return n->DataType == kDataTypeUnknown || IsText(n->DataType); };
  const auto integerOrUnknown = [](const TExpToken* n) {
    return n->DataType == kDataTypeUnknown || IsIntOrLarge(n->DataType);
  };
  const auto textResult = [&](const TExpToken* source) {
    if (source->DataType == kFieldTypeBlob) node.SetType(kFieldTypeBlob, source->SubType);
    else node.SetType(kFieldTypeString, 0, source->DataSize);
  };
  switch (node.OpCode) {
    case kFuncSum: case kFuncRunSum: case kFuncMin: case kFuncMax: case kFuncAvg: {
      const uint8_t t = args[0]->DataType;
      if (t != kDataTypeUnknown && !IsNumeric(t) && !IsDateTime(t)) {
        RaiseWithContext("Expression argument of " + name +
                         " aggregate function must contain a numeric, date, time, or timestamp expression in ");
      }
      if (node.OpCode == kFuncAvg && IsIntOrLarge(t)) node.SetType(kFieldTypeFloat);
      else node.SetType(t, args[0]->SubType, args[0]->DataSize, args[0]->DataScale);
      return;
    }
    case kFuncCount:
      node.SetType(kFieldTypeInteger);
      return;
    case kFuncUpper: case kFuncLower:
      if (!textOrUnknown(args[0])) RaiseWithContext("Expression argument of " + name + " function must be a string or memo in ");
      textResult(args[0]);
      return;
    case kFuncLength:
      if (!textOrUnknown(args[0])) RaiseWithContext("Expression argument of LENGTH function must be a string or memo in ");
      node.SetType(kFieldTypeInteger);
      return;
    case kFuncSubstring:
      if (!textOrUnknown(args[0])) RaiseWithContext("Expression argument of SUBSTRING function must be a string or memo in ");
      if (!integerOrUnknown(args[1])) RaiseWithContext("FROM argument of SUBSTRING function must be an integer value in ");
      if (args.size() > 2 && !integerOrUnknown(args[2])) {
        RaiseWithContext("FOR argument of SUBSTRING function must be an integer value in ");
      }
      node.SetType(kFieldTypeString, 0, args[0]->DataType == kFieldTypeString ? args[0]->DataSize : kMaxDeclaredSize);
      return;
    case kFuncReplace:
      if (!textOrUnknown(args[0])) RaiseWithContext("Search argument of REPLACE function must be a string or memo in ");
      if (!textOrUnknown(args[1])) RaiseWithContext("Replacement argument of REPLACE function must be a string or memo in ");
      if (!textOrUnknown(args[2])) RaiseWithContext("Expression argument of REPLACE function must be a string or memo in ");
      textResult(args[2]);
      if (node.DataType == kFieldTypeString) {
        node.DataSize = static_cast<uint16_t>(std::min(65535, args[2]->DataSize * std::max<int>(1, args[1]->DataSize)));
      }
      return;
    case kFuncPos: case kFuncOccurs:
      if (!textOrUnknown(args[0])) RaiseWithContext("Search argument of " + name + " function must be a string or memo in ");
      if (!textOrUnknown(args[1])) RaiseWithContext("Expression argument of " + name + " function must be a string or memo in ");
      node.SetType(kFieldTypeInteger);
      return;
    case kFuncTrimLeading: case kFuncTrimTrailing: case kFuncTrimBoth: {
      const TExpToken& c = *args[0];
      // Exactly one UTF-8 character: one lead byte, the rest continuation bytes.
      const std::string_view bytes = c.Bytes();
      const size_t leads = static_cast<size_t>(std::count_if(
          bytes.begin(), bytes.end(), [](char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; }));
      const bool single = IsStringConstant(c) && !c.IsNull && leads == 1 &&
                          (static_cast<unsigned char>(bytes[0]) & 0xC0) != 0x80;
      if (!single) RaiseWithContext("Trim character argument of TRIM function must be a single character constant in ");
      if (!textOrUnknown(args[1])) RaiseWithContext("Expression argument of TRIM function must be a string or memo in ");
      textResult(args[1]);
      return;
    }
    case kFuncCast:
      return;  // the target type was set when the text was parsed
    case kFuncExtractYear: case kFuncExtractMonth: case kFuncExtractWeek: case kFuncExtractDay:
    case kFuncExtractDayOfWeek: case kFuncExtractDayOfYear: case kFuncExtractHour: case kFuncExtractMinute:
    case kFuncExtractSecond:
      if (args[0]->DataType != kDataTypeUnknown && !IsDateTime(args[0]->DataType)) {
        RaiseWithContext("FROM argument of EXTRACT function must be a date, time, or timestamp in ");
      }
      node.SetType(kFieldTypeInteger);
      return;
    case kFuncIf:
      if (args[0]->DataType != kFieldTypeBoolean && args[0]->DataType != kDataTypeUnknown) {
        RaiseWithContext("First expression argument of IF function must be a boolean type in ");
      }
      CommonType(node, *args[1], *args[2], name);
      return;
    case kFuncIfNull:
      CommonType(node, *args[1], *args[2], name);
      return;
    case kFuncCoalesce: {
      if (std::all_of(args.begin(), args.end(), [](const TExpToken* a) { return IsNullConstant(*a); })) {
        Raise("At least one of the " + name + " expression " + "arguments in " + std::string(check_.ContextPhrase) +
              " must be a non-NULL value");
      }
      TExpToken* current = args[0];
      node.SetType(current->DataType, current->SubType, current->DataSize, current->DataScale);
      for (size_t i = 1; i < args.size(); ++i) {
        TExpToken probe;
        probe.SetType(node.DataType, node.SubType, node.DataSize, node.DataScale);
        CommonType(node, probe, *args[i], name);
      }
      return;
    }
    case kFuncAbs:
      if (args[0]->DataType != kDataTypeUnknown && !IsNumeric(args[0]->DataType)) {
        RaiseWithContext("Expression argument of ABS function must be an integer, floating-point, or BCD type in ");
      }
      node.SetType(args[0]->DataType, args[0]->SubType, 0, args[0]->DataScale);
      return;
    case kFuncRound: {
      const uint8_t t = args[0]->DataType;
      if (t != kDataTypeUnknown && t != kFieldTypeFloat && t != kFieldTypeBcd) {
        RaiseWithContext("Expression argument of ROUND function must be a floating-point or BCD type in ");
      }
      if (args.size() > 1) {
        const TExpToken& n = *args[1];
        const bool ok = n.NodeKind == kNodeConstant && !n.IsParameter && !n.IsNull &&
                        (n.DataType == kFieldTypeInteger || n.DataType == kFieldTypeSmallInt) &&
                        (n.DataType == kFieldTypeInteger ? n.Int32() : n.Int16()) >= 0 &&
                        (n.DataType == kFieldTypeInteger ? n.Int32() : n.Int16()) <= 32;
        if (!ok) RaiseWithContext("Decimal places argument of ROUND function must be an integer constant between 0 and 32 in ");
      }
      node.SetType(t, args[0]->SubType, 0, args[0]->DataScale);
      return;
    }
    case kFuncTextSearch: case kFuncTextOccurs: {
      const TExpToken& text = *args[0];
      if (!IsStringConstant(text) || text.IsNull) {
        RaiseWithContext(name + " search text function argument must be a string constant in ");
      }
      const TExpToken& column = *args[1];
      if (column.NodeKind != kNodeColumn || column.ColumnName == "*" || !IsText(column.DataType)) {
        RaiseWithContext(name + " function column argument must be a valid column name in ");
      }
      node.SetType(node.OpCode == kFuncTextSearch ? kFieldTypeBoolean : kFieldTypeWord);
      return;
    }
    case kFuncLastAutoInc: case kFuncIdentCurrent:
      if (!IsStringConstant(*args[0]) || args[0]->IsNull) {
        RaiseWithContext("Table name argument of " + name + " function must be a string constant in ");
      }
      node.SetType(kFieldTypeInteger);
      return;
    default:
      return;
  }
}

}  // namespace

bool TypesComparable(uint8_t left, uint8_t right) {
  if (left == kDataTypeUnknown || right == kDataTypeUnknown) return true;
  if (IsStringLike(left) || IsStringLike(right)) return true;
  const auto pairs = [](uint8_t a, uint8_t b) {
    switch (a) {
      case kFieldTypeDate: return b == kFieldTypeDate || b == kFieldTypeTimestamp;
      case kFieldTypeTime: return b == kFieldTypeTime || b == kFieldTypeTimestamp;
      case kFieldTypeTimestamp: return b == kFieldTypeDate || b == kFieldTypeTime || b == kFieldTypeTimestamp;
      case kFieldTypeBoolean: return b == kFieldTypeBoolean || b == kFieldTypeSmallInt || b == kFieldTypeWord;
      case kFieldTypeSmallInt: case kFieldTypeWord: return IsNumeric(b) || b == kFieldTypeBoolean;
      case kFieldTypeInteger: case kFieldTypeFloat: case kFieldTypeBcd: case kFieldTypeLargeInt: return IsNumeric(b);
      default: return a == b;
    }
  };
  return pairs(left, right) && pairs(right, left);
}

bool ArithmeticResultType(uint8_t op, uint8_t l, uint8_t r, uint8_t& result) {
  result = 0;
  if (l == kDataTypeUnknown || r == kDataTypeUnknown) {
    const uint8_t other = l == kDataTypeUnknown ? r : l;
    bool ok = other == kDataTypeUnknown || IsNumeric(other);
    if (op == kOpAdd) ok = ok || IsText(other) || IsDateTime(other);
    if (op == kOpSubtract) ok = ok || IsDateTime(other);
    if (ok) result = other;
    return ok;
  }
  const bool numericPair = IsNumeric(l) && IsNumeric(r);
  // "+" and "-" between numerics, and "*".
  const auto numericResult = [&]() -> uint8_t {
    if (l == kFieldTypeFloat || r == kFieldTypeFloat) return kFieldTypeFloat;
    if (l == kFieldTypeBcd || r == kFieldTypeBcd) return kFieldTypeBcd;
    if (l == kFieldTypeLargeInt || r == kFieldTypeLargeInt) return kFieldTypeLargeInt;
    return kFieldTypeInteger;
  };
  switch (op) {
    case kOpAdd:
      if (l == kFieldTypeString && (r == kFieldTypeString || r == kFieldTypeBlob)) result = r;
      else if (l == kFieldTypeBlob && IsText(r)) result = kFieldTypeBlob;
      else if (l == kFieldTypeDate && IsIntOrLarge(r)) result = kFieldTypeDate;
      else if (IsIntOrLarge(l) && (r == kFieldTypeDate || r == kFieldTypeTime || r == kFieldTypeTimestamp)) result = r;
      else if ((l == kFieldTypeTime || l == kFieldTypeTimestamp) && IsIntOrLarge(r)) result = l;
      else if (numericPair) result = numericResult();
      break;
    case kOpSubtract:
      if (l == kFieldTypeDate && r == kFieldTypeDate) result = kFieldTypeInteger;
      else if (l == kFieldTypeDate && IsIntOrLarge(r)) result = kFieldTypeDate;
      else if (l == kFieldTypeTime && IsIntOrLarge(r)) result = kFieldTypeTime;
      else if (l == kFieldTypeTime && r == kFieldTypeTime) result = kFieldTypeInteger;
      else if (l == kFieldTypeTimestamp && (r == kFieldTypeDate || r == kFieldTypeTime)) result = kFieldTypeInteger;
      else if (l == kFieldTypeTimestamp && IsIntOrLarge(r)) result = kFieldTypeTimestamp;
      else if (l == kFieldTypeTimestamp && r == kFieldTypeTimestamp) result = kFieldTypeFloat;
      else if (numericPair) result = numericResult();
      break;
    case kOpMultiply:
      if (numericPair) result = numericResult();
      break;
    case kOpDivide:
      if (IsIntOrLarge(l) && (IsIntOrLarge(r) || r == kFieldTypeFloat)) result = kFieldTypeFloat;
      else if (IsIntOrLarge(l) && r == kFieldTypeBcd) result = kFieldTypeBcd;
      else if (l == kFieldTypeFloat && IsNumeric(r)) result = kFieldTypeFloat;
      else if (l == kFieldTypeBcd && (IsIntOrLarge(r) || r == kFieldTypeBcd)) result = kFieldTypeBcd;
      else if (l == kFieldTypeBcd && r == kFieldTypeFloat) result = kFieldTypeFloat;
      break;
    default:
      break;
  }
  return result != 0;
}

void CheckExpressionTypes(TExpToken& root, const TExpressionCheck& check) {
  Checker checker(check);
  checker.Check(root, true);
}

void CheckFilterExpression(TExpToken& root, const TExpressionCheck& check) {
  CheckExpressionTypes(root, check);
  if (root.DataType != kFieldTypeBoolean) {
    RaiseEngineError(check.ErrorCode, {.DatabaseName = check.DatabaseName, .TableName = check.TableName,
                                       .Text = "filter expression must be a boolean expression"});
  }
}

}  // namespace rudira
