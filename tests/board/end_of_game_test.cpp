// Dead-group marking and the territory count.
#include "board/end_of_game.h"

#include <gtest/gtest.h>

#include "support/board_rules_fixture.h"

namespace momiro::testing {
namespace {

class EndOfGameTest : public BoardRulesTest {
 protected:
  EndOfGameTest() { main.SelectPlayModeButton(kPlayEndOfGame); }
};

TEST_F(EndOfGameTest, EnteringTheModeTellsTheUserWhatToDo) {
  EXPECT_EQ(board.PlayMode, kPlayEndOfGame);
  EXPECT_EQ(view.messages,
            (std::vector<std::string>{"手入れの完了を確認してください。ダメ詰めは不要です。"}));
}

TEST_F(EndOfGameTest, BlockIsMarkedThenTakenOff) {
  SetPosition(board, {
                         "....",
                         ".XX.",
                         ".XXO",
                     });
  main.BoardClick(P(1, 1), MouseButton::Left);
  for (int p : {P(1, 1), P(1, 2), P(2, 1), P(2, 2)}) EXPECT_EQ(view.At(p).text, "*");
  EXPECT_EQ(view.At(P(2, 3)).text, " ");
  EXPECT_EQ(board.DeadMarked, 1);

  main.BoardClick(P(2, 3), MouseButton::Left);  // another group: nothing happens
  EXPECT_EQ(board.Cell(P(2, 3)), kWhite);
  EXPECT_EQ(board.DeadMarked, 1);

  main.BoardClick(P(2, 2), MouseButton::Left);
  for (int p : {P(1, 1), P(1, 2), P(2, 1), P(2, 2)}) EXPECT_EQ(board.Cell(p), kEmpty);
  EXPECT_EQ(board.BlackStonesTaken, 4);
  EXPECT_EQ(view.prisonerBox[kWhitePrisonerBox], "4");
  EXPECT_EQ(board.DeadMarked, 0);
  // Removed dead stones are not in the history.
  EXPECT_EQ(board.MoveCount, 0);
}

TEST_F(EndOfGameTest, LargeGroupsOutgrowTheDeadList) {
  std::vector<std::string> rows(19, std::string(19, '.'));
  for (int r = 0; r < 6; ++r) rows[r] = std::string(19, 'X');  // 114 stones
  SetPosition(board, rows);
  main.BoardClick(P(0, 0), MouseButton::Left);
  main.BoardClick(P(5, 18), MouseButton::Left);
  EXPECT_EQ(board.BlackStonesTaken, 114);
  EXPECT_EQ(BoardRows(board), BoardRows(BoardState{}));
}

TEST_F(EndOfGameTest, CountsOfPlainBoards) {
  main.CountClick();
  EXPECT_EQ(view.status[0], "盤面：黒 0 目、白 361 目です。");
  EXPECT_EQ(view.sounds, (std::vector<int>{kStoneSound}));
  board.SetCell(P(9, 9), kBlack);
  main.CountClick();
  EXPECT_EQ(view.status[0], "盤面：黒 360 目、白 0 目です。");
}

TEST_F(EndOfGameTest, NeutralPointCarriesUndecidedPointsPastIt) {
  // On five lines (the count works on LineCount), in point order down the
  // columns: (4,0) is undecided, (1,1) and (2,1) see black above and white
  // below and are neutral, and (4,1) is white's: the pending point of (4,0)
  // is carried past the two neutral points to white.
  board.LineCount = 5;
  board.PointCount = 25;
  SetPosition(board, {
                         ".X...",
                         ".....",
                         ".....",
                         ".O...",
                         ".....",
                     });
  EXPECT_EQ(PointOwner(board, DiagramPoint(1, 1, 5)), kOwnerNeutral);
  EXPECT_EQ(PointOwner(board, DiagramPoint(4, 0, 5)), kOwnerUndecided);
  EXPECT_EQ(PointOwner(board, DiagramPoint(4, 1, 5)), kWhite);
  EXPECT_EQ(PointOwner(board, DiagramPoint(0, 3, 5)), kBlack);
  const TerritoryCount count = CountTerritory(board);
  // Black: (0,0); (0,2); (0,3) with one pending; (0,4) with one pending.
  EXPECT_EQ(count.black, 6);
  // White: (3,0) with two pending; (4,1) with the carried one; (3,2), (3,3),
  // (3,4) with two pending each; the last undecided point (4,4).
  EXPECT_EQ(count.white, 15);
}

TEST_F(EndOfGameTest, CountSubtractsEachSidesLostStones) {
  board.SetCell(P(9, 9), kBlack);
  board.BlackStonesTaken = 3;
  board.WhiteStonesTaken = 5;
  main.CountClick();
  EXPECT_EQ(view.status[0], "盤面：黒 357 目、白 -5 目です。");
}

TEST_F(EndOfGameTest, NoCountOutsideEndOfGameMode) {
  main.SelectPlayModeButton(kPlayFree);
  view.status[0] = "unchanged";
  main.CountClick();
  EXPECT_EQ(view.status[0], "unchanged");
}

}  // namespace
}  // namespace momiro::testing
