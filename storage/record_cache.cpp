#include "storage/record_cache.h"

#include <algorithm>
#include <cassert>

namespace rudira {

TRecordCache::~TRecordCache() = default;

TRecord* TRecordCache::Insert(std::unique_ptr<TRecord> record) {
  record->cache_ = this;
  if (record->Modified()) NoteModified(record->RecordNo());
  return TSortedMruList::Insert(std::move(record));
}

void TRecordCache::InsertSorted(std::vector<std::unique_ptr<TRecord>> records) {
  if (records.empty()) return;
  const auto byNumber = [](const std::unique_ptr<TRecord>& a, const std::unique_ptr<TRecord>& b) {
    return a->RecordNo() < b->RecordNo();
  };
  assert(std::is_sorted(records.begin(), records.end(), byNumber));
  const size_t oldCount = sorted_.size();
  for (auto& record : records) {
    record->cache_ = this;
    if (record->Modified()) NoteModified(record->RecordNo());
    LinkFront(record.get());
    sorted_.push_back(std::move(record));
  }
  std::inplace_merge(sorted_.begin(), sorted_.begin() + static_cast<ptrdiff_t>(oldCount), sorted_.end(), byNumber);
}

std::vector<std::unique_ptr<TRecord>> TRecordCache::TakeCleanVictims(size_t count) {
  std::vector<std::unique_ptr<TRecord>> victims;
  if (count == 0) return victims;
  std::vector<TRecord*> chosen;
  for (TRecord* r = HeldTailEnd(); r != nullptr && chosen.size() < count; r = r->mruPrev_) {
    if (!r->Modified() && !r->Pinned()) chosen.push_back(r);
    else if (chosen.empty()) ExtendHeldTail(r);
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

std::vector<TRecord*> TRecordCache::ModifiedUnpinned() {
  std::sort(modifiedNumbers_.begin(), modifiedNumbers_.end());
  modifiedNumbers_.erase(std::unique(modifiedNumbers_.begin(), modifiedNumbers_.end()), modifiedNumbers_.end());
  std::vector<TRecord*> result;
  size_t kept = 0;
  for (const int32_t n : modifiedNumbers_) {
    TRecord* r = Peek(n);
    if (r == nullptr || !r->Modified()) continue;
    // Still listed: the caller writes it back, or it is pinned and waits.
    modifiedNumbers_[kept++] = n;
    if (!r->Pinned()) result.push_back(r);
  }
  modifiedNumbers_.resize(kept);
  return result;
}

bool TRecordCache::AnyModified() const {
  return std::any_of(modifiedNumbers_.begin(), modifiedNumbers_.end(), [this](int32_t n) {
    const TRecord* r = Peek(n);
    return r != nullptr && r->Modified();
  });
}

void TRecordCache::Clear() {
  ForgetHeldRun();
  mruHead_ = nullptr;
  mruTail_ = nullptr;
  for (auto& r : sorted_) {
    assert(!r->Pinned());
    stack_.Push(std::move(r));
  }
  sorted_.clear();
  modifiedNumbers_.clear();
}

}  // namespace rudira
