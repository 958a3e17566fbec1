#include "engine/expression_checker.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/support/expression_harness.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

using test::ExpressionHarness;

struct TypeCase {
  std::string text;
  uint8_t type;
};

// Columns: A string, B INTEGER, C BOOLEAN, D DATE, F FLOAT, T TIME,
// TS TIMESTAMP, M memo, W WORD, L LARGEINT, SI SMALLINT, BC BCD, BY bytes.
TEST(ExpressionCheckerTest, ResultTypesFollowTheArithmeticTable) {
  const TypeCase cases[] = {
      {"A + 'x'", kFieldTypeString},      {"A + M", kFieldTypeBlob},          {"M + A", kFieldTypeBlob},
      {"D + 1", kFieldTypeDate},          {"D + L", kFieldTypeDate},          {"SI + D", kFieldTypeDate},
      {"B + W", kFieldTypeInteger},       {"SI + F", kFieldTypeFloat},        {"B + BC", kFieldTypeBcd},
      {"B + T", kFieldTypeTime},          {"B + TS", kFieldTypeTimestamp},    {"W + L", kFieldTypeLargeInt},
      {"L + D", kFieldTypeDate},          {"L + L", kFieldTypeLargeInt},      {"L + F", kFieldTypeFloat},
      {"L + BC", kFieldTypeBcd},          {"L + T", kFieldTypeTime},          {"L + TS", kFieldTypeTimestamp},
      {"F + BC", kFieldTypeFloat},        {"BC + L", kFieldTypeBcd},          {"BC + F", kFieldTypeFloat},
      {"T + 1", kFieldTypeTime},          {"TS + L", kFieldTypeTimestamp},
      {"D - D", kFieldTypeInteger},       {"D - 1", kFieldTypeDate},          {"B - SI", kFieldTypeInteger},
      {"B - F", kFieldTypeFloat},         {"B - BC", kFieldTypeBcd},          {"B - L", kFieldTypeLargeInt},
      {"T - 1", kFieldTypeTime},          {"T - T", kFieldTypeInteger},       {"TS - D", kFieldTypeInteger},
      {"TS - T", kFieldTypeInteger},      {"TS - 1", kFieldTypeTimestamp},    {"TS - TS", kFieldTypeFloat},
      {"F - L", kFieldTypeFloat},         {"BC - W", kFieldTypeBcd},          {"L - W", kFieldTypeLargeInt},
      {"B * SI", kFieldTypeInteger},      {"B * F", kFieldTypeFloat},         {"BC * B", kFieldTypeBcd},
      {"BC * L", kFieldTypeBcd},          {"L * B", kFieldTypeLargeInt},      {"B / W", kFieldTypeFloat},
      {"L / F", kFieldTypeFloat},         {"B / BC", kFieldTypeBcd},          {"F / BC", kFieldTypeFloat},
      {"BC / B", kFieldTypeBcd},          {"BC / F", kFieldTypeFloat},        {"-D", kFieldTypeDate},
      {"+W", kFieldTypeWord},             {"-BC", kFieldTypeBcd},             {"NULL + 1", kFieldTypeInteger},
      {"NULL", kDataTypeUnknown},         {"B = 1", kFieldTypeBoolean},       {"C AND NULL", kFieldTypeBoolean},
      {"AVG(B)", kFieldTypeFloat},        {"AVG(F)", kFieldTypeFloat},        {"SUM(BC)", kFieldTypeBcd},
      {"MIN(D)", kFieldTypeDate},         {"COUNT(*)", kFieldTypeInteger},    {"COUNT(A)", kFieldTypeInteger},
      {"TEXTOCCURS('go' IN M)", kFieldTypeWord}, {"LASTAUTOINC('T')", kFieldTypeInteger},
      {"CAST(B AS MONEY)", kFieldTypeFloat}, {"CAST(B AS VARBYTES(4))", kFieldTypeBytes},
  };
  ExpressionHarness harness;
  for (const TypeCase& c : cases) {
    TExpTokenPtr root = harness.Check(c.text, kFilterPermissions | kAllowAggregates | kAllowStar);
    EXPECT_EQ(root->DataType, c.type) << c.text;
  }
}

