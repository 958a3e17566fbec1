#include "engine/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "engine/calendar.h"

namespace rudira {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

[[noreturn]] void Fail(const char* suffix, std::string_view text) {
  throw EConvertError("'" + std::string(text) + "'" + suffix);
}

// A decimal integer of digits only (no sign, no blanks).
std::optional<int> ReadDigits(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string Padded(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

// Case-insensitive search of an ASCII word.
size_t FindNoCase(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    bool same = true;
    for (size_t k = 0; k < word.size() && same; ++k) {
      char c = text[i + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == word[k];
    }
    if (same) return i;
  }
  return std::string_view::npos;
}

std::optional<int32_t> ParseDate(std::string_view text) {
  text = Trim(text);
  size_t first = text.find('-');
  if (first == std::string_view::npos) return std::nullopt;
  size_t second = text.find('-', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  auto year = ReadDigits(Trim(text.substr(0, first)));
  auto month = ReadDigits(Trim(text.substr(first + 1, second - first - 1)));
  auto day = ReadDigits(Trim(text.substr(second + 1)));
  if (!year || !month || !day) return std::nullopt;
  return EncodeDate(*year, *month, *day);
}

std::optional<int32_t> ParseTime(std::string_view text) {
  std::string rest(text);
  enum { kNone, kAm, kPm } half = kNone;
  if (size_t at = FindNoCase(rest, "AM"); at != std::string::npos) {
    rest.erase(at, 2);
    half = kAm;
  } else if (size_t at = FindNoCase(rest, "PM"); at != std::string::npos) {
    rest.erase(at, 2);
    half = kPm;
  }
  std::string_view t = Trim(rest);
  // hours ":" minutes [":" seconds ["." milliseconds]]
  size_t colon1 = t.find(':');
  if (colon1 == std::string_view::npos) return std::nullopt;
  std::string_view hourText = t.substr(0, colon1);
  std::string_view afterHour = t.substr(colon1 + 1);
  size_t colon2 = afterHour.find(':');
  std::string_view minuteText = afterHour.substr(0, colon2);
  std::string_view secondText;
  std::string_view msText;
  if (colon2 != std::string_view::npos) {
    std::string_view afterMinute = afterHour.substr(colon2 + 1);
    size_t dot = afterMinute.find('.');
    secondText = afterMinute.substr(0, dot);
    if (dot != std::string_view::npos) {
      msText = afterMinute.substr(dot + 1);
      if (msText.empty()) return std::nullopt;
    }
    if (secondText.empty()) return std::nullopt;
  }
  auto hour = ReadDigits(hourText);
  auto minute = ReadDigits(minuteText);
  auto second = secondText.empty() ? std::optional<int>(0) : ReadDigits(secondText);
  auto ms = msText.empty() ? std::optional<int>(0) : ReadDigits(msText);
  if (!hour || !minute || !second || !ms) return std::nullopt;
  int h = *hour;
  if (half != kNone) {
    if (h > 12) return std::nullopt;
    if (half == kAm && h == 12) h = 0;
    if (half == kPm && h != 12) h += 12;
  }
  return EncodeTime(h, *minute, *second, *ms);
}

}  // namespace

std::string DateToText(int32_t dayNumber) {
  CalendarDate date = DecodeDate(dayNumber);
  return Padded(date.Year, 4) + "-" + Padded(date.Month, 2) + "-" + Padded(date.Day, 2);
}

int32_t TextToDate(std::string_view text) {
  auto day = ParseDate(text);
  if (!day) Fail(" is not a valid date", text);
  return *day;
}

std::string TimeToText(int32_t milliseconds, bool twentyFourHour) {
  TimeOfDay t = DecodeTime(milliseconds);
  int hour = t.Hour;
  if (!twentyFourHour) {
    if (hour == 0) hour = 12;
    else if (hour > 12) hour -= 12;
  }
  std::string text = Padded(hour, 2) + ":" + Padded(t.Minute, 2);
  if (t.Second != 0 || t.Millisecond != 0) {
    // Milliseconds are only written after seconds; a time with milliseconds
    // but 0 seconds still writes ":00" so the text reads back the same.
    text += ":" + Padded(t.Second, 2);
    if (t.Millisecond != 0) text += "." + std::to_string(t.Millisecond);
  }
  if (!twentyFourHour) text += t.Hour < 12 ? " AM" : " PM";
  return text;
}

int32_t TextToTime(std::string_view text) {
  auto time = ParseTime(text);
  if (!time) Fail(" is not a valid time", text);
  return *time;
}

std::string TimestampToText(double timestamp, bool twentyFourHour) {
  int32_t day = 0;
  int32_t ms = 0;
  DecodeTimestamp(timestamp, day, ms);
  return DateToText(day) + " " + TimeToText(ms, twentyFourHour);
}

double TextToTimestamp(std::string_view text) {
  std::string_view t = Trim(text);
  std::optional<int32_t> day;
  std::optional<int32_t> ms;
  size_t blank = t.find(' ');
  std::string_view head = t.substr(0, blank);
  if (blank != std::string_view::npos && head.find(':') == std::string_view::npos) {
    day = ParseDate(head);
    ms = ParseTime(t.substr(blank + 1));
  } else if (t.find(':') != std::string_view::npos) {
    // A time only, also "12:30 PM" whose blank precedes the AM/PM mark.
    day = 0;
    ms = ParseTime(t);
  } else {
    day = ParseDate(t);
    ms = 0;
  }
  if (!day || !ms) Fail(" is not a valid date and time", text);
  return EncodeTimestamp(*day, *ms);
}

std::string BooleanToText(bool value) { return value ? "True" : "False"; }

bool TextToBoolean(std::string_view text) {
  if (text.size() == 4 && FindNoCase(text, "TRUE") == 0) return true;
  if (text.size() == 5 && FindNoCase(text, "FALSE") == 0) return false;
  Fail(" is not a valid boolean", text);
}

std::string FloatToText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, 15);
  std::string text(buffer, error == std::errc{} ? end : buffer);
  // The exponent is written "E" with a sign only when negative and no
  // leading zeros: 1E15, 1.5E-7.
  size_t e = text.find('e');
  if (e != std::string::npos) {
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    bool negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) exponent.erase(0, 1);
    while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
    text = mantissa + "E" + (negative ? "-" : "") + exponent;
  }
  return text;
}

