#include "engine/expression_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/support/expression_harness.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

using test::DumpTree;
using test::ExpressionHarness;

struct ShapeCase {
  std::string text;
  uint32_t permissions;
  std::string tree;
};

TEST(ExpressionParserTest, GrammarBuildsTreesByPrecedence) {
  const uint32_t all = kAllowAggregates | kAllowStar | kAllowExtended | kAllowParameters;
  const ShapeCase cases[] = {
      {"A = 'x' OR B > 30 AND NOT C", kFilterPermissions, "(OR (= A 'x') (AND (> B 30) (NOT C)))"},
      {"(A = 'x' OR B > 30) AND NOT C", kFilterPermissions, "(AND (OR (= A 'x') (> B 30)) (NOT C))"},
      {"a or b or c", kFilterPermissions, "(or (or a b) c)"},
      {"1 + 2 * 3 - 4 / 2", 0, "(- (+ 1 (* 2 3)) (/ 4 2))"},
      {"-B * +F", 0, "(* (- B) (+ F))"},
      {"A || 'b' + 'c'", 0, "(+ (|| A 'b') 'c')"},
      {"B <> 1 AND B <= 2 AND B >= 0 AND B < 9", 0,
       "(AND (AND (AND (<> B 1) (<= B 2)) (>= B 0)) (< B 9))"},
      {"A IS NULL", kFilterPermissions, "(= A NULL)"},
      {"A IS NOT NULL", kFilterPermissions, "(<> A NULL)"},
      {"B NOT BETWEEN 1 AND 2 + 3", kFilterPermissions, "(NOT BETWEEN B 1 (+ 2 3))"},
      {"A NOT LIKE 'a%'", kFilterPermissions, "(NOT LIKE A 'a%')"},
      {"B IN (1, 2, 3)", kFilterPermissions, "(IN B 1 2 3)"},
      {"[First Name] = \"it's\"", 0, "(= First Name 'it's')"},
      {"'it''s' = \"say \"\"hi\"\"\"", 0, "(= 'it's' 'say \"hi\"')"},
      {"t.B = \"u\".[C] /* comment */ + 1", 0, "(= t.B (+ u.C 1))"},
      {"#65 = 'A'", 0, "(= 'A' 'A')"},
      {"'' = NULL", 0, "(= NULL NULL)"},
      {"COUNT(*) + SUM(B) + t.*", all, "(+ (+ (COUNT *) (SUM B)) t.*)"},
      {"? = ?", all, "(= ?0 ?1)"},
      {"SUBSTRING(A FROM 2 FOR 3)", 0, "(SUBSTRING A 2 3)"},
      {"TRIM(LEADING ' ' FROM A)", 0, "(TRIM ' ' A)"},
      {"IF(B > 1 AND A LIKE 'y%', 1, 2)", 0, "(IF (AND (> B 1) (LIKE A 'y%')) 1 2)"},
      {"EXTRACT(dayofweek FROM D)", 0, "(EXTRACT D)"},
      {"current_date()", 0, "CURRENT_DATE_VALUE"},
  };
  ExpressionHarness harness;
  for (const ShapeCase& c : cases) {
    TExpTokenPtr root = harness.Parse(c.text, c.permissions);
    ASSERT_NE(root, nullptr) << c.text;
    if (c.tree == "CURRENT_DATE_VALUE") {
      EXPECT_EQ(root->DataType, kFieldTypeDate);
      EXPECT_FALSE(root->IsNull);
      continue;
    }
    EXPECT_EQ(DumpTree(*root), c.tree) << c.text;
  }
}

