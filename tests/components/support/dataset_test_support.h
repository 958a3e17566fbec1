// Helpers of the dataset tests: the lesson tables made through the table
// component in a fresh "kyozai" under a temporary current directory, rows
// appended through the dataset, walks, and a data link that records what it
// is told.
#pragma once

#include <string>
#include <vector>

#include "components/data_link.h"
#include "components/rudira_table.h"
#include "components/support/component_test_support.h"
#include "engine/errors.h"

namespace rudira::dstest {

// A figure row as the lessons store it.
struct FigureRow {
  int32_t MNB = 0;
  int16_t TES = 0;
  int16_t COL = 0;
  int16_t PST = 0;
  int16_t BFR = 0;
  int16_t BTO = 0;
  std::string DTX;
  int32_t TNB = 0;
};

// Records the calls a data link receives, as short texts:
// "active", "inactive", "changed", "scrolled <n>", "record", "field <name>",
// "editing on", "editing off", "update", "check".
class TLinkRecorder : public TDataLink {
 public:
  std::vector<std::string> Calls;
  // The calls since the last Take(), and forgets them.
  std::vector<std::string> Take();

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int distance) override;
  void RecordChanged(TField* field) override;
  void EditingChanged() override;
  void UpdateData() override;
  void CheckBrowseMode() override;
};

class TDataSetTest : public comptest::TComponentTest {
 protected:
  // Makes dir_/kyozai and enters dir_.
  void SetUp() override;

  // "figure": MNB INTEGER, TES, COL, PST, BFR, BTO SMALLINT, DTX CHAR(40),
  // CMT MEMO, TNB INTEGER; no primary key; secondary index "MNB" on MNB.
  static void CreateFigureTable();
  // "mokuji": MNB INTEGER primary key, ITM CHAR(60) required, with the
  // case-insensitive secondary index "ITM".
  static void CreateContentsTable();
  // A closed table component on kyozai.
  static TRUDIRATable* NewTable(TComponent* owner, const std::string& name);
  static void AppendFigure(TDataSet& dataSet, const FigureRow& row);
  static void AppendContents(TDataSet& dataSet, int32_t mnb, const std::string& itm);
  // The field's AsString of every record from First to Eof.
  static std::vector<std::string> Walk(TDataSet& dataSet, const std::string& field);
  // The standard figure rows: MNB 1 (three rows), 2 (two rows), 3 (one row).
  static std::vector<FigureRow> SampleFigures();
};

}  // namespace rudira::dstest

namespace rudira {
// The engine error code `action` raised; 0 when it raised none.
template <typename Action>
uint16_t CodeOfEngine(Action&& action) {
  try {
    action();
  } catch (const ERUDIRAEngineError& error) {
    return error.ErrorCode();
  }
  return 0;
}
}  // namespace rudira
