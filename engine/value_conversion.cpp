#include "engine/value_conversion.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "engine/calendar.h"
#include "engine/utf8_text.h"
#include "engine/value_text.h"
#include "storage/bcd.h"
#include "storage/byte_codec.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

// The work buffer: the widest stored string and its terminator.
constexpr size_t kWorkBufferSize = 251;

bool IsBytesType(uint8_t type) { return type == kFieldTypeBytes || type == kFieldTypeVarBytes; }

// Types with a row in the conversion table.
bool IsTableSource(uint8_t type) {
  switch (type) {
    case kFieldTypeString: case kFieldTypeDate: case kFieldTypeBoolean: case kFieldTypeSmallInt:
    case kFieldTypeInteger: case kFieldTypeFloat: case kFieldTypeBcd: case kFieldTypeTime:
    case kFieldTypeTimestamp: case kFieldTypeWord: case kFieldTypeLargeInt:
      return true;
    default:
      return false;
  }
}

std::string_view SourceText(const uint8_t* source, uint8_t size) {
  const char* text = reinterpret_cast<const char*>(source);
  const void* end = std::memchr(text, 0, size);
  return {text, end ? static_cast<size_t>(static_cast<const char*>(end) - text) : size};
}

std::string_view TrimBlanks(std::string_view t) {
  while (!t.empty() && static_cast<unsigned char>(t.front()) <= ' ') t.remove_prefix(1);
  while (!t.empty() && static_cast<unsigned char>(t.back()) <= ' ') t.remove_suffix(1);
  return t;
}

// A decimal integer between min and max: optional sign, digits, surrounding
// blanks allowed.
std::optional<int64_t> ParseInteger(std::string_view text, int64_t min, int64_t max) {
  std::string_view t = TrimBlanks(text);
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) return std::nullopt;
  __int128 value = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > static_cast<__int128>(max) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < min || value > max) return std::nullopt;
  return static_cast<int64_t>(value);
}

// The value as a signed integer, for the integer targets.
struct Number {
  enum Kind { kInteger, kFloat, kFixed } kind = kInteger;
  int64_t integer = 0;  // kInteger; kFixed: value x 10000
  double real = 0;      // kFloat
};

std::optional<Number> ReadNumber(uint8_t type, const uint8_t* source) {
  Number n;
  switch (type) {
    case kFieldTypeBoolean: n.integer = LoadLE<uint16_t>(source) != 0 ? 1 : 0; return n;
    case kFieldTypeSmallInt: n.integer = LoadLE<int16_t>(source); return n;
    case kFieldTypeWord: n.integer = LoadLE<uint16_t>(source); return n;
    case kFieldTypeInteger: n.integer = LoadLE<int32_t>(source); return n;
    case kFieldTypeLargeInt: n.integer = LoadLE<int64_t>(source); return n;
    case kFieldTypeFloat:
      n.kind = Number::kFloat;
      n.real = LoadDoubleLE(source);
      return n;
    case kFieldTypeBcd: {
      Bcd bcd;
      std::memcpy(bcd.Bytes.data(), source, bcd.Bytes.size());
      std::optional<int64_t> fixed = BcdToFixedPoint(bcd);
      if (!fixed) return std::nullopt;
      n.kind = Number::kFixed;
      n.integer = *fixed;
      return n;
    }
    default:
      return std::nullopt;
  }
}

// Truncated toward zero to 64 bits; nothing outside the range.
std::optional<int64_t> TruncatedInteger(const Number& n) {
  switch (n.kind) {
    case Number::kInteger: return n.integer;
    case Number::kFixed: return n.integer / 10000;
    case Number::kFloat: {
      const double t = std::trunc(n.real);
      if (!(t >= -9223372036854775808.0 && t < 9223372036854775808.0)) return std::nullopt;
      return static_cast<int64_t>(t);
    }
  }
  return std::nullopt;
}

std::optional<int64_t> FixedPointOf(const Number& n) {
  switch (n.kind) {
    case Number::kFixed: return n.integer;
    case Number::kInteger: {
      const __int128 v = static_cast<__int128>(n.integer) * 10000;
      if (v < std::numeric_limits<int64_t>::min() || v > std::numeric_limits<int64_t>::max()) {
        return std::nullopt;
      }
      return static_cast<int64_t>(v);
    }
    case Number::kFloat: {
      const double scaled = std::nearbyint(n.real * 10000.0);  // ties to even
      if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) return std::nullopt;
      return static_cast<int64_t>(scaled);
    }
  }
  return std::nullopt;
}

