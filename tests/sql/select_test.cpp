// SELECT execution: live and canned results, column naming, ORDER BY
// through an index or the sort, TOP and the maximum row count, UNION,
// joins, IN-select, parameters, several statements and the error messages.
#include <cstring>

#include "engine/error_codes.h"
#include "tests/sql/support/select_fixture.h"

namespace rudira::selecttest {
namespace {

using Lines = std::vector<std::string>;

class SelectExecution : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    // t: A (primary), B with an index, S a string with a case-insensitive index.
    CreateTable("t", {{"A"}, {"B"}, {"S", kFieldTypeString, 10}, {"C"}},
                {{"", {1}}, {"ByB", {2}, false}, {"ByS", {3}, false, false, true}, {"ByBDesc", {2}, false, true}});
    Insert("t", {{3, 30, std::string("c"), 1}, {1, 10, std::string("a"), 2}, {2, 20, std::string("B"), 1},
                 {4, 20, std::string("d"), std::monostate{}}});
  }

  // A descriptor for one int32 parameter at `offset` of `buffer`.
  static TParameterDescriptor IntParameter(std::vector<uint8_t>& buffer, int32_t value) {
    TParameterDescriptor descriptor;
    descriptor.FieldType = kFieldTypeInteger;
    descriptor.DataSize = 4;
    descriptor.ValueOffset = static_cast<uint32_t>(buffer.size());
    buffer.push_back(1);
    const size_t at = buffer.size();
    buffer.resize(at + 4);
    std::memcpy(buffer.data() + at, &value, 4);
    return descriptor;
  }
};

TEST_F(SelectExecution, RequestLiveOffGivesCannedResultWhoseEditsStayInIt) {
  auto executor = Run("SELECT * FROM t WHERE A >= 2", false);
  EXPECT_FALSE(executor->LiveResult());
  EXPECT_EQ(Rows(*executor), (Lines{"3|30|'c'|1", "2|20|'B'|1", "4|20|'d'|NULL"}));
  TDataCursor& result = *executor->ResultCursor();
  std::vector<uint8_t> record(result.RecordSize());
  ASSERT_EQ(result.GetNextRecord(record.data()), 0);
  result.DeleteRecord(record.data());
  EXPECT_EQ(Query("SELECT A FROM t"), (Lines{"3", "1", "2", "4"}));
}

TEST_F(SelectExecution, LiveResultFiltersTheBaseTableAndEditsReachIt) {
  auto executor = Run("SELECT * FROM t WHERE B = 20", true);
  ASSERT_TRUE(executor->LiveResult());
  EXPECT_EQ(executor->RowCount(), 2);
  EXPECT_EQ(Rows(*executor), (Lines{"2|20|'B'|1", "4|20|'d'|NULL"}));
  TDataCursor& cursor = *executor->ResultCursor();
  std::vector<uint8_t> record(cursor.RecordSize());
  // An appended record shows only when it satisfies the condition.
  Fill(cursor, record, {5, 20, std::string("e"), 0});
  cursor.AppendRecord(record.data());
  Fill(cursor, record, {6, 99, std::string("f"), 0});
  cursor.AppendRecord(record.data());
  EXPECT_EQ(Rows(*executor), (Lines{"2|20|'B'|1", "4|20|'d'|NULL", "5|20|'e'|0"}));
  EXPECT_EQ(Query("SELECT A FROM t WHERE A > 4"), (Lines{"5", "6"}));
}

TEST_F(SelectExecution, LiveNaturalOrderShowsAnAppendedRecordAtItsSlot) {
  std::vector<uint8_t> buffer;
  std::vector<TParameterDescriptor> parameters{IntParameter(buffer, 1)};
  TSelectExecutor executor(*session_, *db_, true, -1);
  executor.Prepare("select * from t Where C = ?");
  executor.Execute(parameters, buffer.data());
  ASSERT_TRUE(executor.LiveResult());
  EXPECT_EQ(Rows(executor), (Lines{"3|30|'c'|1", "2|20|'B'|1"}));
  TDataCursor& cursor = *executor.ResultCursor();
  std::vector<uint8_t> record(cursor.RecordSize());
  // Delete the first record (slot 1); the next append reuses that slot.
  cursor.SetToBegin();
  ASSERT_EQ(cursor.GetNextRecord(record.data()), 0);
  cursor.DeleteRecord(record.data());
  Fill(cursor, record, {7, 70, std::string("g"), 1});
  cursor.AppendRecord(record.data());
  EXPECT_EQ(Rows(executor), (Lines{"7|70|'g'|1", "2|20|'B'|1"}));
  Fill(cursor, record, {8, 80, std::string("h"), 1});
  cursor.AppendRecord(record.data());
  EXPECT_EQ(Rows(executor), (Lines{"7|70|'g'|1", "2|20|'B'|1", "8|80|'h'|1"}));
}

