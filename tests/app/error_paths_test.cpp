// Every error path of the main window on the offscreen platform: a missing
// stone picture, sound or help file, a missing kyozai, a kyozai another
// process holds, and numbers in Edit3 that are none or out of range. Each
// shows its message, and an action that follows works as usual.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/cell_widgets.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/status_panels.h"
#include "app/termination.h"
#include "app/user_dialogs.h"
#include "board/board_state.h"
#include "engine/data_cursor.h"
#include "lessons/data_module.h"
#include "lessons/figure_player.h"
#include "lessons/lesson_author.h"
#include "support/lesson_kyozai.h"
#include "tools/make_kyozai/lesson_source.h"

using namespace momiro;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// A process that opens a table of kyozai (under the current directory)
// exclusively when told to, and closes it again when told to. It is forked
// before the program opens any table, so that it shares no open file (and
// no lock) with the program.
class TableHolder {
 public:
  explicit TableHolder(const std::string& table) {
    int commands[2];
    int replies[2];
    if (::pipe(commands) != 0 || ::pipe(replies) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(commands[1]);
      ::close(replies[0]);
      ::_exit(Serve(table, commands[0], replies[1]));
    }
    ::close(commands[0]);
    ::close(replies[1]);
    commands_ = commands[1];
    replies_ = replies[0];
  }
  ~TableHolder() {
    ::close(commands_);
    ::close(replies_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }
  // Whether the child now holds the table (Hold) or has let it go (Release).
  bool Hold() { return Ask('h'); }
  bool Release() { return Ask('r'); }

 private:
  bool Ask(char command) {
    char reply = 0;
    return ::write(commands_, &command, 1) == 1 && ::read(replies_, &reply, 1) == 1 && reply == 1;
  }
  static int Serve(const std::string& table, int commands, int replies) {
    try {
      rudira::TDataSession session;
      rudira::TDataDirectory* db = session.OpenDatabase("kyozai", "kyozai/");
      rudira::TDataCursor cursor(session, *db);
      cursor.SetTableName(table);
      cursor.SetExclusive(true);
      char command = 0;
      while (::read(commands, &command, 1) == 1) {
        if (command == 'h') {
          cursor.OpenCursor();
        } else {
          cursor.CloseCursor();
        }
        const char done = 1;
        if (::write(replies, &done, 1) != 1) return 2;
      }
    } catch (...) {
      return 1;
    }
    return 0;
  }

  pid_t pid_ = -1;
  int commands_ = -1;
  int replies_ = -1;
};

}  // namespace

class ErrorPathsTest : public QObject {
  Q_OBJECT

 private:
  QStringList messages_;
  std::unique_ptr<testing::LessonKyozai> kyozai_;
  std::unique_ptr<QTemporaryDir> programDir_;  // a copy of the program's files
  std::unique_ptr<BoardState> board_;
  std::unique_ptr<TDataModule1> module_;
  std::unique_ptr<TForm2> form_;

