// Index keys: order-preserving forms per field type, nulls, descending
// inversion, case-insensitive strings, the id suffix of non-unique indexes,
// locale comparison and the definition checks of PrepareIndexDefinition.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "engine/error_codes.h"
#include "engine/locale_services.h"
#include "storage/bcd.h"
#include "storage/field_type.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_key_compare.h"
#include "tests/storage/support/index_test_support.h"

namespace rudira {
namespace {

using namespace indextest;

struct OrderCase {
  const char* Name;
  TFieldDescriptor Field;
  std::vector<TFieldValue> Ascending;  // strictly ascending values
};

// A decimal of scale 2 holding hundredths / 100.
Bcd Decimal(int64_t hundredths) { return *BcdFromFixedPoint(hundredths * 100, 2); }

TEST(IndexKeyTest, EveryTypeKeysInValueOrderBytewise) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<OrderCase> cases = {
      {"integer", Field("I", kFieldTypeInteger), {INT32_MIN, -70000, -1, 0, 1, 256, INT32_MAX}},
      {"date", Field("D", kFieldTypeDate), {int32_t{1}, int32_t{730000}, int32_t{739000}}},
      {"time", Field("T", kFieldTypeTime), {int32_t{0}, int32_t{1000}, int32_t{86399999}}},
      {"smallint", Field("S", kFieldTypeSmallInt), {int16_t{-32768}, int16_t{-2}, int16_t{0}, int16_t{300}}},
      {"word", Field("W", kFieldTypeWord), {uint16_t{0}, uint16_t{255}, uint16_t{256}, uint16_t{65535}}},
      {"boolean", Field("B", kFieldTypeBoolean), {false, true}},
      {"largeint", Field("L", kFieldTypeLargeInt), {INT64_MIN, int64_t{-5000000000}, int64_t{0}, INT64_MAX}},
      {"float", Field("F", kFieldTypeFloat), {-inf, -1e300, -2.5, -1.0, -1e-300, 0.0, 1e-300, 3.0, 1e300, inf}},
      {"timestamp", Field("P", kFieldTypeTimestamp), {0.0, 86400000.0, 6.3e13}},
      {"bcd", Field("N", kFieldTypeBcd), {Decimal(-123456), Decimal(-100), Decimal(0), Decimal(1), Decimal(99999999)}},
      {"string", Field("C", kFieldTypeString, 0, 8), {std::string("A"), std::string("AB"), std::string("B"),
                                                      std::string("a"), std::string("\xe3\x81\x82")}},
  };
  for (const OrderCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto fields = Fields({c.Field});
    TIndexDefinition d = IndexOn("X", {1});
    PrepareIndexDefinition(d, fields, false, "t");
    ASSERT_EQ(d.KeySize, fields[0].Width + 1);
    // A null comes before every value.
    std::vector<uint8_t> previous = KeyOf(d, fields, Record(fields, {TFieldValue{}}, 1));
    EXPECT_EQ(previous[0], 0);
    for (size_t i = 0; i < c.Ascending.size(); ++i) {
      SCOPED_TRACE(i);
      const TFieldValue& value = c.Ascending[i];
      const std::vector<uint8_t> key = KeyOf(d, fields, Record(fields, {value}, 1));
      EXPECT_EQ(key[0], 1);
      EXPECT_LT(CompareKeyBytes(previous.data(), key.data(), d.KeySize), 0);
      previous = key;
    }
  }
}

TEST(IndexKeyTest, ValueBytesAreBigEndianWithTheSignBitInverted) {
  uint8_t out[8];
  EncodeOrderedInt32(1, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x80, 0x00, 0x00, 0x01}));
  EncodeOrderedInt32(-1, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x7F, 0xFF, 0xFF, 0xFF}));
  EncodeOrderedInt16(-2, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 2), (std::vector<uint8_t>{0x7F, 0xFE}));
  EncodeOrderedDouble(3.0, out);  // 0x4008000000000000 with the sign bit set
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{0xC0, 0x08, 0, 0, 0, 0, 0, 0}));
  EncodeOrderedDouble(-2.5, out);  // ~0xC004000000000000
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{0x3F, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(DecodeOrderedDouble(out), -2.5);
  uint8_t zero[8], negativeZero[8];
  EncodeOrderedDouble(0.0, zero);
  EncodeOrderedDouble(-0.0, negativeZero);
  EXPECT_EQ(CompareKeyBytes(zero, negativeZero, 8), 0);
}

