// The lesson database written with the engine, read back with a cursor, and
// the build tool's care for an existing database.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_cursor.h"
#include "engine/data_session.h"
#include "storage/data_table.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_file.h"
#include "tools/kyozai/lesson_files.h"
#include "tools/make_kyozai/kyozai_writer.h"

namespace momiro {
namespace {

namespace fs = std::filesystem;

class KyozaiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kyozai-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = std::string(pattern) + "/";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // A cursor on a table of the database in `directory`.
  struct Reader {
    explicit Reader(const std::string& directory, const std::string& table) {
      session = std::make_unique<rudira::TDataSession>();
      session->SetPrivateDir(directory);
      cursor = std::make_unique<rudira::TDataCursor>(*session,
                                                     *session->OpenDatabase("kyozai", directory));
      cursor->SetTableName(table);
      cursor->OpenCursor();
      record.resize(cursor->RecordSize());
    }
    bool Next() { return cursor->GetNextRecord(record.data()) == 0; }
    int Int(int position) const {
      const rudira::TFieldValue value =
          rudira::ReadFieldValue(record.data(), cursor->Fields().at(position));
      if (const auto* n = std::get_if<int32_t>(&value)) return *n;
      return std::holds_alternative<std::monostate>(value) ? 0 : -12345;
    }
    std::string Text(int position) const {
      const rudira::TFieldValue value =
          rudira::ReadFieldValue(record.data(), cursor->Fields().at(position));
      if (const auto* s = std::get_if<std::string>(&value)) return *s;
      return {};
    }
    std::unique_ptr<rudira::TDataSession> session;
    std::unique_ptr<rudira::TDataCursor> cursor;
    std::vector<uint8_t> record;
  };

