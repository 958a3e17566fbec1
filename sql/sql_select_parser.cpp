// The SELECT grammar: select list, INTO, FROM with parentheses and joins,
// WHERE, GROUP BY, HAVING, ORDER BY, the trailing options and UNION.
#include <cstdint>

#include "engine/errors.h"
#include "engine/locale_list.h"
#include "sql/query_statement.h"
#include "sql/sql_expression.h"
#include "sql/sql_parser.h"

namespace rudira {

void TSqlParser::ParseSelect(TDataQuery& query, bool master, bool parenthesized, TablePlace fromPlace) {
  query.Kind = kStatementSelect;
  lexer_.Next();  // SELECT
  lexer_.Accept("ALL");
  if (lexer_.Accept("DISTINCT")) query.Distinct = true;
  ParseSelectList(query);
  if (master && query.ResultFields.size() == 1) {
    const TResultField& only = query.ResultFields.front();
    const TExpToken* root = only.Expression.get();
    statement_.SetSelectStar(root && root->NodeKind == kNodeColumn && root->ColumnName == "*" &&
                             root->TableAlias.empty() && !only.AliasGiven);
  }
  ParseInto(query, master);
  ExpectKeyword("FROM", "FROM keyword expected, instead found '");
  ParseFromList(query, fromPlace, 0, nullptr);
  if (lexer_.Accept("WHERE")) query.WhereExpression = expressions_.Read(kWhereContext);
  ParseGroupBy(query);
  if (lexer_.Accept("HAVING")) {
    query.HavingPresent = true;
    query.HavingExpression = expressions_.Read(kHavingContext);
  }
  if (!query.UnionMember) ParseOrderBy(query);
  ParseSelectOptions(query);
  if (parenthesized) {
    ExpectSymbol(')', "Right parentheses expected after SELECT statement, instead found '");
  }
  if (!lexer_.Is("UNION")) return;
  if (query.OrderByPresent) Fail("You cannot use an ORDER BY clause within a UNIONed query");
  lexer_.Next();
  const bool all = lexer_.Accept("ALL");
  if (!lexer_.Is("SELECT")) Expected("SELECT keyword expected, instead found '");
  TDataQuery& member = statement_.NewQuery();
  member.Kind = kStatementSelect;
  member.UnionMember = true;
  member.UnionedOnto = &query;
  member.UnionAll = all;
  member.RequestLive = query.RequestLive;
  member.MaxRowCount = query.MaxRowCount;
  query.NextUnion = &member;
  ParseSelect(member, false, false, fromPlace);
  if (!query.UnionMember) {
    // ORDER BY and TOP of the whole UNION.
    ParseOrderBy(query);
    if (lexer_.Accept("TOP")) {
      query.UnionTopCount = static_cast<int32_t>(
          ReadInteger("Integer value expected after TOP keyword, instead found '", 0, INT32_MAX));
    }
  }
}

void TSqlParser::ParseSelectList(TDataQuery& query) {
  do {
    TResultField field;
    field.Expression = expressions_.Read(kSourceColumnContext, &field.SourceText);
    const TExpToken& root = *field.Expression;
    if (root.NodeKind == kNodeColumn) {
      field.ColumnName = root.ColumnName;
      field.CorrelationName = root.TableAlias;
    } else if (root.NodeKind == kNodeFunction && IsAggregateFunction(root.OpCode)) {
      field.AggregateKind = root.OpCode;
      const TExpToken* argument = root.Arguments.empty() ? nullptr : root.Arguments.front();
      if (argument && ContainsAggregate(argument)) Fail("Aggregate functions cannot be nested");
      if (argument && argument->NodeKind == kNodeColumn) {
        field.ColumnName = argument->ColumnName;
        field.CorrelationName = argument->TableAlias;
      } else {
        field.Calculated = true;
      }
    } else {
      field.Calculated = true;
      if (ContainsAggregate(&root)) Fail("Aggregate functions cannot be used within expressions");
    }
    // Alias: AS name, or a bare name other than INTO and FROM; "a.b" names b.
    bool alias = false;
    std::string name;
    if (lexer_.Accept("AS")) {
      if (!lexer_.IsName()) Expected("Symbol or string expected after AS keyword, instead found '");
      alias = true;
    } else if (lexer_.IsName() && !lexer_.Is("INTO") && !lexer_.Is("FROM")) {
      alias = true;
    }
    if (alias) {
      name = ReadString();
      if (lexer_.AcceptSymbol('.')) {
        if (!lexer_.IsName()) Expected("Symbol or string expected after table correlation name, instead found '");
        name = ReadString();
      }
      field.ColumnName = SqlShortString(name);
      field.AliasGiven = true;
    }
    query.ResultFields.push_back(std::move(field));
  } while (lexer_.AcceptSymbol(','));
}

void TSqlParser::ParseInto(TDataQuery& query, bool master) {
  if (!lexer_.Is("INTO")) return;
  if (!master) Fail("The INTO clause can only be used with the master query");
  lexer_.Next();
  query.IntoGiven = true;
  std::string name;
  if (lexer_.Accept("MEMORY")) {
    query.TargetInMemory = true;
    if (lexer_.IsName() && !lexer_.Is("FROM")) name = ReadString();
  } else {
    // FROM closes an INTO clause that names no table.
    if (!lexer_.IsName() || lexer_.Is("FROM")) {
      Expected("Result table name expected in INTO clause, instead found '");
    }
    TSourceTable table;
    ParseTableReference(table, "Result table name expected in INTO clause, instead found '",
                        "Result table name expected in INTO clause, instead found '");
    name = table.Location == TableLocation::kDirectory ? table.Directory + table.TableName : table.TableName;
  }
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  query.TargetName = SqlShortString(name);
}

void TSqlParser::ParseFromList(TDataQuery& query, TablePlace place, int openParentheses,
                               const TSourceTable* updateTarget) {
  bool first = true;
  for (;;) {
    while (lexer_.AcceptSymbol('(')) ++openParentheses;
    TSourceTable table;
    ParseTableReference(table, "Table name expected after FROM keyword, instead found '",
                        "Table name expected after FROM keyword, instead found '");
    ParseCorrelation(table, place, true);
    if (first && updateTarget) {
      // The first entry names the table being updated; it adds no source.
      const bool sameTable = SqlKeywordEquals(table.TableName, updateTarget->TableName) &&
                             table.Location == updateTarget->Location &&
                             SqlKeywordEquals(table.Directory, updateTarget->Directory);
      const bool sameCorrelation =
          !table.CorrelationGiven || SqlKeywordEquals(table.CorrelationName, updateTarget->CorrelationName);
      if (!sameTable || !sameCorrelation) {
        Fail("The first source table specified in FROM clause must match the table being updated in the "
             "UPDATE statement");
      }
    } else {
      AddSourceTable(query, std::move(table));
    }
    first = false;
    ParseJoins(query, openParentheses);
    if (lexer_.Is("FULL")) Fail("Full outer joins are currently not supported in SQL SELECT statements");
    if (openParentheses > 0) Fail("Mismatched join parentheses");
    if (!lexer_.AcceptSymbol(',')) break;
    query.MultipleSourceTables = true;
  }
}

void TSqlParser::ParseJoins(TDataQuery& query, int& openParentheses) {
  for (;;) {
    uint8_t kind;
    if (lexer_.Accept("JOIN")) {
      kind = kJoinInner;
    } else if (lexer_.Accept("INNER")) {
      ExpectKeyword("JOIN", "JOIN keyword expected after INNER keyword, instead found '");
      kind = kJoinInner;
    } else if (lexer_.Accept("LEFT")) {
      lexer_.Accept("OUTER");
      ExpectKeyword("JOIN", "JOIN keyword expected after LEFT or OUTER keyword, instead found '");
      kind = kJoinLeftOuter;
    } else if (lexer_.Accept("RIGHT")) {
      lexer_.Accept("OUTER");
      ExpectKeyword("JOIN", "JOIN keyword expected after RIGHT or OUTER keyword, instead found '");
      kind = kJoinRightOuter;
    } else {
      return;
    }
    TSourceTable table;
    ParseTableReference(table, "Table name expected after JOIN keyword, instead found '",
                        "Table name expected after JOIN keyword, instead found '");
    ParseCorrelation(table, TablePlace::kJoin, true);
    AddSourceTable(query, std::move(table));
    ExpectKeyword("ON", "ON keyword expected in JOIN clause, instead found '");
    TJoinExpression join;
    join.SourceTableIndex = static_cast<int32_t>(query.SourceTables.size()) - 1;
    join.Kind = kind;
    join.OnExpression = expressions_.Read(kJoinContext);
    query.Joins.push_back(std::move(join));
    query.MultipleSourceTables = true;
    while (openParentheses > 0 && lexer_.AcceptSymbol(')')) --openParentheses;
  }
}

namespace {

// `name [. name]` or a column number, the GROUP BY and ORDER BY item form.
template <typename Item>
void ReadItem(TSqlLexer& lexer, Item& item, const char* message,
              void (*expected)(const TSqlLexer&, const char*)) {
  if (lexer.IsInteger()) {
    const std::string& text = lexer.TokenText();
    if (text.size() > 5 || std::stoi(text) > 65535) expected(lexer, message);
    item.ColumnNumber = static_cast<uint16_t>(std::stoi(text));
    lexer.Next();
    return;
  }
  if (!lexer.IsName()) expected(lexer, message);
  std::string name = lexer.TokenText();
  lexer.Next();
  if (lexer.AcceptSymbol('.')) {
    if (!lexer.IsName()) expected(lexer, message);
    item.CorrelationName = SqlShortString(name);
    name = lexer.TokenText();
    lexer.Next();
  }
  item.ColumnName = SqlShortString(name);
}

[[noreturn]] void RaiseItemExpected(const TSqlLexer& lexer, const char* message) {
  RaiseEngineError(RUDIRA_SQLPARSE, {.Text = std::string(message) + lexer.TokenText() + "'"});
}

}  // namespace

void TSqlParser::ParseGroupBy(TDataQuery& query) {
  if (!lexer_.Accept("GROUP")) return;
  ExpectKeyword("BY", "BY keyword expected after GROUP keyword, instead found '");
  query.GroupByPresent = true;
  do {
    TGroupByField item;
    ReadItem(lexer_, item, "Column name or column number expected in GROUP BY clause, instead found '",
             RaiseItemExpected);
    query.GroupBy.push_back(std::move(item));
  } while (lexer_.AcceptSymbol(','));
}

void TSqlParser::ParseOrderBy(TDataQuery& query) {
  if (!lexer_.Accept("ORDER")) return;
  ExpectKeyword("BY", "BY keyword expected after ORDER keyword, instead found '");
  query.OrderByPresent = true;
  do {
    TOrderByField item;
    ReadItem(lexer_, item, "Column name or column number expected in ORDER BY clause, instead found '",
             RaiseItemExpected);
    if (lexer_.Accept("DESC") || lexer_.Accept("DESCENDING")) {
      item.Descending = true;
    } else if (!lexer_.Accept("ASC")) {
      lexer_.Accept("ASCENDING");
    }
    query.OrderBy.push_back(std::move(item));
  } while (lexer_.AcceptSymbol(','));
  if (lexer_.Accept("NOCASE")) query.OrderByNoCase = true;
}

void TSqlParser::ParseSelectOptions(TDataQuery& query) {
  if (lexer_.Accept("TOP")) {
    query.TopCount = static_cast<int32_t>(
        ReadInteger("Integer value expected after TOP keyword, instead found '", 0, INT32_MAX));
  }
  if (lexer_.Accept("WITH")) {
    ExpectKeyword("LOCKS", "LOCKS keyword expected after WITH keyword, instead found '");
    query.WithLocks = true;
  }
  ParseLanguage(query);
  ParseEncrypted(query);
  if (lexer_.Accept("NOJOINOPTIMIZE")) query.NoJoinOptimize = true;
}

void TSqlParser::ParseLanguage(TDataQuery& query) {
  if (!lexer_.Accept("LANGUAGE")) return;
  const std::string language = ReadString();
  if (!LocaleNameValid(language)) {
    Fail("Invalid language constant '" + language + "' specified after LANGUAGE keyword");
  }
  query.LanguageId = LocaleIdOfName(language);
  query.LanguageGiven = true;
  if (!lexer_.Accept("SORT")) return;
  const std::string sort = ReadString();
  if (!SortNameValid(query.LanguageId, sort)) {
    Fail("Invalid sort constant '" + sort + "' specified after SORT keyword");
  }
  query.SortId = SortIdOfName(query.LanguageId, sort);
  query.SortGiven = true;
}

void TSqlParser::ParseEncrypted(TDataQuery& query) {
  if (!lexer_.Accept("ENCRYPTED")) return;
  ExpectKeyword("WITH", "WITH keyword expected after ENCRYPTED keyword, instead found '");
  query.Password = SqlShortString(ReadString());
  query.PasswordGiven = true;
}

}  // namespace rudira
