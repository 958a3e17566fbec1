// TShell: runs the shell's input: SQL statements through a query component
// and dot commands.
//
// Input comes as lines (from -c texts, files, standard input or the
// terminal) and goes through the statement splitter, which also finds the
// dot commands: a "." where a statement would begin starts one, running to
// the end of the line. Each
// statement runs in a query of its own on the shell's database: a SELECT
// (a statement beginning with SELECT or "(") is opened and its rows printed;
// any other statement is executed and "N rows affected" printed. The text
// reaches the engine unchanged (no ":name" parameters), so that ":" means
// what the SQL dialect says.
//
// Errors print their message on standard error and are counted; the run
// goes on with the next statement. ExitStatus() is 1 after any error of a
// non-interactive run. In interactive use a statement that runs long shows
// its progress on standard error (the query's progress event) and the line
// is cleared when it ends; Ctrl-C stops it at its next progress report (the
// engine keeps what a data-changing statement did up to there).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "tools/rudira_sql/shell_options.h"

namespace rudira {
class TRUDIRAQuery;
}

namespace rudira::sql_shell {

class TShellDatabase;
class TStatementSplitter;

class TShell {
 public:
  // REQUIRES: database outlives the shell.
  TShell(TShellDatabase& database, const TShellOptions& options, bool interactive);

  // Reads a line into `line` (without its line end); false at the end of
  // the input. `continuation` tells that a statement is open.
  using TLineSource = std::function<bool(std::string& line, bool continuation)>;

  // Runs every line of the source, then an unfinished last statement.
  void RunLines(const TLineSource& source);
  // Runs the lines of a text.
  void RunText(std::string_view text);

  bool QuitRequested() const { return quit_; }
  int ExitStatus() const { return errors_ > 0 && !interactive_ ? 1 : 0; }
  void ReportError(const std::string& message);

 private:
  void ExecuteStatement(const std::string& sql);
  void PrintRows(TRUDIRAQuery& query);
  void ShowProgress(int percent);
  void ClearProgress();

  // Dot commands (dot_commands.cpp).
  void RunDotCommand(const std::string& line);
  void ReadFile(const std::string& fileName);

  TShellDatabase& database_;
  TOutputMode mode_;
  bool header_;
  bool interactive_;
  bool timer_ = false;
  bool quit_ = false;
  int errors_ = 0;
  int readDepth_ = 0;  // .read files being run
  bool progressShown_ = false;
  std::chrono::steady_clock::time_point statementStart_;
};

}  // namespace rudira::sql_shell
