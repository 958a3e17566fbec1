// Filter optimisation: which comparisons an index answers, the levels of
// the expression nodes, and the key-range scans.
#include "engine/filter_optimizer.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "engine/expression_value.h"
#include "storage/byte_codec.h"
#include "storage/field_type.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_page.h"
#include "storage/index_tree.h"

namespace rudira {

namespace {

constexpr uint8_t kLevelNone = 0;
constexpr uint8_t kLevelPartial = 1;
constexpr uint8_t kLevelFull = 2;

// A comparison that an index can answer, with the column on the left.
struct IndexedComparison {
  int Slot = -1;
  const TFieldDescriptor* Field = nullptr;
  uint8_t Op = 0;
  bool NullTest = false;             // "= NULL" or "<> NULL"
  bool Upper = false;                // the column is wrapped in UPPER
  std::vector<uint8_t> Key;          // the constant in key form: Width + 1 bytes
};

bool IsComparison(uint8_t op) {
  return op == kOpEqual || op == kOpNotEqual || op == kOpLess || op == kOpGreater || op == kOpLessEqual ||
         op == kOpGreaterEqual;
}

uint8_t Mirrored(uint8_t op) {
  switch (op) {
    case kOpLess: return kOpGreater;
    case kOpGreater: return kOpLess;
    case kOpLessEqual: return kOpGreaterEqual;
    case kOpGreaterEqual: return kOpLessEqual;
    default: return op;
  }
}

// The column under `node`: the node itself or the argument of UPPER.
const TExpToken* ColumnOf(const TExpToken& node, bool& upper) {
  upper = false;
  if (node.NodeKind == kNodeColumn) return &node;
  if (node.NodeKind == kNodeFunction && node.OpCode == kFuncUpper) {
    const TExpToken* argument = !node.Arguments.empty() ? node.Arguments[0] : node.Left;
    if (argument && argument->NodeKind == kNodeColumn) {
      upper = true;
      return argument;
    }
  }
  return nullptr;
}

bool Indexable(const TFieldDescriptor& field) {
  if (!field.IsStored()) return false;
  switch (field.FieldType) {
    case kFieldTypeString: case kFieldTypeDate: case kFieldTypeBoolean: case kFieldTypeSmallInt:
    case kFieldTypeInteger: case kFieldTypeFloat: case kFieldTypeTime: case kFieldTypeTimestamp:
    case kFieldTypeWord: case kFieldTypeLargeInt:
      return true;
    default:
      return false;
  }
}

// The integer of a numeric constant when it is exactly one.
bool ExactInteger(const ExpValue& value, int64_t& out) {
  if (value.Type == kFieldTypeBoolean || value.Type == kFieldTypeDate || value.Type == kFieldTypeTime) return false;
  if (IsExpIntegerType(value.Type)) {
    out = value.Int;
    return true;
  }
  if (value.Type == kFieldTypeFloat || value.Type == kFieldTypeExtended) {
    const double d = value.Real;
    if (!std::isfinite(d) || std::trunc(d) != d || std::fabs(d) > 9.0e18) return false;
    out = static_cast<int64_t>(d);
    return true;
  }
  return false;
}

// The stored bytes (field Width) of the constant in the column's type; false
// when the constant has no exact stored form there.
bool StoredForm(const TFieldDescriptor& field, const ExpValue& value, std::vector<uint8_t>& data) {
  data.assign(static_cast<size_t>(field.Width) + 8, 0);
  int64_t i = 0;
  switch (field.FieldType) {
    case kFieldTypeString:
      if (!IsExpTextType(value.Type) || value.Text.empty() || value.Text.size() > field.Size) return false;
      if (value.Text.find('\0') != std::string::npos) return false;
      std::memcpy(data.data(), value.Text.data(), value.Text.size());
      return true;
    case kFieldTypeDate:
    case kFieldTypeTime:
      if (value.Type != field.FieldType) return false;
      StoreLE<int32_t>(data.data(), static_cast<int32_t>(value.Int));
      return true;
    case kFieldTypeTimestamp:
      if (value.Type != kFieldTypeTimestamp) return false;
      StoreDoubleLE(data.data(), value.Real);
      return true;
    case kFieldTypeBoolean:
      if (value.Type != kFieldTypeBoolean) return false;
      StoreLE<uint16_t>(data.data(), value.Int != 0 ? 1 : 0);
      return true;
    case kFieldTypeFloat:
      if (IsExpIntegerType(value.Type) && value.Type != kFieldTypeBoolean) {
        if (std::llabs(value.Int) > (int64_t{1} << 53)) return false;
        StoreDoubleLE(data.data(), static_cast<double>(value.Int));
        return true;
      }
      if (value.Type != kFieldTypeFloat) return false;
      StoreDoubleLE(data.data(), value.Real);
      return true;
    case kFieldTypeSmallInt:
      if (!ExactInteger(value, i) || i < std::numeric_limits<int16_t>::min() || i > std::numeric_limits<int16_t>::max())
        return false;
      StoreLE<int16_t>(data.data(), static_cast<int16_t>(i));
      return true;
    case kFieldTypeWord:
      if (!ExactInteger(value, i) || i < 0 || i > std::numeric_limits<uint16_t>::max()) return false;
      StoreLE<uint16_t>(data.data(), static_cast<uint16_t>(i));
      return true;
    case kFieldTypeInteger:
      if (!ExactInteger(value, i) || i < std::numeric_limits<int32_t>::min() || i > std::numeric_limits<int32_t>::max())
        return false;
      StoreLE<int32_t>(data.data(), static_cast<int32_t>(i));
      return true;
    case kFieldTypeLargeInt:
      if (!ExactInteger(value, i)) return false;
      StoreLE<int64_t>(data.data(), i);
      return true;
    default:
      return false;
  }
}

bool Invert(const TFilterIndexContext& context, const TIndexDefinition& definition) {
  return definition.FieldIsDescending(0) && context.Locale.LanguageId == 0;
}

// Whether `node` is a comparison that an index answers; fills `out`.
bool MatchComparison(const TExpToken& node, const TFilterIndexContext& context, IndexedComparison& out) {
  if (node.NodeKind != kNodeBinary || !IsComparison(node.OpCode) || !node.Left || !node.Right) return false;
  if (context.Partial && context.Partial->count(&node)) return false;
  bool upper = false;
  const TExpToken* column = ColumnOf(*node.Left, upper);
  const TExpToken* constant = node.Right;
  uint8_t op = node.OpCode;
  if (!column) {
    column = ColumnOf(*node.Right, upper);
    constant = node.Left;
    op = Mirrored(op);
  }
  if (!column || constant->NodeKind != kNodeConstant) return false;
  const auto& fields = *context.Fields;
  if (column->FieldNo < 1 || static_cast<size_t>(column->FieldNo) > fields.size()) return false;
  const TFieldDescriptor& field = fields[static_cast<size_t>(column->FieldNo) - 1];
  if (!Indexable(field)) return false;
  if (upper && field.FieldType != kFieldTypeString) return false;
  const bool isNull = constant->IsNull;
  if (isNull && op != kOpEqual && op != kOpNotEqual) return false;
  // The case sensitivity the comparison needs of a string index.
  const bool wantInsensitive = upper || (context.CaseInsensitive && (op == kOpEqual || op == kOpNotEqual));

  const TIndexHeader& header = context.Index->Header();
  const int secondaries = std::min<int>(header.SecondaryIndexCount, kMaxSecondaryIndexes);
  int slot = -1;
  for (int s = context.HasPrimaryKey ? kPrimarySlot : 1; s <= secondaries; ++s) {
    const TIndexDefinition& definition = context.Index->Definition(s);
    if (definition.IndexFieldCount == 0 || definition.FieldNumbers[0] != field.FieldNo) continue;
    if (definition.TemporaryIndex != 0) continue;
    if (field.FieldType == kFieldTypeString && !isNull && (definition.CaseInsensitive != 0) != wantInsensitive) {
      continue;
    }
    slot = s;
    break;
  }
  if (slot < 0) return false;

  const TIndexDefinition& definition = context.Index->Definition(slot);
  out.Slot = slot;
  out.Field = &field;
  out.Op = op;
  out.NullTest = isNull;
  out.Upper = upper;
  out.Key.assign(static_cast<size_t>(field.Width) + 1, 0);
  std::vector<uint8_t> data(static_cast<size_t>(field.Width) + 8, 0);
  if (!isNull) {
    if (!StoredForm(field, LoadExpValue(*constant), data)) return false;
  }
  // UPPER(column) meets the constant as written: the index holds upper-case
  // keys, so a constant with lower-case letters matches none of them.
  const bool keyInsensitive = !upper && definition.CaseInsensitive != 0;
  EncodeKeyField(field, !isNull, data.data(), keyInsensitive, Invert(context, definition), context.Locale,
                 out.Key.data());
  return true;
}

// Ordinal bounds of the keys equal (over the first field) to `key`.
struct KeyBounds {
  int64_t Count = 0;  // keys in the index
  int64_t Low = 0;    // first key not below
  int64_t High = 0;   // first key above
  int32_t LowPage = 0;  // where the search found Low (0: empty index)
  int LowPosition = 0;
};

KeyBounds BoundsOf(TIndexFile& file, int slot, const std::vector<uint8_t>& key) {
  TIndexTree tree(file, slot);
  KeyBounds bounds;
  bounds.Count = tree.RecordCount();
  const int length = static_cast<int>(key.size());
  const TIndexPath path = tree.Descend(key.data(), length);
  if (path.Depth == 0) return bounds;
  bounds.Low = tree.Ordinal(path);
  bounds.LowPage = path.Leaf().Page;
  bounds.LowPosition = path.Leaf().Position;
  const TKeyComparer& comparer = file.Comparer(slot);
  // The equal keys mostly end in the leaf of the descent or its right
  // neighbour: walking those costs one or two pages, where a search by
  // ordinals descends the tree once per step.
  constexpr int kWalkedLeaves = 2;
  int64_t high = bounds.Low;
  int32_t pageNo = path.Leaf().Page;
  int position = path.Leaf().Position;
  for (int leaves = 0; leaves < kWalkedLeaves; ++leaves) {
    if (pageNo == 0) {
      bounds.High = high;
      return bounds;
    }
    TPagePin page(file.GetPage(slot, pageNo));
    if (!page->IsLeaf() || page->Freed() || position > page->EntryCount()) file.RaiseCorrupt();
    const int end = std::max(position, page->UpperBound(comparer, key.data(), length));
    high += end - position;
    if (end < page->EntryCount()) {
      bounds.High = high;
      return bounds;
    }
    pageNo = page->RightSibling();
    position = 0;
  }
  if (pageNo == 0 || high >= bounds.Count) {
    bounds.High = std::min(high, bounds.Count);
    return bounds;
  }
  int64_t low = high;
  high = bounds.Count;
  std::vector<uint8_t> entry;
  int32_t recordNo = 0;
  // Many equal keys: binary search for the first key whose first field
  // compares above.
  while (low < high) {
    const int64_t mid = low + (high - low) / 2;
    const TIndexPath at = tree.PathOfOrdinal(mid);
    if (at.Depth == 0) file.RaiseCorrupt();
    tree.EntryAt(at, entry, recordNo);
    if (comparer.Compare(entry.data(), key.data(), length) > 0) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  bounds.High = low;
  return bounds;
}

using Intervals = std::vector<std::pair<int64_t, int64_t>>;  // [first, last) ordinals

// The ordinal intervals of a comparison, and whether the set is their
// complement.
Intervals IntervalsOf(const IndexedComparison& c, const TFilterIndexContext& context, bool& complement,
                      TIndexIntervals* hint = nullptr) {
  TIndexFile& file = *context.Index;
  const TIndexDefinition& definition = file.Definition(c.Slot);
  complement = false;
  const KeyBounds value = BoundsOf(file, c.Slot, c.Key);
  if (hint && value.LowPage != 0) {
    hint->HintOrdinal = value.Low;
    hint->HintPage = value.LowPage;
    hint->HintPosition = value.LowPosition;
  }
  if (c.Op == kOpEqual || c.Op == kOpNotEqual) {
    complement = c.Op == kOpNotEqual;
    return {{value.Low, value.High}};
  }
  // Ordering: the side of the value, without the null keys.
  std::vector<uint8_t> nullKey(c.Key.size(), 0);
  std::vector<uint8_t> zero(static_cast<size_t>(c.Field->Width) + 8, 0);
  EncodeKeyField(*c.Field, false, zero.data(), false, Invert(context, definition), context.Locale, nullKey.data());
  const KeyBounds nulls = BoundsOf(file, c.Slot, nullKey);
  const bool descending = definition.FieldIsDescending(0);
  const int64_t n = value.Count;
  std::pair<int64_t, int64_t> side;
  const bool less = c.Op == kOpLess || c.Op == kOpLessEqual;
  const bool orEqual = c.Op == kOpLessEqual || c.Op == kOpGreaterEqual;
  if (less != descending) {
    // The side before the value in index order.
    side = {0, orEqual ? value.High : value.Low};
  } else {
    side = {orEqual ? value.Low : value.High, n};
  }
  Intervals result;
  // side minus [nulls.Low, nulls.High).
  if (side.first < std::min(side.second, nulls.Low)) result.push_back({side.first, std::min(side.second, nulls.Low)});
  if (std::max(side.first, nulls.High) < side.second) result.push_back({std::max(side.first, nulls.High), side.second});
  return result;
}

int64_t CountOf(const Intervals& intervals, bool complement, int64_t total) {
  int64_t count = 0;
  for (const auto& [first, last] : intervals) count += last - first;
  return complement ? total - count : count;
}

void AnalyseComparison(TExpToken& node, const TFilterIndexContext& context) {
  IndexedComparison c;
  if (!MatchComparison(node, context, c)) return;
  node.OptimizeLevel = kLevelFull;
  node.IndexNo = c.Slot;
  const int keySize = context.Index->Definition(c.Slot).KeySize;
  if (context.Estimates || context.NinetyPercentRule) {
    bool complement = false;
    const Intervals intervals = IntervalsOf(c, context, complement);
    node.EstimatedCount = CountOf(intervals, complement, TIndexTree(*context.Index, c.Slot).RecordCount());
    node.EstimatedCost = node.EstimatedCount * keySize;
  }
  if (context.NinetyPercentRule) {
    const int64_t threshold = std::llround(0.9 * static_cast<double>(context.RecordCount));
    if (node.EstimatedCount > threshold) {
      node.OptimizeLevel = kLevelNone;
      node.Promotable = true;
    }
  }
}

}  // namespace

namespace {

// result gets the record numbers of `left` entries from leaf `pageNo`,
// position `position` on.
void CollectLeafRecords(TIndexFile& file, int slot, int32_t pageNo, int position, int64_t left,
                        TRecordsBitmap& result) {
  const int32_t limit = file.NextPageNumber(slot);
  for (int32_t steps = 0; left > 0; ++steps) {
    if (pageNo == 0 || steps > limit) file.RaiseCorrupt();
    TPagePin page(file.GetPage(slot, pageNo));
    if (!page->IsLeaf() || page->Freed()) file.RaiseCorrupt();
    for (int i = position; i < page->EntryCount() && left > 0; ++i, --left) {
      const int32_t recordNo = page->Value(i);
      if (recordNo < 1 || static_cast<uint32_t>(recordNo) > result.Size()) file.RaiseCorrupt();
      result.Set(static_cast<uint32_t>(recordNo));
    }
    pageNo = page->RightSibling();
    position = 0;
  }
}

}  // namespace

void CollectIndexRecords(TIndexFile& file, int slot, int64_t first, int64_t last, TRecordsBitmap& result) {
  if (first >= last) return;
  TIndexTree tree(file, slot);
  const TIndexPath path = tree.PathOfOrdinal(first);
  if (path.Depth == 0) file.RaiseCorrupt();
  CollectLeafRecords(file, slot, path.Leaf().Page, path.Leaf().Position, last - first, result);
}

void AnalyseFilterNode(TExpToken& node, const TFilterIndexContext& context) {
  node.OptimizeLevel = kLevelNone;
  node.EstimatedCount = 0;
  node.EstimatedCost = 0;
  node.Promotable = false;
  node.IndexNo = -1;
  if (node.NodeKind == kNodeUnary && node.OpCode == kOpNot && node.Left) {
    AnalyseFilterNode(*node.Left, context);
    node.OptimizeLevel = node.Left->OptimizeLevel;
    node.EstimatedCount = node.Left->EstimatedCount;
    node.EstimatedCost = node.Left->EstimatedCost;
    return;
  }
  if (node.NodeKind == kNodeBinary && (node.OpCode == kOpAnd || node.OpCode == kOpOr) && node.Left && node.Right) {
    AnalyseFilterNode(*node.Left, context);
    AnalyseFilterNode(*node.Right, context);
    TExpToken* left = node.Left;
    TExpToken* right = node.Right;
    node.EstimatedCost = left->EstimatedCost + right->EstimatedCost;
    if (node.OpCode == kOpOr) {
      node.OptimizeLevel =
          left->OptimizeLevel == kLevelFull && right->OptimizeLevel == kLevelFull ? kLevelFull : kLevelNone;
      node.EstimatedCount = std::max(left->EstimatedCount, right->EstimatedCount);
      return;
    }
    if (context.NinetyPercentRule) {
      // A common side and a selective one: the index answers both.
      if (left->Promotable && right->OptimizeLevel == kLevelFull) left->OptimizeLevel = kLevelFull;
      if (right->Promotable && left->OptimizeLevel == kLevelFull) right->OptimizeLevel = kLevelFull;
    }
    node.EstimatedCount = std::min(left->EstimatedCount, right->EstimatedCount);
    if (left->OptimizeLevel == kLevelFull && right->OptimizeLevel == kLevelFull) {
      node.OptimizeLevel = kLevelFull;
    } else if (left->OptimizeLevel != kLevelNone || right->OptimizeLevel != kLevelNone) {
      node.OptimizeLevel = kLevelPartial;
      // The side answered from the index runs first and narrows the other.
      if (left->OptimizeLevel == kLevelNone ||
          (left->OptimizeLevel == kLevelPartial && right->OptimizeLevel == kLevelFull)) {
        node.Left = right;
        node.Right = left;
      }
    }
    return;
  }
  if (node.NodeKind == kNodeBinary) AnalyseComparison(node, context);
}

bool IndexComparisonIntervals(const TExpToken& node, const TFilterIndexContext& context, TIndexIntervals& out) {
  IndexedComparison c;
  if (!MatchComparison(node, context, c)) return false;
  out.Slot = c.Slot;
  out.HintOrdinal = -1;
  out.Ranges = IntervalsOf(c, context, out.Complement, &out);
  return true;
}

bool IndexComparisonSlot(const TExpToken& node, const TFilterIndexContext& context, int& slot, bool& complement) {
  IndexedComparison c;
  if (!MatchComparison(node, context, c)) return false;
  slot = c.Slot;
  complement = c.Op == kOpNotEqual;
  return true;
}

TIndexIntervals IntersectIntervals(const TIndexIntervals& a, const TIndexIntervals& b) {
  assert(a.Slot == b.Slot && !a.Complement && !b.Complement);
  TIndexIntervals result;
  result.Slot = a.Slot;
  size_t i = 0;
  size_t j = 0;
  while (i < a.Ranges.size() && j < b.Ranges.size()) {
    const int64_t first = std::max(a.Ranges[i].first, b.Ranges[j].first);
    const int64_t last = std::min(a.Ranges[i].second, b.Ranges[j].second);
    if (first < last) result.Ranges.push_back({first, last});
    if (a.Ranges[i].second < b.Ranges[j].second) ++i;
    else ++j;
  }
  for (const TIndexIntervals* side : {&a, &b}) {
    if (side->HintOrdinal < 0) continue;
    for (const auto& range : result.Ranges) {
      if (range.first != side->HintOrdinal) continue;
      result.HintOrdinal = side->HintOrdinal;
      result.HintPage = side->HintPage;
      result.HintPosition = side->HintPosition;
      return result;
    }
  }
  return result;
}

void IntervalRecords(TIndexFile& file, const TIndexIntervals& intervals, uint32_t slots, TRecordsBitmap& result) {
  result.SetSize(slots);
  result.ClearAll();
  for (const auto& [first, last] : intervals.Ranges) {
    if (first < last && first == intervals.HintOrdinal) {
      CollectLeafRecords(file, intervals.Slot, intervals.HintPage, intervals.HintPosition, last - first, result);
    } else {
      CollectIndexRecords(file, intervals.Slot, first, last, result);
    }
  }
  if (intervals.Complement) result.Invert();
}

bool IndexComparisonRecords(const TExpToken& node, const TFilterIndexContext& context, uint32_t slots,
                            TRecordsBitmap& result) {
  TIndexIntervals intervals;
  if (!IndexComparisonIntervals(node, context, intervals)) {
    result.SetSize(slots);
    result.ClearAll();
    return false;
  }
  IntervalRecords(*context.Index, intervals, slots, result);
  return true;
}

}  // namespace rudira
