// Grouping and aggregates of SELECT: GROUP BY through the result-table sort,
// implicit grouping into one row, COUNT(*) from the filtered record count,
// the aggregate rules (NULLs skipped, widening, AVG counters and division,
// RUNSUM across groups), HAVING on the result columns, TOP and ORDER BY of
// grouped results, and the prepare-time messages.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/error_codes.h"
#include "tests/sql/support/select_fixture.h"

namespace rudira::selecttest {
namespace {

using Lines = std::vector<std::string>;
const Value kNull = std::monostate{};

class Grouping : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    // t: A groups; B with NULLs (group 3 all NULL); C a small integer; S a
    // string whose case differs between rows.
    CreateTable("t", {{"A"}, {"B"}, {"C", kFieldTypeSmallInt}, {"S", kFieldTypeString, 10}});
    Insert("t", {{2, 5, int16_t{3}, std::string("x")},
                 {1, 10, int16_t{1}, std::string("x")},
                 {2, kNull, int16_t{4}, std::string("y")},
                 {3, kNull, kNull, std::string("z")},
                 {1, kNull, int16_t{2}, std::string("y")},
                 {4, 3, int16_t{5}, std::string("x")},
                 {2, 7, kNull, std::string("X")}});
  }

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

struct QueryCase {
  const char* Sql;
  Lines Rows;
};

TEST_F(Grouping, QueriesGiveTheirRows) {
  const QueryCase cases[] = {
      {"SELECT A, COUNT(*) FROM t GROUP BY A", {"1|2", "2|3", "3|1", "4|1"}},
      {"SELECT A, COUNT(B) FROM t GROUP BY A", {"1|1", "2|2", "3|0", "4|1"}},
      {"SELECT A, SUM(B), MIN(B), MAX(B) FROM t GROUP BY A",
       {"1|10|10|10", "2|12|5|7", "3|NULL|NULL|NULL", "4|3|3|3"}},
      // NULLs neither add nor count; an all-NULL group averages to 0.
      {"SELECT A, AVG(B) FROM t GROUP BY A", {"1|10", "2|6", "3|0", "4|3"}},
      {"SELECT A, RUNSUM(B) FROM t GROUP BY A", {"1|10", "2|22", "3|22", "4|25"}},
      // The running total goes on through the groups HAVING drops.
      {"SELECT A, RUNSUM(B) FROM t GROUP BY A HAVING A > 1", {"2|22", "3|22", "4|25"}},
      {"SELECT A, SUM(C) FROM t GROUP BY A", {"1|3", "2|7", "3|NULL", "4|5"}},
      {"SELECT A, COUNT(B) FROM t GROUP BY A HAVING COUNT(B) > 1", {"2|2"}},
      {"SELECT A, COUNT(*) AS N FROM t GROUP BY A HAVING COUNT(*) >= 1 AND A <> 2", {"1|2", "3|1", "4|1"}},
      {"SELECT A, AVG(B) FROM t GROUP BY A HAVING AVG(B) > 5", {"1|10", "2|6"}},
      // Grouping compares strings case-sensitively.
      {"SELECT S, COUNT(*) FROM t GROUP BY S", {"'X'|1", "'x'|3", "'y'|2", "'z'|1"}},
      {"SELECT t.A, COUNT(*) FROM t GROUP BY t.A", {"1|2", "2|3", "3|1", "4|1"}},
      {"SELECT COUNT(*), A FROM t GROUP BY 2", {"2|1", "3|2", "1|3", "1|4"}},
      {"SELECT A AS G, MAX(C) FROM t GROUP BY G", {"1|2", "2|4", "3|NULL", "4|5"}},
      {"SELECT A, S, COUNT(*) FROM t WHERE B IS NOT NULL GROUP BY A, S", {"1|'x'|1", "2|'X'|1", "2|'x'|1", "4|'x'|1"}},
      {"SELECT DISTINCT A FROM t GROUP BY A", {"1", "2", "3", "4"}},
      {"SELECT A FROM t GROUP BY A HAVING A >= 3", {"3", "4"}},
      // TOP stops the collapse when the grouping order is the ORDER BY.
      {"SELECT A, COUNT(*) FROM t GROUP BY A ORDER BY 1 TOP 3", {"1|2", "2|3", "3|1"}},
      {"SELECT A, COUNT(*) FROM t GROUP BY A TOP 2", {"1|2", "2|3"}},
      {"SELECT A, COUNT(*) FROM t GROUP BY A HAVING COUNT(*) = 1 TOP 1", {"3|1"}},
      // Any other ORDER BY sorts the grouped rows, then TOP applies.
      {"SELECT A, COUNT(*) FROM t GROUP BY A ORDER BY 2 DESC, 1", {"2|3", "1|2", "3|1", "4|1"}},
      {"SELECT A, COUNT(*) FROM t GROUP BY A ORDER BY 2 DESC, 1 TOP 2", {"2|3", "1|2"}},
      {"SELECT A, COUNT(*) FROM t GROUP BY A ORDER BY A DESC", {"4|1", "3|1", "2|3", "1|2"}},
      // Implicit grouping into one row.
      {"SELECT COUNT(*), SUM(B), MIN(C), MAX(C), AVG(B), COUNT(B) FROM t", {"7|25|1|5|6.25|4"}},
      {"SELECT COUNT(*), SUM(B) FROM t WHERE A = -5", {"NULL|NULL"}},
      {"SELECT MIN(B) FROM t WHERE A = 3", {"NULL"}},
      {"SELECT RUNSUM(B) FROM t WHERE A <= 2", {"22"}},
      {"SELECT COUNT(*) FROM t", {"7"}},
      {"SELECT COUNT(*) FROM t WHERE A = -5", {"0"}},
      {"SELECT COUNT(*) FROM t WHERE A = 2 OR S = 'y'", {"4"}},
      {"SELECT COUNT(*) FROM t WHERE A IN (SELECT A FROM t WHERE B = 3)", {"1"}},
      // A sub-query may group implicitly.
      {"SELECT A, B FROM t WHERE A IN (SELECT MAX(A) FROM t)", {"4|3"}},
      {"SELECT A, COUNT(*) FROM t GROUP BY A UNION SELECT A, COUNT(*) FROM t WHERE A = 2 GROUP BY A",
       {"1|2", "2|3", "3|1", "4|1"}},
      // A sub-query and a UNION member of a grouped master may mix
      // aggregates with plain columns: those take the first row's values.
      {"SELECT A, B FROM t WHERE A IN (SELECT A, COUNT(*) FROM t WHERE C >= 4)", {"2|5", "2|NULL", "2|7"}},
      {"SELECT A, COUNT(*) FROM t GROUP BY A UNION ALL SELECT A, COUNT(*) FROM t WHERE A = 1",
       {"1|2", "2|3", "3|1", "4|1", "1|2"}},
      {"SELECT A + 1, COUNT(*) FROM t GROUP BY 1", {"2|2", "3|3", "4|1", "5|1"}},
      {"SELECT DISTINCT COUNT(*) FROM t WHERE B > 4", {"3"}},
  };
  for (const QueryCase& c : cases) {
    SCOPED_TRACE(c.Sql);
    EXPECT_EQ(Query(c.Sql), c.Rows);
    EXPECT_EQ(Query(c.Sql, true), c.Rows);
  }
}

struct MessageCase {
  const char* Sql;
  const char* Message;
};

TEST_F(Grouping, PrepareChecksFailWithTheirMessages) {
  CreateTable("m", {{"K"}, {"Memo", kFieldTypeBlob, 10}});
  const MessageCase cases[] = {
      {"SELECT A, COUNT(*) FROM t",
       "Invalid use of aggregate function(s), the necessary GROUP BY clause is missing"},
      {"SELECT A, COUNT(*) FROM t UNION SELECT A, COUNT(*) FROM t GROUP BY A",
       "Invalid use of aggregate function(s), the necessary GROUP BY clause is missing"},
      {"SELECT A FROM t HAVING A > 1", "A GROUP BY clause must exist in order to use the HAVING clause"},
      {"SELECT A, COUNT(*) FROM t GROUP BY 0", "Invalid column number '0' specified in GROUP BY clause"},
      {"SELECT A, COUNT(*) FROM t GROUP BY 3", "Invalid column number '3' specified in GROUP BY clause"},
      {"SELECT A, COUNT(*) FROM t GROUP BY 2", "Invalid column number '2' specified in GROUP BY clause"},
      {"SELECT A, COUNT(*) FROM t GROUP BY Z",
       "Invalid column name 'Z' or table correlation name '' specified in GROUP BY clause"},
      {"SELECT A, COUNT(*) FROM t GROUP BY q.A",
       "Invalid column name 'A' or table correlation name 'q' specified in GROUP BY clause"},
      {"SELECT COUNT(*) FROM t GROUP BY B",
       "Invalid column name 'B' or table correlation name '' specified in GROUP BY clause"},
      {"SELECT Memo, COUNT(*) FROM m GROUP BY Memo", "Invalid BLOB column 'Memo' specified in GROUP BY clause"},
      {"SELECT A, COUNT(B) FROM t GROUP BY A HAVING SUM(B) > 1",
       "Expression in HAVING clause not found in source columns"},
      {"SELECT A, COUNT(B) FROM t GROUP BY A HAVING COUNT(C) > 1",
       "Expression in HAVING clause not found in source columns"},
      {"SELECT A, COUNT(*) FROM t GROUP BY A HAVING B > 1", "Expression in HAVING clause not found in source columns"},
      {"SELECT A, COUNT(*) FROM t GROUP BY A HAVING COUNT(*)", "HAVING clause must be a boolean expression"},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.Sql);
    TSelectExecutor executor(*session_, *db_, false, -1);
    EXPECT_EQ(MessageOf([&] { executor.Prepare(c.Sql); }),
              std::string("RUDIRA Engine Error # 11949 SQL error - ") + c.Message);
  }
}

