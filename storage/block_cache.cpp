#include "storage/block_cache.h"

#include <algorithm>
#include <cassert>

namespace rudira {

TBlockCache::~TBlockCache() = default;

std::vector<TBlock*> TBlockCache::ModifiedBlocks() const {
  std::vector<TBlock*> result;
  for (const auto& b : sorted_) {
    if (b->Modified()) result.push_back(b.get());
  }
  return result;
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

}  // namespace rudira
