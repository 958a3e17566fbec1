// TIndexFile: open, create, close, header and counters.
#include "storage/index_file.h"

#include <atomic>
#include <cstring>

#include "engine/errors.h"
#include "storage/index_key.h"
#include "storage/scramble.h"

namespace rudira {

bool KeySizesFitFields(const TIndexHeader& header, const std::vector<TFieldDescriptor>& fields) {
  for (int slot = 0; slot <= header.SecondaryIndexCount && slot <= kMaxSecondaryIndexes; ++slot) {
    const TIndexDefinition& d = header.Definitions[slot];
    if (d.IndexFieldCount == 0) continue;
    if (d.IndexFieldCount > kMaxIndexFields) return false;
    for (int i = 0; i < d.IndexFieldCount; ++i) {
      if (d.FieldNumbers[i] < 1 || d.FieldNumbers[i] > fields.size()) return false;
    }
    if (d.KeySize != IndexKeySize(d, fields)) return false;
  }
  return true;
}

TIndexFile::~TIndexFile() {
  try {
    if (Opened()) Close();
  } catch (...) {
    // The destructor closes without raising.
  }
}

void TIndexFile::Raise(uint16_t code, std::string_view indexName, std::string_view fieldName) const {
  RaiseEngineError(code, {.TableName = FileName(), .FieldName = fieldName, .IndexName = indexName});
}

void TIndexFile::RaiseCorrupt() const { Raise(RUDIRA_INDEXCORRUPT); }

void TIndexFile::SetIndexBufferBytes(int32_t bytes) {
  indexBufferBytes_ = bytes;
  for (auto& cache : caches_) {
    if (cache) cache->SetLimit(std::max(1, indexBufferBytes_ / 8192));
  }
}

void TIndexFile::SetTableFields(std::vector<TFieldDescriptor> fields, TableLocale locale) {
  fields_ = std::move(fields);
  locale_ = locale;
  for (auto& c : comparers_) c.reset();
  // The next re-read checks the key sizes against these fields.
  fileHeaderKnown_ = false;
}

void TIndexFile::NoteTreeChange() {
  static std::atomic<uint64_t> sequence{0};
  treeChanges_ = sequence.fetch_add(1, std::memory_order_relaxed) + 1;
}

void TIndexFile::ResetCaches() {
  NoteTreeChange();
  for (auto& cache : caches_) {
    if (!cache) cache = std::make_unique<TIndexPageCache>(pageStack_);
    cache->DropAll();
    cache->SetLimit(std::max(1, indexBufferBytes_ / 8192));
  }
  for (auto& c : comparers_) c.reset();
}

void TIndexFile::ReadRawHeader(uint8_t* buffer) {
  TFileAccess access(*this);
  if (Seek(kSeekFromBeginning, 0) != 0) Raise(RUDIRA_READERR);
  if (ReadBuffer(buffer, kIndexHeaderSize, true) != static_cast<int32_t>(kIndexHeaderSize)) {
    Raise(RUDIRA_HEADERCORRUPT);
  }
}

void TIndexFile::DecodeHeader(uint8_t* buffer, TIndexHeader& header) {
  if (encrypted_) Scramble(buffer, kIndexHeaderSize, kRecordScrambleSeed);
  if (!header.DecodeFrom(buffer)) Raise(RUDIRA_HEADERCORRUPT);
  if (header.FormatVersion != kIndexFormatVersion) Raise(RUDIRA_OLDVERSION);
  if (header.SecondaryIndexCount > kMaxStoredIndexCount || header.NextPageNumber < 1) Raise(RUDIRA_HEADERCORRUPT);
}

void TIndexFile::RememberFileHeader(const uint8_t* bytes) {
  std::memcpy(fileHeader_.data(), bytes, kIndexHeaderSize);
  fileHeaderKnown_ = true;
}

void TIndexFile::Open() {
  if (Opened()) return;
  TFileHandler::Open();
  try {
    ResetCaches();
    fileHeaderKnown_ = false;
    headerImage_.Invalidate();
    uint8_t buffer[kIndexHeaderSize];
    ReadRawHeader(buffer);
    uint8_t fileBytes[kIndexHeaderSize];
    std::memcpy(fileBytes, buffer, kIndexHeaderSize);
    DecodeHeader(buffer, header_);
    RememberFileHeader(fileBytes);
    headerModified_ = false;
  } catch (...) {
    TFileHandler::Close();
    throw;
  }
}

void TIndexFile::CreateNew() {
  TFileHandler::CreateNew();
  try {
    ResetCaches();
    fileHeaderKnown_ = false;
    headerImage_.Invalidate();
    header_ = NewIndexHeader();
    headerModified_ = true;
    WriteHeader(true);
  } catch (...) {
    TFileHandler::Close();
    throw;
  }
}

void TIndexFile::Close() {
  CloseTemporaryFile();
  // Temporary definitions live only as long as the open file; they sit
  // after the permanent secondaries.
  while (header_.SecondaryIndexCount > 0 && IsTemporarySlot(header_.SecondaryIndexCount)) {
    header_.Definitions[header_.SecondaryIndexCount] = TIndexDefinition{};
    --header_.SecondaryIndexCount;
  }
  for (auto& cache : caches_) {
    if (cache) cache->DropAll();
  }
  NoteTreeChange();
  headerModified_ = false;
  fileHeaderKnown_ = false;
  headerImage_.Invalidate();
  TFileHandler::Close();
}

bool TIndexFile::RereadHeader() {
  uint8_t buffer[kIndexHeaderSize];
  ReadRawHeader(buffer);
  // Nobody wrote since this object last read or wrote the header, and it
  // holds no unwritten change: a decode would give the header held, and the
  // cached pages are current.
  if (fileHeaderKnown_ && !headerModified_ && std::memcmp(buffer, fileHeader_.data(), kIndexHeaderSize) == 0) {
    return false;
  }
  NoteTreeChange();
  fileHeaderKnown_ = false;
  uint8_t fileBytes[kIndexHeaderSize];
  std::memcpy(fileBytes, buffer, kIndexHeaderSize);
  TIndexHeader fresh;
  DecodeHeader(buffer, fresh);
  // Another process's header is checked as strictly as the one read at open.
  if (!fields_.empty() && !KeySizesFitFields(fresh, fields_)) Raise(RUDIRA_HEADERCORRUPT);
  // Temporary definitions are this file object's own: keep them after the
  // permanent secondaries, with their caches.
  std::vector<int> temporarySlots;
  for (int slot = 1; slot <= header_.SecondaryIndexCount && slot <= kMaxSecondaryIndexes; ++slot) {
    if (IsTemporarySlot(slot)) temporarySlots.push_back(slot);
  }
  const bool changed = fresh.IndexChangeCount != header_.IndexChangeCount;
  if (changed) {
    for (int slot = 0; slot < kIndexSlotCount; ++slot) {
      if (!IsTemporarySlot(slot)) caches_[slot]->DropAll();
    }
  }
  std::vector<std::pair<TIndexDefinition, std::unique_ptr<TIndexPageCache>>> kept;
  for (int slot : temporarySlots) kept.emplace_back(header_.Definitions[slot], std::move(caches_[slot]));
  const uint8_t permanent = fresh.SecondaryIndexCount;
  header_ = fresh;
  int next = permanent + 1;
  for (auto& [definition, cache] : kept) {
    if (next > kMaxSecondaryIndexes) break;
    if (caches_[next]) caches_[next]->DropAll();
    header_.Definitions[next] = definition;
    caches_[next] = std::move(cache);
    caches_[next]->Renumber(next);
    ++next;
  }
  for (auto& cache : caches_) {
    if (!cache) cache = std::make_unique<TIndexPageCache>(pageStack_);
  }
  header_.SecondaryIndexCount = static_cast<uint8_t>(next - 1);
  for (auto& c : comparers_) c.reset();
  headerModified_ = false;
  RememberFileHeader(fileBytes);
  return changed;
}

void TIndexFile::WriteHeader(bool force) {
  if (!headerModified_ && !force) return;
  // The written copy leaves the temporary definitions out: the permanent
  // secondaries move together from slot 1, the slots after them are empty.
  static const TIndexDefinition kEmpty{};
  std::array<const TIndexDefinition*, kIndexSlotCount> written;
  written[kPrimarySlot] = IsTemporarySlot(kPrimarySlot) ? &kEmpty : &header_.Definitions[kPrimarySlot];
  int out = 1;
  for (int slot = 1; slot <= header_.SecondaryIndexCount && slot <= kMaxSecondaryIndexes; ++slot) {
    if (!IsTemporarySlot(slot)) written[out++] = &header_.Definitions[slot];
  }
  const uint8_t secondaryCount = static_cast<uint8_t>(out - 1);
  for (; out <= kMaxSecondaryIndexes; ++out) written[out] = &kEmpty;
  written[kSysDeletedSlot] = &header_.Definitions[kSysDeletedSlot];
  written[kSysTextSlot] = &header_.Definitions[kSysTextSlot];
  const int32_t changeCount = header_.IndexChangeCount + 1;
  const uint8_t* image =
      headerImage_.Encode(header_, changeCount, headerModified_ ? 1 : 0, secondaryCount, written);
  uint8_t scrambled[kIndexHeaderSize];
  const uint8_t* bytes = image;
  if (encrypted_) {
    std::memcpy(scrambled, image, kIndexHeaderSize);
    Scramble(scrambled, kIndexHeaderSize, kRecordScrambleSeed);
    bytes = scrambled;
  }
  fileHeaderKnown_ = false;
  {
    TFileAccess access(*this);
    if (Seek(kSeekFromBeginning, 0) != 0) Raise(RUDIRA_WRITEERR);
    WriteBuffer(bytes, kIndexHeaderSize);
  }
  RememberFileHeader(bytes);
  header_.IndexChangeCount = changeCount;
  headerModified_ = false;
}

void TIndexFile::Empty() {
  NoteTreeChange();
  {
    TFileAccess access(*this);
    if (Seek(kSeekFromBeginning, static_cast<int64_t>(kIndexHeaderSize)) < 0) Raise(RUDIRA_WRITEERR);
    WriteBuffer(nullptr, 0);
  }
  if (temporaryFile_) {
    TFileAccess access(*temporaryFile_);
    temporaryFile_->Seek(kSeekFromBeginning, static_cast<int64_t>(kIndexPageSize));
    temporaryFile_->WriteBuffer(nullptr, 0);
    temporaryNextPage_ = 1;
  }
  for (auto& cache : caches_) cache->DropAll();
  header_.NextPageNumber = 1;
  header_.ActiveRecordCount = 0;
  for (auto& definition : header_.Definitions) {
    definition.RootPage = 0;
    definition.FreePageHead = 0;
    definition.ParameterPage = 0;
  }
  headerModified_ = true;
  WriteHeader();
}

void TIndexFile::SetActiveRecordCount(int32_t value) {
  header_.ActiveRecordCount = value;
  headerModified_ = true;
}

}  // namespace rudira
