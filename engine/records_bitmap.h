// TRecordsBitmap: a set of physical record numbers, one bit each.
//
// Record number n (1-based) is bit (n - 1) % 32 of word (n - 1) / 32, least
// significant bit first. The logical size is rounded up to a multiple of 32
// bits; the word storage grows in 256-byte granules (64 words) so that
// resizing a bitmap that follows a growing table rarely reallocates. Bits at
// or beyond the logical size are always 0.
//
// The bitmap serves filter results, ranges, a cursor's view and record-lock
// bookkeeping. Scans skip whole words that are all zeros (or all ones when
// looking for a clear bit) 32 record numbers at a time.
//
// The bitmap also keeps the span of words that may hold set bits
// (every word outside [spanFirst_, spanEnd_) is 0). Clearing, counting,
// scanning, AND and copying touch only the span, so a bitmap holding a few
// record numbers of a large table (a one-key filter result, the view it
// leaves) costs by its span, not by the table's size.
//
// A bitmap is used by one thread at a time; TRecordsBitmapStack, the
// process-wide pool of spare bitmaps, is guarded by its own lock.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace rudira {

class TRecordsBitmap {
 public:
  TRecordsBitmap() = default;
  explicit TRecordsBitmap(uint32_t size) { SetSize(size); }
  TRecordsBitmap(const TRecordsBitmap& other) = default;
  TRecordsBitmap(TRecordsBitmap&& other) noexcept = default;
  // Copies only the other's span into storage already allocated.
  TRecordsBitmap& operator=(const TRecordsBitmap& other);
  TRecordsBitmap& operator=(TRecordsBitmap&& other) noexcept = default;

  // Sets the logical size to `size` records (rounded up to a multiple of 32).
  // Bits of record numbers that stay inside keep their value; new bits are 0.
  void SetSize(uint32_t size);
  // The logical size in records (a multiple of 32).
  uint32_t Size() const { return wordCount_ * 32; }

  // REQUIRES for the next three: 1 <= n <= Size(). Inline: index scans set
  // one bit per entry.
  bool Test(uint32_t n) const {
    assert(n >= 1 && n <= Size());
    return (words_[(n - 1) / 32] >> ((n - 1) % 32)) & 1u;
  }
  void Set(uint32_t n) {
    assert(n >= 1 && n <= Size());
    const uint32_t w = (n - 1) / 32;
    words_[w] |= 1u << ((n - 1) % 32);
    Widen(w);
  }
  void Clear(uint32_t n) {
    assert(n >= 1 && n <= Size());
    words_[(n - 1) / 32] &= ~(1u << ((n - 1) % 32));
  }

  // Sets or clears every bit of the logical size.
  void SetAll();
  void ClearAll();

  // The number of set bits.
  uint32_t Count() const;
  // The number of set bits for record numbers below n: the 0-based position
  // of n among the selected records. n beyond Size() counts all bits.
  uint32_t CountBefore(uint32_t n) const;

  // The first set record number >= from (>= 1), or 0 when there is none.
  uint32_t NextSet(uint32_t from) const;
  // The last set record number <= from, or 0 when there is none; from beyond
  // Size() starts at the last bit.
  uint32_t PriorSet(uint32_t from) const;

  // this := this AND other, this := this OR other, this := NOT this.
  // REQUIRES: other.Size() == Size().
  void And(const TRecordsBitmap& other);
  void Or(const TRecordsBitmap& other);
  void Invert();

  bool operator==(const TRecordsBitmap& other) const;

 private:
  static constexpr size_t kGranuleWords = 64;  // 256 bytes

  // Takes word w into the span.
  void Widen(uint32_t w) {
    if (spanFirst_ == spanEnd_) {
      spanFirst_ = w;
      spanEnd_ = w + 1;
    } else {
      if (w < spanFirst_) spanFirst_ = w;
      if (w >= spanEnd_) spanEnd_ = w + 1;
    }
  }
  // Zeroes words [first, end) (end exclusive) of the storage.
  void ZeroWords(uint32_t first, uint32_t end);

  uint32_t wordCount_ = 0;       // logical size in 32-bit words
  std::vector<uint32_t> words_;  // capacity in granules; words beyond wordCount_ are 0
  // Words that may be non-zero: [spanFirst_, spanEnd_), empty when equal
  // (then both 0). spanEnd_ <= wordCount_.
  uint32_t spanFirst_ = 0;
  uint32_t spanEnd_ = 0;
};

// The process-wide pool of spare bitmaps. Keeps up to kMaxSpare returned
// bitmaps; one returned beyond that is freed. Guarded by its own lock.
class TRecordsBitmapStack {
 public:
  static constexpr size_t kMaxSpare = 64;

  // A bitmap of logical size `size`, all bits clear.
  static std::unique_ptr<TRecordsBitmap> Take(uint32_t size);
  // Hands a bitmap back to the pool (null is ignored).
  static void Return(std::unique_ptr<TRecordsBitmap> bitmap);
  // The number of spare bitmaps held (for tests and diagnostics).
  static size_t SpareCount();
};

}  // namespace rudira
