// The table component over real tables: create from FieldDefs and IndexDefs,
// open, walk, edit, append, delete, Locate and Lookup, index selection, the
// browse-mode check, field rules and the failure messages.
#include <gtest/gtest.h>

#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "components/rudira_table.h"
#include "components/session_list.h"
#include "components/support/dataset_test_support.h"
#include "engine/error_codes.h"
#include "engine/errors.h"

namespace rudira {
namespace {

using comptest::MessageOf;
using dstest::FigureRow;

class TableTest : public dstest::TDataSetTest {
 protected:
  void SetUp() override {
    TDataSetTest::SetUp();
    CreateFigureTable();
    figures_.reset(NewTable(nullptr, "figure"));
    figures_->Open();
    for (const FigureRow& row : SampleFigures()) AppendFigure(*figures_, row);
  }
  void TearDown() override {
    figures_.reset();
    TDataSetTest::TearDown();
  }
  std::unique_ptr<TRUDIRATable> figures_;
};

TEST_F(TableTest, OpenMakesFieldDefinitionsAndIndexDefinitionsFromTheEngine) {
  figures_->Close();
  figures_->Open();
  ASSERT_EQ(figures_->FieldCount(), 9);
  const std::vector<std::pair<std::string, TFieldType>> expected = {
      {"MNB", TFieldType::ftInteger}, {"TES", TFieldType::ftSmallint}, {"COL", TFieldType::ftSmallint},
      {"PST", TFieldType::ftSmallint}, {"BFR", TFieldType::ftSmallint}, {"BTO", TFieldType::ftSmallint},
      {"DTX", TFieldType::ftString},  {"CMT", TFieldType::ftMemo},     {"TNB", TFieldType::ftInteger}};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(figures_->Fields(i).FieldName(), expected[static_cast<size_t>(i)].first);
    EXPECT_EQ(figures_->Fields(i).DataType(), expected[static_cast<size_t>(i)].second) << i;
  }
  EXPECT_EQ(figures_->FieldByName("DTX").Size(), 40);
  ASSERT_EQ(figures_->IndexDefs().Count(), 1);
  EXPECT_EQ(figures_->IndexDefs()[0].Name, "MNB");
  EXPECT_EQ(figures_->IndexDefs()[0].Fields, "MNB");
  EXPECT_FALSE(figures_->IndexDefs()[0].Options.Unique);
  EXPECT_EQ(figures_->RecordCount(), 6);
  EXPECT_EQ(figures_->EngineVersion(), "3.30");
}

TEST_F(TableTest, WalkForwardAndBackSetsEofAndBofOnTheEndRecords) {
  EXPECT_EQ(Walk(*figures_, "TNB"), (std::vector<std::string>{"1", "2", "3", "1", "2", "1"}));
  EXPECT_TRUE(figures_->Eof());
  EXPECT_EQ(figures_->FieldByName("DTX").AsString(), "天元");  // the last record stays current
  figures_->Next();
  EXPECT_TRUE(figures_->Eof());
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 3);
  figures_->Prior();
  EXPECT_FALSE(figures_->Eof());
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 2);
  EXPECT_EQ(figures_->FieldByName("TES").AsInteger(), 1);

  figures_->First();
  EXPECT_TRUE(figures_->Bof());
  figures_->Prior();
  EXPECT_TRUE(figures_->Bof());
  EXPECT_EQ(figures_->RecNo(), 1);
  figures_->Last();
  EXPECT_TRUE(figures_->Eof());
  EXPECT_EQ(figures_->RecNo(), 6);
  figures_->SetRecNo(3);
  EXPECT_EQ(figures_->FieldByName("DTX").AsString(), "黒の正解");
  EXPECT_EQ(figures_->MoveBy(-5), -2);
  EXPECT_TRUE(figures_->Bof());
}

TEST_F(TableTest, NullValuesReadAsZeroAndEmptyText) {
  figures_->First();
  TField& text = figures_->FieldByName("DTX");
  EXPECT_TRUE(text.IsNull());
  EXPECT_EQ(text.AsString(), "");
  figures_->Append();
  EXPECT_TRUE(figures_->FieldByName("TNB").IsNull());
  EXPECT_EQ(figures_->FieldByName("TNB").AsInteger(), 0);
  EXPECT_EQ(figures_->FieldByName("TNB").AsFloat(), 0.0);
  EXPECT_FALSE(figures_->FieldByName("TNB").AsBoolean());
  figures_->Cancel();
}

