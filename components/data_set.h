// TDataSet: the generic dataset of the dataset framework. It keeps the state
// machine, the field objects, the current record, the events and the data
// sources, and runs every navigation and editing operation through a fixed
// protocol of hooks that a concrete dataset (TRUDIRADataSet) implements on
// its cursor.
//
// States: dsInactive (closed), dsBrowse, dsEdit, dsInsert, dsSetKey (key
// values being set for a search or range), dsFilter (an OnFilterRecord
// callback runs), dsOldValue (the old values of an edit are read),
// dsCalcFields (calculated fields are computed).
//
// The current record: the dataset holds one active record buffer, the record
// the fields show. Eof and Bof: reading past the last record sets Eof and the
// last record stays current; reading before the first sets Bof likewise. An
// empty dataset has both set.
//
// The browse-mode check: every move (First, Next, Prior, Last, MoveBy,
// setting RecNo, Locate, GotoBookmark) and every Append or Insert first stores
// a pending edit or insert as Post would; if that fails the move does not
// happen and the error passes on, leaving the dataset in edit or insert state.
//
// Events run in the order of their names (Before..., the operation, After...).
// A failing Edit, Post or Delete asks OnEditError, OnPostError or
// OnDeleteError for an action: daFail passes the error on, daRetry tries
// again, daAbort ends the operation silently. A Post that fails stays in edit
// or insert state; an Edit that fails stays in browse state.
//
// Data sources: every event of the table in data_link.h reaches the data
// sources attached to the dataset, unless controls are disabled
// (DisableControls ... EnableControls, which then sends one deDataSetChange).
//
// Ownership: the dataset owns its field objects; sources attached to it are
// detached when it is freed. Used by the thread that owns it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/component.h"
#include "components/data_link.h"
#include "components/field.h"
#include "engine/errors.h"

namespace rudira {

enum class TDataSetState {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsOldValue
};

enum class TGetResult { grOK, grBOF, grEOF, grError };
enum class TGetMode { gmCurrent, gmNext, gmPrior };
enum class TDataAction { daFail, daAbort, daRetry };

struct TLocateOptions {
  bool CaseInsensitive = false;  // loCaseInsensitive
  bool PartialKey = false;       // loPartialKey
};

struct TFilterOptions {
  bool CaseInsensitive = false;  // foCaseInsensitive
  bool NoPartialCompare = false; // foNoPartialCompare
};

// The silent exception: an operation ended on purpose (an error handler
// answered daAbort). The application's top-level handler shows nothing.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

class TDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
using TDataSetErrorEvent = std::function<void(TDataSet&, const EDatabaseError&, TDataAction&)>;
using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

// OnFilterRecord as a property: assigning a handler to an open, Filtered
// dataset applies it at once (the dataset's filters are made again and the
// dataset goes to its first record), as changing Filter does. Reads like the
// std::function it holds.
class TFilterRecordEventProperty {
 public:
  explicit TFilterRecordEventProperty(TDataSet& owner) : owner_(owner) {}
  TFilterRecordEventProperty(const TFilterRecordEventProperty&) = delete;
  TFilterRecordEventProperty& operator=(const TFilterRecordEventProperty&) = delete;
  TFilterRecordEventProperty& operator=(TFilterRecordEvent handler);
  explicit operator bool() const { return static_cast<bool>(handler_); }
  void operator()(TDataSet& dataSet, bool& accept) const { handler_(dataSet, accept); }

