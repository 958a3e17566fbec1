// Lines of standard input for the shell: through the line editor with a
// prompt and a history when standard input is a terminal, plainly
// otherwise (pipes and files get no prompt, so that output stays clean).
// The history of terminal sessions is kept in ~/.rudira_sql_history (the
// last 1000 lines).
#pragma once

#include <string>

namespace rudira::sql_shell {

class TLineInput {
 public:
  explicit TLineInput(bool terminal);
  // Writes the history back.
  ~TLineInput();
  TLineInput(const TLineInput&) = delete;
  TLineInput& operator=(const TLineInput&) = delete;
  // Reads one line without its line end; false at the end of input. The
  // prompt tells whether a statement is open.
  bool Read(std::string& line, bool continuation);

 private:
  bool terminal_;
  std::string historyFile_;  // empty: no history kept
};

}  // namespace rudira::sql_shell
