// TSqlLexer: the token reader of the SQL statement parser.
//
// It reads the token classes the statement grammar tests for and keeps one
// cursor over the whole SQL text, shared by every TDataQuery of a statement:
// each parse routine starts on the current token and leaves the lexer on the
// first token it did not consume. The expression reader (sql/sql_expression.h)
// reads from the same cursor, so an expression ends exactly where the
// statement grammar resumes.
//
// Token classes:
//   identifier      a letter, "_" or a byte 128..254, then also digits
//   bracketed name  "[" ... "]"; text without the brackets
//   single-quoted   '...'; '' stands for '; text without the quotes
//   double-quoted   "..."; "" stands for "; text without the quotes
//   char constant   "#" digits; text the digits
//   integer         digits
//   number          digits with "." (and more digits), or "." digits, each
//                   with an optional exponent E[+|-]digits
//   symbol          any other single character
//   end             end of text; empty text
// Characters with codes 32 or less separate tokens; "/*" ... "*/" is skipped
// between tokens.
//
// Scanner errors (unterminated comment, quote or bracket) raise the parse
// error RUDIRA_SQLPARSE with a message ending in " in " and the current
// context phrase.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rudira {

enum class SqlTokenKind : uint8_t {
  kEnd = 0,
  kIdentifier,
  kBracketName,
  kSingleQuoted,
  kDoubleQuoted,
  kCharConstant,
  kInteger,
  kNumber,
  kSymbol,
};

constexpr char kSqlStatementContext[] = "SQL statement";

class TSqlLexer {
 public:
  TSqlLexer();

  // Copies the text and reads its first token.
  void SetText(std::string_view text);
  const std::string& Text() const { return text_; }

  // Reads the next token.
  void Next();
  // Rescans from byte `offset` of the text (a token start).
  void Seek(size_t offset);

  SqlTokenKind Kind() const { return kind_; }
  // The token's text: quoted text unescaped, brackets removed; a symbol's
  // single character; empty at end of text.
  const std::string& TokenText() const { return tokenText_; }
  // Byte range of the current token in the text (with its delimiters).
  size_t TokenStart() const { return tokenStart_; }
  size_t TokenEnd() const { return position_; }
  // The raw source text between two offsets.
  std::string_view SourceText(size_t start, size_t end) const;

  bool AtEnd() const { return kind_ == SqlTokenKind::kEnd; }
  // The current token is the identifier `keyword`, compared ignoring case.
  bool Is(std::string_view keyword) const;
  bool IsSymbol(char symbol) const;
  // A "name": identifier, bracketed name or quoted string.
  bool IsName() const;
  bool IsInteger() const { return kind_ == SqlTokenKind::kInteger; }

  // If the current token is `keyword`, consumes it and returns true.
  bool Accept(std::string_view keyword);
  bool AcceptSymbol(char symbol);

  // Whether the token after the current one is the given symbol or keyword,
  // without moving.
  bool PeekSymbol(char symbol) const;
  bool PeekKeyword(std::string_view keyword) const;

  // The phrase that ends scanner messages ("SQL statement" outside clauses).
  void SetContext(std::string_view phrase) { context_ = phrase; }
  const std::string& Context() const { return context_; }

 private:
  void Scan();
  [[noreturn]] void RaiseScanError(std::string_view fragment, std::string_view token) const;

  std::string text_;
  size_t position_ = 0;    // just after the current token
  size_t tokenStart_ = 0;
  SqlTokenKind kind_ = SqlTokenKind::kEnd;
  std::string tokenText_;
  std::string context_ = kSqlStatementContext;
};

// Case-insensitive equality of ASCII letters; other bytes compare exactly.
// Keywords are ASCII, so a word that is not ASCII never equals one.
bool SqlKeywordEquals(std::string_view a, std::string_view b);

}  // namespace rudira
