// momiro-diagram: saves a lesson figure of the database as a diagram,
// without a window, so that all diagrams of a lesson can be made at once.
//
//   momiro-diagram --contents N --figure C --out FILE [--svg] [--scale S]
//                  [--caption] [--database DIR]
//
// N is a contents number, C a figure letter A ... Z (図Ａ ... 図Ｚ), S a
// whole scale 1 ... 8 (default 1), --svg writes SVG instead of PNG and
// --caption puts the figure's comment under the board. DIR is the lesson
// database directory (default: kyozai under the current directory). The
// diagram is the board exactly as the main window shows the figure. Exit
// status 0 when written, 1 on an error (named on standard error), 2 for a
// wrong command line.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>

#include "app/cell_widgets.h"
#include "app/diagram_file.h"
#include "app/diagram_painter.h"
#include "lessons/data_module.h"
#include "tools/momiro_diagram/figure_diagram.h"

namespace {

struct Options {
  int contents = 0;
  int letter = 0;  // 1 = 図Ａ
  QString out;
  bool svg = false;
  bool caption = false;
  int scale = 1;
  QString database;
};

std::optional<int> WholeNumber(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < -2147483647L || value > 2147483647L) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  bool haveContents = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--svg") {
      options.svg = true;
    } else if (arg == "--caption") {
      options.caption = true;
    } else if (arg == "--contents" && hasValue) {
      const std::optional<int> n = WholeNumber(argv[++i]);
      if (!n) return std::nullopt;
      options.contents = *n;
      haveContents = true;
    } else if (arg == "--figure" && hasValue) {
      const std::string letter = argv[++i];
      if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0]))) return std::nullopt;
      options.letter = std::toupper(static_cast<unsigned char>(letter[0])) - 'A' + 1;
    } else if (arg == "--out" && hasValue) {
      options.out = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--scale" && hasValue) {
      const std::optional<int> s = WholeNumber(argv[++i]);
      if (!s || *s < momiro::kMinDiagramScale || *s > momiro::kMaxDiagramScale) return std::nullopt;
      options.scale = *s;
    } else if (arg == "--database" && hasValue) {
      options.database = QString::fromLocal8Bit(argv[++i]);
    } else {
      return std::nullopt;
    }
  }
  if (!haveContents || options.letter == 0 || options.out.isEmpty()) return std::nullopt;
  return options;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "momiro-diagram: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr,
                 "usage: momiro-diagram --contents N --figure A..Z --out FILE [--svg] [--scale 1..8]"
                 " [--caption] [--database DIR]\n");
    return 2;
  }
  // No window is ever shown: the offscreen platform needs no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  momiro::InstallFontSubstitutes();
  QString programDirectory = QCoreApplication::applicationDirPath();
  if (!programDirectory.endsWith('/')) programDirectory += '/';
  const QString out = QFileInfo(options->out).absoluteFilePath();

  // The program opens the database "kyozai" under the current directory;
  // another directory is reached as kyozai through a link in a temporary
  // directory that becomes the current one.
  QTemporaryDir linkDir;
  if (!options->database.isEmpty()) {
    const QFileInfo database(options->database);
    if (!database.isDir()) return Fail("no database directory " + options->database.toStdString());
    QString home = database.absolutePath();
    if (database.fileName() != momiro::kLessonDatabase) {
      if (!linkDir.isValid() ||
          !QFile::link(database.absoluteFilePath(), linkDir.filePath(momiro::kLessonDatabase))) {
        return Fail("cannot reach " + options->database.toStdString());
      }
      home = linkDir.path();
    }
    if (!QDir::setCurrent(home)) return Fail("cannot change to " + home.toStdString());
  }

  try {
    const momiro::BoardDiagram diagram = momiro::FigureDiagram(
        options->contents, options->letter, options->caption, programDirectory.toStdString());
    momiro::SaveDiagram(diagram, options->svg ? momiro::DiagramFormat::Svg : momiro::DiagramFormat::Png,
                        options->scale, out);
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  return 0;
}
