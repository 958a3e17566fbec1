// Header writes and re-reads of the index and data files: the index header's
// kept encoding gives the bytes a full encoding gives, and a re-read adopts
// every byte another writer changed, keeps nothing unwritten and checks the
// key sizes against the table's current fields.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/error_codes.h"
#include "storage/data_file.h"
#include "storage/field_type.h"
#include "storage/index_file.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "tests/storage/support/index_test_support.h"

namespace rudira {
namespace {

using namespace indextest;
using storagetest::PatchInt32;

TIndexDefinition Secondary(const std::string& name, int32_t root) {
  TIndexDefinition d;
  d.IndexName = name;
  d.KeySize = 9;
  d.IndexFieldCount = 1;
  d.FieldNumbers[0] = 1;
  d.RootPage = root;
  return d;
}

TEST(IndexHeaderImageTest, EveryEncodingEqualsAFullEncoding) {
  TIndexHeader header = NewIndexHeader();
  TIndexHeaderImage image;
  // Each step changes the header the way writers do, one after the other.
  const std::vector<std::function<void(TIndexHeader&)>> steps = {
      [](TIndexHeader&) {},
      [](TIndexHeader& h) { h.NextPageNumber = 7; h.ActiveRecordCount = 3; },
      [](TIndexHeader& h) { h.Definitions[kPrimarySlot].RootPage = 4; },
      [](TIndexHeader& h) { h.Definitions[1] = Secondary("ByN", 5); h.SecondaryIndexCount = 1; },
      [](TIndexHeader& h) { h.Definitions[1].FreePageHead = 6; h.Definitions[kSysDeletedSlot].RootPage = 2; },
      [](TIndexHeader& h) { h.Definitions[2] = Secondary("ByNameThatIsLonger", 8); h.SecondaryIndexCount = 2; },
      [](TIndexHeader& h) { h.Definitions[1].IndexName = "Renamed"; h.Definitions[2].FieldDescending[0] = 1; },
      [](TIndexHeader& h) { h.Definitions[1] = h.Definitions[2]; h.Definitions[2] = {}; h.SecondaryIndexCount = 1; },
      [](TIndexHeader& h) { h.NoPrimaryKey = 1; h.Definitions[kSysTextSlot].ParameterPage = 9; },
      [](TIndexHeader& h) { h.ActiveRecordCount = -1; h.NextPageNumber = 2000000000; },
  };
  int32_t changeCount = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    steps[i](header);
    ++changeCount;
    const uint8_t modifiedFlag = static_cast<uint8_t>(i % 2);
    std::array<const TIndexDefinition*, kIndexSlotCount> definitions;
    for (int slot = 0; slot < kIndexSlotCount; ++slot) definitions[slot] = &header.Definitions[slot];
    const uint8_t* kept = image.Encode(header, changeCount, modifiedFlag, header.SecondaryIndexCount, definitions);
    TIndexHeader expected = header;
    expected.IndexChangeCount = changeCount;
    expected.IndexHeaderModified = modifiedFlag;
    std::vector<uint8_t> full(kIndexHeaderSize);
    expected.EncodeTo(full.data());
    ASSERT_EQ(std::vector<uint8_t>(kept, kept + kIndexHeaderSize), full) << "step " << i;
  }
}

class IndexHeaderRereadTest : public TIndexTest {
 protected:
  void SetUp() override {
    TIndexTest::SetUp();
    fields_ = Fields({Field("N", kFieldTypeInteger), Field("S", kFieldTypeString, 0, 20)});
    path_ = PathOf("t.IDX");
    file_.SetFileName(path_);
    file_.SetTableFields(fields_, {});
    file_.CreateNew();
    TIndexDefinition d = IndexOn("ByN", {1}, true, kCompressionNone);
    PrepareIndexDefinition(d, fields_, false, "t");
    slot_ = file_.AddSecondaryDefinition(d);
    Insert(1);
    file_.Close();
    file_.Open();  // shared: others may open it too
  }
  void TearDown() override {
    if (file_.Opened()) file_.Close();
    TIndexTest::TearDown();
  }
  void Insert(int32_t value) {
    const auto key = KeyOf(file_.Definition(slot_), fields_, Record(fields_, {value, TFieldValue{}}, value));
    ASSERT_TRUE(TIndexTree(file_, slot_).Insert(key.data(), value));
    file_.IncrementActiveRecordCount();
    file_.WritePages();
    file_.WriteHeader();
  }
  int32_t Find(TIndexFile& file, int32_t value) {
    const auto key = KeyOf(file.Definition(slot_), fields_, Record(fields_, {value, TFieldValue{}}, value));
    return TIndexTree(file, slot_).Find(key.data());
  }

