// TSortedMruList: the core shared by the record cache of a data file
// (storage/record_cache.h) and the block cache of a BLOB file
// (storage/block_cache.h).
//
// Items live in a vector sorted by number (binary search) and in a
// most-recently-used list threaded through the items themselves. A lookup
// checks the four most recently used items before searching, because cursors
// revisit the record they are on and BLOB chains are walked block by block.
//
// The list owns its items; spare items go to the owner's stack (a
// TRecordStack or TBlockStack) for reuse. Capacity is the number of items the
// owner allows before it must reuse or write one; the list never enforces it.
//
// Requirements on T: `int32_t (T::*NumberOf)() const` gives an item's number;
// `Modified()` and `Pinned()`; members `T* mruPrev_` and `T* mruNext_`, which
// only the list touches (T befriends it). Stack: `Push(std::unique_ptr<T>)`.
//
// Finding the least recently used clean item walks from the tail. Inside a
// transaction nothing modified is evicted, so modified items gather at the
// tail and every walk would pass all of them. When T has a member
// `bool heldRun_` (only the list touches it; false for an unlisted item),
// the list remembers the run of held (modified or pinned) items at the tail
// and the next walk starts above it; the owner must then call
// NoteEvictable(item) whenever a listed item stops being both modified or
// pinned, which cuts the run at that item. Each item joins the run once per
// walk that passes it, so the walks cost O(1) amortised.
//
// Header-only so that the lookup inlines into the hot paths of its users.
// Not thread-safe: used under the table's lock.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace rudira {

// Most recently used items a lookup checks before the binary search.
constexpr size_t kMruProbeCount = 4;

template <typename T, typename Stack, int32_t (T::*NumberOf)() const>
class TSortedMruList {
 public:
  explicit TSortedMruList(Stack& stack) : stack_(stack) {}
  TSortedMruList(const TSortedMruList&) = delete;
  TSortedMruList& operator=(const TSortedMruList&) = delete;

  // The item numbered n, made the most recently used; nullptr on a miss.
  T* Find(int32_t n) {
    T* probe = mruHead_;
    for (size_t i = 0; i < kMruProbeCount && probe != nullptr; ++i, probe = probe->mruNext_) {
      if ((probe->*NumberOf)() == n) {
        ++mruHits_;
        if (probe != mruHead_) {
          Unlink(probe);
          LinkFront(probe);
        }
        return probe;
      }
    }
    const size_t at = LowerBound(n);
    if (at == sorted_.size() || (sorted_[at].get()->*NumberOf)() != n) {
      ++misses_;
      return nullptr;
    }
    ++searchHits_;
    T* found = sorted_[at].get();
    Unlink(found);
    LinkFront(found);
    return found;
  }

  // The item numbered n without touching the use order.
  T* Peek(int32_t n) const {
    const size_t at = LowerBound(n);
    if (at == sorted_.size() || (sorted_[at].get()->*NumberOf)() != n) return nullptr;
    return sorted_[at].get();
  }

  // Adds `item` as the most recently used. REQUIRES: its number is not listed.
  T* Insert(std::unique_ptr<T> item) {
    const size_t at = LowerBound((item.get()->*NumberOf)());
    assert(at == sorted_.size() || (sorted_[at].get()->*NumberOf)() != (item.get()->*NumberOf)());
    T* raw = item.get();
    sorted_.insert(sorted_.begin() + static_cast<ptrdiff_t>(at), std::move(item));
    LinkFront(raw);
    return raw;
  }

  // Takes `item` out of the list and returns it to the caller.
  std::unique_ptr<T> Remove(T* item) {
    const size_t at = LowerBound((item->*NumberOf)());
    assert(at < sorted_.size() && sorted_[at].get() == item);
    Unlink(item);
    std::unique_ptr<T> owned = std::move(sorted_[at]);
    sorted_.erase(sorted_.begin() + static_cast<ptrdiff_t>(at));
    return owned;
  }

  // Removes `item` and keeps it in the spare stack.
  void Discard(T* item) { stack_.Push(Remove(item)); }

  // The least recently used item that is neither modified nor pinned.
  T* LeastRecentlyUsedClean() const {
    for (T* item = HeldTailEnd(); item != nullptr; item = item->mruPrev_) {
      if (!item->Modified() && !item->Pinned()) return item;
      ExtendHeldTail(item);
    }
    return nullptr;
  }