TEST(IndexKeyTest, NegativeAndPositiveFloatsOrderBytewise) {
  const auto fields = Fields({Field("F", kFieldTypeFloat)});
  TIndexDefinition d = IndexOn("F", {1});
  PrepareIndexDefinition(d, fields, false, "t");
  const auto k1 = KeyOf(d, fields, Record(fields, {-2.5}, 1));
  const auto k2 = KeyOf(d, fields, Record(fields, {-1.0}, 1));
  const auto k3 = KeyOf(d, fields, Record(fields, {0.0}, 1));
  const auto k4 = KeyOf(d, fields, Record(fields, {3.0}, 1));
  EXPECT_LT(k1, k2);
  EXPECT_LT(k2, k3);
  EXPECT_LT(k3, k4);
}

TEST(IndexKeyTest, NonUniqueIntegerKeyHasNineBytesAndEqualValuesOrderById) {
  const auto fields = Fields({Field("N", kFieldTypeInteger)});
  TIndexDefinition d = IndexOn("N", {1}, false);
  PrepareIndexDefinition(d, fields, false, "t");
  EXPECT_EQ(d.KeySize, 9);
  const auto a = KeyOf(d, fields, Record(fields, {int32_t{7}}, 300));
  const auto b = KeyOf(d, fields, Record(fields, {int32_t{7}}, 2));
  EXPECT_EQ(a, (std::vector<uint8_t>{1, 0x80, 0, 0, 7, 0x80, 0, 0x01, 0x2C}));
  EXPECT_LT(b, a);
  EXPECT_EQ(TKeyComparer(kMaxSecondaryIndexes, d, fields, {}).Compare(b.data(), a.data()), -1);
}

TEST(IndexKeyTest, DescendingFieldsAreInvertedWithoutALocale) {
  const auto fields = Fields({Field("S", kFieldTypeString, 0, 4), Field("N", kFieldTypeInteger)});
  TIndexDefinition d = IndexOn("D", {1, 2});
  d.FieldDescending[1] = 1;
  PrepareIndexDefinition(d, fields, false, "t");
  const auto key = KeyOf(d, fields, Record(fields, {std::string("AB"), int32_t{1}}, 1));
  // The string keeps its form; the integer's flag and bytes are inverted.
  EXPECT_EQ(key, (std::vector<uint8_t>{1, 'A', 'B', 0, 0, 0, 0xFE, 0x7F, 0xFF, 0xFF, 0xFE}));
  // A whole descending index inverts the string's flag and Size text bytes,
  // not the last terminator byte.
  d.Descending = 1;
  const auto all = KeyOf(d, fields, Record(fields, {std::string("AB"), int32_t{1}}, 1));
  EXPECT_EQ(std::vector<uint8_t>(all.begin(), all.begin() + 6),
            (std::vector<uint8_t>{0xFE, 0xBE, 0xBD, 0xFF, 0xFF, 0x00}));
  // Larger values come first, bytewise, with no further negation.
  const auto two = KeyOf(d, fields, Record(fields, {std::string("AB"), int32_t{2}}, 1));
  const TKeyComparer comparer(1, d, fields, {});
  EXPECT_TRUE(comparer.Bytewise());
  EXPECT_EQ(comparer.Compare(two.data(), all.data()), -1);
}

