// TSelectExecutor: the entry point through which a query component runs an
// SQL text against one open database of an engine session.
//
// Life of one query component's text:
//
//   TSelectExecutor executor(session, database, requestLive, maxRowCount);
//   executor.Prepare(text);              // parse + prepare-time analysis
//   executor.Execute(descriptors, buf);  // bind "?" values, run every statement
//   TDataCursor* rows = executor.ResultCursor();   // null unless a SELECT ran last
//   ...                                  // read, edit, insert, delete through it
//   executor.Execute(...);               // again with new values: refilled
//   executor.Unprepare();                // or the destructor
//
// Prepare parses the first statement of the text (sql/query_statement.h) and
// analyses each SELECT of it, the queries from the last created to the
// master: source tables opened in natural order, "*" expanded, columns
// resolved and named, the live-or-canned decision taken. Every failure of
// this layer raises RUDIRA_SQLPARSE (11949) with the message as engine text;
// cursor-engine failures (missing table, password, locks) pass through with
// their own codes.
//
// Result kinds (LiveResult()):
//   live    ResultCursor() is the base table's own cursor, filtered by the
//           WHERE condition and ordered by the chosen index (natural order
//           without ORDER BY). Edits, appends and deletes through it change
//           the base table. Its record layout is the base table's:
//           ResultColumns() says which base field (OriginFieldNo) each shown
//           column is, and which columns are calculated (read them with
//           ReadCalculatedColumn on the current record).
//   canned  ResultCursor() is a cursor on a result table built by the engine:
//           a temporary table in the session's private directory (deleted
//           when the executor is unprepared), a table of the in-memory
//           database, or the table INTO names. Field n of that table is
//           result column n; hidden AVG counter columns follow the shown
//           ones (ResultColumn::Hidden). Changes reach only that table.
//
// Ownership: the executor owns the statement, every source-table cursor and
// the result cursor; the caller must not free ResultCursor() and must not use
// it after the next Execute, Prepare or Unprepare. session and database must
// outlive the executor.
//
// Several statements in one text: Execute runs the prepared statement, then
// parses and runs each following statement of the text in turn. Parameters
// bind to the first statement only. ElapsedSeconds() and RowsAffected() are
// summed over the statements; ROLLBACK restores the rows-affected sum noted
// at START TRANSACTION.
//
// Concurrency: one thread at a time; the session's rules apply.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "engine/exp_token.h"
#include "sql/query_statement.h"
#include "storage/field_descriptor.h"

namespace rudira {

// One "?" of the text, in text order, as the component passes it. The value
// buffer holds at ValueOffset a presence byte (1 value present, 0 null)
// followed by the value in the stored encoding of FieldType
// (engine/exp_token.h table); a string is its text and a zero byte
// (DataSize counts the text), a BLOB a uint32 length and a pointer to the
// data.
struct TParameterDescriptor {
  uint8_t FieldType = 0;   // storage/field_type.h codes
  uint8_t SubType = 0;
  uint16_t DataSize = 0;   // bytes of the value (text bytes for strings)
  bool IsNull = false;     // also null when the presence byte is 0
  uint32_t ValueOffset = 0;
};

// One column of a SELECT result.
struct TResultColumn {
  TFieldDescriptor Field;        // number (1-based), name (<= 30), type, size, scale
  bool Calculated = false;       // computed from its expression
  bool Hidden = false;           // an AVG counter column "Sys__Avg__Count<n>"
  // A plain column: where it comes from.
  std::string OriginTable;       // table name
  std::string CorrelationName;
  std::string OriginColumn;      // column name (<= 100)
  int32_t OriginFieldNo = 0;     // field number in the origin table
  std::string OriginDatabase;    // directory or database name (<= 100)
  const TExpToken* Expression = nullptr;  // owned by the statement
};

class TSelectExecutor {
 public:
  // Percent done of row production; set `abort` to stop (the rows so far
  // form the result).
  using ProgressCallback = std::function<void(int percent, bool& abort)>;

