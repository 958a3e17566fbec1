// Execution of a live SELECT (the base cursor with its WHERE filter and
// index), the column values the evaluator reads from the current records of
// a run's sources, IN-select answered from a sub-query's result cursor, and
// the values of a result's columns.
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "sql/select_query_run.h"
#include "storage/field_type.h"

namespace rudira {

namespace {

TSourceRun* SourceOf(const TExpToken& column) { return static_cast<TSourceRun*>(column.SourceTable); }

void TypeLike(TExpToken& value, const TFieldDescriptor& field) {
  value.SetType(field.FieldType, field.SubType, field.Size, field.Scale);
}

}  // namespace

void TRunAccess::ReadColumn(const TExpToken& column, TExpToken& value) {
  const TSourceRun* source = SourceOf(column);
  if (!source) {
    value.SetNull();
    return;
  }
  const uint8_t* record = source == overrideSource_ ? overrideRecord_ : source->Record.data();
  if (source->NullRow && source != overrideSource_) {
    value.SetNull();
    return;
  }
  ReadFieldToken(*source->Cursor->Table(), source->Cursor->Field(column.FieldNo), record, value);
}

const uint8_t* TRunAccess::ColumnRecord(const TExpToken& column, const TFieldDescriptor*& field) {
  field = nullptr;
  const TSourceRun* source = SourceOf(column);
  // No source, or the row of NULLs of an outer join: ReadColumn answers.
  if (!source || (source->NullRow && source != overrideSource_)) return nullptr;
  field = &source->Cursor->Field(column.FieldNo);
  return source == overrideSource_ ? overrideRecord_ : source->Record.data();
}

bool TRunAccess::SubSelectHasRow(const TExpToken& subSelect, const TExpToken& tested) {
  TQueryRun* run = impl_.RunOf(static_cast<const TDataQuery*>(subSelect.SubQuery));
  if (!run) RaiseSql("Internal table filter error");
  if (tested.IsNull) return false;
  if (!run->SubValuesReady) {
    run->SubValues.clear();
    TDataCursor* cursor = run->Live ? run->LiveCursor : run->ResultCursor.get();
    std::vector<uint8_t> record(cursor->RecordSize());
    cursor->SetToBegin();
    while (cursor->GetNextRecord(record.data()) == 0) {
      TExpTokenPtr value = impl_.ResultValue(*run, 0, record.data());
      if (!value->IsNull) run->SubValues.push_back(std::move(value));
    }
    cursor->SetToBegin();
    run->SubValuesReady = true;
  }
  TExpTokenPtr equal = TExpTokenStack::TakePtr();
  equal->NodeKind = kNodeBinary;
  equal->OpCode = kOpEqual;
  equal->SetType(kFieldTypeBoolean);
  TExpToken* left = TExpTokenStack::Take();
  left->NodeKind = kNodeConstant;
  left->CopyValueFrom(tested);
  left->DataSize = tested.DataSize;
  left->DataScale = tested.DataScale;
  equal->SetLeft(left);
  TExpToken* right = TExpTokenStack::Take();
  right->NodeKind = kNodeConstant;
  equal->SetRight(right);
  for (const TExpTokenPtr& value : run->SubValues) {
    right->CopyValueFrom(*value);
    right->DataSize = value->DataSize;
    right->DataScale = value->DataScale;
    if (EvaluateCondition(*equal, *this)) return true;
  }
  return false;
}

TExpTokenPtr TSelectExecutor::TImpl::ResultValue(TQueryRun& run, size_t column, const uint8_t* record) {
  const TResultColumn& described = run.Columns[column];
  if (run.Live) {
    TSourceRun& source = run.Sources.front();
    if (described.Calculated) {
      Access.Override(&source, record);
      TExpTokenPtr value;
      try {
        value = EvaluateExpression(*described.Expression, Access);
      } catch (...) {
        Access.Override(nullptr, nullptr);
        throw;
      }
      Access.Override(nullptr, nullptr);
      return value;
    }
    const TFieldDescriptor& field = source.Cursor->Field(described.OriginFieldNo);
    TExpTokenPtr value = TExpTokenStack::TakePtr();
    TypeLike(*value, field);
    ReadFieldToken(*source.Cursor->Table(), field, record, *value);
    return value;
  }
  const TFieldDescriptor& field = run.ResultCursor->Field(static_cast<int>(column + 1));
  TExpTokenPtr value = TExpTokenStack::TakePtr();
  TypeLike(*value, field);
  ReadFieldToken(*run.ResultCursor->Table(), field, record, *value);
  return value;
}

void TSelectExecutor::TImpl::ExecuteLive(TQueryRun& run) {
  TSourceRun& source = run.Sources.front();
  TDataCursor& cursor = *source.Cursor;
  run.LiveCursor = &cursor;
  TExpToken* where = run.Query.WhereExpression.get();
  // The previous execution's WHERE filter, still the cursor's only filter,
  // takes the new parameter values in place: the view is rebuilt once
  // instead of once without the filter and once with it. The filter is
  // known by its serial number: a filter added from outside after that one
  // was dropped may have taken its address.
  TFilter* previous = cursor.FilterCount() == 1 ? cursor.Filters().front() : nullptr;
  if (where && run.LiveFilter && previous && previous->Serial() == run.LiveFilterSerial && previous->Active() &&
      !previous->IsCallback() && !ContainsSubSelect(where)) {
    run.LiveFilter = previous;
    cursor.ReplaceFilterExpression(previous, CopyTree(*where));
  } else {
    if (cursor.FilterCount() > 0) cursor.DropFilter(nullptr);
    run.LiveFilter = nullptr;
  }
  if (where && !run.LiveFilter) {
    if (ContainsSubSelect(where)) {
      run.LiveFilter = cursor.AddFilter(
          &run,
          [this, &source, where](void*, const uint8_t* record) {
            Access.Override(&source, record);
            bool pass = false;
            try {
              pass = EvaluateCondition(*where, Access);
            } catch (...) {
              Access.Override(nullptr, nullptr);
              throw;
            }
            Access.Override(nullptr, nullptr);
            return pass;
          });
    } else {
      run.LiveFilter = cursor.AddFilter(CopyTree(*where));
    }
    run.LiveFilterSerial = run.LiveFilter->Serial();
    cursor.ActivateFilter(run.LiveFilter);
  }
  if (run.Query.OrderByPresent) cursor.SetIndexName(run.LiveOrderIndexName);
  cursor.SetToBegin();
  run.RowCount = cursor.GetRecordCount();
}

}  // namespace rudira
