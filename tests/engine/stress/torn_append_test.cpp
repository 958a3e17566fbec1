// A writer killed between an append's record write and the data header
// write that counts it leaves one whole record past the counted slots. The
// table still opens without that record, and the next append takes its
// slot; so do the several records of a commit killed before its header
// write. A file that grows while another process appends is read again
// until its header counts the records.
#include <fcntl.h>

#include <filesystem>
#include <fstream>

#include "engine/cursor/cursor_fixture.h"
#include "engine/error_codes.h"

namespace rudira::cursortest {
namespace {

class TornAppendTest : public CursorTest {
 protected:
  // Appends `count` copies of the last record's bytes to people.DAT, as an
  // append whose header never reached the file would.
  void AddUncountedRecords(int count, size_t recordSize) {
    const std::vector<char> bytes = FileBytes("people.DAT");
    std::ofstream out(dir_ + "people.DAT", std::ios::binary | std::ios::app);
    for (int i = 0; i < count; ++i) out.write(bytes.data() + bytes.size() - recordSize, static_cast<std::streamsize>(recordSize));
  }
  void Reopen() {
    session_ = std::make_unique<TDataSession>();
    session_->SetPrivateDir(dir_);
    db_ = session_->OpenDatabase("db", dir_);
  }
};

TEST_F(TornAppendTest, OneUncountedRecordIsIgnoredAndItsSlotReused) {
  CreatePeople();
  size_t recordSize = 0;
  {
    auto cursor = Open("people");
    AddPerson(*cursor, 1, "aoi", "kyoto");
    AddPerson(*cursor, 2, "ren", "nara");
    recordSize = cursor->RecordSize();
  }
  Reopen();
  const size_t sizeBefore = FileBytes("people.DAT").size();
  AddUncountedRecords(1, recordSize);
  Reopen();
  {
    auto cursor = Open("people");
    EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(cursor->Table()->DataFile().RecordSlotCount(), 2);
    AddPerson(*cursor, 3, "sora", "kobe");
  }
  Reopen();
  auto cursor = Open("people", [](TDataCursor& c) { c.SetNaturalOrder(true); });
  EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(FileBytes("people.DAT").size(), sizeBefore + recordSize);
}

TEST_F(TornAppendTest, TheRecordsOfATornCommitAreIgnoredAndAShortFileIsDamage) {
  CreatePeople();
  size_t recordSize = 0;
  {
    auto cursor = Open("people");
    AddPerson(*cursor, 1, "aoi", "kyoto");
    recordSize = cursor->RecordSize();
  }
  Reopen();
  const size_t sizeBefore = FileBytes("people.DAT").size();
  AddUncountedRecords(3, recordSize);
  Reopen();
  {
    auto cursor = Open("people");
    EXPECT_EQ(Walk(*cursor), (std::vector<int32_t>{1}));
    EXPECT_EQ(cursor->Table()->DataFile().RecordSlotCount(), 1);
  }
  // The counted record cut off: the header counts more than the file holds.
  session_.reset();
  std::filesystem::resize_file(dir_ + "people.DAT", sizeBefore - recordSize);
  Reopen();
  EXPECT_EQ(CodeOf([&] { Open("people"); }), RUDIRA_HEADERCORRUPT);
}

TEST_F(TornAppendTest, AnAppendInProgressElsewhereIsWaitedFor) {
  CreatePeople();
  size_t recordSize = 0;
  {
    auto cursor = Open("people");
    AddPerson(*cursor, 1, "aoi", "kyoto");
    recordSize = cursor->RecordSize();
  }
  Reopen();
  // Two records reach the file; another process writes the header that
  // counts them a little later.
  AddUncountedRecords(2, recordSize);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::usleep(20000);
    const int fd = ::open((dir_ + "people.DAT").c_str(), O_WRONLY);
    const int32_t next = 4;  // NextRecordNumber, little-endian at byte 13
    const bool written = fd >= 0 && ::pwrite(fd, &next, sizeof next, 13) == static_cast<ssize_t>(sizeof next);
    ::_exit(written ? 0 : 1);
  }
  int32_t slots = 0;
  const uint16_t code = CodeOf([&] { slots = Open("people")->Table()->DataFile().RecordSlotCount(); });
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(slots, 3);
}

}  // namespace
}  // namespace rudira::cursortest
