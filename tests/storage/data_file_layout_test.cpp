// Byte layouts of the data file: header, descriptors, scrambling, BCD and
// extended encodings, and the definition checks before a create.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "storage/bcd.h"
#include "storage/data_header.h"
#include "storage/extended_float.h"
#include "storage/field_definitions.h"
#include "storage/field_descriptor.h"
#include "storage/field_type.h"
#include "storage/scramble.h"
#include "storage/support/storage_test_support.h"

namespace rudira {
namespace {

using storagetest::CodeOf;
using storagetest::Field;

std::vector<TFieldDescriptor> Numbered(std::vector<TFieldDescriptor> fields) {
  for (size_t i = 0; i < fields.size(); ++i) fields[i].FieldNo = static_cast<uint16_t>(i + 1);
  return fields;
}

TEST(DataHeader, FieldsSitAtTheirOffsets) {
  TDataHeader header;
  header.ChangeCount = 0x01020304;
  header.BlobBlockSize = 1024;
  header.FirstFreeRecord = 5;
  header.NextRecordNumber = 9;
  header.LastAutoIncValue = 77;
  header.RecordSize = 0x1234;
  header.FieldCount = 3;
  header.BlobFieldCount = 1;
  header.LastUpdated = 2.5;
  header.Description = "desc";
  header.Encrypted = 1;
  header.Password = "pw";
  header.LanguageId = 0x0409;
  header.SortId = 0;
  header.UserMajorVersion = 2;
  header.UserMinorVersion = 3;
  header.HeaderModified = 1;
  header.LastBlobStamp = 11;
  header.WriterVersion = kDataWriterVersion;
  uint8_t bytes[kDataHeaderSize];
  std::memset(bytes, 0xAA, sizeof bytes);
  header.EncodeTo(bytes);
  EXPECT_EQ(bytes[0], 0x04);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(bytes[5], 0x04);  // 1024 = 0x0400
  EXPECT_EQ(bytes[8], 5);     // FormatVersion
  EXPECT_EQ(bytes[9], 5);
  EXPECT_EQ(bytes[13], 9);
  EXPECT_EQ(bytes[17], 77);
  EXPECT_EQ(bytes[21], 0x34);
  EXPECT_EQ(bytes[22], 0x12);
  EXPECT_EQ(bytes[23], 3);
  EXPECT_EQ(bytes[25], 1);
  double lastUpdated;
  std::memcpy(&lastUpdated, bytes + 27, 8);
  EXPECT_EQ(lastUpdated, 2.5);
  EXPECT_EQ(bytes[35], 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes + 36), 4), "desc");
  EXPECT_EQ(bytes[40], 0);  // unused bytes of the short string are zero
  EXPECT_EQ(bytes[86], 1);
  EXPECT_EQ(bytes[87], 2);
  EXPECT_EQ(bytes[103], 0x09);
  EXPECT_EQ(bytes[104], 0x04);
  EXPECT_EQ(bytes[107], 2);
  EXPECT_EQ(bytes[109], 3);
  EXPECT_EQ(bytes[111], 1);
  EXPECT_EQ(bytes[112], 11);
  EXPECT_EQ(bytes[116], 0xE8);  // 33000 = 0x80E8
  EXPECT_EQ(bytes[117], 0x80);
  for (size_t i = 120; i < kDataHeaderSize; ++i) EXPECT_EQ(bytes[i], 0) << i;

  TDataHeader decoded;
  ASSERT_TRUE(decoded.DecodeFrom(bytes));
  EXPECT_EQ(decoded.ChangeCount, header.ChangeCount);
  EXPECT_EQ(decoded.RecordSize, header.RecordSize);
  EXPECT_EQ(decoded.Description, "desc");
  EXPECT_EQ(decoded.Password, "pw");
  EXPECT_EQ(decoded.LanguageId, 0x0409);
  EXPECT_EQ(decoded.LastBlobStamp, 11);
}

TEST(DataHeader, OverlongShortStringIsRefused) {
  uint8_t bytes[kDataHeaderSize] = {};
  TDataHeader().EncodeTo(bytes);
  bytes[87] = 16;  // password capacity is 15
  TDataHeader decoded;
  EXPECT_FALSE(decoded.DecodeFrom(bytes));
}

