// TDataCursor: moving through the view in index or natural order, record
// numbers and counts, bookmarks, key search and switching index.
//
// Public operations start with the change check (BeginOperation) and end by
// releasing the reader lock it took, also on failure; the private helpers
// below them never check, so that a resynchronisation can use them.
#include <algorithm>
#include <cstring>

#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "storage/byte_codec.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"

namespace rudira {

namespace {

std::string TrimmedName(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Runs `body` between BeginOperation and EndOperation.
template <typename Body>
auto Bracket(TDataCursor& cursor, bool readerTaken, Body body, void (TDataCursor::*end)(bool)) {
  try {
    auto result = body();
    (cursor.*end)(readerTaken);
    return result;
  } catch (...) {
    try {
      (cursor.*end)(readerTaken);
    } catch (const std::exception&) {
      // The operation's own error is the one to report.
    }
    throw;
  }
}

}  // namespace

// --- private helpers ---

void TDataCursor::ComputeRangePositions() {
  if (rangePositionsValid_) return;
  TIndexTree tree(table_->IndexFile(), IndexSlot());
  const int64_t count = tree.RecordCount();
  if (!rangeActive_) {
    rangeStartPos_ = 1;
    rangeEndPos_ = count;
  } else {
    int64_t before = 0;
    tree.DescendCounting(rangeStartKey_.data(), rangeStartLength_, before);
    rangeStartPos_ = before + 1;
    // The last key whose prefix does not pass the end key.
    rangeEndPos_ = UpperBound(rangeEndKey_.data(), rangeEndLength_, rangeStartPos_ - 1);
    // A start key after the end key: no key is in range.
    if (rangeEndPos_ < rangeStartPos_) rangeEndPos_ = rangeStartPos_ - 1;
  }
  rangePositionsValid_ = true;
}

int64_t TDataCursor::RangeStart() {
  ComputeRangePositions();
  return rangeStartPos_;
}

int64_t TDataCursor::RangeEnd() {
  ComputeRangePositions();
  return rangeEndPos_;
}

bool TDataCursor::InView(int32_t recordNo) const {
  if (!filterActive_) return true;
  return recordNo > 0 && static_cast<uint32_t>(recordNo) <= view_.Size() && view_.Test(static_cast<uint32_t>(recordNo));
}

void TDataCursor::NoteWalk(int32_t page, int position, int64_t ordinal) {
  walkSlot_ = IndexSlot();
  walkPage_ = page;
  walkPosition_ = position;
  walkOrdinal_ = ordinal;
  walkChanges_ = table_->IndexFile().TreeChangeCount();
}

bool TDataCursor::LocateOrdinal(TIndexTree& tree, int64_t ordinal, int32_t& page, int& position) {
  if (walkSlot_ == IndexSlot() && walkOrdinal_ > 0 && walkChanges_ == table_->IndexFile().TreeChangeCount()) {
    page = walkPage_;
    position = walkPosition_;
    if (ordinal == walkOrdinal_) return true;
    if ((ordinal == walkOrdinal_ + 1 || ordinal == walkOrdinal_ - 1) &&
        tree.StepAlongLeaves(page, position, ordinal > walkOrdinal_)) {
      NoteWalk(page, position, ordinal);
      return true;
    }
  }
  const TIndexPath path = tree.PathOfOrdinal(ordinal - 1);
  if (path.Depth == 0) return false;
  page = path.Leaf().Page;
  position = path.Leaf().Position;
  NoteWalk(page, position, ordinal);
  return true;
}

void TDataCursor::PositionAtOrdinal(int64_t ordinal) {
  TIndexTree tree(table_->IndexFile(), IndexSlot());
  int32_t page = 0;
  int position = 0;
  if (!LocateOrdinal(tree, ordinal, page, position)) table_->IndexFile().RaiseCorrupt();
  tree.LeafEntry(page, position, currentKey_, currentRecNo_);
  logicalPos_ = ordinal;
  hasCurrent_ = true;
}

int64_t TDataCursor::ForwardInView(int64_t ordinal) {
  const int64_t end = RangeEnd();
  ordinal = std::max(ordinal, RangeStart());
  if (!filterActive_) return ordinal <= end ? ordinal : 0;
  TIndexTree tree(table_->IndexFile(), IndexSlot());
  int32_t page = 0;
  int position = 0;
  for (; ordinal <= end; ++ordinal) {
    // Ordinals up to the range end lie inside the index.
    if (!LocateOrdinal(tree, ordinal, page, position)) table_->IndexFile().RaiseCorrupt();
    if (InView(tree.LeafRecordNo(page, position))) return ordinal;
  }
  return 0;
}

int64_t TDataCursor::BackwardInView(int64_t ordinal) {
  const int64_t start = RangeStart();
  ordinal = std::min(ordinal, RangeEnd());
  if (!filterActive_) return ordinal >= start && ordinal >= 1 ? ordinal : 0;
  TIndexTree tree(table_->IndexFile(), IndexSlot());
  int32_t page = 0;
  int position = 0;
  for (; ordinal >= start && ordinal >= 1; --ordinal) {
    if (!LocateOrdinal(tree, ordinal, page, position)) table_->IndexFile().RaiseCorrupt();
    if (InView(tree.LeafRecordNo(page, position))) return ordinal;
  }
  return 0;
}

bool TDataCursor::GoFirst() {
  bof_ = eof_ = false;
  if (natural_) {
    const uint32_t n = view_.NextSet(1);
    if (n != 0) {
      currentRecNo_ = static_cast<int32_t>(n);
      logicalPos_ = 1;
      hasCurrent_ = true;
      return true;
    }
  } else if (const int64_t ordinal = ForwardInView(1); ordinal != 0) {
    PositionAtOrdinal(ordinal);
    return true;
  }
  hasCurrent_ = false;
  currentRecNo_ = 0;
  logicalPos_ = 0;
  bof_ = eof_ = true;
  return false;
}

bool TDataCursor::GoLast() {
  bof_ = eof_ = false;
  if (natural_) {
    const uint32_t n = view_.PriorSet(view_.Size());
    if (n != 0) {
      currentRecNo_ = static_cast<int32_t>(n);
      logicalPos_ = viewCount_;
      hasCurrent_ = true;
      return true;
    }
  } else if (const int64_t ordinal = BackwardInView(RangeEnd()); ordinal != 0) {
    PositionAtOrdinal(ordinal);
    return true;
  }
  hasCurrent_ = false;
  currentRecNo_ = 0;
  logicalPos_ = 0;
  bof_ = eof_ = true;
  return false;
}

bool TDataCursor::StepForward() {
  if (natural_) {
    const uint32_t n = view_.NextSet(static_cast<uint32_t>(currentRecNo_) + 1);
    if (n == 0) return false;
    currentRecNo_ = static_cast<int32_t>(n);
    if (logicalPos_ > 0) ++logicalPos_;
    return true;
  }
  const int64_t ordinal = ForwardInView(logicalPos_ + 1);
  if (ordinal == 0) return false;
  PositionAtOrdinal(ordinal);
  return true;
}

bool TDataCursor::StepBackward() {
  if (natural_) {
    if (currentRecNo_ <= 1) return false;
    const uint32_t n = view_.PriorSet(static_cast<uint32_t>(currentRecNo_) - 1);
    if (n == 0) return false;
    currentRecNo_ = static_cast<int32_t>(n);
    if (logicalPos_ > 0) --logicalPos_;
    return true;
  }
  const int64_t ordinal = BackwardInView(logicalPos_ - 1);
  if (ordinal == 0) return false;
  PositionAtOrdinal(ordinal);
  return true;
}

void TDataCursor::ReadCurrent() {
  TDataFile& data = table_->DataFile();
  if (currentRecNo_ < 1 || currentRecNo_ > data.RecordSlotCount()) Raise(RUDIRA_KEYORRECDELETED);
  // Read only: a walk in record order takes the records from the read run
  // without installing each in the cache.
  const uint8_t* stored = data.ReadRecordBytes(currentRecNo_);
  // An entry that leads to a slot no longer in use: the record was deleted
  // by someone whose change this cursor has not seen yet.
  if (RecordStatus(stored) != kRecordInUse) Raise(RUDIRA_KEYORRECDELETED);
  std::memcpy(record_.data(), stored, recordSize_);
}

void TDataCursor::BlankRecord(uint8_t* record) const {
  if (record) std::memset(record, 0, recordSize_);
}

uint16_t TDataCursor::ReadCode() const {
  if (!hasCurrent_) return RUDIRA_NOCURRREC;
  if (bof_) return RUDIRA_BOF;
  if (eof_) return RUDIRA_EOF;
  return 0;
}

void TDataCursor::BuildKey(const uint8_t* record, uint8_t* key) const {
  TIndexFile& index = table_->IndexFile();
  BuildIndexKey(index.Definition(IndexSlot()), table_->DataFile().Fields(), record, table_->DataFile().Locale(), key);
}

void TDataCursor::SeekKey(const uint8_t* key, int length) {
  TIndexTree tree(table_->IndexFile(), IndexSlot());
  int64_t before = 0;
  const TIndexPath path = tree.DescendCounting(key, length, before);
  const int64_t found = before + 1;
  // The descent found the entry's leaf already: later steps start there.
  if (path.Depth > 0 && path.Leaf().Position < tree.LeafEntryCount(path.Leaf().Page)) {
    NoteWalk(path.Leaf().Page, path.Leaf().Position, found);
  }
  const int64_t ordinal = ForwardInView(found);
  if (ordinal == 0) {
    if (GoLast()) eof_ = true;
    return;
  }
  bof_ = eof_ = false;
  PositionAtOrdinal(ordinal);
}

void TDataCursor::SeekRecordNo(int32_t recordNo) {
  const int32_t slots = table_->DataFile().RecordSlotCount();
  recordNo = std::clamp(recordNo, 1, std::max(slots, 1));
  const uint32_t n = static_cast<uint32_t>(recordNo) <= view_.Size() ? view_.NextSet(static_cast<uint32_t>(recordNo)) : 0;
  if (n == 0) {
    if (GoLast()) eof_ = true;
    return;
  }
  bof_ = eof_ = false;
  currentRecNo_ = static_cast<int32_t>(n);
  // The rank costs a count over the view: taken when asked (GetRecordNo),
  // since every write in natural order positions here again.
  logicalPos_ = 0;
  hasCurrent_ = true;
}

// --- bookmarks ---

void TDataCursor::GetBookmark(uint8_t* bookmark) {
  const bool taken = BeginOperation();
  Bracket(*this, taken, [&] {
    CurrentBookmark(bookmark);
    return 0;
  }, &TDataCursor::EndOperation);
}

bool TDataCursor::SetToBookmark(const uint8_t* bookmark, bool noVerify) {
  const bool taken = BeginOperation();
  return Bracket(*this, taken, [&] { return SeekBookmark(bookmark, noVerify); }, &TDataCursor::EndOperation);
}

void TDataCursor::CurrentBookmark(uint8_t* bookmark) const {
  std::memset(bookmark, 0, BookmarkSize());
  if (!OnRecord()) return;
  if (natural_) {
    StoreLE<int32_t>(bookmark, currentRecNo_);
  } else {
    std::memcpy(bookmark, currentKey_.data(), static_cast<size_t>(keySize_));
  }
}

bool TDataCursor::SeekBookmark(const uint8_t* bookmark, bool noVerify) {
  if (natural_) {
    const int32_t wanted = LoadLE<int32_t>(bookmark);
    SeekRecordNo(wanted);
    if (OnRecord()) ReadCurrent();
    return noVerify || (OnRecord() && currentRecNo_ == wanted);
  }
  SeekKey(bookmark, keySize_);
  if (OnRecord()) ReadCurrent();
  return noVerify || (OnRecord() && std::memcmp(currentKey_.data(), bookmark, static_cast<size_t>(keySize_)) == 0);
}

int TDataCursor::CompareBookmarks(const uint8_t* first, const uint8_t* second) const {
  RequireOpen();
  if (natural_) {
    const int32_t a = LoadLE<int32_t>(first);
    const int32_t b = LoadLE<int32_t>(second);
    return a < b ? -1 : (a > b ? 1 : 0);
  }
  return table_->IndexFile().Comparer(IndexSlot()).Compare(first, second);
}

// --- public moves ---

void TDataCursor::SetToBegin() {
  RequireOpen();
  if (structureOnly_) return;
  const bool taken = BeginOperation();
  Bracket(*this, taken, [&] {
    if (GoFirst()) bof_ = true;
    return 0;
  }, &TDataCursor::EndOperation);
}

void TDataCursor::SetToEnd() {
  RequireOpen();
  if (structureOnly_) return;
  const bool taken = BeginOperation();
  Bracket(*this, taken, [&] {
    if (GoLast()) eof_ = true;
    return 0;
  }, &TDataCursor::EndOperation);
}

uint16_t TDataCursor::GetNextRecord(uint8_t* record) {
  const bool taken = BeginOperation();
  return Bracket(*this, taken, [&]() -> uint16_t {
    bool moved;
    if (bof_) {
      moved = GoFirst();
    } else if (eof_) {
      moved = false;
    } else {
      moved = StepForward();
    }
    if (!moved) {
      eof_ = true;
      BlankRecord(record);
      return RUDIRA_EOF;
    }
    bof_ = eof_ = false;
    ReadCurrent();
    if (record) std::memcpy(record, record_.data(), recordSize_);
    return 0;
  }, &TDataCursor::EndOperation);
}

uint16_t TDataCursor::GetPriorRecord(uint8_t* record) {
  const bool taken = BeginOperation();
  return Bracket(*this, taken, [&]() -> uint16_t {
    bool moved;
    if (eof_) {
      moved = GoLast();
    } else if (bof_) {
      moved = false;
    } else {
      moved = StepBackward();
    }
    if (!moved) {
      bof_ = true;
      BlankRecord(record);
      return RUDIRA_BOF;
    }
    bof_ = eof_ = false;
    ReadCurrent();
    if (record) std::memcpy(record, record_.data(), recordSize_);
    return 0;
  }, &TDataCursor::EndOperation);
}

uint16_t TDataCursor::GetCurrentRecord(uint8_t* record, bool lock) {
  if (lock) return BeginEdit(record);
  const bool taken = BeginOperation();
  return Bracket(*this, taken, [&]() -> uint16_t {
    const uint16_t code = ReadCode();
    if (code != 0) return code;
    ReadCurrent();
    if (record) std::memcpy(record, record_.data(), recordSize_);
    return 0;
  }, &TDataCursor::EndOperation);
}

uint16_t TDataCursor::ReadRecordBlock(int32_t* count, uint8_t* buffer) {
  const int32_t wanted = *count;
  int32_t read = 0;
  uint16_t code = 0;
  while (read < wanted) {
    code = GetNextRecord(buffer + static_cast<size_t>(read) * recordSize_);
    if (code != 0) break;
    ++read;
  }
  *count = read;
  return code;
}

// --- record numbers and counts ---

int32_t TDataCursor::GetRecordNo() {
  const bool taken = BeginOperation();
  return Bracket(*this, taken, [&]() -> int32_t {
    if (!OnRecord()) return 0;
    if (natural_) {
      if (logicalPos_ <= 0) {
        logicalPos_ = static_cast<int64_t>(view_.CountBefore(static_cast<uint32_t>(currentRecNo_))) + 1;
      }
      return static_cast<int32_t>(logicalPos_);
    }
    const int64_t number = logicalPos_ - RangeStart() + 1;
    return number > 0 ? static_cast<int32_t>(number) : 0;
  }, &TDataCursor::EndOperation);
}

int32_t TDataCursor::GetRecordCount() {
  const bool taken = BeginOperation();
  return Bracket(*this, taken, [&]() -> int32_t {
    if (filterActive_) return viewCount_;
    const int64_t start = RangeStart();
    const int64_t end = RangeEnd();
    if (start <= 0 || end <= 0 || end < start) return 0;
    return static_cast<int32_t>(end - start + 1);
  }, &TDataCursor::EndOperation);
}

bool TDataCursor::SetToRecordNo(int32_t recordNo) {
  const bool taken = BeginOperation();
  Bracket(*this, taken, [&] {
    if (!GoFirst()) return 0;
    if (natural_) {
      if (recordNo < 1) {
        bof_ = true;
        return 0;
      }
      for (int32_t rank = 1; rank < recordNo; ++rank) {
        if (!StepForward()) {
          eof_ = true;
          return 0;
        }
      }
      return 0;
    }
    // In index order every key of the range counts, hidden ones included.
    const int64_t ordinal = RangeStart() + recordNo - 1;
    if (ordinal < logicalPos_) {
      bof_ = true;
      return 0;
    }
    GoLast();
    if (ordinal > logicalPos_) {
      eof_ = true;
      return 0;
    }
    PositionAtOrdinal(ordinal);
    return 0;
  }, &TDataCursor::EndOperation);
  return recordNo >= 1 && GetRecordNo() == recordNo;
}

// --- searching ---

uint16_t TDataCursor::SetToCursor(TDataCursor& other) {
  const bool taken = BeginOperation();
  return Bracket(*this, taken, [&]() -> uint16_t {
    if (!other.IsOpen() || !other.OnRecord()) return RUDIRA_RECNOTFOUND;
    const int32_t otherRecNo = other.currentRecNo_;
    if (natural_) {
      SeekRecordNo(otherRecNo);
      if (OnRecord()) ReadCurrent();
      return OnRecord() && currentRecNo_ == otherRecNo ? 0 : RUDIRA_RECNOTFOUND;
    }
    // The other cursor's record as stored: its buffer is filled only by
    // reads, not by every move.
    TDataFile& otherData = other.table_->DataFile();
    if (otherRecNo > otherData.RecordSlotCount()) return RUDIRA_RECNOTFOUND;
    std::vector<uint8_t> source(otherData.GetRecord(otherRecNo)->Data(),
                                otherData.GetRecord(otherRecNo)->Data() + recordSize_);
    std::vector<uint8_t> key(static_cast<size_t>(keySize_));
    BuildKey(source.data(), key.data());
    SeekKey(key.data(), keySize_);
    if (OnRecord()) ReadCurrent();
    const bool found = OnRecord() && std::memcmp(currentKey_.data(), key.data(), key.size()) == 0;
    return found ? 0 : RUDIRA_RECNOTFOUND;
  }, &TDataCursor::EndOperation);
}

bool TDataCursor::Find(const uint8_t* source, bool isKey, uint8_t* output, int fieldCount, int partialLength,
                       bool nearest) {
  const bool taken = BeginOperation();
  return Bracket(*this, taken, [&]() -> bool {
    if (natural_) return false;
    // Keys and the saved position live on the stack: a join probes with one
    // Find per row of the tables before it.
    if (keySize_ <= 0 || keySize_ > kMaxKeySize) table_->IndexFile().RaiseCorrupt();
    const size_t keyBytes = static_cast<size_t>(keySize_);
    uint8_t key[kMaxKeySize];
    if (isKey) {
      std::memcpy(key, source, keyBytes);
    } else {
      BuildKey(source, key);
    }
    const int given = fieldCount > 0 ? std::min(fieldCount, indexFieldCount_) : indexFieldCount_;
    const bool prefix = (fieldCount > 0 && fieldCount < indexFieldCount_) || !indexUnique_ || partialLength > 0;
    bool found;
    if (prefix) {
      int length = 0;
      for (int i = 0; i < given; ++i) {
        const TFieldDescriptor& field = Field(indexFields_[static_cast<size_t>(i)]);
        int width = field.Width + 1;
        if (i == given - 1 && partialLength > 0 && field.FieldType == kFieldTypeString) {
          width = std::min(partialLength, static_cast<int>(field.Width)) + 1;
        }
        length += width;
      }
      // The rest sorts lowest (highest in a descending index), so the seek
      // lands on the first key that has the prefix.
      std::fill(key + length, key + keyBytes, indexDescending_ ? 0xFF : 0x00);
      SeekKey(key, length);
      // Past the last key the cursor stands on the last record.
      if (eof_ && hasCurrent_) eof_ = false;
      found = OnRecord() && table_->IndexFile().Comparer(IndexSlot()).Compare(currentKey_.data(), key, length) == 0;
    } else {
      uint8_t savedKey[kMaxKeySize];
      const size_t savedKeyBytes = std::min(currentKey_.size(), sizeof savedKey);
      std::memcpy(savedKey, currentKey_.data(), savedKeyBytes);
      const int32_t savedRecNo = currentRecNo_;
      const int64_t savedPos = logicalPos_;
      const bool savedCurrent = hasCurrent_, savedBof = bof_, savedEof = eof_;
      SeekKey(key, keySize_);
      found = OnRecord() && currentKey_.size() >= keyBytes && std::memcmp(currentKey_.data(), key, keyBytes) == 0;
      if (!found && !nearest) {
        currentKey_.assign(savedKey, savedKey + savedKeyBytes);
        currentRecNo_ = savedRecNo;
        logicalPos_ = savedPos;
        hasCurrent_ = savedCurrent;
        bof_ = savedBof;
        eof_ = savedEof;
      } else if (eof_ && hasCurrent_) {
        eof_ = false;
      }
    }
    if (OnRecord()) {
      ReadCurrent();
      if (output) std::memcpy(output, record_.data(), recordSize_);
    }
    return found;
  }, &TDataCursor::EndOperation);
}

// --- switching index ---

void TDataCursor::SetIndexName(const std::string& name) {
  RequireOpen();
  const bool taken = BeginOperation(/*forceStrict=*/true);
  Bracket(*this, taken, [&] {
    const bool sameName = FieldNameKey(TrimmedName(name)) == FieldNameKey(indexName_);
    if (sameName && indexNo_ != kNaturalOrderIndex) return 0;
    const int slot = table_->IndexFile().FindIndex(name);
    if (slot < 0 || slot > kMaxSecondaryIndexes) Raise(RUDIRA_INVALIDINDEXNAME, {}, name);
    const bool onRecord = OnRecord();
    const bool atEnd = eof_ && hasCurrent_;
    if (onRecord) ReadCurrent();
    const std::vector<uint8_t> current = record_;
    const int32_t recordNo = currentRecNo_;
    // The range belongs to the old index; SelectIndex rebuilds the view, and
    // the filters, whose indexes are chosen among all of the table's, keep
    // their analysis.
    rangeActive_ = false;
    SelectIndex(slot);
    if (!onRecord) {
      if (atEnd) {
        if (GoLast()) eof_ = true;
      } else if (GoFirst()) {
        bof_ = true;
      }
      return 0;
    }
    if (natural_) {
      SeekRecordNo(recordNo);
    } else {
      std::vector<uint8_t> key(static_cast<size_t>(keySize_));
      BuildKey(current.data(), key.data());
      SeekKey(key.data(), keySize_);
    }
    if (OnRecord()) ReadCurrent();
    return 0;
  }, &TDataCursor::EndOperation);
}

}  // namespace rudira
