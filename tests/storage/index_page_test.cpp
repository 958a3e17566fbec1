// Index pages: the 4096-byte form of branch and leaf pages in every
// compression mode, round trips, capacities, and refusal of bytes that do
// not decode.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "storage/byte_codec.h"
#include "storage/index_page.h"

namespace rudira {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

TPageFormat Format(int16_t keySize, bool unique, uint8_t compression, bool noCounts = false) {
  TPageFormat f;
  f.KeySize = keySize;
  f.Unique = unique;
  f.Compression = compression;
  f.NoCounts = noCounts;
  return f;
}

std::vector<uint8_t> Encoded(const TPage& page) {
  std::vector<uint8_t> buffer(4096);
  page.EncodeTo(buffer.data());
  return buffer;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& b, size_t from, size_t count) {
  return std::vector<uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(from),
                              b.begin() + static_cast<std::ptrdiff_t>(from + count));
}

TEST(IndexPageTest, DupByteStoresTheSharedPrefixLength) {
  TPage page;
  page.Reset(1, 5, Format(9, false, 1));
  page.SetPageType(kPageRootLeaf);
  const auto k1 = Bytes({1, 0x80, 0, 0, 7, 0x80, 0, 0, 1});
  const auto k2 = Bytes({1, 0x80, 0, 0, 9, 0x80, 0, 0, 2});
  page.InsertEntry(0, k1.data(), 11, 0);
  page.InsertEntry(1, k2.data(), 12, 0);
  const auto b = Encoded(page);
  EXPECT_EQ(Slice(b, 0, 13), Bytes({3, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 14 + 10, 0}));
  // d = 0, the whole key, record 11; then d = 4, the key from byte 4, record 12.
  EXPECT_EQ(Slice(b, 13, 14), Bytes({0, 1, 0x80, 0, 0, 7, 0x80, 0, 0, 1, 11, 0, 0, 0}));
  EXPECT_EQ(Slice(b, 27, 10), Bytes({4, 9, 0x80, 0, 0, 2, 12, 0, 0, 0}));
  EXPECT_EQ(page.CompressedSize(), 24);
}

TEST(IndexPageTest, TrailByteKeepsTheIdSuffixOfNonUniqueKeys) {
  TPage page;
  page.Reset(1, 2, Format(9, false, 2));
  const auto k = Bytes({1, 'A', 0, 0, 0, 0x80, 0, 0, 0});
  page.InsertEntry(0, k.data(), 3, 0);
  const auto b = Encoded(page);
  // t = 3 zero bytes of the value; the suffix (ending in zeros too) is written.
  EXPECT_EQ(Slice(b, 13, 11), Bytes({3, 1, 'A', 0x80, 0, 0, 0, 3, 0, 0, 0}));
}

TEST(IndexPageTest, FullCompressionNeverOverlapsPrefixAndTrailingZeros) {
  TPage page;
  page.Reset(1, 2, Format(6, true, 3));
  const auto k1 = Bytes({1, 'A', 'B', 0, 0, 0});
  const auto k2 = Bytes({1, 'A', 'B', 0, 0, 0});  // equal keys share 6 bytes, all trailing 3 zeros
  const auto k3 = Bytes({1, 'A', 'C', 0, 0, 0});
  page.InsertEntry(0, k1.data(), 1, 0);
  page.InsertEntry(1, k2.data(), 2, 0);
  page.InsertEntry(2, k3.data(), 3, 0);
  const auto b = Encoded(page);
  EXPECT_EQ(Slice(b, 13, 9), Bytes({0, 3, 1, 'A', 'B', 1, 0, 0, 0}));
  EXPECT_EQ(Slice(b, 22, 6), Bytes({6, 0, 2, 0, 0, 0}));        // prefix 6, t lowered to 0
  EXPECT_EQ(Slice(b, 28, 7), Bytes({2, 3, 'C', 3, 0, 0, 0}));   // prefix 2, t 3, one middle byte
  TPage back;
  back.Reset(1, 2, Format(6, true, 3));
  ASSERT_TRUE(back.DecodeFrom(b.data()));
  ASSERT_EQ(back.EntryCount(), 3);
  EXPECT_EQ(std::memcmp(back.Key(1), k2.data(), 6), 0);
  EXPECT_EQ(std::memcmp(back.Key(2), k3.data(), 6), 0);
  EXPECT_EQ(back.Value(2), 3);
}

TEST(IndexPageTest, EveryModeRoundTripsThroughItsBytes) {
  for (uint8_t mode = 0; mode <= 3; ++mode) {
    for (bool unique : {true, false}) {
      SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " unique " << unique);
      TPage page;
      page.Reset(2, 9, Format(12, unique, mode));
      page.SetLeftSibling(8);
      page.SetRightSibling(10);
      std::vector<uint8_t> key(12, 0);
      for (int i = 0; i < 40; ++i) {
        key[1] = static_cast<uint8_t>(i / 7);
        key[2] = static_cast<uint8_t>(i % 7 ? i : 0);
        key[11] = static_cast<uint8_t>(i);
        page.InsertEntry(i, key.data(), 1000 + i, 0);
      }
      const auto b = Encoded(page);
      TPage back;
      back.Reset(2, 9, Format(12, unique, mode));
      ASSERT_TRUE(back.DecodeFrom(b.data()));
      EXPECT_EQ(back.LeftSibling(), 8);
      EXPECT_EQ(back.RightSibling(), 10);
      ASSERT_EQ(back.EntryCount(), 40);
      for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(std::memcmp(back.Key(i), page.Key(i), 12), 0);
        EXPECT_EQ(back.Value(i), 1000 + i);
      }
      EXPECT_EQ(Encoded(back), b);
    }
  }
}

