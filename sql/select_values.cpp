// Values of the SELECT machinery: the SQL error, deep copies of expression
// trees, and the moves of a value between an expression node and a record
// field (BLOBs read through the table's BLOB file).
#include <cstring>
#include <variant>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "sql/select_query_run.h"
#include "storage/blob_buffer.h"
#include "storage/field_type.h"
#include "storage/field_value.h"

namespace rudira {

[[noreturn]] void RaiseSql(const std::string& message) { RaiseEngineError(RUDIRA_SQLPARSE, {.Text = message}); }

TExpTokenPtr CopyTree(const TExpToken& node) {
  TExpTokenPtr copy = TExpTokenStack::TakePtr();
  copy->TokenText = node.TokenText;
  copy->NodeKind = node.NodeKind;
  copy->OpCode = node.OpCode;
  copy->ColumnName = node.ColumnName;
  copy->FieldNo = node.FieldNo;
  copy->TableAlias = node.TableAlias;
  copy->SourceTable = node.SourceTable;
  copy->SubQuery = node.SubQuery;
  copy->CopyValueFrom(node);
  copy->DataSize = node.DataSize;
  copy->DataScale = node.DataScale;
  copy->IsParameter = node.IsParameter;
  copy->ParameterIndex = node.ParameterIndex;
  copy->FromString = node.FromString;
  copy->SavedDataType = node.SavedDataType;
  copy->SavedSubType = node.SavedSubType;
  copy->SavedDataSize = node.SavedDataSize;
  copy->SavedDataScale = node.SavedDataScale;
  if (node.Left) copy->SetLeft(CopyTree(*node.Left).release());
  if (node.Right) copy->SetRight(CopyTree(*node.Right).release());
  for (const TExpToken* argument : node.Arguments) copy->AddArgument(CopyTree(*argument).release());
  return copy;
}

bool StoreTokenValue(uint8_t* record, const TFieldDescriptor& field, const TExpToken& value,
                     const TableLocale& locale) {
  if (value.IsNull) {
    StoreFieldNull(record, field);
    return true;
  }
  TFieldValue stored;
  switch (field.FieldType) {
    case kFieldTypeString: stored = std::string(value.Bytes()); break;
    case kFieldTypeBoolean: stored = value.UInt16() != 0; break;
    case kFieldTypeSmallInt: stored = value.Int16(); break;
    case kFieldTypeWord: stored = value.UInt16(); break;
    case kFieldTypeDate:
    case kFieldTypeTime:
    case kFieldTypeInteger: stored = value.Int32(); break;
    case kFieldTypeCardinal: stored = value.UInt32(); break;
    case kFieldTypeLargeInt: stored = value.Int64(); break;
    case kFieldTypeFloat:
    case kFieldTypeTimestamp: stored = value.Double(); break;
    case kFieldTypeBcd: stored = value.BcdValue(); break;
    case kFieldTypeBytes:
    case kFieldTypeVarBytes: {
      const std::string_view bytes = value.Bytes();
      stored = std::vector<uint8_t>(bytes.begin(), bytes.end());
      break;
    }
    default: return false;
  }
  return StoreFieldValue(record, field, stored, locale);
}

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

}  // namespace rudira
