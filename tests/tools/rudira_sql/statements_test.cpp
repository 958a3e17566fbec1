// Statements through rudira-sql: CSV output of typed values, several
// statements in one text, errors and the exit status.
#include <gtest/gtest.h>

#include "shell_support.h"

namespace rudira_sql_test {
namespace {

TEST(RudiraSqlStatements, CsvOutputOfTypedValuesAndNulls) {
  TestDirectory dir;
  const RunResult run = dir.Run(
      {"Memory", "--csv", "-c",
       "CREATE TABLE t (i INTEGER, s VARCHAR(20), d DATE, tm TIME, ts TIMESTAMP, f FLOAT, b BOOLEAN,"
       " n DECIMAL(10, 2), li LARGEINT);"
       "INSERT INTO t VALUES (1, 'a,\"b\"', '2024-03-09', '14:05:09', '2024-03-09 14:05:00', 0.1, TRUE,"
       " 12.5, 9000000000);"
       "INSERT INTO t (i, b) VALUES (2, FALSE);"
       "UPDATE t SET f = f + 0.2 WHERE i = 1;"
       "SELECT * FROM t ORDER BY i"});
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Status, 0);
  // 0.1 + 0.2 is not 0.3 in binary floating point: only the shortest
  // round-trip form tells the two apart.
  EXPECT_EQ(run.Out,
            "0 rows affected\n1 rows affected\n1 rows affected\n1 rows affected\n"
            "i,s,d,tm,ts,f,b,n,li\r\n"
            "1,\"a,\"\"b\"\"\",2024-03-09,14:05:09,2024-03-09 14:05,0.30000000000000004,TRUE,12.5,9000000000\r\n"
            "2,,,,,,FALSE,,\r\n");
}

TEST(RudiraSqlStatements, NoHeaderLeavesOutTheColumnNames) {
  TestDirectory dir;
  const RunResult run = dir.Run({"Memory", "--csv", "--no-header", "-c",
                                 "CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (7); SELECT a FROM t"});
  EXPECT_EQ(run.Out, "0 rows affected\n1 rows affected\n7\r\n");
}

TEST(RudiraSqlStatements, SemicolonsInsideQuotesAndCommentsDoNotEndAStatement) {
  TestDirectory dir;
  const RunResult run = dir.Run(
      {"Memory", "--csv", "-c",
       "CREATE TABLE t (a INTEGER, s VARCHAR(10));\n"
       "INSERT INTO t VALUES (1, 'x;y');  INSERT INTO t VALUES (2, '/*;');\n"
       "INSERT INTO t /* ; */ VALUES (3, 'it''s;'); -- a comment; with a semicolon\n"
       "SELECT a, s\n"
       "FROM t ORDER BY a"});  // the last statement needs no ";"
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Out,
            "0 rows affected\n1 rows affected\n1 rows affected\n1 rows affected\n"
            "a,s\r\n1,x;y\r\n2,/*;\r\n3,it's;\r\n");
}

TEST(RudiraSqlStatements, StatementsFromStandardInputShareOneTransaction) {
  TestDirectory dir;
  const RunResult run = dir.Run({"Memory", "--csv"},
                                "CREATE TABLE t (a INTEGER);\n"
                                "INSERT INTO t VALUES (1);\n"
                                "START TRANSACTION;\n"
                                "INSERT INTO t VALUES (2);\n"
                                "ROLLBACK;\n"
                                "SELECT a FROM t;\n");
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Out.substr(run.Out.rfind("a\r\n")), "a\r\n1\r\n");
}

TEST(RudiraSqlStatements, AnErrorGoesToStandardErrorTheRunGoesOnAndFails) {
  TestDirectory dir;
  const RunResult run = dir.Run({"Memory", "--csv", "-c",
                                 "CREATE TABLE t (a INTEGER); SELECT * FROM nowhere; SELEC a FROM t;"
                                 " INSERT INTO t VALUES (5); SELECT a FROM t"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "0 rows affected\n1 rows affected\na\r\n5\r\n");
  // One line per failed statement, each the engine's exception message.
  std::istringstream lines(run.Err);
  std::string first, second, third;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(first.rfind("RUDIRA Engine Error # ", 0), 0u) << run.Err;
  EXPECT_NE(first.find("nowhere"), std::string::npos) << run.Err;
  EXPECT_EQ(second.rfind("RUDIRA Engine Error # 11949 ", 0), 0u) << run.Err;
  EXPECT_FALSE(std::getline(lines, third));
}

TEST(RudiraSqlStatements, ARunWithoutErrorsSucceeds) {
  TestDirectory dir;
  const RunResult run = dir.Run({"Memory", "-c", "CREATE TABLE t (a INTEGER)"});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Err, "");
}

TEST(RudiraSqlStatements, CommandLineAndDatabaseErrors) {
  TestDirectory dir;
  const RunResult unknown = dir.Run({"--color"});
  EXPECT_EQ(unknown.Status, 2);
  EXPECT_NE(unknown.Err.find("usage: rudira-sql"), std::string::npos);
  const RunResult missingText = dir.Run({"Memory", "-c"});
  EXPECT_EQ(missingText.Status, 2);
  const RunResult missingDirectory = dir.Run({"no_such_dir", "-c", "CREATE TABLE t (a INTEGER)"});
  EXPECT_EQ(missingDirectory.Status, 1);
  EXPECT_NE(missingDirectory.Err.find("no_such_dir"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.Path() / "no_such_dir"));
}

TEST(RudiraSqlStatements, TablesLandInTheDirectoryGiven) {
  TestDirectory dir;
  fs::create_directories(dir.Path() / "db");
  const RunResult made = dir.Run({"db", "-c", "CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (4)"});
  EXPECT_EQ(made.Status, 0) << made.Err;
  EXPECT_TRUE(fs::exists(dir.Path() / "db" / "t.DAT"));
  // A later run on the same directory reads what the first one wrote.
  const RunResult read = dir.Run({(dir.Path() / "db").string(), "--csv", "--no-header", "-c", "SELECT a FROM t"});
  EXPECT_EQ(read.Out, "4\r\n");
  // Without a directory the current one is the database.
  const RunResult here = dir.Run({"-c", "CREATE TABLE here (a INTEGER)"});
  EXPECT_EQ(here.Status, 0) << here.Err;
  EXPECT_TRUE(fs::exists(dir.Path() / "here.DAT"));
}

TEST(RudiraSqlStatements, TableModeAlignsWideCharacters) {
  TestDirectory dir;
  const RunResult run = dir.Run({"Memory", "-c",
                                 "CREATE TABLE t (n INTEGER, s VARCHAR(20));"
                                 "INSERT INTO t VALUES (5, '石の取り方'); INSERT INTO t VALUES (120, 'ab');"
                                 "SELECT n, s FROM t ORDER BY n"});
  EXPECT_EQ(run.Out,
            "0 rows affected\n1 rows affected\n1 rows affected\n"
            "n   | s\n"
            "----+-----------\n"
            "  5 | 石の取り方\n"
            "120 | ab\n");
}

}  // namespace
}  // namespace rudira_sql_test
