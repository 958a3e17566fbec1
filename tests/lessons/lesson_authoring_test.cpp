// Lesson authoring in the edit layout: recording clicks, storing basic
// figures and sequences.
#include <gtest/gtest.h>

#include "board/history.h"
#include "support/authoring_fixture.h"

namespace momiro::testing {
namespace {

using LessonAuthoringTest = AuthoringTest;
using StyleButton = void (LessonAuthor::*)();

TEST_F(LessonAuthoringTest, AClickRecordsTheEntryOfItsStyleAndDrawsIt) {
  struct Case {
    const char* name;
    StyleButton kind;
    StyleButton colour;
    const char* text;
    MouseButton button;
    MoveEntry entry;  // point filled in below
    int cell;
    const char* picture;
    Rgb textColour;
    bool bold;
    bool opaque;
  };
  const Case cases[] = {
      {"black stone", nullptr, nullptr, "", MouseButton::Left, {1, 1, 0, 0}, 1, "/prog/stB.bmp",
       kWhiteText, false, false},
      {"white stone", nullptr, nullptr, "", MouseButton::Right, {1, 2, 0, 0}, 2, "/prog/stW.bmp",
       kBlackText, false, false},
      {"on a stone, green", &LessonAuthor::RadioButton5Click, &LessonAuthor::RadioButton9Click, "ア",
       MouseButton::Left, {0, 1, 0, 1200}, 1, "/prog/stB.bmp", kGreenText, false, false},
      {"on a white stone, standard", &LessonAuthor::RadioButton5Click, &LessonAuthor::RadioButton8Click,
       "イ", MouseButton::Right, {0, 2, 0, 1100}, 2, "/prog/stW.bmp", kBlackText, false, false},
      {"background, red", &LessonAuthor::RadioButton6Click, &LessonAuthor::RadioButton10Click, "ウ",
       MouseButton::Left, {0, 3, 0, 2300}, 0, "", kRedText, true, true},
      {"direct, standard", &LessonAuthor::RadioButton7Click, &LessonAuthor::RadioButton8Click, "エ",
       MouseButton::Right, {0, 0, 0, 3100}, 0, "", kBlackText, true, false},
  };
  ShowEntry(700);
  const int p = P(4, 4);
  for (const Case& c : cases) {
    main.ClearClick();
    if (c.kind != nullptr) (author.*c.kind)();
    if (c.colour != nullptr) (author.*c.colour)();
    editor.edit3 = c.text;
    Author(p, c.button);

    MoveEntry expected = c.entry;
    expected.point = p;
    const MoveEntry& entry = board.MoveList.At(1);
    EXPECT_EQ(board.MoveCount, 1) << c.name;
    EXPECT_EQ(entry.moveNumber, expected.moveNumber) << c.name;
    EXPECT_EQ(entry.colour, expected.colour) << c.name;
    EXPECT_EQ(entry.point, expected.point) << c.name;
    EXPECT_EQ(entry.displayCode, expected.displayCode) << c.name;
    EXPECT_EQ(board.MoveTexts.At(1), c.text) << c.name;
    EXPECT_EQ(board.MoveNumber, expected.moveNumber) << c.name;
    EXPECT_EQ(board.CurrentColour, expected.colour) << c.name;
    EXPECT_EQ(board.Cell(p), c.cell) << c.name;

    const RecordedCell& drawn = view.At(p);
    EXPECT_EQ(drawn.picture, c.picture) << c.name;
    if (*c.text != '\0') {
      EXPECT_EQ(drawn.text, c.text) << c.name;
    }
    EXPECT_EQ(drawn.textColour, c.textColour) << c.name;
    EXPECT_EQ(drawn.bold, c.bold) << c.name;
    EXPECT_EQ(drawn.opaque, c.opaque) << c.name;
  }
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(LessonAuthoringTest, StonesAreNumberedOnAndATextStartsTheNumbersAgain) {
  ShowEntry(700);
  author.RadioButton7Click();
  author.RadioButton8Click();
  const int points[] = {P(1, 1), P(1, 2), P(1, 3), P(1, 4)};
  const char* texts[] = {"", "", "△", ""};
  for (int i = 0; i < 4; ++i) {
    editor.edit3 = texts[i];
    Author(points[i]);
  }
  std::vector<int> numbers;
  for (int i = 1; i <= 4; ++i) numbers.push_back(board.MoveList.At(i).moveNumber);
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 0, 1}));
  EXPECT_EQ(CountMoves(board), 4);
}

