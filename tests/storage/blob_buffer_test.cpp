// TBlobBuffer: BLOB values read from and written to block chains: block
// boundaries, rewriting and freeing, stamps against stale references (also
// across processes), corrupt chains, and a randomized model of many values
// checked byte for byte, also after re-opening.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "storage/blob_buffer.h"
#include "storage/blob_file.h"
#include "storage/byte_codec.h"
#include "storage/support/blob_test_files.h"

namespace rudira {
namespace {

namespace fs = std::filesystem;
using blobtest::CodeOf;
using blobtest::FileBytes;
using blobtest::PatchInt32;
using blobtest::PatternBytes;

// Writes `value` as a new BLOB (or over `old`) with `stamp`; returns the new
// reference. Blocks and header are written to the file.
BlobReference Store(TBlobFile& file, const std::vector<uint8_t>& value, int32_t stamp,
                    BlobReference old = {}) {
  TBlobBuffer buffer(file, old);
  buffer.Assign(value.data(), value.size());
  buffer.WriteValue(stamp);
  file.WriteBlocks();
  file.WriteHeader();
  return buffer.Reference();
}

std::vector<uint8_t> Load(TBlobFile& file, BlobReference reference) {
  TBlobBuffer buffer(file, reference);
  EXPECT_TRUE(buffer.ReadValue());
  return buffer.Value();
}

// The block numbers of a chain, first to last.
std::vector<int32_t> ChainOf(TBlobFile& file, int32_t first) {
  std::vector<int32_t> chain;
  for (int32_t n = first; n != 0 && chain.size() <= static_cast<size_t>(file.BlockCount());
       n = file.GetBlock(n)->Header().NextBlock) {
    chain.push_back(n);
  }
  return chain;
}

std::vector<int32_t> FreeChainOf(TBlobFile& file) { return ChainOf(file, file.Header().FirstFreeBlock); }

class BlobBufferTest : public blobtest::TBlobTest {
 protected:
  void SetUp() override {
    blobtest::TBlobTest::SetUp();
    path_ = PathOf("T.BLB");
    CreateAndOpen(file_, path_);
  }

  // The stored bytes of block n.
  std::vector<uint8_t> StoredBlock(int32_t n) {
    const std::vector<uint8_t> bytes = FileBytes(path_);
    const size_t at = 512 + static_cast<size_t>(n - 1) * 512;
    if (bytes.size() < at + 512) return {};
    return std::vector<uint8_t>(bytes.begin() + static_cast<ptrdiff_t>(at),
                                bytes.begin() + static_cast<ptrdiff_t>(at + 512));
  }

