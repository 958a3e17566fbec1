// LessonAuthor: the lesson editor of the main window's edit layout.
//
// Board clicks record stones and text marks in the move list instead of
// playing; "基本図登録" stores the recorded entries as a basic figure under
// the letter of the figure box, "手順登録" as a sequence continuing the
// current branch row; "基本図削除" and "手順削除" remove stored runs; "MNB変"
// moves rows to another contents number and "図表示" shows the figures of a
// number typed into Edit3. Everything is written through the figure query
// (RUDIRAQuery2), whose current row is the lesson position; the structure of
// the rows is the one of lessons/lesson_tables.h.
//
// A recorded entry (move list and move texts at the same index); code is
// TextKind * 1000 + TextColour * 100, the display code is code div 100,
// number is the move number (+1: MoveNumber + 1) and "-" leaves Cells as it is:
//
//   click                  colour             Cells    number   code field   text
//   stone (Edit3 empty)    1 left, 2 other    colour   +1       0            empty
//   text, kind 1 "石上"    1 left, 2 other    colour   0        code         Edit3
//   text, kind 2 "背景"    3                  -        0        code         Edit3
//   text, kind 3 "直接"    0                  -        0        code         Edit3
//
// Nothing is owned: the rules, view, windows and queries outlive the author.
// Like every handler the routines catch nothing: engine errors, lesson-data
// errors (rows that break the structure) and EConvertError pass on to the
// top-level handler, and each check that refuses an action does so before
// anything is changed.
#ifndef MOMIRO_LESSONS_LESSON_AUTHOR_H_
#define MOMIRO_LESSONS_LESSON_AUTHOR_H_

#include <set>
#include <stdexcept>
#include <string>

#include "board/board_rules.h"
#include "board/board_state.h"
#include "board/board_view.h"
#include "lessons/authoring_window.h"
#include "lessons/lesson_query.h"
#include "lessons/lesson_window.h"

namespace momiro {

// Texts of the editor (status-bar panel 0 unless a message box is named).
inline constexpr const char* kChooseTextStyle = "文字仕様を選択してください";  // message box
inline constexpr const char* kStored = "登録しました。";
inline constexpr const char* kAlreadyStored = "既に登録されています。";  // message box
inline constexpr const char* kSequenceDeleted = "指定の手順を削除しました。";
inline constexpr const char* kBadContentsNumber = "MNBが不正です。";  // message box
// A store with no recorded entry stores nothing and says so.
inline constexpr const char* kNothingToStore = "登録する石や文字がありません。";
// The empty last item of the figure box names no letter.
inline constexpr const char* kChooseFigureLetter = "図を選択してください。";  // message box

// Rows are moved only to contents numbers from this one up: the lower ones
// are the lessons supplied with the program and the adjourned games.
constexpr int kFirstAuthoredNumber = 1000;

// Edit3 holds no integer where one is needed ("MNB変", "図表示").
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

// The integer Edit3 holds: optional blanks around an optional sign and
// decimal digits, within 32 bits. Anything else throws EConvertError
// "「text」は整数ではありません。".
int ParseEditNumber(const std::string& text);

class LessonAuthor {
 public:
  LessonAuthor(BoardRules& rules, BoardView& view, LessonWindow& window, AuthoringWindow& editor,
               LessonQuery& figures, LessonQuery& branches);
  LessonAuthor(const LessonAuthor&) = delete;
  LessonAuthor& operator=(const LessonAuthor&) = delete;

  // --- Handlers -------------------------------------------------------------

  // The text style; both halves stay 0 until chosen and are never reset.
  void RadioButton5Click() { board_.TextKind = kTextOnStone; }         // "石上"
  void RadioButton6Click() { board_.TextKind = kTextOnBackground; }    // "背景"
  void RadioButton7Click() { board_.TextKind = kTextDirect; }          // "直接"
  void RadioButton8Click() { board_.TextColour = kTextStandard; }      // "標準"
  void RadioButton9Click() { board_.TextColour = kTextGreen; }         // "緑"
  void RadioButton10Click() { board_.TextColour = kTextRed; }          // "赤"