TEST_F(SelectExecution, LiveResultExecutedAgainShowsTheRowsOfTheNewValues) {
  TSelectExecutor executor(*session_, *db_, true, -1);
  executor.Prepare("select * from t Where B = ?");
  const auto execute = [&](int32_t b) {
    std::vector<uint8_t> buffer;
    std::vector<TParameterDescriptor> parameters{IntParameter(buffer, b)};
    executor.Execute(parameters, buffer.data());
    EXPECT_TRUE(executor.LiveResult());
    return Rows(executor);
  };
  const Lines twenty{"2|20|'B'|1", "4|20|'d'|NULL"};
  EXPECT_EQ(execute(20), twenty);
  EXPECT_EQ(execute(10), (Lines{"1|10|'a'|2"}));
  EXPECT_EQ(executor.RowCount(), 1);
  EXPECT_EQ(execute(99), Lines{});
  EXPECT_EQ(executor.RowCount(), 0);
  // A record appended through the result follows the values bound last.
  TDataCursor& cursor = *executor.ResultCursor();
  std::vector<uint8_t> record(cursor.RecordSize());
  Fill(cursor, record, {5, 99, std::string("e"), 0});
  cursor.AppendRecord(record.data());
  EXPECT_EQ(Rows(executor), (Lines{"5|99|'e'|0"}));
  // A filter set on the result from outside goes with the next execution.
  cursor.ActivateFilter(cursor.AddFilter("A = 1"));
  EXPECT_EQ(execute(20), twenty);
  EXPECT_EQ(executor.RowCount(), 2);
}

TEST_F(SelectExecution, LiveResultExecutedAgainTakesNoFilterAddedFromOutsideForItsOwn) {
  TSelectExecutor executor(*session_, *db_, true, -1);
  executor.Prepare("select * from t where S = 'b'");
  executor.Execute({}, nullptr);
  ASSERT_TRUE(executor.LiveResult());
  EXPECT_EQ(Rows(executor), Lines{});
  // The statement's filter dropped and another made in its place: this one
  // ignores case, which the statement's comparison must not inherit.
  TDataCursor& cursor = *executor.ResultCursor();
  cursor.DropFilter(nullptr);
  cursor.ActivateFilter(cursor.AddFilter("A > 0", {.CaseInsensitive = true}));
  executor.Execute({}, nullptr);
  EXPECT_EQ(Rows(executor), Lines{});
}

TEST_F(SelectExecution, LiveOrCannedByTheOrderByIndex) {
  struct Case {
    const char* Sql;
    bool Live;
    Lines Expected;
  };
  const Case cases[] = {
      {"SELECT A FROM t ORDER BY A", true, {"1", "2", "3", "4"}},
      {"SELECT A, B FROM t ORDER BY B", true, {"1|10", "2|20", "4|20", "3|30"}},
      {"SELECT A, B FROM t ORDER BY B DESC", true, {"3|30", "2|20", "4|20", "1|10"}},
      {"SELECT A FROM t ORDER BY C", false, {"4", "3", "2", "1"}},
      {"SELECT S FROM t ORDER BY S", false, {"'B'", "'a'", "'c'", "'d'"}},
      {"SELECT S FROM t ORDER BY S NOCASE", true, {"'a'", "'B'", "'c'", "'d'"}},
      {"SELECT A, B FROM t ORDER BY B, A DESC", false, {"1|10", "4|20", "2|20", "3|30"}},
      {"SELECT A FROM t ORDER BY A DESC", false, {"4", "3", "2", "1"}},
      {"SELECT A + 1 FROM t ORDER BY 1", false, {"2", "3", "4", "5"}},
  };
  for (const Case& c : cases) {
    auto executor = Run(c.Sql, true);
    EXPECT_EQ(executor->LiveResult(), c.Live) << c.Sql;
    EXPECT_EQ(Rows(*executor), c.Expected) << c.Sql;
  }
}

