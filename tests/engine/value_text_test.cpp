#include "engine/value_text.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/calendar.h"

namespace rudira {
namespace {

int32_t Day(int y, int m, int d) { return EncodeDate(y, m, d).value(); }
int32_t Ms(int h, int m, int s, int ms) { return EncodeTime(h, m, s, ms).value(); }

// The message of the EConvertError a read raises, or "" when none.
template <typename Read>
std::string ConvertError(Read read) {
  try {
    read();
  } catch (const EConvertError& e) {
    return e.what();
  }
  return "";
}

TEST(ValueTextTest, Dates) {
  EXPECT_EQ(DateToText(Day(2024, 3, 1)), "2024-03-01");
  EXPECT_EQ(DateToText(Day(7, 12, 25)), "0007-12-25");
  EXPECT_EQ(TextToDate("2024-03-01"), Day(2024, 3, 1));
  EXPECT_EQ(TextToDate("2024-3-1"), Day(2024, 3, 1));
  EXPECT_EQ(TextToDate(" 1999-12-31 "), Day(1999, 12, 31));
  const char* bad[] = {"2024-02-30", "2023-02-29", "2024-13-01", "2024/03/01", "2024-03",
                       "",           "-03-01",     "2024-03-x1", "2024--01",   "0-01-01"};
  for (const char* text : bad) {
    EXPECT_EQ(ConvertError([&] { TextToDate(text); }),
              "'" + std::string(text) + "' is not a valid date");
  }
}

TEST(ValueTextTest, TimesWritten) {
  struct Case {
    int32_t ms;
    const char* h24;
    const char* h12;
  };
  const Case cases[] = {
      {Ms(9, 0, 0, 0), "09:00", "09:00 AM"},
      {Ms(13, 5, 7, 5), "13:05:07.5", "01:05:07.5 PM"},
      {Ms(0, 30, 0, 0), "00:30", "12:30 AM"},
      {Ms(12, 30, 0, 0), "12:30", "12:30 PM"},
      {Ms(23, 59, 59, 999), "23:59:59.999", "11:59:59.999 PM"},
      {Ms(8, 0, 1, 0), "08:00:01", "08:00:01 AM"},
      {Ms(10, 0, 0, 250), "10:00:00.250", "10:00:00.250 AM"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TimeToText(c.ms, true), c.h24);
    EXPECT_EQ(TimeToText(c.ms, false), c.h12);
    EXPECT_EQ(TextToTime(c.h24), c.ms) << c.h24;
    EXPECT_EQ(TextToTime(c.h12), c.ms) << c.h12;
  }
}

TEST(ValueTextTest, TimesRead) {
  struct Case {
    const char* text;
    int32_t ms;
  };
  const Case cases[] = {
      {"12:30 AM", Ms(0, 30, 0, 0)},   {"12:30 PM", Ms(12, 30, 0, 0)},
      {"1:05:07.5 pm", Ms(13, 5, 7, 5)}, {"1:05 am", Ms(1, 5, 0, 0)},
      {"  7:15  ", Ms(7, 15, 0, 0)},   {"23:00:00.0", Ms(23, 0, 0, 0)},
      {"PM 3:00", Ms(15, 0, 0, 0)},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToTime(c.text), c.ms) << c.text;
  const char* bad[] = {"24:00", "12:60", "1:00:60", "13:00 PM", "1:00:00.1000", "noon",
                       "10",    "10:",   ":10",     "1:00:00.", "1.5:00",       ""};
  for (const char* text : bad) {
    EXPECT_EQ(ConvertError([&] { TextToTime(text); }),
              "'" + std::string(text) + "' is not a valid time");
  }
}

TEST(ValueTextTest, Timestamps) {
  double ts = EncodeTimestamp(Day(2024, 3, 1), Ms(13, 5, 7, 5));
  EXPECT_EQ(TimestampToText(ts), "2024-03-01 13:05:07.5");
  EXPECT_EQ(TimestampToText(ts, false), "2024-03-01 01:05:07.5 PM");
  EXPECT_EQ(TextToTimestamp("2024-03-01 13:05:07.5"), ts);
  EXPECT_EQ(TextToTimestamp("2024-03-01 1:05:07.5 PM"), ts);
  EXPECT_EQ(TextToTimestamp("2024-03-01"), EncodeTimestamp(Day(2024, 3, 1), 0));
  EXPECT_EQ(TextToTimestamp("13:05"), EncodeTimestamp(0, Ms(13, 5, 0, 0)));
  EXPECT_EQ(TextToTimestamp("12:30 PM"), EncodeTimestamp(0, Ms(12, 30, 0, 0)));
  const char* bad[] = {"2024-02-30 10:00", "2024-03-01 25:00", "yesterday", "2024-03-01 x"};
  for (const char* text : bad) {
    EXPECT_EQ(ConvertError([&] { TextToTimestamp(text); }),
              "'" + std::string(text) + "' is not a valid date and time");
  }
}

TEST(ValueTextTest, Booleans) {
  EXPECT_EQ(BooleanToText(true), "True");
  EXPECT_EQ(BooleanToText(false), "False");
  EXPECT_TRUE(TextToBoolean("TRUE"));
  EXPECT_TRUE(TextToBoolean("true"));
  EXPECT_TRUE(TextToBoolean("True"));
  EXPECT_FALSE(TextToBoolean("fAlSe"));
  for (const char* text : {"yes", "1", "", "TRUEX", " true"}) {
    EXPECT_EQ(ConvertError([&] { TextToBoolean(text); }),
              "'" + std::string(text) + "' is not a valid boolean");
  }
}

TEST(ValueTextTest, Floats) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "0"},          {1.5, "1.5"},           {-2.25, "-2.25"},
      {0.1, "0.1"},        {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},      {1.5e-7, "1.5E-7"},     {0.0001, "0.0001"},
      {1e-5, "1E-5"},      {100.0, "100"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FloatToText(c.value), c.text);
    EXPECT_DOUBLE_EQ(TextToFloat(c.text), c.value) << c.text;
  }
  // 15 significant digits: the written form is cut, not exact.
  EXPECT_EQ(FloatToText(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToText(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(TextToFloat(" 2.5 "), 2.5);
  EXPECT_EQ(TextToFloat("+3"), 3.0);
  for (const char* text : {"2,5", "abc", "", "1.2.3", "inf", "nan", "1e999"}) {
    EXPECT_EQ(ConvertError([&] { TextToFloat(text); }),
              "'" + std::string(text) + "' is not a valid floating point value");
  }
}

TEST(ValueTextTest, BCD) {
  struct Case {
    const char* text;
    int64_t fixed;
  };
  const Case cases[] = {
      {"0", 0},           {"12.5", 125000},        {"-12.5", -125000},
      {"0.0001", 1},      {".5", 5000},            {"3.", 30000},
      {"1.23455", 12346}, {"1.23445", 12344},      {"1.234450001", 12345},  // ties to even
      {"-1.23455", -12346}, {"1.5E2", 1500000},    {"922337203685477.5807", INT64_MAX},
      {"-922337203685477.5808", INT64_MIN},        {"000001", 10000},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToBCD(c.text), c.fixed) << c.text;
  for (const char* text : {"abc", "", "1,5", "922337203685477.5808", "1e300", ".", "--1", "1.2.3"}) {
    EXPECT_EQ(ConvertError([&] { TextToBCD(text); }),
              "'" + std::string(text) + "' is not a valid BCD value");
  }
  EXPECT_EQ(BCDToText(125000), "12.5");
  EXPECT_EQ(BCDToText(30000), "3");
  EXPECT_EQ(BCDToText(-5), "-0.0005");
  EXPECT_EQ(BCDToText(INT64_MIN), "-922337203685477.5808");
}

}  // namespace
}  // namespace rudira