TEST(IndexPageTest, BranchEntriesCarryChildAndCountUnlessNoCounts) {
  for (bool noCounts : {false, true}) {
    TPage page;
    page.Reset(0, 3, Format(5, true, 3, noCounts));
    page.SetPageType(kPageRootBranch);
    const auto k = Bytes({1, 0x80, 0, 0, 1});
    page.InsertEntry(0, k.data(), 7, 453);
    const auto b = Encoded(page);
    EXPECT_EQ(b[0], kPageRootBranch);
    EXPECT_EQ(Slice(b, 11, 2), Bytes({0, 0}));  // branches are never compressed
    if (noCounts) {
      EXPECT_EQ(page.Capacity(), 4083 / 9);
      EXPECT_EQ(Slice(b, 13, 10), Bytes({1, 0x80, 0, 0, 1, 7, 0, 0, 0, 0}));
    } else {
      EXPECT_EQ(page.Capacity(), 4083 / 13);
      EXPECT_EQ(Slice(b, 13, 13), Bytes({1, 0x80, 0, 0, 1, 7, 0, 0, 0, 0xC5, 0x01, 0, 0}));
    }
  }
}

TEST(IndexPageTest, FullUncompressedPagesOfEveryKeySizeDecodeWhole) {
  // Key sizes whose entries fall on both sides of every width that decoding
  // copies differently; a full page reaches the end of the entry area.
  for (int16_t keySize : {1, 3, 4, 5, 12, 13, 24, 29, 40}) {
    for (uint8_t type : {kPageLeaf, kPageBranch}) {
      for (bool noCounts : {false, true}) {
        SCOPED_TRACE(testing::Message() << "key " << keySize << " type " << int(type) << " noCounts " << noCounts);
        const TPageFormat format = Format(keySize, true, 0, noCounts);
        TPage page;
        page.Reset(1, 4, format);
        page.SetPageType(type);
        const int capacity = page.Capacity();
        std::vector<uint8_t> key(static_cast<size_t>(keySize));
        for (int i = 0; i < capacity; ++i) {
          for (int b = 0; b < keySize; ++b) key[static_cast<size_t>(b)] = static_cast<uint8_t>(i * 31 + b * 7 + 1);
          page.InsertEntry(i, key.data(), 100000 + i * 3, 50 + i);
        }
        const auto b = Encoded(page);
        TPage back;
        back.Reset(1, 4, format);
        ASSERT_TRUE(back.DecodeFrom(b.data()));
        ASSERT_EQ(back.EntryCount(), capacity);
        for (int i = 0; i < capacity; ++i) {
          ASSERT_EQ(std::memcmp(back.Key(i), page.Key(i), static_cast<size_t>(keySize)), 0) << "entry " << i;
          ASSERT_EQ(back.Value(i), 100000 + i * 3) << "entry " << i;
          if (type == kPageBranch) {
            ASSERT_EQ(back.Count(i), noCounts ? 0 : 50 + i) << "entry " << i;
          }
        }
        EXPECT_EQ(Encoded(back), b);
      }
    }
  }
}

TEST(IndexPageTest, InconsistentBytesDoNotDecode) {
  const TPageFormat compressed = Format(5, true, 1);
  TPage source;
  source.Reset(1, 2, compressed);
  const auto k1 = Bytes({1, 0x80, 0, 0, 1});
  const auto k2 = Bytes({1, 0x80, 0, 0, 2});
  source.InsertEntry(0, k1.data(), 1, 0);
  source.InsertEntry(1, k2.data(), 2, 0);
  const auto good = Encoded(source);
  struct Case {
    const char* Name;
    size_t Offset;
    uint8_t Value;
    TPageFormat Format;
  };
  const std::vector<Case> cases = {
      {"unknown page type", 0, 9, compressed},
      {"first entry with a shared prefix", 13, 2, compressed},
      {"shared prefix longer than the key", 23, 6, compressed},
      {"more entries than encoded bytes", 1, 3, compressed},
      {"encoded size beyond the page", 12, 0x10, compressed},
      {"encoded size shorter than the entries", 11, 9, compressed},
      {"more entries than an uncompressed page holds", 2, 0x02, Format(5, true, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto bad = good;
    bad[c.Offset] = c.Value;
    TPage page;
    page.Reset(1, 2, c.Format);
    EXPECT_FALSE(page.DecodeFrom(bad.data()));
  }
}

TEST(IndexPageTest, CompressedLeafOverflowsByEncodedSize) {
  TPage page;
  page.Reset(1, 2, Format(20, true, 2));
  std::vector<uint8_t> key(20, 0);
  key[0] = 1;
  int n = 0;
  while (!page.Overflows()) {
    key[1] = static_cast<uint8_t>(n >> 8);
    key[2] = static_cast<uint8_t>(n);
    page.InsertEntry(n, key.data(), n, 0);
    ++n;
  }
  // t = 17 of 20 bytes: 1 + 3 + 4 = 8 bytes an entry, far more than the
  // 4083 div 24 entries of an uncompressed leaf.
  EXPECT_EQ(n, 4083 / 8 + 1);
  EXPECT_GT(page.CompressedSize(), kPageEntryBytes);
}

}  // namespace
}  // namespace rudira
