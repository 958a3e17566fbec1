// Execution of a canned SELECT: WHERE pieces set as cursor filters in two
// passes, the driving-table choice, the nested-loop walk over the join
// links, the result rows, UNION, DISTINCT, ORDER BY and TOP through the
// data-file sort. The rows of a result that is sorted next are kept in
// memory and handed to that sort, which writes them once in their sorted
// order, instead of being appended one by one first; when they are too many
// for memory, each full batch goes to a run file of the sort at once.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "sql/select_grouping.h"
#include "sql/select_query_run.h"
#include "engine/utf8_text.h"
#include "sql/sql_expression.h"
#include "storage/data_file_sort.h"
#include "storage/field_type.h"
#include "storage/field_value.h"

namespace rudira {

namespace {

TSourceRun* SourceOf(const TExpToken& column) { return static_cast<TSourceRun*>(column.SourceTable); }

void TypeLike(TExpToken& value, const TFieldDescriptor& field) {
  value.SetType(field.FieldType, field.SubType, field.Size, field.Scale);
}

TExpTokenPtr MakeAnd(TExpTokenPtr left, TExpTokenPtr right) {
  TExpTokenPtr node = TExpTokenStack::TakePtr();
  node->NodeKind = kNodeBinary;
  node->OpCode = kOpAnd;
  node->TokenText = "AND";
  node->SetType(kFieldTypeBoolean);
  node->SetLeft(left.release());
  node->SetRight(right.release());
  return node;
}

// Field types whose index keys are equal exactly when the values are.
bool ExactKeyType(uint8_t type) {
  switch (type) {
    case kFieldTypeSmallInt:
    case kFieldTypeInteger:
    case kFieldTypeWord:
    case kFieldTypeCardinal:
    case kFieldTypeLargeInt:
    case kFieldTypeDate:
    case kFieldTypeTime:
      return true;
    default:
      return false;
  }
}

// The slot of a unique index of `cursor`'s table made of field fieldNo
// alone, or -1.
int UniqueIndexOn(TDataCursor& cursor, uint16_t fieldNo) {
  TIndexFile& index = cursor.Table()->IndexFile();
  auto single = [fieldNo](const TIndexDefinition& d) {
    return d.Unique != 0 && d.IndexFieldCount == 1 && d.FieldNumbers[0] == fieldNo;
  };
  if (index.PrimaryDefined() && !index.NoPrimaryKey() && single(index.Definition(kPrimarySlot))) return kPrimarySlot;
  for (int slot = 1; slot <= index.Header().SecondaryIndexCount && slot <= kMaxSecondaryIndexes; ++slot) {
    if (single(index.Definition(slot))) return slot;
  }
  return -1;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  return static_cast<double>(ms) / 1000.0;
}

// The walk over the joined rows of one canned query and the rows it makes.
class TWalker {
 public:
  // Rows written back at once while the result table's writes are held
  // in its caches: enough to save the writes per row, few enough that the
  // caches stay small.
  static constexpr int32_t kBatchRows = 512;

  TWalker(TSelectExecutor::TImpl& impl, TQueryRun& run) : impl_(impl), run_(run), query_(run.Query) {}

  // Whether the result table's writes are held in its caches.
  void SetBuffered(bool value) { buffered_ = value; }

  // Keeps the result rows in `rows` instead of appending them, for a
  // result that is sorted next, which then takes them from memory
  // (TSortRequest::NewRows). Whenever they would take more than maxBytes,
  // the rows kept so far go to `feed` as one sorted run.
  void CollectInto(std::vector<uint8_t>* rows, size_t maxBytes, TSortFeed* feed) {
    collected_ = rows;
    collectBytes_ = maxBytes;
    feed_ = feed;
  }
  // Whether every row made is in the collected rows (none was appended).
  bool Collected() const { return collected_ != nullptr; }

  void Run() {
    SetFilters();
    BuildOrder();
    // The component's maximum row count reaches the master query only; a
    // sub-query or UNION member always runs to the end.
    const int32_t maxRows = query_.MaxRowCount;
    limit_ = maxRows >= 0 ? maxRows : -1;
    if (query_.TopCount >= 0 && !query_.OrderByPresent && !query_.GroupByPresent && !query_.ImplicitGrouping &&
        !query_.Distinct && query_.NextUnion == nullptr) {
      limit_ = limit_ < 0 ? query_.TopCount : std::min(limit_, query_.TopCount);
    }
    record_.assign(run_.ResultCursor->RecordSize(), 0);
    TDataCursor& driving = *run_.Sources[order_.front()].Cursor;
    drivingCount_ = driving.GetRecordCount();
    step_ = impl_.Session.ProgressStep();
    PlanCopies();
    PlanKeyLinks();
    PlanBatches();
    if (collected_ != nullptr) {
      // Room for a row per driving record, within the bound: no regrowth.
      const size_t expected = static_cast<size_t>(std::max(drivingCount_, 0)) * record_.size();
      collected_->reserve(std::min(collectBytes_ + record_.size(), expected));
    }
    try {
      if (limit_ != 0) Level(0);
      AppendPending();
    } catch (...) {
      // The rows made so far belong to the result. While they are kept
      // here the table has seen no write of this run, so that writing them
      // now leaves it whole.
      try {
        if (collected_ != nullptr) {
          // Groups combined ahead are written as their rows so far.
          if (run_.Grouping) run_.Grouping->HandOverHeldGroups(*collected_);
          TDataCursor& result = *run_.ResultCursor;
          int32_t appended = 0;
          feed_->Drain([&](const uint8_t* record) {
            result.AppendRecord(record, false);
            if (++appended % kBatchRows == 0) FlushHeld();
          });
          AppendCollected();
          FlushHeld();
        }
      } catch (const std::exception&) {
        // The walk's own error is the one to report.
      }
      throw;
    }
    Report(100, true);
  }

