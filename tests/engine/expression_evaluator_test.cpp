#include "engine/expression_evaluator.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "engine/calendar.h"
#include "engine/support/expression_harness.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

using test::ExpressionHarness;

struct ValueCase {
  std::string text;
  uint8_t type;
  std::string value;  // text form, or NULL
};

// The default record: A 'yes', B 40, C false, D 2024-03-05, N NULL, F 2.5,
// T 13:05, TS 2024-03-05 13:05, S '日本語', M memo, W 7, L 5000000000,
// SI -3, BC 1.2345 (scale 4), BY 4 bytes.
TEST(ExpressionEvaluatorTest, ValuesOfExpressions) {
  const ValueCase cases[] = {
      // precedence and NULL logic
      {"A = 'x' OR B > 30 AND NOT C", kFieldTypeBoolean, "True"},
      {"(A = 'x' OR B > 30) AND C", kFieldTypeBoolean, "False"},
      {"NOT (A = 'x' OR B > 50)", kFieldTypeBoolean, "True"},
      {"NULL = NULL", kFieldTypeBoolean, "True"},
      {"NULL <> NULL", kFieldTypeBoolean, "False"},
      {"NULL < 1", kFieldTypeBoolean, "False"},
      {"N = 1", kFieldTypeBoolean, "False"},
      {"N <> 1", kFieldTypeBoolean, "True"},
      {"N IS NULL", kFieldTypeBoolean, "True"},
      // integer columns against integer constants, either side
      {"40 = B", kFieldTypeBoolean, "True"},
      {"39 < B AND B < 41 AND NOT (B < 40)", kFieldTypeBoolean, "True"},
      {"W >= 7 AND 7 >= W AND W <> 8", kFieldTypeBoolean, "True"},
      {"SI < -2 AND -4 < SI AND SI > -3", kFieldTypeBoolean, "False"},
      {"L > 4999999999 AND L <> 5000000000", kFieldTypeBoolean, "False"},
      {"N >= 1 OR N <= 1 OR 1 > N OR 1 = N", kFieldTypeBoolean, "False"},
      {"1 <> N", kFieldTypeBoolean, "True"},
      {"B IS NOT NULL", kFieldTypeBoolean, "True"},
      {"1 + NULL", kFieldTypeInteger, "NULL"},
      {"N * 2", kFieldTypeInteger, "NULL"},
      {"N = 1 OR B = 40", kFieldTypeBoolean, "True"},
      {"NOT (N = 1)", kFieldTypeBoolean, "True"},
      // arithmetic and its result types
      {"1 + 2 * 3", kFieldTypeInteger, "7"},
      {"7 / 2", kFieldTypeFloat, "3.5"},
      {"7 / 0", kFieldTypeFloat, "NULL"},
      {"B - 2.5", kFieldTypeFloat, "37.5"},
      {"L + 1", kFieldTypeLargeInt, "5000000001"},
      {"2147483647 + 1", kFieldTypeInteger, "-2147483648"},
      {"-SI + W", kFieldTypeInteger, "10"},
      {"BC + 1", kFieldTypeBcd, "2.2345"},
      {"BC * 2", kFieldTypeBcd, "2.469"},
      {"CAST(1.5 AS DECIMAL(10, 2)) * 3", kFieldTypeBcd, "4.5"},
      {"CAST(1 AS DECIMAL(10, 2)) / 3", kFieldTypeBcd, "0.3333"},
      {"BC = 1.2345", kFieldTypeBoolean, "True"},
      {"BC > 1", kFieldTypeBoolean, "True"},
      {"F = 2.5 AND B = 40.0 AND W = 7", kFieldTypeBoolean, "True"},
      // strings
      {"'ab' || 'cd'", kFieldTypeString, "abcd"},
      {"'ab' + 'cd'", kFieldTypeString, "abcd"},
      {"'q' + NULL", kFieldTypeString, "q"},
      {"A || '!'", kFieldTypeString, "yes!"},
      {"'q' < 'r'", kFieldTypeBoolean, "True"},
      {"'q' < 'R'", kFieldTypeBoolean, "False"},
      {"'12' = 12", kFieldTypeBoolean, "True"},
      {"UPPER(A)", kFieldTypeString, "YES"},
      {"LOWER('ÀB')", kFieldTypeString, "àb"},
      {"LENGTH(S)", kFieldTypeInteger, "3"},
      {"LENGTH(CAST(N AS CHAR(3)))", kFieldTypeInteger, "NULL"},
      {"SUBSTRING('abcdef' FROM 0 FOR 2)", kFieldTypeString, "ab"},
      {"SUBSTRING('abcdef' FROM 3)", kFieldTypeString, "cdef"},
      {"SUBSTRING('abcdef' FROM 2 FOR -1)", kFieldTypeString, "NULL"},
      {"SUBSTRING(S FROM 2 FOR 1)", kFieldTypeString, "本"},
      {"SUBSTRING('abc' FROM 9)", kFieldTypeString, "NULL"},
      {"POS('cd' IN 'abcdef')", kFieldTypeInteger, "3"},
      {"POS('z' IN 'abcdef')", kFieldTypeInteger, "0"},
      {"POS('語' IN S)", kFieldTypeInteger, "3"},
      {"POS('q' IN CAST(N AS CHAR(3)))", kFieldTypeInteger, "0"},
      {"OCCURS('aa' IN 'aaaa')", kFieldTypeInteger, "2"},
      {"OCCURS('aa' IN 'aaa')", kFieldTypeInteger, "1"},
      {"REPLACE('an' WITH 'ou' IN 'banana')", kFieldTypeString, "bououa"},
      {"REPLACE('xy' WITH '' IN 'xyxy')", kFieldTypeString, "NULL"},
      {"TRIM(BOTH '-' FROM '--ab--')", kFieldTypeString, "ab"},
      {"TRIM(LEADING '-' FROM '--ab--')", kFieldTypeString, "ab--"},
      {"TRIM(TRAILING '-' FROM '--ab--')", kFieldTypeString, "--ab"},
      {"TRIM(BOTH 'x' FROM 'xxx')", kFieldTypeString, "NULL"},
      {"TRIM(BOTH '日' FROM '日本日')", kFieldTypeString, "本"},
      {"#120 || #121", kFieldTypeString, "xy"},
      // LIKE, BETWEEN, IN
      {"'abc' LIKE 'a%c'", kFieldTypeBoolean, "True"},
      {"'abc' LIKE 'a_c'", kFieldTypeBoolean, "True"},
      {"'abc' LIKE 'a%d'", kFieldTypeBoolean, "False"},
      {"'a' = 'yes'", kFieldTypeBoolean, "True"},  // 'a' names the column A
      {"'abc' NOT LIKE 'a%d'", kFieldTypeBoolean, "True"},
      {"CAST(N AS CHAR(3)) LIKE '%'", kFieldTypeBoolean, "False"},
      {"S LIKE '日_語'", kFieldTypeBoolean, "True"},
      {"B BETWEEN 30 AND 40", kFieldTypeBoolean, "True"},
      {"B NOT BETWEEN 41 AND 50", kFieldTypeBoolean, "True"},
      {"N BETWEEN 1 AND 2", kFieldTypeBoolean, "False"},
      {"B IN (1, 40, 3)", kFieldTypeBoolean, "True"},
      {"A IN ('no', 'maybe')", kFieldTypeBoolean, "False"},
      {"A NOT IN ('no', 'maybe')", kFieldTypeBoolean, "True"},
      // numbers
      {"ROUND(2.5)", kFieldTypeFloat, "3"},
      {"ROUND(-2.5)", kFieldTypeFloat, "-3"},
      {"ROUND(1.2345 TO 2)", kFieldTypeFloat, "1.23"},
      {"ROUND(BC TO 3)", kFieldTypeBcd, "1.235"},
      {"ROUND(-BC TO 1)", kFieldTypeBcd, "-1.2"},
      {"ABS(-5)", kFieldTypeInteger, "5"},
      {"ABS(-F)", kFieldTypeFloat, "2.5"},
      {"ABS(SI)", kFieldTypeSmallInt, "3"},
      // conditionals
      {"COALESCE(NULL, NULL, 3, 4)", kFieldTypeInteger, "3"},
      {"COALESCE(N, B)", kFieldTypeInteger, "40"},
      {"COALESCE(N, 1.5)", kFieldTypeFloat, "1.5"},
      {"IF(B > 30 THEN 'big' ELSE 'small')", kFieldTypeString, "big"},
      {"IF(N > 30, 'big', 'small')", kFieldTypeString, "small"},
      {"IF(A LIKE 'y%', 1, 2.5)", kFieldTypeFloat, "1"},
      {"IFNULL(N THEN 1 ELSE 2)", kFieldTypeInteger, "1"},
      {"IFNULL(B, 1, 2)", kFieldTypeInteger, "2"},
      // CAST
      {"CAST('12x' AS INTEGER)", kFieldTypeInteger, "NULL"},
      {"CAST(' 12 ' AS INTEGER)", kFieldTypeInteger, "12"},
      {"CAST(65541 AS SMALLINT)", kFieldTypeSmallInt, "5"},
      {"CAST(2.9 AS INTEGER)", kFieldTypeInteger, "2"},
      {"CAST(-2.9 AS INTEGER)", kFieldTypeInteger, "-2"},
      {"CAST(TS AS DATE)", kFieldTypeDate, "2024-03-05"},
      {"CAST(TS AS TIME)", kFieldTypeTime, "13:05"},
      {"CAST(D AS TIMESTAMP)", kFieldTypeTimestamp, "2024-03-05 00:00"},
      {"CAST('2024-03-05 13:45' AS TIMESTAMP)", kFieldTypeTimestamp, "2024-03-05 13:45"},
      {"CAST(B AS CHAR(1))", kFieldTypeString, "4"},
      {"CAST(C AS CHAR(10))", kFieldTypeString, "False"},
      {"CAST('true' AS BOOLEAN)", kFieldTypeBoolean, "True"},
      {"CAST(B AS BOOLEAN)", kFieldTypeBoolean, "NULL"},
      {"CAST(BC AS INTEGER)", kFieldTypeInteger, "1"},
      {"CAST('3.14159' AS DECIMAL(10, 2))", kFieldTypeBcd, "3.14"},
      {"CAST(L AS INTEGER)", kFieldTypeInteger, "705032704"},
      {"CAST(A AS MEMO)", kFieldTypeBlob, "yes"},
      {"CAST(M AS CHAR(5))", kFieldTypeString, "Go is"},
      {"CAST(N AS CHAR(5))", kFieldTypeString, "NULL"},
      // dates and times
      {"D = '2024-03-05'", kFieldTypeBoolean, "True"},
      {"D < '2024-3-6'", kFieldTypeBoolean, "True"},
      {"D + 1", kFieldTypeDate, "2024-03-06"},
      {"1 + D", kFieldTypeDate, "2024-03-06"},
      {"D - 5", kFieldTypeDate, "2024-02-29"},
      {"D - CAST('2024-01-01' AS DATE)", kFieldTypeInteger, "64"},
      {"T + 60000", kFieldTypeTime, "13:06"},
      {"T - '12:00'", kFieldTypeInteger, "3900000"},
      {"TS + 1", kFieldTypeTimestamp, "2024-03-06 13:05"},
      {"TS - D", kFieldTypeInteger, "0"},
      {"TS - T", kFieldTypeInteger, "0"},
      {"TS - CAST('2024-03-05 12:05' AS TIMESTAMP)", kFieldTypeFloat, "3600000"},
      {"D = TS", kFieldTypeBoolean, "False"},
      {"D = CAST(TS AS DATE)", kFieldTypeBoolean, "True"},
      {"D < TS", kFieldTypeBoolean, "True"},
      {"EXTRACT(YEAR FROM D)", kFieldTypeInteger, "2024"},
      {"EXTRACT(MONTH FROM TS)", kFieldTypeInteger, "3"},
      {"EXTRACT(DAY FROM D)", kFieldTypeInteger, "5"},
      {"EXTRACT(HOUR FROM T)", kFieldTypeInteger, "13"},
      {"EXTRACT(MINUTE FROM TS)", kFieldTypeInteger, "5"},
      {"EXTRACT(SECOND FROM T)", kFieldTypeInteger, "0"},
      {"EXTRACT(DAYOFWEEK FROM D)", kFieldTypeInteger, "2"},
      {"EXTRACT(DAYOFYEAR FROM D)", kFieldTypeInteger, "65"},
      {"EXTRACT(WEEK FROM CAST('2021-01-01' AS DATE))", kFieldTypeInteger, "53"},
      {"EXTRACT(WEEK FROM CAST('2021-01-04' AS DATE))", kFieldTypeInteger, "1"},
      // string constants naming columns
      {"'B' = 40", kFieldTypeBoolean, "True"},
      {"'A' = 'yes'", kFieldTypeBoolean, "True"},
      // text search over the memo's words
      {"TEXTSEARCH('go game' IN M)", kFieldTypeBoolean, "True"},
      {"TEXTSEARCH('go chess' IN M)", kFieldTypeBoolean, "False"},
      {"TEXTSEARCH('pla*' IN M)", kFieldTypeBoolean, "True"},
      {"TEXTOCCURS('go' IN M)", kFieldTypeWord, "3"},
  };
  ExpressionHarness harness;
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    TExpTokenPtr value = harness.Evaluate(c.text);
    EXPECT_EQ(value->DataType, c.type);
    EXPECT_EQ(ExpressionHarness::ValueText(*value), c.value);
  }
}

