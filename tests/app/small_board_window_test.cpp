// The 13- and 9-line windows, opened from the main window as the user does,
// with their adjourned games kept in in-memory lesson tables.

// Before any Qt header: the in-memory tables have a member named like Qt's
// `slots` keyword.
#include "memory_query.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "app/main_window.h"
#include "app/small_board_window.h"
#include "app/status_panels.h"
#include "app/termination.h"
#include "app/user_dialogs.h"
#include "lessons/data_module.h"
#include "lessons/lesson_query.h"
#include "support/lesson_kyozai.h"

using namespace momiro;

namespace {
QString U(const char* s) { return QString::fromUtf8(s); }
}  // namespace

class SmallBoardWindowTest : public QObject {
  Q_OBJECT

 private:
  BoardState* board_ = nullptr;
  TForm2* form2_ = nullptr;
  TSmallBoardWindow* form3_ = nullptr;
  TSmallBoardWindow* form4_ = nullptr;
  testing::MemoryDatabase* db_ = nullptr;
  testing::MemoryQuery* figures_ = nullptr;
  QStringList messages_;

  // The points of the stored rows of a board size, in row order.
  QList<int> StoredPoints(int lines) {
    QList<int> points;
    for (const testing::MemoryRow& row : db_->Table("figure").Rows()) {
      if (row[kFigureMNB].integer == lines) points << static_cast<int>(row[kFigurePST].integer);
    }
    return points;
  }
  void Click(TSmallBoardWindow* window, int p) { QTest::mouseClick(Cell(window, "Label", p), Qt::LeftButton); }
  void TriggerMenu(QWidget* window, const char* name) {
    QAction* action = window->findChild<QAction*>(name);
    if (action == nullptr) qFatal("no menu item %s", name);
    action->trigger();
  }

  static QWidget* Cell(QWidget* window, const char* kind, int p) {
    QWidget* w = window->findChild<QWidget*>(QString("%1%2").arg(kind).arg(p));
    if (w == nullptr) qFatal("no %s%d", kind, p);
    return w;
  }
  static QString Panel0(QWidget* window) {
    return window->findChild<TStatusPanels*>("StatusBar1")->PanelText(0);
  }

 private slots:
  void init() {
    messages_.clear();
    TUserDialogs::SetScripted([this](const QString& text) { messages_ << text; });
    ResetTermination();
    board_ = new BoardState;
    db_ = new testing::MemoryDatabase;
    figures_ = new testing::MemoryQuery(*db_);
    form2_ = new TForm2(*board_);
    form3_ = new TSmallBoardWindow(*board_, 13, figures_);
    form4_ = new TSmallBoardWindow(*board_, 9, figures_);
    form2_->SetSmallWindows(form3_, form4_);
    board_->ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form2_->show();
  }
  void cleanup() {
    delete form4_;
    delete form3_;
    delete form2_;
    delete figures_;
    delete db_;
    delete board_;
  }

  void windowsHaveTheirSizesCellsAndTitles() {
    QCOMPARE(form3_->windowTitle(), U("Sorabi"));
    QCOMPARE(form3_->size(), QSize(832, 606));
    QCOMPARE(form4_->size(), QSize(758, 606));
    QCOMPARE(Cell(form3_, "Image", 169)->geometry(), QRect(82 + 28 * 12, 90 + 28 * 12, 28, 28));
    QCOMPARE(Cell(form4_, "Label", 81)->geometry(), QRect(116 + 28 * 8, 130 + 28 * 8, 26, 16));
    QVERIFY(form3_->findChild<QWidget*>("Label170") == nullptr);
    QCOMPARE(form3_->findChild<QWidget*>("CuteButton1")->property("text").toString(), U("1手戻し"));
    QCOMPARE(form4_->findChild<QWidget*>("CuteButton1")->property("text").toString(), U("１手戻す"));
  }

