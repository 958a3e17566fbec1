// TBlobFile on real files: creating and emptying, the header checks at open
// and verify, block allocation and the free chain, freeing chains, the size
// limit, read runs with the read-ahead hint, coalesced writes, the block
// cache, scrambling and the lock ranges.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/errors.h"
#include "storage/blob_file.h"
#include "storage/byte_codec.h"
#include "storage/scramble.h"
#include "storage/support/blob_test_files.h"

namespace rudira {
namespace {

namespace fs = std::filesystem;
using blobtest::CodeOf;
using blobtest::FileBytes;
using blobtest::PatchInt32;

class BlobFileTest : public blobtest::TBlobTest {
 protected:
  // Appends `count` blocks, block n's data starting with byte n, and writes
  // blocks and header.
  void AppendBlocks(TBlobFile& file, int count) {
    for (int i = 0; i < count; ++i) {
      TBlock* block = file.AllocateBlock();
      block->Data()[0] = static_cast<uint8_t>(block->BlockNo());
      block->Header().OwnerStamp = 1;
    }
    file.WriteBlocks();
    file.WriteHeader();
  }
};

TEST_F(BlobFileTest, NewFileIsOnlyTheEmptyHeader) {
  TBlobFile file;
  const std::string path = PathOf("T.BLB");
  file.SetFileName(path);
  file.CreateNew();
  file.Close();

  const std::vector<uint8_t> bytes = FileBytes(path);
  ASSERT_EQ(bytes.size(), 512u);
  std::vector<uint8_t> expected(512, 0);
  expected[8] = 5;   // FormatVersion
  expected[13] = 1;  // NextBlockNumber
  EXPECT_EQ(bytes, expected);

  file.Open();
  EXPECT_EQ(file.Header().NextBlockNumber, 1);
  EXPECT_EQ(file.Header().FirstFreeBlock, 0);
  EXPECT_EQ(file.BlockSize(), 512u);
  EXPECT_NO_THROW(file.Verify());
}

TEST_F(BlobFileTest, EmptyingTruncatesAfterTheHeader) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("T.BLB"));
  AppendBlocks(file, 5);
  file.FreeBlock(file.GetBlock(3));
  file.WriteBlocks();
  file.WriteHeader();
  ASSERT_EQ(fs::file_size(PathOf("T.BLB")), 512u + 5 * 512);
  const int32_t changeCount = file.Header().BlobChangeCount;

  file.Empty();
  EXPECT_EQ(fs::file_size(PathOf("T.BLB")), 512u);
  EXPECT_EQ(file.Cache().Count(), 0u);
  EXPECT_EQ(blobtest::ReadInt32(PathOf("T.BLB"), 9), 0);   // FirstFreeBlock
  EXPECT_EQ(blobtest::ReadInt32(PathOf("T.BLB"), 13), 1);  // NextBlockNumber
  EXPECT_EQ(blobtest::ReadInt32(PathOf("T.BLB"), 0), changeCount + 1);
  EXPECT_EQ(file.AllocateBlock()->BlockNo(), 1);
}

TEST_F(BlobFileTest, BlockSizeBelow64IsRefusedBeforeTheFileIsMade) {
  struct Case {
    uint32_t blockSize;
    uint16_t code;
  };
  for (const Case& c : {Case{63, RUDIRA_BLOBLIMIT}, Case{32, RUDIRA_BLOBLIMIT}, Case{65536, RUDIRA_BLOBLIMIT},
                        Case{64, 0}, Case{0, 0}, Case{4096, 0}}) {
    const std::string path = PathOf("S" + std::to_string(c.blockSize) + ".BLB");
    TBlobFile file;
    file.SetFileName(path);
    file.SetBlockSize(c.blockSize);
    EXPECT_EQ(CodeOf([&] { file.CreateNew(); }), c.code) << c.blockSize;
    EXPECT_EQ(fs::exists(path), c.code == 0) << c.blockSize;
  }
}