TEST(ExpressionParserTest, OperatorAndFunctionCodes) {
  ExpressionHarness harness;
  TExpTokenPtr root = harness.Parse("NOT A LIKE 'x' AND B IN (1) OR -B > 1", kFilterPermissions);
  EXPECT_EQ(root->OpCode, kOpOr);
  EXPECT_EQ(root->Left->OpCode, kOpAnd);
  EXPECT_EQ(root->Left->Left->NodeKind, kNodeUnary);
  EXPECT_EQ(root->Left->Left->OpCode, kOpNot);
  EXPECT_EQ(root->Left->Left->Left->NodeKind, kNodeExtended);
  EXPECT_EQ(root->Left->Left->Left->OpCode, kOpLike);
  EXPECT_EQ(root->Left->Right->OpCode, kOpInList);
  EXPECT_EQ(root->Right->OpCode, kOpGreater);
  EXPECT_EQ(root->Right->Left->OpCode, kOpNegate);
  EXPECT_EQ(root->Right->Left->Left->Parent, root->Right->Left);

  const std::pair<std::string, uint8_t> functions[] = {
      {"UPPER(A)", kFuncUpper},          {"LOWER(A)", kFuncLower},
      {"LENGTH(A)", kFuncLength},        {"REPLACE('a' WITH 'b' IN A)", kFuncReplace},
      {"POS('a' IN A)", kFuncPos},       {"OCCURS('a' IN A)", kFuncOccurs},
      {"TRIM(TRAILING 'a' FROM A)", kFuncTrimTrailing}, {"TRIM(BOTH 'a' FROM A)", kFuncTrimBoth},
      {"CAST(A AS CHAR(5))", kFuncCast}, {"EXTRACT(SECOND FROM T)", kFuncExtractSecond},
      {"EXTRACT(WEEK FROM D)", kFuncExtractWeek}, {"COALESCE(A, 'b')", kFuncCoalesce},
      {"IFNULL(A THEN 1 ELSE 2)", kFuncIfNull}, {"ABS(B)", kFuncAbs},
      {"ROUND(F TO 2)", kFuncRound},     {"TEXTSEARCH('go' IN M)", kFuncTextSearch},
      {"TEXTOCCURS('go' IN M)", kFuncTextOccurs}, {"LASTAUTOINC('figure')", kFuncLastAutoInc},
      {"IDENT_CURRENT('figure')", kFuncIdentCurrent},
  };
  for (const auto& [text, code] : functions) {
    TExpTokenPtr node = harness.Parse(text, 0);
    EXPECT_EQ(node->NodeKind, kNodeFunction) << text;
    EXPECT_EQ(node->OpCode, code) << text;
  }
}

TEST(ExpressionParserTest, NumericConstantsAreTypedBySize) {
  struct Case {
    std::string text;
    uint8_t type;
  };
  const Case cases[] = {
      {"2147483647", kFieldTypeInteger},        {"2147483648", kFieldTypeLargeInt},
      {"9223372036854775807", kFieldTypeLargeInt}, {"9223372036854775808", kFieldTypeFloat},
      {"1.5", kFieldTypeFloat},                 {".5", kFieldTypeFloat},
      {"2.5e3", kFieldTypeFloat},               {"7E-2", kFieldTypeFloat},
  };
  ExpressionHarness harness;
  for (const Case& c : cases) {
    TExpTokenPtr node = harness.Parse(c.text);
    EXPECT_EQ(node->NodeKind, kNodeConstant) << c.text;
    EXPECT_EQ(node->DataType, c.type) << c.text;
  }
  EXPECT_EQ(harness.Parse("2147483648")->Int64(), 2147483648LL);
  EXPECT_DOUBLE_EQ(harness.Parse("2.5e3")->Double(), 2500.0);
}

struct MessageCase {
  std::string text;
  uint32_t permissions;
  std::string message;
};