  void playingOnThirteenLinesAndReturning() {
    form2_->N4Click();
    QVERIFY(form3_->isVisible());
    QVERIFY(form3_->isModal());
    QCOMPARE(board_->LineCount, 13);
    QCOMPARE(Panel0(form3_), U("始めてください。"));
    QVERIFY(form3_->findChild<QRadioButton*>("RadioButton1")->isChecked());

    QTest::mouseClick(Cell(form3_, "Label", 1), Qt::LeftButton);  // black
    QTest::mouseClick(Cell(form3_, "Label", 2), Qt::LeftButton);  // white
    QCOMPARE(Cell(form3_, "Label", 2)->property("text").toString(), U("2"));
    QTest::mouseClick(Cell(form3_, "Label", 2), Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(board_->Cell(2), kEmpty);
    QCOMPARE(form3_->findChild<QLineEdit*>("Edit1")->text(), U("1"));

    form3_->CountClick();  // alternate mode: the small windows count anyway
    QCOMPARE(Panel0(form3_), U("黒 168 目、白 -1 目です。"));

    form3_->close();
    QCOMPARE(board_->LineCount, 19);
    QCOMPARE(board_->PointCount, 361);
    QCOMPARE(board_->Cell(1), kEmpty);  // the main board was cleared on return

    // Captures on the main board follow 19-line geometry again: white on
    // point 19 (bottom of column 0) is taken by black on 18 and 38; point
    // 20 (top of column 1) is no neighbour of it.
    form2_->N10Click();
    QTest::mouseClick(Cell(form2_, "Label", 18), Qt::LeftButton);   // black
    QTest::mouseClick(Cell(form2_, "Label", 19), Qt::LeftButton);   // white
    QTest::mouseClick(Cell(form2_, "Label", 100), Qt::LeftButton);  // black elsewhere
    QTest::mouseClick(Cell(form2_, "Label", 20), Qt::LeftButton);   // white
    QTest::mouseClick(Cell(form2_, "Label", 38), Qt::LeftButton);   // black: captures 19
    QCOMPARE(board_->Cell(19), kEmpty);
    QCOMPARE(board_->WhiteStonesTaken, 1);
  }

  void clearStoresTheGameFirstAndRestoreBringsItBack() {
    form2_->N4Click();
    Click(form3_, 1);   // black
    Click(form3_, 2);   // white
    Click(form3_, 30);  // black
    QTest::mouseClick(form3_->findChild<QWidget*>("CuteButton2"), Qt::LeftButton);  // "クリア"
    QCOMPARE(board_->Cell(1), kEmpty);
    QCOMPARE(board_->MoveCount, 0);
    QCOMPARE(StoredPoints(13), (QList<int>{1, 2, 30}));
    Click(form3_, 100);  // a new game, not stored
    TriggerMenu(form3_, "N2");  // "復元"
    QCOMPARE(Panel0(form3_), U("　復元しました。"));
    QCOMPARE(board_->Cell(1), kBlack);
    QCOMPARE(board_->Cell(2), kWhite);
    QCOMPARE(board_->Cell(30), kBlack);
    QCOMPARE(board_->Cell(100), kEmpty);
    QCOMPARE(board_->MoveCount, 3);
    QCOMPARE(Cell(form3_, "Label", 30)->property("text").toString(), U("3"));
    // White is to play after black's last stored move.
    Click(form3_, 50);
    QCOMPARE(board_->Cell(50), kWhite);
    QVERIFY(messages_.isEmpty());
  }

  void saveAfterATakeBackLeavesTheTakenBackMoveOut() {
    form2_->N4Click();
    Click(form3_, 1);
    Click(form3_, 2);
    Click(form3_, 3);
    form3_->CuteButton1Click();  // "1手戻し"
    TriggerMenu(form3_, "Save1");  // "保存"
    QCOMPARE(Panel0(form3_), U("　保存しました。"));
    QVERIFY(!StoredPoints(13).contains(3));
    QVERIFY(StoredPoints(13).contains(1) && StoredPoints(13).contains(2));
    form3_->CuteButton2Click();
    form3_->N2Click();
    QCOMPARE(board_->Cell(1), kBlack);
    QCOMPARE(board_->Cell(2), kWhite);
    QCOMPARE(board_->Cell(3), kEmpty);
    QCOMPARE(board_->MoveCount, 2);
  }

  void theNineLineClearStoresItsOwnGame() {
    form2_->N5Click();
    Click(form4_, 5);
    Click(form4_, 6);
    form4_->CuteButton2Click();
    QCOMPARE(StoredPoints(9), (QList<int>{5, 6}));
    QVERIFY(StoredPoints(13).isEmpty());
    // Clearing with nothing played keeps the stored game.
    form4_->CuteButton2Click();
    QCOMPARE(StoredPoints(9), (QList<int>{5, 6}));
  }

  void theThirteenLineGameIsKeptInTheKyozai() {
    testing::LessonKyozai kyozai(testing::WindowTestLessons());
    QVERIFY(kyozai.Valid());
    if (!testing::SqlExecutionAvailable()) QSKIP("SQL statement execution is not in this build");
    BoardState board;
    TDataModule1 module;
    TForm2 main(board, LessonDataOf(module));
    TSmallBoardWindow form3(board, 13, &module.Figures());
    TSmallBoardWindow form4(board, 9, &module.Figures());
    main.SetSmallWindows(&form3, &form4);
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    main.N4Click();
    Click(&form3, 7);
    Click(&form3, 8);
    form3.CuteButton2Click();  // "クリア" stores first
    QCOMPARE(board.Cell(7), kEmpty);
    form3.N2Click();  // "復元"
    QCOMPARE(board.Cell(7), kBlack);
    QCOMPARE(board.Cell(8), kWhite);
    QCOMPARE(board.MoveCount, 2);
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    form3.close();
  }

  void nineLineMenuAndExitQuestion() {
    form2_->N5Click();
    QCOMPARE(board_->LineCount, 9);
    TUserDialogs::QueueAnswer(DialogAnswer::No);
    form4_->Exit1Click();
    QCOMPARE(messages_, QStringList{U("「Sorabi」を終了していいですか？")});
    QVERIFY(!TerminationRequested());
    form4_->close();
    QCOMPARE(board_->LineCount, 19);
  }
};

QTEST_MAIN(SmallBoardWindowTest)
#include "small_board_window_test.moc"
