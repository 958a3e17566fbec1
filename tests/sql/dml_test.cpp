// INSERT, UPDATE and DELETE, the statement transaction and its commit
// interval, the transaction statements, and CREATE/DROP of tables and
// indexes, run through TSelectExecutor on real files.
#include <filesystem>
#include <string>
#include <vector>

#include "support/select_fixture.h"

namespace rudira::selecttest {
namespace {

using Lines = std::vector<std::string>;

class DataChange : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    if (HasFatalFailure()) return;
    CreateTable("t", {{"A"}, {"B"}, {"S", kFieldTypeString, 10}}, {{"", {1}}});
    Insert("t", {{int32_t(1), int32_t(10), std::string("one")},
                 {int32_t(2), int32_t(20), std::string("two")},
                 {int32_t(3), int32_t(30), std::string("three")}});
  }

  int32_t Affected(const std::string& sql) { return Run(sql)->RowsAffected(); }

  // The rows of `table` in natural order.
  Lines Contents(const std::string& table) { return Query("SELECT * FROM " + table); }

  // A table n(K, N, S) of `count` rows, K = 1..count, N = 0, S = "5"; the
  // row with K = bad holds S = "x", which no integer column takes.
  void NumberTable(int count, int bad) {
    CreateTable("n", {{"K"}, {"N"}, {"S", kFieldTypeString, 4}});
    std::vector<Row> rows;
    for (int k = 1; k <= count; ++k) rows.push_back({int32_t(k), int32_t(0), std::string(k == bad ? "x" : "5")});
    Insert("n", rows);
  }

  // How many rows of n have N = 5.
  int Updated() {
    const Lines rows = Query("SELECT K FROM n WHERE N = 5");
    return static_cast<int>(rows.size());
  }
};

const std::string kSqlError = "RUDIRA Engine Error # 11949 SQL error - ";

TEST_F(DataChange, AnalysisAndTypeErrorsCarryTheirMessages) {
  CreateTable("d", {{"D", kFieldTypeDate}, {"I"}});
  struct Case {
    const char* Sql;
    std::string Message;
  };
  const Case cases[] = {
      {"INSERT INTO t VALUES (1)", "The number of values must match the number of table columns"},
      {"INSERT INTO t (A, B) VALUES (1, 2, 3)", "The number of values must match the number of table columns"},
      {"INSERT INTO t (A) SELECT A, B FROM t", "The number of values must match the number of table columns"},
      {"INSERT INTO d (D) VALUES ('2001-02-30')",
       "Date, time, or timestamp expression expected, instead found '2001-02-30' in update values"},
      {"UPDATE d SET D = 'soon'", "Date, time, or timestamp expression expected, instead found 'soon' in update values"},
      {"INSERT INTO d (D) VALUES (TRUE)", "Type mismatch between column 'D' and constant 'TRUE' in update values"},
      {"INSERT INTO t (Q) VALUES (1)",
       "Invalid column name 'Q' or table correlation name '' specified in table columns"},
      {"UPDATE t x SET y.A = 1",
       "Invalid column name 'A' or table correlation name 'y' specified in table columns"},
      {"INSERT INTO t (A, B, S) VALUES (4, 'x', 's')",
       "Type mismatch between column B and constant value x in INSERT statement"},
      {"UPDATE t SET B = S WHERE A = 2", "Type mismatch between column B and constant value two in UPDATE statement"},
      {"COMMIT", "Transaction not in progress for database 'db'"},
      {"ROLLBACK", "Transaction not in progress for database 'db'"},
      {"START TRANSACTION; START TRANSACTION", "Transaction already in progress for database 'db'"},
  };
  const Lines before = Contents("t");
  for (const Case& c : cases) {
    EXPECT_EQ(MessageOf([&] { Run(c.Sql); }), kSqlError + c.Message) << c.Sql;
    if (db_->InTransaction()) db_->Rollback();
  }
  EXPECT_EQ(Contents("t"), before);
}

TEST_F(DataChange, DateTextsPassThePrepareAndAreStoredAsDates) {
  CreateTable("d", {{"D", kFieldTypeDate}, {"I"}});
  EXPECT_EQ(Affected("INSERT INTO d VALUES ('2001-02-28', 7)"), 1);
  EXPECT_EQ(Query("SELECT I FROM d WHERE D = '2001-02-28'"), (Lines{"7"}));
}

