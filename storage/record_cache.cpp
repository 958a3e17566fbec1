#include "storage/record_cache.h"

#include <algorithm>
#include <cassert>

namespace rudira {

TRecordCache::~TRecordCache() = default;

void TRecordCache::InsertSorted(std::vector<std::unique_ptr<TRecord>> records) {
  if (records.empty()) return;
  const auto byNumber = [](const std::unique_ptr<TRecord>& a, const std::unique_ptr<TRecord>& b) {
    return a->RecordNo() < b->RecordNo();
  };
  assert(std::is_sorted(records.begin(), records.end(), byNumber));
  const size_t oldCount = sorted_.size();
  for (auto& record : records) {
    LinkFront(record.get());
    sorted_.push_back(std::move(record));
  }
  std::inplace_merge(sorted_.begin(), sorted_.begin() + static_cast<ptrdiff_t>(oldCount), sorted_.end(), byNumber);
}

std::vector<std::unique_ptr<TRecord>> TRecordCache::TakeCleanVictims(size_t count) {
  std::vector<std::unique_ptr<TRecord>> victims;
  if (count == 0) return victims;
  std::vector<TRecord*> chosen;
  for (TRecord* r = mruTail_; r != nullptr && chosen.size() < count; r = r->mruPrev_) {
    if (!r->Modified() && !r->Pinned()) chosen.push_back(r);
  }
  if (chosen.empty()) return victims;
  for (TRecord* r : chosen) {
    Unlink(r);
    r->evicting_ = true;
  }
  // One compaction pass moves the chosen records out of the sorted list.
  size_t kept = 0;
  for (size_t i = 0; i < sorted_.size(); ++i) {
    if (sorted_[i]->evicting_) {
      sorted_[i]->evicting_ = false;
      victims.push_back(std::move(sorted_[i]));
    } else {
      if (kept != i) sorted_[kept] = std::move(sorted_[i]);
      ++kept;
    }
  }
  sorted_.resize(kept);
  return victims;
}

std::vector<TRecord*> TRecordCache::ModifiedUnpinned() const {
  std::vector<TRecord*> result;
  for (const auto& r : sorted_) {
    if (r->Modified() && !r->Pinned()) result.push_back(r.get());
  }
  return result;
}

void TRecordCache::Clear() {
  mruHead_ = nullptr;
  mruTail_ = nullptr;
  for (auto& r : sorted_) {
    assert(!r->Pinned());
    stack_.Push(std::move(r));
  }
  sorted_.clear();
}

}  // namespace rudira
