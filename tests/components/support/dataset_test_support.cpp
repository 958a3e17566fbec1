#include "components/support/dataset_test_support.h"

#include <filesystem>

namespace rudira::dstest {

namespace fs = std::filesystem;

std::vector<std::string> TLinkRecorder::Take() {
  std::vector<std::string> calls;
  calls.swap(Calls);
  return calls;
}

void TLinkRecorder::ActiveChanged() { Calls.push_back(Active() ? "active" : "inactive"); }
void TLinkRecorder::DataSetChanged() { Calls.push_back("changed"); }
void TLinkRecorder::DataSetScrolled(int distance) { Calls.push_back("scrolled " + std::to_string(distance)); }
void TLinkRecorder::RecordChanged(TField* field) {
  Calls.push_back(field == nullptr ? "record" : "field " + field->FieldName());
}
void TLinkRecorder::EditingChanged() { Calls.push_back(Editing() ? "editing on" : "editing off"); }
void TLinkRecorder::UpdateData() { Calls.push_back("update"); }
void TLinkRecorder::CheckBrowseMode() { Calls.push_back("check"); }

void TDataSetTest::SetUp() {
  comptest::TComponentTest::SetUp();
  fs::create_directories(dir_ + "kyozai");
  fs::current_path(dir_);
}

TRUDIRATable* TDataSetTest::NewTable(TComponent* owner, const std::string& name) {
  auto* table = new TRUDIRATable(owner);
  table->SetDatabaseName("kyozai");
  table->SetTableName(name);
  return table;
}

void TDataSetTest::CreateFigureTable() {
  TRUDIRATable table;
  table.SetDatabaseName("kyozai");
  table.SetTableName("figure");
  TFieldDefs& defs = table.FieldDefs();
  defs.Add("MNB", TFieldType::ftInteger);
  for (const char* name : {"TES", "COL", "PST", "BFR", "BTO"}) defs.Add(name, TFieldType::ftSmallint);
  defs.Add("DTX", TFieldType::ftString, 40);
  defs.Add("CMT", TFieldType::ftMemo);
  defs.Add("TNB", TFieldType::ftInteger);
  table.IndexDefs().Add("MNB", "MNB", {});
  table.CreateTable();
}

void TDataSetTest::CreateContentsTable() {
  TRUDIRATable table;
  table.SetDatabaseName("kyozai");
  table.SetTableName("mokuji");
  table.FieldDefs().Add("MNB", TFieldType::ftInteger, 0, true);
  table.FieldDefs().Add("ITM", TFieldType::ftString, 60, true);
  table.IndexDefs().Add("", "MNB", {.Primary = true});
  table.IndexDefs().Add("ITM", "ITM", {.CaseInsensitive = true});
  table.CreateTable();
}

void TDataSetTest::AppendFigure(TDataSet& dataSet, const FigureRow& row) {
  dataSet.Append();
  dataSet.FieldByName("MNB").SetAsInteger(row.MNB);
  dataSet.FieldByName("TES").SetAsInteger(row.TES);
  dataSet.FieldByName("COL").SetAsInteger(row.COL);
  dataSet.FieldByName("PST").SetAsInteger(row.PST);
  dataSet.FieldByName("BFR").SetAsInteger(row.BFR);
  dataSet.FieldByName("BTO").SetAsInteger(row.BTO);
  dataSet.FieldByName("DTX").SetAsString(row.DTX);
  dataSet.FieldByName("TNB").SetAsInteger(row.TNB);
  dataSet.Post();
}

void TDataSetTest::AppendContents(TDataSet& dataSet, int32_t mnb, const std::string& itm) {
  dataSet.Append();
  dataSet.FieldByName("MNB").SetAsInteger(mnb);
  dataSet.FieldByName("ITM").SetAsString(itm);
  dataSet.Post();
}

std::vector<std::string> TDataSetTest::Walk(TDataSet& dataSet, const std::string& field) {
  std::vector<std::string> values;
  dataSet.First();
  while (!dataSet.Eof()) {
    values.push_back(dataSet.FieldByName(field).AsString());
    dataSet.Next();
  }
  return values;
}

std::vector<FigureRow> TDataSetTest::SampleFigures() {
  return {
      {1, 0, 1, 61, 0, 0, "", 1},      {1, 1, 2, 300, 1, 2, "", 2}, {1, 2, 1, 72, 2, 0, "黒の正解", 3},
      {2, 0, 2, 61, 0, 0, "", 1},      {2, 1, 1, 300, 1, 2, "", 2}, {3, 0, 1, 180, 0, 0, "天元", 1},
  };
}

}  // namespace rudira::dstest