TEST_F(DataChange, InsertValuesTakesDefaultsNullsConversionsAndMemoText) {
  Run("CREATE TABLE m (K INTEGER, N INTEGER DEFAULT 42, S VARCHAR(5), M MEMO, PRIMARY KEY (K))");
  EXPECT_EQ(Affected("INSERT INTO m (K, S) VALUES (1, 'abcdefgh')"), 1);
  EXPECT_EQ(Affected("INSERT INTO m VALUES ('2', NULL, 7, 'long memo text')"), 1);
  EXPECT_EQ(Query("SELECT K, N, S FROM m"), (Lines{"1|42|'abcde'", "2|NULL|'7'"}));
  EXPECT_EQ(Query("SELECT K FROM m WHERE M = 'long memo text'"), (Lines{"2"}));
  EXPECT_EQ(Query("SELECT K FROM m WHERE M IS NULL"), (Lines{"1"}));
}

TEST_F(DataChange, AutoIncrementColumnsNumberedUnlessNoAutoInc) {
  Run("CREATE TABLE a (ID AUTOINC, V INTEGER)");
  Run("INSERT INTO a (V) VALUES (1)");
  Run("INSERT INTO a VALUES (50, 2)");
  Run("INSERT INTO a VALUES (60, 3) NOAUTOINC");
  EXPECT_EQ(Contents("a"), (Lines{"1|1", "2|2", "60|3"}));
}

TEST_F(DataChange, InsertSelectCopiesTheSourceRowsInOrder) {
  CreateTable("c", {{"X"}, {"Y", kFieldTypeString, 10}});
  EXPECT_EQ(Affected("INSERT INTO c SELECT B + A, S FROM t WHERE A > 1 ORDER BY A DESC"), 2);
  EXPECT_EQ(Contents("c"), (Lines{"33|'three'", "22|'two'"}));
  // A key violation fails the statement and its own transaction undoes the rows.
  EXPECT_NE(MessageOf([&] { Run("INSERT INTO t (A, B) SELECT X - 31, X FROM c"); }), "");
  EXPECT_EQ(Contents("t").size(), 3u);
  EXPECT_FALSE(db_->InTransaction());
}

TEST_F(DataChange, UpdateAndDeleteByWhereAndAcrossJoins) {
  CreateTable("u", {{"A"}, {"C"}});
  Insert("u", {{int32_t(1), int32_t(100)}, {int32_t(1), int32_t(200)}, {int32_t(3), int32_t(300)}});
  EXPECT_EQ(Affected("UPDATE t SET B = B + 1 WHERE A >= 2"), 2);
  EXPECT_EQ(Contents("t"), (Lines{"1|10|'one'", "2|21|'two'", "3|31|'three'"}));
  // Two rows of u join A = 1: the target row is changed and counted once.
  EXPECT_EQ(Affected("UPDATE t SET B = u.C + t.A FROM t, u WHERE t.A = u.A"), 2);
  EXPECT_EQ(Contents("t"), (Lines{"1|101|'one'", "2|21|'two'", "3|303|'three'"}));
  EXPECT_EQ(Affected("UPDATE t SET S = NULL WHERE A IN (SELECT A FROM u WHERE C > 250)"), 1);
  EXPECT_EQ(Query("SELECT A FROM t WHERE S IS NULL"), (Lines{"3"}));
  EXPECT_EQ(Affected("DELETE FROM t, u WHERE t.A = u.A AND u.C = 200"), 1);
  EXPECT_EQ(Contents("t"), (Lines{"2|21|'two'", "3|303|NULL"}));
  EXPECT_EQ(Affected("DELETE FROM t"), 2);
  EXPECT_EQ(Contents("t"), Lines{});
}

