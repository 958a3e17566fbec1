// The grammar of TExpressionParser: operators, predicates and primaries.
// Function calls and data types are in engine/expression_functions.cpp.
#include "engine/expression_parser.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "engine/calendar.h"
#include "engine/utf8_text.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

TExpTokenPtr NewNode(uint8_t kind, uint8_t opCode, std::string_view text) {
  TExpTokenPtr node = TExpTokenStack::TakePtr();
  node->NodeKind = kind;
  node->OpCode = opCode;
  node->TokenText.assign(text);
  return node;
}

TExpTokenPtr Binary(uint8_t opCode, std::string_view text, TExpTokenPtr left, TExpTokenPtr right) {
  TExpTokenPtr node = NewNode(kNodeBinary, opCode, text);
  node->SetLeft(left.release());
  node->SetRight(right.release());
  return node;
}

TExpTokenPtr NullConstant() {
  TExpTokenPtr node = NewNode(kNodeConstant, 0, "NULL");
  node->SetType(kDataTypeUnknown);
  node->IsNull = true;
  return node;
}

// Words that end an expression or belong to the surrounding grammar; they
// are never taken as column names.
bool IsReservedWord(std::string_view word) {
  static constexpr std::string_view kWords[] = {
      "AND", "OR", "NOT", "LIKE", "BETWEEN", "IN", "IS", "SELECT", "FROM", "WHERE", "FOR", "TO",
      "AS", "THEN", "ELSE", "WITH", "LEADING", "TRAILING", "BOTH", "GROUP", "ORDER", "HAVING",
      "BY", "ON", "JOIN", "INTO", "VALUES", "SET", "UNION"};
  for (std::string_view w : kWords) {
    if (w.size() != word.size()) continue;
    bool same = true;
    for (size_t i = 0; i < w.size() && same; ++i) {
      same = std::toupper(static_cast<unsigned char>(word[i])) == w[i];
    }
    if (same) return true;
  }
  return false;
}

// The local date and time of now, in the stored encodings.
void LocalNow(int32_t& dayNumber, int32_t& milliseconds) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto sinceEpoch = now.time_since_epoch();
  const int millis = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
  dayNumber = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).value_or(1);
  milliseconds = EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), millis).value_or(0);
}

}  // namespace

TExpTokenPtr TExpressionParser::Parse(uint32_t permissions) {
  if (kind_ == TokenKind::kEnd) return nullptr;
  TExpTokenPtr root = ParseExpression(permissions);
  if (kind_ != TokenKind::kEnd) {
    RaiseError("Unknown or unexpected symbol '" + tokenText_ + "'" + " found in " + context_);
  }
  return root;
}

TExpTokenPtr TExpressionParser::ParseExpression(uint32_t permissions) {
  const uint32_t saved = permissions_;
  permissions_ = permissions;
  struct Restore {
    uint32_t& target;
    uint32_t value;
    ~Restore() { target = value; }
  } restore{permissions_, saved};
  return ParseOr();
}

void TExpressionParser::RequireExtended() const {
  if ((permissions_ & kAllowExtended) == 0) {
    RaiseWithContext("Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in ");
  }
}

void TExpressionParser::ExpectSymbol(char symbol, std::string_view fragment) {
  if (!SymbolIs(symbol)) RaiseExpected(fragment);
  NextToken();
}

void TExpressionParser::ExpectKeyword(std::string_view keyword, std::string_view fragment) {
  if (!TokenIs(keyword)) RaiseExpected(fragment);
  NextToken();
}

TExpTokenPtr TExpressionParser::ParseOr() {
  TExpTokenPtr left = ParseAnd();
  while (TokenIs("OR")) {
    const std::string text = tokenText_;
    NextToken();
    TExpTokenPtr right = ParseAnd();
    left = Binary(kOpOr, text, std::move(left), std::move(right));
  }
  return left;
}

TExpTokenPtr TExpressionParser::ParseAnd() {
  TExpTokenPtr left = ParseNot();
  while (TokenIs("AND")) {
    const std::string text = tokenText_;
    NextToken();
    TExpTokenPtr right = ParseNot();
    left = Binary(kOpAnd, text, std::move(left), std::move(right));
  }
  return left;
}

