// Function calls and data types of TExpressionParser.
#include <cctype>
#include <cstdlib>

#include "engine/expression_parser.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

struct FunctionName {
  std::string_view Name;
  uint8_t OpCode;  // 0: the code depends on the arguments (TRIM, EXTRACT)
};

constexpr FunctionName kFunctions[] = {
    {"SUM", kFuncSum},         {"RUNSUM", kFuncRunSum},       {"COUNT", kFuncCount},
    {"MIN", kFuncMin},         {"MAX", kFuncMax},             {"AVG", kFuncAvg},
    {"UPPER", kFuncUpper},     {"LOWER", kFuncLower},         {"LENGTH", kFuncLength},
    {"SUBSTRING", kFuncSubstring}, {"REPLACE", kFuncReplace}, {"POS", kFuncPos},
    {"OCCURS", kFuncOccurs},   {"TRIM", 0},                   {"CAST", kFuncCast},
    {"EXTRACT", 0},            {"IF", kFuncIf},               {"COALESCE", kFuncCoalesce},
    {"IFNULL", kFuncIfNull},   {"ABS", kFuncAbs},             {"ROUND", kFuncRound},
    {"TEXTSEARCH", kFuncTextSearch}, {"TEXTOCCURS", kFuncTextOccurs},
    {"LASTAUTOINC", kFuncLastAutoInc}, {"IDENT_CURRENT", kFuncIdentCurrent},
};

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

const FunctionName* FindFunction(std::string_view name) {
  const std::string upper = Upper(name);
  for (const FunctionName& f : kFunctions) {
    if (f.Name == upper) return &f;
  }
  return nullptr;
}

struct DatePart {
  std::string_view Name;
  uint8_t OpCode;
};

constexpr DatePart kDateParts[] = {
    {"YEAR", kFuncExtractYear},           {"MONTH", kFuncExtractMonth},
    {"WEEK", kFuncExtractWeek},           {"DAY", kFuncExtractDay},
    {"DAYOFWEEK", kFuncExtractDayOfWeek}, {"DAYOFYEAR", kFuncExtractDayOfYear},
    {"HOUR", kFuncExtractHour},           {"MINUTE", kFuncExtractMinute},
    {"SECOND", kFuncExtractSecond},
};

}  // namespace

bool TExpressionParser::IsFunctionName(std::string_view name) const { return FindFunction(name) != nullptr; }

