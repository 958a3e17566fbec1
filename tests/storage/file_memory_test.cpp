// Files of the in-memory directory: granule growth, reads past the end,
// zero-byte writes, and contents that outlive their handles.
#include <cstring>

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "storage/file_handler.h"
#include "storage/memory_file.h"
#include "storage/support/file_test_support.h"

namespace rudira {
namespace {

using filetest::CodeOf;

class FileMemoryTest : public filetest::TFileTest {
 protected:
  TMemoryFile& Memory(TFileHandler& handler) {
    auto* memory = dynamic_cast<TMemoryFile*>(handler.FileObject());
    EXPECT_NE(memory, nullptr);
    return *memory;
  }
};

TEST_F(FileMemoryTest, CapacityGrowsInGranulesAndNeverShrinks) {
  TFileHandler handler(MemoryName("grow.DAT"), true);
  handler.CreateNew();
  TMemoryFile& memory = Memory(handler);
  EXPECT_EQ(memory.Capacity(), 0);
  struct Step {
    int64_t position;
    int32_t count;
    int64_t size;
    int32_t capacity;
  };
  const Step steps[] = {
      {0, 1, 1, 4096},         {4095, 1, 4096, 4096}, {4096, 1, 4097, 8192},
      {100, 10, 4097, 8192},   {20000, 5, 20005, 20480},
  };
  std::vector<uint8_t> bytes(16, 0xAB);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.position);
    handler.Seek(kSeekFromBeginning, step.position);
    handler.WriteBuffer(bytes.data(), step.count);
    EXPECT_EQ(memory.Size(), step.size);
    EXPECT_EQ(handler.FileSize(), step.size);
    EXPECT_EQ(memory.Capacity(), step.capacity);
  }
  // The gap before 20000 reads as zeros.
  uint8_t gap[4] = {1, 1, 1, 1};
  handler.Seek(kSeekFromBeginning, 19996);
  handler.ReadBuffer(gap, 4, false);
  EXPECT_EQ(std::vector<uint8_t>(gap, gap + 4), std::vector<uint8_t>(4, 0));

  // Truncating keeps the capacity.
  handler.Seek(kSeekFromBeginning, 10);
  handler.WriteBuffer(nullptr, 0);
  EXPECT_EQ(memory.Size(), 10);
  EXPECT_EQ(memory.Capacity(), 20480);
}

TEST_F(FileMemoryTest, ZeroByteWriteAtZeroFreesTheBuffer) {
  TFileHandler handler(MemoryName("free.DAT"), true);
  handler.CreateNew();
  handler.WriteBuffer("abcdef", 6);
  handler.Seek(kSeekFromBeginning, 0);
  handler.WriteBuffer(nullptr, 0);
  EXPECT_EQ(Memory(handler).Size(), 0);
  EXPECT_EQ(Memory(handler).Capacity(), 0);
  EXPECT_EQ(handler.FileSize(), 0);
}

TEST_F(FileMemoryTest, TruncatedBytesReadAsZerosWhenTheFileGrowsAgain) {
  TFileHandler handler(MemoryName("regrow.DAT"), true);
  handler.CreateNew();
  handler.WriteBuffer("abcdef", 6);
  handler.Seek(kSeekFromBeginning, 2);
  handler.WriteBuffer(nullptr, 0);
  handler.Seek(kSeekFromBeginning, 6);
  handler.WriteBuffer("z", 1);
  char bytes[7] = {};
  handler.Seek(kSeekFromBeginning, 0);
  handler.ReadBuffer(bytes, 7, false);
  EXPECT_EQ(std::string(bytes, 7), std::string("ab\0\0\0\0z", 7));
}

