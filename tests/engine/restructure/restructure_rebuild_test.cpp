// The index rebuild of a restructure: a new primary key, removed and
// renamed indexes, text-index parameters.
#include "engine/restructure/restructure_fixture.h"

#include "engine/error_codes.h"
#include "storage/index_tree.h"

namespace rudira::restructuretest {
namespace {

class RestructureRebuildTest : public RestructureTest {};

TEST_F(RestructureRebuildTest, TableGainsAPrimaryKeyAndDuplicatesAreDropped) {
  CreateValues({{3, 1}, {1, 2}, {3, 3}, {2, 4}}, {{"ByN", {2}}});
  const std::vector<char> data = FileBytes("t.DAT");
  TRestructureDefinition definition = DefinitionOf("t");
  definition.Indexes.Primary = TIndexDefinition{};
  definition.Indexes.Primary.FieldNumbers[0] = 1;
  std::vector<Loss> losses;
  Restructure("t", definition, &losses);
  // The primary index has the empty name.
  EXPECT_EQ(losses, (std::vector<Loss>{{kDataLossKeyViolation, ""}}));
  EXPECT_TRUE(Exists("t.IBK"));
  auto cursor = Open("t");
  EXPECT_FALSE(cursor->NaturalOrder());
  EXPECT_EQ(Walk(*cursor, "V"), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{2, 4, 1}));
  // The dropped record left the unchanged index too.
  cursor->SetIndexName("ByN");
  EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{1, 2, 4}));
  TIndexFile& index = cursor->Table()->IndexFile();
  EXPECT_EQ(index.ActiveRecordCount(), 3);
  EXPECT_EQ(TIndexTree(index, kPrimarySlot).Check(), 3);
  EXPECT_EQ(TIndexTree(index, 1).Check(), 3);
  EXPECT_EQ(TIndexTree(index, kSysDeletedSlot).Check(), 4);
  // Only the dropped record's slot changed in the data file.
  EXPECT_EQ(FileBytes("t.DAT").size(), data.size());
}

TEST_F(RestructureRebuildTest, RemovedIndexGoesAndTheOthersKeepTheirKeys) {
  CreateValues({{2, 1}, {1, 2}}, {{"ByV", {1}}, {"ByN", {2}}});
  TRestructureDefinition definition = DefinitionOf("t");
  definition.Indexes.Secondaries.pop_back();
  Restructure("t", definition);
  auto cursor = Open("t");
  EXPECT_EQ(cursor->Table()->IndexFile().Header().SecondaryIndexCount, 1);
  EXPECT_EQ(CodeOf([&] { cursor->SetIndexName("ByN"); }), RUDIRA_INVALIDINDEXNAME);
  cursor->SetIndexName("ByV");
  EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{2, 1}));
}

TEST_F(RestructureRebuildTest, RenamingAnIndexKeepsItsPages) {
  CreateValues({{2, 1}, {1, 2}}, {{"ByV", {1}}});
  const std::vector<char> before = FileBytes("t.IDX");
  TRestructureDefinition definition = DefinitionOf("t");
  definition.Indexes.Secondaries[0].IndexName = "ValueOrder";
  Restructure("t", definition);
  const std::vector<char> after = FileBytes("t.IDX");
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(std::equal(before.begin() + kIndexHeaderSize, before.end(), after.begin() + kIndexHeaderSize));
  EXPECT_FALSE(Exists("t.IBK"));
  auto cursor = Open("t");
  cursor->SetIndexName("valueorder");
  EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{2, 1}));
}

TEST_F(RestructureRebuildTest, TextIndexParametersAreStoredAndKeptWhenNotGiven) {
  CreateValues({{1, 1}});
  TRestructureDefinition definition = DefinitionOf("t");
  definition.StopWords = std::vector<std::string>{"the", "a"};
  TCharacterSet spaces{};
  spaces[' ' / 8] = static_cast<uint8_t>(1u << (' ' % 8));
  definition.SpaceChars = spaces;
  Restructure("t", definition);
  EXPECT_TRUE(Exists("t.IBK"));

  auto parametersOf = [&] {
    auto cursor = Open("t");
    TextIndexParameters parameters;
    EXPECT_TRUE(parameters.Decode(cursor->Table()->IndexFile().ReadParameters()));
    return parameters;
  };
  TextIndexParameters expected;
  expected.StopWords = {"the", "a"};
  expected.SpaceChars = spaces;
  EXPECT_EQ(parametersOf(), expected);

  // A full copy without new parameters carries the table's over.
  TRestructureDefinition copy = DefinitionOf("t");
  copy.Fields[1].MinValue = "0";
  Restructure("t", copy);
  EXPECT_EQ(parametersOf(), expected);
  EXPECT_EQ(Values("t", "N"), (std::vector<int32_t>{1}));
}

TEST_F(RestructureRebuildTest, TemporaryIndexNeedsNoExclusiveUse) {
  CreateValues({{2, 1}, {1, 2}, {2, 3}});
  auto cursor = Open("t");
  TIndexDefinition temporary;
  temporary.IndexName = "Scratch";
  temporary.FieldNumbers[0] = 1;
  temporary.TemporaryIndex = 1;
  cursor->AddIndex(temporary);
  cursor->SetIndexName("Scratch");
  EXPECT_EQ(Walk(*cursor, "N"), (std::vector<int32_t>{2, 1, 3}));

  // A unique one over duplicates would have to delete records of a table
  // this cursor shares: it fails and leaves no definition behind.
  temporary.IndexName = "Unique";
  temporary.Unique = 1;
  EXPECT_EQ(CodeOf([&] { cursor->AddIndex(temporary); }), RUDIRA_KEYVIOL);
  EXPECT_EQ(CodeOf([&] { cursor->SetIndexName("Unique"); }), RUDIRA_INVALIDINDEXNAME);
  EXPECT_EQ(Values("t", "N"), (std::vector<int32_t>{1, 2, 3}));
}

}  // namespace
}  // namespace rudira::restructuretest
