// The Qt program itself on the offscreen platform, over a kyozai of the
// supplied lessons plus one lesson whose figure has 100 rows:
//   StartUpToFirstShownWindow  data module, the three windows, the main
//                              window shown and painted (as main.cpp starts)
//   BoardClickToDrawnStone     a click on a text cell in alternate play until
//                              the stone is painted
//   ShowFigureOf100Rows        "図選択" of a 100-row basic figure until the
//                              board is painted (query, renumbering, drawing)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/cell_widgets.h"
#include "app/main_window.h"
#include "app/small_board_window.h"
#include "app/user_dialogs.h"
#include "board/point_geometry.h"
#include "components/rudira_session.h"
#include "components/session_list.h"
#include "lessons/data_module.h"
#include "tools/make_kyozai/kyozai_writer.h"
#include "tools/make_kyozai/lesson_source.h"

namespace {

using namespace momiro;

constexpr int kLongLesson = 910;

// 100 stones, black and white in turn, on every other line: no stone
// touches another, so none is captured while the figure is drawn.
std::string LongLessonSource() {
  std::string source = "entry " + std::to_string(kLongLesson) + " 百手の図\nfigure A start\n";
  const std::string columns = "ABCDEFGHJKLMNOPQRST";
  int stones = 0;
  for (int column = 0; column < 19; column += 2) {
    for (int row = 1; row <= 19; row += 2) {
      const bool last = stones == 99;
      source += std::string(stones % 2 == 0 ? "  B " : "  W ") + columns[static_cast<size_t>(column)] +
                std::to_string(row) + (last ? " : 百手の図です。\n" : "\n");
      ++stones;
    }
  }
  return source;
}

// A fresh directory with the kyozai, current while the benchmarks run.
class Kyozai {
 public:
  Kyozai() {
    std::vector<LessonEntry> entries;
    const QDir lessons(LESSON_SOURCE_DIR);
    for (const QString& name : lessons.entryList({"*.txt"}, QDir::Files, QDir::Name)) {
      QFile file(lessons.filePath(name));
      if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(name));
      entries.push_back(ParseLessonSource(file.readAll().toStdString(), name.toStdString()));
    }
    entries.push_back(ParseLessonSource(LongLessonSource(), "long"));
    CheckLessonEntries(entries);
    if (!dir_.isValid() || !QDir(dir_.path()).mkdir("kyozai") || !QDir::setCurrent(dir_.path())) {
      qFatal("cannot make the kyozai directory");
    }
    WriteKyozai((dir_.path() + "/kyozai/").toStdString(), entries);
  }

 private:
  QTemporaryDir dir_;
};

// The program as main.cpp builds it.
struct Program {
  BoardState board;
  TDataModule1 module;
  TForm2 form2{board, LessonDataOf(module)};
  TSmallBoardWindow form3{board, 13, &module.Figures()};
  TSmallBoardWindow form4{board, 9, &module.Figures()};
  Program() {
    form2.SetSmallWindows(&form3, &form4);
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
  }
};

// Shows the window and lets the event loop paint it.
void ShowAndPaint(QWidget& window) {
  window.show();
  while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) {
    QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
}

void StartUpToFirstShownWindow(benchmark::State& state) {
  for (auto _ : state) {
    auto program = std::make_unique<Program>();
    ShowAndPaint(program->form2);
    state.PauseTiming();
    program.reset();
    state.ResumeTiming();
  }
}

void Press(QWidget* cell) {
  const QPointF at(cell->width() / 2.0, cell->height() / 2.0);
  QMouseEvent press(QEvent::MouseButtonPress, at, cell->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(cell, &press);
}

void BoardClickToDrawnStone(benchmark::State& state) {
  Program program;
  ShowAndPaint(program.form2);
  program.form2.N10Click();  // "１９路盤": alternate play
  int p = 0;
  for (auto _ : state) {
    if (++p > kMaxPoints) {
      state.PauseTiming();
      program.form2.CuteButton6Click();  // "クリア"
      QCoreApplication::processEvents();
      p = 1;
      state.ResumeTiming();
    }
    Press(program.form2.Cells().TextCell(p));
    QCoreApplication::processEvents();
  }
}

void ShowFigureOf100Rows(benchmark::State& state) {
  Program program;
  ShowAndPaint(program.form2);
  if (!program.module.Contents().Locate("MNB", {kLongLesson})) {
    state.SkipWithError("the 100-row lesson is missing");
    return;
  }
  for (auto _ : state) {
    program.form2.SetFigureItemIndex(0);
    program.form2.ComboBox1Click();  // 図Ａ chosen in the letter box
    QCoreApplication::processEvents();
  }
  if (program.board.Cell(ParsePoint("T19")) == 0) state.SkipWithError("the figure was not drawn");
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(kProgramTitle);
  InstallFontSubstitutes();
  // Nothing may block a run without a user; a message would spoil the figures.
  TUserDialogs::SetScripted([](const QString& text) { qFatal("message box: %s", qPrintable(text)); });
  Kyozai kyozai;
  benchmark::RegisterBenchmark("StartUpToFirstShownWindow", StartUpToFirstShownWindow)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BoardClickToDrawnStone", BoardClickToDrawnStone)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("ShowFigureOf100Rows", ShowFigureOf100Rows)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // The default session keeps the kyozai's directory; close it before the
  // directory goes.
  rudira::Sessions().DefaultSession()->Close();
  return 0;
}
