// Prepare-time analysis of INSERT, UPDATE and DELETE: the tables opened
// read-write, the target columns and the values resolved and checked, the
// WHERE condition split into the pieces of each table and the rest.
#include <algorithm>
#include <cctype>
#include <functional>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/expression_checker.h"
#include "engine/value_text.h"
#include "sql/sql_expression.h"
#include "sql/statement_executor.h"
#include "storage/field_type.h"

namespace rudira {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool SameName(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

void Walk(TExpToken* node, const std::function<void(TExpToken&)>& visit) {
  if (!node) return;
  visit(*node);
  Walk(node->Left, visit);
  Walk(node->Right, visit);
  for (TExpToken* argument : node->Arguments) Walk(argument, visit);
}

bool IsDateLike(uint8_t type) {
  return type == kFieldTypeDate || type == kFieldTypeTime || type == kFieldTypeTimestamp;
}

bool IsNumeric(uint8_t type) {
  switch (type) {
    case kFieldTypeSmallInt:
    case kFieldTypeInteger:
    case kFieldTypeFloat:
    case kFieldTypeBcd:
    case kFieldTypeWord:
    case kFieldTypeLargeInt:
    case kFieldTypeCardinal:
    case kFieldTypeExtended: return true;
    default: return false;
  }
}

// Whether a value of type `from` can be stored into a column of type `to`
// (the pairs the value conversion knows, BLOB columns taking text and bytes).
bool Convertible(uint8_t from, uint8_t to) {
  if (from == to || from == kDataTypeUnknown) return true;
  if (to == kFieldTypeBlob) {
    return from == kFieldTypeString || from == kFieldTypeBytes || from == kFieldTypeVarBytes;
  }
  if (from == kFieldTypeBytes || from == kFieldTypeVarBytes || from == kFieldTypeBlob) return true;
  if (to == kFieldTypeBytes || to == kFieldTypeVarBytes) return true;
  if (from == kFieldTypeString) return true;
  if (to == kFieldTypeString) return true;
  switch (from) {
    case kFieldTypeDate: return to == kFieldTypeTimestamp;
    case kFieldTypeTime: return to == kFieldTypeTimestamp;
    case kFieldTypeTimestamp: return to == kFieldTypeDate || to == kFieldTypeTime;
    case kFieldTypeBoolean: return IsNumeric(to) && to != kFieldTypeFloat;
    case kFieldTypeSmallInt:
    case kFieldTypeWord: return IsNumeric(to) || to == kFieldTypeBoolean;
    default: return IsNumeric(from) && IsNumeric(to);
  }
}

class TDataChangePrepare {
 public:
  TDataChangePrepare(TSelectExecutor::TImpl& impl, TQueryRun& run) : impl_(impl), run_(run), query_(run.Query) {}

  void Run() {
    OpenSources();
    if (query_.Kind == kStatementInsert || query_.Kind == kStatementUpdate) {
      ResolveTargets();
      CollectValues();
      CheckValues();
    }
    if (query_.Kind == kStatementUpdate || query_.Kind == kStatementDelete) DistributeWhere();
  }

 private:
  void OpenSources() {
    run_.Sources.resize(query_.SourceTables.size());
    for (size_t i = 0; i < query_.SourceTables.size(); ++i) {
      TSourceRun& source = run_.Sources[i];
      TSourceTable& table = query_.SourceTables[i];
      source.Source = &table;
      const bool memory = table.InMemory || table.Location == TableLocation::kMemory;
      if (memory) {
        source.Database = impl_.Session.OpenDatabase(kMemoryDatabaseName, "");
        source.OwnsDatabase = true;
      } else if (table.Location == TableLocation::kDirectory) {
        source.Database = impl_.Session.OpenDatabase(table.Directory, table.Directory);
        source.OwnsDatabase = true;
      } else {
        source.Database = &impl_.Database;
      }
      source.Cursor = std::make_unique<TDataCursor>(impl_.Session, *source.Database);
      source.Cursor->SetTableName(table.TableName);
      source.Cursor->SetInMemory(memory);
      source.Cursor->SetNaturalOrder(true);
      if (impl_.Owner.PasswordCallback()) source.Cursor->SetPasswordCallback(impl_.Owner.PasswordCallback());
      source.Cursor->OpenCursor();
      source.Record.assign(source.Cursor->RecordSize(), 0);
      table.Cursor = source.Cursor.get();
      if (i == 0) {
        const TableLocale locale = source.Cursor->Table()->DataFile().Locale();
        if (!query_.LanguageGiven) query_.LanguageId = static_cast<uint16_t>(locale.LanguageId);
        if (!query_.SortGiven) query_.SortId = static_cast<uint16_t>(locale.SortId);
      }
    }
  }

  TDataCursor& Target() { return *run_.Sources.front().Cursor; }

  // The target columns, "*" expanded, as run.Columns (Field: the column).
  void ResolveTargets() {
    std::vector<TUpdateField> expanded;
    const TSourceTable& target = query_.SourceTables.front();
    for (TUpdateField& item : query_.UpdateFields) {
      if (item.ColumnName == "*") {
        for (const TFieldDescriptor& field : Target().Fields()) {
          TUpdateField one;
          one.ColumnName = field.FieldName;
          one.SourceText = field.FieldName;
          expanded.push_back(std::move(one));
        }
        continue;
      }
      expanded.push_back(std::move(item));
    }
    query_.UpdateFields = std::move(expanded);
    run_.Columns.clear();
    for (const TUpdateField& item : query_.UpdateFields) {
      const TFieldDescriptor* found = nullptr;
      const bool correlationOk = item.CorrelationName.empty() || SameName(item.CorrelationName, target.CorrelationName) ||
                                 SameName(item.CorrelationName, target.TableName);
      if (correlationOk) {
        for (const TFieldDescriptor& field : Target().Fields()) {
          if (SameName(field.FieldName, item.ColumnName)) found = &field;
        }
      }
      if (!found) {
        RaiseSql("Invalid column name '" + item.ColumnName + "'" + " or table correlation name " + "'" +
                 item.CorrelationName + "'" + " specified in table columns");
      }
      TResultColumn column;
      column.Field = *found;
      column.OriginFieldNo = found->FieldNo;
      column.OriginColumn = found->FieldName;
      run_.Columns.push_back(column);
    }
    run_.ShownCount = run_.Columns.size();
  }

  void CollectValues() {
    if (query_.Kind == kStatementInsert && query_.UpdateValues.empty()) {
      TQueryRun* source = SourceRun(impl_, query_);
      if (!source) RaiseSql("Internal table filter error");
      if (source->ShownCount != run_.Columns.size()) RaiseSql("The number of values must match the number of table columns");
      return;
    }
    if (query_.UpdateValues.size() != run_.Columns.size()) {
      RaiseSql("The number of values must match the number of table columns");
    }
  }

  int FindCorrelation(std::string_view name) const {
    for (size_t i = 0; i < query_.SourceTables.size(); ++i) {
      if (SameName(query_.SourceTables[i].CorrelationName, name)) return static_cast<int>(i);
    }
    return -1;
  }

  bool Resolve(TExpToken& column, bool allowColumns) {
    if (!allowColumns) return false;
    auto match = [&](size_t t) {
      for (const TFieldDescriptor& field : run_.Sources[t].Cursor->Fields()) {
        if (!SameName(field.FieldName, column.ColumnName)) continue;
        column.FieldNo = field.FieldNo;
        column.ColumnName = field.FieldName;
        column.SetType(field.FieldType, field.SubType, field.Size, field.Scale);
        column.SourceTable = &run_.Sources[t];
        return true;
      }
      return false;
    };
    if (!column.TableAlias.empty()) {
      const int t = FindCorrelation(column.TableAlias);
      return t >= 0 && match(static_cast<size_t>(t));
    }
    for (size_t t = 0; t < run_.Sources.size(); ++t) {
      if (match(t)) return true;
    }
    return false;
  }

  void CheckTree(TExpToken& root, const SqlExpressionContext& context, bool allowColumns) {
    Walk(&root, [&](TExpToken& node) {
      if (node.NodeKind != kNodeColumn || node.TableAlias.empty() || !allowColumns) return;
      if (FindCorrelation(node.TableAlias) >= 0) return;
      RaiseSql("Table correlation name '" + node.TableAlias + "'" +
               " referenced in WHERE clause is not defined in the FROM clause");
    });
    Walk(&root, [&](TExpToken& node) {
      if (node.NodeKind != kNodeSubSelect) return;
      TQueryRun* sub = impl_.RunOf(static_cast<const TDataQuery*>(node.SubQuery));
      if (!sub || sub->ShownCount == 0) RaiseSql("Internal table filter error");
      const TFieldDescriptor& field = sub->Columns.front().Field;
      node.SetType(field.FieldType, field.SubType, field.Size, field.Scale);
    });
    TExpressionCheck check;
    check.ErrorCode = RUDIRA_SQLPARSE;
    check.DatabaseName = impl_.Database.DirectoryPath();
    check.ContextPhrase = context.Name;
    check.ResolveColumn = [this, allowColumns](TExpToken& column) { return Resolve(column, allowColumns); };
    CheckExpressionTypes(root, check);
  }

  // Types each value and checks constants against their columns.
  void CheckValues() {
    const bool allowColumns = query_.Kind == kStatementUpdate;
    for (size_t i = 0; i < query_.UpdateValues.size(); ++i) {
      TUpdateValue& value = query_.UpdateValues[i];
      if (!value.Expression) continue;
      CheckTree(*value.Expression, kValueContext, allowColumns);
      CheckConstant(*value.Expression, run_.Columns[i].Field);
    }
  }

  static std::string ConstantText(const TExpToken& constant) {
    if (constant.DataType == kFieldTypeString && !constant.IsNull) return std::string(constant.Bytes());
    return constant.TokenText;
  }

  static void CheckConstant(TExpToken& node, const TFieldDescriptor& field) {
    if (node.NodeKind != kNodeConstant || node.IsParameter || node.IsNull) return;
    const uint8_t from = node.DataType;
    const uint8_t to = field.FieldType;
    if (from == to) return;
    const std::string text = ConstantText(node);
    if (from == kFieldTypeString && IsDateLike(to)) {
      try {
        if (to == kFieldTypeDate) {
          const int32_t day = TextToDate(text);
          node.SetType(to, field.SubType, 0, 0);
          node.SetInt32(day);
        } else if (to == kFieldTypeTime) {
          const int32_t ms = TextToTime(text);
          node.SetType(to, field.SubType, 0, 0);
          node.SetInt32(ms);
        } else {
          const double stamp = TextToTimestamp(text);
          node.SetType(to, field.SubType, 0, 0);
          node.SetDouble(stamp);
        }
      } catch (const EConvertError&) {
        RaiseSql("Date, time, or timestamp expression expected, instead found '" + text + "'" + " in update values");
      }
      return;
    }
    if (!Convertible(from, to)) {
      RaiseSql("Type mismatch between " + std::string("column") + " " + "'" + field.FieldName + "'" + " and " +
               "constant" + " " + "'" + text + "'" + " in update values");
    }
  }

  std::vector<size_t> TablesOf(const TExpToken* root) const {
    std::vector<size_t> tables;
    Walk(const_cast<TExpToken*>(root), [&](TExpToken& node) {
      if (node.NodeKind != kNodeColumn || !node.SourceTable) return;
      for (size_t t = 0; t < run_.Sources.size(); ++t) {
        if (node.SourceTable == &run_.Sources[t] && std::find(tables.begin(), tables.end(), t) == tables.end()) {
          tables.push_back(t);
        }
      }
    });
    return tables;
  }

  // Single-table pieces of an inner table go to that table (filters on its
  // cursor, served by an index where one fits); the rest are checked on
  // each joined row. An outer join's inner table is probed by its whole ON
  // condition: the joined table of a LEFT JOIN, the table the ON condition
  // compares it with for a RIGHT JOIN. When that inner table is the target,
  // a combination in which the target is the null side changes no record,
  // so the ON condition only restricts the target's rows and joins the
  // WHERE pieces, as an inner join's ON condition does.
  void DistributeWhere() {
    constexpr char kQ = '"';
    std::vector<TExpToken*> pieces;
    if (query_.WhereExpression) {
      CheckTree(*query_.WhereExpression, kWhereContext, true);
      if (query_.WhereExpression->DataType != kFieldTypeBoolean) RaiseSql("WHERE or JOIN clause must be a boolean expression");
      SplitAnd(query_.WhereExpression.get(), pieces);
    }
    for (TJoinExpression& join : query_.Joins) {
      if (!join.OnExpression) continue;
      CheckTree(*join.OnExpression, kJoinContext, true);
      if (join.OnExpression->DataType != kFieldTypeBoolean) RaiseSql("WHERE or JOIN clause must be a boolean expression");
      const size_t joined = static_cast<size_t>(join.SourceTableIndex);
      if (join.Kind == kJoinInner || joined >= run_.Sources.size()) {
        SplitAnd(join.OnExpression.get(), pieces);
        continue;
      }
      std::vector<size_t> others = TablesOf(join.OnExpression.get());
      others.erase(std::remove(others.begin(), others.end(), joined), others.end());
      if (others.size() > 1) {
        RaiseSql("The join condition cannot contain multiple table correlation names in either the left or right "
                 "operand in WHERE or JOIN clause");
      }
      const size_t other = others.empty() ? (joined > 0 ? joined - 1 : 0) : others.front();
      const size_t preserved = join.Kind == kJoinLeftOuter ? other : joined;
      const size_t inner = join.Kind == kJoinLeftOuter ? joined : other;
      if (preserved == inner) {
        RaiseSql(std::string("Internal join error - JOIN clause expression for table ") + kQ +
                 query_.SourceTables[joined].CorrelationName + kQ + " is invalid");
      }
      if (inner == 0) {
        SplitAnd(join.OnExpression.get(), pieces);
        continue;
      }
      TSourceRun& innerRun = run_.Sources[inner];
      if (innerRun.OuterTarget) {
        if (join.Kind == kJoinRightOuter) {
          RaiseSql(std::string("Internal join error - table correlation name ") + kQ +
                   innerRun.Source->CorrelationName + kQ + " cannot be the target of a RIGHT OUTER JOIN");
        }
        RaiseSql(std::string("Internal join error - table correlation name ") + kQ + innerRun.Source->CorrelationName +
                 kQ + " is target of multiple " + "join conditions in WHERE or JOIN clause");
      }
      innerRun.OuterTarget = true;
      innerRun.OuterFrom = preserved;
      innerRun.OuterCondition = join.OnExpression.get();
    }
    for (TExpToken* piece : pieces) {
      const std::vector<size_t> tables = TablesOf(piece);
      if (tables.size() == 1 && !run_.Sources[tables.front()].OuterTarget) {
        run_.Sources[tables.front()].Own.push_back(piece);
      } else {
        run_.RowConditions.push_back(piece);
      }
    }
  }

  TSelectExecutor::TImpl& impl_;
  TQueryRun& run_;
  TDataQuery& query_;
};

}  // namespace

TQueryRun* SourceRun(TSelectExecutor::TImpl& impl, const TDataQuery& query) {
  const auto& queries = query.Owner->Queries();
  for (size_t i = 1; i < queries.size(); ++i) {
    if (queries[i]->Kind == kStatementSelect && queries[i]->SubQuery && !queries[i]->UnionMember) {
      return impl.RunOf(queries[i].get());
    }
  }
  return nullptr;
}

void PrepareDataChange(TSelectExecutor::TImpl& impl, TDataQuery& query) {
  auto run = std::make_unique<TQueryRun>(query);
  TQueryRun& ref = *run;
  impl.Runs[&query] = std::move(run);
  TDataChangePrepare(impl, ref).Run();
}

}  // namespace rudira
