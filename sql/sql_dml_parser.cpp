// The INSERT, UPDATE and DELETE grammars.
#include "engine/errors.h"
#include "sql/query_statement.h"
#include "sql/sql_expression.h"
#include "sql/sql_parser.h"

namespace rudira {

void TSqlParser::ParseInsert(TDataQuery& query) {
  ExpectKeyword("INTO", "INTO keyword expected, instead found '");
  TSourceTable target;
  ParseTableReference(target, "Table name expected after INTO clause, instead found '",
                      "Table name expected after INTO keyword, instead found '");
  ParseCorrelation(target, TablePlace::kInsertTarget, false);
  AddSourceTable(query, std::move(target));

  if (lexer_.IsSymbol('(')) {
    lexer_.Next();
    if (lexer_.Is("SELECT")) {
      // "(" SELECT would leave the matching ")" unconsumed; rejected here
      // rather than at the end of the statement.
      Fail("The SELECT source of an INSERT statement cannot be enclosed in parentheses");
    }
    do {
      TUpdateField field;
      ReadColumnName(field.ColumnName, field.CorrelationName, field.SourceText, kTableColumnContext);
      query.UpdateFields.push_back(std::move(field));
    } while (lexer_.AcceptSymbol(','));
    ExpectSymbol(')', "Right parentheses expected after list of table columns, instead found '");
  } else {
    TUpdateField all;
    all.ColumnName = "*";
    all.SourceText = "*";
    query.UpdateFields.push_back(std::move(all));
  }

  if (lexer_.Accept("VALUES")) {
    ExpectSymbol('(', "Left parentheses expected after VALUES keyword, instead found '");
    do {
      TUpdateValue value;
      value.Expression = expressions_.Read(kValueContext, &value.SourceText);
      query.UpdateValues.push_back(std::move(value));
    } while (lexer_.AcceptSymbol(','));
    ExpectSymbol(')', "Right parentheses expected after list of values, instead found '");
  } else if (lexer_.Is("SELECT")) {
    TDataQuery& source = statement_.NewQuery();
    source.Kind = kStatementSelect;
    source.SubQuery = true;
    source.RequestLive = true;
    ParseSelect(source, false, false, TablePlace::kInsertSourceFrom);
  } else {
    Expected("VALUES or SELECT  keyword expected, instead found '");
  }
  if (lexer_.Accept("NOAUTOINC")) query.NoAutoInc = true;
  ParseCommitOptions(query);
  ExpectStatementEnd(kStatementInsert);
}

void TSqlParser::ParseUpdate(TDataQuery& query) {
  int openParentheses = 0;
  while (lexer_.AcceptSymbol('(')) ++openParentheses;
  TSourceTable target;
  ParseTableReference(target, "Table name expected, instead found '", "Table name expected, instead found '");
  ParseCorrelation(target, TablePlace::kUpdateTarget, true);
  TSourceTable& updated = AddSourceTable(query, std::move(target));

  ExpectKeyword("SET", "SET keyword expected, instead found '");
  do {
    TUpdateField field;
    ReadColumnName(field.ColumnName, field.CorrelationName, field.SourceText, kTableColumnContext);
    ExpectSymbol('=', "Assignment (=) operator expected after column name, instead found '");
    TUpdateValue value;
    value.Expression = expressions_.Read(kValueContext, &value.SourceText);
    query.UpdateFields.push_back(std::move(field));
    query.UpdateValues.push_back(std::move(value));
  } while (lexer_.AcceptSymbol(','));

  if (lexer_.Accept("FROM")) {
    const TSourceTable targetCopy = updated;  // the list grows while the FROM list is read
    ParseFromList(query, TablePlace::kUpdateFrom, openParentheses, &targetCopy);
  } else if (openParentheses > 0) {
    Fail("Mismatched join parentheses");
  }
  if (lexer_.Accept("WHERE")) query.WhereExpression = expressions_.Read(kWhereContext);
  if (lexer_.Accept("NOAUTOINC")) query.NoAutoInc = true;
  ParseCommitOptions(query);
  if (lexer_.Accept("NOJOINOPTIMIZE")) query.NoJoinOptimize = true;
  ExpectStatementEnd(kStatementUpdate);
}

void TSqlParser::ParseDelete(TDataQuery& query) {
  ExpectKeyword("FROM", "FROM keyword expected, instead found '");
  ParseFromList(query, TablePlace::kDeleteFrom, 0, nullptr);
  if (lexer_.Accept("WHERE")) query.WhereExpression = expressions_.Read(kWhereContext);
  ParseCommitOptions(query);
  if (lexer_.Accept("NOJOINOPTIMIZE")) query.NoJoinOptimize = true;
  ExpectStatementEnd(kStatementDelete);
}

}  // namespace rudira
