// The BLOB file's byte layouts: the 512-byte header, the 18-byte block
// header with its data area and their scrambling, block sizes and offsets, and the block cache and spare-block pool.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/errors.h"
#include "storage/blob_block.h"
#include "storage/blob_layout.h"
#include "storage/block_cache.h"
#include "storage/scramble.h"
#include "storage/support/blob_test_files.h"

namespace rudira {
namespace {

using blobtest::CodeOf;

TEST(BlobLayoutTest, HeaderBytesFollowTheLayout) {
  TBlobHeader header;
  header.BlobChangeCount = 0x01020304;
  header.FirstFreeBlock = 0x0A0B0C0D;
  header.NextBlockNumber = 0x11223344;
  header.BlobHeaderModified = 1;
  uint8_t bytes[kBlobHeaderSize];
  std::memset(bytes, 0xEE, sizeof bytes);
  header.EncodeTo(bytes);

  const std::vector<uint8_t> head(bytes, bytes + 18);
  const std::vector<uint8_t> expected = {0x04, 0x03, 0x02, 0x01,  // BlobChangeCount
                                         0, 0, 0, 0,              // reserved
                                         5,                       // FormatVersion
                                         0x0D, 0x0C, 0x0B, 0x0A,  // FirstFreeBlock
                                         0x44, 0x33, 0x22, 0x11,  // NextBlockNumber
                                         1};                      // BlobHeaderModified
  EXPECT_EQ(head, expected);
  for (size_t i = 18; i < kBlobHeaderSize; ++i) ASSERT_EQ(bytes[i], 0) << "reserved byte " << i;

  TBlobHeader decoded;
  decoded.DecodeFrom(bytes);
  EXPECT_EQ(decoded.BlobChangeCount, header.BlobChangeCount);
  EXPECT_EQ(decoded.FormatVersion, 5);
  EXPECT_EQ(decoded.FirstFreeBlock, header.FirstFreeBlock);
  EXPECT_EQ(decoded.NextBlockNumber, header.NextBlockNumber);
  EXPECT_EQ(decoded.BlobHeaderModified, 1);
}

TEST(BlobLayoutTest, BlockBytesFollowTheLayout) {
  TBlock block;
  block.Reset(7, 64);
  ASSERT_EQ(block.DataSize(), 46u);
  block.Header().PrevBlock = 0x01020304;
  block.Header().NextBlock = 0x05060708;
  block.Header().UsedBytes = 0x090A;
  block.Header().OwnerStamp = 0x0B0C0D0E;
  block.Header().TotalLength = 0x10203040;
  for (size_t i = 0; i < block.DataSize(); ++i) block.Data()[i] = static_cast<uint8_t>(0x80 + i);

  std::vector<uint8_t> bytes(64);
  block.EncodeTo(bytes.data(), false);
  const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 18);
  const std::vector<uint8_t> expected = {0x04, 0x03, 0x02, 0x01,  // PrevBlock
                                         0x08, 0x07, 0x06, 0x05,  // NextBlock
                                         0x0A, 0x09,              // UsedBytes
                                         0x0E, 0x0D, 0x0C, 0x0B,  // OwnerStamp
                                         0x40, 0x30, 0x20, 0x10};  // TotalLength
  EXPECT_EQ(head, expected);
  for (size_t i = 0; i < 46; ++i) ASSERT_EQ(bytes[18 + i], 0x80 + i);

  TBlock decoded;
  decoded.Reset(7, 64);
  decoded.DecodeFrom(bytes.data(), false);
  EXPECT_EQ(decoded.Header().PrevBlock, 0x01020304);
  EXPECT_EQ(decoded.Header().NextBlock, 0x05060708);
  EXPECT_EQ(decoded.Header().UsedBytes, 0x090A);
  EXPECT_EQ(decoded.Header().OwnerStamp, 0x0B0C0D0E);
  EXPECT_EQ(decoded.Header().TotalLength, 0x10203040);
  EXPECT_EQ(std::memcmp(decoded.Data(), block.Data(), 46), 0);
}

TEST(BlobLayoutTest, EncryptedBlockScramblesHeaderAndDataAsTwoRuns) {
  TBlock block;
  block.Reset(1, 64);
  block.Header().NextBlock = 9;
  block.Header().UsedBytes = 46;
  block.Header().OwnerStamp = 3;
  for (size_t i = 0; i < block.DataSize(); ++i) block.Data()[i] = static_cast<uint8_t>(i * 7);

  std::vector<uint8_t> plain(64);
  std::vector<uint8_t> scrambled(64);
  block.EncodeTo(plain.data(), false);
  block.EncodeTo(scrambled.data(), true);
  // Each run starts again from the seed.
  std::vector<uint8_t> expected = plain;
  Scramble(expected.data(), 18, kRecordScrambleSeed);
  Scramble(expected.data() + 18, 46, kRecordScrambleSeed);
  EXPECT_EQ(scrambled, expected);

  TBlock decoded;
  decoded.Reset(1, 64);
  decoded.DecodeFrom(scrambled.data(), true);
  EXPECT_EQ(decoded.Header().NextBlock, 9);
  EXPECT_EQ(decoded.Header().UsedBytes, 46);
  EXPECT_EQ(decoded.Header().OwnerStamp, 3);
  EXPECT_EQ(std::memcmp(decoded.Data(), block.Data(), 46), 0);
}

TEST(BlobLayoutTest, BlockSizesAndOffsets) {
  struct Case {
    uint32_t stored;
    bool valid;
  };
  for (const Case& c : {Case{0, true}, Case{63, false}, Case{64, true}, Case{512, true}, Case{1, false},
                        Case{65535, true}, Case{65536, false}}) {
    EXPECT_EQ(ValidBlockSize(c.stored), c.valid) << c.stored;
    EXPECT_EQ(CodeOf([&] { CheckBlobBlockSize(c.stored, "", "T"); }), c.valid ? 0 : RUDIRA_BLOBLIMIT)
        << c.stored;
  }
  EXPECT_EQ(EffectiveBlockSize(0), 512u);
  EXPECT_EQ(BlockDataSize(512), 494u);
  EXPECT_EQ(BlockOffset(1, 512), 512);
  EXPECT_EQ(BlockOffset(3, 512), 512 + 2 * 512);
  EXPECT_EQ(BlocksForLength(0, 512), 0);
  EXPECT_EQ(BlocksForLength(494, 512), 1);
  EXPECT_EQ(BlocksForLength(495, 512), 2);

  // The highest block whose end does not pass byte 4,000,000,000.
  const int32_t last512 = static_cast<int32_t>((kMaxBlobFileEnd - 512) / 512);
  EXPECT_TRUE(BlockWithinLimits(last512, 512));
  EXPECT_FALSE(BlockWithinLimits(last512 + 1, 512));
  EXPECT_FALSE(BlockWithinLimits(0, 512));
}

TEST(BlobLayoutTest, RefusedBlockSizeNamesTheTable) {
  try {
    CheckBlobBlockSize(63, "", "figure");
    FAIL() << "block size 63 accepted";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_BLOBLIMIT);
    EXPECT_EQ(error.ErrorTableName(), "figure");
    EXPECT_NE(std::string(error.what())
                  .find("Too many blob fields or invalid blob block size specified for the table 'figure'"),
              std::string::npos)
        << error.what();
  }
}

