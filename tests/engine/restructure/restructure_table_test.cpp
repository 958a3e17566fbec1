// TDataCursor::RestructureTable: the three kinds of change, the data-loss
// reports, stopping, backups and preconditions.
#include "engine/restructure/restructure_fixture.h"

#include "engine/error_codes.h"
#include "storage/index_key.h"

namespace rudira::restructuretest {
namespace {

class RestructureTableTest : public RestructureTest {
 protected:
  // "p": ID INTEGER primary key, AGE SMALLINT, NOTE CHAR(8), with the
  // unique index "ByNote" on NOTE; one record per (id, age, note).
  void CreateP(const std::vector<std::tuple<int32_t, int16_t, std::string>>& rows) {
    CreateTable("p", {{"ID", kFieldTypeInteger}, {"AGE", kFieldTypeSmallInt}, {"NOTE", kFieldTypeString, 8}},
                {"", {1}}, {{"ByNote", {3}}});
    auto cursor = Open("p");
    for (const auto& [id, age, note] : rows) {
      std::vector<uint8_t> record = Blank(*cursor);
      Set(*cursor, record, "ID", id);
      Set(*cursor, record, "AGE", age);
      Set(*cursor, record, "NOTE", note);
      cursor->AppendRecord(record.data());
    }
  }
  std::vector<int32_t> Ids(const std::string& table = "p") {
    auto cursor = Open(table);
    return Walk(*cursor);
  }
  // The bytes of the data file after its header and descriptors.
  std::vector<char> RecordBytes(const std::string& table) {
    auto cursor = Open(table, [](TDataCursor& c) { c.SetStructureOnly(true); });
    const int64_t start = cursor->Table()->DataFile().DataStart();
    std::vector<char> bytes = FileBytes(table + ".DAT");
    return {bytes.begin() + start, bytes.end()};
  }
};

TEST_F(RestructureTableTest, RenamingAFieldRewritesNoRecordAndRebuildsNoIndex) {
  CreateP({{1, 30, "a"}, {2, 40, "b"}});
  const std::vector<char> records = RecordBytes("p");
  const std::vector<char> index = FileBytes("p.IDX");
  TRestructureDefinition definition = DefinitionOf("p");
  definition.Fields[1].FieldName = "YEARS";
  definition.Fields[1].FieldDescription = "age in years";
  definition.Description = "people";
  Restructure("p", definition);

  EXPECT_EQ(RecordBytes("p"), records);
  EXPECT_EQ(FileBytes("p.IDX"), index);
  EXPECT_FALSE(Exists("p.DBK"));
  EXPECT_FALSE(Exists("p.IBK"));
  auto cursor = Open("p");
  EXPECT_EQ(cursor->Field(2).FieldName, "YEARS");
  EXPECT_EQ(cursor->Field(2).FieldDescription, "age in years");
  EXPECT_EQ(cursor->Table()->DataFile().Description(), "people");
  EXPECT_EQ(std::get<int16_t>(Get(*cursor, GoTo(*cursor, 2), "YEARS")), 40);
}

TEST_F(RestructureTableTest, FieldsCanTradeNamesInPlace) {
  CreateP({{1, 30, "a"}});
  const std::vector<char> records = RecordBytes("p");
  TRestructureDefinition definition = DefinitionOf("p");
  std::swap(definition.Fields[1].FieldName, definition.Fields[2].FieldName);
  Restructure("p", definition);
  EXPECT_EQ(RecordBytes("p"), records);
  auto cursor = Open("p");
  EXPECT_EQ(cursor->Field(2).FieldName, "NOTE");
  EXPECT_EQ(cursor->Field(3).FieldName, "AGE");
  // The names follow the positions; the values stay where they were.
  EXPECT_EQ(TextOf(*cursor, GoTo(*cursor, 1), "AGE"), "a");
}

TEST_F(RestructureTableTest, NewMinimumForcesAFullCopyAndDropsRecordsBelowIt) {
  CreateP({{1, 30, "a"}, {2, 10, "b"}, {3, 50, "c"}, {4, 5, "d"}});
  TRestructureDefinition definition = DefinitionOf("p");
  definition.Fields[1].MinValue = "18";

  std::vector<Loss> losses;
  Restructure("p", definition, &losses);
  EXPECT_EQ(losses, (std::vector<Loss>{{kDataLossCheckFailed, "AGE"}, {kDataLossCheckFailed, "AGE"}}));
  EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 3}));

  // Without a callback the records are dropped silently.
  definition.Fields[1].MinValue = "40";
  Restructure("p", definition);
  EXPECT_EQ(Ids(), (std::vector<int32_t>{3}));
  auto cursor = Open("p");
  EXPECT_EQ(cursor->Field(2).MinValue, "40");
  cursor->SetIndexName("ByNote");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{3}));
}