TEST_F(SelectExecution, TheNineRulesMakeCannedResults) {
  const char* canned[] = {
      "SELECT DISTINCT B FROM t",
      "SELECT * INTO u FROM t",
      "SELECT t.A FROM t, t x WHERE t.A = x.A",
      "SELECT A FROM t TOP 2",
      "SELECT A FROM t UNION SELECT A FROM t",
      "SELECT A FROM t WHERE A IN (SELECT B FROM t)",
  };
  for (const char* sql : canned) EXPECT_FALSE(Run(sql, true)->LiveResult()) << sql;
  EXPECT_TRUE(Run("SELECT A, B * 2 FROM t WHERE S = 'c'", true)->LiveResult());
}

TEST_F(SelectExecution, ColumnNames) {
  auto names = [&](const std::string& sql) {
    auto executor = Run(sql);
    std::vector<std::string> out;
    for (const TResultColumn& column : executor->ResultColumns()) out.push_back(column.Field.FieldName);
    return out;
  };
  EXPECT_EQ(names("SELECT A, A FROM t"), (std::vector<std::string>{"A", "A_1"}));
  EXPECT_EQ(names("SELECT A+1, A+2 FROM t"), (std::vector<std::string>{"Expression", "Expression_1"}));
  EXPECT_EQ(names("SELECT A AS x, B x FROM t"), (std::vector<std::string>{"x", "x_1"}));
  EXPECT_EQ(names("SELECT A AS abcdefghijabcdefghijabcdefghijXYZ, B AS abcdefghijabcdefghijabcdefghij FROM t"),
            (std::vector<std::string>{"abcdefghijabcdefghijabcdefghij", "abcdefghijabcdefghijabcdefgh_1"}));
  EXPECT_EQ(names("SELECT * FROM t"), (std::vector<std::string>{"A", "B", "S", "C"}));
}

TEST_F(SelectExecution, MaximumRowCountAndTop) {
  EXPECT_TRUE(Query("SELECT A FROM t", false, 0).empty());
  EXPECT_EQ(Query("SELECT A FROM t", false, -1).size(), 4u);
  // Live results are never limited.
  EXPECT_EQ(Query("SELECT A FROM t", true, 1).size(), 4u);
  // Maximum rows: the first rows produced are kept and then sorted.
  EXPECT_EQ(Query("SELECT A FROM t ORDER BY A", false, 2), (Lines{"1", "3"}));
  // TOP with ORDER BY: every row sorted, the first n kept.
  EXPECT_EQ(Query("SELECT A FROM t ORDER BY A TOP 2"), (Lines{"1", "2"}));
  EXPECT_EQ(Query("SELECT A FROM t TOP 3"), (Lines{"3", "1", "2"}));
  EXPECT_EQ(Query("SELECT DISTINCT B FROM t TOP 2"), (Lines{"10", "20"}));
  // The limit is the master's: the canned sub-query still yields every value.
  EXPECT_EQ(Query("SELECT A FROM t WHERE A > 2 AND A IN (SELECT DISTINCT A FROM t)", false, 2), (Lines{"3", "4"}));
}

TEST_F(SelectExecution, UnionAndUnionAll) {
  EXPECT_EQ(Query("SELECT B FROM t UNION SELECT B FROM t"), (Lines{"10", "20", "30"}));
  EXPECT_EQ(Query("SELECT B FROM t UNION ALL SELECT B FROM t").size(), 8u);
  EXPECT_EQ(Query("SELECT A FROM t WHERE A < 2 UNION SELECT A FROM t WHERE A > 3 UNION SELECT B FROM t WHERE B = 30"),
            (Lines{"1", "4", "30"}));
  EXPECT_EQ(MessageOf([&] { Run("SELECT A, B FROM t UNION SELECT A FROM t"); }),
            "RUDIRA Engine Error # 11949 SQL error - The number of columns  in the UNION query must match the  number of "
            "columns in the master query");
  EXPECT_EQ(MessageOf([&] { Run("SELECT A FROM t UNION ALL SELECT S FROM t"); }),
            "RUDIRA Engine Error # 11949 SQL error - Type mismatch between column expression 'S' in the UNION ALL query and "
            "column expression 'A' in the master query");
}

