#include "statement_summary.h"

#include <sstream>

namespace rudira::testing {

namespace {

const char* BinaryText(uint8_t op) {
  switch (op) {
    case kOpEqual: return "=";
    case kOpNotEqual: return "<>";
    case kOpGreater: return ">";
    case kOpLess: return "<";
    case kOpGreaterEqual: return ">=";
    case kOpLessEqual: return "<=";
    case kOpAnd: return "AND";
    case kOpOr: return "OR";
    case kOpAdd: return "+";
    case kOpSubtract: return "-";
    case kOpMultiply: return "*";
    case kOpDivide: return "/";
    default: return "?op";
  }
}

const char* ExtendedText(uint8_t op) {
  switch (op) {
    case kOpLike: return "LIKE";
    case kOpNotLike: return "NOTLIKE";
    case kOpInList: return "IN";
    case kOpNotInList: return "NOTIN";
    case kOpInSelect: return "INSELECT";
    case kOpNotInSelect: return "NOTINSELECT";
    case kOpBetween: return "BETWEEN";
    case kOpNotBetween: return "NOTBETWEEN";
    default: return "?ext";
  }
}

std::string Arguments(const TExpToken& node) {
  std::string text;
  for (size_t i = 0; i < node.Arguments.size(); ++i) {
    if (i) text += ",";
    text += RenderExpression(node.Arguments[i]);
  }
  return text;
}

std::string TableText(const TSourceTable& table) {
  std::string text;
  if (table.Location == TableLocation::kMemory) text += "MEMORY:";
  if (table.Location == TableLocation::kDirectory) text += table.Directory;
  text += table.TableName;
  if (table.CorrelationGiven) text += "=" + table.CorrelationName;
  return text;
}

template <typename Item>
std::string ItemText(const Item& item) {
  if (item.ColumnNumber) return "#" + std::to_string(item.ColumnNumber);
  return item.CorrelationName.empty() ? item.ColumnName : item.CorrelationName + "." + item.ColumnName;
}

std::string IndexText(const TCreateIndex& index) {
  std::string text = index.Primary ? "PK" : index.IndexName;
  if (index.Add) text += " add";
  if (index.Redefine) text += " redefine";
  if (index.Drop) text += " drop";
  if (index.Unique) text += " unique";
  if (index.Descending) text += " desc";
  if (index.CaseInsensitive) text += " nocase";
  if (index.Compression) text += " compress=" + std::to_string(index.Compression);
  if (!index.Columns.empty()) {
    text += " (";
    for (size_t i = 0; i < index.Columns.size(); ++i) text += (i ? "," : "") + index.Columns[i].ColumnName;
    text += ")";
  }
  return text;
}

std::string FieldText(const TCreateField& field) {
  std::string text = field.ColumnName;
  if (field.Add) text += " add";
  if (field.Redefine) text += " redefine";
  if (field.Drop) text += " drop";
  if (!field.NewColumnName.empty()) text += " as " + field.NewColumnName;
  if (field.Type.FieldType) {
    text += " type=" + std::to_string(field.Type.FieldType);
    if (field.Type.SubType) text += "/" + std::to_string(field.Type.SubType);
    if (field.Type.Size) text += " size=" + std::to_string(field.Type.Size);
    if (field.Type.Scale) text += " scale=" + std::to_string(field.Type.Scale);
  }
  if (field.AtGiven) text += " at=" + std::to_string(field.AtPosition);
  if (field.DescriptionGiven) text += " desc='" + field.Description + "'";
  if (field.NotNullGiven) text += " notnull";
  if (field.DefaultGiven) text += " default=" + field.DefaultText;
  if (field.MinGiven) text += " min=" + field.MinText;
  if (field.MaxGiven) text += " max=" + field.MaxText;
  if (field.CharCaseGiven) text += " charcase=" + std::to_string(field.CharCase);
  return text;
}

std::string QuerySummary(const TQueryStatement& statement, const TDataQuery& query) {
  std::ostringstream out;
  out << StatementKindName(query.Kind);
  if (query.SubQuery) out << " sub";
  if (query.UnionMember) {
    out << " union";
    if (query.UnionAll) out << "-all";
    for (size_t i = 0; i < statement.Queries().size(); ++i) {
      if (statement.Queries()[i].get() == query.UnionedOnto) out << "-onto" << i;
    }
  }
  if (query.Distinct) out << " distinct";
  if (!query.ResultFields.empty()) {
    out << " cols=[";
    for (size_t i = 0; i < query.ResultFields.size(); ++i) {
      const TResultField& field = query.ResultFields[i];
      if (i) out << ", ";
      if (!field.CorrelationName.empty()) out << field.CorrelationName << ".";
      out << field.ColumnName;
      if (field.AliasGiven) out << " as";
      if (field.AggregateKind) out << " agg" << int(field.AggregateKind);
      if (field.Calculated) out << " calc{" << field.SourceText << "}";
    }
    out << "]";
  }
  if (query.IntoGiven) out << " into=" << (query.TargetInMemory ? "MEMORY:" : "") << query.TargetName;
  const bool dml = query.Kind == kStatementInsert || query.Kind == kStatementUpdate || query.Kind == kStatementDelete;
  if (!query.SourceTables.empty()) {
    out << (dml ? " table=[" : " from=[");
    for (size_t i = 0; i < query.SourceTables.size(); ++i) out << (i ? ", " : "") << TableText(query.SourceTables[i]);
    out << "]";
  }
  if (query.MultipleSourceTables) out << " multi";
  for (const TJoinExpression& join : query.Joins) {
    out << " join" << int(join.Kind) << "(" << query.SourceTables[join.SourceTableIndex].CorrelationName << " on "
        << RenderExpression(join.OnExpression.get()) << ")";
  }
  if (query.WhereExpression) out << " where=" << RenderExpression(query.WhereExpression.get());
  if (query.GroupByPresent) {
    out << " group=[";
    for (size_t i = 0; i < query.GroupBy.size(); ++i) out << (i ? "," : "") << ItemText(query.GroupBy[i]);
    out << "]";
  }
  if (query.HavingPresent) out << " having=" << RenderExpression(query.HavingExpression.get());
  if (query.OrderByPresent) {
    out << " order=[";
    for (size_t i = 0; i < query.OrderBy.size(); ++i) {
      out << (i ? "," : "") << ItemText(query.OrderBy[i]) << (query.OrderBy[i].Descending ? " desc" : "");
    }
    out << "]";
    if (query.OrderByNoCase) out << " nocase";
  }
  if (query.TopCount >= 0) out << " top=" << query.TopCount;
  if (query.UnionTopCount >= 0) out << " uniontop=" << query.UnionTopCount;
  if (query.WithLocks) out << " locks";
  if (query.LanguageGiven) out << " lang=" << query.LanguageId;
  if (query.SortGiven) out << " sort=" << query.SortId;
  if (query.PasswordGiven) out << " pwd='" << query.Password << "'";
  if (query.NoJoinOptimize) out << " nojoinopt";
  if (query.Kind == kStatementUpdate) {
    out << " set=[";
    for (size_t i = 0; i < query.UpdateFields.size(); ++i) {
      const TUpdateField& field = query.UpdateFields[i];
      out << (i ? ", " : "") << (field.CorrelationName.empty() ? "" : field.CorrelationName + ".")
          << field.ColumnName << "=" << RenderExpression(query.UpdateValues[i].Expression.get());
    }
    out << "]";
  } else if (query.Kind == kStatementInsert) {
    out << " cols=[";
    for (size_t i = 0; i < query.UpdateFields.size(); ++i) {
      const TUpdateField& field = query.UpdateFields[i];
      out << (i ? "," : "") << (field.CorrelationName.empty() ? "" : field.CorrelationName + ".") << field.ColumnName;
    }
    out << "]";
    if (!query.UpdateValues.empty()) {
      out << " values=[";
      for (size_t i = 0; i < query.UpdateValues.size(); ++i) {
        out << (i ? "," : "") << RenderExpression(query.UpdateValues[i].Expression.get());
      }
      out << "]";
    }
  }
  if (query.NoAutoInc) out << " noautoinc";
  if (query.CommitIntervalGiven) out << " interval=" << query.CommitInterval;
  if (query.CommitFlush) out << " flush";
  if (!query.IntoGiven && !query.TargetName.empty()) {
    out << " target=" << (query.TargetInMemory ? "MEMORY:" : "") << query.TargetName;
  }
  if (!query.TargetIndexName.empty()) out << " index=" << query.TargetIndexName;
  if (query.IfExists) out << " ifexists";
  if (query.IfNotExists) out << " ifnotexists";
  if (!query.CreateFields.empty()) {
    out << " fields=[";
    for (size_t i = 0; i < query.CreateFields.size(); ++i) out << (i ? "; " : "") << FieldText(query.CreateFields[i]);
    out << "]";
  }
  if (!query.CreateIndexes.empty()) {
    out << " indexes=[";
    for (size_t i = 0; i < query.CreateIndexes.size(); ++i) out << (i ? "; " : "") << IndexText(query.CreateIndexes[i]);
    out << "]";
  }
  if (query.TextIndex.Given) {
    out << " textindex=(";
    for (size_t i = 0; i < query.TextIndex.Columns.size(); ++i) out << (i ? "," : "") << query.TextIndex.Columns[i].ColumnName;
    out << ")";
    if (query.TextIndex.StopWordsGiven) {
      out << " stop=";
      for (size_t i = 0; i < query.TextIndex.StopWords.size(); ++i) out << (i ? "|" : "") << query.TextIndex.StopWords[i];
    }
    if (query.TextIndex.SpaceCharsGiven) out << " space=" << query.TextIndex.SpaceChars.count();
    if (query.TextIndex.IncludeCharsGiven) out << " include=" << query.TextIndex.IncludeChars.count();
  }
  if (query.DescriptionGiven) out << " desc='" << query.Description << "'";
  if (query.BlobBlockSizeGiven) out << " blobblock=" << query.BlobBlockSize;
  if (query.UserMajorVersionGiven) out << " major=" << query.UserMajorVersion;
  if (query.UserMinorVersionGiven) out << " minor=" << query.UserMinorVersion;
  if (query.LastAutoInc >= 0) out << " lastautoinc=" << query.LastAutoInc;
  if (query.NoBackup) out << " nobackup";
  return out.str();
}

}  // namespace

std::string RenderExpression(const TExpToken* node) {
  if (!node) return "-";
  switch (node->NodeKind) {
    case kNodeColumn:
      return node->TableAlias.empty() ? node->ColumnName : node->TableAlias + "." + node->ColumnName;
    case kNodeConstant:
      if (node->IsParameter) return "?" + std::to_string(node->ParameterIndex);
      if (node->DataType == 1) return "'" + node->TokenText + "'";
      return node->TokenText.empty() ? "NULL" : node->TokenText;
    case kNodeUnary:
      return "(" + std::string(node->OpCode == kOpNot ? "NOT " : node->TokenText) + RenderExpression(node->Left) + ")";
    case kNodeBinary:
      return "(" + RenderExpression(node->Left) + " " + BinaryText(node->OpCode) + " " + RenderExpression(node->Right) + ")";
    case kNodeExtended:
      return std::string(ExtendedText(node->OpCode)) + "(" + Arguments(*node) + ")";
    case kNodeSubSelect:
      return "SELECT";
    case kNodeFunction:
      return node->TokenText + "(" + Arguments(*node) + ")";
    default:
      return "?node";
  }
}

std::string StatementSummary(const TQueryStatement& statement) {
  std::ostringstream out;
  out << StatementKindName(statement.StatementKind());
  if (statement.SelectStar()) out << " star";
  if (statement.ParameterCount()) out << " params=" << statement.ParameterCount();
  for (size_t i = 0; i < statement.Queries().size(); ++i) {
    out << " | " << i << ": " << QuerySummary(statement, *statement.Queries()[i]);
  }
  return out.str();
}

}  // namespace rudira::testing
