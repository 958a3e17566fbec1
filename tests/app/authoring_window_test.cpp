// Lesson authoring through the main window's edit layout on the offscreen
// platform, over a real kyozai through the data module: board clicks record
// entries, the buttons store, delete and move figure rows, DBGrid2 edits a
// row through the live figure query, and an authored lesson outlives the
// program and plays in the lesson player.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/cell_widgets.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/status_panels.h"
#include "app/termination.h"
#include "app/user_dialogs.h"
#include "components/rudira_query.h"
#include "lessons/data_module.h"
#include "lessons/figure_player.h"
#include "lessons/lesson_author.h"
#include "support/lesson_kyozai.h"
#include "tools/make_kyozai/lesson_source.h"

using namespace momiro;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// A stored figure row without its running number, which every opening
// rewrites.
struct StoredRow {
  int mnb, tes, col, pst, bfr, bto, dtx;
  std::string cmt;
  friend bool operator==(const StoredRow&, const StoredRow&) = default;
};

char* toString(const StoredRow& row) {
  return QTest::toString(QString("MNB %1 TES %2 COL %3 PST %4 BFR %5 BTO %6 DTX %7 CMT %8")
                             .arg(row.mnb).arg(row.tes).arg(row.col).arg(row.pst)
                             .arg(row.bfr).arg(row.bto).arg(row.dtx)
                             .arg(QString::fromStdString(row.cmt)));
}

// The rows of one contents number in table order, read by a query of its
// own, so that what the window's figure query holds is not taken on trust.
std::vector<StoredRow> RowsOf(int mnb) {
  rudira::TRUDIRAQuery query;
  query.SetDatabaseName(kLessonDatabase);
  query.SQL().Add("select * from figure");
  query.SQL().Add("Where MNB = " + std::to_string(mnb));
  query.Open();
  std::vector<StoredRow> rows;
  for (query.First(); !query.Eof(); query.Next()) {
    auto f = [&](const char* name) { return query.FieldByName(name).AsInteger(); };
    rows.push_back({f("MNB"), f("TES"), f("COL"), f("PST"), f("BFR"), f("BTO"), f("DTX"),
                    query.FieldByName("CMT").AsString()});
  }
  query.Close();
  return rows;
}

// The smallest branch number the rows do not use.
int FreeBranch(const std::vector<StoredRow>& rows) {
  std::set<int> used;
  for (const StoredRow& row : rows) used.insert(row.bfr);
  int b = 1;
  while (used.count(b) != 0) ++b;
  return b;
}

}  // namespace

class AuthoringWindowTest : public QObject {
  Q_OBJECT

 private:
  QStringList messages_;
  std::unique_ptr<testing::LessonKyozai> kyozai_;
  std::unique_ptr<BoardState> board_;
  std::unique_ptr<TDataModule1> module_;
  std::unique_ptr<TForm2> form_;

  template <typename T>
  T* Find(const QString& name) {
    T* found = form_->findChild<T*>(name);
    if (found == nullptr) qFatal("no component %s", qPrintable(name));
    return found;
  }
  QString Panel(int i) { return Find<TStatusPanels>("StatusBar1")->PanelText(i); }
  QLineEdit* Edit3() { return Find<QLineEdit>("Edit3"); }
  QTableView* Grid2() { return Find<QTableView>("DBGrid2"); }
  TTextCell* TextCell(int p) { return Find<TTextCell>(QString("Label%1").arg(p)); }
  void ClickPoint(const char* point, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(TextCell(ParsePoint(point)), button);
  }
  void ChooseLetter(int index) { Find<QComboBox>("ComboBox1")->setCurrentIndex(index); }
  void ClickRadio(int number) { QTest::mouseClick(Find<QRadioButton>(QString("RadioButton%1").arg(number)), Qt::LeftButton); }
  void ClickGridRow(QTableView* grid, int row) {
    QCoreApplication::processEvents();
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  }
  // Index in rows of the first row from `from` on with this point and colour.
  static int IndexOf(const std::vector<StoredRow>& rows, const char* point, int colour, size_t from = 0) {
    for (size_t i = from; i < rows.size(); ++i) {
      if (rows[i].pst == ParsePoint(point) && rows[i].col == colour) return static_cast<int>(i);
    }
    return -1;
  }
  // Starts the program on the kyozai of the test and switches to "編集".
  void StartProgram() {
    board_ = std::make_unique<BoardState>();
    module_ = std::make_unique<TDataModule1>();
    form_ = std::make_unique<TForm2>(*board_, LessonDataOf(*module_));
    board_->ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form_->Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    form_->show();
    form_->Button(1)->click();  // "編集"
    QCoreApplication::processEvents();
  }
  void StopProgram() {
    form_.reset();
    module_.reset();
    board_.reset();
  }

