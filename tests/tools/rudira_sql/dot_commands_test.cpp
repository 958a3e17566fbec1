// The dot commands of rudira-sql on the lesson database and on small
// tables: .tables, .schema, .indexes, .verify, .read, .mode, .timer, .quit.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "shell_support.h"

namespace rudira_sql_test {
namespace {

// The lines of `text` that start with `prefix`.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

TEST(RudiraSqlDotCommands, TablesOfTheLessonDatabase) {
  TestDirectory dir;
  ASSERT_TRUE(dir.MakeKyozai());
  const RunResult run = dir.Run({"kyozai", "-c", ".tables"});
  EXPECT_EQ(run.Out, "figure\nmokuji\n");
  EXPECT_EQ(run.Status, 0);
}

TEST(RudiraSqlDotCommands, TablesOfTheInMemoryDatabase) {
  TestDirectory dir;
  const RunResult run =
      dir.Run({"Memory", "-c", "CREATE TABLE zeta (a INTEGER);\nCREATE TABLE Alpha (a INTEGER); .tables;"});
  EXPECT_EQ(run.Out, "0 rows affected\n0 rows affected\nAlpha\nzeta\n");
}

TEST(RudiraSqlDotCommands, SchemaOfTheLessonTablesMakesThemAgain) {
  TestDirectory dir;
  ASSERT_TRUE(dir.MakeKyozai());
  const RunResult schema = dir.Run({"kyozai", "-c", ".schema figure\n.schema mokuji"});
  ASSERT_EQ(schema.Status, 0) << schema.Err;
  // The figure row's fields in their order, the comment a string.
  const std::string& text = schema.Out;
  size_t at = text.find("CREATE TABLE figure (");
  ASSERT_NE(at, std::string::npos) << text;
  for (const char* field : {"MNB INTEGER", "TES INTEGER", "COL INTEGER", "PST INTEGER", "BFR INTEGER",
                            "BTO INTEGER", "DTX INTEGER", "CMT VARCHAR(", "TNB INTEGER"}) {
    const size_t next = text.find(std::string("  ") + field, at);
    EXPECT_NE(next, std::string::npos) << field << " in\n" << text;
    if (next != std::string::npos) at = next;
  }
  EXPECT_NE(text.find("ON figure (MNB);"), std::string::npos) << text;
  EXPECT_NE(text.find("CREATE TABLE mokuji ("), std::string::npos) << text;
  EXPECT_NE(text.find("PRIMARY KEY (MNB)"), std::string::npos) << text;

  // Run as SQL, the text makes tables whose schema reads the same.
  fs::create_directories(dir.Path() / "copy");
  std::ofstream(dir.Path() / "schema.sql") << text;
  const RunResult copy = dir.Run({"copy", "-c", ".read schema.sql\n.schema figure\n.schema mokuji"});
  EXPECT_EQ(copy.Err, "");
  EXPECT_EQ(copy.Out.substr(copy.Out.find("CREATE TABLE")), text);
}

TEST(RudiraSqlDotCommands, SchemaWritesEveryColumnModifier) {
  TestDirectory dir;
  const std::string create =
      "CREATE TABLE opts (\n"
      "  id AUTOINC,\n"
      "  name VARCHAR(30) DESCRIPTION 'the name' NOT NULL DEFAULT 'nobody' CHARCASE UPPER,\n"
      "  score SMALLINT MIN 0 MAX 100,\n"
      "  born DATE DEFAULT CURRENT_DATE,\n"
      "  note MEMO,\n"
      "  PRIMARY KEY (id)\n"
      ");\n"
      "CREATE UNIQUE NOCASE INDEX by_name ON opts (name, score);\n";
  const RunResult run = dir.Run({"Memory", "-c", create + ".schema opts\n.indexes opts"});
  EXPECT_EQ(run.Err, "");
  EXPECT_NE(run.Out.find("  name VARCHAR(30) DESCRIPTION 'the name' NOT NULL DEFAULT 'nobody' CHARCASE UPPER,"),
            std::string::npos)
      << run.Out;
  EXPECT_NE(run.Out.find("  score SMALLINT MIN 0 MAX 100,"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("  born DATE DEFAULT CURRENT_DATE,"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("  note MEMO,"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("CREATE UNIQUE NOCASE INDEX by_name ON opts (name, score);"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("PRIMARY: id (unique)\nby_name: name, score (unique, case-insensitive)\n"),
            std::string::npos)
      << run.Out;
}

TEST(RudiraSqlDotCommands, SchemaOfAMissingTableFails) {
  TestDirectory dir;
  const RunResult run = dir.Run({"Memory", "-c", ".schema nothing"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("RUDIRA Engine Error # "), std::string::npos) << run.Err;
}

TEST(RudiraSqlDotCommands, VerifyASoundAndADamagedTable) {
  TestDirectory dir;
  ASSERT_TRUE(dir.MakeKyozai());
  const RunResult sound = dir.Run({"kyozai", "-c", ".verify figure"});
  EXPECT_EQ(sound.Status, 0) << sound.Err;
  EXPECT_EQ(LinesStartingWith(sound.Out, "figure: ").back(), "figure: OK") << sound.Out;
  EXPECT_EQ(sound.Err, "");

  // Every index page overwritten with bytes that are no page.
  const fs::path index = dir.Path() / "kyozai" / "figure.IDX";
  const auto size = fs::file_size(index);
  ASSERT_GT(size, 4096u);
  {
    std::fstream file(index, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(4096);
    file << std::string(size - 4096, '\x7f');
  }
  const RunResult damaged = dir.Run({"kyozai", "-c", ".verify figure"});
  EXPECT_EQ(damaged.Status, 1);
  const std::vector<std::string> lines = LinesStartingWith(damaged.Out, "figure: ");
  ASSERT_FALSE(lines.empty()) << damaged.Out << damaged.Err;
  EXPECT_EQ(lines.back().rfind("figure: DAMAGED (", 0), 0u) << damaged.Out;
}

TEST(RudiraSqlDotCommands, VerifyFindsAnIndexThatDisagreesWithTheDataFile) {
  TestDirectory dir;
  fs::create_directories(dir.Path() / "db");
  const RunResult made = dir.Run(
      {"db", "-c", "CREATE TABLE t (a INTEGER); CREATE INDEX by_a ON t (a); INSERT INTO t VALUES (7)"});
  ASSERT_EQ(made.Status, 0) << made.Err;
  ASSERT_EQ(dir.Run({"db", "-c", ".verify t"}).Status, 0);
  // The one record's value changed in the data file behind the index's
  // back: headers, record slots and the tree itself stay sound. Record 1
  // starts after the 127-byte header and one 768-byte field descriptor; its
  // value follows the status, number, auto-increment and null-flag bytes.
  {
    std::fstream file(dir.Path() / "db" / "t.DAT", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(127 + 768 + 10);
    const char eight[4] = {8, 0, 0, 0};
    file.write(eight, sizeof eight);
  }
  EXPECT_EQ(dir.Run({"db", "--csv", "--no-header", "-c", "SELECT a FROM t"}).Out, "8\r\n");
  const RunResult damaged = dir.Run({"db", "-c", ".verify t"});
  EXPECT_EQ(damaged.Status, 1);
  const std::vector<std::string> lines = LinesStartingWith(damaged.Out, "t: ");
  // The line names the index, the record, the entry's key and the key the
  // record's values give (null flag 1, then the INTEGER big-endian with its
  // sign bit inverted).
  const std::string finding = "t: index by_a: the entry of record 1 does not hold its values (key 0180000007";
  const auto line = std::find_if(lines.begin(), lines.end(),
                                 [&](const std::string& l) { return l.rfind(finding, 0) == 0; });
  ASSERT_NE(line, lines.end()) << damaged.Out;
  EXPECT_NE(line->find(", the record gives 0180000008"), std::string::npos) << *line;
  EXPECT_EQ(lines.back(), "t: DAMAGED (1 problem)") << damaged.Out;
}

TEST(RudiraSqlDotCommands, ModeTimerReadAndQuit) {
  TestDirectory dir;
  std::ofstream(dir.Path() / "inner.sql") << "INSERT INTO t VALUES (2);\n.mode csv\nSELECT a FROM t ORDER BY a;\n";
  const RunResult run = dir.Run({"Memory", "--no-header"},
                                "CREATE TABLE t (a INTEGER);\n"
                                "INSERT INTO t VALUES (1);\n"
                                ".timer on\n"
                                ".read inner.sql\n"
                                ".quit\n"
                                "INSERT INTO t VALUES (3);\n");
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out, "0 rows affected\n1 rows affected\n1 rows affected\n1\r\n2\r\n");
  // The timer reports each statement after it, on standard error.
  EXPECT_TRUE(std::regex_match(run.Err, std::regex("(Elapsed: [0-9]+\\.[0-9]{3} s\n){2}"))) << run.Err;
}

TEST(RudiraSqlDotCommands, UnknownCommandsAndWrongArgumentsFail) {
  TestDirectory dir;
  for (const char* command : {".frobnicate", ".mode html", ".timer maybe", ".read", ".read no_such_file.sql"}) {
    const RunResult run = dir.Run({"Memory", "-c", command});
    EXPECT_EQ(run.Status, 1) << command;
    EXPECT_NE(run.Err, "") << command;
  }
}

}  // namespace
}  // namespace rudira_sql_test
