// The command protocol of momiro-board: the board code driven line by line,
// for tests and debugging, without a window.
//
//   size 19|13|9      switch board: 19 is the main window's board and rules;
//                     13 and 9 open the small window of that size as the
//                     main window's menu does, and 19 returns from it
//   new               begin a game, as "１９路盤" does on 19 lines and as
//                     opening the small window does on 13 and 9
//   mode alternate|free|end
//                     select a play-mode radio button as the program does
//   click P [left|right|shift-left|shift-right]
//                     a board click on point P (default left)
//   undo              "1手戻す"
//   clear             "クリア"
//   count             "地の計算"
//   save              "打ち掛け" -> "保存": stores the game of the board in use
//   restore           "打ち掛け" -> "復元": clears that board and replays its
//                     stored game
//   print             the board, then a line of counters
//
// The adjourned games are figure rows of the lesson database `kyozai` under
// the current directory, reached through the program's data module; "clear"
// on the 13- and 9-line boards stores the game first, as their windows do.
// The database is opened at the first command that needs it.
//
// Texts the board writes to status-bar panel 0 come out as "status: TEXT",
// message boxes as "message: TEXT" (non-empty texts only); errors as
// "error: TEXT", also the engine's and the lesson data's errors (no kyozai,
// a stored row off the board), after which the next command runs.
#ifndef MOMIRO_TOOLS_MOMIRO_BOARD_DRIVER_H_
#define MOMIRO_TOOLS_MOMIRO_BOARD_DRIVER_H_

#include <memory>
#include <ostream>
#include <string>

#include "board/board_state.h"
#include "board/board_rules.h"
#include "lessons/adjourned_game_store.h"
#include "lessons/data_module.h"

namespace momiro {

class BoardDriver {
 public:
  explicit BoardDriver(std::ostream& out);
  ~BoardDriver();

  // Runs one command line; its answers go to the output stream.
  void Execute(const std::string& line);

 private:
  class PrintingView;

  void Print();
  void Click(const std::string& pointText, const std::string& buttonText);
  void SwitchTo(int lines);
  void Run(const std::string& line);
  // The adjourned-game store of the board in use.
  AdjournedGameStore& ActiveStore();
  // The rules of the board in use.
  BoardRules& Active();

  std::ostream& out_;
  BoardState board_;
  std::unique_ptr<PrintingView> view_;  // the main window's cells
  std::unique_ptr<PrintingView> smallView13_;
  std::unique_ptr<PrintingView> smallView9_;
  std::unique_ptr<BoardRules> main_;
  std::unique_ptr<BoardRules> small13_;
  std::unique_ptr<BoardRules> small9_;
  // The data module and one store per board, over the figure query.
  std::unique_ptr<TDataModule1> dataModule_;
  std::unique_ptr<AdjournedGameStore> store19_;
  std::unique_ptr<AdjournedGameStore> store13_;
  std::unique_ptr<AdjournedGameStore> store9_;
  int lines_ = 19;  // board in use
};

}  // namespace momiro

#endif  // MOMIRO_TOOLS_MOMIRO_BOARD_DRIVER_H_
