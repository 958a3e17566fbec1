// The lesson controls of the main window on the offscreen platform: the
// figure letter box, the lesson buttons, the help topic of a contents entry
// and the adjourned game of the main board, over in-memory lesson tables;
// the contents and figure grids over a real kyozai through the data module.
// Before any Qt header: the in-memory tables have a member named like Qt's
// `slots` keyword.
#include "memory_query.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/cell_widgets.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/termination.h"
#include "app/user_dialogs.h"
#include "board/point_geometry.h"
#include "lessons/data_module.h"
#include "support/lesson_kyozai.h"
#include "tools/make_kyozai/lesson_source.h"

using namespace momiro;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// Point of (row, column) on the 19-line board, both from 0 at the top left.
int P(int row, int column) { return PointAt(column, row, 19); }

// Contents 100 (figures under 101): 図Ａ, white (0,1) in atari with one
// continuation, black takes at (0,0), then white (3,3); 図Ｂ, one black
// stone at (10,10). Contents 0 has no figures.
void AddLesson(testing::MemoryDatabase& db) {
  db.AddContents(0, "はじめに");
  db.AddContents(100, "第一課");
  db.AddFigureRow(101, 0, 2, P(0, 1), 0, 9999, 1, "基本図");
  db.AddFigureRow(101, 0, 1, P(0, 2), 0, 0, 0);
  db.AddFigureRow(101, 0, 1, P(1, 1), 1, 0, 0);
  db.AddFigureRow(101, 1, 1, P(0, 0), 0, 1, 0, "取ります");
  db.AddFigureRow(101, 2, 2, P(3, 3), 2, 0, 0, "白の手");
  db.AddFigureRow(101, 0, 1, P(10, 10), 3, 9999, 2, "図Ｂ");
}

}  // namespace

class LessonWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<testing::MemoryDatabase> db_;
  std::unique_ptr<testing::MemoryQuery> contents_, figures_, branches_;
  std::unique_ptr<LessonQueries> queries_;
  std::unique_ptr<BoardState> board_;
  std::unique_ptr<TForm2> form_;
  QTemporaryDir helpDir_;
  QStringList messages_;

  template <typename T>
  T* Find(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(name);
    if (found == nullptr) qFatal("no component %s", name);
    return found;
  }
  QString Panel(QWidget* window, int i) { return window->findChild<TStatusPanels*>("StatusBar1")->PanelText(i); }
  QComboBox* Letters() { return Find<QComboBox>(form_.get(), "ComboBox1"); }
  void ClickPoint(int p) {
    QTest::mouseClick(Find<QWidget>(form_.get(), QString("Label%1").arg(p).toUtf8().constData()), Qt::LeftButton);
  }
  void TriggerMenu(QWidget* window, const char* name) {
    QAction* action = window->findChild<QAction*>(name);
    if (action == nullptr) qFatal("no menu item %s", name);
    action->trigger();
  }
  // The grid column's texts, read after the event loop has run.
  static QStringList Column(QTableView* grid, int column) {
    QCoreApplication::processEvents();
    QStringList values;
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
      values << grid->model()->index(row, column).data().toString();
    }
    return values;
  }
  // The continuations offered at the current branch row.
  static int ChoiceCount(const BoardState& board) {
    int count = 0;
    while (board.Choices.At(count + 1).point != 0) ++count;
    return count;
  }
  // Plays the shown figure with "1手進む" to the end, taking continuation
  // `first` at the figure's branch row and the first one at any later
  // branch; false when a walk does not end.
  static bool WalkToTheEnd(TForm2& form, BoardState& board, int first) {
    bool atFigure = true;
    for (int step = 0; step < 400; ++step) {
      if (board.ChoicePending != 0) {
        const int count = ChoiceCount(board);
        const int take = atFigure ? first : 0;
        if (take >= count) return true;  // the figure offers fewer choices
        form.Label1MouseDown(board.Choices.At(take + 1).point, Qt::LeftButton);
        atFigure = false;
        continue;
      }
      form.Button(5)->click();  // "1手進む"
      atFigure = false;
      if (form.findChild<TStatusPanels*>("StatusBar1")->PanelText(0) == U(kCannotGoOn)) return true;
    }
    return false;
  }
  static void ClickRow(QTableView* grid, int row) {
    QCoreApplication::processEvents();
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  }

 private slots:
  void init() {
    messages_.clear();
    TUserDialogs::SetScripted([this](const QString& text) { messages_ << text; });
    ResetTermination();
    db_ = std::make_unique<testing::MemoryDatabase>();
    AddLesson(*db_);
    contents_ = std::make_unique<testing::MemoryQuery>(*db_);
    figures_ = std::make_unique<testing::MemoryQuery>(*db_);
    branches_ = std::make_unique<testing::MemoryQuery>(*db_);
    queries_ = std::make_unique<LessonQueries>(LessonQueries{*contents_, *figures_, *branches_});
    board_ = std::make_unique<BoardState>();
    form_ = std::make_unique<TForm2>(*board_, LessonData{queries_.get(), nullptr, nullptr});
    board_->ProgramDirectory = MOMIRO_PROGRAM_DIR;
    QFile help(helpDir_.filePath("Momiro.hlp"));
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("@contents 目次\n入門\n\n@topic 101 第一課\nアタリの話です。\n");
    help.close();
    form_->Help().SetHelpFile(help.fileName());
    form_->show();
  }
  void cleanup() {
    form_.reset();
    board_.reset();
    queries_.reset();
    branches_.reset();
    figures_.reset();
    contents_.reset();
    db_.reset();
  }

  void startUpOpensTheContentsAndTheFirstEntrysFigureRows() {
    QVERIFY(messages_.isEmpty());
    QVERIFY(contents_->Active());
    QCOMPARE(contents_->SqlLines(), (std::vector<std::string>{kContentsSelect, kAllContents, kContentsOrder}));
    QCOMPARE(board_->ContentsNumber, 0);
    QVERIFY(figures_->Active());
    QCOMPARE(figures_->Params().at(0), 0);
    QCOMPARE(board_->PlayMode, kPlayFree);
  }

  void theLetterBoxHoldsTheFigureItemsAndStartsWithNone() {
    QComboBox* box = Letters();
    QCOMPARE(box->count(), kFigureItemCount);
    for (int i = 0; i < kFigureItemCount; ++i) QCOMPARE(box->itemText(i), U(kFigureItems[static_cast<size_t>(i)]));
    QCOMPARE(box->currentIndex(), -1);
    QCOMPARE(box->placeholderText(), U("図選択"));
    form_->SetFigureItemIndex(10);
    QCOMPARE(form_->FigureItemIndex(), 10);
    QCOMPARE(box->currentText(), U("図K"));
  }

  void aContentsEntryShowsItsFirstFigureAndHelpTopic() {
    QVERIFY(contents_->Locate("MNB", {100}));
    form_->DBGrid1CellClick();
    QCOMPARE(board_->ContentsNumber, 101);
    QCOMPARE(Letters()->currentIndex(), 0);
    QCOMPARE(board_->Cell(P(0, 1)), kWhite);
    QCOMPARE(board_->Cell(P(0, 2)), kBlack);
    QCOMPARE(board_->Cell(P(10, 10)), 0);
    QVERIFY(form_->Help().ShownText().contains(U("アタリの話です。")));
  }

  void theFigureButtonsAndTheLetterBoxChooseFigures() {
    QVERIFY(contents_->Locate("MNB", {100}));
    form_->DBGrid1CellClick();
    form_->Button(14)->click();  // "次の図"
    QCOMPARE(Letters()->currentIndex(), 1);
    QCOMPARE(board_->Cell(P(10, 10)), kBlack);
    QCOMPARE(board_->Cell(P(0, 1)), 0);
    form_->Button(15)->click();  // "前の図"
    QCOMPARE(Letters()->currentIndex(), 0);
    QCOMPARE(board_->Cell(P(0, 1)), kWhite);
    // The user's choice in the box: 図Ｃ has no figure.
    Letters()->setCurrentIndex(2);
    emit Letters()->activated(2);
    QCOMPARE(Panel(form_.get(), 0), U("この図はありません。"));
    QCOMPARE(board_->Cell(P(0, 1)), 0);
    // The player's own selection of an item runs no handler.
    form_->SetFigureItemIndex(1);
    QCOMPARE(board_->Cell(P(10, 10)), 0);
  }

  void stepForwardPlaysTheStoredMovesAndTheOtherButtonsGoBack() {
    QVERIFY(contents_->Locate("MNB", {100}));
    form_->DBGrid1CellClick();
    form_->Button(5)->click();  // "1手進む": black takes (0,1)
    QCOMPARE(board_->Cell(P(0, 0)), kBlack);
    QCOMPARE(board_->Cell(P(0, 1)), 0);
    QCOMPARE(Panel(form_.get(), 1), U("取ります"));
    form_->Button(5)->click();
    QCOMPARE(board_->Cell(P(3, 3)), kWhite);
    form_->Button(7)->click();  // "1手戻す": the lesson steps back one move
    QCOMPARE(board_->Cell(P(3, 3)), 0);
    QCOMPARE(board_->Cell(P(0, 0)), kBlack);
    form_->Button(10)->click();  // "１手順戻す": back to the basic figure
    QCOMPARE(board_->Cell(P(0, 0)), 0);
    QCOMPARE(board_->Cell(P(0, 1)), kWhite);
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    // Back at the branch row its continuation is offered as a circle, so
    // "1手進む" asks for a click on it.
    form_->Button(5)->click();
    QCOMPARE(messages_, QStringList{U("緑点か赤点をクリックしてください。")});
    QCOMPARE(board_->Cell(P(0, 0)), 0);
    form_->Button(9)->click();  // "元に戻す": the figure again
    QCOMPARE(board_->Cell(P(0, 1)), kWhite);
    form_->Button(5)->click();
    QCOMPARE(board_->Cell(P(0, 0)), kBlack);
  }

  void saveAndRestoreKeepTheMainBoardsGame() {
    form_->N10Click();  // "１９路盤"
    ClickPoint(P(3, 3));
    ClickPoint(P(15, 15));
    TriggerMenu(form_.get(), "Save1");
    QCOMPARE(Panel(form_.get(), 0), U("　保存しました。"));
    form_->CuteButton6Click();  // "クリア" on the main board stores nothing
    ClickPoint(P(9, 9));
    TriggerMenu(form_.get(), "N2");
    QCOMPARE(Panel(form_.get(), 0), U("　復元しました。"));
    QCOMPARE(board_->Cell(P(3, 3)), kBlack);
    QCOMPARE(board_->Cell(P(15, 15)), kWhite);
    QCOMPARE(board_->Cell(P(9, 9)), 0);
    QCOMPARE(board_->MoveCount, 2);
    QCOMPARE(board_->ContentsNumber, 19);
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
  }

  // --- Over a real kyozai through the data module ---------------------------

  void withoutKyozaiTheEnginesMessageIsShownAndTheWindowGoesOn() {
    testing::LessonKyozai empty({});
    QVERIFY(empty.Valid());
    messages_.clear();
    BoardState board;
    TDataModule1 module;
    TForm2 form(board, LessonDataOf(module));
    QCOMPARE(messages_.size(), 1);
    QVERIFY(!messages_.first().isEmpty());
    QVERIFY(!module.RUDIRAQuery1->Active());
    QCOMPARE(Column(Find<QTableView>(&form, "DBGrid1"), 0), QStringList());
    // The lesson buttons report instead of crashing.
    form.Button(14)->click();
    form.Button(5)->click();
    form.N10Click();
    QVERIFY(!TerminationRequested());
  }

  void theGridsShowTheContentsAndTheFigureRowsOfTheKyozai() {
    testing::LessonKyozai kyozai(testing::WindowTestLessons());
    QVERIFY(kyozai.Valid());
    if (!testing::SqlExecutionAvailable()) QSKIP("SQL statement execution is not in this build");
    messages_.clear();
    BoardState board;
    TDataModule1 module;
    TForm2 form(board, LessonDataOf(module));
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form.Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    form.show();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QTableView* contents = Find<QTableView>(&form, "DBGrid1");
    QTableView* figures = Find<QTableView>(&form, "DBGrid2");
    QCOMPARE(contents->model()->columnCount(), 1);
    QCOMPARE(contents->model()->headerData(0, Qt::Horizontal).toString(), U("目次"));
    QCOMPARE(Column(contents, 0), (QStringList{U("第一課"), U("第二課")}));
    // Start-up: the first entry's figure rows are open, numbered 1..n.
    QCOMPARE(board.ContentsNumber, 110);
    QCOMPARE(figures->model()->headerData(7, Qt::Horizontal).toString(), QString("TNB"));
    const QStringList numbers = Column(figures, 7);
    QVERIFY(!numbers.isEmpty());
    for (int i = 0; i < numbers.size(); ++i) QCOMPARE(numbers[i], QString::number(i + 1));
    QCOMPARE(Column(figures, 0), QStringList(numbers.size(), "110"));

    // A click on the second entry shows its 図Ａ.
    ClickRow(contents, 1);
    QCOMPARE(board.ContentsNumber, 120);
    QCOMPARE(board.Cell(ParsePoint("Q16")), kWhite);
    QCOMPARE(Column(figures, 3), (QStringList{QString::number(ParsePoint("Q16")), QString::number(ParsePoint("Q17"))}));
    form.Button(5)->click();  // "1手進む"
    QCOMPARE(board.Cell(ParsePoint("Q17")), kBlack);

    // Back to the first entry: 図Ａ, then the wrong answer E3 and a click on
    // the figure grid's row of the white answer W D3 rebuilds up to it.
    ClickRow(contents, 0);
    QCOMPARE(board.Cell(ParsePoint("D4")), kWhite);
    form.Button(1)->click();  // "編集": the figure grid shows
    QVERIFY(figures->isVisible());
    const QStringList points = Column(figures, 3);
    const int whiteAnswer = static_cast<int>(points.indexOf(QString::number(ParsePoint("D3")), 5));
    QVERIFY(whiteAnswer > 0);
    // The rows the grid shows each time it is reset: while the path is
    // redrawn it has left its source (no rows), and it shows them all again
    // afterwards, standing on the clicked row.
    QList<int> shownRows;
    connect(&form.FigureGrid(), &QAbstractItemModel::modelReset, this,
            [&] { shownRows << form.FigureGrid().rowCount(); });
    ClickRow(figures, whiteAnswer);
    QCOMPARE(board.Cell(ParsePoint("D3")), kWhite);
    QCOMPARE(board.Cell(ParsePoint("D4")), kWhite);
    QVERIFY(board.Cell(ParsePoint("E3")) != 0);
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QCoreApplication::processEvents();
    QVERIFY(!shownRows.isEmpty());
    QCOMPARE(shownRows.first(), 0);
    QCOMPARE(shownRows.last(), static_cast<int>(points.size()));
    QCOMPARE(form.FigureGrid().DataSource(), &module.DataSource2);
    QCOMPARE(form.FigureGrid().CurrentRow(), whiteAnswer);
  }

  void everySuppliedLessonPlaysThroughTheWindow() {
    std::vector<std::string> sources;
    const QDir lessons(LESSON_SOURCE_DIR);
    for (const QString& name : lessons.entryList({"*.txt"}, QDir::Files, QDir::Name)) {
      QFile file(lessons.filePath(name));
      QVERIFY(file.open(QIODevice::ReadOnly));
      sources.push_back(file.readAll().toStdString());
    }
    QVERIFY(!sources.empty());
    testing::LessonKyozai kyozai(sources);
    QVERIFY(kyozai.Valid());
    if (!testing::SqlExecutionAvailable()) QSKIP("SQL statement execution is not in this build");
    messages_.clear();
    BoardState board;
    TDataModule1 module;
    TForm2 form(board, LessonDataOf(module));
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form.Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    form.show();
    QTableView* contents = Find<QTableView>(&form, "DBGrid1");
    QCOMPARE(static_cast<size_t>(Column(contents, 0).size()), sources.size());
    for (int row = 0; row < static_cast<int>(sources.size()); ++row) {
      ClickRow(contents, row);
      // Every figure of the entry, every continuation of its branch row.
      for (int figure = 0; figure < kFigureItemCount; ++figure) {
        if (figure > 0) form.Button(14)->click();  // "次の図"
        if (Panel(&form, 0) == U(kNoSuchFigure)) break;
        const int figureIndex = form.FigureItemIndex();
        for (int first = 0; first < std::max(1, ChoiceCount(board)); ++first) {
          form.Button(9)->click();  // "元に戻す"
          QCOMPARE(form.FigureItemIndex(), figureIndex);
          QVERIFY2(WalkToTheEnd(form, board, first), qPrintable(QString("entry row %1, figure %2").arg(row).arg(figure)));
          QVERIFY2(messages_.isEmpty(), qPrintable(QString("entry row %1, figure %2: ").arg(row).arg(figure) + messages_.join('\n')));
        }
      }
    }
  }

  void mainBoardSaveAndRestoreGoThroughTheKyozai() {
    testing::LessonKyozai kyozai(testing::WindowTestLessons());
    QVERIFY(kyozai.Valid());
    if (!testing::SqlExecutionAvailable()) QSKIP("SQL statement execution is not in this build");
    messages_.clear();
    BoardState board;
    TDataModule1 module;
    {
      TForm2 form(board, LessonDataOf(module));
      board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
      form.N10Click();
      form.Label1MouseDown(P(3, 3), Qt::LeftButton);
      form.Label1MouseDown(P(15, 15), Qt::LeftButton);
      form.Save1Click();
      QCOMPARE(Panel(&form, 0), U("　保存しました。"));
    }
    // A new run of the program on the same kyozai.
    BoardState again;
    TDataModule1 module2;
    TForm2 form(again, LessonDataOf(module2));
    again.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form.N10Click();
    form.N2Click();
    QCOMPARE(again.Cell(P(3, 3)), kBlack);
    QCOMPARE(again.Cell(P(15, 15)), kWhite);
    QCOMPARE(again.MoveCount, 2);
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
  }
};

QTEST_MAIN(LessonWindowTest)
#include "lesson_window_test.moc"
