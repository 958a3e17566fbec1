#include "tests/storage/support/index_test_support.h"

#include <stdlib.h>

#include <filesystem>
#include "storage/field_definitions.h"
#include "storage/index_key.h"
#include "storage/record_layout.h"

namespace rudira::indextest {

std::vector<TFieldDescriptor> Fields(std::vector<TFieldDescriptor> fields) {
  for (size_t i = 0; i < fields.size(); ++i) fields[i].FieldNo = static_cast<uint16_t>(i + 1);
  PrepareFieldDefinitions(fields, "", "test");
  return fields;
}

TIndexDefinition IndexOn(const std::string& name, std::vector<uint16_t> fieldNumbers, bool unique,
                         uint8_t compression) {
  TIndexDefinition d;
  d.IndexName = name;
  d.Unique = unique ? 1 : 0;
  d.Compression = compression;
  d.IndexFieldCount = static_cast<uint8_t>(fieldNumbers.size());
  for (size_t i = 0; i < fieldNumbers.size() && i < d.FieldNumbers.size(); ++i) d.FieldNumbers[i] = fieldNumbers[i];
  return d;
}

std::vector<uint8_t> Record(const std::vector<TFieldDescriptor>& fields, const std::vector<TFieldValue>& values,
                            int32_t uniqueId, const TableLocale& locale) {
  size_t size = kRecordHeaderSize;
  for (const auto& f : fields) {
    if (f.HasNullFlag()) size += f.Width + 1u;
  }
  std::vector<uint8_t> record(size, 0);
  SetRecordNumberOrLink(record.data(), uniqueId);
  SetRecordAutoIncValue(record.data(), uniqueId);
  for (size_t i = 0; i < values.size(); ++i) {
    if (std::holds_alternative<std::monostate>(values[i])) {
      StoreFieldNull(record.data(), fields[i]);
    } else {
      EXPECT_TRUE(StoreFieldValue(record.data(), fields[i], values[i], locale));
    }
  }
  return record;
}

std::vector<uint8_t> KeyOf(const TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields,
                           const std::vector<uint8_t>& record, const TableLocale& locale) {
  std::vector<uint8_t> key(definition.KeySize);
  BuildIndexKey(definition, fields, record.data(), locale, key.data());
  return key;
}

std::vector<uint8_t> PageBytes(const std::string& path, int32_t pageNo) {
  const std::vector<uint8_t> all = FileBytes(path);
  const size_t start = static_cast<size_t>(pageNo) * kIndexPageSize;
  if (all.size() < start + kIndexPageSize) return {};
  return std::vector<uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(start),
                              all.begin() + static_cast<std::ptrdiff_t>(start + kIndexPageSize));
}

void TIndexTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "rudira-index-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern + "/";
}

void TIndexTest::TearDown() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

}  // namespace rudira::indextest
