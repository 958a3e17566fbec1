// The engine's stored forms of dates and times and the calendar arithmetic
// on them.
//
//   date       int32 day number, 0001-01-01 = day 1 (proleptic Gregorian)
//   time       int32 milliseconds since midnight, 0 .. 86,399,999
//   timestamp  float64 milliseconds since 0001-01-01 00:00 minus one day:
//              day number x 86,400,000 + milliseconds of the day
//
// Day 1 is a Monday. A timestamp holding only a time lies on day 0.
#pragma once

#include <cstdint>
#include <optional>

namespace rudira {

constexpr int32_t kMillisecondsPerDay = 86400000;
constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;

struct CalendarDate {
  int Year = 1;
  int Month = 1;  // 1 .. 12
  int Day = 1;    // 1 .. days of the month
  bool operator==(const CalendarDate&) const = default;
};

struct TimeOfDay {
  int Hour = 0;         // 0 .. 23
  int Minute = 0;       // 0 .. 59
  int Second = 0;       // 0 .. 59
  int Millisecond = 0;  // 0 .. 999
  bool operator==(const TimeOfDay&) const = default;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// The day number of a date; nothing for an impossible date or a year
// outside 1 .. 9999.
std::optional<int32_t> EncodeDate(int year, int month, int day);
// The date of a day number (any int32; days before day 1 run on into year 0
// and below).
CalendarDate DecodeDate(int32_t dayNumber);

// Milliseconds since midnight; nothing when a part is out of range.
std::optional<int32_t> EncodeTime(int hour, int minute, int second, int millisecond);
// REQUIRES: 0 <= milliseconds < kMillisecondsPerDay (other values are
// brought into the day first).
TimeOfDay DecodeTime(int32_t milliseconds);

// day x 86,400,000 + milliseconds of the day.
double EncodeTimestamp(int32_t dayNumber, int32_t milliseconds);
// The day and the time of day of a timestamp; the milliseconds are rounded
// to an integer first.
void DecodeTimestamp(double timestamp, int32_t& dayNumber, int32_t& milliseconds);

// Monday 1 .. Sunday 7.
int IsoDayOfWeek(int32_t dayNumber);
// 1 .. 366: days from 1 January of the date's year, plus 1.
int DayOfYear(int32_t dayNumber);
// 1 .. 53: the ISO 8601 week of the date.
int IsoWeekNumber(int32_t dayNumber);

}  // namespace rudira