 private:
  // --- filters of this execution
  void SetFilters() {
    const bool single = run_.Sources.size() == 1;
    std::vector<std::pair<size_t, TExpToken*>> secondPass;
    for (size_t t = 0; t < run_.Sources.size(); ++t) {
      TSourceRun& source = run_.Sources[t];
      if (source.Cursor->FilterCount() > 0) source.Cursor->DropFilter(nullptr);
      source.Kept.clear();
      source.Filters.clear();
      for (TExpToken* piece : source.Own) {
        if (ContainsSubSelect(piece)) {
          source.Kept.push_back(piece);
          continue;
        }
        TFilter* filter = source.Cursor->AddFilter(CopyTree(*piece));
        if (source.Cursor->GetFilterOptimizeLevel(filter) == 0) {
          source.Cursor->DropFilter(filter);
          if (single) source.Kept.push_back(piece);
          else secondPass.push_back({t, piece});
          continue;
        }
        source.Filters.push_back(filter);
      }
      // All pieces at once: one view, in which comparisons on the same
      // index narrow each other before their entries are read.
      if (!source.Filters.empty()) source.Cursor->ActivateFilter(nullptr);
    }
    ChooseDriving();
    std::vector<bool> added(run_.Sources.size(), false);
    for (const auto& [t, piece] : secondPass) {
      TSourceRun& source = run_.Sources[t];
      source.Filters.push_back(source.Cursor->AddFilter(CopyTree(*piece)));
      added[t] = true;
    }
    for (size_t t = 0; t < run_.Sources.size(); ++t) {
      if (added[t]) run_.Sources[t].Cursor->ActivateFilter(nullptr);
    }
  }

  void ChooseDriving() {
    root_ = 0;
    while (root_ < run_.Sources.size() && run_.Sources[root_].OuterTarget) ++root_;
    if (root_ == run_.Sources.size()) RaiseSql(" Internal join optimization error");
    if (query_.NoJoinOptimize || run_.Sources.size() < 2) return;
    for (const TSourceRun& source : run_.Sources) {
      if (source.HasJoinOwnCondition) return;
    }
    int32_t best = run_.Sources[root_].Cursor->GetRecordCount();
    const int32_t first = best;
    size_t chosen = root_;
    for (size_t t = 0; t < run_.Sources.size(); ++t) {
      const TSourceRun& source = run_.Sources[t];
      if (source.OuterTarget || t == root_) continue;
      bool preserved = false;
      for (const TSourceRun& other : run_.Sources) preserved = preserved || (other.OuterTarget && other.OuterFrom == t);
      if (preserved) continue;
      const int32_t count = source.Cursor->GetRecordCount();
      if (count < best) {
        best = count;
        chosen = t;
      }
    }
    if (best < first) root_ = chosen;
  }

  // The walk order from the driving table, and at each level the
  // conditions that link the table to the tables before it.
  void BuildOrder() {
    const size_t n = run_.Sources.size();
    std::vector<bool> visited(n, false);
    order_.push_back(root_);
    visited[root_] = true;
    while (order_.size() < n) {
      size_t next = n;
      for (size_t t = 0; t < n && next == n; ++t) {
        if (visited[t]) continue;
        const TSourceRun& source = run_.Sources[t];
        if (source.OuterTarget) {
          if (visited[source.OuterFrom]) next = t;
          continue;
        }
        for (const TInnerEdge& edge : run_.Edges) {
          if ((edge.A == t && visited[edge.B]) || (edge.B == t && visited[edge.A])) next = t;
        }
      }
      for (size_t t = 0; t < n && next == n; ++t) {
        if (!visited[t] && !run_.Sources[t].OuterTarget) next = t;
      }
      if (next == n) RaiseSql("Internal join error attempting to combine join expressions");
      order_.push_back(next);
      visited[next] = true;
    }
    conditions_.resize(n);
    std::vector<bool> before(n, false);
    for (size_t level = 0; level < n; ++level) {
      const size_t t = order_[level];
      for (const TInnerEdge& edge : run_.Edges) {
        if ((edge.A == t && before[edge.B]) || (edge.B == t && before[edge.A])) {
          conditions_[level].push_back(edge.Condition);
        }
      }
      if (run_.Sources[t].OuterTarget) SplitAnd(run_.Sources[t].OuterCondition, conditions_[level]);
      before[t] = true;
    }
  }