int32_t Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return *EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

TEST(ExpressionEvaluatorTest, CurrentDateAndTimestampArithmetic) {
  ExpressionHarness harness;
  TExpTokenPtr yesterday = harness.Evaluate("CURRENT_DATE - 1");
  EXPECT_EQ(yesterday->DataType, kFieldTypeDate);
  EXPECT_EQ(yesterday->Int32(), Today() - 1);
  TExpTokenPtr days = harness.Evaluate("CURRENT_TIMESTAMP - CURRENT_DATE");
  EXPECT_EQ(days->DataType, kFieldTypeInteger);
  EXPECT_EQ(days->Int32(), 0);
  TExpTokenPtr time = harness.Evaluate("CURRENT_TIME() - CURRENT_TIME");
  EXPECT_EQ(time->DataType, kFieldTypeInteger);
}

TEST(ExpressionEvaluatorTest, FilterOptionsForStringEquality) {
  ExpressionHarness harness;
  struct Case {
    std::string text;
    bool caseInsensitive;
    size_t partialLength;
    bool expected;
  };
  const Case cases[] = {
      {"A = 'YES'", false, 0, false}, {"A = 'YES'", true, 0, true},  {"A <> 'YES'", true, 0, false},
      {"A = 'yo'", false, 1, true},   {"A = 'yo'", false, 2, false}, {"A = 'YO'", true, 1, true},
      {"A < 'YES'", true, 0, false},  // ordering comparisons keep case
  };
  for (const Case& c : cases) {
    harness.Options.CaseInsensitive = c.caseInsensitive;
    harness.Options.PartialLength = c.partialLength;
    TExpTokenPtr root = harness.Check(c.text);
    EXPECT_EQ(EvaluateCondition(*root, harness, harness.Options), c.expected) << c.text;
  }
}