TEST_F(SelectExecution, DistinctAndOrderByNoCase) {
  EXPECT_EQ(Query("SELECT DISTINCT C FROM t"), (Lines{"NULL", "1", "2"}));
  EXPECT_EQ(Query("SELECT DISTINCT C FROM t ORDER BY C DESC"), (Lines{"2", "1", "NULL"}));
  EXPECT_EQ(Query("SELECT S FROM t ORDER BY S DESC NOCASE"), (Lines{"'d'", "'c'", "'B'", "'a'"}));
}

TEST_F(SelectExecution, Joins) {
  CreateTable("u", {{"K"}, {"V", kFieldTypeString, 5}}, {{"", {1}}});
  Insert("u", {{10, std::string("ten")}, {30, std::string("thirty")}, {40, std::string("forty")}});
  EXPECT_EQ(Query("SELECT t.A, u.V FROM t, u WHERE t.B = u.K ORDER BY t.A"), (Lines{"1|'ten'", "3|'thirt'"}));
  EXPECT_EQ(Query("SELECT t.A, u.V FROM t INNER JOIN u ON t.B = u.K ORDER BY 1"), (Lines{"1|'ten'", "3|'thirt'"}));
  EXPECT_EQ(Query("SELECT t.A, u.V FROM t LEFT OUTER JOIN u ON t.B = u.K ORDER BY 1"),
            (Lines{"1|'ten'", "2|NULL", "3|'thirt'", "4|NULL"}));
  EXPECT_EQ(Query("SELECT u.K, t.A FROM t RIGHT OUTER JOIN u ON t.B = u.K ORDER BY 1"),
            (Lines{"10|1", "30|3", "40|NULL"}));
  EXPECT_EQ(Query("SELECT t.A, u.V FROM t LEFT OUTER JOIN u ON t.B = u.K WHERE u.V IS NULL ORDER BY 1"),
            (Lines{"2|NULL", "4|NULL"}));
  // A NULL outer key joins nothing, but an IS NULL test of an outer column holds.
  EXPECT_EQ(Query("SELECT t.A, u.K FROM t LEFT OUTER JOIN u ON (t.B = u.K) OR (t.C IS NULL) ORDER BY 1, 2"),
            (Lines{"1|10", "2|NULL", "3|30", "4|10", "4|30", "4|40"}));
  EXPECT_EQ(Query("SELECT x.A, y.A FROM t x INNER JOIN t y ON x.C = y.C ORDER BY 1, 2"),
            (Lines{"1|1", "2|2", "2|3", "3|2", "3|3"}));
  // Without join optimisation the first FROM table drives; the rows are the same.
  EXPECT_EQ(Query("SELECT t.A FROM u, t WHERE t.B = u.K AND t.A > 1 NOJOINOPTIMIZE"), (Lines{"3"}));
}

TEST_F(SelectExecution, InSelectRunsFirst) {
  EXPECT_EQ(Query("SELECT A FROM t WHERE A IN (SELECT C FROM t) ORDER BY A"), (Lines{"1", "2"}));
  EXPECT_EQ(Query("SELECT A FROM t WHERE A NOT IN (SELECT C FROM t WHERE C IS NOT NULL) ORDER BY A"),
            (Lines{"3", "4"}));
  EXPECT_EQ(Query("SELECT A FROM t WHERE A IN (SELECT C FROM t)", true), (Lines{"1", "2"}));
}

TEST_F(SelectExecution, ParametersBindPositionallyAtEachExecution) {
  TSelectExecutor executor(*session_, *db_, false, -1);
  executor.Prepare("SELECT A FROM t WHERE B = ? OR A = ?");
  ASSERT_EQ(executor.ParameterCount(), 2);
  std::vector<uint8_t> buffer;
  std::vector<TParameterDescriptor> parameters{IntParameter(buffer, 20), IntParameter(buffer, 1)};
  executor.Execute(parameters, buffer.data());
  EXPECT_EQ(Rows(executor), (Lines{"1", "2", "4"}));
  buffer.clear();
  parameters = {IntParameter(buffer, 30), IntParameter(buffer, 0)};
  parameters[1].IsNull = true;
  executor.Execute(parameters, buffer.data());
  EXPECT_EQ(Rows(executor), (Lines{"3"}));
}

TEST_F(SelectExecution, IntoNamedTableIsKept) {
  {
    auto executor = Run("SELECT A, S INTO kept FROM t WHERE A < 3");
    EXPECT_EQ(executor->RowCount(), 2);
  }
  EXPECT_EQ(Query("SELECT * FROM kept"), (Lines{"1|'a'", "2|'B'"}));
}