  // A copy of `condition` for the cursor of `target`, with the columns of
  // the other tables replaced by their current values. A comparison of such
  // a value that is NULL holds for no record (a NULL key joins nothing),
  // unless it is an IS NULL test: it becomes FALSE in place, so that OR and
  // NOT around it keep their meaning. Returns false when the whole
  // condition came out FALSE.
  bool Substitute(const TExpToken& condition, const TSourceRun* target, TExpTokenPtr& out) {
    out = CopyTree(condition);
    std::vector<TExpToken*> nulls;
    Replace(*out, target, nulls);
    for (TExpToken* value : nulls) {
      if (!value) continue;  // freed with an enclosing comparison
      TExpToken* comparison = value->Parent;
      if (!comparison || !IsComparison(*comparison) || !comparison->Left || !comparison->Right) continue;
      const TExpToken* other = comparison->Left == value ? comparison->Right : comparison->Left;
      const bool nullLiteral = other->NodeKind == kNodeConstant && other->IsNull &&
                               std::find(nulls.begin(), nulls.end(), other) == nulls.end();
      if (nullLiteral) continue;
      MakeFalse(*comparison, nulls);
    }
    return !(out->NodeKind == kNodeConstant && out->DataType == kFieldTypeBoolean && !out->IsNull &&
             out->UInt16() == 0);
  }

  // Turns `node` into the constant FALSE, freeing its operands (and
  // forgetting them in `nulls`).
  static void MakeFalse(TExpToken& node, std::vector<TExpToken*>& nulls) {
    for (TExpToken** child : {&node.Left, &node.Right}) {
      if (!*child) continue;
      std::replace(nulls.begin(), nulls.end(), *child, static_cast<TExpToken*>(nullptr));
      TExpTokenStack::Free(*child);
      *child = nullptr;
    }
    node.NodeKind = kNodeConstant;
    node.OpCode = 0;
    node.TokenText = "FALSE";
    node.SetType(kFieldTypeBoolean);
    node.SetUInt16(0);
  }

  void Replace(TExpToken& node, const TSourceRun* target, std::vector<TExpToken*>& nulls) {
    if (node.NodeKind == kNodeColumn && node.SourceTable && SourceOf(node) != target) {
      const TSourceRun& source = *SourceOf(node);
      if (source.NullRow) {
        node.SetNull();
      } else {
        ReadFieldToken(*source.Cursor->Table(), source.Cursor->Field(node.FieldNo), source.Record.data(), node);
      }
      node.NodeKind = kNodeConstant;
      node.SourceTable = nullptr;
      node.FieldNo = 0;
      node.ColumnName.clear();
      node.TableAlias.clear();
      if (node.IsNull) nulls.push_back(&node);
      return;
    }
    if (node.Left) Replace(*node.Left, target, nulls);
    if (node.Right) Replace(*node.Right, target, nulls);
    for (TExpToken* argument : node.Arguments) Replace(*argument, target, nulls);
  }

  bool KeptHold(const TSourceRun& source) {
    for (const TExpToken* piece : source.Kept) {
      if (!EvaluateCondition(*piece, impl_.Access, Options())) return false;
    }
    return true;
  }

  TEvaluateOptions Options() const {
    TEvaluateOptions options;
    options.LanguageId = query_.LanguageId;
    options.SortId = query_.SortId;
    return options;
  }

  void Level(size_t level) {
    if (stop_) return;
    if (level == order_.size()) {
      Produce();
      return;
    }
    TSourceRun& source = run_.Sources[order_[level]];
    TDataCursor& cursor = *source.Cursor;
    TFilter* probe = nullptr;
    bool possible = true;
    bool matched = false;
    bool probedByKey = false;
    if (links_[level].Field != nullptr) {
      probedByKey = true;
      possible = ProbeLinked(level, source, links_[level], matched);
    } else if (!conditions_[level].empty()) {
      TExpTokenPtr tree;
      for (const TExpToken* condition : conditions_[level]) {
        TExpTokenPtr piece;
        if (!Substitute(*condition, &source, piece)) possible = false;
        tree = tree ? MakeAnd(std::move(tree), std::move(piece)) : std::move(piece);
      }
      if (possible) probedByKey = ProbeByKey(level, source, *tree, matched);
      if (possible && !probedByKey) {
        probe = cursor.AddFilter(std::move(tree));
        cursor.ActivateFilter(probe);
      }
    }
    try {
      if (possible && !probedByKey) {
        cursor.SetToBegin();
        while (!stop_ && cursor.GetNextRecord(source.Record.data()) == 0) {
          if (level == 0) CountDriving();
          if (!KeptHold(source)) continue;
          matched = true;
          Level(level + 1);
        }
      }
    } catch (...) {
      if (probe) cursor.DropFilter(probe);
      throw;
    }
    if (probe) cursor.DropFilter(probe);
    if (!matched && !stop_ && source.OuterTarget) {
      source.NullRow = true;
      try {
        Level(level + 1);
      } catch (...) {
        source.NullRow = false;
        throw;
      }
      source.NullRow = false;
    }
  }

