// ValidateDefinition: the checks in their order, and the prepared copy.
#include <gtest/gtest.h>

#include "engine/cursor/cursor_fixture.h"
#include "engine/error_codes.h"
#include "engine/table_definition_check.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

TRestructureDefinition ValidBase() {
  TRestructureDefinition definition;
  TFieldDescriptor id;
  id.FieldNo = 1;
  id.FieldName = "ID";
  id.FieldType = kFieldTypeInteger;
  TFieldDescriptor name;
  name.FieldNo = 2;
  name.FieldName = "NAME";
  name.FieldType = kFieldTypeString;
  name.Size = 10;
  definition.Fields = {id, name};
  definition.Indexes.Primary.FieldNumbers[0] = 1;
  TIndexDefinition byName;
  byName.IndexName = "ByName";
  byName.FieldNumbers[0] = 2;
  definition.Indexes.Secondaries.push_back(byName);
  return definition;
}

TEST(DefinitionCheckTest, EachRuleRaisesItsCode) {
  struct Case {
    const char* Rule;
    std::function<void(TRestructureDefinition&)> Break;
    uint16_t Code;
  };
  const Case cases[] = {
      {"blank password", [](auto& d) { d.Encrypted = true; d.Password = "   "; }, RUDIRA_INVALIDPASSWORD},
      {"16-character password", [](auto& d) { d.Encrypted = true; d.Password = std::string(16, 'p'); },
       RUDIRA_INVALIDPASSWORD},
      {"unknown locale", [](auto& d) { d.LanguageId = 0x7777; }, RUDIRA_CANNOTLOADLDDRV},
      {"auto-increment below -1", [](auto& d) { d.LastAutoIncValue = -2; }, RUDIRA_FLDLIMIT},
      {"33 secondary indexes", [](auto& d) { d.Indexes.Secondaries.resize(33, d.Indexes.Secondaries[0]); },
       RUDIRA_INDEXLIMIT},
      {"block size 63", [](auto& d) { d.BlobBlockSize = 63; }, RUDIRA_BLOBLIMIT},
      {"field without name", [](auto& d) { d.Fields[1].FieldName.clear(); }, 10038},
      {"index name taken", [](auto& d) { d.Indexes.Secondaries.push_back(d.Indexes.Secondaries[0]); },
       RUDIRA_INDEXEXISTS},
      {"key too long", [](auto& d) {
         for (size_t i = 0; i < 3; ++i) {
           TFieldDescriptor wide;
           wide.FieldName = "W" + std::to_string(i);
           wide.FieldType = kFieldTypeString;
           wide.Size = 250;
           d.Fields.push_back(wide);
           d.Indexes.Secondaries[0].FieldNumbers[i] = static_cast<uint16_t>(3 + i);
         }
       }, RUDIRA_INVALIDKEY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Rule);
    TRestructureDefinition definition = ValidBase();
    c.Break(definition);
    EXPECT_EQ(cursortest::CodeOf([&] { ValidateDefinition(definition, "db", "t"); }), c.Code);
  }
  // The password comes first, before a block size that is also wrong.
  TRestructureDefinition both = ValidBase();
  both.Encrypted = true;
  both.BlobBlockSize = 10;
  EXPECT_EQ(cursortest::CodeOf([&] { ValidateDefinition(both, "db", "t"); }), RUDIRA_INVALIDPASSWORD);
}

TEST(DefinitionCheckTest, PreparedCopyNumbersFieldsByPositionAndSizesKeys) {
  TRestructureDefinition definition = ValidBase();
  definition.Fields[0].FieldNo = 0;  // a new field
  definition.Fields[1].FieldNo = 1;  // taken from the table's field 1
  definition.BlobBlockSize = 64;
  const TRestructureDefinition prepared = ValidateDefinition(definition, "db", "t");
  EXPECT_EQ(prepared.Fields[0].FieldNo, 1);
  EXPECT_EQ(prepared.Fields[1].FieldNo, 2);
  EXPECT_EQ(prepared.Fields[1].Offset, 14);
  EXPECT_EQ(prepared.Indexes.Primary.IndexFieldCount, 1);
  EXPECT_EQ(prepared.Indexes.Primary.KeySize, 5);
  // A non-unique key carries the record id.
  EXPECT_EQ(prepared.Indexes.Secondaries[0].KeySize, prepared.Fields[1].Width + 1 + 4);

  TRestructureDefinition outside = ValidBase();
  outside.Indexes.Secondaries[0].FieldNumbers[0] = 9;
  EXPECT_EQ(cursortest::CodeOf([&] { ValidateDefinition(outside, "db", "t", /*restructuring=*/true); }),
            RUDIRA_OUTOFRANGE);
}

TEST(DefinitionCheckTest, TextIndexParametersRoundTrip) {
  TextIndexParameters parameters;
  parameters.SpaceChars[' ' / 8] = static_cast<uint8_t>(1u << (' ' % 8));
  parameters.IncludeChars[31] = 0x80;
  parameters.StopWords = {"the", "囲碁", ""};
  TextIndexParameters decoded;
  ASSERT_TRUE(decoded.Decode(parameters.Encode()));
  EXPECT_EQ(decoded, parameters);
  std::vector<uint8_t> cut = parameters.Encode();
  cut.pop_back();
  cut.pop_back();
  EXPECT_FALSE(decoded.Decode(cut));
  EXPECT_TRUE(decoded.Decode({}));
  EXPECT_EQ(decoded, TextIndexParameters{});
}

}  // namespace
}  // namespace rudira