TExpTokenPtr TExpressionParser::ParseFunction() {
  const FunctionName& function = *FindFunction(tokenText_);
  const std::string name(function.Name);
  TExpTokenPtr node = TExpTokenStack::TakePtr();
  node->NodeKind = kNodeFunction;
  node->OpCode = function.OpCode;
  node->TokenText = name;
  NextToken();
  ExpectSymbol('(', "Left parentheses expected after " + name + " keyword, instead found '");
  const std::string closing = "Right parentheses expected after " + name + " function arguments, instead found '";
  auto argument = [&](uint32_t extra = 0) {
    const uint32_t saved = permissions_;
    permissions_ |= extra;
    TExpTokenPtr value = ParseSum();
    permissions_ = saved;
    node->AddArgument(value.release());
  };
  auto condition = [&]() {
    const uint32_t saved = permissions_;
    permissions_ |= kAllowExtended;
    TExpTokenPtr value = ParseOr();
    permissions_ = saved;
    node->AddArgument(value.release());
  };
  auto thenOrComma = [&](std::string_view keyword, std::string_view fragment) {
    if (TokenIs(keyword) || SymbolIs(',')) {
      NextToken();
      return;
    }
    RaiseExpected(fragment);
  };

  switch (function.OpCode) {
    case kFuncSum: case kFuncRunSum: case kFuncCount: case kFuncMin: case kFuncMax: case kFuncAvg:
      if ((permissions_ & kAllowAggregates) == 0) RaiseWithContext("Aggregate functions are not allowed in ");
      if (function.OpCode == kFuncCount && SymbolIs('*')) {
        TExpTokenPtr star = TExpTokenStack::TakePtr();
        star->NodeKind = kNodeColumn;
        star->TokenText = "*";
        star->ColumnName = "*";
        NextToken();
        node->AddArgument(star.release());
      } else {
        argument();
      }
      break;
    case kFuncUpper: case kFuncLower: case kFuncLength: case kFuncAbs:
      argument();
      break;
    case kFuncSubstring:
      argument();
      ExpectKeyword("FROM", "FROM keyword expected after first SUBSTRING function argument, instead found '");
      argument();
      if (TokenIs("FOR")) {
        NextToken();
        argument();
      }
      break;
    case kFuncReplace:
      argument();
      ExpectKeyword("WITH", "WITH keyword expected after first REPLACE function argument, instead found '");
      argument();
      ExpectKeyword("IN", "IN keyword expected after second REPLACE function argument, instead found '");
      argument();
      break;
    case kFuncPos: case kFuncOccurs: case kFuncTextSearch: case kFuncTextOccurs:
      argument();
      ExpectKeyword("IN", "IN keyword expected after first " + name + " function argument, instead found '");
      argument();
      break;
    case 0:
      if (name == "TRIM") {
        if (TokenIs("LEADING")) node->OpCode = kFuncTrimLeading;
        else if (TokenIs("TRAILING")) node->OpCode = kFuncTrimTrailing;
        else if (TokenIs("BOTH")) node->OpCode = kFuncTrimBoth;
        else RaiseExpected("LEADING, TRAILING, or BOTH keyword expected after TRIM left parentheses, instead found '");
        NextToken();
        argument();
        ExpectKeyword("FROM", "FROM keyword expected after TRIM character argument, instead found '");
        argument();
      } else {  // EXTRACT
        for (const DatePart& part : kDateParts) {
          if (TokenIs(part.Name)) node->OpCode = part.OpCode;
        }
        if (node->OpCode == 0) {
          RaiseExpected(
              "YEAR, MONTH, WEEK, DAY, DAYOFWEEK, DAYOFYEAR, HOUR, MINUTE, or SECOND keyword expected after "
              "EXTRACT left parentheses, instead found '");
        }
        NextToken();
        ExpectKeyword("FROM", "FROM keyword expected after EXTRACT date part, instead found '");
        argument();
      }
      break;
    case kFuncCast: {
      argument();
      ExpectKeyword("AS", "AS keyword expected after first CAST function argument, instead found '");
      TSqlDataType type;
      if (!ParseDataType(type)) RaiseExpected("SQL data type keyword expected, instead found '");
      if (type.FieldType == kFieldTypeInteger) type.SubType = 0;  // AUTOINC casts to INTEGER
      node->SetType(type.FieldType, type.SubType, type.Size, type.Scale);
      break;
    }
    case kFuncIf:
      condition();
      thenOrComma("THEN", "THEN keyword or comma expected after first IF function argument, instead found '");
      argument();
      thenOrComma("ELSE", "ELSE keyword or comma expected after second IF function argument, instead found '");
      argument();
      break;
    case kFuncIfNull:
      argument();
      thenOrComma("THEN", "THEN keyword or comma expected after first IFNULL function argument, instead found '");
      argument();
      thenOrComma("ELSE", "ELSE keyword or comma expected after second IFNULL function argument, instead found '");
      argument();
      break;
    case kFuncCoalesce:
      argument();
      while (SymbolIs(',')) {
        NextToken();
        argument();
      }
      break;
    case kFuncRound:
      argument();
      if (TokenIs("TO") || SymbolIs(',')) {
        NextToken();
        argument();
      }
      break;
    case kFuncLastAutoInc: case kFuncIdentCurrent:
      argument();
      break;
    default:
      break;
  }
  ExpectSymbol(')', closing);
  return node;
}

