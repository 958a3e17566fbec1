// TIndexPageCache: the cached pages of one index slot.
//
// Pages are kept in a list sorted by page number and in a most-recently-used
// list. A lookup checks the two most recently used pages first, then
// binary-searches. The cache holds up to Limit() pages; when every cached
// page is pinned the owner grows the limit (by 4) instead of evicting. The
// cache owns its pages; evicted pages go to the shared TPageStack.
//
// The victim is the least recently used clean unpinned page, except that the
// index's root page is passed over while any other page could go: every key
// search starts at the root, and with the default room of two pages a tree of
// three levels would otherwise read the root, a branch and a leaf again on
// every search (each evicting the page the next search needs first).
//
// Not thread-safe: used under the table's lock by its index file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "storage/index_page.h"

namespace rudira {

class TIndexPageCache {
 public:
  explicit TIndexPageCache(TPageStack& stack) : stack_(stack) {}
  ~TIndexPageCache();
  TIndexPageCache(const TIndexPageCache&) = delete;
  TIndexPageCache& operator=(const TIndexPageCache&) = delete;

  // The cached page pageNo, made the most recently used; nullptr on a miss.
  TPage* Find(int32_t pageNo);
  // Adds `page` (its number not cached yet) as the most recently used.
  TPage* Add(std::unique_ptr<TPage> page);
  // A page object for a new entry: a spare one while Count() < Limit(),
  // else the least recently used clean unpinned page other than page
  // `root` (taken out of the cache), else page `root` when it is clean and
  // unpinned; nullptr when there is none. `root` 0 spares nothing.
  std::unique_ptr<TPage> TakeVictim(int32_t root = 0);
  // Takes page pageNo out of the cache (for reuse); nullptr if not cached.
  std::unique_ptr<TPage> Remove(int32_t pageNo);

  // Every cached page, in page-number order.
  const std::vector<std::unique_ptr<TPage>>& Pages() const { return pages_; }
  // Whether any cached page is modified and not pinned.
  bool HasWritablePages() const;
  // Whether any cached page is modified.
  bool AnyModified() const;
  // Called when page pageNo becomes modified (TPage::SetModified).
  void NoteModified(int32_t pageNo) { modifiedPageNumbers_.push_back(pageNo); }
  // The modified pages (pinned ones too) in page-number order. Costs the
  // number of pages modified since the last call, not the size of the cache.
  std::vector<TPage*> ModifiedPages();
  // Called when a listed page becomes neither modified nor pinned
  // (TPage::SetModified, Unpin): when it is in the remembered run of held
  // pages at the tail, the run is cut below it.
  void NoteEvictable(TPage* page);

  int Limit() const { return limit_; }
  void SetLimit(int limit) { limit_ = limit < 1 ? 1 : limit; }
  void Grow(int pages) { limit_ += pages; }
  size_t Count() const { return pages_.size(); }

  // Drops every page (modified ones too).
  void DropAll();
  // Drops least recently used clean unpinned pages down to Limit().
  void Shrink();
  // Moves every page to another slot number.
  void Renumber(int slot);

 private:
  void Unlink(TPage* page);
  void LinkFront(TPage* page);
  std::unique_ptr<TPage> Extract(size_t index);
  size_t IndexOf(int32_t pageNo) const;  // lower bound in pages_

  TPageStack& stack_;                          // spare pages shared by the file
  std::vector<std::unique_ptr<TPage>> pages_;  // sorted by page number
  TPage* mruHead_ = nullptr;                   // most recently used
  TPage* mruTail_ = nullptr;                   // least recently used
  // The run of modified or pinned pages at the tail that the last victim
  // search passed, so that the next one starts above it (inside a
  // transaction nothing modified is evicted and such pages gather there).
  // heldTail_ is the run's top (nearest the head). Invariant: when not null,
  // heldTail_ is listed, and it and every page after it (towards the tail)
  // is modified or pinned and has heldRun_ set; no other page has.
  TPage* heldTail_ = nullptr;
  // Numbers of pages that became modified, possibly repeated or stale (a
  // page written back, dropped or reused since); every modified cached page
  // is listed. ModifiedPages sorts it and drops the stale ones.
  std::vector<int32_t> modifiedPageNumbers_;
  // The cached page pageNo, without touching the use order; nullptr if none.
  TPage* Peek(int32_t pageNo) const;
  int limit_ = 2;                              // pages held before reuse
};

}  // namespace rudira
