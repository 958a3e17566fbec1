// The lock protocol across processes and between table objects of one
// process: reader slots, the writer byte and ranges, record bytes, the
// transaction byte and deferred record unlocks.
#include <gtest/gtest.h>

#include "engine/error_codes.h"
#include "storage/support/table_test_support.h"

namespace rudira::tabletest {
namespace {

class TableLockTest : public TTableTest {
 protected:
  void SetUp() override {
    TTableTest::SetUp();
    CreateTable("t");
  }
  std::string Path(const char* extension) const { return dir_ + "t" + extension; }
};

TEST_F(TableLockTest, LocksSitAtTheirBytes) {
  // The child takes each lock in turn and reports; the parent looks at the
  // files' lock bytes with a descriptor of its own.
  TTableChild child;
  child.Start([this](TTableChild::Channel& channel) {
    auto table = Table("t");
    table->Open();
    table->ReaderLock();
    channel.Report(table->ReaderSlot());
    channel.WaitGo();
    table->ReaderUnlock();
    table->WriterLock();
    channel.Report(0);
    channel.WaitGo();
    table->WriterUnlock();
    // The caller gives the change-reader lock back after its read.
    if (table->LockRecord(5)) table->ChangeReaderUnlock();
    channel.Report(0);
    channel.WaitGo();
    table->UnlockRecord(5);
    table->TransactionLock();
    channel.Report(0);
    channel.WaitGo();
    table->TransactionUnlock();
    channel.Report(0);
    channel.WaitGo();
    return 0;
  });
  const int32_t slot = child.Receive();
  ASSERT_GE(slot, 1);
  ASSERT_LE(slot, 65535);
  EXPECT_TRUE(RangeLockedOnDisk(Path(".IDX"), 4294967295LL - slot, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".IDX"), 4294967295LL - slot - 1, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".IDX"), 4294967295LL - slot + 1, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".DAT"), 4294967295LL, 1));

  child.Go();
  ASSERT_EQ(child.Receive(), 0);  // writer lock
  EXPECT_TRUE(RangeLockedOnDisk(Path(".DAT"), 4294967295LL, 1));
  EXPECT_TRUE(RangeLockedOnDisk(Path(".IDX"), 4294901759LL, 1));
  EXPECT_TRUE(RangeLockedOnDisk(Path(".IDX"), 4294967294LL, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".IDX"), 4294901758LL, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".IDX"), 4294967295LL, 1));

  child.Go();
  ASSERT_EQ(child.Receive(), 0);  // record 5
  EXPECT_TRUE(RangeLockedOnDisk(Path(".DAT"), 4294967294LL - 5, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".DAT"), 4294967294LL - 4, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".DAT"), 4294967294LL - 6, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".DAT"), 4294967295LL, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".IDX"), 4294901759LL, 65536));

  child.Go();
  ASSERT_EQ(child.Receive(), 0);  // transaction byte
  EXPECT_TRUE(RangeLockedOnDisk(Path(".DAT"), 4294967295LL, 1));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".IDX"), 4294901759LL, 65536));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".DAT"), 4294967294LL - 5, 1));

  child.Go();
  ASSERT_EQ(child.Receive(), 0);  // all released
  EXPECT_FALSE(RangeLockedOnDisk(Path(".DAT"), 4294967294LL - 200000000LL, 200000002LL));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".IDX"), 4294901759LL, 65537));
  EXPECT_EQ(child.Finish(), 0);
}

TEST_F(TableLockTest, BlobFileSlotMatchesTheIndexSlot) {
  CreateTable("b", /*withBlob=*/true);
  TTableChild child;
  child.Start([this](TTableChild::Channel& channel) {
    auto table = Table("b");
    table->Open();
    table->ReaderLock();
    channel.Report(table->ReaderSlot());
    channel.WaitGo();
    table->ReaderUnlock();
    table->WriterLock();
    channel.Report(0);
    channel.WaitGo();
    return 0;
  });
  const int32_t slot = child.Receive();
  ASSERT_GE(slot, 1);
  EXPECT_TRUE(RangeLockedOnDisk(dir_ + "b.BLB", 4294967295LL - slot, 1));
  EXPECT_TRUE(RangeLockedOnDisk(dir_ + "b.IDX", 4294967295LL - slot, 1));
  child.Go();
  ASSERT_EQ(child.Receive(), 0);
  EXPECT_TRUE(RangeLockedOnDisk(dir_ + "b.BLB", 4294901759LL, 1));
  EXPECT_TRUE(RangeLockedOnDisk(dir_ + "b.BLB", 4294967294LL, 1));
  EXPECT_FALSE(RangeLockedOnDisk(dir_ + "b.BLB", 4294901758LL, 1));
  EXPECT_EQ(child.Finish(), 0);
}

