// TDataTable: one open table as shared by every cursor of a session, with its
// data, index and BLOB files, its users and its side of the lock protocol.
//
// File names: the directory path followed by the table name, whose
// extension is replaced by (or, without one or with another one, followed
// by) ".DAT", ".IDX" or ".BLB"; backups use ".DBK", ".IBK" and ".BBK". A name
// that contains a path, and every name of the in-memory directory, is used
// without the directory path.
//
// Lock bytes (all one byte long unless stated; they lie beyond any data, so
// they never block reads or writes):
//
//   file   offset                      length  meaning
//   data   4294967295                  1       writer / transaction byte
//   data   4294967294 − n              1       record n locked (n ≥ 1)
//   index  4294967295 − s              1       reader slot s (1..65535)
//   index  4294901759                  65536   writer range: every reader slot
//   BLOB   4294967295 − s              1       reader slot s (same s as index)
//   BLOB   4294901759                  65536   writer range
//
// A writer therefore waits until no reader holds a slot; readers coexist; a
// transaction holds the data byte from start to end and so excludes other
// writers but not readers. A table opened exclusively takes no locks. Every
// wait is bounded: 32767 attempts 3 ms apart for reader, writer and
// transaction locks, the session's LockRetryCount attempts LockWaitTime
// apart for records.
//
// Change detection: every header write increments the file's change
// counter; CheckForChanges re-reads the headers and drops the caches whose
// counters moved.
//
// Concurrency: a table object is used by one session (one thread) at a time;
// sessions and processes coordinate only through the locks above.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/records_bitmap.h"
#include "storage/blob_file.h"
#include "storage/data_file.h"
#include "storage/index_file.h"

namespace rudira {

class TDataDirectory;

// The session settings a table works with. The engine session owns one and
// the directory hands it to its tables; it must outlive them.
struct TableSettings {
  uint8_t LockRetryCount = 15;           // record-lock retries before 10258
  uint16_t LockWaitTime = 100;           // milliseconds between record-lock retries
  bool StrictChangeDetection = false;    // readers hold a reader lock per operation
  bool ForceBufferFlush = false;         // flush after every write
  DataBufferLimits DataBuffers;          // record cache limits
  int32_t IndexBufferBytes = kDefaultIndexBufferBytes;  // page cache size
  BlobBufferLimits BlobBuffers;          // block cache limits
  std::string PrivateDirectory;          // temporary index files go here
};

// The index definitions a new table is created with.
struct TableIndexDefinitions {
  TIndexDefinition Primary;                   // 0 fields: no primary key
  std::vector<TIndexDefinition> Secondaries;  // slots 1.. in order
  std::optional<TIndexDefinition> TextIndex;  // slot 32
};

// Lock offsets.
constexpr int64_t kWriterByteOffset = 4294967295LL;        // data file
constexpr int64_t kRecordLockBase = 4294967294LL;          // data file, minus n
constexpr int64_t kReaderSlotBase = 4294967295LL;          // index/BLOB, minus s
constexpr int64_t kWriterRangeOffset = 4294901759LL;       // index/BLOB
constexpr int64_t kWriterRangeLength = 65536;
constexpr int kTableLockAttempts = 32767;                   // reader/writer/transaction
constexpr int kTableLockWaitMs = 3;

class TDataTable {
 public:
  // A closed table object for `tableName` in `directoryPath` (with trailing
  // separator, or empty). REQUIRES: settings outlives the table.
  TDataTable(TDataDirectory* directory, const TableSettings& settings, std::string directoryPath,
             std::string tableName, bool inMemory, bool temporary, bool exclusive);
  ~TDataTable();
  TDataTable(const TDataTable&) = delete;
  TDataTable& operator=(const TDataTable&) = delete;

  // --- names ---
  // The table name with `extension` (".DAT" etc.), under the directory path
  // unless the name holds a path or the table is in memory.
  std::string FileNameWith(const std::string& extension) const;
  static std::string ReplaceExtension(const std::string& name, const std::string& extension);