TEST_F(LessonAuthoringTest, ATextWithoutACompleteStyleChangesNothingAndLeavesNoGap) {
  struct Case {
    const char* name;
    StyleButton kind;
    StyleButton colour;
  };
  const Case cases[] = {
      {"no style", nullptr, nullptr},
      {"kind only", &LessonAuthor::RadioButton6Click, nullptr},
      {"colour only", nullptr, &LessonAuthor::RadioButton10Click},
  };
  ShowEntry(700);
  const int stone = P(3, 3);
  const int text = P(3, 4);
  for (const Case& c : cases) {
    main.ClearClick();
    board.TextKind = 0;
    board.TextColour = 0;
    if (c.kind != nullptr) (author.*c.kind)();
    if (c.colour != nullptr) (author.*c.colour)();
    view.messages.clear();
    editor.edit3.clear();
    Author(stone);
    const std::vector<int32_t> cells = CellsNow();

    editor.edit3 = "A";
    Author(text);
    EXPECT_EQ(view.messages, (std::vector<std::string>{"文字仕様を選択してください"})) << c.name;
    EXPECT_EQ(board.MoveCount, 1) << c.name;
    EXPECT_EQ(CountMoves(board), 1) << c.name;
    EXPECT_EQ(CellsNow(), cells) << c.name;
    EXPECT_EQ(view.At(text).text, " ") << c.name;  // as the clear left it
    EXPECT_EQ(view.At(text).picture, "") << c.name;
  }

  // With the style complete the text takes the very next entry.
  author.RadioButton6Click();
  author.RadioButton10Click();
  Author(text);
  EXPECT_EQ(board.MoveCount, 2);
  EXPECT_EQ(CountMoves(board), 2);
  EXPECT_EQ(board.MoveList.At(2).point, text);
  EXPECT_EQ(board.MoveTexts.At(2), "A");
}

TEST_F(LessonAuthoringTest, AThreeStoneBasicFigureIsStoredUnderItsLetter) {
  ShowEntry(500);
  const std::vector<StoredRow> before = Rows(501);
  window.itemIndex = 2;  // 図Ｃ
  Author(P(5, 5), MouseButton::Left);
  Author(P(5, 6), MouseButton::Right);
  Author(P(6, 5), MouseButton::Left);
  author.CuteButton2Click();

  // 1 and 3 are used, so the figure's branch number is 2; the rows are
  // numbered after the earlier ones.
  std::vector<StoredRow> expected = before;
  expected.push_back({501, 0, 1, P(5, 5), 0, 9999, 3, "", 3});
  expected.push_back({501, 0, 2, P(5, 6), 0, 0, 0, "", 4});
  expected.push_back({501, 0, 1, P(6, 5), 2, 0, 0, "", 5});
  EXPECT_EQ(Rows(501), expected);
  EXPECT_EQ(view.status[0], "登録しました。");
  EXPECT_EQ(view.sounds.back(), kStoneSound);
  EXPECT_EQ(CountMoves(board), 0);
  EXPECT_EQ(board.MoveCount, 0);
  EXPECT_EQ(board.MoveNumber, 0);

  // Shown again from the letter box.
  player.ComboBox1Click();
  EXPECT_EQ(board.Cell(P(5, 5)), kBlack);
  EXPECT_EQ(board.Cell(P(5, 6)), kWhite);
  EXPECT_EQ(board.Cell(P(6, 5)), kBlack);
  EXPECT_EQ(board.Cell(P(2, 2)), kEmpty);  // 図Ａ is not drawn
  EXPECT_EQ(CurrentTNB(), 5);
}