TEST_F(RestructureTableTest, DroppingAFieldReportsEachRecordUntilStopAsking) {
  CreateP({{1, 30, "a"}, {2, 40, "b"}, {3, 50, "c"}});
  TRestructureDefinition definition = DefinitionOf("p");
  // AGE goes; NOTE moves to position 2 and its index follows it.
  definition.Fields.erase(definition.Fields.begin() + 1);
  definition.Indexes.Secondaries[0].FieldNumbers[0] = 2;

  struct Case {
    int StopAt;             // call that sets stop-asking; 0 never
    size_t ExpectedCalls;
  };
  for (const Case& c : {Case{0, 3}, Case{2, 2}}) {
    SCOPED_TRACE(c.StopAt);
    TearDown();
    SetUp();
    CreateP({{1, 30, "a"}, {2, 40, "b"}, {3, 50, "c"}});
    std::vector<Loss> losses;
    Restructure("p", definition, &losses, [&](int call, bool&, bool& stopAsking) {
      if (call == c.StopAt) stopAsking = true;
    });
    EXPECT_EQ(losses.size(), c.ExpectedCalls);
    for (const Loss& loss : losses) EXPECT_EQ(loss, (Loss{kDataLossFieldDropped, "AGE"}));
    // The records themselves are kept, without the field.
    auto cursor = Open("p");
    ASSERT_EQ(cursor->Fields().size(), 2u);
    EXPECT_EQ(cursor->Field(2).FieldName, "NOTE");
    EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(TextOf(*cursor, GoTo(*cursor, 3), "NOTE"), "c");
  }
}

TEST_F(RestructureTableTest, StoppedRestructureLeavesTheFilesAsTheyWere) {
  struct Case {
    const char* Name;
    std::function<void(TRestructureDefinition&)> Change;
  };
  const Case cases[] = {
      // A full copy stopped at its second loss.
      {"copy", [](TRestructureDefinition& d) { d.Fields[1].MinValue = "100"; }},
      // An index rebuild stopped at the duplicate of a new unique index.
      {"rebuild", [](TRestructureDefinition& d) {
         TIndexDefinition byAge;
         byAge.IndexName = "ByAge";
         byAge.Unique = 1;
         byAge.FieldNumbers[0] = 2;
         d.Indexes.Secondaries.push_back(byAge);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TearDown();
    SetUp();
    CreateP({{1, 30, "a"}, {2, 30, "b"}, {3, 30, "c"}});
    TRestructureDefinition definition = DefinitionOf("p");
    c.Change(definition);
    const auto before = Files();
    std::vector<Loss> losses;
    Restructure("p", definition, &losses, [](int call, bool& go, bool&) { go = call < 2; });
    EXPECT_EQ(losses.size(), 2u);
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2, 3}));
  }
}

TEST_F(RestructureTableTest, IndexRebuildDeletesRecordsDuplicatingANewUniqueKey) {
  CreateP({{1, 30, "a"}, {2, 40, "b"}, {3, 30, "c"}});
  TRestructureDefinition definition = DefinitionOf("p");
  TIndexDefinition byAge;
  byAge.IndexName = "ByAge";
  byAge.Unique = 1;
  byAge.FieldNumbers[0] = 2;
  definition.Indexes.Secondaries.push_back(byAge);
  const std::vector<char> records = RecordBytes("p");
  std::vector<Loss> losses;
  Restructure("p", definition, &losses);
  EXPECT_EQ(losses, (std::vector<Loss>{{kDataLossKeyViolation, "ByAge"}}));
  EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));
  // The index file's previous version is kept.
  EXPECT_TRUE(Exists("p.IBK"));
  EXPECT_FALSE(Exists("p.DBK"));
  auto cursor = Open("p");
  cursor->SetIndexName("ByAge");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 2}));
  cursor->SetIndexName("ByNote");
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 2}));
}

