// momiro-board speaks its protocol: scripts in, answers out.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// Runs momiro-board on the script, in directory when one is given, and
// returns everything it printed.
std::string RunBoard(const std::string& script, const fs::path& directory = {}) {
  // One input file per test: CTest runs the tests of this file in parallel.
  const std::string input = ::testing::TempDir() + "momiro_board_" + TestName() + ".txt";
  std::ofstream(input) << script;
  std::string command = std::string(MOMIRO_BOARD_PATH) + " < " + input;
  if (!directory.empty()) command = "cd '" + directory.string() + "' && " + command;
  FILE* pipe = popen(command.c_str(), "r");
  EXPECT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0);
  return output;
}

// A fresh directory holding a lesson database `kyozai` of one small lesson,
// written by the program's own lesson tool; removed with the object.
class KyozaiDirectory {
 public:
  KyozaiDirectory()
      : path_(fs::path(::testing::TempDir()) /
              ("momiro_board_" + TestName() + "_" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
    const fs::path source = path_ / "lesson.txt";
    std::ofstream(source) << "entry 110 石の取り方\n"
                             "figure A start\n"
                             "  W D4\n"
                             "  B C4 D5 E4 : アタリです。\n"
                             "sequence start\n"
                             "  B D3 captures D4 : 取りました。\n";
    const std::string command = std::string(MAKE_KYOZAI_PATH) + " '" + (path_ / "kyozai").string() +
                                "' '" + source.string() + "' > /dev/null";
    made_ = std::system(command.c_str()) == 0;
  }
  ~KyozaiDirectory() { fs::remove_all(path_); }
  KyozaiDirectory(const KyozaiDirectory&) = delete;
  KyozaiDirectory& operator=(const KyozaiDirectory&) = delete;

  bool Made() const { return made_; }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
  bool made_ = false;
};

// The text up to and including the next "moves ..." counter line from pos,
// which moves past it: one "print" of the board.
std::string NextPrint(const std::string& out, size_t& pos) {
  const size_t counters = out.find("moves ", pos);
  if (counters == std::string::npos) return "";
  const size_t end = out.find('\n', counters) + 1;
  std::string board = out.substr(pos, end - pos);
  pos = end;
  return board;
}

std::string EmptyRows(int count) {
  std::string rows;
  for (int i = 0; i < count; ++i) rows += std::string(19, '.') + "\n";
  return rows;
}

TEST(MomiroBoard, AlternatePlayWithACaptureAndPrint) {
  // White's stone in the corner (point 1) has its liberties at 2 (below)
  // and 20 (right); black fills both.
  const std::string printed = RunBoard(
      "new\n"
      "click 2\n"   // black
      "click 1\n"   // white
      "click 20\n"  // black takes the corner stone
      "print\n");
  const std::string board =
      ".X" + std::string(17, '.') + "\n" + "X" + std::string(18, '.') + "\n" + EmptyRows(17);
  EXPECT_EQ(printed, "status: 始めてください。\n" + board +
                         "moves 3 number 3 next 2 black-taken 0 white-taken 1\n");
}

TEST(MomiroBoard, FreeModeButtonsModesAndMessages) {
  const std::string out = RunBoard(
      "click 1 left\n"
      "click 2 right\n"
      "click 3 shift-right\n"
      "mode free\n"          // already selected: nothing
      "mode alternate\n"     // white placed last, so black moves next
      "mode end\n"
      "count\n"
      "print\n");
  const std::string board = "X" + std::string(18, '.') + "\n" + "O" + std::string(18, '.') + "\n" +
                            "O" + std::string(18, '.') + "\n" + EmptyRows(16);
  // Column 0 below the stones sees white above: 16 points. Every later
  // column has row 0 black (seeing the black stone along row 0), rows 1
  // and 2 white, and 16 undecided points below, which wait for the next
  // column's row 0: black 1 + 17 x 17, white 16 + 2 + 17 x 2 and the last
  // 16 undecided points after column 18's white.
  EXPECT_EQ(out,
            "message: 手入れの完了を確認してください。ダメ詰めは不要です。\n"
            "status: 盤面：黒 290 目、白 68 目です。\n" +
                board + "moves 3 number 0 next 1 black-taken 0 white-taken 0\n");
}

TEST(MomiroBoard, UndoClearAndErrors) {
  const std::string out = RunBoard(
      "new\n"
      "click 100\n"
      "undo\n"
      "undo\n"
      "clear\n"
      "size 7\n"
      "click 0\n"
      "click 362\n"
      "click 5 middle\n"
      "mode sideways\n"
      "jump\n"
      "print\n");
  EXPECT_EQ(out,
            "status: 始めてください。\n"
            "status: もう戻せません。\n"
            "error: size must be 19, 13 or 9\n"
            "error: point must be a number from 1 to 361\n"
            "error: point must be a number from 1 to 361\n"
            "error: button must be left, right, shift-left or shift-right\n"
            "error: mode must be alternate, free or end\n"
            "error: unknown command: jump\n" +
                EmptyRows(19) + "moves 0 number 0 next 1 black-taken 0 white-taken 0\n");
}

TEST(MomiroBoard, SmallBoardsPlayWithTheirOwnRules) {
  const std::string out = RunBoard(
      "size 13\n"
      "click 1\n"              // black
      "click 2\n"              // white
      "click 2 shift-left\n"   // taken off without a record: Black's prisoner
      "click 3 shift-right\n"  // an empty point: an ordinary click, black
      "count\n"                // any mode on the small boards
      "undo\n"
      "print\n"
      "size 19\n"
      "print\n");
  const std::string row13 = std::string(13, '.') + "\n";
  std::string board13 = "X" + std::string(12, '.') + "\n";
  for (int i = 1; i < 13; ++i) board13 += row13;
  // With black on points 1 and 3, every empty point sees only black or
  // nothing, and undecided points follow the next (or last) decided one:
  // 167 points for black; white's area 0 less the stone Shift took off.
  EXPECT_EQ(out,
            "status: 始めてください。\n"
            "status: 黒 167 目、白 -1 目です。\n" +
                board13 + "moves 2 number 2 next 1 black-taken 0 white-taken 1\n" +
                EmptyRows(19) + "moves 0 number 0 next 1 black-taken 0 white-taken 0\n");
}

TEST(MomiroBoard, SaveClearRestoreGivesTheSamePositionAndPrisoners) {
  KyozaiDirectory kyozai;
  ASSERT_TRUE(kyozai.Made());
  // Black takes white's corner stone, then white plays on; the stored game
  // is four moves, the capture replayed by the restore.
  const std::string out = RunBoard(
      "new\n"
      "click 2\n"
      "click 1\n"
      "click 20\n"
      "click 100\n"
      "print\n"
      "save\n"
      "clear\n"
      "print\n"
      "restore\n"
      "print\n"
      "undo\n"
      "undo\n"
      "print\n",
      kyozai.Path());
  const std::string begin = "status: 始めてください。\n";
  ASSERT_EQ(out.rfind(begin, 0), 0u) << out;
  size_t pos = begin.size();
  const std::string played = NextPrint(out, pos);
  ASSERT_NE(played.find("moves 4 number 4 next 1 black-taken 0 white-taken 1"), std::string::npos)
      << played;
  ASSERT_EQ(out.compare(pos, std::string("status: 　保存しました。\n").size(), "status: 　保存しました。\n"), 0)
      << out.substr(pos);
  pos += std::string("status: 　保存しました。\n").size();
  EXPECT_EQ(NextPrint(out, pos), EmptyRows(19) + "moves 0 number 0 next 1 black-taken 0 white-taken 0\n");
  ASSERT_EQ(out.compare(pos, std::string("status: 　復元しました。\n").size(), "status: 　復元しました。\n"), 0)
      << out.substr(pos);
  pos += std::string("status: 　復元しました。\n").size();
  EXPECT_EQ(NextPrint(out, pos), played);
  // Taking back the restored white move and black's capture brings the
  // captured stone back.
  const std::string board =
      "O" + std::string(18, '.') + "\n" + "X" + std::string(18, '.') + "\n" + EmptyRows(17);
  EXPECT_EQ(out.substr(pos), board + "moves 2 number 2 next 1 black-taken 0 white-taken 0\n");
}

TEST(MomiroBoard, RestoreWithNothingStoredLeavesWhiteToPlay) {
  KyozaiDirectory kyozai;
  ASSERT_TRUE(kyozai.Made());
  // Nothing recorded: "保存" stores nothing and still reports; the 13-line
  // slot is its own, filled by the small board's clear.
  const std::string out = RunBoard(
      "save\n"
      "restore\n"
      "print\n"
      "size 13\n"
      "click 1\n"
      "clear\n"
      "size 19\n"
      "restore\n"
      "print\n"
      "size 13\n"
      "restore\n"
      "print\n",
      kyozai.Path());
  // Opening the small board and its clear both ask to begin.
  const std::string begin13 = "status: 始めてください。\n";
  const std::string empty19 = EmptyRows(19) + "moves 0 number 0 next 2 black-taken 0 white-taken 0\n";
  std::string board13 = "X" + std::string(12, '.') + "\n";
  for (int i = 1; i < 13; ++i) board13 += std::string(13, '.') + "\n";
  EXPECT_EQ(out, "status: 　保存しました。\n"
                 "status: 　復元しました。\n" +
                     empty19 + begin13 + begin13 + "status: 　復元しました。\n" + empty19 + begin13 +
                     begin13 + "status: 　復元しました。\n" + board13 +
                     "moves 1 number 1 next 2 black-taken 0 white-taken 0\n");
}

TEST(MomiroBoard, SaveWithoutALessonDatabaseIsAnErrorAndTheNextCommandRuns) {
  const fs::path empty = fs::path(::testing::TempDir()) / ("momiro_board_empty_" + std::to_string(::getpid()));
  fs::create_directories(empty);
  const std::string out = RunBoard("click 1\nsave\nprint\n", empty);
  fs::remove_all(empty);
  EXPECT_EQ(out.rfind("error: ", 0), 0u) << out;
  EXPECT_EQ(out.find("保存しました"), std::string::npos) << out;
  EXPECT_NE(out.find("X" + std::string(18, '.') + "\n"), std::string::npos) << out;
}

}  // namespace
