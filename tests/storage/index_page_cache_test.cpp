// TIndexPageCache victim choice when modified and pinned pages gather at the
// least recently used end, as they do inside a transaction.
#include <gtest/gtest.h>

#include <memory>

#include "storage/index_page.h"
#include "storage/index_page_cache.h"

namespace rudira {
namespace {

std::unique_ptr<TPage> MakePage(int32_t pageNo) {
  TPageFormat format;
  format.KeySize = 4;
  auto page = std::make_unique<TPage>();
  page->Reset(0, pageNo, format);
  return page;
}

// Page pageNo of the cache without touching the use order.
TPage* Listed(const TIndexPageCache& cache, int32_t pageNo) {
  for (const auto& page : cache.Pages()) {
    if (page->PageNumber() == pageNo) return page.get();
  }
  return nullptr;
}

TEST(IndexPageCache, HeldPagesAtTheTailAreTakenOnceReleased) {
  TPageStack stack;
  TIndexPageCache cache(stack);
  cache.SetLimit(5);
  for (int32_t n = 1; n <= 5; ++n) cache.Add(MakePage(n));
  for (int32_t n : {1, 2, 3, 4, 5}) cache.Find(n)->SetModified(true);
  cache.Find(2)->Pin();  // from the least recent: 1 3 4 5 2
  EXPECT_EQ(cache.TakeVictim(), nullptr);
  EXPECT_EQ(cache.TakeVictim(), nullptr);

  cache.Find(3)->SetModified(false);  // written back; now the most recent
  std::unique_ptr<TPage> victim = cache.TakeVictim();
  ASSERT_NE(victim, nullptr);
  EXPECT_EQ(victim->PageNumber(), 3);
  cache.SetLimit(4);  // full again with 1 4 5 2
  EXPECT_EQ(cache.TakeVictim(), nullptr);
  Listed(cache, 2)->Unpin();  // still modified
  EXPECT_EQ(cache.TakeVictim(), nullptr);

  // Removing the page nearest the head of the remembered run keeps the rest
  // of the run, and a page added later is found.
  ASSERT_NE(cache.Remove(2), nullptr);
  cache.Add(MakePage(6));
  victim = cache.TakeVictim();
  ASSERT_NE(victim, nullptr);
  EXPECT_EQ(victim->PageNumber(), 6);
  cache.Add(std::move(victim));
  Listed(cache, 1)->SetModified(false);
  victim = cache.TakeVictim();
  ASSERT_NE(victim, nullptr);
  EXPECT_EQ(victim->PageNumber(), 1);
}

TEST(IndexPageCache, TheRootGoesOnlyWhenNoOtherPageCan) {
  TPageStack stack;
  TIndexPageCache cache(stack);
  cache.SetLimit(3);
  for (int32_t n = 1; n <= 3; ++n) cache.Add(MakePage(n));  // least recent first: 1 2 3
  std::unique_ptr<TPage> victim = cache.TakeVictim(1);
  ASSERT_NE(victim, nullptr);
  EXPECT_EQ(victim->PageNumber(), 2);  // page 1, least recent, is the root
  cache.Add(std::move(victim));        // 1 3 2

  // With the other pages held the root is taken after all, and a held page
  // above it stays findable as a victim once it is released.
  Listed(cache, 3)->SetModified(true);
  Listed(cache, 2)->Pin();
  victim = cache.TakeVictim(1);
  ASSERT_NE(victim, nullptr);
  EXPECT_EQ(victim->PageNumber(), 1);
  cache.Add(MakePage(4));  // 3 2 4
  Listed(cache, 4)->Pin();
  EXPECT_EQ(cache.TakeVictim(4), nullptr);
  Listed(cache, 3)->SetModified(false);
  victim = cache.TakeVictim(4);
  ASSERT_NE(victim, nullptr);
  EXPECT_EQ(victim->PageNumber(), 3);
  Listed(cache, 2)->Unpin();

  // Without a root to spare, plain least recently used order.
  cache.Add(std::move(victim));  // 2 4 3
  victim = cache.TakeVictim();
  ASSERT_NE(victim, nullptr);
  EXPECT_EQ(victim->PageNumber(), 2);
}

}  // namespace
}  // namespace rudira
