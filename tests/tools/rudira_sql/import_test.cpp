// .import: CSV written by a SELECT reads back into a table of the same
// definition; bad records leave the table as it was.
#include <gtest/gtest.h>

#include <regex>

#include "shell_support.h"

namespace rudira_sql_test {
namespace {

constexpr char kColumns[] =
    "(i INTEGER, s VARCHAR(40), d DATE, tm TIME, ts TIMESTAMP, f FLOAT, b BOOLEAN, n DECIMAL(12, 4),"
    " bin BYTES(3), memo MEMO)";

class RudiraSqlImport : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.Path() / "db");
    const RunResult made = dir_.Run(
        {"db", "-c",
         std::string("CREATE TABLE src ") + kColumns + "; CREATE TABLE dst " + kColumns + ";" +
             "INSERT INTO src VALUES (1, 'comma, \"quote\"', '1999-12-31', '23:59:59.5', '2000-01-01 00:00:01',"
             " -2.5e-7, TRUE, 3.1416, NULL, 'line one\nline two');"
             "INSERT INTO src (i, b) VALUES (2, FALSE);"
             "INSERT INTO src (i, s, f) VALUES (3, '取り方', 1e300);"});
    ASSERT_EQ(made.Status, 0) << made.Err;
  }

  RunResult Select(const std::string& table, const std::string& headerOption = "--header") const {
    return dir_.Run({"db", "--csv", headerOption, "-c", "SELECT * FROM " + table + " ORDER BY i"});
  }

  TestDirectory dir_;
};

TEST_F(RudiraSqlImport, SelectOutputReadsBackUnchanged) {
  const RunResult source = Select("src");
  ASSERT_EQ(source.Status, 0) << source.Err;
  std::ofstream(dir_.Path() / "src.csv", std::ios::binary) << source.Out;
  const RunResult imported = dir_.Run({"db", "-c", ".import src.csv dst"});
  EXPECT_EQ(imported.Err, "");
  EXPECT_EQ(imported.Out, "3 rows imported\n");
  EXPECT_EQ(Select("dst").Out, source.Out);
}

TEST_F(RudiraSqlImport, WithoutHeaderTheRecordsFillTheFieldsInOrder) {
  const RunResult source = Select("src", "--no-header");
  std::ofstream(dir_.Path() / "src.csv", std::ios::binary) << source.Out;
  const RunResult imported = dir_.Run({"db", "--no-header", "-c", ".import src.csv dst"});
  EXPECT_EQ(imported.Err, "");
  EXPECT_EQ(Select("dst").Out, Select("src").Out);
}

TEST_F(RudiraSqlImport, AHeaderNamesTheColumnsInAnyOrder) {
  std::ofstream(dir_.Path() / "part.csv", std::ios::binary) << "S,BIN,i\r\nfirst,00ff7A,10\r\n\"second\",,11\n";
  const RunResult imported = dir_.Run({"db", "-c", ".import part.csv dst"});
  EXPECT_EQ(imported.Err, "");
  const RunResult rows = dir_.Run({"db", "--csv", "--no-header", "-c", "SELECT i, s, bin FROM dst ORDER BY i"});
  EXPECT_EQ(rows.Out, "10,first,00ff7a\r\n11,second,\r\n");
}

TEST_F(RudiraSqlImport, ABadRecordImportsNothing) {
  const struct {
    const char* csv;
    const char* message;
  } cases[] = {
      {"i,s\r\n1,a\r\n2\r\n", "bad.csv:3: "},              // too few fields
      {"i,s\r\n1,a\r\nx,b\r\n", "bad.csv:3: "},            // not an integer
      {"i,s\r\n1,a\r\n2,\"open\r\n", "bad.csv:3: "},       // quote never closed
      {"i,nope\r\n1,a\r\n", "bad.csv:1: "},                // no such field
      {"i,d\r\n1,2001-02-30\r\n", "bad.csv:2: "},          // no such date
  };
  for (const auto& c : cases) {
    std::ofstream(dir_.Path() / "bad.csv", std::ios::binary) << c.csv;
    const RunResult imported = dir_.Run({"db", "-c", ".import bad.csv dst"});
    EXPECT_EQ(imported.Status, 1) << c.csv;
    EXPECT_EQ(imported.Err.rfind(c.message, 0), 0u) << c.csv << " gave " << imported.Err;
    EXPECT_EQ(Select("dst", "--no-header").Out, "") << c.csv;
  }
}

TEST_F(RudiraSqlImport, ALateBadRecordKeepsTheRowsCommittedBeforeIt) {
  std::string csv = "i\r\n";
  for (int i = 1; i <= 2000; ++i) csv += std::to_string(i) + "\r\n";
  csv += "bad\r\n";
  std::ofstream(dir_.Path() / "long.csv", std::ios::binary) << csv;
  const RunResult imported = dir_.Run({"db", "-c", ".import long.csv dst"});
  EXPECT_EQ(imported.Status, 1);
  std::smatch match;
  ASSERT_TRUE(std::regex_search(imported.Err, match, std::regex("^long.csv:2002: .*\\(the ([0-9]+) rows before")))
      << imported.Err;
  const std::string kept = match[1];
  ASSERT_LT(std::stoi(kept), 2000);
  // Exactly the rows committed stay: the first ones of the file.
  const RunResult rows = dir_.Run({"db", "--csv", "--no-header", "-c", "SELECT COUNT(*), MIN(i), MAX(i) FROM dst"});
  EXPECT_EQ(rows.Out, kept + ",1," + kept + "\r\n");
}

TEST_F(RudiraSqlImport, InsideAnOpenTransactionTheRowsFollowItsEnd) {
  std::ofstream(dir_.Path() / "one.csv", std::ios::binary) << "i\r\n5\r\n";
  const RunResult run = dir_.Run({"db", "-c", "START TRANSACTION;\n.import one.csv dst\nROLLBACK;"});
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(Select("dst", "--no-header").Out, "");
}

}  // namespace
}  // namespace rudira_sql_test