  // A level whose only link is `column = column of a table before it`, the
  // first on a unique one-field index of exact keys and both of the same
  // type and width, is probed with the other record's field bytes as the
  // key: the bytes the value would be stored as (CopiesExactly), without
  // making the condition's copy and its value node for every row before.
  struct TKeyLink {
    const TSourceRun* From = nullptr;          // the table the value comes from
    const TFieldDescriptor* FromField = nullptr;
    const TFieldDescriptor* Field = nullptr;   // the probed field; null: no such link
    int Slot = -1;                             // its unique index
  };

  void PlanKeyLinks() {
    links_.assign(order_.size(), TKeyLink{});
    for (size_t level = 0; level < order_.size(); ++level) {
      if (conditions_[level].size() != 1) continue;
      const TExpToken& condition = *conditions_[level].front();
      if (condition.NodeKind != kNodeBinary || condition.OpCode != kOpEqual || !condition.Left || !condition.Right) {
        continue;
      }
      TSourceRun& source = run_.Sources[order_[level]];
      const TExpToken* column = condition.Left;
      const TExpToken* other = condition.Right;
      if (SourceOf(*other) == &source) std::swap(column, other);
      if (column->NodeKind != kNodeColumn || other->NodeKind != kNodeColumn || SourceOf(*column) != &source ||
          other->SourceTable == nullptr || SourceOf(*other) == &source) {
        continue;
      }
      TDataCursor& cursor = *source.Cursor;
      const TFieldDescriptor& field = cursor.Field(column->FieldNo);
      const TFieldDescriptor& from = SourceOf(*other)->Cursor->Field(other->FieldNo);
      if (!ExactKeyType(field.FieldType) || !CopiesExactly(field.FieldType) || from.FieldType != field.FieldType ||
          from.SubType != field.SubType || from.Width != field.Width || !from.HasNullFlag() || !field.HasNullFlag()) {
        continue;
      }
      const int slot = UniqueIndexOn(cursor, field.FieldNo);
      if (slot < 0) continue;
      links_[level] = TKeyLink{SourceOf(*other), &from, &field, slot};
    }
  }

  // Probes `source` through its key link. Returns false when the value is
  // NULL (it joins nothing).
  bool ProbeLinked(size_t level, TSourceRun& source, const TKeyLink& link, bool& matched) {
    const uint8_t* in = link.From->Record.data() + link.FromField->Offset;
    if (link.From->NullRow || in[0] == 0) return false;
    TDataCursor& cursor = *source.Cursor;
    probe_.resize(cursor.RecordSize());
    cursor.InitRecord(probe_.data());
    std::memcpy(probe_.data() + link.Field->Offset, in, static_cast<size_t>(link.Field->Width) + 1);
    FindAndDescend(level, source, link.Slot, matched);
    return true;
  }

  // Finds the record of probe_'s key in index `slot` of `source` and walks
  // on from it when it is there.
  void FindAndDescend(size_t level, TSourceRun& source, int slot, bool& matched) {
    TDataCursor& cursor = *source.Cursor;
    if (cursor.IndexNo() != slot) {
      cursor.SetIndexName(slot == kPrimarySlot ? std::string() : cursor.Table()->IndexFile().Definition(slot).IndexName);
    }
    if (cursor.Find(probe_.data(), false, source.Record.data(), 1, 0, false)) {
      if (level == 0) CountDriving();
      if (KeptHold(source)) {
        matched = true;
        Level(level + 1);
      }
    }
    // As after a filtered walk to its end.
    std::fill(source.Record.begin(), source.Record.end(), uint8_t{0});
  }

  // A link condition that is one equality of a column of `source` with a
  // value, on a unique one-field index of exact keys, is answered by one key
  // search in that index instead of a filter over the table (whose view
  // would be built and dropped for every row of the tables before it): the
  // key found equal is exactly the one record the filter would pass, and the
  // cursor's WHERE filters still narrow what Find sees. Returns false,
  // having done nothing, for any other condition.
  bool ProbeByKey(size_t level, TSourceRun& source, const TExpToken& condition, bool& matched) {
    if (condition.NodeKind != kNodeBinary || condition.OpCode != kOpEqual || !condition.Left || !condition.Right) {
      return false;
    }
    const TExpToken* column = condition.Left;
    const TExpToken* value = condition.Right;
    if (column->NodeKind != kNodeColumn) std::swap(column, value);
    if (column->NodeKind != kNodeColumn || SourceOf(*column) != &source || value->NodeKind != kNodeConstant ||
        value->IsNull) {
      return false;
    }
    TDataCursor& cursor = *source.Cursor;
    const TFieldDescriptor& field = cursor.Field(column->FieldNo);
    if (!ExactKeyType(field.FieldType) || value->DataType != field.FieldType) return false;
    const int slot = UniqueIndexOn(cursor, field.FieldNo);
    if (slot < 0) return false;
    probe_.resize(cursor.RecordSize());
    cursor.InitRecord(probe_.data());
    if (!StoreTokenValue(probe_.data(), field, *value, cursor.Table()->DataFile().Locale())) return false;
    FindAndDescend(level, source, slot, matched);
    return true;
  }

