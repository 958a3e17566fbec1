#include "engine/records_bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

namespace rudira {
namespace {

// The model: a plain vector of flags, index n - 1 for record n.
struct Model {
  std::vector<bool> bits;
  uint32_t Count() const { return static_cast<uint32_t>(std::count(bits.begin(), bits.end(), true)); }
  uint32_t CountBefore(uint32_t n) const {
    uint32_t count = 0;
    for (uint32_t i = 1; i < n && i <= bits.size(); ++i) count += bits[i - 1];
    return count;
  }
  uint32_t Next(uint32_t from) const {
    for (uint32_t n = std::max<uint32_t>(from, 1); n <= bits.size(); ++n) {
      if (bits[n - 1]) return n;
    }
    return 0;
  }
  uint32_t Prior(uint32_t from) const {
    for (uint32_t n = std::min<uint32_t>(from, static_cast<uint32_t>(bits.size())); n >= 1; --n) {
      if (bits[n - 1]) return n;
    }
    return 0;
  }
};

void ExpectSame(const TRecordsBitmap& bitmap, const Model& model) {
  ASSERT_EQ(bitmap.Size(), model.bits.size());
  for (uint32_t n = 1; n <= bitmap.Size(); ++n) ASSERT_EQ(bitmap.Test(n), model.bits[n - 1]) << n;
  EXPECT_EQ(bitmap.Count(), model.Count());
}

TEST(RecordsBitmapTest, SizeRoundsUpToWholeWords) {
  TRecordsBitmap bitmap(1);
  EXPECT_EQ(bitmap.Size(), 32u);
  bitmap.SetSize(33);
  EXPECT_EQ(bitmap.Size(), 64u);
  bitmap.SetSize(0);
  EXPECT_EQ(bitmap.Size(), 0u);
  EXPECT_EQ(bitmap.NextSet(1), 0u);
  EXPECT_EQ(bitmap.PriorSet(5), 0u);
  EXPECT_EQ(bitmap.Count(), 0u);
}

TEST(RecordsBitmapTest, RandomOperationsAgreeWithAFlagVector) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 20; ++round) {
    const uint32_t size = 32 * (1 + random() % 40);
    TRecordsBitmap bitmap(size);
    Model model{std::vector<bool>(size, false)};
    // Dense and sparse rounds: full and empty words get skipped both ways.
    const uint32_t density = 1 + random() % 100;
    for (int step = 0; step < 2000; ++step) {
      const uint32_t n = 1 + random() % size;
      switch (random() % 10) {
        case 0: case 1: case 2:
          if (random() % 100 < density) {
            bitmap.Set(n);
            model.bits[n - 1] = true;
          } else {
            bitmap.Clear(n);
            model.bits[n - 1] = false;
          }
          break;
        case 3:
          ASSERT_EQ(bitmap.CountBefore(n), model.CountBefore(n)) << n;
          break;
        case 4:
          ASSERT_EQ(bitmap.NextSet(n), model.Next(n)) << n;
          break;
        case 5:
          ASSERT_EQ(bitmap.PriorSet(n), model.Prior(n)) << n;
          break;
        case 6: {
          // The other's bits lie in a window of the size: AND and OR meet
          // bits on both sides of it.
          TRecordsBitmap other(size);
          Model otherModel{std::vector<bool>(size, false)};
          const uint32_t from = 1 + random() % size;
          const uint32_t to = std::min<uint32_t>(size, from + static_cast<uint32_t>(random() % size));
          for (uint32_t k = from; k <= to; ++k) {
            if (random() % 100 < density) {
              other.Set(k);
              otherModel.bits[k - 1] = true;
            }
          }
          const bool useAnd = random() % 2 == 0;
          if (useAnd) bitmap.And(other);
          else bitmap.Or(other);
          for (uint32_t k = 0; k < size; ++k) {
            model.bits[k] = useAnd ? (model.bits[k] && otherModel.bits[k]) : (model.bits[k] || otherModel.bits[k]);
          }
          break;
        }
        case 7: {
          // Copied into a bitmap of another size with bits of its own, and
          // carried on as the copy.
          TRecordsBitmap copy(32 * (1 + random() % 60));
          for (int k = 0; k < 20; ++k) copy.Set(1 + random() % copy.Size());
          copy = bitmap;
          ExpectSame(copy, model);
          ASSERT_TRUE(copy == bitmap);
          bitmap = std::move(copy);
          break;
        }
        case 8:
          if (random() % 20 == 0) {
            bitmap.ClearAll();
            model.bits.assign(size, false);
          }
          break;
        default:
          ASSERT_EQ(bitmap.Test(n), model.bits[n - 1]);
          break;
      }
    }
    ExpectSame(bitmap, model);
    EXPECT_EQ(bitmap.CountBefore(size + 1), model.Count());
    EXPECT_EQ(bitmap.PriorSet(size + 100), model.Prior(size));
    bitmap.Invert();
    for (uint32_t k = 0; k < size; ++k) model.bits[k] = !model.bits[k];
    ExpectSame(bitmap, model);
    bitmap.ClearAll();
    EXPECT_EQ(bitmap.Count(), 0u);
    EXPECT_EQ(bitmap.NextSet(1), 0u);
    bitmap.SetAll();
    EXPECT_EQ(bitmap.Count(), size);
  }
}

TEST(RecordsBitmapTest, ResizeKeepsBitsInsideAndClearsBitsOutside) {
  TRecordsBitmap bitmap(100);
  bitmap.Set(3);
  bitmap.Set(100);
  bitmap.SetSize(40);  // 64 records
  EXPECT_TRUE(bitmap.Test(3));
  bitmap.SetSize(4000);
  EXPECT_TRUE(bitmap.Test(3));
  EXPECT_FALSE(bitmap.Test(100));
  EXPECT_EQ(bitmap.Count(), 1u);
  EXPECT_EQ(bitmap.NextSet(4), 0u);
}

TEST(RecordsBitmapTest, PoolHandsOutClearBitmapsAndKeepsAtMost64) {
  std::vector<std::unique_ptr<TRecordsBitmap>> taken;
  for (int i = 0; i < 70; ++i) {
    taken.push_back(TRecordsBitmapStack::Take(64));
    taken.back()->SetAll();
  }
  for (auto& bitmap : taken) TRecordsBitmapStack::Return(std::move(bitmap));
  EXPECT_EQ(TRecordsBitmapStack::SpareCount(), TRecordsBitmapStack::kMaxSpare);
  std::unique_ptr<TRecordsBitmap> again = TRecordsBitmapStack::Take(96);
  EXPECT_EQ(again->Size(), 96u);
  EXPECT_EQ(again->Count(), 0u);
  TRecordsBitmapStack::Return(std::move(again));
}

}  // namespace
}  // namespace rudira
