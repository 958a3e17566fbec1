#include "engine/calendar.h"

#include <gtest/gtest.h>

namespace rudira {
namespace {

int32_t Day(int y, int m, int d) {
  std::optional<int32_t> day = EncodeDate(y, m, d);
  EXPECT_TRUE(day.has_value()) << y << "-" << m << "-" << d;
  return day.value_or(0);
}

TEST(CalendarTest, DayNumbers) {
  struct Case {
    int y, m, d;
    int32_t day;
  };
  const Case cases[] = {
      {1, 1, 1, 1},          {1, 12, 31, 365},     {2, 1, 1, 366},
      {1899, 12, 30, 693594}, {1970, 1, 1, 719163}, {2000, 2, 29, 730179},
      {2000, 3, 1, 730180},   {9999, 12, 31, 3652059},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Day(c.y, c.m, c.d), c.day);
    EXPECT_EQ(DecodeDate(c.day), (CalendarDate{c.y, c.m, c.d}));
  }
  // Every day of a few centuries decodes back to itself.
  for (int32_t day = Day(1896, 1, 1); day <= Day(2104, 12, 31); ++day) {
    CalendarDate date = DecodeDate(day);
    ASSERT_EQ(EncodeDate(date.Year, date.Month, date.Day), day);
  }
}

TEST(CalendarTest, ImpossibleDates) {
  const int cases[][3] = {{2024, 2, 30}, {2023, 2, 29}, {1900, 2, 29}, {2024, 13, 1},
                          {2024, 0, 1},  {2024, 4, 31}, {0, 1, 1},     {10000, 1, 1},
                          {2024, 1, 0}};
  for (const auto& c : cases) {
    EXPECT_FALSE(EncodeDate(c[0], c[1], c[2]).has_value()) << c[0] << "-" << c[1] << "-" << c[2];
  }
  EXPECT_TRUE(EncodeDate(2024, 2, 29).has_value());
  EXPECT_TRUE(EncodeDate(2000, 2, 29).has_value());
}

TEST(CalendarTest, TimesAndTimestamps) {
  EXPECT_EQ(EncodeTime(13, 5, 7, 5), 47107005);
  EXPECT_EQ(DecodeTime(47107005), (TimeOfDay{13, 5, 7, 5}));
  EXPECT_FALSE(EncodeTime(24, 0, 0, 0).has_value());
  EXPECT_FALSE(EncodeTime(0, 60, 0, 0).has_value());
  EXPECT_FALSE(EncodeTime(0, 0, 0, 1000).has_value());
  double ts = EncodeTimestamp(Day(2024, 3, 1), 47107005);
  EXPECT_EQ(ts, 738946.0 * 86400000 + 47107005);
  int32_t day = 0;
  int32_t ms = 0;
  DecodeTimestamp(ts, day, ms);
  EXPECT_EQ(day, Day(2024, 3, 1));
  EXPECT_EQ(ms, 47107005);
  DecodeTimestamp(EncodeTimestamp(Day(2024, 3, 1), 0) - 0.4, day, ms);  // rounds to midnight
  EXPECT_EQ(day, Day(2024, 3, 1));
  EXPECT_EQ(ms, 0);
}

TEST(CalendarTest, IsoDaysAndWeeks) {
  struct Case {
    int y, m, d;
    int dayOfWeek, dayOfYear, week;
  };
  const Case cases[] = {
      {1, 1, 1, 1, 1, 1},
      {2021, 1, 1, 5, 1, 53},  // a Friday, in the last week of 2020
      {2021, 1, 3, 7, 3, 53},
      {2021, 1, 4, 1, 4, 1},
      {2020, 12, 31, 4, 366, 53},
      {2024, 12, 30, 1, 365, 1},  // Monday of week 1 of 2025
      {2024, 12, 29, 7, 364, 52},
      {2026, 1, 1, 4, 1, 1},      // Thursday: week 1
      {2027, 1, 1, 5, 1, 53},
      {2016, 1, 3, 7, 3, 53},
      {2016, 1, 4, 1, 4, 1},
      {2015, 12, 31, 4, 365, 53},
      {2024, 3, 1, 5, 61, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
    int32_t day = Day(c.y, c.m, c.d);
    EXPECT_EQ(IsoDayOfWeek(day), c.dayOfWeek);
    EXPECT_EQ(DayOfYear(day), c.dayOfYear);
    EXPECT_EQ(IsoWeekNumber(day), c.week);
  }
}

}  // namespace
}  // namespace rudira
