// Showing basic figures: contents entries, the figure letter box, "次の図"
// and "前の図".
#include <gtest/gtest.h>

#include "support/lesson_fixture.h"

namespace momiro::testing {
namespace {

using FigureDisplayTest = LessonTest;

TEST_F(FigureDisplayTest, AContentsEntryShowsItsFirstBasicFigure) {
  board.PlayMode = kPlayAlternate;
  main.SelectPlayModeButton(kPlayAlternate);
  ShowEntry(100);

  EXPECT_EQ(board.ContentsNumber, 101);
  EXPECT_EQ(window.helpTopics, (std::vector<int>{101}));
  EXPECT_EQ(window.itemIndex, 0);
  EXPECT_EQ(board.FigureLetter, 1);
  EXPECT_EQ(board.PlayMode, kPlayFree);
  EXPECT_EQ(view.checkedModeButton, kPlayFree);

  EXPECT_EQ(board.Cell(P(0, 1)), kWhite);
  EXPECT_EQ(board.Cell(P(0, 2)), kBlack);
  EXPECT_EQ(board.Cell(P(1, 1)), kBlack);
  EXPECT_EQ(view.At(P(0, 1)).picture, "/prog/stW.bmp");
  EXPECT_EQ(view.At(P(0, 2)).picture, "/prog/stB.bmp");
  EXPECT_EQ(view.At(P(0, 1)).text, " ");  // figure stones carry no number
  // The background text: no stone, no cell value, bold green on the board colour.
  const RecordedCell& text = view.At(P(5, 5));
  EXPECT_EQ(board.Cell(P(5, 5)), kEmpty);
  EXPECT_EQ(text.picture, "");
  EXPECT_EQ(text.text, "A");
  EXPECT_EQ(text.textColour, kGreenText);
  EXPECT_TRUE(text.bold);
  EXPECT_TRUE(text.opaque);

  // The lesson position is the figure's branch row.
  EXPECT_EQ(CurrentTNB(), 4);
  EXPECT_EQ(board.MoveNumber, 0);
  EXPECT_EQ(board.CurrentColour, kBlack);
  EXPECT_EQ(view.status[0], "");
}

TEST_F(FigureDisplayTest, AHundredEntryShowsTheFiguresAndHelpOfTheNextNumber) {
  ShowEntry(200);
  EXPECT_EQ(board.ContentsNumber, 201);
  EXPECT_EQ(window.helpTopics, (std::vector<int>{201}));
  EXPECT_EQ(figures.Params().at(0), 201);
  EXPECT_EQ(board.Cell(P(0, 1)), kWhite);

  // In the edit layout no help topic opens.
  board.AppMode = kAppEdit;
  ShowEntry(100);
  EXPECT_EQ(window.helpTopics, (std::vector<int>{201}));
  EXPECT_EQ(board.ContentsNumber, 101);
}

TEST_F(FigureDisplayTest, AnEntryWithoutAFirstFigureShowsAnEmptyBoard) {
  struct Case {
    int mnb;
    int contentsNumber;
  };
  for (const Case c : {Case{0, 0}, Case{300, 301}}) {
    ShowEntry(100);
    ShowEntry(c.mnb);
    EXPECT_EQ(board.ContentsNumber, c.contentsNumber);
    EXPECT_EQ(board.Cells, BoardState{}.Cells) << c.mnb;
    EXPECT_EQ(view.At(P(0, 1)).picture, "") << c.mnb;
    EXPECT_EQ(view.status[0], "この図はありません。") << c.mnb;
  }
}

TEST_F(FigureDisplayTest, TheLetterBoxShowsTheChosenFigure) {
  ShowEntry(100);
  window.itemIndex = 1;  // 図Ｂ
  player.ComboBox1Click();
  EXPECT_EQ(board.FigureLetter, 2);
  EXPECT_EQ(board.Cell(P(10, 10)), kBlack);
  EXPECT_EQ(board.Cell(P(0, 1)), kEmpty);
  EXPECT_EQ(CurrentTNB(), 10);

  window.itemIndex = 3;  // 図Ｄ: none stored
  player.ComboBox1Click();
  EXPECT_EQ(board.FigureLetter, 4);
  EXPECT_EQ(board.Cells, BoardState{}.Cells);
  EXPECT_EQ(view.status[0], "この図はありません。");
}

TEST_F(FigureDisplayTest, NextFigureOnZSelectsTheEmptyItemThenWrapsToA) {
  ShowEntry(100);
  window.itemIndex = 25;  // 図Ｚ
  player.CuteButton14Click();
  EXPECT_EQ(window.itemIndex, 26);
  EXPECT_EQ(board.FigureLetter, 27);
  EXPECT_EQ(board.Cells, BoardState{}.Cells);
  EXPECT_EQ(view.status[0], "この図はありません。");

  player.CuteButton14Click();
  EXPECT_EQ(window.itemIndex, 0);
  EXPECT_EQ(board.FigureLetter, 1);
  EXPECT_EQ(board.Cell(P(0, 1)), kWhite);
  EXPECT_EQ(view.status[0], "");
}

TEST_F(FigureDisplayTest, PreviousFigureStopsAtTheFirstLetter) {
  ShowEntry(100);
  window.itemIndex = 1;
  player.CuteButton15Click();
  EXPECT_EQ(window.itemIndex, 0);
  EXPECT_EQ(board.Cell(P(0, 1)), kWhite);
  EXPECT_TRUE(view.messages.empty());

  player.CuteButton15Click();
  EXPECT_EQ(view.messages, (std::vector<std::string>{"前には戻れません。"}));
  EXPECT_EQ(window.itemIndex, 0);
  EXPECT_EQ(board.Cell(P(0, 1)), kWhite);
}

TEST_F(FigureDisplayTest, ShowAgainRedrawsTheFigureFromItsStart) {
  ShowEntry(100);
  const std::vector<int32_t> figure = CellsNow();
  StepForward();
  ASSERT_NE(CellsNow(), figure);
  player.CuteButton9Click();  // "元に戻す"
  EXPECT_EQ(CellsNow(), figure);
  EXPECT_EQ(CurrentTNB(), 4);
  EXPECT_EQ(board.WhiteStonesTaken, 0);
}

TEST_F(FigureDisplayTest, TheLetterItemsAreTheBoxTexts) {
  const std::string expected[] = {"図Ａ", "図Ｂ", "図Ｃ", "図Ｄ", "図Ｅ", "図Ｆ", "図Ｇ",
                                  "図Ｈ", "図Ｉ", "図Ｊ", "図K",  "図L",  "図M",  "図N",
                                  "図O",  "図P",  "図Q",  "図Ｒ", "図Ｓ", "図Ｔ", "図Ｕ",
                                  "図Ｖ", "図Ｗ", "図Ｘ", "図Ｙ", "図Ｚ", ""};
  for (int i = 0; i < kFigureItemCount; ++i) EXPECT_EQ(kFigureItems[i], expected[i]) << i;
}

}  // namespace
}  // namespace momiro::testing
