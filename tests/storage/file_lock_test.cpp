// Byte-range locks through TFileHandler, on disk and in memory, inside one
// process and across processes.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "storage/file_handler.h"
#include "storage/support/file_test_support.h"

namespace rudira {
namespace {

using filetest::TChildProcess;

// Opens a shared handler on a fresh file of either kind.
class FileLockTest : public filetest::TFileTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    filetest::TFileTest::SetUp();
    name_ = GetParam() ? MemoryName("lock.DAT") : PathOf("lock.DAT");
    TFileHandler creator(name_, GetParam());
    creator.CreateNew();
    creator.WriteBuffer("data", 4);
    creator.Close();
    a_.SetFileName(name_);
    a_.SetInMemory(GetParam());
    b_.SetFileName(name_);
    b_.SetInMemory(GetParam());
    a_.Open();
    b_.Open();
  }
  void TearDown() override {
    a_.Close();
    b_.Close();
    if (GetParam()) GlobalFileList().Remove(name_, true);
    filetest::TFileTest::TearDown();
  }

  std::string name_;
  TFileHandler a_;
  TFileHandler b_;
};

struct OverlapCase {
  int64_t first, firstLength;
  int64_t second, secondLength;
  bool secondGranted;
};

TEST_P(FileLockTest, OverlappingRangesAreRefusedEvenThroughTheSameHandle) {
  const OverlapCase cases[] = {
      {100, 10, 105, 10, false},  // [100,109] then [105,114]
      {105, 10, 100, 10, false},  // the other way round
      {100, 10, 102, 2, false},   // inside
      {100, 1, 100, 1, false},    // the same byte again
      {100, 10, 110, 5, true},    // adjacent
      {100, 10, 90, 10, true},    // adjacent below
      {4294967294, 1, 4294967295, 1, true},
  };
  for (const OverlapCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << "+" << c.firstLength << " then " << c.second
                                    << "+" << c.secondLength);
    ASSERT_TRUE(a_.LockRegion(c.firstLength, c.first));
    EXPECT_EQ(a_.LockRegion(c.secondLength, c.second), c.secondGranted);
    EXPECT_EQ(b_.LockRegion(c.secondLength, c.second), false);  // held either way now
    if (c.secondGranted) {
      EXPECT_TRUE(a_.UnlockRegion(c.secondLength, c.second));
    }
    EXPECT_TRUE(a_.UnlockRegion(c.firstLength, c.first));
  }
}

TEST_P(FileLockTest, UnlockWithAnotherLengthIsRefusedAndKeepsTheLock) {
  ASSERT_TRUE(a_.LockRegion(10, 100));
  EXPECT_FALSE(a_.UnlockRegion(9, 100));
  EXPECT_FALSE(a_.UnlockRegion(10, 101));
  EXPECT_FALSE(b_.LockRegion(1, 109));  // still locked
  EXPECT_TRUE(a_.UnlockRegion(10, 100));
  EXPECT_FALSE(a_.UnlockRegion(10, 100));  // nothing left to unlock
  EXPECT_TRUE(b_.LockRegion(1, 109));
  EXPECT_TRUE(b_.UnlockRegion(1, 109));
}

TEST_P(FileLockTest, LocksDoNotBlockReadsOrWrites) {
  ASSERT_TRUE(a_.LockRegion(4, 0));
  char bytes[4] = {};
  TFileAccess access(b_);
  b_.Seek(kSeekFromBeginning, 0);
  EXPECT_EQ(b_.ReadBuffer(bytes, 4, false), 4);
  b_.Seek(kSeekFromBeginning, 0);
  b_.WriteBuffer("DATA", 4);
  EXPECT_TRUE(a_.UnlockRegion(4, 0));
}

TEST_P(FileLockTest, EmptyOrNegativeRangesAreRefused) {
  EXPECT_FALSE(a_.LockRegion(0, 100));
  EXPECT_FALSE(a_.LockRegion(-1, 100));
  EXPECT_FALSE(a_.LockRegion(1, -1));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FileLockTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Memory" : "Disk"; });

class FileLockProcessTest : public filetest::TFileTest {};

TEST_F(FileLockProcessTest, RangeLockedByAnotherProcessIsRefusedUntilReleased) {
  std::string path = PathOf("xlock.DAT");
  filetest::WriteFileBytes(path, {1, 2, 3});
  TChildProcess child;
  ASSERT_EQ(child.Start([&] {
    auto* holder = new TFileHandler(path, false);
    holder->Open();
    return holder->LockRegion(1, 4294967295) ? 0 : 1;
  }), 0);
  TFileHandler mine(path, false);
  mine.Open();
  EXPECT_FALSE(mine.LockRegion(1, 4294967295));
  EXPECT_FALSE(mine.LockRegion(65536, 4294901760));  // a range covering it
  EXPECT_TRUE(mine.LockRegion(1, 4294967294));       // the next byte is free
  EXPECT_EQ(child.Finish(), 0);
  EXPECT_TRUE(mine.LockRegion(1, 4294967295));
}

// A process that may only read the file still locks against writers.
TEST_F(FileLockProcessTest, ReadOnlyFileTakesLocksThatOthersSee) {
  std::string path = PathOf("rolock.DAT");
  filetest::WriteFileBytes(path, {1});
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  TChildProcess child;
  ASSERT_EQ(child.Start([&] {
    auto* holder = new TFileHandler(path, false);
    holder->Open();
    if (!holder->ReadOnly()) return 2;
    return holder->LockRegion(1, 5000) ? 0 : 1;
  }), 0);
  TFileHandler mine(path, false);
  mine.Open();
  EXPECT_FALSE(mine.LockRegion(1, 5000));
  EXPECT_TRUE(mine.LockRegion(1, 5001));
  EXPECT_EQ(child.Finish(), 0);
}

}  // namespace
}  // namespace rudira
