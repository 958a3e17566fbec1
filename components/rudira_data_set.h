// TRUDIRADataSet: the dataset over an engine cursor (engine/data_cursor.h).
//
// It maps the generic dataset's hooks onto the cursor: reads fill the active
// record buffer (record_buffer.h) with the engine record, its sequence
// number and bookmark; the engine's read results map to the dataset's
// (8705 → BOF, 8706 and 8709 → EOF, other codes raise); Edit re-reads and
// locks the record, Post modifies or appends it, Delete deletes it, Cancel
// ends the engine edit.
//
// Field definitions are made from the cursor's fields at open (engine type
// → field type as in field.h; names already used get "_1", "_2", ...), each
// field required when the engine field is, labelled from the field's
// description with AutoDisplayLabels.
//
// Locate and Lookup: when no filter of the cursor is active and the fields
// are the leading fields of the current index (and a string field's case
// option matches the index), the index is searched; otherwise
// FindOnOtherIndex may offer another index (the table does), and failing
// that a temporary filter of one equality per field joined by AND
// (locate_filter.h) is added to the search cursor beside its other filters,
// and the first record in cursor order that passes them all is taken. The
// search runs on a clone of the cursor, so a failed Locate leaves the
// dataset where it was and the dataset's cursor never holds the temporary
// filter.
//
// Filtered: the Filter text is added to the cursor as an expression filter
// (FilterOptions giving its case-insensitive and no-partial-compare
// options) when the dataset opens or the text or options change, and
// OnFilterRecord as a late callback filter, which runs after the text's
// condition on the records it leaves; both are active while Filtered and
// dropped when Filtered goes false and on close. The cursor builds its view
// from them (conditions an index answers are served from the index), so
// every read, RecordCount, RecNo, Locate and Lookup see the filtered
// records. OnFilterRecord runs with the tested record as the active record
// (the one shown is put back afterwards) whenever the cursor evaluates its
// filters: when they are applied, after another cursor's writes, and for a
// record this dataset posts.
//
// Block reading (BlockReadSize n > 0, not filtered): Next is served from
// blocks of n records (as many as fit 65536 bytes when n is INT32_MAX) read
// with the cursor's block read; the cursor stands at the block's last
// record, so positioning on the record shown steps back over the records not
// yet served.
//
// Ownership: the cursor comes from the subclass (CreateCursor) which owns it
// or not (a query's result cursor belongs to its statement); it is valid
// from InternalOpen to InternalClose.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/data_set.h"
#include "components/rudira_blob_stream.h"
#include "components/record_buffer.h"
#include "engine/data_cursor.h"

namespace rudira {

class TRUDIRADataSet : public TDataSet {
 public:
  explicit TRUDIRADataSet(TComponent* owner = nullptr);
  ~TRUDIRADataSet() override;

  // The open cursor, or null while closed.
  TDataCursor* Handle() const { return cursor_; }
  bool CanModify() const override;

  bool Locate(const std::string& keyFields, const std::vector<TFieldValue>& keyValues,
              TLocateOptions options) override;
  std::vector<TFieldValue> Lookup(const std::string& keyFields, const std::vector<TFieldValue>& keyValues,
                                  const std::string& resultFields) override;

  std::string GetBlobText(const TField& field) override;
  void SetBlobText(TField& field, const std::string& text) override;
  void SetBlockReadSize(int value) override;

  // The active record buffer (for BLOB streams).
  TRecordBuffer& ActiveBuffer() { return active_; }
  // Re-reads the active record from the engine (a BLOB open that found it
  // changed by another user).
  void RereadActiveRecord();
  // A BLOB stream wrote into the field: the record is modified and the
  // links are told (deFieldChange).
  void BlobFieldWritten(TField& field);
  // A stream over the field's BLOB (rudira_blob_stream.h).
  std::unique_ptr<TRUDIRABlobStream> CreateBlobStream(TField& field, TBlobStreamMode mode);
  // The engine field of a field object. REQUIRES: an open dataset and a
  // field made from an engine field.
  const TFieldDescriptor& EngineField(const TField& field) const;