  // Runs make-kyozai with arguments; returns its exit status.
  static int RunTool(const std::vector<std::string>& arguments) {
    std::string command = std::string(MAKE_KYOZAI_PATH);
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    command += " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string dir_;
};

TEST_F(KyozaiTest, TablesReadBackEqualTheSource) {
  const std::vector<LessonEntry> entries = testing::SuppliedLessons();
  WriteKyozai(dir_, entries);

  Reader figure(dir_, kFigureTable);
  const char* names[] = {"MNB", "TES", "COL", "PST", "BFR", "BTO", "DTX", "CMT", "TNB"};
  ASSERT_EQ(figure.cursor->Fields().size(), std::size(names));
  for (size_t i = 0; i < std::size(names); ++i)
    EXPECT_EQ(figure.cursor->Fields()[i].FieldName, names[i]);
  EXPECT_EQ(figure.cursor->Fields()[7].FieldType, rudira::kFieldTypeString);
  EXPECT_EQ(figure.cursor->Fields()[7].Size, kCommentWidth);
  // Natural order is the order the rows were written: entry by entry, in
  // source order.
  for (const LessonEntry& entry : entries) {
    for (const LessonRow& row : entry.rows) {
      ASSERT_TRUE(figure.Next()) << entry.file << ":" << row.line;
      const int expected[] = {row.mnb, row.tes, row.col, row.pst, row.bfr, row.bto, row.dtx};
      for (int i = 0; i < 7; ++i)
        EXPECT_EQ(figure.Int(i), expected[i]) << names[i] << " " << row.file << ":" << row.line;
      EXPECT_EQ(figure.Text(7), row.cmt) << row.file << ":" << row.line;
      EXPECT_EQ(figure.Int(8), row.tnb) << row.file << ":" << row.line;
    }
  }
  EXPECT_FALSE(figure.Next());

  // No primary-index fields; the secondary index on MNB, not unique.
  rudira::TIndexFile& figureIndex = figure.cursor->Table()->IndexFile();
  EXPECT_TRUE(figureIndex.NoPrimaryKey());
  const int slot = figureIndex.FindIndex(kFigureByContents);
  ASSERT_GT(slot, 0);
  EXPECT_EQ(figureIndex.Definition(slot).IndexFieldCount, 1);
  EXPECT_EQ(figureIndex.Definition(slot).FieldNumbers[0], 1);
  EXPECT_EQ(figureIndex.Definition(slot).Unique, 0);
  // Walking that index gives the rows grouped by contents number.
  figure.cursor->SetIndexName(kFigureByContents);
  figure.cursor->SetToBegin();
  int previous = 0;
  size_t count = 0;
  while (figure.Next()) {
    EXPECT_GE(figure.Int(0), previous);
    previous = figure.Int(0);
    ++count;
  }
  size_t rows = 0;
  for (const LessonEntry& entry : entries) rows += entry.rows.size();
  EXPECT_EQ(count, rows);

  // mokuji in its primary index (MNB) order.
  Reader contents(dir_, kContentsTable);
  EXPECT_FALSE(contents.cursor->Table()->IndexFile().NoPrimaryKey());
  EXPECT_EQ(contents.cursor->IndexFieldNumbers(), std::vector<uint16_t>{1});
  std::vector<LessonEntry> sorted = entries;
  std::sort(sorted.begin(), sorted.end(),
            [](const LessonEntry& a, const LessonEntry& b) { return a.number < b.number; });
  for (const LessonEntry& entry : sorted) {
    ASSERT_TRUE(contents.Next());
    EXPECT_EQ(contents.Int(0), entry.number);
    EXPECT_EQ(contents.Text(1), entry.title);
  }
  EXPECT_FALSE(contents.Next());
}

TEST_F(KyozaiTest, SuppliedLessonsMeetTheTeachingPlan) {
  const std::vector<LessonEntry> entries = testing::SuppliedLessons();
  EXPECT_GE(entries.size(), 12u);
  for (const LessonEntry& entry : entries) {
    EXPECT_NE(entry.number % 100, 0) << entry.file;
    bool figure = false, correct = false, wrong = false, comment = false;
    for (const LessonRow& row : entry.rows) {
      figure = figure || row.bto == kBasicFigureLink;
      if (row.bto > 0 && row.bto != kBasicFigureLink) {
        correct = correct || row.col > 0;
        wrong = wrong || row.col < 0;
      }
      comment = comment || (row.tes > 0 && !row.cmt.empty());
    }
    EXPECT_TRUE(figure && correct && wrong && comment) << entry.file;
  }
}

TEST_F(KyozaiTest, ToolWritesOnceAndNeverOverwrites) {
  const std::vector<std::string> files = testing::LessonFiles();
  const std::string out = dir_ + "kyozai";
  std::vector<std::string> arguments = {out};
  arguments.insert(arguments.end(), files.begin(), files.end());
  ASSERT_EQ(RunTool(arguments), 0);
  ASSERT_TRUE(fs::exists(out + "/"));
  // Only the database is left behind: no half-made working directory.
  size_t items = 0;
  for ([[maybe_unused]] const auto& item : fs::directory_iterator(dir_)) ++items;
  EXPECT_EQ(items, 1u);

  // A user's database: the tool leaves it as it is, with or without
  // --keep-existing (which only makes that no error).
  const std::string marker = out + "/user-file";
  std::ofstream(marker) << "adjourned";
  const auto before = fs::last_write_time(marker);
  EXPECT_NE(RunTool(arguments), 0);
  std::vector<std::string> keep = {"--keep-existing"};
  keep.insert(keep.end(), arguments.begin(), arguments.end());
  EXPECT_EQ(RunTool(keep), 0);
  EXPECT_TRUE(fs::exists(marker));
  EXPECT_EQ(fs::last_write_time(marker), before);

  // A bad source fails even when the database exists, and creates nothing
  // where none exists.
  const std::string bad = dir_ + "bad.txt";
  std::ofstream(bad) << "entry 110 題名\nfigure A f\n  B Z9\n";
  EXPECT_NE(RunTool({"--keep-existing", out, bad}), 0);
  EXPECT_NE(RunTool({dir_ + "other", bad}), 0);
  EXPECT_FALSE(fs::exists(dir_ + "other"));
  // Two files with one contents number.
  EXPECT_NE(RunTool({dir_ + "other", files[0], files[0]}), 0);
  EXPECT_FALSE(fs::exists(dir_ + "other"));
}

}  // namespace
}  // namespace momiro
