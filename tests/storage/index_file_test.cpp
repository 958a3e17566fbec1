// TIndexFile on real files: the new file, the header bytes, definitions and
// their rules, the shape of the trees on disk, free chains, temporary
// indexes, scrambling, limits and corrupt pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/error_codes.h"
#include "storage/byte_codec.h"
#include "storage/field_type.h"
#include "storage/index_file.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "tests/storage/support/index_test_support.h"

namespace rudira {
namespace {

using namespace indextest;

class IndexFileTest : public TIndexTest {
 protected:
  void SetUp() override {
    TIndexTest::SetUp();
    fields_ = Fields({Field("N", kFieldTypeInteger), Field("S", kFieldTypeString, 0, 20),
                      Field("B", kFieldTypeBlob, kSubTypeMemo)});
    path_ = PathOf("t.IDX");
  }
  void TearDown() override {
    if (file_.Opened()) file_.Close();
    TIndexTest::TearDown();
  }
  void Create() {
    file_.SetFileName(path_);
    file_.SetTableFields(fields_, {});
    file_.CreateNew();
  }
  int AddIntegerIndex(uint8_t compression, bool unique = true) {
    TIndexDefinition d = IndexOn("ByN", {1}, unique, compression);
    PrepareIndexDefinition(d, fields_, false, "t");
    return file_.AddSecondaryDefinition(d);
  }
  std::vector<uint8_t> IntegerKey(int slot, int32_t value, int32_t id = 1) {
    return KeyOf(file_.Definition(slot), fields_, Record(fields_, {value, TFieldValue{}, TFieldValue{}}, id));
  }
  void Persist() {
    file_.WritePages();
    file_.WriteHeader();
  }