 protected:
  // The open cursor of the data; the subclass keeps ownership.
  virtual TDataCursor* CreateCursor() = 0;
  // Releases the cursor made by CreateCursor.
  virtual void DestroyCursor() = 0;
  // Another index of the table whose fields start with fieldNumbers (its
  // name in indexName; empty: the primary index); false when none (the
  // default: only a table offers one).
  virtual bool FindOnOtherIndex(const std::vector<uint16_t>& fieldNumbers, bool caseInsensitive,
                                std::string& indexName);
  // The origin text of an engine field (a table: "TABLE.FIELD"), and
  // whether the engine marks it hidden (no field definition is made).
  virtual std::string FieldOrigin(const TFieldDescriptor& field) const { (void)field; return {}; }
  virtual bool FieldHidden(const TFieldDescriptor& field) const { (void)field; return false; }
  // Whether the fields may be modified (ReadOnly of a query or table).
  virtual bool ComponentReadOnly() const { return false; }
  // The key buffer that fields write in the set-key state (a record of the
  // cursor's layout).
  TRecordBuffer& KeyBuffer() { return key_; }
  // Searches the current index for the key record's first fieldCount index
  // fields (nearest: the first record not below it); on a hit (or with
  // nearest, any record reached) the dataset moves there with the scroll
  // events and true is returned; otherwise it stays and returns false.
  bool SeekKey(const uint8_t* keyRecord, int fieldCount, bool nearest);
  // Called after the cursor's order changed (bookmark sizes follow).
  void IndexChanged();
  // Whether the current index compares strings without regard to case.
  bool IndexCaseInsensitive() const;

  void InternalOpen() override;
  void InternalClose() override;
  void InternalFirst() override;
  void InternalLast() override;
  TGetResult GetRecord(TGetMode mode) override;
  void InternalSetToRecord() override;
  void InternalEdit() override;
  void InternalInitRecord(bool copy) override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  void SaveActiveBuffer() override { saved_ = active_; }
  void RestoreActiveBuffer() override { active_ = saved_; }
  int32_t InternalGetRecNo() override;
  bool InternalSetRecNo(int32_t value) override;
  int32_t InternalRecordCount() override;
  std::vector<uint8_t> InternalGetBookmark() override;
  bool InternalGotoBookmark(const std::vector<uint8_t>& bookmark) override;
  TFieldValue InternalGetFieldValue(const TField& field, bool oldValue) override;
  void InternalSetFieldValue(TField& field, const TFieldValue& value) override;
  bool IsKeyField(const TField& field) const override;
  void FilterChanged() override;
  void OpenCompleted() override;
  void ClearCalcFields() override;

 private:
  // Reads one record into fetch_, and on success makes it the active one.
  TGetResult Fetch(TGetMode mode);
  // Serves Next from the block buffer; false when the block is used up and
  // nothing more could be read.
  TGetResult FetchFromBlock();
  void DropBlock();
  bool BlockReading() const;
  void FillBookmark(TRecordBuffer& buffer);
  void MakeFieldDefs();
  // Finds the first record matching on `search` (a clone positioned by the
  // search); false when none matches.
  bool FindRecord(TDataCursor& search, const std::vector<TField*>& fields, const std::vector<TFieldValue>& values,
                  TLocateOptions options);
  bool MatchesAll(const uint8_t* record, const std::vector<TField*>& fields, const std::vector<TFieldValue>& values,
                  TLocateOptions options) const;
  // Makes the cursor filters of Filter and OnFilterRecord as Filtered,
  // Filter and FilterOptions say, replacing the dataset's earlier ones. A
  // rejected text raises and leaves the earlier filters in place.
  void ApplyFilters();
  // Drops the dataset's filters from the cursor.
  void RemoveFilters();
  TCursorFilterOptions TextFilterOptions() const;
  // The callback filter's test: OnFilterRecord on `record`.
  bool CallbackAccepts(const uint8_t* record);
  TFilter* textFilter_ = nullptr;      // the Filter text's filter on the cursor, while Filtered and open
  TFilter* callbackFilter_ = nullptr;  // OnFilterRecord's filter on the cursor, likewise
  TRecordBuffer filterRecord_;         // the record OnFilterRecord is tried on
  // The calculated fields' layout in the buffer's calculated-fields part:
  // one descriptor each, Offset relative to that part.
  void LayOutCalcFields();
  std::vector<TFieldDescriptor> calcFields_;
  size_t calcSize_ = 0;

  TDataCursor* cursor_ = nullptr;
  TRecordBuffer active_;        // the record the fields show
  TRecordBuffer fetch_;         // a read in progress
  TRecordBuffer old_;           // the record as it was when the edit began
  TRecordBuffer saved_;         // the record left by an insert
  TRecordBuffer key_;           // key values of the set-key state
  bool onActive_ = false;       // the cursor stands on the active record
  std::vector<uint8_t> block_;  // records of the last block read
  int32_t blockCount_ = 0;      // records in block_
  int32_t blockNext_ = 0;       // next record of block_ to serve
  bool blockAtEnd_ = false;     // the block read ran into the end: the cursor stands after the last record
};

}  // namespace rudira
