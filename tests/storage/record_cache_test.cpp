// TRecordCache and TRecordStack without a file: lookup order, eviction
// choice, batched inserts, the spare-record limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "storage/record.h"
#include "storage/record_cache.h"

namespace rudira {
namespace {

std::unique_ptr<TRecord> MakeRecord(int32_t n, size_t size = 20) {
  auto record = std::make_unique<TRecord>();
  record->Reset(nullptr, n, size);
  return record;
}

std::vector<int32_t> Numbers(const TRecordCache& cache) {
  std::vector<int32_t> numbers;
  for (const auto& r : cache.Records()) numbers.push_back(r->RecordNo());
  return numbers;
}

TEST(Record, BytesComeInGranulesOf64AndStartZeroed) {
  TRecord record;
  record.Reset(nullptr, 3, 65);
  EXPECT_EQ(record.Capacity(), 128u);
  EXPECT_EQ(record.Size(), 65u);
  record.Data()[64] = 7;
  record.Reset(nullptr, 4, 10);
  EXPECT_EQ(record.Capacity(), 128u);  // kept for reuse
  EXPECT_EQ(record.Data()[64], 0);
  EXPECT_EQ(record.RecordNo(), 4);
}

TEST(RecordStack, KeepsAtMost64Spares) {
  TRecordStack stack;
  for (int i = 0; i < 70; ++i) stack.Push(MakeRecord(i));
  EXPECT_EQ(stack.Count(), 64u);
  TRecord* raw = stack.Pop().release();
  EXPECT_EQ(stack.Count(), 63u);
  delete raw;
}

TEST(RecordCache, KeepsRecordsSortedAndFindsRecentOnesFirst) {
  TRecordStack stack;
  TRecordCache cache(stack);
  for (int32_t n : {5, 1, 9, 3, 7}) cache.Insert(MakeRecord(n));
  EXPECT_EQ(Numbers(cache), (std::vector<int32_t>{1, 3, 5, 7, 9}));
  // The four most recently used are 7, 3, 9, 1: found without searching.
  for (int32_t n : {7, 3, 9, 1}) ASSERT_NE(cache.Find(n), nullptr);
  EXPECT_EQ(cache.MruHits(), 4u);
  EXPECT_EQ(cache.SearchHits(), 0u);
  ASSERT_NE(cache.Find(5), nullptr);  // the fifth: by binary search
  EXPECT_EQ(cache.SearchHits(), 1u);
  EXPECT_EQ(cache.Find(4), nullptr);
  EXPECT_EQ(cache.Misses(), 1u);
}

TEST(RecordCache, EvictsLeastRecentlyUsedCleanUnpinnedRecords) {
  TRecordStack stack;
  TRecordCache cache(stack);
  for (int32_t n = 1; n <= 5; ++n) cache.Insert(MakeRecord(n));
  cache.Peek(1)->SetModified(true);
  cache.Peek(2)->Pin();
  EXPECT_EQ(cache.LeastRecentlyUsedClean()->RecordNo(), 3);
  cache.Find(3);  // now the most recent
  std::vector<int32_t> taken;
  for (auto& r : cache.TakeCleanVictims(2)) taken.push_back(r->RecordNo());
  std::sort(taken.begin(), taken.end());
  EXPECT_EQ(taken, (std::vector<int32_t>{4, 5}));
  EXPECT_EQ(Numbers(cache), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(cache.TakeCleanVictims(5).size(), 1u);  // only 3 is left to take
  EXPECT_EQ(Numbers(cache), (std::vector<int32_t>{1, 2}));
  std::vector<TRecord*> modified = cache.ModifiedUnpinned();
  ASSERT_EQ(modified.size(), 1u);
  EXPECT_EQ(modified[0]->RecordNo(), 1);
  cache.Peek(2)->Unpin();
  cache.ShrinkTo(1);
  EXPECT_EQ(Numbers(cache), (std::vector<int32_t>{1}));  // the modified record stays
}

TEST(RecordCache, BatchedInsertsMergeIntoOrderAndBecomeRecent) {
  TRecordStack stack;
  TRecordCache cache(stack);
  for (int32_t n : {2, 6}) cache.Insert(MakeRecord(n));
  std::vector<std::unique_ptr<TRecord>> run;
  for (int32_t n : {3, 4, 5, 7}) run.push_back(MakeRecord(n));
  cache.InsertSorted(std::move(run));
  EXPECT_EQ(Numbers(cache), (std::vector<int32_t>{2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(cache.LeastRecentlyUsedClean()->RecordNo(), 2);
  for (int32_t n : {7, 5, 4, 3}) EXPECT_NE(cache.Find(n), nullptr);
  EXPECT_EQ(cache.MruHits(), 4u);
  cache.Clear();
  EXPECT_EQ(cache.Count(), 0u);
  EXPECT_EQ(stack.Count(), 6u);
}

}  // namespace
}  // namespace rudira

namespace rudira {
namespace {

TEST(RecordCache, ModifiedRecordsAreListedOnceUntilWrittenAndWaitWhilePinned) {
  TRecordStack stack;
  TRecordCache cache(stack);
  for (int32_t n = 1; n <= 6; ++n) cache.Insert(MakeRecord(n));
  EXPECT_FALSE(cache.AnyModified());
  for (int32_t n : {5, 2, 5}) cache.Peek(n)->SetModified(true);
  cache.Peek(4)->SetModified(true);
  cache.Peek(4)->Pin();
  auto numbers = [](const std::vector<TRecord*>& records) {
    std::vector<int32_t> result;
    for (const TRecord* r : records) result.push_back(r->RecordNo());
    return result;
  };
  EXPECT_TRUE(cache.AnyModified());
  std::vector<TRecord*> modified = cache.ModifiedUnpinned();
  EXPECT_EQ(numbers(modified), (std::vector<int32_t>{2, 5}));
  for (TRecord* r : modified) r->SetModified(false);  // written back
  cache.Peek(2)->SetModified(true);                   // and changed again
  EXPECT_EQ(numbers(cache.ModifiedUnpinned()), (std::vector<int32_t>{2}));
  cache.Peek(2)->SetModified(false);
  cache.Peek(4)->Unpin();
  EXPECT_EQ(numbers(cache.ModifiedUnpinned()), (std::vector<int32_t>{4}));

  // A record taken out and reused under another number is not listed by
  // its old number; a record inserted modified is.
  cache.Peek(4)->SetModified(false);
  cache.Peek(6)->SetModified(true);
  std::unique_ptr<TRecord> taken = cache.Remove(cache.Peek(6));
  taken->Reset(nullptr, 9, 20);
  taken->SetModified(true);
  cache.Insert(std::move(taken));
  EXPECT_EQ(numbers(cache.ModifiedUnpinned()), (std::vector<int32_t>{9}));
  cache.Clear();
  EXPECT_FALSE(cache.AnyModified());
}

// A walk that found only held records at the tail starts above them next
// time; records of that run becoming clean or unpinned must be found again.
TEST(RecordCache, HeldRecordsAtTheTailAreFoundAgainOnceReleased) {
  TRecordStack stack;
  TRecordCache cache(stack);
  for (int32_t n = 1; n <= 6; ++n) cache.Insert(MakeRecord(n));  // 1 is the least recent
  for (int32_t n : {1, 2, 3}) cache.Peek(n)->SetModified(true);
  cache.Peek(4)->Pin();
  ASSERT_EQ(cache.LeastRecentlyUsedClean()->RecordNo(), 5);
  cache.Peek(5)->Pin();
  cache.Peek(6)->SetModified(true);
  EXPECT_EQ(cache.LeastRecentlyUsedClean(), nullptr);
  EXPECT_TRUE(cache.TakeCleanVictims(3).empty());

  cache.Peek(2)->SetModified(false);  // written back
  EXPECT_EQ(cache.LeastRecentlyUsedClean()->RecordNo(), 2);
  cache.Find(2);  // the most recent now, and taken out of the run
  EXPECT_EQ(cache.LeastRecentlyUsedClean()->RecordNo(), 2);
  cache.Peek(2)->SetModified(true);
  EXPECT_EQ(cache.LeastRecentlyUsedClean(), nullptr);

  cache.Peek(4)->Pin();   // pinned twice: one unpin leaves it held
  cache.Peek(4)->Unpin();
  EXPECT_EQ(cache.LeastRecentlyUsedClean(), nullptr);
  cache.Peek(4)->Unpin();
  EXPECT_EQ(cache.LeastRecentlyUsedClean()->RecordNo(), 4);

  // Removing the record nearest the head of the remembered run keeps the
  // rest of the run, and what is inserted later is still found.
  cache.Peek(4)->Pin();
  EXPECT_EQ(cache.LeastRecentlyUsedClean(), nullptr);
  cache.Discard(cache.Peek(2));
  EXPECT_EQ(cache.LeastRecentlyUsedClean(), nullptr);
  cache.Insert(MakeRecord(7));
  std::vector<std::unique_ptr<TRecord>> taken = cache.TakeCleanVictims(2);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0]->RecordNo(), 7);
  EXPECT_EQ(Numbers(cache), (std::vector<int32_t>{1, 3, 4, 5, 6}));
  for (int32_t n : {4, 5}) cache.Peek(n)->Unpin();
  EXPECT_EQ(cache.LeastRecentlyUsedClean()->RecordNo(), 4);
}

}  // namespace
}  // namespace rudira
