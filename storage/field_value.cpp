#include "storage/field_value.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "engine/locale_compare.h"
#include "engine/utf8_text.h"
#include "storage/byte_codec.h"
#include "storage/extended_float.h"
#include "storage/field_type.h"
#include "storage/record_layout.h"

namespace rudira {
namespace {

template <typename T>
void StoreData(uint8_t* data, T value) {
  StoreLE<std::make_unsigned_t<T>>(data, static_cast<std::make_unsigned_t<T>>(value));
}

// The data bytes of a field that has a null flag.
uint8_t* DataOf(uint8_t* record, const TFieldDescriptor& field) { return record + field.Offset + 1; }
const uint8_t* DataOf(const uint8_t* record, const TFieldDescriptor& field) { return record + field.Offset + 1; }

void SetPresent(uint8_t* record, const TFieldDescriptor& field) { record[field.Offset] = 1; }

}  // namespace

std::string NormalizeStringValue(std::string_view text, uint8_t charCase, uint8_t size, const TableLocale& locale) {
  // The stored text is zero-terminated: nothing after a zero byte could be
  // read back.
  const size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  const size_t end = text.find_last_not_of(' ');
  std::string result(end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1));
  if (charCase == kCharCaseUpper) {
    LocaleUpperCase(static_cast<uint16_t>(locale.LanguageId), static_cast<uint16_t>(locale.SortId), result);
  } else if (charCase == kCharCaseLower) {
    LocaleLowerCase(static_cast<uint16_t>(locale.LanguageId), static_cast<uint16_t>(locale.SortId), result);
  }
  result.resize(Utf8CutLength(result, size));
  return result;
}

void StoreFieldNull(uint8_t* record, const TFieldDescriptor& field) {
  if (!field.IsStored() || field.IsAutoInc()) return;
  record[field.Offset] = 0;
  std::memset(DataOf(record, field), 0, field.Width);
}

bool IsFieldNull(const uint8_t* record, const TFieldDescriptor& field) {
  if (!field.IsStored()) return true;
  if (field.IsAutoInc()) return false;
  return record[field.Offset] == 0;
}

