#include "sql/sql_lexer.h"

#include "engine/errors.h"

namespace rudira {

namespace {

bool IsIdentifierStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsIdentifierPart(unsigned char c) { return IsIdentifierStart(c) || IsDigit(c); }

unsigned char AsciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

}  // namespace

bool SqlKeywordEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(static_cast<unsigned char>(a[i])) != AsciiUpper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

TSqlLexer::TSqlLexer() = default;

void TSqlLexer::SetText(std::string_view text) {
  text_.assign(text);
  Seek(0);
}

void TSqlLexer::Seek(size_t offset) {
  position_ = offset <= text_.size() ? offset : text_.size();
  Scan();
}

void TSqlLexer::Next() { Scan(); }

std::string_view TSqlLexer::SourceText(size_t start, size_t end) const {
  if (start > text_.size()) start = text_.size();
  if (end > text_.size()) end = text_.size();
  if (end < start) end = start;
  return std::string_view(text_).substr(start, end - start);
}

void TSqlLexer::RaiseScanError(std::string_view fragment, std::string_view token) const {
  std::string message(fragment);
  message += token;
  message += "' in ";
  message += context_;
  RaiseEngineError(RUDIRA_SQLPARSE, {.Text = message});
}

void TSqlLexer::Scan() {
  const size_t n = text_.size();
  size_t p = position_;
  // Blanks and comments between tokens.
  for (;;) {
    while (p < n && static_cast<unsigned char>(text_[p]) <= 32) ++p;
    if (p + 1 < n && text_[p] == '/' && text_[p + 1] == '*') {
      size_t close = text_.find("*/", p + 2);
      if (close == std::string::npos) {
        RaiseEngineError(RUDIRA_SQLPARSE,
                         {.Text = "Missing ending comment slash and asterisk in " + context_});
      }
      p = close + 2;
      continue;
    }
    break;
  }
  tokenStart_ = p;
  tokenText_.clear();
  if (p >= n) {
    kind_ = SqlTokenKind::kEnd;
    position_ = n;
    return;
  }
  const unsigned char c = static_cast<unsigned char>(text_[p]);
  if (IsIdentifierStart(c)) {
    size_t e = p + 1;
    while (e < n && IsIdentifierPart(static_cast<unsigned char>(text_[e]))) ++e;
    kind_ = SqlTokenKind::kIdentifier;
    tokenText_.assign(text_, p, e - p);
    position_ = e;
    return;
  }
  if (c == '[') {
    size_t close = text_.find(']', p + 1);
    if (close == std::string::npos) RaiseScanError("Missing right bracket after '", std::string_view(text_).substr(p + 1));
    kind_ = SqlTokenKind::kBracketName;
    tokenText_.assign(text_, p + 1, close - p - 1);
    position_ = close + 1;
    return;
  }
  if (c == '\'' || c == '"') {
    const char quote = static_cast<char>(c);
    size_t e = p + 1;
    for (;;) {
      if (e >= n) {
        RaiseScanError(quote == '\'' ? "Missing single quote after '" : "Missing double quote after '",
                       tokenText_);
      }
      if (text_[e] == quote) {
        if (e + 1 < n && text_[e + 1] == quote) {
          tokenText_ += quote;
          e += 2;
          continue;
        }
        break;
      }
      tokenText_ += text_[e];
      ++e;
    }
    kind_ = quote == '\'' ? SqlTokenKind::kSingleQuoted : SqlTokenKind::kDoubleQuoted;
    position_ = e + 1;
    return;
  }
  if (c == '#' && p + 1 < n && IsDigit(static_cast<unsigned char>(text_[p + 1]))) {
    size_t e = p + 1;
    while (e < n && IsDigit(static_cast<unsigned char>(text_[e]))) ++e;
    kind_ = SqlTokenKind::kCharConstant;
    tokenText_.assign(text_, p + 1, e - p - 1);
    position_ = e;
    return;
  }
  const bool leadingPoint = c == '.' && p + 1 < n && IsDigit(static_cast<unsigned char>(text_[p + 1]));
  if (IsDigit(c) || leadingPoint) {
    size_t e = p;
    bool isNumber = leadingPoint;
    while (e < n && IsDigit(static_cast<unsigned char>(text_[e]))) ++e;
    if (e < n && text_[e] == '.') {
      isNumber = true;
      ++e;
      while (e < n && IsDigit(static_cast<unsigned char>(text_[e]))) ++e;
    }
    if (e < n && (text_[e] == 'E' || text_[e] == 'e')) {
      size_t x = e + 1;
      if (x < n && (text_[x] == '+' || text_[x] == '-')) ++x;
      if (x < n && IsDigit(static_cast<unsigned char>(text_[x]))) {
        while (x < n && IsDigit(static_cast<unsigned char>(text_[x]))) ++x;
        e = x;
        isNumber = true;
      }
    }
    kind_ = isNumber ? SqlTokenKind::kNumber : SqlTokenKind::kInteger;
    tokenText_.assign(text_, p, e - p);
    position_ = e;
    return;
  }
  kind_ = SqlTokenKind::kSymbol;
  tokenText_.assign(1, static_cast<char>(c));
  position_ = p + 1;
}

bool TSqlLexer::Is(std::string_view keyword) const {
  return kind_ == SqlTokenKind::kIdentifier && SqlKeywordEquals(tokenText_, keyword);
}

bool TSqlLexer::IsSymbol(char symbol) const {
  return kind_ == SqlTokenKind::kSymbol && tokenText_[0] == symbol;
}

bool TSqlLexer::IsName() const {
  return kind_ == SqlTokenKind::kIdentifier || kind_ == SqlTokenKind::kBracketName ||
         kind_ == SqlTokenKind::kSingleQuoted || kind_ == SqlTokenKind::kDoubleQuoted;
}

bool TSqlLexer::Accept(std::string_view keyword) {
  if (!Is(keyword)) return false;
  Next();
  return true;
}

bool TSqlLexer::AcceptSymbol(char symbol) {
  if (!IsSymbol(symbol)) return false;
  Next();
  return true;
}

bool TSqlLexer::PeekSymbol(char symbol) const {
  TSqlLexer copy = *this;
  copy.Next();
  return copy.IsSymbol(symbol);
}

bool TSqlLexer::PeekKeyword(std::string_view keyword) const {
  TSqlLexer copy = *this;
  copy.Next();
  return copy.Is(keyword);
}

}  // namespace rudira
