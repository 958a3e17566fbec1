// Index pages' kept encoding: TPage::Encoded() must give exactly the bytes a
// fresh EncodeTo gives, whatever sequence of changes a tree, the free chain,
// a parameter chain and a re-read from the file made since the last call;
// and writing only the bytes it reports changed must leave the file holding
// exactly those bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "storage/index_page.h"

namespace rudira {
namespace {

constexpr size_t kPageBytes = kPageHeaderBytes + kPageEntryBytes;

struct FormatCase {
  const char* Name;
  int16_t KeySize;
  bool Unique;
  uint8_t Compression;
  bool NoCounts;
};

// Key sizes on both sides of the widths the entry copies treat apart, with
// and without branch counts; compressed indexes have fixed-size branches
// beside leaves that are always encoded whole.
const FormatCase kFormats[] = {
    {"1-byte keys", 1, true, 0, false},
    {"4-byte keys", 4, true, 0, false},
    {"5-byte non-unique keys, no counts", 5, false, 0, true},
    {"12-byte keys", 12, true, 0, false},
    {"29-byte keys, no counts", 29, true, 0, true},
    {"40-byte non-unique keys", 40, false, 0, false},
    {"9-byte keys, shared prefixes", 9, false, 1, false},
    {"12-byte keys, full compression, no counts", 12, true, 3, true},
};

constexpr uint8_t kTypes[] = {kPageRootBranch, kPageBranch, kPageLeaf, kPageRootLeaf};

// Two sibling pages of one index and the random changes applied to them.
class TPageChanges {
 public:
  TPageChanges(const TPageFormat& format, uint32_t seed) : format_(format), random_(seed) {
    for (int i = 0; i < 2; ++i) {
      file_[i].assign(kPageBytes, 0xEE);
      pages_[i].Reset(1, 20 + i, format_);
      pages_[i].SetPageType(i == 0 ? kPageLeaf : kPageBranch);
    }
  }

  TPage& Page(int i) { return pages_[i]; }
  // What the file holds for each page; bytes never written are 0xEE, which
  // no encoding of these pages leaves where a write must reach.
  std::vector<uint8_t>& File(int i) { return file_[i]; }

  // Applies one random change to one of the pages; returns what it did.
  std::string Step() {
    const int which = Pick(2);
    TPage& page = pages_[which];
    TPage& other = pages_[1 - which];
    const int n = page.EntryCount();
    switch (Pick(16)) {
      case 0:
      case 1:
      case 2:
        if (page.Overflows()) return "none";
        page.InsertEntry(Pick(n + 1), Key().data(), Value(), Value());
        return "insert";
      case 3:  // the append of a bulk load: at the end
        if (page.Overflows()) return "none";
        page.InsertEntry(n, Key().data(), Value(), Value());
        return "append";
      case 4:
        if (n == 0) return "none";
        page.DeleteEntry(Pick(n));
        return "delete";
      case 5:
        if (n == 0) return "none";
        page.SetKey(Pick(n), Key().data());
        return "key";
      case 6:
        if (n == 0) return "none";
        page.SetValue(Pick(n), Value());
        page.SetModified(true);
        return "value";
      case 7:
        if (n == 0) return "none";
        page.SetCount(Pick(n), Value());
        page.SetModified(true);
        return "count";
      case 8:  // split: the upper half moves to the right sibling
        page.MoveTailTo(Pick(n + 1), other);
        return "move tail";
      case 9:  // merge or rebalance: the lower part moves to the left sibling
        page.MoveHeadTo(Pick(n + 1), other);
        return "move head";
      case 10:
        page.SetPageType(kTypes[Pick(4)]);
        return "type";
      case 11:
        page.SetLeftSibling(Value());
        page.SetRightSibling(Value());
        return "siblings";
      case 12: {  // freed onto the chain, then possibly taken again
        page.Clear();
        page.SetRightSibling(Value());
        page.SetLeftSibling(0);
        page.SetFreed(true);
        if (Pick(2) == 0) return "free";
        page.Reset(1, page.PageNumber(), format_);
        page.SetPageType(kTypes[Pick(4)]);
        return "free and reuse";
      }
      case 13: {
        if (Pick(4) == 0) {
          page.Clear();
          return "clear";
        }
        std::vector<uint8_t> raw(static_cast<size_t>(Pick(kPageEntryBytes + 1)));
        for (auto& b : raw) b = static_cast<uint8_t>(Pick(256));
        page.SetRaw(raw.data(), raw.size());
        if (Pick(2) == 0) page.SetPageType(kTypes[Pick(4)]);
        return "parameter";
      }
      default:
        return Reread(page, other);
    }
  }

 private:
  // The page is read back from the file: its own bytes, its sibling's, or
  // bytes another writer left with something after the entries.
  std::string Reread(TPage& page, TPage& other) {
    std::vector<uint8_t>& file = file_[&page == &pages_[0] ? 0 : 1];
    TPage& source = Pick(2) == 0 ? page : other;
    if (source.Overflows()) return "none";
    std::vector<uint8_t> bytes(kPageBytes);
    source.EncodeTo(bytes.data());
    std::string what = "reread";
    if (Pick(3) == 0) {
      bytes[static_cast<size_t>(11 + Pick(2))] = static_cast<uint8_t>(1 + Pick(255));
      what = "reread with bytes 11..12 set";
    } else if (Pick(3) == 0) {
      bytes[kPageBytes - 1 - static_cast<size_t>(Pick(16))] = static_cast<uint8_t>(1 + Pick(255));
      what = "reread with bytes after the entries";
    }
    file = bytes;  // another writer put them there
    if (!page.DecodeFrom(bytes.data())) {
      page.Reset(1, page.PageNumber(), format_);
      return what + " (refused)";
    }
    return what;
  }

