// TDataCursor: the filter list and the view bitmap built from the base,
// range and filter bitmaps.
//
// The view is rebuilt when filters are activated, deactivated, replaced or
// dropped, when the range or the index changes, and when the cursor
// resynchronises; a record written through this cursor only updates its own
// bit. Filters are evaluated in list order, each on the records that the
// filters before it left (a fully optimised filter on all candidates, since
// its index scan costs the same either way), so records are read only for
// the unoptimised filters and callbacks and only while they may still pass.
#include <algorithm>
#include <cstring>

#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/expression_checker.h"
#include "engine/filter_optimizer.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"

namespace rudira {

namespace {

constexpr char kEmptyFilterText[] = "filter expression is empty";
constexpr char kInvalidFilterText[] = "filter expression is invalid";

// A BOOLEAN column standing as a condition becomes "column = TRUE", which an
// index can answer.
void RewriteBooleanConditions(TExpToken* node) {
  if (!node) return;
  if (node->NodeKind == kNodeBinary && (node->OpCode == kOpAnd || node->OpCode == kOpOr)) {
    RewriteBooleanConditions(node->Left);
    RewriteBooleanConditions(node->Right);
  } else if (node->NodeKind == kNodeUnary && node->OpCode == kOpNot) {
    RewriteBooleanConditions(node->Left);
  } else {
    RewriteBooleanColumn(node);
  }
}

}  // namespace

// --- the list ---

std::vector<TFilter*> TDataCursor::Filters() const {
  std::vector<TFilter*> list;
  for (const auto& filter : filters_) list.push_back(filter.get());
  return list;
}

bool TDataCursor::AnyFilterActive() const {
  for (const auto& filter : filters_) {
    if (filter->Active()) return true;
  }
  return false;
}

size_t TDataCursor::FilterPosition(const TFilter* filter) const {
  for (size_t i = 0; i < filters_.size(); ++i) {
    if (filters_[i].get() == filter) return i;
  }
  Raise(RUDIRA_NOSUCHFILTER);
}

TFilter* TDataCursor::InsertFilter(std::unique_ptr<TFilter> filter) {
  TFilter* added = filter.get();
  auto at = filters_.end();
  if (!filter->Late()) {
    // Before the first late filter: a late filter stays last.
    at = filters_.begin();
    while (at != filters_.end() && !(*at)->Late()) ++at;
  }
  filters_.insert(at, std::move(filter));
  return added;
}

void TDataCursor::PrepareExpression(TExpToken& root, bool fromText) {
  const std::vector<TFieldDescriptor>& fields = Fields();
  TExpressionCheck check;
  check.ErrorCode = RUDIRA_INVALIDFILTER;
  check.DatabaseName = database_.DirectoryPath();
  check.TableName = tableName_;
  check.ContextPhrase = kFilterContext;
  check.StringsNameColumns = fromText;
  check.Caller = this;
  check.ResolveColumn = [&fields](TExpToken& column) {
    const std::string wanted = FieldNameKey(column.ColumnName);
    for (const TFieldDescriptor& field : fields) {
      if (FieldNameKey(field.FieldName) != wanted) continue;
      column.FieldNo = field.FieldNo;
      column.ColumnName = field.FieldName;
      column.SetType(field.FieldType, field.SubType, field.Size,
                     field.Scale);
      return true;
    }
    return false;
  };
  CheckFilterExpression(root, check);
  RewriteBooleanConditions(&root);
}

TFilter* TDataCursor::AddFilter(std::string_view text, const TCursorFilterOptions& options) {
  RequireOpen();
  if (filters_.size() >= kMaxFilters) Raise(RUDIRA_INTERNALLIMIT);
  parser_.SetErrorCode(RUDIRA_INVALIDFILTER);
  parser_.SetContext(kFilterContext);
  parser_.SetNames(database_.DirectoryPath(), tableName_);
  parser_.SetText(text);
  TExpTokenPtr root = parser_.Parse(kFilterPermissions);
  if (!root) {
    RaiseEngineError(RUDIRA_INVALIDFILTER,
                     {.DatabaseName = database_.DirectoryPath(), .TableName = tableName_, .Text = kEmptyFilterText});
  }
  PrepareExpression(*root, true);
  auto filter = std::make_unique<TFilter>(*this, std::move(root), nullptr, options);
  filter->Analyse();
  return InsertFilter(std::move(filter));
}

TFilter* TDataCursor::AddFilter(TExpTokenPtr tree, const TCursorFilterOptions& options) {
  RequireOpen();
  if (filters_.size() >= kMaxFilters) Raise(RUDIRA_INTERNALLIMIT);
  if (!tree) {
    RaiseEngineError(RUDIRA_INVALIDFILTER,
                     {.DatabaseName = database_.DirectoryPath(), .TableName = tableName_, .Text = kInvalidFilterText});
  }
  TExpToken& root = *tree;
  PrepareExpression(root, false);
  auto filter = std::make_unique<TFilter>(*this, std::move(tree), nullptr, options);
  filter->Analyse();
  return InsertFilter(std::move(filter));
}

TFilter* TDataCursor::AddFilter(TExpToken* tree, const TCursorFilterOptions& options) {
  RequireOpen();
  if (filters_.size() >= kMaxFilters) Raise(RUDIRA_INTERNALLIMIT);
  if (!tree) {
    RaiseEngineError(RUDIRA_INVALIDFILTER,
                     {.DatabaseName = database_.DirectoryPath(), .TableName = tableName_, .Text = kInvalidFilterText});
  }
  PrepareExpression(*tree, false);
  auto filter = std::make_unique<TFilter>(*this, TExpTokenPtr(), tree, options);
  filter->Analyse();
  return InsertFilter(std::move(filter));
}

TFilter* TDataCursor::AddFilter(void* owner, TFilterCallback callback, const TCursorFilterOptions& options) {
  RequireOpen();
  if (filters_.size() >= kMaxFilters) Raise(RUDIRA_INTERNALLIMIT);
  if (!callback) {
    RaiseEngineError(RUDIRA_INVALIDFILTER,
                     {.DatabaseName = database_.DirectoryPath(), .TableName = tableName_, .Text = kInvalidFilterText});
  }
  return InsertFilter(std::make_unique<TFilter>(*this, owner, std::move(callback), options));
}

void TDataCursor::ChangeFilters(const std::function<void()>& change) {
  RequireOpen();
  const bool taken = BeginOperation();
  std::vector<bool> wasActive;
  for (const auto& filter : filters_) wasActive.push_back(filter->Active());
  try {
    std::vector<uint8_t> bookmark;
    bool atBegin = false;
    bool atEnd = false;
    if (!structureOnly_) SaveBookmark(bookmark, atBegin, atEnd);
    change();
    if (!structureOnly_) {
      RebuildView();
      RestoreBookmark(bookmark, atBegin, atEnd);
      if (OnRecord()) ReadCurrent();
    }
  } catch (...) {
    // The list and the view as they were.
    for (size_t i = 0; i < filters_.size() && i < wasActive.size(); ++i) filters_[i]->SetActive(wasActive[i]);
    try {
      if (!structureOnly_) RebuildView();
    } catch (const std::exception&) {
      // The change's own error is the one to report.
    }
    EndOperation(taken);
    throw;
  }
  EndOperation(taken);
}

void TDataCursor::ActivateFilter(TFilter* filter) {
  RequireOpen();
  if (filter) FilterPosition(filter);
  ChangeFilters([&] {
    for (const auto& f : filters_) {
      if (!filter || f.get() == filter) f->SetActive(true);
    }
  });
}

void TDataCursor::DeactivateFilter(TFilter* filter) {
  RequireOpen();
  if (filter) FilterPosition(filter);
  ChangeFilters([&] {
    for (const auto& f : filters_) {
      if (!filter || f.get() == filter) f->SetActive(false);
    }
  });
}

void TDataCursor::DropFilter(TFilter* filter) {
  RequireOpen();
  if (filter) FilterPosition(filter);
  // Out of the view first; the filters leave the list once that worked.
  DeactivateFilter(filter);
  if (filter) {
    filters_.erase(filters_.begin() + static_cast<std::ptrdiff_t>(FilterPosition(filter)));
  } else {
    filters_.clear();
  }
}

void TDataCursor::ReplaceFilterExpression(TFilter* filter, TExpTokenPtr tree) {
  RequireOpen();
  FilterPosition(filter);
  if (!tree || filter->IsCallback()) {
    RaiseEngineError(RUDIRA_INVALIDFILTER,
                     {.DatabaseName = database_.DirectoryPath(), .TableName = tableName_, .Text = kInvalidFilterText});
  }
  PrepareExpression(*tree, false);
  ChangeFilters([&] { filter->ReplaceExpression(std::move(tree)); });
}

uint8_t TDataCursor::GetFilterOptimizeLevel(const TFilter* filter) const {
  RequireOpen();
  return filters_[FilterPosition(filter)]->OptimizeLevel();
}

std::optional<int64_t> TDataCursor::IndexCount(const std::vector<TFilter*>& filters) {
  RequireOpen();
  for (const TFilter* filter : filters) FilterPosition(filter);
  if (filters.empty() || structureOnly_) return std::nullopt;
  const bool taken = BeginOperation();
  std::optional<int64_t> count;
  try {
    count = CountFromWindows(filters);
  } catch (...) {
    EndOperation(taken);
    throw;
  }
  EndOperation(taken);
  return count;
}

std::optional<int64_t> TDataCursor::CountFromWindows(const std::vector<TFilter*>& filters) {
  if (!natural_ && rangeActive_) return std::nullopt;
  std::vector<TFilter*> counted = filters;
  for (const auto& filter : filters_) {
    if (filter->Active() && std::find(filters.begin(), filters.end(), filter.get()) == filters.end()) {
      counted.push_back(filter.get());
    }
  }
  TIndexWindows windows;
  for (TFilter* filter : counted) {
    if (!filter->AnsweredByWindows()) return std::nullopt;
    filter->AddIndexWindows(windows);
  }
  // Windows of two indexes meet only record by record.
  if (windows.size() != 1) return std::nullopt;
  const TIndexIntervals& window = windows.begin()->second;
  // Each entry stands for one record only while the index agrees with the
  // table's count; otherwise the view's candidates decide.
  TIndexFile& index = table_->IndexFile();
  if (TIndexTree(index, window.Slot).RecordCount() != index.ActiveRecordCount()) return std::nullopt;
  int64_t count = 0;
  for (const auto& [first, last] : window.Ranges) count += std::max<int64_t>(0, last - first);
  return count;
}

// --- the view ---

void TDataCursor::BuildBaseBitmap(TRecordsBitmap& base) {
  TDataFile& data = table_->DataFile();
  TIndexFile& index = table_->IndexFile();
  const int32_t slots = data.RecordSlotCount();
  base.SetSize(static_cast<uint32_t>(slots));
  base.ClearAll();
  if (slots <= 0) return;
  if (index.ActiveRecordCount() == slots) {
    base.SetAll();
    for (uint32_t n = static_cast<uint32_t>(slots) + 1; n <= base.Size(); ++n) base.Clear(n);
    return;
  }
  // The active side of the deleted-records index: no record is read.
  int32_t found = 0;
  bool sound = index.Definition(kSysDeletedSlot).RootPage != 0;
  if (sound) {
    TIndexTree(index, kSysDeletedSlot).ForEach([&](const uint8_t* key, int32_t recordNo) {
      if (key[0] != kRecordInUse) return;
      if (recordNo < 1 || recordNo > slots) {
        sound = false;
        return;
      }
      base.Set(static_cast<uint32_t>(recordNo));
      ++found;
    });
  }
  if (sound && found == index.ActiveRecordCount()) return;
  // An index that disagrees with its own count: the status bytes decide.
  base.ClearAll();
  for (int32_t n = 1; n <= slots; ++n) {
    if (RecordStatus(data.GetRecord(n)->Data()) == kRecordInUse) base.Set(static_cast<uint32_t>(n));
  }
}

void TDataCursor::BuildRangeBitmap(TRecordsBitmap& range) {
  const int32_t slots = table_->DataFile().RecordSlotCount();
  range.SetSize(static_cast<uint32_t>(slots));
  range.ClearAll();
  TIndexFile& index = table_->IndexFile();
  const int64_t count = TIndexTree(index, IndexSlot()).RecordCount();
  const int64_t start = RangeStart();
  const int64_t end = RangeEnd();
  const int64_t inside = end >= start ? end - start + 1 : 0;
  if (inside == 0) return;
  if (count - inside < inside) {
    // Fewer keys outside: collect those and complement.
    CollectIndexRecords(index, IndexSlot(), 0, start - 1, range);
    CollectIndexRecords(index, IndexSlot(), end, count, range);
    range.Invert();
  } else {
    CollectIndexRecords(index, IndexSlot(), start - 1, end, range);
  }
}

void TDataCursor::RebuildView() {
  filterActive_ = natural_ || AnyFilterActive();
  if (!filterActive_) {
    view_.SetSize(0);
    viewCount_ = 0;
    return;
  }
  const int32_t slots = table_->DataFile().RecordSlotCount();
  view_.SetSize(static_cast<uint32_t>(slots));
  view_.ClearAll();
  viewCount_ = 0;
  if (slots <= 0) return;
  BuildBaseBitmap(work1_);
  if (!natural_ && rangeActive_) {
    BuildRangeBitmap(work2_);
    work1_.And(work2_);
  }
  // work1_: base and range, the candidates of every filter.
  // The key ranges that all filters together require: a comparison then
  // reads only the index entries that can pass every filter.
  TIndexWindows windows;
  for (const auto& filter : filters_) {
    if (filter->Active()) filter->AddIndexWindows(windows);
  }
  // Until the first filter has run the view is the candidates themselves;
  // it then starts from that filter's result, so a selective first filter
  // never copies the whole candidate bitmap.
  bool viewIsCandidates = true;
  for (const auto& filter : filters_) {
    if (!filter->Active()) continue;
    filter->Evaluate(filter->OptimizeLevel() == 2 || viewIsCandidates ? work1_ : view_, filterRecordReads_,
                     &windows);
    if (viewIsCandidates) {
      view_ = filter->Bitmap();
      view_.And(work1_);
      viewIsCandidates = false;
    } else {
      view_.And(filter->Bitmap());
    }
  }
  if (viewIsCandidates) view_ = work1_;
  viewCount_ = static_cast<int32_t>(view_.Count());
}

bool TDataCursor::KeyInRange(const uint8_t* record) {
  std::vector<uint8_t> key(static_cast<size_t>(keySize_));
  BuildKey(record, key.data());
  const TKeyComparer& comparer = table_->IndexFile().Comparer(IndexSlot());
  if (rangeStartLength_ > 0 && comparer.Compare(key.data(), rangeStartKey_.data(), rangeStartLength_) < 0) return false;
  if (rangeEndLength_ > 0 && comparer.Compare(key.data(), rangeEndKey_.data(), rangeEndLength_) > 0) return false;
  return true;
}

void TDataCursor::UpdateViewAfterWrite(const uint8_t* record, bool deleted) {
  rangePositionsValid_ = false;
  if (!natural_ && !filterActive_) return;
  const int32_t slots = table_->DataFile().RecordSlotCount();
  const int32_t recordNo = RecordNumberOrLink(record);
  if (recordNo < 1 || recordNo > slots) {
    RebuildView();
    return;
  }
  if (view_.Size() < static_cast<uint32_t>(slots)) view_.SetSize(static_cast<uint32_t>(slots));
  bool passes = !deleted;
  if (passes && !natural_ && rangeActive_) passes = KeyInRange(record);
  for (const auto& filter : filters_) {
    if (!passes) break;
    if (filter->Active()) passes = filter->Accepts(record);
  }
  const uint32_t n = static_cast<uint32_t>(recordNo);
  if (passes != view_.Test(n)) {
    if (passes) {
      view_.Set(n);
      ++viewCount_;
    } else {
      view_.Clear(n);
      --viewCount_;
    }
  }
}

}  // namespace rudira
