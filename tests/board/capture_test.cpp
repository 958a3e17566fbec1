#include "board/capture.h"

#include <gtest/gtest.h>

#include "support/board_rules_fixture.h"

namespace momiro::testing {
namespace {

using CaptureTest = BoardRulesTest;

TEST_F(CaptureTest, OneStoneCapturesTwoGroups) {
  SetPosition(board, {
                         ".OX",
                         "OX.",
                         "X..",
                     });
  Black(P(0, 0));
  EXPECT_EQ(Corner(3), (std::vector<std::string>{
                           "X.X",
                           ".X.",
                           "X..",
                       }));
  EXPECT_EQ(board.WhiteStonesTaken, 2);
  EXPECT_EQ(board.CaptureCount, 2);
  EXPECT_EQ(view.prisonerBox[kBlackPrisonerBox], "2");
  EXPECT_EQ(view.At(P(0, 1)).picture, "");
}

TEST_F(CaptureTest, GroupTouchingTheStoneOnTwoSidesIsTakenOnce) {
  // The white chain wraps around the corner point and touches it above and left.
  SetPosition(board, {
                         "OOX",
                         "O.X",
                         "XX.",
                     });
  Black(P(1, 1));
  EXPECT_EQ(board.WhiteStonesTaken, 3);
  EXPECT_EQ(board.CaptureCount, 3);
  // One log entry per stone, in point order, all with the capturing move's key.
  const int expectedPoints[] = {P(0, 0), P(1, 0), P(0, 1)};
  for (int i = 0; i < 3; ++i) {
    const CaptureEntry& e = board.CaptureLog.At(i + 1);
    EXPECT_EQ(e.key, board.MoveCount);
    EXPECT_EQ(e.colour, kWhite);
    EXPECT_EQ(e.point, expectedPoints[i]);
  }
  EXPECT_TRUE(board.CaptureLog.At(4).IsFree());
}

TEST_F(CaptureTest, StoneWithoutLibertiesThatCapturesNothingStays) {
  SetPosition(board, {
                         ".O",
                         "O.",
                     });
  Black(P(0, 0));
  EXPECT_EQ(board.Cell(P(0, 0)), kBlack);
  EXPECT_EQ(board.CaptureCount, 0);
}

TEST_F(CaptureTest, ImmediateRecaptureIsAllowed) {
  SetPosition(board, {
                         ".XO.",
                         "XO.O",
                         ".XO.",
                     });
  Black(P(1, 2));  // takes the white stone at (1, 1)
  ASSERT_EQ(board.Cell(P(1, 1)), kEmpty);
  ASSERT_EQ(board.Cell(P(1, 2)), kBlack);
  White(P(1, 1));  // and white retakes at once: there is no ko rule
  EXPECT_EQ(board.Cell(P(1, 2)), kEmpty);
  EXPECT_EQ(board.Cell(P(1, 1)), kWhite);
  EXPECT_EQ(board.BlackStonesTaken, 1);
  EXPECT_EQ(board.WhiteStonesTaken, 1);
}

TEST_F(CaptureTest, PointsOffTheEdgeAreNoLiberties) {
  SetPosition(board, {
                         ".XO",
                         ".O.",
                     });
  White(P(0, 0));
  EXPECT_EQ(board.Cell(P(0, 1)), kEmpty);
  EXPECT_EQ(board.BlackStonesTaken, 1);
  EXPECT_EQ(view.prisonerBox[kWhitePrisonerBox], "1");
}

TEST_F(CaptureTest, PrisonerBoxIsRefreshedWhenNothingIsTaken) {
  view.prisonerBox.clear();
  Black(P(5, 5));
  EXPECT_EQ(view.prisonerBox[kBlackPrisonerBox], "0");
  EXPECT_EQ(view.prisonerBox.count(kWhitePrisonerBox), 0u);
}

TEST_F(CaptureTest, ThreeStonesCapturedGiveThreeEntriesWithOneKey) {
  main.BeginGame();  // alternate play, black first
  SetPosition(board, {
                         "OOOO",
                         ".XXXO",
                         "OOOO",
                     });
  main.BoardClick(P(10, 10), MouseButton::Left);  // black plays elsewhere
  main.BoardClick(P(1, 0), MouseButton::Left);    // white closes the last liberty
  EXPECT_EQ(board.BlackStonesTaken, 3);
  EXPECT_EQ(board.CaptureCount, 3);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(board.CaptureLog.At(i).key, 2);
    EXPECT_EQ(board.CaptureLog.At(i).number, 2);
    EXPECT_EQ(board.CaptureLog.At(i).colour, kBlack);
  }
  EXPECT_TRUE(board.CaptureLog.At(4).IsFree());
}

}  // namespace
}  // namespace momiro::testing
