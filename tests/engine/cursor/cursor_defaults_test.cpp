// TDataCursor: blank records with default values per field type, and the
// required, minimum and maximum checks of append and modify.
#include "engine/cursor/cursor_fixture.h"

#include <ctime>

#include "engine/calendar.h"
#include "engine/error_codes.h"
#include "engine/value_text.h"

namespace rudira::cursortest {
namespace {

class CursorDefaultsTest : public CursorTest {};

int32_t Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return *EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

TEST_F(CursorDefaultsTest, DefaultsOfEveryKindFillABlankRecord) {
  CreateTable("d",
              {FieldSpec("S", kFieldTypeString, 8).WithDefault("abc"),
               FieldSpec("D", kFieldTypeDate).WithDefault("current_date"),
               FieldSpec("D2", kFieldTypeDate).WithDefault("2024-02-29"),
               FieldSpec("T", kFieldTypeTime).WithDefault("13:45:10.5"),
               FieldSpec("TS", kFieldTypeTimestamp).WithDefault("CURRENT_DATE"),
               FieldSpec("B", kFieldTypeBoolean).WithDefault("true"),
               FieldSpec("I16", kFieldTypeSmallInt).WithDefault("-12"),
               FieldSpec("W", kFieldTypeWord).WithDefault("65535"),
               FieldSpec("I32", kFieldTypeInteger).WithDefault("123456"),
               FieldSpec("I64", kFieldTypeLargeInt).WithDefault("-9000000000"),
               FieldSpec("F", kFieldTypeFloat).WithDefault("2.5"),
               FieldSpec("N", kFieldTypeBcd).WithScale(2).WithDefault("12.25"),
               FieldSpec("X", kFieldTypeInteger)},
              IndexSpec("", {}));
  // A day change between the two calls would make the test compare two
  // different days; take the day on both sides of the record's making.
  const int32_t before = Today();
  auto cursor = Open("d");
  const std::vector<uint8_t> record = Blank(*cursor);
  const int32_t after = Today();

  EXPECT_EQ(Get(*cursor, record, "S"), TFieldValue(std::string("abc")));
  const int32_t day = std::get<int32_t>(Get(*cursor, record, "D"));
  EXPECT_TRUE(day == before || day == after) << day;
  EXPECT_EQ(Get(*cursor, record, "D2"), TFieldValue(TextToDate("2024-02-29")));
  EXPECT_EQ(Get(*cursor, record, "T"), TFieldValue(TextToTime("13:45:10.5")));
  const double stamp = std::get<double>(Get(*cursor, record, "TS"));
  EXPECT_TRUE(stamp == EncodeTimestamp(before, 0) || stamp == EncodeTimestamp(after, 0));
  EXPECT_EQ(Get(*cursor, record, "B"), TFieldValue(true));
  EXPECT_EQ(Get(*cursor, record, "I16"), TFieldValue(int16_t{-12}));
  EXPECT_EQ(Get(*cursor, record, "W"), TFieldValue(uint16_t{65535}));
  EXPECT_EQ(Get(*cursor, record, "I32"), TFieldValue(int32_t{123456}));
  EXPECT_EQ(Get(*cursor, record, "I64"), TFieldValue(int64_t{-9000000000}));
  EXPECT_EQ(Get(*cursor, record, "F"), TFieldValue(2.5));
  EXPECT_EQ(BcdToFixedPoint(std::get<Bcd>(Get(*cursor, record, "N"))), 122500);
  EXPECT_EQ(Get(*cursor, record, "X"), TFieldValue(std::monostate{}));
}

TEST_F(CursorDefaultsTest, RequiredFieldIsSatisfiedByItsDefault) {
  CreateTable("r",
              {FieldSpec("ID", kFieldTypeInteger), FieldSpec("CODE", kFieldTypeString, 4).MakeRequired().WithDefault("X")},
              IndexSpec("", {1}));
  auto cursor = Open("r");
  std::vector<uint8_t> record = Blank(*cursor);
  Set(*cursor, record, "ID", 1);
  cursor->AppendRecord(record.data());
  EXPECT_EQ(TextOf(*cursor, Current(*cursor), "CODE"), "X");
}

TEST_F(CursorDefaultsTest, ChecksRaiseWithTheFieldNameAndWriteNothing) {
  CreateTable("c",
              {FieldSpec("ID", kFieldTypeInteger), FieldSpec("NAME", kFieldTypeString, 10).MakeRequired(),
               FieldSpec("AGE", kFieldTypeSmallInt).WithMin("0").WithMax("150"),
               FieldSpec("BORN", kFieldTypeDate).WithMin("1900-01-01")},
              IndexSpec("", {1}));
  auto cursor = Open("c");
  struct Case {
    const char* What;
    TFieldValue Name;
    TFieldValue Age;
    TFieldValue Born;
    uint16_t Code;
    const char* Field;
  };
  const Case cases[] = {
      {"all good", std::string("A"), int16_t{150}, TextToDate("1900-01-01"), 0, ""},
      {"required null", std::monostate{}, int16_t{1}, std::monostate{}, RUDIRA_REQDERR, "NAME"},
      {"below minimum", std::string("A"), int16_t{-1}, std::monostate{}, RUDIRA_MINVALERR, "AGE"},
      {"above maximum", std::string("A"), int16_t{151}, std::monostate{}, RUDIRA_MAXVALERR, "AGE"},
      {"date below minimum", std::string("A"), std::monostate{}, TextToDate("1899-12-31"), RUDIRA_MINVALERR, "BORN"},
      {"first failing field wins", std::monostate{}, int16_t{-5}, std::monostate{}, RUDIRA_REQDERR, "NAME"},
  };
  int32_t id = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    std::vector<uint8_t> record = Blank(*cursor);
    Set(*cursor, record, "ID", ++id);
    Set(*cursor, record, "NAME", c.Name);
    Set(*cursor, record, "AGE", c.Age);
    Set(*cursor, record, "BORN", c.Born);
    const int32_t countBefore = cursor->GetRecordCount();
    try {
      cursor->AppendRecord(record.data());
      EXPECT_EQ(c.Code, 0);
      EXPECT_EQ(cursor->GetRecordCount(), countBefore + 1);
    } catch (const ERUDIRAEngineError& error) {
      EXPECT_EQ(error.ErrorCode(), c.Code);
      EXPECT_EQ(error.ErrorFieldName(), c.Field);
      EXPECT_EQ(error.ErrorTableName(), "c");
      EXPECT_EQ(cursor->GetRecordCount(), countBefore);
    }
  }
  // Modify checks the same way.
  std::vector<uint8_t> record = GoTo(*cursor, 1);
  ASSERT_EQ(cursor->GetCurrentRecord(record.data(), true), 0);
  Set(*cursor, record, "AGE", int16_t{200});
  EXPECT_EQ(CodeOf([&] { cursor->ModifyRecord(record.data()); }), RUDIRA_MAXVALERR);
  cursor->CancelRecord();
  EXPECT_EQ(Get(*cursor, GoTo(*cursor, 1), "AGE"), TFieldValue(int16_t{150}));
}

}  // namespace
}  // namespace rudira::cursortest
