#include "storage/index_page.h"

#include "storage/index_page_cache.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "storage/byte_codec.h"

namespace rudira {

namespace {

// Copies `count` entries of n bytes each from the page's run into slots
// `stride` bytes apart. Every page read decodes all its entries, and most
// keys are short: two overlapping fixed-size copies per entry, chosen once
// for the page, take the place of a library call per entry.
template <int kPart>
void CopyEntriesOf(uint8_t* to, size_t stride, const uint8_t* from, int n, int count) {
  for (int i = 0; i < count; ++i, from += n, to += stride) {
    std::memcpy(to, from, kPart);
    std::memcpy(to + n - kPart, from + n - kPart, kPart);
  }
}

void CopyEntries(uint8_t* to, size_t stride, const uint8_t* from, int n, int count) {
  if (n >= 8 && n <= 16) {
    CopyEntriesOf<8>(to, stride, from, n, count);
  } else if (n >= 4 && n < 8) {
    CopyEntriesOf<4>(to, stride, from, n, count);
  } else if (n > 16 && n <= 32) {
    CopyEntriesOf<16>(to, stride, from, n, count);
  } else {
    for (int i = 0; i < count; ++i, from += n, to += stride) std::memcpy(to, from, static_cast<size_t>(n));
  }
}

// Copies `count` entries of n bytes each from slots `stride` bytes apart
// into one packed run, the reverse of CopyEntries.
template <int kPart>
void PackEntriesOf(uint8_t* to, const uint8_t* from, size_t stride, int n, int count) {
  for (int i = 0; i < count; ++i, to += n, from += stride) {
    std::memcpy(to, from, kPart);
    std::memcpy(to + n - kPart, from + n - kPart, kPart);
  }
}

void PackEntries(uint8_t* to, const uint8_t* from, size_t stride, int n, int count) {
  if (n >= 8 && n <= 16) {
    PackEntriesOf<8>(to, from, stride, n, count);
  } else if (n >= 4 && n < 8) {
    PackEntriesOf<4>(to, from, stride, n, count);
  } else if (n > 16 && n <= 32) {
    PackEntriesOf<16>(to, from, stride, n, count);
  } else {
    for (int i = 0; i < count; ++i, to += n, from += stride) std::memcpy(to, from, static_cast<size_t>(n));
  }
}

constexpr size_t kPageBytes = kPageHeaderBytes + kPageEntryBytes;

}  // namespace

void TPage::Reset(int slot, int32_t pageNo, const TPageFormat& format) {
  slot_ = slot;
  pageNo_ = pageNo;
  format_ = format;
  type_ = kPageLeaf;
  count_ = 0;
  left_ = right_ = 0;
  compressedSize_ = 0;
  modified_ = false;
  pinCount_ = 0;
  freed_ = false;
  heldRun_ = false;
  raw_.clear();
  imageValid_ = false;
  imageOnFile_ = false;
}

void TPage::SetModified(bool value) {
  if (value && !modified_ && cache_ != nullptr) cache_->NoteModified(pageNo_);
  const bool released = !value && modified_ && pinCount_ == 0;
  modified_ = value;
  if (released && cache_ != nullptr) cache_->NoteEvictable(this);
}

void TPage::Reserve(int entries) {
  const size_t need = static_cast<size_t>(entries) * slotSize();
  if (entries_.size() < need) entries_.resize(std::max(need, entries_.size() * 2));
}

int32_t TPage::Value(int i) const { return LoadLE<int32_t>(slot(i) + format_.KeySize); }
void TPage::SetValue(int i, int32_t value) {
  StoreLE<int32_t>(slot(i) + format_.KeySize, value);
  Touch(i);
}
int32_t TPage::Count(int i) const { return LoadLE<int32_t>(slot(i) + format_.KeySize + 4); }
void TPage::SetCount(int i, int32_t count) {
  StoreLE<int32_t>(slot(i) + format_.KeySize + 4, count);
  Touch(i);
}

void TPage::SetKey(int i, const uint8_t* key) {
  std::memcpy(slot(i), key, format_.KeySize);
  Touch(i);
  RecomputeCompressedSize();
  SetModified(true);
}

int TPage::BranchEntrySize() const { return format_.KeySize + (format_.NoCounts ? 4 : 8); }

int TPage::Capacity() const {
  const int entrySize = IsLeaf() ? format_.KeySize + 4 : BranchEntrySize();
  return kPageEntryBytes / entrySize;
}

bool TPage::Overflows() const {
  return IsCompressedLeaf() ? compressedSize_ > kPageEntryBytes : count_ > Capacity();
}

int TPage::CompressibleLength() const { return format_.KeySize - (format_.Unique ? 0 : 4); }

int TPage::EncodedLength(int i) const {
  const uint8_t* s = slot(i);
  const int keySize = format_.KeySize;
  if (format_.Compression == 0) return keySize + 4;
  const int d = s[keySize + 8];
  const int t = s[keySize + 9];
  const int l = CompressibleLength();
  const int header = format_.Compression == 3 ? 2 : 1;
  return header + std::max(0, l - t - d) + (keySize - std::max(d, l)) + 4;
}

int TPage::Recompress(int i) {
  uint8_t* s = slot(i);
  const int keySize = format_.KeySize;
  const uint8_t mode = format_.Compression;
  int d = 0;
  int t = 0;
  if ((mode == 1 || mode == 3) && i > 0) {
    const uint8_t* prev = slot(i - 1);
    while (d < keySize && d < kMaxSharedPrefix && prev[d] == s[d]) ++d;
  }
  if (mode == 2 || mode == 3) {
    const int l = CompressibleLength();
    while (t < l && t < kMaxTrailingZeros && s[l - 1 - t] == 0) ++t;
    // The shared prefix and the trailing zeros never overlap.
    t = std::min(t, l - std::min(d, l));
  }
  s[keySize + 8] = static_cast<uint8_t>(d);
  s[keySize + 9] = static_cast<uint8_t>(t);
  return EncodedLength(i);
}

void TPage::RecomputeCompressedSize() {
  if (!IsCompressedLeaf()) {
    compressedSize_ = 0;
    return;
  }
  int total = 0;
  for (int i = 0; i < count_; ++i) total += Recompress(i);
  compressedSize_ = total;
}

void TPage::InsertEntry(int pos, const uint8_t* key, int32_t value, int32_t count) {
  assert(pos >= 0 && pos <= count_);
  Reserve(count_ + 1);
  const size_t size = slotSize();
  std::memmove(slot(pos + 1), slot(pos), (count_ - pos) * size);
  std::memcpy(slot(pos), key, format_.KeySize);
  ++count_;
  Touch(pos);
  SetValue(pos, value);
  SetCount(pos, count);
  if (IsCompressedLeaf()) {
    if (pos + 1 < count_) compressedSize_ -= EncodedLength(pos + 1);
    compressedSize_ += Recompress(pos);
    if (pos + 1 < count_) compressedSize_ += Recompress(pos + 1);
  }
  SetModified(true);
}

void TPage::DeleteEntry(int pos) {
  assert(pos >= 0 && pos < count_);
  const bool compressed = IsCompressedLeaf();
  if (compressed) {
    compressedSize_ -= EncodedLength(pos);
    if (pos + 1 < count_) compressedSize_ -= EncodedLength(pos + 1);
  }
  std::memmove(slot(pos), slot(pos + 1), (count_ - pos - 1) * static_cast<size_t>(slotSize()));
  --count_;
  Touch(pos);
  if (compressed && pos < count_) compressedSize_ += Recompress(pos);
  SetModified(true);
}

void TPage::MoveTailTo(int from, TPage& to) {
  const int moved = count_ - from;
  if (moved <= 0) return;
  const size_t size = slotSize();
  to.Reserve(to.count_ + moved);
  std::memmove(to.slot(moved), to.slot(0), to.count_ * size);
  std::memcpy(to.slot(0), slot(from), moved * size);
  to.count_ += moved;
  count_ = from;
  Touch(from);
  to.Touch(0);
  RecomputeCompressedSize();
  to.RecomputeCompressedSize();
  SetModified(true);
  to.SetModified(true);
}

void TPage::MoveHeadTo(int count, TPage& to) {
  if (count <= 0) return;
  const size_t size = slotSize();
  to.Reserve(to.count_ + count);
  std::memcpy(to.slot(to.count_), slot(0), count * size);
  to.Touch(to.count_);
  to.count_ += count;
  Touch(0);
  std::memmove(slot(0), slot(count), (count_ - count) * size);
  count_ -= count;
  RecomputeCompressedSize();
  to.RecomputeCompressedSize();
  SetModified(true);
  to.SetModified(true);
}

void TPage::Clear() {
  count_ = 0;
  Touch(0);
  compressedSize_ = 0;
  SetModified(true);
}

int TPage::LowerBound(const TKeyComparer& comparer, const uint8_t* key, int length) const {
  int lo = 0, hi = count_;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (comparer.Compare(Key(mid), key, length) < 0) lo = mid + 1; else hi = mid;
  }
  return lo;
}

