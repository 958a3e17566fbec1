// Whether a minimum, maximum or default text parses for a field's type.
//
// The texts use the engine's fixed, locale-independent forms
// (engine/value_text.h); dates, times and timestamps also accept the words
// CURRENT_DATE, CURRENT_TIME and CURRENT_TIMESTAMP (any case). Integers are
// decimal and must fit the field's type. BLOB and byte fields take no checks.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>

#include "engine/value_text.h"
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
bool ParseInteger(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

// Whether `convert` reads the text without an EConvertError.
template <typename Convert>
bool Converts(Convert convert) {
  try {
    convert();
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

}  // namespace

bool FieldCheckTextParses(const TFieldDescriptor& field, std::string_view text) {
  if (text.empty()) return true;
  const std::string_view word = Trim(text);
  switch (field.FieldType) {
    case kFieldTypeString: return true;
    case kFieldTypeDate: return EqualsNoCase(word, "CURRENT_DATE") || Converts([&] { TextToDate(text); });
    case kFieldTypeTime: return EqualsNoCase(word, "CURRENT_TIME") || Converts([&] { TextToTime(text); });
    case kFieldTypeTimestamp:
      return EqualsNoCase(word, "CURRENT_TIMESTAMP") || EqualsNoCase(word, "CURRENT_DATE") ||
             EqualsNoCase(word, "CURRENT_TIME") || Converts([&] { TextToTimestamp(text); });
    case kFieldTypeBoolean: return Converts([&] { TextToBoolean(text); });
    case kFieldTypeSmallInt: return ParseInteger<int16_t>(text);
    case kFieldTypeWord: return ParseInteger<uint16_t>(text);
    case kFieldTypeInteger: return ParseInteger<int32_t>(text);
    case kFieldTypeCardinal: return ParseInteger<uint32_t>(text);
    case kFieldTypeLargeInt: return ParseInteger<int64_t>(text);
    case kFieldTypeFloat:
    case kFieldTypeExtended: return Converts([&] { TextToFloat(text); });
    case kFieldTypeBcd: return Converts([&] { TextToBCD(text); });
    default: return false;
  }
}

}  // namespace rudira
