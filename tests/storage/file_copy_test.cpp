// CopyTo and CopyFrom: 64 KiB chunks, optional zlib compression of each
// chunk, progress reports, and the handling of the other file.
#include <zlib.h>

#include <cstring>

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "storage/file_handler.h"
#include "storage/support/file_test_support.h"

namespace rudira {
namespace {

using filetest::CodeOf;

void RecordPercent(void* userData, int percent) {
  static_cast<std::vector<int>*>(userData)->push_back(percent);
}

// Inflates a sequence of zlib streams, one per chunk.
std::vector<uint8_t> InflateChunks(const std::vector<uint8_t>& packed, int* streams) {
  std::vector<uint8_t> out;
  size_t offset = 0;
  *streams = 0;
  while (offset < packed.size()) {
    z_stream stream{};
    EXPECT_EQ(inflateInit(&stream), Z_OK);
    std::vector<uint8_t> chunk(kCopyChunkSize);
    stream.next_in = const_cast<Bytef*>(packed.data() + offset);
    stream.avail_in = static_cast<uInt>(packed.size() - offset);
    stream.next_out = chunk.data();
    stream.avail_out = static_cast<uInt>(chunk.size());
    int status = inflate(&stream, Z_FINISH);
    EXPECT_EQ(status, Z_STREAM_END);
    if (status != Z_STREAM_END) {
      inflateEnd(&stream);
      break;
    }
    out.insert(out.end(), chunk.begin(), chunk.begin() + (chunk.size() - stream.avail_out));
    offset += packed.size() - offset - stream.avail_in;
    ++*streams;
    inflateEnd(&stream);
  }
  return out;
}

class FileCopyTest : public filetest::TFileTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool InMemory() const { return GetParam(); }
  std::string NameOf(const std::string& name) const {
    return InMemory() ? MemoryName(name) : PathOf(name);
  }
  // Contents of a file of the parameter's kind.
  std::vector<uint8_t> Contents(const std::string& name) {
    TFileHandler reader(name, InMemory());
    reader.Open();
    std::vector<uint8_t> bytes(static_cast<size_t>(reader.FileSize()));
    if (!bytes.empty()) reader.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()), false);
    return bytes;
  }
  void MakeSource(TFileHandler& source, const std::vector<uint8_t>& bytes) {
    source.SetFileName(NameOf("source.DAT"));
    source.SetInMemory(InMemory());
    source.CreateNew();
    source.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  void TearDown() override {
    if (InMemory()) {
      for (const char* name : {"source.DAT", "copy.DAT", "back.DAT"}) {
        GlobalFileList().Remove(NameOf(name), true);
      }
    }
    filetest::TFileTest::TearDown();
  }
};

TEST_P(FileCopyTest, CopyToMakesAnEqualFileAndReportsProgress) {
  for (size_t size : {size_t{0}, size_t{1000}, size_t{kCopyChunkSize}, size_t{3 * kCopyChunkSize + 17}}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> bytes = filetest::Pattern(size, 3);
    TFileHandler source;
    MakeSource(source, bytes);
    std::vector<int> reports;
    source.CopyTo(NameOf("copy.DAT"), false, 20, RecordPercent, &reports);
    EXPECT_EQ(Contents(NameOf("copy.DAT")), bytes);
    // Reports rise by the step at least; the last one comes within a step of
    // the end (a rise of less than a step is not reported).
    ASSERT_FALSE(reports.empty());
    EXPECT_GE(reports.front(), 20);
    for (size_t i = 1; i < reports.size(); ++i) EXPECT_GE(reports[i] - reports[i - 1], 20);
    EXPECT_GT(reports.back(), 80);
    EXPECT_LE(reports.back(), 100);
    source.Close();
  }
}

TEST_P(FileCopyTest, ProgressIsReportedEachTimeItRisesByTheStep) {
  std::vector<uint8_t> bytes = filetest::Pattern(10 * kCopyChunkSize, 4);
  TFileHandler source;
  MakeSource(source, bytes);
  std::vector<int> reports;
  source.CopyTo(NameOf("copy.DAT"), false, 25, RecordPercent, &reports);
  // Chunks end at 10, 20, ..., 100 percent.
  EXPECT_EQ(reports, (std::vector<int>{30, 60, 90}));
  reports.clear();
  source.CopyTo(NameOf("back.DAT"), false, 0, RecordPercent, &reports);
  EXPECT_EQ(reports, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 100}));
}

