#include "tools/rudira_sql/shell.h"

#include <signal.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <vector>

#include "components/rudira_query.h"
#include "sql/sql_lexer.h"
#include "tools/rudira_sql/result_printer.h"
#include "tools/rudira_sql/shell_database.h"
#include "tools/rudira_sql/statement_splitter.h"
#include "tools/rudira_sql/value_format.h"

namespace rudira::sql_shell {

namespace {

// Progress is shown only for statements running longer than this.
constexpr std::chrono::milliseconds kProgressDelay{500};

// Set by Ctrl-C while a statement runs in interactive use.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
  interrupted = 1;
}

// While a statement runs in interactive use, Ctrl-C asks it to stop at its
// next progress report (and stops the printing of rows) instead of ending
// the shell; outside statements the line editor's own handling applies.
class TInterruptScope {
 public:
  explicit TInterruptScope(bool active) : active_(active) {
    interrupted = 0;
    if (!active_) return;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
  }
  ~TInterruptScope() {
    if (active_) sigaction(SIGINT, &previous_, nullptr);
  }
  TInterruptScope(const TInterruptScope&) = delete;
  TInterruptScope& operator=(const TInterruptScope&) = delete;

 private:
  bool active_;
  struct sigaction previous_ {};
};

// A statement that yields rows: it begins with SELECT or "(" (a SELECT in
// parentheses). A text the lexer cannot read goes to execution, which
// reports the error.
bool IsSelect(const std::string& sql) {
  try {
    TSqlLexer lexer;
    lexer.SetText(sql);
    return lexer.IsSymbol('(') || lexer.Is("SELECT");
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

TShell::TShell(TShellDatabase& database, const TShellOptions& options, bool interactive)
    : database_(database),
      mode_(options.Mode),
      header_(options.Header),
      interactive_(interactive) {}

void TShell::ReportError(const std::string& message) {
  ClearProgress();
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
  ++errors_;
}

void TShell::RunLines(const TLineSource& source) {
  TStatementSplitter splitter;
  std::vector<std::string> statements;
  std::string line;
  while (!quit_ && source(line, splitter.Pending())) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t command = splitter.AddLine(line, statements);
    for (const std::string& statement : statements) {
      if (quit_) break;
      ExecuteStatement(statement);
    }
    statements.clear();
    if (!quit_ && command < line.size()) RunDotCommand(line.substr(command));
  }
  const std::string rest = splitter.Finish();
  if (!quit_ && !rest.empty()) ExecuteStatement(rest);
}

void TShell::RunText(std::string_view text) {
  size_t position = 0;
  RunLines([&](std::string& line, bool) {
    if (position > text.size()) return false;
    size_t end = text.find('\n', position);
    if (end == std::string_view::npos) end = text.size();
    line.assign(text.substr(position, end - position));
    position = end + 1;
    return true;
  });
}

void TShell::ExecuteStatement(const std::string& sql) {
  TRUDIRAQuery query;
  query.ParamCheck = false;
  query.SetDatabaseName(database_.Name());
  query.SQL().SetText(sql);
  query.OnQueryProgress = [this](TRUDIRAQuery&, int percent, bool& abort) {
    ShowProgress(percent);
    if (interrupted) abort = true;
  };
  TInterruptScope interruptible(interactive_);
  statementStart_ = std::chrono::steady_clock::now();
  bool failed = false;
  try {
    if (IsSelect(sql)) {
      query.Open();
      PrintRows(query);
      query.Close();
    } else {
      query.ExecSQL();
      ClearProgress();
      std::printf("%d rows affected\n", query.RowsAffected());
      std::fflush(stdout);
    }
  } catch (const std::exception& error) {
    failed = true;
    ReportError(error.what());
  }
  ClearProgress();
  if (interrupted) ReportError("Interrupted: the statement stopped early");
  if (timer_) {
    const std::chrono::duration<double> elapsed =
        std::chrono::steady_clock::now() - statementStart_;
    std::fprintf(stderr, "Elapsed: %.3f s%s\n", elapsed.count(), failed ? " (failed)" : "");
  }
}

void TShell::PrintRows(TRUDIRAQuery& query) {
  std::vector<TColumn> columns;
  for (int i = 0; i < query.FieldCount(); ++i) {
    const TField& field = query.Fields(i);
    columns.push_back({field.FieldName(), IsNumericEngineType(field.EngineType())});
  }
  TResultPrinter printer(mode_, header_, stdout);
  ClearProgress();
  printer.Begin(std::move(columns));
  for (query.First(); !query.Eof() && !interrupted; query.Next()) {
    TRow row;
    for (int i = 0; i < query.FieldCount(); ++i) row.push_back(FieldText(query.Fields(i)));
    printer.Row(std::move(row));
  }
  printer.End();
}

void TShell::ShowProgress(int percent) {
  if (!interactive_ || std::chrono::steady_clock::now() - statementStart_ < kProgressDelay) return;
  std::fprintf(stderr, "\r%3d%% done", percent);
  std::fflush(stderr);
  progressShown_ = true;
}

void TShell::ClearProgress() {
  if (!progressShown_) return;
  std::fprintf(stderr, "\r          \r");
  std::fflush(stderr);
  progressShown_ = false;
}

}  // namespace rudira::sql_shell