TEST(ExpressionEvaluatorTest, StringsCompareUnderTheTableLocale) {
  ExpressionHarness harness;
  EXPECT_EQ(ExpressionHarness::ValueText(*harness.Evaluate("'resume' = 'résumé'")), "False");
  harness.Options.LanguageId = 0x040C;  // French (Standard)
  EXPECT_EQ(ExpressionHarness::ValueText(*harness.Evaluate("'resume' = 'résumé'")), "True");
  EXPECT_EQ(ExpressionHarness::ValueText(*harness.Evaluate("'q' < 'R'")), "True");
}

class SubSelectAccess : public ExpressionHarness {
 public:
  std::vector<int32_t> rows{1, 40, 7};
  bool SubSelectHasRow(const TExpToken&, const TExpToken& tested) override {
    for (int32_t row : rows) {
      if (!tested.IsNull && tested.Int32() == row) return true;
    }
    return false;
  }
};

class NoOwner : public TExpressionOwner {
 public:
  void RegisterParameter(TExpToken&) override {}
  void ParseSubSelect(TExpressionParser& parser, TExpToken&) override {
    while (!parser.SymbolIs(')')) parser.NextToken();
  }
};

TEST(ExpressionEvaluatorTest, InSelectAsksTheCallerWithTheTestedValue) {
  SubSelectAccess access;
  NoOwner owner;
  access.Owner = &owner;
  access.ErrorCode = RUDIRA_SQLPARSE;
  access.Context = kSqlContext;
  const uint32_t permissions = kAllowExtended | kAllowSubSelects;
  EXPECT_TRUE(access.Evaluate("B IN (SELECT X FROM Y)", permissions)->UInt16());
  EXPECT_FALSE(access.Evaluate("B + 1 IN (SELECT X FROM Y)", permissions)->UInt16());
  EXPECT_TRUE(access.Evaluate("B + 1 NOT IN (SELECT X FROM Y)", permissions)->UInt16());
}

