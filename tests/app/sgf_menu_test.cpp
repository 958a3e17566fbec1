// The "SGF" menu on the offscreen platform over a real kyozai: a problem
// imported as a lesson and played, a lesson and a game exported, a
// malformed file shown in a message box, and records placed as games in
// the window of their size and taken back.
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <deque>

#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/sgf_menu.h"
#include "app/small_board_window.h"
#include "app/status_panels.h"
#include "app/user_dialogs.h"
#include "lessons/data_module.h"
#include "lessons/sgf_game.h"
#include "lessons/sgf_lesson_import.h"
#include "lessons/sgf_reader.h"
#include "support/lesson_kyozai.h"

using namespace momiro;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

int S(const char* xy, int lines) { return BoardPointOf(SgfPoint{xy[0] - 'a', xy[1] - 'a'}, lines); }

// Answers the menu's dialogs from queues, as a user would.
class QueuedDialogs : public SgfMenuDialogs {
 public:
  std::deque<QString> files;
  std::deque<std::optional<SgfImportKind>> kinds;
  int number = 0;
  QString title;
  QString offeredTitle;

  QString OpenFileName(QWidget*) override { return Next(); }
  QString SaveFileName(QWidget*, const QString&) override { return Next(); }
  std::optional<SgfImportKind> AskKind(QWidget*) override {
    auto kind = kinds.front();
    kinds.pop_front();
    return kind;
  }
  bool AskContents(QWidget*, int& n, QString& t) override {
    offeredTitle = t;
    n = number;
    t = title;
    return true;
  }

 private:
  QString Next() {
    if (files.empty()) return QString();
    QString file = files.front();
    files.pop_front();
    return file;
  }
};

}  // namespace

class SgfMenuTest : public QObject {
  Q_OBJECT

 private:
  QStringList messages_;
  QTemporaryDir files_;

  QString Write(const char* name, const QByteArray& bytes) {
    const QString path = files_.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
  }
  static QByteArray Read(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
  }
  static QAction* Action(QWidget* window, const char* name) {
    QAction* action = window->findChild<QAction*>(name);
    if (action == nullptr) qFatal("no action %s", name);
    return action;
  }
  static QString Panel(QWidget* window) { return window->findChild<TStatusPanels*>("StatusBar1")->PanelText(0); }

 private slots:
  void init() {
    messages_.clear();
    TUserDialogs::SetScripted([this](const QString& text) { messages_ << text; });
  }

  void theMenuHasItsThreeItems() {
    BoardState board;
    TForm2 form(board);
    new TSgfMenu(form, {}, nullptr, nullptr);
    QMenu* menu = form.findChild<QMenu*>("SgfMenu");
    QVERIFY(menu != nullptr);
    QCOMPARE(menu->title(), QString("SGF"));
    QStringList captions;
    for (QAction* action : menu->actions()) captions << action->text();
    QCOMPARE(captions, (QStringList{U("読み込み…"), U("書き出し…"), U("対局を書き出し…")}));
  }