TEST_F(BlobFileTest, OpenAndVerifyCheckTheHeader) {
  struct Case {
    const char* what;
    int64_t offset;
    int32_t value;
    uint16_t openCode;
    uint16_t verifyCode;
  };
  // The file has 4 blocks: NextBlockNumber 5.
  const Case cases[] = {
      {"format version 4", 8, 0x04, RUDIRA_OLDVERSION, 0},
      {"format version 6", 8, 0x06, RUDIRA_OLDVERSION, 0},
      {"free head past the last block", 9, 5, 0, RUDIRA_HEADERCORRUPT},
      {"negative free head", 9, -1, 0, RUDIRA_HEADERCORRUPT},
      {"free head at the last block", 9, 4, 0, 0},
      {"next block number 0", 13, 0, RUDIRA_HEADERCORRUPT, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = PathOf("V.BLB");
    {
      TBlobFile file;
      CreateAndOpen(file, path);
      AppendBlocks(file, 4);
      file.Close();
    }
    // FormatVersion is one byte: keep the free head's low byte zero.
    if (c.offset == 8) {
      const uint8_t version = static_cast<uint8_t>(c.value);
      blobtest::PatchFile(path, 8, &version, 1);
    } else {
      PatchInt32(path, c.offset, c.value);
    }
    TBlobFile file;
    file.SetFileName(path);
    EXPECT_EQ(CodeOf([&] { file.Open(); }), c.openCode);
    if (c.openCode != 0) {
      EXPECT_FALSE(file.Opened());
      continue;
    }
    EXPECT_EQ(CodeOf([&] { file.Verify(); }), c.verifyCode);
    file.Close();
  }
}

TEST_F(BlobFileTest, UnusableBlockSizeFromTheDataHeaderIsCorrupt) {
  const std::string path = PathOf("Z.BLB");
  {
    TBlobFile file;
    CreateAndOpen(file, path);
  }
  TBlobFile file;
  file.SetFileName(path);
  file.SetBlockSize(20);
  EXPECT_EQ(CodeOf([&] { file.Open(); }), RUDIRA_HEADERCORRUPT);
  EXPECT_FALSE(file.Opened());
  file.SetBlockSize(0);
  EXPECT_NO_THROW(file.Open());
}

TEST_F(BlobFileTest, ShortHeaderIsCorrupt) {
  const std::string path = PathOf("H.BLB");
  {
    TBlobFile file;
    CreateAndOpen(file, path);
  }
  fs::resize_file(path, 100);
  TBlobFile file;
  file.SetFileName(path);
  EXPECT_EQ(CodeOf([&] { file.Open(); }), RUDIRA_HEADERCORRUPT);
  EXPECT_FALSE(file.Opened());
}

TEST_F(BlobFileTest, BlockMissingFromTheFileIsAReadError) {
  const std::string path = PathOf("M.BLB");
  {
    TBlobFile file;
    CreateAndOpen(file, path);
    AppendBlocks(file, 3);
  }
  fs::resize_file(path, 512 + 512);  // only block 1 is left
  TBlobFile file;
  file.SetFileName(path);
  file.Open();
  EXPECT_EQ(file.GetBlock(1)->Data()[0], 1);
  EXPECT_EQ(CodeOf([&] { file.GetBlock(3); }), RUDIRA_READERR);
  EXPECT_EQ(CodeOf([&] { file.GetBlock(0); }), RUDIRA_MEMOCORRUPT);
  EXPECT_EQ(CodeOf([&] { file.GetBlock(5); }), RUDIRA_MEMOCORRUPT);
}

TEST_F(BlobFileTest, FreedBlocksAreReusedMostRecentlyFreedFirst) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("F.BLB"));
  AppendBlocks(file, 5);
  file.FreeBlock(file.GetBlock(2));
  file.FreeBlock(file.GetBlock(4));
  EXPECT_EQ(file.Header().FirstFreeBlock, 4);
  EXPECT_EQ(file.GetBlock(4)->Header().NextBlock, 2);
  EXPECT_EQ(file.GetBlock(2)->Header().NextBlock, 0);
  EXPECT_EQ(file.GetBlock(4)->Header().OwnerStamp, 0);  // a freed block matches no reference
  file.WriteBlocks();
  file.WriteHeader();
  file.Close();

  file.Open();
  std::vector<int32_t> order;
  for (int i = 0; i < 3; ++i) {
    TBlock* block = file.AllocateBlock();
    order.push_back(block->BlockNo());
    EXPECT_EQ(block->Header().NextBlock, 0);
    EXPECT_EQ(block->Data()[0], 0);  // cleared
    EXPECT_TRUE(block->Modified());
  }
  EXPECT_EQ(order, (std::vector<int32_t>{4, 2, 6}));
  EXPECT_EQ(file.Header().FirstFreeBlock, 0);
  EXPECT_EQ(file.Header().NextBlockNumber, 7);
  EXPECT_TRUE(file.HeaderModified());
}

