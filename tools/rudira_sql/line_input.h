// Lines of standard input for the shell: through the line editor with a
// prompt and a history when standard input is a terminal, plainly
// otherwise (pipes and files get no prompt, so that output stays clean).
#pragma once

#include <string>

namespace rudira::sql_shell {

class TLineInput {
 public:
  explicit TLineInput(bool terminal) : terminal_(terminal) {}
  // Reads one line without its line end; false at the end of input. The
  // prompt tells whether a statement is open.
  bool Read(std::string& line, bool continuation);

 private:
  bool terminal_;
};

}  // namespace rudira::sql_shell
