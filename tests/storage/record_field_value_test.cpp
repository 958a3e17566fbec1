// Storing and reading field values in record buffers: every field type, the
// null flag, the string rules, booleans and AUTOINC.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/errors.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/record_layout.h"

namespace rudira {
namespace {

TFieldDescriptor Field(const char* name, uint8_t type, uint8_t subType = 0, uint8_t size = 0, uint8_t scale = 0) {
  TFieldDescriptor field;
  field.FieldName = name;
  field.FieldType = type;
  field.SubType = subType;
  field.Size = size;
  field.Scale = scale;
  return field;
}

// A record buffer laid out for `fields`.
struct Layout {
  std::vector<TFieldDescriptor> fields;
  std::vector<uint8_t> record;
  explicit Layout(std::vector<TFieldDescriptor> f) : fields(std::move(f)) {
    for (size_t i = 0; i < fields.size(); ++i) fields[i].FieldNo = static_cast<uint16_t>(i + 1);
    const RecordLayoutSummary summary = PrepareFieldDefinitions(fields, "", "t");
    record.assign(summary.RecordSize, 0xEE);
  }
};

struct RoundTripCase {
  const char* name;
  TFieldDescriptor field;
  TFieldValue stored;
  TFieldValue expected;
};

class FieldValueRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(FieldValueRoundTrip, ReadsBackWhatWasStored) {
  const RoundTripCase& c = GetParam();
  Layout layout({c.field});
  const TFieldDescriptor& field = layout.fields[0];
  ASSERT_TRUE(StoreFieldValue(layout.record.data(), field, c.stored, {}));
  EXPECT_EQ(ReadFieldValue(layout.record.data(), field), c.expected);
  if (!field.IsAutoInc()) {
    EXPECT_EQ(layout.record[field.Offset], std::holds_alternative<std::monostate>(c.expected) ? 0 : 1);
  }
}

Bcd BcdOf(int64_t fixedPoint, uint8_t scale) { return *BcdFromFixedPoint(fixedPoint, scale); }

const RoundTripCase kRoundTrips[] = {
    {"String", Field("S", kFieldTypeString, 0, 10), std::string("abc"), std::string("abc")},
    {"StringTrailingBlanks", Field("S", kFieldTypeString, 0, 10), std::string("ab  "), std::string("ab")},
    {"StringEmptyIsNull", Field("S", kFieldTypeString, 0, 10), std::string(""), std::monostate{}},
    {"StringBlanksOnlyIsNull", Field("S", kFieldTypeString, 0, 10), std::string("   "), std::monostate{}},
    {"StringCutToSize", Field("S", kFieldTypeString, 0, 4), std::string("abcdefg"), std::string("abcd")},
    // "碁石" is 6 bytes: a cut at 4 keeps only the first character.
    {"StringCutAtCharacter", Field("S", kFieldTypeString, 0, 4), std::string("碁石"), std::string("碁")},
    {"StringFullSize", Field("S", kFieldTypeString, 0, 6), std::string("碁石"), std::string("碁石")},
    {"FixedString", Field("S", kFieldTypeString, kSubTypeFixedString, 3), std::string("xyz"), std::string("xyz")},
    {"Date", Field("D", kFieldTypeDate), int32_t{738000}, int32_t{738000}},
    {"Blob", Field("B", kFieldTypeBlob, kSubTypeMemo), BlobReference{7, 42}, BlobReference{7, 42}},
    {"BooleanTrue", Field("L", kFieldTypeBoolean), true, true},
    {"BooleanFalseIsNotNull", Field("L", kFieldTypeBoolean), false, false},
    {"BooleanWordNormalised", Field("L", kFieldTypeBoolean), uint16_t{7}, true},
    {"SmallInt", Field("I", kFieldTypeSmallInt), int16_t{-32768}, int16_t{-32768}},
    {"Integer", Field("I", kFieldTypeInteger), int32_t{-123456789}, int32_t{-123456789}},
    {"AutoInc", Field("A", kFieldTypeInteger, kSubTypeAutoInc), int32_t{77}, int32_t{77}},
    {"Float", Field("F", kFieldTypeFloat), 3.25, 3.25},
    {"Money", Field("M", kFieldTypeFloat, kSubTypeMoney), -0.1, -0.1},
    {"Bcd", Field("N", kFieldTypeBcd, 0, 0, 2), BcdOf(-123456, 2), BcdOf(-123456, 2)},
    {"BytesPadded", Field("Y", kFieldTypeBytes, 0, 4), std::vector<uint8_t>{1, 2},
     std::vector<uint8_t>{1, 2, 0, 0}},
    {"BytesCut", Field("Y", kFieldTypeBytes, 0, 2), std::vector<uint8_t>{1, 2, 3}, std::vector<uint8_t>{1, 2}},
    {"Time", Field("T", kFieldTypeTime), int32_t{86399999}, int32_t{86399999}},
    {"Timestamp", Field("T", kFieldTypeTimestamp), 63745056000000.0 + 5, 63745056000000.0 + 5},
    {"Word", Field("W", kFieldTypeWord), uint16_t{65535}, uint16_t{65535}},
    {"Cardinal", Field("C", kFieldTypeCardinal), uint32_t{4000000000u}, uint32_t{4000000000u}},
    {"Extended", Field("E", kFieldTypeExtended), 1.5L, 1.5L},
    {"ExtendedNegativeSmall", Field("E", kFieldTypeExtended), -0.375L, -0.375L},
    {"VarBytes", Field("V", kFieldTypeVarBytes, 0, 3), std::vector<uint8_t>{9, 8, 7},
     std::vector<uint8_t>{9, 8, 7}},
    {"LargeInt", Field("G", kFieldTypeLargeInt), int64_t{-9000000000000000000}, int64_t{-9000000000000000000}},
    {"NullInteger", Field("I", kFieldTypeInteger), std::monostate{}, std::monostate{}},
    {"NullDate", Field("D", kFieldTypeDate), std::monostate{}, std::monostate{}},
};

INSTANTIATE_TEST_SUITE_P(AllTypes, FieldValueRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FieldValue, CharCaseMapsOnEveryStore) {
  TFieldDescriptor upper = Field("U", kFieldTypeString, 0, 20);
  upper.CharCase = kCharCaseUpper;
  TFieldDescriptor lower = Field("L", kFieldTypeString, 0, 20);
  lower.CharCase = kCharCaseLower;
  Layout layout({upper, lower});
  ASSERT_TRUE(StoreFieldValue(layout.record.data(), layout.fields[0], std::string("Straße go "), {}));
  ASSERT_TRUE(StoreFieldValue(layout.record.data(), layout.fields[1], std::string("ÉCOLE Go"), {}));
  EXPECT_EQ(ReadFieldValue(layout.record.data(), layout.fields[0]), TFieldValue(std::string("STRASSE GO")));
  EXPECT_EQ(ReadFieldValue(layout.record.data(), layout.fields[1]), TFieldValue(std::string("école go")));
}

TEST(FieldValue, CaseMappingThatGrowsIsCutAfterMapping) {
  TFieldDescriptor upper = Field("U", kFieldTypeString, 0, 4);
  upper.CharCase = kCharCaseUpper;
  Layout layout({upper});
  // "ßß" is 4 bytes, upper case "SSSS" also 4; "aßß" upper is 5 bytes, cut to 4.
  ASSERT_TRUE(StoreFieldValue(layout.record.data(), layout.fields[0], std::string("aßß"), {}));
  EXPECT_EQ(ReadFieldValue(layout.record.data(), layout.fields[0]), TFieldValue(std::string("ASSS")));
}

TEST(FieldValue, NullZeroesTheDataBytes) {
  Layout layout({Field("I", kFieldTypeInteger)});
  const TFieldDescriptor& field = layout.fields[0];
  ASSERT_TRUE(StoreFieldValue(layout.record.data(), field, int32_t{-1}, {}));
  StoreFieldNull(layout.record.data(), field);
  EXPECT_TRUE(IsFieldNull(layout.record.data(), field));
  for (int i = 0; i <= field.Width; ++i) EXPECT_EQ(layout.record[field.Offset + i], 0) << i;
}

TEST(FieldValue, AutoIncLivesInTheRecordHeaderAndIsNeverNull) {
  Layout layout({Field("A", kFieldTypeInteger, kSubTypeAutoInc), Field("I", kFieldTypeInteger)});
  const TFieldDescriptor& autoInc = layout.fields[0];
  EXPECT_EQ(autoInc.Offset, 5);
  ASSERT_TRUE(StoreFieldValue(layout.record.data(), autoInc, int32_t{0x01020304}, {}));
  EXPECT_EQ(layout.record[5], 0x04);
  EXPECT_EQ(layout.record[8], 0x01);
  StoreFieldNull(layout.record.data(), autoInc);
  EXPECT_FALSE(IsFieldNull(layout.record.data(), autoInc));
  EXPECT_EQ(ReadFieldValue(layout.record.data(), autoInc), TFieldValue(int32_t{0x01020304}));
}

TEST(FieldValue, MisfittingValueChangesNothing) {
  Layout layout({Field("I", kFieldTypeInteger), Field("S", kFieldTypeString, 0, 5)});
  const std::vector<uint8_t> before = layout.record;
  EXPECT_FALSE(StoreFieldValue(layout.record.data(), layout.fields[0], std::string("12"), {}));
  EXPECT_FALSE(StoreFieldValue(layout.record.data(), layout.fields[1], int32_t{12}, {}));
  EXPECT_EQ(layout.record, before);
}

TEST(FieldValue, StoreIntoComputedFieldIsIgnored) {
  TFieldDescriptor computed = Field("C", kFieldTypeInteger);
  computed.Computed = 1;
  Layout layout({Field("I", kFieldTypeInteger), computed});
  EXPECT_EQ(layout.record.size(), 9u + 5u);
  const std::vector<uint8_t> before = layout.record;
  EXPECT_TRUE(StoreFieldValue(layout.record.data(), layout.fields[1], int32_t{5}, {}));
  EXPECT_EQ(layout.record, before);
  EXPECT_TRUE(IsFieldNull(layout.record.data(), layout.fields[1]));
}

TEST(FieldValue, IntegersAreLittleEndianAfterTheNullFlag) {
  Layout layout({Field("I", kFieldTypeInteger)});
  ASSERT_TRUE(StoreFieldValue(layout.record.data(), layout.fields[0], int32_t{0x11223344}, {}));
  const std::vector<uint8_t> expected = {1, 0x44, 0x33, 0x22, 0x11};
  EXPECT_EQ(std::vector<uint8_t>(layout.record.begin() + 9, layout.record.end()), expected);
}

}  // namespace
}  // namespace rudira
