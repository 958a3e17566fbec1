// The engine's fixed text forms of dates, times, timestamps, booleans and
// numbers. They never depend on the user's regional settings: they are the
// forms of default values, minimum and maximum checks, and constants in
// filters and SQL.
//
//   date       YYYY-MM-DD (year 4 digits, month and day 2, zero-padded)
//   time       HH:MM[:SS[.m]]  seconds only when not 0, milliseconds only
//              when not 0, written in decimal without leading zeros (".5"
//              is 5 ms); the 12-hour form writes hour 0 as 12, 13..23 as
//              1..11 and appends " AM" or " PM"
//   timestamp  date, one blank, time
//   boolean    written "True" / "False"; read "TRUE" / "FALSE" in any case
//   float      general form, 15 significant digits, "." decimal point
//   BCD        fixed-point value x 10000, read and written with "."
//
// Values are the stored forms of engine/calendar.h. A text that cannot be
// read raises EConvertError with the message of its kind.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rudira {

// A text that is not a valid value of the asked type.
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

std::string DateToText(int32_t dayNumber);
// Raises EConvertError "'<text>' is not a valid date".
int32_t TextToDate(std::string_view text);

std::string TimeToText(int32_t milliseconds, bool twentyFourHour = true);
// Raises EConvertError "'<text>' is not a valid time".
int32_t TextToTime(std::string_view text);

std::string TimestampToText(double timestamp, bool twentyFourHour = true);
// A text with a blank is a date and a time; a text with ":" and no blank
// before it is a time only (on day 0); any other a date only (at midnight).
// Raises EConvertError "'<text>' is not a valid date and time".
double TextToTimestamp(std::string_view text);

std::string BooleanToText(bool value);
// Raises EConvertError "'<text>' is not a valid boolean".
bool TextToBoolean(std::string_view text);

std::string FloatToText(double value);
// Raises EConvertError "'<text>' is not a valid floating point value".
double TextToFloat(std::string_view text);

// The fixed-point value (x 10000) of a decimal text, rounded to 4 decimals,
// ties to even. Raises EConvertError "'<text>' is not a valid BCD value" for
// a text that is no number or whose value is outside the 64-bit fixed-point
// range.
int64_t TextToBCD(std::string_view text);
// The decimal text of a fixed-point value (x 10000), without trailing zeros
// in the decimals: 125000 -> "12.5", 30000 -> "3", -5 -> "-0.0005".
std::string BCDToText(int64_t fixedPoint);

}  // namespace rudira
