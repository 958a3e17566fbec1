// TDataCursor: one user's view of one table. It opens the table through a
// database of its session (which shares one TDataTable among the session's
// cursors), orders the records by one index or by physical record number,
// keeps a position with beginning-of-table and end-of-table states, reads the
// record there into its own buffer, searches by key and edits records.
//
// Consistency rests on the change counters, not on locks: before every
// operation the cursor compares its copies of the table's three change
// counters (data, index, BLOB file) with the shared table's and, when they
// moved, re-finds its current record by its bookmark (the full key, or the
// physical record number in natural order). With the session's
// StrictChangeDetection the check takes the table's reader lock first, which
// re-reads the file headers from disk; otherwise it reads nothing and notices
// another process's writes only once its table took some lock.
//
// Orders: index 0 is the primary index, 1..30 the secondary indexes, 255
// natural order. Index 0 of a table without primary key fields is natural
// order too. In natural order the records in view are held in the view
// bitmap (every active record, narrowed by filters) and the filter-active
// flag is always set.
//
// Position: in index order the cursor keeps the current key, its record
// number and its logical position (1-based ordinal among all keys of the
// index). It also notes the leaf page and position where that entry was
// found, with the index file's tree-change count at the time: while the
// count is unchanged a move to the neighbouring ordinal steps along the leaf
// chain (one page read per leaf, through the page cache); once any tree
// changed it descends again through the per-page key counts. No page is
// held between operations, so none outlives a change of the tree. In
// natural order it keeps the physical record number. The beginning flag means "before the
// first record in view", the end flag "after the last"; an empty view has
// both.
//
// Editing (engine/data_cursor_edit.cpp): InitRecord or CloneCurrentRecord
// prepare a new record, AppendRecord inserts it; GetCurrentRecord with the
// lock flag begins an edit (pessimistic: locks the record; optimistic:
// compares only), ModifyRecord and DeleteRecord write under the table's
// writer lock, CancelRecord ends an edit. Record locks of the session's
// cursors are kept in the shared table's record-lock bitmap, so two cursors
// of one session exclude each other at once.
//
// Ranges and filters (engine/data_cursor_range.cpp,
// engine/data_cursor_filters.cpp, engine/data_filter.h): a range limits the
// current index to the keys between a start and an end key; filters are
// conditions on the record. Both become the view bitmap of physical record
// numbers, which navigation consults to skip records.
//
// Ownership: the cursor refers to its session and database, which must
// outlive it; it holds one use of the shared table while open. Record
// buffers handed in and out are whole records of RecordSize() bytes.
//
// Concurrency: a cursor belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/data_filter.h"
#include "engine/data_session.h"
#include "engine/exp_token.h"
#include "engine/expression_parser.h"
#include "engine/records_bitmap.h"
#include "engine/restructure_definition.h"
#include "storage/blob_buffer.h"
#include "storage/data_table.h"
#include "storage/index_definition.h"
#include "storage/table_directory.h"

namespace rudira {

constexpr uint8_t kNaturalOrderIndex = 255;
constexpr size_t kMaxOpenBlobs = 1024;
constexpr size_t kRangeKeySize = 522;  // a key buffer of the largest key size
constexpr uint8_t kLockProtocolPessimistic = 0;
constexpr uint8_t kLockProtocolOptimistic = 1;
constexpr size_t kMaxFilters = 64;       // filters per cursor

class TDataCursor;
class TIndexTree;

// Asked while the session has no password equal to the table's: returns true
// after offering one (for example with TDataSession::AddPassword) to be
// checked again, false to give up.
using TCursorPasswordCallback = std::function<bool(TDataCursor& cursor)>;
// Told the percentage done of a long operation (index rebuilds).
using TCursorProgressCallback = std::function<void(TDataCursor& cursor, int percent)>;
// Told of a record that a restructure or an index build cannot carry over
// (engine/restructure_definition.h for the causes). `continueRestructure`
// (initially true) cleared stops the operation; `stopAsking` set means the
// callback is not called again and the last continue value holds.
using TCursorDataLossCallback = std::function<void(TDataCursor& cursor, int cause, bool& continueRestructure,
                                                   bool& stopAsking, const std::string& contextInfo)>;

class TDataCursor {
 public:
  // REQUIRES: session and database outlive the cursor; database belongs to
  // session.
  TDataCursor(TDataSession& session, TDataDirectory& database);
  // Closes the cursor (errors of the close are dropped).
  ~TDataCursor();
  TDataCursor(const TDataCursor&) = delete;
  TDataCursor& operator=(const TDataCursor&) = delete;

