// BoardRules: the board routines of one board window.
//
// One implementation serves the main window (19 lines, with lessons) and the
// small windows (13 and 9 lines, play only); the window's BoardKind decides
// the few places where they differ:
//
//   main                                 small
//   ClearBoard: all 361 points, " "      small clear: N x N points, empty
//     in each text cell, panels 0, 1       text, panel 0, then "始めてください。"
//   board click: "●" continues a lesson, Shift + click on a stone takes it
//     the edit layout authors               off without a record
//   play: ClearEmptyMarks, transparent   none of these
//     cells, LessonStepTaken, comment
//   PlacePoint: authored texts, red      stones only
//     wrong-answer numbers, figure rows
//   take back: lesson step-back when     always hands the turn over
//     nothing is played
//   count: only in end-of-game mode,     any mode, "黒 ... 目、白 ... 目です。"
//     "盤面：黒 ... 目、白 ... 目です。"
//
// It owns the capture check's working storage and the checked play-mode
// button of its window and nothing else: the state is the shared
// BoardState, the drawing goes to the window's BoardView, and figure rows,
// lesson behaviour and adjourned games come through the interfaces below
// (none during plain play).
#ifndef MOMIRO_BOARD_BOARD_RULES_H_
#define MOMIRO_BOARD_BOARD_RULES_H_

#include <string>

#include "board/board_state.h"
#include "board/board_view.h"
#include "board/capture.h"
#include "board/end_of_game.h"
#include "board/figure_rows.h"

namespace momiro {

enum class MouseButton { Left, Right, Middle };

enum class BoardKind {
  Main,   // TForm2: 19 lines, lessons and authoring
  Small,  // TForm3 / TForm4: 13 or 9 lines, play only
};

// Lesson behaviour that board clicks and undo hand over to the lessons layer.
class BoardHooks {
 public:
  virtual ~BoardHooks() = default;
  // A click on a point showing the choice marker "●".
  virtual void ChooseContinuation(int p) = 0;
  // A click in the edit layout once a contents entry is chosen.
  virtual void RecordAuthoringEntry(int p, MouseButton button) = 0;
  // "1手戻す" with no played move left but a lesson step taken.
  virtual void StepLessonBack() = 0;
};

// The adjourned game of the board's size, kept by the lessons layer.
class AdjournedGames {
 public:
  virtual ~AdjournedGames() = default;
  // Stores the recorded moves as the game of LineCount lines; nothing is
  // stored when no move is recorded.
  virtual void SaveAdjournedGame() = 0;
};

// Texts of the board's prompts and results.
inline constexpr const char* kChoiceMarker = "●";
inline constexpr const char* kDeadMarker = "*";
inline constexpr const char* kDoubleClickContents = "目次をダブルクリックしてください。";
inline constexpr const char* kEndOfGameNotice = "手入れの完了を確認してください。ダメ詰めは不要です。";
inline constexpr const char* kNothingToTakeBack = "もう戻せません。";
inline constexpr const char* kPleaseBegin = "始めてください。";

class BoardRules {
 public:
  // The board and view must outlive this object.
  BoardRules(BoardState& board, BoardView& view, BoardKind kind = BoardKind::Main);
  BoardRules(const BoardRules&) = delete;
  BoardRules& operator=(const BoardRules&) = delete;

  // The lessons layer plugs in here; nullptr detaches.
  void SetFigureRows(FigureRows* figure) { figure_ = figure; }
  void SetHooks(BoardHooks* hooks) { hooks_ = hooks; }
  void SetAdjournedGames(AdjournedGames* games) { adjourned_ = games; }

  BoardState& Board() { return board_; }
  BoardKind Kind() const { return kind_; }

  // --- Drawing --------------------------------------------------------------

  // Main: empties all 361 points and resets the play counters; LastPoint,
  // the modes, LineCount, ContentsNumber, the dead-group marking and the
  // text style are kept. Small: the small clear of the window's N x N points.
  void ClearBoard();
  // Draws one point with a display code (board_state.h) and, for stones,
  // runs the capture check. The caller has already written Cells entry p.
  // The small windows draw stones only and take no text.
  void PlacePoint(int moveNumber, int colour, int point, int code, const std::string& text);
  // Wipes the text cells of all points that hold no stone.
  void ClearEmptyMarks();
  void CheckCaptures(int moveNumber, int point);

  // --- Clicks and modes -----------------------------------------------------

  // Label1MouseDown: a click on point p with a mouse button, Shift held or not.
  void BoardClick(int p, MouseButton button, bool shift = false);
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
  // The board part of opening a small window ("１３路盤", "９路盤").
  // REQUIRES: Kind() == BoardKind::Small.
  void BeginSmallGame();
  // The board part of "対局終了": free mode and a cleared board.
  void EndGame();

  // --- History --------------------------------------------------------------

  // "1手戻す" (main CuteButton7, small CuteButton1).
  void TakeBackClick();
  void UndoMove();
  // "クリア" (main CuteButton6, small CuteButton2). The small windows store
  // the game as the adjourned game of their size first.
  void ClearClick();

  // --- End of game ----------------------------------------------------------

  // "地の計算": main only in end-of-game mode; small in any mode.
  void CountClick();

 private:
  void PlayClick(int p, MouseButton button);
  void DrawStonePicture(int point, int colour);
  void ClearMainBoard();
  void ClearSmallBoard();

  BoardState& board_;
  BoardView& view_;
  const BoardKind kind_;
  FigureRows* figure_ = nullptr;          // the figure query while lessons are open; not owned
  BoardHooks* hooks_ = nullptr;           // lesson behaviour; not owned
  AdjournedGames* adjourned_ = nullptr;   // adjourned-game store; not owned
  CaptureCheck captures_;
  int selectedMode_ = 0;  // play-mode radio button that is checked; 0 none
};

// "盤面：黒 B 目、白 W 目です。" (main window) and "黒 B 目、白 W 目です。"
// (small windows).
std::string MainCountText(const TerritoryCount& count);
std::string SmallCountText(const TerritoryCount& count);

}  // namespace momiro

#endif  // MOMIRO_BOARD_BOARD_RULES_H_
