#include "engine/value_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/calendar.h"
#include "storage/bcd.h"
#include "storage/byte_codec.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

// A value in its stored form with its type and declared size.
struct Stored {
  uint8_t type = 0;
  uint8_t size = 0;
  std::vector<uint8_t> bytes;
};

Stored Text(const std::string& text, uint8_t size = 0) {
  if (size == 0) size = static_cast<uint8_t>(text.size());
  Stored s{kFieldTypeString, size, std::vector<uint8_t>(size + 1, 0)};
  std::memcpy(s.bytes.data(), text.data(), std::min<size_t>(text.size(), size));
  return s;
}
template <typename T>
Stored Int(uint8_t type, T value) {
  Stored s{type, 0, std::vector<uint8_t>(sizeof(T))};
  StoreLE<T>(s.bytes.data(), value);
  return s;
}
Stored Real(uint8_t type, double value) {
  Stored s{type, 0, std::vector<uint8_t>(8)};
  StoreDoubleLE(s.bytes.data(), value);
  return s;
}
Stored Fixed(int64_t fixedPoint, uint8_t scale) {
  const Bcd bcd = *BcdFromFixedPoint(fixedPoint, scale);
  return Stored{kFieldTypeBcd, 0, std::vector<uint8_t>(bcd.Bytes.begin(), bcd.Bytes.end())};
}
Stored Raw(uint8_t type, std::vector<uint8_t> bytes) {
  const uint8_t size = static_cast<uint8_t>(bytes.size());
  return Stored{type, size, std::move(bytes)};
}

struct Target {
  uint8_t type;
  uint8_t size = 0;
  uint8_t scale = 0;
};

struct Case {
  std::string name;
  Stored source;
  Target target;
  bool converts;
  Stored expected;  // ignored when the conversion fails
};

int32_t Day(int y, int m, int d) { return *EncodeDate(y, m, d); }
int32_t Ms(int h, int m, int s, int ms) { return *EncodeTime(h, m, s, ms); }