TExpTokenPtr TExpressionParser::ParseNot() {
  if (!TokenIs("NOT")) return ParsePredicate();
  TExpTokenPtr node = NewNode(kNodeUnary, kOpNot, tokenText_);
  NextToken();
  node->SetLeft(ParseNot().release());
  return node;
}

TExpTokenPtr TExpressionParser::ParsePredicate() {
  TExpTokenPtr left = ParseSum();
  uint8_t op = 0;
  std::string text;
  if (SymbolIs('=')) {
    op = kOpEqual;
    text = "=";
  } else if (SymbolIs('<')) {
    NextToken();
    if (SymbolIs('>')) {
      op = kOpNotEqual;
      text = "<>";
    } else if (SymbolIs('=')) {
      op = kOpLessEqual;
      text = "<=";
    } else {
      return Binary(kOpLess, "<", std::move(left), ParseSum());
    }
  } else if (SymbolIs('>')) {
    NextToken();
    if (SymbolIs('=')) {
      op = kOpGreaterEqual;
      text = ">=";
    } else {
      return Binary(kOpGreater, ">", std::move(left), ParseSum());
    }
  }
  if (op != 0) {
    NextToken();
    return Binary(op, text, std::move(left), ParseSum());
  }
  if (TokenIs("NOT")) {
    RequireExtended();
    NextToken();
    if (!TokenIs("BETWEEN") && !TokenIs("LIKE") && !TokenIs("IN")) {
      RaiseExpected("BETWEEN, LIKE, or IN keyword expected after NOT keyword, instead found '");
    }
    return ParseExtended(std::move(left), true);
  }
  if (TokenIs("BETWEEN") || TokenIs("LIKE") || TokenIs("IN")) {
    RequireExtended();
    return ParseExtended(std::move(left), false);
  }
  if (TokenIs("IS")) {
    RequireExtended();
    NextToken();
    bool negated = false;
    if (TokenIs("NOT")) {
      negated = true;
      NextToken();
      if (!TokenIs("NULL")) RaiseExpected("NULL keyword expected after IS NOT keywords, instead found '");
    } else if (!TokenIs("NULL")) {
      RaiseExpected("NULL keyword expected after IS keyword, instead found '");
    }
    NextToken();
    return Binary(negated ? kOpNotEqual : kOpEqual, negated ? "<>" : "=", std::move(left), NullConstant());
  }
  return left;
}

TExpTokenPtr TExpressionParser::ParseExtended(TExpTokenPtr tested, bool negated) {
  if (TokenIs("LIKE")) {
    TExpTokenPtr node = NewNode(kNodeExtended, negated ? kOpNotLike : kOpLike, negated ? "NOT LIKE" : "LIKE");
    NextToken();
    node->AddArgument(tested.release());
    node->AddArgument(ParseSum().release());
    return node;
  }
  if (TokenIs("BETWEEN")) {
    TExpTokenPtr node =
        NewNode(kNodeExtended, negated ? kOpNotBetween : kOpBetween, negated ? "NOT BETWEEN" : "BETWEEN");
    NextToken();
    node->AddArgument(tested.release());
    node->AddArgument(ParseSum().release());
    ExpectKeyword("AND", "AND keyword expected after first BETWEEN expression, instead found '");
    node->AddArgument(ParseSum().release());
    return node;
  }
  // IN
  NextToken();
  ExpectSymbol('(', "Left parentheses expected after IN keyword, instead found '");
  if (TokenIs("SELECT")) {
    if ((permissions_ & kAllowSubSelects) == 0 || owner_ == nullptr) {
      RaiseWithContext("Sub-select queries are not allowed in ");
    }
    TExpTokenPtr node =
        NewNode(kNodeExtended, negated ? kOpNotInSelect : kOpInSelect, negated ? "NOT IN" : "IN");
    node->AddArgument(tested.release());
    TExpTokenPtr subSelect = NewNode(kNodeSubSelect, 0, "SELECT");
    TExpToken& subSelectRef = *subSelect;
    node->AddArgument(subSelect.release());
    owner_->ParseSubSelect(*this, subSelectRef);
    ExpectSymbol(')', "Right parentheses expected after sub-select query, instead found '");
    return node;
  }
  TExpTokenPtr node = NewNode(kNodeExtended, negated ? kOpNotInList : kOpInList, negated ? "NOT IN" : "IN");
  node->AddArgument(tested.release());
  node->AddArgument(ParseSum().release());
  while (SymbolIs(',')) {
    NextToken();
    node->AddArgument(ParseSum().release());
  }
  ExpectSymbol(')', "Right parentheses or comma expected after IN list value, instead found '");
  return node;
}