  std::vector<TFieldDescriptor> fields_;
  std::string path_;
  TIndexFile file_;
};

TEST_F(IndexFileTest, NewFileIsOneHeaderWithTheInternalDefinitions) {
  Create();
  file_.Close();
  const auto bytes = FileBytes(path_);
  ASSERT_EQ(bytes.size(), 4096u);
  EXPECT_EQ(LoadLE<int32_t>(&bytes[0]), 1);  // one header write
  EXPECT_EQ(bytes[8], 5);                    // FormatVersion
  EXPECT_EQ(LoadLE<int32_t>(&bytes[9]), 1);  // NextPageNumber
  EXPECT_EQ(bytes[13], 0);                   // SecondaryIndexCount
  const size_t deleted = 14 + 31 * 120;
  EXPECT_EQ(LoadShortString(&bytes[deleted], 30).value(), "Sys Deleted");
  EXPECT_EQ(LoadLE<int16_t>(&bytes[deleted + 31]), 5);
  EXPECT_EQ(bytes[deleted + 36], kCompressionNone);
  const size_t text = 14 + 32 * 120;
  EXPECT_EQ(LoadShortString(&bytes[text], 30).value(), "Sys Text");
  EXPECT_EQ(LoadLE<int16_t>(&bytes[text + 31]), 68);
  EXPECT_EQ(bytes[text + 36], kCompressionFull);
  EXPECT_EQ(bytes[text + 100], 0);  // NoCounts
  EXPECT_EQ(LoadLE<int32_t>(&bytes[3974]), 0);

  TIndexFile reopened(path_, false);
  reopened.Open();
  EXPECT_EQ(reopened.Header().NextPageNumber, 1);
  EXPECT_EQ(reopened.FindIndex("sys deleted"), kSysDeletedSlot);
  EXPECT_NO_THROW(reopened.Verify());
}

TEST_F(IndexFileTest, DefinitionBytesFollowTheLayout) {
  TIndexDefinition d = IndexOn("Name", {3, 1}, false, kCompressionTrailByte);
  d.KeySize = 300;
  d.Descending = 1;
  d.CaseInsensitive = 1;
  d.FieldDescending[1] = 1;
  d.RootPage = 0x01020304;
  d.FreePageHead = 7;
  d.ParameterPage = 9;
  d.NoCounts = 1;
  d.TemporaryIndex = 1;
  uint8_t b[120];
  d.EncodeTo(b);
  EXPECT_EQ(b[0], 4);
  EXPECT_EQ(b[1], 'N');
  EXPECT_EQ(LoadLE<int16_t>(b + 31), 300);
  EXPECT_EQ((std::vector<uint8_t>(b + 33, b + 38)), (std::vector<uint8_t>{1, 1, 0, 2, 2}));
  EXPECT_EQ(b[38], 0);
  EXPECT_EQ(b[39], 1);
  EXPECT_EQ(LoadLE<uint16_t>(b + 54), 3);
  EXPECT_EQ(LoadLE<uint16_t>(b + 56), 1);
  EXPECT_EQ(LoadLE<int32_t>(b + 86), 0x01020304);
  EXPECT_EQ(LoadLE<int32_t>(b + 90), 7);
  EXPECT_EQ(LoadLE<int32_t>(b + 96), 9);
  EXPECT_EQ(b[100], 1);
  EXPECT_EQ(b[101], 1);
  TIndexDefinition back;
  ASSERT_TRUE(back.DecodeFrom(b));
  EXPECT_EQ(back, d);
}

TEST_F(IndexFileTest, FirstInsertMakesARootLeafAndTheOverflowARootBranch) {
  Create();
  const int slot = AddIntegerIndex(kCompressionNone);
  TIndexTree tree(file_, slot);
  ASSERT_TRUE(tree.Insert(IntegerKey(slot, 0).data(), 1));
  Persist();
  EXPECT_EQ(file_.Definition(slot).RootPage, 1);
  EXPECT_EQ(PageBytes(path_, 1)[0], kPageRootLeaf);
  const int capacity = 4083 / (5 + 4);  // 453 entries of 5-byte keys
  for (int32_t i = 1; i < capacity; ++i) ASSERT_TRUE(tree.Insert(IntegerKey(slot, i).data(), i + 1));
  EXPECT_EQ(file_.Definition(slot).RootPage, 1);
  ASSERT_TRUE(tree.Insert(IntegerKey(slot, capacity).data(), capacity + 1));
  EXPECT_FALSE(tree.Insert(IntegerKey(slot, 5).data(), 99));  // unique: refused
  Persist();
  const int32_t root = file_.Definition(slot).RootPage;
  EXPECT_EQ(root, 3);
  const auto rootPage = PageBytes(path_, root);
  EXPECT_EQ(rootPage[0], kPageRootBranch);
  EXPECT_EQ(LoadLE<uint16_t>(&rootPage[1]), 2);
  // Entries: key, child, count; 227 + 227 records in pages 1 and 2.
  EXPECT_EQ(LoadLE<int32_t>(&rootPage[13 + 5]), 1);
  EXPECT_EQ(LoadLE<int32_t>(&rootPage[13 + 9]), 227);
  EXPECT_EQ((std::vector<uint8_t>(&rootPage[26], &rootPage[31])), IntegerKey(slot, 227));
  EXPECT_EQ(LoadLE<int32_t>(&rootPage[26 + 5]), 2);
  EXPECT_EQ(LoadLE<int32_t>(&rootPage[26 + 9]), 227);
  const auto left = PageBytes(path_, 1);
  const auto right = PageBytes(path_, 2);
  EXPECT_EQ(left[0], kPageLeaf);
  EXPECT_EQ(right[0], kPageLeaf);
  EXPECT_EQ(LoadLE<int32_t>(&left[7]), 2);   // right sibling
  EXPECT_EQ(LoadLE<int32_t>(&right[3]), 1);  // left sibling
  EXPECT_EQ(tree.RecordCount(), capacity + 1);
  EXPECT_EQ(tree.Ordinal(tree.Descend(IntegerKey(slot, 300).data(), 5)), 300);
}

TEST_F(IndexFileTest, DeletingEveryKeyOfACompressedIndexFreesItsLeaves) {
  Create();
  const int slot = AddIntegerIndex(kCompressionFull, false);
  TIndexTree tree(file_, slot);
  for (int32_t i = 0; i < 3000; ++i) ASSERT_TRUE(tree.Insert(IntegerKey(slot, i % 700, i + 1).data(), i + 1));
  const int32_t pages = file_.Header().NextPageNumber - 1;
  ASSERT_GT(pages, 3);
  for (int32_t i = 0; i < 3000; ++i) ASSERT_TRUE(tree.Delete(IntegerKey(slot, i % 700, i + 1).data()));
  EXPECT_EQ(file_.Definition(slot).RootPage, 0);
  Persist();
  // Every page is on the index's free chain, each written with no entries.
  int32_t free = file_.Definition(slot).FreePageHead;
  std::vector<bool> seen(pages + 1, false);
  int chained = 0;
  while (free != 0) {
    ASSERT_GT(free, 0);
    ASSERT_LE(free, pages);
    ASSERT_FALSE(seen[free]);
    seen[free] = true;
    const auto page = PageBytes(path_, free);
    EXPECT_EQ(LoadLE<uint16_t>(&page[1]), 0);
    free = LoadLE<int32_t>(&page[7]);
    ++chained;
  }
  EXPECT_EQ(chained, pages);
  // New pages come from the chain before the file grows.
  ASSERT_TRUE(tree.Insert(IntegerKey(slot, 1).data(), 1));
  EXPECT_EQ(file_.Header().NextPageNumber - 1, pages);
}

TEST_F(IndexFileTest, DefinitionRulesRaiseTheirCodes) {
  Create();
  TIndexDefinition primary = IndexOn("", {1});
  PrepareIndexDefinition(primary, fields_, false, "t");
  primary.Unique = 0;
  file_.SetPrimaryDefinition(primary);
  EXPECT_EQ(file_.Definition(kPrimarySlot).Unique, 1);
  EXPECT_EQ(CodeOf([&] { file_.SetPrimaryDefinition(primary); }), RUDIRA_PRIMARYKEYREDEFINE);

  struct Case {
    const char* Name;
    TIndexDefinition Definition;
    uint16_t Code;
  };
  TIndexDefinition seventeen = IndexOn("Wide", {1});
  seventeen.IndexFieldCount = 17;
  const std::vector<Case> cases = {
      {"empty name", IndexOn("  ", {1}), RUDIRA_INDEXNAMEREQUIRED},
      {"name beginning with a digit", IndexOn("1st", {1}), RUDIRA_INVALIDINDEXNAME},
      {"BLOB field", IndexOn("ByB", {3}), RUDIRA_SEARCHCOLREQD},
      {"more than 16 fields", seventeen, RUDIRA_INDEXLIMIT},
      {"first", IndexOn("_First", {1}), 0},
      {"name in use", IndexOn(" _FIRST ", {2}), RUDIRA_INDEXEXISTS},
      {"name beginning with a byte above 127", IndexOn("\xe7\x95\xaa\xe5\x8f\xb7", {2}), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(CodeOf([&] { file_.AddSecondaryDefinition(c.Definition); }), c.Code);
  }
  EXPECT_EQ(file_.Header().SecondaryIndexCount, 2);
  for (int i = 3; i <= 30; ++i) file_.AddSecondaryDefinition(IndexOn("I" + std::to_string(i), {1}));
  EXPECT_EQ(CodeOf([&] { file_.AddSecondaryDefinition(IndexOn("Extra", {1})); }), RUDIRA_INDEXLIMIT);

  // Removing a slot moves the later ones down.
  file_.RemoveSecondaryDefinition(1);
  EXPECT_EQ(file_.Header().SecondaryIndexCount, 29);
  EXPECT_EQ(file_.FindIndex("I3"), 2);
  EXPECT_EQ(file_.FindIndex("_first"), -1);
  file_.WriteHeader();
  file_.Close();
  TIndexFile reopened(path_, false);
  reopened.SetTableFields(fields_, {});
  reopened.Open();
  EXPECT_EQ(reopened.FindIndex("i30"), 29);
  EXPECT_NO_THROW(reopened.Verify());
}

TEST_F(IndexFileTest, PrimaryWithoutFieldsSetsNoPrimaryKey) {
  Create();
  file_.SetPrimaryDefinition(IndexOn("", {}));
  EXPECT_TRUE(file_.NoPrimaryKey());
  EXPECT_EQ(CodeOf([&] { file_.SetPrimaryDefinition(IndexOn("", {1})); }), RUDIRA_PRIMARYKEYREDEFINE);
  file_.WriteHeader();
  EXPECT_EQ(FileBytes(path_)[3978], 1);
}

TEST_F(IndexFileTest, OpenAndVerifyRefuseBadHeaders) {
  Create();
  AddIntegerIndex(kCompressionNone);
  file_.WriteHeader();
  file_.Close();
  const auto good = FileBytes(path_);
  struct Case {
    const char* Name;
    size_t Offset;
    uint8_t Value;
    uint16_t OpenCode;
    uint16_t VerifyCode;
  };
  const size_t slot1 = 14 + 120;
  const std::vector<Case> cases = {
      {"format version 4", 8, 4, RUDIRA_OLDVERSION, 0},
      {"33 secondary indexes", 13, 33, RUDIRA_HEADERCORRUPT, 0},
      {"name length above 30", slot1, 31, RUDIRA_HEADERCORRUPT, 0},
      {"root page beyond the file", slot1 + 86, 1, 0, RUDIRA_HEADERCORRUPT},
      {"free page beyond the file", slot1 + 90, 5, 0, RUDIRA_HEADERCORRUPT},
      {"field number beyond the fields", slot1 + 54, 9, 0, RUDIRA_HEADERCORRUPT},
      {"key size above 522", slot1 + 32, 3, 0, RUDIRA_HEADERCORRUPT},
      {"name beginning with a blank", slot1 + 1, ' ', 0, RUDIRA_HEADERCORRUPT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto bad = good;
    bad[c.Offset] = c.Value;
    WriteFileBytes(path_, bad);
    TIndexFile file(path_, false);
    file.SetTableFields(fields_, {});
    EXPECT_EQ(CodeOf([&] { file.Open(); }), c.OpenCode);
    EXPECT_EQ(file.Opened(), c.OpenCode == 0);
    if (file.Opened()) {
      EXPECT_EQ(CodeOf([&] { file.Verify(); }), c.VerifyCode);
    }
  }
}

TEST_F(IndexFileTest, CorruptPagesRaise8965AndNeverCrash) {
  Create();
  const int slot = AddIntegerIndex(kCompressionDupByte);
  {
    TIndexTree tree(file_, slot);
    for (int32_t i = 0; i < 2000; ++i) ASSERT_TRUE(tree.Insert(IntegerKey(slot, i).data(), i + 1));
  }
  Persist();
  const int32_t root = file_.Definition(slot).RootPage;
  file_.Close();
  const auto good = FileBytes(path_);
  const size_t rootAt = static_cast<size_t>(root) * 4096;
  struct Case {
    const char* Name;
    size_t Offset;
    std::vector<uint8_t> Bytes;
  };
  const std::vector<Case> cases = {
      {"root child beyond the file", rootAt + 13 + 5, {0xFF, 0xFF, 0, 0}},
      {"root child pointing at the root", rootAt + 13 + 5, {static_cast<uint8_t>(root), 0, 0, 0}},
      {"root of leaf type", rootAt, {kPageLeaf}},
      {"empty root", rootAt + 1, {0, 0}},
      {"leaf of unknown type", 4096, {7}},
      {"leaf with a bad shared prefix", 4096 + 13, {9}},
      {"truncated file", good.size() - 100, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto bad = good;
    if (c.Bytes.empty()) {
      bad.resize(c.Offset);
    } else {
      std::copy(c.Bytes.begin(), c.Bytes.end(), bad.begin() + static_cast<std::ptrdiff_t>(c.Offset));
    }
    WriteFileBytes(path_, bad);
    TIndexFile file(path_, false);
    file.SetTableFields(fields_, {});
    file.Open();
    TIndexTree tree(file, slot);
    const uint16_t code = CodeOf([&] {
      tree.Check();
      for (int32_t i = 0; i < 2000; i += 50) tree.Find(IntegerKey(slot, i).data());
      tree.Insert(IntegerKey(slot, 5000).data(), 5001);
    });
    EXPECT_EQ(code, RUDIRA_INDEXCORRUPT);
    file.Close();
  }
}

TEST_F(IndexFileTest, AFilePastFourGigabytesIsFull) {
  Create();
  const int slot = AddIntegerIndex(kCompressionNone);
  file_.WriteHeader();
  file_.Close();
  auto bytes = FileBytes(path_);
  // Claim that the file already holds every page that fits.
  StoreLE<int32_t>(&bytes[9], kLastIndexPageNumber + 1);
  WriteFileBytes(path_, bytes);
  TIndexFile file(path_, false);
  file.SetTableFields(fields_, {});
  file.Open();
  TIndexTree tree(file, slot);
  EXPECT_EQ(CodeOf([&] { tree.Insert(IntegerKey(slot, 1).data(), 1); }), RUDIRA_TABLEFULL);
  EXPECT_EQ(kLastIndexPageNumber, 976561);  // page 976561 ends at byte 4,000,000,000
}

TEST_F(IndexFileTest, TemporaryIndexesLiveInACompanionFileDeletedOnClose) {
  const std::string privateDir = PathOf("private/");
  std::filesystem::create_directory(privateDir);
  file_.SetPrivateDirectory(privateDir);
  Create();
  const int permanent = AddIntegerIndex(kCompressionNone);
  TIndexDefinition temporary = IndexOn("Tmp", {2}, false, kCompressionFull);
  temporary.TemporaryIndex = 1;
  PrepareIndexDefinition(temporary, fields_, false, "t");
  const int slot = file_.AddSecondaryDefinition(temporary);
  EXPECT_EQ(slot, permanent + 1);
  const std::string companion = file_.TemporaryFileName();
  ASSERT_FALSE(companion.empty());
  EXPECT_EQ(std::filesystem::path(companion).parent_path(), std::filesystem::path(privateDir).parent_path());
  EXPECT_EQ(std::filesystem::path(companion).extension(), ".IDX");
  {
    TIndexTree tree(file_, slot);
    for (int32_t i = 0; i < 500; ++i) {
      const auto key = KeyOf(file_.Definition(slot), fields_,
                             Record(fields_, {i, std::string(1 + i % 19, 'x'), TFieldValue{}}, i + 1));
      ASSERT_TRUE(tree.Insert(key.data(), i + 1));
    }
    EXPECT_EQ(tree.Check(), 500);
  }
  Persist();
  // The permanent file holds no page of it, and its header leaves it out.
  EXPECT_EQ(file_.Header().NextPageNumber, 1);
  EXPECT_EQ(FileBytes(path_).size(), 4096u);
  EXPECT_EQ(FileBytes(path_)[13], 1);
  EXPECT_GT(FileBytes(companion).size(), 4096u);
  // A permanent index added later goes before the temporary one.
  EXPECT_EQ(file_.AddSecondaryDefinition(IndexOn("Later", {1})), slot);
  EXPECT_EQ(file_.FindIndex("Tmp"), slot + 1);
  EXPECT_EQ(TIndexTree(file_, slot + 1).Check(), 500);
  file_.Close();
  EXPECT_FALSE(std::filesystem::exists(companion));
}

TEST_F(IndexFileTest, EncryptedFilesScrambleHeaderAndPages) {
  file_.SetEncrypted(true);
  Create();
  const int slot = AddIntegerIndex(kCompressionNone);
  {
    TIndexTree tree(file_, slot);
    for (int32_t i = 0; i < 100; ++i) ASSERT_TRUE(tree.Insert(IntegerKey(slot, i).data(), i + 1));
  }
  Persist();
  file_.Close();
  const auto bytes = FileBytes(path_);
  EXPECT_NE(bytes[8], 5);
  EXPECT_NE(bytes[4096], kPageRootLeaf);
  TIndexFile plain(path_, false);
  EXPECT_NE(CodeOf([&] { plain.Open(); }), 0);
  TIndexFile file(path_, false);
  file.SetEncrypted(true);
  file.SetTableFields(fields_, {});
  file.Open();
  EXPECT_EQ(TIndexTree(file, slot).Check(), 100);
}

TEST_F(IndexFileTest, RereadSeesAnotherWritersChanges) {
  Create();
  const int slot = AddIntegerIndex(kCompressionNone);
  file_.WriteHeader();
  file_.Close();
  file_.Open();  // shared this time
  TIndexFile other(path_, false);
  other.SetTableFields(fields_, {});
  other.Open();
  EXPECT_FALSE(other.RereadHeader());
  {
    TIndexTree tree(file_, slot);
    ASSERT_TRUE(tree.Insert(IntegerKey(slot, 1).data(), 1));
  }
  file_.IncrementActiveRecordCount();
  Persist();
  EXPECT_TRUE(other.RereadHeader());
  EXPECT_EQ(other.ActiveRecordCount(), 1);
  EXPECT_EQ(TIndexTree(other, slot).Find(IntegerKey(slot, 1).data()), 1);
}

TEST_F(IndexFileTest, CacheGrowsWhenEveryPageIsPinnedAndWritesRunsOfPages) {
  Create();
  const int slot = AddIntegerIndex(kCompressionNone);
  {
    TIndexTree tree(file_, slot);
    for (int32_t i = 0; i < 3000; ++i) ASSERT_TRUE(tree.Insert(IntegerKey(slot, i).data(), i + 1));
  }
  Persist();
  file_.DropPages();
  EXPECT_EQ(file_.Cache(slot).Limit(), 2);  // 16384 bytes div 8192, again after the drop
  std::vector<TPagePin> pins;
  for (int32_t page = 1; page <= 5; ++page) pins.emplace_back(file_.GetPage(slot, page));
  EXPECT_EQ(file_.Cache(slot).Limit(), 2 + 4);  // grew once, by 4, when both pages were pinned
  EXPECT_EQ(file_.Cache(slot).Count(), 5u);
  pins.clear();
  file_.ShrinkPages();
  EXPECT_LE(file_.Cache(slot).Count(), 6u);
  EXPECT_EQ(TIndexTree(file_, slot).Check(), 3000);
}

TEST_F(IndexFileTest, KeySearchesInAThreeLevelTreeKeepTheRootCached) {
  Create();
  const int slot = AddIntegerIndex(kCompressionNone);
  constexpr int32_t kKeys = 120000;  // leaves of 227, a root of 2 branches
  {
    TIndexTree tree(file_, slot);
    for (int32_t i = 0; i < kKeys; ++i) ASSERT_TRUE(tree.Insert(IntegerKey(slot, i).data(), i + 1));
  }
  Persist();
  file_.DropPages();
  ASSERT_EQ(file_.Cache(slot).Limit(), 2);
  TIndexTree tree(file_, slot);
  ASSERT_EQ(tree.Descend(IntegerKey(slot, 0).data(), 5).Depth, 3);

  // Keys far apart: each search needs another branch and leaf, but the root
  // stays, so a search reads two pages where it would otherwise read three.
  const uint64_t before = file_.PageReadCount();
  constexpr int kSearches = 50;
  for (int i = 0; i < kSearches; ++i) {
    const int32_t value = (i % 2 == 0 ? 7 : kKeys - 100) + i;
    ASSERT_EQ(tree.Find(IntegerKey(slot, value).data()), value + 1);
  }
  EXPECT_EQ(file_.PageReadCount() - before, 2u * kSearches);
  EXPECT_EQ(file_.Cache(slot).Limit(), 2);
}

TEST_F(IndexFileTest, EmptyResetsEveryIndex) {
  Create();
  const int slot = AddIntegerIndex(kCompressionNone);
  {
    TIndexTree tree(file_, slot);
    for (int32_t i = 0; i < 1000; ++i) ASSERT_TRUE(tree.Insert(IntegerKey(slot, i).data(), i + 1));
  }
  file_.SetActiveRecordCount(1000);
  Persist();
  file_.Empty();
  EXPECT_EQ(FileBytes(path_).size(), 4096u);
  EXPECT_EQ(file_.Header().NextPageNumber, 1);
  EXPECT_EQ(file_.ActiveRecordCount(), 0);
  EXPECT_EQ(file_.Definition(slot).RootPage, 0);
  EXPECT_EQ(file_.Definition(slot).FreePageHead, 0);
  EXPECT_EQ(TIndexTree(file_, slot).RecordCount(), 0);
}

}  // namespace
}  // namespace rudira

namespace rudira {
namespace {

using namespace indextest;

class IndexFileInternalTest : public TIndexTest {};

TEST_F(IndexFileInternalTest, SysTextParametersChainThroughParameterPages) {
  TIndexFile file(PathOf("p.IDX"), false);
  file.CreateNew();
  std::vector<uint8_t> parameters(4083 * 2 + 10);
  for (size_t i = 0; i < parameters.size(); ++i) parameters[i] = static_cast<uint8_t>(i * 7 + 1);
  file.WriteParameters(parameters);
  file.WritePages();
  file.WriteHeader();
  const int32_t head = file.Definition(kSysTextSlot).ParameterPage;
  ASSERT_NE(head, 0);
  const auto first = PageBytes(PathOf("p.IDX"), head);
  EXPECT_EQ(first[0], kPageParameter);
  EXPECT_EQ(first[13], 1);
  file.Close();

  TIndexFile reopened(PathOf("p.IDX"), false);
  reopened.Open();
  auto back = reopened.ReadParameters();
  ASSERT_EQ(back.size(), 4083u * 3);
  EXPECT_TRUE(std::equal(parameters.begin(), parameters.end(), back.begin()));
  // A shorter list reuses the freed pages.
  reopened.WriteParameters({'s', 't', 'o', 'p'});
  EXPECT_EQ(reopened.Header().NextPageNumber, 4);
  back = reopened.ReadParameters();
  ASSERT_EQ(back.size(), 4083u);
  EXPECT_EQ(back[3], 'p');
  reopened.WriteParameters({});
  EXPECT_EQ(reopened.Definition(kSysTextSlot).ParameterPage, 0);
  EXPECT_TRUE(reopened.ReadParameters().empty());
}

TEST_F(IndexFileInternalTest, SysDeletedOrdersByStatusThenUniqueId) {
  const auto fields = Fields({Field("N", kFieldTypeInteger)});
  TIndexFile file(PathOf("d.IDX"), false);
  file.SetTableFields(fields, {});
  file.CreateNew();
  TIndexTree tree(file, kSysDeletedSlot);
  for (int32_t id : {5, -3, 9, 1}) {
    auto record = Record(fields, {id}, id);
    record[0] = id == 9 ? 1 : 0;  // record 9 is deleted
    uint8_t key[kSysDeletedKeySize];
    BuildSysDeletedKey(record.data(), key);
    ASSERT_TRUE(tree.Insert(key, id));
  }
  std::vector<int32_t> order;
  tree.ForEach([&](const uint8_t*, int32_t recordNo) { order.push_back(recordNo); });
  EXPECT_EQ(order, (std::vector<int32_t>{-3, 1, 5, 9}));
}

}  // namespace
}  // namespace rudira
