#include "tools/rudira_sql/statement_splitter.h"

namespace rudira::sql_shell {

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

std::string Trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

size_t TStatementSplitter::AddLine(std::string_view line, std::vector<std::string>& statements) {
  if (!text_.empty()) text_ += '\n';
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const char next = i + 1 < line.size() ? line[i + 1] : '\0';
    switch (state_) {
      case TState::Normal:
        if (c == ';') {
          Emit(statements);
          continue;
        }
        if (c == '.' && !hasContent_) {
          text_.clear();  // blanks and comments only
          return i;
        }
        if (c == '-' && next == '-') return line.size();  // the rest of the line is a comment
        if (c == '/' && next == '*') {
          state_ = TState::BlockComment;
          text_ += "/*";
          ++i;
          continue;
        }
        if (c == '\'')
          state_ = TState::SingleQuote;
        else if (c == '"')
          state_ = TState::DoubleQuote;
        else if (c == '[')
          state_ = TState::Bracket;
        if (!IsBlank(c)) hasContent_ = true;
        break;
      // A doubled quote leaves the quote and enters it again at once, so it
      // needs no case of its own.
      case TState::SingleQuote:
        if (c == '\'') state_ = TState::Normal;
        break;
      case TState::DoubleQuote:
        if (c == '"') state_ = TState::Normal;
        break;
      case TState::Bracket:
        if (c == ']') state_ = TState::Normal;
        break;
      case TState::BlockComment:
        if (c == '*' && next == '/') {
          state_ = TState::Normal;
          text_ += "*/";
          ++i;
          continue;
        }
        break;
    }
    text_ += c;
  }
  return line.size();
}

void TStatementSplitter::Emit(std::vector<std::string>& statements) {
  if (hasContent_) statements.push_back(Trimmed(text_));
  text_.clear();
  hasContent_ = false;
}

std::string TStatementSplitter::Finish() {
  std::string rest = hasContent_ ? Trimmed(text_) : std::string();
  text_.clear();
  hasContent_ = false;
  state_ = TState::Normal;
  return rest;
}

}  // namespace rudira::sql_shell