TEST_F(TableTest, EditPostAndCancel) {
  figures_->SetRecNo(2);
  figures_->Edit();
  EXPECT_EQ(figures_->State(), TDataSetState::dsEdit);
  figures_->FieldByName("TNB").SetAsInteger(20);
  figures_->FieldByName("DTX").SetAsString("二番");
  EXPECT_TRUE(figures_->Modified());
  figures_->Post();
  EXPECT_EQ(figures_->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(figures_->FieldByName("TNB").AsInteger(), 20);

  figures_->Edit();
  figures_->FieldByName("TNB").SetAsString("99");
  figures_->Cancel();
  EXPECT_EQ(figures_->FieldByName("TNB").AsInteger(), 20);

  figures_->Close();
  figures_->Open();
  EXPECT_EQ(Walk(*figures_, "TNB"), (std::vector<std::string>{"1", "20", "3", "1", "2", "1"}));
  figures_->SetRecNo(2);
  EXPECT_EQ(figures_->FieldByName("DTX").AsString(), "二番");
}

TEST_F(TableTest, EveryMoveStoresAPendingEdit) {
  figures_->First();
  figures_->Edit();
  figures_->FieldByName("TNB").SetAsInteger(7);
  figures_->Next();  // posts
  EXPECT_EQ(figures_->State(), TDataSetState::dsBrowse);
  figures_->Append();
  figures_->FieldByName("MNB").SetAsInteger(4);
  figures_->Last();  // posts the new record
  EXPECT_EQ(figures_->RecordCount(), 7);
  EXPECT_EQ(Walk(*figures_, "TNB"), (std::vector<std::string>{"7", "2", "3", "1", "2", "1", ""}));
  // An unmodified edit is cancelled, not posted.
  figures_->First();
  figures_->Edit();
  figures_->Next();
  EXPECT_EQ(figures_->State(), TDataSetState::dsBrowse);
}

TEST_F(TableTest, AppendStartsWithDefaultsOrACopyOfTheCurrentRecord) {
  figures_->SetRecNo(3);
  figures_->Append();
  EXPECT_TRUE(figures_->FieldByName("MNB").IsNull());
  EXPECT_TRUE(figures_->Eof());
  figures_->Cancel();
  EXPECT_EQ(figures_->FieldByName("DTX").AsString(), "黒の正解");  // back where it was

  figures_->CopyOnAppend = true;
  figures_->Append();
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 1);
  EXPECT_EQ(figures_->FieldByName("PST").AsInteger(), 72);
  EXPECT_EQ(figures_->FieldByName("DTX").AsString(), "黒の正解");
  figures_->FieldByName("TNB").SetAsInteger(4);
  figures_->Post();
  EXPECT_EQ(figures_->RecordCount(), 7);
  EXPECT_EQ(figures_->FieldByName("TNB").AsInteger(), 4);
  EXPECT_EQ(figures_->FieldByName("PST").AsInteger(), 72);
}

TEST_F(TableTest, DeleteMakesTheFollowingRecordCurrentOrTheNewLastOne) {
  figures_->SetRecNo(2);
  figures_->Delete();
  EXPECT_EQ(figures_->RecordCount(), 5);
  EXPECT_EQ(figures_->FieldByName("TNB").AsInteger(), 3);
  EXPECT_FALSE(figures_->Eof());

  figures_->Last();
  figures_->Delete();  // the last record
  EXPECT_EQ(figures_->RecordCount(), 4);
  EXPECT_TRUE(figures_->Eof());
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 2);
  EXPECT_EQ(figures_->FieldByName("TES").AsInteger(), 1);

  while (!figures_->IsEmpty()) figures_->Delete();
  EXPECT_TRUE(figures_->Eof());
  EXPECT_TRUE(figures_->Bof());
  EXPECT_EQ(figures_->RecordCount(), 0);
  EXPECT_EQ(MessageOf([&] { figures_->Delete(); }), "Cannot perform this operation on an empty dataset.");
}

