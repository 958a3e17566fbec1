// The data-aware grid model over a table component on a real kyozai: rows
// as the dataset holds them, following posts, appends, deletes, scrolls,
// closing and detaching, and a row click moving the dataset.
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/data_grid_model.h"
#include "components/data_link.h"
#include "components/rudira_table.h"
#include "support/lesson_kyozai.h"

using namespace momiro;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// The column's values from the first row to the last.
QStringList Column(const TDataGridModel& model, int column) {
  QStringList values;
  for (int row = 0; row < model.rowCount(); ++row) values << model.index(row, column).data().toString();
  return values;
}

}  // namespace

class DataGridModelTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<testing::LessonKyozai> kyozai_;
  std::unique_ptr<rudira::TRUDIRATable> contents_;
  std::unique_ptr<rudira::TDataSource> source_;

  // The contents table's titles (ITM) in MNB order.
  QStringList TableTitles() {
    QStringList titles;
    for (contents_->First(); !contents_->Eof(); contents_->Next()) {
      titles << QString::fromStdString(contents_->FieldByName("ITM").AsString());
    }
    return titles;
  }

 private slots:
  void init() {
    kyozai_ = std::make_unique<testing::LessonKyozai>(testing::WindowTestLessons());
    QVERIFY(kyozai_->Valid());
    contents_ = std::make_unique<rudira::TRUDIRATable>();
    contents_->SetDatabaseName("kyozai");
    contents_->SetTableName("mokuji");
    contents_->Open();
    source_ = std::make_unique<rudira::TDataSource>(contents_.get());
  }
  void cleanup() {
    source_.reset();
    contents_.reset();
    kyozai_.reset();
  }

  void showsTheGivenColumnsUnderTheirTitles() {
    TDataGridModel model({{"ITM", U("目次")}});
    model.SetDataSource(source_.get());
    model.Refresh();
    QCOMPARE(model.columnCount(), 1);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), U("目次"));
    QCOMPARE(Column(model, 0), (QStringList{U("第一課"), U("第二課")}));
  }

  void withoutColumnsShowsEveryFieldUnderItsLabel() {
    TDataGridModel model;
    model.SetDataSource(source_.get());
    model.Refresh();
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("MNB"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QString("ITM"));
    QCOMPARE(Column(model, 0), (QStringList{"110", "120"}));
  }

  void readingTheRowsLeavesTheDatasetWhereItStood() {
    TDataGridModel model;
    // At the end of the rows: the walk of the model puts it back there.
    contents_->Last();
    contents_->Next();
    QVERIFY(contents_->Eof());
    model.SetDataSource(source_.get());
    model.Refresh();
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(contents_->Eof());
    QCOMPARE(contents_->FieldByName("MNB").AsInteger(), 120);
    // On the first row with the beginning flag, after a post.
    contents_->First();
    contents_->Edit();
    contents_->FieldByName("ITM").SetAsString("序");
    contents_->Post();
    contents_->First();
    QVERIFY(contents_->Bof());
    model.Refresh();
    QCOMPARE(Column(model, 1).first(), U("序"));
    QVERIFY(contents_->Bof());
    QCOMPARE(contents_->FieldByName("MNB").AsInteger(), 110);
  }

  void postsAppendsAndDeletesReachTheRowsAfterTheHandler() {
    TDataGridModel model({{"ITM", U("目次")}});
    model.SetDataSource(source_.get());
    model.Refresh();
    contents_->Append();
    contents_->FieldByName("MNB").SetAsInteger(130);
    contents_->FieldByName("ITM").SetAsString("第三課");
    // While the record is being edited the rows stay as they were.
    QCoreApplication::processEvents();
    QCOMPARE(model.rowCount(), 2);
    contents_->Post();
    // The handler that posted goes on with the dataset undisturbed; the grid
    // reads the rows once the event loop runs.
    QCOMPARE(contents_->FieldByName("MNB").AsInteger(), 130);
    QTRY_COMPARE(Column(model, 0), TableTitles());
    QCOMPARE(model.rowCount(), 3);

    QVERIFY(contents_->Locate("MNB", {rudira::TFieldValue(int32_t{110})}, {}));
    contents_->Delete();
    QTRY_COMPARE(Column(model, 0), (QStringList{U("第二課"), U("第三課")}));
  }

  void scrollsMoveTheCurrentRow() {
    TDataGridModel model;
    model.SetDataSource(source_.get());
    contents_->First();
    model.Refresh();
    QCOMPARE(model.CurrentRow(), 0);
    QSignalSpy moved(&model, &TDataGridModel::CurrentRowChanged);
    contents_->Next();
    QCOMPARE(model.CurrentRow(), 1);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.takeFirst().at(0).toInt(), 1);
    QCOMPARE(model.rowCount(), 2);  // a scroll reads no rows
  }

  void aRowClickMakesThatRowTheCurrentRecord() {
    TDataGridModel model;
    model.SetDataSource(source_.get());
    contents_->First();
    QVERIFY(model.MoveToRow(1));
    QCOMPARE(contents_->FieldByName("MNB").AsInteger(), 120);
    QCOMPARE(model.CurrentRow(), 1);
    QVERIFY(!model.MoveToRow(2));
    QVERIFY(!model.MoveToRow(-1));
    QCOMPARE(contents_->FieldByName("MNB").AsInteger(), 120);
  }

  void closingEmptiesTheGridAndOpeningFillsItAgain() {
    TDataGridModel model;
    model.SetDataSource(source_.get());
    model.Refresh();
    QCOMPARE(model.rowCount(), 2);
    contents_->Close();
    QTRY_COMPARE(model.rowCount(), 0);
    QCOMPARE(model.CurrentRow(), -1);
    QVERIFY(!model.MoveToRow(0));
    contents_->Open();
    QTRY_COMPARE(model.rowCount(), 2);
  }

  void detachingEmptiesTheGridAtOnceAndAttachingReadsTheRowsAgain() {
    TDataGridModel model;
    model.SetDataSource(source_.get());
    model.Refresh();
    model.SetDataSource(nullptr);
    QCOMPARE(model.rowCount(), 0);
    // Changes while detached are not followed, but are there on return.
    contents_->First();
    contents_->Edit();
    contents_->FieldByName("ITM").SetAsString("改");
    contents_->Post();
    model.SetDataSource(source_.get());
    QTRY_COMPARE(model.rowCount(), 2);
    QCOMPARE(Column(model, 1).first(), U("改"));
  }

  void aSourceThatGoesFirstLeavesTheModelEmpty() {
    TDataGridModel model;
    model.SetDataSource(source_.get());
    model.Refresh();
    source_.reset();
    QTRY_COMPARE(model.rowCount(), 0);
    QVERIFY(!model.MoveToRow(0));
  }
};

QTEST_MAIN(DataGridModelTest)
#include "data_grid_model_test.moc"