  void Produce() {
    for (const TExpToken* condition : run_.RowConditions) {
      if (!EvaluateCondition(*condition, impl_.Access, Options())) return;
    }
    TDataCursor& result = *run_.ResultCursor;
    result.InitRecord(record_.data());
    const TableLocale locale = result.Table()->DataFile().Locale();
    std::vector<std::pair<int, TExpTokenPtr>> blobs;
    for (size_t i = 0; i < run_.Columns.size(); ++i) {
      const TResultColumn& column = run_.Columns[i];
      if (!column.Expression) continue;  // a counter filled by grouping
      if (run_.Grouping && run_.Grouping->IsAggregate(i)) continue;  // row values below
      if (const TFieldDescriptor* from = copies_[i]) {
        const TSourceRun& source = *SourceOf(*column.Expression);
        const uint8_t* in = source.Record.data() + from->Offset;
        if (source.NullRow || in[0] == 0) {
          StoreFieldNull(record_.data(), column.Field);
        } else {
          uint8_t* out = record_.data() + column.Field.Offset;
          out[0] = 1;
          std::memcpy(out + 1, in + 1, from->Width);
        }
        continue;
      }
      if (const TFieldDescriptor* from = texts_[i]) {
        const TSourceRun& source = *SourceOf(*column.Expression);
        if (CopyText(source, *from, column.Field)) continue;
      }
      TExpTokenPtr value;
      if (!column.Calculated) {
        const TSourceRun& source = *SourceOf(*column.Expression);
        value = TExpTokenStack::TakePtr();
        TypeLike(*value, column.Field);
        if (source.NullRow) value->SetNull();
        else ReadFieldToken(*source.Cursor->Table(), source.Cursor->Field(column.OriginFieldNo), source.Record.data(), *value);
      } else {
        value = EvaluateExpression(*column.Expression, impl_.Access, Options());
      }
      if (column.Field.FieldType == kFieldTypeBlob) {
        StoreFieldNull(record_.data(), column.Field);
        if (!value->IsNull && value->ValueLength > 0) blobs.push_back({static_cast<int>(i + 1), std::move(value)});
        continue;
      }
      if (!StoreTokenValue(record_.data(), column.Field, *value, locale)) StoreFieldNull(record_.data(), column.Field);
    }
    TGrouping* grouping = run_.Grouping.get();
    if (grouping) grouping->RowValues(impl_.Access, Options(), record_.data());
    const bool implicit = grouping && grouping->Implicit();
    if (implicit && grouping->HasAccumulator()) {
      grouping->Combine(record_.data());
    } else {
      for (auto& [fieldNo, value] : blobs) {
        result.PutBlob(fieldNo, record_.data(), 0, value->ValueLength, value->Value.data());
      }
      if (implicit) grouping->Open(record_.data());
      else AddRow(result);
    }
    ++produced_;
    if (buffered_ && collected_ == nullptr && produced_ % kBatchRows == 0) FlushHeld();
    if (limit_ >= 0 && produced_ >= limit_) stop_ = true;
  }

  // Plain columns of a fixed-width number type the result column shares
  // with its source field are copied byte for byte: reading the value into
  // an expression node and storing it back gives the same bytes.
  void PlanCopies() {
    copies_.assign(run_.Columns.size(), nullptr);
    texts_.assign(run_.Columns.size(), nullptr);
    for (size_t i = 0; i < run_.Columns.size(); ++i) {
      const TResultColumn& column = run_.Columns[i];
      if (!column.Expression || column.Calculated) continue;
      if (run_.Grouping && run_.Grouping->IsAggregate(i)) continue;
      const TSourceRun& source = *SourceOf(*column.Expression);
      const TFieldDescriptor& from = source.Cursor->Field(column.OriginFieldNo);
      const TFieldDescriptor& to = column.Field;
      if (from.FieldType == kFieldTypeString && to.FieldType == kFieldTypeString && from.Width == to.Width &&
          from.Size == to.Size && from.HasNullFlag() && to.HasNullFlag() && to.CharCase != kCharCaseLower &&
          to.CharCase != kCharCaseUpper) {
        texts_[i] = &from;
        continue;
      }
      if (!CopiesExactly(from.FieldType) || from.FieldType != to.FieldType || from.SubType != to.SubType ||
          from.Width != to.Width || !from.HasNullFlag() || !to.HasNullFlag()) {
        continue;
      }
      copies_[i] = &from;
    }
  }

