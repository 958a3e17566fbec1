// The main window's keys: each drives the same state change as the button
// it stands for (board, numbers, panels, messages, figure letter), the
// digits take the n-th choice circle in reading order, a key whose button
// a layout hides does nothing, the menu shows the keys, and Esc closes the
// help window.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <functional>

#include "app/cell_widgets.h"
#include "app/help_file.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/status_panels.h"
#include "app/termination.h"
#include "app/user_dialogs.h"
#include "lessons/data_module.h"
#include "support/lesson_kyozai.h"
#include "tools/make_kyozai/lesson_source.h"

using namespace momiro;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// 図Ａ offers two continuations stored as D3 then C5; in reading order (rows
// from the top) C5 comes first. 図Ｂ has a single sequence.
std::vector<std::string> KeyLesson() {
  return {
      "entry 110 キーの課\n"
      "figure A start\n"
      "  W D4\n"
      "  B C4 D5 E4 : 白はアタリです。\n"
      "sequence start\n"
      "  B D3 captures D4 : 取りました。\n"
      "  W E3 : 白の手\n"
      "  B F3 : 黒の手\n"
      "sequence start\n"
      "  B? C5 : 失敗です。\n"
      "  W D3 : 逃げられました。\n"
      "figure B single\n"
      "  B K10 : 図Ｂです。\n"
      "sequence single\n"
      "  W K11 : 白の手\n",
  };
}

// Everything a key or button may change that the user sees or the lesson keeps.
struct Snapshot {
  std::vector<int32_t> cells;
  QStringList texts;  // every text cell
  QString panel0, panel1;
  QStringList messages;
  int figureIndex = 0;
  int choicePending = 0;
  int moveNumber = 0;
  std::string edit3;
  bool operator==(const Snapshot&) const = default;
};

using Setup = std::function<void(TForm2&, BoardState&)>;

void ShowFigure(TForm2& form, BoardState&) { form.DBGrid1CellClick(); }
void ShowCircles(TForm2& form, BoardState& board) {
  ShowFigure(form, board);
  form.Button(5)->click();
}
void TakeFirstAnswer(TForm2& form, BoardState& board) {
  ShowCircles(form, board);
  form.Label1MouseDown(ParsePoint("D3"), Qt::LeftButton);
  form.Button(5)->click();
}
// The contents grid has the focus: its own arrow keys must not win.
void ShowFigureGridFocused(TForm2& form, BoardState& board) {
  ShowFigure(form, board);
  QWidget* grid = form.findChild<QWidget*>("DBGrid1");
  grid->setFocus();
  if (QApplication::focusWidget() != grid) qFatal("the contents grid takes no focus");
}
void ShowSecondFigure(TForm2& form, BoardState& board) {
  ShowFigure(form, board);
  form.Button(14)->click();
}

}  // namespace

class KeyboardShortcutsTest : public QObject {
  Q_OBJECT

 private:
  QStringList messages_;

  Snapshot Take(TForm2& form, BoardState& board) const {
    Snapshot s;
    s.cells = board.Cells;
    for (int p = 1; p <= kMaxPoints; ++p) s.texts << form.Cells().TextCell(p)->text();
    auto* panels = form.findChild<TStatusPanels*>("StatusBar1");
    s.panel0 = panels->PanelText(0);
    s.panel1 = panels->PanelText(1);
    s.messages = messages_;
    s.figureIndex = form.FigureItemIndex();
    s.choicePending = board.ChoicePending;
    s.moveNumber = board.MoveNumber;
    s.edit3 = form.Edit3Text();
    return s;
  }

  // A fresh program on the lesson, the setup done, then act; the state
  // before and after acting.
  std::pair<Snapshot, Snapshot> Run(const Setup& setup, const std::function<void(TForm2&)>& act) {
    messages_.clear();
    BoardState board;
    TDataModule1 module;
    TForm2 form(board, LessonDataOf(module));
    board.ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form.Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    form.show();
    form.activateWindow();
    if (!QTest::qWaitForWindowActive(&form)) qFatal("the main window does not become active");
    setup(form, board);
    const Snapshot before = Take(form, board);
    act(form);
    return {before, Take(form, board)};
  }

