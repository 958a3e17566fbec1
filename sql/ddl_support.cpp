// Shared pieces of the definition statements: target database, field and
// index descriptors, text-index parameters.
#include "sql/ddl_support.h"

#include <algorithm>
#include <cctype>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "sql/statement_executor.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/index_key.h"

namespace rudira {

namespace {

constexpr char kTextIndexName[] = "Sys Text";

uint8_t CompressionOf(uint8_t sqlCompression) {
  switch (sqlCompression) {
    case kCompressDuplicateByte: return kCompressionDupByte;
    case kCompressTrailingByte: return kCompressionTrailByte;
    case kCompressFull: return kCompressionFull;
    default: return kCompressionNone;
  }
}

}  // namespace

std::string CutText(std::string_view text, size_t limit) {
  if (text.size() <= limit) return std::string(text);
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

TTargetDatabase::TTargetDatabase(TSelectExecutor::TImpl& impl, const TDataQuery& query) : impl_(impl) {
  if (query.TargetInMemory) {
    database_ = impl.Session.OpenDatabase(kMemoryDatabaseName, "");
    owned_ = true;
    inMemory_ = true;
    name_ = query.TargetName;
    return;
  }
  const size_t slash = query.TargetName.find_last_of('\\');
  if (slash != std::string::npos) {
    const std::string directory = query.TargetName.substr(0, slash + 1);
    database_ = impl.Session.OpenDatabase(directory, directory);
    owned_ = true;
    name_ = query.TargetName.substr(slash + 1);
  } else {
    database_ = &impl.Database;
    name_ = query.TargetName;
  }
}

TTargetDatabase::~TTargetDatabase() {
  if (owned_) impl_.Session.CloseDatabase(database_);
}

std::unique_ptr<TDataCursor> TTargetDatabase::NewCursor() {
  auto cursor = std::make_unique<TDataCursor>(impl_.Session, *database_);
  cursor->SetTableName(name_);
  cursor->SetInMemory(inMemory_);
  if (impl_.Owner.PasswordCallback()) cursor->SetPasswordCallback(impl_.Owner.PasswordCallback());
  return cursor;
}

std::unique_ptr<TDataCursor> TTargetDatabase::OpenExclusive() {
  std::unique_ptr<TDataCursor> cursor = NewCursor();
  cursor->SetExclusive(true);
  cursor->OpenCursor();
  return cursor;
}

TFieldDescriptor FieldOf(const TCreateField& column) {
  TFieldDescriptor field;
  field.FieldName = CutText(column.ColumnName, kMaxSqlFieldNameLength);
  field.FieldDescription = CutText(column.Description, kMaxSqlDescriptionLength);
  field.FieldType = column.Type.FieldType;
  field.SubType = column.Type.SubType;
  field.Size = column.Type.FieldType == kFieldTypeBlob ? 0 : column.Type.Size;
  field.Scale = column.Type.Scale;
  field.Required = column.NotNull ? 1 : 0;
  field.CharCase = column.CharCase;
  field.DefaultValue = CutText(column.DefaultText, kMaxSqlCheckTextLength);
  field.MinValue = CutText(column.MinText, kMaxSqlCheckTextLength);
  field.MaxValue = CutText(column.MaxText, kMaxSqlCheckTextLength);
  return field;
}

uint16_t FieldNumberOf(const std::vector<TFieldDescriptor>& fields, const std::string& column) {
  for (const TFieldDescriptor& field : fields) {
    if (SameNameIgnoringCase(field.FieldName, column)) return field.FieldNo;
  }
  return 0;
}

TIndexDefinition IndexOf(const TCreateIndex& index, const std::vector<TFieldDescriptor>& fields,
                         const std::string& tableName) {
  TIndexDefinition definition;
  definition.IndexName = CutText(index.IndexName, kMaxSqlFieldNameLength);
  definition.Unique = index.Unique || index.Primary ? 1 : 0;
  definition.Descending = index.Descending ? 1 : 0;
  definition.CaseInsensitive = index.CaseInsensitive ? 1 : 0;
  definition.Compression = CompressionOf(index.Compression);
  if (index.Columns.size() > kMaxSqlIndexColumns) {
    RaiseEngineError(RUDIRA_INVALIDKEY, {.TableName = tableName, .IndexName = definition.IndexName});
  }
  for (size_t i = 0; i < index.Columns.size(); ++i) {
    const uint16_t number = FieldNumberOf(fields, index.Columns[i].ColumnName);
    if (number == 0) {
      RaiseSql("Invalid field name '" + index.Columns[i].ColumnName + "'" + " specified for index " + "'" +
               index.IndexName + "'");
    }
    definition.FieldNumbers[i] = number;
    definition.FieldDescending[i] = index.Descending ? 1 : 0;
  }
  definition.IndexFieldCount = static_cast<uint8_t>(index.Columns.size());
  PrepareIndexDefinition(definition, fields, false, tableName);
  return definition;
}

TIndexDefinition TextIndexOf(const TTextIndexDefinition& text, const std::vector<TFieldDescriptor>& fields,
                             const std::string& tableName) {
  TIndexDefinition definition;
  definition.IndexName = kTextIndexName;
  definition.Compression = kCompressionFull;
  for (size_t i = 0; i < text.Columns.size() && i < kMaxSqlIndexColumns; ++i) {
    const uint16_t number = FieldNumberOf(fields, text.Columns[i].ColumnName);
    if (number == 0) RaiseSql("Invalid field name '" + text.Columns[i].ColumnName + "'" + " specified for text index");
    definition.FieldNumbers[i] = number;
  }
  definition.IndexFieldCount = static_cast<uint8_t>(std::min(text.Columns.size(), kMaxSqlIndexColumns));
  PrepareIndexDefinition(definition, fields, true, tableName);
  return definition;
}

TCharacterSet StoredCharacterSet(const std::bitset<256>& set) {
  TCharacterSet stored{};
  for (size_t c = 0; c < 256; ++c) {
    if (set.test(c)) stored[c / 8] = static_cast<uint8_t>(stored[c / 8] | (1u << (c % 8)));
  }
  return stored;
}

TextIndexParameters TextParametersOf(const TTextIndexDefinition& text, TextIndexParameters base) {
  if (text.StopWordsGiven) base.StopWords = text.StopWords;
  if (text.SpaceCharsGiven) base.SpaceChars = StoredCharacterSet(text.SpaceChars);
  if (text.IncludeCharsGiven) base.IncludeChars = StoredCharacterSet(text.IncludeChars);
  return base;
}

}  // namespace rudira