double RealOf(const Number& n) {
  switch (n.kind) {
    case Number::kInteger: return static_cast<double>(n.integer);
    case Number::kFixed: return static_cast<double>(n.integer) / 10000.0;
    case Number::kFloat: return n.real;
  }
  return 0;
}

bool StoreText(std::string_view text, uint8_t targetSize, uint8_t* target) {
  const size_t length = Utf8CutLength(text, targetSize);
  std::memcpy(target, text.data(), length);
  target[length] = 0;
  return true;
}

bool StoreFixedPoint(std::optional<int64_t> fixed, uint8_t scale, uint8_t* target) {
  if (!fixed) return false;
  std::optional<Bcd> bcd = BcdFromFixedPoint(*fixed, scale);
  if (!bcd) return false;
  std::memcpy(target, bcd->Bytes.data(), bcd->Bytes.size());
  return true;
}

// Stores an integer into one of the integer targets, keeping its low bits.
bool StoreInteger(int64_t value, uint8_t targetType, uint8_t* target) {
  switch (targetType) {
    case kFieldTypeSmallInt: StoreLE<int16_t>(target, static_cast<int16_t>(value)); return true;
    case kFieldTypeWord: StoreLE<uint16_t>(target, static_cast<uint16_t>(value)); return true;
    case kFieldTypeInteger: StoreLE<int32_t>(target, static_cast<int32_t>(value)); return true;
    case kFieldTypeLargeInt: StoreLE<int64_t>(target, value); return true;
    default: return false;
  }
}

bool IsIntegerTarget(uint8_t type) {
  return type == kFieldTypeSmallInt || type == kFieldTypeWord || type == kFieldTypeInteger ||
         type == kFieldTypeLargeInt;
}

bool FromString(std::string_view text, uint8_t targetType, uint8_t targetScale, uint8_t* target) {
  try {
    switch (targetType) {
      case kFieldTypeSmallInt: case kFieldTypeWord: case kFieldTypeInteger: {
        std::optional<int64_t> v = ParseInteger(text, std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max());
        return v && StoreInteger(*v, targetType, target);
      }
      case kFieldTypeLargeInt: {
        std::optional<int64_t> v = ParseInteger(text, std::numeric_limits<int64_t>::min(),
                                                std::numeric_limits<int64_t>::max());
        return v && StoreInteger(*v, targetType, target);
      }
      case kFieldTypeFloat: StoreDoubleLE(target, TextToFloat(text)); return true;
      case kFieldTypeBcd: return StoreFixedPoint(TextToBCD(text), targetScale, target);
      case kFieldTypeDate: StoreLE<int32_t>(target, TextToDate(text)); return true;
      case kFieldTypeTime: StoreLE<int32_t>(target, TextToTime(text)); return true;
      case kFieldTypeTimestamp: StoreDoubleLE(target, TextToTimestamp(text)); return true;
      case kFieldTypeBoolean: StoreLE<uint16_t>(target, TextToBoolean(text) ? 1 : 0); return true;
      default: return false;
    }
  } catch (const EConvertError&) {
    return false;
  }
}

// The text form of a table source other than string, or nothing.
std::optional<std::string> TextOf(uint8_t type, const uint8_t* source) {
  switch (type) {
    case kFieldTypeDate: return DateToText(LoadLE<int32_t>(source));
    case kFieldTypeTime: return TimeToText(LoadLE<int32_t>(source), true);
    case kFieldTypeTimestamp: return TimestampToText(LoadDoubleLE(source), true);
    case kFieldTypeBoolean: return BooleanToText(LoadLE<uint16_t>(source) != 0);
    case kFieldTypeFloat: return FloatToText(LoadDoubleLE(source));
    case kFieldTypeBcd: {
      std::optional<Number> n = ReadNumber(type, source);
      if (!n) return std::nullopt;
      return BCDToText(n->integer);
    }
    case kFieldTypeSmallInt: case kFieldTypeWord: case kFieldTypeInteger: case kFieldTypeLargeInt:
      return std::to_string(ReadNumber(type, source)->integer);
    default:
      return std::nullopt;
  }
}