TEST_F(TableTest, LocateOnFieldsWithoutAnIndexFindsTheFirstMatchInOrder) {
  figures_->Last();
  EXPECT_TRUE(figures_->Locate("COL;PST;BTO", {int16_t{1}, int16_t{300}, int16_t{2}}, {}));
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 2);
  EXPECT_EQ(figures_->FieldByName("TES").AsInteger(), 1);
  EXPECT_FALSE(figures_->Eof());
  // Values of other types are converted to the fields' types.
  EXPECT_TRUE(figures_->Locate("COL;PST;BTO", {std::string("2"), int32_t{300}, 2.0}, {}));
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 1);

  const int32_t before = figures_->RecNo();
  EXPECT_FALSE(figures_->Locate("COL;PST;BTO", {int16_t{2}, int16_t{300}, int16_t{9}}, {}));
  EXPECT_EQ(figures_->RecNo(), before);
  EXPECT_EQ(MessageOf([&] { figures_->Locate("COL;XYZ", {int16_t{1}, int16_t{1}}, {}); }),
            "項目 'XYZ' が見つかりません");
}

TEST_F(TableTest, LocateWithNullPartialKeyAndCaseOptions) {
  figures_->Last();
  EXPECT_TRUE(figures_->Locate("DTX", {std::monostate{}}, {}));
  EXPECT_EQ(figures_->RecNo(), 1);
  EXPECT_TRUE(figures_->Locate("DTX", {std::string("黒*")}, {.PartialKey = true}));
  EXPECT_EQ(figures_->FieldByName("TNB").AsInteger(), 3);
  EXPECT_FALSE(figures_->Locate("DTX", {std::string("黒")}, {}));

  figures_->Edit();
  figures_->FieldByName("DTX").SetAsString("Black");
  figures_->Post();
  figures_->First();
  EXPECT_FALSE(figures_->Locate("DTX", {std::string("BLACK")}, {}));
  EXPECT_TRUE(figures_->Locate("DTX", {std::string("BLACK")}, {.CaseInsensitive = true}));
  EXPECT_EQ(figures_->FieldByName("TNB").AsInteger(), 3);
}

TEST_F(TableTest, LocateThroughTheCurrentIndexAndThroughAnotherIndex) {
  figures_->SetIndexName("MNB");
  EXPECT_EQ(Walk(*figures_, "MNB"), (std::vector<std::string>{"1", "1", "1", "2", "2", "3"}));
  EXPECT_TRUE(figures_->Locate("MNB", {int32_t{2}}, {}));
  EXPECT_EQ(figures_->FieldByName("TES").AsInteger(), 0);
  EXPECT_FALSE(figures_->Locate("MNB", {int32_t{5}}, {}));
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 2);

  // In natural order the table finds MNB through its secondary index.
  figures_->SetIndexName("");
  figures_->First();
  EXPECT_TRUE(figures_->Locate("MNB", {int32_t{3}}, {}));
  EXPECT_EQ(figures_->FieldByName("DTX").AsString(), "天元");
  figures_->Next();
  EXPECT_TRUE(figures_->Eof());  // natural order again after the search
}

TEST_F(TableTest, LookupReturnsValuesWithoutMoving) {
  figures_->First();
  const std::vector<TFieldValue> values = figures_->Lookup("MNB;TES", {int32_t{1}, int16_t{2}}, "DTX;PST");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(std::get<std::string>(values[0]), "黒の正解");
  EXPECT_EQ(std::get<int16_t>(values[1]), 72);
  EXPECT_EQ(figures_->RecNo(), 1);
  EXPECT_TRUE(figures_->Lookup("MNB", {int32_t{8}}, "DTX").empty());
}

TEST_F(TableTest, IndexFieldNamesSelectsAnIndexAndKeepsTheCurrentRecord) {
  figures_->Last();  // MNB 3
  figures_->SetIndexFieldNames("mnb");
  EXPECT_EQ(figures_->IndexName(), "");
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 3);
  figures_->Prior();
  EXPECT_EQ(figures_->FieldByName("MNB").AsInteger(), 2);
  EXPECT_EQ(MessageOf([&] { figures_->SetIndexFieldNames("PST"); }), "No index for fields 'PST'.");
  EXPECT_EQ(MessageOf([&] { figures_->SetIndexFieldNames("NOPE"); }), "項目 'NOPE' が見つかりません");
  EXPECT_EQ(figures_->IndexFieldNames(), "mnb");
  EXPECT_EQ(CodeOfEngine([&] { figures_->SetIndexName("Missing"); }), 10022);
}

