// An index header that another process wrote is re-read when the change
// counters move; a damaged one is refused there as it would be at open, so
// an open table never builds keys into buffers of a size its fields
// overrun.
#include <cstring>
#include <fstream>
#include <functional>

#include "engine/cursor/cursor_fixture.h"
#include "engine/error_codes.h"
#include "storage/index_definition.h"

namespace rudira::cursortest {
namespace {

struct RereadCase {
  const char* Name;
  bool ShrinkKeySize;  // the secondary index's KeySize one byte below its fields'
  uint16_t Code;       // what the next append of the open cursor raises
};

void PrintTo(const RereadCase& c, std::ostream* out) { *out << c.Name; }

class IndexHeaderReread : public CursorTest, public ::testing::WithParamInterface<RereadCase> {};

TEST_P(IndexHeaderReread, ChecksKeySizesOfAChangedHeader) {
  CreateTable("t", {FieldSpec("A"), FieldSpec("S", kFieldTypeString, 20)}, IndexSpec("", {1}),
              {IndexSpec("ByS", {2}, false)});
  auto cursor = Open("t");
  auto append = [&](int32_t a) {
    std::vector<uint8_t> record = Blank(*cursor);
    Set(*cursor, record, "A", a);
    Set(*cursor, record, "S", "s" + std::to_string(a));
    cursor->AppendRecord(record.data());
  };
  append(1);
  // What another process's header write looks like to this one: a new
  // change counter, and with it, in the damaged case, a smaller key size.
  const std::vector<char> header = FileBytes("t.IDX");
  int32_t changeCount = 0;
  std::memcpy(&changeCount, header.data(), sizeof changeCount);
  ++changeCount;
  const int64_t keySizeAt = 14 + kIndexDefinitionSize + 31;  // slot 1, KeySize
  int16_t keySize = 0;
  std::memcpy(&keySize, header.data() + keySizeAt, sizeof keySize);
  {
    std::fstream file(dir_ + "t.IDX", std::ios::binary | std::ios::in | std::ios::out);
    file.write(reinterpret_cast<const char*>(&changeCount), sizeof changeCount);
    if (GetParam().ShrinkKeySize) {
      --keySize;
      file.seekp(keySizeAt);
      file.write(reinterpret_cast<const char*>(&keySize), sizeof keySize);
    }
  }
  EXPECT_EQ(CodeOf([&] { append(2); }), GetParam().Code);
  // The refusal holds on every later operation; nothing was half taken in.
  EXPECT_EQ(CodeOf([&] { append(3); }), GetParam().Code);

  // A lock whose change check refuses the header is given back, so taking
  // it again checks again instead of finding it held (and skipping the check).
  TDataTable& table = *cursor->Table();
  const struct {
    const char* Name;
    std::function<void()> Lock, Unlock;
  } locks[] = {
      {"reader", [&] { table.ReaderLock(); }, [&] { table.ReaderUnlock(); }},
      {"change reader", [&] { table.ChangeReaderLock(); }, [&] { table.ChangeReaderUnlock(); }},
      {"writer", [&] { table.WriterLock(); }, [&] { table.WriterUnlock(); }},
      {"transaction", [&] { table.TransactionLock(); }, [&] { table.TransactionUnlock(); }},
  };
  for (const auto& lock : locks) {
    SCOPED_TRACE(lock.Name);
    for (int attempt = 0; attempt < 2; ++attempt) EXPECT_EQ(CodeOf(lock.Lock), GetParam().Code);
    lock.Unlock();
  }
}

const RereadCase kRereadCases[] = {
    {"SoundHeaderIsTakenIn", false, 0},
    {"KeySizeBelowItsFieldsIsRefused", true, RUDIRA_HEADERCORRUPT},
};

INSTANTIATE_TEST_SUITE_P(Cases, IndexHeaderReread, ::testing::ValuesIn(kRereadCases),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace rudira::cursortest
