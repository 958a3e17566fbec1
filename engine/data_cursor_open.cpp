// TDataCursor: open, close, clone, the change check at the start of every
// operation and the resynchronisation after another user's write.
#include <cassert>

#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/progress_reporter.h"
#include "storage/deleted_index.h"
#include "storage/field_type.h"
#include "storage/index_header.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"

namespace rudira {

TDataCursor::TDataCursor(TDataSession& session, TDataDirectory& database)
    : session_(session), database_(database) {}

TDataCursor::~TDataCursor() {
  try {
    CloseCursor();
  } catch (const std::exception&) {
    // A destructor cannot report; the table is given back regardless.
  }
}

void TDataCursor::Raise(uint16_t code, std::string_view fieldName, std::string_view indexName) const {
  RaiseEngineError(code, {.DatabaseName = database_.DirectoryPath(),
                          .TableName = tableName_,
                          .FieldName = fieldName,
                          .IndexName = indexName});
}

void TDataCursor::RequireOpen() const {
  if (!open_ || !table_) Raise(RUDIRA_NOTINITIALIZED);
}

const std::vector<TFieldDescriptor>& TDataCursor::Fields() const {
  RequireOpen();
  return table_->DataFile().Fields();
}

const TFieldDescriptor& TDataCursor::Field(int fieldNo) const {
  const auto& fields = Fields();
  if (fieldNo < 1 || static_cast<size_t>(fieldNo) > fields.size()) Raise(RUDIRA_OUTOFRANGE, std::to_string(fieldNo));
  return fields[static_cast<size_t>(fieldNo) - 1];
}

bool TDataCursor::TableHasPrimaryKey() const {
  TIndexFile& index = table_->IndexFile();
  return !index.NoPrimaryKey() && index.Definition(kPrimarySlot).IndexFieldCount > 0;
}

void TDataCursor::OpenCursor() {
  if (open_) return;
  blobs_.clear();
  TDataTable* table = nullptr;
  // A table of an active transaction keeps its files open between users,
  // with changes the files do not hold yet: only files opened now are
  // checked against their headers.
  const TDataTable* listed = database_.FindTable(tableName_, inMemory_ || database_.IsMemory());
  const bool filesWereOpen = listed != nullptr && listed->FilesOpen();
  const int32_t result = database_.OpenTable(tableName_, inMemory_, false, exclusive_, &table);
  if (result < 0) Raise(static_cast<uint16_t>(-result));
  table_ = table;
  open_ = true;
  try {
    if (table_->UseCount() == 1 && !filesWereOpen && !structureOnly_) {
      const bool taken = table_->ReaderLock();
      try {
        table_->Verify();
      } catch (...) {
        if (taken) table_->ReaderUnlock();
        throw;
      }
      if (taken) table_->ReaderUnlock();
    }
    CheckPassword();
    if (table_->TableReadOnly()) readOnly_ = true;
    TDataFile& data = table_->DataFile();
    recordSize_ = data.RecordSize();
    hasDefaults_ = hasChecks_ = false;
    for (const TFieldDescriptor& field : data.Fields()) {
      if (!field.DefaultValue.empty()) hasDefaults_ = true;
      if (field.Required || !field.MinValue.empty() || !field.MaxValue.empty()) hasChecks_ = true;
    }
    hasBlobs_ = table_->HasBlobFields();
    CopyCounters();
    rangeActive_ = false;
    rangeStartKey_.assign(kRangeKeySize, 0x00);
    rangeEndKey_.assign(kRangeKeySize, 0xFF);
    rangePositionsValid_ = false;
    filterActive_ = false;
    bof_ = eof_ = hasCurrent_ = false;
    if (structureOnly_) return;
    record_.assign(recordSize_, 0);
    if (table_->IndexesMissing() && table_->IndexFile().Definition(kSysDeletedSlot).RootPage == 0 &&
        data.RecordSlotCount() > 0 && !table_->TableReadOnly()) {
      // The lost index file was recreated empty: the deleted-records index
      // and the record count come back from the records.
      // The rebuild reads every record slot: told like an index build, at
      // the session's progress step.
      TProgressReporter progress(session_.ProgressStep(), [this](int percent) {
        if (progressCallback_) progressCallback_(*this, percent);
      });
      table_->WriterLock();
      try {
        RebuildDeletedIndex(data, table_->IndexFile(),
                            [&progress](int32_t slot, int32_t slots) { progress.Processed(slot, slots); });
        table_->WriteChanges(false, false);
      } catch (...) {
        table_->WriterUnlock();
        throw;
      }
      table_->WriterUnlock();
      progress.Finish();
      CopyCounters();
    }
    SelectIndex(naturalOrderRequested_ ? kNaturalOrderIndex : kPrimarySlot);
    SetToBegin();
  } catch (...) {
    try {
      CloseCursor();
    } catch (const std::exception&) {
      // The open's own error is the one to report.
    }
    throw;
  }
}

void TDataCursor::CheckPassword() {
  TDataFile& data = table_->DataFile();
  if (data.Header().Encrypted == 0) return;
  const std::string password = data.Password();
  while (!session_.HasPassword(password)) {
    // The cursor's own callback, else the session's request (the session
    // component installs the user's dialog there).
    const bool offered = passwordCallback_ ? passwordCallback_(*this) : session_.RequestPassword();
    if (!offered) Raise(RUDIRA_NOTSUFFTABLERIGHTS);
  }
}

void TDataCursor::CloseCursor() {
  if (!open_) return;
  std::exception_ptr failure;
  try {
    if (lockedRecNo_ != 0 && table_->FilesOpen() && table_->RecordLockedHere(lockedRecNo_)) {
      table_->UnlockRecord(lockedRecNo_);
    }
  } catch (...) {
    failure = std::current_exception();
  }
  lockedRecNo_ = 0;
  editRecNo_ = 0;
  changed_ = false;
  blobs_.clear();
  view_.SetSize(0);
  work1_.SetSize(0);
  work2_.SetSize(0);
  filters_.clear();
  filterActive_ = false;
  viewCount_ = 0;
  rangeActive_ = false;
  rangeStartKey_.clear();
  rangeEndKey_.clear();
  record_.clear();
  currentKey_.clear();
  currentRecNo_ = 0;
  logicalPos_ = 0;
  hasCurrent_ = bof_ = eof_ = false;
  TDataTable* table = table_;
  table_ = nullptr;
  open_ = false;
  try {
    database_.CloseTable(table);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

std::unique_ptr<TDataCursor> TDataCursor::CloneCursor() {
  RequireOpen();
  auto copy = std::make_unique<TDataCursor>(session_, database_);
  copy->tableName_ = tableName_;
  copy->exclusive_ = exclusive_;
  copy->clone_ = true;
  copy->readOnly_ = readOnly_;
  copy->inMemory_ = inMemory_;
  copy->naturalOrderRequested_ = natural_;
  copy->structureOnly_ = structureOnly_;
  copy->passwordCallback_ = passwordCallback_;
  copy->progressCallback_ = progressCallback_;
  copy->dataLossCallback_ = dataLossCallback_;
  // A clone shares its source's table object, so it can join a table the
  // source holds exclusively.
  table_->Open();
  copy->table_ = table_;
  copy->open_ = true;
  try {
    copy->recordSize_ = recordSize_;
    copy->hasDefaults_ = hasDefaults_;
    copy->hasChecks_ = hasChecks_;
    copy->hasBlobs_ = hasBlobs_;
    copy->CopyCounters();
    copy->rangeStartKey_ = rangeStartKey_;
    copy->rangeEndKey_ = rangeEndKey_;
    copy->rangeStartLength_ = rangeStartLength_;
    copy->rangeEndLength_ = rangeEndLength_;
    if (structureOnly_) return copy;
    copy->record_.assign(recordSize_, 0);
    copy->SelectIndex(natural_ ? kNaturalOrderIndex : indexNo_);
    copy->rangeActive_ = rangeActive_;
    copy->rangePositionsValid_ = false;
    for (const auto& filter : filters_) {
      std::unique_ptr<TFilter> added = filter->CopyFor(*copy);
      added->SetActive(filter->Active());
      copy->filters_.push_back(std::move(added));
    }
    if (!filters_.empty() || copy->rangeActive_) copy->RebuildView();
    copy->SetToBegin();
    if (OnRecord()) copy->SetToCursor(*this);
  } catch (...) {
    try {
      copy->CloseCursor();
    } catch (const std::exception&) {
    }
    throw;
  }
  return copy;
}

void TDataCursor::SelectIndex(int slot) {
  TIndexFile& index = table_->IndexFile();
  natural_ = slot == kNaturalOrderIndex || (slot == kPrimarySlot && !TableHasPrimaryKey());
  indexNo_ = static_cast<uint8_t>(slot);
  indexFields_.clear();
  if (natural_) {
    indexName_.clear();
    keySize_ = 0;
    indexFieldCount_ = 0;
    indexUnique_ = true;
    indexDescending_ = false;
    filterActive_ = true;
  } else {
    const TIndexDefinition& definition = index.Definition(slot);
    indexName_ = definition.IndexName;
    keySize_ = definition.KeySize;
    indexFieldCount_ = definition.IndexFieldCount;
    indexUnique_ = definition.Unique != 0;
    indexDescending_ = definition.Descending != 0;
    for (int i = 0; i < indexFieldCount_; ++i) indexFields_.push_back(definition.FieldNumbers[i]);
    // RebuildView sets it again when a filter is active.
    filterActive_ = false;
  }
  currentKey_.assign(static_cast<size_t>(keySize_), 0);
  rangePositionsValid_ = false;
  RebuildView();
}

bool TDataCursor::CountersDiffer() const {
  const int32_t blob = table_->HasBlobFields() ? table_->BlobFile().Header().BlobChangeCount : 0;
  return dataChangeCount_ != table_->DataFile().Header().ChangeCount ||
         indexChangeCount_ != table_->IndexFile().Header().IndexChangeCount || blobChangeCount_ != blob;
}

void TDataCursor::CopyCounters() {
  dataChangeCount_ = table_->DataFile().Header().ChangeCount;
  indexChangeCount_ = table_->IndexFile().Header().IndexChangeCount;
  blobChangeCount_ = table_->HasBlobFields() ? table_->BlobFile().Header().BlobChangeCount : 0;
}

bool TDataCursor::BeginOperation(bool forceStrict) {
  RequireOpen();
  const bool exclusive = table_->ExclusiveOpen();
  if (session_.StrictChangeDetection() || forceStrict) {
    // ReaderLock re-reads the headers (CheckForChanges), so a change by
    // anyone shows as counters that differ from the cursor's copies.
    const bool taken = exclusive ? false : table_->ReaderLock();
    try {
      if (CountersDiffer()) Resynchronise();
    } catch (...) {
      if (taken) table_->ReaderUnlock();
      throw;
    }
    return taken;
  }
  if (exclusive && !clone_) return false;
  if (CountersDiffer()) Resynchronise();
  return false;
}

void TDataCursor::EndOperation(bool readerTaken) {
  if (readerTaken) table_->ReaderUnlock();
}

void TDataCursor::SaveBookmark(std::vector<uint8_t>& bookmark, bool& atBegin, bool& atEnd) {
  bookmark.assign(BookmarkSize(), 0);
  CurrentBookmark(bookmark.data());
  atBegin = bof_ || !hasCurrent_;
  atEnd = eof_ && hasCurrent_;
}

void TDataCursor::RestoreBookmark(const std::vector<uint8_t>& bookmark, bool atBegin, bool atEnd) {
  if (atBegin) {
    if (GoFirst()) bof_ = true;
  } else if (atEnd) {
    if (GoLast()) eof_ = true;
  } else {
    SeekBookmark(bookmark.data(), true);
  }
}

void TDataCursor::Resynchronise() {
  std::vector<uint8_t> bookmark;
  bool atBegin = false;
  bool atEnd = false;
  SaveBookmark(bookmark, atBegin, atEnd);
  CopyCounters();
  rangePositionsValid_ = false;
  if (natural_ || filterActive_) RebuildView();
  RestoreBookmark(bookmark, atBegin, atEnd);
}

void TDataCursor::Refresh() {
  RequireOpen();
  if (structureOnly_) return;
  const bool taken = table_->ExclusiveOpen() ? false : table_->ReaderLock();
  try {
    // Whether or not the counters moved, cached data is dropped (a
    // transaction's buffered changes excepted) and the record found again.
    if (!table_->InTransaction()) table_->DropCaches(false, true);
    Resynchronise();
  } catch (...) {
    EndOperation(taken);
    throw;
  }
  EndOperation(taken);
}

}  // namespace rudira
