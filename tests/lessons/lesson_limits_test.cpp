// Lessons the player refuses: deeper than its path, wider than its choices,
// and rows that do not form a lesson. Each is a clear error, never a crash.
#include <gtest/gtest.h>

#include "lessons/lesson_error.h"
#include "support/lesson_fixture.h"

namespace momiro::testing {
namespace {

class LessonLimitsTest : public LessonTest {
 protected:
  // Runs action and returns the message of the ELessonDataError it raises
  // ("" when it raises none).
  template <typename Action>
  std::string ErrorOf(Action action) {
    try {
      action();
    } catch (const ELessonDataError& e) {
      return e.what();
    }
    return "";
  }
  void Reopen() { OpenContents(contents, kAllContents); }
};

// A basic figure and `levels` one-move sequences, each continuing the one
// before it, under contents 500.
void AddNestedLesson(MemoryDatabase& db, int levels) {
  db.AddContents(500, "深い");
  db.AddFigureRow(501, 0, 1, P(0, 0), 1, 9999, 1);
  for (int k = 1; k <= levels; ++k) {
    db.AddFigureRow(501, k, k % 2 == 1 ? kWhite : kBlack, P(k, 10), k + 1, k, 0);
  }
}

TEST_F(LessonLimitsTest, APathOfTenRunsIsRedrawnAndElevenAreRefused) {
  for (const int sequences : {9, 10}) {
    MemoryDatabase fresh;
    AddNestedLesson(fresh, sequences);
    MemoryQuery freshContents(fresh), freshFigures(fresh);
    QueryFigureRows freshRows(freshFigures);
    main.SetFigureRows(&freshRows);
    FigurePlayer deep(main, view, window, freshContents, freshFigures);
    OpenContents(freshContents, kAllContents);
    deep.DBGrid1CellClick();
    window.gridEvents.clear();
    ASSERT_TRUE(LocateTNB(freshFigures, sequences + 1));  // the innermost row

    const std::string error = ErrorOf([&] { deep.DBGrid2CellClick(); });
    if (sequences == 9) {
      EXPECT_EQ(error, "");
      for (int k = 1; k <= sequences; ++k) EXPECT_EQ(view.At(P(k, 10)).text, std::to_string(k));
      EXPECT_EQ(freshFigures.FieldInt(kFigureTNB), sequences + 1);
    } else {
      EXPECT_EQ(error, "手順の入れ子が 10 段を超えるため表示できません。");
    }
    // The grid is back on its data source either way.
    EXPECT_EQ(window.gridEvents, (std::vector<std::string>{"detach", "attach"})) << sequences;
    main.SetFigureRows(&rows);
  }
}

TEST_F(LessonLimitsTest, TwentyContinuationsAreOfferedAndTwentyOneRefused) {
  for (const int width : {20, 21}) {
    const int mnb = 600 + 100 * (width - 20);
    db.AddContents(mnb, "広い");
    db.AddFigureRow(mnb + 1, 0, 1, P(18, 18), 1, 9999, 1);
    for (int k = 0; k < width; ++k) {
      db.AddFigureRow(mnb + 1, 1, kWhite, P(k % 19, 2 + k / 19), 2 + k, 1, 0);
    }
    Reopen();
    ShowEntry(mnb);
    const std::string error = ErrorOf([&] { StepForward(); });
    if (width == 20) {
      EXPECT_EQ(error, "");
      EXPECT_EQ(board.Choices.At(20).point, P(0, 3));
      EXPECT_EQ(view.At(P(0, 3)).text, kChoiceMarker);
      EXPECT_EQ(board.ChoicePending, 1);
    } else {
      EXPECT_EQ(error, "分岐 1 から続く手順が 20 を超えるため表示できません。");
      EXPECT_EQ(board.ChoicePending, 0);
    }
  }
}

TEST_F(LessonLimitsTest, RowsThatFormNoLessonRaiseAClearError) {
  struct Case {
    const char* what;
    std::vector<std::vector<int>> rows;  // TES, COL, PST, BFR, BTO, DTX
    int redrawTnb;                       // 0: show and step; else redraw from this row
    std::string error;
  };
  const Case cases[] = {
      {"a point off the board", {{0, 1, 400, 1, 9999, 1}}, 0,
       "図の行が正しくありません（TNB 1）：点 400 は盤の外です。"},
      {"a stone row without a stone colour",
       {{0, 1, P(0, 0), 1, 9999, 1}, {1, 0, P(0, 1), 2, 1, 0}}, 0,
       "図の行が正しくありません（TNB 2）：石の色ではありません（COL 0）。"},
      {"a branch no row carries",
       {{0, 1, P(0, 0), 1, 9999, 1}, {1, 2, P(0, 1), 2, 7, 0}}, 2,
       "図の行が正しくありません（TNB 2）：分岐 7 の行がありません。"},
      {"a run without its first row", {{1, 1, P(0, 0), 1, 0, 1}}, 1,
       "図の行が正しくありません（TNB 1）：手順の始めの行がありません。"},
      {"a run without its branch row",
       {{0, 1, P(0, 0), 1, 9999, 1}, {1, 2, P(0, 1), 0, 1, 0}}, 2,
       "図の行が正しくありません（TNB 2）：分岐の行で終わっていません。"},
  };
  int mnb = 1000;
  for (const Case& c : cases) {
    mnb += 100;
    db.AddContents(mnb, c.what);
    for (const std::vector<int>& r : c.rows) db.AddFigureRow(mnb + 1, r[0], r[1], r[2], r[3], r[4], r[5]);
    Reopen();
    std::string error;
    if (c.redrawTnb == 0) {
      error = ErrorOf([&] {
        ShowEntry(mnb);
        StepForward();
      });
    } else {
      ChooseContents(mnb);
      board.ContentsNumber = mnb + 1;
      OpenFigures(figures, mnb + 1);
      ASSERT_TRUE(LocateTNB(figures, c.redrawTnb));
      error = ErrorOf([&] { player.DBGrid2CellClick(); });
    }
    EXPECT_EQ(error, c.error) << c.what;
  }
}

TEST_F(LessonLimitsTest, AClosedOrEmptyFigureQueryNeitherStepsNorRedraws) {
  figures.Close();
  StepForward();
  EXPECT_EQ(view.status[0], "もう進めません。");
  player.CuteButton10Click();
  EXPECT_EQ(view.status[0], "もう戻せません。");
  board.LessonStepTaken = 1;
  TakeBack();
  EXPECT_EQ(view.status[0], "もう戻せません。");
  player.DBGrid2CellClick();
  EXPECT_TRUE(window.gridEvents.empty());
  OpenFigures(figures, 301);
  StepForward();
  EXPECT_EQ(view.status[0], "もう進めません。");
}

}  // namespace
}  // namespace momiro::testing