TEST_F(FileMemoryTest, ReadsAtOrPastTheEndReturnNothing) {
  TFileHandler handler(MemoryName("end.DAT"), true);
  handler.CreateNew();
  handler.WriteBuffer("0123456789", 10);
  struct Case {
    int64_t position;
    int32_t expected;
  };
  for (Case c : {Case{10, 0}, Case{11, 0}, Case{1000000, 0}, Case{7, 3}}) {
    SCOPED_TRACE(c.position);
    char bytes[8] = {};
    TFileAccess access(handler);
    handler.Seek(kSeekFromBeginning, c.position);
    EXPECT_EQ(handler.ReadBuffer(bytes, 8, true), c.expected);
    handler.Seek(kSeekFromBeginning, c.position);
    EXPECT_EQ(CodeOf([&] { handler.ReadBuffer(bytes, 8, false); }), RUDIRA_READERR);
  }
  // A failed seek leaves no usable position: reads fail, not re-read old bytes.
  char byte = 0;
  EXPECT_EQ(handler.Seek(kSeekFromBeginning, -5), -1);
  EXPECT_EQ(handler.ReadBuffer(&byte, 1, true), 0);
  EXPECT_EQ(CodeOf([&] { handler.WriteBuffer("x", 1); }), RUDIRA_WRITEERR);
  EXPECT_EQ(handler.Seek(kSeekFromEnd, -2), 8);
  EXPECT_EQ(handler.Seek(kSeekFromCurrent, 1), 9);
}

TEST_F(FileMemoryTest, ContentsSurviveTheLastCloseUntilRemoved) {
  std::string name = MemoryName("keep.DAT");
  {
    TFileHandler writer(name, true);
    writer.CreateNew();
    writer.WriteBuffer("kept", 4);
    writer.Close();
    EXPECT_TRUE(writer.Exists());
  }
  TFileHandler reader(name, true);
  reader.Open();
  char bytes[4] = {};
  reader.ReadBuffer(bytes, 4, false);
  EXPECT_EQ(std::string(bytes, 4), "kept");
  EXPECT_EQ(CodeOf([&] { reader.Remove(); }), RUDIRA_OSEACCES);  // still open
  reader.Close();
  reader.Remove();
  EXPECT_FALSE(reader.Exists());
  EXPECT_EQ(CodeOf([&] { reader.Open(); }), RUDIRA_OSENOENT);
}

TEST_F(FileMemoryTest, MemoryAndDiskNamesAreSeparateKinds) {
  std::string name = PathOf("kind.DAT");
  TFileHandler memory(name, true);
  memory.CreateNew();
  memory.WriteBuffer("m", 1);
  TFileHandler disk(name, false);
  EXPECT_EQ(CodeOf([&] { disk.Open(); }), RUDIRA_OSENOENT);
  EXPECT_FALSE(filetest::FileExistsOnDisk(name));
  memory.Close();
  memory.Remove();
}

TEST_F(FileMemoryTest, CreateOfAClosedMemoryFileEmptiesIt) {
  std::string name = MemoryName("recreate.DAT");
  TFileHandler handler(name, true);
  handler.CreateNew();
  handler.WriteBuffer("old", 3);
  handler.Close();
  handler.CreateNew();
  EXPECT_EQ(handler.FileSize(), 0);
  TFileHandler second(name, true);
  EXPECT_EQ(CodeOf([&] { second.CreateNew(); }), RUDIRA_OSEACCES);
  handler.Close();
  handler.Remove();
}

TEST_F(FileMemoryTest, RenameMovesTheListedName) {
  std::string from = MemoryName("mfrom.DAT");
  std::string to = MemoryName("mto.DAT");
  TFileHandler handler(from, true);
  handler.CreateNew();
  handler.WriteBuffer("r", 1);
  handler.Close();
  TFileHandler blocker(to, true);
  blocker.CreateNew();
  blocker.Close();
  EXPECT_EQ(CodeOf([&] { handler.Rename(to); }), RUDIRA_OSEACCES);  // the name is taken
  blocker.Remove();
  handler.Rename(to);
  EXPECT_EQ(handler.FileName(), to);
  EXPECT_FALSE(GlobalFileList().Exists(from, true));
  handler.Open();
  char byte = 0;
  handler.ReadBuffer(&byte, 1, false);
  EXPECT_EQ(byte, 'r');
  handler.Close();
  handler.Remove();
  EXPECT_EQ(CodeOf([&] { handler.Remove(); }), RUDIRA_OSENOENT);
  EXPECT_EQ(CodeOf([&] { handler.Rename(from); }), RUDIRA_OSENOENT);
}

}  // namespace
}  // namespace rudira
