// TKeyComparer: the order of the keys of one index.
//
// Without a locale (and always for "Sys Deleted") keys compare as unsigned
// bytes. Descending fields were inverted when the key was built, so the byte
// order is already the index order and the result is not negated again.
//
// With a locale each index field compares in turn: a string field first by
// its null-flag byte, then by a locale comparison of its text (string sort,
// accents ignored, the table's locale) over at most its width; any other
// field bytewise over flag and width. A descending field (or a descending
// index) negates its field's result. Bytes after the last field (the id
// suffix of a non-unique index) compare bytewise. "Sys Text" keys compare
// bytewise on their first 3 bytes, by locale on the 61-byte word, then
// bytewise on the record number.
//
// A comparer is a small immutable value built from a definition; it holds no
// reference to it.
#pragma once

#include <cstdint>
#include <vector>

#include "storage/field_descriptor.h"
#include "storage/field_value.h"
#include "storage/index_definition.h"

namespace rudira {

class TKeyComparer {
 public:
  TKeyComparer() = default;
  // Plain bytewise comparison of keySize bytes.
  explicit TKeyComparer(int keySize);
  // The comparer of the index in `slot` (storage/index_header.h) defined by
  // `definition` over the table's fields under its locale.
  TKeyComparer(int slot, const TIndexDefinition& definition, const std::vector<TFieldDescriptor>& fields,
               const TableLocale& locale);

  // -1, 0 or 1: the order of keys a and b. With `length` below KeySize only
  // the first `length` bytes count (a partial key: the leading fields).
  int Compare(const uint8_t* a, const uint8_t* b, int length) const;
  int Compare(const uint8_t* a, const uint8_t* b) const { return Compare(a, b, keySize_); }

  int KeySize() const { return keySize_; }
  bool Bytewise() const { return segments_.empty(); }

 private:
  struct Segment {
    int Offset;     // first byte of the segment in the key
    int Length;     // bytes, flag included for a field
    bool Locale;    // text compared by locale (after its flag byte when Flag)
    bool Flag;      // the segment starts with a null-flag byte
    bool Negate;    // descending field
  };

  int keySize_ = 0;
  uint16_t languageId_ = 0;
  uint16_t sortId_ = 0;
  bool caseInsensitive_ = false;
  std::vector<Segment> segments_;  // empty: bytewise over the whole key
};

// Bytewise comparison of `length` bytes: -1, 0 or 1.
int CompareKeyBytes(const uint8_t* a, const uint8_t* b, int length);

}  // namespace rudira
