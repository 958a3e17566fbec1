// The statement lexer: token classes, quoting, comments and scanner errors.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors.h"
#include "sql/sql_lexer.h"

namespace rudira {
namespace {

const char* KindName(SqlTokenKind kind) {
  switch (kind) {
    case SqlTokenKind::kEnd: return "end";
    case SqlTokenKind::kIdentifier: return "id";
    case SqlTokenKind::kBracketName: return "bracket";
    case SqlTokenKind::kSingleQuoted: return "sq";
    case SqlTokenKind::kDoubleQuoted: return "dq";
    case SqlTokenKind::kCharConstant: return "char";
    case SqlTokenKind::kInteger: return "int";
    case SqlTokenKind::kNumber: return "num";
    case SqlTokenKind::kSymbol: return "sym";
  }
  return "?";
}

// Every token of the text as kind:text, blank separated.
std::string Tokens(const std::string& text) {
  TSqlLexer lexer;
  lexer.SetText(text);
  std::string out;
  while (!lexer.AtEnd()) {
    if (!out.empty()) out += ' ';
    out += KindName(lexer.Kind());
    out += ':';
    out += lexer.TokenText();
    lexer.Next();
  }
  return out;
}

struct TokenCase {
  const char* Text;
  const char* Tokens;
};

void PrintTo(const TokenCase& c, std::ostream* out) { *out << c.Text; }

class LexerTokens : public ::testing::TestWithParam<TokenCase> {};

TEST_P(LexerTokens, SplitsTheText) { EXPECT_EQ(Tokens(GetParam().Text), GetParam().Tokens); }

const TokenCase kTokenCases[] = {
    {"select a1,_b FROM t;", "id:select id:a1 sym:, id:_b id:FROM id:t sym:;"},
    {"[a b] 'it''s' \"q\"\"x\"", "bracket:a b sq:it's dq:q\"x"},
    {"'' \"\" []", "sq: dq: bracket:"},
    {"#65 # 12 1.5 .5 2. 2e3 3E+2 7e x", "char:65 sym:# int:12 num:1.5 num:.5 num:2. num:2e3 num:3E+2 int:7 id:e id:x"},
    {"a/* comment */b /**/ c", "id:a id:b id:c"},
    {"\t\r\na\x01" "b", "id:a id:b"},
    {"sub\\t.dat ?<>=", "id:sub sym:\\ id:t sym:. id:dat sym:? sym:< sym:> sym:="},
    {"\xe5\x9b\xb2\xe7\xa2\x81 x\xc3\xa9", "id:\xe5\x9b\xb2\xe7\xa2\x81 id:x\xc3\xa9"},
    {"t.5", "id:t num:.5"},
    {"   ", ""},
};

INSTANTIATE_TEST_SUITE_P(Classes, LexerTokens, ::testing::ValuesIn(kTokenCases));

TEST(SqlLexer, KeywordsMatchInAnyLetterCaseAndOnlyAsWords) {
  TSqlLexer lexer;
  lexer.SetText("sElEcT 'select' [select]");
  EXPECT_TRUE(lexer.Is("SELECT"));
  EXPECT_FALSE(lexer.Is("SELEC"));
  lexer.Next();
  EXPECT_FALSE(lexer.Is("SELECT"));  // a quoted string is a name, never a keyword
  EXPECT_TRUE(lexer.IsName());
  lexer.Next();
  EXPECT_FALSE(lexer.Is("SELECT"));
  EXPECT_TRUE(lexer.IsName());
}

TEST(SqlLexer, PeekAndSeekKeepTheCursorWhereAsked) {
  TSqlLexer lexer;
  lexer.SetText("a . b");
  EXPECT_TRUE(lexer.PeekSymbol('.'));
  EXPECT_EQ(lexer.TokenText(), "a");
  lexer.Next();
  lexer.Next();
  EXPECT_EQ(lexer.TokenStart(), 4u);
  lexer.Seek(0);
  EXPECT_EQ(lexer.TokenText(), "a");
  EXPECT_EQ(lexer.TokenEnd(), 1u);
}

struct ScanErrorCase {
  const char* Text;
  const char* Message;
};

void PrintTo(const ScanErrorCase& c, std::ostream* out) { *out << c.Text; }

class LexerErrors : public ::testing::TestWithParam<ScanErrorCase> {};

TEST_P(LexerErrors, RaisesTheParseError) {
  TSqlLexer lexer;
  lexer.SetContext("WHERE clause");
  try {
    lexer.SetText(GetParam().Text);
    while (!lexer.AtEnd()) lexer.Next();
    ADD_FAILURE() << "no error";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_SQLPARSE);
    EXPECT_EQ(error.ErrorText(), GetParam().Message);
  }
}

const ScanErrorCase kScanErrors[] = {
    {"a /* open", "Missing ending comment slash and asterisk in WHERE clause"},
    {"a [open", "Missing right bracket after 'open' in WHERE clause"},
    {"a 'it''s", "Missing single quote after 'it's' in WHERE clause"},
    {"a \"open", "Missing double quote after 'open' in WHERE clause"},
};

INSTANTIATE_TEST_SUITE_P(Unterminated, LexerErrors, ::testing::ValuesIn(kScanErrors));

}  // namespace
}  // namespace rudira
