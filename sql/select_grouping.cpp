// Grouping of a canned SELECT block: the prepare-time checks and resolution
// of GROUP BY and HAVING, the row values and combination rules of the
// aggregates, implicit grouping into one row, the collapse of groups through
// the data-file sort, and COUNT(*) answered from a filtered record count.
#include "sql/select_grouping.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "engine/error_codes.h"
#include "engine/expression_checker.h"
#include "sql/sql_expression.h"
#include "storage/byte_codec.h"
#include "storage/data_file_sort.h"
#include "storage/field_type.h"

namespace rudira {

namespace {

constexpr size_t kMaxGroupColumns = 1024;
constexpr std::string_view kAvgCounterPrefix = "Sys__Avg__Count";
// Rows offered to the held groups before their share of groups is judged
// (again at every power of two after it).
constexpr int64_t kAheadProbeRows = 1024;

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool SameName(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

bool IsFloatType(uint8_t type) { return type == kFieldTypeFloat || type == kFieldTypeTimestamp; }

// A value of a numeric, date or time column: Float values in D, all others
// in I (a BCD as its fixed-point value × 10000).
struct Number {
  bool Float = false;
  bool Fixed = false;
  int64_t I = 0;
  double D = 0.0;
};

std::optional<Number> TokenNumber(const TExpToken& value) {
  if (value.IsNull) return std::nullopt;
  Number n;
  switch (value.DataType) {
    case kFieldTypeSmallInt: n.I = value.Int16(); break;
    case kFieldTypeWord: n.I = value.UInt16(); break;
    case kFieldTypeDate:
    case kFieldTypeTime:
    case kFieldTypeInteger: n.I = value.Int32(); break;
    case kFieldTypeCardinal: n.I = value.UInt32(); break;
    case kFieldTypeLargeInt: n.I = value.Int64(); break;
    case kFieldTypeFloat:
    case kFieldTypeTimestamp:
      n.Float = true;
      n.D = value.Double();
      break;
    case kFieldTypeBcd: {
      const std::optional<int64_t> fixed = BcdToFixedPoint(value.BcdValue());
      if (!fixed) return std::nullopt;
      n.Fixed = true;
      n.I = *fixed;
      break;
    }
    default: return std::nullopt;
  }
  return n;
}

std::optional<Number> FieldNumber(const uint8_t* record, const TFieldDescriptor& field) {
  // The plain number types straight from their bytes (flag byte, then the
  // value little-endian): counts and sums are read for every row grouped.
  if (field.IsStored() && !IsAutoIncField(field.FieldType, field.SubType)) {
    if (record[field.Offset] == 0) return std::nullopt;
    const uint8_t* data = record + field.Offset + 1;
    Number n;
    switch (field.FieldType) {
      case kFieldTypeSmallInt: n.I = LoadLE<int16_t>(data); return n;
      case kFieldTypeWord: n.I = LoadLE<uint16_t>(data); return n;
      case kFieldTypeDate:
      case kFieldTypeTime:
      case kFieldTypeInteger: n.I = LoadLE<int32_t>(data); return n;
      case kFieldTypeCardinal: n.I = LoadLE<uint32_t>(data); return n;
      case kFieldTypeLargeInt: n.I = LoadLE<int64_t>(data); return n;
      case kFieldTypeFloat:
      case kFieldTypeTimestamp:
        n.Float = true;
        n.D = LoadDoubleLE(data);
        return n;
      default: break;
    }
  }
  if (IsFieldNull(record, field)) return std::nullopt;
  const TFieldValue value = ReadFieldValue(record, field);
  Number n;
  if (const auto* v = std::get_if<int16_t>(&value)) n.I = *v;
  else if (const auto* v = std::get_if<uint16_t>(&value)) n.I = *v;
  else if (const auto* v = std::get_if<int32_t>(&value)) n.I = *v;
  else if (const auto* v = std::get_if<uint32_t>(&value)) n.I = *v;
  else if (const auto* v = std::get_if<int64_t>(&value)) n.I = *v;
  else if (const auto* v = std::get_if<double>(&value)) {
    n.Float = true;
    n.D = *v;
  } else if (const auto* v = std::get_if<long double>(&value)) {
    n.Float = true;
    n.D = static_cast<double>(*v);
  } else if (const auto* v = std::get_if<Bcd>(&value)) {
    const std::optional<int64_t> fixed = BcdToFixedPoint(*v);
    if (!fixed) return std::nullopt;
    n.Fixed = true;
    n.I = *fixed;
  } else {
    return std::nullopt;
  }
  return n;
}

// `n` in the form of a column of `type`.
Number Convert(Number n, uint8_t type) {
  Number out;
  if (IsFloatType(type)) {
    out.Float = true;
    out.D = n.Float ? n.D : (n.Fixed ? static_cast<double>(n.I) / 10000.0 : static_cast<double>(n.I));
  } else if (type == kFieldTypeBcd) {
    out.Fixed = true;
    out.I = n.Float ? std::llround(n.D * 10000.0) : (n.Fixed ? n.I : n.I * 10000);
  } else {
    out.I = n.Float ? std::llround(n.D) : (n.Fixed ? std::llround(static_cast<long double>(n.I) / 10000.0L) : n.I);
  }
  return out;
}

// Writes n into a stored field of a plain number type as StoreFieldValue
// does (the value little-endian over the zeroed field, then the flag byte),
// without going through a TFieldValue; false for any other field.
bool StorePlainNumber(uint8_t* record, const TFieldDescriptor& field, const Number& n) {
  if (!field.IsStored() || IsAutoIncField(field.FieldType, field.SubType)) return false;
  uint8_t* data = record + field.Offset + 1;
  // The value over the zeroed field: only bytes past the value need zeroing
  // (none for the usual widths), which saves a library call per value stored.
  auto put = [&](auto value) {
    if (field.Width > sizeof(value)) std::memset(data + sizeof(value), 0, field.Width - sizeof(value));
    StoreLE(data, value);
  };
  switch (field.FieldType) {
    case kFieldTypeSmallInt: put(static_cast<int16_t>(n.I)); break;
    case kFieldTypeWord: put(static_cast<uint16_t>(n.I)); break;
    case kFieldTypeDate:
    case kFieldTypeTime:
    case kFieldTypeInteger: put(static_cast<int32_t>(n.I)); break;
    case kFieldTypeCardinal: put(static_cast<uint32_t>(n.I)); break;
    case kFieldTypeLargeInt: put(n.I); break;
    case kFieldTypeFloat:
    case kFieldTypeTimestamp: put(std::bit_cast<uint64_t>(n.D)); break;
    default: return false;
  }
  record[field.Offset] = 1;
  return true;
}

void StoreNumber(uint8_t* record, const TFieldDescriptor& field, const Number& n, const TableLocale& locale) {
  if (StorePlainNumber(record, field, n)) return;
  TFieldValue value;
  switch (field.FieldType) {
    case kFieldTypeSmallInt: value = static_cast<int16_t>(n.I); break;
    case kFieldTypeWord: value = static_cast<uint16_t>(n.I); break;
    case kFieldTypeDate:
    case kFieldTypeTime:
    case kFieldTypeInteger: value = static_cast<int32_t>(n.I); break;
    case kFieldTypeCardinal: value = static_cast<uint32_t>(n.I); break;
    case kFieldTypeLargeInt: value = n.I; break;
    case kFieldTypeFloat:
    case kFieldTypeTimestamp: value = n.D; break;
    case kFieldTypeBcd: {
      const std::optional<Bcd> bcd = BcdFromFixedPoint(n.I, field.Scale);
      if (!bcd) {
        StoreFieldNull(record, field);
        return;
      }
      value = *bcd;
      break;
    }
    default: StoreFieldNull(record, field); return;
  }
  if (!StoreFieldValue(record, field, value, locale)) StoreFieldNull(record, field);
}

Number Add(const Number& a, const Number& b) {
  Number sum = a;
  if (a.Float) sum.D = a.D + b.D;
  else sum.I = a.I + b.I;
  return sum;
}

bool Less(const Number& a, const Number& b) { return a.Float ? a.D < b.D : a.I < b.I; }

int32_t CountOf(const uint8_t* record, const TFieldDescriptor& field) {
  const std::optional<Number> n = FieldNumber(record, field);
  return n ? static_cast<int32_t>(n->I) : 0;
}

void StoreCount(uint8_t* record, const TFieldDescriptor& field, int64_t count, const TableLocale& locale) {
  Number n;
  n.I = count;
  StoreNumber(record, field, n, locale);
}

bool IsCountStar(const TExpToken* argument) {
  return argument && argument->NodeKind == kNodeColumn && argument->ColumnName == "*";
}

// Whether `argument` is a column of an integer or float type: its value is
// then read as the evaluator reads a column, without evaluating a tree and
// taking a result node for every row grouped.
bool IsNumberColumn(const TExpToken& argument) {
  if (argument.NodeKind != kNodeColumn || IsCountStar(&argument)) return false;
  switch (argument.DataType) {
    case kFieldTypeSmallInt:
    case kFieldTypeWord:
    case kFieldTypeInteger:
    case kFieldTypeCardinal:
    case kFieldTypeLargeInt:
    case kFieldTypeFloat: return true;
    default: return false;
  }
}

// The value of a column argument in a node of this thread, valid until the
// next call.
const TExpToken& ReadColumnArgument(TExpressionRecordAccess& access, const TExpToken& column) {
  thread_local TExpToken value;
  value.Reset();
  value.SetType(column.DataType, column.SubType, column.DataSize, column.DataScale);
  value.IsNull = true;
  access.ReadColumn(column, value);
  value.SetType(column.DataType, column.SubType, column.DataSize, column.DataScale);
  return value;
}

// Whether two resolved trees compute the same value.
bool SameTree(const TExpToken* a, const TExpToken* b) {
  if (!a || !b) return a == b;
  if (a->NodeKind != b->NodeKind || a->OpCode != b->OpCode) return false;
  if (a->NodeKind == kNodeColumn) {
    if (IsCountStar(a) || IsCountStar(b)) return IsCountStar(a) && IsCountStar(b);
    return a->SourceTable == b->SourceTable && a->FieldNo == b->FieldNo;
  }
  if (a->NodeKind == kNodeConstant) {
    if (a->IsParameter || b->IsParameter) return a->IsParameter && b->IsParameter && a->ParameterIndex == b->ParameterIndex;
    if (a->DataType != b->DataType || a->IsNull != b->IsNull) return false;
    return a->TokenText == b->TokenText;
  }
  if (!SameTree(a->Left, b->Left) || !SameTree(a->Right, b->Right)) return false;
  if (a->Arguments.size() != b->Arguments.size()) return false;
  for (size_t i = 0; i < a->Arguments.size(); ++i) {
    if (!SameTree(a->Arguments[i], b->Arguments[i])) return false;
  }
  return true;
}

// Turns `node` into a reference to result column `column`.
void MakeResultReference(TExpToken& node, size_t column, const TResultColumn& described) {
  for (TExpToken* argument : node.Arguments) TExpTokenStack::Free(argument);
  node.Arguments.clear();
  if (node.Left) TExpTokenStack::Free(node.Left);
  if (node.Right) TExpTokenStack::Free(node.Right);
  node.Left = nullptr;
  node.Right = nullptr;
  node.NodeKind = kNodeColumn;
  node.OpCode = 0;
  node.ColumnName = described.Field.FieldName;
  node.TokenText = described.Field.FieldName;
  node.TableAlias.clear();
  node.FieldNo = static_cast<int>(column + 1);
  node.SourceTable = nullptr;
  node.SetType(described.Field.FieldType, described.Field.SubType, described.Field.Size, described.Field.Scale);
}

[[noreturn]] void HavingNotFound() { RaiseSql("Expression in HAVING clause not found in source columns"); }

// Column values of a finished output row, for HAVING: a column node's
// FieldNo is the 1-based result column.
class TRowAccess : public TExpressionRecordAccess {
 public:
  TRowAccess(const TQueryRun& run, const uint8_t* row) : run_(run), row_(row) {}
  void ReadColumn(const TExpToken& column, TExpToken& value) override {
    const size_t index = static_cast<size_t>(column.FieldNo - 1);
    assert(index < run_.Columns.size());
    const TFieldDescriptor& field = run_.Columns[index].Field;
    value.SetType(field.FieldType, field.SubType, field.Size, field.Scale);
    ReadFieldToken(*run_.ResultCursor->Table(), field, row_, value);
  }

 private:
  const TQueryRun& run_;
  const uint8_t* row_;
};

const TDataQuery& MasterOf(const TDataQuery& query) {
  const TDataQuery* master = &query;
  while (master->UnionedOnto) master = master->UnionedOnto;
  return *master;
}

}  // namespace

// ---------------------------------------------------------------------------
// Prepare

namespace {

class TGroupingPrepare {
 public:
  TGroupingPrepare(TSelectExecutor::TImpl& impl, TQueryRun& run) : impl_(impl), run_(run), query_(run.Query) {}

