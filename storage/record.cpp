#include "storage/record.h"

#include <cassert>
#include <cstring>

#include "storage/record_cache.h"

namespace rudira {

void TRecord::Reset(TDataFile* file, int32_t recordNo, size_t size) {
  const size_t capacity = (size + kRecordAllocationGranule - 1) / kRecordAllocationGranule * kRecordAllocationGranule;
  if (data_.size() < capacity) data_.resize(capacity);
  std::memset(data_.data(), 0, data_.size());
  file_ = file;
  cache_ = nullptr;
  recordNo_ = recordNo;
  size_ = size;
  modified_ = false;
  pinCount_ = 0;
  heldRun_ = false;
  mruPrev_ = nullptr;
  mruNext_ = nullptr;
}

void TRecord::SetModified(bool value) {
  if (value && !modified_ && cache_ != nullptr) cache_->NoteModified(recordNo_);
  const bool released = !value && modified_ && pinCount_ == 0;
  modified_ = value;
  if (released && cache_ != nullptr) cache_->NoteEvictable(this);
}

void TRecord::Unpin() {
  assert(pinCount_ > 0);
  if (pinCount_ > 0 && --pinCount_ == 0 && !modified_ && cache_ != nullptr) cache_->NoteEvictable(this);
}

std::unique_ptr<TRecord> TRecordStack::Pop() {
  if (spare_.empty()) return std::make_unique<TRecord>();
  std::unique_ptr<TRecord> record = std::move(spare_.back());
  spare_.pop_back();
  return record;
}

void TRecordStack::Push(std::unique_ptr<TRecord> record) {
  if (spare_.size() < kRecordStackLimit) spare_.push_back(std::move(record));
}

}  // namespace rudira
