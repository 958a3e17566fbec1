#include "tools/rudira_sql/value_format.h"

#include <charconv>
#include <type_traits>
#include <variant>

#include "components/field.h"
#include "engine/value_text.h"
#include "storage/bcd.h"
#include "storage/field_type.h"

namespace rudira::sql_shell {

namespace {

template <typename T>
std::string ShortestText(T value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// Decodes one UTF-8 character at text[i], advancing i; malformed bytes
// count as one character each.
char32_t NextCodePoint(std::string_view text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  int length = lead < 0x80           ? 1
               : (lead >> 5) == 0x6  ? 2
               : (lead >> 4) == 0xE  ? 3
               : (lead >> 3) == 0x1E ? 4
                                     : 0;
  if (length == 0 || i + length > text.size()) {
    ++i;
    return lead;
  }
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return lead;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  i += static_cast<size_t>(length);
  return c;
}

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

bool IsCombining(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x3099 && c <= 0x309A) ||
         (c >= 0xFE00 && c <= 0xFE0F) || c == 0x200B || c == 0x200D;
}

}  // namespace

bool IsNumericEngineType(uint8_t engineType) {
  switch (engineType) {
    case kFieldTypeSmallInt:
    case kFieldTypeInteger:
    case kFieldTypeFloat:
    case kFieldTypeBcd:
    case kFieldTypeWord:
    case kFieldTypeCardinal:
    case kFieldTypeExtended:
    case kFieldTypeLargeInt:
      return true;
    default:
      return false;
  }
}

bool IsBinaryEngineType(uint8_t engineType, uint8_t subType) {
  if (engineType == kFieldTypeBytes || engineType == kFieldTypeVarBytes) return true;
  return engineType == kFieldTypeBlob && subType != kSubTypeMemo &&
         subType != kSubTypeFormattedMemo;
}

std::string HexText(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

bool HexBytes(std::string_view text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}

std::optional<std::string> FieldText(const TField& field) {
  if (field.IsNull()) return std::nullopt;
  const uint8_t type = field.EngineType();
  if (field.IsBlob()) {
    const std::string data = field.AsString();
    return IsBinaryEngineType(type, field.EngineSubType()) ? HexText(data) : data;
  }
  const TFieldValue value = field.Value();
  return std::visit(
      [&](const auto& v) -> std::optional<std::string> {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, std::monostate>) {
          return std::nullopt;
        } else if constexpr (std::is_same_v<V, std::string>) {
          return v;
        } else if constexpr (std::is_same_v<V, bool>) {
          return std::string(v ? "TRUE" : "FALSE");
        } else if constexpr (std::is_same_v<V, int32_t>) {
          if (type == kFieldTypeDate) return DateToText(v);
          if (type == kFieldTypeTime) return TimeToText(v);
          return std::to_string(v);
        } else if constexpr (std::is_same_v<V, double>) {
          if (type == kFieldTypeTimestamp) return TimestampToText(v);
          return ShortestText(v);
        } else if constexpr (std::is_same_v<V, long double>) {
          return ShortestText(v);
        } else if constexpr (std::is_same_v<V, Bcd>) {
          const std::optional<int64_t> fixed = BcdToFixedPoint(v);
          if (!fixed) return std::string("(invalid BCD)");  // a damaged stored value, shown as such
          return BCDToText(*fixed);
        } else if constexpr (std::is_same_v<V, std::vector<uint8_t>>) {
          return HexText(std::string_view(reinterpret_cast<const char*>(v.data()), v.size()));
        } else if constexpr (std::is_same_v<V, BlobReference>) {
          return field.AsString();
        } else {
          return std::to_string(v);  // the integer types
        }
      },
      value);
}

size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char32_t c = NextCodePoint(text, i);
    if (IsCombining(c)) continue;
    width += IsWide(c) ? 2 : 1;
  }
  return width;
}

}  // namespace rudira::sql_shell
