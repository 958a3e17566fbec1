// Lesson authoring on stored rows: deleting sequences and basic figures,
// moving rows to another contents number, showing a figure by number, and
// an authored lesson played through by the lesson player.
#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "lessons/lesson_error.h"
#include "support/authoring_fixture.h"

namespace momiro::testing {
namespace {

using AuthoringRowsTest = AuthoringTest;

std::vector<StoredRow> Without(const std::vector<StoredRow>& rows, const std::set<int>& tnbs) {
  std::vector<StoredRow> kept;
  for (const StoredRow& row : rows) {
    if (tnbs.count(row.tnb) == 0) kept.push_back(row);
  }
  return kept;
}

// --- Deleting -------------------------------------------------------------------

TEST_F(AuthoringRowsTest, DeletingASequenceRemovesExactlyItsRun) {
  struct Case {
    int currentTnb;
    std::set<int> removed;
  };
  // 5-6 continue branch 1; 7 and 8-9 continue branch 2 (6).
  const Case cases[] = {{5, {5, 6}}, {6, {5, 6}}, {7, {7}}, {9, {8, 9}}};
  const auto fixture = db.Table("figure").slots;
  for (const Case& c : cases) {
    ShowEntry(100);
    const std::vector<StoredRow> before = Rows(101);
    ASSERT_TRUE(LocateTNB(figures, c.currentTnb));
    view.sounds.clear();
    author.CuteButton4Click();
    EXPECT_EQ(Rows(101), Without(before, c.removed)) << c.currentTnb;
    EXPECT_EQ(board.Cells, BoardState{}.Cells) << c.currentTnb;
    EXPECT_EQ(view.status[0], "指定の手順を削除しました。") << c.currentTnb;
    EXPECT_EQ(view.sounds, (std::vector<int>{kStoneSound})) << c.currentTnb;

    db.Table("figure").slots = fixture;  // the fixture again for the next case
  }
}

TEST_F(AuthoringRowsTest, ARunWithoutItsBranchRowIsRefusedBeforeAnyRowIsDeleted) {
  db.AddFigureRow(901, 0, 1, P(1, 1), 1, 9999, 1);
  db.AddFigureRow(901, 1, 2, P(1, 2), 0, 1, 0);
  db.AddFigureRow(901, 2, 1, P(1, 3), 0, 0, 0);
  OpenFigures(figures, 901);
  const std::vector<StoredRow> before = Rows(901);
  ASSERT_TRUE(LocateTNB(figures, 2));
  EXPECT_THROW(author.CuteButton4Click(), ELessonDataError);
  EXPECT_EQ(Rows(901), before);
}

TEST_F(AuthoringRowsTest, DeletingABasicFigureRemovesItAndTheRowsUpToTheNextFigure) {
  struct Case {
    int itemIndex;
    std::set<int> removed;
    const char* status;
  };
  const Case cases[] = {
      {0, {1, 2, 3, 4, 5, 6, 7, 8, 9}, ""},  // 図Ａ with its sequences
      {1, {10}, ""},                         // 図Ｂ, the last row
      {2, {}, "この図はありません。"},       // no 図Ｃ
  };
  const auto fixture = db.Table("figure").slots;
  for (const Case& c : cases) {
    ShowEntry(100);
    const std::vector<StoredRow> before = Rows(101);
    window.itemIndex = c.itemIndex;
    author.CuteButton3Click();
    EXPECT_EQ(Rows(101), Without(before, c.removed)) << c.itemIndex;
    EXPECT_EQ(board.FigureLetter, c.itemIndex + 1);
    EXPECT_EQ(board.Cells, BoardState{}.Cells) << c.itemIndex;
    EXPECT_EQ(view.status[0], c.status) << c.itemIndex;

    db.Table("figure").slots = fixture;
  }
}

TEST_F(AuthoringRowsTest, DeletingABasicFigureTakesTheRunsStoredElsewhereThatContinueIt) {
  // After 図Ｂ: a sequence from 図Ａ's branch 1 with a continuation of its
  // own, and one from 図Ｂ's branch 5.
  db.AddFigureRow(101, 1, 1, P(12, 12), 6, 1, 0);   // 11
  db.AddFigureRow(101, 2, 2, P(12, 13), 0, 6, 0);   // 12
  db.AddFigureRow(101, 3, 1, P(12, 14), 7, 0, 0);   // 13
  db.AddFigureRow(101, 1, 2, P(13, 13), 8, 5, 0);   // 14
  db.AddFigureRow(101, 4, 2, P(14, 14), 9, 7, 0);   // 15, continuing 13
  ShowEntry(100);
  const std::vector<StoredRow> before = Rows(101);
  window.itemIndex = 0;
  author.CuteButton3Click();
  EXPECT_EQ(Rows(101), Without(before, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 15}));