 private slots:
  void initTestCase() { InstallFontSubstitutes(); }
  void init() {
    TUserDialogs::SetScripted([this](const QString& text) { messages_ << text; });
    ResetTermination();
  }

  void eachKeyDoesWhatItsButtonDoes_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("button");
    QTest::addColumn<Setup>("setup");
    QTest::newRow("Right 1手進む: circles") << int(Qt::Key_Right) << 5 << Setup(ShowFigure);
    QTest::newRow("Right 1手進む: circles wait") << int(Qt::Key_Right) << 5 << Setup(ShowCircles);
    QTest::newRow("Right 1手進む: a move") << int(Qt::Key_Right) << 5 << Setup(ShowSecondFigure);
    QTest::newRow("Left 1手戻す") << int(Qt::Key_Left) << 7 << Setup(TakeFirstAnswer);
    QTest::newRow("Up 前の図") << int(Qt::Key_Up) << 15 << Setup(ShowSecondFigure);
    QTest::newRow("Up 前の図 on the first") << int(Qt::Key_Up) << 15 << Setup(ShowFigure);
    QTest::newRow("Down 次の図") << int(Qt::Key_Down) << 14 << Setup(ShowFigure);
    QTest::newRow("Down 次の図 in the grid") << int(Qt::Key_Down) << 14 << Setup(ShowFigureGridFocused);
    QTest::newRow("Right 1手進む in the grid") << int(Qt::Key_Right) << 5 << Setup(ShowFigureGridFocused);
    QTest::newRow("Home 元に戻す") << int(Qt::Key_Home) << 9 << Setup(TakeFirstAnswer);
    QTest::newRow("PageUp １手順戻す") << int(Qt::Key_PageUp) << 10 << Setup(TakeFirstAnswer);
    QTest::newRow("PageUp １手順戻す at the figure") << int(Qt::Key_PageUp) << 10 << Setup(ShowFigure);
  }
  void eachKeyDoesWhatItsButtonDoes() {
    testing::LessonKyozai kyozai(KeyLesson());
    QVERIFY(kyozai.Valid());
    QFETCH(int, key);
    QFETCH(int, button);
    QFETCH(Setup, setup);
    const auto [beforeClick, clicked] = Run(setup, [button](TForm2& form) { form.Button(button)->click(); });
    const auto [beforeKey, keyed] = Run(setup, [key](TForm2& form) {
      QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &form, Qt::Key(key));
    });
    QVERIFY(beforeClick == beforeKey);
    QVERIFY2(!(clicked == beforeClick), "the button changes nothing here");
    QVERIFY(keyed == clicked);
  }

  void theDigitsTakeTheCirclesInReadingOrder() {
    testing::LessonKyozai kyozai(KeyLesson());
    QVERIFY(kyozai.Valid());
    const QStringList readingOrder = {"C5", "D3"};
    for (int n = 1; n <= 2; ++n) {
      const int p = ParsePoint(readingOrder[n - 1].toStdString());
      const auto [beforeClick, clicked] = Run(ShowCircles, [p](TForm2& form) {
        QTest::mouseClick(form.Cells().TextCell(p), Qt::LeftButton);
      });
      const auto [beforeKey, keyed] = Run(ShowCircles, [n](TForm2& form) { QTest::keyClick(&form, Qt::Key(Qt::Key_0 + n)); });
      QVERIFY(!(clicked == beforeClick));
      QVERIFY2(keyed == clicked, qPrintable(readingOrder[n - 1]));
    }
    // A digit past the circles shown, or with no circles, does nothing.
    const auto [beforeThree, afterThree] = Run(ShowCircles, [](TForm2& form) { QTest::keyClick(&form, Qt::Key_3); });
    QVERIFY(afterThree == beforeThree);
    const auto [beforeNone, afterNone] = Run(ShowFigure, [](TForm2& form) { QTest::keyClick(&form, Qt::Key_1); });
    QVERIFY(afterNone == beforeNone);
  }

  void aKeyWhoseButtonIsHiddenDoesNothing() {
    testing::LessonKyozai kyozai(KeyLesson());
    QVERIFY(kyozai.Valid());
    // "１９路盤" hides "元に戻す", "１手順戻す", "次の図" and "前の図".
    auto inGame = [](TForm2& form, BoardState& board) {
      ShowFigure(form, board);
      form.N10Click();
      form.Label1MouseDown(ParsePoint("Q16"), Qt::LeftButton);
    };
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_PageUp, Qt::Key_Down, Qt::Key_Up}) {
      const auto [before, after] = Run(inGame, [key](TForm2& form) { QTest::keyClick(&form, key); });
      QVERIFY2(after == before, qPrintable(QKeySequence(key).toString()));
    }
    // The menu greys them out, and "対局終了" brings them back.
    messages_.clear();
    BoardState board;
    TDataModule1 module;
    TForm2 form(board, LessonDataOf(module));
    QAction* next = form.findChild<QAction*>("KeyNextFigure");
    QVERIFY(next != nullptr && next->isEnabled());
    form.N10Click();
    QVERIFY(!next->isEnabled());
    form.N8Click();
    QVERIFY(next->isEnabled());
    form.CuteButton1Click();  // "編集" hides "次の図"
    QVERIFY(!next->isEnabled());
  }

  void anEditBoxKeepsItsOwnKeys() {
    testing::LessonKyozai kyozai(KeyLesson());
    QVERIFY(kyozai.Valid());
    // The edit layout, a stone played, the number box focused: Left moves
    // its cursor instead of taking the stone back, a digit is typed.
    auto typing = [](TForm2& form, BoardState& board) {
      ShowFigure(form, board);
      form.CuteButton1Click();
      auto* edit3 = form.findChild<QLineEdit*>("Edit3");
      edit3->setText("11");
      edit3->setFocus();
      if (QApplication::focusWidget() != edit3) qFatal("Edit3 takes no focus");
    };
    const auto [before, after] = Run(typing, [](TForm2&) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_0);
    });
    QCOMPARE(after.cells, before.cells);
    QCOMPARE(after.panel0, before.panel0);
    QCOMPARE(after.messages, before.messages);
    QCOMPARE(after.edit3, std::string("101"));
  }

  void theMenuAndTheHelpShowTheKeys() {
    BoardState board;
    TForm2 form(board);
    const struct {
      const char* name;
      int button;
      Qt::Key key;
    } items[] = {{"KeyStepForward", 5, Qt::Key_Right}, {"KeyTakeBack", 7, Qt::Key_Left},
                 {"KeyPreviousFigure", 15, Qt::Key_Up}, {"KeyNextFigure", 14, Qt::Key_Down},
                 {"KeyShowAgain", 9, Qt::Key_Home},     {"KeySequenceBack", 10, Qt::Key_PageUp}};
    QFile helpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    QVERIFY(helpFile.open(QIODevice::ReadOnly));
    std::string error;
    const std::optional<HelpFile> help = ParseHelpFile(helpFile.readAll().toStdString(), &error);
    QVERIFY2(help.has_value(), error.c_str());
    QString helpText;
    for (const HelpTopic& topic : help->topics) helpText += QString::fromStdString(topic.body);
    for (const auto& item : items) {
      QAction* action = form.findChild<QAction*>(item.name);
      QVERIFY(action != nullptr);
      QCOMPARE(action->text(), form.Button(item.button)->text());
      QCOMPARE(action->shortcut(), QKeySequence(item.key));
      QVERIFY2(helpText.contains(form.Button(item.button)->text()), item.name);
    }
    for (const char* key : {"→", "←", "↑", "↓", "Home", "Page Up", "Esc", "1"}) {
      QVERIFY2(helpText.contains(U(key)), key);
    }
    QCOMPARE(form.findChild<QAction*>("KeyCircle9")->shortcut(), QKeySequence(Qt::Key_9));
  }

  void escClosesTheHelpWindow() {
    BoardState board;
    TForm2 form(board);
    form.Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    form.show();
    form.ALLHelpClick();
    QVERIFY(form.Help().isVisible());
    form.Help().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form.Help()));
    QTest::keyClick(&form.Help(), Qt::Key_Escape);
    QVERIFY(!form.Help().isVisible());
    QVERIFY(messages_.isEmpty());
  }
};

QTEST_MAIN(KeyboardShortcutsTest)
#include "keyboard_shortcuts_test.moc"
