// The main window's board click and play modes.
#include <gtest/gtest.h>

#include "support/board_rules_fixture.h"

namespace momiro::testing {
namespace {

using PlayTest = BoardRulesTest;

TEST_F(PlayTest, FreeModeColoursByButtonWithoutNumbersOrSound) {
  Black(P(3, 3));
  White(P(3, 4));
  main.BoardClick(P(3, 5), MouseButton::Middle);
  EXPECT_EQ(board.Cell(P(3, 3)), kBlack);
  EXPECT_EQ(board.Cell(P(3, 4)), kWhite);
  EXPECT_EQ(board.Cell(P(3, 5)), kWhite);
  EXPECT_EQ(board.MoveNumber, 0);
  EXPECT_EQ(board.MoveCount, 3);
  EXPECT_EQ(view.At(P(3, 3)).text, "");
  EXPECT_TRUE(view.sounds.empty());
  EXPECT_EQ(board.MoveList.At(2).colour, kWhite);
  EXPECT_EQ(board.MoveList.At(2).moveNumber, 0);
}

TEST_F(PlayTest, AlternateAfterAFreeBlackStoneGivesWhite) {
  Black(P(3, 3));
  main.SelectPlayModeButton(kPlayAlternate);
  EXPECT_EQ(board.PlayMode, kPlayAlternate);
  EXPECT_EQ(board.CurrentColour, kWhite);
  main.BoardClick(P(4, 4), MouseButton::Left);
  EXPECT_EQ(board.Cell(P(4, 4)), kWhite);
  EXPECT_EQ(view.At(P(4, 4)).text, "1");
  EXPECT_EQ(view.sounds, (std::vector<int>{kStoneSound}));
}

TEST_F(PlayTest, SelectingTheSelectedButtonDoesNothing) {
  main.SelectPlayModeButton(kPlayAlternate);  // black -> white
  main.SelectPlayModeButton(kPlayAlternate);  // already selected: no second swap
  EXPECT_EQ(board.CurrentColour, kWhite);
  EXPECT_EQ(view.checkedModeButton, kPlayAlternate);
}

TEST_F(PlayTest, AlternateWithNoColourStartsWithBlack) {
  board.CurrentColour = 0;  // as after lesson rows of colour 0
  main.SelectPlayModeButton(kPlayAlternate);
  EXPECT_EQ(board.CurrentColour, kBlack);
  board.CurrentColour = kBackgroundMark;
  main.BoardClick(P(0, 0), MouseButton::Left);
  EXPECT_EQ(board.Cell(P(0, 0)), kBlack);
  EXPECT_EQ(board.CurrentColour, kWhite);
}

TEST_F(PlayTest, AlternatePlayNumbersMovesAndErasesThePreviousNumber) {
  main.BeginGame();
  EXPECT_EQ(view.status[0], "始めてください。");
  main.BoardClick(P(3, 3), MouseButton::Right);  // the button does not matter
  main.BoardClick(P(15, 15), MouseButton::Left);
  EXPECT_EQ(board.Cell(P(3, 3)), kBlack);
  EXPECT_EQ(board.Cell(P(15, 15)), kWhite);
  EXPECT_EQ(view.At(P(3, 3)).text, "");
  EXPECT_EQ(view.At(P(15, 15)).text, "2");
  EXPECT_EQ(view.status[0], "");
  EXPECT_EQ(board.MoveList.At(2).moveNumber, 2);
  EXPECT_EQ(board.MoveList.At(2).point, P(15, 15));
}

TEST_F(PlayTest, OccupiedPointsAreIgnored) {
  Black(P(3, 3));
  White(P(3, 3));
  EXPECT_EQ(board.Cell(P(3, 3)), kBlack);
  EXPECT_EQ(board.MoveCount, 1);
}

TEST_F(PlayTest, ChoiceMarkerAndEditLayoutGoToTheLessonLayer) {
  struct Hooks : BoardHooks {
    void ChooseContinuation(int p) override { chosen = p; }
    void RecordAuthoringEntry(int p, MouseButton) override { authored = p; }
    void StepLessonBack() override { ++steppedBack; }
    int chosen = 0, authored = 0, steppedBack = 0;
  } hooks;
  main.SetHooks(&hooks);
  view.SetCellText(50, "●");
  main.BoardClick(50, MouseButton::Left);
  EXPECT_EQ(hooks.chosen, 50);
  EXPECT_EQ(board.Cell(50), kEmpty);

  board.AppMode = kAppEdit;
  main.BoardClick(60, MouseButton::Left);
  EXPECT_EQ(view.messages, (std::vector<std::string>{"目次をダブルクリックしてください。"}));
  EXPECT_EQ(view.sounds, (std::vector<int>{kStoneSound}));
  board.ContentsNumber = 4;
  main.BoardClick(60, MouseButton::Left);
  EXPECT_EQ(hooks.authored, 60);
}

TEST_F(PlayTest, LongGamesOutgrowTheListsAndStillUndo) {
  // 1140 free stones and 570 captures: a white edge line eaten again and again.
  main.BeginGame();
  main.SelectPlayModeButton(kPlayFree);
  int placed = 0;
  for (int round = 0; round < 30; ++round) {
    for (int row = 0; row < 19; ++row) White(P(row, 0)), ++placed;
    for (int row = 0; row < 19; ++row) Black(P(row, 1)), ++placed;
    ASSERT_EQ(board.Cell(P(0, 0)), kEmpty) << round;  // the white line was captured
    // Lift the black line off the cells so the next round can be played.
    for (int row = 0; row < 19; ++row) board.SetCell(P(row, 1), kEmpty);
  }
  EXPECT_GT(board.MoveCount, 400);
  EXPECT_GT(board.CaptureCount, 100);
  EXPECT_EQ(board.MoveCount, placed);
  const int captures = board.CaptureCount;
  main.TakeBackClick();  // undo of the last black stone restores the white line
  EXPECT_EQ(board.CaptureCount, captures - 19);
  for (int row = 0; row < 19; ++row) EXPECT_EQ(board.Cell(P(row, 0)), kWhite);
}

}  // namespace
}  // namespace momiro::testing