  template <typename T>
  T* Find(const QString& name) {
    T* found = form_->findChild<T*>(name);
    if (found == nullptr) qFatal("no component %s", qPrintable(name));
    return found;
  }
  TPictureCell* Image(int p) { return Find<TPictureCell>(QString("Image%1").arg(p)); }
  void ClickPoint(const char* point, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(Find<QWidget>(QString("Label%1").arg(ParsePoint(point))), button);
  }
  void ClickContentsRow(int row) {
    QCoreApplication::processEvents();
    auto* grid = Find<QTableView>("DBGrid1");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(row, 0)).center());
  }
  QString Panel(int i) { return Find<TStatusPanels>("StatusBar1")->PanelText(i); }
  QString ProgramFile(const char* name) const { return programDir_->path() + "/" + name; }
  // The program's files in a fresh directory of their own.
  void CopyProgramFiles() {
    programDir_ = std::make_unique<QTemporaryDir>();
    for (const char* name : {"stB.bmp", "stW.bmp", "Oto1.wav", "Oto2.wav", "Momiro.hlp"}) {
      QVERIFY(QFile::copy(QString(MOMIRO_PROGRAM_DIR) + name, ProgramFile(name)));
    }
  }
  void RestoreProgramFile(const char* name) {
    QFile::remove(ProgramFile(name));
    QVERIFY(QFile::copy(QString(MOMIRO_PROGRAM_DIR) + name, ProgramFile(name)));
  }
  void UseKyozai(const std::vector<std::string>& lessons) {
    kyozai_ = std::make_unique<testing::LessonKyozai>(lessons);
    QVERIFY(kyozai_->Valid());
  }
  void StartProgram() {
    board_ = std::make_unique<BoardState>();
    module_ = std::make_unique<TDataModule1>();
    form_ = std::make_unique<TForm2>(*board_, LessonDataOf(*module_));
    board_->ProgramDirectory = (programDir_->path() + "/").toStdString();
    form_->Help().SetHelpFile(ProgramFile("Momiro.hlp"));
    form_->show();
    QCoreApplication::processEvents();
  }
  void StopProgram() {
    form_.reset();
    module_.reset();
    board_.reset();
  }
  // "図表示" of contents 110 in the edit layout: 図Ａ with white D4.
  void ShowFigure110() {
    if (board_->AppMode != kAppEdit) form_->Button(1)->click();
    Find<QLineEdit>("Edit3")->setText("110");
    form_->Button(13)->click();
  }
  static QString CannotOpen(const QString& path) { return "Cannot open file \"" + path + "\"."; }

 private slots:
  void init() {
    messages_.clear();
    TUserDialogs::SetScripted([this](const QString& text) { messages_ << text; });
    ResetTermination();
    CopyProgramFiles();
  }
  void cleanup() {
    StopProgram();
    kyozai_.reset();
    programDir_.reset();
  }

  // A missing picture, sound or help file: the action shows the message and
  // stops there; once the file is back the next action works.
  void aMissingProgramFileIsShownAndTheNextActionWorks() {
    const struct Case {
      const char* file;
      std::function<void()> action;
      QString message;
      std::function<void()> effect;  // what the action did before it stopped
      std::function<void()> next;    // a following action, checked
    } cases[] = {
        {"stB.bmp", [this] { ClickPoint("C3"); }, CannotOpen(ProgramFile("stB.bmp")),
         [this] { QVERIFY(!Image(ParsePoint("C3"))->HasPicture()); },
         [this] {
           ClickPoint("C5");
           QVERIFY(Image(ParsePoint("C5"))->HasPicture());
           QCOMPARE(board_->Cell(ParsePoint("C5")), kBlack);
         }},
        {"stW.bmp", [this] { ClickPoint("C3", Qt::RightButton); }, CannotOpen(ProgramFile("stW.bmp")),
         [this] { QVERIFY(!Image(ParsePoint("C3"))->HasPicture()); },
         [this] {
           ClickPoint("C5", Qt::RightButton);
           QCOMPARE(Image(ParsePoint("C5"))->PicturePath(), ProgramFile("stW.bmp"));
           QCOMPARE(board_->Cell(ParsePoint("C5")), kWhite);
         }},
        {"Oto1.wav",
         [this] {
           form_->N10Click();
           ClickPoint("C3");
         },
         CannotOpen(ProgramFile("Oto1.wav")) + " No such file or directory",
         // The stone is drawn, handing the turn to white was abandoned.
         [this] {
           QVERIFY(Image(ParsePoint("C3"))->HasPicture());
           QCOMPARE(board_->CurrentColour, kBlack);
         },
         [this] {
           ClickPoint("C5");
           QCOMPARE(board_->Cell(ParsePoint("C5")), kBlack);
           QCOMPARE(board_->CurrentColour, kWhite);
         }},
        // The end of a lesson's sequence: the last stone is drawn, the
        // closing text was abandoned with the sound.
        {"Oto2.wav",
         [this] {
           ClickContentsRow(1);
           form_->Button(5)->click();  // "1手進む": B Q17 ends the sequence
         },
         CannotOpen(ProgramFile("Oto2.wav")) + " No such file or directory",
         [this] {
           QCOMPARE(board_->Cell(ParsePoint("Q17")), kBlack);
           QVERIFY(Panel(0) != U(kSequenceEnded));
         },
         [this] {
           form_->Button(9)->click();  // "元に戻す"
           QCOMPARE(board_->Cell(ParsePoint("Q17")), 0);
           form_->Button(5)->click();
           QCOMPARE(board_->Cell(ParsePoint("Q17")), kBlack);
           QCOMPARE(Panel(0), U(kSequenceEnded));
         }},
        {"Momiro.hlp", [this] { form_->ALLHelpClick(); },
         U("ヘルプファイル \"%1\" を開けません。").arg(ProgramFile("Momiro.hlp")),
         [this] { QVERIFY(!form_->Help().isVisible()); },
         [this] {
           form_->ALLHelpClick();
           QVERIFY(form_->Help().isVisible());
           QVERIFY(!form_->Help().ShownText().isEmpty());
         }},
        // A contents row opens its help topic; without the help file the
        // figure is shown all the same.
        {"Momiro.hlp", [this] { ClickContentsRow(1); },
         U("ヘルプファイル \"%1\" を開けません。").arg(ProgramFile("Momiro.hlp")),
         [this] {
           QCOMPARE(board_->ContentsNumber, 120);
           QCOMPARE(board_->Cell(ParsePoint("Q16")), kWhite);
         },
         [this] {
           ClickContentsRow(0);
           QCOMPARE(board_->ContentsNumber, 110);
           QCOMPARE(board_->Cell(ParsePoint("D4")), kWhite);
           QVERIFY(form_->Help().isVisible());
         }},
    };
    UseKyozai(testing::WindowTestLessons());
    if (!testing::SqlExecutionAvailable()) QSKIP("SQL statement execution is not in this build");
    for (const Case& c : cases) {
      StartProgram();
      QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
      QVERIFY(QFile::remove(ProgramFile(c.file)));
      c.action();
      QCOMPARE(messages_, QStringList{c.message});
      c.effect();
      messages_.clear();
      RestoreProgramFile(c.file);
      c.next();
      QVERIFY2(messages_.isEmpty(), qPrintable(c.file + (": " + messages_.join('\n'))));
      QVERIFY(!TerminationRequested());
      StopProgram();
    }
  }

  void withoutKyozaiTheStartShowsTheMessageAndTheBoardPlays() {
    UseKyozai({});
    StartProgram();
    QCOMPARE(messages_, QStringList{U("RUDIRA Engine Error # 11010 Table 'kyozai\\mokuji.DAT' does not exist")});
    messages_.clear();
    QVERIFY(!module_->RUDIRAQuery1->Active());
    ClickPoint("D4");
    QCOMPARE(board_->Cell(ParsePoint("D4")), kBlack);
    form_->N10Click();
    ClickPoint("E5");
    QCOMPARE(board_->Cell(ParsePoint("E5")), kBlack);
    QCOMPARE(board_->CurrentColour, kWhite);
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
  }

  // Another process holds a table of the kyozai exclusively: the message of
  // the refused open, the board still plays, and once the other process
  // lets go the lesson actions open the table.
  void aKyozaiHeldByAnotherProcessIsShownAndUsableOnceReleased() {
    UseKyozai(testing::WindowTestLessons());
    if (!testing::SqlExecutionAvailable()) QSKIP("SQL statement execution is not in this build");
    TableHolder contents("mokuji");
    TableHolder figures("figure");
    {
      // Held at start-up: the contents cannot open.
      QVERIFY(contents.Hold());
      StartProgram();
      QCOMPARE(messages_, QStringList{U("RUDIRA Engine Error # 11013 Access denied to table 'kyozai\\mokuji.DAT'")});
      messages_.clear();
      ClickPoint("D4");
      QCOMPARE(board_->Cell(ParsePoint("D4")), kBlack);
      QVERIFY(contents.Release());
      ShowFigure110();
      QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
      QCOMPARE(board_->Cell(ParsePoint("D4")), kWhite);
      StopProgram();
    }
    {
      // The figure rows held at start-up: the contents open, the first
      // entry's figure rows do not; once released, a contents row shows its
      // figure.
      QVERIFY(figures.Hold());
      StartProgram();
      QCOMPARE(messages_, QStringList{U("RUDIRA Engine Error # 11013 Access denied to table 'kyozai\\figure.DAT'")});
      messages_.clear();
      QVERIFY(module_->RUDIRAQuery1->Active());
      QVERIFY(figures.Release());
      ClickContentsRow(1);
      QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
      QCOMPARE(board_->ContentsNumber, 120);
      QCOMPARE(board_->Cell(ParsePoint("Q16")), kWhite);
    }
  }

  // Edit3 holds no number, or a number out of range, for "図表示" or
  // "MNB変": the message, nothing changed, and a good number works next.
  void badNumbersInEdit3AreShownAndAGoodNumberWorksNext() {
    const struct {
      const char* text;
      int button;
      const char* message;
    } cases[] = {
        {"一二", 13, "「一二」は整数ではありません。"},
        {"", 13, "「」は整数ではありません。"},
        {"12a", 11, "「12a」は整数ではありません。"},
        {"99999999999", 13, "「99999999999」は整数ではありません。"},
        {"-", 11, "「-」は整数ではありません。"},
        {"999", 11, kBadContentsNumber},
    };
    UseKyozai(testing::WindowTestLessons());
    if (!testing::SqlExecutionAvailable()) QSKIP("SQL statement execution is not in this build");
    StartProgram();
    form_->Button(1)->click();  // "編集"
    for (const auto& c : cases) {
      messages_.clear();
      form_->CuteButton6Click();  // "クリア"
      Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
      Find<QLineEdit>("Edit3")->setText(U(c.text));
      form_->Button(c.button)->click();
      QCOMPARE(messages_, QStringList{U(c.message)});
      QCOMPARE(board_->ContentsNumber, 110);
      QCOMPARE(board_->Cell(ParsePoint("D4")), 0);
      messages_.clear();
      ShowFigure110();
      QVERIFY2(messages_.isEmpty(), qPrintable(c.text + (": " + messages_.join('\n'))));
      QCOMPARE(board_->Cell(ParsePoint("D4")), kWhite);
    }
  }
};

QTEST_MAIN(ErrorPathsTest)
#include "error_paths_test.moc"
