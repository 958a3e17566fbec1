// TDataCursor: adding and deleting indexes, emptying the table, and the
// steps an index build shares with a restructure (freeing an index's pages,
// deleting a record whose key a new unique index already holds, asking the
// data-loss callback).
#include <cassert>
#include <set>

#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/index_pages.h"
#include "engine/progress_reporter.h"
#include "storage/field_definitions.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"

namespace rudira {

void TDataCursor::RequireExclusiveWritable() const {
  RequireOpen();
  if (!table_->ExclusiveOpen()) Raise(RUDIRA_NEEDEXCLACCESS);
  if (readOnly_ || structureOnly_ || table_->TableReadOnly()) Raise(RUDIRA_OSEACCES);
}

bool TDataCursor::ReportDataLoss(int cause, const std::string& context, bool& stopAsking, bool& lastContinue) {
  if (stopAsking) return lastContinue;
  // Without a callback every problem record is dropped and the work goes on.
  if (!dataLossCallback_) return true;
  bool continueRestructure = true;
  dataLossCallback_(*this, cause, continueRestructure, stopAsking, context);
  lastContinue = continueRestructure;
  return continueRestructure;
}

void TDataCursor::DropRecordWhileBuilding(int32_t recordNo, const std::vector<bool>& building) {
  TDataFile& data = table_->DataFile();
  TIndexFile& index = table_->IndexFile();
  const uint8_t* bytes = data.GetRecord(recordNo)->Data();
  const std::vector<uint8_t> stored(bytes, bytes + recordSize_);
  for (int slot : KeyedSlots()) {
    if (static_cast<size_t>(slot) < building.size() && building[static_cast<size_t>(slot)]) continue;
    const TIndexDefinition& definition = index.Definition(slot);
    std::vector<uint8_t> key(static_cast<size_t>(definition.KeySize));
    BuildIndexKey(definition, data.Fields(), stored.data(), data.Locale(), key.data());
    TIndexTree(index, slot).Delete(key.data());
  }
  uint8_t deletedKey[kSysDeletedKeySize];
  BuildSysDeletedKey(stored.data(), deletedKey);
  TIndexTree deletedIndex(index, kSysDeletedSlot);
  deletedIndex.Delete(deletedKey);
  deletedKey[0] = kRecordDeleted;
  deletedIndex.Insert(deletedKey, recordNo);
  index.DecrementActiveRecordCount();
  index.MarkHeaderModified();
  FreeRecordBlobs(stored.data());
  data.DeleteRecord(recordNo);
}

void TDataCursor::AddIndex(TIndexDefinition definition) {
  RequireOpen();
  const bool temporary = definition.TemporaryIndex != 0;
  if (!temporary) RequireExclusiveWritable();
  if (structureOnly_) Raise(RUDIRA_OSEACCES);

  // The field list ends at the first field number 0.
  int fieldCount = 0;
  while (fieldCount < kMaxIndexFields && definition.FieldNumbers[static_cast<size_t>(fieldCount)] != 0) ++fieldCount;
  definition.IndexFieldCount = static_cast<uint8_t>(fieldCount);
  if (fieldCount == 0) Raise(RUDIRA_INVALIDKEY, {}, definition.IndexName);
  TDataFile& data = table_->DataFile();
  TIndexFile& index = table_->IndexFile();
  // Key size and field count (10026 beyond 522 bytes, 10023 for an unknown field).
  PrepareIndexDefinition(definition, data.Fields(), false, tableName_);

  // Only a cursor that may change the table deletes the duplicates of a
  // temporary unique index; for any other the build fails instead.
  const bool mayDelete = table_->ExclusiveOpen() && !readOnly_ && !table_->TableReadOnly();
  table_->WriterLock();
  bool touched = false;
  int slot = -1;
  try {
    if (CountersDiffer()) Resynchronise();
    touched = true;
    slot = index.AddSecondaryDefinition(definition);
    const int32_t slots = data.RecordSlotCount();
    if (slots > 0) {
      TProgressReporter progress(session_.ProgressStep(), [this](int percent) {
        if (progressCallback_) progressCallback_(*this, percent);
      });
      std::vector<bool> building(kIndexSlotCount, false);
      building[static_cast<size_t>(slot)] = true;
      const TIndexDefinition& added = index.Definition(slot);
      std::vector<uint8_t> key(static_cast<size_t>(added.KeySize));
      for (int32_t n = 1; n <= slots; ++n) {
        const TRecord* record = data.GetRecord(n);
        if (RecordStatus(record->Data()) == kRecordInUse) {
          BuildIndexKey(added, data.Fields(), record->Data(), data.Locale(), key.data());
          TIndexTree tree(index, slot);
          // A unique index keeps the first record of each key.
          if (added.Unique && tree.Find(key.data()) != 0) {
            if (!mayDelete) Raise(RUDIRA_KEYVIOL, {}, added.IndexName);
            DropRecordWhileBuilding(n, building);
          } else if (!tree.Insert(key.data(), n)) {
            Raise(RUDIRA_KEYVIOL, {}, added.IndexName);
          }
        }
        progress.Processed(n, slots);
      }
      progress.Finish();
    }
    // A temporary index is not part of the header that others read.
    if (!temporary) index.MarkHeaderModified();
    FlushBuffers();
  } catch (...) {
    try {
      // Rereading the header drops a permanent definition but keeps a
      // temporary one, which goes explicitly.
      if (temporary && slot > 0) index.RemoveSecondaryDefinition(slot);
      if (touched) DiscardFailedWrite();
      table_->WriterUnlock();
    } catch (const std::exception&) {
      // The build's own error is the one to report.
    }
    throw;
  }
  table_->WriterUnlock();
  SelectIndex(indexNo_);
  SetToBegin();
}

void TDataCursor::DeleteIndex(const std::string& name) {
  RequireExclusiveWritable();
  TIndexFile& index = table_->IndexFile();
  const int slot = index.FindIndex(name);
  const int secondaries = index.Header().SecondaryIndexCount;
  if (slot < 0 || slot > secondaries || slot > kMaxSecondaryIndexes) Raise(RUDIRA_INVALIDINDEXNAME, {}, name);

  table_->WriterLock();
  bool touched = false;
  try {
    if (CountersDiffer()) Resynchronise();
    touched = true;
    FreeIndexPages(index, slot);
    if (slot == kPrimarySlot) {
      TIndexDefinition none;
      none.Unique = 1;
      none.FreePageHead = index.Definition(kPrimarySlot).FreePageHead;
      index.SetDefinition(kPrimarySlot, none);
      index.SetNoPrimaryKey(true);
    } else {
      index.RemoveSecondaryDefinition(slot);
    }
    index.MarkHeaderModified();
    FlushBuffers();
  } catch (...) {
    try {
      if (touched) DiscardFailedWrite();
      table_->WriterUnlock();
    } catch (const std::exception&) {
      // The deletion's own error is the one to report.
    }
    throw;
  }
  table_->WriterUnlock();
  rangeActive_ = false;
  SelectIndex(kPrimarySlot);
  SetToBegin();
}

void TDataCursor::EmptyTable() {
  RequireExclusiveWritable();
  table_->WriterLock();
  try {
    if (lockedRecNo_ != 0) UnlockHeld();
    blobs_.clear();
    table_->Empty();
  } catch (...) {
    try {
      table_->WriterUnlock();
    } catch (const std::exception&) {
      // The emptying's own error is the one to report.
    }
    throw;
  }
  table_->WriterUnlock();
  CopyCounters();
  editRecNo_ = 0;
  changed_ = false;
  rangePositionsValid_ = false;
  SelectIndex(indexNo_);
  SetToBegin();
}

}  // namespace rudira
