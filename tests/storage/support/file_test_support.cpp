#include "storage/support/file_test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace rudira::filetest {

bool FileExistsOnDisk(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::vector<uint8_t> Pattern(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return bytes;
}

int TChildProcess::Start(const std::function<int()>& setUp) {
  int report[2];
  int release[2];
  if (::pipe(report) != 0 || ::pipe(release) != 0) return -1;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(report[0]);
    ::close(release[1]);
    int result = 255;
    try {
      result = setUp();
    } catch (...) {
      result = 254;
    }
    unsigned char byte = static_cast<unsigned char>(result);
    (void)!::write(report[1], &byte, 1);
    char ignored;
    (void)!::read(release[0], &ignored, 1);  // returns when the parent closes its end
    ::_exit(result);
  }
  ::close(report[1]);
  ::close(release[0]);
  release_ = release[1];
  unsigned char byte = 255;
  if (::read(report[0], &byte, 1) != 1) byte = 253;
  ::close(report[0]);
  return byte;
}

int TChildProcess::Finish() {
  if (pid_ <= 0) return -1;
  ::close(release_);
  release_ = -1;
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TChildProcess::~TChildProcess() {
  if (pid_ > 0) Finish();
}

int RunInChild(const std::function<int()>& action) {
  TChildProcess child;
  child.Start(action);
  return child.Finish();
}

void TFileTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "rudira-file-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  dir_ = pattern + "/";
}

void TFileTest::TearDown() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string TFileTest::PathOf(const std::string& name) const { return dir_ + name; }

std::string TFileTest::MemoryName(const std::string& name) const {
  // Memory files outlive a test; the directory name keeps them apart.
  return dir_ + name;
}

}  // namespace rudira::filetest