TEST(ExpressionParserTest, SyntaxErrorsRaiseTheFilterCodeWithExactTexts) {
  const MessageCase cases[] = {
      {"A | B", 0,
       "Second concatenation symbol '|' expected after first concatentation symbol, instead found 'B' in "
       "filter expression"},
      {"A LIKE 'x%'", 0, "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in filter expression"},
      {"A IS NULL", 0, "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in filter expression"},
      {"#300 = A", 0, "Character constants (#) must be within the range of 0 to 255 in filter expression"},
      {"A = 'abc", 0, "Missing single quote after 'abc' in filter expression"},
      {"A = \"abc", 0, "Missing double quote after 'abc' in filter expression"},
      {"[A = 1", 0, "Missing right bracket after 'A = 1' in filter expression"},
      {"A = 1 /* note", 0, "Missing ending comment slash and asterisk in filter expression"},
      {"FOO(1) = 1", 0, "Unknown or unexpected function 'FOO' found in filter expression"},
      {"A = )", 0, "Unknown or unexpected symbol ')' found in filter expression"},
      {"A = 1 2", 0, "Unknown or unexpected symbol '2' found in filter expression"},
      {"A = ?", kFilterPermissions, "Parameters are not allowed in filter expression"},
      {"UPPER A", 0, "Left parentheses expected after UPPER keyword, instead found 'A' in filter expression"},
      {"SUBSTRING(A 1)", 0,
       "FROM keyword expected after first SUBSTRING function argument, instead found '1' in filter expression"},
      {"CAST(A AS INTEGER", 0, "Right parentheses expected after CAST function arguments, instead found '' in filter expression"},
      {"CAST(A AS NUMBER)", 0, "SQL data type keyword expected, instead found 'NUMBER' in filter expression"},
      {"CAST(A AS CHAR(251))", 0, "Length of CHAR data type must be between 1 and 250 in filter expression"},
      {"CAST(A AS DECIMAL(10, 5))", 0, "Scale of DECIMAL data type must be between 0 and 4 in filter expression"},
      {"CAST(A AS BLOB(1, 4))", 0, "Type argument of BLOB data type must be 1, 2, 3, 5, or 7 in filter expression"},
      {"SUM(B) > 1", kFilterPermissions, "Aggregate functions are not allowed in filter expression"},
      {"1e999 = B", 0, "Constant '1e999' is not a valid number in filter expression"},
      {"1E+ = B", 0, "Constant '1E+' is not a valid number in filter expression"},
      {"B BETWEEN 1 OR 2", kFilterPermissions,
       "AND keyword expected after first BETWEEN expression, instead found 'OR' in filter expression"},
      {"B IN 1", kFilterPermissions, "Left parentheses expected after IN keyword, instead found '1' in filter expression"},
      {"B IN (1 2)", kFilterPermissions,
       "Right parentheses or comma expected after IN list value, instead found '2' in filter expression"},
      {"B IN (SELECT B FROM T)", kFilterPermissions, "Sub-select queries are not allowed in filter expression"},
      {"B IS 1", kFilterPermissions, "NULL keyword expected after IS keyword, instead found '1' in filter expression"},
      {"B NOT 1", kFilterPermissions,
       "BETWEEN, LIKE, or IN keyword expected after NOT keyword, instead found '1' in filter expression"},
      {"(B = 1", 0, "Right parentheses expected after expression, instead found '' in filter expression"},
      {"IF(B = 1 2)", 0,
       "THEN keyword or comma expected after first IF function argument, instead found '2' in filter expression"},
      {"T. = 1", 0, "Symbol or string expected after table correlation name, instead found '=' in filter expression"},
  };
  ExpressionHarness harness;
  for (const MessageCase& c : cases) {
    const ERUDIRAEngineError e = ExpressionHarness::Raised([&] { harness.Parse(c.text, c.permissions); });
    EXPECT_EQ(e.ErrorCode(), RUDIRA_INVALIDFILTER) << c.text;
    EXPECT_EQ(e.ErrorText(), c.message) << c.text;
    EXPECT_EQ(e.ErrorTableName(), "T");
  }
  const ERUDIRAEngineError e = ExpressionHarness::Raised([&] { harness.Parse("A | B"); });
  EXPECT_EQ(std::string(e.what()),
            "RUDIRA Engine Error # 10051 Filter error for the table 'T' - Second concatenation symbol '|' expected "
            "after first concatentation symbol, instead found 'B' in filter expression");
}

TEST(ExpressionParserTest, LikeNeedsTheExtendedPermission) {
  ExpressionHarness harness;
  TExpTokenPtr root = harness.Parse("A LIKE 'y%'", kFilterPermissions);
  EXPECT_EQ(root->OpCode, kOpLike);
  EXPECT_THROW(harness.Parse("A LIKE 'y%'", 0), ERUDIRAEngineError);
}