TEST_F(LessonAuthoringTest, ATextMarkOnAStoneIsStoredWithItsCodeAndShownAgain) {
  ShowEntry(700);
  author.RadioButton5Click();  // "石上"
  author.RadioButton9Click();  // "緑"
  editor.edit3 = "ア";
  Author(P(2, 2), MouseButton::Left);
  editor.edit3 = "イ";
  Author(P(2, 3), MouseButton::Left);
  window.itemIndex = 1;  // 図Ｂ
  author.CuteButton2Click();

  EXPECT_EQ(Rows(701), (std::vector<StoredRow>{{701, 0, 1, P(2, 2), 0, 9999, 1202, "ア", 1},
                                               {701, 0, 1, P(2, 3), 1, 0, 1200, "イ", 2}}));
  EXPECT_EQ(editor.edit3, "");

  player.ComboBox1Click();
  for (const auto& [p, text] : {std::pair{P(2, 2), "ア"}, std::pair{P(2, 3), "イ"}}) {
    EXPECT_EQ(board.Cell(p), kBlack) << text;
    EXPECT_EQ(view.At(p).picture, "/prog/stB.bmp") << text;
    EXPECT_EQ(view.At(p).text, text);
    EXPECT_EQ(view.At(p).textColour, kGreenText) << text;
  }
}

TEST_F(LessonAuthoringTest, AStoneNeverTakesTheTextOfAClearedEntry) {
  ShowEntry(700);
  author.RadioButton5Click();
  author.RadioButton8Click();
  editor.edit3 = "古";
  Author(P(1, 1));
  main.ClearClick();  // the board is cleared, the move texts stay
  editor.edit3.clear();
  Author(P(1, 2));
  author.CuteButton2Click();
  EXPECT_EQ(Rows(701), (std::vector<StoredRow>{{701, 0, 1, P(1, 2), 1, 9999, 1, "", 1}}));
}

TEST_F(LessonAuthoringTest, NothingIsStoredWithoutEntriesOrWithoutALetter) {
  ShowEntry(700);
  author.CuteButton2Click();
  EXPECT_EQ(view.status[0], kNothingToStore);
  view.status[0].clear();
  author.CuteButton8Click();
  EXPECT_EQ(view.status[0], kNothingToStore);

  Author(P(1, 1));
  window.itemIndex = kFigureItemCount - 1;  // the empty item
  author.CuteButton2Click();
  EXPECT_EQ(view.messages, (std::vector<std::string>{kChooseFigureLetter}));
  EXPECT_TRUE(Rows(701).empty());
  EXPECT_EQ(CountMoves(board), 1);

  // With no item selected the first letter is taken.
  window.itemIndex = -1;
  author.CuteButton2Click();
  EXPECT_EQ(window.itemIndex, 0);
  ASSERT_EQ(Rows(701).size(), 1u);
  EXPECT_EQ(Rows(701)[0].dtx, 1);
}

TEST_F(LessonAuthoringTest, ASequenceContinuesTheBranchRowAndTheNextOneItsOwn) {
  ShowEntry(500);  // the current row is 図Ａ's branch row (branch 1)
  const std::vector<StoredRow> before = Rows(501);
  Author(P(7, 7), MouseButton::Left);
  Author(P(7, 8), MouseButton::Right);
  author.CuteButton8Click();

  std::vector<StoredRow> expected = before;
  expected.push_back({501, 1, 1, P(7, 7), 0, 1, 0, "", 0});
  expected.push_back({501, 2, 2, P(7, 8), 2, 0, 0, "", 0});
  EXPECT_EQ(Rows(501), expected);
  EXPECT_EQ(view.status[0], "登録しました。");
  EXPECT_EQ(view.sounds.back(), kStoneSound);
  EXPECT_EQ(CountMoves(board), 0);
  EXPECT_EQ(board.CurrentColour, kBlack);  // after white's move
  EXPECT_EQ(figures.FieldInt(kFigureBFR), 2);

  // The next stone is move 3 and continues the new branch row.
  Author(P(8, 8), MouseButton::Left);
  author.CuteButton8Click();
  expected.push_back({501, 3, 1, P(8, 8), 4, 2, 0, "", 0});
  EXPECT_EQ(Rows(501), expected);
  EXPECT_EQ(board.CurrentColour, kWhite);
}

