// TRUDIRAQuery: a dataset over the result of an SQL text.
//
// SQL holds the text line by line. Each change of it closes the query,
// unprepares it and, with ParamCheck, derives Params again from the ":name"
// markers (params.h), keeping the values of parameters of the same name; the
// text handed to the engine has "?" in their place. With ParamCheck false
// the text goes unchanged and Params is left alone.
//
// Open prepares when needed (the database opened through its session, a
// statement runner made with RequestLive and MaxRowCount, the session's
// password request attached, the text parsed), fills parameters not bound
// explicitly from the DataSource's dataset (its field of the parameter's
// name), refuses a parameter that never had a value ("No value for parameter
// '%s'"), executes, and opens the result cursor. A text that yields no
// result cursor has been executed but Open fails with "Error creating table
// handle.". An SQL error (11949) during execution unprepares the query. A
// read-only result sets ReadOnly. Rows affected and the elapsed time of the
// execution are kept.
//
// Parameter values reach the engine as descriptors (sql/select_executor.h)
// in one value buffer: each value is preceded by a presence byte, 0 for a
// null parameter and for a string parameter that is empty once trailing
// blanks are removed, so an empty or blank string binds as NULL. A string
// longer than 250 bytes goes as BLOB data of sub-type 0: a uint32 length and
// a pointer to the text, which stays valid during the execution.
//
// Close releases the result cursor and the database; a query that was not
// prepared explicitly (Prepare) is unprepared with it, so the next Open
// parses the text again. ExecSQL prepares, binds and executes as Open does
// but opens no result, for INSERT, UPDATE, DELETE and the definition
// statements; RowsAffected() tells what it changed.
//
// DataSource: a master dataset; setting one that leads back to this query
// fails with "Circular data links are not allowed."; while the master
// scrolls or changes, an open query is closed and reopened with the new
// parameter values (not while the master is in set-key state).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/params.h"
#include "components/rudira_db_data_set.h"
#include "components/statement_runner.h"
#include "components/string_list.h"

namespace rudira {

class TRUDIRAQuery;

// The link of a query to the master dataset that supplies its parameters.
class TRUDIRAQueryDataLink : public TDataLink {
 public:
  explicit TRUDIRAQueryDataLink(TRUDIRAQuery& query) : query_(query) {}

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int) override { DataSetChanged(); }
  void RecordChanged(TField* field) override;
  void CheckBrowseMode() override;

 private:
  TRUDIRAQuery& query_;
};

class TRUDIRAQuery : public TRUDIRADBDataSet {
 public:
  explicit TRUDIRAQuery(TComponent* owner = nullptr);
  ~TRUDIRAQuery() override;

  std::string EngineVersion() const;
  void SetEngineVersion(const std::string&) {}  // read-only: ignored

  TStringList& SQL() { return sql_; }
  // The text passed to the engine.
  const std::string& EngineText() const { return engineText_; }
  TParams& Params() { return params_; }
  TParam& ParamByName(const std::string& name) { return params_.ParamByName(name); }
  bool ParamCheck = true;

  bool RequestLive() const { return requestLive_; }
  // Closes and unprepares the query: the statement is made with it.
  void SetRequestLive(bool value);
  int32_t MaxRowCount() const { return maxRowCount_; }
  // Reaches a prepared statement at once.
  void SetMaxRowCount(int32_t value);
  bool ReadOnly() const { return readOnly_; }
  // Only while closed ("Cannot perform this operation on an open dataset.").
  void SetReadOnly(bool value);

  TDataSource* DataSource() const { return masterLink_.DataSource(); }
  void SetDataSource(TDataSource* source);
  TDataSource* MasterDataSource() const override { return masterLink_.DataSource(); }

  void Prepare();
  void UnPrepare();
  bool Prepared() const { return runner_ != nullptr; }
  // Executes without opening a result.
  void ExecSQL();
  int32_t RowsAffected() const { return rowsAffected_; }
  double ElapsedSeconds() const { return elapsed_; }

  // The block of bytes streamed with the form under "Data"; discarded on
  // every change of SQL.
  std::vector<uint8_t> Data;

  std::function<void(TRUDIRAQuery&, int percentDone, bool& abortQuery)> OnQueryProgress;
  std::function<void(TRUDIRAQuery&, int percentDone)> OnSaveProgress, OnImportProgress, OnExportProgress;

  // For the master link.
  void MasterChanged();

 protected:
  TDataCursor* CreateCursor() override;
  void DestroyCursor() override;
  bool ComponentReadOnly() const override { return readOnly_; }
  std::string FieldOrigin(const TFieldDescriptor& field) const override;
  bool FieldHidden(const TFieldDescriptor& field) const override;
  void DatabaseChanged() override;
  void InternalClose() override;

 private:
  void SQLChanged();
  // Prepares without marking the prepare explicit.
  void PrepareStatement();
  void FillFromMaster();
  // Binds and runs the statement; SQL errors unprepare.
  void Execute();
  void BuildParameters(std::vector<TParameterDescriptor>& descriptors, std::vector<uint8_t>& buffer) const;

  TStringList sql_;
  std::string engineText_;
  TParams params_;
  bool requestLive_ = false;
  int32_t maxRowCount_ = -1;
  bool readOnly_ = false;
  bool explicitPrepare_ = false;
  std::unique_ptr<TStatementRunner> runner_;
  int32_t rowsAffected_ = 0;
  double elapsed_ = 0.0;
  bool reopening_ = false;
  TRUDIRAQueryDataLink masterLink_;
};

}  // namespace rudira
