#include "engine/expression_evaluator.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <vector>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "engine/calendar.h"
#include "engine/errors.h"
#include "engine/expression_value.h"
#include "engine/field_token.h"
#include "engine/like_match.h"
#include "engine/locale_compare.h"
#include "engine/value_conversion.h"
#include "engine/value_text.h"
#include "storage/field_type.h"

namespace rudira {

// --- default callbacks

// Only SQL statements parse sub-selects and aggregates, and their access
// objects answer these; reaching a default is a caller that parsed with
// permissions its access object cannot serve.
bool TExpressionRecordAccess::SubSelectHasRow(const TExpToken&, const TExpToken&) {
  RaiseEngineError(RUDIRA_SQLPARSE, {.Text = "Sub-select queries are not allowed in SQL statement"});
}

void TExpressionRecordAccess::ReadAggregate(const TExpToken&, TExpToken&) {
  RaiseEngineError(RUDIRA_SQLPARSE, {.Text = "Aggregate functions are not allowed in SQL statement"});
}

const uint8_t* TExpressionRecordAccess::ColumnRecord(const TExpToken&, const TFieldDescriptor*& field) {
  field = nullptr;
  return nullptr;
}

int32_t TExpressionRecordAccess::LastAutoIncValue(std::string_view tableName) {
  RaiseEngineError(RUDIRA_OSENOENT, {.TableName = tableName});
}

void TExpressionRecordAccess::TextIndexCharSets(const TExpToken&, CharSet& includeChars, CharSet& spaceChars) {
  includeChars.reset();
  spaceChars.reset();
  for (int c = 0; c < 256; ++c) {
    const bool blank = c <= ' ';
    const bool punctuation = c < 128 && !blank && !std::isalnum(c) && c != '_';
    if (blank || punctuation) spaceChars.set(c);
    else includeChars.set(c);
  }
}

namespace {

constexpr double kMsPerDay = 86400000.0;

int Sign(long double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }
template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

bool IsNumericType(uint8_t t) {
  return IsExpIntegerType(t) || t == kFieldTypeFloat || t == kFieldTypeBcd || t == kFieldTypeExtended;
}

// A number's value for mixed comparisons and arithmetic.
long double AsReal(const ExpValue& v) {
  if (v.Type == kFieldTypeBcd) return static_cast<long double>(v.Int) / 10000.0L;
  if (IsExpIntegerType(v.Type) || v.Type == kFieldTypeDate || v.Type == kFieldTypeTime) return v.Int;
  return v.Real;
}

// A number as fixed point x 10000 (integers and BCD only).
__int128 AsFixed(const ExpValue& v) {
  if (v.Type == kFieldTypeBcd) return v.Int;
  return static_cast<__int128>(v.Int) * 10000;
}

class Evaluator {
 public:
  Evaluator(TExpressionRecordAccess& access, const TEvaluateOptions& options) : access_(access), options_(options) {}

  ExpValue Eval(const TExpToken& node);
  bool Truth(const TExpToken& node) {
    const ExpValue v = Eval(node);
    return !v.Null && v.Int != 0;
  }

 private:
  ExpValue Column(const TExpToken& node);
  ExpValue Unary(const TExpToken& node);
  ExpValue Binary(const TExpToken& node);
  ExpValue Arithmetic(const TExpToken& node, const ExpValue& l, const ExpValue& r);
  ExpValue Extended(const TExpToken& node);
  ExpValue Function(const TExpToken& node);
  ExpValue Cast(const TExpToken& node, const ExpValue& v);
  // -1, 0, 1 of two non-NULL values; `equality` applies the filter options.
  int Compare(const ExpValue& a, const ExpValue& b, bool equality);
  // An integer column against an integer constant, the comparison of a
  // filtered scan: compared as numbers straight from the column's node.
  // False when the node is of another shape.
  bool IntegerColumnComparison(const TExpToken& node, bool& result);
  bool Comparison(uint8_t op, const ExpValue& a, const ExpValue& b);

