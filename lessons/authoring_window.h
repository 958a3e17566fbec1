// AuthoringWindow: the edit-layout controls of the main window that lesson
// authoring (lessons/lesson_author.h) reads and writes besides the board
// cells, the status bar and the message box (those go through BoardView) and
// the figure letter box (LessonWindow).
//
// The main window TForm2 implements it over Edit3, the one-line box in which
// the author types a text mark or a contents number; the tests implement it
// with a recorder. It is kept apart from LessonWindow so that the player's
// window interface does not grow with the editor.
//
// What the main window provides for authoring, all in its edit layout
// ("編集"):
// - Edit3: its text as typed (UTF-8), and emptied after a basic figure is
//   stored (this interface).
// - ComboBox1 through LessonWindow: the selected item decides the figure
//   letter under which a basic figure is stored, deleted, moved or shown.
// - BoardView: the board cells, status-bar panel 0, sounds and the plain
//   message box for "文字仕様を選択してください", "既に登録されています。" and
//   "MNBが不正です。".
// - The text-style radio buttons, passed in as clicks: RadioButton5 "石上",
//   RadioButton6 "背景", RadioButton7 "直接" (one group) and RadioButton8
//   "標準", RadioButton9 "緑", RadioButton10 "赤" (another) call
//   LessonAuthor::RadioButton5Click ... RadioButton10Click, which keep the
//   chosen style in BoardState (TextKind, TextColour).
// - The buttons: CuteButton2 "基本図登録", CuteButton3 "基本図削除",
//   CuteButton8 "手順登録", CuteButton4 "手順削除", CuteButton11 "MNB変" and
//   CuteButton13 "図表示" call the LessonAuthor handlers of the same names.
// - Board clicks: LessonBoardHooks::SetAuthor hands the edit layout's board
//   clicks (BoardRules::BoardClick with a contents entry chosen) to
//   LessonAuthor::RecordAuthoringClick.
// - DBGrid2 editable over DataSource2, so that the author corrects row
//   fields by hand through the live figure query.
// - Errors thrown by the handlers (EConvertError for a non-numeric Edit3,
//   engine and lesson-data errors) reach the top-level handler, which shows
//   their message in a message box.
#ifndef MOMIRO_LESSONS_AUTHORING_WINDOW_H_
#define MOMIRO_LESSONS_AUTHORING_WINDOW_H_

#include <string>

namespace momiro {

class AuthoringWindow {
 public:
  virtual ~AuthoringWindow() = default;

  // Edit3's text as typed; the empty text when the box is empty.
  virtual std::string Edit3Text() const = 0;
  virtual void SetEdit3Text(const std::string& text) = 0;
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_AUTHORING_WINDOW_H_
