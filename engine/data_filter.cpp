// TFilter: evaluation of one filter into its bitmap, per record and over
// candidate sets, with the column values fetched from the records tested.
#include "engine/data_filter.h"

#include <atomic>
#include <cstring>
#include <unordered_map>

#include "engine/data_cursor.h"
#include "engine/field_token.h"
#include "engine/filter_optimizer.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_header.h"
#include "storage/record_layout.h"

namespace rudira {

namespace {

// Column values of the record being tested: strings with their length, memo
// and other BLOBs read whole.
class TFilterRecordAccess : public TExpressionRecordAccess {
 public:
  TFilterRecordAccess(TDataTable& table, const uint8_t* record) : table_(table), record_(record) {}

  void ReadColumn(const TExpToken& column, TExpToken& value) override {
    const auto& fields = table_.DataFile().Fields();
    if (!record_ || column.FieldNo < 1 || static_cast<size_t>(column.FieldNo) > fields.size()) {
      value.SetNull();
      return;
    }
    ReadFieldToken(table_, fields[static_cast<size_t>(column.FieldNo) - 1], record_, value);
  }

  const uint8_t* ColumnRecord(const TExpToken& column, const TFieldDescriptor*& field) override {
    const auto& fields = table_.DataFile().Fields();
    field = nullptr;
    if (!record_ || column.FieldNo < 1 || static_cast<size_t>(column.FieldNo) > fields.size()) return nullptr;
    field = &fields[static_cast<size_t>(column.FieldNo) - 1];
    return record_;
  }

