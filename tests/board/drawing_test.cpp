// ClearBoard, PlacePoint and ClearEmptyMarks of the main window.
#include <gtest/gtest.h>

#include "support/board_rules_fixture.h"

namespace momiro::testing {
namespace {

using DrawingTest = BoardRulesTest;

TEST_F(DrawingTest, ClearBoardShowsSpacesZeroPrisonersAndBlackToPlay) {
  board.SetCell(5, kWhite);
  board.CurrentColour = kWhite;
  board.MoveList.Mutable(3) = {3, 1, 40, 2};
  board.CaptureLog.Mutable(1) = {1, 1, 2, 7};
  board.LastPoint = 40;
  main.ClearBoard();
  for (int p : {1, 5, 361}) {
    EXPECT_EQ(view.At(p).text, " ");
    EXPECT_EQ(view.At(p).picture, "");
    EXPECT_EQ(board.Cell(p), kEmpty);
  }
  EXPECT_EQ(view.prisonerBox[kBlackPrisonerBox], "0");
  EXPECT_EQ(view.prisonerBox[kWhitePrisonerBox], "0");
  EXPECT_EQ(board.CurrentColour, kBlack);
  // Move fields are zeroed, the display code kept; LastPoint is kept.
  EXPECT_EQ(board.MoveList.At(3).point, 0);
  EXPECT_EQ(board.MoveList.At(3).displayCode, 2);
  EXPECT_TRUE(board.CaptureLog.At(1).IsFree());
  EXPECT_EQ(board.LastPoint, 40);
}

TEST_F(DrawingTest, NewestNumberCodeErasesOnlyThePreviousNumber) {
  board.LastPoint = 0;
  board.SetCell(10, kBlack);
  main.PlacePoint(1, kBlack, 10, kDrawNewestNumber, "");
  EXPECT_EQ(view.At(10).text, "1");
  EXPECT_EQ(view.At(10).picture, "/prog/stB.bmp");
  EXPECT_EQ(view.At(10).textColour, kWhiteText);
  board.SetCell(11, kWhite);
  main.PlacePoint(2, kWhite, 11, kDrawNewestNumber, "");
  EXPECT_EQ(view.At(10).text, "");
  EXPECT_EQ(view.At(11).text, "2");
  EXPECT_EQ(view.At(11).textColour, kBlackText);
  EXPECT_EQ(board.LastPoint, 11);
}

TEST_F(DrawingTest, AllNumbersCodeKeepsEarlierNumbers) {
  board.SetCell(10, kBlack);
  main.PlacePoint(1, kBlack, 10, kDrawAllNumbers, "first");
  board.SetCell(11, kWhite);
  main.PlacePoint(2, kWhite, 11, kDrawAllNumbers, "");
  EXPECT_EQ(view.At(10).text, "1");
  EXPECT_EQ(view.At(11).text, "2");
  // Panel 1 carries the move's comment; an empty text empties it.
  EXPECT_EQ(view.status[1], "");
}

TEST_F(DrawingTest, NegativeColourDrawsABlackStoneWithARedNumber) {
  board.SetCell(30, -kBlack);
  main.PlacePoint(3, -kBlack, 30, kDrawAllNumbers, "wrong");
  EXPECT_EQ(view.At(30).picture, "/prog/stB.bmp");
  EXPECT_EQ(view.At(30).textColour, kRedText);
  EXPECT_EQ(view.status[1], "wrong");
}

TEST_F(DrawingTest, AuthoredTextKinds) {
  struct Case {
    int code, colour;
    std::string picture;
    Rgb textColour;
    bool bold, opaque;
  };
  const Case cases[] = {
      {11, kBlack, "/prog/stB.bmp", kWhiteText, false, false},  // on a stone, standard
      {12, kWhite, "/prog/stW.bmp", kGreenText, false, false},  // on a stone, green
      {21, kBlack, "", kWhiteText, true, true},                 // background hides the lines
      {33, 0, "", kRedText, true, false},                       // directly, red
  };
  int p = 100;
  for (const Case& c : cases) {
    main.PlacePoint(0, c.colour, ++p, c.code, "A");
    SCOPED_TRACE(c.code);
    EXPECT_EQ(view.At(p).text, "A");
    EXPECT_EQ(view.At(p).picture, c.picture);
    EXPECT_EQ(view.At(p).textColour, c.textColour);
    EXPECT_EQ(view.At(p).bold, c.bold);
    EXPECT_EQ(view.At(p).opaque, c.opaque);
    if (c.opaque) {
      EXPECT_EQ(view.At(p).background, kBoardColour);
    }
  }
  // Text runs no capture check and leaves LastPoint alone.
  EXPECT_EQ(board.LastPoint, 0);
}

TEST_F(DrawingTest, ClearEmptyMarksKeepsNumbersOnStones) {
  board.SetCell(10, kBlack);
  main.PlacePoint(7, kBlack, 10, kDrawAllNumbers, "");
  view.SetCellText(11, "*");
  board.SetCell(12, kBackgroundMark);
  main.PlacePoint(0, kBackgroundMark, 12, 21, "ア");
  main.ClearEmptyMarks();
  EXPECT_EQ(view.At(10).text, "7");
  EXPECT_EQ(view.At(11).text, "");
  EXPECT_EQ(view.At(12).text, "");
  EXPECT_FALSE(view.At(12).opaque);
  EXPECT_EQ(board.Cell(12), kBackgroundMark);
}

}  // namespace
}  // namespace momiro::testing