  // `item` (listed) may have become neither modified nor pinned: when it is
  // in the remembered run of held items, the run is cut below it.
  void NoteEvictable(T* item) {
    if constexpr (kRemembersHeldRun) {
      if (!item->heldRun_) return;
      T* const top = heldTail_;
      heldTail_ = item->mruNext_;
      for (T* p = item;; p = p->mruPrev_) {
        p->heldRun_ = false;
        if (p == top) break;
      }
    }
  }

  bool AnyModified() const {
    return std::any_of(sorted_.begin(), sorted_.end(), [](const auto& item) { return item->Modified(); });
  }

  // Drops least recently used clean, unpinned items until at most `limit`
  // remain (or none of that kind is left).
  void ShrinkTo(size_t limit) {
    while (sorted_.size() > limit) {
      T* victim = LeastRecentlyUsedClean();
      if (victim == nullptr) return;
      Discard(victim);
    }
  }

  size_t Count() const { return sorted_.size(); }
  size_t Capacity() const { return capacity_; }
  void SetCapacity(size_t capacity) { capacity_ = capacity; }
  bool Full() const { return sorted_.size() >= capacity_; }

  // Lookup counters, for tests and tuning: hits among the four most recently
  // used, hits found by binary search, misses.
  uint64_t MruHits() const { return mruHits_; }
  uint64_t SearchHits() const { return searchHits_; }
  uint64_t Misses() const { return misses_; }

 protected:
  ~TSortedMruList() = default;

  // Index in sorted_ of the first item numbered >= n.
  size_t LowerBound(int32_t n) const {
    const auto it = std::lower_bound(sorted_.begin(), sorted_.end(), n,
                                     [](const std::unique_ptr<T>& item, int32_t v) { return (item.get()->*NumberOf)() < v; });
    return static_cast<size_t>(it - sorted_.begin());
  }

  // Where a walk for a clean item starts: just above the remembered run of
  // held items at the tail, or the tail.
  T* HeldTailEnd() const { return heldTail_ != nullptr ? heldTail_->mruPrev_ : mruTail_; }

  // A walk from HeldTailEnd found `item` held: the run now reaches it.
  void ExtendHeldTail(T* item) const {
    if constexpr (kRemembersHeldRun) {
      item->heldRun_ = true;
      heldTail_ = item;
    }
  }

  // Forgets the run (the items stay listed).
  void ForgetHeldRun() {
    if constexpr (kRemembersHeldRun) {
      for (T* p = heldTail_; p != nullptr; p = p->mruNext_) p->heldRun_ = false;
    }
    heldTail_ = nullptr;
  }

  void Unlink(T* item) {
    // The run stays held without item; when item is its top, the next one
    // towards the tail (or none) is.
    if constexpr (kRemembersHeldRun) {
      if (item == heldTail_) heldTail_ = item->mruNext_;
      item->heldRun_ = false;
    }
    if (item->mruPrev_ != nullptr) item->mruPrev_->mruNext_ = item->mruNext_;
    else mruHead_ = item->mruNext_;
    if (item->mruNext_ != nullptr) item->mruNext_->mruPrev_ = item->mruPrev_;
    else mruTail_ = item->mruPrev_;
    item->mruPrev_ = nullptr;
    item->mruNext_ = nullptr;
  }

  void LinkFront(T* item) {
    item->mruPrev_ = nullptr;
    item->mruNext_ = mruHead_;
    if (mruHead_ != nullptr) mruHead_->mruPrev_ = item;
    mruHead_ = item;
    if (mruTail_ == nullptr) mruTail_ = item;
  }

  static constexpr bool kRemembersHeldRun = requires(T* item) { item->heldRun_ = true; };

  Stack& stack_;                            // spare items of the owning file
  std::vector<std::unique_ptr<T>> sorted_;  // owned items by number
  T* mruHead_ = nullptr;                    // most recently used
  T* mruTail_ = nullptr;                    // least recently used
  size_t capacity_ = 0;                     // items allowed before reuse
  // The top (nearest the head) of the remembered run. Invariant: when not
  // null, heldTail_ is listed, and it and every item after it (towards the
  // tail) is modified or pinned and has heldRun_ set; no other item has.
  mutable T* heldTail_ = nullptr;
  uint64_t mruHits_ = 0;
  uint64_t searchHits_ = 0;
  uint64_t misses_ = 0;
};

}  // namespace rudira