TExpTokenPtr TExpressionParser::ParseSum() {
  TExpTokenPtr left = ParseProduct();
  for (;;) {
    uint8_t op = 0;
    std::string text;
    if (SymbolIs('+')) {
      op = kOpAdd;
      text = "+";
    } else if (SymbolIs('-')) {
      op = kOpSubtract;
      text = "-";
    } else if (SymbolIs('|')) {
      NextToken();
      if (!SymbolIs('|')) {
        RaiseExpected(
            "Second concatenation symbol '|' expected after first concatentation symbol, instead found '");
      }
      op = kOpAdd;
      text = "||";
    } else {
      return left;
    }
    NextToken();
    TExpTokenPtr right = ParseProduct();
    left = Binary(op, text, std::move(left), std::move(right));
  }
}

TExpTokenPtr TExpressionParser::ParseProduct() {
  TExpTokenPtr left = ParseUnary();
  while (SymbolIs('*') || SymbolIs('/')) {
    const bool multiply = SymbolIs('*');
    NextToken();
    TExpTokenPtr right = ParseUnary();
    left = Binary(multiply ? kOpMultiply : kOpDivide, multiply ? "*" : "/", std::move(left), std::move(right));
  }
  return left;
}

TExpTokenPtr TExpressionParser::ParseUnary() {
  if (SymbolIs('-') || SymbolIs('+')) {
    const bool minus = SymbolIs('-');
    TExpTokenPtr node = NewNode(kNodeUnary, minus ? kOpNegate : kOpPlusSign, minus ? "-" : "+");
    NextToken();
    node->SetLeft(ParsePrimary().release());
    return node;
  }
  return ParsePrimary();
}

TExpTokenPtr TExpressionParser::ParseNumberConstant() {
  TExpTokenPtr node = NewNode(kNodeConstant, 0, tokenText_);
  const std::string& t = tokenText_;
  if (kind_ == TokenKind::kInteger) {
    int64_t value = 0;
    auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (error == std::errc{} && end == t.data() + t.size()) {
      if (value <= std::numeric_limits<int32_t>::max()) {
        node->SetType(kFieldTypeInteger);
        node->SetInt32(static_cast<int32_t>(value));
      } else {
        node->SetType(kFieldTypeLargeInt);
        node->SetInt64(value);
      }
      NextToken();
      return node;
    }
  }
  double value = 0;
  auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (error != std::errc{} || end != t.data() + t.size() || !std::isfinite(value)) {
    RaiseError("Constant '" + t + "'" + " is not a valid number " + "in " + context_);
  }
  node->SetType(kFieldTypeFloat);
  node->SetDouble(value);
  NextToken();
  return node;
}

TExpTokenPtr TExpressionParser::ParseColumn(std::string alias) {
  // The scanner is on the column name (or "*").
  TExpTokenPtr node = NewNode(kNodeColumn, 0, tokenText_);
  node->TableAlias = Utf8Cut(alias, 255);
  node->ColumnName = Utf8Cut(tokenText_, 255);
  NextToken();
  return node;
}

