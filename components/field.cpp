#include "components/field.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "components/component_messages.h"
#include "components/data_set.h"
#include "components/dataset_messages.h"
#include "engine/value_text.h"
#include "storage/field_type.h"

namespace rudira {

namespace {

constexpr double kMsPerDay = 86400000.0;

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool ParseInteger(const std::string& text, int64_t& value) {
  size_t begin = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  if (begin == std::string::npos) return false;
  const char* first = text.data() + begin;
  const char* last = text.data() + end + 1;
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last;
}

}  // namespace

bool IsBlobFieldType(TFieldType type) {
  switch (type) {
    case TFieldType::ftBlob: case TFieldType::ftMemo: case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo: case TFieldType::ftTypedBinary:
      return true;
    default:
      return false;
  }
}

const char* FieldTypeName(TFieldType type) {
  static const char* const kNames[] = {
      "ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftBoolean", "ftFloat", "ftCurrency",
      "ftBCD", "ftDate", "ftTime", "ftDateTime", "ftBytes", "ftVarBytes", "ftAutoInc", "ftBlob", "ftMemo",
      "ftGraphic", "ftFmtMemo", "ftTypedBinary", "ftFixedChar", "ftWideString", "ftLargeint", "ftADT",
      "ftArray", "ftReference", "ftDataSet", "ftGuid"};
  return kNames[static_cast<int>(type)];
}

bool EngineTypeToFieldType(uint8_t engineType, uint8_t subType, TFieldType& fieldType) {
  switch (engineType) {
    case 1: fieldType = subType == kSubTypeFixedString ? TFieldType::ftFixedChar : TFieldType::ftString; return true;
    case 2: fieldType = TFieldType::ftDate; return true;
    case 3:
      switch (subType) {
        case 22: fieldType = TFieldType::ftMemo; break;
        case 24: fieldType = TFieldType::ftFmtMemo; break;
        case 26: fieldType = TFieldType::ftGraphic; break;
        case 28: fieldType = TFieldType::ftTypedBinary; break;
        default: fieldType = TFieldType::ftBlob; break;
      }
      return true;
    case 4: fieldType = TFieldType::ftBoolean; return true;
    case 5: fieldType = TFieldType::ftSmallint; return true;
    case 6: fieldType = subType == kSubTypeAutoInc ? TFieldType::ftAutoInc : TFieldType::ftInteger; return true;
    case 7: fieldType = subType == kSubTypeMoney ? TFieldType::ftCurrency : TFieldType::ftFloat; return true;
    case 8: fieldType = TFieldType::ftBCD; return true;
    case 9: fieldType = TFieldType::ftBytes; return true;
    case 10: fieldType = TFieldType::ftTime; return true;
    case 11: fieldType = TFieldType::ftDateTime; return true;
    case 12: fieldType = TFieldType::ftWord; return true;
    case 13: fieldType = TFieldType::ftInteger; return true;
    case 15: fieldType = TFieldType::ftVarBytes; return true;
    case 18: case 19: fieldType = TFieldType::ftLargeint; return true;
    case 20: fieldType = TFieldType::ftADT; return true;
    case 21: fieldType = TFieldType::ftArray; return true;
    case 22: fieldType = TFieldType::ftReference; return true;
    case 23: fieldType = TFieldType::ftDataSet; return true;
    default: return false;
  }
}

bool FieldTypeToEngineType(TFieldType fieldType, uint8_t& engineType, uint8_t& subType) {
  subType = 0;
  switch (fieldType) {
    case TFieldType::ftString: case TFieldType::ftWideString: case TFieldType::ftGuid: engineType = 1; return true;
    case TFieldType::ftFixedChar: engineType = 1; subType = kSubTypeFixedString; return true;
    case TFieldType::ftSmallint: engineType = 5; return true;
    case TFieldType::ftInteger: engineType = 6; return true;
    case TFieldType::ftAutoInc: engineType = 6; subType = kSubTypeAutoInc; return true;
    case TFieldType::ftWord: engineType = 12; return true;
    case TFieldType::ftBoolean: engineType = 4; return true;
    case TFieldType::ftFloat: engineType = 7; return true;
    case TFieldType::ftCurrency: engineType = 7; subType = kSubTypeMoney; return true;
    case TFieldType::ftBCD: engineType = 8; return true;
    case TFieldType::ftDate: engineType = 2; return true;
    case TFieldType::ftTime: engineType = 10; return true;
    case TFieldType::ftDateTime: engineType = 11; return true;
    case TFieldType::ftBytes: engineType = 9; return true;
    case TFieldType::ftVarBytes: engineType = 15; return true;
    case TFieldType::ftLargeint: engineType = 18; return true;
    case TFieldType::ftMemo: engineType = 3; subType = kSubTypeMemo; return true;
    case TFieldType::ftFmtMemo: engineType = 3; subType = kSubTypeFormattedMemo; return true;
    case TFieldType::ftGraphic: engineType = 3; subType = kSubTypeGraphic; return true;
    case TFieldType::ftTypedBinary: engineType = 3; subType = kSubTypeTypedBinary; return true;
    case TFieldType::ftBlob: engineType = 3; return true;
    default: return false;
  }
}

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  TFieldDef def;
  def.Name = name;
  def.DataType = type;
  def.Size = size;
  def.Required = required;
  if (type == TFieldType::ftBCD) def.Precision = 32;
  defs_.push_back(def);
  return defs_.back();
}