TEST(IndexKeyTest, CaseInsensitiveStringsKeyInUpperCaseCutToTheirWidth) {
  const auto fields = Fields({Field("S", kFieldTypeString, 0, 3)});
  TIndexDefinition d = IndexOn("S", {1});
  d.CaseInsensitive = 1;
  PrepareIndexDefinition(d, fields, false, "t");
  EXPECT_EQ(KeyOf(d, fields, Record(fields, {std::string("abc")}, 1)),
            (std::vector<uint8_t>{1, 'A', 'B', 'C', 0}));
  // "ß" upper-cases to "SS": the longer text is cut to the field's width.
  EXPECT_EQ(KeyOf(d, fields, Record(fields, {std::string("a\xc3\x9f")}, 1)),
            (std::vector<uint8_t>{1, 'A', 'S', 'S', 0}));
  // A cut never splits a character: "éé" upper-cases to 4 bytes, one "É" fits.
  EXPECT_EQ(KeyOf(d, fields, Record(fields, {std::string("\xc3\xa9")}, 1)),
            (std::vector<uint8_t>{1, 0xC3, 0x89, 0, 0}));
}

TEST(IndexKeyTest, LocaleComparisonOrdersTextsAndNegatesDescendingFields) {
  if (!LocaleInstalled(kUsEnglishLanguageId, 0)) GTEST_SKIP() << "no US English collation";
  const TableLocale locale{static_cast<int16_t>(kUsEnglishLanguageId), 0};
  const auto fields = Fields({Field("S", kFieldTypeString, 0, 6), Field("N", kFieldTypeInteger)});
  TIndexDefinition d = IndexOn("S", {1, 2}, false);
  PrepareIndexDefinition(d, fields, false, "t");
  const auto lowerA = KeyOf(d, fields, Record(fields, {std::string("apple"), int32_t{1}}, 1), locale);
  const auto upperB = KeyOf(d, fields, Record(fields, {std::string("Banana"), int32_t{1}}, 1), locale);
  EXPECT_GT(CompareKeyBytes(lowerA.data(), upperB.data(), d.KeySize), 0);  // 'a' > 'B' as bytes
  const TKeyComparer comparer(1, d, fields, locale);
  EXPECT_FALSE(comparer.Bytewise());
  EXPECT_EQ(comparer.Compare(lowerA.data(), upperB.data()), -1);  // but "apple" < "Banana"
  // A partial key (the string field only) compares equal to the full key.
  const auto sameText = KeyOf(d, fields, Record(fields, {std::string("apple"), int32_t{9}}, 5), locale);
  EXPECT_EQ(comparer.Compare(lowerA.data(), sameText.data(), fields[0].Width + 1), 0);
  EXPECT_EQ(comparer.Compare(lowerA.data(), sameText.data()), -1);
  // A descending field is not inverted under a locale; the comparison turns.
  d.FieldDescending[0] = 1;
  const auto descA = KeyOf(d, fields, Record(fields, {std::string("apple"), int32_t{1}}, 1), locale);
  EXPECT_EQ(descA, lowerA);
  EXPECT_EQ(TKeyComparer(1, d, fields, locale).Compare(descA.data(), upperB.data()), 1);
  // The internal "Sys Deleted" index always compares bytes.
  EXPECT_TRUE(TKeyComparer(kSysDeletedSlot, SysDeletedDefinition(), fields, locale).Bytewise());
}

