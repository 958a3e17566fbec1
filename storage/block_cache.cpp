#include "storage/block_cache.h"

#include <algorithm>
#include <cassert>

namespace rudira {

TBlockCache::~TBlockCache() = default;

std::vector<TBlock*> TBlockCache::ModifiedBlocks() const {
  std::vector<TBlock*> result;
  for (TBlock* b : Sorted()) {
    if (b->Modified()) result.push_back(b);
  }
  return result;
}

bool TBlockCache::AnyPinned() const {
  return items_.Any([](const TBlock* b) { return b->Pinned(); });
}

void TBlockCache::Clear() {
  std::vector<std::unique_ptr<TBlock>> kept;
  items_.TakeAll([&](std::unique_ptr<TBlock> b) {
    b->mruPrev_ = nullptr;
    b->mruNext_ = nullptr;
    if (b->Pinned()) {
      kept.push_back(std::move(b));
    } else {
      stack_.Push(std::move(b));
    }
  });
  mruHead_ = nullptr;
  mruTail_ = nullptr;
  for (auto& b : kept) LinkFront(items_.Insert(std::move(b)));
}

}  // namespace rudira
