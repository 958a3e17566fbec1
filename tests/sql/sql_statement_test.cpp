// TQueryStatement: several statements per text, parameters, request live and
// row limits, the exception raised for a parse error, and the fields of the
// model that the summaries of the parse tables do not show.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors.h"
#include "sql/query_statement.h"

namespace rudira {
namespace {

std::string ErrorTextOf(TQueryStatement& statement, const std::string& sql) {
  try {
    statement.Prepare(sql);
  } catch (const ERUDIRAEngineError& error) {
    return error.ErrorText();
  }
  return "no error";
}

TEST(QueryStatement, OneStatementWithATrailingSemicolonLeavesNothingToParse) {
  TQueryStatement statement("kyozai\\", true, -1);
  statement.Prepare("select * from mokuji;  \n ");
  EXPECT_EQ(statement.StatementKind(), kStatementSelect);
  EXPECT_TRUE(statement.SelectStar());
  EXPECT_FALSE(statement.HasMoreStatements());
}

TEST(QueryStatement, FurtherStatementsAreParsedOneAfterAnother) {
  TQueryStatement statement("kyozai\\", true, -1);
  statement.Prepare("select * from mokuji where MNB = ?; delete from figure where MNB = ? and TNB > ?; bogus");
  EXPECT_EQ(statement.StatementKind(), kStatementSelect);
  EXPECT_EQ(statement.ParameterCount(), 1);
  ASSERT_TRUE(statement.HasMoreStatements());

  statement.ParseNextStatement();
  EXPECT_EQ(statement.StatementKind(), kStatementDelete);
  ASSERT_EQ(statement.Queries().size(), 1u);
  EXPECT_EQ(statement.MasterQuery()->SourceTables.at(0).TableName, "figure");
  ASSERT_EQ(statement.ParameterCount(), 2);
  EXPECT_EQ(statement.Parameters()[0]->ParameterIndex, 0);
  EXPECT_EQ(statement.Parameters()[1]->ParameterIndex, 1);
  ASSERT_TRUE(statement.HasMoreStatements());

  // The third statement's error shows only when it is reached.
  try {
    statement.ParseNextStatement();
    ADD_FAILURE() << "no error";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorText(),
              "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, or DROP keyword expected, instead found 'bogus'");
  }
}

TEST(QueryStatement, ParametersAreNumberedInTextOrderAcrossSubSelects) {
  TQueryStatement statement("kyozai\\", true, -1);
  statement.Prepare("SELECT a FROM t WHERE b = ? AND c IN (SELECT d FROM u WHERE e = ?) AND f = ?");
  ASSERT_EQ(statement.ParameterCount(), 3);
  ASSERT_EQ(statement.Queries().size(), 2u);
  // The middle parameter belongs to the sub-select's WHERE.
  const TExpToken* inner = statement.Queries()[1]->WhereExpression.get();
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->Right, statement.Parameters()[1]);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(statement.Parameters()[i]->ParameterIndex, i);
}

TEST(QueryStatement, RequestLiveAndRowLimitGoToASelectMasterOnly) {
  TQueryStatement select("kyozai\\", false, 50);
  select.Prepare("SELECT a FROM t");
  EXPECT_FALSE(select.MasterQuery()->RequestLive);
  EXPECT_EQ(select.MasterQuery()->MaxRowCount, 50);
  select.SetMaxRowCount(7);
  EXPECT_EQ(select.MasterQuery()->MaxRowCount, 7);

  TQueryStatement update("kyozai\\", false, 50);
  update.Prepare("UPDATE t SET a = 1");
  EXPECT_TRUE(update.MasterQuery()->RequestLive);
  EXPECT_EQ(update.MasterQuery()->MaxRowCount, -1);

  TQueryStatement insert("kyozai\\", false, 50);
  insert.Prepare("INSERT INTO t SELECT a FROM u");
  ASSERT_EQ(insert.Queries().size(), 2u);
  EXPECT_TRUE(insert.Queries()[1]->RequestLive);
}

TEST(QueryStatement, AParseErrorIsEngineError11949WithTheSqlMessage) {
  TQueryStatement statement("kyozai\\", true, -1);
  try {
    statement.Prepare("SELECT a FROM t WHERE");
    ADD_FAILURE() << "no error";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), 11949);
    EXPECT_STREQ(error.what(), "RUDIRA Engine Error # 11949 SQL error - WHERE clause is empty");
  }
}

TEST(QueryStatement, ALongTokenIsCutInTheMessage) {
  TQueryStatement statement("kyozai\\", true, -1);
  const std::string text = ErrorTextOf(statement, "DROP " + std::string(400, 'x'));
  EXPECT_LE(text.size(), 255u);
  EXPECT_EQ(text.rfind("TABLE or INDEX keyword expected, instead found 'xxx", 0), 0u) << text;
}

TEST(QueryStatement, EmptyAndBlankTextsFailOnTheFirstWord) {
  const std::string message =
      "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, or DROP keyword expected, instead found ''";
  for (const char* text : {"", "  \t\n"}) {
    TQueryStatement statement("kyozai\\", true, -1);
    EXPECT_EQ(ErrorTextOf(statement, text), message) << "[" << text << "]";
  }
}

