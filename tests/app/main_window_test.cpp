// The main window on the offscreen platform: real widgets, real clicks.
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "app/action_runner.h"
#include "app/cell_widgets.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/termination.h"
#include "app/user_dialogs.h"

using namespace momiro;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// Geometry and visibility of every named child, to compare layouts.
std::map<QString, std::pair<QRect, bool>> Snapshot(QWidget* window) {
  std::map<QString, std::pair<QRect, bool>> result;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->objectName().isEmpty()) result[w->objectName()] = {w->geometry(), w->isVisibleTo(window)};
  }
  return result;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  BoardState* board_ = nullptr;
  TForm2* form_ = nullptr;
  QStringList messages_;

  template <typename T>
  T* Find(const char* name) {
    T* found = form_->findChild<T*>(name);
    if (found == nullptr) qFatal("no component %s", name);
    return found;
  }
  void ClickPoint(int p, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(Find<QWidget>(QString("Label%1").arg(p).toUtf8().constData()), button);
  }
  TPictureCell* Image(int p) { return Find<TPictureCell>(QString("Image%1").arg(p).toUtf8().constData()); }
  TTextCell* Label(int p) { return Find<TTextCell>(QString("Label%1").arg(p).toUtf8().constData()); }
  QString Panel(int i) { return form_->findChild<TStatusPanels*>("StatusBar1")->PanelText(i); }

 private slots:
  void init() {
    messages_.clear();
    TUserDialogs::SetScripted([this](const QString& text) { messages_ << text; });
    ResetTermination();
    board_ = new BoardState;
    form_ = new TForm2(*board_);
    board_->ProgramDirectory = MOMIRO_PROGRAM_DIR;
    form_->Help().SetHelpFile(QString(MOMIRO_PROGRAM_DIR) + "Momiro.hlp");
    form_->show();
  }
  void cleanup() {
    delete form_;
    delete board_;
  }

  void startsInTheViewLayoutInFreeMode() {
    QCOMPARE(form_->windowTitle(), U("Momiro"));
    QCOMPARE(form_->size(), QSize(832, 610));
    QCOMPARE(board_->AppMode, kAppView);
    QCOMPARE(board_->PlayMode, kPlayFree);
    QVERIFY(Find<QRadioButton>("RadioButton2")->isChecked());
    QCOMPARE(Find<QWidget>("CuteButton1")->property("text").toString(), U("入門"));
    QCOMPARE(Label(1)->text(), U(" "));
    QCOMPARE(Find<QComboBox>("ComboBox1")->count(), 27);
    QCOMPARE(Find<QComboBox>("ComboBox1")->itemText(25), U("図Ｚ"));
    QVERIFY(!Find<QWidget>("Edit1")->isVisible());
    // Cells stand where the board geometry puts them.
    QCOMPARE(Image(20)->geometry(), QRect(30, 2, 28, 28));
    QCOMPARE(Label(361)->geometry(), QRect(4 + 28 * 18, 9 + 28 * 18, 26, 16));
  }

  void clicksOnCellsPlayAlternateMovesWithNumbers() {
    form_->N10Click();
    QCOMPARE(Panel(0), U("始めてください。"));
    QVERIFY(Find<QWidget>("Edit1")->isVisible());
    QVERIFY(!Find<QWidget>("CuteButton14")->isVisible());
    QCOMPARE(Find<QWidget>("CuteButton6")->pos(), QPoint(728, 416));
    ClickPoint(2);
    ClickPoint(1);
    ClickPoint(20);  // black takes the white corner stone
    QCOMPARE(Image(2)->PicturePath(), QString(MOMIRO_PROGRAM_DIR) + "stB.bmp");
    QVERIFY(Image(2)->HasPicture());
    QVERIFY(!Image(1)->HasPicture());
    QCOMPARE(Label(20)->text(), U("3"));
    QCOMPARE(Label(2)->text(), U(""));  // erased by the next move
    QCOMPARE(Label(20)->TextColour(), QColor(Qt::white));
    QCOMPARE(Find<QLineEdit>("Edit1")->text(), U("1"));
    QCOMPARE(Find<QLineEdit>("Edit2")->text(), U("0"));
    QCOMPARE(Panel(0), U(""));
    form_->Button(7)->click();  // "1手戻す" restores the white stone
    QVERIFY(Image(1)->HasPicture());
    QCOMPARE(Image(1)->PicturePath(), QString(MOMIRO_PROGRAM_DIR) + "stW.bmp");
    QCOMPARE(Label(1)->text(), U("2"));
  }

  void freeModeRightClickPlacesWhiteWithoutNumber() {
    ClickPoint(100, Qt::RightButton);
    QCOMPARE(Image(100)->PicturePath(), QString(MOMIRO_PROGRAM_DIR) + "stW.bmp");
    QCOMPARE(Label(100)->text(), U(""));
    QCOMPARE(board_->Cell(100), kWhite);
  }

  void togglingTheLayoutTwiceRestoresEveryControl() {
    const auto before = Snapshot(form_);
    form_->Button(1)->click();
    QCOMPARE(board_->AppMode, kAppEdit);
    QCOMPARE(form_->Button(1)->text(), U("編集"));
    QVERIFY(Find<QWidget>("DBGrid2")->isVisible());
    QCOMPARE(Find<QWidget>("Edit3")->y(), 374);
    QVERIFY(Snapshot(form_) != before);
    form_->Button(1)->click();
    QCOMPARE(form_->Button(1)->text(), U("入門"));
    const auto after = Snapshot(form_);
    for (const auto& [name, state] : before) {
      QVERIFY2(after.at(name) == state, qPrintable(name));
    }
  }

  void beginningAGameInTheEditLayoutKeepsTheEditControls() {
    form_->Button(1)->click();
    form_->N10Click();
    QVERIFY(Find<QWidget>("Edit1")->isVisible());
    QVERIFY(Find<QWidget>("Edit2")->isVisible());
    QVERIFY(Find<QWidget>("GroupBox2")->isVisible());
    QVERIFY(Find<QWidget>("CuteButton2")->isVisible());
    QCOMPARE(board_->AppMode, kAppEdit);
    form_->N8Click();
    QVERIFY(!Find<QWidget>("Edit1")->isVisible());
    QVERIFY(Find<QRadioButton>("RadioButton2")->isChecked());
    QCOMPARE(board_->PlayMode, kPlayFree);
  }

  void endOfGameMarkingAndCountThroughTheWindow() {
    ClickPoint(1);  // a free black stone
    Find<QRadioButton>("RadioButton3")->click();
    QCOMPARE(messages_, QStringList{U("手入れの完了を確認してください。ダメ詰めは不要です。")});
    form_->N9Click();
    QCOMPARE(Panel(0), U("盤面：黒 360 目、白 0 目です。"));
    ClickPoint(1);
    QCOMPARE(Label(1)->text(), U("*"));
    ClickPoint(1);
    QVERIFY(!Image(1)->HasPicture());
    QCOMPARE(Find<QLineEdit>("Edit2")->text(), U("1"));
  }

  void clockShowsMonthDayAndTwelveHourTime() {
    const struct {
      QDateTime time;
      const char* text;
    } cases[] = {
        {QDateTime(QDate(2026, 12, 8), QTime(21, 5)), "12/08  09:05 PM"},
        {QDateTime(QDate(2026, 1, 2), QTime(0, 30)), "01/02  12:30 AM"},
        {QDateTime(QDate(2026, 7, 31), QTime(12, 30)), "07/31  12:30 PM"},
    };
    for (const auto& c : cases) QCOMPARE(TForm2::ClockText(c.time), U(c.text));
    QCOMPARE(Panel(2), TForm2::ClockText(QDateTime::currentDateTime()));
  }

  void exitQuestionAnsweredNoLeavesEverything() {
    ClickPoint(5);
    TUserDialogs::QueueAnswer(DialogAnswer::No);
    form_->APEndClick();
    QCOMPARE(messages_, QStringList{U("「Momiro」を終了していいですか？")});
    QVERIFY(!TerminationRequested());
    QCOMPARE(board_->Cell(5), kBlack);
    form_->APEndClick();  // no answer queued: Yes
    QVERIFY(TerminationRequested());
  }

  void versionBox() {
    form_->VInfoClick();
    QCOMPARE(messages_, QStringList{U("Momiro\nVersion 2.3")});
  }

  void aMissingStonePictureIsShownAndTheLoopGoesOn() {
    QTemporaryDir empty;
    board_->ProgramDirectory = (empty.path() + "/").toStdString();
    ClickPoint(7);
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains("stB.bmp"));
    board_->ProgramDirectory = MOMIRO_PROGRAM_DIR;
    ClickPoint(8);
    QVERIFY(Image(8)->HasPicture());
    QCOMPARE(messages_.size(), 1);
  }

  void aMissingSoundFileStopsTheActionThere() {
    QTemporaryDir dir;
    QFile::copy(QString(MOMIRO_PROGRAM_DIR) + "stB.bmp", dir.path() + "/stB.bmp");
    board_->ProgramDirectory = (dir.path() + "/").toStdString();
    form_->N10Click();
    ClickPoint(7);
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains("Oto1.wav"));
    // The stone is drawn, but the rest of the move (handing the turn to
    // white) was abandoned with the sound.
    QVERIFY(Image(7)->HasPicture());
    QCOMPARE(board_->CurrentColour, kBlack);
  }

  void helpShowsContentsAndTopics() {
    form_->ALLHelpClick();
    QVERIFY(form_->Help().isVisible());
    QVERIFY(form_->Help().ShownText().contains(U("石の打ち方")));
    form_->Help().ShowTopic(1003);
    QVERIFY(form_->Help().ShownText().contains(U("地の計算")));
    QVERIFY(!form_->Help().ShownText().contains(U("石の打ち方")));
    form_->Help().SetHelpFile("/nonexistent/Momiro.hlp");
    form_->ALLHelpClick();
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains("Momiro.hlp"));
  }

  void japaneseFontIsSubstituted() {
    InstallFontSubstitutes();
    const QFontInfo info(Label(1)->font());
    QVERIFY2(info.family().contains("IPA"), qPrintable(info.family()));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