TEST(ExpressionCheckerTest, ComparablePairs) {
  const uint8_t types[] = {kDataTypeUnknown,   kFieldTypeString,  kFieldTypeDate,     kFieldTypeBlob,
                           kFieldTypeBoolean,  kFieldTypeSmallInt, kFieldTypeInteger, kFieldTypeFloat,
                           kFieldTypeBcd,      kFieldTypeBytes,   kFieldTypeTime,     kFieldTypeTimestamp,
                           kFieldTypeWord,     kFieldTypeLargeInt};
  // Rows and columns in the order of `types`; 1 = comparable.
  const char* const table[] = {
      "11111111111111",  // unknown
      "11111111111111",  // string
      "11110000010100",  // DATE
      "11111111111111",  // BLOB
      "11011100010010",  // BOOLEAN
      "11011111110011",  // SMALLINT
      "11010111110011",  // INTEGER
      "11010111110011",  // FLOAT
      "11010111110011",  // BCD
      "11111111111111",  // bytes
      "11010000011100",  // TIME
      "11110000011100",  // TIMESTAMP
      "11011111110011",  // WORD
      "11010111110011",  // LARGEINT
  };
  for (size_t i = 0; i < std::size(types); ++i) {
    for (size_t j = 0; j < std::size(types); ++j) {
      EXPECT_EQ(TypesComparable(types[i], types[j]), table[i][j] == '1')
          << int(types[i]) << " vs " << int(types[j]);
    }
  }
}

struct MessageCase {
  std::string text;
  std::string message;
};

TEST(ExpressionCheckerTest, TypeErrorsRaiseExactMessages) {
  const MessageCase cases[] = {
      {"NOT B", "Type mismatch between 'NOT' operator and 'B' in filter expression"},
      {"-A = 1", "Type mismatch between '-' operator and 'A' in filter expression"},
      {"+C", "Type mismatch between '+' operator and 'C' in filter expression"},
      {"B = D", "Type mismatch between 'B' and 'D' for '=' operator in filter expression"},
      {"C = B", "Type mismatch between 'C' and 'B' for '=' operator in filter expression"},
      {"T < D", "Type mismatch between 'T' and 'D' for '<' operator in filter expression"},
      {"D + D = D", "Type mismatch between 'D' and 'D' for '+' operator in filter expression"},
      {"B AND C", "Type mismatch between 'B' and 'C' for 'AND' operator in filter expression"},
      {"B LIKE 'x%'", "Type mismatch between 'B' and 'x%' for 'LIKE' operator in filter expression"},
      {"B IN (1, D)", "Type mismatch between 'B' and 'D' for 'IN' operator in filter expression"},
      {"D = '2024-02-30'",
       "Date, time, or timestamp expression expected, instead found '2024-02-30' in filter expression"},
      {"Z = 1", "Invalid column name 'Z' in filter expression"},
      {"SUBSTRING(B FROM 1) = 'x'", "Expression argument of SUBSTRING function must be a string or memo in filter expression"},
      {"SUBSTRING(A FROM 'x') = 'x'", "FROM argument of SUBSTRING function must be an integer value in filter expression"},
      {"SUBSTRING(A FROM 1 FOR F) = 'x'", "FOR argument of SUBSTRING function must be an integer value in filter expression"},
      {"TRIM(BOTH 'xy' FROM A) = 'x'",
       "Trim character argument of TRIM function must be a single character constant in filter expression"},
      {"EXTRACT(YEAR FROM B) = 1", "FROM argument of EXTRACT function must be a date, time, or timestamp in filter expression"},
      {"ROUND(B) = 1", "Expression argument of ROUND function must be a floating-point or BCD type in filter expression"},
      {"ROUND(F TO 33) = 1",
       "Decimal places argument of ROUND function must be an integer constant between 0 and 32 in filter expression"},
      {"ROUND(F TO B) = 1",
       "Decimal places argument of ROUND function must be an integer constant between 0 and 32 in filter expression"},
      {"IF(B THEN 1 ELSE 2) = 1", "First expression argument of IF function must be a boolean type in filter expression"},
      {"IF(C THEN 1 ELSE D) = 1", "Expression arguments of IF function must be of compatible types in filter expression"},
      {"COALESCE(NULL, NULL) = 1",
       "At least one of the COALESCE expression arguments in filter expression must be a non-NULL value"},
      {"TEXTSEARCH(A IN M)", "TEXTSEARCH search text function argument must be a string constant in filter expression"},
      {"TEXTSEARCH('go' IN B)", "TEXTSEARCH function column argument must be a valid column name in filter expression"},
      {"TEXTOCCURS('go' IN 'text') = 1", "TEXTOCCURS function column argument must be a valid column name in filter expression"},
      {"UPPER(B) = 'x'", "Expression argument of UPPER function must be a string or memo in filter expression"},
      {"ABS(A) = 1", "Expression argument of ABS function must be an integer, floating-point, or BCD type in filter expression"},
      {"LASTAUTOINC(A) = 1", "Table name argument of LASTAUTOINC function must be a string constant in filter expression"},
  };
  ExpressionHarness harness;
  for (const MessageCase& c : cases) {
    const ERUDIRAEngineError e = ExpressionHarness::Raised([&] { harness.Check(c.text); });
    EXPECT_EQ(e.ErrorCode(), RUDIRA_INVALIDFILTER) << c.text;
    EXPECT_EQ(e.ErrorText(), c.message) << c.text;
  }
}