TEST_F(BlobFileTest, FreeChainWalksTheWholeChain) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("C.BLB"));
  AppendBlocks(file, 6);
  // Chain 2 -> 5 -> 3 with stamp 9.
  const int32_t chain[] = {2, 5, 3};
  for (size_t i = 0; i < 3; ++i) {
    TBlock* block = file.GetBlock(chain[i]);
    block->Header().OwnerStamp = 9;
    block->Header().PrevBlock = i == 0 ? 0 : chain[i - 1];
    block->Header().NextBlock = i == 2 ? 0 : chain[i + 1];
  }
  file.FreeChain({2, 9});
  // Each block went to the head of the free chain in chain order.
  EXPECT_EQ(file.Header().FirstFreeBlock, 3);
  EXPECT_EQ(file.GetBlock(3)->Header().NextBlock, 5);
  EXPECT_EQ(file.GetBlock(5)->Header().NextBlock, 2);
  EXPECT_EQ(file.GetBlock(2)->Header().NextBlock, 0);
  EXPECT_NO_THROW(file.FreeChain({}));
}

TEST_F(BlobFileTest, BrokenChainsAreRefusedWhenFreeing) {
  struct Case {
    const char* what;
    int32_t secondNext;   // NextBlock of block 2
    int32_t secondStamp;  // OwnerStamp of block 2
    bool repair;
    uint16_t code;
  };
  const Case cases[] = {
      {"link past the last block", 99, 9, false, RUDIRA_MEMOCORRUPT},
      {"negative link", -3, 9, false, RUDIRA_MEMOCORRUPT},
      {"cycle back to the first block", 1, 9, false, RUDIRA_MEMOCORRUPT},
      {"cycle while repairing", 1, 9, true, RUDIRA_MEMOCORRUPT},
      {"foreign stamp", 0, 8, false, RUDIRA_MEMOCORRUPT},
      {"foreign stamp while repairing", 0, 8, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TBlobFile file;
    CreateAndOpen(file, PathOf("B.BLB"));
    AppendBlocks(file, 3);
    TBlock* first = file.GetBlock(1);
    first->Header().OwnerStamp = 9;
    first->Header().NextBlock = 2;
    TBlock* second = file.GetBlock(2);
    second->Header().OwnerStamp = c.secondStamp;
    second->Header().NextBlock = c.secondNext;
    EXPECT_EQ(CodeOf([&] { file.FreeChain({1, 9}, c.repair); }), c.code);
    file.Close();
  }
}

TEST_F(BlobFileTest, PinnedBlockCannotBeFreedWithItsChain) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("P.BLB"));
  AppendBlocks(file, 2);
  file.GetBlock(1)->Header().NextBlock = 2;
  file.GetBlock(1)->Header().OwnerStamp = 4;
  file.GetBlock(2)->Header().OwnerStamp = 4;
  TBlock* held = file.GetBlock(2);
  held->Pin();
  EXPECT_EQ(CodeOf([&] { file.FreeChain({1, 4}); }), RUDIRA_MEMOCORRUPT);
  held->Unpin();
}

TEST_F(BlobFileTest, FreeChainRunningIntoALiveBlobIsCorrupt) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("L.BLB"));
  AppendBlocks(file, 3);  // every block stamped 1: all are live
  file.FreeBlock(file.GetBlock(2));
  file.GetBlock(2)->Header().NextBlock = 3;  // the free chain runs into live block 3
  EXPECT_EQ(file.AllocateBlock()->BlockNo(), 2);
  EXPECT_EQ(CodeOf([&] { file.AllocateBlock(); }), RUDIRA_MEMOCORRUPT);
}

TEST_F(BlobFileTest, FileEndsAtByte4000000000) {
  const std::string path = PathOf("Full.BLB");
  {
    TBlobFile file;
    CreateAndOpen(file, path, 65535);
  }
  // The last block whose end does not pass byte 4,000,000,000.
  const int32_t last = static_cast<int32_t>((4000000000LL - 512) / 65535);
  PatchInt32(path, 13, last);
  TBlobFile file;
  file.SetFileName(path);
  file.SetBlockSize(65535);
  file.Open();
  EXPECT_EQ(file.AllocateBlock()->BlockNo(), last);
  try {
    file.AllocateBlock();
    FAIL() << "block past the limit appended";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_TABLEFULL);
    EXPECT_NE(std::string(error.what()).find("is full and cannot contain any more data"), std::string::npos);
  }
  EXPECT_EQ(file.Header().NextBlockNumber, last + 1);
  // Nothing of this reached the disk.
  file.Close();
  EXPECT_EQ(fs::file_size(path), 512u);
}