TEST_F(TableTest, KeySearchesOnTheCurrentIndex) {
  CreateContentsTable();
  TRUDIRATable contents;
  contents.SetDatabaseName("kyozai");
  contents.SetTableName("mokuji");
  contents.Open();
  for (const auto& [mnb, itm] : {std::pair{5, "ヨセ"}, std::pair{1, "星の定石"}, std::pair{2, "小目の定石"}}) {
    AppendContents(contents, mnb, itm);
  }
  EXPECT_TRUE(contents.FindKey({int32_t{2}}));
  EXPECT_EQ(contents.FieldByName("ITM").AsString(), "小目の定石");
  EXPECT_EQ(contents.State(), TDataSetState::dsBrowse);
  EXPECT_FALSE(contents.FindKey({int32_t{3}}));
  EXPECT_EQ(contents.FieldByName("MNB").AsInteger(), 2);
  contents.FindNearest({int32_t{3}});
  EXPECT_EQ(contents.FieldByName("MNB").AsInteger(), 5);

  contents.SetKey();
  EXPECT_EQ(contents.State(), TDataSetState::dsSetKey);
  EXPECT_TRUE(contents.FieldByName("MNB").IsNull());
  contents.FieldByName("MNB").SetAsInteger(1);
  EXPECT_EQ(MessageOf([&] { contents.FieldByName("ITM").SetAsString("x"); }), "Field ITM is not in the current index.");
  EXPECT_TRUE(contents.GotoKey());
  EXPECT_EQ(contents.FieldByName("ITM").AsString(), "星の定石");
  EXPECT_EQ(MessageOf([&] { contents.FindKey({int32_t{1}, std::string("x")}); }), "Field index out of range.");
  EXPECT_EQ(contents.State(), TDataSetState::dsBrowse);

  // The case-insensitive index on ITM.
  contents.SetIndexName("ITM");
  EXPECT_EQ(Walk(contents, "MNB"), (std::vector<std::string>{"5", "2", "1"}));  // UTF-8 byte order
  EXPECT_TRUE(contents.FindKey({std::string("ヨセ")}));
  EXPECT_EQ(contents.FieldByName("MNB").AsInteger(), 5);
}

TEST_F(TableTest, FieldRulesAndMessages) {
  figures_->First();
  EXPECT_EQ(MessageOf([&] { figures_->FieldByName("TNB").SetAsInteger(1); }), "Table is not in edit or insert mode.");
  EXPECT_EQ(MessageOf([&] { figures_->Fields(9); }), "Field index out of range.");
  EXPECT_EQ(MessageOf([&] { figures_->FieldByName("ABC"); }), "項目 'ABC' が見つかりません");
  figures_->Edit();
  figures_->FieldByName("COL").SetReadOnly(true);
  EXPECT_EQ(MessageOf([&] { figures_->FieldByName("COL").SetAsInteger(2); }), "Field COL cannot be modified.");
  EXPECT_EQ(MessageOf([&] { figures_->FieldByName("COL").SetAsString("x"); }), "Field COL cannot be modified.");
  EXPECT_EQ(MessageOf([&] { figures_->FieldByName("TES").SetAsInteger(40000); }), "Invalid value for field TES.");
  EXPECT_EQ(MessageOf([&] { figures_->FieldByName("TES").SetAsString("abc"); }), "Invalid value for field TES.");
  figures_->FieldByName("TES").SetAsInteger(5);
  figures_->WithOldValues([&] {
    EXPECT_EQ(figures_->FieldByName("TES").AsInteger(), 0);
    EXPECT_EQ(MessageOf([&] { figures_->FieldByName("TES").SetAsInteger(1); }), "Field TES cannot be modified.");
  });
  EXPECT_EQ(figures_->FieldByName("TES").AsInteger(), 5);
  figures_->Cancel();

  TRUDIRATable unnamed;
  unnamed.SetDatabaseName("kyozai");
  EXPECT_EQ(MessageOf([&] { unnamed.Open(); }), "Missing table name.");
  EXPECT_FALSE(unnamed.Active());
  EXPECT_EQ(MessageOf([&] { figures_->SetTableName("other"); }), "Cannot perform this operation on an open dataset.");
  EXPECT_EQ(MessageOf([&] { figures_->SetDatabaseName("other"); }),
            "Cannot perform this operation on an open database.");
}