TEST_F(DataChange, RightJoinsKeepThePreservedSideOfTheJoin) {
  CreateTable("u", {{"A"}, {"C"}});
  CreateTable("v", {{"A"}, {"C"}});
  CreateTable("w", {{"A"}, {"C"}});
  Insert("u", {{int32_t(1), int32_t(100)}, {int32_t(1), int32_t(200)}, {int32_t(3), int32_t(300)}});
  Insert("v", {{int32_t(2), int32_t(999)}, {int32_t(3), int32_t(300)}});
  // The target on the null side: only its rows that match are changed.
  EXPECT_EQ(Affected("UPDATE t SET B = 0 FROM t RIGHT JOIN u ON t.A = u.A"), 2);
  EXPECT_EQ(Contents("t"), (Lines{"1|0|'one'", "2|20|'two'", "3|0|'three'"}));
  // u on the null side of v: v's row without a partner still joins, with
  // u's columns null, and reaches the target through WHERE.
  EXPECT_EQ(Affected("DELETE FROM t, u RIGHT JOIN v ON u.C = v.C WHERE u.C IS NULL AND t.A = v.A"), 1);
  EXPECT_EQ(Contents("t"), (Lines{"1|0|'one'", "3|0|'three'"}));
  EXPECT_EQ(MessageOf([&] { Run("DELETE FROM t, u RIGHT JOIN v ON u.A = v.A RIGHT JOIN w ON u.A = w.A"); }),
            kSqlError + "Internal join error - table correlation name \"u\" cannot be the target of a RIGHT OUTER JOIN");
  EXPECT_EQ(Contents("t").size(), 2u);
}

TEST_F(DataChange, OwnTransactionCommitsEveryIntervalAndRollsBackTheRest) {
  NumberTable(25, 25);
  EXPECT_NE(MessageOf([&] { Run("UPDATE n SET N = S COMMIT INTERVAL 10"); }), "");
  EXPECT_EQ(Updated(), 20);
  EXPECT_FALSE(db_->InTransaction());
}

TEST_F(DataChange, DefaultIntervalComesFromTheBufferSizeAndRecordSize) {
  NumberTable(25, 25);
  // 2 * B / R rows per commit, with B chosen for 6 rows of this table.
  TDataCursor probe(*session_, *db_);
  probe.SetTableName("n");
  probe.OpenCursor();
  const int32_t recordSize = probe.Table()->DataFile().RecordSize();
  probe.CloseCursor();
  session_->SetMaxDataBufferBytes(3 * recordSize);
  EXPECT_NE(MessageOf([&] { Run("UPDATE n SET N = S"); }), "");
  EXPECT_EQ(Updated(), 24);
}

TEST_F(DataChange, InsideAnOpenTransactionOnlyAGivenIntervalCommits) {
  NumberTable(25, 25);
  db_->StartTransaction();
  EXPECT_NE(MessageOf([&] { Run("UPDATE n SET N = S"); }), "");
  ASSERT_TRUE(db_->InTransaction());
  db_->Rollback();
  EXPECT_EQ(Updated(), 0);

  db_->StartTransaction();
  EXPECT_NE(MessageOf([&] { Run("UPDATE n SET N = S COMMIT INTERVAL 10"); }), "");
  ASSERT_TRUE(db_->InTransaction());
  db_->Rollback();
  EXPECT_EQ(Updated(), 20);
}

TEST_F(DataChange, TransactionStatementsShareTheDatabaseTransaction) {
  const Lines before = Contents("t");
  auto executor = Run("START TRANSACTION; DELETE FROM t; ROLLBACK");
  EXPECT_EQ(executor->RowsAffected(), 0);
  EXPECT_EQ(Contents("t"), before);
  EXPECT_FALSE(db_->InTransaction());

  Run("START TRANSACTION; INSERT INTO t VALUES (4, 40, 'four')");
  EXPECT_TRUE(db_->InTransaction());
  Run("COMMIT FLUSH");
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(Contents("t").size(), 4u);

  EXPECT_EQ(Affected("UPDATE t SET B = 0 WHERE A = 1; DELETE FROM t WHERE A > 2; INSERT INTO t VALUES (9, 9, 'n')"), 4);
}

TEST_F(DataChange, LaterStatementsOfATransactionSeeItsRows) {
  Run("START TRANSACTION");
  Run("INSERT INTO t VALUES (4, 40, 'four')");
  // The table's files stay open for the transaction with the new row not
  // yet written: a new cursor takes the table as the transaction holds it.
  EXPECT_EQ(Query("SELECT A FROM t WHERE B > 20", true), (Lines{"3", "4"}));
  EXPECT_EQ(Affected("UPDATE t SET B = 0 WHERE A = 4"), 1);
  EXPECT_EQ(Query("SELECT B FROM t WHERE A = 4", true), (Lines{"0"}));
  Run("ROLLBACK");
  EXPECT_EQ(Contents("t"), (Lines{"1|10|'one'", "2|20|'two'", "3|30|'three'"}));
}

