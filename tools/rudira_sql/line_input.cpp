#include "tools/rudira_sql/line_input.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include <readline/history.h>
#include <readline/readline.h>

namespace rudira::sql_shell {

namespace {

constexpr char kPrompt[] = "rudira> ";
constexpr char kContinuationPrompt[] = "   ...> ";
constexpr int kHistoryLines = 1000;

}  // namespace

TLineInput::TLineInput(bool terminal) : terminal_(terminal) {
  if (!terminal_) return;
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return;
  historyFile_ = std::string(home) + "/.rudira_sql_history";
  using_history();
  read_history(historyFile_.c_str());  // a missing file is an empty history
}

TLineInput::~TLineInput() {
  if (historyFile_.empty()) return;
  if (write_history(historyFile_.c_str()) == 0)
    history_truncate_file(historyFile_.c_str(), kHistoryLines);
}

bool TLineInput::Read(std::string& line, bool continuation) {
  if (!terminal_) return static_cast<bool>(std::getline(std::cin, line));
  char* text = readline(continuation ? kContinuationPrompt : kPrompt);
  if (text == nullptr) {
    std::fputc('\n', stdout);  // leave the terminal on a fresh line after end of input
    return false;
  }
  line = text;
  if (*text != '\0') add_history(text);
  std::free(text);
  return true;
}

}  // namespace rudira::sql_shell
