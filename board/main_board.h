// MainBoard: the board routines of the main window (19 lines).
//
// Composes the shared rules (capture, history, end of game) with the main
// window's own forms of ClearBoard and PlacePoint and its board click. It
// owns the capture check's working storage and nothing else: the state is
// the shared BoardState, the drawing goes to the window's BoardView, and the
// figure rows and lesson behaviour come from the lessons layer through
// FigureRows and MainBoardHooks (none during plain play).
#ifndef MOMIRO_BOARD_MAIN_BOARD_H_
#define MOMIRO_BOARD_MAIN_BOARD_H_

#include <string>

#include "board/board_state.h"
#include "board/board_view.h"
#include "board/capture.h"
#include "board/end_of_game.h"
#include "board/figure_rows.h"

namespace momiro {

enum class MouseButton { Left, Right, Middle };

// Lesson behaviour that board clicks and undo hand over to the lessons layer.
class MainBoardHooks {
 public:
  virtual ~MainBoardHooks() = default;
  // A click on a point showing the choice marker "●".
  virtual void ChooseContinuation(int p) = 0;
  // A click in the edit layout once a contents entry is chosen.
  virtual void RecordAuthoringEntry(int p, MouseButton button) = 0;
  // "1手戻す" with no played move left but a lesson step taken.
  virtual void StepLessonBack() = 0;
};

// Texts of the board's prompts and results.
inline constexpr const char* kChoiceMarker = "●";
inline constexpr const char* kDeadMarker = "*";
inline constexpr const char* kDoubleClickContents = "目次をダブルクリックしてください。";
inline constexpr const char* kEndOfGameNotice = "手入れの完了を確認してください。ダメ詰めは不要です。";
inline constexpr const char* kNothingToTakeBack = "もう戻せません。";
inline constexpr const char* kPleaseBegin = "始めてください。";

class MainBoard {
 public:
  // The board and view must outlive this object.
  MainBoard(BoardState& board, BoardView& view);
  MainBoard(const MainBoard&) = delete;
  MainBoard& operator=(const MainBoard&) = delete;

  // The lessons layer plugs in here; nullptr detaches.
  void SetFigureRows(FigureRows* figure) { figure_ = figure; }
  void SetHooks(MainBoardHooks* hooks) { hooks_ = hooks; }

  BoardState& Board() { return board_; }

  // --- Drawing --------------------------------------------------------------

  // Empties all 361 points and resets the play counters. LastPoint, the
  // modes, LineCount, ContentsNumber, the dead-group marking and the text
  // style are kept.
  void ClearBoard();
  // Draws one point with a display code (board_state.h) and, for stones,
  // runs the capture check. The caller has already written Cells entry p.
  void PlacePoint(int moveNumber, int colour, int point, int code, const std::string& text);
  // Wipes the text cells of all points that hold no stone.
  void ClearEmptyMarks();
  void CheckCaptures(int moveNumber, int point);

  // --- Clicks and modes -----------------------------------------------------

  // Label1MouseDown: a click on point p with a mouse button.
  void BoardClick(int p, MouseButton button);
  // Selects the play-mode radio button of mode as the program does: when it
  // was not selected, its handler runs just as a click does.
  void SelectPlayModeButton(int mode);
  int SelectedPlayModeButton() const { return selectedMode_; }
  void RadioButton1Click();  // "交互"
  void RadioButton2Click();  // "自由"
  void RadioButton3Click();  // "終局"

  // The board part of "１９路盤": clears the board and starts alternate
  // play with black; panel 0 shows "始めてください。".
  void BeginGame();
  // The board part of "対局終了": free mode and a cleared board.
  void EndGame();

  // --- History --------------------------------------------------------------

  void CuteButton7Click();  // "1手戻す"
  void UndoMove();
  void CuteButton6Click();  // "クリア"

  // --- End of game ----------------------------------------------------------

  // N9Click ("地の計算"): the count, only in end-of-game mode.
  void N9Click();

 private:
  void PlayClick(int p, MouseButton button);
  void DrawStonePicture(int point, int colour);

  BoardState& board_;
  BoardView& view_;
  FigureRows* figure_ = nullptr;    // the figure query while lessons are open; not owned
  MainBoardHooks* hooks_ = nullptr;  // lesson behaviour; not owned
  CaptureCheck captures_;
  int selectedMode_ = 0;  // play-mode radio button that is checked; 0 none
};

// "盤面：黒 B 目、白 W 目です。"
std::string MainCountText(const TerritoryCount& count);

}  // namespace momiro

#endif  // MOMIRO_BOARD_MAIN_BOARD_H_
