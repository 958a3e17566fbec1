// TExpressionParser: turns the text of a filter or SQL expression into a
// tree of TExpToken nodes (engine/exp_token.h).
//
// The same parser serves filters (error code RUDIRA_INVALIDFILTER, context
// phrase "filter expression", permissions kAllowExtended only) and the SQL
// statement parser (RUDIRA_SQLPARSE, "SQL statement" or a narrower phrase),
// which shares the scanner: it reads its own keywords through NextToken() /
// TokenIs() and hands over to ParseExpression() wherever an expression
// stands, getting the scanner back on the first token after it.
//
// Grammar, lowest precedence first, binary levels left-associative:
//   or       := and { OR and }
//   and      := not { AND not }
//   not      := [ NOT ] predicate
//   predicate:= sum [ ("=" | "<>" | "<" | "<=" | ">" | ">=") sum
//                   | [NOT] BETWEEN sum AND sum | [NOT] LIKE sum
//                   | [NOT] IN "(" sum { "," sum } ")" | [NOT] IN "(" SELECT ... ")"
//                   | IS [NOT] NULL ]
//   sum      := product { ("+" | "-" | "||") product }
//   product  := unary { ("*" | "/") unary }
//   unary    := [ "+" | "-" ] primary
//   primary  := constant | column | correlation "." (column | "*") | function
//             | "(" or ")" | "*" | "?"
// IS NULL becomes "= NULL", IS NOT NULL "<> NULL".
//
// Every syntax error raises the parser's error code through
// RaiseEngineError, with the database and table names set on the parser and
// a message that quotes the offending token and ends with " in " and the
// context phrase.
//
// A parser belongs to one cursor or statement and is used by one thread at a
// time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/exp_token.h"

namespace rudira {

// Permission bits of Parse / ParseExpression.
constexpr uint32_t kAllowAggregates = 1;
constexpr uint32_t kAllowStar = 2;
constexpr uint32_t kAllowExtended = 4;    // LIKE, BETWEEN, IN, IS NULL
constexpr uint32_t kAllowParameters = 8;  // "?"
constexpr uint32_t kAllowSubSelects = 16;
constexpr uint32_t kFilterPermissions = kAllowExtended;

constexpr char kFilterContext[] = "filter expression";
constexpr char kSqlContext[] = "SQL statement";

enum class TokenKind : uint8_t {
  kEnd = 0,       // end of text
  kIdentifier,    // letter, "_" or byte 128..254, then also digits
  kBracketName,   // [name]; text without the brackets
  kSingleQuoted,  // 'text'; '' stands for '
  kDoubleQuoted,  // "text"; "" stands for "
  kCharConstant,  // #digits; text the digits
  kInteger,       // digits
  kNumber,        // digits with "." or exponent, or "." digits
  kSymbol,        // any other single character
};

class TExpressionParser;

// The SQL statement that owns a parser: parameters are registered with it
// and sub-selects are parsed by it.
class TExpressionOwner {
 public:
  virtual ~TExpressionOwner() = default;
  // A "?" was read; parameter.ParameterIndex is its 0-based position.
  virtual void RegisterParameter(TExpToken& parameter) = 0;
  // Called with the scanner on the SELECT keyword of "IN (SELECT ...)":
  // parses the sub-select (without an end-of-statement check), sets
  // subSelect.SubQuery, and leaves the scanner on the token after it.
  virtual void ParseSubSelect(TExpressionParser& parser, TExpToken& subSelect) = 0;
};

// A data type as written in CAST and column definitions.
struct TSqlDataType {
  uint8_t FieldType = 0;
  uint8_t SubType = 0;
  uint8_t Size = 0;    // types 1, 9, 15
  uint8_t Scale = 0;   // type 8
  uint16_t BlobSize = 0;  // BLOB(n, m): n
};

class TExpressionParser {
 public:
  TExpressionParser(uint16_t errorCode, std::string contextPhrase, TExpressionOwner* owner = nullptr);

