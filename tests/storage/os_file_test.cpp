// The Linux platform layer below the file list: share-mode locks, the
// process-wide registry of locked ranges, renames, deletes and attributes.
#include "storage/os_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "storage/file_handler.h"
#include "storage/os_lock_registry.h"
#include "storage/support/file_test_support.h"

namespace rudira {
namespace {

using filetest::CodeOf;

class OsFileTest : public filetest::TFileTest {
 protected:
  std::string MakeFile(const std::string& name, const std::vector<uint8_t>& bytes = {1, 2, 3}) {
    std::string path = PathOf(name);
    filetest::WriteFileBytes(path, bytes);
    return path;
  }
  static TLockRegistry::FileKey KeyOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return {info.st_dev, info.st_ino};
  }
};

struct ShareCase {
  TOsShare first;
  TOsShare second;
  bool secondOpens;
};

// Two opens in one process conflict like two processes: the locks belong to
// the open file description, not to the process.
TEST_F(OsFileTest, ShareModesConflictBetweenDescriptorsOfOneProcess) {
  const ShareCase cases[] = {
      {TOsShare::kShared, TOsShare::kShared, true},
      {TOsShare::kShared, TOsShare::kExclusive, false},
      {TOsShare::kExclusive, TOsShare::kShared, false},
      {TOsShare::kExclusive, TOsShare::kExclusive, false},
  };
  std::string path = MakeFile("share.DAT");
  for (TOsAccess access : {TOsAccess::kReadWrite, TOsAccess::kRead}) {
    for (const ShareCase& c : cases) {
      SCOPED_TRACE(testing::Message() << int(access) << " " << int(c.first) << int(c.second));
      TOsFile first;
      ASSERT_TRUE(first.OpenExisting(path, access, c.first, false));
      TOsFile second;
      errno = 0;
      EXPECT_EQ(second.OpenExisting(path, access, c.second, false), c.secondOpens);
      if (!c.secondOpens) {
        EXPECT_EQ(errno, EACCES);
        EXPECT_FALSE(second.IsOpen());
      }
    }
  }
}

// The file list knows files by name; two names of one file still conflict
// through the share-mode byte, and their locks through the registry.
TEST_F(OsFileTest, HardLinkedNamesShareModesAndLocks) {
  std::string path = MakeFile("one.DAT");
  std::string alias = PathOf("alias.DAT");
  ASSERT_EQ(::link(path.c_str(), alias.c_str()), 0);
  TFileHandler a(path, false);
  a.Open();
  TFileHandler exclusive(alias, false);
  exclusive.SetExclusive(true);
  EXPECT_EQ(CodeOf([&] { exclusive.Open(); }), RUDIRA_OSEACCES);
  TFileHandler b(alias, false);
  b.Open();
  ASSERT_NE(a.FileObject(), b.FileObject());
  ASSERT_TRUE(a.LockRegion(10, 1000));
  EXPECT_FALSE(b.LockRegion(1, 1005));
  EXPECT_FALSE(b.UnlockRegion(10, 1000));  // not b's lock
  EXPECT_TRUE(a.UnlockRegion(10, 1000));
  EXPECT_TRUE(b.LockRegion(1, 1005));
}

TEST_F(OsFileTest, RegistryRecordsRangesUntilUnlockOrClose) {
  std::string path = MakeFile("reg.DAT");
  TLockRegistry::FileKey key = KeyOf(path);
  TOsFile file;
  ASSERT_TRUE(file.OpenExisting(path, TOsAccess::kReadWrite, TOsShare::kShared, false));
  ASSERT_TRUE(file.LockRange(4294967295, 1));
  ASSERT_TRUE(file.LockRange(100, 10));
  ASSERT_EQ(TLockRegistry::Instance().Held(key).size(), 2u);
  errno = 0;
  EXPECT_FALSE(file.LockRange(105, 10));
  EXPECT_EQ(errno, EAGAIN);
  errno = 0;
  EXPECT_FALSE(file.UnlockRange(100, 9));
  EXPECT_EQ(errno, ENOLCK);
  EXPECT_TRUE(file.UnlockRange(100, 10));
  ASSERT_EQ(TLockRegistry::Instance().Held(key).size(), 1u);
  EXPECT_EQ(TLockRegistry::Instance().Held(key)[0].Start, 4294967295);
  file.Close();
  EXPECT_TRUE(TLockRegistry::Instance().Held(key).empty());
}

TEST_F(OsFileTest, RangesThatCannotBeLockedAreRefused) {
  std::string path = MakeFile("bad.DAT");
  TOsFile file;
  ASSERT_TRUE(file.OpenExisting(path, TOsAccess::kReadWrite, TOsShare::kShared, false));
  struct Range {
    int64_t offset, length;
  };
  for (Range r : {Range{0, 0}, Range{-1, 1}, Range{kShareLockOffset, 1},
                  Range{kShareLockOffset - 5, 10}, Range{INT64_MAX, 2}}) {
    SCOPED_TRACE(r.offset);
    errno = 0;
    EXPECT_FALSE(file.LockRange(r.offset, r.length));
    EXPECT_EQ(errno, EINVAL);
  }
  EXPECT_TRUE(file.LockRange(kShareLockOffset + 1, 1));  // beyond it is fine
}

TEST_F(OsFileTest, AttributesComeFromTheModeBits) {
  std::string path = MakeFile("attr.DAT", std::vector<uint8_t>(10));
  OsFileAttributes attributes;
  ASSERT_TRUE(OsGetAttributes(path, attributes));
  EXPECT_FALSE(attributes.ReadOnly);
  EXPECT_FALSE(attributes.Directory);
  EXPECT_EQ(attributes.Size, 10);
  EXPECT_GT(attributes.LastWriteTime, 0);
  for (mode_t mode : {0444, 0400, 0555}) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(OsGetAttributes(path, attributes));
    EXPECT_TRUE(attributes.ReadOnly) << std::oct << mode;
  }
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  ASSERT_TRUE(OsGetAttributes(path, attributes));
  EXPECT_FALSE(attributes.ReadOnly);
  ASSERT_TRUE(OsGetAttributes(dir_, attributes));
  EXPECT_TRUE(attributes.Directory);
  errno = 0;
  EXPECT_FALSE(OsGetAttributes(PathOf("none"), attributes));
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(OsFileTest, RenameNeverReplacesAndDeleteWaitsForOtherOpens) {
  std::string from = MakeFile("a.DAT", {1});
  std::string to = MakeFile("b.DAT", {2});
  errno = 0;
  EXPECT_FALSE(OsRenameFile(from, to));
  EXPECT_EQ(errno, EEXIST);
  {
    TOsFile holder;
    ASSERT_TRUE(holder.OpenExisting(from, TOsAccess::kRead, TOsShare::kShared, false));
    EXPECT_TRUE(OsFileInUse(from));
    errno = 0;
    EXPECT_FALSE(OsDeleteFile(from));
    EXPECT_EQ(errno, EACCES);
    EXPECT_FALSE(OsRenameFile(from, PathOf("c.DAT")));
  }
  EXPECT_FALSE(OsFileInUse(from));
  EXPECT_TRUE(OsRenameFile(from, PathOf("c.DAT")));
  EXPECT_TRUE(OsDeleteFile(PathOf("c.DAT")));
  EXPECT_FALSE(filetest::FileExistsOnDisk(PathOf("c.DAT")));
}

TEST_F(OsFileTest, DeleteOnCloseSparesAFileThatTookItsName) {
  std::string path = MakeFile("t.DAT", {1});
  TOsFile temp;
  ASSERT_TRUE(temp.OpenExisting(path, TOsAccess::kReadWrite, TOsShare::kExclusive, true));
  ASSERT_EQ(::rename(path.c_str(), PathOf("moved.DAT").c_str()), 0);
  filetest::WriteFileBytes(path, {2});
  temp.Close();
  EXPECT_EQ(filetest::FileBytes(path), (std::vector<uint8_t>{2}));
}

TEST_F(OsFileTest, NativePathTurnsBackslashesIntoSlashes) {
  EXPECT_EQ(OsNativePath("kyozai\\figure.DAT"), "kyozai/figure.DAT");
  EXPECT_EQ(OsNativePath("/a/b"), "/a/b");
}

TEST_F(OsFileTest, ReadOnlyDescriptorRefusesWritesButKeepsLocks) {
  std::string path = MakeFile("rd.DAT", {5, 6, 7});
  TOsFile file;
  ASSERT_TRUE(file.OpenExisting(path, TOsAccess::kRead, TOsShare::kExclusive, false));
  EXPECT_FALSE(file.Writable());
  uint8_t bytes[3] = {};
  EXPECT_EQ(file.ReadAt(bytes, 3, 0), 3);
  EXPECT_EQ(file.WriteAt(bytes, 3, 0), -1);
  EXPECT_TRUE(file.LockRange(50, 1));
  // Another descriptor sees the lock and the exclusive use.
  TOsFile other;
  EXPECT_FALSE(other.OpenExisting(path, TOsAccess::kRead, TOsShare::kShared, false));
}

}  // namespace
}  // namespace rudira
