// The small windows' forms of the board rules (13 and 9 lines).
#include <gtest/gtest.h>

#include "support/recording_view.h"
#include "support/text_board.h"
#include "board/board_rules.h"

namespace momiro::testing {
namespace {

class SmallBoardTest : public ::testing::Test {
 protected:
  SmallBoardTest() : rules(board, view, BoardKind::Small) {
    board.ProgramDirectory = "/prog/";
    board.AppMode = kAppView;
    board.LineCount = 13;
    board.PointCount = 169;
    rules.BeginSmallGame();
  }
  static int P(int row, int column) { return DiagramPoint(row, column, 13); }

  BoardState board;
  RecordingView view;
  BoardRules rules;
};

TEST_F(SmallBoardTest, OpeningClearsTheWindowAndStartsAlternatePlay) {
  EXPECT_EQ(board.PlayMode, kPlayAlternate);
  EXPECT_EQ(view.checkedModeButton, kPlayAlternate);
  EXPECT_EQ(board.CurrentColour, kBlack);
  EXPECT_EQ(view.status[0], "始めてください。");
  EXPECT_EQ(view.At(169).text, "");  // the small clear empties, it writes no space
}

TEST_F(SmallBoardTest, ShiftClickTakesAStoneOffWithoutARecord) {
  rules.BoardClick(P(0, 0), MouseButton::Left);  // black
  rules.BoardClick(P(5, 5), MouseButton::Left);  // white
  rules.BoardClick(P(5, 5), MouseButton::Left, /*shift=*/true);
  EXPECT_EQ(board.Cell(P(5, 5)), kEmpty);
  EXPECT_EQ(view.At(P(5, 5)).picture, "");
  EXPECT_EQ(board.WhiteStonesTaken, 1);
  EXPECT_EQ(view.prisonerBox[kBlackPrisonerBox], "1");
  EXPECT_EQ(board.MoveCount, 2);  // not a move, not undone
  // Shift on an empty point is an ordinary click: black is to play.
  rules.BoardClick(P(7, 7), MouseButton::Right, /*shift=*/true);
  EXPECT_EQ(board.Cell(P(7, 7)), kBlack);
  // Shift with the middle button is no Shift click either: a stone there is
  // simply occupied.
  rules.BoardClick(P(7, 7), MouseButton::Middle, /*shift=*/true);
  EXPECT_EQ(board.Cell(P(7, 7)), kBlack);
}

TEST_F(SmallBoardTest, DeadGroupsNeverCrossFromTheBottomRowIntoTheNextColumn) {
  // Points 13 (bottom of column 0) and 14 (top of column 1) are consecutive
  // numbers but not neighbours.
  board.SetCell(13, kBlack);
  board.SetCell(14, kBlack);
  EXPECT_EQ(DiagramPoint(12, 12, 13), 169);
  rules.SelectPlayModeButton(kPlayEndOfGame);
  rules.BoardClick(13, MouseButton::Left);
  EXPECT_EQ(view.At(13).text, "*");
  EXPECT_EQ(view.At(14).text, "");
  rules.BoardClick(13, MouseButton::Left);
  EXPECT_EQ(board.Cell(14), kBlack);
  EXPECT_EQ(board.BlackStonesTaken, 1);
}

TEST_F(SmallBoardTest, CountWorksInAnyModeWithItsOwnText) {
  rules.CountClick();
  EXPECT_EQ(view.status[0], "黒 0 目、白 169 目です。");
  board.LineCount = 9;
  board.PointCount = 81;
  board.SetCell(41, kBlack);
  rules.CountClick();
  EXPECT_EQ(view.status[0], "黒 80 目、白 0 目です。");
}

TEST_F(SmallBoardTest, TakeBackAlwaysHandsTheTurnOver) {
  rules.TakeBackClick();
  EXPECT_EQ(view.status[0], "もう戻せません。");
  rules.SelectPlayModeButton(kPlayFree);
  rules.BoardClick(P(1, 1), MouseButton::Left);  // a free black stone
  rules.TakeBackClick();
  EXPECT_EQ(board.Cell(P(1, 1)), kEmpty);
  EXPECT_EQ(board.CurrentColour, kWhite);  // 2 div 1, whatever the mode
  EXPECT_EQ(board.MoveList.At(1).point, 0);
}

TEST_F(SmallBoardTest, ClearStoresTheGameFirstAndKeepsTheMode) {
  struct Store : AdjournedGames {
    explicit Store(BoardState& b) : board(b) {}
    void SaveAdjournedGame() override { movesSeen.push_back(board.MoveCount); }
    BoardState& board;
    std::vector<int> movesSeen;
  } store(board);
  rules.SetAdjournedGames(&store);
  rules.BoardClick(P(2, 2), MouseButton::Left);
  rules.BoardClick(P(3, 3), MouseButton::Left);
  rules.ClearClick();
  EXPECT_EQ(store.movesSeen, (std::vector<int>{2}));  // stored before the clear
  EXPECT_EQ(board.Cell(P(2, 2)), kEmpty);
  EXPECT_EQ(board.PlayMode, kPlayAlternate);
  // Cleared in end-of-game mode, the window goes to free mode.
  rules.SelectPlayModeButton(kPlayEndOfGame);
  rules.ClearClick();
  EXPECT_EQ(board.PlayMode, kPlayFree);
  EXPECT_EQ(view.checkedModeButton, kPlayFree);
}

TEST_F(SmallBoardTest, TheMainBoardsCellsBeyondTheSmallBoardAreLeftAlone) {
  board.SetCell(300, kWhite);
  rules.ClearClick();
  EXPECT_EQ(board.Cell(300), kWhite);
}

}  // namespace
}  // namespace momiro::testing