  std::vector<TFieldDescriptor> fields_;
  std::string path_;
  TIndexFile file_;
  int slot_ = 0;
};

TEST_F(IndexHeaderRereadTest, WrittenHeaderIsTheFullEncodingWithoutTemporaryIndexes) {
  TIndexDefinition temporary = IndexOn("Tmp", {2}, false, kCompressionNone);
  temporary.TemporaryIndex = 1;
  PrepareIndexDefinition(temporary, fields_, false, "t");
  const int temporarySlot = file_.AddSecondaryDefinition(temporary);
  Insert(2);
  Insert(3);
  const auto bytes = FileBytes(path_);
  TIndexFile reader(path_, false);
  reader.SetTableFields(fields_, {});
  reader.Open();
  EXPECT_EQ(reader.Header().SecondaryIndexCount, 1);
  EXPECT_EQ(reader.Header().IndexChangeCount, file_.Header().IndexChangeCount);
  std::vector<uint8_t> encoded(kIndexHeaderSize);
  reader.Header().EncodeTo(encoded.data());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + kIndexHeaderSize), encoded);
  // The writer's own re-read keeps its temporary index and its trees.
  EXPECT_FALSE(file_.RereadHeader());
  EXPECT_EQ(file_.Definition(temporarySlot).IndexName, "Tmp");
  EXPECT_EQ(Find(file_, 3), 3);
}

TEST_F(IndexHeaderRereadTest, RereadAdoptsBytesChangedUnderTheSameCount) {
  TIndexFile reader(path_, false);
  reader.SetTableFields(fields_, {});
  reader.Open();
  EXPECT_FALSE(reader.RereadHeader());
  PatchInt32(path_, 3974, 42);  // ActiveRecordCount, the change counter untouched
  EXPECT_FALSE(reader.RereadHeader());
  EXPECT_EQ(reader.ActiveRecordCount(), 42);
  Insert(2);
  EXPECT_TRUE(reader.RereadHeader());
  EXPECT_EQ(reader.ActiveRecordCount(), file_.ActiveRecordCount());
  EXPECT_EQ(Find(reader, 2), 2);
}

TEST_F(IndexHeaderRereadTest, RereadDiscardsUnwrittenChangesOfUnchangedFile) {
  const int32_t written = file_.ActiveRecordCount();
  file_.SetActiveRecordCount(written + 5);
  EXPECT_FALSE(file_.RereadHeader());
  EXPECT_EQ(file_.ActiveRecordCount(), written);
  EXPECT_FALSE(file_.HeaderModified());
}

TEST_F(IndexHeaderRereadTest, RereadChecksKeySizesAgainstNewFields) {
  EXPECT_FALSE(file_.RereadHeader());
  // The same header bytes, but the table's first field is now a SMALLINT:
  // the stored key size no longer fits it.
  file_.SetTableFields(Fields({Field("N", kFieldTypeSmallInt), Field("S", kFieldTypeString, 0, 20)}), {});
  EXPECT_EQ(CodeOf([&] { file_.RereadHeader(); }), RUDIRA_HEADERCORRUPT);
}

class DataHeaderRereadTest : public TIndexTest {
 protected:
  void SetUp() override {
    TIndexTest::SetUp();
    path_ = PathOf("t.DAT");
    DataFileDefinition definition;
    definition.Fields = Fields({Field("N", kFieldTypeInteger)});
    TDataFile file(path_, false);
    file.CreateTable(definition);
    file.Close();
  }
  std::string path_;
};

TEST_F(DataHeaderRereadTest, RereadAdoptsBytesChangedUnderTheSameCount) {
  TDataFile reader(path_, false);
  reader.Open();
  EXPECT_FALSE(reader.RereadHeader());
  PatchInt32(path_, 17, 77);  // LastAutoIncValue, the change counter untouched
  EXPECT_FALSE(reader.RereadHeader());
  EXPECT_EQ(reader.Header().LastAutoIncValue, 77);
  TDataFile writer(path_, false);
  writer.Open();
  writer.AllocateRecord(false, true);
  writer.WriteRecords();
  writer.WriteHeader();
  EXPECT_TRUE(reader.RereadHeader());
  EXPECT_EQ(reader.Header().LastAutoIncValue, 78);
  EXPECT_EQ(reader.RecordSlotCount(), 1);
}

TEST_F(DataHeaderRereadTest, RereadDiscardsUnwrittenChangesOfUnchangedFile) {
  TDataFile file(path_, false);
  file.Open();
  file.SetLastAutoIncValue(9);
  EXPECT_FALSE(file.RereadHeader());
  EXPECT_EQ(file.Header().LastAutoIncValue, 0);
  EXPECT_FALSE(file.HeaderModified());
  // Its own write is what the next re-read finds: nothing changed.
  file.SetLastAutoIncValue(9);
  file.WriteHeader();
  EXPECT_FALSE(file.RereadHeader());
  EXPECT_EQ(file.Header().LastAutoIncValue, 9);
}

}  // namespace
}  // namespace rudira
