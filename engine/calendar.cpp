#include "engine/calendar.h"

#include <cmath>

namespace rudira {

namespace {

constexpr int kDaysBeforeMonth[2][13] = {
    {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
};

// Division rounding toward minus infinity, for day numbers below 1.
int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days of all years before `year` (year 1 starts at 0).
int64_t DaysBeforeYear(int64_t year) {
  int64_t y = year - 1;
  return 365 * y + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400);
}

// Day number of 1 January of a year.
int64_t NewYearDay(int64_t year) { return DaysBeforeYear(year) + 1; }

// Start of ISO week 1: the first Monday on or after 1 January, or the Monday
// a week earlier when that one falls after 4 January.
int64_t StartOfWeekOne(int64_t year) {
  int64_t newYear = NewYearDay(year);
  int64_t dow = IsoDayOfWeek(static_cast<int32_t>(newYear));
  int64_t monday = newYear + (8 - dow) % 7;
  if (monday - newYear > 3) monday -= 7;
  return monday;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month];
}

std::optional<int32_t> EncodeDate(int year, int month, int day) {
  if (year < kMinYear || year > kMaxYear || month < 1 || month > 12) return std::nullopt;
  if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  return static_cast<int32_t>(DaysBeforeYear(year) + kDaysBeforeMonth[IsLeapYear(year)][month] +
                              day);
}

CalendarDate DecodeDate(int32_t dayNumber) {
  // Estimate the year from the mean year length, then correct by one.
  int64_t days = dayNumber;
  int64_t year = FloorDiv((days - 1) * 400, 146097) + 1;
  while (NewYearDay(year) > days) --year;
  while (NewYearDay(year + 1) <= days) ++year;
  int y = static_cast<int>(year);
  int dayOfYear = static_cast<int>(days - NewYearDay(year)) + 1;
  const bool leap = IsLeapYear(y);
  int month = 12;
  while (month > 1 && kDaysBeforeMonth[leap][month] >= dayOfYear) --month;
  return CalendarDate{y, month, dayOfYear - kDaysBeforeMonth[leap][month]};
}

std::optional<int32_t> EncodeTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return std::nullopt;
  }
  return ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
}

TimeOfDay DecodeTime(int32_t milliseconds) {
  int64_t ms = milliseconds % kMillisecondsPerDay;
  if (ms < 0) ms += kMillisecondsPerDay;
  TimeOfDay t;
  t.Millisecond = static_cast<int>(ms % 1000);
  ms /= 1000;
  t.Second = static_cast<int>(ms % 60);
  ms /= 60;
  t.Minute = static_cast<int>(ms % 60);
  t.Hour = static_cast<int>(ms / 60);
  return t;
}

double EncodeTimestamp(int32_t dayNumber, int32_t milliseconds) {
  return static_cast<double>(dayNumber) * kMillisecondsPerDay + milliseconds;
}

void DecodeTimestamp(double timestamp, int32_t& dayNumber, int32_t& milliseconds) {
  double total = std::round(timestamp);
  double day = std::floor(total / kMillisecondsPerDay);
  dayNumber = static_cast<int32_t>(day);
  milliseconds = static_cast<int32_t>(total - day * kMillisecondsPerDay);
}

int IsoDayOfWeek(int32_t dayNumber) {
  // Day 1 (0001-01-01) is a Monday.
  int64_t r = (static_cast<int64_t>(dayNumber) - 1) % 7;
  if (r < 0) r += 7;
  return static_cast<int>(r) + 1;
}

int DayOfYear(int32_t dayNumber) {
  CalendarDate date = DecodeDate(dayNumber);
  return static_cast<int>(dayNumber - NewYearDay(date.Year)) + 1;
}

int IsoWeekNumber(int32_t dayNumber) {
  int year = DecodeDate(dayNumber).Year;
  int64_t start = StartOfWeekOne(year);
  int64_t nextStart = StartOfWeekOne(year + 1);
  if (dayNumber >= nextStart) {
    start = nextStart;
  } else if (dayNumber < start) {
    start = StartOfWeekOne(year - 1);
  }
  int64_t d = dayNumber - start + 1;
  return static_cast<int>(d % 7 != 0 ? d / 7 + 1 : d / 7);
}

}  // namespace rudira
