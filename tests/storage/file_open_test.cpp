// Opening, creating and sharing table files through TFileHandler: missing
// files, read-only files, exclusive and shared use inside one process and
// across processes.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "storage/file_handler.h"
#include "storage/os_file.h"
#include "storage/physical_file.h"
#include "storage/support/file_test_support.h"

namespace rudira {
namespace {

using filetest::CodeOf;
using filetest::TChildProcess;

class FileOpenTest : public filetest::TFileTest {
 protected:
  // A file of the given bytes on disk.
  std::string MakeFile(const std::string& name, const std::vector<uint8_t>& bytes = {1, 2, 3}) {
    std::string path = PathOf(name);
    filetest::WriteFileBytes(path, bytes);
    return path;
  }
};

struct MissingCase {
  const char* label;
  const char* name;   // below the test directory
  bool inMemory;
  bool makeDirectory;
};

class FileMissingTest : public FileOpenTest, public ::testing::WithParamInterface<MissingCase> {};

// Existence is asked before any open: a directory of that name (which an
// open attempt would report as another error) is missing as well.
TEST_P(FileMissingTest, RaisesTableDoesNotExistAndListsNothing) {
  const MissingCase& c = GetParam();
  std::string name = PathOf(c.name);
  if (c.makeDirectory) {
    ASSERT_EQ(::mkdir(name.c_str(), 0755), 0);
  }
  size_t listed = GlobalFileList().Count();
  TFileHandler handler(name, c.inMemory);
  try {
    handler.Open();
    FAIL() << "no error";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_OSENOENT);
    EXPECT_EQ(error.ErrorTableName(), name);
    EXPECT_EQ(std::string(error.what()), "RUDIRA Engine Error # 11010 Table '" + name + "' does not exist");
  }
  EXPECT_FALSE(handler.Opened());
  EXPECT_EQ(handler.Handle(), 0);
  EXPECT_EQ(GlobalFileList().Count(), listed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileMissingTest,
    ::testing::Values(MissingCase{"missing_file", "nothere.DAT", false, false},
                      MissingCase{"missing_directory", "nodir/t.DAT", false, false},
                      MissingCase{"directory", "adir", false, true},
                      MissingCase{"memory_never_created", "mem.DAT", true, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(FileOpenTest, ListOpenOfUnknownMemoryNameYieldsNegatedCode) {
  FileOpenResult result = GlobalFileList().Open(MemoryName("x.DAT"), true, false, false);
  EXPECT_EQ(result.Handle, -RUDIRA_OSENOENT);
  EXPECT_EQ(result.File, nullptr);
}

TEST_F(FileOpenTest, ReadOnlyAttributeOpensForReadingWithBothFlags) {
  for (bool exclusive : {false, true}) {
    SCOPED_TRACE(exclusive ? "exclusive" : "shared");
    std::string path = MakeFile(exclusive ? "ro_x.DAT" : "ro_s.DAT", {7, 8, 9});
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    TFileHandler handler(path, false);
    handler.SetExclusive(exclusive);
    handler.Open();
    EXPECT_TRUE(handler.ReadOnly());
    EXPECT_TRUE(handler.ReadOnlyAttribute());
    uint8_t bytes[3] = {};
    EXPECT_EQ(handler.ReadBuffer(bytes, 3, false), 3);
    EXPECT_EQ(bytes[2], 9);
    // Even as root, a file marked read-only is not written through it.
    handler.Seek(kSeekFromBeginning, 0);
    EXPECT_EQ(CodeOf([&] { handler.WriteBuffer(bytes, 3); }), RUDIRA_WRITEERR);
    handler.Close();
  }
}

// A file that this user may not write, although it carries no read-only
// attribute, opens for reading with ReadOnly only. Checked in a child that
// gives up root, since root may write anything.
TEST_F(FileOpenTest, UnwritableFileOpensReadOnlyWithoutAttribute) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
  std::string path = MakeFile("owned.DAT", {1, 2, 3, 4});
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  int result = filetest::RunInChild([&] {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 100;
    TFileHandler handler(path, false);
    handler.Open();
    uint8_t bytes[4] = {};
    int flags = (handler.ReadOnly() ? 1 : 0) | (handler.ReadOnlyAttribute() ? 2 : 0);
    if (handler.ReadBuffer(bytes, 4, false) == 4 && bytes[3] == 4) flags |= 4;
    return flags;
  });
  EXPECT_EQ(result, 1 | 4);  // ReadOnly, no attribute, contents readable
}

struct SharingCase {
  bool firstExclusive;
  bool secondExclusive;
};

class FileSharingTest : public FileOpenTest, public ::testing::WithParamInterface<SharingCase> {};

TEST_P(FileSharingTest, ExclusiveOnEitherSideIsRefusedInTheProcess) {
  std::string path = MakeFile("shared.DAT");
  TFileHandler first(path, false);
  first.SetExclusive(GetParam().firstExclusive);
  first.Open();
  TFileHandler second(path, false);
  second.SetExclusive(GetParam().secondExclusive);
  EXPECT_EQ(CodeOf([&] { second.Open(); }), RUDIRA_OSEACCES);
  EXPECT_FALSE(second.Opened());
  EXPECT_EQ(first.FileObject()->OpenCount(), 1);
}

TEST_P(FileSharingTest, ExclusiveOnEitherSideIsRefusedAcrossProcesses) {
  std::string path = MakeFile("xproc.DAT");
  TChildProcess child;
  ASSERT_EQ(child.Start([&] {
    auto* holder = new TFileHandler(path, false);  // kept open until the child ends
    holder->SetExclusive(GetParam().firstExclusive);
    holder->Open();
    return 0;
  }), 0);
  TFileHandler mine(path, false);
  mine.SetExclusive(GetParam().secondExclusive);
  EXPECT_EQ(CodeOf([&] { mine.Open(); }), RUDIRA_OSEACCES);
  EXPECT_EQ(GlobalFileList().Exists(path, false), true);
  EXPECT_EQ(child.Finish(), 0);
  // Once the other process is gone the file opens.
  mine.Open();
  EXPECT_TRUE(mine.Opened());
}

INSTANTIATE_TEST_SUITE_P(Cases, FileSharingTest,
                         ::testing::Values(SharingCase{true, true}, SharingCase{true, false},
                                           SharingCase{false, true}),
                         [](const auto& info) {
                           return std::string(info.param.firstExclusive ? "Exclusive" : "Shared") +
                                  "Then" + (info.param.secondExclusive ? "Exclusive" : "Shared");
                         });

TEST_F(FileOpenTest, SharedOpensAcrossProcessesCoexist) {
  std::string path = MakeFile("both.DAT", {5, 6});
  TChildProcess child;
  ASSERT_EQ(child.Start([&] {
    auto* holder = new TFileHandler(path, false);
    holder->Open();
    return holder->ReadOnly() ? 1 : 0;
  }), 0);
  TFileHandler mine(path, false);
  mine.Open();
  EXPECT_FALSE(mine.ReadOnly());
  EXPECT_EQ(child.Finish(), 0);
}

TEST_F(FileOpenTest, TwoSharedOpensShareOneHandleWithOwnIdsAndPositions) {
  std::string path = MakeFile("two.DAT", {10, 11, 12, 13, 14, 15});
  TFileHandler a(path, false);
  TFileHandler b(path, false);
  a.Open();
  b.Open();
  ASSERT_EQ(a.FileObject(), b.FileObject());
  EXPECT_NE(a.Handle(), b.Handle());
  EXPECT_EQ(a.FileObject()->OpenCount(), 2);
  auto* physical = dynamic_cast<TPhysicalFile*>(a.FileObject());
  ASSERT_NE(physical, nullptr);
  ASSERT_NE(physical->OSHandle(), nullptr);

  uint8_t byte = 0;
  {
    TFileAccess access(a);
    a.Seek(kSeekFromBeginning, 4);
  }
  {
    TFileAccess access(b);
    b.Seek(kSeekFromBeginning, 1);
    b.ReadBuffer(&byte, 1, false);
  }
  EXPECT_EQ(byte, 11);
  a.ReadBuffer(&byte, 1, false);
  EXPECT_EQ(byte, 14);  // a's position was not moved by b

  // Ids are never reused while the shared file lives.
  int32_t closedId = b.Handle();
  b.Close();
  b.Open();
  EXPECT_GT(b.Handle(), closedId);
  a.Close();
  b.Close();
  EXPECT_FALSE(GlobalFileList().Exists(path + ".gone", false));
}

TEST_F(FileOpenTest, LastCloseUnlistsADiskFile) {
  std::string path = MakeFile("unlist.DAT");
  size_t listed = GlobalFileList().Count();
  {
    TFileHandler handler(path, false);
    handler.Open();
    EXPECT_EQ(GlobalFileList().Count(), listed + 1);
  }  // the destructor closes
  EXPECT_EQ(GlobalFileList().Count(), listed);
}

TEST_F(FileOpenTest, NameWithBlanksFindsTheListedFile) {
  std::string path = MakeFile("blank.DAT");
  TFileHandler first(path, false);
  first.SetExclusive(true);
  first.Open();
  TFileHandler padded("  " + path + "   ", false);
  EXPECT_TRUE(padded.Exists());
  EXPECT_EQ(CodeOf([&] { padded.Open(); }), RUDIRA_OSEACCES);
}

TEST_F(FileOpenTest, NamesCompareWithoutRegardToCase) {
  EXPECT_TRUE(SameFileName("kyozai\\FIGURE.DAT", "kyozai\\figure.dat"));
  EXPECT_TRUE(SameFileName("Ä.DAT", "ä.dat"));
  EXPECT_FALSE(SameFileName("a.DAT", "b.DAT"));
  EXPECT_EQ(TrimFileName("  x.DAT \t"), "x.DAT");
}

TEST_F(FileOpenTest, BackslashesSeparateDirectories) {
  ASSERT_EQ(::mkdir(PathOf("db").c_str(), 0755), 0);
  MakeFile("db/t.DAT", {42});
  TFileHandler handler(dir_ + "db\\t.DAT", false);
  handler.Open();
  uint8_t byte = 0;
  handler.ReadBuffer(&byte, 1, false);
  EXPECT_EQ(byte, 42);
}

TEST_F(FileOpenTest, CreateNewEmptiesAndHoldsTheFileExclusively) {
  std::string path = MakeFile("create.DAT", {1, 2, 3, 4, 5});
  TFileHandler creator(path, false);
  creator.CreateNew();
  EXPECT_TRUE(creator.Opened());
  EXPECT_EQ(creator.FileSize(), 0);
  TFileHandler other(path, false);
  EXPECT_EQ(CodeOf([&] { other.Open(); }), RUDIRA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { other.CreateNew(); }), RUDIRA_OSEACCES);
}

// A file another process has open is neither emptied nor taken over.
TEST_F(FileOpenTest, CreateOfAFileOpenInAnotherProcessKeepsItsContents) {
  std::string path = MakeFile("busy.DAT", {9, 9, 9});
  TChildProcess child;
  ASSERT_EQ(child.Start([&] {
    auto* holder = new TFileHandler(path, false);
    holder->Open();
    return 0;
  }), 0);
  TFileHandler creator(path, false);
  EXPECT_EQ(CodeOf([&] { creator.CreateNew(); }), RUDIRA_OSEACCES);
  EXPECT_EQ(filetest::FileBytes(path), (std::vector<uint8_t>{9, 9, 9}));
  EXPECT_EQ(child.Finish(), 0);
}

TEST_F(FileOpenTest, CreateOverAReadOnlyFileIsRefused) {
  std::string path = MakeFile("rocreate.DAT", {1});
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  TFileHandler creator(path, false);
  EXPECT_EQ(CodeOf([&] { creator.CreateNew(); }), RUDIRA_OSEACCES);
  EXPECT_EQ(filetest::FileBytes(path).size(), 1u);
}

TEST_F(FileOpenTest, RenameAndRemoveOfAnOpenFileAreRefused) {
  std::string path = MakeFile("open.DAT");
  TFileHandler holder(path, false);
  holder.Open();
  TFileHandler other(path, false);
  EXPECT_EQ(CodeOf([&] { other.Rename(PathOf("moved.DAT")); }), RUDIRA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { other.Remove(); }), RUDIRA_OSEACCES);
  EXPECT_TRUE(filetest::FileExistsOnDisk(path));
  holder.Close();
  other.Rename(PathOf("moved.DAT"));
  EXPECT_EQ(other.FileName(), PathOf("moved.DAT"));
  EXPECT_FALSE(filetest::FileExistsOnDisk(path));
  other.Remove();
  EXPECT_FALSE(filetest::FileExistsOnDisk(PathOf("moved.DAT")));
}

TEST_F(FileOpenTest, RenameAndRemoveOfAFileOpenInAnotherProcessAreRefused) {
  std::string path = MakeFile("held.DAT");
  TChildProcess child;
  ASSERT_EQ(child.Start([&] {
    auto* holder = new TFileHandler(path, false);
    holder->Open();
    return 0;
  }), 0);
  TFileHandler mine(path, false);
  EXPECT_EQ(CodeOf([&] { mine.Rename(PathOf("other.DAT")); }), RUDIRA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { mine.Remove(); }), RUDIRA_OSEACCES);
  EXPECT_TRUE(filetest::FileExistsOnDisk(path));
  EXPECT_EQ(child.Finish(), 0);
  mine.Remove();
  EXPECT_FALSE(filetest::FileExistsOnDisk(path));
}

TEST_F(FileOpenTest, RenameDoesNotReplaceAnExistingFile) {
  std::string from = MakeFile("from.DAT", {1});
  std::string to = MakeFile("to.DAT", {2});
  TFileHandler handler(from, false);
  EXPECT_NE(CodeOf([&] { handler.Rename(to); }), 0);
  EXPECT_EQ(filetest::FileBytes(to), (std::vector<uint8_t>{2}));
  EXPECT_EQ(handler.FileName(), from);
}

TEST_F(FileOpenTest, ExistsForDiskAndMemoryNames) {
  std::string path = MakeFile("exists.DAT");
  ASSERT_EQ(::mkdir(PathOf("sub").c_str(), 0755), 0);
  EXPECT_TRUE(GlobalFileList().Exists(path, false));
  EXPECT_FALSE(GlobalFileList().Exists(path, true));  // the memory kind is separate
  EXPECT_FALSE(GlobalFileList().Exists(PathOf("sub"), false));
  EXPECT_FALSE(GlobalFileList().Exists(PathOf("none.DAT"), false));
}

TEST_F(FileOpenTest, TemporaryFileIsDeletedWithItsLastHandle) {
  std::string path = PathOf("temp.DAT");
  TFileHandler creator(path, false);
  creator.SetTemporary(true);
  creator.CreateNew();
  creator.WriteBuffer("abc", 3);
  creator.Close();
  ASSERT_TRUE(filetest::FileExistsOnDisk(path));  // created, not yet opened delete-on-close

  TFileHandler a(path, false);
  a.SetTemporary(true);
  a.Open();
  TFileHandler b(path, false);
  b.Open();
  a.Close();
  EXPECT_TRUE(filetest::FileExistsOnDisk(path));
  b.Close();
  EXPECT_FALSE(filetest::FileExistsOnDisk(path));
}

TEST_F(FileOpenTest, TemporaryFileStaysWhileAnotherProcessHoldsIt) {
  std::string path = MakeFile("tempshared.DAT", {1, 2});
  TChildProcess child;
  ASSERT_EQ(child.Start([&] {
    auto* holder = new TFileHandler(path, false);
    holder->Open();
    return 0;
  }), 0);
  {
    TFileHandler temp(path, false);
    temp.SetTemporary(true);
    temp.Open();
  }
  EXPECT_TRUE(filetest::FileExistsOnDisk(path));
  EXPECT_EQ(child.Finish(), 0);
}

TEST_F(FileOpenTest, HandlerOperationsOnAClosedHandlerFailCleanly) {
  TFileHandler handler(PathOf("closed.DAT"), false);
  uint8_t byte = 0;
  EXPECT_EQ(CodeOf([&] { handler.ReadBuffer(&byte, 1, false); }), RUDIRA_READERR);
  EXPECT_EQ(CodeOf([&] { handler.WriteBuffer(&byte, 1); }), RUDIRA_WRITEERR);
  EXPECT_EQ(handler.Seek(kSeekFromBeginning, 0), -1);
  EXPECT_EQ(handler.FileSize(), -1);
  EXPECT_FALSE(handler.LockRegion(1, 0));
  EXPECT_EQ(CodeOf([&] { handler.Close(); }), 0);  // closing a closed handler is harmless
}

}  // namespace
}  // namespace rudira