TEST_F(BlobFileTest, MissesReadRunsLimitedByHintReadAheadAndFileEnd) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("R.BLB"));
  ASSERT_EQ(file.ReadAheadCount(), 32);  // 16384 div 512
  AppendBlocks(file, 40);
  file.DropCache();
  const uint64_t before = file.BlockReadCount();

  // A hint of 40 is cut to the read-ahead count.
  EXPECT_EQ(file.GetBlock(1, 40)->Data()[0], 1);
  EXPECT_EQ(file.BlockReadCount(), before + 1);
  EXPECT_EQ(file.Cache().Count(), 32u);
  for (int32_t n = 2; n <= 32; ++n) ASSERT_EQ(file.GetBlock(n)->Data()[0], n);
  EXPECT_EQ(file.BlockReadCount(), before + 1);

  // The run stops at the last block of the file.
  EXPECT_EQ(file.GetBlock(33, 32)->Data()[0], 33);
  EXPECT_EQ(file.BlockReadCount(), before + 2);
  EXPECT_EQ(file.Cache().Count(), 40u);

  // A hint of 1 reads one block only.
  file.DropCache();
  file.GetBlock(10, 1);
  EXPECT_EQ(file.Cache().Count(), 1u);
  file.GetBlock(11, 3);
  EXPECT_EQ(file.Cache().Count(), 4u);
  EXPECT_EQ(file.GetBlock(13)->Data()[0], 13);
}

TEST_F(BlobFileTest, ReadRunKeepsModifiedAndPinnedCachedBlocks) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("K.BLB"));
  AppendBlocks(file, 4);
  file.DropCache();
  file.GetBlock(2)->Data()[0] = 0xAA;  // modified, not written
  file.GetBlock(2)->SetModified(true);
  file.GetBlock(3)->Data()[0] = 0xBB;  // changed but clean: the disk contents win
  file.GetBlock(4)->Pin();
  file.GetBlock(4)->Data()[0] = 0xCC;  // pinned: kept

  file.GetBlock(1, 4);
  EXPECT_EQ(file.GetBlock(2)->Data()[0], 0xAA);
  EXPECT_EQ(file.GetBlock(3)->Data()[0], 3);
  EXPECT_EQ(file.GetBlock(4)->Data()[0], 0xCC);
  file.GetBlock(4)->Unpin();
}

TEST_F(BlobFileTest, MissThatWritesModifiedBlocksReadsTheirNewContents) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("N.BLB"));
  AppendBlocks(file, 4);
  file.SetBufferLimits({2 * 512, 8192});
  file.DropCache();
  for (int32_t n : {2, 3}) {
    file.GetBlock(n, 1)->Data()[0] = static_cast<uint8_t>(0xA0 + n);
    file.GetBlock(n)->SetModified(true);
  }
  // The cache is full of modified blocks: making room for block 1 writes
  // them, and the run 1..3 read afterwards must see what was written.
  file.GetBlock(1, 3);
  EXPECT_EQ(file.GetBlock(3)->Data()[0], 0xA3);
  EXPECT_EQ(file.GetBlock(2)->Data()[0], 0xA2);
  EXPECT_EQ(file.GetBlock(1)->Data()[0], 1);
}

TEST_F(BlobFileTest, ModifiedBlocksAreWrittenInRunsOfConsecutiveNumbers) {
  const std::string path = PathOf("W.BLB");
  TBlobFile file;
  CreateAndOpen(file, path);
  AppendBlocks(file, 10);
  EXPECT_EQ(file.BlockWriteCount(), 1u);  // ten new blocks in one write

  for (int32_t n : {3, 4, 5, 9, 10, 7}) {
    TBlock* block = file.GetBlock(n);
    block->Data()[1] = static_cast<uint8_t>(0x40 + n);
    block->SetModified(true);
  }
  file.WriteBlocks();
  EXPECT_EQ(file.BlockWriteCount(), 1u + 3);  // 3..5, 7, 9..10
  EXPECT_FALSE(file.Cache().AnyModified());

  const std::vector<uint8_t> bytes = FileBytes(path);
  ASSERT_EQ(bytes.size(), 512u + 10 * 512);
  for (int32_t n = 1; n <= 10; ++n) {
    const size_t at = 512 + static_cast<size_t>(n - 1) * 512;
    EXPECT_EQ(bytes[at + 18], n);
    const bool changed = n == 3 || n == 4 || n == 5 || n == 7 || n == 9 || n == 10;
    EXPECT_EQ(bytes[at + 19], changed ? 0x40 + n : 0) << n;
    EXPECT_EQ(LoadLE<int32_t>(&bytes[at + 10]), 1) << n;  // OwnerStamp
  }
}