// Two readers hold their slots; a writer in a third process waits for both,
// and after its write both readers see the new record at their next lock.
TEST_F(TableLockTest, WriterWaitsForBothReadersWhoThenSeeTheChange) {
  auto reader = [this](TTableChild::Channel& channel) {
    auto table = Table("t");
    table->Open();
    table->ReaderLock();
    channel.Report(table->DataFile().RecordSlotCount());
    channel.WaitGo();
    table->ReaderUnlock();
    channel.Report(0);
    channel.WaitGo();  // the writer has finished
    table->ReaderLock();
    const bool changedAgain = table->CheckForChanges();
    const int32_t count = table->DataFile().RecordSlotCount();
    const int32_t value = count == 1 ? ValueOf(*table, 1) : -1;
    table->ReaderUnlock();
    channel.Report(changedAgain ? -2 : value);
    channel.WaitGo();
    return 0;
  };
  TTableChild first;
  TTableChild second;
  TTableChild writer;
  first.Start(reader);
  second.Start(reader);
  EXPECT_EQ(first.Receive(), 0);
  EXPECT_EQ(second.Receive(), 0);
  writer.Start([this](TTableChild::Channel& channel) {
    auto table = Table("t");
    table->Open();
    InsertUnderLock(*table, 42);
    channel.Report(1);
    channel.WaitGo();
    return 0;
  });
  first.Go();
  EXPECT_EQ(first.Receive(), 0);
  // The second reader still holds its slot, so the writer cannot have its
  // lock (the check can miss a fault, never invent one).
  EXPECT_FALSE(writer.ReportReady());
  second.Go();
  EXPECT_EQ(second.Receive(), 0);
  EXPECT_EQ(writer.Receive(), 1);
  first.Go();
  second.Go();
  EXPECT_EQ(first.Receive(), 42);
  EXPECT_EQ(second.Receive(), 42);
  EXPECT_EQ(writer.Finish(), 0);
  EXPECT_EQ(first.Finish(), 0);
  EXPECT_EQ(second.Finish(), 0);
}

TEST_F(TableLockTest, RecordLockedElsewhereFailsAfterTheRetriesWhileAnotherLocks) {
  settings_.LockRetryCount = 3;
  settings_.LockWaitTime = 5;
  TTableChild holder;
  holder.Start([this](TTableChild::Channel& channel) {
    auto table = Table("t");
    table->Open();
    const bool changeLock = table->LockRecord(7);
    table->ChangeReaderUnlock();
    channel.Report(changeLock ? 1 : 0);
    channel.WaitGo();
    table->UnlockRecord(7);
    channel.Report(0);
    channel.WaitGo();
    return 0;
  });
  EXPECT_EQ(holder.Receive(), 1);  // default: a change-reader lock came with it
  auto table = Table("t");
  table->Open();
  EXPECT_EQ(CodeOf([&] { table->LockRecord(7); }), RUDIRA_RECLOCKFAILED);
  EXPECT_FALSE(table->RecordLockedHere(7));
  EXPECT_FALSE(table->ChangeReaderLocked());
  EXPECT_EQ(CodeOf([&] { table->LockRecord(8); }), 0);
  table->ChangeReaderUnlock();
  EXPECT_TRUE(table->RecordLockedHere(8));
  holder.Go();
  EXPECT_EQ(holder.Receive(), 0);
  EXPECT_EQ(CodeOf([&] { table->LockRecord(7); }), 0);
  table->ChangeReaderUnlock();
  table->UnlockAllRecords();
  table->Close();
  EXPECT_EQ(holder.Finish(), 0);
}

TEST_F(TableLockTest, RecordLockedByAnotherTableObjectOfTheProcessIsInUse) {
  settings_.LockRetryCount = 0;
  settings_.LockWaitTime = 1;
  settings_.StrictChangeDetection = true;
  auto mine = Table("t");
  auto theirs = Table("t");
  mine->Open();
  theirs->Open();
  EXPECT_FALSE(mine->LockRecord(3));  // strict: no change-reader lock
  EXPECT_EQ(CodeOf([&] { theirs->LockRecord(3); }), RUDIRA_RECLOCKFAILED);
  mine->UnlockRecord(3);
  EXPECT_EQ(CodeOf([&] { theirs->LockRecord(3); }), 0);
  theirs->UnlockRecord(3);
}

