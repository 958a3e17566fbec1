#include "app/action_runner.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QThread>

#include "app/diagram_save_dialog.h"
#include "app/status_panels.h"
#include "app/termination.h"
#include "app/user_dialogs.h"

namespace momiro {
namespace {

void Pump(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  do {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  } while (timer.elapsed() < milliseconds);
}

// Sends a real press and release to the widget's centre, as a mouse would.
void SendClick(QWidget* widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
  const QPointF global = widget->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, modifiers);
  QApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton, modifiers);
  QApplication::sendEvent(widget, &release);
}

}  // namespace

void EnterScriptedDialogs(QTextStream& out) {
  TUserDialogs::SetScripted([&out](const QString& text) {
    out << "message: " << text << "\n";
    out.flush();
  });
}

void EnterScriptedMode(QTextStream& out) {
  EnterScriptedDialogs(out);
  TStatusPanels::SetObserver([&out](int panel, const QString& text) {
    if (panel == 2) return;  // the clock
    out << "status" << panel << ": " << text << "\n";
    out.flush();
  });
}

TActionRunner::TActionRunner(QTextStream& out, QWidget* mainWindow)
    : out_(out), mainWindow_(mainWindow) {}

bool TActionRunner::Fail(const QString& message) {
  out_ << "error: " << message << "\n";
  out_.flush();
  return false;
}

QWidget* TActionRunner::ActiveWindow() const {
  // A modal window shown by the program (a small board) takes the actions.
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return mainWindow_;
}

QWidget* TActionRunner::FindComponent(const QString& name, QString* error) const {
  QWidget* window = ActiveWindow();
  QString child = name;
  const int dot = name.indexOf('.');
  if (dot > 0) {
    const QString windowName = name.left(dot);
    child = name.mid(dot + 1);
    window = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->objectName() == windowName) window = top;
    }
    if (window == nullptr) {
      *error = "unknown window " + windowName;
      return nullptr;
    }
  }
  QWidget* found = window->findChild<QWidget*>(child);
  if (found == nullptr) *error = "unknown component " + name;
  return found;
}

bool TActionRunner::Click(const QStringList& words) {
  if (words.size() < 2 || words.size() > 3) return Fail("click NAME [left|right|shift-left|shift-right]");
  QString error;
  QWidget* widget = FindComponent(words[1], &error);
  if (widget == nullptr) return Fail(error);
  const QString how = words.size() == 3 ? words[2] : "left";
  Qt::MouseButton button = Qt::LeftButton;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  if (how == "right" || how == "shift-right") button = Qt::RightButton;
  else if (how != "left" && how != "shift-left") return Fail("unknown button " + how);
  if (how.startsWith("shift-")) modifiers = Qt::ShiftModifier;
  if (auto* button_ = qobject_cast<QAbstractButton*>(widget); button_ && button == Qt::LeftButton) {
    button_->click();  // a button's click, including radio buttons
  } else {
    SendClick(widget, button, modifiers);
  }
  return true;
}

bool TActionRunner::Menu(const QString& path) {
  auto* window = qobject_cast<QMainWindow*>(ActiveWindow());
  if (window == nullptr) return Fail("the active window has no menu");
  const QStringList captions = path.split('/');
  QList<QAction*> actions = window->menuBar()->actions();
  for (int i = 0; i < captions.size(); ++i) {
    QAction* found = nullptr;
    for (QAction* action : actions) {
      if (action->text() == captions[i]) found = action;
    }
    if (found == nullptr) return Fail("unknown menu " + path);
    if (i + 1 == captions.size()) {
      if (found->menu() != nullptr) return Fail("menu " + path + " is not a command");
      found->trigger();
      return true;
    }
    if (found->menu() == nullptr) return Fail("unknown menu " + path);
    actions = found->menu()->actions();
  }
  return Fail("empty menu path");
}

bool TActionRunner::RunLine(const QString& rawLine) {
  const QString line = rawLine.trimmed();
  if (line.isEmpty() || line.startsWith('#')) return true;
  const QStringList words = line.split(' ', Qt::SkipEmptyParts);
  const QString& verb = words[0];
  QString error;
  bool ok = true;
  if (verb == "click") {
    ok = Click(words);
  } else if (verb == "menu" && words.size() == 2) {
    ok = Menu(words[1]);
  } else if (verb == "select" && words.size() == 3) {
    auto* box = qobject_cast<QComboBox*>(FindComponent(words[1], &error));
    if (box == nullptr) return Fail(error.isEmpty() ? words[1] + " is not a drop-down list" : error);
    bool number = false;
    const int index = words[2].toInt(&number);
    if (!number || index < 0 || index >= box->count()) return Fail("no item " + words[2]);
    box->setCurrentIndex(index);
    emit box->activated(index);
  } else if (verb == "grid" && words.size() == 3) {
    auto* grid = qobject_cast<QAbstractItemView*>(FindComponent(words[1], &error));
    if (grid == nullptr) return Fail(error.isEmpty() ? words[1] + " is not a grid" : error);
    bool number = false;
    const int row = words[2].toInt(&number);
    if (!number || grid->model() == nullptr || row < 0 || row >= grid->model()->rowCount()) {
      return Fail("no row " + words[2]);
    }
    const QModelIndex index = grid->model()->index(row, 0);
    grid->setCurrentIndex(index);
    emit grid->clicked(index);
  } else if (verb == "type" && words.size() >= 2) {
    auto* edit = qobject_cast<QLineEdit*>(FindComponent(words[1], &error));
    if (edit == nullptr) return Fail(error.isEmpty() ? words[1] + " is not an edit box" : error);
    const int start = line.indexOf(words[1]) + words[1].size() + 1;
    edit->setText(start < line.size() ? line.mid(start) : QString());
  } else if (verb == "answer" && words.size() == 2) {
    if (words[1] == "yes") TUserDialogs::QueueAnswer(DialogAnswer::Yes);
    else if (words[1] == "no") TUserDialogs::QueueAnswer(DialogAnswer::No);
    else if (words[1] == "ok") TUserDialogs::QueueAnswer(DialogAnswer::Ok);
    else return Fail("answer yes, no or ok");
  } else if (verb == "shot" && words.size() == 2) {
    QWidget* window = ActiveWindow();
    if (!window->grab().save(words[1], "PNG")) return Fail("cannot write " + words[1]);
  } else if (verb == "diagram" && words.size() >= 2) {
    DiagramSaveOptions options{words[1], FormatOfFileName(words[1]), 1, false};
    for (int i = 2; i < words.size(); ++i) {
      if (words[i] == "svg") {
        options.format = DiagramFormat::Svg;
      } else if (words[i] == "caption") {
        options.caption = true;
      } else if (words[i] == "scale" && i + 1 < words.size()) {
        options.scale = words[++i].toInt();
      } else {
        return Fail("diagram FILE [svg] [scale S] [caption]");
      }
    }
    TDiagramSaveDialog::QueueAnswer(options);
  } else if (verb == "wait" && words.size() == 2) {
    Pump(words[1].toInt());
  } else {
    return Fail("unknown action: " + line);
  }
  if (!ok) return false;
  QApplication::processEvents();
  return true;
}

bool TActionRunner::Run(const QStringList& lines) {
  for (const QString& line : lines) {
    if (!RunLine(line)) return false;
    if (TerminationRequested()) break;  // the user ended the program
  }
  return true;
}

}  // namespace momiro