  // COUNT columns are INTEGER (COUNT(*) has no argument to type it); SUM
  // and RUNSUM columns take the widened type of their row values.
  void TypeAggregates() {
    for (size_t i = 0; i < run_.ShownCount; ++i) {
      const uint8_t kind = query_.ResultFields[i].AggregateKind;
      TFieldDescriptor& field = run_.Columns[i].Field;
      if (kind == kFuncCount) {
        query_.ResultFields[i].Expression->SetType(kFieldTypeInteger);
        field.FieldType = kFieldTypeInteger;
        field.SubType = 0;
        field.Size = 0;
        field.Scale = 0;
        continue;
      }
      if (kind != kFuncSum && kind != kFuncRunSum) continue;
      if (field.FieldType == kFieldTypeSmallInt || field.FieldType == kFieldTypeWord) {
        field.FieldType = kFieldTypeInteger;
      } else if (field.FieldType == kFieldTypeInteger || field.FieldType == kFieldTypeCardinal) {
        field.FieldType = kFieldTypeLargeInt;
      } else {
        continue;
      }
      field.SubType = 0;
      field.Size = 0;
      field.Scale = 0;
    }
  }

  std::vector<size_t> ResolveGroupBy() {
    std::vector<size_t> columns;
    if (query_.GroupBy.size() > kMaxGroupColumns) {
      RaiseSql("Maximum number of columns (" + std::string("1024") + ") in GROUP BY clause " + "exceeded");
    }
    for (const TGroupByField& item : query_.GroupBy) {
      const size_t column = item.ColumnName.empty() ? ByNumber(item) : ByName(item);
      const TResultColumn& described = run_.Columns[column];
      if (described.Field.FieldType == kFieldTypeBlob) {
        RaiseSql("Invalid BLOB column '" + described.Field.FieldName + "'" + " specified in GROUP BY clause");
      }
      columns.push_back(column);
    }
    return columns;
  }

