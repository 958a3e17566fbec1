// Process and time services of the platform layer.
#include "storage/os_process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include <gtest/gtest.h>

namespace rudira {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TEST(OsProcessTest, TickCountNeverGoesBack) {
  uint64_t previous = OsTickCount();
  for (int i = 0; i < 5; ++i) {
    OsSleep(2);
    uint64_t now = OsTickCount();
    EXPECT_GE(now, previous);
    previous = now;
  }
}

TEST(OsProcessTest, ThreadIdsDifferBetweenThreads) {
  uint32_t mine = OsCurrentThreadId();
  EXPECT_EQ(mine, static_cast<uint32_t>(::gettid()));
  uint32_t other = 0;
  std::thread([&] { other = OsCurrentThreadId(); }).join();
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, mine);
}

TEST(OsProcessTest, DirectoriesEndWithASlash) {
  std::string temp = OsTempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '/');
  EXPECT_TRUE(IsDirectory(temp));
  std::string current = OsCurrentDirectory();
  ASSERT_FALSE(current.empty());
  EXPECT_EQ(current.back(), '/');
  EXPECT_TRUE(IsDirectory(current));
  EXPECT_EQ(OsPlatformVersion().rfind("Linux", 0), 0u);
}

}  // namespace
}  // namespace rudira