TEST_F(Grouping, TooManyGroupItemsFail) {
  std::string sql = "SELECT A, COUNT(*) FROM t GROUP BY 1";
  for (int i = 0; i < 1024; ++i) sql += ", 1";
  TSelectExecutor executor(*session_, *db_, false, -1);
  EXPECT_EQ(MessageOf([&] { executor.Prepare(sql); }),
            "RUDIRA Engine Error # 11949 SQL error - Maximum number of columns (1024) in GROUP BY clause exceeded");
}

TEST_F(Grouping, ColumnsAreNamedTypedAndAvgHasAHiddenCounter) {
  auto executor = Run("SELECT A, SUM(C), SUM(B), AVG(B), COUNT(B), MAX(C) FROM t GROUP BY A");
  const std::vector<TResultColumn>& columns = executor->ResultColumns();
  ASSERT_EQ(columns.size(), 7u);
  const std::pair<const char*, uint8_t> expected[] = {
      {"A", kFieldTypeInteger},        {"Sum Of C", kFieldTypeInteger},  {"Sum Of B", kFieldTypeLargeInt},
      {"Average Of B", kFieldTypeFloat}, {"Count Of B", kFieldTypeInteger}, {"Max Of C", kFieldTypeSmallInt},
      {"Sys__Avg__Count7", kFieldTypeInteger}};
  for (size_t i = 0; i < columns.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(columns[i].Field.FieldName, expected[i].first);
    EXPECT_EQ(columns[i].Field.FieldType, expected[i].second);
    EXPECT_EQ(columns[i].Hidden, i == 6);
  }
  // The counter holds the non-NULL count of each group.
  TDataCursor& cursor = *executor->ResultCursor();
  std::vector<uint8_t> record(cursor.RecordSize());
  std::vector<std::string> counts;
  cursor.SetToBegin();
  while (cursor.GetNextRecord(record.data()) == 0) counts.push_back(Text(ReadFieldValue(record.data(), cursor.Field(7))));
  EXPECT_EQ(counts, (Lines{"1", "2", "0", "1"}));
}