  void RewriteHaving() {
    TExpToken* having = query_.HavingExpression.get();
    if (!having) return;
    if (having->DataType != kFieldTypeBoolean) RaiseSql("HAVING clause must be a boolean expression");
    Rewrite(*having);
    TExpressionCheck check;
    check.ErrorCode = RUDIRA_SQLPARSE;
    check.DatabaseName = impl_.Database.DirectoryPath();
    check.ContextPhrase = kHavingContext.Name;
    check.ResolveColumn = [this](TExpToken& column) {
      if (column.SourceTable || column.FieldNo < 1 || static_cast<size_t>(column.FieldNo) > run_.ShownCount) {
        return false;
      }
      const TFieldDescriptor& field = run_.Columns[static_cast<size_t>(column.FieldNo - 1)].Field;
      column.SetType(field.FieldType, field.SubType, field.Size, field.Scale);
      return true;
    };
    CheckExpressionTypes(*having, check);
    if (having->DataType != kFieldTypeBoolean) RaiseSql("HAVING clause must be a boolean expression");
  }

 private:
  size_t ByNumber(const TGroupByField& item) {
    if (item.ColumnNumber == 0 || item.ColumnNumber > run_.ShownCount || IsAggregateColumn(item.ColumnNumber - 1u)) {
      RaiseSql("Invalid column number '" + std::to_string(item.ColumnNumber) + "'" + " specified in GROUP BY clause");
    }
    return item.ColumnNumber - 1u;
  }