TEST_F(BlobFileTest, FullCacheReusesCleanBlocksThenWritesModifiedOnes) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("E.BLB"));
  AppendBlocks(file, 12);
  file.SetBufferLimits({4 * 512, 8192});
  file.DropCache();
  ASSERT_EQ(file.Cache().Capacity(), 4u);

  for (int32_t n = 1; n <= 12; ++n) ASSERT_EQ(file.GetBlock(n, 1)->Data()[0], n);
  EXPECT_EQ(file.Cache().Count(), 4u);
  EXPECT_NE(file.Cache().Peek(12), nullptr);
  EXPECT_EQ(file.Cache().Peek(8), nullptr);

  // Four modified blocks fill the cache; the next miss writes them all.
  for (int32_t n = 9; n <= 12; ++n) {
    file.GetBlock(n)->Data()[2] = 0x77;
    file.GetBlock(n)->SetModified(true);
  }
  const uint64_t writes = file.BlockWriteCount();
  EXPECT_EQ(file.GetBlock(1, 1)->Data()[0], 1);
  EXPECT_EQ(file.BlockWriteCount(), writes + 1);
  EXPECT_EQ(file.Cache().Count(), 4u);
  file.DropCache();
  EXPECT_EQ(file.GetBlock(10)->Data()[2], 0x77);

  // The limit also holds by count.
  file.SetBufferLimits({32768, 3});
  EXPECT_EQ(file.Cache().Capacity(), 3u);
}

TEST_F(BlobFileTest, InATransactionTheCacheGrowsInsteadOfWriting) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("X.BLB"));
  AppendBlocks(file, 6);
  file.SetBufferLimits({2 * 512, 8192});
  file.DropCache();
  file.SetInTransaction(true);
  for (int32_t n = 1; n <= 3; ++n) {
    file.GetBlock(n, 1)->SetModified(true);
  }
  EXPECT_EQ(file.Cache().Capacity(), 2u + 32);
  EXPECT_EQ(file.Cache().Count(), 3u);
  EXPECT_TRUE(file.Cache().Peek(1)->Modified());

  // Outside the transaction a shrink brings the cache back to its limit
  // once the blocks are written.
  file.SetInTransaction(false);
  file.WriteBlocks();
  file.ShrinkCache();
  EXPECT_EQ(file.Cache().Capacity(), 2u);
  EXPECT_EQ(file.Cache().Count(), 2u);
}

TEST_F(BlobFileTest, PinnedBlocksAreNeverEvicted) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("Pin.BLB"));
  AppendBlocks(file, 4);
  file.SetBufferLimits({512, 8192});
  file.DropCache();
  TBlock* held = file.GetBlock(1, 1);
  held->Pin();
  file.GetBlock(2, 1);
  file.GetBlock(3, 1);
  EXPECT_EQ(file.Cache().Peek(1), held);
  EXPECT_EQ(held->Data()[0], 1);
  held->Unpin();
}

