#include "storage/index_key.h"

#include <bit>
#include <cstring>

#include "engine/errors.h"
#include "engine/locale_compare.h"
#include "engine/utf8_text.h"
#include "storage/bcd.h"
#include "storage/byte_codec.h"
#include "storage/field_type.h"
#include "storage/index_header.h"
#include "storage/record_layout.h"

namespace rudira {

void EncodeOrderedUInt16(uint16_t value, uint8_t* out) {
  out[0] = static_cast<uint8_t>(value >> 8);
  out[1] = static_cast<uint8_t>(value);
}

void EncodeOrderedInt16(int16_t value, uint8_t* out) {
  EncodeOrderedUInt16(static_cast<uint16_t>(value) ^ 0x8000u, out);
}

void EncodeOrderedInt32(int32_t value, uint8_t* out) {
  const uint32_t bits = static_cast<uint32_t>(value) ^ 0x80000000u;
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(bits >> (24 - 8 * i));
}

void EncodeOrderedInt64(int64_t value, uint8_t* out) {
  const uint64_t bits = static_cast<uint64_t>(value) ^ 0x8000000000000000ull;
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
}

void EncodeOrderedDouble(double value, uint8_t* out) {
  if (value == 0.0) value = 0.0;  // -0.0 keys as +0.0
  uint64_t bits = std::bit_cast<uint64_t>(value);
  bits = (bits & 0x8000000000000000ull) ? ~bits : (bits | 0x8000000000000000ull);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
}

int32_t DecodeOrderedInt32(const uint8_t* in) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits = (bits << 8) | in[i];
  return static_cast<int32_t>(bits ^ 0x80000000u);
}

int64_t DecodeOrderedInt64(const uint8_t* in) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | in[i];
  return static_cast<int64_t>(bits ^ 0x8000000000000000ull);
}

double DecodeOrderedDouble(const uint8_t* in) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | in[i];
  bits = (bits & 0x8000000000000000ull) ? (bits & ~0x8000000000000000ull) : ~bits;
  return std::bit_cast<double>(bits);
}

namespace {

int64_t BcdKeyValue(const uint8_t* data) {
  Bcd bcd;
  std::memcpy(bcd.Bytes.data(), data, bcd.Bytes.size());
  if (auto fixed = BcdToFixedPoint(bcd)) return *fixed;
  // Out of range (or malformed): the nearest end keeps the sign's order.
  return bcd.Negative() ? INT64_MIN : INT64_MAX;
}

void EncodeStringValue(const TFieldDescriptor& field, const uint8_t* data, bool caseInsensitive,
                       const TableLocale& locale, uint8_t* out) {
  const size_t size = field.Size;
  const char* text = reinterpret_cast<const char*>(data);
  std::string value(text, strnlen(text, field.Width));
  if (caseInsensitive) LocaleUpperCase(locale.LanguageId, locale.SortId, value);
  // Upper-casing may lengthen the text; the key keeps its width.
  value = Utf8Cut(value, size);
  std::memcpy(out, value.data(), value.size());
}

}  // namespace

void EncodeKeyField(const TFieldDescriptor& field, bool hasValue, const uint8_t* data, bool caseInsensitive,
                    bool invert, const TableLocale& locale, uint8_t* out) {
  const size_t width = field.Width;
  std::memset(out, 0, width + 1);
  out[0] = hasValue ? 1 : 0;
  uint8_t* v = out + 1;
  if (hasValue) {
    switch (field.FieldType) {
      case kFieldTypeString:
        EncodeStringValue(field, data, caseInsensitive, locale, v);
        break;
      case kFieldTypeDate:
      case kFieldTypeInteger:
      case kFieldTypeTime:
        EncodeOrderedInt32(LoadLE<int32_t>(data), v);
        break;
      case kFieldTypeSmallInt:
        EncodeOrderedInt16(LoadLE<int16_t>(data), v);
        break;
      case kFieldTypeBoolean:
      case kFieldTypeWord:
        EncodeOrderedUInt16(LoadLE<uint16_t>(data), v);
        break;
      case kFieldTypeLargeInt:
        EncodeOrderedInt64(LoadLE<int64_t>(data), v);
        break;
      case kFieldTypeFloat:
      case kFieldTypeTimestamp:
        EncodeOrderedDouble(LoadDoubleLE(data), v);
        break;
      case kFieldTypeBcd:
        EncodeOrderedInt64(BcdKeyValue(data), v);
        break;
      default:
        std::memcpy(v, data, width);
        break;
    }
  }
  if (invert) {
    const size_t valueBytes = field.FieldType == kFieldTypeString ? field.Size : width;
    for (size_t i = 0; i <= valueBytes; ++i) out[i] = static_cast<uint8_t>(~out[i]);
  }
}