 private slots:
  void init() {
    messages_.clear();
    TUserDialogs::SetScripted([this](const QString& text) { messages_ << text; });
    ResetTermination();
    kyozai_ = std::make_unique<testing::LessonKyozai>(testing::WindowTestLessons());
    QVERIFY(kyozai_->Valid());
    if (!testing::SqlExecutionAvailable()) QSKIP("SQL statement execution is not in this build");
    StartProgram();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QCOMPARE(board_->ContentsNumber, 110);
  }
  void cleanup() {
    StopProgram();
    kyozai_.reset();
  }

  void aThreeStoneBasicFigureIsStoredUnderTheChosenLetter() {
    const std::vector<StoredRow> before = RowsOf(110);
    ChooseLetter(2);  // 図Ｃ
    ClickPoint("C16");
    ClickPoint("D16", Qt::RightButton);
    ClickPoint("E16");
    QCOMPARE(board_->MoveCount, 3);
    QCOMPARE(board_->Cell(ParsePoint("D16")), kWhite);
    form_->Button(2)->click();  // "基本図登録"
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QCOMPARE(Panel(0), U(kStored));
    QCOMPARE(board_->MoveCount, 0);

    std::vector<StoredRow> expected = before;
    const int branch = FreeBranch(before);
    expected.push_back({110, 0, kBlack, ParsePoint("C16"), 0, kBasicFigureStart, 3, ""});
    expected.push_back({110, 0, kWhite, ParsePoint("D16"), 0, 0, 0, ""});
    expected.push_back({110, 0, kBlack, ParsePoint("E16"), branch, 0, 0, ""});
    QCOMPARE(RowsOf(110), expected);
    // The grid shows the stored rows.
    QCoreApplication::processEvents();
    QCOMPARE(form_->FigureGrid().rowCount(), static_cast<int>(expected.size()));
  }

  void aTextMarkWithoutStyleIsRefusedThenStoredAndShownAgain() {
    // Text without a complete style: a message, nothing recorded.
    const QString emptyText = TextCell(ParsePoint("K4"))->text();
    Edit3()->setText(U("ア"));
    ClickRadio(5);  // "石上" alone is not enough
    ClickPoint("K4");
    QCOMPARE(messages_, QStringList{U(kChooseTextStyle)});
    QCOMPARE(board_->MoveCount, 0);
    QCOMPARE(board_->Cell(ParsePoint("K4")), 0);
    QCOMPARE(TextCell(ParsePoint("K4"))->text(), emptyText);

    ClickRadio(9);  // "緑"
    QCOMPARE(board_->TextKind, kTextOnStone);
    QCOMPARE(board_->TextColour, kTextGreen);
    ClickPoint("K4");
    QCOMPARE(board_->MoveCount, 1);  // the very next entry: no gap
    QCOMPARE(board_->MoveList.At(1).point, ParsePoint("K4"));
    QCOMPARE(board_->Cell(ParsePoint("K4")), kBlack);
    ChooseLetter(3);  // 図Ｄ
    form_->Button(2)->click();
    QCOMPARE(Edit3()->text(), QString());
    const std::vector<StoredRow> rows = RowsOf(110);
    QCOMPARE(rows.back(), (StoredRow{110, 0, kBlack, ParsePoint("K4"), FreeBranch({rows.begin(), rows.end() - 1}),
                                     kBasicFigureStart, 1200 + 4, "ア"}));

    // "図表示" of 110, 図Ｄ: a black stone carrying the letter in green.
    form_->CuteButton6Click();  // "クリア"
    QCOMPARE(board_->Cell(ParsePoint("K4")), 0);
    Edit3()->setText("110");
    form_->Button(13)->click();
    QVERIFY2(messages_.size() == 1, qPrintable(messages_.join('\n')));
    QCOMPARE(board_->Cell(ParsePoint("K4")), kBlack);
    QCOMPARE(TextCell(ParsePoint("K4"))->text(), U("ア"));
    QCOMPARE(TextCell(ParsePoint("K4"))->TextColour(), QColor(kGreenText.r, kGreenText.g, kGreenText.b));
    QCOMPARE(board_->PlayMode, kPlayFree);
  }

