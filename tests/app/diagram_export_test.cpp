// "図を保存…" of the main window and the small-board windows: the PNG at
// scale 1 is the board as the screen shows it, pixel for pixel; the SVG is
// well-formed XML with one element per stone and per text; a file that
// cannot be written is reported and nothing is left behind.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include "app/cell_widgets.h"
#include "app/diagram_file.h"
#include "app/help_viewer.h"
#include "app/diagram_painter.h"
#include "app/diagram_save_dialog.h"
#include "app/main_window.h"
#include "app/small_board_window.h"
#include "app/status_panels.h"
#include "app/termination.h"
#include "app/user_dialogs.h"
#include "lessons/data_module.h"
#include "support/lesson_kyozai.h"
#include "tools/make_kyozai/lesson_source.h"

using namespace momiro;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// A figure with everything a board can show: stones, move numbers, texts of
// the four kinds in the three colours, and (after "1手進む") the choice
// circles; taking the wrong answer adds a red number.
std::vector<std::string> DiagramLesson() {
  return {
      "entry 110 図の課\n"
      "figure A start\n"
      "  W D4\n"
      "  text background red K10 Ａ\n"
      "  text black-stone standard C17 △\n"
      "  text white-stone green Q4 ×\n"
      "  text direct green Q16 い\n"
      "  B C4 D5 E4 : 白はアタリです。どこに打てば取れるでしょう。\n"
      "sequence start\n"
      "  B D3 captures D4 : 取りました。\n"
      "sequence start\n"
      "  B? E3 : 失敗です。\n"
      "  W D3 : 逃げられました。\n",
  };
}

// What the board cells show: the points with a picture, and the text of
// every cell with text.
struct ShownBoard {
  QSet<int> stones;
  QMap<int, QString> texts;
  QMap<int, QString> textColours;
};

ShownBoard Shown(const TBoardCells& cells) {
  ShownBoard shown;
  for (int p = 1; p <= cells.Lines() * cells.Lines(); ++p) {
    if (cells.PictureCell(p)->HasPicture()) shown.stones << p;
    if (!cells.TextCell(p)->text().isEmpty()) {
      shown.texts[p] = cells.TextCell(p)->text();
      shown.textColours[p] = cells.TextCell(p)->TextColour().name();
    }
  }
  return shown;
}