namespace rudira {
namespace {

// Operating-system failures reach the caller as the mapped engine code with
// the platform's error number.
TEST_F(FileOpenTest, OperatingSystemErrorsAreMapped) {
  struct Case {
    const char* label;
    std::function<void()> action;
    uint16_t code;
    int osError;
  };
  ASSERT_EQ(::mkdir(PathOf("dir.DAT").c_str(), 0755), 0);
  TFileHandler inMissingDirectory(PathOf("nodir/t.DAT"), false);
  TFileHandler onDirectory(PathOf("dir.DAT"), false);
  const Case cases[] = {
      {"create in a missing directory", [&] { inMissingDirectory.CreateNew(); },
       RUDIRA_OSENOENT, ENOENT},
      {"create over a directory", [&] { onDirectory.CreateNew(); }, RUDIRA_OSUNKNOWN, EISDIR},
      {"remove a missing file", [&] { inMissingDirectory.Remove(); }, RUDIRA_OSENOENT, ENOENT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    try {
      c.action();
      ADD_FAILURE() << "no error";
    } catch (const ERUDIRAEngineError& error) {
      EXPECT_EQ(error.ErrorCode(), c.code);
      EXPECT_EQ(error.OSErrorCode(), c.osError);
      if (c.code == RUDIRA_OSUNKNOWN) {
        EXPECT_NE(std::string(error.what()).find("An unknown operating system error " +
                                                 std::to_string(c.osError) + " occurred"),
                  std::string::npos);
      }
    }
  }
}

TEST_F(FileOpenTest, TooManyOpenFilesIsMapped) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtimes need new descriptors for their own checks, "
                  "which a descriptor limit takes away";
#endif
  std::string path = MakeFile("many.DAT");
  int result = filetest::RunInChild([&] {
    TFileHandler handler(path, false);
    // The limit is the first free descriptor number: every new open fails
    // with EMFILE while the descriptors already open (the sanitizer
    // runtimes' among them) stay usable.
    const int firstFree = ::dup(0);
    if (firstFree < 0) return 100;
    ::close(firstFree);
    struct rlimit limit = {0, 0};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(firstFree);
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 100;
    return CodeOf([&] { handler.Open(); }) == RUDIRA_OSEMFILE ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
}

TEST_F(FileOpenTest, RenameToAnotherDeviceIsMapped) {
  struct stat here {};
  struct stat there {};
  ASSERT_EQ(::stat(dir_.c_str(), &here), 0);
  if (::stat("/dev/shm", &there) != 0 || there.st_dev == here.st_dev) {
    GTEST_SKIP() << "no second file system at hand";
  }
  std::string path = MakeFile("move.DAT");
  std::string target = "/dev/shm/rudira-move-" + std::to_string(::getpid()) + ".DAT";
  TFileHandler handler(path, false);
  EXPECT_EQ(CodeOf([&] { handler.Rename(target); }), RUDIRA_OSENOTSAM);
  EXPECT_TRUE(filetest::FileExistsOnDisk(path));
  ::unlink(target.c_str());
}

}  // namespace
}  // namespace rudira
