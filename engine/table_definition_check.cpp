// ValidateDefinition and the encoding of the text-index parameters.
#include "engine/table_definition_check.h"

#include <cstring>
#include <set>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/locale_services.h"
#include "storage/byte_codec.h"
#include "storage/field_definitions.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/record_layout.h"

namespace rudira {

namespace {

std::string TrimmedText(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

constexpr uint32_t kMinBlobBlockSize = 64;
constexpr size_t kMaxIndexDefinitionsGiven = 32;

}  // namespace

std::vector<uint8_t> TextIndexParameters::Encode() const {
  std::vector<uint8_t> bytes(SpaceChars.begin(), SpaceChars.end());
  bytes.insert(bytes.end(), IncludeChars.begin(), IncludeChars.end());
  uint8_t count[4];
  StoreLE<int32_t>(count, static_cast<int32_t>(StopWords.size()));
  bytes.insert(bytes.end(), count, count + 4);
  for (const std::string& word : StopWords) {
    const size_t length = std::min<size_t>(word.size(), 255);
    bytes.push_back(static_cast<uint8_t>(length));
    bytes.insert(bytes.end(), word.begin(), word.begin() + static_cast<std::ptrdiff_t>(length));
  }
  return bytes;
}

bool TextIndexParameters::Decode(const std::vector<uint8_t>& bytes) {
  *this = {};
  if (bytes.empty()) return true;
  if (bytes.size() < 68) return false;
  std::memcpy(SpaceChars.data(), bytes.data(), 32);
  std::memcpy(IncludeChars.data(), bytes.data() + 32, 32);
  const int32_t count = LoadLE<int32_t>(bytes.data() + 64);
  if (count < 0) return false;
  size_t at = 68;
  for (int32_t i = 0; i < count; ++i) {
    if (at >= bytes.size()) return false;
    const size_t length = bytes[at++];
    if (at + length > bytes.size()) return false;
    StopWords.emplace_back(reinterpret_cast<const char*>(bytes.data() + at), length);
    at += length;
  }
  return true;
}

TRestructureDefinition ValidateDefinition(const TRestructureDefinition& definition, std::string_view databaseName,
                                          std::string_view tableName, bool restructuring) {
  auto raise = [&](uint16_t code, std::string_view fieldName = {}, std::string_view indexName = {}) {
    RaiseEngineError(code, {.DatabaseName = databaseName, .TableName = tableName, .FieldName = fieldName,
                            .IndexName = indexName});
  };
  TRestructureDefinition checked = definition;
  if (checked.Encrypted) {
    checked.Password = TrimmedText(checked.Password);
    if (checked.Password.empty() || checked.Password.size() >= 16) raise(RUDIRA_INVALIDPASSWORD);
  }
  if (checked.LanguageId != 0 &&
      !LocaleInstalled(static_cast<uint16_t>(checked.LanguageId), static_cast<uint16_t>(checked.SortId))) {
    raise(RUDIRA_CANNOTLOADLDDRV);
  }
  if (checked.Fields.size() > kMaxFieldCount || checked.LastAutoIncValue < -1) raise(RUDIRA_FLDLIMIT);
  if (checked.Indexes.Secondaries.size() > kMaxIndexDefinitionsGiven) raise(RUDIRA_INDEXLIMIT);
  if (checked.BlobBlockSize < kMinBlobBlockSize) raise(RUDIRA_BLOBLIMIT);

  for (size_t i = 0; i < checked.Fields.size(); ++i) checked.Fields[i].FieldNo = static_cast<uint16_t>(i + 1);
  PrepareFieldDefinitions(checked.Fields, databaseName, tableName);
  const std::string table(tableName);
  auto prepareIndex = [&](TIndexDefinition& index, bool textIndex) {
    // The field list ends at the first field number 0.
    int count = 0;
    while (count < kMaxIndexFields && index.FieldNumbers[static_cast<size_t>(count)] != 0) ++count;
    if (index.IndexFieldCount > kMaxIndexFields) raise(RUDIRA_INDEXLIMIT, {}, index.IndexName);
    index.IndexFieldCount = static_cast<uint8_t>(count);
    for (int i = 0; restructuring && i < count; ++i) {
      const uint16_t number = index.FieldNumbers[static_cast<size_t>(i)];
      if (number > checked.Fields.size()) raise(RUDIRA_OUTOFRANGE, std::to_string(number));
    }
    PrepareIndexDefinition(index, checked.Fields, textIndex, table);
  };
  if (checked.Indexes.Primary.IndexFieldCount > 0 || checked.Indexes.Primary.FieldNumbers[0] != 0) {
    checked.Indexes.Primary.IndexName.clear();
    checked.Indexes.Primary.Unique = 1;
    prepareIndex(checked.Indexes.Primary, false);
  }
  std::set<std::string> names;
  if (checked.Indexes.Secondaries.size() > static_cast<size_t>(kMaxSecondaryIndexes)) raise(RUDIRA_INDEXLIMIT);
  for (TIndexDefinition& index : checked.Indexes.Secondaries) {
    index.IndexName = TrimmedText(index.IndexName);
    if (index.IndexName.empty()) raise(RUDIRA_INDEXNAMEREQUIRED);
    if (!IsValidIndexNameStart(index.IndexName)) raise(RUDIRA_INVALIDINDEXNAME, {}, index.IndexName);
    const std::string key = FieldNameKey(index.IndexName);
    if (!names.insert(key).second || key == FieldNameKey(kSysDeletedName) || key == FieldNameKey(kSysTextName)) {
      raise(RUDIRA_INDEXEXISTS, {}, index.IndexName);
    }
    prepareIndex(index, false);
    if (index.KeySize == 0) raise(RUDIRA_INVALIDKEY, {}, index.IndexName);
  }
  if (checked.Indexes.TextIndex && checked.Indexes.TextIndex->FieldNumbers[0] != 0) {
    checked.Indexes.TextIndex->IndexName = kSysTextName;
    prepareIndex(*checked.Indexes.TextIndex, true);
  }
  return checked;
}

}  // namespace rudira