TEST(QueryStatement, ParametersOutsideTheirClausesAreRejectedWithTheClauseName) {
  for (const char* sql : {"SELECT a FROM t HAVING COUNT(*) = ?", "SELECT ? FROM t",
                          "CREATE TABLE x (a INTEGER DEFAULT ?)"}) {
    TQueryStatement statement("kyozai\\", true, -1);
    const std::string text = ErrorTextOf(statement, sql);
    EXPECT_NE(text, "no error") << sql;
  }
  TQueryStatement having("kyozai\\", true, -1);
  const std::string text = ErrorTextOf(having, "SELECT a FROM t HAVING COUNT(*) = ?");
  EXPECT_TRUE(text.ends_with(" in HAVING clause")) << text;
}

TEST(QueryStatement, SourceTablesCarryTheirDatabaseAndPosition) {
  TQueryStatement statement("kyozai\\", true, -1);
  statement.Prepare("SELECT a FROM figure f, 'sub/t.DAT', MEMORY m JOIN \"c:x\" ON m.k = x.k");
  const auto& tables = statement.MasterQuery()->SourceTables;
  ASSERT_EQ(tables.size(), 4u);
  EXPECT_EQ(tables[0].Location, TableLocation::kStatementDatabase);
  EXPECT_EQ(tables[0].Directory, "kyozai\\");
  EXPECT_EQ(tables[0].CorrelationName, "f");
  EXPECT_EQ(tables[1].Location, TableLocation::kDirectory);
  EXPECT_EQ(tables[1].Directory, "sub\\");
  EXPECT_EQ(tables[1].TableName, "t");
  EXPECT_EQ(tables[1].CorrelationName, "t");
  EXPECT_TRUE(tables[2].InMemory);
  EXPECT_EQ(tables[2].Directory, "Memory");
  EXPECT_EQ(tables[3].Location, TableLocation::kDirectory);
  EXPECT_EQ(tables[3].Directory, "c:\\");
  EXPECT_EQ(tables[3].TableName, "x");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(tables[i].Position, i + 1);
  ASSERT_EQ(statement.MasterQuery()->Joins.size(), 1u);
  EXPECT_EQ(statement.MasterQuery()->Joins[0].SourceTableIndex, 3);
}

TEST(QueryStatement, SourceTextsAreKeptAsWritten) {
  TQueryStatement select("kyozai\\", true, -1);
  select.Prepare("SELECT a  +  1 AS s, UPPER(b)/*x*/ FROM t");
  ASSERT_EQ(select.MasterQuery()->ResultFields.size(), 2u);
  EXPECT_EQ(select.MasterQuery()->ResultFields[0].SourceText, "a  +  1");
  EXPECT_EQ(select.MasterQuery()->ResultFields[1].SourceText, "UPPER(b)/*x*/");

  TQueryStatement update("kyozai\\", true, -1);
  update.Prepare("UPDATE t SET t.a = b || 'x'");
  EXPECT_EQ(update.MasterQuery()->UpdateFields[0].SourceText, "t.a");
  EXPECT_EQ(update.MasterQuery()->UpdateValues[0].SourceText, "b || 'x'");

  TQueryStatement create("kyozai\\", true, -1);
  create.Prepare("CREATE TABLE x (b VARCHAR(20) NOT NULL, PRIMARY KEY (b))");
  EXPECT_EQ(create.MasterQuery()->CreateFields[0].SourceText, "b VARCHAR(20)");
  EXPECT_EQ(create.MasterQuery()->CreateIndexes[0].Columns[0].SourceText, "b");
}

TEST(QueryStatement, TextIndexCharacterSetsHoldTheStringsCharacters) {
  TQueryStatement statement("kyozai\\", true, -1);
  statement.Prepare("CREATE TABLE x (a MEMO, TEXT INDEX (a) SPACE CHARS '-_' INCLUDE CHARS '#-')");
  const TTextIndexDefinition& text = statement.MasterQuery()->TextIndex;
  EXPECT_TRUE(text.SpaceChars.test('-'));
  EXPECT_TRUE(text.SpaceChars.test('_'));
  EXPECT_EQ(text.SpaceChars.count(), 2u);
  EXPECT_TRUE(text.IncludeChars.test('#'));
  EXPECT_FALSE(text.IncludeChars.test('_'));
}

TEST(QueryStatement, NumbersBeyondTheirFieldAreRejected) {
  const struct {
    const char* Sql;
    const char* Message;
  } cases[] = {
      {"SELECT a FROM t TOP 3000000000", "Integer value expected after TOP keyword, instead found '3000000000'"},
      {"SELECT a FROM t ORDER BY 70000",
       "Column name or column number expected in ORDER BY clause, instead found '70000'"},
      {"CREATE TABLE x (a INTEGER, USER MAJOR VERSION 65536)",
       "Integer value expected after VERSION keyword, instead found '65536'"},
  };
  for (const auto& c : cases) {
    TQueryStatement statement("kyozai\\", true, -1);
    EXPECT_EQ(ErrorTextOf(statement, c.Sql), c.Message);
  }
}

}  // namespace
}  // namespace rudira
