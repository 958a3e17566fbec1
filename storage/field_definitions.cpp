#include "storage/field_definitions.h"

#include <set>

#include <unicode/unistr.h>

#include "engine/errors.h"
#include "storage/field_type.h"
#include "storage/record_layout.h"

namespace rudira {
namespace {

constexpr uint8_t kMaxScale = 32;

// What is wrong with one field on its own, or nothing.
enum class FieldFault { kNone, kDefinition, kName, kCheck };

// The checks shared by create and open, on a field whose Size and Scale are
// already normalised.
FieldFault CheckField(const TFieldDescriptor& field, size_t position) {
  if (field.FieldNo != position + 1) return FieldFault::kDefinition;
  if (!IsValidFieldName(field.FieldName)) return FieldFault::kName;
  if (!IsKnownFieldType(field.FieldType) || !IsValidSubType(field.FieldType, field.SubType)) {
    return FieldFault::kDefinition;
  }
  if (FieldTypeHasSize(field.FieldType)) {
    if (field.Size < 1 || field.Size > kMaxDeclaredSize) return FieldFault::kDefinition;
  } else if (field.Size != 0) {
    return FieldFault::kDefinition;
  }
  if (field.FieldType == kFieldTypeBcd ? field.Scale > kMaxScale : field.Scale != 0) {
    return FieldFault::kDefinition;
  }
  if (field.CharCase > kCharCaseUpper) return FieldFault::kDefinition;
  if (!FieldCheckTextParses(field, field.MinValue) || !FieldCheckTextParses(field, field.MaxValue) ||
      !FieldCheckTextParses(field, field.DefaultValue)) {
    return FieldFault::kCheck;
  }
  return FieldFault::kNone;
}

// The Offset a field takes when `nextOffset` is the first free record byte;
// advances nextOffset past it.
uint16_t AssignOffset(const TFieldDescriptor& field, uint32_t& nextOffset) {
  if (!field.IsStored()) return 0;
  if (field.IsAutoInc()) return static_cast<uint16_t>(kRecordAutoIncOffset);
  const uint32_t offset = nextOffset;
  nextOffset += static_cast<uint32_t>(field.Width) + 1;
  return static_cast<uint16_t>(offset);
}

[[noreturn]] void RaiseFieldError(uint16_t code, std::string_view databaseName, std::string_view tableName,
                                  std::string_view fieldName) {
  RaiseEngineError(code, {.DatabaseName = databaseName, .TableName = tableName, .FieldName = fieldName});
}

}  // namespace

bool IsValidFieldName(std::string_view name) {
  if (name.empty() || name.size() > kFieldNameCapacity) return false;
  const auto first = static_cast<uint8_t>(name[0]);
  const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
  return letter || first == '_' || (first >= 128 && first <= 254);
}

std::string FieldNameKey(std::string_view name) {
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
  text.foldCase();
  std::string key;
  text.toUTF8String(key);
  return key;
}

RecordLayoutSummary PrepareFieldDefinitions(std::vector<TFieldDescriptor>& fields, std::string_view databaseName,
                                            std::string_view tableName) {
  if (fields.empty() || fields.size() > kMaxFieldCount) {
    RaiseTableError(RUDIRA_FLDLIMIT, databaseName, tableName);
  }
  auto raiseField = [&](uint16_t code, const TFieldDescriptor& field) {
    RaiseFieldError(code, databaseName, tableName, field.FieldName);
  };
  RecordLayoutSummary summary;
  std::set<std::string> names;
  uint32_t nextOffset = kFirstFieldOffset;
  for (size_t i = 0; i < fields.size(); ++i) {
    TFieldDescriptor& field = fields[i];
    if (!FieldTypeHasSize(field.FieldType)) field.Size = 0;
    if (field.FieldType != kFieldTypeBcd) field.Scale = 0;
    field.ScaleCopy = field.Scale;
    field.Required = field.Required != 0 ? 1 : 0;
    field.Computed = field.Computed != 0 ? 1 : 0;
    switch (CheckField(field, i)) {
      case FieldFault::kNone: break;
      case FieldFault::kDefinition: RaiseFieldError(RUDIRA_INVALIDFLDTYPE, databaseName, tableName, field.FieldName);
      case FieldFault::kName: RaiseFieldError(RUDIRA_INVALIDFIELDNAME, databaseName, tableName, field.FieldName);
      case FieldFault::kCheck: RaiseFieldError(RUDIRA_INVALIDVCHKSTRUCT, databaseName, tableName, field.FieldName);
    }
    if (!names.insert(FieldNameKey(field.FieldName)).second) raiseField(RUDIRA_INVALIDFIELDNAME, field);
    field.Width = FieldDataWidth(field.FieldType, field.Size);
    field.Offset = AssignOffset(field, nextOffset);
    if (field.IsBlob() && ++summary.BlobFieldCount > kMaxBlobFieldCount) {
      RaiseTableError(RUDIRA_BLOBLIMIT, databaseName, tableName);
    }
  }
  summary.RecordSize = nextOffset;
  if (summary.RecordSize > kMaxRecordSize) RaiseTableError(RUDIRA_RECTOOBIG, databaseName, tableName);
  return summary;
}

bool ValidateFieldDescriptors(const std::vector<TFieldDescriptor>& fields, uint16_t recordSize,
                              int16_t blobFieldCount) {
  if (fields.size() > kMaxFieldCount) return false;
  std::set<std::string> names;
  uint32_t nextOffset = kFirstFieldOffset;
  int blobs = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    const TFieldDescriptor& field = fields[i];
    if (CheckField(field, i) != FieldFault::kNone) return false;
    if (field.Width != FieldDataWidth(field.FieldType, field.Size)) return false;
    if (field.Computed > 1 || field.Required > 1) return false;
    if (!names.insert(FieldNameKey(field.FieldName)).second) return false;
    if (field.Offset != AssignOffset(field, nextOffset)) return false;
    if (field.IsBlob()) ++blobs;
  }
  return nextOffset == recordSize && blobs == blobFieldCount && blobs <= kMaxBlobFieldCount;
}

}  // namespace rudira