TEST_F(SelectExecution, AnEncryptedResultNeedsItsPasswordLater) {
  Run("SELECT A, S INTO enc FROM t WHERE A < 3 ENCRYPTED WITH 'secret'");
  // The password was the session's only for the creation.
  EXPECT_FALSE(session_->HasPassword("secret"));
  uint16_t code = 0;
  try {
    Open("enc");
  } catch (const ERUDIRAEngineError& error) {
    code = error.ErrorCode();
  }
  EXPECT_EQ(code, RUDIRA_NOTSUFFTABLERIGHTS);
  session_->AddPassword("secret");
  EXPECT_EQ(Query("SELECT * FROM enc"), (Lines{"1|'a'", "2|'B'"}));
}

TEST_F(SelectExecution, IntoMemoryKeepsANamedTableAndDropsAGeneratedOne) {
  {
    auto executor = Run("SELECT A INTO MEMORY kept FROM t WHERE A > 2");
    EXPECT_FALSE(executor->LiveResult());
  }
  EXPECT_EQ(Query("SELECT * FROM MEMORY kept"), (Lines{"3", "4"}));
  std::string generated;
  {
    auto executor = Run("SELECT A INTO MEMORY FROM t WHERE A = 1");
    EXPECT_EQ(Rows(*executor), (Lines{"1"}));
    generated = executor->ResultCursor()->TableName();
  }
  TDataDirectory* memory = session_->OpenDatabase(kMemoryDatabaseName, "");
  EXPECT_TRUE(memory->TableExists("kept", true));
  EXPECT_FALSE(memory->TableExists(generated, true)) << generated;
  session_->CloseDatabase(memory);
}

TEST_F(SelectExecution, OrderByOverTheWholeUnionAndByAColumnNotShown) {
  EXPECT_EQ(Query("SELECT A FROM t WHERE A < 3 UNION SELECT B FROM t ORDER BY 1 DESC"),
            (Lines{"30", "20", "10", "2", "1"}));
  EXPECT_EQ(Query("SELECT A FROM t UNION ALL SELECT B FROM t ORDER BY 1 DESC TOP 3"), (Lines{"30", "20", "20"}));
  auto executor = Run("SELECT S FROM t ORDER BY C DESC, A");
  EXPECT_EQ(Rows(*executor), (Lines{"'a'", "'B'", "'c'", "'d'"}));
  ASSERT_EQ(executor->ResultColumns().size(), 3u);
  EXPECT_TRUE(executor->ResultColumns()[1].Hidden);
  EXPECT_TRUE(executor->ResultColumns()[2].Hidden);
}

TEST_F(SelectExecution, LiveCalculatedColumnsAreComputedFromTheCurrentRecord) {
  auto executor = Run("SELECT A, B * 2, S + 'x' FROM t WHERE C = 1", true);
  ASSERT_TRUE(executor->LiveResult());
  EXPECT_EQ(Rows(*executor), (Lines{"3|60|'cx'", "2|40|'Bx'"}));
}

TEST_F(SelectExecution, TemporaryResultTableGoesWithTheExecutor) {
  auto count = [&] {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) n += entry.path().extension() == ".DAT";
    return n;
  };
  const size_t before = count();
  {
    auto executor = Run("SELECT A FROM t ORDER BY C");
    EXPECT_EQ(count(), before + 1);
  }
  EXPECT_EQ(count(), before);
}

TEST_F(SelectExecution, ResultTablesInAPrivateDirectoryOfTheirOwn) {
  const std::string privateDir = dir_ + "private/";
  std::filesystem::create_directory(privateDir);
  session_->SetPrivateDir(privateDir);
  for (int round = 0; round < 2; ++round) {
    TSelectExecutor executor(*session_, *db_, true, -1);
    executor.Prepare("SELECT * FROM t WHERE (C = 1) AND (B > 0) ORDER BY C");
    ASSERT_FALSE(executor.LiveResult());
    executor.Execute();
    EXPECT_EQ(Rows(executor), (Lines{"3|30|'c'|1", "2|20|'B'|1"}));
    executor.Execute();
    EXPECT_EQ(Rows(executor), (Lines{"3|30|'c'|1", "2|20|'B'|1"}));
  }
  EXPECT_TRUE(std::filesystem::is_empty(privateDir));
}