  // --- settings
  void SetErrorCode(uint16_t code) { errorCode_ = code; }
  uint16_t ErrorCode() const { return errorCode_; }
  void SetNames(std::string databaseName, std::string tableName);
  const std::string& DatabaseName() const { return databaseName_; }
  const std::string& TableName() const { return tableName_; }
  // The phrase ending every message (cut to 255 bytes).
  void SetContext(std::string_view phrase);
  const std::string& ContextPhrase() const { return context_; }
  void SetOwner(TExpressionOwner* owner) { owner_ = owner; }
  TExpressionOwner* Owner() const { return owner_; }

  // Copies the text (dropping the previous one) and scans its first token.
  void SetText(std::string_view text);
  const std::string& Text() const { return text_; }

  // Parses the whole text: null when it holds no expression; raises when
  // anything follows the expression.
  TExpTokenPtr Parse(uint32_t permissions);
  // Parses one expression (an or-expression) from the current token and
  // leaves the scanner on the token after it.
  TExpTokenPtr ParseExpression(uint32_t permissions);
  // Reads a data type keyword and its arguments. Returns false, reading
  // nothing, when the current token is no data type keyword.
  bool ParseDataType(TSqlDataType& type);

  // --- scanner
  void NextToken();
  TokenKind Kind() const { return kind_; }
  // The token's text (quoted text unescaped, brackets removed).
  const std::string& TokenText() const { return tokenText_; }
  size_t TokenStart() const { return tokenStart_; }
  size_t TokenEnd() const { return position_; }
  // The current token is the identifier `keyword` (case-insensitive).
  bool TokenIs(std::string_view keyword) const;
  bool SymbolIs(char symbol) const;
  // Whether the next non-blank character after the current token is c.
  bool NextCharIs(char c) const;
  int ParameterCount() const { return parameterCount_; }

  // --- messages
  // Raises the parser's code with `message` as the inner text.
  [[noreturn]] void RaiseError(const std::string& message) const;
  // fragment + token + "'" + " in " + context.
  [[noreturn]] void RaiseExpected(std::string_view fragment) const;
  // fragment + context (fragments end with " in ").
  [[noreturn]] void RaiseWithContext(std::string_view fragment) const;

 private:
  TExpTokenPtr ParseOr();
  TExpTokenPtr ParseAnd();
  TExpTokenPtr ParseNot();
  TExpTokenPtr ParsePredicate();
  TExpTokenPtr ParseExtended(TExpTokenPtr tested, bool negated);
  TExpTokenPtr ParseSum();
  TExpTokenPtr ParseProduct();
  TExpTokenPtr ParseUnary();
  TExpTokenPtr ParsePrimary();
  TExpTokenPtr ParseIdentifier();
  TExpTokenPtr ParseColumn(std::string alias);
  TExpTokenPtr ParseNumberConstant();
  // Functions (engine/expression_functions.cpp).
  bool IsFunctionName(std::string_view name) const;
  TExpTokenPtr ParseFunction();
  void ExpectSymbol(char symbol, std::string_view fragment);
  void ExpectKeyword(std::string_view keyword, std::string_view fragment);
  void ScanToken();
  void RequireExtended() const;

  uint16_t errorCode_;          // raised by every message
  std::string context_;         // context phrase of messages
  TExpressionOwner* owner_;     // SQL statement, not owned; null for filters
  std::string databaseName_;    // names of messages
  std::string tableName_;
  std::string text_;            // copy of the source text
  size_t position_ = 0;         // scanner position: just after the current token
  size_t tokenStart_ = 0;       // first byte of the current token
  TokenKind kind_ = TokenKind::kEnd;
  std::string tokenText_;
  uint32_t permissions_ = 0;    // of the parse in progress
  int parameterCount_ = 0;      // "?" read since SetText
};

// Messages built the same way by the parser and the type checker.
std::string ExpressionMessage(std::string_view fragment, std::string_view token,
                              std::string_view context);

}  // namespace rudira
