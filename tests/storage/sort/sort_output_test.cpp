// The output step of the result sort, through TDataFile::Sort with both
// methods: distinct, grouping with its callbacks, the filter and the row
// limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/byte_codec.h"
#include "storage/support/sort_test_support.h"

namespace rudira::sorttest {
namespace {

class SortOutputTest : public TSortTest, public ::testing::WithParamInterface<bool> {
 protected:
  // A table of (K, V) rows, sorted externally (runs of 2) when the parameter
  // says so.
  std::unique_ptr<TDataFile> Table(const std::vector<std::pair<int32_t, int32_t>>& rows) {
    FileOptions options;
    if (GetParam()) options.MaxBufferCount = 2;
    auto file = MakeFile("t" + std::to_string(tables_++), options);
    for (const auto& [k, v] : rows) Insert(*file, k, "", v);
    return file;
  }
  // Sorts and checks that the method of the parameter was the one used.
  TSortOutcome Sorted(TDataFile& file, const TSortRequest& request) {
    const TSortOutcome outcome = file.Sort(request);
    EXPECT_EQ(outcome.RunCount > 0, GetParam());
    return outcome;
  }
  // V and K of a raw row, as the callbacks see it.
  static int32_t V(const uint8_t* row, const TDataFile& file) {
    return LoadLE<int32_t>(row + file.Fields()[2].Offset + 1);
  }
  static void AddV(uint8_t* row, const TDataFile& file, int32_t amount) {
    StoreLE<int32_t>(row + file.Fields()[2].Offset + 1, V(row, file) + amount);
  }
  static int32_t K(const uint8_t* row, const TDataFile& file) {
    return LoadLE<int32_t>(row + file.Fields()[0].Offset + 1);
  }
  // (K, V) of every record of the file.
  static std::vector<std::pair<int32_t, int32_t>> Pairs(TDataFile& file) {
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const Row& row : Rows(file)) pairs.emplace_back(row.K.value_or(-1), row.V.value_or(-1));
    return pairs;
  }
  // A request grouping by K that sums V into each group's row.
  TSortRequest SumByK(TDataFile& file, int* finished = nullptr) {
    TSortRequest request = SortBy(file, {"K"});
    request.Output.Accumulate = [&file](const uint8_t* record, uint8_t* row) { AddV(row, file, V(record, file)); };
    request.Output.FinishGroup = [finished](uint8_t*) {
      if (finished != nullptr) ++*finished;
    };
    return request;
  }

  int tables_ = 0;
};

using Pairs_t = std::vector<std::pair<int32_t, int32_t>>;

TEST_P(SortOutputTest, DistinctOfThreeEqualRowsLeavesOne) {
  auto file = Table({{4, 0}, {4, 0}, {4, 0}});
  TSortRequest request = SortBy(*file, {"K", "V"});
  request.Output.Distinct = true;
  EXPECT_EQ(Sorted(*file, request).RowCount, 1);
  EXPECT_EQ(Pairs(*file), (Pairs_t{{4, 0}}));
  EXPECT_EQ(file->FileSize(), file->DataStart() + file->RecordSize());
}

TEST_P(SortOutputTest, DistinctComparesTheSortFieldsOnly) {
  auto file = Table({{2, 1}, {1, 2}, {2, 3}, {1, 4}, {3, 5}});
  TSortRequest request = SortBy(*file, {"K"});
  request.Output.Distinct = true;
  Sorted(*file, request);
  // The first record of each key, in creation order, stays.
  EXPECT_EQ(Pairs(*file), (Pairs_t{{1, 2}, {2, 1}, {3, 5}}));
}

TEST_P(SortOutputTest, GroupingSumsEachGroupAndFinishesEveryRow) {
  auto file = Table({{2, 10}, {1, 1}, {3, 100}, {2, 20}, {1, 2}, {2, 30}, {1, 3}});
  int finished = 0;
  EXPECT_EQ(Sorted(*file, SumByK(*file, &finished)).RowCount, 3);
  EXPECT_EQ(Pairs(*file), (Pairs_t{{1, 6}, {2, 60}, {3, 100}}));
  EXPECT_EQ(finished, 3);
  const std::vector<Row> rows = Rows(*file);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(rows[i].RecordNo, i + 1);
    EXPECT_EQ(rows[i].UniqueId, i + 1);
  }
}

