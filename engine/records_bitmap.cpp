#include "engine/records_bitmap.h"

#include <algorithm>
#include <bit>
#include <cassert>

namespace rudira {

namespace {

// Set bits of a word, without the library call that std::popcount becomes
// on processors the build does not assume to count bits.
inline uint32_t Bits(uint32_t word) {
  word = word - ((word >> 1) & 0x55555555u);
  word = (word & 0x33333333u) + ((word >> 2) & 0x33333333u);
  word = (word + (word >> 4)) & 0x0F0F0F0Fu;
  return (word * 0x01010101u) >> 24;
}

}  // namespace

void TRecordsBitmap::ZeroWords(uint32_t first, uint32_t end) {
  if (first < end) std::fill(words_.begin() + first, words_.begin() + end, 0u);
}

TRecordsBitmap& TRecordsBitmap::operator=(const TRecordsBitmap& other) {
  if (this == &other) return *this;
  ZeroWords(spanFirst_, spanEnd_);
  if (other.wordCount_ > words_.size()) {
    const size_t granules = (other.wordCount_ + kGranuleWords - 1) / kGranuleWords;
    words_.resize(granules * kGranuleWords, 0);
  }
  std::copy(other.words_.begin() + other.spanFirst_, other.words_.begin() + other.spanEnd_,
            words_.begin() + other.spanFirst_);
  wordCount_ = other.wordCount_;
  spanFirst_ = other.spanFirst_;
  spanEnd_ = other.spanEnd_;
  return *this;
}

void TRecordsBitmap::SetSize(uint32_t size) {
  const uint32_t newWords = static_cast<uint32_t>((static_cast<uint64_t>(size) + 31) / 32);
  if (newWords > words_.size()) {
    const size_t granules = (newWords + kGranuleWords - 1) / kGranuleWords;
    words_.resize(granules * kGranuleWords, 0);
  }
  // Words dropped from the logical size are cleared so that a later growth
  // brings in zeros.
  if (newWords < spanEnd_) {
    ZeroWords(std::max(newWords, spanFirst_), spanEnd_);
    spanEnd_ = newWords;
    if (spanFirst_ >= spanEnd_) spanFirst_ = spanEnd_ = 0;
  }
  wordCount_ = newWords;
}

void TRecordsBitmap::SetAll() {
  std::fill(words_.begin(), words_.begin() + wordCount_, 0xFFFFFFFFu);
  spanFirst_ = 0;
  spanEnd_ = wordCount_;
}

void TRecordsBitmap::ClearAll() {
  ZeroWords(spanFirst_, spanEnd_);
  spanFirst_ = spanEnd_ = 0;
}

uint32_t TRecordsBitmap::Count() const {
  uint32_t count = 0;
  for (uint32_t i = spanFirst_; i < spanEnd_; ++i) count += Bits(words_[i]);
  return count;
}

uint32_t TRecordsBitmap::CountBefore(uint32_t n) const {
  if (n <= 1) return 0;
  if (n > Size()) return Count();
  const uint32_t bit = n - 1;  // bits 0 .. bit - 1 count
  uint32_t count = 0;
  const uint32_t whole = std::min(bit / 32, spanEnd_);
  for (uint32_t i = spanFirst_; i < whole; ++i) count += Bits(words_[i]);
  const uint32_t rest = bit % 32;
  if (rest != 0) count += Bits(words_[bit / 32] & ((1u << rest) - 1));
  return count;
}

uint32_t TRecordsBitmap::NextSet(uint32_t from) const {
  if (from < 1) from = 1;
  if (from > Size()) return 0;
  uint32_t bit = from - 1;
  uint32_t word = bit / 32;
  if (word >= spanEnd_) return 0;
  uint32_t bits = 0;
  if (word < spanFirst_) {
    word = spanFirst_;
    bits = words_[word];
  } else {
    bits = words_[word] & (0xFFFFFFFFu << (bit % 32));
  }
  while (bits == 0) {
    if (++word >= spanEnd_) return 0;
    bits = words_[word];
  }
  return word * 32 + static_cast<uint32_t>(std::countr_zero(bits)) + 1;
}

uint32_t TRecordsBitmap::PriorSet(uint32_t from) const {
  if (from < 1 || spanFirst_ == spanEnd_) return 0;
  if (from > Size()) from = Size();
  const uint32_t bit = from - 1;
  int64_t word = bit / 32;
  if (word < spanFirst_) return 0;
  uint32_t bits = 0;
  if (word >= spanEnd_) {
    word = spanEnd_ - 1;
    bits = words_[word];
  } else {
    const uint32_t shift = 31 - bit % 32;
    bits = (words_[word] << shift) >> shift;  // bits 0 .. bit % 32
  }
  while (bits == 0) {
    if (--word < static_cast<int64_t>(spanFirst_)) return 0;
    bits = words_[word];
  }
  return static_cast<uint32_t>(word) * 32 + 31 - static_cast<uint32_t>(std::countl_zero(bits)) + 1;
}

void TRecordsBitmap::And(const TRecordsBitmap& other) {
  assert(other.wordCount_ == wordCount_);
  // Outside the other's span the result is 0.
  const uint32_t first = std::max(spanFirst_, other.spanFirst_);
  const uint32_t end = std::min(spanEnd_, other.spanEnd_);
  if (first >= end) {
    ClearAll();
    return;
  }
  ZeroWords(spanFirst_, first);
  ZeroWords(end, spanEnd_);
  for (uint32_t i = first; i < end; ++i) words_[i] &= other.words_[i];
  spanFirst_ = first;
  spanEnd_ = end;
}

void TRecordsBitmap::Or(const TRecordsBitmap& other) {
  assert(other.wordCount_ == wordCount_);
  const uint32_t end = std::min(other.spanEnd_, wordCount_);
  if (other.spanFirst_ >= end) return;
  for (uint32_t i = other.spanFirst_; i < end; ++i) words_[i] |= other.words_[i];
  Widen(other.spanFirst_);
  Widen(end - 1);
}

void TRecordsBitmap::Invert() {
  for (uint32_t i = 0; i < wordCount_; ++i) words_[i] = ~words_[i];
  spanFirst_ = 0;
  spanEnd_ = wordCount_;
}

bool TRecordsBitmap::operator==(const TRecordsBitmap& other) const {
  if (wordCount_ != other.wordCount_) return false;
  const uint32_t first = std::min(spanFirst_, other.spanFirst_);
  const uint32_t end = std::max(spanEnd_, other.spanEnd_);
  for (uint32_t i = first; i < end; ++i) {
    if (words_[i] != other.words_[i]) return false;
  }
  return true;
}

namespace {

struct BitmapPool {
  std::recursive_mutex lock;
  std::vector<std::unique_ptr<TRecordsBitmap>> spare;
};

BitmapPool& Pool() {
  static BitmapPool* pool = new BitmapPool;  // lives to process end, usable from any destructor
  return *pool;
}

}  // namespace

std::unique_ptr<TRecordsBitmap> TRecordsBitmapStack::Take(uint32_t size) {
  std::unique_ptr<TRecordsBitmap> bitmap;
  {
    BitmapPool& pool = Pool();
    std::lock_guard guard(pool.lock);
    if (!pool.spare.empty()) {
      bitmap = std::move(pool.spare.back());
      pool.spare.pop_back();
    }
  }
  if (!bitmap) bitmap = std::make_unique<TRecordsBitmap>();
  bitmap->SetSize(0);
  bitmap->SetSize(size);
  return bitmap;
}

void TRecordsBitmapStack::Return(std::unique_ptr<TRecordsBitmap> bitmap) {
  if (!bitmap) return;
  BitmapPool& pool = Pool();
  std::lock_guard guard(pool.lock);
  if (pool.spare.size() < kMaxSpare) pool.spare.push_back(std::move(bitmap));
}

size_t TRecordsBitmapStack::SpareCount() {
  BitmapPool& pool = Pool();
  std::lock_guard guard(pool.lock);
  return pool.spare.size();
}

}  // namespace rudira
