// TDataCursor::AppendRecords against AppendRecord row by row: the same
// script run on two tables, one appending each row, the other handing the
// same rows over in batches, must leave the same data and index files byte
// for byte and the same view, whether the one-pass way is taken (held
// exclusively in a transaction, no keyed index) or not.
#include "engine/cursor/cursor_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "storage/index_header.h"
#include "storage/index_tree.h"

namespace rudira::cursortest {
namespace {

struct AppendCase {
  const char* Name;
  bool PrimaryKey;              // ID is the primary key (no one pass then)
  bool Exclusive;
  bool InTransaction;           // writes held as a canned result holds them
  int Before;                   // rows appended one by one first
  bool DeleteFirst;             // then the first of them deleted
  std::vector<int> Batches;     // rows of each AppendRecords call
};

class CursorAppendRecordsTest : public CursorTest, public ::testing::WithParamInterface<AppendCase> {
 protected:
  // The file's bytes; a data file's LastUpdated (a clock reading, header
  // bytes 27..34) is zeroed.
  static std::vector<uint8_t> Bytes(const std::string& path, bool dataFile) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (dataFile && bytes.size() >= 35) std::fill(bytes.begin() + 27, bytes.begin() + 35, uint8_t{0});
    return bytes;
  }

  std::vector<uint8_t> Row(TDataCursor& cursor, int32_t id) {
    std::vector<uint8_t> record = Blank(cursor);
    Set(cursor, record, "ID", id);
    Set(cursor, record, "NAME", "n" + std::to_string(id % 997));
    return record;
  }

  // Runs the case on table `name`; `batched` hands each batch to
  // AppendRecords, else every row goes through AppendRecord. Returns the
  // IDs of the view, walked after the last batch.
  std::vector<int32_t> Run(const std::string& name, const AppendCase& c, bool batched) {
    CreateTable(name, {{"ID", kFieldTypeInteger}, {"NAME", kFieldTypeString, 12}},
                c.PrimaryKey ? IndexSpec("", {1}) : IndexSpec("", {}));
    auto cursor = Open(name, [&](TDataCursor& k) { k.SetExclusive(c.Exclusive); });
    int32_t id = 1;
    for (int i = 0; i < c.Before; ++i) cursor->AppendRecord(Row(*cursor, id++).data(), false);
    if (c.DeleteFirst) {
      std::vector<uint8_t> record(cursor->RecordSize());
      cursor->SetToBegin();
      EXPECT_EQ(cursor->GetNextRecord(record.data()), 0);
      cursor->DeleteRecord(record.data(), false);
    }
    TDataTable& table = *cursor->Table();
    if (c.InTransaction) table.SetInTransaction(true);
    for (int size : c.Batches) {
      std::vector<uint8_t> rows;
      for (int i = 0; i < size; ++i) {
        const std::vector<uint8_t> row = Row(*cursor, id++);
        rows.insert(rows.end(), row.begin(), row.end());
      }
      if (batched) {
        cursor->AppendRecords(rows.data(), static_cast<size_t>(size));
      } else {
        for (int i = 0; i < size; ++i) cursor->AppendRecord(rows.data() + i * cursor->RecordSize(), false);
      }
      if (c.InTransaction) {
        // Written back as a canned result writes its held rows.
        table.SetInTransaction(false);
        cursor->FlushBuffers();
        table.SetInTransaction(true);
      }
    }
    if (c.InTransaction) table.SetInTransaction(false);
    cursor->FlushBuffers();
    EXPECT_EQ(TIndexTree(table.IndexFile(), kSysDeletedSlot).Check(), cursor->GetRecordCount() + (c.DeleteFirst ? 1 : 0));
    std::vector<int32_t> ids = Walk(*cursor);
    cursor->CloseCursor();
    return ids;
  }
};

TEST_P(CursorAppendRecordsTest, LeavesTheFilesAndViewOfAppendsOneByOne) {
  const AppendCase& c = GetParam();
  const std::vector<int32_t> single = Run("single", c, false);
  const std::vector<int32_t> batched = Run("batched", c, true);
  int expected = c.Before - (c.DeleteFirst ? 1 : 0);
  for (int size : c.Batches) expected += size;
  EXPECT_EQ(static_cast<int>(batched.size()), expected);
  EXPECT_EQ(batched, single);
  for (const std::string extension : {".DAT", ".IDX"}) {
    const std::vector<uint8_t> one = Bytes(dir_ + "single" + extension, extension == ".DAT");
    const std::vector<uint8_t> many = Bytes(dir_ + "batched" + extension, extension == ".DAT");
    ASSERT_FALSE(one.empty()) << extension;
    const auto differs = std::mismatch(one.begin(), one.end(), many.begin(), many.end());
    EXPECT_TRUE(one == many) << extension << ": " << one.size() << " bytes against " << many.size()
                             << ", first difference at " << (differs.first - one.begin());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CursorAppendRecordsTest,
    ::testing::Values(
        // One pass: empty and non-empty tables, leaf splits of the deleted index.
        AppendCase{"OnePassSmall", false, true, true, 0, false, {1, 3}},
        AppendCase{"OnePassAcrossSplits", false, true, true, 0, false, {512, 512, 300}},
        AppendCase{"OnePassAfterRows", false, true, true, 40, false, {700}},
        // A deleted slot keeps its entry; its key decides about the one pass.
        AppendCase{"AfterADeletedRow", false, true, true, 40, true, {600}},
        // Row by row: not held, not exclusive, or keyed.
        AppendCase{"NotInTransaction", false, true, false, 5, false, {50, 50}},
        AppendCase{"Shared", false, false, true, 5, false, {50}},
        AppendCase{"PrimaryKey", true, true, true, 5, false, {600}}),
    [](const ::testing::TestParamInfo<AppendCase>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace rudira::cursortest