TEST(ExpressionParserTest, EmptyTextHoldsNoExpression) {
  ExpressionHarness harness;
  EXPECT_EQ(harness.Parse("  /* only a comment */ "), nullptr);
}

// A statement that records its parameters and parses sub-selects up to the
// closing parenthesis.
class RecordingOwner : public TExpressionOwner {
 public:
  std::vector<int> parameters;
  int subSelects = 0;
  void RegisterParameter(TExpToken& parameter) override { parameters.push_back(parameter.ParameterIndex); }
  void ParseSubSelect(TExpressionParser& parser, TExpToken& subSelect) override {
    ++subSelects;
    subSelect.SubQuery = this;
    while (parser.Kind() != TokenKind::kEnd && !parser.SymbolIs(')')) parser.NextToken();
  }
};

TEST(ExpressionParserTest, SqlHooksRegisterParametersAndParseSubSelects) {
  RecordingOwner owner;
  ExpressionHarness harness;
  harness.ErrorCode = RUDIRA_SQLPARSE;
  harness.Context = kSqlContext;
  harness.Owner = &owner;
  const uint32_t permissions = kAllowExtended | kAllowParameters | kAllowSubSelects;
  TExpTokenPtr root = harness.Parse("B = ? AND A NOT IN (SELECT A FROM T WHERE B = 1) AND C = ?", permissions);
  EXPECT_EQ(DumpTree(*root), "(AND (AND (= B ?0) (NOT IN A SELECT)) (= C ?1))");
  EXPECT_EQ(owner.parameters, (std::vector<int>{0, 1}));
  EXPECT_EQ(owner.subSelects, 1);
  const TExpToken& in = *root->Left->Right;
  EXPECT_EQ(in.OpCode, kOpNotInSelect);
  EXPECT_EQ(in.Arguments[1]->NodeKind, kNodeSubSelect);
  EXPECT_EQ(in.Arguments[1]->SubQuery, &owner);

  // The SQL code and its message template.
  const ERUDIRAEngineError e =
      ExpressionHarness::Raised([&] { harness.Parse("B IN (SELECT B FROM T)", kAllowExtended); });
  EXPECT_EQ(e.ErrorCode(), RUDIRA_SQLPARSE);
  EXPECT_EQ(std::string(e.what()), "RUDIRA Engine Error # 11949 SQL error - Sub-select queries are not allowed in SQL statement");
}

TEST(ExpressionParserTest, SharedScannerStopsAfterTheExpression) {
  TExpressionParser parser(RUDIRA_SQLPARSE, kSqlContext);
  parser.SetText("B + 1 AS Total FROM figure");
  TExpTokenPtr root = parser.ParseExpression(0);
  EXPECT_EQ(DumpTree(*root), "(+ B 1)");
  EXPECT_TRUE(parser.TokenIs("as"));
  parser.NextToken();
  EXPECT_EQ(parser.Kind(), TokenKind::kIdentifier);
  EXPECT_EQ(parser.TokenText(), "Total");

  parser.SetText("DECIMAL(10, 2) NOT NULL");
  TSqlDataType type;
  ASSERT_TRUE(parser.ParseDataType(type));
  EXPECT_EQ(type.FieldType, kFieldTypeBcd);
  EXPECT_EQ(type.Scale, 2);
  EXPECT_TRUE(parser.TokenIs("NOT"));

  parser.SetText("MEMO");
  ASSERT_TRUE(parser.ParseDataType(type));
  EXPECT_EQ(type.FieldType, kFieldTypeBlob);
  EXPECT_EQ(type.SubType, kSubTypeMemo);
  parser.SetText("VARCHAR(30)");
  ASSERT_TRUE(parser.ParseDataType(type));
  EXPECT_EQ(type.FieldType, kFieldTypeString);
  EXPECT_EQ(type.Size, 30);
}

}  // namespace
}  // namespace rudira