  void aProblemIsImportedPlayedAndExported() {
    testing::LessonKyozai kyozai(testing::WindowTestLessons());
    QVERIFY(kyozai.Valid());
    if (!testing::SqlExecutionAvailable()) QSKIP("SQL statement execution is not in this build");
    BoardState board;
    TDataModule1 module;
    TForm2 form(board, LessonDataOf(module));
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form.Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    auto* menu = new TSgfMenu(form, LessonDataOf(module), nullptr, nullptr);
    auto* dialogs = new QueuedDialogs;
    menu->SetDialogs(std::unique_ptr<SgfMenuDialogs>(dialogs));
    form.show();

    const QString problem = Write("problem.sgf",
                                  "(;SZ[19]GN[アタリの問題]AB[aa][ba]AW[ab]C[黒番]"
                                  "(;B[bb]C[正解];W[cb])(;B[ca];W[bb]C[失敗]))");
    dialogs->files = {problem};
    dialogs->kinds = {SgfImportKind::Lesson};
    dialogs->number = 1001;
    dialogs->title = U("問題一");
    Action(&form, "SgfImport")->trigger();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QCOMPARE(dialogs->offeredTitle, U("アタリの問題"));
    QCOMPARE(Panel(&form), U(kSgfImported));

    // The new entry is in the contents list and plays like any other.
    QTableView* contents = form.findChild<QTableView*>("DBGrid1");
    QCoreApplication::processEvents();
    const int rows = contents->model()->rowCount();
    QCOMPARE(rows, 3);
    QCOMPARE(contents->model()->index(rows - 1, 0).data().toString(), U("問題一"));
    QVERIFY(module.Contents().Locate("MNB", {1001}));
    form.DBGrid1CellClick();
    QCOMPARE(board.ContentsNumber, 1001);
    QCOMPARE(board.Cell(S("ab", 19)), kWhite);
    form.Button(5)->click();  // "1手進む": two circles
    QCOMPARE(board.ChoicePending, 1);
    form.Label1MouseDown(S("ca", 19), Qt::LeftButton);
    QCOMPARE(board.Cell(S("ca", 19)), kBlack);

    // "書き出し…" writes the entry shown.
    const QString out = files_.filePath("out.sgf");
    dialogs->files = {out};
    Action(&form, "SgfExport")->trigger();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    const SgfCollection back = ReadSgf(Read(out).toStdString());
    QCOMPARE(QString::fromStdString(back.trees.at(0)->Value("GN")), U("問題一"));
    QVERIFY(SgfToLessonRows(*back.trees.at(0)) == SgfToLessonRows(*ReadSgf(Read(problem).toStdString()).trees.at(0)));

    // A malformed file: its message in a box, the contents unchanged.
    dialogs->files = {Write("bad.sgf", "(;AB[aa]\n;B[bb]C[閉じない")};
    Action(&form, "SgfImport")->trigger();
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_.front().contains(U("（行 2、列 8）")), qPrintable(messages_.front()));
    QCoreApplication::processEvents();
    QCOMPARE(contents->model()->rowCount(), rows);
  }

  void recordsArePlacedAsGamesInTheWindowOfTheirSize() {
    BoardState board;
    TForm2 form(board);
    TSmallBoardWindow form3(board, 13);
    TSmallBoardWindow form4(board, 9);
    form.SetSmallWindows(&form3, &form4);
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    auto* menu = new TSgfMenu(form, {}, &form3, &form4);
    auto* dialogs = new QueuedDialogs;
    menu->SetDialogs(std::unique_ptr<SgfMenuDialogs>(dialogs));
    form.show();

    // 13 lines: the 13-line window opens with the moves; "1手戻す" takes the
    // capture back.
    dialogs->files = {Write("g13.sgf", "(;SZ[13];W[ba];B[aa];W[dd];B[ca];W[ee];B[bb])")};
    Action(&form, "SgfImport")->trigger();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QVERIFY(form3.isVisible());
    QCOMPARE(board.LineCount, 13);
    QCOMPARE(board.MoveCount, 6);
    QCOMPARE(board.Cell(S("ba", 13)), kEmpty);
    QCOMPARE(board.WhiteStonesTaken, 1);
    form3.CuteButton1Click();
    QCOMPARE(board.Cell(S("ba", 13)), kWhite);
    QCOMPARE(board.Cell(S("bb", 13)), kEmpty);

    // Its game is exported from the window's own menu.
    const QString out13 = files_.filePath("out13.sgf");
    dialogs->files = {out13};
    Action(&form3, "SgfExportGame")->trigger();
    const SgfGame back = SgfToGame(*ReadSgf(Read(out13).toStdString()).trees.at(0));
    QCOMPARE(back.lines, 13);
    QCOMPARE(static_cast<int>(back.moves.size()), 5);
    form3.close();
    QCOMPARE(board.LineCount, 19);

    // A 19-line record as a game: the main board in game layout.
    dialogs->files = {Write("g19.sgf", "(;AB[pd];W[dp];B[dd])")};
    dialogs->kinds = {SgfImportKind::Game};
    Action(&form, "SgfImport")->trigger();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QCOMPARE(board.PlayMode, kPlayAlternate);
    QCOMPARE(board.MoveCount, 3);
    QCOMPARE(board.Cell(S("dd", 19)), kBlack);
    QCOMPARE(Panel(&form), U(kSgfGameLoaded));
    const QString out19 = files_.filePath("out19.sgf");
    dialogs->files = {out19};
    Action(&form, "SgfExportGame")->trigger();
    const SgfGame game19 = SgfToGame(*ReadSgf(Read(out19).toStdString()).trees.at(0));
    QVERIFY(game19.moves == SgfToGame(*ReadSgf("(;AB[pd];W[dp];B[dd])").trees.at(0)).moves);

    // A board size no window has.
    dialogs->files = {Write("g7.sgf", "(;SZ[7];B[aa])")};
    Action(&form, "SgfImport")->trigger();
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_.front().contains(U("19路、13路、9路")), qPrintable(messages_.front()));
    QCOMPARE(board.MoveCount, 3);
  }
};

QTEST_MAIN(SgfMenuTest)
#include "sgf_menu_test.moc"
