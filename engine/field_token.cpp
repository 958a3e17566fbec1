// ReadFieldToken: a stored field value as an expression value.
#include "engine/field_token.h"

#include <string_view>
#include <type_traits>
#include <variant>

#include "storage/blob_buffer.h"
#include "storage/byte_codec.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/record_layout.h"

namespace rudira {

void ReadFieldToken(TDataTable& table, const TFieldDescriptor& field, const uint8_t* record, TExpToken& value) {
  if (!record || IsFieldNull(record, field)) {
    value.SetNull();
    return;
  }
  const TFieldValue stored = ReadFieldValue(record, field);
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          value.SetNull();
        } else if constexpr (std::is_same_v<T, std::string>) {
          value.SetBytes(v);
        } else if constexpr (std::is_same_v<T, bool>) {
          value.SetUInt16(v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, int16_t>) {
          value.SetInt16(v);
        } else if constexpr (std::is_same_v<T, uint16_t>) {
          value.SetUInt16(v);
        } else if constexpr (std::is_same_v<T, int32_t>) {
          value.SetInt32(v);
        } else if constexpr (std::is_same_v<T, uint32_t>) {
          value.SetUInt32(v);
        } else if constexpr (std::is_same_v<T, int64_t>) {
          value.SetInt64(v);
        } else if constexpr (std::is_same_v<T, double>) {
          value.SetDouble(v);
        } else if constexpr (std::is_same_v<T, long double>) {
          value.SetDouble(static_cast<double>(v));
        } else if constexpr (std::is_same_v<T, Bcd>) {
          value.SetBcd(v);
        } else if constexpr (std::is_same_v<T, BlobReference>) {
          if (v.FirstBlock == 0 || !table.HasBlobFields()) {
            value.SetNull();
            return;
          }
          TBlobBuffer blob(table.BlobFile(), v);
          blob.ReadValue();
          const auto& bytes = blob.Value();
          value.SetBytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          value.SetBytes(std::string_view(reinterpret_cast<const char*>(v.data()), v.size()));
        }
      },
      stored);
}

bool ReadIntegerField(const TFieldDescriptor& field, const uint8_t* record, int64_t& value, bool& isNull) {
  switch (field.FieldType) {
    case kFieldTypeSmallInt:
    case kFieldTypeWord:
    case kFieldTypeInteger:
    case kFieldTypeLargeInt:
      break;
    default:
      return false;
  }
  isNull = !record || IsFieldNull(record, field);
  value = 0;
  if (isNull) return true;
  if (field.IsAutoInc()) {
    value = RecordAutoIncValue(record);
    return true;
  }
  const uint8_t* data = record + field.Offset + 1;
  switch (field.FieldType) {
    case kFieldTypeSmallInt: value = LoadLE<int16_t>(data); break;
    case kFieldTypeWord: value = LoadLE<uint16_t>(data); break;
    case kFieldTypeInteger: value = LoadLE<int32_t>(data); break;
    default: value = LoadLE<int64_t>(data); break;
  }
  return true;
}

}  // namespace rudira