TEST(FieldDescriptor, FieldsSitAtTheirOffsetsAndRoundTrip) {
  TFieldDescriptor field = Field("MNB", kFieldTypeString, 0, 20);
  field.FieldNo = 2;
  field.FieldDescription = "number";
  field.Width = 21;
  field.Offset = 0x0109;
  field.Required = 1;
  field.CharCase = kCharCaseUpper;
  field.MinValue = "A";
  field.MaxValue = "Z";
  field.DefaultValue = "M";
  field.Reserved[0] = 0x5C;
  field.Reserved[519] = 0xC5;
  uint8_t bytes[kFieldDescriptorSize];
  field.EncodeTo(bytes);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[2], 3);
  EXPECT_EQ(bytes[3], 'M');
  EXPECT_EQ(bytes[33], 6);
  EXPECT_EQ(bytes[84], kFieldTypeString);
  EXPECT_EQ(bytes[86], 20);
  EXPECT_EQ(bytes[88], 21);
  EXPECT_EQ(bytes[90], 0x09);
  EXPECT_EQ(bytes[91], 0x01);
  EXPECT_EQ(bytes[92], 1);
  EXPECT_EQ(bytes[93], 2);
  EXPECT_EQ(bytes[94], 1);
  EXPECT_EQ(bytes[95], 'A');
  EXPECT_EQ(bytes[146], 'Z');
  EXPECT_EQ(bytes[197], 'M');
  EXPECT_EQ(bytes[248], 0x5C);
  EXPECT_EQ(bytes[767], 0xC5);
  TFieldDescriptor decoded;
  ASSERT_TRUE(decoded.DecodeFrom(bytes));
  EXPECT_EQ(decoded.FieldName, "MNB");
  EXPECT_EQ(decoded.Offset, 0x0109);
  EXPECT_EQ(decoded.DefaultValue, "M");
  EXPECT_EQ(decoded.Reserved, field.Reserved);
}

TEST(Scramble, IsItsOwnInverseAndChangesEveryByte) {
  std::vector<uint8_t> plain(600);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> data = plain;
  Scramble(data.data(), data.size(), kRecordScrambleSeed);
  for (size_t i = 0; i < plain.size(); ++i) EXPECT_NE(data[i], plain[i]) << i;
  // The running state: byte 0 with both seed bytes, byte 1 with low + 1 and high - 1.
  EXPECT_EQ(data[0], plain[0] ^ kRecordScrambleSeed.Low ^ kRecordScrambleSeed.High);
  EXPECT_EQ(data[1], plain[1] ^ static_cast<uint8_t>(kRecordScrambleSeed.Low + 1) ^
                         static_cast<uint8_t>(kRecordScrambleSeed.High - 1));
  Scramble(data.data(), data.size(), kRecordScrambleSeed);
  EXPECT_EQ(data, plain);
  Scramble(data.data(), 0, kRecordScrambleSeed);
  EXPECT_EQ(data, plain);
}

struct BcdCase {
  int64_t fixedPoint;
  uint8_t scale;
  int64_t readBack;
};

TEST(Bcd, LayoutAndRoundTrips) {
  const Bcd value = *BcdFromFixedPoint(-1234500, 2);  // -123.45
  EXPECT_EQ(value.Precision(), 32);
  EXPECT_EQ(value.Bytes[1], 0x80 | 2);
  // 32 digits, the last five 1 2 3 4 5: nibbles 27..31.
  EXPECT_EQ(value.Bytes[2 + 13], 0x01);
  EXPECT_EQ(value.Bytes[2 + 14], 0x23);
  EXPECT_EQ(value.Bytes[2 + 15], 0x45);
  for (int i = 18; i < 34; ++i) EXPECT_EQ(value.Bytes[i], 0) << i;

  const BcdCase cases[] = {
      {0, 0, 0},
      {10000, 0, 10000},
      {-5, 4, -5},
      {15000, 0, 20000},   // 1.5 -> 2 (half to even)
      {25000, 0, 20000},   // 2.5 -> 2
      {12345, 2, 12300},   // 1.2345 -> 1.23
      {12355, 3, 12360},   // 1.2355 -> 1.236
      {INT64_MAX, 4, INT64_MAX},
      {INT64_MIN, 4, INT64_MIN},
      {123456789, 10, 123456789},
  };
  for (const BcdCase& c : cases) {
    const auto bcd = BcdFromFixedPoint(c.fixedPoint, c.scale);
    ASSERT_TRUE(bcd.has_value()) << c.fixedPoint;
    EXPECT_EQ(bcd->Scale(), c.scale);
    EXPECT_EQ(BcdToFixedPoint(*bcd), c.readBack) << c.fixedPoint << " scale " << int(c.scale);
  }
  EXPECT_FALSE(BcdFromFixedPoint(INT64_MAX, 32).has_value());  // 47 digits do not fit 32
  Bcd broken = value;
  broken.Bytes[2] = 0xA0;
  EXPECT_FALSE(BcdToFixedPoint(broken).has_value());
}

