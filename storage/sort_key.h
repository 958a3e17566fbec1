// TSortKeys: the sort key of a result-table record and the order of two keys.
//
// A sort key is built like an index key (storage/index_key.h), field by field
// in the order of the sort fields, followed by the record's unique id:
//
//   offset           width       contents
//   0                Width1 + 1  sort field 1: null-flag byte, order-preserving value
//   …                …           further sort fields
//   KeySize − 4      4           unique id (record bytes 5..8), int32 big-endian,
//                                sign bit inverted
//
// KeySize = Σ (Width + 1) over the sort fields + 4. Strings are upper-cased
// under the table's locale when the sort is case-insensitive; a descending
// field of a table without a locale has its flag and value bytes inverted.
//
// Order: without a locale the whole key compares as unsigned bytes (the
// inverted fields already give the descending order). With a locale each sort
// field compares in turn: a string field by its null-flag byte and then by a
// locale comparison of its text over at most its width, any other field
// bytewise over flag and width; a descending field negates its result. The id
// suffix compares bytewise, so records with equal sort fields keep the order
// in which they were created.
//
// Duplicate tests (distinct, grouping) compare the sort fields only.
//
// A TSortKeys is an immutable value built from a checked sort order; it
// holds copies of the descriptors and no reference to the data file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/field_descriptor.h"
#include "storage/field_value.h"

namespace rudira {

constexpr size_t kMaxSortFields = 1024;
constexpr size_t kSortKeyIdSize = 4;

// One sort field: the data file's descriptor of the field and its direction.
struct SortField {
  TFieldDescriptor Field;
  bool Descending = false;
};

// What a result table is sorted by: up to 1024 fields in order, and whether
// string fields compare without regard to case.
struct TSortOrder {
  std::vector<SortField> Fields;
  bool CaseInsensitive = false;
};

class TSortKeys {
 public:
  // REQUIRES: at most kMaxSortFields fields, each a stored or computed field
  // of the table being sorted (TDataFile::Sort checks this).
  TSortKeys(const TSortOrder& order, const TableLocale& locale);

  // Bytes of a key: Σ (Width + 1) + 4.
  size_t KeySize() const { return keySize_; }
  // Bytes of the sort fields: KeySize() − 4.
  size_t FieldBytes() const { return keySize_ - kSortKeyIdSize; }

  // Writes the key of `record` (a whole record, storage/record_layout.h) to
  // key, which holds KeySize() bytes.
  void Build(const uint8_t* record, uint8_t* key) const;

  // -1, 0 or 1: the order of two whole keys, the id suffix included.
  int Compare(const uint8_t* a, const uint8_t* b) const;
  // Whether whole keys compare as unsigned bytes (a table without a locale),
  // so that any prefix of two keys orders them unless it is equal.
  bool Bytewise() const { return segments_.empty(); }
  // Whether the sort fields of two keys are equal (the id suffix ignored).
  bool SameFields(const uint8_t* a, const uint8_t* b) const { return CompareFields(a, b) == 0; }

 private:
  // The order of the sort-field part of two keys.
  int CompareFields(const uint8_t* a, const uint8_t* b) const;

  struct Segment {
    size_t Offset;    // first byte of the field in the key (its flag byte)
    size_t Length;    // Width + 1
    bool LocaleText;  // a string compared by locale after its flag byte
    bool Negate;      // descending under a locale
  };

  std::vector<SortField> fields_;  // copies of the order's fields
  bool caseInsensitive_ = false;
  TableLocale locale_;
  size_t keySize_ = kSortKeyIdSize;
  std::vector<Segment> segments_;  // empty: the sort fields compare bytewise
};

}  // namespace rudira
