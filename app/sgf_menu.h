// TSgfMenu: the "SGF" menu of the main window — "読み込み…", "書き出し…" and
// "対局を書き出し…" — and the same "対局を書き出し…" in the 13- and 9-line
// windows, whose games live only while they are open.
//
// - "読み込み…" (SgfImport): a file; a 13- or 9-line record is placed as an
//   alternate game in the window of its size; a 19-line file is, as the
//   user chooses, a lesson (a new contents entry with the number and title
//   asked for, shown in the contents list afterwards) or a game on the main
//   board.
// - "書き出し…" (SgfExport): the contents entry shown (ContentsNumber) to a
//   file.
// - "対局を書き出し…" (SgfExportGame): the move list of the board in use.
// Every failure (a malformed file, a number in use, an engine error) ends
// the handler through the top-level handler, which shows its message in a
// message box; nothing is changed before the file has been read and checked.
// Lessons are written through queries of their own on the lesson database,
// so the lesson position in the figure query is kept until the contents
// list is reopened.
//
// The menu belongs to the main window (a QObject child); the windows and
// the data module outlive it. Dialogs go through SgfMenuDialogs, which the
// tests replace.
#ifndef MOMIRO_APP_SGF_MENU_H_
#define MOMIRO_APP_SGF_MENU_H_

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "app/main_window.h"
#include "lessons/sgf_reader.h"

namespace momiro {

class TSmallBoardWindow;

inline constexpr const char* kSgfMenuCaption = "SGF";
inline constexpr const char* kSgfImportCaption = "読み込み…";
inline constexpr const char* kSgfExportCaption = "書き出し…";
inline constexpr const char* kSgfExportGameCaption = "対局を書き出し…";
inline constexpr const char* kSgfExported = "SGF を書き出しました。";
inline constexpr const char* kChooseContentsToExport = "書き出す目次を選んでください。";

// What a 19-line file becomes.
enum class SgfImportKind { Lesson, Game };

class SgfMenuDialogs {
 public:
  virtual ~SgfMenuDialogs() = default;
  // A file to read or to write; empty when the user cancels.
  virtual QString OpenFileName(QWidget* parent) = 0;
  virtual QString SaveFileName(QWidget* parent, const QString& suggested) = 0;
  // Lesson or game for a 19-line file; nothing when cancelled.
  virtual std::optional<SgfImportKind> AskKind(QWidget* parent) = 0;
  // The contents number and title of an imported lesson (title starts as
  // the file's game name); false when cancelled.
  virtual bool AskContents(QWidget* parent, int& number, QString& title) = 0;
};

class TSgfMenu : public QObject {
  Q_OBJECT
 public:
  // Adds the menus to form (before its "終了" item) and to the small
  // windows; databaseName is the lesson database lessons are written to.
  TSgfMenu(TForm2& form, LessonData lessons, TSmallBoardWindow* form3, TSmallBoardWindow* form4,
           std::string databaseName = "kyozai");
  ~TSgfMenu() override;

  void SetDialogs(std::unique_ptr<SgfMenuDialogs> dialogs);

  void ImportClick();                         // "読み込み…"
  void ExportClick();                         // "書き出し…"
  void ExportGameClick(QWidget* window);      // "対局を書き出し…" of the window showing

 private:
  void ImportLesson(const SgfCollection& collection);
  TSmallBoardWindow* WindowOfSize(int lines) const;
  void ShowResult(const char* text);

  TForm2& form_;
  LessonData lessons_;
  TSmallBoardWindow* form3_;
  TSmallBoardWindow* form4_;
  std::string databaseName_;
  std::unique_ptr<SgfMenuDialogs> dialogs_;
};

}  // namespace momiro

#endif  // MOMIRO_APP_SGF_MENU_H_
