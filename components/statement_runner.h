// TStatementRunner: what a query component needs from SQL statement
// execution, and where the component gets one.
//
// A runner is bound to one open database of an engine session; the query
// prepares its engine text (":name" markers already replaced by "?"),
// executes it with the parameter descriptors and value buffer of
// sql/select_executor.h (one descriptor per "?", in text order), and then
// reads the result cursor (null when the last statement yields no rows) and
// the rows affected. The runner owns the result cursor; it stays valid until
// the next Execute, Prepare or the runner's destruction.
//
// SQL execution implements the interface (select_statement_runner.cpp over
// TSelectExecutor). The factory in use is process-wide: tests install their
// own to run a query's behaviour without the SQL layer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/data_cursor.h"
#include "sql/select_executor.h"

namespace rudira {

class TStatementRunner {
 public:
  virtual ~TStatementRunner() = default;

  // Parses the text (and runs the prepare-time analysis). Errors raise.
  virtual void Prepare(std::string_view text) = 0;
  // The number of "?" of the prepared statement.
  virtual int ParameterCount() const = 0;
  // Binds the values and runs the statement(s).
  virtual void Execute(const std::vector<TParameterDescriptor>& descriptors, const uint8_t* valueBuffer) = 0;
  // The result of the last Execute, or null.
  virtual TDataCursor* ResultCursor() const = 0;
  virtual int32_t RowsAffected() const = 0;
  virtual double ElapsedSeconds() const = 0;
  // Reaches the statement at once.
  virtual void SetMaxRowCount(int32_t value) = 0;
  virtual void SetPasswordCallback(TCursorPasswordCallback callback) = 0;
  virtual void SetProgressCallback(std::function<void(int percent, bool& abort)> callback) = 0;
  // Of the last result's field fieldNo (1-based): its origin text
  // (correlation name, ".", column; empty for a calculated column) and
  // whether it is a hidden helper column (AVG counters).
  virtual std::string ColumnOrigin(int fieldNo) const { (void)fieldNo; return {}; }
  virtual bool ColumnHidden(int fieldNo) const { (void)fieldNo; return false; }
};

using TStatementRunnerFactory = std::function<std::unique_ptr<TStatementRunner>(
    TDataSession& session, TDataDirectory& database, bool requestLive, int32_t maxRowCount)>;

// Installs the factory queries use from now on (an empty one restores the
// default); returns the previous one.
TStatementRunnerFactory SetStatementRunnerFactory(TStatementRunnerFactory factory);
// A runner from the factory in use; by default the SQL layer's executor
// (components/select_statement_runner.h).
std::unique_ptr<TStatementRunner> NewStatementRunner(TDataSession& session, TDataDirectory& database, bool requestLive,
                                                     int32_t maxRowCount);

}  // namespace rudira
