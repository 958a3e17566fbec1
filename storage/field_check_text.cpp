// Whether a minimum, maximum or default text parses for a field's type.
//
// The texts use the engine's fixed, locale-independent forms: dates
// year-month-day with "-", times hours:minutes[:seconds[.milliseconds]] with an
// optional AM/PM, timestamps a date, a blank and a time (or either alone),
// booleans TRUE/FALSE without regard to case, numbers with a "." decimal
// point.
//
// Placeholder: the date, time and boolean forms are recognised here by a
// local reader of those forms; once the engine's value conversions
// (TextToDate, TextToTime, TextToTimestamp, TextToBoolean, TextToBCD) exist
// this file is to call them, so that the forms are read in one place.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "storage/field_definitions.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

template <typename T>
bool ParseInteger(std::string_view text, T& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size() && !text.empty();
}

// Reads a number with "." as decimal point, whatever the process locale.
bool ParseFloat(std::string_view text, double* result = nullptr) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
    return false;
  }
  if (result != nullptr) *result = value;
  return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool ParseDate(std::string_view text) {
  text = Trim(text);
  const size_t first = text.find('-');
  if (first == std::string_view::npos) return false;
  const size_t second = text.find('-', first + 1);
  if (second == std::string_view::npos) return false;
  int year = 0, month = 0, day = 0;
  if (!ParseInteger(text.substr(0, first), year) || !ParseInteger(text.substr(first + 1, second - first - 1), month) ||
      !ParseInteger(text.substr(second + 1), day)) {
    return false;
  }
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  return day <= kDays[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0);
}

bool ParseTime(std::string_view text) {
  std::string upper(Trim(text));
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  bool twelveHour = false;
  for (const char* marker : {"AM", "PM"}) {
    const size_t at = upper.find(marker);
    if (at != std::string::npos) {
      upper.erase(at, 2);
      twelveHour = true;
      break;
    }
  }
  std::string_view rest = Trim(upper);
  int parts[4] = {0, 0, 0, 0};
  const size_t dot = rest.find('.');
  if (dot != std::string_view::npos) {
    if (!ParseInteger(rest.substr(dot + 1), parts[3])) return false;
    rest = rest.substr(0, dot);
  }
  int count = 0;
  while (true) {
    const size_t colon = rest.find(':');
    if (count == 3 || !ParseInteger(rest.substr(0, colon), parts[count])) return false;
    ++count;
    if (colon == std::string_view::npos) break;
    rest = rest.substr(colon + 1);
  }
  if (count < 2 || (dot != std::string_view::npos && count < 3)) return false;
  const int maxHour = twelveHour ? 12 : 23;
  return parts[0] >= 0 && parts[0] <= maxHour && parts[1] >= 0 && parts[1] <= 59 && parts[2] >= 0 &&
         parts[2] <= 59 && parts[3] >= 0 && parts[3] <= 999;
}

bool ParseTimestamp(std::string_view text) {
  text = Trim(text);
  const size_t blank = text.find(' ');
  if (blank != std::string_view::npos) return ParseDate(text.substr(0, blank)) && ParseTime(text.substr(blank + 1));
  if (text.find(':') != std::string_view::npos) return ParseTime(text);
  return ParseDate(text);
}

}  // namespace

bool FieldCheckTextParses(const TFieldDescriptor& field, std::string_view text) {
  if (text.empty()) return true;
  switch (field.FieldType) {
    case kFieldTypeString: return true;
    case kFieldTypeDate: return EqualsNoCase(Trim(text), "CURRENT_DATE") || ParseDate(text);
    case kFieldTypeTime: return EqualsNoCase(Trim(text), "CURRENT_TIME") || ParseTime(text);
    case kFieldTypeTimestamp: {
      const std::string_view word = Trim(text);
      return EqualsNoCase(word, "CURRENT_TIMESTAMP") || EqualsNoCase(word, "CURRENT_DATE") ||
             EqualsNoCase(word, "CURRENT_TIME") || ParseTimestamp(text);
    }
    case kFieldTypeBoolean: return EqualsNoCase(Trim(text), "TRUE") || EqualsNoCase(Trim(text), "FALSE");
    case kFieldTypeSmallInt: { int16_t v; return ParseInteger(text, v); }
    case kFieldTypeWord: { uint16_t v; return ParseInteger(text, v); }
    case kFieldTypeInteger: { int32_t v; return ParseInteger(text, v); }
    case kFieldTypeCardinal: { uint32_t v; return ParseInteger(text, v); }
    case kFieldTypeLargeInt: { int64_t v; return ParseInteger(text, v); }
    case kFieldTypeFloat:
    case kFieldTypeExtended: return ParseFloat(text);
    case kFieldTypeBcd: {
      // The fixed-point form (value × 10000) must fit 64 bits.
      double value = 0;
      return ParseFloat(text, &value) && std::fabs(value) < 9.2e14;
    }
    default:
      // BLOB and byte fields take no checks.
      return false;
  }
}

}  // namespace rudira
