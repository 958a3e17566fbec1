// The full copy of a restructure: BLOBs, moved fields, auto-increment
// values, encryption and in-memory tables.
#include "engine/restructure/restructure_fixture.h"

#include "engine/error_codes.h"
#include "storage/field_type.h"
#include "storage/file_handler.h"

namespace rudira::restructuretest {
namespace {

class RestructureCopyTest : public RestructureTest {
 protected:
  static std::string BlobText(TDataCursor& cursor, int fieldNo, const std::vector<uint8_t>& record) {
    const size_t size = cursor.GetBlobSize(fieldNo, record.data());
    std::string text(size, '\0');
    cursor.GetBlob(fieldNo, record.data(), 0, size, reinterpret_cast<uint8_t*>(text.data()));
    return text;
  }
};

TEST_F(RestructureCopyTest, BlobsMoveWithTheirFieldsAndNoOtherFieldTakesThem) {
  CreateTable("notes",
              {FieldSpec("ID", kFieldTypeInteger), FieldSpec("M", kFieldTypeBlob, 0, kSubTypeMemo),
               FieldSpec("B", kFieldTypeBlob, 0, kSubTypeMemo)},
              IndexSpec("", {1}));
  {
    auto cursor = Open("notes");
    const std::string texts[] = {std::string(1500, 'a') + "end", "short", ""};
    for (int32_t id = 1; id <= 3; ++id) {
      std::vector<uint8_t> record = Blank(*cursor);
      Set(*cursor, record, "ID", id);
      const std::string& text = texts[id - 1];
      if (!text.empty()) cursor->PutBlob(2, record.data(), 0, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
      if (id == 2) cursor->PutBlob(3, record.data(), 0, 2, reinterpret_cast<const uint8_t*>("bb"));
      cursor->AppendRecord(record.data());
    }
  }
  TRestructureDefinition definition = DefinitionOf("notes");
  // M moves to the front, ID follows it; B becomes a string.
  std::swap(definition.Fields[0], definition.Fields[1]);
  definition.Fields[2].FieldType = kFieldTypeString;
  definition.Fields[2].SubType = 0;
  definition.Fields[2].Size = 4;
  definition.Indexes.Primary.FieldNumbers[0] = 2;
  std::vector<Loss> losses;
  Restructure("notes", definition, &losses);
  // Only the record whose B held a value loses it.
  EXPECT_EQ(losses, (std::vector<Loss>{{kDataLossConversion, "B"}}));
  EXPECT_TRUE(Exists("notes.BBK"));

  auto cursor = Open("notes");
  EXPECT_EQ(cursor->Field(1).FieldName, "M");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(BlobText(*cursor, 1, GoTo(*cursor, 1)), std::string(1500, 'a') + "end");
  const std::vector<uint8_t> second = GoTo(*cursor, 2);
  EXPECT_EQ(BlobText(*cursor, 1, second), "short");
  // The value of a BLOB has no place in a string field.
  EXPECT_EQ(TextOf(*cursor, second, "B"), "<null>");
  EXPECT_EQ(BlobText(*cursor, 1, GoTo(*cursor, 3)), "");
}

TEST_F(RestructureCopyTest, AutoIncrementValuesAndTheCounterAreKept) {
  CreateTable("a", {FieldSpec("K", kFieldTypeInteger, 0, kSubTypeAutoInc), FieldSpec("X", kFieldTypeInteger)},
              IndexSpec("", {1}));
  {
    auto cursor = Open("a");
    for (int32_t x = 10; x <= 30; x += 10) {
      std::vector<uint8_t> record = Blank(*cursor);
      Set(*cursor, record, "X", x);
      cursor->AppendRecord(record.data());
    }
    // The last record goes: its id 3 must not come back.
    std::vector<uint8_t> last(cursor->RecordSize());
    cursor->SetToEnd();
    ASSERT_EQ(cursor->GetPriorRecord(last.data()), 0);
    ASSERT_EQ(IntOf(*cursor, last, "K"), 3);
    cursor->DeleteRecord(last.data());
  }
  TRestructureDefinition definition = DefinitionOf("a");
  definition.Fields[1].MaxValue = "1000";
  Restructure("a", definition);
  auto cursor = Open("a");
  EXPECT_EQ(Walk(*cursor, "K"), (std::vector<int32_t>{1, 2}));
  std::vector<uint8_t> record = Blank(*cursor);
  Set(*cursor, record, "X", 40);
  cursor->AppendRecord(record.data());
  EXPECT_EQ(Walk(*cursor, "K"), (std::vector<int32_t>{1, 2, 4}));

  // A larger value to keep raises the counter.
  cursor->CloseCursor();
  definition = DefinitionOf("a");
  definition.Fields[1].MaxValue = "2000";
  definition.LastAutoIncValue = 100;
  Restructure("a", definition);
  cursor = Open("a");
  EXPECT_EQ(cursor->Table()->DataFile().Header().LastAutoIncValue, 100);
}

TEST_F(RestructureCopyTest, ANewPasswordGuardsTheCopiedTable) {
  constexpr int32_t kMarker = 0x4D6F6D69;
  CreateTable("s", {{"ID", kFieldTypeInteger}, {"V", kFieldTypeInteger}}, {"", {1}}, {}, "old");
  session_->AddPassword("old");
  {
    auto cursor = Open("s");
    std::vector<uint8_t> record = Blank(*cursor);
    Set(*cursor, record, "ID", kMarker);
    cursor->AppendRecord(record.data());
  }
  TRestructureDefinition definition = DefinitionOf("s");
  definition.Password = "new";
  definition.Fields[1].MinValue = "0";
  Restructure("s", definition);
  // The password was offered only for the copy.
  EXPECT_FALSE(session_->HasPassword("new"));
  EXPECT_EQ(CodeOf([&] { Open("s"); }), RUDIRA_NOTSUFFTABLERIGHTS);
  session_->AddPassword("new");
  auto cursor = Open("s");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{kMarker}));
  // The record is stored scrambled: its value's bytes appear nowhere.
  const std::vector<char> bytes = FileBytes("s.DAT");
  const char marker[] = {0x69, 0x6D, 0x6F, 0x4D};
  EXPECT_EQ(std::search(bytes.begin(), bytes.end(), marker, marker + 4), bytes.end());
}

TEST_F(RestructureCopyTest, StringsTakeTheNewFieldsCaseAndSize) {
  CreateTable("w", {{"ID", kFieldTypeInteger}, {"W", kFieldTypeString, 12}}, {"", {1}});
  {
    auto cursor = Open("w");
    std::vector<uint8_t> record = Blank(*cursor);
    Set(*cursor, record, "ID", 1);
    Set(*cursor, record, "W", std::string("Stones"));
    cursor->AppendRecord(record.data());
  }
  TRestructureDefinition definition = DefinitionOf("w");
  definition.Fields[1].CharCase = kCharCaseUpper;
  definition.Fields[1].Size = 4;
  std::vector<Loss> losses;
  Restructure("w", definition, &losses);
  EXPECT_TRUE(losses.empty());
  auto cursor = Open("w");
  EXPECT_EQ(TextOf(*cursor, GoTo(*cursor, 1), "W"), "STON");
}

TEST_F(RestructureCopyTest, InMemoryTableIsCopiedWithoutBackups) {
  TDataDirectory* memory = session_->OpenDatabase("Memory", "");
  DataFileDefinition file;
  TFieldDescriptor id;
  id.FieldNo = 1;
  id.FieldName = "ID";
  id.FieldType = kFieldTypeInteger;
  file.Fields = {id};
  PrepareFieldDefinitions(file.Fields, "Memory", "m");
  TableIndexDefinitions indexes;
  ASSERT_EQ(memory->CreateTable("m", true, false, file, indexes), 0);
  auto cursor = Open("m", [](TDataCursor& c) { c.SetInMemory(true); }, nullptr, memory);
  for (int32_t value : {5, -70000, 12}) {
    std::vector<uint8_t> record = Blank(*cursor);
    Set(*cursor, record, "ID", value);
    cursor->AppendRecord(record.data());
  }
  cursor->CloseCursor();

  TDataCursor restructure(*session_, *memory);
  restructure.SetTableName("m");
  restructure.SetInMemory(true);
  TRestructureDefinition definition;
  definition.Fields = {id};
  definition.Fields[0].FieldType = kFieldTypeSmallInt;
  restructure.RestructureTable(definition);

  cursor->OpenCursor();
  std::vector<int16_t> values;
  std::vector<uint8_t> record(cursor->RecordSize());
  while (cursor->GetNextRecord(record.data()) == 0) values.push_back(std::get<int16_t>(Get(*cursor, record, "ID")));
  // -70000 keeps its low 16 bits: 0xEE90.
  EXPECT_EQ(values, (std::vector<int16_t>{5, static_cast<int16_t>(-70000 & 0xFFFF), 12}));
  EXPECT_TRUE(TFileHandler("m.DAT", true).Exists());
  EXPECT_FALSE(TFileHandler("m.DBK", true).Exists());
  EXPECT_FALSE(TFileHandler("m.IBK", true).Exists());
  EXPECT_EQ(memory->Tables().size(), 1u);
  cursor.reset();
  session_->CloseDatabase(memory);
}

}  // namespace
}  // namespace rudira::restructuretest