  void deletingASequenceRemovesExactlyThatSequence() {
    const std::vector<StoredRow> before = RowsOf(110);
    // The wrong answer of 図Ａ: B? E3, then W D3.
    const int first = IndexOf(before, "E3", -kBlack);
    QVERIFY(first > 0);
    QCOMPARE(before[static_cast<size_t>(first) + 1].pst, ParsePoint("D3"));
    ClickGridRow(Grid2(), first);
    QVERIFY(board_->Cell(ParsePoint("E3")) != 0);  // the path is drawn up to the row
    form_->Button(4)->click();  // "手順削除"
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QCOMPARE(Panel(0), U(kSequenceDeleted));
    std::vector<StoredRow> expected = before;
    expected.erase(expected.begin() + first, expected.begin() + first + 2);
    QCOMPARE(RowsOf(110), expected);
    QCOMPARE(board_->Cell(ParsePoint("D4")), 0);  // the board is cleared
  }

  void movingRowsNeedsANumberFromAThousandAndMovesToTheNextFigure() {
    const std::vector<StoredRow> before = RowsOf(110);
    // 図Ｂ begins at K10 and runs to the end of the entry.
    const int figureB = IndexOf(before, "K10", kBlack);
    QVERIFY(figureB > 0);
    QCOMPARE(before[static_cast<size_t>(figureB)].bto, kBasicFigureStart);
    ClickGridRow(Grid2(), figureB);

    Edit3()->setText("999");
    form_->Button(11)->click();  // "MNB変"
    QCOMPARE(messages_, QStringList{U(kBadContentsNumber)});
    QCOMPARE(RowsOf(110), before);
    QCOMPARE(board_->ContentsNumber, 110);

    messages_.clear();
    ChooseLetter(0);  // the moved figure becomes 図Ａ of 1200
    Edit3()->setText("1200");
    form_->Button(11)->click();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    std::vector<StoredRow> moved(before.begin() + figureB, before.end());
    for (StoredRow& row : moved) {
      row.mnb = 1200;
      if (row.dtx > 0) row.dtx = row.dtx / 100 * 100 + 1;
    }
    QCOMPARE(RowsOf(1200), moved);
    QCOMPARE(RowsOf(110), std::vector<StoredRow>(before.begin(), before.begin() + figureB));
    QCOMPARE(board_->ContentsNumber, 1200);
    // The figure grid shows number 1200's rows.
    QCoreApplication::processEvents();
    QCOMPARE(form_->FigureGrid().rowCount(), static_cast<int>(moved.size()));
    for (int row = 0; row < form_->FigureGrid().rowCount(); ++row) {
      QCOMPARE(form_->FigureGrid().index(row, 0).data().toString(), QString("1200"));
    }
  }

  void aNonNumericNumberIsShownAndChangesNothing() {
    const std::vector<StoredRow> before = RowsOf(110);
    ClickPoint("Q4");  // a recorded stone stays recorded
    for (int button : {11, 13}) {  // "MNB変", "図表示"
      messages_.clear();
      Edit3()->setText(U("一二"));
      form_->Button(button)->click();
      QCOMPARE(messages_, QStringList{U("「一二」は整数ではありません。")});
      QCOMPARE(board_->ContentsNumber, 110);
      QCOMPARE(board_->MoveCount, 1);
      QCOMPARE(board_->Cell(ParsePoint("Q4")), kBlack);
      QCOMPARE(RowsOf(110), before);
    }
  }