int TFieldDefs::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (EqualsNoCase(defs_[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

std::string TFieldDefs::UniqueName(const std::string& name) const {
  if (IndexOf(name) < 0) return name;
  for (int n = 1;; ++n) {
    std::string candidate = name + "_" + std::to_string(n);
    if (IndexOf(candidate) < 0) return candidate;
  }
}

TField::TField(TDataSet& dataSet, const TFieldDef& def, int index)
    : dataSet_(dataSet), fieldName_(def.Name), dataType_(def.DataType), size_(def.Size), fieldNo_(def.FieldNo),
      index_(index), calcIndex_(def.Calculated ? def.CalcIndex : -1), required_(def.Required) {
  FieldTypeToEngineType(dataType_, engineType_, engineSubType_);
}

TFieldValue TField::Value() const { return dataSet_.GetFieldValue(*this); }

bool TField::IsNull() const {
  if (IsBlob()) return dataSet_.GetBlobText(*this).empty();
  return std::holds_alternative<std::monostate>(Value());
}

void TField::InvalidValue() const { RaiseDatabaseError(kInvalidFieldValue, fieldName_); }

int64_t TField::AsLargeInt() const {
  const TFieldValue value = Value();
  return std::visit(
      [this](const auto& v) -> int64_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return 0;
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? 1 : 0;
        } else if constexpr (std::is_integral_v<T>) {
          return static_cast<int64_t>(v);
        } else if constexpr (std::is_floating_point_v<T>) {
          return static_cast<int64_t>(std::llround(static_cast<double>(v)));
        } else if constexpr (std::is_same_v<T, std::string>) {
          int64_t n = 0;
          if (!ParseInteger(v, n)) InvalidValue();
          return n;
        } else if constexpr (std::is_same_v<T, Bcd>) {
          const std::optional<int64_t> fixed = BcdToFixedPoint(v);
          if (!fixed) InvalidValue();
          return *fixed / 10000;
        } else {
          InvalidValue();
        }
      },
      value);
}

int32_t TField::AsInteger() const {
  const int64_t value = AsLargeInt();
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) InvalidValue();
  return static_cast<int32_t>(value);
}

double TField::AsFloat() const {
  const TFieldValue value = Value();
  return std::visit(
      [this](const auto& v) -> double {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return 0.0;
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? 1.0 : 0.0;
        } else if constexpr (std::is_arithmetic_v<T>) {
          return static_cast<double>(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          try {
            return TextToFloat(v);
          } catch (const EConvertError&) {
            InvalidValue();
          }
        } else if constexpr (std::is_same_v<T, Bcd>) {
          const std::optional<int64_t> fixed = BcdToFixedPoint(v);
          if (!fixed) InvalidValue();
          return static_cast<double>(*fixed) / 10000.0;
        } else {
          InvalidValue();
        }
      },
      value);
}

