#include "components/dataset_filter.h"

#include "engine/error_codes.h"
#include "engine/expression_checker.h"
#include "engine/expression_parser.h"
#include "storage/field_type.h"
#include "storage/field_value.h"

namespace rudira {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

TDataSetFilter::TDataSetFilter(TDataCursor& cursor, const std::string& text, TFilterOptions options)
    : cursor_(cursor) {
  const std::string& databaseName = cursor.Database().DirectoryPath();
  TExpressionParser parser(RUDIRA_INVALIDFILTER, kFilterContext);
  parser.SetNames(databaseName, cursor.TableName());
  parser.SetText(text);
  root_ = parser.Parse(kFilterPermissions);
  TExpressionCheck check;
  check.ErrorCode = RUDIRA_INVALIDFILTER;
  check.DatabaseName = databaseName;
  check.TableName = cursor.TableName();
  check.ContextPhrase = kFilterContext;
  check.StringsNameColumns = true;
  check.ResolveColumn = [this](TExpToken& column) {
    for (const TFieldDescriptor& field : cursor_.Fields()) {
      if (!SameName(field.FieldName, column.ColumnName)) continue;
      column.FieldNo = field.FieldNo;
      column.ColumnName = field.FieldName;
      column.SetType(field.FieldType, field.SubType, field.Size, field.Scale);
      return true;
    }
    return false;
  };
  CheckFilterExpression(*root_, check);
  if (cursor.Table() != nullptr) {
    const TableLocale locale = cursor.Table()->DataFile().Locale();
    options_.LanguageId = static_cast<uint16_t>(locale.LanguageId);
    options_.SortId = static_cast<uint16_t>(locale.SortId);
  }
  options_.CaseInsensitive = options.CaseInsensitive;
}

bool TDataSetFilter::Accepts(const uint8_t* record) {
  record_ = record;
  return EvaluateCondition(*root_, *this, options_);
}

void TDataSetFilter::ReadColumn(const TExpToken& column, TExpToken& value) {
  const TFieldDescriptor& field = cursor_.Field(column.FieldNo);
  if (field.FieldType == kFieldTypeBlob) {
    // The whole BLOB value, as the engine compares memos.
    uint8_t* record = const_cast<uint8_t*>(record_);
    cursor_.OpenBlob(field.FieldNo, record);
    std::string data(cursor_.GetBlobSize(field.FieldNo, record), '\0');
    data.resize(cursor_.GetBlob(field.FieldNo, record, 0, data.size(), reinterpret_cast<uint8_t*>(data.data())));
    cursor_.FreeBlob(field.FieldNo);
    if (data.empty()) {
      value.SetNull();
    } else {
      value.SetBytes(data);
    }
    return;
  }
  const TFieldValue stored = ReadFieldValue(record_, field);
  std::visit(
      [&value](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          value.SetNull();
        } else if constexpr (std::is_same_v<T, std::string>) {
          value.SetBytes(v);
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          value.SetBytes(std::string_view(reinterpret_cast<const char*>(v.data()), v.size()));
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
        } else {
          value.SetNull();
        }
      },
      stored);
}

}  // namespace rudira