int TPage::UpperBound(const TKeyComparer& comparer, const uint8_t* key, int length) const {
  int lo = 0, hi = count_;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (comparer.Compare(Key(mid), key, length) <= 0) lo = mid + 1; else hi = mid;
  }
  return lo;
}

int TPage::ChildPosition(const TKeyComparer& comparer, const uint8_t* key, int length) const {
  return std::max(0, UpperBound(comparer, key, length) - 1);
}

int64_t TPage::CountBefore(int pos) const {
  if (IsLeaf()) return pos;
  // Every descent that positions by ordinal sums a branch page's counts:
  // one stride over the slots' second int32.
  const size_t size = static_cast<size_t>(slotSize());
  const uint8_t* at = entries_.data() + format_.KeySize + 4;
  int64_t sum = 0;
  for (int i = 0; i < pos; ++i, at += size) sum += LoadLE<int32_t>(at);
  return sum;
}

void TPage::SetRaw(const uint8_t* bytes, size_t count) {
  type_ = kPageParameter;
  count_ = 0;
  imageValid_ = false;
  raw_.assign(kPageEntryBytes, 0);
  // An empty parameter may come with no buffer at all: memcpy takes none.
  if (count > 0) std::memcpy(raw_.data(), bytes, std::min<size_t>(count, kPageEntryBytes));
  SetModified(true);
}