TEST_F(SelectExecution, SeveralStatementsAndRowsAffected) {
  TSelectExecutor executor(*session_, *db_, false, -1);
  executor.SetStatementRunner([](TQueryStatement&) { return 3; });
  executor.Prepare("START TRANSACTION; UPDATE t SET A = A; ROLLBACK");
  executor.Execute();
  EXPECT_EQ(executor.RowsAffected(), 0);
  EXPECT_EQ(executor.ResultCursor(), nullptr);
  executor.Prepare("UPDATE t SET A = A; UPDATE t SET A = A; SELECT A FROM t WHERE A = 1");
  executor.Execute();
  EXPECT_EQ(executor.RowsAffected(), 6);
  EXPECT_EQ(Rows(executor), (Lines{"1"}));
  // A second run starts again from the first statement.
  executor.Execute();
  EXPECT_EQ(executor.RowsAffected(), 6);
}

TEST_F(SelectExecution, ProgressAndAbort) {
  std::vector<int> seen;
  TSelectExecutor executor(*session_, *db_, false, -1);
  executor.SetProgressCallback([&](int percent, bool& abort) {
    seen.push_back(percent);
    abort = percent >= 50;
  });
  executor.Prepare("SELECT A FROM t");
  executor.Execute();
  // The abort comes with the second record visited, before its row is made.
  EXPECT_EQ(Rows(executor), (Lines{"3"}));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 100);
}

TEST_F(SelectExecution, WithLocksHoldsTheReaderLockWhileRowsAreProduced) {
  // A cursor of the same session shares the table object with the query.
  auto probe = Open("t");
  for (const bool withLocks : {false, true}) {
    std::vector<bool> held;
    TSelectExecutor executor(*session_, *db_, false, -1);
    executor.SetProgressCallback([&](int percent, bool&) {
      if (percent < 100) held.push_back(probe->Table()->ReaderLocked());
    });
    executor.Prepare(std::string("SELECT A FROM t") + (withLocks ? " WITH LOCKS" : ""));
    executor.Execute();
    ASSERT_FALSE(held.empty());
    EXPECT_EQ(held.front(), withLocks);
    EXPECT_FALSE(probe->Table()->ReaderLocked());
    EXPECT_EQ(Rows(executor), (Lines{"3", "1", "2", "4"}));
  }
}

TEST_F(SelectExecution, ErrorMessages) {
  struct Case {
    const char* Sql;
    const char* Message;
  };
  const Case cases[] = {
      {"SELECT A FROM t WHERE x.A = 1",
       "Table correlation name 'x' referenced in WHERE clause is not defined in the FROM clause"},
      {"SELECT * AS q FROM t", "Invalid use of column correlation name 'q' for '*' specified in source columns"},
      {"SELECT x.* FROM t", "Invalid column name '*' or table correlation name 'x' specified in source columns"},
      {"SELECT NULL FROM t",
       "Column expression cannot be a NULL constant, use the CAST() function to specify a data type"},
      {"SELECT A FROM t ORDER BY 3", "Invalid column number '3' specified in ORDER BY clause"},
      {"SELECT A FROM t ORDER BY Q", "Invalid column name 'Q' or table correlation name '' specified in ORDER BY clause"},
      {"SELECT A FROM t ORDER BY x.A", "Invalid column name 'A' or table correlation name 'x' specified in ORDER BY clause"},
      {"SELECT A FROM t HAVING A > ?", "Parameters are not allowed in HAVING clause"},
      {"SELECT A FROM t WHERE A + 1", "WHERE or JOIN clause must be a boolean expression"},
      {"SELECT x.A FROM t x, t y WHERE x.A + y.A = x.B",
       "The join condition cannot contain multiple table correlation names in either the left or right operand in WHERE "
       "or JOIN clause"},
      {"SELECT x.A FROM t x LEFT OUTER JOIN t y ON x.A = y.A RIGHT OUTER JOIN t z ON y.A = z.A",
       "Internal join error - table correlation name \"y\" cannot be the target of a RIGHT OUTER JOIN"},
      {"SELECT x.A FROM t x INNER JOIN t y ON x.A = q.A",
       "Internal join error - table correlation name \"q\" in JOIN clause expression is invalid"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageOf([&] { Run(c.Sql); }), std::string("RUDIRA Engine Error # 11949 SQL error - ") + c.Message) << c.Sql;
  }
}

}  // namespace
}  // namespace rudira::selecttest