TEST_F(Grouping, CountStarFollowsTheBoundParameter) {
  std::vector<uint8_t> buffer;
  std::vector<TParameterDescriptor> parameters{IntParameter(buffer, 2)};
  TSelectExecutor executor(*session_, *db_, true, -1);
  executor.Prepare("SELECT COUNT(*) FROM t WHERE A = ?");
  executor.Execute(parameters, buffer.data());
  EXPECT_FALSE(executor.LiveResult());
  EXPECT_EQ(Rows(executor), (Lines{"3"}));
  EXPECT_EQ(executor.RowCount(), 1);
  buffer.clear();
  parameters = {IntParameter(buffer, -5)};
  executor.Execute(parameters, buffer.data());
  EXPECT_EQ(Rows(executor), (Lines{"0"}));
}

TEST_F(Grouping, SumsAndAveragesDoNotOverflowTheArgumentType) {
  CreateTable("w", {{"G"}, {"N"}, {"T", kFieldTypeTime}, {"D", kFieldTypeDate}});
  std::vector<Row> rows;
  for (int i = 0; i < 200; ++i) {
    rows.push_back({i % 2, 2000000000, int32_t{80000000 + (i % 2)}, int32_t{738000 + i % 3}});
  }
  Insert("w", rows);
  // 100 × 2e9 per group; the TIME and DATE averages are rounded.
  EXPECT_EQ(Query("SELECT G, SUM(N), AVG(T), AVG(D) FROM w GROUP BY G"),
            (Lines{"0|200000000000|80000000|738001", "1|200000000000|80000001|738001"}));
  EXPECT_EQ(Query("SELECT SUM(N), AVG(T), AVG(N) FROM w"), (Lines{"400000000000|80000001|2e+09"}));
}

