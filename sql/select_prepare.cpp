// Prepare-time analysis of a SELECT: source tables opened, "*" expanded,
// columns resolved, typed and named, the UNION checks, the live-or-canned
// decision with the ORDER BY index search, the WHERE distribution and the
// join links, and the creation of a canned result table.
#include <algorithm>
#include <functional>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/expression_checker.h"
#include "sql/select_grouping.h"
#include "sql/select_query_run.h"
#include "sql/sql_expression.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"

namespace rudira {

namespace {

constexpr size_t kMaxResultColumns = 1024;
constexpr size_t kMaxResultNameLength = 30;
constexpr uint16_t kMaxCannedStringSize = 250;
constexpr char kQ = '"';

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool SameName(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

// Cuts to at most `limit` bytes at a character boundary.
std::string Cut(std::string_view text, size_t limit) {
  if (text.size() <= limit) return std::string(text);
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

void Walk(TExpToken* node, const std::function<void(TExpToken&)>& visit) {
  if (!node) return;
  visit(*node);
  Walk(node->Left, visit);
  Walk(node->Right, visit);
  for (TExpToken* argument : node->Arguments) Walk(argument, visit);
}

TSourceRun* SourceOf(const TExpToken& column) { return static_cast<TSourceRun*>(column.SourceTable); }

// Rewrites every `x BETWEEN a AND b` below `node` in place as
// `(x >= a) AND (x <= b)`, which evaluates the same, so that the cursor's
// filter optimiser can serve each comparison from an index.
void RewriteBetween(TExpToken* node) {
  if (!node) return;
  RewriteBetween(node->Left);
  RewriteBetween(node->Right);
  for (TExpToken* argument : node->Arguments) RewriteBetween(argument);
  if (node->NodeKind != kNodeExtended || node->OpCode != kOpBetween || node->Arguments.size() != 3) return;
  TExpToken* tested = node->Arguments[0];
  TExpToken* low = node->Arguments[1];
  TExpToken* high = node->Arguments[2];
  node->Arguments.clear();
  auto comparison = [](uint8_t op, const char* text, TExpToken* left, TExpToken* right) {
    TExpToken* made = TExpTokenStack::Take();
    made->NodeKind = kNodeBinary;
    made->OpCode = op;
    made->TokenText = text;
    made->SetType(kFieldTypeBoolean);
    made->SetLeft(left);
    made->SetRight(right);
    return made;
  };
  TExpToken* atLeast = comparison(kOpGreaterEqual, ">=", tested, low);
  TExpToken* atMost = comparison(kOpLessEqual, "<=", CopyTree(*tested).release(), high);
  node->NodeKind = kNodeBinary;
  node->OpCode = kOpAnd;
  node->TokenText = "AND";
  node->SetLeft(atLeast);
  node->SetRight(atMost);
}

const char* AggregatePrefix(uint8_t kind) {
  switch (kind) {
    case kFuncSum: return "Sum Of ";
    case kFuncRunSum: return "Running Sum Of ";
    case kFuncMin: return "Min Of ";
    case kFuncMax: return "Max Of ";
    case kFuncAvg: return "Average Of ";
    case kFuncCount: return "Count Of ";
    default: return "";
  }
}

}  // namespace

std::vector<size_t> TablesOf(const TQueryRun& run, const TExpToken* root) {
  std::vector<size_t> tables;
  Walk(const_cast<TExpToken*>(root), [&](TExpToken& node) {
    if (node.NodeKind != kNodeColumn || !node.SourceTable) return;
    const TSourceRun* source = SourceOf(node);
    const size_t index = static_cast<size_t>(source - run.Sources.data());
    if (std::find(tables.begin(), tables.end(), index) == tables.end()) tables.push_back(index);
  });
  return tables;
}

bool ContainsSubSelect(const TExpToken* root) {
  bool found = false;
  Walk(const_cast<TExpToken*>(root), [&](TExpToken& node) { found = found || node.NodeKind == kNodeSubSelect; });
  return found;
}

// ---------------------------------------------------------------------------

namespace {

class TPrepare {
 public:
  TPrepare(TSelectExecutor::TImpl& impl, TQueryRun& run) : impl_(impl), run_(run), query_(run.Query) {}

  void Run() {
    if (query_.Distinct && query_.GroupByPresent) query_.Distinct = false;
    OpenSources();
    ExpandStars();
    ResolveAll();
    RewriteBetween(query_.WhereExpression.get());
    for (TJoinExpression& join : query_.Joins) RewriteBetween(join.OnExpression.get());
    NameColumns();
    CheckGrouping();
    CheckUnion();
    const bool indexOrder = query_.OrderByPresent && run_.RequestLive && FindOrderIndex();
    run_.Live = DecideLive(indexOrder);
    query_.LiveResult = run_.Live;
    if (run_.Live) return;
    DistributeWhere();
    ResolveCannedOrderBy();
    CheckDistinct();
    CreateResultTable();
  }

 private:
  // --- step 2
  void OpenSources() {
    run_.Sources.resize(query_.SourceTables.size());
    for (size_t i = 0; i < query_.SourceTables.size(); ++i) {
      TSourceRun& source = run_.Sources[i];
      TSourceTable& table = query_.SourceTables[i];
      source.Source = &table;
      bool memory = table.InMemory || table.Location == TableLocation::kMemory;
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
      source.Cursor->SetReadOnly(!run_.RequestLive);
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

  int FindCorrelation(std::string_view name) const {
    for (size_t i = 0; i < query_.SourceTables.size(); ++i) {
      if (SameName(query_.SourceTables[i].CorrelationName, name)) return static_cast<int>(i);
    }
    return -1;
  }

  TResultField ColumnItem(size_t table, const TFieldDescriptor& field) {
    TResultField item;
    item.Expression = TExpTokenStack::TakePtr();
    item.Expression->NodeKind = kNodeColumn;
    item.Expression->ColumnName = field.FieldName;
    item.Expression->TokenText = field.FieldName;
    item.Expression->TableAlias = query_.SourceTables[table].CorrelationName;
    item.ColumnName = field.FieldName;
    item.CorrelationName = query_.SourceTables[table].CorrelationName;
    item.SourceText = query_.SourceTables[table].CorrelationName + "." + field.FieldName;
    return item;
  }

  // --- step 3
  void ExpandStars() {
    std::vector<TResultField> expanded;
    for (TResultField& item : query_.ResultFields) {
      TExpToken* root = item.Expression.get();
      const bool star = root && root->NodeKind == kNodeColumn && root->ColumnName == "*" && item.AggregateKind == 0;
      if (!star) {
        expanded.push_back(std::move(item));
        continue;
      }
      if (item.AliasGiven) {
        RaiseSql("Invalid use of column correlation name '" + item.ColumnName + "'" + " for " + "'" + "*" + "'" +
                 " specified in source columns");
      }
      if (root->TableAlias.empty()) {
        for (size_t t = 0; t < run_.Sources.size(); ++t) {
          for (const TFieldDescriptor& field : run_.Sources[t].Cursor->Fields()) expanded.push_back(ColumnItem(t, field));
        }
      } else {
        const int t = FindCorrelation(root->TableAlias);
        if (t < 0) {
          RaiseSql("Invalid column name '" + root->ColumnName + "'" + " or table correlation name " + "'" +
                   root->TableAlias + "'" + " specified in source columns");
        }
        for (const TFieldDescriptor& field : run_.Sources[static_cast<size_t>(t)].Cursor->Fields()) {
          expanded.push_back(ColumnItem(static_cast<size_t>(t), field));
        }
      }
    }
    query_.ResultFields = std::move(expanded);
  }

  // --- step 4
  bool Resolve(TExpToken& column) {
    auto match = [&](size_t t) {
      for (const TFieldDescriptor& field : run_.Sources[t].Cursor->Fields()) {
        if (!SameName(field.FieldName, column.ColumnName)) continue;
        column.FieldNo = field.FieldNo;
        column.ColumnName = field.FieldName;
        uint8_t subType = field.SubType;
        column.SetType(field.FieldType, subType, field.Size, field.Scale);
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

  void TypeSubSelects(TExpToken* root) {
    Walk(root, [&](TExpToken& node) {
      if (node.NodeKind != kNodeSubSelect) return;
      TQueryRun* sub = impl_.RunOf(static_cast<const TDataQuery*>(node.SubQuery));
      if (!sub || sub->ShownCount == 0) RaiseSql("Internal table filter error");
      const TFieldDescriptor& field = sub->Columns.front().Field;
      node.SetType(field.FieldType, field.SubType, field.Size, field.Scale);
    });
  }

  void CheckTree(TExpToken& root, const SqlExpressionContext& context, const std::string& badCorrelationPrefix,
                 bool sourceColumns) {
    Walk(&root, [&](TExpToken& node) {
      if (node.NodeKind != kNodeColumn || node.TableAlias.empty()) return;
      if (FindCorrelation(node.TableAlias) >= 0) return;
      if (sourceColumns) {
        RaiseSql("Invalid column name '" + node.ColumnName + "'" + " or table correlation name " + "'" +
                 node.TableAlias + "'" + " specified in source columns");
      }
      RaiseSql(badCorrelationPrefix + node.TableAlias + "'" +
               " referenced in WHERE clause is not defined in the FROM clause");
    });
    TypeSubSelects(&root);
    TExpressionCheck check;
    check.ErrorCode = RUDIRA_SQLPARSE;
    check.DatabaseName = impl_.Database.DirectoryPath();
    check.ContextPhrase = context.Name;
    check.ResolveColumn = [this](TExpToken& column) { return Resolve(column); };
    CheckExpressionTypes(root, check);
  }

  void ResolveAll() {
    if (query_.ResultFields.size() > kMaxResultColumns) {
      RaiseSql("Maximum number of columns (" + std::string("1024") + ") in result set exceeded");
    }
    for (TResultField& item : query_.ResultFields) {
      if (!item.Expression) continue;
      const bool countStar = item.AggregateKind != 0 && !item.Expression->Arguments.empty() &&
                             item.Expression->Arguments.front()->NodeKind == kNodeColumn &&
                             item.Expression->Arguments.front()->ColumnName == "*";
      if (!countStar) CheckTree(*item.Expression, kSourceColumnContext, "", true);
    }
    if (query_.WhereExpression) {
      CheckTree(*query_.WhereExpression, kWhereContext, "Table correlation name '", false);
      if (query_.WhereExpression->DataType != kFieldTypeBoolean) {
        RaiseSql("WHERE or JOIN clause must be a boolean expression");
      }
    }
    for (TJoinExpression& join : query_.Joins) {
      if (!join.OnExpression) continue;
      Walk(join.OnExpression.get(), [&](TExpToken& node) {
        if (node.NodeKind == kNodeColumn && !node.TableAlias.empty() && FindCorrelation(node.TableAlias) < 0) {
          RaiseSql(std::string("Internal join error - table correlation name ") + kQ + node.TableAlias + kQ +
                   " in JOIN clause expression is invalid");
        }
      });
      CheckTree(*join.OnExpression, kJoinContext, "Table correlation name '", false);
      if (join.OnExpression->DataType != kFieldTypeBoolean) {
        RaiseSql("WHERE or JOIN clause must be a boolean expression");
      }
    }
    if (query_.HavingExpression) CheckTree(*query_.HavingExpression, kHavingContext, "Table correlation name '", false);
  }

  // Column descriptors and names.
  void NameColumns() {
    for (size_t i = 0; i < query_.ResultFields.size(); ++i) {
      TResultField& item = query_.ResultFields[i];
      TExpToken& root = *item.Expression;
      TResultColumn column;
      column.Expression = &root;
      const bool plain = root.NodeKind == kNodeColumn && item.AggregateKind == 0;
      column.Calculated = !plain;
      if (plain) {
        const TSourceRun& source = *SourceOf(root);
        const TFieldDescriptor& field = source.Cursor->Field(root.FieldNo);
        column.Field = field;
        if (field.FieldType == kFieldTypeInteger && field.SubType == kSubTypeAutoInc) column.Field.SubType = 0;
        column.OriginTable = source.Source->TableName;
        column.CorrelationName = source.Source->CorrelationName;
        column.OriginColumn = Cut(field.FieldName, 100);
        column.OriginFieldNo = field.FieldNo;
        column.OriginDatabase = Cut(source.Database->DirectoryPath(), 100);
      } else {
        if (root.NodeKind == kNodeConstant && !root.IsParameter && root.IsNull && root.DataType == kDataTypeUnknown) {
          RaiseSql("Column expression cannot be a NULL constant, use the CAST() function to specify a data type");
        }
        column.Field = TFieldDescriptor();
        column.Field.FieldType = root.DataType == kDataTypeUnknown ? kFieldTypeString : root.DataType;
        column.Field.SubType = root.SubType;
        column.Field.Size = static_cast<uint8_t>(std::min<uint16_t>(root.DataSize, 255));
        column.Field.Scale = root.DataScale;
        if (column.Field.FieldType == kFieldTypeString) {
          if (root.DataSize > kMaxCannedStringSize) {
            RaiseSql("Column expression '" + item.SourceText + "'" + " exceeds the maximum allowable field size");
          }
          if (column.Field.Size == 0) column.Field.Size = 1;
        }
        if (column.Field.FieldType == kFieldTypeBlob) query_.HasCalculatedBlobColumn = true;
        query_.HasCalculatedColumn = true;
      }
      column.Field.FieldNo = static_cast<uint16_t>(i + 1);
      std::string name;
      if (item.AliasGiven) {
        name = Cut(item.ColumnName, kMaxResultNameLength);
      } else if (item.AggregateKind == 0) {
        name = plain ? root.ColumnName : "Expression";
      } else {
        const bool ofColumn = !item.Calculated && !item.ColumnName.empty();
        name = std::string(AggregatePrefix(item.AggregateKind)) + (ofColumn ? item.ColumnName : "Expr");
      }
      name = Cut(name, kMaxResultNameLength);
      column.Field.FieldName = UniqueName(name);
      run_.Columns.push_back(std::move(column));
    }
    run_.ShownCount = run_.Columns.size();
    // Hidden AVG counters; filled by grouping.
    for (size_t i = 0; i < run_.ShownCount; ++i) {
      if (query_.ResultFields[i].AggregateKind != kFuncAvg) continue;
      TResultColumn hidden;
      hidden.Hidden = true;
      hidden.Calculated = true;
      hidden.Field.FieldType = kFieldTypeInteger;
      hidden.Field.FieldNo = static_cast<uint16_t>(run_.Columns.size() + 1);
      hidden.Field.FieldName = "Sys__Avg__Count" + std::to_string(hidden.Field.FieldNo);
      run_.Columns.push_back(std::move(hidden));
    }
  }

  std::string UniqueName(const std::string& base) {
    auto taken = [&](const std::string& name) {
      for (const TResultColumn& column : run_.Columns) {
        if (SameName(column.Field.FieldName, name)) return true;
      }
      return false;
    };
    if (!taken(base)) return base;
    for (int n = 1;; ++n) {
      const std::string suffix = "_" + std::to_string(n);
      const std::string name = Cut(base, kMaxResultNameLength - suffix.size()) + suffix;
      if (!taken(name)) return name;
    }
  }

  // --- step 5 (sql/select_grouping.cpp)
  void CheckGrouping() { PrepareGrouping(impl_, run_); }

  // --- step 6
  void CheckUnion() {
    const TDataQuery* member = query_.NextUnion;
    if (!member) return;
    const TQueryRun* next = impl_.RunOf(member);
    if (!next) return;
    const std::string word = member->UnionAll ? "UNION ALL" : "UNION";
    if (next->ShownCount != run_.ShownCount) {
      RaiseSql("The number of columns  in the " + word + " query must match the " +
               " number of columns in the master query");
    }
    for (size_t i = 0; i < run_.ShownCount; ++i) {
      if (next->Columns[i].Field.FieldType != run_.Columns[i].Field.FieldType) {
        RaiseSql("Type mismatch between column expression '" + member->ResultFields[i].SourceText + "'" + " in the " +
                 word + " query and " + "column expression " + "'" + query_.ResultFields[i].SourceText + "'" +
                 " in the master query");
      }
    }
  }

  // --- step 7: the ORDER BY through an index of the one source table.
  bool FindOrderIndex() {
    if (run_.Sources.size() != 1) return false;
    TSourceRun& source = run_.Sources.front();
    std::vector<uint16_t> fields;
    std::vector<bool> descending;
    bool anyString = false;
    for (const TOrderByField& item : query_.OrderBy) {
      const TExpToken* column = nullptr;
      if (item.ColumnNumber != 0) {
        if (item.ColumnNumber > run_.ShownCount) {
          RaiseSql("Invalid column number '" + std::to_string(item.ColumnNumber) + "'" +
                   " specified in ORDER BY clause");
        }
        if (run_.Columns[item.ColumnNumber - 1].Calculated) return false;
        column = run_.Columns[item.ColumnNumber - 1].Expression;
        fields.push_back(static_cast<uint16_t>(column->FieldNo));
      } else {
        const int fieldNo = FindOrderField(item);
        if (fieldNo == 0) return false;
        fields.push_back(static_cast<uint16_t>(fieldNo));
      }
      descending.push_back(item.Descending);
      if (source.Cursor->Field(fields.back()).FieldType == kFieldTypeString) anyString = true;
    }
    const bool allDescending = std::all_of(descending.begin(), descending.end(), [](bool d) { return d; });
    TIndexFile& indexFile = source.Cursor->Table()->IndexFile();
    for (int slot = 0; slot <= 30; ++slot) {
      const TIndexDefinition& index = indexFile.Definition(slot);
      if (index.IndexFieldCount == 0 || index.TemporaryIndex) continue;
      if (index.IndexFieldCount < fields.size()) continue;
      bool ok = (index.Descending != 0) == allDescending;
      for (size_t i = 0; ok && i < fields.size(); ++i) {
        ok = index.FieldNumbers[i] == fields[i] && index.FieldIsDescending(static_cast<int>(i)) == descending[i];
      }
      if (ok && anyString) ok = (index.CaseInsensitive != 0) == query_.OrderByNoCase;
      if (!ok) continue;
      query_.LiveOrderIndex = slot;
      liveIndexName_ = slot == 0 ? std::string() : index.IndexName;
      return true;
    }
    return false;
  }

  // A field of the one source named by an ORDER BY item: among the result
  // columns, then the source columns; 0 for a calculated column.
  int FindOrderField(const TOrderByField& item) {
    for (const TResultColumn& column : run_.Columns) {
      if (column.Hidden || !SameName(column.Field.FieldName, item.ColumnName)) continue;
      if (!item.CorrelationName.empty() && !SameName(item.CorrelationName, column.CorrelationName)) continue;
      return column.Calculated ? 0 : column.OriginFieldNo;
    }
    const TSourceRun& source = run_.Sources.front();
    if (item.CorrelationName.empty() || SameName(item.CorrelationName, source.Source->CorrelationName)) {
      for (const TFieldDescriptor& field : source.Cursor->Fields()) {
        if (SameName(field.FieldName, item.ColumnName)) return field.FieldNo;
      }
    }
    OrderNameError(item);
  }

  [[noreturn]] void OrderNameError(const TOrderByField& item) {
    RaiseSql("Invalid column name '" + item.ColumnName + "'" + " or table correlation name " + "'" +
             item.CorrelationName + "'" + " specified in ORDER BY clause");
  }

  // --- step 8: the nine rules.
  bool DecideLive(bool indexOrder) {
    if (!run_.RequestLive) return false;
    if (query_.IntoGiven) return false;
    if (query_.Distinct) return false;
    if (run_.Sources.size() != 1 || query_.MultipleSourceTables) return false;
    if (query_.GroupByPresent || query_.ImplicitGrouping || query_.HavingPresent) return false;
    if (query_.OrderByPresent && !indexOrder) return false;
    if (query_.HasCalculatedBlobColumn) return false;
    if (query_.TopCount >= 0) return false;
    const bool master = &query_ == impl_.Owner.Statement().MasterQuery();
    if (master) {
      if (impl_.Owner.Statement().Queries().size() > 1) return false;
    } else {
      if (query_.NextUnion) return false;
      if (query_.SubQuery && query_.HasCalculatedColumn) return false;
    }
    run_.LiveOrderIndexName = liveIndexName_;
    return true;
  }

  // --- canned: WHERE distribution and join links.
  void DistributeWhere() {
    std::vector<TExpToken*> pieces;
    SplitAnd(query_.WhereExpression.get(), pieces);
    for (const TJoinExpression& join : query_.Joins) {
      if (!join.OnExpression) continue;
      const size_t target = static_cast<size_t>(join.SourceTableIndex);
      if (join.Kind == kJoinInner) {
        std::vector<TExpToken*> onPieces;
        SplitAnd(join.OnExpression.get(), onPieces);
        for (TExpToken* piece : onPieces) {
          const std::vector<size_t> tables = TablesOf(run_, piece);
          if (tables.size() == 1) run_.Sources[tables.front()].HasJoinOwnCondition = true;
          pieces.push_back(piece);
        }
        continue;
      }
      std::vector<size_t> others = TablesOf(run_, join.OnExpression.get());
      others.erase(std::remove(others.begin(), others.end(), target), others.end());
      if (others.size() > 1) {
        RaiseSql("The join condition cannot contain multiple table correlation names in either the left or right "
                 "operand in WHERE or JOIN clause");
      }
      const size_t other = others.empty() ? (target > 0 ? target - 1 : 0) : others.front();
      // LEFT: the joined table is the inner one; RIGHT: the table before it.
      const size_t preserved = join.Kind == kJoinLeftOuter ? other : target;
      const size_t inner = join.Kind == kJoinLeftOuter ? target : other;
      if (preserved == inner) {
        RaiseSql(std::string("Internal join error - JOIN clause expression for table ") + kQ +
                 query_.SourceTables[target].CorrelationName + kQ + " is invalid");
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
      const std::vector<size_t> tables = TablesOf(run_, piece);
      if (tables.size() == 2 && IsComparison(*piece)) {
        const std::vector<size_t> left = TablesOf(run_, piece->Left);
        const std::vector<size_t> right = TablesOf(run_, piece->Right);
        if (left.size() != 1 || right.size() != 1) {
          RaiseSql("The join condition cannot contain multiple table correlation names in either the left or "
                   "right operand in WHERE or JOIN clause");
        }
        if (run_.Sources[tables[0]].OuterTarget || run_.Sources[tables[1]].OuterTarget) {
          run_.RowConditions.push_back(piece);
        } else {
          run_.Edges.push_back({tables[0], tables[1], piece});
        }
      } else if (tables.size() >= 2) {
        run_.RowConditions.push_back(piece);
      } else if (tables.size() == 1 && !run_.Sources[tables.front()].OuterTarget) {
        run_.Sources[tables.front()].Own.push_back(piece);
      } else {
        run_.RowConditions.push_back(piece);
      }
    }
  }

  // --- canned: ORDER BY against the result columns.
  void ResolveCannedOrderBy() {
    if (query_.OrderBy.size() > kMaxResultColumns) {
      RaiseSql("Maximum number of columns (" + std::string("1024") + ") in ORDER BY clause " + "exceeded");
    }
    for (const TOrderByField& item : query_.OrderBy) {
      size_t column = 0;
      if (item.ColumnNumber != 0) {
        if (item.ColumnNumber > run_.ShownCount ||
            run_.Columns[item.ColumnNumber - 1].Field.FieldType == kFieldTypeBlob) {
          RaiseSql("Invalid column number '" + std::to_string(item.ColumnNumber) + "'" +
                   " specified in ORDER BY clause");
        }
        column = item.ColumnNumber - 1u;
      } else {
        bool found = false;
        for (size_t i = 0; i < run_.ShownCount && !found; ++i) {
          const TResultColumn& c = run_.Columns[i];
          if (!item.CorrelationName.empty()) {
            found = !c.Calculated && SameName(c.CorrelationName, item.CorrelationName) &&
                    SameName(c.OriginColumn, item.ColumnName);
          } else {
            found = SameName(c.Field.FieldName, item.ColumnName);
          }
          if (found) column = i;
        }
        for (size_t i = 0; i < run_.ShownCount && !found; ++i) {
          const TResultColumn& c = run_.Columns[i];
          found = !c.Calculated && item.CorrelationName.empty() && SameName(c.OriginColumn, item.ColumnName);
          if (found) column = i;
        }
        if (!found) column = HiddenSortColumn(item);
      }
      run_.OrderItems.push_back({column, item.Descending});
    }
  }

  // A source column that the select list does not show: carried in a
  // hidden column of the result table so that the sort can use it.
  size_t HiddenSortColumn(const TOrderByField& item) {
    TExpTokenPtr node = TExpTokenStack::TakePtr();
    node->NodeKind = kNodeColumn;
    node->ColumnName = item.ColumnName;
    node->TokenText = item.ColumnName;
    node->TableAlias = item.CorrelationName;
    if (!item.CorrelationName.empty() && FindCorrelation(item.CorrelationName) < 0) OrderNameError(item);
    if (!Resolve(*node)) OrderNameError(item);
    const TSourceRun& source = *SourceOf(*node);
    const TFieldDescriptor& field = source.Cursor->Field(node->FieldNo);
    if (field.FieldType == kFieldTypeBlob) OrderNameError(item);
    TResultColumn column;
    column.Hidden = true;
    column.Field = field;
    if (field.FieldType == kFieldTypeInteger && field.SubType == kSubTypeAutoInc) column.Field.SubType = 0;
    column.Field.FieldNo = static_cast<uint16_t>(run_.Columns.size() + 1);
    column.Field.FieldName = UniqueName(Cut("Sys__Order__" + field.FieldName, kMaxResultNameLength));
    column.OriginTable = source.Source->TableName;
    column.CorrelationName = source.Source->CorrelationName;
    column.OriginColumn = Cut(field.FieldName, 100);
    column.OriginFieldNo = field.FieldNo;
    column.OriginDatabase = Cut(source.Database->DirectoryPath(), 100);
    column.Expression = node.get();
    run_.OwnedTrees.push_back(std::move(node));
    run_.Columns.push_back(std::move(column));
    return run_.Columns.size() - 1;
  }

  void CheckDistinct() {
    if (!query_.Distinct) return;
    if (run_.ShownCount > kMaxResultColumns) {
      RaiseSql("Maximum number of columns (" + std::string("1024") + ") in DISTINCT clause " + "exceeded");
    }
    for (size_t i = 0; i < run_.ShownCount; ++i) {
      if (run_.Columns[i].Field.FieldType == kFieldTypeBlob) {
        RaiseSql("Invalid BLOB column '" + run_.Columns[i].Field.FieldName + "'" + " specified in DISTINCT clause");
      }
    }
  }

  // --- canned: the result table.
  void CreateResultTable() {
    TDataSession& session = impl_.Session;
    if (query_.IntoGiven && query_.TargetInMemory) {
      run_.ResultDatabase = session.OpenDatabase(kMemoryDatabaseName, "");
      run_.OwnsResultDatabase = true;
      run_.ResultInMemory = true;
      run_.ResultTableName = query_.TargetName;
      if (run_.ResultTableName.empty()) {
        run_.ResultTableName = TemporaryName(*run_.ResultDatabase);
        run_.ResultTemporary = true;
      }
    } else if (query_.IntoGiven) {
      const size_t slash = query_.TargetName.find_last_of('\\');
      if (slash != std::string::npos) {
        const std::string directory = query_.TargetName.substr(0, slash + 1);
        run_.ResultDatabase = session.OpenDatabase(directory, directory);
        run_.OwnsResultDatabase = true;
        run_.ResultTableName = query_.TargetName.substr(slash + 1);
      } else {
        run_.ResultDatabase = &impl_.Database;
        run_.ResultTableName = query_.TargetName;
      }
    } else {
      const std::string& directory = session.EffectivePrivateDir();
      run_.ResultDatabase = session.OpenDatabase(directory, directory);
      run_.OwnsResultDatabase = true;
      run_.ResultTableName = TemporaryName(*run_.ResultDatabase);
      run_.ResultTemporary = true;
    }
    DataFileDefinition definition;
    definition.LanguageId = static_cast<int16_t>(query_.LanguageId);
    definition.SortId = static_cast<int16_t>(query_.SortId);
    definition.BlobBlockSize = query_.BlobBlockSize;
    definition.Description = query_.Description;
    if (query_.PasswordGiven && !query_.Password.empty()) {
      definition.Encrypted = true;
      definition.Password = query_.Password;
    }
    definition.UserMajorVersion = static_cast<int16_t>(query_.UserMajorVersion);
    definition.UserMinorVersion = static_cast<int16_t>(query_.UserMinorVersion);
    for (const TResultColumn& column : run_.Columns) {
      TFieldDescriptor field;
      field.FieldNo = column.Field.FieldNo;
      field.FieldName = column.Field.FieldName;
      field.FieldType = column.Field.FieldType;
      field.SubType = column.Field.SubType;
      field.Size = column.Field.Size;
      field.Scale = column.Field.Scale;
      definition.Fields.push_back(field);
    }
    PrepareFieldDefinitions(definition.Fields, run_.ResultDatabase->DatabaseName(), run_.ResultTableName);
    if (query_.IntoGiven && run_.ResultDatabase->TableExists(run_.ResultTableName, run_.ResultInMemory)) {
      const int32_t deleted = run_.ResultDatabase->DeleteTable(run_.ResultTableName, run_.ResultInMemory);
      if (deleted < 0) RaiseEngineError(static_cast<uint16_t>(-deleted), {.TableName = run_.ResultTableName});
    }
    const bool added = definition.Encrypted && !session.HasPassword(definition.Password);
    if (added) session.AddPassword(definition.Password);
    try {
      const int32_t created = run_.ResultDatabase->CreateTable(run_.ResultTableName, run_.ResultInMemory, false,
                                                               definition, TableIndexDefinitions());
      if (created < 0) RaiseEngineError(static_cast<uint16_t>(-created), {.TableName = run_.ResultTableName});
      run_.ResultCreated = true;
      run_.ResultCursor = std::make_unique<TDataCursor>(session, *run_.ResultDatabase);
      run_.ResultCursor->SetTableName(run_.ResultTableName);
      run_.ResultCursor->SetInMemory(run_.ResultInMemory);
      run_.ResultCursor->SetExclusive(true);
      run_.ResultCursor->SetNaturalOrder(true);
      run_.ResultCursor->OpenCursor();
    } catch (...) {
      if (added) session.RemovePassword(definition.Password);
      throw;
    }
    if (added) session.RemovePassword(definition.Password);
    // The stored descriptors carry the offsets.
    for (size_t i = 0; i < run_.Columns.size(); ++i) {
      const TFieldDescriptor& stored = run_.ResultCursor->Field(static_cast<int>(i + 1));
      run_.Columns[i].Field = stored;
    }
  }

  static std::string TemporaryName(TDataDirectory& database) {
    std::string name = database.TemporaryTableName();
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
  }

  TSelectExecutor::TImpl& impl_;
  TQueryRun& run_;
  TDataQuery& query_;
  std::string liveIndexName_;
};

}  // namespace

void TSelectExecutor::TImpl::PrepareQuery(TDataQuery& query) {
  auto run = std::make_unique<TQueryRun>(query);
  TQueryRun& ref = *run;
  Runs[&query] = std::move(run);
  Order.push_back(&ref);
  const bool master = &query == Owner.Statement().MasterQuery();
  ref.RequestLive = master ? Owner.RequestLive() : (query.SubQuery ? true : Owner.RequestLive());
  TPrepare(*this, ref).Run();
}

}  // namespace rudira
