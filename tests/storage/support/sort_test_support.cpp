#include "storage/support/sort_test_support.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/record_layout.h"
#include "storage/support/storage_test_support.h"

namespace rudira::sorttest {

namespace fs = std::filesystem;

namespace {

const TFieldDescriptor& FieldNamed(const TDataFile& file, const std::string& name) {
  for (const TFieldDescriptor& field : file.Fields()) {
    if (field.FieldName == name) return field;
  }
  ADD_FAILURE() << "no field " << name;
  return file.Fields().front();
}

}  // namespace

void TSortTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "sort-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  dir_ = pattern + "/";
}

void TSortTest::TearDown() { fs::remove_all(dir_); }

std::unique_ptr<TDataFile> TSortTest::MakeFile(const std::string& name, const FileOptions& options) {
  DataFileDefinition definition;
  definition.LanguageId = options.LanguageId;
  definition.Encrypted = options.Encrypted;
  if (options.Encrypted) definition.Password = "secret";
  definition.Fields = {storagetest::Field("K", kFieldTypeInteger), storagetest::Field("S", kFieldTypeString, 0, 10),
                       storagetest::Field("V", kFieldTypeInteger)};
  for (size_t i = 0; i < definition.Fields.size(); ++i) definition.Fields[i].FieldNo = static_cast<uint16_t>(i + 1);
  auto file = std::make_unique<TDataFile>(dir_ + name + ".DAT", options.InMemory);
  file->SetBufferLimits({16384, options.MaxBufferCount});
  file->CreateTable(definition);
  return file;
}

void TSortTest::Insert(TDataFile& file, std::optional<int32_t> k, const std::string& s, std::optional<int32_t> v,
                       bool uniqueId) {
  TRecord* record = file.AllocateRecord(false, uniqueId);
  uint8_t* data = record->Data();
  const auto& fields = file.Fields();
  if (k) {
    ASSERT_TRUE(StoreFieldValue(data, fields[0], *k, file.Locale()));
  }
  if (!s.empty()) {
    ASSERT_TRUE(StoreFieldValue(data, fields[1], s, file.Locale()));
  }
  if (v) {
    ASSERT_TRUE(StoreFieldValue(data, fields[2], *v, file.Locale()));
  }
}

std::vector<Row> TSortTest::Rows(TDataFile& file) {
  std::vector<Row> rows;
  const auto& fields = file.Fields();
  for (int32_t n = 1; n <= file.RecordSlotCount(); ++n) {
    const uint8_t* data = file.GetRecord(n)->Data();
    Row row;
    row.RecordNo = RecordNumberOrLink(data);
    row.UniqueId = RecordAutoIncValue(data);
    if (!IsFieldNull(data, fields[0])) row.K = std::get<int32_t>(ReadFieldValue(data, fields[0]));
    if (!IsFieldNull(data, fields[1])) row.S = std::get<std::string>(ReadFieldValue(data, fields[1]));
    if (!IsFieldNull(data, fields[2])) row.V = std::get<int32_t>(ReadFieldValue(data, fields[2]));
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> TSortTest::Texts(TDataFile& file) {
  std::vector<std::string> texts;
  for (const Row& row : Rows(file)) texts.push_back(row.S);
  return texts;
}

TSortRequest TSortTest::SortBy(const TDataFile& file, const std::vector<std::string>& names,
                               const std::vector<std::string>& descending) const {
  TSortRequest request;
  request.PrivateDirectory = dir_;
  for (const std::string& name : names) {
    const bool down = std::find(descending.begin(), descending.end(), name) != descending.end();
    request.Order.Fields.push_back({FieldNamed(file, name), down});
  }
  return request;
}

size_t TSortTest::RunFileCount() const {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    if (entry.path().extension() == ".TMP") ++count;
  }
  return count;
}

}  // namespace rudira::sorttest
