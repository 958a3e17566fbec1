// TDataTable's side of the lock protocol: reader slots, the writer byte and
// ranges, the transaction byte and record bytes (offsets in data_table.h).
#include <unistd.h>

#include <cassert>
#include <random>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "storage/data_table.h"
#include "storage/os_process.h"

namespace rudira {

namespace {

// A reader slot 1..65535 drawn at random. The generator is re-seeded in a
// forked child so that parent and child do not draw the same sequence.
uint16_t DrawSlot() {
  thread_local std::mt19937 generator;
  thread_local pid_t seededFor = 0;
  if (seededFor != ::getpid()) {
    seededFor = ::getpid();
    std::random_device device;
    generator.seed(device() ^ static_cast<uint32_t>(seededFor) ^ OsCurrentThreadId());
  }
  const uint16_t slot = static_cast<uint16_t>(generator() & 0xFFFF);
  return slot == 0 ? 1 : slot;
}

int64_t ReaderSlotOffset(uint16_t slot) { return kReaderSlotBase - slot; }
int64_t RecordLockOffset(int32_t recordNo) { return kRecordLockBase - recordNo; }

}  // namespace

bool TDataTable::Retry(const std::function<bool()>& take) const {
  for (int attempt = 1; attempt <= kTableLockAttempts; ++attempt) {
    if (take()) return true;
    if (attempt < kTableLockAttempts) OsSleep(kTableLockWaitMs);
  }
  return false;
}

uint16_t TDataTable::TakeReaderSlot() {
  const bool withBlob = blobFile_ != nullptr;
  uint16_t taken = 0;
  // Index and BLOB slot are taken as a pair with the same number: when the
  // BLOB slot is busy the index slot is given back and a new number drawn,
  // so that two readers whose numbers collide in one file only never wait
  // for each other.
  Retry([&] {
    const uint16_t slot = DrawSlot();
    if (!indexFile_->LockRegion(1, ReaderSlotOffset(slot))) return false;
    if (withBlob && !blobFile_->LockReaderSlot(slot)) {
      indexFile_->UnlockRegion(1, ReaderSlotOffset(slot));
      return false;
    }
    taken = slot;
    return true;
  });
  return taken;
}

bool TDataTable::ReleaseReaderSlot(uint16_t slot) {
  bool ok = true;
  if (blobFile_) ok = blobFile_->UnlockReaderSlot(slot) && ok;
  ok = indexFile_->UnlockRegion(1, ReaderSlotOffset(slot)) && ok;
  return ok;
}

void TDataTable::CheckForChangesOrRelease(void (TDataTable::*unlock)()) {
  try {
    CheckForChanges();
  } catch (...) {
    try {
      (this->*unlock)();
    } catch (const ERUDIRAEngineError&) {
      // The change check's error is the one to report.
    }
    throw;
  }
}

bool TDataTable::ReaderLock() {
  assert(filesOpen_);
  if (exclusiveOpen_ || readOnlyOnDisk_ || readerLocked_ || writeLocked_ || inTransaction_) return false;
  const uint16_t slot = TakeReaderSlot();
  if (slot == 0) Raise(RUDIRA_LOCKTIMEOUT);
  readerLocked_ = true;
  readerSlot_ = slot;
  CheckForChangesOrRelease(&TDataTable::ReaderUnlock);
  return true;
}

void TDataTable::ReaderUnlock() {
  if (!readerLocked_) return;
  readerLocked_ = false;
  const uint16_t slot = readerSlot_;
  readerSlot_ = 0;
  if (!ReleaseReaderSlot(slot)) Raise(RUDIRA_UNLOCKFAILED);
}

bool TDataTable::ChangeReaderLock() {
  assert(filesOpen_);
  if (exclusiveOpen_ || readOnlyOnDisk_ || changeReaderLocked_ || writeLocked_ || inTransaction_) return false;
  const uint16_t slot = TakeReaderSlot();
  if (slot == 0) Raise(RUDIRA_LOCKTIMEOUT);
  changeReaderLocked_ = true;
  changeReaderSlot_ = slot;
  CheckForChangesOrRelease(&TDataTable::ChangeReaderUnlock);
  return true;
}

void TDataTable::ChangeReaderUnlock() {
  if (!changeReaderLocked_) return;
  changeReaderLocked_ = false;
  const uint16_t slot = changeReaderSlot_;
  changeReaderSlot_ = 0;
  if (!ReleaseReaderSlot(slot)) Raise(RUDIRA_UNLOCKFAILED);
}

void TDataTable::WriterLock() {
  assert(filesOpen_);
  // This table's own reader slot lies inside the writer range and would make
  // the range unobtainable.
  assert(!readerLocked_ && !changeReaderLocked_);
  if (exclusiveOpen_ || readOnlyOnDisk_ || (writeLocked_ && writerRangesHeld_)) return;
  // The data byte is held already while the transaction lock is (and by a
  // record writer lock without its ranges, which only a transaction takes).
  bool dataByte = false;
  if (!transactionLocked_ && !writeLocked_) {
    if (!Retry([this] { return dataFile_->LockRegion(1, kWriterByteOffset); })) Raise(RUDIRA_LOCKTIMEOUT);
    dataByte = true;
  }
  if (!Retry([this] { return indexFile_->LockRegion(kWriterRangeLength, kWriterRangeOffset); })) {
    if (dataByte) dataFile_->UnlockRegion(1, kWriterByteOffset);
    Raise(RUDIRA_LOCKTIMEOUT);
  }
  if (blobFile_ && !Retry([this] { return blobFile_->LockWriterRange(); })) {
    indexFile_->UnlockRegion(kWriterRangeLength, kWriterRangeOffset);
    if (dataByte) dataFile_->UnlockRegion(1, kWriterByteOffset);
    Raise(RUDIRA_LOCKTIMEOUT);
  }
  writeLocked_ = true;
  writerRangesHeld_ = true;
  if (!inTransaction_ && !transactionLocked_) CheckForChangesOrRelease(&TDataTable::WriterUnlock);
}

void TDataTable::RecordWriterLock() {
  assert(filesOpen_);
  assert(!readerLocked_ && !changeReaderLocked_);
  if (!(inTransaction_ && transactionLocked_)) {
    WriterLock();
    return;
  }
  // No change check either: the transaction lock ran it, and no other
  // writer can have written since.
  writeLocked_ = true;
}

void TDataTable::WriterUnlock() {
  if (!writeLocked_) return;
  writeLocked_ = false;
  const bool ranges = writerRangesHeld_;
  writerRangesHeld_ = false;
  bool ok = true;
  if (ranges) {
    if (blobFile_) ok = blobFile_->UnlockWriterRange() && ok;
    ok = indexFile_->UnlockRegion(kWriterRangeLength, kWriterRangeOffset) && ok;
  }
  if (!transactionLocked_) ok = dataFile_->UnlockRegion(1, kWriterByteOffset) && ok;
  if (!ok) Raise(RUDIRA_LOCKTIMEOUT);
}

void TDataTable::TransactionLock() {
  assert(filesOpen_);
  if (transactionLocked_) return;
  if (!exclusiveOpen_) {
    if (!Retry([this] { return dataFile_->LockRegion(1, kWriterByteOffset); })) Raise(RUDIRA_LOCKTIMEOUT);
    transactionLocked_ = true;
  }
  CheckForChangesOrRelease(&TDataTable::TransactionUnlock);
}

void TDataTable::TransactionUnlock() {
  if (!transactionLocked_) return;
  transactionLocked_ = false;
  if (!dataFile_->UnlockRegion(1, kWriterByteOffset)) Raise(RUDIRA_UNLOCKFAILED);
}

bool TDataTable::LockRecord(int32_t recordNo) {
  assert(filesOpen_);
  if (exclusiveOpen_ || readOnlyOnDisk_) return false;
  if (recordNo <= 0) Raise(RUDIRA_RECLOCKFAILED);
  EnsureBitmapSize(recordNo);
  const uint32_t n = static_cast<uint32_t>(recordNo);
  if (inTransaction_ && lockedRecords_.Test(n)) {
    // Still held from earlier in the transaction; its unlock is no longer due.
    deferredUnlocks_.Clear(n);
    return false;
  }
  const bool withChangeLock = !settings_.StrictChangeDetection;
  bool changeLocked = withChangeLock && ChangeReaderLock();
  int attempts = 0;
  while (!dataFile_->LockRegion(1, RecordLockOffset(recordNo))) {
    if (changeLocked) {
      ChangeReaderUnlock();
      changeLocked = false;
    }
    ++attempts;
    if (attempts > settings_.LockRetryCount) Raise(RUDIRA_RECLOCKFAILED);
    OsSleep(settings_.LockWaitTime);
    changeLocked = withChangeLock && ChangeReaderLock();
  }
  lockedRecords_.Set(n);
  return changeLocked;
}

void TDataTable::UnlockRecord(int32_t recordNo) {
  if (!RecordLockedHere(recordNo)) Raise(RUDIRA_UNLOCKFAILED);
  const uint32_t n = static_cast<uint32_t>(recordNo);
  if (inTransaction_) {
    deferredUnlocks_.Set(n);
    return;
  }
  if (!dataFile_->UnlockRegion(1, RecordLockOffset(recordNo))) Raise(RUDIRA_UNLOCKFAILED);
  lockedRecords_.Clear(n);
  deferredUnlocks_.Clear(n);
}

// Record bytes lie below kRecordLockBase in reverse record order, and the
// operating system keeps a process's locks of a file as a list ordered by
// offset, searched from its start at every unlock. Releasing the highest
// record number first releases the lowest byte first, so each unlock finds
// its lock at the head of the list instead of walking past all the others a
// long transaction holds (quadratic in the locks held).
void TDataTable::PerformDeferredUnlocks() {
  bool ok = true;
  for (uint32_t n = deferredUnlocks_.PriorSet(deferredUnlocks_.Size()); n != 0;
       n = n > 1 ? deferredUnlocks_.PriorSet(n - 1) : 0) {
    if (lockedRecords_.Test(n)) {
      ok = dataFile_->UnlockRegion(1, RecordLockOffset(static_cast<int32_t>(n))) && ok;
      lockedRecords_.Clear(n);
    }
  }
  deferredUnlocks_.ClearAll();
  if (!ok) Raise(RUDIRA_UNLOCKFAILED);
}

void TDataTable::UnlockAllRecords() {
  if (!dataFile_) return;
  bool ok = true;
  // Highest record first, as in PerformDeferredUnlocks.
  for (uint32_t n = lockedRecords_.PriorSet(lockedRecords_.Size()); n != 0;
       n = n > 1 ? lockedRecords_.PriorSet(n - 1) : 0) {
    ok = dataFile_->UnlockRegion(1, RecordLockOffset(static_cast<int32_t>(n))) && ok;
  }
  lockedRecords_.ClearAll();
  deferredUnlocks_.ClearAll();
  if (!ok) Raise(RUDIRA_UNLOCKFAILED);
}

}  // namespace rudira
