// The full table verification on a sound table and on tables damaged in one
// way each, as a torn write would leave them: an index entry gone, one too
// many, one with another key, one naming a deleted record, a BLOB chain cut,
// the count of records in use off. The damage is made through the engine's
// own file objects in one session; a fresh session then verifies.
#include <algorithm>

#include "engine/corrupt/memo_table_fixture.h"
#include "engine/error_codes.h"
#include "engine/table_verifier.h"
#include "storage/blob_file.h"
#include "storage/index_header.h"
#include "storage/index_tree.h"
#include "storage/record.h"

namespace rudira::cursortest {
namespace {

constexpr int kBySlot = 1;  // the secondary index "ByS"

// Runs `change` on the table's files under its writer lock and writes it.
void Locked(TDataTable& table, const std::function<void(TDataTable&)>& change) {
  table.WriterLock();
  change(table);
  table.WriteChanges(false, true);
  table.WriterUnlock();
}

// The "ByS" key of record `recordNo`, with its S value replaced by `s` when
// given.
std::vector<uint8_t> ByKey(TDataCursor& cursor, int32_t recordNo, const std::string& s = {}) {
  TDataTable& table = *cursor.Table();
  const TRecord* stored = table.DataFile().GetRecord(recordNo);
  std::vector<uint8_t> record(stored->Data(), stored->Data() + table.DataFile().RecordSize());
  if (!s.empty()) {
    EXPECT_TRUE(StoreFieldValue(record.data(), table.DataFile().Fields()[1], s, table.DataFile().Locale()));
  }
  const TIndexDefinition& definition = table.IndexFile().Definition(kBySlot);
  std::vector<uint8_t> key(static_cast<size_t>(definition.KeySize));
  BuildIndexKey(definition, table.DataFile().Fields(), record.data(), table.DataFile().Locale(), key.data());
  return key;
}

struct Damage {
  const char* Name;
  std::function<void(TDataCursor&)> Make;
  TVerifyFaultKind Kind;
  const char* Index;  // "" when no index
  int32_t RecordNo;
  const char* Field;  // "" when no field
  uint16_t Code;      // the engine error that shows it; 0 when none
};

void PrintTo(const Damage& d, std::ostream* out) { *out << d.Name; }

const Damage kDamages[] = {
    {"IndexEntryRemoved",
     [](TDataCursor& cursor) {
       const std::vector<uint8_t> key = ByKey(cursor, 3);
       Locked(*cursor.Table(), [&](TDataTable& table) {
         ASSERT_TRUE(TIndexTree(table.IndexFile(), kBySlot).Delete(key.data()));
       });
     },
     TVerifyFaultKind::EntryMissing, "ByS", 3, "", 0},
    {"ExtraIndexEntry",
     [](TDataCursor& cursor) {
       const std::vector<uint8_t> key = ByKey(cursor, 2, "zz");
       Locked(*cursor.Table(), [&](TDataTable& table) {
         ASSERT_TRUE(TIndexTree(table.IndexFile(), kBySlot).Insert(key.data(), 2));
       });
     },
     TVerifyFaultKind::EntryRepeated, "ByS", 2, "", 0},
    {"IndexEntryWithAnotherKey",
     [](TDataCursor& cursor) {
       const std::vector<uint8_t> key = ByKey(cursor, 4);
       const std::vector<uint8_t> other = ByKey(cursor, 4, "zz");
       Locked(*cursor.Table(), [&](TDataTable& table) {
         TIndexTree tree(table.IndexFile(), kBySlot);
         ASSERT_TRUE(tree.Delete(key.data()));
         ASSERT_TRUE(tree.Insert(other.data(), 4));
       });
     },
     TVerifyFaultKind::EntryKeyDiffers, "ByS", 4, "", 0},
    {"IndexEntryOfADeletedRecord",
     [](TDataCursor& cursor) {
       const std::vector<uint8_t> key = ByKey(cursor, 5);
       std::vector<uint8_t> record(cursor.RecordSize());
       ASSERT_TRUE(cursor.SetToRecordNo(5));
       ASSERT_EQ(cursor.GetCurrentRecord(record.data()), 0);
       cursor.DeleteRecord(record.data());
       Locked(*cursor.Table(), [&](TDataTable& table) {
         ASSERT_TRUE(TIndexTree(table.IndexFile(), kBySlot).Insert(key.data(), 5));
       });
     },
     TVerifyFaultKind::EntryForDeletedRecord, "ByS", 5, "", 0},
    {"BlobChainCut",
     [](TDataCursor& cursor) {
       Locked(*cursor.Table(), [&](TDataTable& table) {
         const TRecord* stored = table.DataFile().GetRecord(1);
         const TFieldValue value = ReadFieldValue(stored->Data(), table.DataFile().Fields()[MemoTableTest::kMemo - 1]);
         const BlobReference reference = std::get<BlobReference>(value);
         TBlock* first = table.BlobFile().GetBlock(reference.FirstBlock);
         ASSERT_NE(first->Header().NextBlock, 0);
         first->Header().NextBlock = 0;
         first->SetModified(true);
       });
     },
     TVerifyFaultKind::BlobUnreadable, "", 1, "M", RUDIRA_ENDOFBLOB},
    {"CountOfRecordsInUseOff",
     [](TDataCursor& cursor) {
       Locked(*cursor.Table(), [&](TDataTable& table) {
         table.IndexFile().SetActiveRecordCount(table.IndexFile().ActiveRecordCount() + 1);
       });
     },
     TVerifyFaultKind::RecordCount, "", 0, "", 0},
};

class TableVerifierTest : public MemoTableTest {
 protected:
  // Verifies "t" in a fresh session; the log lines and progress reports go
  // to `log` and `progress`.
  bool VerifyAfresh(std::vector<TVerifyFault>& faults, std::vector<std::string>& log,
                    std::vector<std::pair<std::string, int>>& progress) {
    session_.reset();
    session_ = std::make_unique<TDataSession>();
    session_->SetPrivateDir(dir_);
    db_ = session_->OpenDatabase("db", dir_);
    // Natural order: the cursor's open reads no index page.
    auto cursor = Open("t", [](TDataCursor& c) { c.SetNaturalOrder(true); });
    TTableVerifier verifier(*cursor->Table());
    verifier.SetLog([&](const std::string& line) { log.push_back(line); });
    verifier.SetProgress([&](const std::string& step, int percent) { progress.emplace_back(step, percent); });
    const bool sound = verifier.Run();
    faults = verifier.Faults();
    EXPECT_EQ(verifier.FaultCount(), static_cast<int64_t>(faults.size()));
    return sound;
  }
};

TEST_F(TableVerifierTest, ASoundTablePasses) {
  std::vector<TVerifyFault> faults;
  std::vector<std::string> log;
  std::vector<std::pair<std::string, int>> progress;
  EXPECT_TRUE(VerifyAfresh(faults, log, progress));
  EXPECT_TRUE(faults.empty());
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "OK");
  EXPECT_NE(std::find(log.begin(), log.end(), "8 records, 0 deleted slots"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "8 BLOB values, each read to its length"), log.end());
  // One report per step, rising to 100.
  std::vector<std::string> steps;
  for (size_t i = 0; i < progress.size(); ++i) {
    steps.push_back(progress[i].first);
    if (i > 0) {
      EXPECT_GT(progress[i].second, progress[i - 1].second) << progress[i].first;
    }
  }
  EXPECT_EQ(steps, (std::vector<std::string>{"Headers", "Records", "Index PRIMARY", "Index ByS",
                                             std::string("Index ") + kSysDeletedName, "BLOBs"}));
  EXPECT_EQ(progress.back().second, 100);
}

class TableVerifierDamage : public TableVerifierTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(TableVerifierDamage, NamesTheOneFault) {
  const Damage& damage = GetParam();
  {
    auto cursor = Open("t");
    damage.Make(*cursor);
    if (HasFatalFailure()) return;
  }
  std::vector<TVerifyFault> faults;
  std::vector<std::string> log;
  std::vector<std::pair<std::string, int>> progress;
  EXPECT_FALSE(VerifyAfresh(faults, log, progress));
  ASSERT_EQ(faults.size(), 1u) << (log.empty() ? "" : log.front());
  const TVerifyFault& fault = faults.front();
  EXPECT_EQ(fault.Kind, damage.Kind) << fault.Text;
  EXPECT_EQ(fault.Index, damage.Index) << fault.Text;
  EXPECT_EQ(fault.RecordNo, damage.RecordNo) << fault.Text;
  EXPECT_EQ(fault.Field, damage.Field) << fault.Text;
  EXPECT_EQ(fault.ErrorCode, damage.Code) << fault.Text;
  // An entry's fault carries the entry's key.
  EXPECT_EQ(fault.Key.empty(), std::string(damage.Index).empty() || damage.Kind == TVerifyFaultKind::EntryMissing);
  EXPECT_NE(std::find(log.begin(), log.end(), fault.Text), log.end());
  EXPECT_EQ(log.back(), "DAMAGED (1 problem)");
  EXPECT_EQ(progress.back().second, 100);
}

INSTANTIATE_TEST_SUITE_P(Damages, TableVerifierDamage, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(TableVerifierTest, PagesThatDoNotDecodeAreReportedPerIndexNotThrown) {
  const std::string path = dir_ + "t.IDX";
  const auto size = std::filesystem::file_size(path);
  ASSERT_GT(size, kIndexHeaderSize);
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(kIndexHeaderSize);
    file << std::string(size - kIndexHeaderSize, '\x7f');
  }
  std::vector<TVerifyFault> faults;
  std::vector<std::string> log;
  std::vector<std::pair<std::string, int>> progress;
  EXPECT_FALSE(VerifyAfresh(faults, log, progress));
  std::vector<std::string> unreadable;
  for (const TVerifyFault& fault : faults) {
    EXPECT_EQ(fault.Kind, TVerifyFaultKind::IndexUnreadable) << fault.Text;
    EXPECT_EQ(fault.ErrorCode, RUDIRA_INDEXCORRUPT) << fault.Text;
    unreadable.push_back(fault.Index);
  }
  EXPECT_EQ(unreadable, (std::vector<std::string>{"PRIMARY", "ByS", kSysDeletedName}));
  // The BLOB step still ran after the indexes.
  EXPECT_EQ(progress.back(), (std::pair<std::string, int>{"BLOBs", 100}));
}

}  // namespace
}  // namespace rudira::cursortest