TEST(ExpressionCheckerTest, SqlChecksRaiseTheSqlCode) {
  ExpressionHarness harness;
  harness.ErrorCode = RUDIRA_SQLPARSE;
  harness.Context = "WHERE clause";
  const ERUDIRAEngineError e = ExpressionHarness::Raised([&] { harness.Check("B = D"); });
  EXPECT_EQ(e.ErrorCode(), RUDIRA_SQLPARSE);
  EXPECT_EQ(std::string(e.what()),
            "RUDIRA Engine Error # 11949 SQL error - Type mismatch between 'B' and 'D' for '=' operator in WHERE clause");
}

TEST(ExpressionCheckerTest, StringConstantsNamingColumnsBecomeColumns) {
  ExpressionHarness harness;
  TExpTokenPtr root = harness.Check("'B' = 40 AND 'nothing' = 'x'");
  const TExpToken& named = *root->Left->Left;
  EXPECT_EQ(named.NodeKind, kNodeColumn);
  EXPECT_TRUE(named.FromString);
  EXPECT_EQ(named.ColumnName, "B");
  EXPECT_EQ(named.DataType, kFieldTypeInteger);
  EXPECT_EQ(named.SavedDataType, kFieldTypeString);
  const TExpToken& plain = *root->Right->Left;
  EXPECT_EQ(plain.NodeKind, kNodeConstant);
  EXPECT_FALSE(plain.FromString);

  // A date constant is converted once, when checked.
  TExpTokenPtr dates = harness.Check("D BETWEEN '2024-01-01' AND '2024-12-31'");
  EXPECT_EQ(dates->Arguments[1]->DataType, kFieldTypeDate);
  EXPECT_EQ(dates->Arguments[2]->DataType, kFieldTypeDate);
}

TEST(ExpressionCheckerTest, FiltersMustBeBoolean) {
  ExpressionHarness harness;
  TExpTokenPtr root = harness.Parse("B + 1");
  TExpressionCheck check;
  check.ErrorCode = RUDIRA_INVALIDFILTER;
  check.TableName = "T";
  check.ContextPhrase = kFilterContext;
  check.ResolveColumn = [](TExpToken& column) {
    column.SetType(kFieldTypeInteger);
    column.FieldNo = 2;
    return true;
  };
  const ERUDIRAEngineError e = ExpressionHarness::Raised([&] { CheckFilterExpression(*root, check); });
  EXPECT_EQ(e.ErrorText(), "filter expression must be a boolean expression");
  TExpTokenPtr boolean = harness.Parse("B + 1 > 2");
  EXPECT_NO_THROW(CheckFilterExpression(*boolean, check));
}

}  // namespace
}  // namespace rudira