TEST_F(BlobFileTest, ChangeCheckRunsOnlyBeforeADiskRead) {
  TBlobFile file;
  CreateAndOpen(file, PathOf("D.BLB"));
  AppendBlocks(file, 3);
  file.DropCache();
  int calls = 0;
  const TBlobChangeCheck changed = [&] {
    ++calls;
    return true;
  };
  const uint64_t reads = file.BlockReadCount();
  EXPECT_EQ(file.GetBlock(2, 1, changed), nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(file.BlockReadCount(), reads);

  file.GetBlock(2, 1);
  EXPECT_NE(file.GetBlock(2, 1, changed), nullptr);  // cached: no check
  EXPECT_EQ(calls, 1);
  const TBlobChangeCheck unchanged = [&] {
    ++calls;
    return false;
  };
  EXPECT_EQ(file.GetBlock(3, 1, unchanged)->Data()[0], 3);
  EXPECT_EQ(calls, 2);
}

TEST_F(BlobFileTest, HeaderWritesCountAndRereadSeesOtherWriters) {
  const std::string path = PathOf("Count.BLB");
  TBlobFile reader;
  CreateAndOpen(reader, path);
  TBlobFile writer;
  writer.SetFileName(path);
  writer.Open();

  int notified = 0;
  writer.SetChangeNotifier([&] { ++notified; });
  writer.WriteHeader();  // not modified: nothing written
  EXPECT_EQ(notified, 0);
  EXPECT_FALSE(reader.RereadHeader());

  writer.AllocateBlock();
  writer.WriteBlocks();
  writer.WriteHeader();
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(blobtest::ReadInt32(path, 0), 1);
  EXPECT_EQ(FileBytes(path)[17], 1);  // written while modified
  EXPECT_TRUE(reader.RereadHeader());
  EXPECT_EQ(reader.Header().NextBlockNumber, 2);
  EXPECT_FALSE(reader.RereadHeader());

  writer.WriteHeader(true);
  EXPECT_EQ(blobtest::ReadInt32(path, 0), 2);
  EXPECT_EQ(FileBytes(path)[17], 0);

  writer.BumpChangeCountInMemory();
  EXPECT_TRUE(writer.HeaderModified());
  EXPECT_EQ(writer.Header().BlobChangeCount, 3);
}

TEST_F(BlobFileTest, EncryptedFileScramblesHeaderAndBlocks) {
  const std::string path = PathOf("Enc.BLB");
  {
    TBlobFile file;
    CreateAndOpen(file, path, 64, true);
    TBlock* block = file.AllocateBlock();
    block->Header().OwnerStamp = 5;
    block->Header().UsedBytes = 3;
    std::memcpy(block->Data(), "abc", 3);
    file.WriteBlocks();
    file.WriteHeader();
  }
  const std::vector<uint8_t> bytes = FileBytes(path);
  ASSERT_EQ(bytes.size(), 512u + 64);
  TBlobHeader header;
  header.BlobChangeCount = 1;
  header.NextBlockNumber = 2;
  header.BlobHeaderModified = 1;
  std::vector<uint8_t> expected(512);
  header.EncodeTo(expected.data());
  Scramble(expected.data(), 512, kRecordScrambleSeed);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 512), expected);

  std::vector<uint8_t> data(bytes.begin() + 512 + 18, bytes.end());
  Scramble(data.data(), data.size(), kRecordScrambleSeed);
  EXPECT_EQ(std::memcmp(data.data(), "abc", 3), 0);

  TBlobFile file;
  file.SetFileName(path);
  file.SetBlockSize(64);
  file.SetEncrypted(true);
  file.Open();
  EXPECT_EQ(file.Header().NextBlockNumber, 2);
  EXPECT_EQ(file.GetBlock(1)->Header().OwnerStamp, 5);
  EXPECT_EQ(std::memcmp(file.GetBlock(1)->Data(), "abc", 3), 0);
  file.Close();

  // Read as a plain file the version byte is scrambled too.
  file.SetEncrypted(false);
  EXPECT_EQ(CodeOf([&] { file.Open(); }), RUDIRA_OLDVERSION);
}

TEST_F(BlobFileTest, WriterRangeCoversEveryReaderSlot) {
  const std::string path = PathOf("Lock.BLB");
  TBlobFile reader;
  CreateAndOpen(reader, path);
  TBlobFile writer;
  writer.SetFileName(path);
  writer.Open();

  for (uint16_t slot : {uint16_t{1}, uint16_t{12345}, uint16_t{65535}}) {
    SCOPED_TRACE(slot);
    ASSERT_TRUE(reader.LockReaderSlot(slot));
    EXPECT_FALSE(writer.LockWriterRange());
    EXPECT_FALSE(writer.LockReaderSlot(slot));
    ASSERT_TRUE(reader.UnlockReaderSlot(slot));
  }
  ASSERT_TRUE(writer.LockWriterRange());
  EXPECT_FALSE(reader.LockReaderSlot(7));
  EXPECT_TRUE(writer.UnlockWriterRange());
  EXPECT_TRUE(reader.LockReaderSlot(7));
  EXPECT_TRUE(reader.UnlockReaderSlot(7));
  EXPECT_FALSE(reader.UnlockReaderSlot(7));
}

}  // namespace
}  // namespace rudira