  // --- options, set before OpenCursor ---
  void SetTableName(std::string name) { tableName_ = std::move(name); }
  const std::string& TableName() const { return tableName_; }
  void SetExclusive(bool value) { exclusive_ = value; }
  bool Exclusive() const { return exclusive_; }
  bool IsClone() const { return clone_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  // May be switched on by the open itself (files that open read-only).
  bool ReadOnly() const { return readOnly_; }
  void SetInMemory(bool value) { inMemory_ = value; }
  bool InMemory() const { return inMemory_; }
  void SetNaturalOrder(bool value) { naturalOrderRequested_ = value; }
  // Open only to read the table's definition: no record buffer, no position.
  void SetStructureOnly(bool value) { structureOnly_ = value; }
  bool StructureOnly() const { return structureOnly_; }
  bool IsOpen() const { return open_; }

  // --- callbacks ---
  void SetPasswordCallback(TCursorPasswordCallback callback) { passwordCallback_ = std::move(callback); }
  void SetProgressCallback(TCursorProgressCallback callback) { progressCallback_ = std::move(callback); }
  void SetDataLossCallback(TCursorDataLossCallback callback) { dataLossCallback_ = std::move(callback); }

  // --- open and close (engine/data_cursor_open.cpp) ---
  // Opens or shares the table, checks the password, selects index 0 (or
  // natural order when requested) and goes to the beginning. On failure the
  // cursor is closed again before the error propagates.
  void OpenCursor();
  // Releases this cursor's record lock and BLOBs, filters, range and
  // buffers and gives the table back. A closed cursor does nothing.
  void CloseCursor();
  // A new open cursor on the same table with the same options, index,
  // range and filters, positioned on the same record.
  std::unique_ptr<TDataCursor> CloneCursor();
  // Runs the strict check and re-finds the current record, dropping cached
  // positions.
  void Refresh();

  // --- table information ---
  TDataTable* Table() const { return table_; }
  TDataDirectory& Database() const { return database_; }
  TDataSession& Session() const { return session_; }
  uint16_t RecordSize() const { return recordSize_; }
  const std::vector<TFieldDescriptor>& Fields() const;
  // The field numbered fieldNo (1-based); 9985 for a number out of range.
  const TFieldDescriptor& Field(int fieldNo) const;

  // --- order and position (engine/data_cursor_navigation.cpp) ---
  // Switches to the index named `name` (without regard to case; empty is the
  // primary index) and keeps the current record. 10022 for an unknown name,
  // leaving order and position unchanged.
  void SetIndexName(const std::string& name);
  uint8_t IndexNo() const { return indexNo_; }
  const std::string& IndexName() const { return indexName_; }
  int KeySize() const { return keySize_; }
  int IndexFieldCount() const { return indexFieldCount_; }
  bool IndexUnique() const { return indexUnique_; }
  bool IndexDescending() const { return indexDescending_; }
  const std::vector<uint16_t>& IndexFieldNumbers() const { return indexFields_; }
  // Whether the cursor works in physical record-number order.
  bool NaturalOrder() const { return natural_; }

  void SetToBegin();
  void SetToEnd();
  bool AtBeginning() const { return bof_; }
  bool AtEnd() const { return eof_; }
  // Moves one record in view and reads it: 0, or 8706 (8705) past the end
  // (beginning), when `record` (if given) receives a blank record.
  uint16_t GetNextRecord(uint8_t* record = nullptr);
  uint16_t GetPriorRecord(uint8_t* record = nullptr);
  // Reads the record at the position into `record` (if given): 0, 8709 for
  // an empty view, 8705 or 8706 at either end. With `lock` it begins an
  // edit: `record` is the caller's copy of the record as it was read, which
  // must still equal the stored record (else 8708); pessimistic locking
  // also locks the record (10258 when a cursor of the session holds it).
  uint16_t GetCurrentRecord(uint8_t* record, bool lock = false);
  // Reads up to *count following records into consecutive buffers of
  // RecordSize() bytes; *count becomes the number read. The first non-zero
  // result ends the block and is returned.
  uint16_t ReadRecordBlock(int32_t* count, uint8_t* buffer);

  // Positions on the n-th record in view (1-based); returns whether
  // GetRecordNo() then equals n.
  bool SetToRecordNo(int32_t recordNo);
  // 1-based ordinal of the current record within the view (in index order
  // counting every key of the range), 0 when there is none.
  int32_t GetRecordNo();
  // Number of records in view.
  int32_t GetRecordCount();
  // Natural order: the physical record numbers in view, ascending, found
  // without reading a record (a statement that changes many rows collects
  // them first and reads each one only when it changes it).
  // REQUIRES: the cursor is in natural order.
  std::vector<int32_t> ViewRecordNumbers();

  // Bookmarks: KeySize() bytes in index order, 4 in natural order.
  size_t BookmarkSize() const { return natural_ ? 4 : static_cast<size_t>(keySize_); }
  // The current key or physical record number; all zero bytes when there is
  // no current record. REQUIRES: bookmark holds BookmarkSize() bytes.
  void GetBookmark(uint8_t* bookmark);
  // Positions on the bookmark or the nearest following record and reads it;
  // whether the record reached has that bookmark (true with noVerify).
  bool SetToBookmark(const uint8_t* bookmark, bool noVerify = false);
  // -1, 0 or 1 in the current order.
  int CompareBookmarks(const uint8_t* first, const uint8_t* second) const;
  // Positions on the other cursor's current record: 0, or 8710 when it is
  // not found (the cursor then stays on the nearest record).
  uint16_t SetToCursor(TDataCursor& other);
  // Key search in the current index. `source` is a record (or, with
  // isKey, a ready key); fieldCount 0 means every index field; a
  // partialLength above 0 compares only that many bytes of the last given
  // string field. Returns whether a record with an equal key (over the
  // compared prefix) was found; the record reached is read and copied to
  // `output` if given. Natural order finds nothing.
  bool Find(const uint8_t* source, bool isKey, uint8_t* output, int fieldCount, int partialLength,
            bool nearest);

  // --- ranges (engine/data_cursor_range.cpp) ---
  // Limits the current index to the keys from the start record's key to the
  // end record's key. A field count of 0 means every index field; with fewer
  // fields than the index has, or on a non-unique index, only the leading
  // fields count. No start record: from the first key; no end record: to
  // the last key. A start key after the end key gives an empty view. Does
  // nothing in natural order.
  void SetRange(const uint8_t* startRecord, int startFieldCount, const uint8_t* endRecord, int endFieldCount);
  // Back to the whole index: no range. Does nothing in natural order.
  void ResetRange();
  bool RangeActive() const { return rangeActive_; }
  // The stored range keys (kRangeKeySize bytes each).
  const std::vector<uint8_t>& RangeStartKey() const { return rangeStartKey_; }
  const std::vector<uint8_t>& RangeEndKey() const { return rangeEndKey_; }

  // --- filters (engine/data_cursor_filters.cpp) ---
  // Adds an inactive filter. From text: parsed, checked against the table
  // and bound to this cursor's records (10051 for a text the parser or the
  // checker rejects, "filter expression is empty" for a text without an
  // expression, "filter expression must be a boolean expression"). From a
  // tree: checked the same way; with the TExpTokenPtr form the filter owns
  // the tree, with the pointer form the caller keeps it alive. From a
  // callback: called per candidate record. A null tree or an empty callback
  // raises 10051 "filter expression is invalid"; a 65th filter 9482. A late
  // filter goes to the end of the list, any other just before the first
  // late one. On failure the list and the view stay as they were.
  TFilter* AddFilter(std::string_view text, const TCursorFilterOptions& options = {});
  TFilter* AddFilter(TExpTokenPtr tree, const TCursorFilterOptions& options = {});
  TFilter* AddFilter(TExpToken* tree, const TCursorFilterOptions& options = {});
  TFilter* AddFilter(void* owner, TFilterCallback callback, const TCursorFilterOptions& options = {});
  // Each takes a filter of this cursor or null for all of them; 10050 for a
  // filter not in the list. The view is rebuilt and the current record
  // found again.
  void DropFilter(TFilter* filter = nullptr);
  void ActivateFilter(TFilter* filter = nullptr);
  void DeactivateFilter(TFilter* filter = nullptr);
  // Gives an active filter a new expression tree (owned by the filter from
  // then on), analysed again; 10050 for a filter not in the list.
  void ReplaceFilterExpression(TFilter* filter, TExpTokenPtr tree);
  // 0 none, 1 partial, 2 full; 10050 for a filter not in the list.
  uint8_t GetFilterOptimizeLevel(const TFilter* filter) const;
  size_t FilterCount() const { return filters_.size(); }
  // The records the view would hold with `filters` (of this list, active or
  // not) active beside the active ones, counted from the subtree counts of
  // one index without reading records or index leaves, building a view or
  // moving the cursor: when every one of those filters is answered by key
  // ranges of the same index (TFilter::AnsweredByWindows), no range narrows
  // the view and the index holds an entry per record. std::nullopt
  // otherwise (the caller then activates them and counts the view); 10050
  // for a filter not in the list.
  std::optional<int64_t> IndexCount(const std::vector<TFilter*>& filters);
  // The filters in evaluation order.
  std::vector<TFilter*> Filters() const;
  // Records the filters of this cursor have read to test them (records
  // answered from indexes are not read); for diagnostics and tests.
  uint64_t FilterRecordReads() const { return filterRecordReads_; }
  bool FilterActive() const { return filterActive_; }

  // --- editing (engine/data_cursor_edit.cpp) ---
  // A blank record carrying the table's default values.
  void InitRecord(uint8_t* record);
  // A copy of the current record for a new record, each BLOB with its own
  // copy of the data; 8709 (8705, 8706) without a current record.
  uint16_t CloneCurrentRecord(uint8_t* record);
  // Inserts `record`; with reposition the cursor lands on it.
  void AppendRecord(const uint8_t* record, bool reposition = true);
  // Inserts `count` records laid one after another at `records`, as that
  // many calls of AppendRecord(record, false) would, leaving the same files
  // and cursor. A table opened exclusively inside a transaction, without
  // keyed indexes, field checks, BLOB fields or kept auto-increment values
  // (a result table while its rows are made), takes one write preamble for
  // all of them and enters their deleted-index keys in one append; any other
  // table appends them one by one (engine/data_cursor_append_records.cpp).
  void AppendRecords(const uint8_t* records, size_t count);
  // Writes back the edited current record.
  void ModifyRecord(const uint8_t* record, bool unlock = true, bool reposition = true);
  // Deletes the current record; `record` is the caller's copy as read.
  void DeleteRecord(const uint8_t* record, bool reposition = true);
  // Ends an edit without writing.
  void CancelRecord();
  // Releases this cursor's record lock on recordNo (0: the record it holds).
  void UnlockRecord(int32_t recordNo = 0);
  // While set, caller-given auto-increment values are kept.
  void SuppressAutoInc(bool value) { suppressAutoInc_ = value; }
  bool AutoIncSuppressed() const { return suppressAutoInc_; }
  // Writes the table's changed buffers and takes over its counters.
  void FlushBuffers();
  // The record this cursor holds a record lock on, or 0.
  int32_t LockedRecordNo() const { return lockedRecNo_; }
  // Set when an optimistic post found the record changed; cleared by
  // CancelRecord.
  bool RecordChanged() const { return changed_; }

  // --- BLOBs (engine/data_cursor_blob.cpp) ---
  // fieldNo is 1-based and must name a BLOB field (10753); record is the
  // record being read or edited, whose BLOB reference names the value.
  void OpenBlob(int fieldNo, const uint8_t* record);
  void FreeBlob(int fieldNo);
  // Copies up to `length` bytes from `offset`; returns the bytes copied.
  size_t GetBlob(int fieldNo, const uint8_t* record, size_t offset, size_t length, uint8_t* data);
  // Writes `length` bytes at `offset` into the edit's copy; the file
  // changes when the record is posted.
  void PutBlob(int fieldNo, const uint8_t* record, size_t offset, size_t length, const uint8_t* data);
  void TruncateBlob(int fieldNo, const uint8_t* record, size_t length);
  size_t GetBlobSize(int fieldNo, const uint8_t* record);
  size_t OpenBlobCount() const { return blobs_.size(); }

  // --- definition changes (engine/data_cursor_indexes.cpp, engine/restructure*.cpp) ---
  // Adds the index and builds it over the records; a unique index keeps the
  // first record of each key in record-number order and deletes the
  // others. Then goes to the beginning. REQUIRES: open exclusively (10253)
  // and writable (11013), unless the definition is a temporary index.
  void AddIndex(TIndexDefinition definition);
  // Removes the primary or a secondary index (10022 when none has the
  // name), selects the primary index and goes to the beginning.
  // REQUIRES: open exclusively and writable.
  void DeleteIndex(const std::string& name);
  // Removes every record. REQUIRES: open exclusively and writable.
  void EmptyTable();
  // Changes the table's definition keeping its records, in place, by
  // rebuilding indexes or by copying every record into a new table. The
  // cursor must be closed (10031); the operation opens the table
  // exclusively itself and leaves the cursor closed.
  void RestructureTable(const TRestructureDefinition& definition);

  // --- counters (for inspection) ---
  int32_t DataChangeCount() const { return dataChangeCount_; }
  int32_t IndexChangeCount() const { return indexChangeCount_; }
  int32_t BlobChangeCount() const { return blobChangeCount_; }

 private:
  struct OpenBlobEntry {
    int FieldNo = 0;                      // 1-based BLOB field
    std::unique_ptr<TBlobBuffer> Buffer;  // the value
    bool ForEdit = false;                 // made for the record being edited or inserted
  };

  // --- open and change checks (data_cursor_open.cpp) ---
  [[noreturn]] void Raise(uint16_t code, std::string_view fieldName = {}, std::string_view indexName = {}) const;
  void RequireOpen() const;
  void CheckPassword();
  void SelectIndex(int slot);
  bool CountersDiffer() const;
  void CopyCounters();
  // The change check at the start of an operation; returns whether it took
  // the reader lock (which the caller releases).
  bool BeginOperation(bool forceStrict = false);
  void EndOperation(bool readerTaken);
  // Re-finds the current record after the table changed.
  void Resynchronise();

  // --- view (data_cursor_filters.cpp) ---
  // Builds the view bitmap from the base, range and filter bitmaps.
  void RebuildView();
  // IndexCount inside the operation bracket.
  std::optional<int64_t> CountFromWindows(const std::vector<TFilter*>& filters);
  // After a write of this cursor: sets or clears the bit of the one record
  // written instead of a rebuild.
  void UpdateViewAfterWrite(const uint8_t* record, bool deleted);
  bool AnyFilterActive() const;
  // The base bitmap: every active record, sized to the record slots.
  void BuildBaseBitmap(TRecordsBitmap& base);
  // The range bitmap: records whose key in the current index is in range.
  void BuildRangeBitmap(TRecordsBitmap& range);
  // Whether `record`'s key in the current index lies inside the range.
  bool KeyInRange(const uint8_t* record);
  size_t FilterPosition(const TFilter* filter) const;
  TFilter* InsertFilter(std::unique_ptr<TFilter> filter);
  // Runs `change` under the change check and rebuilds the view after it,
  // restoring list and view when it fails.
  void ChangeFilters(const std::function<void()>& change);
  // Checks a filter tree against the table (10051) and binds its columns
  // to the table's fields.
  void PrepareExpression(TExpToken& root, bool fromText);
  bool TableHasPrimaryKey() const;

  // --- positions (data_cursor_navigation.cpp) ---
  int IndexSlot() const { return indexNo_; }
  void ComputeRangePositions();
  // The first ordinal (0-based) at or after `from` whose key compares above
  // key[0..length).
  int64_t UpperBound(const uint8_t* key, int length, int64_t from);
  int64_t RangeStart();
  int64_t RangeEnd();
  bool InView(int32_t recordNo) const;
  // Index order: the entry at 1-based ordinal `ordinal` becomes current.
  void PositionAtOrdinal(int64_t ordinal);
  // The leaf page and position of the entry at 1-based ordinal `ordinal`:
  // a step along the leaves from the noted entry when the ordinal is its
  // neighbour and no tree changed since, else a descent. False when the
  // ordinal lies outside the index.
  bool LocateOrdinal(TIndexTree& tree, int64_t ordinal, int32_t& page, int& position);
  // Notes where the entry at `ordinal` of the current index sits.
  void NoteWalk(int32_t page, int position, int64_t ordinal);
  // The first (last) ordinal in view at or after (before) `ordinal`; 0 when
  // none.
  int64_t ForwardInView(int64_t ordinal);
  int64_t BackwardInView(int64_t ordinal);
  // Positions on the first (last) record in view; false when the view is
  // empty (both flags then set).
  bool GoFirst();
  bool GoLast();
  bool StepForward();
  bool StepBackward();
  // Whether the cursor stands on a record (no flag set, view not empty).
  bool OnRecord() const { return hasCurrent_ && !bof_ && !eof_; }
  // Reads the current record into the cursor's buffer; 8708 when its slot
  // is no longer in use.
  void ReadCurrent();
  void BlankRecord(uint8_t* record) const;
  uint16_t ReadCode() const;
  // Seeks the first entry not below key[0..length) and positions there or
  // (none in view following) at the end.
  void SeekKey(const uint8_t* key, int length);
  void CurrentBookmark(uint8_t* bookmark) const;
  bool SeekBookmark(const uint8_t* bookmark, bool noVerify);
  void SeekRecordNo(int32_t recordNo);
  void BuildKey(const uint8_t* record, uint8_t* key) const;
  void SaveBookmark(std::vector<uint8_t>& bookmark, bool& atBegin, bool& atEnd);
  void RestoreBookmark(const std::vector<uint8_t>& bookmark, bool atBegin, bool atEnd);

  // --- editing helpers (data_cursor_edit.cpp, data_cursor_defaults.cpp) ---
  void CheckValidity(const uint8_t* record) const;
  void WritePreamble();
  void LockRecordNo(int32_t recordNo);
  void UnlockHeld();
  bool LockedBySession(int32_t recordNo) const;
  bool ReadCurrentEqualsCopy(const uint8_t* copy);
  // GetCurrentRecord with the lock flag.
  uint16_t BeginEdit(uint8_t* record);
  // Every index slot whose key a record has: 0 with primary key fields and
  // the secondary slots. The second form refills `slots` (its capacity kept).
  std::vector<int> KeyedSlots() const;
  void KeyedSlotsInto(std::vector<int>& slots) const;
  // Whether AppendRecords may store `count` rows in one pass.
  bool AppendsInOnePass(size_t count);
  void AfterWrite(const std::vector<uint8_t>& targetKeyRecord, bool reposition, bool deleted,
                  const std::vector<uint8_t>& bookmark, bool atBegin, bool atEnd);
  void DiscardFailedWrite();
  // BLOB posting: writes the edit's modified buffers into `record`.
  void PostBlobs(uint8_t* record, bool appending, const uint8_t* stored);
  void FreeRecordBlobs(const uint8_t* record);
  void FreeEditBlobs();
  OpenBlobEntry& BlobEntry(int fieldNo, const uint8_t* record);
  const TFieldDescriptor& BlobField(int fieldNo) const;

  // --- definition changes (data_cursor_indexes.cpp, restructure*.cpp) ---
  void RequireExclusiveWritable() const;
  // Deletes record recordNo while indexes are built: its keys leave every
  // keyed slot not marked in `building`, its "Sys Deleted" entry turns
  // deleted, the active count drops, its BLOBs are freed.
  void DropRecordWhileBuilding(int32_t recordNo, const std::vector<bool>& building);
  // Asks the data-loss callback; returns whether to go on.
  bool ReportDataLoss(int cause, const std::string& context, bool& stopAsking, bool& lastContinue);
  // Restructure steps (restructure.cpp, restructure_copy.cpp,
  // restructure_rebuild.cpp). `sources` holds, per new field, the number of
  // the table's field it comes from (0: none). Each returns whether it ran
  // to the end (false: stopped by the data-loss callback).
  bool CopyIntoNewTable(const TRestructureDefinition& definition, const std::vector<uint16_t>& sources,
                        const TextIndexParameters& parameters);
  bool RebuildIndexes(const TRestructureDefinition& definition, const TextIndexParameters& oldParameters,
                      const TextIndexParameters& newParameters);
  // Stores names, descriptions, check texts, index names and the header
  // values of `definition` without touching records or keys.
  void StoreDefinition(const TRestructureDefinition& definition);

  // Ownership.
  TDataSession& session_;              // the session whose settings and passwords apply
  TDataDirectory& database_;           // the database the cursor was created on
  TDataTable* table_ = nullptr;        // the shared table while open
  std::string tableName_;              // as given, at most 255 characters

  // Open options.
  bool exclusive_ = false;             // open without sharing
  bool clone_ = false;                 // made by CloneCursor: shares its source's table object
  bool readOnly_ = false;              // writes refused with 11013
  bool inMemory_ = false;              // table of the in-memory database
  bool naturalOrderRequested_ = false; // open without any index
  bool structureOnly_ = false;         // definition only
  bool open_ = false;                  // between OpenCursor and CloseCursor

  // Change counters as of the last synchronisation.
  int32_t dataChangeCount_ = 0;
  int32_t indexChangeCount_ = 0;
  int32_t blobChangeCount_ = 0;        // 0 without BLOB fields

  // Record buffer.
  std::vector<uint8_t> record_;        // the current record as last read
  uint16_t recordSize_ = 0;

  // Current index.
  uint8_t indexNo_ = 0;                // 0 primary, 1..30 secondary, 255 natural
  std::string indexName_;              // empty for the primary index
  int keySize_ = 0;                    // bytes per key
  int indexFieldCount_ = 0;
  bool indexUnique_ = true;
  bool indexDescending_ = false;
  std::vector<uint16_t> indexFields_;  // field numbers in key order
  bool natural_ = false;               // physical record-number order

  // Position.
  std::vector<uint8_t> currentKey_;    // index order: key of the current record
  int32_t currentRecNo_ = 0;           // physical record number of the current record
  int64_t logicalPos_ = 0;             // index order: 1-based ordinal; natural: rank, 0 until asked
  bool hasCurrent_ = false;            // the position names a record
  // Leaf walk: the entry at walkOrdinal_ of index walkSlot_ sits at
  // walkPage_/walkPosition_ while the index file's TreeChangeCount equals
  // walkChanges_ (walkSlot_ -1: nothing noted).
  int walkSlot_ = -1;
  int32_t walkPage_ = 0;
  int walkPosition_ = 0;
  int64_t walkOrdinal_ = 0;
  uint64_t walkChanges_ = 0;
  bool bof_ = false;                   // before the first record in view
  bool eof_ = false;                   // after the last record in view

  // Range (set by the filter layer).
  bool rangeActive_ = false;
  std::vector<uint8_t> rangeStartKey_; // kRangeKeySize bytes
  std::vector<uint8_t> rangeEndKey_;   // kRangeKeySize bytes
  int rangeStartLength_ = 0;           // compared prefix of the start key
  int rangeEndLength_ = 0;             // compared prefix of the end key
  bool rangePositionsValid_ = false;   // the two positions below are current
  int64_t rangeStartPos_ = 1;          // logical position of the first key in range
  int64_t rangeEndPos_ = 0;            // logical position of the last key in range

  // Filters and view bitmaps.
  bool filterActive_ = false;          // the view bitmap narrows navigation
  int32_t viewCount_ = 0;              // records in view
  TRecordsBitmap view_;                // records in view
  TRecordsBitmap work1_;               // working bitmaps while filters combine
  TRecordsBitmap work2_;
  std::vector<std::unique_ptr<TFilter>> filters_;  // in evaluation order, at most kMaxFilters
  TExpressionParser parser_{0, kFilterContext};     // filter texts
  uint64_t filterRecordReads_ = 0;     // records read to test filters

  // Editing.
  int32_t lockedRecNo_ = 0;            // record this cursor holds a record lock on
  int32_t editRecNo_ = 0;              // stored record number at edit begin
  bool changed_ = false;               // optimistic post found the record changed
  bool suppressAutoInc_ = false;       // keep caller-given auto-increment values
  bool hasDefaults_ = false;           // some field has a default text
  bool hasChecks_ = false;             // some field is required or has a minimum or maximum
  bool hasBlobs_ = false;              // the table has BLOB fields
  std::vector<OpenBlobEntry> blobs_;   // open BLOBs, at most kMaxOpenBlobs
  // Working storage of ModifyRecord and DeleteRecord, kept between writes so
  // that a row written allocates nothing once the buffers have grown. Each
  // write overwrites what it uses before reading it; no write calls another
  // (LockRecordNo, which they call, keeps its own bookmark).
  struct TWriteBuffers {
    std::vector<uint8_t> StartedFrom;             // the version the edit started from
    std::vector<uint8_t> Stored;                  // the record as stored before the write
    std::vector<uint8_t> Fresh;                   // the record as the write stores it
    std::vector<uint8_t> Bookmark;                // the position restored after the write
    std::vector<int> Slots;                       // KeyedSlotsInto
    std::vector<std::vector<uint8_t>> OldKeys;    // per slot, of Stored
    std::vector<std::vector<uint8_t>> NewKeys;    // per slot, of Fresh
    std::vector<uint8_t> Key;                     // DeleteRecord: one slot's key at a time
  } writeBuffers_;
  std::vector<uint8_t> lockBookmark_;  // LockRecordNo's position while it re-reads

  // Callbacks.
  TCursorPasswordCallback passwordCallback_;
  TCursorProgressCallback progressCallback_;
  TCursorDataLossCallback dataLossCallback_;
};

}  // namespace rudira