  // --- life cycle ---
  // Counts a user; the first opens the files: the data file (header and
  // descriptors checked), the index file (a missing one is created empty and
  // IndexesMissing set), the BLOB file when the table has BLOB fields. Any
  // failure closes what was opened and propagates.
  void Open();
  // Uncounts a user; the last one outside a transaction closes the files.
  void Close();
  // Creates the three files (the BLOB file only with BLOB fields); the files
  // are closed again afterwards. 10015 for an encrypted table whose password
  // is not 1..15 characters after trimming.
  void Create(const DataFileDefinition& definition, const TableIndexDefinitions& indexes);
  // Deletes ".DAT", ".IDX" and, if present, ".BLB". REQUIRES: files closed.
  void Delete();
  // Renames every existing file to newName (or, with asBackup, to the
  // backup names of this table, replacing existing backups).
  // REQUIRES: files closed.
  void Rename(const std::string& newName, bool asBackup);
  // Truncates the three files to their headers and drops every cache.
  // REQUIRES: files open, held exclusively.
  void Empty();
  // Copies the index file to the ".IBK" name. REQUIRES: files open.
  void BackupIndexFile();
  // Copies the ".IBK" file back over the index file unless onlyDelete, then
  // deletes the backup. REQUIRES: files open.
  void RestoreIndexFile(bool onlyDelete);
  // Validates the three headers (the index file only when it was not just
  // recreated). REQUIRES: files open.
  void Verify();

  // --- locks (storage/table_locks.cpp) ---
  // Takes the reader lock unless exclusive, read-only on disk, already
  // reader- or writer-locked, or in a transaction; then checks for changes.
  // Returns whether it was taken. 10249 after the retries. Every lock below
  // is released again when its change check raises.
  bool ReaderLock();
  // 10242 when an unlock fails.
  void ReaderUnlock();
  // The second, independent reader lock used around record locking.
  bool ChangeReaderLock();
  void ChangeReaderUnlock();
  // Takes the data byte (unless the transaction lock holds it), then the
  // index and BLOB writer ranges. A commit takes it while still in the
  // transaction, then leaves the transaction and writes.
  // REQUIRES: this table holds no reader lock (its own slot would block the
  // writer range). 10249 after the retries.
  void WriterLock();
  // The writer lock of one append, modify or delete. Inside a transaction
  // whose byte this table holds, the write stays in the caches until the
  // commit (which takes the whole writer lock): the byte already excludes
  // every other writer and the files do not change, so the index and BLOB
  // ranges, which keep readers off changing files, are not taken. Otherwise
  // WriterLock. Released by WriterUnlock.
  void RecordWriterLock();
  void WriterUnlock();
  void TransactionLock();
  void TransactionUnlock();
  // Locks record n (≥ 1); returns whether a change-reader lock was taken,
  // which the caller releases after its read. 10258 for n = 0 or when the
  // record stays locked elsewhere after LockRetryCount retries.
  bool LockRecord(int32_t recordNo);
  // 10242 for n = 0, a record this table did not lock, or a failed unlock.
  // In a transaction the unlock is deferred to its end.
  void UnlockRecord(int32_t recordNo);
  void UnlockAllRecords();
  // Performs the unlocks deferred during a transaction.
  void PerformDeferredUnlocks();
  bool RecordLockedHere(int32_t recordNo) const;
  // Whether record n's unlock waits for the end of the transaction (the
  // record then stays locked but no cursor of the session holds it).
  bool RecordUnlockDeferred(int32_t recordNo) const {
    return recordNo > 0 && static_cast<uint32_t>(recordNo) <= deferredUnlocks_.Size() &&
           deferredUnlocks_.Test(static_cast<uint32_t>(recordNo));
  }

  // --- changes (storage/data_table_changes.cpp) ---
  // Re-reads the headers; drops the caches of every file whose change
  // counter moved. Returns whether anything changed.
  bool CheckForChanges();
  // Writes every modified record, page, block and header (flushing when
  // forced or ForceBufferFlush); inside a transaction only counts the
  // header writes in memory.
  void WriteChanges(bool shrinkCaches, bool forceFlush);
  // Drops every cache; with rereadHeaders the headers are read again.
  void DropCaches(bool shrink, bool rereadHeaders);
  // Enters or leaves the directory's transaction: caches then keep
  // modified entries instead of writing them.
  void SetInTransaction(bool value);

