// TIndexFile: page cache, page reads and writes, allocation and free chains,
// and the companion file of temporary indexes.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "engine/errors.h"
#include "storage/index_file.h"
#include "storage/os_process.h"
#include "storage/scramble.h"

namespace rudira {

namespace {
std::atomic<uint32_t> temporaryCounter{0};
}  // namespace

TFileHandler& TIndexFile::FileOf(int slot) {
  if (IsTemporarySlot(slot)) {
    EnsureTemporaryFile();
    return *temporaryFile_;
  }
  return *this;
}

void TIndexFile::EnsureTemporaryFile() {
  if (temporaryFile_) return;
  std::string directory = privateDirectory_.empty() ? OsTempDirectory() : privateDirectory_;
  if (directory.back() != '/' && directory.back() != '\\') directory += '/';
  const std::string thread = std::to_string(OsCurrentThreadId()).substr(0, 5);
  auto file = std::make_unique<TFileHandler>();
  file->SetInMemory(InMemory());
  file->SetTemporary(true);
  for (;;) {
    file->SetFileName(directory + thread + std::to_string(temporaryCounter.fetch_add(1)) + ".IDX");
    if (!file->Exists()) break;
  }
  file->CreateNew();
  temporaryFile_ = std::move(file);
  temporaryNextPage_ = 1;
}

void TIndexFile::CloseTemporaryFile() {
  if (!temporaryFile_) return;
  NoteTreeChange();
  for (int slot = 0; slot < kIndexSlotCount; ++slot) {
    if (IsTemporarySlot(slot) && caches_[slot]) caches_[slot]->DropAll();
  }
  std::unique_ptr<TFileHandler> file = std::move(temporaryFile_);
  try {
    file->Close();
    if (file->Exists()) file->Remove();
  } catch (const ERUDIRAEngineError&) {
    // A temporary file that cannot be removed is left to the system.
  }
}

std::string TIndexFile::TemporaryFileName() const { return temporaryFile_ ? temporaryFile_->FileName() : ""; }

int32_t TIndexFile::NextPageNumber(int slot) const {
  return IsTemporarySlot(slot) ? temporaryNextPage_ : header_.NextPageNumber;
}

TPageFormat TIndexFile::PageFormat(int slot) const {
  const TIndexDefinition& d = header_.Definitions[slot];
  TPageFormat format;
  format.KeySize = d.KeySize;
  format.Descending = d.Descending != 0;
  format.Unique = d.Unique != 0;
  format.NoCounts = d.NoCounts != 0 || slot == kSysTextSlot;
  format.Compression = d.Compression;
  return format;
}

const TKeyComparer& TIndexFile::Comparer(int slot) {
  auto& c = comparers_[slot];
  if (!c) c.emplace(slot, header_.Definitions[slot], fields_, locale_);
  return *c;
}

std::unique_ptr<TPage> TIndexFile::MakeRoom(int slot) {
  TIndexPageCache& cache = *caches_[slot];
  const int32_t root = header_.Definitions[slot].RootPage;
  if (auto page = cache.TakeVictim(root)) return page;
  const bool temporary = IsTemporarySlot(slot);
  bool writable = false;
  for (int s = 0; s < kIndexSlotCount && (temporary || !inTransaction_); ++s) {
    if (IsTemporarySlot(s) == temporary && caches_[s]->HasWritablePages()) writable = true;
  }
  if (writable) {
    WritePagesOf(temporary);
    if (auto page = cache.TakeVictim(root)) return page;
  }
  // Every cached page is pinned (or modified and pinned): grow.
  cache.Grow(kIndexCacheGrowth);
  return cache.TakeVictim(root);
}

TPage* TIndexFile::GetPage(int slot, int32_t pageNo) {
  TIndexPageCache& cache = *caches_[slot];
  if (TPage* page = cache.Find(pageNo)) return page;
  if (pageNo < 1 || pageNo >= NextPageNumber(slot)) RaiseCorrupt();
  std::unique_ptr<TPage> page = MakeRoom(slot);
  if (!page) RaiseCorrupt();
  page->Reset(slot, pageNo, PageFormat(slot));
  uint8_t buffer[kIndexPageSize];
  TFileHandler& file = FileOf(slot);
  int32_t got;
  {
    TFileAccess access(file);
    if (file.Seek(kSeekFromBeginning, static_cast<int64_t>(pageNo) * kIndexPageSize) < 0) RaiseCorrupt();
    got = file.ReadBuffer(buffer, kIndexPageSize, true);
  }
  ++pageReads_;
  if (got != static_cast<int32_t>(kIndexPageSize)) {
    pageStack_.Push(std::move(page));
    RaiseCorrupt();
  }
  if (encrypted_) Scramble(buffer, kIndexPageSize, kRecordScrambleSeed);
  if (!page->DecodeFrom(buffer)) {
    pageStack_.Push(std::move(page));
    RaiseCorrupt();
  }
  return cache.Add(std::move(page));
}

void TIndexFile::SetRootPage(int slot, int32_t pageNo) {
  NoteTreeChange();
  header_.Definitions[slot].RootPage = pageNo;
  if (!IsTemporarySlot(slot)) headerModified_ = true;
}

TPage* TIndexFile::GetRootPage(int slot) {
  const int32_t root = header_.Definitions[slot].RootPage;
  return root == 0 ? nullptr : GetPage(slot, root);
}

TPage* TIndexFile::AllocatePage(int slot) {
  NoteTreeChange();
  TIndexDefinition& d = header_.Definitions[slot];
  const bool temporary = IsTemporarySlot(slot);
  TPage* page;
  if (d.FreePageHead != 0) {
    page = GetPage(slot, d.FreePageHead);
    if (page->EntryCount() != 0 || page->Pinned()) RaiseCorrupt();
    d.FreePageHead = page->RightSibling();
    if (d.FreePageHead < 0 || d.FreePageHead >= NextPageNumber(slot)) RaiseCorrupt();
  } else {
    int32_t& next = temporary ? temporaryNextPage_ : header_.NextPageNumber;
    if (next > kLastIndexPageNumber || next >= kMaxIndexPageNumber) Raise(RUDIRA_TABLEFULL);
    std::unique_ptr<TPage> fresh = MakeRoom(slot);
    if (!fresh) RaiseCorrupt();
    fresh->Reset(slot, next, PageFormat(slot));
    ++next;
    page = caches_[slot]->Add(std::move(fresh));
  }
  page->Reset(slot, page->PageNumber(), PageFormat(slot));
  page->SetModified(true);
  if (!temporary) headerModified_ = true;
  return page;
}

void TIndexFile::FreePage(TPage* page) {
  NoteTreeChange();
  TIndexDefinition& d = header_.Definitions[page->Slot()];
  page->Clear();
  page->SetRightSibling(d.FreePageHead);
  page->SetLeftSibling(0);
  page->SetFreed(true);
  page->SetModified(true);
  d.FreePageHead = page->PageNumber();
  if (!IsTemporarySlot(page->Slot())) headerModified_ = true;
}

void TIndexFile::WritePagesOf(bool temporary) {
  // Every append writes a few pages: the list and the run buffer keep their
  // room from one write to the next instead of being allocated (and the
  // buffer zeroed) each time, and each page brings its kept encoding up to
  // date (TPage::Encoded) instead of encoding every entry again. A page's
  // bytes outside its reported change are the file's already.
  std::vector<TPage*>& pages = writeOrder_;
  pages.clear();
  for (int slot = 0; slot < kIndexSlotCount; ++slot) {
    if (IsTemporarySlot(slot) != temporary) continue;
    if (!caches_[slot]->AnyModified()) continue;
    for (TPage* page : caches_[slot]->ModifiedPages()) {
      // A page in the middle of a split holds more than fits; it is written
      // once the split has made it fit again.
      if (!page->Overflows()) pages.push_back(page);
    }
  }
  if (pages.empty()) return;
  std::sort(pages.begin(), pages.end(), [](TPage* a, TPage* b) { return a->PageNumber() < b->PageNumber(); });
  TFileHandler& file = temporary ? *temporaryFile_ : static_cast<TFileHandler&>(*this);
  size_t i = 0;
  while (i < pages.size()) {
    size_t j = i + 1;
    while (j < pages.size() && pages[j]->PageNumber() == pages[j - 1]->PageNumber() + 1) ++j;
    const size_t runBytes = (j - i) * kIndexPageSize;
    const uint8_t* run;
    if (j == i + 1 && !encrypted_) {
      run = pages[i]->Encoded();  // a lone page goes out from its kept encoding
    } else {
      if (writeBuffer_.size() < runBytes) writeBuffer_.resize(runBytes);
      for (size_t k = i; k < j; ++k) {
        uint8_t* out = writeBuffer_.data() + (k - i) * kIndexPageSize;
        std::memcpy(out, pages[k]->Encoded(), kIndexPageSize);
        if (encrypted_) Scramble(out, kIndexPageSize, kRecordScrambleSeed);
      }
      run = writeBuffer_.data();
    }
    // Of an unencrypted run only the bytes from the first to the last that
    // may differ from the file's go out: for the leaf taking an append its
    // entry count up to the new entry, for a root counting it one entry, and
    // nothing for a page whose bytes did not change.
    size_t from = 0;
    size_t to = runBytes;
    if (!encrypted_) {
      const TPage& first = *pages[i];
      const TPage& last = *pages[j - 1];
      from = first.EncodedChangeFrom() < first.EncodedChangeTo() ? first.EncodedChangeFrom() : kIndexPageSize;
      to = runBytes - kIndexPageSize + (last.EncodedChangeFrom() < last.EncodedChangeTo() ? last.EncodedChangeTo() : 0);
    }
    if (from < to) {
      TFileAccess access(file);
      if (file.Seek(kSeekFromBeginning, static_cast<int64_t>(pages[i]->PageNumber()) * kIndexPageSize +
                                            static_cast<int64_t>(from)) < 0) {
        Raise(RUDIRA_WRITEERR);
      }
      file.WriteBuffer(run + from, static_cast<int32_t>(to - from));
    }
    for (size_t k = i; k < j; ++k) {
      pages[k]->NoteWritten();
      pages[k]->SetModified(false);
    }
    i = j;
  }
  // A rare long run (a rebuild writing many pages) does not pin its room.
  if (writeBuffer_.size() > 16 * kIndexPageSize) writeBuffer_ = std::vector<uint8_t>();
}

void TIndexFile::WritePages() {
  WritePagesOf(false);
  if (temporaryFile_) WritePagesOf(true);
}

void TIndexFile::DropPages() {
  NoteTreeChange();
  for (auto& cache : caches_) {
    if (!cache) continue;
    cache->DropAll();
    cache->SetLimit(std::max(1, indexBufferBytes_ / 8192));
  }
}

void TIndexFile::ShrinkPages() {
  for (auto& cache : caches_) {
    if (cache) cache->Shrink();
  }
}

}  // namespace rudira
