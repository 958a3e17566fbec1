// TStatementSplitter: cuts the shell's input into SQL statements.
//
// A statement ends at a ";" that stands outside quoted text and comments:
// '...' and "..." (a doubled quote stays inside), [...] names, and /* ... */
// comments may span lines and hold ";" freely. "--" outside those starts a
// comment to the end of the line; the shell drops it, since the engine's
// lexer knows only /* */. The ";" itself is not part of the statement, and
// pieces holding nothing but blanks and comments are no statements.
//
// The splitter is fed line by line so that the shell can tell whether a
// statement is still open (for the continuation prompt), and it finds the
// dot commands: a "." where a statement would begin (at the start of a line
// or after a ";", with nothing but blanks and comments before it) starts a
// dot command that runs to the end of the line. No statement begins with
// ".", and inside a statement a "." is just SQL.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rudira::sql_shell {

class TStatementSplitter {
 public:
  // Adds one line of input (without its line end); every statement it
  // completes is appended to `statements`. Returns where a dot command
  // starts in the line, or line.size() when none does; the splitter has
  // taken the line up to there.
  size_t AddLine(std::string_view line, std::vector<std::string>& statements);
  // Whether an unfinished statement, quote or comment is open.
  bool Pending() const { return hasContent_ || state_ != TState::Normal; }
  // The unfinished statement at the end of input (empty when there is
  // none); the splitter starts afresh. An open quote stays in the text, so
  // the engine reports it.
  std::string Finish();

 private:
  enum class TState { Normal, SingleQuote, DoubleQuote, Bracket, BlockComment };

  void Emit(std::vector<std::string>& statements);

  TState state_ = TState::Normal;
  std::string text_;         // the statement so far
  bool hasContent_ = false;  // text_ holds more than blanks and comments
};

}  // namespace rudira::sql_shell