TEST(ExtendedFloat, KnownBytesAndRoundTrips) {
  const Extended80 one = EncodeExtended(1.0L);
  const Extended80 expectedOne = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  EXPECT_EQ(one, expectedOne);
  const Extended80 minusTwo = EncodeExtended(-2.0L);
  const Extended80 expectedMinusTwo = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0};
  EXPECT_EQ(minusTwo, expectedMinusTwo);
  for (long double v : {0.0L, 1.0L / 3.0L, -1e300L, 6.02214076e23L, 5e-324L, 123456789.125L}) {
    EXPECT_EQ(DecodeExtended(EncodeExtended(v)), v);
  }
  EXPECT_TRUE(std::isinf(DecodeExtended(EncodeExtended(-std::numeric_limits<long double>::infinity()))));
  EXPECT_TRUE(std::isnan(DecodeExtended(EncodeExtended(std::numeric_limits<long double>::quiet_NaN()))));
}

TEST(FieldDefinitions, AutoIncAndIntegerMakeFourteenBytes) {
  auto fields = Numbered({Field("ID", kFieldTypeInteger, kSubTypeAutoInc), Field("N", kFieldTypeInteger)});
  const RecordLayoutSummary summary = PrepareFieldDefinitions(fields, "", "t");
  EXPECT_EQ(summary.RecordSize, 14u);
  EXPECT_EQ(fields[0].Offset, 5);
  EXPECT_EQ(fields[1].Offset, 9);
  EXPECT_EQ(fields[1].Width, 4);
  EXPECT_TRUE(ValidateFieldDescriptors(fields, 14, 0));
  EXPECT_FALSE(ValidateFieldDescriptors(fields, 15, 0));
}

TEST(FieldDefinitions, WidthsAndOffsetsOfEveryType) {
  auto fields = Numbered({Field("S", kFieldTypeString, 0, 10), Field("D", kFieldTypeDate),
                          Field("B", kFieldTypeBlob, kSubTypeMemo), Field("L", kFieldTypeBoolean),
                          Field("I", kFieldTypeSmallInt), Field("N", kFieldTypeInteger),
                          Field("F", kFieldTypeFloat), Field("C", kFieldTypeBcd), Field("Y", kFieldTypeBytes, 0, 7),
                          Field("T", kFieldTypeTime), Field("TS", kFieldTypeTimestamp), Field("W", kFieldTypeWord),
                          Field("U", kFieldTypeCardinal), Field("E", kFieldTypeExtended),
                          Field("V", kFieldTypeVarBytes, 0, 3), Field("G", kFieldTypeLargeInt)});
  const uint8_t widths[] = {11, 4, 8, 2, 2, 4, 8, 34, 7, 4, 8, 2, 4, 10, 3, 8};
  const RecordLayoutSummary summary = PrepareFieldDefinitions(fields, "", "t");
  uint32_t offset = 9;
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i].Width, widths[i]) << fields[i].FieldName;
    EXPECT_EQ(fields[i].Offset, offset) << fields[i].FieldName;
    offset += widths[i] + 1u;
  }
  EXPECT_EQ(summary.RecordSize, offset);
  EXPECT_EQ(summary.BlobFieldCount, 1);
}

TEST(FieldDefinitions, RecordOfExactly65536BytesIsRefused) {
  // 9 + 260 × 252 (CHAR(250): 251 + 1) = 65529; a BYTES(6) field (7 more) makes 65536.
  std::vector<TFieldDescriptor> fields;
  for (int i = 0; i < 260; ++i) fields.push_back(Field("F" + std::to_string(i), kFieldTypeString, 0, 250));
  fields.push_back(Field("LAST", kFieldTypeBytes, 0, 6));
  fields = Numbered(fields);
  EXPECT_EQ(CodeOf([&] { PrepareFieldDefinitions(fields, "", "t"); }), RUDIRA_RECTOOBIG);
  fields.back().Size = 5;  // 65535 is still allowed
  EXPECT_EQ(PrepareFieldDefinitions(fields, "", "t").RecordSize, 65535u);
}

TEST(FieldDefinitions, MoreThan128BlobFieldsAreRefused) {
  std::vector<TFieldDescriptor> fields;
  for (int i = 0; i < 129; ++i) fields.push_back(Field("B" + std::to_string(i), kFieldTypeBlob));
  fields = Numbered(fields);
  EXPECT_EQ(CodeOf([&] { PrepareFieldDefinitions(fields, "", "t"); }), RUDIRA_BLOBLIMIT);
  fields.pop_back();
  EXPECT_EQ(PrepareFieldDefinitions(fields, "", "t").BlobFieldCount, 128);
}

