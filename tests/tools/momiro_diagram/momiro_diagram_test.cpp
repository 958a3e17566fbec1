// momiro-diagram through the real executable: the PNG it writes for a
// figure is the main window's drawing of that figure pixel for pixel, the
// SVG holds the same stones and texts, another database directory is
// reached with --database, and every error is named with a failing exit
// status and no file left behind.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "app/cell_widgets.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/user_dialogs.h"
#include "lessons/data_module.h"
#include "tests/app/support/lesson_kyozai.h"
#include "tools/make_kyozai/kyozai_writer.h"
#include "tools/make_kyozai/lesson_source.h"

using namespace momiro;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// 図Ａ with stones and texts of every kind, 図Ｂ with one stone; contents 200
// (shown as 201) has none.
std::vector<std::string> Lessons() {
  return {
      "entry 110 図の課\n"
      "figure A start\n"
      "  W D4\n"
      "  text background red K10 Ａ\n"
      "  text black-stone standard C17 △\n"
      "  text direct green Q16 い\n"
      "  B C4 D5 E4 : 白はアタリです。\n"
      "sequence start\n"
      "  B D3 captures D4 : 取りました。\n"
      "figure B single\n"
      "  W K10 K11 : 図Ｂです。\n",
  };
}

struct ToolRun {
  int exitCode = -1;
  QString errors;
};

ToolRun Diagram(const QString& directory, const QStringList& arguments) {
  QProcess process;
  process.setWorkingDirectory(directory);
  process.start(MOMIRO_DIAGRAM_PATH, arguments);
  if (!process.waitForFinished(60000)) return {};
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardError())};
}

QImage ReadPng(const QString& path) {
  QImage image;
  if (!image.load(path, "PNG")) return {};
  return image.convertToFormat(QImage::Format_RGB32);
}

// The main window's board square after the figure of `letter` (0 = 図Ａ) of
// the first contents entry is shown, over the kyozai of the current directory.
struct WindowFigure {
  QImage board;
  QSet<int> stones;
  QMap<int, QString> texts;
  QString comment;
};

WindowFigure ShowInWindow(int letter) {
  BoardState board;
  TDataModule1 module;
  TForm2 form(board, LessonDataOf(module));
  board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
  form.Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
  form.show();
  form.DBGrid1CellClick();
  if (letter > 0) {
    form.SetFigureItemIndex(letter);
    form.ComboBox1Click();
  }
  QCoreApplication::processEvents();
  WindowFigure shown;
  const TBoardCells& cells = form.Cells();
  shown.board = form.centralWidget()->grab(cells.Geometry().SquareRect()).toImage().convertToFormat(QImage::Format_RGB32);
  for (int p = 1; p <= kMaxPoints; ++p) {
    if (cells.PictureCell(p)->HasPicture()) shown.stones << p;
    if (!cells.TextCell(p)->text().isEmpty()) shown.texts[p] = cells.TextCell(p)->text();
  }
  shown.comment = form.findChild<TStatusPanels*>("StatusBar1")->PanelText(1);
  return shown;
}

class MomiroDiagramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TUserDialogs::SetScripted([this](const QString& text) { messages_ << text; });
    kyozai_ = std::make_unique<momiro::testing::LessonKyozai>(Lessons());
    ASSERT_TRUE(kyozai_->Valid());
    dir_ = kyozai_->Path();
  }
  void TearDown() override { kyozai_.reset(); }

  QString Out(const char* name) const { return QDir(dir_).filePath(name); }

  std::unique_ptr<momiro::testing::LessonKyozai> kyozai_;
  QString dir_;
  QStringList messages_;
};

TEST_F(MomiroDiagramTest, PngIsTheWindowsDrawingOfTheFigure) {
  // All diagrams first, as a teacher makes them; then the window.
  for (const char* letter : {"A", "b"}) {
    const ToolRun run = Diagram(dir_, {"--contents", "110", "--figure", letter, "--out", QString(letter) + ".png"});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
  }
  const WindowFigure a = ShowInWindow(0);
  const WindowFigure b = ShowInWindow(1);
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join('\n').toStdString();
  ASSERT_FALSE(a.stones.isEmpty());
  EXPECT_EQ(ReadPng(Out("A.png")), a.board);
  EXPECT_EQ(ReadPng(Out("b.png")), b.board);
  EXPECT_NE(a.board, b.board);
}

TEST_F(MomiroDiagramTest, SvgHoldsTheFiguresStonesTextsAndCaption) {
  const ToolRun run = Diagram(dir_, {"--contents", "110", "--figure", "A", "--out", "a.svg", "--svg", "--scale", "3", "--caption"});
  ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
  const WindowFigure shown = ShowInWindow(0);
  QFile file(Out("a.svg"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&file);
  QSet<int> stones;
  QMap<int, QString> texts;
  QString caption;
  int width = 0;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes a = xml.attributes();
    if (xml.name() == u"svg") width = a.value("width").toInt();
    if (xml.name() == u"image") stones << a.value("data-point").toInt();
    if (xml.name() == u"text" && a.value("class") == u"text") texts[a.value("data-point").toInt()] = xml.readElementText();
    if (xml.name() == u"text" && a.value("class") == u"caption") {
      caption = xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(stones, shown.stones);
  EXPECT_EQ(texts, shown.texts);
  EXPECT_EQ(caption, shown.comment);
  EXPECT_FALSE(caption.isEmpty());
  EXPECT_EQ(width, 3 * MainBoardGeometry().squareSize);
}

TEST_F(MomiroDiagramTest, AnotherDatabaseDirectoryIsReachedWithDatabase) {
  QTemporaryDir elsewhere;
  ASSERT_TRUE(elsewhere.isValid());
  const QString lessons = QDir(elsewhere.path()).filePath("lessons2");
  ASSERT_TRUE(QDir().mkpath(lessons));
  std::vector<LessonEntry> entries;
  for (const std::string& source : Lessons()) entries.push_back(ParseLessonSource(source, "lesson"));
  WriteKyozai((lessons + "/").toStdString(), entries);
  // Run from a directory without any kyozai.
  const ToolRun run = Diagram(elsewhere.path(), {"--contents", "110", "--figure", "B", "--out", Out("b.png"),
                                             "--database", lessons});
  ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
  EXPECT_EQ(ReadPng(Out("b.png")), ShowInWindow(1).board);
}

TEST_F(MomiroDiagramTest, ErrorsAreNamedAndWriteNothing) {
  const struct {
    QStringList arguments;
    int exitCode;
    const char* named;  // in the error output
  } cases[] = {
      {{"--contents", "150", "--figure", "A"}, 1, "150"},
      {{"--contents", "110", "--figure", "C"}, 1, "この図はありません。"},
      {{"--contents", "110", "--figure", "A", "--database", "missing"}, 1, "missing"},
      {{"--contents", "110", "--figure", "A", "--scale", "9"}, 2, "usage"},
      {{"--contents", "110", "--figure", "AB"}, 2, "usage"},
      {{"--contents", "x", "--figure", "A"}, 2, "usage"},
      {{"--figure", "A"}, 2, "usage"},
  };
  for (const auto& c : cases) {
    const QString out = Out("error.png");
    const ToolRun run = Diagram(dir_, c.arguments + QStringList{"--out", out});
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
    EXPECT_TRUE(run.errors.contains(U(c.named))) << run.errors.toStdString();
    EXPECT_FALSE(QFile::exists(out)) << c.arguments.join(' ').toStdString();
  }
  // Without --out.
  EXPECT_EQ(Diagram(dir_, {"--contents", "110", "--figure", "A"}).exitCode, 2);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallFontSubstitutes();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
