// TDataCursor: AddIndex over existing records, DeleteIndex, EmptyTable and
// their preconditions.
#include "engine/restructure/restructure_fixture.h"

#include <filesystem>

#include "engine/error_codes.h"
#include "storage/index_tree.h"

namespace rudira::restructuretest {
namespace {

class IndexMaintenanceTest : public RestructureTest {
 protected:
  static TIndexDefinition IndexOn(const std::string& name, std::vector<uint16_t> fields, bool unique) {
    TIndexDefinition definition;
    definition.IndexName = name;
    definition.Unique = unique ? 1 : 0;
    for (size_t i = 0; i < fields.size(); ++i) definition.FieldNumbers[i] = fields[i];
    return definition;
  }
  std::unique_ptr<TDataCursor> OpenExclusive(const std::string& name) {
    return Open(name, [](TDataCursor& c) { c.SetExclusive(true); });
  }
};

TEST_F(IndexMaintenanceTest, UniqueIndexOverDuplicatesKeepsTheFirstRecordOfEachKey) {
  CreateValues({{1, 10}, {2, 20}, {1, 30}});
  {
    auto cursor = OpenExclusive("t");
    std::vector<int> progress;
    cursor->SetProgressCallback([&](TDataCursor&, int percent) { progress.push_back(percent); });
    cursor->AddIndex(IndexOn("ByV", {1}, true));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(cursor->AtBeginning());
    EXPECT_EQ(cursor->GetRecordCount(), 2);
    cursor->SetIndexName("ByV");
    EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{10, 20}));
    EXPECT_EQ(cursor->Table()->IndexFile().ActiveRecordCount(), 2);
  }
  // The deleted third record is gone for a new user too, and the new index
  // is stored in the index file.
  EXPECT_EQ(Values("t", "N"), (std::vector<int32_t>{10, 20}));
  auto reader = Open("t");
  reader->SetIndexName("byv");
  EXPECT_EQ(Walk(*reader, "V"), (std::vector<int32_t>{1, 2}));
}

TEST_F(IndexMaintenanceTest, NonUniqueIndexKeepsEveryRecordInKeyOrder) {
  CreateValues({{3, 1}, {1, 2}, {3, 3}, {2, 4}});
  auto cursor = OpenExclusive("t");
  cursor->AddIndex(IndexOn("ByV", {1}, false));
  cursor->SetIndexName("ByV");
  EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{2, 4, 1, 3}));
  EXPECT_EQ(TIndexTree(cursor->Table()->IndexFile(), 1).Check(), 4);
}

TEST_F(IndexMaintenanceTest, PreconditionsRaiseBeforeAnythingChanges) {
  CreateValues({{1, 1}});
  const auto before = Files();
  {
    auto shared = Open("t");
    EXPECT_EQ(CodeOf([&] { shared->AddIndex(IndexOn("ByV", {1}, true)); }), RUDIRA_NEEDEXCLACCESS);
    EXPECT_EQ(CodeOf([&] { shared->DeleteIndex("ByV"); }), RUDIRA_NEEDEXCLACCESS);
    EXPECT_EQ(CodeOf([&] { shared->EmptyTable(); }), RUDIRA_NEEDEXCLACCESS);
  }
  {
    auto readOnly = Open("t", [](TDataCursor& c) {
      c.SetExclusive(true);
      c.SetReadOnly(true);
    });
    EXPECT_EQ(CodeOf([&] { readOnly->AddIndex(IndexOn("ByV", {1}, true)); }), RUDIRA_OSEACCES);
    EXPECT_EQ(CodeOf([&] { readOnly->EmptyTable(); }), RUDIRA_OSEACCES);
  }
  {
    auto cursor = OpenExclusive("t");
    EXPECT_EQ(CodeOf([&] { cursor->AddIndex(IndexOn("None", {}, true)); }), RUDIRA_INVALIDKEY);
    EXPECT_EQ(CodeOf([&] { cursor->DeleteIndex("Missing"); }), RUDIRA_INVALIDINDEXNAME);
  }
  EXPECT_EQ(Files(), before);
}

TEST_F(IndexMaintenanceTest, DeleteIndexRemovesTheDefinitionAndSelectsThePrimaryIndex) {
  CreatePeople();
  {
    auto cursor = Open("people");
    AddPerson(*cursor, 2, "bea", "rome");
    AddPerson(*cursor, 1, "al", "oslo");
  }
  auto cursor = OpenExclusive("people");
  cursor->SetIndexName("ByName");
  cursor->DeleteIndex(" byname ");
  EXPECT_EQ(cursor->IndexName(), "");
  EXPECT_TRUE(cursor->AtBeginning());
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(CodeOf([&] { cursor->SetIndexName("ByName"); }), RUDIRA_INVALIDINDEXNAME);
  // The later index moved down a slot and still orders its records.
  cursor->SetIndexName("ByCityName");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(cursor->Table()->IndexFile().Header().SecondaryIndexCount, 1);

  // Without its primary index the table is read in record order.
  cursor->DeleteIndex("");
  EXPECT_TRUE(cursor->NaturalOrder());
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{2, 1}));
}

TEST_F(IndexMaintenanceTest, RebuildOfALostDeletedRecordsIndexReportsProgress) {
  CreateValues({{1, 1}, {2, 2}, {3, 3}, {4, 4}});
  {
    auto cursor = Open("t");
    std::vector<uint8_t> record(cursor->RecordSize());
    cursor->SetToBegin();
    ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);
    cursor->DeleteRecord(record.data());
  }
  std::filesystem::remove(dir_ + "t.IDX");
  session_->SetProgressSteps(2);  // every 50 percent
  std::vector<int> told;
  auto cursor = Open("t", [&](TDataCursor& c) {
    c.SetProgressCallback([&](TDataCursor&, int percent) { told.push_back(percent); });
  });
  EXPECT_EQ(told, (std::vector<int>{50, 100}));
  EXPECT_EQ(cursor->Table()->IndexFile().ActiveRecordCount(), 3);
  EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{2, 3, 4}));
}

TEST_F(IndexMaintenanceTest, EmptyTableRemovesEveryRecord) {
  CreatePeople();
  auto cursor = OpenExclusive("people");
  AddPerson(*cursor, 1, "al", "oslo");
  AddPerson(*cursor, 2, "bea", "rome");
  cursor->EmptyTable();
  EXPECT_EQ(cursor->GetRecordCount(), 0);
  EXPECT_EQ(cursor->GetNextRecord(), 8706);
  AddPerson(*cursor, 3, "cy", "oslo");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{3}));
}

}  // namespace
}  // namespace rudira::restructuretest