TEST_P(SortOutputTest, StartGroupSeesThePreviousRowAndMayChangeTheNewOne) {
  // A running total: each group starts from the previous group's total.
  auto file = Table({{1, 1}, {2, 10}, {1, 2}, {3, 100}, {2, 20}});
  TSortRequest request = SortBy(*file, {"K"});
  std::vector<int32_t> previousKeys;
  request.Output.StartGroup = [&](uint8_t* previous, uint8_t* record) {
    previousKeys.push_back(previous == nullptr ? 0 : K(previous, *file));
    if (previous != nullptr) AddV(record, *file, V(previous, *file));
  };
  request.Output.Accumulate = [&](const uint8_t* record, uint8_t* row) { AddV(row, *file, V(record, *file)); };
  Sorted(*file, request);
  EXPECT_EQ(previousKeys, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(Pairs(*file), (Pairs_t{{1, 3}, {2, 33}, {3, 133}}));
}

TEST_P(SortOutputTest, FilterDropsAGroupAndTheNextTakesItsPosition) {
  auto file = Table({{1, 1}, {2, 5}, {3, 2}, {2, 5}, {4, 3}});
  TSortRequest request = SumByK(*file);
  request.Output.Filter = [&](const uint8_t* row) { return V(row, *file) < 10; };
  EXPECT_EQ(Sorted(*file, request).RowCount, 3);
  EXPECT_EQ(Pairs(*file), (Pairs_t{{1, 1}, {3, 2}, {4, 3}}));
  const std::vector<Row> rows = Rows(*file);
  EXPECT_EQ(rows[1].RecordNo, 2);
  EXPECT_EQ(rows[1].UniqueId, 2);
}

TEST_P(SortOutputTest, RowLimitCountsWholeGroupsAndGoesOnAfterARejectedRow) {
  struct Case {
    const char* name;
    int32_t limit;
    bool rejectKey1;
    Pairs_t expected;
  };
  const std::vector<Case> cases = {
      {"limit 2", 2, false, {{1, 3}, {2, 30}}},
      {"limit 2, first group rejected", 2, true, {{2, 30}, {3, 300}}},
      {"limit 0", 0, false, {}},
      {"limit above the groups", 9, true, {{2, 30}, {3, 300}, {4, 4000}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto file = Table({{4, 4000}, {1, 1}, {2, 10}, {3, 100}, {1, 2}, {2, 20}, {3, 200}, {2, 0}});
    TSortRequest request = SumByK(*file);
    request.Output.RowLimit = c.limit;
    if (c.rejectKey1) request.Output.Filter = [&](const uint8_t* row) { return K(row, *file) != 1; };
    EXPECT_EQ(Sorted(*file, request).RowCount, static_cast<int32_t>(c.expected.size()));
    EXPECT_EQ(Pairs(*file), c.expected);
    EXPECT_EQ(file->FileSize(), file->DataStart() + static_cast<int64_t>(c.expected.size()) * file->RecordSize());
  }
}

TEST_P(SortOutputTest, FilterWithoutGroupingJudgesEachRowAndLimitCountsKeptRows) {
  auto file = Table({{5, 0}, {1, 0}, {4, 0}, {2, 0}, {3, 0}, {6, 0}});
  TSortRequest request = SortBy(*file, {"K"});
  request.Output.RowLimit = 2;
  request.Output.Filter = [&](const uint8_t* row) { return K(row, *file) % 2 == 0; };
  EXPECT_EQ(Sorted(*file, request).RowCount, 2);
  EXPECT_EQ(Pairs(*file), (Pairs_t{{2, 0}, {4, 0}}));
}

TEST_P(SortOutputTest, GroupingWithDistinctGroupsOnce) {
  auto file = Table({{1, 1}, {1, 2}, {2, 3}});
  TSortRequest request = SumByK(*file);
  request.Output.Distinct = true;
  Sorted(*file, request);
  EXPECT_EQ(Pairs(*file), (Pairs_t{{1, 3}, {2, 3}}));
}

TEST_P(SortOutputTest, NoSortFieldsMakeOneGroupOfEverything) {
  auto file = Table({{1, 1}, {2, 2}, {3, 3}, {4, 4}});
  TSortRequest request = SumByK(*file);
  request.Order.Fields.clear();
  EXPECT_EQ(Sorted(*file, request).RowCount, 1);
  EXPECT_EQ(Pairs(*file), (Pairs_t{{1, 10}}));
}

INSTANTIATE_TEST_SUITE_P(BothMethods, SortOutputTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "External" : "InCache";
                         });

}  // namespace
}  // namespace rudira::sorttest