  // A text column planned by PlanCopies: the value as stored is the text
  // that storing it would keep (no trailing space, whole characters within
  // the size), so its bytes are written as they are. False, writing
  // nothing, for any other text: it takes the way through a value node.
  bool CopyText(const TSourceRun& source, const TFieldDescriptor& from, const TFieldDescriptor& to) {
    uint8_t* out = record_.data() + to.Offset;
    const uint8_t* in = source.Record.data() + from.Offset;
    if (source.NullRow || in[0] == 0) {
      StoreFieldNull(record_.data(), to);
      return true;
    }
    const char* text = reinterpret_cast<const char*>(in + 1);
    const size_t length = strnlen(text, std::min<size_t>(from.Size, from.Width));
    if (length > 0 && (text[length - 1] == ' ' || Utf8CutLength(std::string_view(text, length), to.Size) != length)) {
      return false;
    }
    if (length == 0) {
      StoreFieldNull(record_.data(), to);
      return true;
    }
    out[0] = 1;
    std::memcpy(out + 1, text, length);
    std::memset(out + 1 + length, 0, to.Width - length);
    return true;
  }

  static bool CopiesExactly(uint8_t type) {
    switch (type) {
      case kFieldTypeSmallInt:
      case kFieldTypeInteger:
      case kFieldTypeWord:
      case kFieldTypeCardinal:
      case kFieldTypeLargeInt:
      case kFieldTypeFloat:
      case kFieldTypeDate:
      case kFieldTypeTime:
      case kFieldTypeTimestamp:
        return true;
      default:
        return false;
    }
  }

  // Adds the row in record_ to the result: kept with the collected rows,
  // which become a run of the feed when they are full, unless the grouping
  // combines it into a group it holds; appended when nothing is collected.
  void AddRow(TDataCursor& result) {
    if (collected_ == nullptr) {
      if (batched_) pending_.insert(pending_.end(), record_.begin(), record_.end());
      else result.AppendRecord(record_.data(), false);
      return;
    }
    if (run_.Grouping && run_.Grouping->CombineAhead(record_.data())) return;
    if (!collected_->empty() && collected_->size() + record_.size() > collectBytes_) {
      feed_->AddRun(*collected_);
      collected_->clear();
    }
    collected_->insert(collected_->end(), record_.begin(), record_.end());
  }

  // Appends the collected rows to the result table and collects no more.
  void AppendCollected() {
    if (collected_ == nullptr) return;
    std::vector<uint8_t>* rows = collected_;
    collected_ = nullptr;
    TDataCursor& result = *run_.ResultCursor;
    const size_t size = record_.size();
    for (size_t at = 0; at + size <= rows->size(); at += size) {
      result.AppendRecord(rows->data() + at, false);
      if (buffered_ && (at / size + 1) % kBatchRows == 0) FlushHeld();
    }
    rows->clear();
  }

  // Rows that are neither collected for a sort nor carry BLOB data wait in
  // pending_ and go to the result table together when the held rows are
  // written back (TDataCursor::AppendRecords): one pass instead of an
  // append each. A failure drops them as it drops the rows held since the
  // last write-back.
  void PlanBatches() {
    batched_ = buffered_ && collected_ == nullptr;
    for (const TResultColumn& column : run_.Columns) {
      if (column.Field.FieldType == kFieldTypeBlob) batched_ = false;
    }
    pending_.clear();
    if (batched_) pending_.reserve(static_cast<size_t>(kBatchRows) * record_.size());
  }

  void AppendPending() {
    if (pending_.empty()) return;
    run_.ResultCursor->AppendRecords(pending_.data(), pending_.size() / record_.size());
    pending_.clear();
  }

  // Writes back the rows held in the result table's caches.
  void FlushHeld() {
    AppendPending();
    TDataCursor& result = *run_.ResultCursor;
    TDataTable& table = *result.Table();
    table.SetInTransaction(false);
    result.FlushBuffers();
    table.SetInTransaction(true);
  }

  void CountDriving() {
    ++visited_;
    if (drivingCount_ <= 0) return;
    const int percent = static_cast<int>(std::lround(100.0 * visited_ / drivingCount_));
    Report(std::min(percent, 100), false);
  }

  void Report(int percent, bool final) {
    const auto& progress = impl_.Owner.Progress();
    if (!progress) return;
    if (!final && percent - lastReported_ < step_) return;
    lastReported_ = percent;
    bool abort = false;
    progress(percent, abort);
    if (abort && !final) {
      stop_ = true;
      impl_.Aborted = true;
    }
  }