class TablesAccess : public ExpressionHarness {
 public:
  int32_t LastAutoIncValue(std::string_view tableName) override { return tableName == "figure" ? 812 : 0; }
};

TEST(ExpressionEvaluatorTest, LastAutoIncAsksTheCallerForTheNamedTable) {
  TablesAccess access;
  EXPECT_EQ(ExpressionHarness::ValueText(*access.Evaluate("LASTAUTOINC('figure')")), "812");
  EXPECT_EQ(ExpressionHarness::ValueText(*access.Evaluate("IDENT_CURRENT('mokuji') + 1")), "1");
  ExpressionHarness plain;
  EXPECT_THROW(plain.Evaluate("LASTAUTOINC('figure')"), ERUDIRAEngineError);
}

TEST(ExpressionEvaluatorTest, TextSearchOverANullColumnFindsNothing) {
  ExpressionHarness harness;
  harness.Columns[9].Fill = nullptr;  // M is NULL
  EXPECT_EQ(ExpressionHarness::ValueText(*harness.Evaluate("TEXTSEARCH('go' IN M)")), "False");
  EXPECT_EQ(ExpressionHarness::ValueText(*harness.Evaluate("TEXTOCCURS('go' IN M)")), "0");
}

}  // namespace
}  // namespace rudira