// The board square as the window draws it on the screen.
QImage ScreenBoard(QMainWindow& window, const TBoardCells& cells) {
  QCoreApplication::processEvents();
  return window.centralWidget()->grab(cells.Geometry().SquareRect()).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage ReadPng(const QString& path) {
  QImage image;
  if (!image.load(path, "PNG")) return {};
  return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class DiagramExportTest : public QObject {
  Q_OBJECT

 private:
  QStringList messages_;
  QTemporaryDir out_;
  std::optional<DiagramSaveOptions> answer_;
  QString offeredComment_;

  void Answer(const QString& name, DiagramFormat format, int scale, bool caption) {
    answer_ = DiagramSaveOptions{out_.filePath(name), format, scale, caption};
  }
  static void TriggerMenu(QWidget* window, const char* name) {
    QAction* action = window->findChild<QAction*>(name);
    if (action == nullptr) qFatal("no menu item %s", name);
    action->trigger();
  }
  static QString Panel(QWidget* window, int i) { return window->findChild<TStatusPanels*>("StatusBar1")->PanelText(i); }

  // The lesson figure with circles, then the wrong answer taken (its number red).
  static void ShowWrongAnswer(TForm2& form, BoardState& board) {
    form.DBGrid1CellClick();
    form.Button(5)->click();  // "1手進む": the two circles
    QVERIFY(board.ChoicePending == 1);
    form.Label1MouseDown(ParsePoint("E3"), Qt::LeftButton);
  }

 private slots:
  void initTestCase() {
    InstallFontSubstitutes();
    QVERIFY(out_.isValid());
  }
  void init() {
    messages_.clear();
    TUserDialogs::SetScripted([this](const QString& text) { messages_ << text; });
    ResetTermination();
    answer_.reset();
    TDiagramSaveDialog::SetScripted([this](const QString& comment, const QString&) {
      offeredComment_ = comment;
      return answer_;
    });
  }
  void cleanup() { TDiagramSaveDialog::SetScripted({}); }

  void thePngAtScaleOneIsTheBoardAsShownPixelForPixel() {
    testing::LessonKyozai kyozai(DiagramLesson());
    QVERIFY(kyozai.Valid());
    BoardState board;
    TDataModule1 module;
    TForm2 form(board, LessonDataOf(module));
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form.Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // The basic figure: stones and the texts of every kind.
    form.DBGrid1CellClick();
    const ShownBoard figure = Shown(form.Cells());
    for (const char* text : {"Ａ", "△", "×", "い"}) QVERIFY2(figure.texts.values().contains(U(text)), text);
    Answer("figure.png", DiagramFormat::Png, 1, false);
    TriggerMenu(&form, "SaveDiagram");
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QCOMPARE(Panel(&form, 0), U(kDiagramSaved));
    QCOMPARE(ReadPng(answer_->path), ScreenBoard(form, form.Cells()));

    form.Button(5)->click();  // "1手進む": the green and the red circle
    QVERIFY(Shown(form.Cells()).texts.values().contains(U("●")));
    Answer("circles.png", DiagramFormat::Png, 1, false);
    TriggerMenu(&form, "SaveDiagram");
    QCOMPARE(ReadPng(answer_->path), ScreenBoard(form, form.Cells()));

    form.Label1MouseDown(ParsePoint("E3"), Qt::LeftButton);  // the wrong answer: a red number
    QCOMPARE(form.Cells().TextCell(ParsePoint("E3"))->TextColour(), QColor(255, 0, 0));
    Answer("wrong.png", DiagramFormat::Png, 1, false);
    TriggerMenu(&form, "SaveDiagram");
    const QImage screen = ScreenBoard(form, form.Cells());
    QCOMPARE(ReadPng(answer_->path), screen);
    // The boards differ, so the comparisons could fail.
    QVERIFY(ReadPng(out_.filePath("figure.png")) != screen);
    QVERIFY(ReadPng(out_.filePath("circles.png")) != screen);
  }

  void aCaptionGoesUnderTheBoardAndLargerScalesGrowTheImage() {
    testing::LessonKyozai kyozai(DiagramLesson());
    QVERIFY(kyozai.Valid());
    BoardState board;
    TDataModule1 module;
    TForm2 form(board, LessonDataOf(module));
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form.Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.DBGrid1CellClick();
    const QString comment = Panel(&form, 1);
    QVERIFY(!comment.isEmpty());
    Answer("caption.png", DiagramFormat::Png, 1, true);
    TriggerMenu(&form, "SaveDiagram");
    QCOMPARE(offeredComment_, comment);
    const QImage withCaption = ReadPng(answer_->path);
    const int side = form.Cells().Geometry().squareSize;
    QVERIFY(withCaption.height() > side);
    QCOMPARE(withCaption.copy(0, 0, side, side), ScreenBoard(form, form.Cells()));
    // The band under the board holds the caption's dark pixels.
    bool inked = false;
    for (int y = side; y < withCaption.height() && !inked; ++y) {
      for (int x = 0; x < withCaption.width() && !inked; ++x) inked = qGray(withCaption.pixel(x, y)) < 128;
    }
    QVERIFY(inked);

    Answer("caption3.png", DiagramFormat::Png, 3, true);
    TriggerMenu(&form, "SaveDiagram");
    QCOMPARE(ReadPng(answer_->path).size(), withCaption.size() * 3);
  }

  void theSvgHasOneElementPerStoneAndText() {
    testing::LessonKyozai kyozai(DiagramLesson());
    QVERIFY(kyozai.Valid());
    BoardState board;
    TDataModule1 module;
    TForm2 form(board, LessonDataOf(module));
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form.Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    ShowWrongAnswer(form, board);
    const ShownBoard shown = Shown(form.Cells());
    QVERIFY(!shown.stones.isEmpty());
    Answer("board.svg", DiagramFormat::Svg, 2, true);
    TriggerMenu(&form, "SaveDiagram");
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));

    QFile file(answer_->path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    ShownBoard written;
    QString caption;
    QString width;
    int stoneElements = 0;
    int textElements = 0;
    while (!xml.atEnd()) {
      if (xml.readNext() != QXmlStreamReader::StartElement) continue;
      const QXmlStreamAttributes a = xml.attributes();
      const int p = a.value("data-point").toInt();
      if (xml.name() == u"svg") {
        width = a.value("width").toString();
      } else if (xml.name() == u"image" && a.value("class") == u"stone") {
        ++stoneElements;
        written.stones << p;
        QVERIFY(a.value("http://www.w3.org/1999/xlink", "href").startsWith(u"data:image/png;base64,"));
      } else if (xml.name() == u"text" && a.value("class") == u"text") {
        ++textElements;
        written.textColours[p] = a.value("fill").toString();
        written.texts[p] = xml.readElementText();
      } else if (xml.name() == u"text" && a.value("class") == u"caption") {
        caption = xml.readElementText(QXmlStreamReader::IncludeChildElements);
      }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    // One element per stone and per text, at the points the cells show them.
    QCOMPARE(stoneElements, static_cast<int>(shown.stones.size()));
    QCOMPARE(written.stones, shown.stones);
    QCOMPARE(textElements, static_cast<int>(shown.texts.size()));
    QCOMPARE(written.texts, shown.texts);
    QCOMPARE(written.textColours, shown.textColours);
    QCOMPARE(caption, Panel(&form, 1));
    QCOMPARE(width, QString::number(2 * form.Cells().Geometry().squareSize));
  }

  void theSmallWindowsSaveTheirBoardToo() {
    BoardState board;
    TForm2 form2(board);
    TSmallBoardWindow form3(board, 13);
    TSmallBoardWindow form4(board, 9);
    form2.SetSmallWindows(&form3, &form4);
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form2.N4Click();
    QVERIFY(QTest::qWaitForWindowExposed(&form3));
    for (int p : {1, 2, 85, 169}) form3.Label1MouseDown(p, Qt::LeftButton, {});
    Answer("thirteen.png", DiagramFormat::Png, 1, false);
    TriggerMenu(&form3, "SaveDiagram");
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QCOMPARE(Panel(&form3, 0), U(kDiagramSaved));
    const QImage png = ReadPng(answer_->path);
    QCOMPARE(png.width(), form3.Cells().Geometry().squareSize);
    QCOMPARE(png, ScreenBoard(form3, form3.Cells()));
    form3.close();
  }

  void theDialogFollowsTheFormatAndOffersACaptionOnlyWithAComment() {
    TDiagramSaveDialog dialog(nullptr, U("白はアタリです。"), "110_A");
    auto* format = dialog.findChild<QComboBox*>("DiagramFormat");
    auto* path = dialog.findChild<QLineEdit*>("DiagramPath");
    auto* caption = dialog.findChild<QCheckBox*>("DiagramCaption");
    QVERIFY(format != nullptr && path != nullptr && caption != nullptr);
    QVERIFY(path->text().endsWith("/110_A.png"));
    QCOMPARE(dialog.Options().format, DiagramFormat::Png);
    format->setCurrentIndex(1);
    emit format->activated(1);
    QCOMPARE(dialog.Options().format, DiagramFormat::Svg);
    QVERIFY(dialog.Options().path.endsWith("/110_A.svg"));
    caption->setChecked(true);
    QVERIFY(dialog.Options().caption);

    TDiagramSaveDialog noComment(nullptr, QString(), "sorabi13");
    auto* noCaption = noComment.findChild<QCheckBox*>("DiagramCaption");
    QVERIFY(!noCaption->isEnabled());
    noCaption->setChecked(true);
    QVERIFY(!noComment.Options().caption);
  }

  void aFileThatCannotBeWrittenIsReportedAndACancelWritesNothing() {
    BoardState board;
    TForm2 form(board);
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form.N10Click();
    form.Label1MouseDown(ParsePoint("D4"), Qt::LeftButton);
    answer_ = DiagramSaveOptions{out_.filePath("no/such/dir/board.png"), DiagramFormat::Png, 1, false};
    TriggerMenu(&form, "SaveDiagram");
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_.first().contains(answer_->path));
    QVERIFY(Panel(&form, 0) != U(kDiagramSaved));
    QVERIFY(!QFile::exists(answer_->path));

    messages_.clear();
    answer_.reset();  // the dialog cancelled
    TriggerMenu(&form, "SaveDiagram");
    QVERIFY(messages_.isEmpty());
    QVERIFY(Panel(&form, 0) != U(kDiagramSaved));

    // A scale out of range is refused, not drawn.
    BoardDiagram diagram = form.Cells().Diagram();
    const QString path = out_.filePath("scale.png");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, SaveDiagram(diagram, DiagramFormat::Png, kMaxDiagramScale + 1, path));
    QVERIFY(!QFile::exists(path));
  }
};

QTEST_MAIN(DiagramExportTest)
#include "diagram_export_test.moc"