  int Pick(int bound) { return static_cast<int>(random_() % static_cast<uint32_t>(bound)); }
  int32_t Value() { return static_cast<int32_t>(random_()); }
  // Few distinct bytes: neighbouring keys share prefixes and end in zeros.
  std::vector<uint8_t> Key() {
    std::vector<uint8_t> key(static_cast<size_t>(format_.KeySize));
    for (auto& b : key) b = static_cast<uint8_t>(Pick(3) == 0 ? Pick(256) : Pick(2));
    return key;
  }

  TPageFormat format_;
  std::mt19937 random_;
  TPage pages_[2];
  std::vector<uint8_t> file_[2];
};

// Writes the page as TIndexFile does, only the bytes Encoded() reports
// changed, into `file`, and compares the kept encoding and the file with a
// fresh encoding. A failed write encodes and leaves the file as it was.
// Pages that overflow are never written (a split follows first).
void WriteAndCompare(TPage& page, std::vector<uint8_t>& file, bool fails, const std::string& history) {
  if (page.Overflows()) return;
  std::vector<uint8_t> expected(kPageBytes);
  page.EncodeTo(expected.data());
  const uint8_t* kept = page.Encoded();
  const auto keptDiffers = std::mismatch(expected.begin(), expected.end(), kept).first - expected.begin();
  ASSERT_EQ(keptDiffers, expected.end() - expected.begin())
      << "kept byte " << keptDiffers << " of page " << page.PageNumber() << " after" << history;
  const int from = page.EncodedChangeFrom();
  const int to = page.EncodedChangeTo();
  ASSERT_TRUE(0 <= from && from <= to && to <= static_cast<int>(kPageBytes)) << from << ".." << to;
  if (fails) return;
  std::copy(kept + from, kept + to, file.begin() + from);
  page.NoteWritten();
  const auto fileDiffers = std::mismatch(expected.begin(), expected.end(), file.begin()).first - expected.begin();
  ASSERT_EQ(fileDiffers, expected.end() - expected.begin())
      << "file byte " << fileDiffers << " of page " << page.PageNumber() << " (written " << from << ".." << to
      << ") after" << history;
}

TEST(IndexPageImageTest, KeptEncodingEqualsAFreshOneAfterEveryChange) {
  for (const FormatCase& c : kFormats) {
    TPageFormat format;
    format.KeySize = c.KeySize;
    format.Unique = c.Unique;
    format.Compression = c.Compression;
    format.NoCounts = c.NoCounts;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
      SCOPED_TRACE(testing::Message() << c.Name << ", seed " << seed);
      TPageChanges changes(format, seed);
      std::mt19937 when(seed * 7919);
      std::string history;
      for (int step = 0; step < 600; ++step) {
        history += " " + changes.Step();
        // Several changes often come between two writes of a page.
        if (when() % 3 != 0) continue;
        for (int i = 0; i < 2; ++i) {
          WriteAndCompare(changes.Page(i), changes.File(i), when() % 8 == 0, history);
          if (testing::Test::HasFatalFailure()) return;
        }
        history.clear();
      }
    }
  }
}

TEST(IndexPageImageTest, GrowingLeafAndRootKeepTheirEncodingCurrent) {
  // The pages a bulk load writes after every append: the last leaf taking
  // one more entry and the root whose last count grows, written each time.
  for (bool noCounts : {false, true}) {
    SCOPED_TRACE(testing::Message() << "noCounts " << noCounts);
    TPageFormat format;
    format.KeySize = 8;
    format.NoCounts = noCounts;
    TPage leaf;
    TPage root;
    std::vector<uint8_t> leafFile(kPageBytes, 0xEE);
    std::vector<uint8_t> rootFile(kPageBytes, 0xEE);
    leaf.Reset(1, 3, format);
    root.Reset(1, 4, format);
    root.SetPageType(kPageRootBranch);
    std::vector<uint8_t> key(8, 0);
    root.InsertEntry(0, key.data(), 3, 0);
    for (int i = 0; i < leaf.Capacity(); ++i) {
      key[6] = static_cast<uint8_t>(i >> 8);
      key[7] = static_cast<uint8_t>(i);
      leaf.InsertEntry(i, key.data(), i + 1, 0);
      root.SetCount(0, i + 1);
      WriteAndCompare(leaf, leafFile, false, " append " + std::to_string(i));
      WriteAndCompare(root, rootFile, false, " append " + std::to_string(i));
      if (testing::Test::HasFatalFailure()) return;
      // After the first write the leaf's bytes from its entry count up to
      // the new entry and the root's one entry reach the file.
      if (i > 0) {
        EXPECT_EQ(leaf.EncodedChangeFrom(), 1);
        EXPECT_EQ(leaf.EncodedChangeTo(), kPageHeaderBytes + (i + 1) * 12);
        EXPECT_EQ(root.EncodedChangeFrom(), kPageHeaderBytes);
        EXPECT_EQ(root.EncodedChangeTo(), kPageHeaderBytes + (noCounts ? 12 : 16));
      }
    }
  }
}

}  // namespace
}  // namespace rudira
