// The scanner of TExpressionParser: splits the text into tokens.
#include <algorithm>
#include <cctype>

#include "engine/errors.h"
#include "engine/expression_parser.h"
#include "engine/utf8_text.h"

namespace rudira {
namespace {

bool IsIdentifierStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string ExpressionMessage(std::string_view fragment, std::string_view token,
                              std::string_view context) {
  std::string message(fragment);
  message += token;
  message += "'";
  message += " in ";
  message += context;
  return message;
}

TExpressionParser::TExpressionParser(uint16_t errorCode, std::string contextPhrase,
                                     TExpressionOwner* owner)
    : errorCode_(errorCode), owner_(owner) {
  SetContext(contextPhrase);
}

void TExpressionParser::SetNames(std::string databaseName, std::string tableName) {
  databaseName_ = std::move(databaseName);
  tableName_ = std::move(tableName);
}

void TExpressionParser::SetContext(std::string_view phrase) { context_ = Utf8Cut(phrase, 255); }

void TExpressionParser::SetText(std::string_view text) {
  text_.assign(text);
  position_ = 0;
  parameterCount_ = 0;
  NextToken();
}

void TExpressionParser::RaiseError(const std::string& message) const {
  RaiseEngineError(errorCode_, {.DatabaseName = databaseName_, .TableName = tableName_, .Text = message});
}

void TExpressionParser::RaiseExpected(std::string_view fragment) const {
  RaiseError(ExpressionMessage(fragment, tokenText_, context_));
}

void TExpressionParser::RaiseWithContext(std::string_view fragment) const {
  RaiseError(std::string(fragment) + context_);
}

bool TExpressionParser::TokenIs(std::string_view keyword) const {
  return kind_ == TokenKind::kIdentifier && EqualNoCase(tokenText_, keyword);
}

bool TExpressionParser::SymbolIs(char symbol) const {
  return kind_ == TokenKind::kSymbol && tokenText_.size() == 1 && tokenText_[0] == symbol;
}

bool TExpressionParser::NextCharIs(char c) const {
  size_t p = position_;
  while (p < text_.size() && static_cast<unsigned char>(text_[p]) <= ' ') ++p;
  return p < text_.size() && text_[p] == c;
}

void TExpressionParser::NextToken() { ScanToken(); }

void TExpressionParser::ScanToken() {
  const std::string& t = text_;
  size_t p = position_;
  // Blanks (codes up to 32) and comments separate tokens.
  for (;;) {
    while (p < t.size() && static_cast<unsigned char>(t[p]) <= ' ') ++p;
    if (p + 1 < t.size() && t[p] == '/' && t[p + 1] == '*') {
      const size_t end = t.find("*/", p + 2);
      if (end == std::string::npos) {
        position_ = t.size();
        tokenStart_ = t.size();
        kind_ = TokenKind::kEnd;
        tokenText_.clear();
        RaiseWithContext("Missing ending comment slash and asterisk in ");
      }
      p = end + 2;
      continue;
    }
    break;
  }
  tokenStart_ = p;
  tokenText_.clear();
  if (p >= t.size()) {
    kind_ = TokenKind::kEnd;
    position_ = p;
    return;
  }
  const unsigned char c = static_cast<unsigned char>(t[p]);
  if (IsIdentifierStart(c)) {
    size_t e = p + 1;
    while (e < t.size() && (IsIdentifierStart(static_cast<unsigned char>(t[e])) ||
                            IsDigit(static_cast<unsigned char>(t[e])))) {
      ++e;
    }
    kind_ = TokenKind::kIdentifier;
    tokenText_ = t.substr(p, e - p);
    position_ = e;
    return;
  }
  if (c == '[') {
    const size_t end = t.find(']', p + 1);
    if (end == std::string::npos) {
      tokenText_ = t.substr(p + 1);
      position_ = t.size();
      kind_ = TokenKind::kBracketName;
      RaiseExpected("Missing right bracket after '");
    }
    kind_ = TokenKind::kBracketName;
    tokenText_ = t.substr(p + 1, end - p - 1);
    position_ = end + 1;
    return;
  }
  if (c == '\'' || c == '"') {
    size_t e = p + 1;
    std::string text;
    for (;;) {
      if (e >= t.size()) {
        tokenText_ = text;
        position_ = t.size();
        kind_ = c == '\'' ? TokenKind::kSingleQuoted : TokenKind::kDoubleQuoted;
        RaiseExpected(c == '\'' ? "Missing single quote after '" : "Missing double quote after '");
      }
      if (static_cast<unsigned char>(t[e]) == c) {
        if (e + 1 < t.size() && static_cast<unsigned char>(t[e + 1]) == c) {
          text.push_back(static_cast<char>(c));
          e += 2;
          continue;
        }
        break;
      }
      text.push_back(t[e++]);
    }
    kind_ = c == '\'' ? TokenKind::kSingleQuoted : TokenKind::kDoubleQuoted;
    tokenText_ = std::move(text);
    position_ = e + 1;
    return;
  }
  if (c == '#' && p + 1 < t.size() && IsDigit(static_cast<unsigned char>(t[p + 1]))) {
    size_t e = p + 1;
    while (e < t.size() && IsDigit(static_cast<unsigned char>(t[e]))) ++e;
    kind_ = TokenKind::kCharConstant;
    tokenText_ = t.substr(p + 1, e - p - 1);
    position_ = e;
    return;
  }
  const bool leadingPoint = c == '.' && p + 1 < t.size() && IsDigit(static_cast<unsigned char>(t[p + 1]));
  if (IsDigit(c) || leadingPoint) {
    size_t e = p;
    bool isNumber = false;
    while (e < t.size() && IsDigit(static_cast<unsigned char>(t[e]))) ++e;
    if (e < t.size() && t[e] == '.') {
      isNumber = true;
      ++e;
      while (e < t.size() && IsDigit(static_cast<unsigned char>(t[e]))) ++e;
    }
    if (e < t.size() && (t[e] == 'E' || t[e] == 'e')) {
      // The exponent belongs to the number even when malformed ("1E+"), so
      // that the constant is refused as a whole.
      isNumber = true;
      ++e;
      if (e < t.size() && (t[e] == '+' || t[e] == '-')) ++e;
      while (e < t.size() && IsDigit(static_cast<unsigned char>(t[e]))) ++e;
    }
    kind_ = isNumber ? TokenKind::kNumber : TokenKind::kInteger;
    tokenText_ = t.substr(p, e - p);
    position_ = e;
    return;
  }
  kind_ = TokenKind::kSymbol;
  tokenText_ = t.substr(p, 1);
  position_ = p + 1;
}

}  // namespace rudira
