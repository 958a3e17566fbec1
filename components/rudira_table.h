// TRUDIRATable: a table of a database opened directly by name.
//
// Open needs TableName ("Missing table name."); the table is opened in the
// dataset's database with Exclusive and ReadOnly, and ReadOnly becomes true
// when the engine opens the table read-only. IndexName selects an index by
// name (empty: the primary index) and IndexFieldNames by its fields (the
// first index whose fields equal the ";"-separated list, ignoring case, or
// failing that begin with it); the two exclude each other, and changing
// either on an open table keeps the current record. IndexDefs lists the
// table's indexes (kept up to date at open; Update re-reads them).
//
// Ranges restrict the records to keys between a start and an end key on the
// current index (SetRange). With MasterSource and MasterFields the range
// follows the master dataset's current record: the master's MasterFields
// values form both keys, on the leading fields of the current index.
//
// Setting TableName to a path puts its directory into DatabaseName and keeps
// the file name as TableName. Exclusive, ReadOnly and TableName require a
// closed table ("Cannot perform this operation on an open dataset.").
//
// CreateTable builds the engine table from FieldDefs and IndexDefs (the
// field types mapped to engine types as for parameters; sizes for string,
// bytes, variable bytes and fixed-char fields, the scale for BCD);
// DeleteTable requires a closed table.
//
// Ownership: the table component owns its cursor from open to close.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/index_defs.h"
#include "components/rudira_db_data_set.h"

namespace rudira {

class TRUDIRATable;

// The link of a detail table to its master source.
class TTableMasterLink : public TDataLink {
 public:
  explicit TTableMasterLink(TRUDIRATable& table) : table_(table) {}

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int) override { DataSetChanged(); }
  void RecordChanged(TField* field) override;

 private:
  TRUDIRATable& table_;
};

class TRUDIRATable : public TRUDIRADBDataSet {
 public:
  explicit TRUDIRATable(TComponent* owner = nullptr);
  ~TRUDIRATable() override;

  std::string EngineVersion() const;
  void SetEngineVersion(const std::string&) {}  // read-only: ignored

  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& name);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  bool StoreDefs = false;

  const std::string& IndexName() const { return indexName_; }
  void SetIndexName(const std::string& name);
  const std::string& IndexFieldNames() const { return indexFieldNames_; }
  void SetIndexFieldNames(const std::string& names);
  TIndexDefs& IndexDefs() { return indexDefs_; }
  // Re-reads IndexDefs from the table (opening it for its definition when
  // closed).
  void UpdateIndexDefs();

  // Restricts the records to keys from startValues to endValues on the
  // leading fields of the current index, and goes to the first of them.
  void SetRange(const std::vector<TFieldValue>& startValues, const std::vector<TFieldValue>& endValues);
  void CancelRange();

  TDataSource* MasterSource() const { return masterLink_.DataSource(); }
  // "Circular data links are not allowed." for a source showing this table.
  void SetMasterSource(TDataSource* source);
  const std::string& MasterFields() const { return masterFields_; }
  void SetMasterFields(const std::string& fields);
  TDataSource* MasterDataSource() const override { return masterLink_.DataSource(); }

  // Key searches on the current index. SetKey clears the key values and
  // enters the set-key state, EditKey keeps them; fields of the current
  // index are then set; GotoKey (GotoNearest) searches for them and returns
  // to browse state. FindKey (FindNearest) do all of it with values for the
  // leading index fields in order: a value beyond the index's fields fails
  // with "Field index out of range.", an index field without a field object
  // with "Cannot access index field %s.".
  void SetKey();
  void EditKey();
  bool GotoKey();
  void GotoNearest();
  bool FindKey(const std::vector<TFieldValue>& values);
  void FindNearest(const std::vector<TFieldValue>& values);

  void CreateTable();
  void DeleteTable();

  // Checks the table's files in full (engine/table_verifier.h: headers,
  // record slots, every index against the data file, every BLOB chain):
  // OnVerifyProgress is told after each step (its name and the percentage
  // of steps done), OnVerifyLog each finding and the closing "OK" or
  // "DAMAGED (n problems)". Returns whether the table is sound. An open
  // table is checked through its own cursor; a closed one is opened for the
  // check (with Exclusive) and closed again. A table that cannot be opened
  // at all raises its engine error.
  bool VerifyTable();

  // Stepped progress and log events: the verify events above; repair and
  // upgrade are operations this system does not run (published so that
  // streamed forms load).
  std::function<void(TRUDIRATable&, const std::string& step, int percentDone)> OnVerifyProgress, OnRepairProgress,
      OnUpgradeProgress;
  std::function<void(TRUDIRATable&, const std::string& logMessage)> OnVerifyLog, OnRepairLog, OnUpgradeLog;
  std::function<void(TRUDIRATable&, int percentDone)> OnIndexProgress, OnCopyProgress, OnOptimizeProgress,
      OnRestructureProgress, OnImportProgress, OnExportProgress;
  std::function<void(TRUDIRATable&, int cause, const std::string& contextInfo, bool& continueRestructure,
                     bool& stopAsking)>
      OnDataLost;

  // For the master link.
  void MasterChanged();

 protected:
  TDataCursor* CreateCursor() override;
  void DestroyCursor() override;
  bool FindOnOtherIndex(const std::vector<uint16_t>& fieldNumbers, bool caseInsensitive,
                        std::string& indexName) override;
  bool ComponentReadOnly() const override { return readOnly_; }
  std::string FieldOrigin(const TFieldDescriptor& field) const override { return tableName_ + "." + field.FieldName; }
  void OpenCompleted() override;

 private:
  void CheckInactive() const;
  // The engine name of the index chosen by IndexName or IndexFieldNames.
  std::string ChosenIndexName(TDataCursor& cursor) const;
  void ApplyIndex();
  void ReadIndexDefs(TDataCursor& cursor);
  std::unique_ptr<TDataCursor> NewCursor();
  // A record carrying `values` in the leading fields of the current index.
  std::vector<uint8_t> KeyRecord(const std::vector<TFieldValue>& values, int& fieldCount);

  void BeginKey(bool clear);
  bool EndKey(bool nearest);
  void AssignKeyValues(const std::vector<TFieldValue>& values);

  int keyFieldCount_ = 0;  // index fields given in the set-key state
  std::string tableName_;
  bool exclusive_ = false;
  bool readOnly_ = false;
  std::string indexName_;
  std::string indexFieldNames_;
  TIndexDefs indexDefs_;
  std::string masterFields_;
  TTableMasterLink masterLink_;
  std::unique_ptr<TDataCursor> ownCursor_;
};

}  // namespace rudira