bool TField::AsBoolean() const {
  const TFieldValue value = Value();
  if (std::holds_alternative<std::monostate>(value)) return false;
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  if (const auto* s = std::get_if<std::string>(&value)) {
    try {
      return TextToBoolean(*s);
    } catch (const EConvertError&) {
      InvalidValue();
    }
  }
  return AsFloat() != 0.0;
}

double TField::AsDateTime() const {
  const TFieldValue value = Value();
  if (std::holds_alternative<std::monostate>(value)) return 0.0;
  switch (engineType_) {
    case kFieldTypeDate: return (std::get<int32_t>(value) - 1) * kMsPerDay;
    case kFieldTypeTime: return static_cast<double>(std::get<int32_t>(value));
    case kFieldTypeTimestamp: return std::get<double>(value);
    default: break;
  }
  if (const auto* s = std::get_if<std::string>(&value)) {
    try {
      return TextToTimestamp(*s);
    } catch (const EConvertError&) {
      InvalidValue();
    }
  }
  return AsFloat();
}

std::string TField::AsString() const {
  if (IsBlob()) return dataSet_.GetBlobText(*this);
  const TFieldValue value = Value();
  if (std::holds_alternative<std::monostate>(value)) return {};
  switch (engineType_) {
    case kFieldTypeDate: return DateToText(std::get<int32_t>(value));
    case kFieldTypeTime: return TimeToText(std::get<int32_t>(value));
    case kFieldTypeTimestamp: return TimestampToText(std::get<double>(value));
    default: break;
  }
  return std::visit(
      [this](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return v;
        } else if constexpr (std::is_same_v<T, bool>) {
          return BooleanToText(v);
        } else if constexpr (std::is_integral_v<T>) {
          return std::to_string(v);
        } else if constexpr (std::is_floating_point_v<T>) {
          return FloatToText(static_cast<double>(v));
        } else if constexpr (std::is_same_v<T, Bcd>) {
          const std::optional<int64_t> fixed = BcdToFixedPoint(v);
          if (!fixed) InvalidValue();
          return BCDToText(*fixed);
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          return std::string(v.begin(), v.end());
        } else {
          return {};
        }
      },
      value);
}

TFieldValue TField::FromInteger(int64_t value) const {
  auto within = [&](int64_t low, int64_t high) {
    if (value < low || value > high) InvalidValue();
  };
  switch (engineType_) {
    case kFieldTypeString: return std::to_string(value);
    case kFieldTypeBoolean: return value != 0;
    case kFieldTypeSmallInt: within(INT16_MIN, INT16_MAX); return static_cast<int16_t>(value);
    case kFieldTypeInteger: case kFieldTypeDate: case kFieldTypeTime:
      within(INT32_MIN, INT32_MAX); return static_cast<int32_t>(value);
    case kFieldTypeWord: within(0, UINT16_MAX); return static_cast<uint16_t>(value);
    case kFieldTypeCardinal: within(0, UINT32_MAX); return static_cast<uint32_t>(value);
    case kFieldTypeLargeInt: return value;
    case kFieldTypeFloat: case kFieldTypeTimestamp: return static_cast<double>(value);
    case kFieldTypeBcd: {
      if (value > INT64_MAX / 10000 || value < INT64_MIN / 10000) InvalidValue();
      std::optional<Bcd> bcd = BcdFromFixedPoint(value * 10000, static_cast<uint8_t>(size_));
      if (!bcd) InvalidValue();
      return *bcd;
    }
    default: InvalidValue();
  }
}

TFieldValue TField::FromFloat(double value) const {
  switch (engineType_) {
    case kFieldTypeFloat: case kFieldTypeTimestamp: return value;
    case kFieldTypeString: return FloatToText(value);
    case kFieldTypeBcd: {
      const double scaled = std::round(value * 10000.0);
      if (!(std::fabs(scaled) < 9.2e18)) InvalidValue();
      std::optional<Bcd> bcd = BcdFromFixedPoint(static_cast<int64_t>(scaled), static_cast<uint8_t>(size_));
      if (!bcd) InvalidValue();
      return *bcd;
    }
    default:
      if (!std::isfinite(value) || std::fabs(value) > 9.2e18) InvalidValue();
      return FromInteger(std::llround(value));
  }
}