TEST_F(TableTest, TableNameWithAPathSetsTheDatabaseName) {
  TRUDIRATable table;
  table.SetTableName(dir_ + "kyozai/figure");
  EXPECT_EQ(table.TableName(), "figure");
  std::string expected = dir_ + "kyozai/";
  std::replace(expected.begin(), expected.end(), '/', '\\');
  EXPECT_EQ(table.DatabaseName(), expected);
  table.Open();
  EXPECT_EQ(table.RecordCount(), 6);
}

TEST_F(TableTest, ReadOnlyTableRefusesChanges) {
  TRUDIRATable reader;
  reader.SetDatabaseName("kyozai");
  reader.SetTableName("figure");
  reader.SetReadOnly(true);
  reader.Open();
  EXPECT_FALSE(reader.CanModify());
  EXPECT_EQ(MessageOf([&] { reader.Edit(); }), "Cannot modify a read-only dataset.");
  EXPECT_EQ(MessageOf([&] { reader.Append(); }), "Cannot modify a read-only dataset.");
  EXPECT_EQ(reader.State(), TDataSetState::dsBrowse);
}

TEST_F(TableTest, InMemoryTablesAndDatabaseComponents) {
  TRUDIRATable memory;
  memory.SetDatabaseName("Memory");
  memory.SetTableName("scratch");
  EXPECT_EQ(MessageOf([&] { memory.CreateTable(); }),
            "You must define at least one field before you can open an in-memory table at design-time");
  memory.FieldDefs().Add("N", TFieldType::ftInteger, 0, true);
  memory.FieldDefs().Add("T", TFieldType::ftString, 10);
  memory.IndexDefs().Add("", "N", {.Primary = true});
  memory.CreateTable();
  memory.Open();
  for (int n : {3, 1, 2}) {
    memory.Append();
    memory.FieldByName("N").SetAsInteger(n);
    memory.Post();
  }
  EXPECT_EQ(Walk(memory, "N"), (std::vector<std::string>{"1", "2", "3"}));
  memory.Close();
  memory.DeleteTable();

  // A database component of the session: closing it closes its datasets.
  TComponent module;
  auto* database = new TRUDIRADatabase(&module);
  database->SetDatabaseName("lessons");
  database->SetDirectory("kyozai");
  auto* table = NewTable(&module, "figure");
  table->SetDatabaseName("lessons");
  table->Open();
  EXPECT_EQ(table->Database(), database);
  EXPECT_EQ(table->RecordCount(), 6);
  database->Close();
  EXPECT_FALSE(table->Active());
  EXPECT_EQ(table->Database(), nullptr);
  table->Open();
  EXPECT_TRUE(database->Connected());
}

TEST_F(TableTest, AClosedDatasetRefusesNavigation) {
  figures_->Close();
  for (const auto& action : std::vector<std::function<void()>>{
           [&] { figures_->First(); }, [&] { figures_->Next(); }, [&] { figures_->Edit(); },
           [&] { figures_->Append(); }, [&] { figures_->Delete(); }, [&] { figures_->RecordCount(); }}) {
    EXPECT_EQ(MessageOf(action), "Cannot perform this operation on a closed dataset.");
  }
  EXPECT_EQ(figures_->FieldCount(), 0);
  EXPECT_EQ(MessageOf([&] { figures_->Fields(0); }), "Field index out of range.");
}

TEST_F(TableTest, DeleteTableRequiresAClosedTable) {
  EXPECT_EQ(MessageOf([&] { figures_->DeleteTable(); }), "Cannot perform this operation on an open dataset.");
  figures_->Close();
  figures_->DeleteTable();
  EXPECT_NE(CodeOfEngine([&] { figures_->Open(); }), 0);
  EXPECT_FALSE(figures_->Active());
}

}  // namespace
}  // namespace rudira
