// A main board in the view layout over a recording view, as the program has
// it after start-up (free mode, empty board).
#ifndef MOMIRO_TESTS_BOARD_SUPPORT_BOARD_RULES_FIXTURE_H_
#define MOMIRO_TESTS_BOARD_SUPPORT_BOARD_RULES_FIXTURE_H_

#include <gtest/gtest.h>

#include "board/board_rules.h"
#include "recording_view.h"
#include "text_board.h"

namespace momiro::testing {

class BoardRulesTest : public ::testing::Test {
 protected:
  BoardRulesTest() : main(board, view) {
    board.ProgramDirectory = "/prog/";
    main.ClearBoard();
    board.AppMode = kAppView;
    board.PlayMode = kPlayFree;
    main.SelectPlayModeButton(kPlayFree);
  }

  static int P(int row, int column) { return DiagramPoint(row, column); }
  void Black(int p) { main.BoardClick(p, MouseButton::Left); }   // free mode
  void White(int p) { main.BoardClick(p, MouseButton::Right); }  // free mode
  std::vector<std::string> Corner(int size) const {
    std::vector<std::string> rows = BoardRows(board);
    rows.resize(size);
    for (std::string& row : rows) row.resize(size);
    return rows;
  }

  BoardState board;
  RecordingView view;
  BoardRules main;
};

}  // namespace momiro::testing

#endif  // MOMIRO_TESTS_BOARD_SUPPORT_BOARD_RULES_FIXTURE_H_