double TextToFloat(std::string_view text) {
  std::string_view t = Trim(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  double value = 0;
  auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
  // from_chars also reads "inf" and "nan", which are no numbers here.
  if (t.empty() || error != std::errc{} || end != t.data() + t.size() || !std::isfinite(value)) {
    Fail(" is not a valid floating point value", text);
  }
  return value;
}

int64_t TextToBCD(std::string_view text) {
  std::string_view t = Trim(text);
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  if (t.find_first_of("eE") != std::string_view::npos) {
    // Exponent form: through a double, then rounded to 4 decimals (ties to
    // even, the default rounding mode).
    double value = 0;
    auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || t.front() == '-' || t.front() == '+' || error != std::errc{} ||
        end != t.data() + t.size() || !std::isfinite(value)) {
      Fail(" is not a valid BCD value", text);
    }
    double scaled = std::nearbyint(value * 10000.0);
    if (!(std::fabs(scaled) < 9.2233720368547758e18)) Fail(" is not a valid BCD value", text);
    int64_t fixed = static_cast<int64_t>(scaled);
    return negative ? -fixed : fixed;
  }
  // Plain decimal text: exact, digit by digit.
  size_t dot = t.find('.');
  std::string_view whole = t.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? std::string_view() : t.substr(dot + 1);
  if (whole.empty() && fraction.empty()) Fail(" is not a valid BCD value", text);
  for (char c : whole) {
    if (c < '0' || c > '9') Fail(" is not a valid BCD value", text);
  }
  for (char c : fraction) {
    if (c < '0' || c > '9') Fail(" is not a valid BCD value", text);
  }
  while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
  // 20 digits are beyond any 64-bit fixed-point value yet well inside 128 bits.
  if (whole.size() > 20) Fail(" is not a valid BCD value", text);
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  __int128 magnitude = 0;
  for (char c : whole) magnitude = magnitude * 10 + (c - '0');
  magnitude *= 10000;
  int scale = 1000;
  for (size_t i = 0; i < fraction.size() && i < 4; ++i, scale /= 10) {
    magnitude += (fraction[i] - '0') * scale;
  }
  if (fraction.size() > 4) {
    // Round the dropped digits to the nearest, ties to even.
    int firstDropped = fraction[4] - '0';
    bool restNonZero = fraction.substr(5).find_first_not_of('0') != std::string_view::npos;
    if (firstDropped > 5 || (firstDropped == 5 && (restNonZero || magnitude % 2 != 0))) {
      ++magnitude;
    }
  }
  __int128 value = negative ? -magnitude : magnitude;
  if (value < kMin || value > std::numeric_limits<int64_t>::max()) {
    Fail(" is not a valid BCD value", text);
  }
  return static_cast<int64_t>(value);
}

std::string BCDToText(int64_t fixedPoint) {
  bool negative = fixedPoint < 0;
  unsigned __int128 magnitude =
      negative ? static_cast<unsigned __int128>(-(static_cast<__int128>(fixedPoint)))
               : static_cast<unsigned __int128>(fixedPoint);
  uint64_t whole = static_cast<uint64_t>(magnitude / 10000);
  int fraction = static_cast<int>(magnitude % 10000);
  std::string text = (negative ? "-" : "") + std::to_string(whole);
  if (fraction != 0) {
    std::string digits = Padded(fraction, 4);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

}  // namespace rudira