TEST_F(LessonAuthoringTest, AfterASequenceTheOtherSideOrBlackIsToPlay) {
  struct Case {
    const char* name;
    StyleButton kind;  // nullptr: a stone
    MouseButton button;
    int storedColour;
    int toPlay;
  };
  const Case cases[] = {
      {"black stone", nullptr, MouseButton::Left, kBlack, kWhite},
      {"white stone", nullptr, MouseButton::Right, kWhite, kBlack},
      {"direct text", &LessonAuthor::RadioButton7Click, MouseButton::Left, 0, kBlack},
      {"background text", &LessonAuthor::RadioButton6Click, MouseButton::Left, kBackgroundMark, kBlack},
  };
  author.RadioButton8Click();
  int row = 10;
  for (const Case& c : cases) {
    const int first = P(row, 0);
    const int last = P(row, 1);
    ++row;
    ShowEntry(500);
    editor.edit3.clear();
    Author(first, MouseButton::Right);
    if (c.kind != nullptr) {
      (author.*c.kind)();
      editor.edit3 = "※";
    }
    Author(last, c.button);
    author.CuteButton8Click();
    EXPECT_EQ(board.CurrentColour, c.toPlay) << c.name;
    EXPECT_EQ(Rows(501).back().col, c.storedColour) << c.name;
    EXPECT_EQ(Rows(501).back().pst, last) << c.name;
    EXPECT_EQ(view.status[0], "登録しました。") << c.name;
  }
}

TEST_F(LessonAuthoringTest, TheSameFirstMoveFromTheSameBranchIsRefusedOnceNumbered) {
  ShowEntry(500);
  // The stored sequence of branch 1 begins with white at (2,3).
  Author(P(2, 3), MouseButton::Right);
  const std::vector<StoredRow> stored = Rows(501);
  view.sounds.clear();
  author.CuteButton8Click();
  EXPECT_EQ(view.messages, (std::vector<std::string>{"既に登録されています。"}));
  EXPECT_EQ(view.sounds, (std::vector<int>{kStoneSound}));
  EXPECT_EQ(Rows(501), stored);
  EXPECT_EQ(CountMoves(board), 1);
  EXPECT_EQ(CurrentTNB(), 1);  // still on the branch row

  // A new first move is stored; its rows have no TNB until the next opening,
  // so storing the same move again from branch 1 is not refused.
  main.ClearClick();
  Author(P(4, 4), MouseButton::Right);
  author.CuteButton8Click();
  ASSERT_TRUE(LocateTNB(figures, 1));
  player.DBGrid2CellClick();  // back to branch 1
  Author(P(4, 4), MouseButton::Right);
  author.CuteButton8Click();
  const std::vector<StoredRow> twice = Rows(501);
  ASSERT_EQ(twice.size(), stored.size() + 2);
  EXPECT_EQ(twice[twice.size() - 1].pst, P(4, 4));
  EXPECT_EQ(twice[twice.size() - 2].pst, P(4, 4));
  EXPECT_EQ(view.messages, (std::vector<std::string>{"既に登録されています。"}));

  // Shown again, the rows are numbered and the move is refused.
  ShowEntry(500);
  Author(P(4, 4), MouseButton::Right);
  author.CuteButton8Click();
  EXPECT_EQ(view.messages.back(), "既に登録されています。");
  EXPECT_EQ(Rows(501).size(), twice.size());
}

}  // namespace
}  // namespace momiro::testing
