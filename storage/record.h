// TRecord: one cached record of a data file; TRecordStack: spare TRecord
// objects kept for reuse.
//
// A TRecord belongs to the record cache of one TDataFile, which owns it and
// decides when it is written back or reused. Its bytes are the record exactly
// as stored (storage/record_layout.h), unscrambled. A record with a pin count
// above 0 is held by a user and is never evicted; a modified record is
// written back before its slot in the cache is reused.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace rudira {

class TDataFile;
class TRecordCache;
template <typename T, typename Stack, int32_t (T::*NumberOf)() const>
class TNumberedMruList;

constexpr size_t kRecordAllocationGranule = 64;
constexpr size_t kRecordStackLimit = 64;

class TRecord {
 public:
  TRecord() = default;
  TRecord(const TRecord&) = delete;
  TRecord& operator=(const TRecord&) = delete;

  // Makes room for `size` bytes (allocated in granules of 64 bytes) and
  // zeroes them. Earlier contents are not kept.
  void Reset(TDataFile* file, int32_t recordNo, size_t size);

  TDataFile* File() const { return file_; }
  int32_t RecordNo() const { return recordNo_; }
  uint8_t* Data() { return data_.data(); }
  const uint8_t* Data() const { return data_.data(); }
  size_t Size() const { return size_; }
  // Bytes allocated; a multiple of 64.
  size_t Capacity() const { return data_.size(); }

  bool Modified() const { return modified_; }
  // Setting the flag tells the cache listing the record, which keeps the numbers
  // of modified records so that writing them back never walks the whole
  // cache.
  void SetModified(bool value);

  // A pinned record stays in the cache (and its Data() valid) until unpinned.
  void Pin() { ++pinCount_; }
  // REQUIRES: Pinned().
  void Unpin();
  bool Pinned() const { return pinCount_ > 0; }
  int PinCount() const { return pinCount_; }

 private:
  template <typename T, typename Stack, int32_t (T::*NumberOf)() const>
  friend class TNumberedMruList;
  friend class TRecordCache;

  TDataFile* file_ = nullptr;     // the data file whose cache holds it
  TRecordCache* cache_ = nullptr; // the cache it was inserted in; null after Reset
  bool modified_ = false;         // bytes differ from the file
  int pinCount_ = 0;              // users holding it
  int32_t recordNo_ = 0;          // 1-based physical record number
  size_t size_ = 0;               // record size in use
  std::vector<uint8_t> data_;     // the bytes, capacity in 64-byte granules
  TRecord* mruPrev_ = nullptr;    // towards the most recently used end
  TRecord* mruNext_ = nullptr;    // towards the least recently used end
  bool evicting_ = false;         // chosen for removal in a cache compaction
  bool heldRun_ = false;          // in the cache's run of held records at its tail
};

// Up to 64 spare records, so that a busy cache does not reallocate. Not
// thread-safe: it belongs to one data file, used under the table's lock.
class TRecordStack {
 public:
  // A record ready for Reset: a spare one if any, else a new one.
  std::unique_ptr<TRecord> Pop();
  // Keeps `record` for reuse, or frees it when 64 are kept already.
  void Push(std::unique_ptr<TRecord> record);
  size_t Count() const { return spare_.size(); }

 private:
  std::vector<std::unique_ptr<TRecord>> spare_;  // at most kRecordStackLimit
};

}  // namespace rudira