TEST_F(TableLockTest, BadRecordNumbersAndForeignUnlocksAreRefused) {
  auto table = Table("t");
  table->Open();
  EXPECT_EQ(CodeOf([&] { table->LockRecord(0); }), RUDIRA_RECLOCKFAILED);
  EXPECT_EQ(CodeOf([&] { table->UnlockRecord(0); }), RUDIRA_UNLOCKFAILED);
  EXPECT_EQ(CodeOf([&] { table->UnlockRecord(4); }), RUDIRA_UNLOCKFAILED);
  table->LockRecord(4);
  table->ChangeReaderUnlock();
  EXPECT_EQ(CodeOf([&] { table->UnlockRecord(4); }), 0);
  EXPECT_EQ(CodeOf([&] { table->UnlockRecord(4); }), RUDIRA_UNLOCKFAILED);
}

TEST_F(TableLockTest, InsideATransactionAnUnlockedRecordStaysLockedUntilTheEnd) {
  settings_.LockRetryCount = 0;
  settings_.LockWaitTime = 1;
  auto editor = Table("t");
  auto other = Table("t");
  editor->Open();
  other->Open();
  editor->TransactionLock();
  editor->SetInTransaction(true);
  EXPECT_FALSE(editor->LockRecord(2));  // no reader locks inside a transaction
  editor->UnlockRecord(2);
  EXPECT_TRUE(editor->RecordLockedHere(2));
  EXPECT_EQ(CodeOf([&] { other->LockRecord(2); }), RUDIRA_RECLOCKFAILED);
  // Locking it again inside the transaction keeps it, and cancels the
  // pending unlock.
  EXPECT_EQ(CodeOf([&] { editor->LockRecord(2); }), 0);
  editor->UnlockRecord(2);
  editor->SetInTransaction(false);
  editor->PerformDeferredUnlocks();
  editor->TransactionUnlock();
  EXPECT_FALSE(editor->RecordLockedHere(2));
  EXPECT_EQ(CodeOf([&] { other->LockRecord(2); }), 0);
  other->ChangeReaderUnlock();
  other->UnlockRecord(2);
}

TEST_F(TableLockTest, EndOfTransactionReleasesEveryDeferredUnlockAndKeepsTheHeldLocks) {
  auto table = Table("t");
  table->Open();
  table->TransactionLock();
  table->SetInTransaction(true);
  const int32_t deferred[] = {1, 2, 41, 1000, 999, 63, 64};
  const int32_t held = 40;
  for (int32_t n : deferred) table->LockRecord(n);
  table->LockRecord(held);
  for (int32_t n : deferred) table->UnlockRecord(n);
  auto lockedOnDisk = [this](int32_t n) { return RangeLockedOnDisk(Path(".DAT"), 4294967294LL - n, 1); };
  for (int32_t n : deferred) EXPECT_TRUE(lockedOnDisk(n)) << n;
  table->SetInTransaction(false);
  table->PerformDeferredUnlocks();
  table->TransactionUnlock();
  for (int32_t n : deferred) {
    EXPECT_FALSE(lockedOnDisk(n)) << n;
    EXPECT_FALSE(table->RecordLockedHere(n)) << n;
  }
  EXPECT_TRUE(lockedOnDisk(held));
  EXPECT_TRUE(table->RecordLockedHere(held));
  table->UnlockRecord(held);
  EXPECT_FALSE(lockedOnDisk(held));
}

TEST_F(TableLockTest, ExclusiveTableTakesNoLocks) {
  TTableChild child;
  child.Start([this](TTableChild::Channel& channel) {
    auto table = Table("t", /*exclusive=*/true);
    table->Open();
    const bool reader = table->ReaderLock();
    table->WriterLock();
    const bool record = table->LockRecord(1);
    table->TransactionLock();
    channel.Report((reader ? 1 : 0) + (record ? 2 : 0) + (table->WriteLocked() ? 4 : 0) +
                   (table->TransactionLocked() ? 8 : 0));
    channel.WaitGo();
    return 0;
  });
  EXPECT_EQ(child.Receive(), 0);
  EXPECT_FALSE(RangeLockedOnDisk(Path(".DAT"), 4294967294LL - 200000000LL, 200000002LL));
  EXPECT_FALSE(RangeLockedOnDisk(Path(".IDX"), 4294901759LL, 65537));
  EXPECT_EQ(child.Finish(), 0);
}

}  // namespace
}  // namespace rudira::tabletest
