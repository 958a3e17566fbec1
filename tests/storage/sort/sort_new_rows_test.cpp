// TDataFile::Sort of rows handed over from memory (TSortRequest::NewRows):
// the file comes out as if the rows had been appended and then sorted.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "storage/field_value.h"
#include "storage/record_layout.h"
#include "storage/support/sort_test_support.h"

namespace rudira::sorttest {
namespace {

struct NewRowsCase {
  const char* Name;
  bool Encrypted;
  bool Distinct;
  int32_t RowLimit;
  bool RunsFirst;  // the first rows go to a feed in two runs
};

class SortNewRowsTest : public TSortTest, public ::testing::WithParamInterface<NewRowsCase> {};

TEST_P(SortNewRowsTest, LeavesTheFileOfAppendingThenSorting) {
  const NewRowsCase& c = GetParam();
  FileOptions options;
  options.Encrypted = c.Encrypted;
  auto appended = MakeFile("appended", options);
  auto handed = MakeFile("handed", options);
  // Equal keys with different texts show whether ties keep the order made.
  const std::vector<std::pair<int32_t, std::string>> input = {
      {3, "a"}, {1, "b"}, {3, "c"}, {2, "d"}, {1, "e"}, {3, "f"}, {2, "g"}, {1, "h"}};
  for (const auto& [k, s] : input) Insert(*appended, k, s, k * 10);
  // The same records in the order made, their ids reversed: ids of rows not
  // in the file yet are to be ignored.
  std::vector<uint8_t> made;
  const size_t size = appended->RecordSize();
  for (int32_t n = 1; n <= appended->RecordSlotCount(); ++n) {
    const uint8_t* data = appended->GetRecord(n)->Data();
    made.insert(made.end(), data, data + size);
    SetRecordAutoIncValue(made.data() + made.size() - size, appended->RecordSlotCount() - n + 1);
  }

  auto sortBy = [&](TDataFile& file) {
    // Distinct on K alone drops rows, so the ids taken exceed the rows kept.
    TSortRequest request = SortBy(file, {"K"});
    request.Output.Distinct = c.Distinct;
    request.Output.RowLimit = c.RowLimit;
    return request;
  };
  const int32_t appendedRows = appended->Sort(sortBy(*appended)).RowCount;
  TSortRequest request = sortBy(*handed);
  TSortFeed feed(*handed, request.Order, dir_);
  if (c.RunsFirst) {
    const auto row = [&](size_t n) { return made.begin() + static_cast<ptrdiff_t>(n * size); };
    feed.AddRun(std::vector<uint8_t>(row(0), row(3)));
    feed.AddRun(std::vector<uint8_t>(row(3), row(5)));
    made.erase(row(0), row(5));
    request.Feed = &feed;
  }
  request.NewRows = &made;
  const TSortOutcome outcome = handed->Sort(request);
  EXPECT_EQ(outcome.RowCount, appendedRows);
  EXPECT_EQ(outcome.RunCount, c.RunsFirst ? 3 : 0);
  EXPECT_EQ(RunFileCount(), 0u);
  EXPECT_EQ(handed->Header().NextRecordNumber, appended->Header().NextRecordNumber);
  EXPECT_EQ(handed->Header().LastAutoIncValue, appended->Header().LastAutoIncValue);
  EXPECT_EQ(Rows(*handed), Rows(*appended));

  for (TDataFile* file : {appended.get(), handed.get()}) {
    file->WriteRecords();
    file->WriteHeader();
    file->Close();
    file->Open();
  }
  EXPECT_EQ(handed->FileSize(), appended->FileSize());
  EXPECT_EQ(Rows(*handed), Rows(*appended));
}

INSTANTIATE_TEST_SUITE_P(Requests, SortNewRowsTest,
                         ::testing::Values(NewRowsCase{"Plain", false, false, -1, false},
                                           NewRowsCase{"Encrypted", true, false, -1, false},
                                           NewRowsCase{"Distinct", false, true, -1, false},
                                           NewRowsCase{"RowLimit", false, false, 3, false},
                                           NewRowsCase{"NoRows", false, false, 0, false},
                                           NewRowsCase{"Runs", false, false, -1, true},
                                           NewRowsCase{"RunsEncrypted", true, false, -1, true},
                                           NewRowsCase{"RunsDistinct", false, true, -1, true},
                                           NewRowsCase{"RunsRowLimit", false, false, 3, true}),
                         [](const ::testing::TestParamInfo<NewRowsCase>& info) { return info.param.Name; });

TEST_F(TSortTest, NoNewRowsLeaveAnEmptyTable) {
  auto file = MakeFile("t");
  const std::vector<uint8_t> none;
  TSortRequest request = SortBy(*file, {"K"});
  request.NewRows = &none;
  EXPECT_EQ(file->Sort(request).RowCount, 0);
  EXPECT_EQ(file->Header().NextRecordNumber, 1);
  EXPECT_EQ(file->FileSize(), file->DataStart());
}

TEST_F(TSortTest, DrainingAFeedHandsOverEveryRowAndRemovesItsRuns) {
  auto source = MakeFile("source");
  for (int32_t k : {5, 3, 8, 1, 9, 2}) Insert(*source, k, "", std::nullopt);
  auto file = MakeFile("t");
  TSortFeed feed(*file, SortBy(*file, {"K"}).Order, dir_);
  for (const auto& [first, last] : std::vector<std::pair<int32_t, int32_t>>{{1, 4}, {5, 6}}) {
    std::vector<uint8_t> rows;
    for (int32_t n = first; n <= last; ++n) {
      const uint8_t* data = source->GetRecord(n)->Data();
      rows.insert(rows.end(), data, data + source->RecordSize());
    }
    feed.AddRun(rows);
  }
  std::vector<int32_t> drained;
  feed.Drain([&](const uint8_t* record) {
    drained.push_back(std::get<int32_t>(ReadFieldValue(record, file->Fields()[0])));
  });
  // Each run sorted, the runs in the order fed.
  EXPECT_EQ(drained, (std::vector<int32_t>{1, 3, 5, 8, 2, 9}));
  EXPECT_EQ(RunFileCount(), 0u);
}

}  // namespace
}  // namespace rudira::sorttest
