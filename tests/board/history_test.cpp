// Taking back moves, clearing and counting the move list.
#include "board/history.h"

#include <gtest/gtest.h>

#include "support/board_rules_fixture.h"

namespace momiro::testing {
namespace {

using HistoryTest = BoardRulesTest;

TEST_F(HistoryTest, ThreeUndosEmptyTheBoardAndReshowNumbers) {
  main.BeginGame();
  const int a = P(3, 3), b = P(3, 15), c = P(15, 3);
  for (int p : {a, b, c}) main.BoardClick(p, MouseButton::Left);
  ASSERT_EQ(view.At(b).text, "");

  main.TakeBackClick();
  EXPECT_EQ(board.Cell(c), kEmpty);
  EXPECT_EQ(view.At(c).picture, "");
  EXPECT_EQ(view.At(b).text, "2");
  EXPECT_EQ(board.LastPoint, b);
  EXPECT_EQ(board.CurrentColour, kBlack);

  main.TakeBackClick();
  EXPECT_EQ(view.At(a).text, "1");
  EXPECT_EQ(board.CurrentColour, kWhite);

  main.TakeBackClick();
  EXPECT_EQ(BoardRows(board), BoardRows(BoardState{}));
  EXPECT_EQ(board.CurrentColour, kBlack);
  EXPECT_EQ(board.MoveNumber, 0);
  // The first move undone leaves no last point: the next move erases nothing.
  EXPECT_EQ(board.LastPoint, 0);
  view.SetCellText(P(9, 9), "keep");
  main.BoardClick(a, MouseButton::Left);
  EXPECT_EQ(view.At(P(9, 9)).text, "");  // ClearEmptyMarks, not the last point, wiped it
  EXPECT_EQ(view.At(a).text, "1");
}

TEST_F(HistoryTest, UndoOfATwoStoneCaptureRestoresBoth) {
  main.BeginGame();
  SetPosition(board, {
                         "OOX",
                         ".X.",
                     });
  board.CurrentColour = kBlack;
  main.BoardClick(P(1, 0), MouseButton::Left);
  ASSERT_EQ(board.WhiteStonesTaken, 2);
  main.TakeBackClick();
  EXPECT_EQ(board.Cell(P(0, 0)), kWhite);
  EXPECT_EQ(board.Cell(P(0, 1)), kWhite);
  EXPECT_EQ(board.Cell(P(1, 0)), kEmpty);
  EXPECT_EQ(view.At(P(0, 0)).picture, "/prog/stW.bmp");
  EXPECT_EQ(board.WhiteStonesTaken, 0);
  EXPECT_EQ(view.prisonerBox[kBlackPrisonerBox], "0");
  EXPECT_EQ(board.CaptureCount, 0);
  EXPECT_EQ(board.CurrentColour, kBlack);
}

TEST_F(HistoryTest, ClearThenUndoHasNothingToTakeBack) {
  Black(P(3, 3));
  main.ClearClick();
  main.TakeBackClick();
  EXPECT_EQ(view.status[0], "もう戻せません。");
  EXPECT_EQ(view.sounds, (std::vector<int>{kStoneSound}));
}

TEST_F(HistoryTest, EmptyListWithALessonStepStepsTheLessonBack) {
  struct Hooks : BoardHooks {
    void ChooseContinuation(int) override {}
    void RecordAuthoringEntry(int, MouseButton) override {}
    void StepLessonBack() override { ++steppedBack; }
    int steppedBack = 0;
  } hooks;
  main.SetHooks(&hooks);
  board.LessonStepTaken = 1;
  Black(P(3, 3));
  main.TakeBackClick();  // the free stone goes first
  EXPECT_EQ(hooks.steppedBack, 0);
  EXPECT_EQ(board.Cell(P(3, 3)), kEmpty);
  main.TakeBackClick();
  EXPECT_EQ(hooks.steppedBack, 1);
}

TEST_F(HistoryTest, CountAndClearMoveList) {
  for (int i = 1; i <= 5; ++i) Black(i);
  EXPECT_EQ(CountMoves(board), 5);
  board.MoveTexts.Mutable(2) = "text";
  ClearMoveList(board);
  EXPECT_EQ(CountMoves(board), 0);
  EXPECT_EQ(board.MoveCount, 0);
  EXPECT_EQ(board.MoveTexts.At(2), "");
}

}  // namespace
}  // namespace momiro::testing
