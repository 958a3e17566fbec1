// The optimisation analysis of filter expressions and the index scans that
// answer comparisons without reading records.
//
// A comparison can use an index when one side is a column (or, for strings,
// the UPPER conversion of a column), the other a constant, and some index of
// the table has that column as its first field: index 0 only when the table
// has primary key fields, then the secondary indexes in order; the first that
// fits is chosen. For a string column the index must have the comparison's
// case sensitivity: "=" and "<>" under the case-insensitive filter option,
// and every comparison on UPPER(column), need a case-insensitive index; any
// other comparison a case-sensitive one.
//
// Such comparisons, and the null tests (column = NULL, column <> NULL), are
// full (level 2) when the constant has an exact key in the column's form;
// anything the index could answer only approximately (a number with a
// fraction against an integer column, a text longer than the column, a
// partial "*" comparison, a BCD, a LOWER conversion) stays at level none and
// is evaluated on the records. The levels of AND, OR and NOT follow from
// their operands (see AnalyseFilterNode).
//
// Key ranges, on the keys' first field in index order: "=" the keys equal
// to the constant; "<", "<=", ">", ">=" the keys on that side of it, without
// the null keys (a comparison with a null value is false); "<>" the
// complement of "="; "= NULL" the null keys, "<> NULL" their complement. A
// descending first field swaps the sides.
//
// REQUIRES: the table's files are open and used under the cursor's
// operation bracket.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "engine/exp_token.h"
#include "engine/records_bitmap.h"
#include "storage/field_descriptor.h"
#include "storage/field_value.h"
#include "storage/index_file.h"

namespace rudira {

struct TFilterIndexContext {
  TIndexFile* Index = nullptr;
  const std::vector<TFieldDescriptor>* Fields = nullptr;
  TableLocale Locale;
  bool HasPrimaryKey = false;   // index 0 has fields
  int32_t RecordCount = 0;      // active records of the table
  bool CaseInsensitive = false; // the filter's option
  bool Estimates = false;       // fill EstimatedCount and EstimatedCost
  bool NinetyPercentRule = false;
  // Comparisons compared over a prefix (never answered from an index).
  const std::map<const TExpToken*, size_t>* Partial = nullptr;
};

// Marks `node` and its subtree with OptimizeLevel, EstimatedCount,
// EstimatedCost, Promotable and IndexNo:
//   - indexable comparison or null test: full; with the ninety-percent rule
//     a full node whose estimate exceeds 90 percent of the record count
//     (rounded) becomes none and promotable;
//   - NOT: its operand's level;
//   - AND: both full → full; otherwise, when a side is full or partial,
//     partial with that side moved to the left; with the rule a promotable
//     side facing a full side is promoted back first; estimate the smaller,
//     cost the sum;
//   - OR: both full → full, else none; estimate the larger, cost the sum;
//   - anything else: none.
void AnalyseFilterNode(TExpToken& node, const TFilterIndexContext& context);

// The keys of one index that satisfy a comparison: 0-based ordinal ranges
// [first, last) in index order, ascending and disjoint, or with Complement
// every key outside them.
struct TIndexIntervals {
  int Slot = -1;
  std::vector<std::pair<int64_t, int64_t>> Ranges;
  bool Complement = false;
  // The leaf page and position of the key at ordinal HintOrdinal, noted by
  // the search that found it (HintOrdinal -1: none). A range starting there
  // is collected from that leaf without a second search by ordinal; valid
  // only while the index is unchanged.
  int64_t HintOrdinal = -1;
  int32_t HintPage = 0;
  int HintPosition = 0;
};

// The key ranges of the full comparison or null test `node`; false when no
// index answers it.
bool IndexComparisonIntervals(const TExpToken& node, const TFilterIndexContext& context, TIndexIntervals& out);

// The index slot that answers the full comparison or null test `node` and
// whether its key set is a complement ("<>"), without reading the index;
// false when no index answers it.
bool IndexComparisonSlot(const TExpToken& node, const TFilterIndexContext& context, int& slot, bool& complement);

// The ranges of both (same slot, neither a complement): a record's key lies
// in the result exactly when it lies in a and in b, since every record has
// one entry in the index.
TIndexIntervals IntersectIntervals(const TIndexIntervals& a, const TIndexIntervals& b);

// result := the records of the keys in `intervals` (sized to `slots`
// records); the complement also holds free slots, which the caller's
// intersection with the candidates removes.
void IntervalRecords(TIndexFile& file, const TIndexIntervals& intervals, uint32_t slots, TRecordsBitmap& result);

// result := the records whose key in the node's index satisfies the full
// comparison or null test `node` (sized to `slots` records). False when no
// index answers it (the indexes changed since the analysis): the caller
// then evaluates the records.
bool IndexComparisonRecords(const TExpToken& node, const TFilterIndexContext& context, uint32_t slots,
                            TRecordsBitmap& result);

// result gets the record numbers of the entries at 0-based ordinals
// [first, last) of the index in `slot`; 8965 for a record number outside
// result's size.
void CollectIndexRecords(TIndexFile& file, int slot, int64_t first, int64_t last, TRecordsBitmap& result);

}  // namespace rudira