TEST(ValueConversionTest, ConversionTable) {
  const double stamp = EncodeTimestamp(Day(2024, 3, 5), Ms(13, 5, 7, 5));
  const Case cases[] = {
      // strings
      {"text to INTEGER", Text("123"), {kFieldTypeInteger}, true, Int<int32_t>(kFieldTypeInteger, 123)},
      {"blank-padded text to SMALLINT", Text(" -7 "), {kFieldTypeSmallInt}, true, Int<int16_t>(kFieldTypeSmallInt, -7)},
      {"text to SMALLINT keeps the low 16 bits", Text("70000"), {kFieldTypeSmallInt}, true,
       Int<int16_t>(kFieldTypeSmallInt, 4464)},
      {"text to WORD", Text("65535"), {kFieldTypeWord}, true, Int<uint16_t>(kFieldTypeWord, 65535)},
      {"12x to INTEGER", Text("12x"), {kFieldTypeInteger}, false, {}},
      {"text beyond 32 bits to INTEGER", Text("4294967296"), {kFieldTypeInteger}, false, {}},
      {"text to LARGEINT", Text("4294967296"), {kFieldTypeLargeInt}, true, Int<int64_t>(kFieldTypeLargeInt, 4294967296LL)},
      {"text to FLOAT", Text("2.5e1"), {kFieldTypeFloat}, true, Real(kFieldTypeFloat, 25.0)},
      {"text to BCD", Text("1.255"), {kFieldTypeBcd, 0, 2}, true, Fixed(12600, 2)},
      {"text to DATE", Text("2024-03-05"), {kFieldTypeDate}, true, Int<int32_t>(kFieldTypeDate, Day(2024, 3, 5))},
      {"impossible date", Text("2024-02-30"), {kFieldTypeDate}, false, {}},
      {"text to TIME", Text("1:05:07.5 pm"), {kFieldTypeTime}, true, Int<int32_t>(kFieldTypeTime, Ms(13, 5, 7, 5))},
      {"text to TIMESTAMP", Text("2024-03-05 13:05:07.5"), {kFieldTypeTimestamp}, true, Real(kFieldTypeTimestamp, stamp)},
      {"text to BOOLEAN", Text("true"), {kFieldTypeBoolean}, true, Int<uint16_t>(kFieldTypeBoolean, 1)},
      {"yes to BOOLEAN", Text("yes"), {kFieldTypeBoolean}, false, {}},
      {"text cut to the target size", Text("abcdef"), {kFieldTypeString, 3}, true, Text("abc")},
      {"cut never splits a character", Text("日本"), {kFieldTypeString, 4}, true, Text("日", 4)},
      // numbers
      {"INTEGER to SMALLINT", Int<int32_t>(kFieldTypeInteger, 65541), {kFieldTypeSmallInt}, true,
       Int<int16_t>(kFieldTypeSmallInt, 5)},
      {"INTEGER to text", Int<int32_t>(kFieldTypeInteger, -42), {kFieldTypeString, 10}, true, Text("-42", 10)},
      {"INTEGER to BOOLEAN fails", Int<int32_t>(kFieldTypeInteger, 1), {kFieldTypeBoolean}, false, {}},
      {"INTEGER to BCD", Int<int32_t>(kFieldTypeInteger, 7), {kFieldTypeBcd, 0, 1}, true, Fixed(70000, 1)},
      {"SMALLINT to BOOLEAN", Int<int16_t>(kFieldTypeSmallInt, 2), {kFieldTypeBoolean}, true,
       Int<uint16_t>(kFieldTypeBoolean, 1)},
      {"SMALLINT -1 to WORD", Int<int16_t>(kFieldTypeSmallInt, -1), {kFieldTypeWord}, true,
       Int<uint16_t>(kFieldTypeWord, 65535)},
      {"SMALLINT -1 to LARGEINT", Int<int16_t>(kFieldTypeSmallInt, -1), {kFieldTypeLargeInt}, true,
       Int<int64_t>(kFieldTypeLargeInt, -1)},
      {"WORD to INTEGER zero-extends", Int<uint16_t>(kFieldTypeWord, 65535), {kFieldTypeInteger}, true,
       Int<int32_t>(kFieldTypeInteger, 65535)},
      {"WORD 0 to BOOLEAN", Int<uint16_t>(kFieldTypeWord, 0), {kFieldTypeBoolean}, true,
       Int<uint16_t>(kFieldTypeBoolean, 0)},
      {"FLOAT 2.9 to INTEGER", Real(kFieldTypeFloat, 2.9), {kFieldTypeInteger}, true, Int<int32_t>(kFieldTypeInteger, 2)},
      {"FLOAT -2.9 to INTEGER", Real(kFieldTypeFloat, -2.9), {kFieldTypeInteger}, true,
       Int<int32_t>(kFieldTypeInteger, -2)},
      {"FLOAT to INTEGER keeps the low 32 bits", Real(kFieldTypeFloat, 1e10), {kFieldTypeInteger}, true,
       Int<int32_t>(kFieldTypeInteger, 1410065408)},
      {"FLOAT beyond 64 bits to LARGEINT", Real(kFieldTypeFloat, 1e30), {kFieldTypeLargeInt}, false, {}},
      {"FLOAT to BCD rounds ties to even", Real(kFieldTypeFloat, 0.00125), {kFieldTypeBcd, 0, 4}, true, Fixed(12, 4)},
      {"FLOAT to text", Real(kFieldTypeFloat, 0.1), {kFieldTypeString, 20}, true, Text("0.1", 20)},
      {"FLOAT to BOOLEAN fails", Real(kFieldTypeFloat, 1), {kFieldTypeBoolean}, false, {}},
      {"BCD to INTEGER truncates", Fixed(-123400, 2), {kFieldTypeInteger}, true, Int<int32_t>(kFieldTypeInteger, -12)},
      {"BCD to FLOAT", Fixed(123400, 2), {kFieldTypeFloat}, true, Real(kFieldTypeFloat, 12.34)},
      {"BCD to text", Fixed(125000, 2), {kFieldTypeString, 10}, true, Text("12.5", 10)},
      {"BCD to BCD is left unchanged", Fixed(12345, 4), {kFieldTypeBcd, 0, 2}, true, Fixed(12345, 4)},
      {"LARGEINT to INTEGER", Int<int64_t>(kFieldTypeLargeInt, (1LL << 40) + 7), {kFieldTypeInteger}, true,
       Int<int32_t>(kFieldTypeInteger, 7)},
      {"LARGEINT beyond the fixed-point range to BCD", Int<int64_t>(kFieldTypeLargeInt, INT64_MAX), {kFieldTypeBcd}, false,
       {}},
      {"BOOLEAN to text", Int<uint16_t>(kFieldTypeBoolean, 1), {kFieldTypeString, 5}, true, Text("True", 5)},
      {"BOOLEAN to LARGEINT", Int<uint16_t>(kFieldTypeBoolean, 1), {kFieldTypeLargeInt}, true,
       Int<int64_t>(kFieldTypeLargeInt, 1)},
      {"BOOLEAN to BCD", Int<uint16_t>(kFieldTypeBoolean, 1), {kFieldTypeBcd}, true, Fixed(10000, 0)},
      {"BOOLEAN to FLOAT fails", Int<uint16_t>(kFieldTypeBoolean, 1), {kFieldTypeFloat}, false, {}},
      // dates and times
      {"DATE to TIMESTAMP", Int<int32_t>(kFieldTypeDate, Day(2024, 3, 5)), {kFieldTypeTimestamp}, true,
       Real(kFieldTypeTimestamp, EncodeTimestamp(Day(2024, 3, 5), 0))},
      {"DATE to text", Int<int32_t>(kFieldTypeDate, Day(24, 3, 5)), {kFieldTypeString, 10}, true, Text("0024-03-05", 10)},
      {"DATE to INTEGER fails", Int<int32_t>(kFieldTypeDate, 5), {kFieldTypeInteger}, false, {}},
      {"TIMESTAMP to DATE", Real(kFieldTypeTimestamp, stamp), {kFieldTypeDate}, true,
       Int<int32_t>(kFieldTypeDate, Day(2024, 3, 5))},
      {"TIMESTAMP to TIME", Real(kFieldTypeTimestamp, stamp), {kFieldTypeTime}, true,
       Int<int32_t>(kFieldTypeTime, Ms(13, 5, 7, 5))},
      {"TIMESTAMP to text", Real(kFieldTypeTimestamp, stamp), {kFieldTypeString, 30}, true,
       Text("2024-03-05 13:05:07.5", 30)},
      {"TIME to TIMESTAMP", Int<int32_t>(kFieldTypeTime, Ms(9, 0, 0, 0)), {kFieldTypeTimestamp}, true,
       Real(kFieldTypeTimestamp, EncodeTimestamp(kTimeBaseDay, Ms(9, 0, 0, 0)))},
      {"TIME to text", Int<int32_t>(kFieldTypeTime, Ms(9, 0, 0, 0)), {kFieldTypeString, 10}, true, Text("09:00", 10)},
      // bytes and pass-through
      {"bytes to INTEGER", Raw(kFieldTypeBytes, {1, 2, 3, 4, 5}), {kFieldTypeInteger}, true,
       Raw(kFieldTypeInteger, {1, 2, 3, 4})},
      {"bytes to smaller bytes", Raw(kFieldTypeVarBytes, {1, 2, 3}), {kFieldTypeBytes, 2}, true,
       Raw(kFieldTypeBytes, {1, 2})},
      {"bytes to BLOB fails", Raw(kFieldTypeBytes, {1, 2}), {kFieldTypeBlob}, false, {}},
      {"INTEGER to bytes", Int<int32_t>(kFieldTypeInteger, 0x04030201), {kFieldTypeBytes, 2}, true,
       Raw(kFieldTypeBytes, {1, 2})},
      {"BLOB passes through", Raw(kFieldTypeBlob, {9, 0, 0, 0, 1, 0, 0, 0}), {kFieldTypeInteger}, true,
       Raw(kFieldTypeInteger, {9, 0, 0, 0})},
      {"same type unchanged", Int<int32_t>(kFieldTypeTime, 77), {kFieldTypeTime}, true, Int<int32_t>(kFieldTypeTime, 77)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> source = c.source.bytes;
    source.resize(FieldDataWidth(c.source.type, c.source.size), 0);
    std::vector<uint8_t> target(FieldDataWidth(c.target.type, c.target.size), 0xAA);
    const bool converted = ConvertFieldValue(c.source.type, c.source.size, source.data(), c.target.type,
                                             c.target.size, c.target.scale, target.data());
    EXPECT_EQ(converted, c.converts);
    if (!c.converts) {
      EXPECT_EQ(target, std::vector<uint8_t>(target.size(), 0));
      continue;
    }
    std::vector<uint8_t> expected = c.expected.bytes;
    expected.resize(target.size(), 0);
    EXPECT_EQ(target, expected);
  }
}

}  // namespace
}  // namespace rudira