  // --- state ---
  TDataDirectory* Directory() const { return directory_; }
  const TableSettings& Settings() const { return settings_; }
  int UseCount() const { return useCount_; }
  const std::string& TableName() const { return tableName_; }
  bool FilesOpen() const { return filesOpen_; }
  bool ExclusiveOpen() const { return exclusiveOpen_; }
  // REQUIRES: files closed.
  void SetExclusiveOpen(bool value) { exclusiveOpen_ = value; }
  bool TableReadOnly() const { return tableReadOnly_; }
  bool ReadOnlyOnDisk() const { return readOnlyOnDisk_; }
  bool InMemory() const { return inMemory_; }
  bool TemporaryTable() const { return temporaryTable_; }
  bool IndexesMissing() const { return indexesMissing_; }
  bool ReaderLocked() const { return readerLocked_; }
  uint16_t ReaderSlot() const { return readerSlot_; }
  bool ChangeReaderLocked() const { return changeReaderLocked_; }
  uint16_t ChangeReaderSlot() const { return changeReaderSlot_; }
  bool WriteLocked() const { return writeLocked_; }
  bool TransactionLocked() const { return transactionLocked_; }
  bool InTransaction() const { return inTransaction_; }
  bool TableChanged() const { return tableChanged_; }
  bool HasBlobFields() const;

  TDataFile& DataFile() { return *dataFile_; }
  TIndexFile& IndexFile() { return *indexFile_; }
  // REQUIRES: HasBlobFields().
  TBlobFile& BlobFile() { return *blobFile_; }

 private:
  [[noreturn]] void Raise(uint16_t code) const;
  void OpenFiles();
  void CloseFiles();
  void ConfigureHandlers();
  // Tries `take` up to kTableLockAttempts times, kTableLockWaitMs apart.
  bool Retry(const std::function<bool()>& take) const;
  // Takes a reader slot in the index (and BLOB) file; 0 when none could be.
  uint16_t TakeReaderSlot();
  bool ReleaseReaderSlot(uint16_t slot);
  // CheckForChanges right after a lock was taken; when it raises (another
  // process left a damaged header) `unlock` gives the lock back before the
  // error goes on, since the caller never learns that it holds the lock.
  void CheckForChangesOrRelease(void (TDataTable::*unlock)());
  void EnsureBitmapSize(int32_t recordNo);

  TDataDirectory* directory_;            // owning directory (may be null for a transient table)
  const TableSettings& settings_;        // the session's settings
  std::string directoryPath_;            // with trailing separator, or empty
  std::string tableName_;                // as given
  int useCount_ = 0;                     // cursors that have the table open
  bool filesOpen_ = false;               // the files are open
  bool exclusiveOpen_ = false;           // opened without sharing
  bool tableReadOnly_ = false;           // a file could only be opened for reading
  bool readOnlyOnDisk_ = false;          // a file carries the read-only attribute
  bool inMemory_ = false;                // belongs to the in-memory directory
  bool temporaryTable_ = false;          // files deleted on close
  bool indexesMissing_ = false;          // index file recreated empty at open
  TRecordsBitmap lockedRecords_;         // records locked by this table object
  TRecordsBitmap tableLockedRecords_;    // records locked by the table lock (placeholder:
                                         // filled by the cursor layer's table lock)
  TRecordsBitmap deferredUnlocks_;       // unlocks deferred to the end of the transaction
  bool readerLocked_ = false;            // first reader lock held
  uint16_t readerSlot_ = 0;              // its slot
  bool changeReaderLocked_ = false;      // second reader lock held
  uint16_t changeReaderSlot_ = 0;        // its slot
  bool writeLocked_ = false;             // writer lock held
  bool writerRangesHeld_ = false;        // with it the index and BLOB writer ranges
  bool transactionLocked_ = false;       // transaction byte held
  bool inTransaction_ = false;           // takes part in the directory's transaction
  bool tableChanged_ = false;            // wrote to its files since opened
  std::unique_ptr<TDataFile> dataFile_;
  std::unique_ptr<TIndexFile> indexFile_;
  std::unique_ptr<TBlobFile> blobFile_;  // present once the files are open with BLOB fields
};

}  // namespace rudira
