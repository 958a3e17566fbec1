// The statement parser's bridge to the expression parser
// (engine/expression_parser.h): every expression, and every data type of a
// column definition, inside an SQL statement is read here.
//
// The statement parser reads its own words with TSqlLexer; where an
// expression stands it calls Read() with the clause's context, which hands
// the text from the current token on to the expression parser and moves the
// lexer to the first token the expression parser did not consume. The
// expression parser calls back through TExpressionOwner for "?" parameters
// (registered with the statement, numbered across the whole statement) and
// for "IN (SELECT ...)", whose SELECT the statement parser reads with the
// same lexer.
//
// Each Read() works on a parser of its own for its nesting depth, so a
// sub-select inside a WHERE clause can read its own expressions while the
// outer parse is suspended in the callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/exp_token.h"
#include "sql/sql_lexer.h"
#include "sql/statement_model.h"

namespace rudira {

class TExpressionParser;

// One place where the statement hands a piece of text to the expression
// parser: its context name (ending the expression parser's messages), its
// permissions (engine/expression_parser.h bits) and the message raised when
// no expression stands there.
struct SqlExpressionContext {
  std::string_view Name;
  uint32_t Permissions;
  std::string_view EmptyMessage;
};

extern const SqlExpressionContext kSourceColumnContext;   // select-list item
extern const SqlExpressionContext kWhereContext;
extern const SqlExpressionContext kJoinContext;           // JOIN ... ON
extern const SqlExpressionContext kHavingContext;
extern const SqlExpressionContext kValueContext;          // INSERT VALUES item, UPDATE SET value
extern const SqlExpressionContext kTableColumnContext;    // INSERT column, SET target, column definition
extern const SqlExpressionContext kIndexColumnContext;
extern const SqlExpressionContext kIndexNameContext;      // DROP INDEX name

class TSqlExpressionReader {
 public:
  // Called with the lexer on the SELECT of "IN (SELECT ...)": parses the
  // sub-select and returns the query made for it; leaves the lexer on the
  // token after the SELECT.
  using SubSelectParser = std::function<void*(TSqlLexer& lexer)>;
  // A "?" was read; the statement appends it and numbers it.
  using ParameterSink = std::function<void(TExpToken& parameter)>;

  TSqlExpressionReader(TSqlLexer& lexer, SubSelectParser subSelects, ParameterSink parameters);
  ~TSqlExpressionReader();
  TSqlExpressionReader(const TSqlExpressionReader&) = delete;
  TSqlExpressionReader& operator=(const TSqlExpressionReader&) = delete;

  // Reads one expression at the current token. Raises the context's empty
  // message when no expression starts there (end of text, ";", "," or ")").
  // `sourceText` receives the expression as written.
  TExpTokenPtr Read(const SqlExpressionContext& context, std::string* sourceText = nullptr);

  // Reads a data type keyword and its arguments in the context "table
  // column". Returns false, reading nothing, when the current token is no
  // data type keyword.
  bool ReadDataType(TSqlColumnType& type);

 private:
  class Owner;
  TExpressionParser& ParserAt(size_t depth);

  TSqlLexer& lexer_;
  SubSelectParser subSelects_;
  ParameterSink parameters_;
  std::vector<std::unique_ptr<TExpressionParser>> parsers_;  // one per nesting depth
  std::vector<std::unique_ptr<Owner>> owners_;
  size_t depth_ = 0;
};

// The pieces of an AND tree, left to right: the node itself when it is no
// AND, nothing for a null node.
void SplitAnd(TExpToken* node, std::vector<TExpToken*>& pieces);
// Whether `node` is a binary comparison (=, <>, <, >, <=, >=).
bool IsComparison(const TExpToken& node);

}  // namespace rudira
