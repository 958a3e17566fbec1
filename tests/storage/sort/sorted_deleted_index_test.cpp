// "Sys Deleted" of a sorted result table: entering the sorted rows without
// reading them gives the index file that rebuilding it from the records
// gives; the rebuild from records orders a file with deleted slots by status
// and id.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "storage/deleted_index.h"
#include "storage/index_file.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"
#include "storage/support/sort_test_support.h"
#include "storage/support/storage_test_support.h"

namespace rudira::sorttest {
namespace {

using Entry = std::tuple<std::vector<uint8_t>, int32_t>;

class SortedDeletedIndexTest : public TSortTest {
 protected:
  // A data file of `rows` records with scattered K, every seventh deleted.
  std::unique_ptr<TDataFile> MakeRows(int32_t rows) {
    auto file = MakeFile("rows");
    for (int32_t i = 1; i <= rows; ++i) Insert(*file, (i * 7919) % 1000, "s" + std::to_string(i % 13), i);
    for (int32_t n = 7; n <= rows; n += 7) file->DeleteRecord(n);
    return file;
  }

  std::unique_ptr<TIndexFile> MakeIndex(const TDataFile& data, const std::string& name) {
    auto index = std::make_unique<TIndexFile>();
    index->SetFileName(dir_ + name + ".IDX");
    index->SetTableFields(data.Fields(), data.Locale());
    index->CreateNew();
    return index;
  }

  static std::vector<Entry> Entries(TIndexFile& index) {
    std::vector<Entry> entries;
    TIndexTree tree(index, kSysDeletedSlot);
    EXPECT_EQ(tree.Check(), tree.RecordCount());
    tree.ForEach([&](const uint8_t* key, int32_t recordNo) {
      entries.emplace_back(std::vector<uint8_t>(key, key + kSysDeletedKeySize), recordNo);
    });
    return entries;
  }

  // The entries the index must hold: one per slot, keyed by status and id.
  static std::vector<Entry> ExpectedEntries(TDataFile& data) {
    std::vector<Entry> expected;
    for (int32_t n = 1; n <= data.RecordSlotCount(); ++n) {
      std::vector<uint8_t> key(kSysDeletedKeySize);
      BuildSysDeletedKey(data.GetRecord(n)->Data(), key.data());
      expected.emplace_back(key, n);
    }
    std::sort(expected.begin(), expected.end());
    return expected;
  }

  // Writes and closes the index; its bytes.
  std::vector<uint8_t> Close(TIndexFile& index) {
    const std::string path = index.FileName();
    index.WritePages();
    index.WriteHeader();
    index.Close();
    return storagetest::FileBytes(path);
  }
};

TEST_F(SortedDeletedIndexTest, SortedRowsEnteredWithoutReadingMatchTheRebuildFromRecords) {
  for (const int32_t rows : {0, 1, 453, 454, 3000}) {
    SCOPED_TRACE(rows);
    auto data = MakeRows(rows);
    const TSortOutcome outcome = data->Sort(SortBy(*data, {"K"}));
    auto fromRecords = MakeIndex(*data, "records");
    auto fromCount = MakeIndex(*data, "count");
    // An index holding pages already: both start it again from an empty root.
    for (TIndexFile* index : {fromRecords.get(), fromCount.get()}) RebuildDeletedIndex(*data, *index);

    EXPECT_EQ(RebuildDeletedIndex(*data, *fromRecords), outcome.RowCount);
    RebuildDeletedIndexOfSortedRows(*fromCount, outcome.RowCount);
    EXPECT_EQ(fromCount->ActiveRecordCount(), outcome.RowCount);
    EXPECT_EQ(Entries(*fromCount), ExpectedEntries(*data));
    EXPECT_EQ(Close(*fromCount), Close(*fromRecords));
    data->Close();
  }
}

TEST_F(SortedDeletedIndexTest, RebuildFromRecordsOrdersDeletedSlotsByStatusAndId) {
  auto data = MakeRows(2000);
  auto index = MakeIndex(*data, "mixed");
  int32_t active = 0;
  for (int32_t n = 1; n <= data->RecordSlotCount(); ++n) {
    if (RecordStatus(data->GetRecord(n)->Data()) == kRecordInUse) ++active;
  }
  EXPECT_EQ(RebuildDeletedIndex(*data, *index), active);
  EXPECT_EQ(index->ActiveRecordCount(), active);
  EXPECT_EQ(Entries(*index), ExpectedEntries(*data));
  index->Close();
  data->Close();
}

}  // namespace
}  // namespace rudira::sorttest