  size_t ByName(const TGroupByField& item) {
    for (int pass = 0; pass < 2; ++pass) {
      for (size_t i = 0; i < run_.ShownCount; ++i) {
        const TResultColumn& c = run_.Columns[i];
        bool found = false;
        if (!item.CorrelationName.empty()) {
          found = pass == 0 && !c.Calculated && SameName(c.CorrelationName, item.CorrelationName) &&
                  SameName(c.OriginColumn, item.ColumnName);
        } else if (pass == 0) {
          found = SameName(c.Field.FieldName, item.ColumnName);
        } else {
          found = !c.Calculated && SameName(c.OriginColumn, item.ColumnName);
        }
        if (found && !IsAggregateColumn(i)) return i;
      }
    }
    RaiseSql("Invalid column name '" + item.ColumnName + "'" + " or table correlation name " + "'" +
             item.CorrelationName + "'" + " specified in GROUP BY clause");
  }

  bool IsAggregateColumn(size_t column) const { return query_.ResultFields[column].AggregateKind != 0; }

  void Rewrite(TExpToken& node) {
    if (node.NodeKind == kNodeFunction && IsAggregateFunction(node.OpCode)) {
      const TExpToken* argument = node.Arguments.empty() ? nullptr : node.Arguments.front();
      for (size_t i = 0; i < run_.ShownCount; ++i) {
        const TResultField& item = query_.ResultFields[i];
        if (item.AggregateKind != node.OpCode) continue;
        const TExpToken* own = item.Expression->Arguments.empty() ? nullptr : item.Expression->Arguments.front();
        if (!SameTree(own, argument)) continue;
        MakeResultReference(node, i, run_.Columns[i]);
        return;
      }
      HavingNotFound();
    }
    if (node.NodeKind == kNodeColumn) {
      for (size_t i = 0; i < run_.ShownCount; ++i) {
        const TResultColumn& c = run_.Columns[i];
        if (c.Calculated || !c.Expression) continue;
        if (c.Expression->SourceTable == node.SourceTable && c.Expression->FieldNo == node.FieldNo) {
          MakeResultReference(node, i, c);
          return;
        }
      }
      HavingNotFound();
    }
    if (node.Left) Rewrite(*node.Left);
    if (node.Right) Rewrite(*node.Right);
    for (TExpToken* argument : node.Arguments) Rewrite(*argument);
  }