TEST_F(RestructureTableTest, ConversionsOfTheFullCopy) {
  CreateTable("c", {{"I", kFieldTypeInteger}, {"S", kFieldTypeString, 6}}, {"", {}});
  {
    auto cursor = Open("c");
    for (const auto& [number, text] : std::vector<std::pair<int32_t, std::string>>{{65541, "12x"}, {-3, "42"}}) {
      std::vector<uint8_t> record = Blank(*cursor);
      Set(*cursor, record, "I", number);
      Set(*cursor, record, "S", text);
      cursor->AppendRecord(record.data());
    }
  }
  TRestructureDefinition definition = DefinitionOf("c");
  definition.Fields[0].FieldType = kFieldTypeSmallInt;
  definition.Fields[1].FieldType = kFieldTypeInteger;
  definition.Fields[1].Size = 0;
  std::vector<Loss> losses;
  Restructure("c", definition, &losses);
  // 2^16 + 5 keeps its low 16 bits without a report; "12x" is no number.
  EXPECT_EQ(losses, (std::vector<Loss>{{kDataLossConversion, "S"}}));
  auto cursor = Open("c", [](TDataCursor& c) { c.SetNaturalOrder(true); });
  std::vector<uint8_t> record(cursor->RecordSize());
  ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);
  EXPECT_EQ(Get(*cursor, record, "I"), TFieldValue(int16_t{5}));
  EXPECT_EQ(Get(*cursor, record, "S"), TFieldValue(int32_t{0}));
  ASSERT_EQ(cursor->GetNextRecord(record.data()), 0);
  EXPECT_EQ(Get(*cursor, record, "I"), TFieldValue(int16_t{-3}));
  EXPECT_EQ(Get(*cursor, record, "S"), TFieldValue(int32_t{42}));
}

TEST_F(RestructureTableTest, BackupFilesFollowTheNoBackupFlag) {
  for (bool noBackup : {false, true}) {
    SCOPED_TRACE(noBackup);
    TearDown();
    SetUp();
    CreateP({{1, 30, "a"}});
    const std::vector<char> oldData = FileBytes("p.DAT");
    const std::vector<char> oldIndex = FileBytes("p.IDX");
    TRestructureDefinition definition = DefinitionOf("p");
    definition.Fields[1].MaxValue = "99";
    definition.NoBackup = noBackup;
    Restructure("p", definition);
    EXPECT_EQ(Exists("p.DBK"), !noBackup);
    EXPECT_EQ(Exists("p.IBK"), !noBackup);
    if (!noBackup) {
      EXPECT_EQ(FileBytes("p.DBK"), oldData);
      EXPECT_EQ(FileBytes("p.IBK"), oldIndex);
    }
    // No work table is left behind.
    for (const auto& [name, bytes] : Files()) {
      EXPECT_EQ(name.rfind("p.", 0), 0u) << name;
    }
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1}));

    // An index rebuild keeps the index file's backup in the same way.
    std::filesystem::remove(dir_ + "p.IBK");
    definition.Indexes.Secondaries[0].Unique = 0;
    Restructure("p", definition);
    EXPECT_EQ(Exists("p.IBK"), !noBackup);
  }
}

TEST_F(RestructureTableTest, PreconditionsRaiseBeforeAnythingChanges) {
  CreateP({{1, 30, "a"}});
  const auto before = Files();
  TRestructureDefinition definition = DefinitionOf("p");
  definition.Fields[1].MinValue = "50";

  TRestructureDefinition smallBlocks = definition;
  smallBlocks.BlobBlockSize = 32;
  EXPECT_EQ(CodeOf([&] { Restructure("p", smallBlocks); }), RUDIRA_BLOBLIMIT);

  TRestructureDefinition badIndexField = definition;
  badIndexField.Indexes.Secondaries[0].FieldNumbers[1] = 7;
  EXPECT_EQ(CodeOf([&] { Restructure("p", badIndexField); }), RUDIRA_OUTOFRANGE);

  {
    auto open = Open("p");
    EXPECT_EQ(CodeOf([&] { open->RestructureTable(definition); }), RUDIRA_TABLEOPEN);
    // Another user of the table keeps the restructure from opening it
    // exclusively.
    EXPECT_NE(CodeOf([&] { Restructure("p", definition); }), 0);
  }
  TDataCursor readOnly(*session_, *db_);
  readOnly.SetTableName("p");
  readOnly.SetReadOnly(true);
  EXPECT_EQ(CodeOf([&] { readOnly.RestructureTable(definition); }), RUDIRA_OSEACCES);
  EXPECT_EQ(Files(), before);
}

TEST_F(RestructureTableTest, ProgressIsToldAtTheSessionStep) {
  std::vector<std::tuple<int32_t, int16_t, std::string>> rows;
  for (int32_t id = 1; id <= 8; ++id) rows.emplace_back(id, static_cast<int16_t>(id), std::to_string(id));
  CreateP(rows);
  session_->SetProgressSteps(4);  // every 25 percent
  TRestructureDefinition definition = DefinitionOf("p");
  definition.Fields[1].MaxValue = "99";
  TDataCursor cursor(*session_, *db_);
  cursor.SetTableName("p");
  std::vector<int> told;
  cursor.SetProgressCallback([&](TDataCursor&, int percent) { told.push_back(percent); });
  cursor.RestructureTable(definition);
  // Slots 2, 4, 6 and 8 of 8 reach 25, 50, 75 and 100.
  EXPECT_EQ(told, (std::vector<int>{25, 50, 75, 100}));
}

}  // namespace
}  // namespace rudira::restructuretest