 private:
  TDataTable& table_;
  const uint8_t* record_;
};

uint64_t NextFilterSerial() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

bool IsLogical(const TExpToken& node) {
  return (node.NodeKind == kNodeBinary && (node.OpCode == kOpAnd || node.OpCode == kOpOr) && node.Left &&
          node.Right) ||
         (node.NodeKind == kNodeUnary && node.OpCode == kOpNot && node.Left);
}

bool IsStringColumnSide(const TExpToken* node) {
  if (!node) return false;
  if (node->NodeKind == kNodeFunction && (node->OpCode == kFuncUpper || node->OpCode == kFuncLower)) {
    node = !node->Arguments.empty() ? node->Arguments[0] : node->Left;
    if (!node) return false;
  }
  return node->NodeKind == kNodeColumn && node->DataType == kFieldTypeString;
}

// A deep copy of a tree, with `map` from each original node to its copy.
TExpToken* CopyTree(const TExpToken& source, std::unordered_map<const TExpToken*, TExpToken*>& map) {
  TExpToken* copy = TExpTokenStack::Take();
  copy->TokenText = source.TokenText;
  copy->NodeKind = source.NodeKind;
  copy->OpCode = source.OpCode;
  copy->ColumnName = source.ColumnName;
  copy->FieldNo = source.FieldNo;
  copy->TableAlias = source.TableAlias;
  copy->SourceTable = source.SourceTable;
  copy->SubQuery = source.SubQuery;
  copy->CopyValueFrom(source);
  copy->IsParameter = source.IsParameter;
  copy->ParameterIndex = source.ParameterIndex;
  copy->FromString = source.FromString;
  copy->SavedDataType = source.SavedDataType;
  copy->SavedSubType = source.SavedSubType;
  copy->SavedDataSize = source.SavedDataSize;
  copy->SavedDataScale = source.SavedDataScale;
  copy->OptimizeLevel = source.OptimizeLevel;
  copy->EstimatedCount = source.EstimatedCount;
  copy->EstimatedCost = source.EstimatedCost;
  copy->Promotable = source.Promotable;
  copy->IndexNo = source.IndexNo;
  map[&source] = copy;
  if (source.Left) copy->SetLeft(CopyTree(*source.Left, map));
  if (source.Right) copy->SetRight(CopyTree(*source.Right, map));
  for (const TExpToken* argument : source.Arguments) copy->AddArgument(CopyTree(*argument, map));
  return copy;
}

}  // namespace

TFilter::TFilter(TDataCursor& cursor, TExpTokenPtr owned, TExpToken* expression, const TCursorFilterOptions& options)
    : cursor_(cursor), serial_(NextFilterSerial()), owned_(std::move(owned)), expression_(expression), options_(options) {
  if (owned_) expression_ = owned_.get();
  MarkPartialComparisons(*expression_);
}

TFilter::TFilter(TDataCursor& cursor, void* owner, TFilterCallback callback, const TCursorFilterOptions& options)
    : cursor_(cursor), serial_(NextFilterSerial()), owner_(owner), callback_(std::move(callback)), isCallback_(true), options_(options) {}

std::unique_ptr<TFilter> TFilter::CopyFor(TDataCursor& cursor) const {
  if (isCallback_) return std::make_unique<TFilter>(cursor, owner_, callback_, options_);
  std::unordered_map<const TExpToken*, TExpToken*> map;
  TExpTokenPtr tree(CopyTree(*expression_, map));
  TCursorFilterOptions options = options_;
  // The copy's constants are already stripped of their "*": its prefix
  // lengths come from this filter.
  options.NoPartialCompare = true;
  auto copy = std::make_unique<TFilter>(cursor, std::move(tree), nullptr, options);
  copy->options_.NoPartialCompare = options_.NoPartialCompare;
  for (const auto& [node, length] : partial_) copy->partial_[map.at(node)] = length;
  copy->optimizeLevel_ = optimizeLevel_;
  return copy;
}

void TFilter::ReplaceExpression(TExpTokenPtr tree) {
  owned_ = std::move(tree);
  expression_ = owned_.get();
  partial_.clear();
  MarkPartialComparisons(*expression_);
  Analyse();
}

void TFilter::MarkPartialComparisons(TExpToken& node) {
  if (IsLogical(node)) {
    MarkPartialComparisons(*node.Left);
    if (node.Right) MarkPartialComparisons(*node.Right);
    return;
  }
  if (options_.NoPartialCompare || node.NodeKind != kNodeBinary ||
      (node.OpCode != kOpEqual && node.OpCode != kOpNotEqual) || !node.Left || !node.Right) {
    return;
  }
  TExpToken* constant = nullptr;
  if (IsStringColumnSide(node.Left) && node.Right->NodeKind == kNodeConstant) constant = node.Right;
  if (IsStringColumnSide(node.Right) && node.Left->NodeKind == kNodeConstant) constant = node.Left;
  if (!constant || constant->IsNull || constant->IsParameter || constant->DataType != kFieldTypeString) return;
  const std::string_view text = constant->Bytes();
  if (text.size() < 2 || text.back() != '*') return;
  const std::string prefix(text.substr(0, text.size() - 1));
  constant->SetBytes(prefix);
  partial_[&node] = prefix.size();
}

TEvaluateOptions TFilter::EvaluateOptions(size_t partialLength) const {
  TEvaluateOptions options;
  const TableLocale locale = cursor_.Table()->DataFile().Locale();
  options.LanguageId = static_cast<uint16_t>(locale.LanguageId);
  options.SortId = static_cast<uint16_t>(locale.SortId);
  options.CaseInsensitive = options_.CaseInsensitive;
  options.PartialLength = partialLength;
  return options;
}

bool TFilter::Truth(const TExpToken& node) {
  // Logical operators are walked here only where a comparison below them
  // needs its own prefix length; otherwise the evaluator takes the whole
  // subtree.
  if (!partial_.empty() && IsLogical(node)) {
    if (node.OpCode == kOpNot) return !Truth(*node.Left);
    if (node.OpCode == kOpAnd) return Truth(*node.Left) && Truth(*node.Right);
    return Truth(*node.Left) || Truth(*node.Right);
  }
  const auto partial = partial_.find(&node);
  TFilterRecordAccess access(*cursor_.Table(), record_);
  return EvaluateCondition(node, access, EvaluateOptions(partial == partial_.end() ? 0 : partial->second));
}

void TFilter::Analyse() {
  if (isCallback_ || !expression_) {
    optimizeLevel_ = 0;
    return;
  }
  TDataTable& table = *cursor_.Table();
  TIndexFile& index = table.IndexFile();
  TFilterIndexContext context;
  context.Index = &index;
  context.Fields = &table.DataFile().Fields();
  context.Locale = table.DataFile().Locale();
  context.HasPrimaryKey = !index.NoPrimaryKey() && index.Definition(kPrimarySlot).IndexFieldCount > 0;
  context.RecordCount = index.ActiveRecordCount();
  context.CaseInsensitive = options_.CaseInsensitive;
  context.Estimates = options_.ComputeEstimates;
  context.NinetyPercentRule = options_.NinetyPercentRule && cursor_.NaturalOrder();
  context.Partial = &partial_;
  AnalyseFilterNode(*expression_, context);
  optimizeLevel_ = expression_->OptimizeLevel;
}

bool TFilter::Accepts(const uint8_t* record) {
  if (isCallback_) return callback_(owner_, record);
  record_ = record;
  const bool result = Truth(*expression_);
  record_ = nullptr;
  return result;
}

TFilterIndexContext TFilter::IndexContext() const {
  TDataTable& table = *cursor_.Table();
  TIndexFile& index = table.IndexFile();
  TFilterIndexContext context;
  context.Index = &index;
  context.Fields = &table.DataFile().Fields();
  context.Locale = table.DataFile().Locale();
  context.HasPrimaryKey = !index.NoPrimaryKey() && index.Definition(kPrimarySlot).IndexFieldCount > 0;
  context.CaseInsensitive = options_.CaseInsensitive;
  context.Partial = &partial_;
  return context;
}

void TFilter::CollectWindows(const TExpToken& node, const TFilterIndexContext& context, TIndexWindows& windows) {
  if (node.NodeKind == kNodeBinary && node.OpCode == kOpAnd && node.Left && node.Right) {
    CollectWindows(*node.Left, context, windows);
    CollectWindows(*node.Right, context, windows);
    return;
  }
  if (node.OptimizeLevel != 2 || node.NodeKind != kNodeBinary || node.OpCode == kOpOr) return;
  TIndexIntervals intervals;
  if (!IndexComparisonIntervals(node, context, intervals) || intervals.Complement) return;
  const auto found = windows.find(intervals.Slot);
  if (found == windows.end()) {
    windows.emplace(intervals.Slot, std::move(intervals));
  } else {
    found->second = IntersectIntervals(found->second, intervals);
  }
}

void TFilter::AddIndexWindows(TIndexWindows& windows) {
  if (isCallback_ || !expression_ || optimizeLevel_ == 0) return;
  CollectWindows(*expression_, IndexContext(), windows);
}

bool TFilter::WindowsOnly(const TExpToken& node, const TFilterIndexContext& context) const {
  if (node.NodeKind == kNodeBinary && node.OpCode == kOpAnd && node.Left && node.Right) {
    return WindowsOnly(*node.Left, context) && WindowsOnly(*node.Right, context);
  }
  if (node.OptimizeLevel != 2 || node.NodeKind != kNodeBinary || node.OpCode == kOpOr) return false;
  int slot = -1;
  bool complement = false;
  return IndexComparisonSlot(node, context, slot, complement) && !complement;
}

bool TFilter::AnsweredByWindows() const {
  if (isCallback_ || !expression_ || optimizeLevel_ != 2) return false;
  return WindowsOnly(*expression_, IndexContext());
}

void TFilter::Evaluate(const TRecordsBitmap& candidates, uint64_t& readCount, const TIndexWindows* windows) {
  // The result goes straight into the filter's bitmap, whose storage is
  // reused from one evaluation to the next.
  bitmap_.SetSize(candidates.Size());
  if (isCallback_) {
    ScanRecords(candidates, bitmap_, readCount, [this](const uint8_t* record) { return callback_(owner_, record); });
  } else {
    EvaluateNode(*expression_, candidates, bitmap_, readCount, windows);
  }
}

void TFilter::ScanRecords(const TRecordsBitmap& candidates, TRecordsBitmap& result, uint64_t& readCount,
                          const std::function<bool(const uint8_t*)>& test) {
  result.SetSize(candidates.Size());
  result.ClearAll();
  TDataFile& data = cursor_.Table()->DataFile();
  const int32_t slots = data.RecordSlotCount();
  std::vector<uint8_t> record(data.RecordSize());
  for (uint32_t n = candidates.NextSet(1); n != 0 && n <= static_cast<uint32_t>(slots);
       n = n < candidates.Size() ? candidates.NextSet(n + 1) : 0) {
    std::memcpy(record.data(), data.ReadRecordBytes(static_cast<int32_t>(n)), record.size());
    if (RecordStatus(record.data()) != kRecordInUse) continue;
    ++readCount;
    if (test(record.data())) result.Set(n);
  }
}

void TFilter::EvaluateNode(TExpToken& node, const TRecordsBitmap& candidates, TRecordsBitmap& result,
                           uint64_t& readCount, const TIndexWindows* windows) {
  const uint32_t size = candidates.Size();
  if (!ContainsColumn(&node)) {
    // Nothing of the record counts: one evaluation decides for all.
    record_ = nullptr;
    result = candidates;
    if (!Truth(node)) result.ClearAll();
    return;
  }
  if (node.OptimizeLevel != 0) {
    if (node.NodeKind == kNodeBinary && node.OpCode == kOpAnd) {
      // At the top of an AND chain the comparisons answered from an index
      // narrow each other before any index entry is read (windows handed
      // in already hold them).
      TIndexWindows narrowed;
      const bool top = &node == expression_ || !node.Parent || node.Parent->NodeKind != kNodeBinary ||
                       node.Parent->OpCode != kOpAnd;
      if (!windows && top) {
        CollectWindows(node, IndexContext(), narrowed);
        windows = &narrowed;
      }
      TRecordsBitmap left(size);
      EvaluateNode(*node.Left, candidates, left, readCount, windows);
      EvaluateNode(*node.Right, left, result, readCount, windows);
      return;
    }
    if (node.NodeKind == kNodeBinary && node.OpCode == kOpOr) {
      TRecordsBitmap right(size);
      EvaluateNode(*node.Left, candidates, result, readCount, nullptr);
      EvaluateNode(*node.Right, candidates, right, readCount, nullptr);
      result.Or(right);
      return;
    }
    if (node.NodeKind == kNodeUnary && node.OpCode == kOpNot) {
      TRecordsBitmap operand(size);
      EvaluateNode(*node.Left, candidates, operand, readCount, nullptr);
      operand.Invert();
      result = candidates;
      result.And(operand);
      return;
    }
    const TFilterIndexContext context = IndexContext();
    int slot = -1;
    bool complement = false;
    if (IndexComparisonSlot(node, context, slot, complement)) {
      // The window of the slot lies inside this comparison's ranges (the
      // comparison narrowed it), so the index is not searched again.
      const auto window = windows && !complement ? windows->find(slot) : TIndexWindows::const_iterator();
      TIndexIntervals intervals;
      if (windows && !complement && window != windows->end()) {
        IntervalRecords(*context.Index, window->second, size, result);
      } else if (IndexComparisonIntervals(node, context, intervals)) {
        IntervalRecords(*context.Index, intervals, size, result);
      } else {
        result.SetSize(size);
        result.ClearAll();
      }
      result.And(candidates);
      return;
    }
  }
  ScanRecords(candidates, result, readCount, [&](const uint8_t* record) {
    record_ = record;
    const bool passes = Truth(node);
    record_ = nullptr;
    return passes;
  });
}

}  // namespace rudira