  TSelectExecutor::TImpl& impl_;
  TQueryRun& run_;
  TDataQuery& query_;
};

}  // namespace

void PrepareGrouping(TSelectExecutor::TImpl& impl, TQueryRun& run) {
  TDataQuery& query = run.Query;
  bool aggregates = false;
  bool plain = false;
  for (const TResultField& item : query.ResultFields) {
    if (item.AggregateKind != 0) aggregates = true;
    else plain = true;
  }
  if (query.HavingPresent && !query.GroupByPresent) {
    RaiseSql("A GROUP BY clause must exist in order to use the HAVING clause");
  }
  if (!query.GroupByPresent) {
    if (!aggregates) return;
    if (plain) {
      // A sub-query, and a UNION member of a grouped master, may mix them:
      // its plain columns then take the values of the first row.
      const bool exempt = query.SubQuery || (query.UnionMember && MasterOf(query).GroupByPresent);
      if (!exempt) RaiseSql("Invalid use of aggregate function(s), the necessary GROUP BY clause is missing");
    }
    query.ImplicitGrouping = true;
  }
  auto grouping = std::make_shared<TGrouping>(impl, run);
  TGroupingPrepare prepare(impl, run);
  prepare.TypeAggregates();
  if (query.GroupByPresent) grouping->groupColumns_ = prepare.ResolveGroupBy();
  prepare.RewriteHaving();
  grouping->having_ = query.HavingExpression.get();
  grouping->Describe();
  run.Grouping = std::move(grouping);
}

// ---------------------------------------------------------------------------
// Execution

TGrouping::TGrouping(TSelectExecutor::TImpl& impl, TQueryRun& run) : impl_(impl), run_(run), query_(run.Query) {}

void TGrouping::Describe() {
  aggregates_.clear();
  aggregateOf_.assign(run_.ShownCount, -1);
  std::vector<size_t> counters;
  for (size_t i = run_.ShownCount; i < run_.Columns.size(); ++i) {
    if (run_.Columns[i].Hidden && run_.Columns[i].Field.FieldName.rfind(kAvgCounterPrefix, 0) == 0) {
      counters.push_back(i);
    }
  }
  size_t nextCounter = 0;
  wideCount_ = 0;
  for (size_t i = 0; i < run_.ShownCount; ++i) {
    const TResultField& item = query_.ResultFields[i];
    if (item.AggregateKind == 0) continue;
    Aggregate aggregate;
    aggregate.Column = i;
    aggregate.Kind = item.AggregateKind;
    const TExpToken* argument = item.Expression->Arguments.empty() ? nullptr : item.Expression->Arguments.front();
    aggregate.Argument = IsCountStar(argument) ? nullptr : argument;
    if (aggregate.Kind == kFuncAvg) {
      assert(nextCounter < counters.size());
      aggregate.Counter = counters[nextCounter++];
      const uint8_t type = run_.Columns[i].Field.FieldType;
      if (type == kFieldTypeDate || type == kFieldTypeTime) aggregate.Wide = static_cast<int>(wideCount_++);
    }
    aggregateOf_[i] = static_cast<int>(aggregates_.size());
    aggregates_.push_back(aggregate);
  }
}

bool TGrouping::IsAggregate(size_t column) const {
  return column < aggregateOf_.size() && aggregateOf_[column] >= 0;
}

bool TGrouping::Implicit() const { return query_.ImplicitGrouping; }

void TGrouping::Reset() {
  accumulator_.clear();
  haveAccumulator_ = false;
  wide_.assign(wideCount_, 0);
  closingWide_.assign(wideCount_, 0);
  closing_ = false;
  answered_ = false;
  locale_ = run_.ResultCursor->Table()->DataFile().Locale();
  combiningAhead_ = false;
  combinedAway_ = 0;
}

void TGrouping::RowValues(TExpressionRecordAccess& access, const TEvaluateOptions& options, uint8_t* record) {
  for (const Aggregate& aggregate : aggregates_) {
    const TFieldDescriptor& field = FieldOf(aggregate.Column);
    if (aggregate.Kind != kFuncMin && aggregate.Kind != kFuncMax && aggregate.Argument &&
        IsNumberColumn(*aggregate.Argument)) {
      // A COUNT, SUM or AVG of a plain number column takes the number from
      // the source record's bytes, as FieldNumber reads it (the value
      // ReadColumnArgument would give), without a value node.
      const TFieldDescriptor* from = nullptr;
      const uint8_t* source = access.ColumnRecord(*aggregate.Argument, from);
      if (source && from->FieldType == aggregate.Argument->DataType && from->IsStored() &&
          !IsAutoIncField(from->FieldType, from->SubType)) {
        const std::optional<Number> number = FieldNumber(source, *from);
        if (aggregate.Kind == kFuncCount) {
          StoreCount(record, field, number ? 1 : 0, locale_);
          continue;
        }
        if (aggregate.Kind == kFuncAvg) StoreCount(record, FieldOf(aggregate.Counter), number ? 1 : 0, locale_);
        if (!number) StoreFieldNull(record, field);
        else StoreNumber(record, field, Convert(*number, field.FieldType), locale_);
        continue;
      }
    }
    TExpTokenPtr evaluated;
    const TExpToken* value = nullptr;
    if (aggregate.Argument && IsNumberColumn(*aggregate.Argument)) {
      value = &ReadColumnArgument(access, *aggregate.Argument);
    } else if (aggregate.Argument) {
      evaluated = EvaluateExpression(*aggregate.Argument, access, options);
      value = evaluated.get();
    }
    const bool present = !value || !value->IsNull;
    if (aggregate.Kind == kFuncCount) {
      StoreCount(record, field, present ? 1 : 0, locale_);
      continue;
    }
    if (aggregate.Kind == kFuncAvg) StoreCount(record, FieldOf(aggregate.Counter), present ? 1 : 0, locale_);
    if (!present) {
      StoreFieldNull(record, field);
      continue;
    }
    if (aggregate.Kind == kFuncMin || aggregate.Kind == kFuncMax) {
      if (!StoreTokenValue(record, field, *value, locale_)) StoreFieldNull(record, field);
      continue;
    }
    const std::optional<Number> number = TokenNumber(*value);
    if (!number) {
      StoreFieldNull(record, field);
      continue;
    }
    StoreNumber(record, field, Convert(*number, field.FieldType), locale_);
  }
}

void TGrouping::CombineInto(const uint8_t* record, uint8_t* row, std::vector<int64_t>& wide) {
  for (const Aggregate& aggregate : aggregates_) {
    const TFieldDescriptor& field = FieldOf(aggregate.Column);
    if (aggregate.Kind == kFuncCount) {
      StoreCount(row, field, static_cast<int64_t>(CountOf(row, field)) + CountOf(record, field), locale_);
      continue;
    }
    if (aggregate.Kind == kFuncAvg) {
      const TFieldDescriptor& counter = FieldOf(aggregate.Counter);
      StoreCount(row, counter, static_cast<int64_t>(CountOf(row, counter)) + CountOf(record, counter), locale_);
    }
    const std::optional<Number> incoming = FieldNumber(record, field);
    if (!incoming) continue;
    const std::optional<Number> held = FieldNumber(row, field);
    if (aggregate.Wide >= 0) wide[static_cast<size_t>(aggregate.Wide)] += incoming->I;
    if (!held) {
      StoreNumber(row, field, *incoming, locale_);
      continue;
    }
    switch (aggregate.Kind) {
      case kFuncMin:
        if (Less(*incoming, *held)) StoreNumber(row, field, *incoming, locale_);
        break;
      case kFuncMax:
        if (Less(*held, *incoming)) StoreNumber(row, field, *incoming, locale_);
        break;
      default:
        // The 64-bit sum of a DATE or TIME average is beside the record.
        if (aggregate.Wide < 0) StoreNumber(row, field, Add(*held, *incoming), locale_);
        break;
    }
  }
}

void TGrouping::StartGroup(uint8_t* previousRow, uint8_t* record) {
  if (previousRow) {
    closingWide_ = wide_;
    closing_ = true;
    for (const Aggregate& aggregate : aggregates_) {
      if (aggregate.Kind != kFuncRunSum) continue;
      const TFieldDescriptor& field = FieldOf(aggregate.Column);
      const std::optional<Number> before = FieldNumber(previousRow, field);
      if (!before) continue;
      const std::optional<Number> own = FieldNumber(record, field);
      StoreNumber(record, field, own ? Add(*before, *own) : *before, locale_);
    }
  }
  for (const Aggregate& aggregate : aggregates_) {
    if (aggregate.Wide < 0) continue;
    const std::optional<Number> own = FieldNumber(record, FieldOf(aggregate.Column));
    wide_[static_cast<size_t>(aggregate.Wide)] = own ? own->I : 0;
  }
}

void TGrouping::FinishGroup(uint8_t* row, const std::vector<int64_t>& wide) {
  for (const Aggregate& aggregate : aggregates_) {
    if (aggregate.Kind != kFuncAvg) continue;
    const TFieldDescriptor& field = FieldOf(aggregate.Column);
    const int64_t count = CountOf(row, FieldOf(aggregate.Counter));
    Number result;
    result.Float = IsFloatType(field.FieldType);
    result.Fixed = field.FieldType == kFieldTypeBcd;
    if (count == 0) {
      StoreNumber(row, field, result, locale_);
      continue;
    }
    if (aggregate.Wide >= 0) {
      result.I = std::llround(static_cast<long double>(wide[static_cast<size_t>(aggregate.Wide)]) / count);
    } else {
      const std::optional<Number> sum = FieldNumber(row, field);
      if (!sum) continue;
      if (result.Float) {
        result.D = sum->D / static_cast<double>(count);
      } else if (result.Fixed) {
        // Rounded at the column's scale; the fixed-point form has 4 decimals.
        int64_t unit = 1;
        for (int s = field.Scale; s < kFixedPointDecimals; ++s) unit *= 10;
        result.I = std::llround(static_cast<long double>(sum->I) / count / unit) * unit;
      } else {
        result.I = std::llround(static_cast<long double>(sum->I) / count);
      }
    }
    StoreNumber(row, field, result, locale_);
  }
}

bool TGrouping::Having(const uint8_t* row) {
  if (!having_) return true;
  TRowAccess access(run_, row);
  TEvaluateOptions options;
  options.LanguageId = query_.LanguageId;
  options.SortId = query_.SortId;
  return EvaluateCondition(*having_, access, options);
}

void TGrouping::Open(const uint8_t* record) {
  accumulator_.assign(record, record + run_.ResultCursor->RecordSize());
  haveAccumulator_ = true;
  StartGroup(nullptr, accumulator_.data());
}

void TGrouping::Combine(const uint8_t* record) {
  assert(haveAccumulator_);
  CombineInto(record, accumulator_.data(), wide_);
}

void TGrouping::AppendRow(std::vector<uint8_t>& record) { run_.ResultCursor->AppendRecord(record.data(), false); }

bool TGrouping::OrderIsGrouping() const {
  if (query_.OrderByNoCase || run_.OrderItems.size() != groupColumns_.size()) return false;
  for (size_t i = 0; i < groupColumns_.size(); ++i) {
    if (run_.OrderItems[i].Column != groupColumns_[i] || run_.OrderItems[i].Descending) return false;
  }
  return true;
}

bool TGrouping::Collapse(const std::vector<uint8_t>* newRows, TSortFeed* feed) {
  // The ORDER BY of a UNION's master orders the whole UNION, later.
  const bool ownOrder = query_.NextUnion == nullptr;
  if (answered_) return ownOrder;
  if (query_.ImplicitGrouping) {
    std::vector<uint8_t> row;
    if (haveAccumulator_) {
      row = accumulator_;
      FinishGroup(row.data(), wide_);
    } else {
      row.assign(run_.ResultCursor->RecordSize(), 0);
      run_.ResultCursor->InitRecord(row.data());
      for (const TResultColumn& column : run_.Columns) StoreFieldNull(row.data(), column.Field);
    }
    if (!(ownOrder && query_.TopCount == 0)) AppendRow(row);
    accumulator_.clear();
    haveAccumulator_ = false;
    return ownOrder;
  }
  const bool orderDone = ownOrder && query_.OrderByPresent && OrderIsGrouping();
  int32_t limit = -1;
  if (ownOrder && query_.TopCount >= 0 && (!query_.OrderByPresent || orderDone)) limit = query_.TopCount;
  SortGroups(limit, newRows, feed);
  return orderDone;
}

TSortOrder TGrouping::SortOrder() const {
  const TDataFile& data = run_.ResultCursor->Table()->DataFile();
  TSortOrder order;
  for (size_t column : groupColumns_) {
    SortField field;
    field.Field = data.Fields()[column];
    order.Fields.push_back(field);
  }
  order.CaseInsensitive = false;
  return order;
}

void TGrouping::StartCombiningAhead(size_t maxBytes) {
  combiningAhead_ = false;
  combinedAway_ = 0;
  aheadOffered_ = 0;
  if (query_.ImplicitGrouping || groupColumns_.empty()) return;
  for (const Aggregate& aggregate : aggregates_) {
    if (aggregate.Kind == kFuncRunSum || aggregate.Wide >= 0) return;
  }
  aheadKeys_.emplace(SortOrder(), locale_);
  if (!aheadKeys_->Bytewise()) return;
  const size_t rowBytes = run_.ResultCursor->RecordSize();
  aheadKey_.assign(aheadKeys_->KeySize(), 0);
  heldGroups_.Start(aheadKeys_->FieldBytes(), rowBytes, std::max<size_t>(1, maxBytes / rowBytes));
  combiningAhead_ = true;
}

bool TGrouping::CombineAhead(const uint8_t* record) {
  if (!combiningAhead_) return false;
  // Groups of a row or two gain nothing from being held: when more than
  // three rows in four so far opened a group, no further group is opened.
  ++aheadOffered_;
  if (aheadOffered_ >= kAheadProbeRows && (aheadOffered_ & (aheadOffered_ - 1)) == 0 &&
      heldGroups_.Count() * 4 > static_cast<size_t>(aheadOffered_) * 3) {
    heldGroups_.Close();
  }
  aheadKeys_->Build(record, aheadKey_.data());
  if (uint8_t* row = heldGroups_.Find(aheadKey_.data())) {
    CombineInto(record, row, wide_);
    ++combinedAway_;
    return true;
  }
  return heldGroups_.Add(aheadKey_.data(), record);
}

void TGrouping::HandOverHeldGroups(std::vector<uint8_t>& rows) {
  if (!combiningAhead_) return;
  combiningAhead_ = false;
  const std::vector<uint8_t>& held = heldGroups_.Rows();
  rows.insert(rows.end(), held.begin(), held.end());
  heldGroups_.Start(0, 0, 0);
  // The ids the rows combined away would have taken when kept.
  TDataFile& file = run_.ResultCursor->Table()->DataFile();
  for (; combinedAway_ > 0; --combinedAway_) file.NextAutoIncValue();
}

void TGrouping::SortGroups(int32_t limit, const std::vector<uint8_t>* newRows, TSortFeed* feed) {
  TDataCursor& cursor = *run_.ResultCursor;
  cursor.FlushBuffers();
  TSortRequest request;
  request.Order = SortOrder();
  request.Output.RowLimit = limit;
  request.Output.StartGroup = [this](uint8_t* previousRow, uint8_t* record) { StartGroup(previousRow, record); };
  request.Output.Accumulate = [this](const uint8_t* record, uint8_t* row) { CombineInto(record, row, wide_); };
  request.Output.FinishGroup = [this](uint8_t* row) {
    // The group being closed, when a new one has already been started.
    if (closing_) {
      closing_ = false;
      FinishGroup(row, closingWide_);
    } else {
      FinishGroup(row, wide_);
    }
  };
  if (having_) request.Output.Filter = [this](const uint8_t* row) { return Having(row); };
  request.NewRows = newRows;
  request.Feed = feed;
  SortResultTable(impl_.Session, cursor, request);
}

bool TGrouping::AnswerCountOnly() {
  if (!query_.ImplicitGrouping || run_.Sources.size() != 1 || run_.Columns.size() != 1 || aggregates_.size() != 1) {
    return false;
  }
  if (aggregates_.front().Kind != kFuncCount || aggregates_.front().Argument) return false;
  // A limit of 0 produces no row to count: the walk gives the row of NULLs.
  if (!run_.RowConditions.empty() || query_.MaxRowCount == 0) return false;
  TSourceRun& source = run_.Sources.front();
  for (const TExpToken* piece : source.Own) {
    if (ContainsSubSelect(piece)) return false;
  }
  TDataCursor& cursor = *source.Cursor;
  if (cursor.FilterCount() > 0) cursor.DropFilter(nullptr);
  source.Kept.clear();
  source.Filters.clear();
  for (const TExpToken* piece : source.Own) source.Filters.push_back(cursor.AddFilter(CopyTree(*piece)));
  // Key ranges of one index are counted from its tree; anything else from
  // the view of all the pieces at once.
  const std::optional<int64_t> fromIndex = cursor.IndexCount(source.Filters);
  if (!fromIndex && !source.Filters.empty()) cursor.ActivateFilter(nullptr);
  int64_t count = fromIndex ? *fromIndex : cursor.GetRecordCount();
  if (query_.MaxRowCount > 0) count = std::min<int64_t>(count, query_.MaxRowCount);
  std::vector<uint8_t> row(run_.ResultCursor->RecordSize(), 0);
  run_.ResultCursor->InitRecord(row.data());
  StoreCount(row.data(), FieldOf(0), count, locale_);
  if (query_.TopCount != 0) AppendRow(row);
  answered_ = true;
  const auto& progress = impl_.Owner.Progress();
  if (progress) {
    bool abort = false;
    progress(100, abort);
  }
  return true;
}

}  // namespace rudira
