#include "storage/index_page_cache.h"

#include <algorithm>

namespace rudira {

TIndexPageCache::~TIndexPageCache() = default;

size_t TIndexPageCache::IndexOf(int32_t pageNo) const {
  auto it = std::lower_bound(pages_.begin(), pages_.end(), pageNo,
                             [](const std::unique_ptr<TPage>& p, int32_t n) { return p->PageNumber() < n; });
  return static_cast<size_t>(it - pages_.begin());
}

void TIndexPageCache::Unlink(TPage* page) {
  if (page == heldTail_) heldTail_ = page->mruNext_;  // the rest stays held
  page->heldRun_ = false;
  if (page->mruPrev_) page->mruPrev_->mruNext_ = page->mruNext_; else mruHead_ = page->mruNext_;
  if (page->mruNext_) page->mruNext_->mruPrev_ = page->mruPrev_; else mruTail_ = page->mruPrev_;
  page->mruPrev_ = page->mruNext_ = nullptr;
}

void TIndexPageCache::LinkFront(TPage* page) {
  page->mruPrev_ = nullptr;
  page->mruNext_ = mruHead_;
  if (mruHead_) mruHead_->mruPrev_ = page;
  mruHead_ = page;
  if (!mruTail_) mruTail_ = page;
}

TPage* TIndexPageCache::Find(int32_t pageNo) {
  // The two most recently used pages answer most lookups of a descent.
  TPage* first = mruHead_;
  if (first && first->PageNumber() == pageNo) return first;
  TPage* second = first ? first->mruNext_ : nullptr;
  if (second && second->PageNumber() == pageNo) {
    Unlink(second);
    LinkFront(second);
    return second;
  }
  const size_t i = IndexOf(pageNo);
  if (i >= pages_.size() || pages_[i]->PageNumber() != pageNo) return nullptr;
  TPage* page = pages_[i].get();
  Unlink(page);
  LinkFront(page);
  return page;
}

TPage* TIndexPageCache::Peek(int32_t pageNo) const {
  const size_t i = IndexOf(pageNo);
  if (i >= pages_.size() || pages_[i]->PageNumber() != pageNo) return nullptr;
  return pages_[i].get();
}

TPage* TIndexPageCache::Add(std::unique_ptr<TPage> page) {
  TPage* raw = page.get();
  raw->cache_ = this;
  if (raw->Modified()) NoteModified(raw->PageNumber());
  const size_t i = IndexOf(raw->PageNumber());
  pages_.insert(pages_.begin() + static_cast<std::ptrdiff_t>(i), std::move(page));
  LinkFront(raw);
  return raw;
}

std::unique_ptr<TPage> TIndexPageCache::Extract(size_t index) {
  std::unique_ptr<TPage> page = std::move(pages_[index]);
  pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(index));
  Unlink(page.get());
  page->cache_ = nullptr;
  return page;
}

std::unique_ptr<TPage> TIndexPageCache::TakeVictim(int32_t root) {
  if (static_cast<int>(pages_.size()) < limit_) return stack_.Pop();
  TPage* spared = nullptr;  // the clean unpinned root, passed over
  for (TPage* p = heldTail_ != nullptr ? heldTail_->mruPrev_ : mruTail_; p; p = p->mruPrev_) {
    if (!p->Modified() && !p->Pinned()) {
      if (p->PageNumber() != root) return Extract(IndexOf(p->PageNumber()));
      spared = p;
      continue;
    }
    // The held run only grows while it stays contiguous from the tail: a
    // spared root between held pages ends it.
    if (spared == nullptr) {
      p->heldRun_ = true;
      heldTail_ = p;
    }
  }
  return spared != nullptr ? Extract(IndexOf(spared->PageNumber())) : nullptr;
}

void TIndexPageCache::NoteEvictable(TPage* page) {
  if (!page->heldRun_) return;
  TPage* const top = heldTail_;
  heldTail_ = page->mruNext_;
  for (TPage* p = page;; p = p->mruPrev_) {
    p->heldRun_ = false;
    if (p == top) break;
  }
}

std::unique_ptr<TPage> TIndexPageCache::Remove(int32_t pageNo) {
  const size_t i = IndexOf(pageNo);
  if (i >= pages_.size() || pages_[i]->PageNumber() != pageNo) return nullptr;
  return Extract(i);
}

bool TIndexPageCache::HasWritablePages() const {
  return std::any_of(modifiedPageNumbers_.begin(), modifiedPageNumbers_.end(), [this](int32_t n) {
    const TPage* p = Peek(n);
    return p != nullptr && p->Modified() && !p->Pinned();
  });
}

bool TIndexPageCache::AnyModified() const {
  return std::any_of(modifiedPageNumbers_.begin(), modifiedPageNumbers_.end(), [this](int32_t n) {
    const TPage* p = Peek(n);
    return p != nullptr && p->Modified();
  });
}

std::vector<TPage*> TIndexPageCache::ModifiedPages() {
  std::sort(modifiedPageNumbers_.begin(), modifiedPageNumbers_.end());
  modifiedPageNumbers_.erase(std::unique(modifiedPageNumbers_.begin(), modifiedPageNumbers_.end()),
                             modifiedPageNumbers_.end());
  std::vector<TPage*> result;
  size_t kept = 0;
  for (const int32_t n : modifiedPageNumbers_) {
    TPage* p = Peek(n);
    if (p == nullptr || !p->Modified()) continue;
    modifiedPageNumbers_[kept++] = n;  // listed until it is written back
    result.push_back(p);
  }
  modifiedPageNumbers_.resize(kept);
  return result;
}

void TIndexPageCache::DropAll() {
  for (auto& page : pages_) {
    page->cache_ = nullptr;
    page->heldRun_ = false;
    stack_.Push(std::move(page));
  }
  pages_.clear();
  modifiedPageNumbers_.clear();
  mruHead_ = mruTail_ = heldTail_ = nullptr;
}

void TIndexPageCache::Shrink() {
  TPage* p = mruTail_;
  while (p && static_cast<int>(pages_.size()) > limit_) {
    TPage* prev = p->mruPrev_;
    if (!p->Modified() && !p->Pinned()) stack_.Push(Extract(IndexOf(p->PageNumber())));
    p = prev;
  }
}

void TIndexPageCache::Renumber(int slot) {
  for (auto& page : pages_) page->SetSlot(slot);
}

}  // namespace rudira