TEST_F(Grouping, ColumnArgumentsOfEveryNumberTypeAggregateAsTheirExpressions) {
  // A plain column argument is read straight from its record; the same
  // column inside an expression is evaluated. Both must give the same rows,
  // NULLs skipped, for each integer and float type.
  CreateTable("n", {{"G"}, {"I"}, {"C", kFieldTypeSmallInt}, {"W", kFieldTypeWord}, {"L", kFieldTypeLargeInt},
                    {"F", kFieldTypeFloat}});
  std::vector<Row> rows;
  for (int i = 0; i < 300; ++i) {
    const bool null = i % 7 == 3;
    rows.push_back({i % 4, null ? kNull : Value{int32_t{i * 13 - 900}}, null ? kNull : Value{int16_t(i - 150)},
                    null ? kNull : Value{uint16_t(i * 200)}, null ? kNull : Value{int64_t{i} * 40000000000LL},
                    i % 5 == 1 ? kNull : Value{i * 0.25 - 20.0}});
  }
  // Group 5 holds only NULLs in every column but G.
  rows.push_back({5, kNull, kNull, kNull, kNull, kNull});
  Insert("n", rows);
  for (const char* column : {"I", "C", "W", "L", "F"}) {
    SCOPED_TRACE(column);
    const std::string c = column;
    const std::string plain = "SELECT G, SUM(" + c + "), AVG(" + c + "), COUNT(" + c + "), MIN(" + c + "), MAX(" +
                              c + ") FROM n GROUP BY G";
    const std::string evaluated = "SELECT G, SUM(" + c + " * 1), AVG(" + c + " * 1), COUNT(" + c + " * 1), MIN(" +
                                  c + " * 1), MAX(" + c + " * 1) FROM n GROUP BY G";
    const Lines expected = Query(evaluated);
    ASSERT_EQ(expected.size(), 5u);
    EXPECT_EQ(Query(plain), expected);
  }
}

TEST_F(Grouping, GroupsOfAJoinAndOfAnOuterJoin) {
  CreateTable("u", {{"A"}, {"Name", kFieldTypeString, 10}});
  Insert("u", {{1, std::string("one")}, {2, std::string("two")}, {5, std::string("five")}});
  EXPECT_EQ(Query("SELECT u.Name, SUM(t.B), COUNT(*) FROM t, u WHERE t.A = u.A GROUP BY u.Name"),
            (Lines{"'one'|10|2", "'two'|12|3"}));
  EXPECT_EQ(Query("SELECT u.Name, COUNT(t.A) FROM u LEFT JOIN t ON u.A = t.A GROUP BY u.Name"),
            (Lines{"'five'|0", "'one'|2", "'two'|3"}));
}

TEST_F(Grouping, ReexecutionRegroups) {
  TSelectExecutor executor(*session_, *db_, false, -1);
  executor.Prepare("SELECT A, COUNT(*), AVG(B) FROM t GROUP BY A HAVING COUNT(*) > 1");
  executor.Execute();
  EXPECT_EQ(Rows(executor), (Lines{"1|2|10", "2|3|6"}));
  Insert("t", {{3, 1, int16_t{1}, std::string("q")}});
  executor.Execute();
  EXPECT_EQ(Rows(executor), (Lines{"1|2|10", "2|3|6", "3|2|1"}));
}

TEST_F(Grouping, CountStarOfOneTableReadsNoRow) {
  session_->SetProgressSteps(100);
  auto progressOf = [&](const std::string& sql, Lines& rows) {
    std::vector<int> seen;
    TSelectExecutor executor(*session_, *db_, false, -1);
    executor.SetProgressCallback([&](int percent, bool&) { seen.push_back(percent); });
    executor.Prepare(sql);
    executor.Execute();
    rows = Rows(executor);
    return seen;
  };
  Lines rows;
  // The walk reports each record of t it visits; the record count none.
  EXPECT_EQ(progressOf("SELECT COUNT(*) FROM t WHERE A = 2 OR S = 'y'", rows), (std::vector<int>{100}));
  EXPECT_EQ(rows, (Lines{"4"}));
  EXPECT_GT(progressOf("SELECT COUNT(*), COUNT(B) FROM t WHERE A = 2 OR S = 'y'", rows).size(), 1u);
  EXPECT_EQ(rows, (Lines{"4|2"}));
}