void EncodeRecordKeyField(const TFieldDescriptor& field, const uint8_t* record, bool caseInsensitive, bool invert,
                          const TableLocale& locale, uint8_t* out) {
  if (field.IsAutoInc()) {
    EncodeKeyField(field, true, record + kRecordAutoIncOffset, caseInsensitive, invert, locale, out);
  } else if (!field.IsStored()) {
    EncodeKeyField(field, false, nullptr, caseInsensitive, invert, locale, out);
  } else {
    EncodeKeyField(field, record[field.Offset] != 0, record + field.Offset + 1, caseInsensitive, invert, locale, out);
  }
}

void BuildIndexKey(const TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields,
                   const uint8_t* record, const TableLocale& locale, uint8_t* key) {
  uint8_t* out = key;
  for (int i = 0; i < definition.IndexFieldCount; ++i) {
    const TFieldDescriptor& field = fields[definition.FieldNumbers[i] - 1];
    const bool invert = definition.FieldIsDescending(i) && locale.LanguageId == 0;
    EncodeRecordKeyField(field, record, definition.CaseInsensitive != 0, invert, locale, out);
    out += field.Width + 1;
  }
  if (!definition.Unique) EncodeOrderedInt32(RecordAutoIncValue(record), out);
}

bool IndexKeySourcesEqual(const TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields,
                          const uint8_t* a, const uint8_t* b) {
  // The spans EncodeRecordKeyField reads: nothing for a field not stored.
  const auto same = [a, b](size_t offset, size_t length) { return std::memcmp(a + offset, b + offset, length) == 0; };
  bool idRead = !definition.Unique;
  for (int i = 0; i < definition.IndexFieldCount; ++i) {
    const TFieldDescriptor& field = fields[definition.FieldNumbers[i] - 1];
    if (field.IsAutoInc()) {
      idRead = true;
    } else if (field.IsStored() && !same(field.Offset, size_t{1} + field.Width)) {
      return false;
    }
  }
  return !idRead || same(kRecordAutoIncOffset, sizeof(int32_t));
}

void BuildSysDeletedKey(const uint8_t* record, uint8_t* key) {
  key[0] = RecordStatus(record);
  EncodeOrderedInt32(RecordAutoIncValue(record), key + 1);
}

int IndexKeySize(const TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields) {
  int size = 0;
  for (int i = 0; i < definition.IndexFieldCount; ++i) size += fields[definition.FieldNumbers[i] - 1].Width + 1;
  return size + (definition.Unique ? 0 : 4);
}

void PrepareIndexDefinition(TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields,
                            bool textIndex, const std::string& tableName) {
  if (definition.IndexFieldCount > kMaxIndexFields) RaiseEngineError(RUDIRA_INDEXLIMIT, {.TableName = tableName});
  for (int i = 0; i < definition.IndexFieldCount; ++i) {
    const uint16_t number = definition.FieldNumbers[i];
    if (number < 1 || number > fields.size()) {
      const std::string text = std::to_string(number);
      RaiseEngineError(RUDIRA_INVALIDIDXDESC,
                       {.TableName = tableName, .FieldName = text, .IndexName = definition.IndexName});
    }
    const TFieldDescriptor& field = fields[number - 1];
    const bool refused = textIndex ? !(field.FieldType == kFieldTypeString ||
                                       (field.FieldType == kFieldTypeBlob &&
                                        (field.SubType == kSubTypeMemo || field.SubType == kSubTypeFormattedMemo)))
                                   : field.IsBlob();
    if (refused) {
      RaiseEngineError(RUDIRA_SEARCHCOLREQD,
                       {.TableName = tableName, .FieldName = field.FieldName, .IndexName = definition.IndexName});
    }
  }
  if (textIndex) {
    definition.KeySize = kSysTextKeySize;
    return;
  }
  const int size = IndexKeySize(definition, fields);
  if (size > kMaxKeySize) {
    RaiseEngineError(RUDIRA_INVALIDKEY, {.TableName = tableName, .IndexName = definition.IndexName});
  }
  definition.KeySize = static_cast<int16_t>(size);
}

}  // namespace rudira
