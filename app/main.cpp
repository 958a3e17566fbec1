// Program entry of Momiro.
//
//   momiro                     the program
//   momiro --screenshot FILE   renders the main window after start-up into a
//                              PNG and exits
//   momiro --actions FILE [--keep]
//                              performs the actions of FILE (action_runner.h)
//                              and exits, or stays open with --keep
// Without a display, the two non-interactive forms run on Qt's offscreen
// platform.
#include <QApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/action_runner.h"
#include "app/cell_widgets.h"
#include "app/main_window.h"
#include "app/password_dialog.h"
#include "app/sgf_menu.h"
#include "app/small_board_window.h"
#include "app/termination.h"
#include "board/board_state.h"
#include "lessons/data_module.h"

namespace {

struct Options {
  std::string screenshot;
  std::string actions;
  bool keep = false;
  bool valid = true;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--screenshot" && i + 1 < argc) {
      options.screenshot = argv[++i];
    } else if (arg == "--actions" && i + 1 < argc) {
      options.actions = argv[++i];
    } else if (arg == "--keep") {
      options.keep = true;
    } else {
      options.valid = false;
    }
  }
  return options;
}

bool HaveDisplay() {
  return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  if (!options.valid) {
    std::fprintf(stderr, "usage: momiro [--screenshot FILE] [--actions FILE [--keep]]\n");
    return 2;
  }
  const bool scripted = !options.screenshot.empty() || !options.actions.empty();
  if (scripted && !HaveDisplay() && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(momiro::kProgramTitle);
  momiro::InstallFontSubstitutes();
  // Sessions ask this dialog when an encrypted table needs a password.
  momiro::InstallPasswordDialog();

  // Without a user nothing may block, not even a message of the start-up.
  QTextStream out(stdout);
  if (scripted) momiro::EnterScriptedDialogs(out);

  // The one board state of the run, shared by the board windows.
  momiro::BoardState board;
  // The data module comes first and goes last: the windows show and play
  // its queries. The lesson database "kyozai" is the directory kyozai under
  // the current directory.
  momiro::TDataModule1 dataModule1;
  momiro::TForm2 form2(board, momiro::LessonDataOf(dataModule1));
  momiro::TSmallBoardWindow form3(board, 13, &dataModule1.Figures());
  momiro::TSmallBoardWindow form4(board, 9, &dataModule1.Figures());
  form2.SetSmallWindows(&form3, &form4);
  // The "SGF" menu belongs to the main window.
  new momiro::TSgfMenu(form2, momiro::LessonDataOf(dataModule1), &form3, &form4);

  if (!options.screenshot.empty()) {
    form2.show();
    QApplication::processEvents();
    if (!form2.grab().save(QString::fromStdString(options.screenshot), "PNG")) {
      std::fprintf(stderr, "momiro: cannot write %s\n", options.screenshot.c_str());
      return 1;
    }
    return 0;
  }

  if (!options.actions.empty()) {
    QFile file(QString::fromStdString(options.actions));
    if (!file.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "momiro: cannot read %s\n", options.actions.c_str());
      return 1;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    momiro::EnterScriptedMode(out);
    form2.show();
    QApplication::processEvents();
    momiro::TActionRunner runner(out, &form2);
    const bool ok = runner.Run(lines);
    out.flush();
    if (!ok) return 1;
    if (!options.keep || momiro::TerminationRequested()) return 0;
  } else {
    form2.show();
  }
  return QApplication::exec();
}
