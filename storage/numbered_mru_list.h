// TNumberedMruList: the core shared by the record cache of a data file
// (storage/record_cache.h) and the block cache of a BLOB file
// (storage/block_cache.h).
//
// Items live in a table keyed by number (open addressing, so that lookup,
// insertion and removal cost O(1) however many items a large cache holds)
// and in a most-recently-used list threaded through the items themselves. A
// lookup checks the four most recently used items before searching, because
// cursors revisit the record they are on and BLOB chains are walked block by
// block. Sorted() lists the items in number order when an owner needs it
// (writing back, sorting).
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

// Most recently used items a lookup checks before the table search.
constexpr size_t kMruProbeCount = 4;

// Owns items by number: open addressing with linear probing, at most half
// full, removal by backward shift (no tombstones), so that a table that
// keeps changing never slows down. Iteration order is unspecified.
template <typename T, int32_t (T::*NumberOf)() const>
class TNumberTable {
 public:
  size_t Size() const { return size_; }

  T* Find(int32_t n) const {
    if (size_ == 0) return nullptr;
    for (size_t i = Home(n);; i = (i + 1) & mask_) {
      T* item = slots_[i].get();
      if (item == nullptr) return nullptr;
      if ((item->*NumberOf)() == n) return item;
    }
  }

  // REQUIRES: no item with the same number is held.
  T* Insert(std::unique_ptr<T> item) {
    if ((size_ + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? kInitialSlots : slots_.size() * 2);
    T* raw = item.get();
    size_t i = Home((raw->*NumberOf)());
    while (slots_[i] != nullptr) {
      assert((slots_[i].get()->*NumberOf)() != (raw->*NumberOf)());
      i = (i + 1) & mask_;
    }
    slots_[i] = std::move(item);
    ++size_;
    return raw;
  }

  // Takes `item` out. REQUIRES: it is held.
  std::unique_ptr<T> Remove(const T* item) {
    size_t hole = Home((item->*NumberOf)());
    while (slots_[hole].get() != item) {
      assert(slots_[hole] != nullptr);
      hole = (hole + 1) & mask_;
    }
    std::unique_ptr<T> owned = std::move(slots_[hole]);
    --size_;
    // Backward shift: an item further along the probe run moves into the
    // hole when its home lies at or before the hole, so that every item
    // stays reachable from its home without gaps.
    for (size_t j = (hole + 1) & mask_; slots_[j] != nullptr; j = (j + 1) & mask_) {
      const size_t home = Home((slots_[j].get()->*NumberOf)());
      if (((j - home) & mask_) >= ((j - hole) & mask_)) {
        slots_[hole] = std::move(slots_[j]);
        hole = j;
      }
    }
    return owned;
  }

  template <typename F>
  void ForEach(F f) const {
    if (size_ == 0) return;
    for (const auto& slot : slots_) {
      if (slot != nullptr) f(slot.get());
    }
  }
  template <typename F>
  bool Any(F f) const {
    if (size_ == 0) return false;
    for (const auto& slot : slots_) {
      if (slot != nullptr && f(slot.get())) return true;
    }
    return false;
  }

  // Hands every item to `take` (as std::unique_ptr<T>) and empties the table.
  template <typename F>
  void TakeAll(F take) {
    if (size_ == 0) return;
    for (auto& slot : slots_) {
      if (slot != nullptr) take(std::move(slot));
    }
    size_ = 0;
  }

  // The items in number order.
  std::vector<T*> Sorted() const {
    std::vector<T*> items;
    items.reserve(size_);
    ForEach([&](T* item) { items.push_back(item); });
    std::sort(items.begin(), items.end(), [](const T* a, const T* b) { return (a->*NumberOf)() < (b->*NumberOf)(); });
    return items;
  }

 private:
  static constexpr size_t kInitialSlots = 16;

  // Fibonacci hashing spreads consecutive numbers over the whole table.
  size_t Home(int32_t n) const {
    return static_cast<size_t>((static_cast<uint64_t>(static_cast<uint32_t>(n)) * 0x9E3779B97F4A7C15ull) >> shift_) &
           mask_;
  }

  void Rehash(size_t slotCount) {
    std::vector<std::unique_ptr<T>> old = std::move(slots_);
    slots_.clear();
    slots_.resize(slotCount);
    mask_ = slotCount - 1;
    int bits = 0;
    while ((size_t{1} << bits) < slotCount) ++bits;
    shift_ = 64 - bits;
    size_ = 0;
    for (auto& item : old) {
      if (item == nullptr) continue;
      size_t i = Home((item.get()->*NumberOf)());
      while (slots_[i] != nullptr) i = (i + 1) & mask_;
      slots_[i] = std::move(item);
      ++size_;
    }
  }

  std::vector<std::unique_ptr<T>> slots_;  // power-of-two many, null = free
  size_t mask_ = 0;                        // slots_.size() − 1
  int shift_ = 63;                         // 64 − log2(slots_.size())
  size_t size_ = 0;                        // items held
};

template <typename T, typename Stack, int32_t (T::*NumberOf)() const>
class TNumberedMruList {
 public:
  explicit TNumberedMruList(Stack& stack) : stack_(stack) {}
  TNumberedMruList(const TNumberedMruList&) = delete;
  TNumberedMruList& operator=(const TNumberedMruList&) = delete;

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
    T* found = items_.Find(n);
    if (found == nullptr) {
      ++misses_;
      return nullptr;
    }
    ++searchHits_;
    Unlink(found);
    LinkFront(found);
    return found;
  }

  // The item numbered n without touching the use order.
  T* Peek(int32_t n) const { return items_.Find(n); }

  // Adds `item` as the most recently used. REQUIRES: its number is not listed.
  T* Insert(std::unique_ptr<T> item) {
    T* raw = items_.Insert(std::move(item));
    LinkFront(raw);
    return raw;
  }

  // Takes `item` out of the list and returns it to the caller.
  std::unique_ptr<T> Remove(T* item) {
    Unlink(item);
    return items_.Remove(item);
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
    return items_.Any([](const T* item) { return item->Modified(); });
  }

  // Drops least recently used clean, unpinned items until at most `limit`
  // remain (or none of that kind is left).
  void ShrinkTo(size_t limit) {
    while (items_.Size() > limit) {
      T* victim = LeastRecentlyUsedClean();
      if (victim == nullptr) return;
      Discard(victim);
    }
  }

  size_t Count() const { return items_.Size(); }
  size_t Capacity() const { return capacity_; }
  void SetCapacity(size_t capacity) { capacity_ = capacity; }
  bool Full() const { return items_.Size() >= capacity_; }

  // The items in number order (O(n log n): for writing back and sorting).
  std::vector<T*> Sorted() const { return items_.Sorted(); }

  // Lookup counters, for tests and tuning: hits among the four most recently
  // used, hits found by the table search, misses.
  uint64_t MruHits() const { return mruHits_; }
  uint64_t SearchHits() const { return searchHits_; }
  uint64_t Misses() const { return misses_; }

 protected:
  ~TNumberedMruList() = default;

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
  TNumberTable<T, NumberOf> items_;         // owned items by number
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
