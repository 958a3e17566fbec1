#include "storage/support/table_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>
#include <filesystem>

#include "storage/field_type.h"
#include "storage/field_value.h"

namespace rudira::tabletest {

namespace fs = std::filesystem;

// Parent-side pipe ends of every live child: a later child closes them, or
// an earlier child would never see its pipe close while a sibling holds a
// copy of the parent's end.
std::vector<int>& ParentEnds() {
  static std::vector<int> ends;
  return ends;
}

void Forget(int fd) {
  auto& ends = ParentEnds();
  ends.erase(std::remove(ends.begin(), ends.end(), fd), ends.end());
}

bool TTableChild::Channel::WaitGo() {
  char byte = 0;
  return ::read(go_, &byte, 1) == 1;
}

void TTableChild::Channel::Report(int32_t value) { (void)!::write(report_, &value, sizeof value); }

void TTableChild::Start(const std::function<int(Channel&)>& script) {
  int go[2];
  int report[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(report), 0);
  pid_ = ::fork();
  ASSERT_GE(pid_, 0);
  if (pid_ == 0) {
    for (int fd : ParentEnds()) ::close(fd);
    ParentEnds().clear();
    ::close(go[1]);
    ::close(report[0]);
    Channel channel;
    channel.go_ = go[0];
    channel.report_ = report[1];
    int result = 250;
    try {
      result = script(channel);
    } catch (...) {
      result = 250;
    }
    ::_exit(result);
  }
  ::close(go[0]);
  ::close(report[1]);
  go_ = go[1];
  report_ = report[0];
  ParentEnds().push_back(go_);
  ParentEnds().push_back(report_);
}

void TTableChild::Go() {
  const char byte = 1;
  (void)!::write(go_, &byte, 1);
}

int32_t TTableChild::Receive() {
  int32_t value = -1;
  if (::read(report_, &value, sizeof value) != sizeof value) return -1;
  return value;
}

bool TTableChild::ReportReady() {
  pollfd poller{report_, POLLIN, 0};
  return ::poll(&poller, 1, 0) == 1 && (poller.revents & POLLIN) != 0;
}

int TTableChild::Finish() {
  if (pid_ <= 0) return -1;
  if (go_ >= 0) {
    Forget(go_);
    ::close(go_);
  }
  go_ = -1;
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  if (report_ >= 0) {
    Forget(report_);
    ::close(report_);
  }
  report_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TTableChild::~TTableChild() {
  if (pid_ > 0) Finish();
}

void TTableTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "table-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  dir_ = pattern + "/";
  settings_.PrivateDirectory = dir_;
}

void TTableTest::TearDown() { fs::remove_all(dir_); }

void TTableTest::CreateTable(const std::string& name, bool withBlob) {
  DataFileDefinition definition;
  using storagetest::Field;
  definition.Fields.push_back(Field("N", kFieldTypeInteger));
  definition.Fields.push_back(Field("S", kFieldTypeString, 0, 10));
  if (withBlob) definition.Fields.push_back(Field("M", kFieldTypeBlob, kSubTypeMemo));
  for (size_t i = 0; i < definition.Fields.size(); ++i) definition.Fields[i].FieldNo = static_cast<uint16_t>(i + 1);
  TDataTable table(nullptr, settings_, dir_, name, false, false, false);
  table.Create(definition, TableIndexDefinitions{});
}

std::unique_ptr<TDataTable> TTableTest::Table(const std::string& name, bool exclusive) {
  return std::make_unique<TDataTable>(nullptr, settings_, dir_, name, false, false, exclusive);
}

void TTableTest::InsertUnderLock(TDataTable& table, int32_t n) {
  table.WriterLock();
  TRecord* record = table.DataFile().AllocateRecord(true, false);
  EXPECT_TRUE(StoreFieldValue(record->Data(), table.DataFile().Fields()[0], n, table.DataFile().Locale()));
  table.WriteChanges(false, false);
  table.WriterUnlock();
}

int32_t TTableTest::ValueOf(TDataTable& table, int32_t recordNo) {
  const TFieldValue value = ReadFieldValue(table.DataFile().GetRecord(recordNo)->Data(), table.DataFile().Fields()[0]);
  const int32_t* n = std::get_if<int32_t>(&value);
  return n ? *n : -1;
}

bool RangeLockedOnDisk(const std::string& path, int64_t offset, int64_t length) {
  const int fd = ::open(path.c_str(), O_RDWR);
  if (fd < 0) return false;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = offset;
  probe.l_len = length;
  probe.l_pid = 0;
  const bool ok = ::fcntl(fd, F_OFD_GETLK, &probe) == 0;
  ::close(fd);
  return ok && probe.l_type != F_UNLCK;
}

}  // namespace rudira::tabletest