  std::string path_;
  TBlobFile file_;
};

TEST_F(BlobBufferTest, ValuesFillBlocksOf494DataBytes) {
  struct Case {
    size_t length;
    std::vector<uint16_t> usedBytes;  // per block of the chain
  };
  const Case cases[] = {
      {1, {1}},
      {494, {494}},
      {495, {494, 1}},
      {988, {494, 494}},
      {989, {494, 494, 1}},
  };
  int32_t stamp = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    file_.Empty();
    const std::vector<uint8_t> value = PatternBytes(c.length, static_cast<uint32_t>(c.length));
    const BlobReference reference = Store(file_, value, ++stamp);
    ASSERT_EQ(file_.BlockCount(), static_cast<int32_t>(c.usedBytes.size()));
    EXPECT_EQ(reference.FirstBlock, 1);
    EXPECT_EQ(reference.Stamp, stamp);
    EXPECT_EQ(fs::file_size(path_), 512 + 512 * c.usedBytes.size());

    // The blocks as stored: linked both ways, stamped, length in the first.
    size_t offset = 0;
    for (size_t i = 0; i < c.usedBytes.size(); ++i) {
      const int32_t n = static_cast<int32_t>(i + 1);
      const std::vector<uint8_t> block = StoredBlock(n);
      ASSERT_EQ(block.size(), 512u);
      EXPECT_EQ(LoadLE<int32_t>(&block[0]), i == 0 ? 0 : n - 1) << "PrevBlock of " << n;
      EXPECT_EQ(LoadLE<int32_t>(&block[4]), i + 1 == c.usedBytes.size() ? 0 : n + 1) << "NextBlock of " << n;
      EXPECT_EQ(LoadLE<uint16_t>(&block[8]), c.usedBytes[i]) << "UsedBytes of " << n;
      EXPECT_EQ(LoadLE<int32_t>(&block[10]), stamp) << "OwnerStamp of " << n;
      EXPECT_EQ(LoadLE<int32_t>(&block[14]), i == 0 ? static_cast<int32_t>(c.length) : 0) << "TotalLength of " << n;
      EXPECT_EQ(std::memcmp(&block[18], value.data() + offset, c.usedBytes[i]), 0);
      offset += c.usedBytes[i];
    }
    file_.DropCache();
    EXPECT_EQ(Load(file_, reference), value);
  }
}

TEST_F(BlobBufferTest, RewritingThreeBlocksWithOneFreesTwoForReuse) {
  const BlobReference three = Store(file_, PatternBytes(3 * 494, 1), 1);
  ASSERT_EQ(ChainOf(file_, three.FirstBlock), (std::vector<int32_t>{1, 2, 3}));

  const std::vector<uint8_t> small = PatternBytes(100, 2);
  const BlobReference one = Store(file_, small, 2, three);
  EXPECT_EQ(one, (BlobReference{1, 2}));
  EXPECT_EQ(ChainOf(file_, 1), (std::vector<int32_t>{1}));
  EXPECT_EQ(file_.GetBlock(1)->Header().TotalLength, 100);
  // Block 2 was freed first, then block 3, which now heads the free chain.
  EXPECT_EQ(FreeChainOf(file_), (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(file_.BlockCount(), 3);
  EXPECT_EQ(Load(file_, one), small);

  // A new two-block value takes the freed blocks, most recently freed first,
  // and the file does not grow.
  const std::vector<uint8_t> two = PatternBytes(600, 3);
  const BlobReference other = Store(file_, two, 3);
  EXPECT_EQ(ChainOf(file_, other.FirstBlock), (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(file_.Header().FirstFreeBlock, 0);
  EXPECT_EQ(file_.BlockCount(), 3);
  EXPECT_EQ(fs::file_size(path_), 512u + 3 * 512);
  EXPECT_EQ(file_.GetBlock(2)->Header().PrevBlock, 3);

  file_.DropCache();
  EXPECT_EQ(Load(file_, one), small);
  EXPECT_EQ(Load(file_, other), two);
}

TEST_F(BlobBufferTest, GrowingAValueKeepsItsBlocksAndAppends) {
  const BlobReference a = Store(file_, PatternBytes(700, 1), 1);   // blocks 1, 2
  const BlobReference b = Store(file_, PatternBytes(10, 2), 2);    // block 3
  const std::vector<uint8_t> longer = PatternBytes(1500, 4);
  const BlobReference grown = Store(file_, longer, 3, a);          // 1, 2, then 4, 5
  EXPECT_EQ(grown.FirstBlock, a.FirstBlock);
  EXPECT_EQ(ChainOf(file_, grown.FirstBlock), (std::vector<int32_t>{1, 2, 4, 5}));
  file_.DropCache();
  EXPECT_EQ(Load(file_, grown), longer);
  EXPECT_EQ(Load(file_, b), PatternBytes(10, 2));
}

TEST_F(BlobBufferTest, EmptyValueUsesNoBlocksAndFreesTheOldChain) {
  const BlobReference none = Store(file_, {}, 1);
  EXPECT_FALSE(HasBlob(none));
  EXPECT_EQ(file_.BlockCount(), 0);
  EXPECT_TRUE(Load(file_, none).empty());

  const BlobReference some = Store(file_, PatternBytes(1000, 5), 2);
  const BlobReference cleared = Store(file_, {}, 3, some);
  EXPECT_FALSE(HasBlob(cleared));
  EXPECT_EQ(FreeChainOf(file_).size(), 3u);
  // The freed chain no longer answers to the old reference.
  file_.DropCache();
  TBlobBuffer stale(file_, some);
  EXPECT_EQ(CodeOf([&] { stale.ReadValue(); }), RUDIRA_KEYORRECDELETED);
}

TEST_F(BlobBufferTest, OldStampIsRefusedAfterARewrite) {
  // Stamps wrap from 2147483647 to 1.
  const BlobReference old = Store(file_, PatternBytes(2000, 1), 2147483647);
  const BlobReference rewritten = Store(file_, PatternBytes(2000, 2), 1, old);
  EXPECT_EQ(rewritten.FirstBlock, old.FirstBlock);
  TBlobBuffer stale(file_, old);
  try {
    stale.ReadValue();
    FAIL() << "old stamp accepted";
  } catch (const ERUDIRAEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), RUDIRA_KEYORRECDELETED);
    EXPECT_EQ(error.ErrorTableName(), path_);
    EXPECT_NE(std::string(error.what()).find("Record has been changed or deleted by another user"),
              std::string::npos);
  }
  // Writing over a reference that is no longer current is refused too,
  // before anything changes.
  TBlobBuffer writer(file_, old);
  writer.Assign("x", 1);
  EXPECT_EQ(CodeOf([&] { writer.WriteValue(2); }), RUDIRA_KEYORRECDELETED);
  EXPECT_EQ(Load(file_, rewritten), PatternBytes(2000, 2));
}

// A reader whose record still names the old stamp after another process
// rewrote (or cleared) the BLOB gets 8708.
TEST_F(BlobBufferTest, ReaderSeesARewriteByAnotherProcess) {
  for (const size_t newLength : {size_t{3000}, size_t{0}}) {
    SCOPED_TRACE(newLength);
    file_.Empty();
    const std::vector<uint8_t> original = PatternBytes(2500, 7);
    const BlobReference reference = Store(file_, original, 10);
    ASSERT_EQ(Load(file_, reference), original);  // cached here

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int status = 0;
      try {
        TBlobFile writer;
        writer.SetFileName(path_);
        writer.Open();
        TBlobBuffer buffer(writer, reference);
        if (!buffer.ReadValue() || buffer.Value() != original) status = 3;
        const std::vector<uint8_t> value = PatternBytes(newLength, 8);
        buffer.Assign(value.data(), value.size());
        buffer.WriteValue(11);
        writer.WriteBlocks();
        writer.WriteHeader();
        writer.Close();
      } catch (...) {
        status = 2;
      }
      ::_exit(status);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    // The table notices the change through the header and drops its blocks.
    EXPECT_TRUE(file_.RereadHeader());
    file_.DropCache();
    TBlobBuffer stale(file_, reference);
    EXPECT_EQ(CodeOf([&] { stale.ReadValue(); }), RUDIRA_KEYORRECDELETED);
    if (newLength > 0) {
      EXPECT_EQ(Load(file_, {reference.FirstBlock, 11}), PatternBytes(newLength, 8));
    }
  }
}

TEST_F(BlobBufferTest, CorruptChainsRaiseCorruptionErrors) {
  struct Case {
    const char* what;
    int64_t offset;   // within the file
    int32_t value;
    uint16_t code;
  };
  // A value of 4 blocks (1..4); block n's header starts at 512 + (n - 1) * 512.
  const auto at = [](int32_t block, int64_t field) { return 512 + (block - 1) * 512 + field; };
  const Case cases[] = {
      {"link past the end of the file", at(2, 4), 99, RUDIRA_MEMOCORRUPT},
      {"negative link", at(2, 4), -2, RUDIRA_MEMOCORRUPT},
      {"link back to the first block", at(3, 4), 1, RUDIRA_MEMOCORRUPT},
      {"block linking to itself", at(2, 4), 2, RUDIRA_MEMOCORRUPT},
      {"chain ends early", at(3, 4), 0, RUDIRA_ENDOFBLOB},
      {"stamp of a later block", at(3, 10), 77, RUDIRA_KEYORRECDELETED},
      {"length beyond the file", at(1, 14), 5 * 494, RUDIRA_MEMOCORRUPT},
      {"negative length", at(1, 14), -1, RUDIRA_MEMOCORRUPT},
      {"first block stamp", at(1, 10), 0, RUDIRA_KEYORRECDELETED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    file_.Empty();
    const std::vector<uint8_t> value = PatternBytes(4 * 494, 9);
    const BlobReference reference = Store(file_, value, 5);
    ASSERT_EQ(file_.BlockCount(), 4);
    PatchInt32(path_, c.offset, c.value);
    file_.DropCache();
    TBlobBuffer buffer(file_, reference);
    EXPECT_EQ(CodeOf([&] { buffer.ReadValue(); }), c.code);
    EXPECT_TRUE(buffer.Value().empty());
  }
}

TEST_F(BlobBufferTest, CorruptOldChainIsNotWrittenOver) {
  const BlobReference old = Store(file_, PatternBytes(3 * 494, 1), 5);
  const BlobReference other = Store(file_, PatternBytes(494, 2), 6);  // block 4
  // Block 2 of the old chain now leads into the other BLOB.
  PatchInt32(path_, 512 + 512 + 4, other.FirstBlock);
  file_.DropCache();
  TBlobBuffer buffer(file_, old);
  const std::vector<uint8_t> longer = PatternBytes(5 * 494, 3);
  buffer.Assign(longer.data(), longer.size());
  EXPECT_EQ(CodeOf([&] { buffer.WriteValue(7); }), RUDIRA_MEMOCORRUPT);
  // The table drops what the failed write left in the cache.
  file_.DropCache();
  file_.RereadHeader();
  EXPECT_EQ(Load(file_, other), PatternBytes(494, 2));
}

TEST_F(BlobBufferTest, ReferenceOutsideTheFileIsCorrupt) {
  Store(file_, PatternBytes(10, 1), 1);
  for (const int32_t first : {2, -1, 1000}) {
    TBlobBuffer buffer(file_, {first, 1});
    EXPECT_EQ(CodeOf([&] { buffer.ReadValue(); }), RUDIRA_MEMOCORRUPT) << first;
    buffer.Assign("abc", 3);
    EXPECT_EQ(CodeOf([&] { buffer.WriteValue(2); }), RUDIRA_MEMOCORRUPT) << first;
  }
  EXPECT_EQ(file_.BlockCount(), 1);  // nothing was appended
}

TEST_F(BlobBufferTest, ReadAheadFollowsTheRemainingLength) {
  // Ten values of ten blocks each, written one after another.
  std::vector<BlobReference> references;
  for (int i = 0; i < 10; ++i) references.push_back(Store(file_, PatternBytes(10 * 494, i), i + 1));
  file_.DropCache();
  const uint64_t reads = file_.BlockReadCount();
  EXPECT_EQ(Load(file_, references[4]), PatternBytes(10 * 494, 4));
  // The first block alone, then the nine still needed in one run.
  EXPECT_EQ(file_.BlockReadCount(), reads + 2);
  EXPECT_EQ(file_.Cache().Count(), 10u);
}

TEST_F(BlobBufferTest, ChangeCheckAbandonsTheReadAndKeepsTheBuffer) {
  const BlobReference reference = Store(file_, PatternBytes(3000, 1), 1);
  file_.DropCache();
  TBlobBuffer buffer(file_, reference);
  buffer.Assign("keep", 4);
  int calls = 0;
  buffer.SetChangeCheck([&] { return ++calls == 2; });  // changes before the second disk read
  EXPECT_FALSE(buffer.ReadValue());
  EXPECT_EQ(buffer.Value(), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(buffer.Modified());
  buffer.SetChangeCheck({});
  EXPECT_TRUE(buffer.ReadValue());
  EXPECT_EQ(buffer.Value(), PatternBytes(3000, 1));
  EXPECT_FALSE(buffer.Modified());
}

TEST_F(BlobBufferTest, EditsStayInTheBufferUntilWrittenAndCanBeRestored) {
  const BlobReference reference = Store(file_, PatternBytes(50, 1), 1);
  TBlobBuffer buffer(file_, reference);
  ASSERT_TRUE(buffer.ReadValue());
  buffer.WriteAt(60, "xy", 2);
  EXPECT_EQ(buffer.Length(), 62u);
  EXPECT_EQ(buffer.Value()[55], 0);
  EXPECT_TRUE(buffer.Modified());
  char out[4] = {};
  EXPECT_EQ(buffer.ReadAt(60, out, 4), 2u);
  EXPECT_EQ(std::string(out, 2), "xy");
  EXPECT_EQ(buffer.ReadAt(62, out, 4), 0u);

  buffer.RestoreCopy();
  EXPECT_EQ(buffer.Value(), PatternBytes(50, 1));
  EXPECT_FALSE(buffer.Modified());
  buffer.SetLength(20);
  buffer.KeepCopy();
  buffer.SetLength(0);
  buffer.RestoreCopy();
  EXPECT_EQ(buffer.Length(), 20u);
  EXPECT_EQ(Load(file_, reference), PatternBytes(50, 1));
}

TEST_F(BlobBufferTest, EncryptedValuesAreScrambledOnDisk) {
  TBlobFile file;
  const std::string path = PathOf("Enc.BLB");
  CreateAndOpen(file, path, 0, true);
  const std::vector<uint8_t> text(1200, 'A');
  const BlobReference reference = Store(file, text, 1);
  const std::vector<uint8_t> bytes = FileBytes(path);
  ASSERT_EQ(bytes.size(), 512u + 3 * 512);
  EXPECT_EQ(std::search(bytes.begin(), bytes.end(), text.begin(), text.begin() + 16), bytes.end());
  file.Close();
  file.Open();
  EXPECT_EQ(Load(file, reference), text);
}

// --- randomized model --------------------------------------------------------

// Walks every chain and the free chain: each block of the file is in exactly
// one of them, and each chain has the blocks its length needs.
void CheckBlockAccounting(TBlobFile& file, const std::map<int, BlobReference>& references,
                          const std::map<int, std::vector<uint8_t>>& model) {
  std::set<int32_t> seen;
  for (const auto& [slot, reference] : references) {
    const std::vector<int32_t> chain = ChainOf(file, reference.FirstBlock);
    EXPECT_EQ(static_cast<int64_t>(chain.size()), BlocksForLength(model.at(slot).size(), file.BlockSize()))
        << "slot " << slot;
    for (int32_t n : chain) EXPECT_TRUE(seen.insert(n).second) << "block " << n << " twice";
  }
  for (int32_t n : FreeChainOf(file)) EXPECT_TRUE(seen.insert(n).second) << "free block " << n << " twice";
  EXPECT_EQ(static_cast<int32_t>(seen.size()), file.BlockCount());
}

struct ModelParam {
  const char* name;
  bool inMemory;
  uint32_t blockSize;
  bool encrypted;
  int32_t cacheBytes;
  size_t maxLength;  // longest value written
};

class BlobModelTest : public blobtest::TBlobTest, public ::testing::WithParamInterface<ModelParam> {};

TEST_P(BlobModelTest, RandomWritesAndRewritesReadBackByteForByte) {
  const ModelParam& param = GetParam();
  const std::string path = param.inMemory ? std::string("Memory/model-") + param.name + "-" +
                                                std::to_string(::getpid()) + ".BLB"
                                          : PathOf("Model.BLB");
  TBlobFile file;
  file.SetInMemory(param.inMemory);
  CreateAndOpen(file, path, param.blockSize, param.encrypted);
  const BlobBufferLimits limits{param.cacheBytes, 8192};
  file.SetBufferLimits(limits);

  std::mt19937 random(20261210u + param.blockSize);
  std::map<int, std::vector<uint8_t>> model;  // slot -> value
  std::map<int, BlobReference> references;    // slot -> its record's reference
  int32_t lastStamp = 0;
  const auto randomLength = [&]() -> size_t {
    switch (random() % 4) {
      case 0: return random() % 64;  // tiny, often empty
      case 1: return random() % (4 * 494);  // a few blocks
      case 2: return random() % (param.maxLength / 8);
      default: return random() % param.maxLength;
    }
  };
  const auto checkAll = [&](const char* when) {
    SCOPED_TRACE(when);
    for (const auto& [slot, value] : model) {
      TBlobBuffer buffer(file, references[slot]);
      ASSERT_TRUE(buffer.ReadValue());
      ASSERT_EQ(buffer.Length(), value.size()) << "slot " << slot;
      ASSERT_TRUE(buffer.Value() == value) << "slot " << slot;
    }
    CheckBlockAccounting(file, references, model);
  };

  for (int step = 0; step < 120; ++step) {
    const int slot = static_cast<int>(random() % 12);
    const std::vector<uint8_t> value = PatternBytes(randomLength(), random());
    TBlobBuffer buffer(file, references.count(slot) ? references[slot] : BlobReference{});
    buffer.Assign(value.data(), value.size());
    lastStamp = lastStamp == INT32_MAX ? 1 : lastStamp + 1;
    buffer.WriteValue(lastStamp);
    model[slot] = value;
    references[slot] = buffer.Reference();
    ASSERT_EQ(HasBlob(buffer.Reference()), !value.empty());

    if (step % 10 == 9) {
      file.WriteBlocks();
      file.WriteHeader();
      ASSERT_NO_FATAL_FAILURE(checkAll("in the cache"));
    }
    if (step % 40 == 39) {
      file.Close();
      file.Open();
      file.SetBufferLimits(limits);
      file.Verify();
      ASSERT_NO_FATAL_FAILURE(checkAll("after re-opening"));
    }
  }
  file.WriteBlocks();
  file.WriteHeader();
  file.Close();
  if (!param.inMemory) {
    EXPECT_EQ(fs::file_size(path), 512 + static_cast<uintmax_t>(file.Header().NextBlockNumber - 1) *
                                             EffectiveBlockSize(param.blockSize));
  }
  file.Open();
  file.SetBufferLimits(limits);
  ASSERT_NO_FATAL_FAILURE(checkAll("at the end"));
  file.Close();
  if (param.inMemory) file.Remove();
}

INSTANTIATE_TEST_SUITE_P(Files, BlobModelTest,
                         ::testing::Values(ModelParam{"Disk512", false, 0, false, 32768, 400 * 1024},
                                           ModelParam{"Disk64SmallCache", false, 64, false, 64 * 8, 48 * 1024},
                                           ModelParam{"Disk4096Encrypted", false, 4096, true, 32768, 600 * 1024},
                                           ModelParam{"Memory1024", true, 1024, false, 16384, 300 * 1024}),
                         [](const ::testing::TestParamInfo<ModelParam>& info) { return info.param.name; });

}  // namespace
}  // namespace rudira
