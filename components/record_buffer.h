// TRecordBuffer: one record buffer of a cursor dataset.
//
//   offset                    width          meaning
//   0                         R              the engine record (R = the cursor's RecordSize)
//   R                         4              sequence number of the record (int32, host order)
//   R + 4                     1              bookmark flag (kBookmarkCurrent, kBookmarkNone, kBookmarkBlock)
//   R + 5                     B              the engine bookmark (B = the cursor's BookmarkSize)
//   R + 5 + B                 C              calculated fields
//
// The layout is in memory only; it never reaches a file.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace rudira {

constexpr uint8_t kBookmarkNone = 0;     // no record read
constexpr uint8_t kBookmarkCurrent = 1;  // the bookmark names the record
constexpr uint8_t kBookmarkBlock = 2;    // served from a block read: no bookmark kept

class TRecordBuffer {
 public:
  TRecordBuffer() = default;
  TRecordBuffer(size_t recordSize, size_t bookmarkSize, size_t calcSize)
      : recordSize_(recordSize), bookmarkSize_(bookmarkSize),
        bytes_(recordSize + 5 + bookmarkSize + calcSize, 0) {}

  uint8_t* Record() { return bytes_.data(); }
  const uint8_t* Record() const { return bytes_.data(); }
  size_t RecordSize() const { return recordSize_; }
  int32_t SequenceNumber() const {
    int32_t n = 0;
    std::memcpy(&n, bytes_.data() + recordSize_, 4);
    return n;
  }
  void SetSequenceNumber(int32_t n) { std::memcpy(bytes_.data() + recordSize_, &n, 4); }
  uint8_t BookmarkFlag() const { return bytes_[recordSize_ + 4]; }
  void SetBookmarkFlag(uint8_t flag) { bytes_[recordSize_ + 4] = flag; }
  uint8_t* Bookmark() { return bytes_.data() + recordSize_ + 5; }
  const uint8_t* Bookmark() const { return bytes_.data() + recordSize_ + 5; }
  size_t BookmarkSize() const { return bookmarkSize_; }
  uint8_t* CalcFields() { return bytes_.data() + recordSize_ + 5 + bookmarkSize_; }
  bool Empty() const { return bytes_.empty(); }

 private:
  size_t recordSize_ = 0;
  size_t bookmarkSize_ = 0;
  std::vector<uint8_t> bytes_;
};

}  // namespace rudira