TFieldValue TField::FromText(const std::string& text) const {
  try {
    switch (engineType_) {
      case kFieldTypeString: return text;
      case kFieldTypeBytes: case kFieldTypeVarBytes: return std::vector<uint8_t>(text.begin(), text.end());
      case kFieldTypeDate: return TextToDate(text);
      case kFieldTypeTime: return TextToTime(text);
      case kFieldTypeTimestamp: return TextToTimestamp(text);
      case kFieldTypeBoolean: return TextToBoolean(text);
      case kFieldTypeFloat: return TextToFloat(text);
      case kFieldTypeBcd: {
        std::optional<Bcd> bcd = BcdFromFixedPoint(TextToBCD(text), static_cast<uint8_t>(size_));
        if (!bcd) InvalidValue();
        return *bcd;
      }
      default: {
        int64_t n = 0;
        if (!ParseInteger(text, n)) InvalidValue();
        return FromInteger(n);
      }
    }
  } catch (const EConvertError&) {
    InvalidValue();
  }
}

TFieldValue TField::Coerce(const TFieldValue& value) const {
  return std::visit(
      [this](const auto& v) -> TFieldValue {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return v;
        } else if constexpr (std::is_same_v<T, std::string>) {
          if (v.empty() && engineType_ != kFieldTypeString) return std::monostate{};
          return FromText(v);
        } else if constexpr (std::is_same_v<T, bool>) {
          if (engineType_ == kFieldTypeBoolean) return v;
          if (engineType_ == kFieldTypeString) return BooleanToText(v);
          return FromInteger(v ? 1 : 0);
        } else if constexpr (std::is_integral_v<T>) {
          if (engineType_ == kFieldTypeCardinal && static_cast<int64_t>(v) >= 0) {
            return FromInteger(static_cast<int64_t>(v));
          }
          return FromInteger(static_cast<int64_t>(v));
        } else if constexpr (std::is_floating_point_v<T>) {
          return FromFloat(static_cast<double>(v));
        } else {
          return v;
        }
      },
      value);
}

void TField::SetValue(const TFieldValue& value) { dataSet_.SetFieldValue(*this, value); }

void TField::Clear() {
  dataSet_.CheckSetField(*this);
  if (IsBlob()) {
    dataSet_.SetBlobText(*this, {});
    return;
  }
  SetValue(std::monostate{});
}

void TField::SetAsInteger(int32_t value) { SetAsLargeInt(value); }

void TField::SetAsLargeInt(int64_t value) {
  dataSet_.CheckSetField(*this);
  if (IsBlob()) return dataSet_.SetBlobText(*this, std::to_string(value));
  SetValue(FromInteger(value));
}

void TField::SetAsFloat(double value) {
  dataSet_.CheckSetField(*this);
  if (IsBlob()) return dataSet_.SetBlobText(*this, FloatToText(value));
  SetValue(FromFloat(value));
}

void TField::SetAsBoolean(bool value) {
  dataSet_.CheckSetField(*this);
  if (engineType_ == kFieldTypeString) return SetValue(BooleanToText(value));
  if (IsBlob()) return dataSet_.SetBlobText(*this, BooleanToText(value));
  SetValue(FromInteger(value ? 1 : 0));
}

void TField::SetAsDateTime(double timestamp) {
  dataSet_.CheckSetField(*this);
  switch (engineType_) {
    case kFieldTypeDate: return SetValue(static_cast<int32_t>(std::floor(timestamp / kMsPerDay)) + 1);
    case kFieldTypeTime: {
      double ms = std::fmod(timestamp, kMsPerDay);
      if (ms < 0) ms += kMsPerDay;
      return SetValue(static_cast<int32_t>(ms));
    }
    case kFieldTypeTimestamp: return SetValue(timestamp);
    case kFieldTypeString: return SetValue(TimestampToText(timestamp));
    default: return SetAsFloat(timestamp);
  }
}

void TField::SetAsString(const std::string& value) {
  dataSet_.CheckSetField(*this);
  if (IsBlob()) return dataSet_.SetBlobText(*this, value);
  // An empty text clears a non-text field, as a cleared edit box would.
  if (value.empty() && engineType_ != kFieldTypeString) return SetValue(std::monostate{});
  SetValue(FromText(value));
}

}  // namespace rudira
