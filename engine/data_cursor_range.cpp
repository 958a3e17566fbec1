// TDataCursor: key ranges on the current index.
//
// A range is a start key and an end key, each with the length of its
// compared prefix: the key bytes of the index fields that count (flag byte
// and width of each), the whole key for every field of a unique index, 0
// for an open end. The bytes after the prefix are padded so that the start
// key sorts before and the end key after every key with that prefix: the
// lowest (highest) character of the table's character order map in the text
// of string fields under a locale, 0x00 (0xFF) elsewhere, the two swapped
// in the descending fields of a table with a locale, whose order comes from
// the comparison rather than from inverted bytes. Positions are found by
// comparing the prefixes, so keys that equal the padding cannot slip in.
#include <algorithm>
#include <cstring>

#include "engine/char_order_map.h"
#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "storage/field_type.h"
#include "storage/index_tree.h"

namespace rudira {

namespace {

// Pads key[length..keySize) so that the key sorts before (low) or after
// (!low) every key sharing its first `length` bytes.
void PadKey(std::vector<uint8_t>& key, int length, int keySize, bool low, const TIndexDefinition& definition,
            const std::vector<TFieldDescriptor>& fields, const TableLocale& locale) {
  std::fill(key.begin() + length, key.begin() + keySize, low ? 0x00 : 0xFF);
  if (locale.LanguageId == 0) return;
  const CharOrder& order =
      CharOrderMap(static_cast<uint16_t>(locale.LanguageId), static_cast<uint16_t>(locale.SortId));
  int offset = 0;
  for (int i = 0; i < definition.IndexFieldCount; ++i) {
    const TFieldDescriptor& field = fields[definition.FieldNumbers[i] - 1];
    const int width = field.Width + 1;
    const bool sortLow = low != definition.FieldIsDescending(i);
    for (int b = std::max(offset, length); b < offset + width; ++b) {
      const bool text = field.FieldType == kFieldTypeString && b > offset;
      if (text) {
        key[static_cast<size_t>(b)] = sortLow ? order.Lowest() : order.Highest();
      } else {
        key[static_cast<size_t>(b)] = sortLow ? 0x00 : 0xFF;
      }
    }
    offset += width;
  }
}

}  // namespace

int64_t TDataCursor::UpperBound(const uint8_t* key, int length, int64_t from) {
  TIndexTree tree(table_->IndexFile(), IndexSlot());
  const TKeyComparer& comparer = table_->IndexFile().Comparer(IndexSlot());
  int64_t low = from;
  int64_t high = tree.RecordCount();
  if (length <= 0) return high;
  std::vector<uint8_t> entry;
  int32_t recordNo = 0;
  while (low < high) {
    const int64_t mid = low + (high - low) / 2;
    const TIndexPath path = tree.PathOfOrdinal(mid);
    if (path.Depth == 0) table_->IndexFile().RaiseCorrupt();
    tree.EntryAt(path, entry, recordNo);
    if (comparer.Compare(entry.data(), key, length) > 0) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return low;
}

void TDataCursor::SetRange(const uint8_t* startRecord, int startFieldCount, const uint8_t* endRecord,
                           int endFieldCount) {
  RequireOpen();
  if (structureOnly_) return;
  const bool taken = BeginOperation();
  try {
    if (!natural_) {
      const TIndexDefinition& definition = table_->IndexFile().Definition(IndexSlot());
      const std::vector<TFieldDescriptor>& fields = Fields();
      const TableLocale locale = table_->DataFile().Locale();
      // The compared prefix of a key built from a record with fieldCount
      // fields given.
      auto prefixOf = [&](int fieldCount) {
        const int given = fieldCount > 0 ? std::min(fieldCount, indexFieldCount_) : indexFieldCount_;
        if (given == indexFieldCount_ && indexUnique_) return keySize_;
        int length = 0;
        for (int i = 0; i < given; ++i) length += Field(indexFields_[static_cast<size_t>(i)]).Width + 1;
        return length;
      };
      std::vector<uint8_t> start(kRangeKeySize, 0x00);
      std::vector<uint8_t> end(kRangeKeySize, 0xFF);
      int startLength = 0;
      int endLength = 0;
      if (startRecord) {
        BuildKey(startRecord, start.data());
        startLength = prefixOf(startFieldCount);
        PadKey(start, startLength, keySize_, true, definition, fields, locale);
      }
      if (endRecord) {
        BuildKey(endRecord, end.data());
        endLength = prefixOf(endFieldCount);
        PadKey(end, endLength, keySize_, false, definition, fields, locale);
      }
      std::vector<uint8_t> bookmark;
      bool atBegin = false;
      bool atEnd = false;
      SaveBookmark(bookmark, atBegin, atEnd);
      rangeStartKey_ = std::move(start);
      rangeEndKey_ = std::move(end);
      rangeStartLength_ = startLength;
      rangeEndLength_ = endLength;
      rangeActive_ = true;
      rangePositionsValid_ = false;
      if (filterActive_) RebuildView();
      RestoreBookmark(bookmark, atBegin, atEnd);
      if (OnRecord()) ReadCurrent();
    }
  } catch (...) {
    EndOperation(taken);
    throw;
  }
  EndOperation(taken);
}

void TDataCursor::ResetRange() {
  RequireOpen();
  if (structureOnly_ || natural_) return;
  const bool taken = BeginOperation();
  try {
    std::vector<uint8_t> bookmark;
    bool atBegin = false;
    bool atEnd = false;
    SaveBookmark(bookmark, atBegin, atEnd);
    rangeActive_ = false;
    std::fill(rangeStartKey_.begin(), rangeStartKey_.end(), 0x00);
    std::fill(rangeEndKey_.begin(), rangeEndKey_.end(), 0xFF);
    rangeStartLength_ = rangeEndLength_ = 0;
    rangePositionsValid_ = false;
    if (filterActive_) RebuildView();
    RestoreBookmark(bookmark, atBegin, atEnd);
    if (OnRecord()) ReadCurrent();
  } catch (...) {
    EndOperation(taken);
    throw;
  }
  EndOperation(taken);
}

}  // namespace rudira
