#include "storage/record_cache.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace rudira {

TRecordCache::~TRecordCache() = default;

TRecord* TRecordCache::Insert(std::unique_ptr<TRecord> record) {
  record->cache_ = this;
  if (record->Modified()) NoteModified(record->RecordNo());
  return TNumberedMruList::Insert(std::move(record));
}

void TRecordCache::InsertSorted(std::vector<std::unique_ptr<TRecord>> records) {
  assert(std::is_sorted(records.begin(), records.end(),
                        [](const auto& a, const auto& b) { return a->RecordNo() < b->RecordNo(); }));
  for (auto& record : records) Insert(std::move(record));
}

std::vector<std::unique_ptr<TRecord>> TRecordCache::TakeCleanVictims(size_t count) {
  std::vector<std::unique_ptr<TRecord>> victims;
  if (count == 0) return victims;
  std::vector<TRecord*> chosen;
  for (TRecord* r = HeldTailEnd(); r != nullptr && chosen.size() < count; r = r->mruPrev_) {
    if (!r->Modified() && !r->Pinned()) chosen.push_back(r);
    else if (chosen.empty()) ExtendHeldTail(r);
  }
  victims.reserve(chosen.size());
  for (TRecord* r : chosen) victims.push_back(Remove(r));
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
  items_.TakeAll([this](std::unique_ptr<TRecord> r) {
    assert(!r->Pinned());
    stack_.Push(std::move(r));
  });
  modifiedNumbers_.clear();
  run_.Count = 0;
}

const uint8_t* TRecordCache::RunRecord(int32_t recordNo, size_t recordSize) const {
  if (recordNo < run_.First || recordNo - run_.First >= run_.Count) return nullptr;
  return run_.Bytes.data() + static_cast<size_t>(recordNo - run_.First) * recordSize;
}

void TRecordCache::NoteWritten(int32_t first, const uint8_t* bytes, int32_t count, size_t recordSize) {
  const int32_t from = std::max(first, run_.First);
  const int32_t to = std::min(first + count, run_.First + run_.Count);
  if (from >= to) return;
  std::memcpy(run_.Bytes.data() + static_cast<size_t>(from - run_.First) * recordSize,
              bytes + static_cast<size_t>(from - first) * recordSize, static_cast<size_t>(to - from) * recordSize);
}

}  // namespace rudira