  TExpressionRecordAccess& access_;
  const TEvaluateOptions& options_;
};

ExpValue Evaluator::Eval(const TExpToken& node) {
  switch (node.NodeKind) {
    case kNodeConstant: return LoadExpValue(node);
    case kNodeColumn: return Column(node);
    case kNodeUnary: return Unary(node);
    case kNodeBinary: return Binary(node);
    case kNodeExtended: return Extended(node);
    case kNodeFunction: return Function(node);
    default: return ExpValue::NullOf(node.DataType);
  }
}

// Column values are read into nodes kept by this thread, one per nesting
// level of evaluation (a caller's ReadColumn may evaluate in turn), instead
// of a node taken from the shared pool and handed back for every read: a
// filtered scan reads a column of every record.
class ScratchColumnNode {
 public:
  ScratchColumnNode() {
    if (nodes_.size() <= depth_) nodes_.push_back(std::make_unique<TExpToken>());
    node_ = nodes_[depth_++].get();
    node_->Reset();
  }
  ~ScratchColumnNode() { --depth_; }
  ScratchColumnNode(const ScratchColumnNode&) = delete;
  ScratchColumnNode& operator=(const ScratchColumnNode&) = delete;
  TExpToken& Node() { return *node_; }

 private:
  static thread_local std::vector<std::unique_ptr<TExpToken>> nodes_;
  static thread_local size_t depth_;
  TExpToken* node_ = nullptr;
};

thread_local std::vector<std::unique_ptr<TExpToken>> ScratchColumnNode::nodes_;
thread_local size_t ScratchColumnNode::depth_ = 0;

ExpValue Evaluator::Column(const TExpToken& node) {
  ScratchColumnNode scratch;
  TExpToken& value = scratch.Node();
  value.SetType(node.DataType, node.SubType, node.DataSize, node.DataScale);
  value.IsNull = true;
  access_.ReadColumn(node, value);
  value.SetType(node.DataType, node.SubType, node.DataSize, node.DataScale);
  return LoadExpValue(value);
}

// The value of an integer node of type `type`; false for other types.
bool PlainInteger(const TExpToken& node, uint8_t type, int64_t& value) {
  switch (type) {
    case kFieldTypeSmallInt: value = node.Int16(); return true;
    case kFieldTypeWord: value = node.UInt16(); return true;
    case kFieldTypeInteger: value = node.Int32(); return true;
    case kFieldTypeLargeInt: value = node.Int64(); return true;
    default: return false;
  }
}

bool IsPlainIntegerType(uint8_t type) {
  return type == kFieldTypeSmallInt || type == kFieldTypeWord || type == kFieldTypeInteger ||
         type == kFieldTypeLargeInt;
}

bool Evaluator::IntegerColumnComparison(const TExpToken& node, bool& result) {
  const TExpToken* column = node.Left;
  const TExpToken* constant = node.Right;
  bool mirrored = false;
  if (!column || !constant) return false;
  if (column->NodeKind != kNodeColumn) {
    std::swap(column, constant);
    mirrored = true;
  }
  if (column->NodeKind != kNodeColumn || constant->NodeKind != kNodeConstant || constant->IsNull) return false;
  if (!IsPlainIntegerType(column->DataType) || !IsPlainIntegerType(constant->DataType)) return false;
  int64_t fixed = 0;
  if (!PlainInteger(*constant, constant->DataType, fixed)) return false;
  int64_t read = 0;
  bool isNull = false;
  // Straight from the record's bytes when the caller has them: no value
  // node is filled and read back.
  const TFieldDescriptor* field = nullptr;
  const uint8_t* record = access_.ColumnRecord(*column, field);
  if (!record || !field || field->FieldType != column->DataType || !ReadIntegerField(*field, record, read, isNull)) {
    ScratchColumnNode scratch;
    TExpToken& value = scratch.Node();
    value.SetType(column->DataType, column->SubType, column->DataSize, column->DataScale);
    value.IsNull = true;
    access_.ReadColumn(*column, value);
    value.SetType(column->DataType, column->SubType, column->DataSize, column->DataScale);
    isNull = value.IsNull;
    if (!isNull) PlainInteger(value, column->DataType, read);
  }
  if (isNull) {
    // NULL against a value: only "<>" holds.
    result = node.OpCode == kOpNotEqual;
    return true;
  }
  const int c = mirrored ? Order(fixed, read) : Order(read, fixed);
  switch (node.OpCode) {
    case kOpEqual: result = c == 0; break;
    case kOpNotEqual: result = c != 0; break;
    case kOpLess: result = c < 0; break;
    case kOpLessEqual: result = c <= 0; break;
    case kOpGreater: result = c > 0; break;
    default: result = c >= 0; break;
  }
  return true;
}

ExpValue Evaluator::Unary(const TExpToken& node) {
  if (node.OpCode == kOpNot) return ExpValue::Boolean(!Truth(*node.Left));
  ExpValue v = Eval(*node.Left);
  v.Type = node.DataType;
  if (v.Null || node.OpCode == kOpPlusSign) return v;
  switch (v.Type) {
    case kFieldTypeFloat: case kFieldTypeTimestamp: v.Real = -v.Real; break;
    case kFieldTypeSmallInt: v.Int = static_cast<int16_t>(-v.Int); break;
    case kFieldTypeInteger: case kFieldTypeDate: case kFieldTypeTime: v.Int = static_cast<int32_t>(-v.Int); break;
    default: v.Int = static_cast<int64_t>(0ULL - static_cast<uint64_t>(v.Int)); break;
  }
  return v;
}

int Evaluator::Compare(const ExpValue& a, const ExpValue& b, bool equality) {
  const bool aText = IsExpTextType(a.Type);
  const bool bText = IsExpTextType(b.Type);
  if (aText && bText) {
    const bool bytes = a.Type == kFieldTypeBytes || a.Type == kFieldTypeVarBytes || b.Type == kFieldTypeBytes ||
                       b.Type == kFieldTypeVarBytes;
    if (bytes) {
      const int c = std::memcmp(a.Text.data(), b.Text.data(), std::min(a.Text.size(), b.Text.size()));
      return c != 0 ? Sign(c) : Order(a.Text.size(), b.Text.size());
    }
    return CompareLocaleStrings(options_.LanguageId, options_.SortId, a.Text, equality && options_.CaseInsensitive,
                                equality ? options_.PartialLength : 0, b.Text);
  }
  if (aText || bText) {
    // A text against another type: read the text as that type; a text that
    // is no such value compares by the other value's text form.
    const ExpValue& text = aText ? a : b;
    const ExpValue& other = aText ? b : a;
    ExpValue converted = ExpValue::NullOf(other.Type);
    try {
      switch (other.Type) {
        case kFieldTypeDate: converted = ExpValue::Integer(other.Type, TextToDate(text.Text)); break;
        case kFieldTypeTime: converted = ExpValue::Integer(other.Type, TextToTime(text.Text)); break;
        case kFieldTypeTimestamp: converted = ExpValue::Float(other.Type, TextToTimestamp(text.Text)); break;
        case kFieldTypeBoolean: converted = ExpValue::Boolean(TextToBoolean(text.Text)); break;
        default:
          if (IsNumericType(other.Type)) converted = ExpValue::Float(kFieldTypeFloat, TextToFloat(text.Text));
          break;
      }
    } catch (const EConvertError&) {
    }
    int c = 0;
    if (converted.Null) {
      c = CompareLocaleStrings(options_.LanguageId, options_.SortId, text.Text, false, 0, ExpValueText(other));
    } else {
      c = Compare(converted, other, equality);
    }
    return aText ? c : -c;
  }
  // DATE, TIME, TIMESTAMP
  if (a.Type == kFieldTypeTimestamp || b.Type == kFieldTypeTimestamp) {
    const auto asTimestamp = [](const ExpValue& v, const ExpValue& against) -> double {
      if (v.Type == kFieldTypeTimestamp) {
        if (against.Type == kFieldTypeTime) return std::fmod(std::round(v.Real), kMsPerDay);
        return v.Real;
      }
      if (v.Type == kFieldTypeDate) return static_cast<double>(v.Int) * kMsPerDay;
      if (v.Type == kFieldTypeTime) return static_cast<double>(v.Int);
      return static_cast<double>(AsReal(v));
    };
    return Order(asTimestamp(a, b), asTimestamp(b, a));
  }
  const bool aExact = IsExpIntegerType(a.Type) || a.Type == kFieldTypeDate || a.Type == kFieldTypeTime;
  const bool bExact = IsExpIntegerType(b.Type) || b.Type == kFieldTypeDate || b.Type == kFieldTypeTime;
  if (aExact && bExact) return Order(a.Int, b.Int);
  if ((aExact || a.Type == kFieldTypeBcd) && (bExact || b.Type == kFieldTypeBcd)) return Order(AsFixed(a), AsFixed(b));
  if (a.Type == kFieldTypeBcd || b.Type == kFieldTypeBcd) {
    // BCD against a float: both as 64-bit fixed point with 4 decimals.
    const auto fixed = [](const ExpValue& v) -> long double {
      return v.Type == kFieldTypeBcd ? static_cast<long double>(v.Int) : std::nearbyint(AsReal(v) * 10000.0L);
    };
    return Order(fixed(a), fixed(b));
  }
  return Order(AsReal(a), AsReal(b));
}

bool Evaluator::Comparison(uint8_t op, const ExpValue& a, const ExpValue& b) {
  if (a.Null || b.Null) {
    const bool both = a.Null && b.Null;
    switch (op) {
      case kOpEqual: case kOpLessEqual: case kOpGreaterEqual: return both;
      case kOpNotEqual: return !both;
      default: return false;
    }
  }
  const bool equality = op == kOpEqual || op == kOpNotEqual;
  const int c = Compare(a, b, equality);
  switch (op) {
    case kOpEqual: return c == 0;
    case kOpNotEqual: return c != 0;
    case kOpLess: return c < 0;
    case kOpLessEqual: return c <= 0;
    case kOpGreater: return c > 0;
    case kOpGreaterEqual: return c >= 0;
    default: return false;
  }
}

ExpValue Evaluator::Binary(const TExpToken& node) {
  switch (node.OpCode) {
    case kOpAnd: return ExpValue::Boolean(Truth(*node.Left) && Truth(*node.Right));
    case kOpOr: return ExpValue::Boolean(Truth(*node.Left) || Truth(*node.Right));
    case kOpEqual: case kOpNotEqual: case kOpLess: case kOpLessEqual: case kOpGreater: case kOpGreaterEqual: {
      bool result = false;
      if (IntegerColumnComparison(node, result)) return ExpValue::Boolean(result);
      const ExpValue l = Eval(*node.Left);
      const ExpValue r = Eval(*node.Right);
      return ExpValue::Boolean(Comparison(node.OpCode, l, r));
    }
    default: {
      const ExpValue l = Eval(*node.Left);
      const ExpValue r = Eval(*node.Right);
      ExpValue v = Arithmetic(node, l, r);
      v.Type = node.DataType;
      v.SubType = node.SubType;
      v.Size = node.DataSize;
      v.Scale = node.DataScale;
      return v;
    }
  }
}

ExpValue Evaluator::Arithmetic(const TExpToken& node, const ExpValue& l, const ExpValue& r) {
  const uint8_t result = node.DataType;
  const uint8_t op = node.OpCode;
  if (result == kFieldTypeString || result == kFieldTypeBlob) {
    if (l.Null && r.Null) return ExpValue::NullOf(result);
    return ExpValue::String(result, (l.Null ? std::string() : l.Text) + (r.Null ? std::string() : r.Text));
  }
  if (l.Null || r.Null) return ExpValue::NullOf(result);
  const double sign = op == kOpSubtract ? -1.0 : 1.0;
  // Date and time arithmetic.
  if (result == kFieldTypeDate) {
    const ExpValue& date = l.Type == kFieldTypeDate ? l : r;
    const ExpValue& days = l.Type == kFieldTypeDate ? r : l;
    const int64_t n = op == kOpSubtract ? -days.Int : days.Int;
    return ExpValue::Integer(result, static_cast<int32_t>(date.Int + n));
  }
  if (result == kFieldTypeTime) {
    const ExpValue& time = l.Type == kFieldTypeTime ? l : r;
    const ExpValue& ms = l.Type == kFieldTypeTime ? r : l;
    int64_t t = (time.Int + (op == kOpSubtract ? -ms.Int : ms.Int)) % kMillisecondsPerDay;
    if (t < 0) t += kMillisecondsPerDay;
    return ExpValue::Integer(result, t);
  }
  if (result == kFieldTypeTimestamp) {
    const ExpValue& stamp = l.Type == kFieldTypeTimestamp ? l : r;
    const ExpValue& days = l.Type == kFieldTypeTimestamp ? r : l;
    return ExpValue::Float(result, stamp.Real + sign * static_cast<double>(days.Int) * kMsPerDay);
  }
  if (op == kOpSubtract && (l.Type == kFieldTypeDate || l.Type == kFieldTypeTime || l.Type == kFieldTypeTimestamp)) {
    if (l.Type == kFieldTypeDate) return ExpValue::Integer(result, static_cast<int32_t>(l.Int - r.Int));
    if (l.Type == kFieldTypeTime) return ExpValue::Integer(result, static_cast<int32_t>(l.Int - r.Int));
    int32_t day = 0;
    int32_t ms = 0;
    DecodeTimestamp(l.Real, day, ms);
    if (r.Type == kFieldTypeDate) return ExpValue::Integer(result, static_cast<int32_t>(day - r.Int));
    if (r.Type == kFieldTypeTime) return ExpValue::Integer(result, static_cast<int32_t>(ms - r.Int));
    return ExpValue::Float(result, l.Real - r.Real);
  }
  // Numbers.
  if (result == kFieldTypeFloat) {
    const long double a = AsReal(l);
    const long double b = AsReal(r);
    switch (op) {
      case kOpAdd: return ExpValue::Float(result, static_cast<double>(a + b));
      case kOpSubtract: return ExpValue::Float(result, static_cast<double>(a - b));
      case kOpMultiply: return ExpValue::Float(result, static_cast<double>(a * b));
      default:
        if (b == 0) return ExpValue::NullOf(result);
        return ExpValue::Float(result, static_cast<double>(a / b));
    }
  }
  if (result == kFieldTypeBcd) {
    const __int128 a = AsFixed(l);
    const __int128 b = AsFixed(r);
    __int128 v = 0;
    switch (op) {
      case kOpAdd: v = a + b; break;
      case kOpSubtract: v = a - b; break;
      case kOpMultiply: {
        const __int128 p = a * b;  // x 10^8: back to 4 decimals, half away from zero
        v = (p >= 0 ? p + 5000 : p - 5000) / 10000;
        break;
      }
      default: {
        if (b == 0) return ExpValue::NullOf(result);
        const __int128 n = a * 10000 * 2 / b;  // twice the quotient, to round half away from zero
        v = (n >= 0 ? n + 1 : n - 1) / 2;
        break;
      }
    }
    if (v < std::numeric_limits<int64_t>::min() || v > std::numeric_limits<int64_t>::max()) {
      return ExpValue::NullOf(result);
    }
    return ExpValue::Integer(result, static_cast<int64_t>(v));
  }
  // Integers: computed in 64 bits without overflow traps, then cut to the type.
  const uint64_t a = static_cast<uint64_t>(l.Int);
  const uint64_t b = static_cast<uint64_t>(r.Int);
  uint64_t v = 0;
  switch (op) {
    case kOpAdd: v = a + b; break;
    case kOpSubtract: v = a - b; break;
    case kOpMultiply: v = a * b; break;
    default:
      if (r.Int == 0) return ExpValue::NullOf(result);
      v = static_cast<uint64_t>(l.Int / r.Int);
      break;
  }
  const int64_t s = static_cast<int64_t>(v);
  switch (result) {
    case kFieldTypeSmallInt: return ExpValue::Integer(result, static_cast<int16_t>(s));
    case kFieldTypeWord: return ExpValue::Integer(result, static_cast<uint16_t>(s));
    case kFieldTypeInteger: return ExpValue::Integer(result, static_cast<int32_t>(s));
    default: return ExpValue::Integer(result, s);
  }
}

ExpValue Evaluator::Extended(const TExpToken& node) {
  const ExpValue tested = Eval(*node.Arguments[0]);
  bool result = false;
  switch (node.OpCode) {
    case kOpLike: case kOpNotLike: {
      const ExpValue pattern = Eval(*node.Arguments[1]);
      const bool match = !tested.Null && !pattern.Null &&
                         LikeMatch(options_.LanguageId, options_.SortId, tested.Text, pattern.Text);
      result = node.OpCode == kOpLike ? match : !match;
      break;
    }
    case kOpBetween: case kOpNotBetween: {
      const ExpValue low = Eval(*node.Arguments[1]);
      const ExpValue high = Eval(*node.Arguments[2]);
      const bool inside = Comparison(kOpGreaterEqual, tested, low) && Comparison(kOpLessEqual, tested, high);
      result = node.OpCode == kOpBetween ? inside : !inside;
      break;
    }
    case kOpInList: case kOpNotInList: {
      bool found = false;
      for (size_t i = 1; i < node.Arguments.size() && !found; ++i) {
        found = Comparison(kOpEqual, tested, Eval(*node.Arguments[i]));
      }
      result = node.OpCode == kOpInList ? found : !found;
      break;
    }
    case kOpInSelect: case kOpNotInSelect: {
      TExpTokenPtr value = TExpTokenStack::TakePtr();
      StoreExpValue(tested, *value);
      const bool found = access_.SubSelectHasRow(*node.Arguments[1], *value);
      result = node.OpCode == kOpInSelect ? found : !found;
      break;
    }
    default:
      break;
  }
  return ExpValue::Boolean(result);
}

ExpValue Evaluator::Cast(const TExpToken& node, const ExpValue& v) {
  const uint8_t target = node.DataType;
  if (v.Null) return ExpValue::NullOf(target);
  const bool sourceText = v.Type == kFieldTypeString || (v.Type == kFieldTypeBlob && v.SubType != kSubTypeBinary &&
                                                         v.SubType != kSubTypeGraphic &&
                                                         v.SubType != kSubTypeTypedBinary);
  // A memo holds its text here (not a BLOB reference): texts and memos cast
  // into each other by their text.
  if (target == kFieldTypeBlob) {
    if (IsExpTextType(v.Type)) return ExpValue::String(target, v.Text);
    return ExpValue::NullOf(target);
  }
  uint8_t sourceType = sourceText ? kFieldTypeString : v.Type;
  TExpTokenPtr source = TExpTokenStack::TakePtr();
  uint8_t sourceSize = 0;
  if (sourceType == kFieldTypeString || sourceType == kFieldTypeBytes || sourceType == kFieldTypeVarBytes) {
    // The conversion's work buffer holds at most 250 bytes of text.
    const std::string_view text = std::string_view(v.Text).substr(0, kMaxDeclaredSize);
    source->SetBytes(text);
    sourceSize = static_cast<uint8_t>(text.size());
    if (sourceSize == 0) return ExpValue::NullOf(target);
  } else if (sourceType == kFieldTypeBlob) {
    return ExpValue::NullOf(target);
  } else {
    StoreExpValue(v, *source);
    if (source->IsNull) return ExpValue::NullOf(target);
  }
  std::vector<uint8_t> out(std::max<size_t>(FieldDataWidth(target, static_cast<uint8_t>(node.DataSize)), 1), 0);
  if (!ConvertFieldValue(sourceType, sourceSize, source->Value.data(), target, static_cast<uint8_t>(node.DataSize),
                         node.DataScale, out.data())) {
    return ExpValue::NullOf(target);
  }
  TExpTokenPtr converted = TExpTokenStack::TakePtr();
  converted->SetType(target, node.SubType, node.DataSize, node.DataScale);
  if (target == kFieldTypeString) {
    converted->SetBytes(reinterpret_cast<const char*>(out.data()));
  } else {
    converted->SetBytes(std::string_view(reinterpret_cast<const char*>(out.data()), out.size()));
  }
  return LoadExpValue(*converted);
}

}  // namespace

namespace {

ExpValue Evaluator::Function(const TExpToken& node) {
  if (node.OpCode == kFuncCast) return Cast(node, Eval(*node.Arguments[0]));
  return EvaluateFunctionNode(node, access_, options_, [this](const TExpToken& n) { return Eval(n); });
}

}  // namespace

TExpTokenPtr EvaluateExpression(const TExpToken& root, TExpressionRecordAccess& access, const TEvaluateOptions& options) {
  Evaluator evaluator(access, options);
  ExpValue value = evaluator.Eval(root);
  value.Type = root.DataType;
  value.SubType = root.SubType;
  value.Size = root.DataSize;
  value.Scale = root.DataScale;
  TExpTokenPtr result = TExpTokenStack::TakePtr();
  result->NodeKind = kNodeConstant;
  result->TokenText = root.TokenText;
  StoreExpValue(value, *result);
  return result;
}

bool EvaluateCondition(const TExpToken& root, TExpressionRecordAccess& access, const TEvaluateOptions& options) {
  Evaluator evaluator(access, options);
  return evaluator.Truth(root);
}

}  // namespace rudira