TExpTokenPtr TExpressionParser::ParsePrimary() {
  switch (kind_) {
    case TokenKind::kInteger:
    case TokenKind::kNumber:
      return ParseNumberConstant();
    case TokenKind::kSingleQuoted: {
      TExpTokenPtr node = NewNode(kNodeConstant, 0, tokenText_);
      node->SetType(kFieldTypeString, 0, static_cast<uint16_t>(std::min<size_t>(tokenText_.size(), 65535)));
      if (!tokenText_.empty()) node->SetBytes(tokenText_);
      NextToken();
      return node;
    }
    case TokenKind::kCharConstant: {
      int value = 256;
      if (tokenText_.size() <= 9) value = std::atoi(tokenText_.c_str());
      if (value > 255) {
        RaiseWithContext("Character constants (#) must be within the range of 0 to 255 in ");
      }
      TExpTokenPtr node = NewNode(kNodeConstant, 0, "#" + tokenText_);
      node->SetType(kFieldTypeString, 0, 1);
      const char c = static_cast<char>(value);
      node->SetBytes(std::string_view(&c, 1));
      NextToken();
      return node;
    }
    case TokenKind::kDoubleQuoted:
    case TokenKind::kBracketName:
    case TokenKind::kIdentifier: {
      if (NextCharIs('.')) {
        std::string alias = tokenText_;
        NextToken();  // the point
        NextToken();
        if (SymbolIs('*')) {
          if ((permissions_ & kAllowStar) == 0) {
            RaiseError("Unknown or unexpected symbol '" + tokenText_ + "'" + " found in " + context_);
          }
          return ParseColumn(std::move(alias));
        }
        if (kind_ != TokenKind::kIdentifier && kind_ != TokenKind::kBracketName &&
            kind_ != TokenKind::kDoubleQuoted) {
          RaiseExpected("Symbol or string expected after table correlation name, instead found '");
        }
        return ParseColumn(std::move(alias));
      }
      if (kind_ == TokenKind::kDoubleQuoted) {
        TExpTokenPtr node = NewNode(kNodeConstant, 0, tokenText_);
        node->SetType(kFieldTypeString, 0, static_cast<uint16_t>(std::min<size_t>(tokenText_.size(), 65535)));
        if (!tokenText_.empty()) node->SetBytes(tokenText_);
        NextToken();
        return node;
      }
      if (kind_ == TokenKind::kBracketName) return ParseColumn("");
      return ParseIdentifier();
    }
    case TokenKind::kSymbol:
      if (SymbolIs('(')) {
        NextToken();
        TExpTokenPtr inner = ParseOr();
        ExpectSymbol(')', "Right parentheses expected after expression, instead found '");
        return inner;
      }
      if (SymbolIs('*') && (permissions_ & kAllowStar) != 0) return ParseColumn("");
      if (SymbolIs('?') && (permissions_ & kAllowParameters) != 0) {
        TExpTokenPtr node = NewNode(kNodeConstant, 0, "?");
        node->IsParameter = true;
        node->ParameterIndex = parameterCount_++;
        NextToken();
        if (owner_) owner_->RegisterParameter(*node);
        return node;
      }
      if (SymbolIs('?')) RaiseError("Parameters are not allowed in " + context_);
      break;
    case TokenKind::kEnd:
      break;
  }
  RaiseError("Unknown or unexpected symbol '" + tokenText_ + "'" + " found in " + context_);
}

TExpTokenPtr TExpressionParser::ParseIdentifier() {
  if (TokenIs("TRUE") || TokenIs("FALSE")) {
    TExpTokenPtr node = NewNode(kNodeConstant, 0, tokenText_);
    node->SetType(kFieldTypeBoolean);
    node->SetUInt16(TokenIs("TRUE") ? 1 : 0);
    NextToken();
    return node;
  }
  if (TokenIs("NULL")) {
    NextToken();
    return NullConstant();
  }
  if (TokenIs("CURRENT_DATE") || TokenIs("CURRENT_TIME") || TokenIs("CURRENT_TIMESTAMP")) {
    TExpTokenPtr node = NewNode(kNodeConstant, 0, tokenText_);
    int32_t day = 0;
    int32_t milliseconds = 0;
    LocalNow(day, milliseconds);
    if (TokenIs("CURRENT_DATE")) {
      node->SetType(kFieldTypeDate);
      node->SetInt32(day);
    } else if (TokenIs("CURRENT_TIME")) {
      node->SetType(kFieldTypeTime);
      node->SetInt32(milliseconds);
    } else {
      node->SetType(kFieldTypeTimestamp);
      node->SetDouble(EncodeTimestamp(day, milliseconds));
    }
    const std::string keyword = tokenText_;
    NextToken();
    if (SymbolIs('(')) {
      NextToken();
      ExpectSymbol(')', "Right parentheses expected after " + keyword + " keyword, instead found '");
    }
    return node;
  }
  if (IsFunctionName(tokenText_)) return ParseFunction();
  if (IsReservedWord(tokenText_)) {
    RaiseError("Unknown or unexpected symbol '" + tokenText_ + "'" + " found in " + context_);
  }
  if (NextCharIs('(')) {
    RaiseError("Unknown or unexpected function '" + tokenText_ + "'" + " found in " + context_);
  }
  return ParseColumn("");
}

}  // namespace rudira
