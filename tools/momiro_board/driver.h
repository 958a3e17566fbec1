// The command protocol of momiro-board: the board code driven line by line,
// for tests and debugging, without a window.
//
//   size 19|13|9      board size (19: the main window's board and rules)
//   new               begin a game, as "１９路盤" does
//   mode alternate|free|end
//                     select a play-mode radio button as the program does
//   click P [left|right|shift-left|shift-right]
//                     a board click on point P (default left)
//   undo              "1手戻す"
//   clear             "クリア"
//   count             "地の計算"
//   print             the board, then a line of counters
//
// Texts the board writes to status-bar panel 0 come out as "status: TEXT",
// message boxes as "message: TEXT" (non-empty texts only); errors as
// "error: TEXT".
#ifndef MOMIRO_TOOLS_MOMIRO_BOARD_DRIVER_H_
#define MOMIRO_TOOLS_MOMIRO_BOARD_DRIVER_H_

#include <memory>
#include <ostream>
#include <string>

#include "board/board_state.h"
#include "board/board_rules.h"

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

  std::ostream& out_;
  BoardState board_;
  std::unique_ptr<PrintingView> view_;
  std::unique_ptr<BoardRules> main_;
};

}  // namespace momiro

#endif  // MOMIRO_TOOLS_MOMIRO_BOARD_DRIVER_H_
