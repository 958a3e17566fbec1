#include "engine/expression_value.h"

#include <cmath>
#include <cstring>

#include "engine/value_conversion.h"
#include "engine/value_text.h"
#include "storage/bcd.h"
#include "storage/extended_float.h"
#include "storage/field_type.h"

namespace rudira {

ExpValue ExpValue::Boolean(bool b) { return Integer(kFieldTypeBoolean, b ? 1 : 0); }

ExpValue ExpValue::Integer(uint8_t type, int64_t i) {
  ExpValue v;
  v.Type = type;
  v.Null = false;
  v.Int = i;
  return v;
}

ExpValue ExpValue::Float(uint8_t type, double d) {
  ExpValue v;
  v.Type = type;
  v.Null = !std::isfinite(d);
  v.Real = d;
  return v;
}

ExpValue ExpValue::String(uint8_t type, std::string text) {
  ExpValue v;
  v.Type = type;
  v.Null = text.empty();
  v.Text = std::move(text);
  return v;
}

bool IsExpIntegerType(uint8_t t) {
  return t == kFieldTypeBoolean || t == kFieldTypeSmallInt || t == kFieldTypeInteger || t == kFieldTypeWord ||
         t == kFieldTypeCardinal || t == kFieldTypeLargeInt;
}

bool IsExpTextType(uint8_t t) {
  return t == kFieldTypeString || t == kFieldTypeBlob || t == kFieldTypeBytes || t == kFieldTypeVarBytes;
}

ExpValue LoadExpValue(const TExpToken& node) {
  ExpValue v;
  v.Type = node.DataType;
  v.SubType = node.SubType;
  v.Size = node.DataSize;
  v.Scale = node.DataScale;
  v.Null = node.IsNull;
  if (v.Null) return v;
  switch (node.DataType) {
    case kFieldTypeBoolean: v.Int = node.UInt16() != 0 ? 1 : 0; break;
    case kFieldTypeSmallInt: v.Int = node.Int16(); break;
    case kFieldTypeWord: v.Int = node.UInt16(); break;
    case kFieldTypeInteger: case kFieldTypeDate: case kFieldTypeTime: v.Int = node.Int32(); break;
    case kFieldTypeCardinal: v.Int = node.UInt32(); break;
    case kFieldTypeLargeInt: v.Int = node.Int64(); break;
    case kFieldTypeFloat: case kFieldTypeTimestamp: v.Real = node.Double(); break;
    case kFieldTypeExtended: {
      Extended80 bytes{};
      std::memcpy(bytes.data(), node.Value.data(), bytes.size());
      v.Real = static_cast<double>(DecodeExtended(bytes));
      break;
    }
    case kFieldTypeBcd: {
      std::optional<int64_t> fixed = BcdToFixedPoint(node.BcdValue());
      if (!fixed) v.Null = true;
      else v.Int = *fixed;
      break;
    }
    case kFieldTypeString: {
      // A string ends at its first zero byte, as a stored one does.
      std::string_view text = node.Bytes();
      const size_t zero = text.find('\0');
      if (zero != std::string_view::npos) text = text.substr(0, zero);
      v.Text.assign(text);
      v.Null = v.Text.empty();
      break;
    }
    case kFieldTypeBlob: case kFieldTypeBytes: case kFieldTypeVarBytes:
      v.Text.assign(node.Bytes());
      break;
    default:
      v.Null = true;
      break;
  }
  return v;
}

void StoreExpValue(const ExpValue& value, TExpToken& node) {
  node.SetType(value.Type, value.SubType, value.Size, value.Scale);
  node.IsNull = true;
  node.ValueLength = 0;
  if (value.Null) return;
  switch (value.Type) {
    case kFieldTypeBoolean: node.SetUInt16(value.Int != 0 ? 1 : 0); break;
    case kFieldTypeSmallInt: node.SetInt16(static_cast<int16_t>(value.Int)); break;
    case kFieldTypeWord: node.SetUInt16(static_cast<uint16_t>(value.Int)); break;
    case kFieldTypeInteger: case kFieldTypeDate: case kFieldTypeTime:
      node.SetInt32(static_cast<int32_t>(value.Int));
      break;
    case kFieldTypeCardinal: node.SetUInt32(static_cast<uint32_t>(value.Int)); break;
    case kFieldTypeLargeInt: node.SetInt64(value.Int); break;
    case kFieldTypeFloat: case kFieldTypeTimestamp: node.SetDouble(value.Real); break;
    case kFieldTypeExtended: {
      const Extended80 bytes = EncodeExtended(value.Real);
      node.SetBytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
      break;
    }
    case kFieldTypeBcd: {
      std::optional<Bcd> bcd = BcdFromFixedPoint(value.Int, value.Scale);
      if (bcd) node.SetBcd(*bcd);
      break;
    }
    case kFieldTypeString: case kFieldTypeBlob: case kFieldTypeBytes: case kFieldTypeVarBytes:
      node.SetBytes(value.Text);
      if (value.Type == kFieldTypeString && value.Text.empty()) node.IsNull = true;
      break;
    default:
      break;
  }
}

std::string ExpValueText(const ExpValue& v) {
  if (v.Null) return {};
  switch (v.Type) {
    case kFieldTypeDate: return DateToText(static_cast<int32_t>(v.Int));
    case kFieldTypeTime: return TimeToText(static_cast<int32_t>(v.Int), true);
    case kFieldTypeTimestamp: return TimestampToText(v.Real, true);
    case kFieldTypeBoolean: return BooleanToText(v.Int != 0);
    case kFieldTypeFloat: case kFieldTypeExtended: return FloatToText(v.Real);
    case kFieldTypeBcd: return BCDToText(v.Int);
    case kFieldTypeString: case kFieldTypeBlob: case kFieldTypeBytes: case kFieldTypeVarBytes: return v.Text;
    default: return std::to_string(v.Int);
  }
}

ExpValue ConvertExpValue(const ExpValue& value, uint8_t type, uint8_t subType, uint16_t size, uint8_t scale) {
  ExpValue out = value;
  out.Type = type;
  out.SubType = subType;
  out.Size = size;
  out.Scale = scale;
  if (value.Null || value.Type == type) return out;
  out.Null = false;
  const uint8_t from = value.Type;
  if (IsExpTextType(type) && IsExpTextType(from)) return out;
  if (type == kFieldTypeTimestamp && from == kFieldTypeDate) {
    out.Real = static_cast<double>(value.Int) * 86400000.0;
    return out;
  }
  const bool fromInteger = IsExpIntegerType(from);
  const bool fromReal = from == kFieldTypeFloat || from == kFieldTypeExtended;
  switch (type) {
    case kFieldTypeFloat:
      if (fromInteger) { out.Real = static_cast<double>(value.Int); return out; }
      if (from == kFieldTypeBcd) { out.Real = static_cast<double>(value.Int) / 10000.0; return out; }
      if (fromReal) return out;
      break;
    case kFieldTypeBcd:
      if (fromInteger) {
        const __int128 fixed = static_cast<__int128>(value.Int) * 10000;
        if (fixed >= INT64_MIN && fixed <= INT64_MAX) { out.Int = static_cast<int64_t>(fixed); return out; }
      }
      if (fromReal) {
        const double scaled = std::nearbyint(value.Real * 10000.0);
        if (scaled >= -9.2233720368547758e18 && scaled < 9.2233720368547758e18) {
          out.Int = static_cast<int64_t>(scaled);
          return out;
        }
      }
      break;
    case kFieldTypeSmallInt: case kFieldTypeWord: case kFieldTypeInteger: case kFieldTypeLargeInt:
    case kFieldTypeCardinal:
      if (fromInteger) return out;
      break;
    default:
      break;
  }
  return ExpValue::NullOf(type);
}

}  // namespace rudira
