// TQueryStatement: one prepared SQL text bound to one open database.
//
// Prepare() parses the first statement of the text into TDataQuery objects;
// a text may hold further statements separated by ";", which execution parses
// one after another with ParseNextStatement() from where the previous one
// stopped (the lexer's cursor over the text is kept between statements).
//
// The statement owns every TDataQuery of the statement being worked on, in
// creation order: the master first, then each UNION member, sub-select and
// INSERT source query as the parser meets them. Execution walks that list
// from the end, so inner queries run before the queries that use them.
//
// Every parse error raises RUDIRA_SQLPARSE (11949) with the message as the
// engine text; the statement is unusable afterwards and its owner discards it.
// A statement is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/exp_token.h"
#include "sql/data_query.h"
#include "sql/sql_expression.h"
#include "sql/sql_lexer.h"

namespace rudira {

class TQueryStatement {
 public:
  // Asked for the password of an encrypted table; false when the user gives none.
  using PasswordCallback = std::function<bool(const std::string& tableName, std::string& password)>;
  // Reports progress of a long statement (percent done); returning false asks to stop.
  using ProgressCallback = std::function<bool(int percentDone)>;

  // `databaseDirectory`: the engine directory against which unqualified table
  // names resolve. Request live and the maximum row count come from the
  // query component.
  TQueryStatement(std::string databaseDirectory, bool requestLive, int32_t maxRowCount);
  ~TQueryStatement();
  TQueryStatement(const TQueryStatement&) = delete;
  TQueryStatement& operator=(const TQueryStatement&) = delete;

  // Parses the first statement of `text`. The prepare-time analysis of each
  // query (result columns, live decision, grouping, target checks) belongs to
  // the execution layers and runs after this parse once they exist.
  void Prepare(std::string_view text);
  // Whether the text holds another statement after the current one.
  bool HasMoreStatements() const;
  // Discards the queries and parameters of the current statement and parses
  // the next statement of the text. REQUIRES: HasMoreStatements().
  void ParseNextStatement();

  // Changes the maximum row count; passed on to the master query at once.
  void SetMaxRowCount(int32_t maxRowCount);
  int32_t MaxRowCount() const { return maxRowCount_; }
  bool RequestLive() const { return requestLive_; }

  // --- results of the parse
  uint8_t StatementKind() const { return kind_; }
  bool SelectStar() const { return selectStar_; }
  // Whether the SELECT result is live; decided by the prepare-time analysis
  // of SELECT execution (false until that analysis has run).
  bool LiveResult() const;
  int ParameterCount() const { return static_cast<int>(parameters_.size()); }
  // The "?" tokens in text order across all queries; owned by the trees.
  const std::vector<TExpToken*>& Parameters() const { return parameters_; }

  TDataQuery* MasterQuery() const { return queries_.empty() ? nullptr : queries_.front().get(); }
  const std::vector<std::unique_ptr<TDataQuery>>& Queries() const { return queries_; }

  const std::string& DatabaseDirectory() const { return databaseDirectory_; }

  // --- results of execution
  double ElapsedSeconds = 0.0;  // summed over all statements of the text
  int32_t RowsAffected = 0;

  PasswordCallback OnPassword;
  ProgressCallback OnProgress;

  // --- for the parser
  // A new query appended to the statement's list.
  TDataQuery& NewQuery();
  TSqlLexer& Lexer() { return lexer_; }
  TSqlExpressionReader& Expressions() { return expressions_; }
  void SetSelectStar(bool value) { selectStar_ = value; }

 private:
  void ParseCurrentStatement();
  void AddParameter(TExpToken& parameter);

  // Placeholder for the engine's open database object: the statement is
  // bound to its database by the directory until the session layer provides
  // that object, which also carries the transaction state used by START
  // TRANSACTION, COMMIT and ROLLBACK.
  std::string databaseDirectory_;
  bool requestLive_;
  int32_t maxRowCount_;
  TSqlLexer lexer_;
  TSqlExpressionReader expressions_;
  std::vector<std::unique_ptr<TDataQuery>> queries_;
  std::vector<TExpToken*> parameters_;
  uint8_t kind_ = kStatementUnknown;
  bool selectStar_ = false;
};

}  // namespace rudira