void TPage::Unpin() {
  assert(pinCount_ > 0);
  if (--pinCount_ == 0 && !modified_ && cache_ != nullptr) cache_->NoteEvictable(this);
}

void TPage::EncodeTo(uint8_t* buffer) const {
  assert(!Overflows());
  std::memset(buffer, 0, kPageHeaderBytes + kPageEntryBytes);
  buffer[0] = type_;
  StoreLE<uint16_t>(buffer + 1, freed_ ? 0 : static_cast<uint16_t>(count_));
  StoreLE<int32_t>(buffer + 3, left_);
  StoreLE<int32_t>(buffer + 7, right_);
  uint8_t* out = buffer + kPageHeaderBytes;
  if (freed_) return;  // a free page: no entries
  if (type_ == kPageParameter) {
    if (!raw_.empty()) std::memcpy(out, raw_.data(), std::min<size_t>(raw_.size(), kPageEntryBytes));
    return;
  }
  if (Overflows()) return;  // an overflowing page never reaches the file
  const int keySize = format_.KeySize;
  if (!IsLeaf()) {
    for (int i = 0; i < count_; ++i) {
      std::memcpy(out, Key(i), keySize + (format_.NoCounts ? 4 : 8));
      out += BranchEntrySize();
    }
    return;
  }
  if (format_.Compression == 0) {
    for (int i = 0; i < count_; ++i, out += keySize + 4) std::memcpy(out, Key(i), keySize + 4);
    return;
  }
  StoreLE<uint16_t>(buffer + 11, static_cast<uint16_t>(compressedSize_));
  const int l = CompressibleLength();
  for (int i = 0; i < count_; ++i) {
    const uint8_t* s = Key(i);
    const int d = s[keySize + 8];
    const int t = s[keySize + 9];
    if (format_.Compression != 2) *out++ = static_cast<uint8_t>(d);
    if (format_.Compression != 1) *out++ = static_cast<uint8_t>(t);
    const int middle = std::max(0, l - t - d);
    std::memcpy(out, s + d, middle);
    out += middle;
    const int tailStart = std::max(d, l);
    std::memcpy(out, s + tailStart, keySize - tailStart);
    out += keySize - tailStart;
    std::memcpy(out, s + keySize, 4);
    out += 4;
  }
}

const uint8_t* TPage::Encoded() {
  assert(!Overflows());
  if (!image_) image_ = std::make_unique<uint8_t[]>(kPageBytes);
  uint8_t* buffer = image_.get();
  // Until the caller writes these bytes the file holds the previous ones.
  const bool previousOnFile = imageOnFile_;
  imageOnFile_ = false;
  changeFrom_ = 0;
  changeTo_ = static_cast<int>(kPageBytes);
  if (!FixedLayout() || !imageValid_) {
    EncodeTo(buffer);
    imageValid_ = FixedLayout();
    imageClean_ = count_;
    imageEnd_ = imageValid_ ? count_ * FixedEntrySize() : 0;
    return buffer;
  }
  // The header's first 11 bytes are rewritten; bytes 11..12 stay 0 on
  // uncompressed pages.
  uint8_t header[11];
  header[0] = type_;
  StoreLE<uint16_t>(header + 1, static_cast<uint16_t>(count_));
  StoreLE<int32_t>(header + 3, left_);
  StoreLE<int32_t>(header + 7, right_);
  int from = static_cast<int>(kPageBytes);
  int to = 0;
  for (int b = 0; b < 11; ++b) {
    if (header[b] != buffer[b]) {
      from = std::min(from, b);
      to = b + 1;
    }
  }
  std::memcpy(buffer, header, sizeof header);
  const int entrySize = FixedEntrySize();
  const int clean = std::min(imageClean_, count_);
  uint8_t* entries = buffer + kPageHeaderBytes;
  PackEntries(entries + clean * entrySize, slot(clean), static_cast<size_t>(slotSize()), entrySize, count_ - clean);
  const int end = count_ * entrySize;
  if (end < imageEnd_) std::memset(entries + end, 0, static_cast<size_t>(imageEnd_ - end));
  if (clean < count_ || end < imageEnd_) {
    from = std::min(from, kPageHeaderBytes + clean * entrySize);
    to = std::max(to, kPageHeaderBytes + std::max(end, imageEnd_));
  }
  imageEnd_ = end;
  imageClean_ = count_;
  if (previousOnFile) {
    changeFrom_ = from < to ? from : 0;
    changeTo_ = from < to ? to : 0;
  }
  return buffer;
}

