// TDataCursor::AppendRecords: many appends in one pass.
//
// AppendRecord pays for its generality on every row: a write preamble, a
// bookmark, the keys and uniqueness searches of every index, a descent of
// the deleted index for its new key and the cursor's repositioning. A table
// held exclusively inside a transaction, with no keyed index, no field
// checks, no BLOB fields and no caller-given ids, needs none of that per
// row: each row takes the next record number and the next id. When the
// first new deleted-index key (in use, id) lies above the index's last key
// (checked once), the keys of all rows ascend above every key there and
// TIndexTree::Append enters them, leaving the pages that one insert per row
// leaves. Each row still steps the in-memory change count as its own write
// would, so that the header written at the commit is the one row-by-row
// appends give. Any other table appends row by row.
#include <climits>
#include <cstring>
#include <functional>
#include <vector>

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

// Whether every key of `tree` sorts below `key` (true for an empty tree).
bool AllKeysBelow(TIndexTree& tree, const TKeyComparer& comparer, const uint8_t* key) {
  const int64_t count = tree.RecordCount();
  if (count == 0) return true;
  const TIndexPath last = tree.PathOfOrdinal(count - 1);
  if (last.Depth == 0) return false;
  std::vector<uint8_t> lastKey;
  int32_t recordNo = 0;
  tree.EntryAt(last, lastKey, recordNo);
  return comparer.Compare(lastKey.data(), key, kSysDeletedKeySize) < 0;
}

}  // namespace

bool TDataCursor::AppendsInOnePass(size_t count) {
  const TDataFile& data = table_->DataFile();
  const int32_t last = data.Header().LastAutoIncValue;
  if (readOnly_ || structureOnly_ || hasChecks_ || hasBlobs_ || !blobs_.empty() || suppressAutoInc_ ||
      !table_->ExclusiveOpen() || !table_->InTransaction() || !KeyedSlots().empty() || last < 0 ||
      static_cast<int64_t>(last) + static_cast<int64_t>(count) > INT32_MAX) {
    return false;
  }
  // Held exclusively: what the caches hold is the table.
  uint8_t firstKey[kSysDeletedKeySize];
  firstKey[0] = kRecordInUse;
  EncodeOrderedInt32(last + 1, firstKey + 1);
  TIndexFile& index = table_->IndexFile();
  TIndexTree tree(index, kSysDeletedSlot);
  return AllKeysBelow(tree, index.Comparer(kSysDeletedSlot), firstKey);
}

void TDataCursor::AppendRecords(const uint8_t* records, size_t count) {
  RequireOpen();
  if (count == 0) return;
  if (!AppendsInOnePass(count)) {
    for (size_t i = 0; i < count; ++i) AppendRecord(records + i * recordSize_, false);
    return;
  }
  TDataFile& data = table_->DataFile();
  TIndexFile& index = table_->IndexFile();
  WritePreamble();
  // The deleted-index keys and record numbers of the rows stored so far,
  // entered together.
  std::vector<uint8_t> keys(count * kSysDeletedKeySize);
  std::vector<int32_t> recordNumbers(count);
  size_t stored = 0;
  auto enterKeys = [&]() {
    TIndexTree(index, kSysDeletedSlot).Append(static_cast<int64_t>(stored), [&](int64_t i, uint8_t* key) {
      std::memcpy(key, keys.data() + static_cast<size_t>(i) * kSysDeletedKeySize, kSysDeletedKeySize);
      return recordNumbers[static_cast<size_t>(i)];
    });
  };
  try {
    std::vector<uint8_t> bookmark;
    bool atBegin = false;
    bool atEnd = false;
    SaveBookmark(bookmark, atBegin, atEnd);
    const int32_t firstId = data.Header().LastAutoIncValue + 1;
    std::vector<uint8_t> fresh(recordSize_);
    try {
      for (size_t i = 0; i < count; ++i) {
        const int32_t recordNo = data.InsertRecordNumber(true);
        const int32_t id = firstId + static_cast<int32_t>(i);
        std::memcpy(fresh.data(), records + i * recordSize_, recordSize_);
        SetRecordStatus(fresh.data(), kRecordInUse);
        SetRecordNumberOrLink(fresh.data(), recordNo);
        SetRecordAutoIncValue(fresh.data(), id);
        TRecord* record = data.AllocateRecord(true, false);
        if (record->RecordNo() != recordNo) Raise(RUDIRA_FILECORRUPT);
        std::memcpy(record->Data() + kRecordAutoIncOffset, fresh.data() + kRecordAutoIncOffset,
                    recordSize_ - kRecordAutoIncOffset);
        data.MarkRecordModified(record);
        BuildSysDeletedKey(fresh.data(), keys.data() + i * kSysDeletedKeySize);
        recordNumbers[i] = recordNo;
        ++stored;
        index.IncrementActiveRecordCount();
        index.MarkHeaderModified();
        data.SetLastAutoIncValue(id);
        // The row's own write step: the change count moves once per row.
        table_->WriteChanges(true, false);
        UpdateViewAfterWrite(fresh.data(), false);
      }
    } catch (...) {
      // The rows stored before the failure keep their index entries.
      CleanUpQuietly(enterKeys);
      throw;
    }
    enterKeys();
    CopyCounters();
    RestoreBookmark(bookmark, atBegin, atEnd);
    if (OnRecord()) ReadCurrent();
    UnlockHeld();
  } catch (...) {
    CleanUpQuietly([this] { UnlockHeld(); });
    CleanUpQuietly([this] { DiscardFailedWrite(); });
    CleanUpQuietly([this] { table_->WriterUnlock(); });
    throw;
  }
  table_->WriterUnlock();
}

}  // namespace rudira