  // 図Ｂ alone now; the freed numbers go to new rows without old followers.
  ShowEntry(100);
  window.itemIndex = 1;
  player.ComboBox1Click();
  Author(P(0, 0));
  author.CuteButton8Click();
  EXPECT_EQ(Rows(101).back().bfr, 1);
  EXPECT_EQ(ClassifyNext(figures, board), kNothingContinues);
}

TEST_F(AuthoringRowsTest, DeletingABasicFigureTakesSequencesStoredSinceTheOpening) {
  ShowEntry(500);
  Author(P(7, 7), MouseButton::Right);
  author.CuteButton8Click();  // a sequence of branch 1, not yet numbered
  window.itemIndex = 0;
  author.CuteButton3Click();
  EXPECT_EQ(Rows(501), std::vector<StoredRow>{});
}

// --- Moving rows to another number ------------------------------------------------

TEST_F(AuthoringRowsTest, ANumberBelowAThousandIsRefused) {
  ShowEntry(100);
  const std::vector<StoredRow> before = Rows(101);
  ASSERT_TRUE(LocateTNB(figures, 1));
  for (const char* text : {"999", "0", "-1200"}) {
    view.messages.clear();
    editor.edit3 = text;
    author.CuteButton11Click();
    EXPECT_EQ(view.messages, (std::vector<std::string>{"MNBが不正です。"})) << text;
    EXPECT_EQ(Rows(101), before) << text;
    EXPECT_EQ(board.ContentsNumber, 101) << text;
  }
}

TEST_F(AuthoringRowsTest, MovingRowsTakesThemUpToTheNextFigureWithTheChosenLetter) {
  struct Case {
    int currentTnb;
    std::set<int> moved;
  };
  const Case cases[] = {{1, {1, 2, 3, 4, 5, 6, 7, 8, 9}}, {7, {7, 8, 9}}, {10, {10}}};
  const auto fixture = db.Table("figure").slots;
  for (const Case& c : cases) {
    ShowEntry(100);
    const std::vector<int32_t> cells = CellsNow();
    const std::vector<StoredRow> before = Rows(101);
    ASSERT_TRUE(LocateTNB(figures, c.currentTnb));
    window.itemIndex = 1;  // 図Ｂ
    editor.edit3 = "1200";
    author.CuteButton11Click();

    std::vector<StoredRow> moved;
    std::vector<StoredRow> stayed;
    for (StoredRow row : before) {
      if (c.moved.count(row.tnb) == 0) {
        stayed.push_back(row);
        continue;
      }
      row.mnb = 1200;
      if (row.dtx > 0) row.dtx = row.dtx / 100 * 100 + 2;
      row.tnb = static_cast<int>(moved.size()) + 1;  // numbered again by the opening
      moved.push_back(row);
    }
    EXPECT_EQ(Rows(1200), moved) << c.currentTnb;
    EXPECT_EQ(Rows(101), stayed) << c.currentTnb;
    EXPECT_EQ(board.ContentsNumber, 1200);
    EXPECT_EQ(figures.Params().at(0), 1200);
    EXPECT_TRUE(figures.Eof());
    EXPECT_EQ(CellsNow(), cells) << "the board is not redrawn";

    db.Table("figure").slots = fixture;
  }
}

TEST_F(AuthoringRowsTest, MovingFromARowStoredSinceTheOpeningTakesTheRowsAfterIt) {
  ShowEntry(500);
  Author(P(7, 7), MouseButton::Right);
  Author(P(7, 8), MouseButton::Left);
  author.CuteButton8Click();
  figures.Prior();  // the sequence's first row, which has no TNB yet
  editor.edit3 = "1500";
  author.CuteButton11Click();
  EXPECT_EQ(Rows(1500), (std::vector<StoredRow>{{1500, 1, 2, P(7, 7), 0, 1, 0, "", 1},
                                                {1500, 2, 1, P(7, 8), 2, 0, 0, "", 2}}));
  EXPECT_EQ(Rows(501), (std::vector<StoredRow>{{501, 0, 1, P(2, 2), 1, 9999, 1, "", 1},
                                               {501, 1, 2, P(2, 3), 3, 1, 0, "", 2}}));
}

// --- Numbers typed into Edit3 ---------------------------------------------------------

TEST(Edit3NumberTest, NumbersAreDecimalIntegersWithin32Bits) {
  struct Good {
    const char* text;
    int value;
  };
  for (const Good& g : {Good{"1200", 1200}, Good{" 1200 ", 1200}, Good{"-5", -5}, Good{"+7", 7},
                        Good{"2147483647", INT_MAX}, Good{"-2147483648", INT_MIN}}) {
    EXPECT_EQ(ParseEditNumber(g.text), g.value) << g.text;
  }
  for (const char* bad : {"", " ", "abc", "12a", "1 2", "0x10", "+", "-", "１２００", "2147483648",
                          "-2147483649", "99999999999999999999"}) {
    try {
      ParseEditNumber(bad);
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const EConvertError& error) {
      EXPECT_EQ(std::string(error.what()), std::string("「") + bad + "」は整数ではありません。");
    }
  }
}

TEST_F(AuthoringRowsTest, ANonNumericEdit3ChangesNothing) {
  ShowEntry(100);
  ASSERT_TRUE(LocateTNB(figures, 1));
  const std::vector<StoredRow> before = Rows(101);
  const std::vector<int32_t> cells = CellsNow();
  for (const char* text : {"abc", "", "12a"}) {
    editor.edit3 = text;
    EXPECT_THROW(author.CuteButton11Click(), EConvertError) << text;
    EXPECT_THROW(author.CuteButton13Click(), EConvertError) << text;
    EXPECT_EQ(Rows(101), before) << text;
    EXPECT_EQ(CellsNow(), cells) << text;
    EXPECT_EQ(board.ContentsNumber, 101) << text;
    EXPECT_EQ(figures.Params().at(0), 101) << text;
    EXPECT_EQ(CurrentTNB(), 1) << text;
  }
  EXPECT_TRUE(view.messages.empty());
}

// --- Showing a figure by number ----------------------------------------------------------

TEST_F(AuthoringRowsTest, AFigureIsShownByTheNumberTyped) {
  ShowEntry(500);
  board.PlayMode = kPlayAlternate;
  main.SelectPlayModeButton(kPlayAlternate);

  ShowNumber(101, 1);  // 図Ｂ of 101
  EXPECT_EQ(board.ContentsNumber, 101);
  std::vector<int32_t> expected(kMaxPoints, kEmpty);
  expected[P(10, 10) - 1] = kBlack;
  EXPECT_EQ(CellsNow(), expected);
  EXPECT_EQ(board.PlayMode, kPlayFree);
  EXPECT_EQ(view.checkedModeButton, kPlayFree);
  EXPECT_EQ(board.MoveNumber, 0);
  EXPECT_EQ(board.CurrentColour, kBlack);
  EXPECT_EQ(CurrentTNB(), 10);
  EXPECT_TRUE(window.helpTopics.empty());

  // With no letter chosen the first is shown, background text included.
  ShowNumber(101, -1);
  EXPECT_EQ(window.itemIndex, 0);
  EXPECT_EQ(board.Cell(P(0, 1)), kWhite);
  EXPECT_EQ(view.At(P(5, 5)).text, "A");
  EXPECT_TRUE(view.At(P(5, 5)).opaque);
  EXPECT_EQ(CurrentTNB(), 4);

  ShowNumber(101, 2);  // no 図Ｃ
  EXPECT_EQ(board.Cells, BoardState{}.Cells);
  EXPECT_EQ(view.status[0], "この図はありません。");
}

// --- An authored lesson, played --------------------------------------------------------------

TEST_F(AuthoringRowsTest, AnAuthoredLessonIsPlayedThroughByThePlayer) {
  ShowEntry(700);
  // 図Ａ: two stones and a green background mark.
  Author(P(3, 3), MouseButton::Left);
  Author(P(3, 4), MouseButton::Right);
  author.RadioButton6Click();
  author.RadioButton9Click();
  editor.edit3 = "B";
  Author(P(6, 6));
  editor.edit3.clear();
  author.CuteButton2Click();
  // Moves 1 and 2, then 3 after them.
  Author(P(4, 3), MouseButton::Left);
  Author(P(4, 4), MouseButton::Right);
  author.CuteButton8Click();
  Author(P(5, 3), MouseButton::Left);
  author.CuteButton8Click();
  // A second move 3, stored from move 2's row reached through the grid.
  ShowEntry(700);
  ASSERT_TRUE(figures.Locate("BFR", {2}));
  player.DBGrid2CellClick();
  Author(P(6, 3), MouseButton::Left);
  author.CuteButton8Click();
  EXPECT_EQ(Rows(701).back(), (StoredRow{701, 3, 1, P(6, 3), 4, 2, 0, "", 0}));

  // The learner's view.
  board.AppMode = kAppView;
  ShowEntry(700);
  EXPECT_EQ(board.Cell(P(3, 3)), kBlack);
  EXPECT_EQ(board.Cell(P(3, 4)), kWhite);
  EXPECT_EQ(view.At(P(6, 6)).text, "B");
  EXPECT_EQ(view.At(P(6, 6)).textColour, kGreenText);
  StepForward();
  EXPECT_EQ(view.At(P(4, 3)).text, "1");
  StepForward();
  EXPECT_EQ(view.At(P(4, 4)).text, "2");
  EXPECT_EQ(view.status[0], "進めてください。");
  StepForward();
  EXPECT_EQ(view.At(P(5, 3)).text, kChoiceMarker);
  EXPECT_EQ(view.At(P(6, 3)).text, kChoiceMarker);
  EXPECT_EQ(view.status[0], "緑丸か赤丸の一つをクリックしてください。");
  Click(P(6, 3));
  EXPECT_EQ(board.Cell(P(6, 3)), kBlack);
  EXPECT_EQ(view.At(P(6, 3)).text, "3");
  EXPECT_EQ(view.status[0], "登録手順は終了です。");
}

}  // namespace
}  // namespace momiro::testing