TEST_F(DataChange, ResultTablesMadeInsideATransactionGoWithTheirQueries) {
  // The fixture's private directory is the database directory, so each
  // canned result table joins the running transaction while it exists.
  auto files = [&] {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) count += entry.path().extension() == ".DAT";
    return count;
  };
  const int before = files();
  Run("START TRANSACTION");
  Run("INSERT INTO t VALUES (4, 40, 'four')");
  EXPECT_EQ(Query("SELECT A FROM t ORDER BY S"), (Lines{"4", "1", "3", "2"}));
  EXPECT_EQ(Query("SELECT B FROM t WHERE A > 2 ORDER BY S"), (Lines{"40", "30"}));
  EXPECT_EQ(files(), before);
  Run("ROLLBACK");
  EXPECT_EQ(Contents("t"), (Lines{"1|10|'one'", "2|20|'two'", "3|30|'three'"}));
}

TEST_F(DataChange, CreateTableWithKeyOptionsAndIfNotExists) {
  Run("CREATE TABLE k (A INTEGER, B VARCHAR(8) DESCRIPTION 'name', PRIMARY KEY (B, A) DESCRIPTION 'keys')");
  Run("INSERT INTO k VALUES (1, 'b'); INSERT INTO k VALUES (2, 'a')");
  EXPECT_EQ(Contents("k"), (Lines{"1|'b'", "2|'a'"}));
  EXPECT_NE(MessageOf([&] { Run("INSERT INTO k VALUES (2, 'a')"); }), "");
  auto cursor = Open("k");
  EXPECT_EQ(cursor->IndexFieldCount(), 2);
  EXPECT_EQ(cursor->Field(2).FieldDescription, "name");
  EXPECT_EQ(cursor->Table()->DataFile().Header().Description, "keys");
  cursor->CloseCursor();

  Run("CREATE TABLE IF NOT EXISTS k (Z INTEGER)");
  EXPECT_EQ(Contents("k").size(), 2u);
  EXPECT_NE(MessageOf([&] { Run("CREATE TABLE k (Z INTEGER)"); }).find("13060"), std::string::npos);
  EXPECT_EQ(MessageOf([&] { Run("CREATE TABLE e (A INTEGER, PRIMARY KEY (Q))"); }),
            kSqlError + "Invalid field name 'Q' specified for index ''");
  EXPECT_FALSE(db_->TableExists("e", false));
}

TEST_F(DataChange, IndexesCreatedAndDroppedIncludingThePrimary) {
  Run("CREATE INDEX bi ON t (B)");
  Run("CREATE INDEX IF NOT EXISTS bi ON t (S)");
  EXPECT_EQ(MessageOf([&] { Run("CREATE INDEX q ON t (Q)"); }), kSqlError + "Invalid field name 'Q' specified for index 'q'");
  {
    auto cursor = Open("t");
    cursor->SetIndexName("bi");
    EXPECT_EQ(cursor->IndexFieldNumbers().front(), 2);
  }
  Run("DROP INDEX t.bi");
  Run("DROP INDEX IF EXISTS t.bi");
  EXPECT_NE(MessageOf([&] { Run("DROP INDEX t.bi"); }), "");
  Run("DROP INDEX t.PRIMARY");
  Run("DROP INDEX IF EXISTS t.PRIMARY");
  auto cursor = Open("t");
  EXPECT_EQ(cursor->Table()->IndexFile().Definition(0).IndexFieldCount, 0);
  cursor->CloseCursor();
  // Without the primary key a repeated A is accepted.
  EXPECT_EQ(Affected("INSERT INTO t VALUES (1, 1, 'again')"), 1);
}

TEST_F(DataChange, DropTableNeedsTheTableFreeAndIfExistsForgivesAbsence) {
  Run("DROP TABLE IF EXISTS nothing");
  EXPECT_NE(MessageOf([&] { Run("DROP TABLE nothing"); }).find("11010"), std::string::npos);
  {
    auto cursor = Open("t");
    EXPECT_NE(MessageOf([&] { Run("DROP TABLE t"); }), "");
  }
  Run("DROP TABLE t");
  EXPECT_FALSE(db_->TableExists("t", false));
}

}  // namespace
}  // namespace rudira::selecttest
