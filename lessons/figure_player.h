// FigurePlayer: the lesson player of the main window.
//
// A contents entry shows its first basic figure; the figure letter box and
// "次の図" / "前の図" move between the entry's figures; "1手進む" replays the
// stored sequences one move at a time, offering green or red circles where
// several continue; "1手戻す" (once no played move is left) steps back one
// move, "１手順戻す" one whole sequence, and a click on a row of the figure
// grid redraws the board up to that row.
//
// The lesson position is the figure query's current row; all other lesson
// state is in the shared BoardState (ContentsNumber, FigureLetter, Choices,
// ChoicePending, LessonStepTaken). The board is drawn with the main window's
// BoardRules, which must have a FigureRows over the same figure query
// (QueryFigureRows) so that PlacePoint and the capture check see the rows.
// Nothing here is owned: the rules, view, window and queries outlive the
// player.
//
// Lessons deeper than kMaxPathDepth runs (counting the basic figure) or with
// more than 20 continuations at one branch row are refused with an
// ELessonDataError, as are rows that would draw off the board or draw a
// stone without a stone colour.
#ifndef MOMIRO_LESSONS_FIGURE_PLAYER_H_
#define MOMIRO_LESSONS_FIGURE_PLAYER_H_

#include "board/board_rules.h"
#include "board/board_state.h"
#include "board/board_view.h"
#include "lessons/lesson_query.h"
#include "lessons/lesson_window.h"

namespace momiro {

// Texts of the player (status-bar panel 0 unless a message box is named).
inline constexpr const char* kNoSuchFigure = "この図はありません。";
inline constexpr const char* kNoEarlierFigure = "前には戻れません。";  // message box
inline constexpr const char* kCannotGoOn = "もう進めません。";
inline constexpr const char* kClickACircle = "緑丸か赤丸の一つをクリックしてください。";
inline constexpr const char* kClickAPoint = "緑点か赤点をクリックしてください。";  // message box
inline constexpr const char* kPleaseGoOn = "進めてください。";
inline constexpr const char* kSequenceEnded = "登録手順は終了です。";
inline constexpr const char* kCannotGoBack = "もう戻せません。";
inline constexpr const char* kSequenceTakenBack = "１手順戻しました。";

// Runs a path can hold, the basic figure included.
constexpr int kMaxPathDepth = 10;

class FigurePlayer {
 public:
  FigurePlayer(BoardRules& rules, BoardView& view, LessonWindow& window, LessonQuery& contents,
               LessonQuery& figures);
  FigurePlayer(const FigurePlayer&) = delete;
  FigurePlayer& operator=(const FigurePlayer&) = delete;

  // --- Handlers -------------------------------------------------------------

  // DBGrid1CellClick / DBGrid1DblClick: the clicked contents row is current.
  void DBGrid1CellClick() { ShowFigure(true); }
  // ComboBox1Click: the letter chosen in the box.
  void ComboBox1Click();
  void CuteButton14Click();  // "次の図"
  void CuteButton15Click();  // "前の図"
  void CuteButton9Click();   // "元に戻す"
  void CuteButton5Click();   // "1手進む"
  void CuteButton10Click() { BackOneSequence(); }  // "１手順戻す"
  // DBGrid2CellClick: the clicked figure row is current.
  void DBGrid2CellClick() { RebuildPath(); }

  // --- Routines -------------------------------------------------------------

  // Clears the board and shows the basic figure of the contents entry
  // (fromContents: its first letter) or of the letter box's letter. The
  // current row is then the figure's branch row. A letter without a figure,
  // or an entry numbered 0, leaves the board empty with "この図はありません。".
  void ShowFigure(bool fromContents);
  // Shows the collected continuations as "●" in green (correct) or red
  // (wrong) and waits for a click. Nothing in the edit layout.
  void ShowChoices();
  // One stored move forward from the current row.
  void StepForward();
  // A click on the "●" at point p: plays that continuation's first move.
  // A "●" that is no offered continuation (an authored text) does nothing.
  void TakeChoice(int p);
  // The lesson side of "1手戻す": takes the current sequence row off again,
  // with the stones it captured. At a basic figure only "もう戻せません。".
  void StepBack();
  // Back to the branch row the current sequence continues from.
  void BackOneSequence();
  // Redraws everything that leads to the current row.
  void RebuildPath();

 private:
  // Raises ELessonDataError (naming the current row) unless p is on the
  // board and a stone code comes with a stone colour.
  void CheckDrawable(int colour, int p, int code) const;
  // Checks the current row, writes cellValue to Cells entry p and draws the
  // point with PlacePoint and the row's comment.
  void DrawCurrentRow(int moveNumber, int colour, int p, int code, int cellValue);
  // Draws the run that contains the current row, from its first row to its
  // branch row (the current row afterwards).
  void ReplayRun();

  BoardRules& rules_;
  BoardState& board_;
  BoardView& view_;
  LessonWindow& window_;
  LessonQuery& contents_;  // RUDIRAQuery1
  LessonQuery& figures_;   // RUDIRAQuery2
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_FIGURE_PLAYER_H_
