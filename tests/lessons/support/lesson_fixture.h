// A main board with the lesson player over in-memory lesson tables, and the
// small fixture lesson the player tests walk through.
#ifndef MOMIRO_TESTS_LESSONS_SUPPORT_LESSON_FIXTURE_H_
#define MOMIRO_TESTS_LESSONS_SUPPORT_LESSON_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board_rules.h"
#include "board/point_geometry.h"
#include "board/support/recording_view.h"
#include "lessons/adjourned_game_store.h"
#include "lessons/figure_player.h"
#include "lessons/lesson_board_hooks.h"
#include "lessons/lesson_rows.h"
#include "lessons/lesson_tables.h"
#include "lessons/query_figure_rows.h"
#include "memory_query.h"

namespace momiro::testing {

// The window parts of the player: the letter box, help topics opened and the
// figure grid's detach and re-attach, in order.
class RecordingLessonWindow : public LessonWindow {
 public:
  int FigureItemIndex() const override { return itemIndex; }
  void SetFigureItemIndex(int index) override {
    EXPECT_GE(index, -1);
    EXPECT_LT(index, kFigureItemCount);
    itemIndex = index;
  }
  void ShowHelpTopic(int contextNumber) override { helpTopics.push_back(contextNumber); }
  void DetachFigureGrid() override { gridEvents.push_back("detach"); }
  void AttachFigureGrid() override { gridEvents.push_back("attach"); }

  int itemIndex = -1;
  std::vector<int> helpTopics;
  std::vector<std::string> gridEvents;
};

// Point of (row, column) on the 19-line board, both from 0 at the top left.
inline int P(int row, int column) { return PointAt(column, row, 19); }

// The fixture lesson, contents 100 (figures under 101):
//
//   TNB  TES COL PST    BFR BTO   DTX   CMT
//   図Ａ, a basic figure: white (0,1) in atari, a background text "A"
//    1    0   2  (0,1)   0  9999     1  "基本図"
//    2    0   1  (0,2)   0    0      0
//    3    0   1  (1,1)   0    0      0
//    4    0   3  (5,5)   1    0   2200  "A"      branch 1
//   branch 1, one continuation: black takes at (0,0)
//    5    1   1  (0,0)   0    1      0  "取ります"
//    6    2   2  (3,3)   2    0      0  "白の手"  branch 2
//   branch 2: a correct answer and a wrong one with its refutation
//    7    3   1  (3,4)   3    2      0  "正解"
//    8    3  -1  (4,3)   0    2      0  "失敗"
//    9    4   2  (3,4)   4    0      0  "白がよい"
//   図Ｂ: one stone, nothing continues
//   10    0   1 (10,10)  5  9999     2  "図Ｂ"
//
// Contents 200 (figures under 201), 図Ａ: a numbered stone captured in a
// sequence: white (0,1); 1 black (0,0); 2 white (1,0) takes it.
//    1    0   2  (0,1)   1  9999     1
//    2    1   1  (0,0)   0    1      0
//    3    2   2  (1,0)   2    0      0
//
// Contents 0 ("はじめに") and 300 (no rows under 301) have no figures.
inline void AddFixtureLesson(MemoryDatabase& db) {
  db.AddContents(0, "はじめに");
  db.AddContents(100, "第一課");
  db.AddContents(200, "第二課");
  db.AddContents(300, "第三課");
  db.AddFigureRow(101, 0, 2, P(0, 1), 0, 9999, 1, "基本図");
  db.AddFigureRow(101, 0, 1, P(0, 2), 0, 0, 0);
  db.AddFigureRow(101, 0, 1, P(1, 1), 0, 0, 0);
  db.AddFigureRow(101, 0, 3, P(5, 5), 1, 0, 2200, "A");
  db.AddFigureRow(101, 1, 1, P(0, 0), 0, 1, 0, "取ります");
  db.AddFigureRow(101, 2, 2, P(3, 3), 2, 0, 0, "白の手");
  db.AddFigureRow(101, 3, 1, P(3, 4), 3, 2, 0, "正解");
  db.AddFigureRow(101, 3, -1, P(4, 3), 0, 2, 0, "失敗");
  db.AddFigureRow(101, 4, 2, P(3, 4), 4, 0, 0, "白がよい");
  db.AddFigureRow(101, 0, 1, P(10, 10), 5, 9999, 2, "図Ｂ");
  db.AddFigureRow(201, 0, 2, P(0, 1), 1, 9999, 1);
  db.AddFigureRow(201, 1, 1, P(0, 0), 0, 1, 0);
  db.AddFigureRow(201, 2, 2, P(1, 0), 2, 0, 0);
}

class LessonTest : public ::testing::Test {
 protected:
  LessonTest()
      : main(board, view),
        contents(db),
        figures(db),
        branches(db),
        rows(figures),
        player(main, view, window, contents, figures),
        hooks(player),
        store(main, view, figures) {
    board.ProgramDirectory = "/prog/";
    main.SetFigureRows(&rows);
    main.SetHooks(&hooks);
    main.SetAdjournedGames(&store);
    main.ClearBoard();
    board.AppMode = kAppView;
    board.PlayMode = kPlayFree;
    main.SelectPlayModeButton(kPlayFree);
    AddFixtureLesson(db);
    OpenContents(contents, kAllContents);
  }

  // Makes the contents row of mnb current, as a click on DBGrid1 does.
  void ChooseContents(int mnb) { ASSERT_TRUE(contents.Locate("MNB", {mnb})); }
  // Shows a contents entry from the contents list.
  void ShowEntry(int mnb) {
    ChooseContents(mnb);
    player.DBGrid1CellClick();
  }
  int CurrentTNB() const { return figures.FieldInt(kFigureTNB); }
  // "1手進む" and "1手戻す" as the buttons run them.
  void StepForward() { player.CuteButton5Click(); }
  void TakeBack() { main.TakeBackClick(); }
  // A click on point p of the board.
  void Click(int p) { main.BoardClick(p, MouseButton::Left); }
  std::vector<int32_t> CellsNow() const { return board.Cells; }
  // The cell values of stones only: a redrawn path also marks background
  // texts (value 3) in Cells, a freshly shown figure does not.
  std::vector<int32_t> StonesNow() const {
    std::vector<int32_t> stones = board.Cells;
    for (int32_t& value : stones) {
      if (!IsStoneValue(value)) value = kEmpty;
    }
    return stones;
  }

  MemoryDatabase db;
  BoardState board;
  RecordingView view;
  RecordingLessonWindow window;
  BoardRules main;
  MemoryQuery contents;
  MemoryQuery figures;
  MemoryQuery branches;
  QueryFigureRows rows;
  FigurePlayer player;
  LessonBoardHooks hooks;
  AdjournedGameStore store;
};

}  // namespace momiro::testing

#endif  // MOMIRO_TESTS_LESSONS_SUPPORT_LESSON_FIXTURE_H_