TEST(BlockCacheTest, EvictsLeastRecentlyUsedCleanUnpinnedBlock) {
  TBlockStack stack;
  TBlockCache cache(stack);
  cache.SetCapacity(4);
  for (int32_t n = 1; n <= 4; ++n) {
    auto block = stack.Pop();
    block->Reset(n, 64);
    cache.Insert(std::move(block));
  }
  // Use order, most recent first: 1, 4, 3, 2.
  ASSERT_NE(cache.Find(1), nullptr);
  EXPECT_TRUE(cache.Full());
  EXPECT_EQ(cache.LeastRecentlyUsedClean()->BlockNo(), 2);
  cache.Peek(2)->SetModified(true);
  cache.Peek(3)->Pin();
  EXPECT_EQ(cache.LeastRecentlyUsedClean()->BlockNo(), 4);
  cache.Peek(3)->Unpin();

  std::vector<int32_t> modified;
  cache.Peek(4)->SetModified(true);
  for (TBlock* b : cache.ModifiedBlocks()) modified.push_back(b->BlockNo());
  EXPECT_EQ(modified, (std::vector<int32_t>{2, 4}));

  cache.ShrinkTo(2);  // only clean blocks go: 3, then 1
  EXPECT_EQ(cache.Count(), 2u);
  EXPECT_EQ(cache.Peek(1), nullptr);
  EXPECT_EQ(cache.Peek(3), nullptr);
  EXPECT_EQ(stack.Count(), 2u);
}

TEST(BlockCacheTest, ClearKeepsPinnedBlocksAndStackKeepsAtMost32) {
  TBlockStack stack;
  TBlockCache cache(stack);
  cache.SetCapacity(40);
  for (int32_t n = 1; n <= 40; ++n) {
    auto block = stack.Pop();
    block->Reset(n, 64);
    cache.Insert(std::move(block));
  }
  cache.Peek(17)->Pin();
  cache.Clear();
  ASSERT_EQ(cache.Count(), 1u);
  EXPECT_EQ(cache.Find(17)->BlockNo(), 17);
  EXPECT_EQ(stack.Count(), kBlockStackLimit);
  cache.Peek(17)->Unpin();
}

TEST(BlockCacheTest, LookupTriesTheFourMostRecentBlocksFirst) {
  TBlockStack stack;
  TBlockCache cache(stack);
  cache.SetCapacity(16);
  for (int32_t n = 1; n <= 10; ++n) {
    auto block = stack.Pop();
    block->Reset(n, 64);
    cache.Insert(std::move(block));
  }
  // Most recent: 10, 9, 8, 7.
  EXPECT_NE(cache.Find(7), nullptr);
  EXPECT_EQ(cache.MruHits(), 1u);
  EXPECT_NE(cache.Find(2), nullptr);
  EXPECT_EQ(cache.SearchHits(), 1u);
  EXPECT_EQ(cache.Find(11), nullptr);
  EXPECT_EQ(cache.Misses(), 1u);
}

TEST(BlockTest, ResetKeepsTheDataAreaOfTheSameSize) {
  TBlock block;
  block.Reset(1, 512);
  const uint8_t* area = block.Data();
  block.Data()[3] = 9;
  block.Header().OwnerStamp = 4;
  block.SetModified(true);
  block.Reset(2, 512);
  EXPECT_EQ(block.Data(), area);
  EXPECT_EQ(block.Data()[3], 0);
  EXPECT_EQ(block.Header().OwnerStamp, 0);
  EXPECT_FALSE(block.Modified());
  EXPECT_EQ(block.BlockNo(), 2);
}

}  // namespace
}  // namespace rudira
