#include "storage/block_cache.h"

#include <algorithm>
#include <cassert>

namespace rudira {

TBlockCache::~TBlockCache() = default;

size_t TBlockCache::LowerBound(int32_t blockNo) const {
  const auto it = std::lower_bound(sorted_.begin(), sorted_.end(), blockNo,
                                   [](const std::unique_ptr<TBlock>& b, int32_t n) { return b->BlockNo() < n; });
  return static_cast<size_t>(it - sorted_.begin());
}

void TBlockCache::Unlink(TBlock* block) {
  if (block->mruPrev_ != nullptr) block->mruPrev_->mruNext_ = block->mruNext_;
  else mruHead_ = block->mruNext_;
  if (block->mruNext_ != nullptr) block->mruNext_->mruPrev_ = block->mruPrev_;
  else mruTail_ = block->mruPrev_;
  block->mruPrev_ = nullptr;
  block->mruNext_ = nullptr;
}

void TBlockCache::LinkFront(TBlock* block) {
  block->mruPrev_ = nullptr;
  block->mruNext_ = mruHead_;
  if (mruHead_ != nullptr) mruHead_->mruPrev_ = block;
  mruHead_ = block;
  if (mruTail_ == nullptr) mruTail_ = block;
}

TBlock* TBlockCache::Find(int32_t blockNo) {
  TBlock* probe = mruHead_;
  for (size_t i = 0; i < kBlockMruProbeCount && probe != nullptr; ++i, probe = probe->mruNext_) {
    if (probe->BlockNo() == blockNo) {
      ++mruHits_;
      if (probe != mruHead_) {
        Unlink(probe);
        LinkFront(probe);
      }
      return probe;
    }
  }
  const size_t at = LowerBound(blockNo);
  if (at == sorted_.size() || sorted_[at]->BlockNo() != blockNo) {
    ++misses_;
    return nullptr;
  }
  ++searchHits_;
  TBlock* found = sorted_[at].get();
  Unlink(found);
  LinkFront(found);
  return found;
}

TBlock* TBlockCache::Peek(int32_t blockNo) const {
  const size_t at = LowerBound(blockNo);
  if (at == sorted_.size() || sorted_[at]->BlockNo() != blockNo) return nullptr;
  return sorted_[at].get();
}

TBlock* TBlockCache::Insert(std::unique_ptr<TBlock> block) {
  const size_t at = LowerBound(block->BlockNo());
  assert(at == sorted_.size() || sorted_[at]->BlockNo() != block->BlockNo());
  TBlock* raw = block.get();
  sorted_.insert(sorted_.begin() + static_cast<ptrdiff_t>(at), std::move(block));
  LinkFront(raw);
  return raw;
}

std::unique_ptr<TBlock> TBlockCache::Remove(TBlock* block) {
  const size_t at = LowerBound(block->BlockNo());
  assert(at < sorted_.size() && sorted_[at].get() == block);
  Unlink(block);
  std::unique_ptr<TBlock> owned = std::move(sorted_[at]);
  sorted_.erase(sorted_.begin() + static_cast<ptrdiff_t>(at));
  return owned;
}

void TBlockCache::Discard(TBlock* block) { stack_.Push(Remove(block)); }

TBlock* TBlockCache::LeastRecentlyUsedClean() const {
  for (TBlock* b = mruTail_; b != nullptr; b = b->mruPrev_) {
    if (!b->Modified() && !b->Pinned()) return b;
  }
  return nullptr;
}

std::vector<TBlock*> TBlockCache::ModifiedBlocks() const {
  std::vector<TBlock*> result;
  for (const auto& b : sorted_) {
    if (b->Modified()) result.push_back(b.get());
  }
  return result;
}

bool TBlockCache::AnyModified() const {
  return std::any_of(sorted_.begin(), sorted_.end(), [](const auto& b) { return b->Modified(); });
}

bool TBlockCache::AnyPinned() const {
  return std::any_of(sorted_.begin(), sorted_.end(), [](const auto& b) { return b->Pinned(); });
}

void TBlockCache::Clear() {
  std::vector<std::unique_ptr<TBlock>> kept;
  for (auto& b : sorted_) {
    b->mruPrev_ = nullptr;
    b->mruNext_ = nullptr;
    if (b->Pinned()) {
      kept.push_back(std::move(b));
    } else {
      stack_.Push(std::move(b));
    }
  }
  sorted_ = std::move(kept);
  mruHead_ = nullptr;
  mruTail_ = nullptr;
  for (auto& b : sorted_) LinkFront(b.get());
}

void TBlockCache::ShrinkTo(size_t limit) {
  while (sorted_.size() > limit) {
    TBlock* victim = LeastRecentlyUsedClean();
    if (victim == nullptr) return;
    Discard(victim);
  }
}

}  // namespace rudira
