// TDataCursor: record locks, edit begin, append, modify, delete, cancel and
// the write preamble.
//
// Every write runs under the table's writer lock, taken by the preamble and
// released at the end also on failure. The uniqueness pass over every index
// runs before any index or record changes, so a duplicate key leaves the
// files as they were. A failure after the first change (a full file, a
// corrupt page) drops the table's caches outside a transaction, so that no
// half-made change is ever written.
#include <algorithm>
#include <cassert>
#include <cstring>

#include "engine/cleanup_quietly.h"
#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"

namespace rudira {

namespace {

int32_t FollowingAutoInc(int32_t last) { return last == INT32_MAX ? 1 : last + 1; }

}  // namespace

// --- record locks ---

bool TDataCursor::LockedBySession(int32_t recordNo) const {
  return table_->RecordLockedHere(recordNo) && !table_->RecordUnlockDeferred(recordNo);
}

void TDataCursor::LockRecordNo(int32_t recordNo) {
  if (table_->ExclusiveOpen()) return;
  // Another cursor of the session (or this one) holds it: no waiting, the
  // holder is in this very thread.
  if (LockedBySession(recordNo)) Raise(RUDIRA_RECLOCKFAILED);
  // A cursor holds one record lock at a time.
  if (lockedRecNo_ != 0) UnlockHeld();
  bool atBegin = false;
  bool atEnd = false;
  SaveBookmark(lockBookmark_, atBegin, atEnd);
  const bool changeLocked = table_->LockRecord(recordNo);
  lockedRecNo_ = recordNo;
  try {
    if (CountersDiffer()) {
      CopyCounters();
      rangePositionsValid_ = false;
      if (natural_ || filterActive_) RebuildView();
      RestoreBookmark(lockBookmark_, atBegin, atEnd);
      if (OnRecord()) ReadCurrent();
    }
  } catch (...) {
    if (changeLocked) CleanUpQuietly([this] { table_->ChangeReaderUnlock(); });
    throw;
  }
  // The change-reader lock only had to cover the re-read above.
  if (changeLocked) table_->ChangeReaderUnlock();
}

void TDataCursor::UnlockHeld() {
  const int32_t recordNo = lockedRecNo_;
  lockedRecNo_ = 0;
  if (recordNo != 0 && table_->RecordLockedHere(recordNo)) table_->UnlockRecord(recordNo);
}

void TDataCursor::UnlockRecord(int32_t recordNo) {
  RequireOpen();
  if (recordNo == 0) recordNo = lockedRecNo_;
  if (recordNo == 0) return;
  if (recordNo == lockedRecNo_) {
    UnlockHeld();
    return;
  }
  if (table_->RecordLockedHere(recordNo)) table_->UnlockRecord(recordNo);
}

// --- edit begin ---

bool TDataCursor::ReadCurrentEqualsCopy(const uint8_t* copy) {
  ReadCurrent();
  return copy == nullptr || std::memcmp(record_.data(), copy, recordSize_) == 0;
}

uint16_t TDataCursor::BeginEdit(uint8_t* record) {
  const bool taken = BeginOperation();
  try {
    uint16_t code = ReadCode();
    if (code == 0) {
      const bool exclusive = table_->ExclusiveOpen();
      if (session_.LockProtocol() == kLockProtocolOptimistic) {
        if (!ReadCurrentEqualsCopy(record)) Raise(RUDIRA_KEYORRECDELETED);
      } else {
        editRecNo_ = currentRecNo_;
        if (lockedRecNo_ != currentRecNo_) {
          if (lockedRecNo_ != 0) UnlockHeld();
          // Re-reads and repositions when the table changed meanwhile.
          LockRecordNo(currentRecNo_);
        }
        if (!exclusive) {
          if (!OnRecord() || currentRecNo_ != editRecNo_ || !ReadCurrentEqualsCopy(record)) {
            UnlockHeld();
            Raise(RUDIRA_KEYORRECDELETED);
          }
        } else {
          ReadCurrent();
        }
      }
      editRecNo_ = currentRecNo_;
      if (record) std::memcpy(record, record_.data(), recordSize_);
    }
    EndOperation(taken);
    return code;
  } catch (...) {
    CleanUpQuietly([&] { EndOperation(taken); });
    throw;
  }
}

// --- the rows a statement changes ---

std::vector<int32_t> TDataCursor::ViewRecordNumbers() {
  RequireOpen();
  assert(natural_);
  std::vector<int32_t> numbers;
  if (structureOnly_) return numbers;
  const bool taken = BeginOperation();
  try {
    numbers.reserve(static_cast<size_t>(std::max<int32_t>(viewCount_, 0)));
    for (uint32_t n = view_.NextSet(1); n != 0; n = view_.NextSet(n + 1)) numbers.push_back(static_cast<int32_t>(n));
  } catch (...) {
    CleanUpQuietly([&] { EndOperation(taken); });
    throw;
  }
  EndOperation(taken);
  return numbers;
}

// --- shared steps of the writes ---

void TDataCursor::WritePreamble() {
  RequireOpen();
  if (readOnly_ || structureOnly_) Raise(RUDIRA_OSEACCES);
  try {
    // The lock's change check may raise with the locks taken (another
    // process left a damaged header): they are released here too.
    table_->RecordWriterLock();
    if (CountersDiffer()) Resynchronise();
  } catch (...) {
    CleanUpQuietly([this] { table_->WriterUnlock(); });
    throw;
  }
}

std::vector<int> TDataCursor::KeyedSlots() const {
  std::vector<int> slots;
  KeyedSlotsInto(slots);
  return slots;
}

void TDataCursor::KeyedSlotsInto(std::vector<int>& slots) const {
  slots.clear();
  if (TableHasPrimaryKey()) slots.push_back(kPrimarySlot);
  const int count = std::min<int>(table_->IndexFile().Header().SecondaryIndexCount, kMaxSecondaryIndexes);
  for (int slot = 1; slot <= count; ++slot) slots.push_back(slot);
}

void TDataCursor::DiscardFailedWrite() {
  // Nothing of the failed write has reached the files yet (every write ends
  // with FlushBuffers); dropping the caches discards it. Inside a
  // transaction the caches also hold its earlier changes and are kept.
  if (!table_->InTransaction()) table_->DropCaches(false, true);
  CopyCounters();
  rangePositionsValid_ = false;
  if (natural_ || filterActive_) RebuildView();
}

void TDataCursor::FlushBuffers() {
  RequireOpen();
  table_->WriteChanges(true, false);
  CopyCounters();
}

void TDataCursor::AfterWrite(const std::vector<uint8_t>& targetRecord, bool reposition, bool deleted,
                             const std::vector<uint8_t>& bookmark, bool atBegin, bool atEnd) {
  // Only the written record's bit changes in the view.
  UpdateViewAfterWrite(targetRecord.data(), deleted);
  if (natural_) {
    if (reposition || deleted) {
      SeekRecordNo(RecordNumberOrLink(targetRecord.data()));
    } else {
      RestoreBookmark(bookmark, atBegin, atEnd);
    }
  } else if (reposition || deleted) {
    std::vector<uint8_t> key(static_cast<size_t>(keySize_));
    BuildKey(targetRecord.data(), key.data());
    SeekKey(key.data(), keySize_);
  } else {
    RestoreBookmark(bookmark, atBegin, atEnd);
  }
  if (OnRecord()) ReadCurrent();
}

// --- append ---

void TDataCursor::AppendRecord(const uint8_t* record, bool reposition) {
  RequireOpen();
  if (hasChecks_) CheckValidity(record);
  WritePreamble();
  bool touched = false;
  try {
    TDataFile& data = table_->DataFile();
    TIndexFile& index = table_->IndexFile();
    std::vector<uint8_t> bookmark;
    bool atBegin = false;
    bool atEnd = false;
    SaveBookmark(bookmark, atBegin, atEnd);

    const bool keepOrder = !TableHasPrimaryKey();
    const int32_t recordNo = data.InsertRecordNumber(keepOrder);
    LockRecordNo(recordNo);

    std::vector<uint8_t> fresh(record, record + recordSize_);
    SetRecordStatus(fresh.data(), kRecordInUse);
    SetRecordNumberOrLink(fresh.data(), recordNo);
    const int32_t autoInc =
        suppressAutoInc_ ? RecordAutoIncValue(record) : FollowingAutoInc(data.Header().LastAutoIncValue);
    SetRecordAutoIncValue(fresh.data(), autoInc);

    // Uniqueness over every index before anything changes.
    const std::vector<int> slots = KeyedSlots();
    std::vector<std::vector<uint8_t>> keys;
    for (int slot : slots) {
      const TIndexDefinition& definition = index.Definition(slot);
      std::vector<uint8_t> key(static_cast<size_t>(definition.KeySize));
      BuildIndexKey(definition, data.Fields(), fresh.data(), data.Locale(), key.data());
      if (definition.Unique && TIndexTree(index, slot).Find(key.data()) != 0) {
        Raise(RUDIRA_KEYVIOL, {}, definition.IndexName);
      }
      keys.push_back(std::move(key));
    }
    uint8_t deletedKey[kSysDeletedKeySize];
    BuildSysDeletedKey(fresh.data(), deletedKey);
    TIndexTree deletedIndex(index, kSysDeletedSlot);
    if (suppressAutoInc_ && deletedIndex.Find(deletedKey) != 0) Raise(RUDIRA_KEYVIOL, {}, kSysDeletedName);

    touched = true;
    PostBlobs(fresh.data(), true, nullptr);
    for (size_t i = 0; i < slots.size(); ++i) {
      if (!TIndexTree(index, slots[i]).Insert(keys[i].data(), recordNo)) {
        Raise(RUDIRA_KEYVIOL, {}, index.Definition(slots[i]).IndexName);
      }
    }
    if (recordNo <= data.RecordSlotCount()) {
      // A reused slot leaves the deleted side of the internal index.
      uint8_t oldKey[kSysDeletedKeySize];
      BuildSysDeletedKey(data.GetRecord(recordNo)->Data(), oldKey);
      if (TIndexTree(index, kSysDeletedSlot).Find(oldKey) == recordNo) TIndexTree(index, kSysDeletedSlot).Delete(oldKey);
    }
    TRecord* stored = data.AllocateRecord(keepOrder, false);
    if (stored->RecordNo() != recordNo) Raise(RUDIRA_FILECORRUPT);
    std::memcpy(stored->Data() + kRecordAutoIncOffset, fresh.data() + kRecordAutoIncOffset,
                recordSize_ - kRecordAutoIncOffset);
    data.MarkRecordModified(stored);
    TIndexTree(index, kSysDeletedSlot).Insert(deletedKey, recordNo);
    index.IncrementActiveRecordCount();
    index.MarkHeaderModified();
    data.SetLastAutoIncValue(suppressAutoInc_ ? std::max(data.Header().LastAutoIncValue, autoInc) : autoInc);
    FlushBuffers();
    blobs_.clear();

    AfterWrite(fresh, reposition, false, bookmark, atBegin, atEnd);
    UnlockHeld();
  } catch (...) {
    CleanUpQuietly([this] { UnlockHeld(); });
    if (touched) CleanUpQuietly([this] { DiscardFailedWrite(); });
    CleanUpQuietly([this] { table_->WriterUnlock(); });
    throw;
  }
  table_->WriterUnlock();
}

// --- modify ---

void TDataCursor::ModifyRecord(const uint8_t* record, bool unlock, bool reposition) {
  RequireOpen();
  if (hasChecks_) CheckValidity(record);
  const bool optimistic = session_.LockProtocol() == kLockProtocolOptimistic;
  TWriteBuffers& buffers = writeBuffers_;
  // The version the edit started from.
  const std::vector<uint8_t>& startedFrom = buffers.StartedFrom;
  buffers.StartedFrom.assign(record_.begin(), record_.end());
  WritePreamble();
  bool touched = false;
  try {
    TDataFile& data = table_->DataFile();
    TIndexFile& index = table_->IndexFile();
    const bool exclusive = table_->ExclusiveOpen();
    std::vector<uint8_t>& bookmark = buffers.Bookmark;
    bool atBegin = false;
    bool atEnd = false;
    SaveBookmark(bookmark, atBegin, atEnd);
    if (!OnRecord()) {
      if (optimistic) changed_ = true;
      Raise(RUDIRA_KEYORRECDELETED);
    }
    if (optimistic && !exclusive) {
      if (changed_ || !ReadCurrentEqualsCopy(startedFrom.data())) {
        changed_ = true;
        Raise(RUDIRA_KEYORRECDELETED);
      }
      LockRecordNo(currentRecNo_);
    } else if (!exclusive && lockedRecNo_ != currentRecNo_) {
      // Posted without an edit begin: the record is locked for the write.
      LockRecordNo(currentRecNo_);
    }
    ReadCurrent();
    const int32_t recordNo = currentRecNo_;
    const std::vector<uint8_t>& stored = buffers.Stored;
    buffers.Stored.assign(record_.begin(), record_.end());

    const std::vector<uint8_t>& fresh = buffers.Fresh;
    buffers.Fresh.assign(record, record + recordSize_);
    std::memcpy(buffers.Fresh.data(), stored.data(), kRecordAutoIncOffset);
    if (!suppressAutoInc_) {
      SetRecordAutoIncValue(buffers.Fresh.data(), RecordAutoIncValue(stored.data()));
    }

    const std::vector<int>& slots = buffers.Slots;
    KeyedSlotsInto(buffers.Slots);
    std::vector<std::vector<uint8_t>>& oldKeys = buffers.OldKeys;
    std::vector<std::vector<uint8_t>>& newKeys = buffers.NewKeys;
    oldKeys.resize(slots.size());
    newKeys.resize(slots.size());
    for (size_t i = 0; i < slots.size(); ++i) {
      const TIndexDefinition& definition = index.Definition(slots[i]);
      std::vector<uint8_t>& oldKey = oldKeys[i];
      std::vector<uint8_t>& newKey = newKeys[i];
      if (IndexKeySourcesEqual(definition, data.Fields(), stored.data(), fresh.data())) {
        // The same bytes feed both keys: the slot keeps its entry, and the
        // two empty keys compare equal below.
        oldKey.clear();
        newKey.clear();
        continue;
      }
      oldKey.assign(static_cast<size_t>(definition.KeySize), 0);
      newKey.assign(static_cast<size_t>(definition.KeySize), 0);
      BuildIndexKey(definition, data.Fields(), stored.data(), data.Locale(), oldKey.data());
      BuildIndexKey(definition, data.Fields(), fresh.data(), data.Locale(), newKey.data());
      if (oldKey != newKey && definition.Unique && TIndexTree(index, slots[i]).Find(newKey.data()) != 0) {
        Raise(RUDIRA_KEYVIOL, {}, definition.IndexName);
      }
    }
    uint8_t oldDeletedKey[kSysDeletedKeySize];
    uint8_t newDeletedKey[kSysDeletedKeySize];
    BuildSysDeletedKey(stored.data(), oldDeletedKey);
    BuildSysDeletedKey(fresh.data(), newDeletedKey);
    const bool idChanged = std::memcmp(oldDeletedKey, newDeletedKey, kSysDeletedKeySize) != 0;
    if (idChanged && TIndexTree(index, kSysDeletedSlot).Find(newDeletedKey) != 0) {
      Raise(RUDIRA_KEYVIOL, {}, kSysDeletedName);
    }

    touched = true;
    if (suppressAutoInc_) {
      data.SetLastAutoIncValue(std::max(data.Header().LastAutoIncValue, RecordAutoIncValue(fresh.data())));
    }
    bool indexChanged = false;
    for (size_t i = 0; i < slots.size(); ++i) {
      if (oldKeys[i] == newKeys[i]) continue;
      TIndexTree tree(index, slots[i]);
      tree.Delete(oldKeys[i].data());
      if (!tree.Insert(newKeys[i].data(), recordNo)) Raise(RUDIRA_KEYVIOL, {}, index.Definition(slots[i]).IndexName);
      indexChanged = true;
    }
    if (idChanged) {
      TIndexTree deletedIndex(index, kSysDeletedSlot);
      deletedIndex.Delete(oldDeletedKey);
      deletedIndex.Insert(newDeletedKey, recordNo);
      indexChanged = true;
    }
    // Other users drop their cached pages only when the index header moves.
    if (indexChanged) index.MarkHeaderModified();
    PostBlobs(buffers.Fresh.data(), false, stored.data());
    TRecord* target = data.GetRecord(recordNo);
    std::memcpy(target->Data() + kRecordAutoIncOffset, fresh.data() + kRecordAutoIncOffset,
                recordSize_ - kRecordAutoIncOffset);
    data.MarkRecordModified(target);
    // The data header moves with every write so that others see it.
    data.MarkHeaderModified();
    FlushBuffers();
    blobs_.clear();
    changed_ = false;
    editRecNo_ = 0;

    if (optimistic || unlock) UnlockHeld();
    AfterWrite(fresh, reposition, false, bookmark, atBegin, atEnd);
  } catch (...) {
    CleanUpQuietly([this] { UnlockHeld(); });
    if (touched) CleanUpQuietly([this] { DiscardFailedWrite(); });
    CleanUpQuietly([this] { table_->WriterUnlock(); });
    throw;
  }
  table_->WriterUnlock();
}

// --- delete ---

void TDataCursor::DeleteRecord(const uint8_t* record, bool reposition) {
  (void)reposition;  // the cursor cannot stay on a deleted record: it always moves on
  WritePreamble();
  bool touched = false;
  bool lockedHere = false;
  try {
    TDataFile& data = table_->DataFile();
    TIndexFile& index = table_->IndexFile();
    if (!OnRecord()) Raise(RUDIRA_NOCURRREC);
    const int32_t recordNo = currentRecNo_;
    ReadCurrent();
    if (!table_->ExclusiveOpen()) {
      if (LockedBySession(recordNo)) {
        if (lockedRecNo_ != recordNo) Raise(RUDIRA_RECLOCKFAILED);
      } else {
        if (record && std::memcmp(record_.data(), record, recordSize_) != 0) Raise(RUDIRA_KEYORRECDELETED);
        LockRecordNo(recordNo);
        lockedHere = true;
        if (!OnRecord() || currentRecNo_ != recordNo) Raise(RUDIRA_KEYORRECDELETED);
        ReadCurrent();
      }
    }
    TWriteBuffers& buffers = writeBuffers_;
    const std::vector<uint8_t>& stored = buffers.Stored;
    buffers.Stored.assign(record_.begin(), record_.end());

    touched = true;
    KeyedSlotsInto(buffers.Slots);
    std::vector<uint8_t>& key = buffers.Key;
    for (int slot : buffers.Slots) {
      const TIndexDefinition& definition = index.Definition(slot);
      key.assign(static_cast<size_t>(definition.KeySize), 0);
      BuildIndexKey(definition, data.Fields(), stored.data(), data.Locale(), key.data());
      TIndexTree(index, slot).Delete(key.data());
    }
    uint8_t deletedKey[kSysDeletedKeySize];
    BuildSysDeletedKey(stored.data(), deletedKey);
    TIndexTree deletedIndex(index, kSysDeletedSlot);
    deletedIndex.Delete(deletedKey);
    deletedKey[0] = kRecordDeleted;
    deletedIndex.Insert(deletedKey, recordNo);  // false: an equal deleted id is listed already
    index.DecrementActiveRecordCount();
    index.MarkHeaderModified();
    FreeRecordBlobs(stored.data());
    data.DeleteRecord(recordNo);
    FlushBuffers();
    blobs_.clear();
    changed_ = false;
    editRecNo_ = 0;

    AfterWrite(stored, true, true, {}, false, false);
    UnlockHeld();
  } catch (...) {
    if (lockedHere) CleanUpQuietly([this] { UnlockHeld(); });
    if (touched) CleanUpQuietly([this] { DiscardFailedWrite(); });
    CleanUpQuietly([this] { table_->WriterUnlock(); });
    throw;
  }
  table_->WriterUnlock();
}

// --- cancel ---

void TDataCursor::CancelRecord() {
  RequireOpen();
  if (session_.LockProtocol() == kLockProtocolOptimistic) {
    changed_ = false;
  } else {
    UnlockHeld();
  }
  editRecNo_ = 0;
  blobs_.clear();
}

}  // namespace rudira