  void CuteButton2Click() { StoreBasicFigure(); }     // "基本図登録"
  void CuteButton3Click() { DeleteBasicFigure(); }    // "基本図削除"
  void CuteButton8Click() { StoreSequence(); }        // "手順登録"
  void CuteButton4Click() { DeleteSequence(); }       // "手順削除"
  void CuteButton11Click() { MoveRowsToNumber(); }    // "MNB変"
  void CuteButton13Click() { ShowFigureByNumber(); }  // "図表示"

  // --- Routines -------------------------------------------------------------

  // A board click on point p in the edit layout: records one entry (table
  // above) and draws it. A text (Edit3 not empty) without a complete text
  // style shows "文字仕様を選択してください" and records nothing.
  // REQUIRES: 1 <= p <= kMaxPoints.
  void RecordAuthoringClick(int p, MouseButton button);

  // Appends the recorded entries as a basic figure of ContentsNumber under
  // the figure box's letter (図Ａ when none is chosen): TES 0, BTO 9999 and
  // the letter in DTX on the first row, the next free branch number on the
  // last. Then the rows are renumbered, the move list and Edit3 emptied and
  // "登録しました。" shown. The current row is the figure's branch row.
  void StoreBasicFigure();
  // Deletes the basic figure of the box's letter and every row after it up
  // to the next basic figure (the sequences stored directly after it), and
  // the runs stored elsewhere that continue the deleted branch rows; then
  // clears the board. A letter without a figure deletes nothing and shows
  // "この図はありません。".
  void DeleteBasicFigure();
  // Appends the recorded entries (stones: TES, COL, PST) as a sequence that
  // continues the branch row at or after the current row, with the next
  // free branch number on its last row, which becomes the current row. A
  // sequence whose first move already continues that branch row after it
  // shows "既に登録されています。" and stores nothing; the lesson position
  // stays on the branch row.
  void StoreSequence();
  // Deletes the run that holds the current row, from its first row through
  // its branch row; runs that continue from that branch row stay. Clears the
  // board and shows "指定の手順を削除しました。". A run that does not end with
  // a branch row is refused (ELessonDataError) before any row is deleted.
  void DeleteSequence();
  // Moves the current row and the rows after it, up to the next basic
  // figure, to the contents number in Edit3; rows with a display code keep
  // kind and colour and take the box's letter. Then ContentsNumber is that
  // number and its rows are open in the figure grid; the board is not
  // redrawn. A number below 1000 shows "MNBが不正です。" and moves nothing.
  void MoveRowsToNumber();
  // Clears the board and shows the basic figure of the box's letter under
  // the contents number in Edit3, in free play mode, without help topic.
  void ShowFigureByNumber();

 private:
  // Edit3 as an integer; throws EConvertError before anything changes.
  int Edit3Number() const;
  // The figure letter of the box for a store or a move: item 0 is selected
  // when none is; 0 for the empty last item, which names no letter.
  int ChosenLetterSelectingFirst();
  // Renumbers the open figure rows 1..n and returns to the row that was
  // current, so that TNB gives positions also for rows appended since the
  // last opening.
  void RenumberKeepingRow();
  // Deletes the current row; a branch number it carries joins removed.
  void DeleteRowNoting(std::set<int>& removed);
  // Deletes every run whose first row continues a branch number in removed,
  // and in turn the runs continuing those, wherever they are stored: they
  // could never be reached again, and once such a number is handed out anew
  // they would follow an unrelated row.
  void DeleteOrphanedRuns(std::set<int>& removed);
  // Draws the basic figure from its first row (the current row) to its
  // branch row or a row with point 0.
  void DrawBasicFigure();

  BoardRules& rules_;
  BoardState& board_;
  BoardView& view_;
  LessonWindow& window_;    // ComboBox1
  AuthoringWindow& editor_; // Edit3
  LessonQuery& figures_;    // RUDIRAQuery2
  LessonQuery& branches_;   // RUDIRAQuery4
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_LESSON_AUTHOR_H_
