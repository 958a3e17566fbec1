#include "storage/record_cache.h"

#include <algorithm>
#include <cassert>

namespace rudira {

TRecordCache::~TRecordCache() = default;

size_t TRecordCache::LowerBound(int32_t recordNo) const {
  const auto it = std::lower_bound(sorted_.begin(), sorted_.end(), recordNo,
                                   [](const std::unique_ptr<TRecord>& r, int32_t n) { return r->RecordNo() < n; });
  return static_cast<size_t>(it - sorted_.begin());
}

void TRecordCache::Unlink(TRecord* record) {
  if (record->mruPrev_ != nullptr) record->mruPrev_->mruNext_ = record->mruNext_;
  else mruHead_ = record->mruNext_;
  if (record->mruNext_ != nullptr) record->mruNext_->mruPrev_ = record->mruPrev_;
  else mruTail_ = record->mruPrev_;
  record->mruPrev_ = nullptr;
  record->mruNext_ = nullptr;
}

void TRecordCache::LinkFront(TRecord* record) {
  record->mruPrev_ = nullptr;
  record->mruNext_ = mruHead_;
  if (mruHead_ != nullptr) mruHead_->mruPrev_ = record;
  mruHead_ = record;
  if (mruTail_ == nullptr) mruTail_ = record;
}

TRecord* TRecordCache::Find(int32_t recordNo) {
  TRecord* probe = mruHead_;
  for (size_t i = 0; i < kMruProbeCount && probe != nullptr; ++i, probe = probe->mruNext_) {
    if (probe->RecordNo() == recordNo) {
      ++mruHits_;
      if (probe != mruHead_) {
        Unlink(probe);
        LinkFront(probe);
      }
      return probe;
    }
  }
  const size_t at = LowerBound(recordNo);
  if (at == sorted_.size() || sorted_[at]->RecordNo() != recordNo) {
    ++misses_;
    return nullptr;
  }
  ++searchHits_;
  TRecord* found = sorted_[at].get();
  Unlink(found);
  LinkFront(found);
  return found;
}

TRecord* TRecordCache::Peek(int32_t recordNo) const {
  const size_t at = LowerBound(recordNo);
  if (at == sorted_.size() || sorted_[at]->RecordNo() != recordNo) return nullptr;
  return sorted_[at].get();
}

TRecord* TRecordCache::Insert(std::unique_ptr<TRecord> record) {
  const size_t at = LowerBound(record->RecordNo());
  assert(at == sorted_.size() || sorted_[at]->RecordNo() != record->RecordNo());
  TRecord* raw = record.get();
  sorted_.insert(sorted_.begin() + static_cast<ptrdiff_t>(at), std::move(record));
  LinkFront(raw);
  return raw;
}

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

std::unique_ptr<TRecord> TRecordCache::Remove(TRecord* record) {
  const size_t at = LowerBound(record->RecordNo());
  assert(at < sorted_.size() && sorted_[at].get() == record);
  Unlink(record);
  std::unique_ptr<TRecord> owned = std::move(sorted_[at]);
  sorted_.erase(sorted_.begin() + static_cast<ptrdiff_t>(at));
  return owned;
}

void TRecordCache::Discard(TRecord* record) { stack_.Push(Remove(record)); }

TRecord* TRecordCache::LeastRecentlyUsedClean() const {
  for (TRecord* r = mruTail_; r != nullptr; r = r->mruPrev_) {
    if (!r->Modified() && !r->Pinned()) return r;
  }
  return nullptr;
}

std::vector<TRecord*> TRecordCache::ModifiedUnpinned() const {
  std::vector<TRecord*> result;
  for (const auto& r : sorted_) {
    if (r->Modified() && !r->Pinned()) result.push_back(r.get());
  }
  return result;
}

bool TRecordCache::AnyModified() const {
  return std::any_of(sorted_.begin(), sorted_.end(), [](const auto& r) { return r->Modified(); });
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

void TRecordCache::ShrinkTo(size_t limit) {
  while (sorted_.size() > limit) {
    TRecord* victim = LeastRecentlyUsedClean();
    if (victim == nullptr) return;
    Discard(victim);
  }
}

}  // namespace rudira