  TSelectExecutor::TImpl& impl_;
  TQueryRun& run_;
  TDataQuery& query_;
  size_t root_ = 0;
  std::vector<size_t> order_;
  std::vector<std::vector<TExpToken*>> conditions_;
  std::vector<uint8_t> record_;
  std::vector<uint8_t> probe_;  // the key record of ProbeByKey
  std::vector<const TFieldDescriptor*> copies_;  // per column: the source field copied byte for byte, or null
  std::vector<TKeyLink> links_;                  // per level: its key link, if it has one
  std::vector<const TFieldDescriptor*> texts_;   // per column: the text field CopyText copies, or null
  std::vector<uint8_t>* collected_ = nullptr;    // rows kept for the sort
  std::vector<uint8_t> pending_;                 // rows not yet appended (PlanBatches)
  bool batched_ = false;                         // rows wait in pending_
  size_t collectBytes_ = 0;
  TSortFeed* feed_ = nullptr;                    // the runs of the rows kept before
  int32_t limit_ = -1;
  int32_t produced_ = 0;
  bool buffered_ = false;
  bool stop_ = false;
  int32_t drivingCount_ = 0;
  int64_t visited_ = 0;
  int lastReported_ = 0;
  int step_ = 5;
};

}  // namespace

void TSelectExecutor::TImpl::ExecuteQuery(TQueryRun& run) {
  const auto start = std::chrono::steady_clock::now();
  run.SubValuesReady = false;
  run.SubValues.clear();
  if (run.Live) ExecuteLive(run);
  else ExecuteCanned(run);
  run.Elapsed += Seconds(start);
}

namespace {

// Sorts the result table in place and reopens its cursor.
// The sort order of `items` on the result table.
TSortOrder OrderOf(const TQueryRun& run, const std::vector<TQueryRun::SortItem>& items, bool caseInsensitive) {
  const TDataFile& data = run.ResultCursor->Table()->DataFile();
  TSortOrder order;
  for (const TQueryRun::SortItem& item : items) {
    SortField field;
    field.Field = data.Fields()[item.Column];
    field.Descending = item.Descending;
    order.Fields.push_back(field);
  }
  order.CaseInsensitive = caseInsensitive;
  return order;
}

// `made`: the result rows kept in memory instead of appended (the table is
// then empty), or nullptr; `feed` the runs of those made before them.
void SortResult(TSelectExecutor::TImpl& impl, TQueryRun& run, const std::vector<TQueryRun::SortItem>& items,
                bool caseInsensitive, bool distinct, int32_t limit, const std::vector<uint8_t>* made = nullptr,
                TSortFeed* feed = nullptr) {
  TDataCursor& cursor = *run.ResultCursor;
  cursor.FlushBuffers();
  TSortRequest request;
  request.Order = OrderOf(run, items, caseInsensitive);
  request.Output.RowLimit = limit;
  request.Output.Distinct = distinct;
  request.NewRows = made;
  request.Feed = feed;
  SortResultTable(impl.Session, cursor, request);
}

// Appends every row of `member`'s result to `run`'s result table.
void AppendMember(TSelectExecutor::TImpl& impl, TQueryRun& run, TQueryRun& member) {
  TDataCursor* source = member.Live ? member.LiveCursor : member.ResultCursor.get();
  TDataCursor& target = *run.ResultCursor;
  std::vector<uint8_t> in(source->RecordSize());
  std::vector<uint8_t> out(target.RecordSize());
  const TableLocale locale = target.Table()->DataFile().Locale();
  source->SetToBegin();
  while (source->GetNextRecord(in.data()) == 0) {
    target.InitRecord(out.data());
    std::vector<std::pair<int, TExpTokenPtr>> blobs;
    for (size_t i = 0; i < run.ShownCount; ++i) {
      TExpTokenPtr value = impl.ResultValue(member, i, in.data());
      const TFieldDescriptor& field = run.Columns[i].Field;
      if (field.FieldType == kFieldTypeBlob) {
        StoreFieldNull(out.data(), field);
        if (!value->IsNull && value->ValueLength > 0) blobs.push_back({static_cast<int>(i + 1), std::move(value)});
        continue;
      }
      if (!StoreTokenValue(out.data(), field, *value, locale)) StoreFieldNull(out.data(), field);
    }
    for (auto& [fieldNo, value] : blobs) target.PutBlob(fieldNo, out.data(), 0, value->ValueLength, value->Value.data());
    target.AppendRecord(out.data(), false);
  }
  source->SetToBegin();
}

std::vector<TQueryRun::SortItem> AllColumns(const TQueryRun& run) {
  std::vector<TQueryRun::SortItem> items;
  for (size_t i = 0; i < run.ShownCount; ++i) items.push_back({i, false});
  return items;
}

// Runs `produce` with the result table's writes held in its caches, as in
// a transaction, and written back in batches of rows (TWalker::kBatchRows)
// and at the end: the table belongs to this run alone, so nobody needs each
// row on disk as it is made. A failed run drops the rows still held and
// reopens the result cursor on what was written; the next execution
// empties the table first.
// A result table already inside a transaction keeps writing as usual.
template <typename Produce>
void ProduceBuffered(TDataCursor& result, Produce produce) {
  TDataTable& table = *result.Table();
  if (table.InTransaction() || !result.Exclusive()) {
    produce(false);
    return;
  }
  table.SetInTransaction(true);
  try {
    produce(true);
  } catch (...) {
    table.SetInTransaction(false);
    try {
      table.DropCaches(false, true);
      result.CloseCursor();
      result.OpenCursor();
    } catch (const std::exception&) {
      // The run's own error is the one to report.
    }
    throw;
  }
  table.SetInTransaction(false);
  result.FlushBuffers();
}

// Whether the first thing after row production is a sort of the result
// table (grouping, DISTINCT or ORDER BY) that can take the rows from memory:
// no UNION member is appended first and no column keeps BLOB data.
bool SortedNext(const TQueryRun& run) {
  const TDataQuery& query = run.Query;
  for (const TResultColumn& column : run.Columns) {
    if (column.Field.FieldType == kFieldTypeBlob) return false;
  }
  if (run.Grouping) return !query.ImplicitGrouping;
  if (query.NextUnion) return false;
  return query.Distinct || (query.OrderByPresent && !query.UnionMember);
}

// The order of the sort SortedNext(run) finds.
TSortOrder FirstSortOrder(const TQueryRun& run) {
  if (run.Grouping) return run.Grouping->SortOrder();
  if (run.Query.Distinct) return OrderOf(run, AllColumns(run), false);
  return OrderOf(run, run.OrderItems, run.Query.OrderByNoCase);
}

// At most this many bytes of result rows are kept in memory for the sort:
// one run of the data-file sort, or the session's record buffers when those
// are larger.
size_t CollectLimit(const TDataSession& session) {
  return std::max<size_t>(kSortRunBytes, static_cast<size_t>(std::max(0, session.MaxDataBufferBytes())));
}

}  // namespace

void TSelectExecutor::TImpl::ExecuteCanned(TQueryRun& run) {
  TDataQuery& query = run.Query;
  // WITH LOCKS: the reader lock of every shared source table for the
  // duration of row production.
  std::vector<TDataTable*> locked;
  auto release = [&locked]() {
    for (TDataTable* table : locked) table->ReaderUnlock();
    locked.clear();
  };
  TDataCursor& result = *run.ResultCursor;
  // The rows of a result that is sorted next can go to that sort from
  // memory, written once in their sorted order.
  std::vector<uint8_t> made;
  std::unique_ptr<TSortFeed> feed;  // runs of them when they are too many for memory
  bool collected = false;
  try {
    if (query.WithLocks) {
      for (TSourceRun& source : run.Sources) {
        TDataTable* table = source.Cursor->Table();
        if (source.Cursor->Exclusive() || table->ReaderLocked()) continue;
        if (table->ReaderLock()) locked.push_back(table);
      }
    }
    result.EmptyTable();
    if (run.Grouping) run.Grouping->Reset();
    if (!run.Grouping || !run.Grouping->AnswerCountOnly()) ProduceBuffered(result, [&](bool buffered) {
        TWalker walker(*this, run);
        walker.SetBuffered(buffered);
        if (buffered && SortedNext(run)) {
          feed = std::make_unique<TSortFeed>(result.Table()->DataFile(), FirstSortOrder(run),
                                             Session.EffectivePrivateDir());
          walker.CollectInto(&made, CollectLimit(Session), feed.get());
          if (run.Grouping) run.Grouping->StartCombiningAhead(CollectLimit(Session));
        }
        walker.Run();
        collected = walker.Collected();
        if (collected && run.Grouping) run.Grouping->HandOverHeldGroups(made);
      });
    release();
  } catch (...) {
    release();
    throw;
  }
  // GROUP BY and implicit grouping collapse the rows; the grouping order
  // may already be the ORDER BY.
  const std::vector<uint8_t>* newRows = collected ? &made : nullptr;
  bool orderDone = false;
  if (run.Grouping) {
    orderDone = run.Grouping->Collapse(newRows, newRows ? feed.get() : nullptr);
    newRows = nullptr;  // in the table now, grouped
  }
  if (query.NextUnion) {
    TQueryRun* member = RunOf(query.NextUnion);
    if (member) {
      AppendMember(*this, run, *member);
      run.Elapsed += member->Elapsed;
      if (!query.NextUnion->UnionAll) SortResult(*this, run, AllColumns(run), false, true, -1);
    }
  }
  const bool partOfUnion = query.UnionMember;
  const int32_t top = query.NextUnion ? query.UnionTopCount : query.TopCount;
  if (query.Distinct) {
    // The ORDER BY is produced by the DISTINCT sort when it lists the
    // columns in the same order, ascending, without NOCASE.
    bool same = query.OrderByPresent && !query.OrderByNoCase && run.OrderItems.size() == run.ShownCount;
    for (size_t i = 0; same && i < run.OrderItems.size(); ++i) {
      same = run.OrderItems[i].Column == i && !run.OrderItems[i].Descending;
    }
    const bool topHere = !query.OrderByPresent || same;
    SortResult(*this, run, AllColumns(run), false, true, topHere ? top : -1, newRows, newRows ? feed.get() : nullptr);
    newRows = nullptr;
    orderDone = same;
  }
  if (query.OrderByPresent && !orderDone && !partOfUnion) {
    SortResult(*this, run, run.OrderItems, query.OrderByNoCase, false, top, newRows, newRows ? feed.get() : nullptr);
  }
  result.SetToBegin();
  run.RowCount = result.GetRecordCount();
}

}  // namespace rudira
