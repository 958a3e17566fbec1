// momiro --actions runs the real program from a script and prints what the
// user would see.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "components/dataset_messages.h"
#include "support/lesson_kyozai.h"

using momiro::testing::LessonKyozai;

namespace {

struct Run {
  int exitCode;
  QString output;
};

// What the start-up says on the lesson database of the run: nothing on a
// good kyozai; while the query components reach no SQL execution, that
// failure's message.
QString StartUp() {
  if (momiro::testing::SqlExecutionAvailable()) return QString();
  return "message: " + QString::fromUtf8(rudira::kNoStatementRunner) + "\n";
}

// Runs the program on a kyozai of its own in the working directory.
Run RunActions(const QString& script) {
  LessonKyozai dir(momiro::testing::WindowTestLessons());
  if (!dir.Valid()) return {-1, "no kyozai"};
  const QString path = dir.Path() + "/actions.txt";
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(script.toUtf8());
  file.close();
  QProcess process;
  process.setProgram(MOMIRO_EXECUTABLE);
  process.setArguments({"--actions", path});
  process.setWorkingDirectory(dir.Path());
  process.start();
  process.waitForFinished(60000);
  QString output = QString::fromUtf8(process.readAllStandardOutput());
  const QString startUp = StartUp();
  if (!output.startsWith(startUp)) return {-1, "start-up said: " + output};
  return {process.exitCode(), output.mid(startUp.size())};
}

}  // namespace

class ActionsTest : public QObject {
  Q_OBJECT
 private slots:
  void playsUndoesAndAnswersMessageBoxes() {
    const Run run = RunActions(QString::fromUtf8(
        "menu 碁盤選択/１９路盤\n"
        "click Label1\n"
        "click CuteButton7\n"
        "click CuteButton7\n"
        "click RadioButton3\n"
        "menu 地の計算\n"
        "answer no\n"
        "menu 終了\n"
        "click Label2\n"));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, QString::fromUtf8(
                             "status0: 始めてください。\n"
                             "status0: \n"
                             "status0: もう戻せません。\n"
                             "message: 手入れの完了を確認してください。ダメ詰めは不要です。\n"
                             "status0: 盤面：黒 0 目、白 361 目です。\n"
                             "message: 「Momiro」を終了していいですか？\n"
                             "status0: \n"));
  }

  void actionsGoToTheModalSmallWindow() {
    const Run run = RunActions(QString::fromUtf8(
        "menu 碁盤選択/１３路盤\n"
        "click Label1\n"
        "menu 地の計算\n"
        "click TForm3.CuteButton1\n"
        "menu 地の計算\n"
        "menu 対局終了\n"
        "menu 地の計算\n"));  // the main window again: not in end-of-game mode
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, QString::fromUtf8(
                             "status0: \n"
                             "status0: 始めてください。\n"
                             "status0: \n"
                             "status0: 黒 168 目、白 0 目です。\n"
                             "status0: \n"
                             "status0: 黒 0 目、白 169 目です。\n"));
  }

  void aDiagramIsSavedFromTheMenuWithAQueuedAnswerAndNothingBlocks() {
    QTemporaryDir out;
    const QString png = out.filePath("figure.png");
    const QString svg = out.filePath("figure.svg");
    const Run run = RunActions(QString::fromUtf8(
                                   "grid DBGrid1 0\n"
                                   "diagram %1\n"
                                   "menu 操作/図を保存…\n"
                                   "diagram %2 scale 2 caption\n"
                                   "menu 操作/図を保存…\n"
                                   "menu 操作/図を保存…\n"  // no answer queued: cancelled
                                   "menu 操作/1手進む\n")
                                   .arg(png, svg));
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.output.contains(QString::fromUtf8("status0: 図を保存しました。\n")));
    QVERIFY2(run.output.endsWith(QString::fromUtf8("status0: 緑丸か赤丸の一つをクリックしてください。\n")),
             qPrintable(run.output));
    QImage image;
    QVERIFY(image.load(png, "PNG"));
    QCOMPARE(image.size(), QSize(536, 536));
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("width=\"1072\""));
  }

  void unknownComponentEndsTheRunWithStatusOne() {
    const Run run = RunActions("click Label9999\nclick Label1\n");
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.output, QString("error: unknown component Label9999\n"));
  }

  void withoutKyozaiTheProgramSaysSoAndRuns() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/actions.txt";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QString::fromUtf8("menu 碁盤選択/１９路盤\nclick Label1\n").toUtf8());
    file.close();
    QProcess process;
    process.setProgram(MOMIRO_EXECUTABLE);
    process.setArguments({"--actions", path});
    process.setWorkingDirectory(dir.path());
    process.start();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
    // The engine's message first, then the game goes on as ever.
    QVERIFY(lines.size() >= 3);
    QVERIFY(lines[0].startsWith("message: ") && lines[0].size() > 9);
    QCOMPARE(lines[1], QString::fromUtf8("status0: 始めてください。"));
    QCOMPARE(lines[2], QString::fromUtf8("status0: "));
  }

  void exitAnsweredYesEndsTheRun() {
    const Run run = RunActions(QString::fromUtf8("menu 終了\nmenu 存在しない\n"));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, QString::fromUtf8("message: 「Momiro」を終了していいですか？\n"));
  }
};

QTEST_MAIN(ActionsTest)
#include "actions_test.moc"
