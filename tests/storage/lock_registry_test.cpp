// The lock registry with many ranges of one file held at once, as a
// transaction holds one record lock per changed row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "storage/os_lock_registry.h"

namespace rudira {
namespace {

constexpr int64_t kStride = 10;  // range i is [i * 10, i * 10 + 5)
constexpr int64_t kLength = 5;
constexpr int kRanges = 2000;

class LockRegistryTest : public ::testing::Test {
 protected:
  // A key no real file of the test run has (the kernel is never asked:
  // the take and release callbacks stand in for it).
  const TLockRegistry::FileKey key_{static_cast<dev_t>(-7), static_cast<ino_t>(424242)};
  const int ownerA_ = 0;
  const int ownerB_ = 0;
  TLockRegistry& registry_ = TLockRegistry::Instance();

  bool Take(const void* owner, int64_t start, int64_t length) {
    return registry_.Acquire(key_, owner, start, length, [] { return true; });
  }
  bool Give(const void* owner, int64_t start, int64_t length) {
    return registry_.Release(key_, owner, start, length, [] { return true; });
  }

  // Takes the ranges in a shuffled order; returns the starts in that order.
  std::vector<int64_t> TakeShuffled() {
    std::vector<int64_t> starts(kRanges);
    std::iota(starts.begin(), starts.end(), 0);
    std::mt19937 random(7);
    std::shuffle(starts.begin(), starts.end(), random);
    for (int64_t& s : starts) {
      s *= kStride;
      EXPECT_TRUE(Take(&ownerA_, s, kLength)) << s;
    }
    return starts;
  }

  void TearDown() override { registry_.ReleaseAll(key_, &ownerA_), registry_.ReleaseAll(key_, &ownerB_); }
};

TEST_F(LockRegistryTest, RefusesEveryOverlapAndAdmitsTheGaps) {
  TakeShuffled();
  struct Probe {
    int64_t offset;  // from a held range's start
    int64_t length;
    bool admitted;
  };
  const Probe probes[] = {
      {0, 1, false},  {4, 1, false},  {-1, 2, false}, {4, 3, false},  {-2, 14, false},
      {5, 5, true},   {-5, 5, true},  {6, 3, true},   {5, 6, false},  {-6, 2, false},
  };
  bool takeRan = false;
  for (const int64_t base : {int64_t{0}, 990 * kStride, (kRanges - 2) * kStride}) {
    for (const Probe& p : probes) {
      const int64_t start = base + p.offset;
      if (start < 0) continue;
      takeRan = false;
      const bool got = registry_.Acquire(key_, &ownerB_, start, p.length, [&] { return takeRan = true; });
      EXPECT_EQ(got, p.admitted) << base << " + " << p.offset << ", " << p.length;
      EXPECT_EQ(takeRan, p.admitted);
      if (got) EXPECT_TRUE(Give(&ownerB_, start, p.length));
    }
  }
}

TEST_F(LockRegistryTest, ReleasesOnlyTheExactRangeOfItsOwner) {
  TakeShuffled();
  const int64_t s = 1234 * kStride;
  EXPECT_FALSE(Give(&ownerB_, s, kLength));      // another owner
  EXPECT_FALSE(Give(&ownerA_, s, kLength - 1));  // shorter
  EXPECT_FALSE(Give(&ownerA_, s + 1, kLength - 1));
  EXPECT_FALSE(registry_.Release(key_, &ownerA_, s, kLength, [] { return false; }));  // kernel refused
  EXPECT_FALSE(Take(&ownerB_, s, kLength));  // still recorded
  EXPECT_TRUE(Give(&ownerA_, s, kLength));
  EXPECT_FALSE(Give(&ownerA_, s, kLength));
  EXPECT_TRUE(Take(&ownerB_, s, kLength));
  EXPECT_FALSE(Take(&ownerA_, s - 1, 2));  // the neighbours are still held
  EXPECT_FALSE(Take(&ownerA_, s + kStride, 1));
}

TEST_F(LockRegistryTest, HeldListsRangesInTheOrderTheyWereTaken) {
  const std::vector<int64_t> starts = TakeShuffled();
  ASSERT_TRUE(Give(&ownerA_, starts[5], kLength));
  ASSERT_TRUE(Take(&ownerB_, starts[5], kLength));  // now the newest
  const std::vector<LockedRange> held = registry_.Held(key_);
  ASSERT_EQ(held.size(), starts.size());
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    const int64_t expected = starts[i < 5 ? i : i + 1];
    EXPECT_EQ(held[i].Start, expected);
    EXPECT_EQ(held[i].Owner, &ownerA_);
  }
  EXPECT_EQ(held.back().Start, starts[5]);
  EXPECT_EQ(held.back().Owner, &ownerB_);
  EXPECT_EQ(held.back().Length, kLength);

  registry_.ReleaseAll(key_, &ownerA_);
  const std::vector<LockedRange> left = registry_.Held(key_);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].Start, starts[5]);
}

}  // namespace
}  // namespace rudira
