// momiro-board speaks its protocol: scripts in, answers out.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// Runs momiro-board on the script and returns everything it printed.
std::string RunBoard(const std::string& script) {
  // One input file per test: CTest runs the tests of this file in parallel.
  const std::string input = ::testing::TempDir() + "momiro_board_" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  std::ofstream(input) << script;
  const std::string command = std::string(MOMIRO_BOARD_PATH) + " < " + input;
  FILE* pipe = popen(command.c_str(), "r");
  EXPECT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0);
  return output;
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

}  // namespace