void TPage::KeepDecoded(const uint8_t* buffer) {
  if (!image_ || !FixedLayout()) return;
  const int end = count_ * FixedEntrySize();
  if (buffer[11] != 0 || buffer[12] != 0) return;
  const uint8_t* tail = buffer + kPageHeaderBytes + end;
  const uint8_t* const stop = buffer + kPageBytes;
  // The rest of the page must be zero, as this writer leaves it.
  if (tail < stop && (*tail != 0 || std::memcmp(tail, tail + 1, static_cast<size_t>(stop - tail - 1)) != 0)) return;
  std::memcpy(image_.get(), buffer, kPageBytes);
  imageValid_ = true;
  imageOnFile_ = true;
  imageClean_ = count_;
  imageEnd_ = end;
}

bool TPage::DecodeFrom(const uint8_t* buffer) {
  imageValid_ = false;
  imageOnFile_ = false;
  const uint8_t type = buffer[0];
  const int count = LoadLE<uint16_t>(buffer + 1);
  count_ = 0;
  compressedSize_ = 0;
  type_ = type;
  left_ = LoadLE<int32_t>(buffer + 3);
  right_ = LoadLE<int32_t>(buffer + 7);
  const uint8_t* in = buffer + kPageHeaderBytes;
  if (type == kPageParameter) {
    raw_.assign(in, in + kPageEntryBytes);
    return true;
  }
  if (type > kPageRootLeaf) return false;
  const int keySize = format_.KeySize;
  if (keySize <= 0) return false;
  if (!IsLeaf() || format_.Compression == 0) {
    if (count > Capacity()) return false;
    const int entrySize = IsLeaf() ? keySize + 4 : BranchEntrySize();
    Reserve(count);
    const size_t size = static_cast<size_t>(slotSize());
    CopyEntries(entries_.data(), size, in, entrySize, count);
    if (format_.NoCounts && !IsLeaf()) {
      for (int i = 0; i < count; ++i) StoreLE<int32_t>(entries_.data() + i * size + keySize + 4, 0);
    }
    count_ = count;
    KeepDecoded(buffer);
    return true;
  }
  const int size = LoadLE<uint16_t>(buffer + 11);
  if (size > kPageEntryBytes) return false;
  const uint8_t* end = in + size;
  const int l = CompressibleLength();
  Reserve(count);
  for (int i = 0; i < count; ++i) {
    int d = 0, t = 0;
    if (format_.Compression != 2) {
      if (in >= end) return false;
      d = *in++;
    }
    if (format_.Compression != 1) {
      if (in >= end) return false;
      t = *in++;
    }
    if (d > kMaxSharedPrefix || d > keySize || (i == 0 && d != 0) || t > l || (t > 0 && d + t > l)) return false;
    const int middle = std::max(0, l - t - d);
    const int tailStart = std::max(d, l);
    const int written = middle + (keySize - tailStart) + 4;
    if (end - in < written) return false;
    uint8_t* s = slot(i);
    if (d > 0) std::memcpy(s, slot(i - 1), d);
    std::memcpy(s + d, in, middle);
    in += middle;
    if (t > 0) std::memset(s + l - t, 0, t);
    std::memcpy(s + tailStart, in, keySize - tailStart);
    in += keySize - tailStart;
    std::memcpy(s + keySize, in, 4);
    in += 4;
    std::memset(s + keySize + 4, 0, 4);
    count_ = i + 1;
  }
  if (in != end) {
    count_ = 0;
    return false;
  }
  // The d and t bytes are recomputed: another writer's choice may differ but
  // must decode to the same keys; the page re-encodes in this writer's form.
  RecomputeCompressedSize();
  return true;
}

std::unique_ptr<TPage> TPageStack::Pop() {
  if (spare_.empty()) return std::make_unique<TPage>();
  auto page = std::move(spare_.back());
  spare_.pop_back();
  return page;
}

void TPageStack::Push(std::unique_ptr<TPage> page) {
  if (spare_.size() < kLimit) spare_.push_back(std::move(page));
}

}  // namespace rudira