TEST_P(FileCopyTest, CompressedCopyHoldsOneLevelNineStreamPerChunk) {
  std::vector<uint8_t> bytes(2 * kCopyChunkSize + 500);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i / 300) % 7);
  TFileHandler source;
  MakeSource(source, bytes);
  source.CopyTo(NameOf("copy.DAT"), true, 100, nullptr, nullptr);
  std::vector<uint8_t> packed = Contents(NameOf("copy.DAT"));
  EXPECT_LT(packed.size(), bytes.size() / 10);
  int streams = 0;
  EXPECT_EQ(InflateChunks(packed, &streams), bytes);
  EXPECT_EQ(streams, 3);
  // The first chunk's bytes are exactly zlib's level-9 output for it.
  std::vector<uint8_t> expected(compressBound(kCopyChunkSize));
  uLongf length = expected.size();
  ASSERT_EQ(compress2(expected.data(), &length, bytes.data(), kCopyChunkSize, 9), Z_OK);
  EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + length, packed.begin()));
}

TEST_P(FileCopyTest, CopyFromOverwritesFromTheStartWithoutTruncating) {
  TFileHandler source;
  MakeSource(source, std::vector<uint8_t>(100, 0xEE));
  source.CopyTo(NameOf("back.DAT"), false, 100, nullptr, nullptr);
  // The file grows past its backup; restoring the backup keeps the tail.
  source.Seek(kSeekFromBeginning, 0);
  std::vector<uint8_t> longer(150, 0x11);
  source.WriteBuffer(longer.data(), 150);
  source.CopyFrom(NameOf("back.DAT"), false, 100, nullptr, nullptr);
  source.Close();
  std::vector<uint8_t> expected(100, 0xEE);
  expected.insert(expected.end(), 50, 0x11);
  EXPECT_EQ(Contents(NameOf("source.DAT")), expected);
  // The backup was closed again: it can be opened exclusively.
  TFileHandler backup(NameOf("back.DAT"), InMemory());
  backup.SetExclusive(true);
  backup.Open();
}

TEST_P(FileCopyTest, CopyErrorsNameTheHandlersFile) {
  TFileHandler source;
  MakeSource(source, {1, 2, 3});
  try {
    source.CopyFrom(NameOf("missing.DAT"), false, 100, nullptr, nullptr);
    FAIL() << "no error";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_OSENOENT);
    EXPECT_EQ(error.ErrorTableName(), source.FileName());
  }
  // Copying onto an open file (here itself) is a sharing conflict.
  EXPECT_EQ(CodeOf([&] { source.CopyTo(source.FileName(), false, 100, nullptr, nullptr); }),
            RUDIRA_OSEACCES);
  EXPECT_EQ(CodeOf([&] { source.CopyFrom(source.FileName(), false, 100, nullptr, nullptr); }),
            RUDIRA_OSEACCES);
  source.Close();
  EXPECT_EQ(Contents(source.FileName()), (std::vector<uint8_t>{1, 2, 3}));
}

// A callback that throws (a user abort) still leaves the copy closed and gone.
TEST_P(FileCopyTest, ThrowingCallbackLeavesNoPartialCopy) {
  TFileHandler source;
  MakeSource(source, filetest::Pattern(3 * kCopyChunkSize, 5));
  auto abort = [](void*, int percent) {
    if (percent > 30) RaiseEngineError(RUDIRA_WRITEERR, {.TableName = "abort"});
  };
  EXPECT_EQ(CodeOf([&] { source.CopyTo(NameOf("copy.DAT"), false, 1, abort, nullptr); }),
            RUDIRA_WRITEERR);
  EXPECT_FALSE(GlobalFileList().Exists(NameOf("copy.DAT"), InMemory()));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FileCopyTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Memory" : "Disk"; });

}  // namespace
}  // namespace rudira