 private:
  TDataSet& owner_;
  TFilterRecordEvent handler_;
};

class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* owner = nullptr);
  ~TDataSet() override;

  // --- open and close ---
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void SetActive(bool value);
  void Open() { SetActive(true); }
  // Cancels a pending edit first.
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }

  // --- fields ---
  TFieldDefs& FieldDefs() { return fieldDefs_; }
  const TFieldDefs& FieldDefs() const { return fieldDefs_; }
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  // REQUIRES: 0 <= i < FieldCount(), else "Field index out of range.".
  TField& Fields(int i) const;
  // Raises "項目 '%s' が見つかりません" for an unknown name.
  TField& FieldByName(const std::string& name) const;
  TField* FindField(const std::string& name) const;

  // Defines a calculated field, made with the data fields at every open
  // after them. REQUIRES: a closed dataset and a type with a fixed stored
  // form (no BLOB types).
  void AddCalculatedField(const std::string& name, TFieldType type, int size = 0);
  const std::vector<TFieldDef>& CalculatedFieldDefs() const { return calcDefs_; }

  // --- navigation ---
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves up to |distance| records; returns the distance moved.
  int MoveBy(int distance);
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty() const { return Active() && eof_ && bof_; }
  // 1-based sequence number of the current record; 0 when there is none.
  int32_t RecNo();
  void SetRecNo(int32_t value);
  int32_t RecordCount();

  // Bookmarks of the current record; empty without one.
  std::vector<uint8_t> GetBookmark();
  void GotoBookmark(const std::vector<uint8_t>& bookmark);

  // --- editing ---
  void Edit();
  void Append() { BeginInsert(true); }
  void Insert() { BeginInsert(false); }
  void Post();
  void Cancel();
  void Delete();
  // Stores a pending edit or insert (or, unmodified, cancels it).
  void CheckBrowseMode();
  // Re-reads the data; keeps the current record where it still exists.
  void Refresh();
  bool Modified() const { return modified_; }
  // Whether the data can be changed at all.
  virtual bool CanModify() const { return true; }

  // --- searching ---
  virtual bool Locate(const std::string& keyFields, const std::vector<TFieldValue>& keyValues,
                      TLocateOptions options) = 0;
  // Like Locate without moving: the values of resultFields (";"-separated)
  // of the record found, or an empty list when none was found.
  virtual std::vector<TFieldValue> Lookup(const std::string& keyFields, const std::vector<TFieldValue>& keyValues,
                                          const std::string& resultFields) = 0;

  // --- options ---
  bool CopyOnAppend = false;
  bool AutoCalcFields = true;
  bool AutoDisplayLabels = false;
  const std::string& Filter() const { return filter_; }
  virtual void SetFilter(const std::string& text);
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool value);
  TFilterOptions FilterOptions() const { return filterOptions_; }
  virtual void SetFilterOptions(TFilterOptions options);
  // Records read in one block while not filtered (0: one at a time).
  int BlockReadSize() const { return blockReadSize_; }
  virtual void SetBlockReadSize(int value);

  // --- data sources ---
  void DisableControls() { ++disableCount_; }
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  const std::vector<TDataSource*>& DataSources() const { return dataSources_; }
  // The source this dataset follows as a detail (a query's DataSource, a
  // table's MasterSource), or null.
  virtual TDataSource* MasterDataSource() const { return nullptr; }
  // Whether making `source` this dataset's master would close a loop: the
  // source shows this dataset, or its dataset follows this one through
  // master links.
  bool WouldLinkCircularly(TDataSource* source) const;
  void DataEvent(TDataEvent event, TField* field = nullptr, int info = 0);

  // --- field values, for TField ---
  // In dsOldValue state the values at the start of the edit.
  TFieldValue GetFieldValue(const TField& field);
  // Raises unless the field may be set now: edit or insert state ("Table is
  // not in edit or insert mode."), a field that is not read-only, set-key
  // state only for fields of the current index, never old values.
  void CheckSetField(const TField& field) const;
  // Checks the state and the field, stores, marks the record modified and
  // tells the links (deFieldChange).
  void SetFieldValue(TField& field, const TFieldValue& value);
  virtual std::string GetBlobText(const TField& field) = 0;
  virtual void SetBlobText(TField& field, const std::string& text) = 0;
  // Runs `action` with the dataset in the old-value state, so that fields
  // read the record as it was when the edit began.
  void WithOldValues(const std::function<void()>& action);

  // --- events ---
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert, BeforeEdit,
      AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll,
      AfterScroll, BeforeRefresh, AfterRefresh, OnCalcFields, OnNewRecord;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;
  // Installed as a callback filter while Filtered is true; it runs after the
  // Filter text's condition, on the records that condition leaves.
  TFilterRecordEventProperty OnFilterRecord{*this};

 protected:
  // --- hooks of a concrete dataset ---
  // Opens the data and fills FieldDefs (the fields are then made from them).
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  // Positions before the first (after the last) record.
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  // Reads the current, next or prior record into the active buffer.
  // grError is never returned: errors raise.
  virtual TGetResult GetRecord(TGetMode mode) = 0;
  // Puts the data's position on the active buffer's record.
  virtual void InternalSetToRecord() = 0;
  // Begins the edit of the active record (re-read and lock).
  virtual void InternalEdit() = 0;
  // Prepares a new record in the active buffer (copy: of the current one).
  virtual void InternalInitRecord(bool copy) = 0;
  virtual void InternalPost() = 0;
  virtual void InternalCancel() = 0;
  virtual void InternalDelete() = 0;
  virtual void InternalRefresh() = 0;
  // Saves (restores) the active buffer around an insert, for Cancel.
  virtual void SaveActiveBuffer() = 0;
  virtual void RestoreActiveBuffer() = 0;
  virtual int32_t InternalGetRecNo() = 0;
  virtual bool InternalSetRecNo(int32_t value) = 0;
  virtual int32_t InternalRecordCount() = 0;
  virtual std::vector<uint8_t> InternalGetBookmark() = 0;
  virtual bool InternalGotoBookmark(const std::vector<uint8_t>& bookmark) = 0;
  virtual TFieldValue InternalGetFieldValue(const TField& field, bool oldValue) = 0;
  virtual void InternalSetFieldValue(TField& field, const TFieldValue& value) = 0;
  // Whether the field may be set in the set-key state (a field of the
  // current index).
  virtual bool IsKeyField(const TField& field) const { (void)field; return false; }
  // Called when the dataset has been opened (fields made) and positioned.
  virtual void OpenCompleted() {}
  // Filter changes while open.
  virtual void FilterChanged() {}
  // Computes the calculated fields of the active record: clears them, then
  // runs OnCalcFields in the dsCalcFields state. Nothing without calculated
  // fields.
  void CalculateFields();
  virtual void ClearCalcFields() {}
  // Whether OnFilterRecord accepts the active record; runs the callback in
  // dsFilter state. An exception inside it is reported (through
  // ReportFilterError) and the record is accepted.
  bool RecordAccepted();
  // Where the error of a filter callback goes; the default drops it.
  std::function<void(const std::exception&)> ReportFilterError;

  void SetState(TDataSetState state);
  void SetModified(bool value) { modified_ = value; }
  // Re-reads the active record after a change of the data, keeping it where
  // it still exists, and tells the links (deDataSetChange).
  void Resync();
  void CheckActive() const;
  // Raised by Edit/Insert/Delete when CanModify() is false.
  void CheckCanModify() const;
  // Marks "on a record" (both flags clear) or an empty dataset.
  void SetFlags(bool bof, bool eof) { bof_ = bof; eof_ = eof; }
  // Runs AfterScroll etc. through a helper that tolerates unset events.
  static void Fire(const TDataSetNotifyEvent& event, TDataSet& dataSet) {
    if (event) event(dataSet);
  }
  void CreateFields();
  void DestroyFields() { fields_.clear(); }
  // Re-makes the field objects while open (the field definitions changed).
  void RecreateFields() { DestroyFields(); CreateFields(); }
  // Runs the callback with a retry loop as Edit, Post and Delete do.
  void WithErrorAction(const TDataSetErrorEvent& handler, const std::function<void()>& action);
  // The field names of a ";"-separated list; unknown names raise "項目 '%s'
  // が見つかりません".
  std::vector<TField*> FieldList(const std::string& names) const;

 private:
  friend class TFilterRecordEventProperty;
  // OnFilterRecord was assigned.
  void FilterRecordEventChanged();
  void DoOpen();
  void DoClose();
  void BeginInsert(bool append);
  void CheckRequiredFields();
  void FirstOrLast(bool first);

  TDataSetState state_ = TDataSetState::dsInactive;
  TDataSetState savedState_ = TDataSetState::dsInactive;  // around dsFilter / dsOldValue
  TFieldDefs fieldDefs_;
  std::vector<TFieldDef> calcDefs_;
  std::vector<std::unique_ptr<TField>> fields_;
  std::vector<TDataSource*> dataSources_;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  bool savedEof_ = false;   // flags of the record left by an insert
  bool savedBof_ = false;
  std::string filter_;
  bool filtered_ = false;
  TFilterOptions filterOptions_;
  int blockReadSize_ = 0;
  int disableCount_ = 0;
  bool pendingChange_ = false;  // an event arrived while controls were disabled
};

}  // namespace rudira
