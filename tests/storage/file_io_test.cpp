// Positioned reads and writes through TFileHandler, by one thread and by several.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <thread>

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "storage/file_handler.h"
#include "storage/support/file_test_support.h"

namespace rudira {
namespace {

using filetest::CodeOf;

class FileIoTest : public filetest::TFileTest {};

TEST_F(FileIoTest, WritesReadsSeeksAndSetsTheEnd) {
  std::string path = PathOf("io.DAT");
  TFileHandler handler(path, false);
  handler.CreateNew();
  std::vector<uint8_t> bytes = filetest::Pattern(300, 9);
  handler.WriteBuffer(bytes.data(), 300);
  EXPECT_EQ(handler.Seek(kSeekFromCurrent, 0), 300);
  EXPECT_EQ(handler.FileSize(), 300);
  EXPECT_EQ(handler.Seek(kSeekFromCurrent, 0), 300);  // FileSize kept the position

  // Writing past the end leaves a zero gap.
  handler.Seek(kSeekFromEnd, 100);
  handler.WriteBuffer("!", 1);
  EXPECT_EQ(handler.FileSize(), 401);
  std::vector<uint8_t> disk = filetest::FileBytes(path);
  ASSERT_EQ(disk.size(), 401u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), disk.begin()));
  EXPECT_EQ(std::count(disk.begin() + 300, disk.begin() + 400, 0), 100);

  // A zero-byte write sets the end at the position.
  handler.Seek(kSeekFromBeginning, 123);
  handler.WriteBuffer(nullptr, 0);
  EXPECT_EQ(filetest::FileBytes(path).size(), 123u);

  // Reading: short reads raise unless allowed; positions past the end give 0.
  uint8_t buffer[200];
  handler.Seek(kSeekFromBeginning, 100);
  EXPECT_EQ(handler.ReadBuffer(buffer, 200, true), 23);
  handler.Seek(kSeekFromBeginning, 100);
  EXPECT_EQ(CodeOf([&] { handler.ReadBuffer(buffer, 200, false); }), RUDIRA_READERR);
  handler.Seek(kSeekFromBeginning, 5000);
  EXPECT_EQ(handler.ReadBuffer(buffer, 10, true), 0);
  handler.Flush();
}

TEST_F(FileIoTest, FailedSeekMakesTheNextReadAndWriteFail) {
  std::string path = PathOf("seek.DAT");
  filetest::WriteFileBytes(path, {1, 2, 3, 4});
  TFileHandler handler(path, false);
  handler.Open();
  handler.Seek(kSeekFromBeginning, 2);
  EXPECT_EQ(handler.Seek(kSeekFromCurrent, -3), -1);
  uint8_t byte = 0;
  EXPECT_EQ(CodeOf([&] { handler.ReadBuffer(&byte, 1, true); }), RUDIRA_READERR);
  EXPECT_EQ(CodeOf([&] { handler.WriteBuffer(&byte, 1); }), RUDIRA_WRITEERR);
  EXPECT_EQ(handler.Seek(kSeekFromBeginning, int64_t{1} << 36), int64_t{1} << 36);
  EXPECT_EQ(handler.Seek(kSeekFromCurrent, INT64_MAX), -1);
  EXPECT_EQ(filetest::FileBytes(path), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(FileIoTest, ErrorsCarryTheFileNameAndTheOperatingSystemNumber) {
  std::string path = PathOf("ro.DAT");
  filetest::WriteFileBytes(path, {1});
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  TFileHandler handler(path, false);
  handler.Open();
  try {
    handler.WriteBuffer("x", 1);
    FAIL() << "no error";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_WRITEERR);
    EXPECT_EQ(error.ErrorTableName(), path);
    EXPECT_EQ(error.OSErrorCode(), EBADF);
    EXPECT_EQ(std::string(error.what()),
              "RUDIRA Engine Error # 9218 Error writing to the table '" + path + "'");
  }
}

}  // namespace
}  // namespace rudira

namespace rudira {
namespace {

// Threads writing through their own handlers of one shared file: each seek
// and write pair is atomic under the file's guard, so every block lands
// where its thread put it.
TEST_F(FileIoTest, ThreadsShareOneFileThroughTheirOwnHandles) {
  for (bool inMemory : {false, true}) {
    SCOPED_TRACE(inMemory ? "memory" : "disk");
    std::string name = PathOf(inMemory ? "threads.MEM" : "threads.DAT");
    TFileHandler creator(name, inMemory);
    creator.CreateNew();
    creator.Close();
    constexpr int kThreads = 4;
    constexpr int kBlocks = 200;
    constexpr int kBlockSize = 64;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        TFileHandler handler(name, inMemory);
        handler.Open();
        std::vector<uint8_t> block(kBlockSize, static_cast<uint8_t>(t + 1));
        for (int b = 0; b < kBlocks; ++b) {
          TFileAccess access(handler);
          handler.Seek(kSeekFromBeginning, int64_t{kBlockSize} * (b * kThreads + t));
          handler.WriteBuffer(block.data(), kBlockSize);
        }
      });
    }
    for (auto& thread : threads) thread.join();
    TFileHandler reader(name, inMemory);
    reader.Open();
    std::vector<uint8_t> all(kThreads * kBlocks * kBlockSize);
    ASSERT_EQ(reader.FileSize(), static_cast<int64_t>(all.size()));
    reader.ReadBuffer(all.data(), static_cast<int32_t>(all.size()), false);
    for (size_t i = 0; i < all.size(); ++i) {
      ASSERT_EQ(all[i], (i / kBlockSize) % kThreads + 1) << i;
    }
    reader.Close();
    if (inMemory) reader.Remove();
  }
}

}  // namespace
}  // namespace rudira