struct DefinitionFault {
  const char* name;
  std::function<void(std::vector<TFieldDescriptor>&)> spoil;
  uint16_t code;
};

TEST(FieldDefinitions, FaultsAreRefusedWithTheirCodes) {
  const DefinitionFault faults[] = {
      {"duplicate number", [](auto& f) { f[1].FieldNo = 1; }, RUDIRA_INVALIDFLDTYPE},
      {"unknown type", [](auto& f) { f[1].FieldType = 16; }, RUDIRA_INVALIDFLDTYPE},
      {"bad sub-type", [](auto& f) { f[1].SubType = kSubTypeMemo; }, RUDIRA_INVALIDFLDTYPE},
      {"string without size", [](auto& f) { f[0].Size = 0; }, RUDIRA_INVALIDFLDTYPE},
      {"string size 251", [](auto& f) { f[0].Size = 251; }, RUDIRA_INVALIDFLDTYPE},
      {"char case 3", [](auto& f) { f[0].CharCase = 3; }, RUDIRA_INVALIDFLDTYPE},
      {"duplicate name", [](auto& f) { f[1].FieldName = "name"; }, RUDIRA_INVALIDFIELDNAME},
      {"empty name", [](auto& f) { f[1].FieldName = ""; }, RUDIRA_INVALIDFIELDNAME},
      {"digit first", [](auto& f) { f[1].FieldName = "1X"; }, RUDIRA_INVALIDFIELDNAME},
      {"31 bytes", [](auto& f) { f[1].FieldName = std::string(31, 'x'); }, RUDIRA_INVALIDFIELDNAME},
      {"bad default", [](auto& f) { f[1].DefaultValue = "12x"; }, RUDIRA_INVALIDVCHKSTRUCT},
      {"bad date min", [](auto& f) { f[2].MinValue = "2024-02-30"; }, RUDIRA_INVALIDVCHKSTRUCT},
      {"bad boolean", [](auto& f) { f[3].DefaultValue = "yes"; }, RUDIRA_INVALIDVCHKSTRUCT},
      {"smallint overflow", [](auto& f) { f[4].MaxValue = "40000"; }, RUDIRA_INVALIDVCHKSTRUCT},
  };
  for (const DefinitionFault& fault : faults) {
    auto fields = Numbered({Field("Name", kFieldTypeString, 0, 10), Field("N", kFieldTypeInteger),
                            Field("D", kFieldTypeDate), Field("L", kFieldTypeBoolean),
                            Field("S", kFieldTypeSmallInt)});
    fault.spoil(fields);
    EXPECT_EQ(CodeOf([&] { PrepareFieldDefinitions(fields, "", "t"); }), fault.code) << fault.name;
  }
}

TEST(FieldDefinitions, ValidChecksAndNamesAreAccepted) {
  auto fields = Numbered({Field("_x", kFieldTypeString, 0, 10), Field("番号", kFieldTypeInteger),
                          Field("D", kFieldTypeDate), Field("L", kFieldTypeBoolean),
                          Field("TS", kFieldTypeTimestamp), Field("T", kFieldTypeTime), Field("F", kFieldTypeFloat)});
  fields[1].MinValue = "-5";
  fields[1].MaxValue = "+2147483647";
  fields[2].DefaultValue = "current_date";
  fields[2].MinValue = "2024-02-29";
  fields[3].DefaultValue = "true";
  fields[4].DefaultValue = "2024-01-02 12:30:05.5";
  fields[5].MinValue = "12:30 PM";
  fields[6].DefaultValue = "1.5e3";
  fields[0].Size = 10;
  fields[1].Size = 9;  // a size on a type without one is dropped
  const RecordLayoutSummary summary = PrepareFieldDefinitions(fields, "", "t");
  EXPECT_EQ(fields[1].Size, 0);
  EXPECT_TRUE(ValidateFieldDescriptors(fields, static_cast<uint16_t>(summary.RecordSize), 0));
}

TEST(FieldDefinitions, TooManyOrNoFieldsAreRefused) {
  std::vector<TFieldDescriptor> none;
  EXPECT_EQ(CodeOf([&] { PrepareFieldDefinitions(none, "", "t"); }), RUDIRA_FLDLIMIT);
  std::vector<TFieldDescriptor> many;
  for (int i = 0; i < 1025; ++i) many.push_back(Field("F" + std::to_string(i), kFieldTypeBoolean));
  many = Numbered(many);
  EXPECT_EQ(CodeOf([&] { PrepareFieldDefinitions(many, "", "t"); }), RUDIRA_FLDLIMIT);
}

}  // namespace
}  // namespace rudira
