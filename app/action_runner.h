// TActionRunner: the scripted mode of the program (momiro --actions FILE).
//
// Runs the real windows and performs one action per line of a UTF-8 file:
//   click NAME [left|right|shift-left|shift-right]   mouse click on a component
//   menu PATH              a menu item by its captions ("碁盤選択/１９路盤")
//   select ComboBox1 INDEX an item chosen as a click does
//   grid DBGrid1 ROW       a grid row clicked (0-based)
//   type Edit3 TEXT        an edit box's text
//   answer yes|no|ok       the answer to the next message box
//   shot FILE              the active window rendered to a PNG
//   diagram FILE [svg] [scale S] [caption]
//                          the answer of the next "図を保存…" dialog
//   wait MS                let the event loop run for MS milliseconds
// A NAME may be qualified by its window's class name ("TForm3.Label5");
// unqualified names are looked up in the active window. Message boxes never
// block: each prints "message: TEXT". Status panels 0 and 1 print
// "status0: TEXT" and "status1: TEXT" on every change.
#ifndef MOMIRO_APP_ACTION_RUNNER_H_
#define MOMIRO_APP_ACTION_RUNNER_H_

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QWidget>

namespace momiro {

class TActionRunner {
 public:
  // out receives everything the mode prints. `activeWindow` is the window
  // actions go to when no other top-level window of the program is shown.
  TActionRunner(QTextStream& out, QWidget* mainWindow);

  // Runs every line; false after the first action that failed (its
  // "error: ..." line is printed and the rest is not run).
  bool Run(const QStringList& lines);
  // Runs one line; false (with "error: ...") when it cannot be done.
  bool RunLine(const QString& line);

 private:
  QWidget* ActiveWindow() const;
  QWidget* FindComponent(const QString& name, QString* error) const;
  bool Click(const QStringList& words);
  bool Menu(const QString& path);
  bool Fail(const QString& message);

  QTextStream& out_;
  QWidget* mainWindow_;
};

// Puts the message boxes into the scripted mode, printing to out: used
// before the windows are made, so that a message of the start-up (no lesson
// database) never blocks a run without a user.
void EnterScriptedDialogs(QTextStream& out);
// Puts the message boxes and status panels into the scripted mode, printing
// to out.
void EnterScriptedMode(QTextStream& out);

}  // namespace momiro

#endif  // MOMIRO_APP_ACTION_RUNNER_H_