bool Convert(uint8_t sourceType, uint8_t sourceSize, const uint8_t* source, uint8_t targetType,
             uint8_t targetSize, uint8_t targetScale, uint8_t* target) {
  const size_t sourceWidth = FieldDataWidth(sourceType, sourceSize);
  const size_t targetWidth = FieldDataWidth(targetType, targetSize);

  if (sourceType == targetType) {
    if (sourceType == kFieldTypeString) return StoreText(SourceText(source, sourceSize), targetSize, target);
    const size_t n = IsBytesType(sourceType) ? std::min(sourceWidth, targetWidth) : targetWidth;
    std::memcpy(target, source, n);
    return true;
  }
  if (IsBytesType(sourceType)) {
    if (targetType == kFieldTypeBlob) return false;
    std::memcpy(target, source, std::min(sourceWidth, targetWidth));
    return true;
  }
  if (!IsTableSource(sourceType)) {
    if (sourceType == kFieldTypeBlob || sourceType == kFieldTypeCardinal ||
        sourceType == kFieldTypeExtended) {
      std::memcpy(target, source, std::min(sourceWidth, targetWidth));
      return true;
    }
    return false;
  }
  if (IsBytesType(targetType)) {
    std::memcpy(target, source, std::min(sourceWidth, targetWidth));
    return true;
  }

  if (sourceType == kFieldTypeString) {
    const std::string_view text = SourceText(source, sourceSize);
    char work[kWorkBufferSize];
    const size_t length = std::min(text.size(), kWorkBufferSize - 1);
    std::memcpy(work, text.data(), length);
    return FromString(std::string_view(work, length), targetType, targetScale, target);
  }
  if (targetType == kFieldTypeString) {
    std::optional<std::string> text = TextOf(sourceType, source);
    return text && StoreText(*text, targetSize, target);
  }

  switch (sourceType) {
    case kFieldTypeDate:
      if (targetType != kFieldTypeTimestamp) return false;
      StoreDoubleLE(target, EncodeTimestamp(LoadLE<int32_t>(source), 0));
      return true;
    case kFieldTypeTime:
      if (targetType != kFieldTypeTimestamp) return false;
      StoreDoubleLE(target, EncodeTimestamp(kTimeBaseDay, LoadLE<int32_t>(source)));
      return true;
    case kFieldTypeTimestamp: {
      int32_t day = 0;
      int32_t milliseconds = 0;
      DecodeTimestamp(LoadDoubleLE(source), day, milliseconds);
      if (targetType == kFieldTypeDate) {
        StoreLE<int32_t>(target, day);
        return true;
      }
      if (targetType == kFieldTypeTime) {
        StoreLE<int32_t>(target, milliseconds);
        return true;
      }
      return false;
    }
    default:
      break;
  }

  // Numbers and BOOLEAN.
  std::optional<Number> n = ReadNumber(sourceType, source);
  if (!n) return false;
  if (targetType == kFieldTypeBoolean) {
    if (sourceType != kFieldTypeSmallInt && sourceType != kFieldTypeWord) return false;
    StoreLE<uint16_t>(target, LoadLE<uint16_t>(source) != 0 ? 1 : 0);
    return true;
  }
  if (sourceType == kFieldTypeBoolean && targetType == kFieldTypeFloat) return false;
  if (IsIntegerTarget(targetType)) {
    std::optional<int64_t> v = TruncatedInteger(*n);
    return v && StoreInteger(*v, targetType, target);
  }
  if (targetType == kFieldTypeFloat) {
    StoreDoubleLE(target, RealOf(*n));
    return true;
  }
  if (targetType == kFieldTypeBcd) return StoreFixedPoint(FixedPointOf(*n), targetScale, target);
  return false;
}

}  // namespace

bool ConvertFieldValue(uint8_t sourceType, uint8_t sourceSize, const uint8_t* source,
                       uint8_t targetType, uint8_t targetSize, uint8_t targetScale,
                       uint8_t* target) {
  const size_t targetWidth = FieldDataWidth(targetType, targetSize);
  std::memset(target, 0, targetWidth);
  if (Convert(sourceType, sourceSize, source, targetType, targetSize, targetScale, target)) return true;
  std::memset(target, 0, targetWidth);
  return false;
}

}  // namespace rudira
