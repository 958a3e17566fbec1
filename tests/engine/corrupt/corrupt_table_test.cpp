// Damaged table files: bytes patched into the files of a valid table (or the
// file cut short), then one operation on the table, and the engine error it
// must raise. Each case is a fault that the fuzzers found or a corruption
// every open must catch; none may crash, hang or read out of bounds.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/corrupt/memo_table_fixture.h"
#include "engine/error_codes.h"
#include "storage/blob_layout.h"
#include "storage/data_header.h"
#include "storage/index_definition.h"
#include "storage/index_header.h"

namespace rudira::cursortest {
namespace {

enum class Operation { Open, Walk, WalkBySecondary, ReadMemos, Append, ModifyMemos, DeleteAll };

// Where a patch goes: a file of table "t" and an offset from a place in it.
enum class Base { FileStart, FirstRecord, FirstBlock, FirstPage };

struct Patch {
  const char* Extension;  // ".DAT", ".IDX" or ".BLB"
  Base From;
  int64_t Offset;
  std::string Bytes;  // empty: the file is cut at the offset
};

struct Case {
  const char* Name;
  std::vector<Patch> Patches;
  Operation Op;
  uint16_t Code;  // 0: the operation reads cleanly
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.Name; }

// The offset of a byte of the second index definition (slot 1, "ByS") in
// the index header: the definitions start at 14.
constexpr int64_t SecondaryDefinition(int64_t field) { return 14 + kIndexDefinitionSize + field; }

std::string Int32(int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
  return bytes;
}

class CorruptTable : public MemoTableTest, public ::testing::WithParamInterface<Case> {
 protected:
  void Apply(const Patch& patch) {
    const std::string path = dir_ + "t" + patch.Extension;
    int64_t offset = patch.Offset;
    switch (patch.From) {
      case Base::FileStart: break;
      case Base::FirstRecord: offset += kDataHeaderSize + 768 * kFieldCount; break;
      case Base::FirstBlock: offset += kBlobHeaderSize; break;
      case Base::FirstPage: offset += kIndexHeaderSize; break;
    }
    if (patch.Bytes.empty()) {
      std::filesystem::resize_file(path, static_cast<uintmax_t>(offset));
      return;
    }
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    ASSERT_TRUE(file) << path;
    file.seekp(offset);
    file.write(patch.Bytes.data(), static_cast<std::streamsize>(patch.Bytes.size()));
  }

  void Run(Operation op) {
    auto cursor = Open("t");
    std::vector<uint8_t> record(cursor->RecordSize());
    auto walk = [&](const std::function<void()>& each) {
      cursor->SetToBegin();
      while (cursor->GetNextRecord(record.data()) == 0) each();
    };
    switch (op) {
      case Operation::Open: break;
      case Operation::Walk: walk([] {}); break;
      case Operation::WalkBySecondary:
        cursor->SetIndexName("ByS");
        walk([] {});
        break;
      case Operation::ReadMemos:
        walk([&] {
          std::vector<uint8_t> memo(cursor->GetBlobSize(kMemo, record.data()) + 1);
          cursor->GetBlob(kMemo, record.data(), 0, memo.size() - 1, memo.data());
          cursor->FreeBlob(kMemo);
        });
        break;
      case Operation::Append: {
        std::vector<uint8_t> fresh = Blank(*cursor);
        Set(*cursor, fresh, "A", int32_t(100));
        const std::string memo(2000, 'n');
        cursor->PutBlob(kMemo, fresh.data(), 0, memo.size(), reinterpret_cast<const uint8_t*>(memo.data()));
        cursor->AppendRecord(fresh.data());
        break;
      }
      case Operation::ModifyMemos:
        walk([&] {
          ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
          cursor->TruncateBlob(kMemo, record.data(), 0);
          cursor->PutBlob(kMemo, record.data(), 0, 3, reinterpret_cast<const uint8_t*>("new"));
          cursor->ModifyRecord(record.data());
        });
        break;
      case Operation::DeleteAll:
        cursor->SetToBegin();
        while (cursor->GetNextRecord(record.data()) == 0) cursor->DeleteRecord(record.data());
        break;
    }
  }
};

TEST_P(CorruptTable, RaisesTheEngineError) {
  const Case& c = GetParam();
  for (const Patch& patch : c.Patches) {
    Apply(patch);
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(CodeOf([&] { Run(c.Op); }), c.Code);
  // The session stays usable: the same damage gives the same answer again.
  EXPECT_EQ(CodeOf([&] { Run(c.Op); }), c.Code);
}

const Case kCases[] = {
    {"DataFormatVersion", {{".DAT", Base::FileStart, 8, "\x04"}}, Operation::Open, RUDIRA_OLDVERSION},
    {"IndexFormatVersion", {{".IDX", Base::FileStart, 8, "\x07"}}, Operation::Open, RUDIRA_OLDVERSION},
    {"BlobFormatVersion", {{".BLB", Base::FileStart, 8, "\x06"}}, Operation::Open, RUDIRA_OLDVERSION},
    {"DataFileCutInsideARecord", {{".DAT", Base::FirstRecord, 5, ""}}, Operation::Open, RUDIRA_HEADERCORRUPT},
    {"IndexPagesCutOff", {{".IDX", Base::FirstPage, 100, ""}}, Operation::Walk, RUDIRA_INDEXCORRUPT},
    {"BlobChainPointsPastTheFile",
     {{".BLB", Base::FirstBlock, 4, Int32(0x7FFFFFFF)}},
     Operation::ReadMemos,
     RUDIRA_MEMOCORRUPT},
    {"BlobFileCutInsideAChain", {{".BLB", Base::FirstBlock, 700, ""}}, Operation::ReadMemos, RUDIRA_READERR},
    // The stored key size is what key buffers are made of: one smaller than
    // the fields' key let a deletion write past its key buffer.
    {"IndexKeySizeBelowItsFields",
     {{".IDX", Base::FileStart, SecondaryDefinition(31), std::string("\x06\x00", 2)}},
     Operation::DeleteAll,
     RUDIRA_HEADERCORRUPT},
    // A non-unique index made unique keeps keys with the 4-byte id suffix.
    {"IndexUniqueFlagFlipped", {{".IDX", Base::FileStart, SecondaryDefinition(35), "\x01"}}, Operation::Walk,
     RUDIRA_HEADERCORRUPT},
    {"IntactTableReadsCleanly", {}, Operation::ReadMemos, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, CorruptTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace rudira::cursortest
