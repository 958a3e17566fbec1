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

}  // namespace

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
