#include "components/support/component_test_support.h"

#include <stdlib.h>

#include <filesystem>

#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "components/session_list.h"
#include "storage/data_table.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/table_directory.h"

namespace rudira::comptest {

namespace fs = std::filesystem;

namespace {

DataFileDefinition Definition() {
  DataFileDefinition definition;
  TFieldDescriptor field;
  field.FieldName = "N";
  field.FieldType = kFieldTypeInteger;
  field.FieldNo = 1;
  definition.Fields.push_back(field);
  return definition;
}

void Fill(TDataTable& table, int records) {
  table.WriterLock();
  for (int i = 1; i <= records; ++i) {
    TRecord* record = table.DataFile().AllocateRecord(true, false);
    EXPECT_TRUE(StoreFieldValue(record->Data(), table.DataFile().Fields()[0], int32_t{i}, table.DataFile().Locale()));
  }
  table.WriteChanges(false, false);
  table.WriterUnlock();
}

}  // namespace

void WriteTable(const std::string& directory, const std::string& name, int records) {
  TableSettings settings;
  settings.PrivateDirectory = directory;
  TDataTable table(nullptr, settings, directory, name, false, false, false);
  table.Create(Definition(), TableIndexDefinitions{});
  table.Open();
  Fill(table, records);
  table.Close();
}

void CreateTableIn(TDataDirectory& directory, const std::string& name, int records) {
  ASSERT_EQ(directory.CreateTable(name, directory.IsMemory(), false, Definition(), TableIndexDefinitions{}), 0);
  TDataTable* table = nullptr;
  ASSERT_EQ(directory.OpenTable(name, directory.IsMemory(), false, false, &table), 0);
  Fill(*table, records);
  directory.CloseTable(table);
}

int32_t RecordsIn(TDataDirectory& directory, const std::string& name) {
  TDataTable* table = nullptr;
  try {
    if (directory.OpenTable(name, directory.IsMemory(), false, false, &table) != 0) return -1;
  } catch (const std::exception&) {
    return -1;
  }
  const int32_t slots = table->DataFile().RecordSlotCount();
  directory.CloseTable(table);
  return slots;
}

TTestDataSet::TTestDataSet(TComponent* owner, std::string databaseName, std::string sessionName)
    : TComponent(owner), databaseName_(std::move(databaseName)), sessionName_(std::move(sessionName)) {
  if (TRUDIRASession* autoSession = AutoSessionOf(owner)) sessionName_ = autoSession->SessionName();
}

TTestDataSet::~TTestDataSet() { Close(); }

void TTestDataSet::Open() {
  if (database_ == nullptr) database_ = OpenDataSetDatabase(*this);
}

void TTestDataSet::Close() {
  if (database_ == nullptr) return;
  TRUDIRADatabase* database = database_;
  database_ = nullptr;
  CloseDataSetDatabase(*this, database);
}

void TTestDataSet::CloseDataSet() {
  ++closeCalls_;
  Close();
}

void TComponentTest::SetUp() {
  startDir_ = fs::current_path().string();
  std::string pattern = (fs::temp_directory_path() / "components-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  dir_ = pattern + "/";
}

void TComponentTest::TearDown() {
  fs::current_path(startDir_);
  Sessions().DefaultSession()->Close();
  fs::remove_all(dir_);
}

}  // namespace rudira::comptest