  // requestLive and maxRowCount (-1: no limit) come from the component.
  // REQUIRES: database was opened through session and outlives this.
  TSelectExecutor(TDataSession& session, TDataDirectory& database, bool requestLive, int32_t maxRowCount);
  ~TSelectExecutor();
  TSelectExecutor(const TSelectExecutor&) = delete;
  TSelectExecutor& operator=(const TSelectExecutor&) = delete;

  // Parses the first statement of `text` and runs the prepare-time analysis.
  // A prepared executor is unprepared first. On failure it is left
  // unprepared and the error propagates.
  void Prepare(std::string_view text);
  // Closes every cursor, deletes temporary result tables, drops the
  // statement.
  void Unprepare();
  bool Prepared() const { return statement_ != nullptr; }

  // The prepared statement (kind, queries, parameter tokens).
  // REQUIRES: Prepared().
  TQueryStatement& Statement() const { return *statement_; }
  int ParameterCount() const;

  // Binds the parameters positionally, then executes the statement and every
  // further statement of the text. descriptors may hold fewer entries than
  // parameters (the rest stay as bound before, initially null).
  // REQUIRES: Prepared().
  void Execute(const std::vector<TParameterDescriptor>& descriptors = {}, const uint8_t* valueBuffer = nullptr);

  // --- results of the last Execute
  // The result cursor of the last SELECT run, positioned before its first
  // row; null when the last statement was no SELECT.
  TDataCursor* ResultCursor() const { return resultCursor_; }
  bool LiveResult() const { return live_; }
  // Shown columns, then hidden ones.
  const std::vector<TResultColumn>& ResultColumns() const { return columns_; }
  // Rows of the result (live: the cursor's record count with its filter).
  int32_t RowCount() const { return rowCount_; }
  double ElapsedSeconds() const { return elapsed_; }
  int32_t RowsAffected() const { return rowsAffected_; }

  // A calculated column of a live result evaluated on `record` (the base
  // table's record, e.g. the cursor's current record): a node typed like the
  // column. REQUIRES: LiveResult(), columns_[column].Calculated.
  TExpTokenPtr ReadCalculatedColumn(size_t column, const uint8_t* record);

  // Changing the maximum row count takes effect at the next Execute.
  void SetMaxRowCount(int32_t value) { maxRowCount_ = value; }
  void SetProgressCallback(ProgressCallback callback) { progress_ = std::move(callback); }
  // Asked when a source table is encrypted and the session knows no
  // password for it (TDataCursor's password request).
  void SetPasswordCallback(TCursorPasswordCallback callback) { password_ = std::move(callback); }

  bool RequestLive() const { return requestLive_; }
  int32_t MaxRowCount() const { return maxRowCount_; }
  const ProgressCallback& Progress() const { return progress_; }
  const TCursorPasswordCallback& PasswordCallback() const { return password_; }

  // Takes over the statements other than SELECT and the transaction
  // statements (INSERT, UPDATE, DELETE and the definition statements) and
  // returns their rows affected. Without one they run through the engine's
  // own execution (sql/statement_executor.h).
  using StatementRunner = std::function<int32_t(TQueryStatement& statement)>;
  void SetStatementRunner(StatementRunner runner) { runner_ = std::move(runner); }

  class TImpl;  // the per-query machinery (sql/select_*.cpp)

 private:
  void PrepareCurrentStatement();
  void RunCurrentStatement();

  TDataSession& session_;
  TDataDirectory& database_;
  bool requestLive_;
  int32_t maxRowCount_;
  std::unique_ptr<TQueryStatement> statement_;
  std::unique_ptr<TImpl> impl_;
  TDataCursor* resultCursor_ = nullptr;
  bool live_ = false;
  std::vector<TResultColumn> columns_;
  int32_t rowCount_ = 0;
  double elapsed_ = 0.0;
  int32_t rowsAffected_ = 0;
  ProgressCallback progress_;
  TCursorPasswordCallback password_;
  StatementRunner runner_;
  int32_t transactionMark_ = 0;  // rows affected at START TRANSACTION
  std::string text_;             // the whole text, for a new run of all its statements
  bool movedOn_ = false;         // the statement is no longer the text's first
};

}  // namespace rudira