  void theFigureGridStoresAnEditAndKeepsARowItCannotStore() {
    const std::vector<StoredRow> before = RowsOf(110);
    QCoreApplication::processEvents();
    TDataGridModel& grid = form_->FigureGrid();
    QVERIFY(grid.flags(grid.index(0, 6)) & Qt::ItemIsEditable);
    // Row 2's DTX (column 6) corrected by hand.
    QVERIFY(grid.setData(grid.index(1, 6), "2100"));
    std::vector<StoredRow> expected = before;
    expected[1].dtx = 2100;
    QCOMPARE(RowsOf(110), expected);
    QCoreApplication::processEvents();
    QCOMPARE(grid.index(1, 6).data().toString(), QString("2100"));
    QVERIFY(messages_.isEmpty());

    // A text that is no number for an integer field: refused with the
    // dataset's message; the row keeps its value in the table and the grid.
    QVERIFY(!grid.setData(grid.index(1, 3), "abc"));
    QCOMPARE(messages_.size(), 1);
    QVERIFY(!messages_.first().isEmpty());
    QCOMPARE(RowsOf(110), expected);
    QCoreApplication::processEvents();
    QCOMPARE(grid.index(1, 3).data().toString(), QString::number(before[1].pst));
    QCOMPARE(module_->RUDIRAQuery2->State(), rudira::TDataSetState::dsBrowse);

    // Through the grid's own editor: a click on the row (the lesson click),
    // then the edit key on the cell opens it, and Enter stores.
    messages_.clear();
    QTableView* view = Grid2();
    ClickGridRow(view, 2);
    QCoreApplication::processEvents();
    const QModelIndex tes = grid.index(2, 1);
    QApplication::setActiveWindow(form_.get());
    view->setFocus();
    view->setCurrentIndex(tes);
    QTest::keyClick(view, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "5");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits from the event loop
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    expected[2].tes = 5;
    QCOMPARE(RowsOf(110), expected);
  }

  void anAuthoredLessonOutlivesTheProgramAndPlaysInTheLessonPlayer() {
    // 図Ｂ of entry 120 ("第二課"): two stones, then a sequence of two moves.
    messages_.clear();
    ClickGridRow(Find<QTableView>("DBGrid1"), 1);
    QCOMPARE(board_->ContentsNumber, 120);
    form_->CuteButton6Click();  // "クリア"
    ChooseLetter(1);
    ClickPoint("C3");
    ClickPoint("D4", Qt::RightButton);
    form_->Button(2)->click();   // "基本図登録"
    ClickPoint("C4", Qt::RightButton);
    ClickPoint("D3");
    form_->Button(8)->click();  // "手順登録"
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QCOMPARE(Panel(0), U(kStored));
    const std::vector<StoredRow> authored = RowsOf(120);

    // The same first move from the same branch row, once the rows are shown
    // again: refused, nothing stored.
    Edit3()->setText("120");
    form_->Button(13)->click();  // "図表示" of 図Ｂ
    QCOMPARE(board_->Cell(ParsePoint("C3")), kBlack);
    Edit3()->clear();
    ClickPoint("C4", Qt::RightButton);
    form_->Button(8)->click();
    QCOMPARE(messages_, QStringList{U(kAlreadyStored)});
    QCOMPARE(RowsOf(120), authored);

    // A new run of the program on the same kyozai, in the view layout.
    StopProgram();
    StartProgram();
    form_->Button(1)->click();  // back to "入門"
    messages_.clear();
    QCOMPARE(RowsOf(120), authored);
    ClickGridRow(Find<QTableView>("DBGrid1"), 1);
    QCOMPARE(board_->ContentsNumber, 120);
    QComboBox* letters = Find<QComboBox>("ComboBox1");
    letters->setCurrentIndex(1);
    emit letters->activated(1);  // the user's choice of 図Ｂ
    QCOMPARE(board_->Cell(ParsePoint("C3")), kBlack);
    QCOMPARE(board_->Cell(ParsePoint("D4")), kWhite);
    QCOMPARE(board_->Cell(ParsePoint("C4")), 0);
    // Played to the end: the one continuation is taken, then each move.
    for (int step = 0; step < 10 && Panel(0) != U(kCannotGoOn); ++step) {
      if (board_->ChoicePending != 0) {
        form_->Label1MouseDown(board_->Choices.At(1).point, Qt::LeftButton);
      } else {
        form_->Button(5)->click();  // "1手進む"
      }
    }
    QCOMPARE(Panel(0), U(kCannotGoOn));
    QCOMPARE(board_->Cell(ParsePoint("C4")), kWhite);
    QCOMPARE(board_->Cell(ParsePoint("D3")), kBlack);
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
  }
};

QTEST_MAIN(AuthoringWindowTest)
#include "authoring_window_test.moc"