bool StoreFieldValue(uint8_t* record, const TFieldDescriptor& field, const TFieldValue& value,
                     const TableLocale& locale) {
  if (std::holds_alternative<std::monostate>(value)) {
    StoreFieldNull(record, field);
    return true;
  }
  if (field.IsAutoInc()) {
    const int32_t* number = std::get_if<int32_t>(&value);
    if (number == nullptr) return false;
    if (field.IsStored()) SetRecordAutoIncValue(record, *number);
    return true;
  }
  // Checks the alternative against the type first, so that a misfit changes
  // nothing; a Computed field then ignores the store.
  auto store = [&](auto&& writeData) {
    if (!field.IsStored()) return true;
    uint8_t* data = DataOf(record, field);
    std::memset(data, 0, field.Width);
    writeData(data);
    SetPresent(record, field);
    return true;
  };
  switch (field.FieldType) {
    case kFieldTypeString: {
      const std::string* text = std::get_if<std::string>(&value);
      if (text == nullptr) return false;
      if (!field.IsStored()) return true;
      const std::string stored = NormalizeStringValue(*text, field.CharCase, field.Size, locale);
      if (stored.empty()) {
        StoreFieldNull(record, field);
        return true;
      }
      return store([&](uint8_t* data) { std::memcpy(data, stored.data(), stored.size()); });
    }
    case kFieldTypeBoolean: {
      uint16_t flag;
      if (const bool* b = std::get_if<bool>(&value)) flag = *b ? 1 : 0;
      else if (const uint16_t* w = std::get_if<uint16_t>(&value)) flag = *w > 1 ? 1 : *w;
      else return false;
      return store([&](uint8_t* data) { StoreData<uint16_t>(data, flag); });
    }
    case kFieldTypeSmallInt:
      if (const int16_t* v = std::get_if<int16_t>(&value)) return store([&](uint8_t* d) { StoreData(d, *v); });
      return false;
    case kFieldTypeDate:
    case kFieldTypeInteger:
    case kFieldTypeTime:
      if (const int32_t* v = std::get_if<int32_t>(&value)) return store([&](uint8_t* d) { StoreData(d, *v); });
      return false;
    case kFieldTypeWord:
      if (const uint16_t* v = std::get_if<uint16_t>(&value)) return store([&](uint8_t* d) { StoreData(d, *v); });
      return false;
    case kFieldTypeCardinal:
      if (const uint32_t* v = std::get_if<uint32_t>(&value)) return store([&](uint8_t* d) { StoreData(d, *v); });
      return false;
    case kFieldTypeLargeInt:
      if (const int64_t* v = std::get_if<int64_t>(&value)) return store([&](uint8_t* d) { StoreData(d, *v); });
      return false;
    case kFieldTypeFloat:
    case kFieldTypeTimestamp:
      if (const double* v = std::get_if<double>(&value)) return store([&](uint8_t* d) { StoreDoubleLE(d, *v); });
      return false;
    case kFieldTypeExtended:
      if (const long double* v = std::get_if<long double>(&value)) {
        return store([&](uint8_t* d) {
          const Extended80 bytes = EncodeExtended(*v);
          std::memcpy(d, bytes.data(), bytes.size());
        });
      }
      return false;
    case kFieldTypeBcd:
      if (const Bcd* v = std::get_if<Bcd>(&value)) {
        return store([&](uint8_t* d) { std::memcpy(d, v->Bytes.data(), std::min<size_t>(field.Width, kBcdWidth)); });
      }
      return false;
    case kFieldTypeBlob:
      if (const BlobReference* v = std::get_if<BlobReference>(&value)) {
        return store([&](uint8_t* d) {
          StoreData(d, v->FirstBlock);
          StoreData(d + 4, v->Stamp);
        });
      }
      return false;
    case kFieldTypeBytes:
    case kFieldTypeVarBytes:
      if (const auto* v = std::get_if<std::vector<uint8_t>>(&value)) {
        return store([&](uint8_t* d) { std::memcpy(d, v->data(), std::min<size_t>(v->size(), field.Width)); });
      }
      return false;
    default:
      return false;
  }
}

TFieldValue ReadFieldValue(const uint8_t* record, const TFieldDescriptor& field) {
  if (!field.IsStored()) return std::monostate{};
  if (field.IsAutoInc()) return RecordAutoIncValue(record);
  if (record[field.Offset] == 0) return std::monostate{};
  const uint8_t* d = DataOf(record, field);
  switch (field.FieldType) {
    case kFieldTypeString: {
      const size_t limit = std::min<size_t>(field.Size, field.Width);
      const auto* text = reinterpret_cast<const char*>(d);
      return std::string(text, strnlen(text, limit));
    }
    case kFieldTypeBoolean: return LoadLE<uint16_t>(d) != 0;
    case kFieldTypeSmallInt: return LoadLE<int16_t>(d);
    case kFieldTypeDate:
    case kFieldTypeInteger:
    case kFieldTypeTime: return LoadLE<int32_t>(d);
    case kFieldTypeWord: return LoadLE<uint16_t>(d);
    case kFieldTypeCardinal: return LoadLE<uint32_t>(d);
    case kFieldTypeLargeInt: return LoadLE<int64_t>(d);
    case kFieldTypeFloat:
    case kFieldTypeTimestamp: return LoadDoubleLE(d);
    case kFieldTypeExtended: {
      Extended80 bytes{};
      std::memcpy(bytes.data(), d, bytes.size());
      return DecodeExtended(bytes);
    }
    case kFieldTypeBcd: {
      Bcd value;
      std::memcpy(value.Bytes.data(), d, kBcdWidth);
      return value;
    }
    case kFieldTypeBlob: return BlobReference{LoadLE<int32_t>(d), LoadLE<int32_t>(d + 4)};
    case kFieldTypeBytes:
    case kFieldTypeVarBytes: return std::vector<uint8_t>(d, d + field.Width);
    default: return std::monostate{};
  }
}

}  // namespace rudira