// IndexKeySourcesEqual lets a record change skip building keys: whenever it
// answers true, both records must build the same key bytes; it must answer
// true when only bytes outside the key change (or the shortcut never runs).
TEST(IndexKeyTest, EqualKeySourcesBuildEqualKeys) {
  const auto fields = Fields({Field("S", kFieldTypeString, 0, 4), Field("N", kFieldTypeInteger),
                              Field("G", kFieldTypeInteger), Field("A", kFieldTypeInteger, kSubTypeAutoInc)});
  struct IndexCase {
    const char* Name;
    TIndexDefinition Definition;
  };
  std::vector<IndexCase> indexes = {{"unique S", IndexOn("S", {1})},
                                    {"non-unique N", IndexOn("N", {2}, false)},
                                    {"S, N descending", IndexOn("SN", {1, 2})},
                                    {"case-insensitive S", IndexOn("CS", {1})},
                                    {"auto-increment A", IndexOn("A", {4})}};
  indexes[2].Definition.Descending = 1;
  indexes[3].Definition.CaseInsensitive = 1;
  for (IndexCase& index : indexes) PrepareIndexDefinition(index.Definition, fields, false, "t");

  // A's value is the record's unique id, the last argument of Record.
  const std::vector<uint8_t> base = Record(fields, {std::string("ab"), int32_t{7}, int32_t{1}, TFieldValue{}}, 5);
  struct ChangeCase {
    const char* Name;
    std::vector<uint8_t> Record;
    std::vector<bool> SourcesEqual;  // per index above
  };
  const std::vector<ChangeCase> changes = {
      {"nothing", base, {true, true, true, true, true}},
      {"G only", Record(fields, {std::string("ab"), int32_t{7}, int32_t{2}, TFieldValue{}}, 5),
       {true, true, true, true, true}},
      {"N", Record(fields, {std::string("ab"), int32_t{8}, int32_t{1}, TFieldValue{}}, 5),
       {true, false, false, true, true}},
      {"N to null", Record(fields, {std::string("ab"), TFieldValue{}, int32_t{1}, TFieldValue{}}, 5),
       {true, false, false, true, true}},
      {"S in case only", Record(fields, {std::string("AB"), int32_t{7}, int32_t{1}, TFieldValue{}}, 5),
       {false, true, false, false, true}},
      {"the unique id", Record(fields, {std::string("ab"), int32_t{7}, int32_t{1}, TFieldValue{}}, 6),
       {true, false, true, true, false}},
  };
  for (size_t i = 0; i < indexes.size(); ++i) {
    const TIndexDefinition& definition = indexes[i].Definition;
    for (const ChangeCase& change : changes) {
      SCOPED_TRACE(std::string(indexes[i].Name) + ", changed: " + change.Name);
      const bool equal = IndexKeySourcesEqual(definition, fields, base.data(), change.Record.data());
      EXPECT_EQ(equal, change.SourcesEqual[i]);
      if (equal) EXPECT_EQ(KeyOf(definition, fields, base), KeyOf(definition, fields, change.Record));
    }
  }
}

TEST(IndexKeyTest, SysDeletedKeyIsTheStatusByteAndTheUniqueId) {
  const auto fields = Fields({Field("N", kFieldTypeInteger)});
  auto record = Record(fields, {int32_t{5}}, 0x01020304);
  record[0] = 1;
  uint8_t key[kSysDeletedKeySize];
  BuildSysDeletedKey(record.data(), key);
  EXPECT_EQ(std::vector<uint8_t>(key, key + 5), (std::vector<uint8_t>{1, 0x81, 0x02, 0x03, 0x04}));
}

TEST(IndexKeyTest, PrepareRefusesBadDefinitions) {
  const auto fields = Fields({Field("N", kFieldTypeInteger), Field("B", kFieldTypeBlob, kSubTypeBinary),
                              Field("M", kFieldTypeBlob, kSubTypeMemo), Field("S", kFieldTypeString, 0, 250),
                              Field("T", kFieldTypeString, 0, 250), Field("U", kFieldTypeString, 0, 20)});
  struct Case {
    const char* Name;
    std::vector<uint16_t> Numbers;
    bool TextIndex;
    uint16_t Code;
  };
  const std::vector<Case> cases = {
      {"field number beyond the fields", {1, 7}, false, RUDIRA_INVALIDIDXDESC},
      {"field number 0", {0}, false, RUDIRA_INVALIDIDXDESC},
      {"BLOB field", {2}, false, RUDIRA_SEARCHCOLREQD},
      {"memo field", {3}, false, RUDIRA_SEARCHCOLREQD},
      {"key of 523 bytes", {4, 5, 6}, false, RUDIRA_INVALIDKEY},
      {"integer in the text index", {1}, true, RUDIRA_SEARCHCOLREQD},
      {"key of 502 bytes", {4, 5}, false, 0},
      {"string and memo in the text index", {4, 3}, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TIndexDefinition d = IndexOn("X", c.Numbers);
    EXPECT_EQ(CodeOf([&] { PrepareIndexDefinition(d, fields, c.TextIndex, "t"); }), c.Code);
  }
  TIndexDefinition tooMany = IndexOn("X", {1});
  tooMany.IndexFieldCount = 17;
  EXPECT_EQ(CodeOf([&] { PrepareIndexDefinition(tooMany, fields, false, "t"); }), RUDIRA_INDEXLIMIT);
}

}  // namespace
}  // namespace rudira