bool TExpressionParser::ParseDataType(TSqlDataType& type) {
  if (kind_ != TokenKind::kIdentifier) return false;
  const std::string keyword = Upper(tokenText_);
  type = TSqlDataType{};
  // An integer argument inside the type's parentheses.
  auto integerArgument = [&](std::string_view what) -> int {
    if (kind_ != TokenKind::kInteger || tokenText_.size() > 9) {
      RaiseExpected(std::string(what) + " argument of " + keyword + " data type expected, instead found '");
    }
    const int value = std::atoi(tokenText_.c_str());
    NextToken();
    return value;
  };
  const std::string open = "Left parentheses expected after " + keyword + " keyword, instead found '";
  const std::string close = "Right parentheses expected after " + keyword + " data type arguments, instead found '";

  if (keyword == "SMALLINT") type.FieldType = kFieldTypeSmallInt;
  else if (keyword == "WORD") type.FieldType = kFieldTypeWord;
  else if (keyword == "INTEGER" || keyword == "INT") type.FieldType = kFieldTypeInteger;
  else if (keyword == "AUTOINC") { type.FieldType = kFieldTypeInteger; type.SubType = kSubTypeAutoInc; }
  else if (keyword == "LARGEINT") type.FieldType = kFieldTypeLargeInt;
  else if (keyword == "MONEY") { type.FieldType = kFieldTypeFloat; type.SubType = kSubTypeMoney; }
  else if (keyword == "DATE") type.FieldType = kFieldTypeDate;
  else if (keyword == "TIME") type.FieldType = kFieldTypeTime;
  else if (keyword == "TIMESTAMP") type.FieldType = kFieldTypeTimestamp;
  else if (keyword == "BOOLEAN" || keyword == "BOOL" || keyword == "BIT") type.FieldType = kFieldTypeBoolean;
  else if (keyword == "MEMO" || keyword == "LONGVARCHAR") { type.FieldType = kFieldTypeBlob; type.SubType = kSubTypeMemo; }
  else if (keyword == "LONGVARBINARY") { type.FieldType = kFieldTypeBlob; type.SubType = kSubTypeBinary; }
  else if (keyword == "GRAPHIC") { type.FieldType = kFieldTypeBlob; type.SubType = kSubTypeGraphic; }
  else if (keyword == "FLOAT") {
    type.FieldType = kFieldTypeFloat;
    NextToken();
    if (SymbolIs('(')) {  // FLOAT(p, s): precision and scale are accepted and not kept
      NextToken();
      integerArgument("Precision");
      if (SymbolIs(',')) {
        NextToken();
        integerArgument("Scale");
      }
      ExpectSymbol(')', close);
    }
    return true;
  } else if (keyword == "DECIMAL" || keyword == "NUMERIC") {
    type.FieldType = kFieldTypeBcd;
    NextToken();
    if (SymbolIs('(')) {
      NextToken();
      integerArgument("Precision");
      if (SymbolIs(',')) {
        NextToken();
        const int scale = integerArgument("Scale");
        if (scale > 4) RaiseWithContext("Scale of " + keyword + " data type must be between 0 and 4 in ");
        type.Scale = static_cast<uint8_t>(scale);
      }
      ExpectSymbol(')', close);
    }
    return true;
  } else if (keyword == "CHAR" || keyword == "CHARACTER" || keyword == "VARCHAR" || keyword == "BYTES" ||
             keyword == "VARBYTES" || keyword == "BINARY" || keyword == "VARBINARY") {
    const bool isString = keyword == "CHAR" || keyword == "CHARACTER" || keyword == "VARCHAR";
    type.FieldType = isString ? kFieldTypeString : kFieldTypeBytes;
    NextToken();
    ExpectSymbol('(', open);
    const int length = integerArgument("Length");
    if (length < 1 || length > kMaxDeclaredSize) {
      RaiseWithContext("Length of " + keyword + " data type must be between 1 and 250 in ");
    }
    type.Size = static_cast<uint8_t>(length);
    ExpectSymbol(')', close);
    return true;
  } else if (keyword == "BLOB") {
    type.FieldType = kFieldTypeBlob;
    type.SubType = kSubTypeBinary;
    NextToken();
    if (SymbolIs('(')) {
      NextToken();
      type.BlobSize = static_cast<uint16_t>(integerArgument("Size"));
      if (SymbolIs(',')) {
        NextToken();
        const int kind = integerArgument("Type");
        switch (kind) {
          case 1: type.SubType = kSubTypeMemo; break;
          case 2: type.SubType = kSubTypeBinary; break;
          case 3: type.SubType = kSubTypeFormattedMemo; break;
          case 5: type.SubType = kSubTypeGraphic; break;
          case 7: type.SubType = kSubTypeTypedBinary; break;
          default: RaiseWithContext("Type argument of BLOB data type must be 1, 2, 3, 5, or 7 in ");
        }
      }
      ExpectSymbol(')', close);
    }
    return true;
  } else {
    return false;
  }
  NextToken();
  return true;
}

}  // namespace rudira