TEST_F(Grouping, ManyRowsGroupThroughTheMergeSort) {
  // A data cache far smaller than the result: the sort merges runs.
  session_->SetMaxDataBufferCount(64);
  CreateTable("big", {{"G"}, {"V"}});
  constexpr int kRows = 6000;
  constexpr int kGroups = 37;
  std::vector<Row> rows;
  for (int i = 0; i < kRows; ++i) rows.push_back({int32_t{(i * 7) % kGroups}, int32_t{i}});
  Insert("big", rows);
  std::vector<int64_t> count(kGroups), sum(kGroups), low(kGroups, kRows), high(kGroups, -1);
  for (int i = 0; i < kRows; ++i) {
    const int g = (i * 7) % kGroups;
    ++count[g];
    sum[g] += i;
    low[g] = std::min<int64_t>(low[g], i);
    high[g] = std::max<int64_t>(high[g], i);
  }
  Lines all;
  Lines kept;
  int64_t running = 0;
  Lines runningRows;
  for (int g = 0; g < kGroups; ++g) {
    char average[64];
    std::snprintf(average, sizeof average, "%.6g", static_cast<double>(sum[g]) / static_cast<double>(count[g]));
    const std::string line = std::to_string(g) + "|" + std::to_string(count[g]) + "|" + std::to_string(sum[g]) + "|" +
                             std::to_string(low[g]) + "|" + std::to_string(high[g]) + "|" + average;
    all.push_back(line);
    if (count[g] > kRows / kGroups) kept.push_back(line);
    running += sum[g];
    runningRows.push_back(std::to_string(g) + "|" + std::to_string(running));
  }
  const std::string select = "SELECT G, COUNT(*), SUM(V), MIN(V), MAX(V), AVG(V) FROM big GROUP BY G";
  EXPECT_EQ(Query(select), all);
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(Query(select + " HAVING COUNT(*) > " + std::to_string(kRows / kGroups)), kept);
  EXPECT_EQ(Query("SELECT G, RUNSUM(V) FROM big GROUP BY G"), runningRows);
  EXPECT_EQ(Query(select + " TOP 3"), (Lines{all[0], all[1], all[2]}));
}

TEST_F(Grouping, DateTimeAndTimestampAggregates) {
  CreateTable("k", {{"G"}, {"D", kFieldTypeDate}, {"T", kFieldTypeTime}, {"TS", kFieldTypeTimestamp}});
  Insert("k", {{1, int32_t{738000}, int32_t{1000}, 500.0},
               {1, int32_t{738003}, kNull, 1500.0},
               {1, kNull, int32_t{2001}, kNull},
               {2, kNull, kNull, kNull}});
  // Averages of DATE and TIME are rounded; NULLs are skipped; an all-NULL
  // group averages to 0.
  EXPECT_EQ(Query("SELECT G, MIN(D), MAX(D), AVG(D), MIN(T), MAX(T), AVG(T), MIN(TS), AVG(TS) FROM k GROUP BY G"),
            (Lines{"1|738000|738003|738002|1000|2001|1501|500|1000", "2|NULL|NULL|0|NULL|NULL|0|NULL|0"}));
}

TEST_F(Grouping, BcdSumsAndAveragesRoundAtTheColumnScale) {
  CreateTable("b", {{"G"}, {"M", kFieldTypeBcd}});
  auto bcd = [](int64_t units) { return Value(*BcdFromFixedPoint(units * 10000, 0)); };
  Insert("b", {{1, bcd(1)}, {1, bcd(2)}, {2, bcd(-7)}, {2, kNull}, {2, bcd(-2)}});
  auto executor = Run("SELECT G, SUM(M), AVG(M), MIN(M) FROM b GROUP BY G");
  TDataCursor& cursor = *executor->ResultCursor();
  std::vector<uint8_t> record(cursor.RecordSize());
  std::vector<std::vector<int64_t>> rows;
  cursor.SetToBegin();
  while (cursor.GetNextRecord(record.data()) == 0) {
    std::vector<int64_t> row;
    for (int field = 2; field <= 4; ++field) {
      const TFieldValue value = ReadFieldValue(record.data(), cursor.Field(field));
      ASSERT_TRUE(std::holds_alternative<Bcd>(value));
      row.push_back(*BcdToFixedPoint(std::get<Bcd>(value)) / 10000);
    }
    rows.push_back(row);
  }
  // 1.5 rounds away from zero to 2, -4.5 to -5.
  EXPECT_EQ(rows, (std::vector<std::vector<int64_t>>{{3, 2, 1}, {-9, -5, -7}}));
}

}  // namespace
}  // namespace rudira::selecttest
