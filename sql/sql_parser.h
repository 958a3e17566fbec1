// TSqlParser: the statement grammar. It reads one statement from the
// statement's lexer into TDataQuery objects of the statement: the first word
// selects the kind, then the grammar of that kind is read clause by clause.
// Expressions are read through the statement's TSqlExpressionReader.
//
// The parser keeps no state of its own beyond the statement it works for;
// a new one is made for each statement and each sub-select.
//
//   sql_parser.cpp         dispatch, statement end, names, table references,
//                          correlation names, COMMIT options
//   sql_select_parser.cpp  SELECT: select list, INTO, FROM and JOINs, WHERE,
//                          GROUP BY, HAVING, ORDER BY, options, UNION
//   sql_dml_parser.cpp     INSERT, UPDATE, DELETE
//   sql_ddl_parser.cpp     CREATE/ALTER/DROP TABLE, CREATE/DROP INDEX,
//                          column definitions, primary keys, table options,
//                          transaction statements
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "sql/data_query.h"
#include "sql/sql_lexer.h"

namespace rudira {

class TQueryStatement;
class TSqlExpressionReader;
struct SqlExpressionContext;

// The places a table reference can stand in; each has its own words that are
// never taken as a bare correlation name.
enum class TablePlace : uint8_t {
  kSelectFrom,
  kInsertSourceFrom,  // FROM list of the SELECT source of an INSERT
  kJoin,
  kUpdateTarget,
  kUpdateFrom,
  kDeleteFrom,
  kInsertTarget,
};

class TSqlParser {
 public:
  explicit TSqlParser(TQueryStatement& statement);

  // Reads one complete statement into `master`, including its end (";" or end
  // of text).
  void ParseStatement(TDataQuery& master);
  // Reads the SELECT of "IN (SELECT ...)" into a new sub-query; the lexer is
  // on SELECT. Returns the query.
  TDataQuery* ParseSubSelect();

 private:
  // --- common (sql_parser.cpp)
  [[noreturn]] void Fail(const std::string& message) const;
  // fragment + current token + "'".
  [[noreturn]] void Expected(std::string_view fragment) const;
  void ExpectKeyword(std::string_view keyword, std::string_view fragment);
  void ExpectSymbol(char symbol, std::string_view fragment);
  void ExpectStatementEnd(uint8_t kind);
  bool IsAnyOf(std::initializer_list<std::string_view> keywords) const;
  // Reads an integer token into [minimum, maximum]; Expected(fragment) otherwise.
  int64_t ReadInteger(std::string_view fragment, int64_t minimum, int64_t maximum);
  // The text of the current token, consumed ("string" of the grammar).
  std::string ReadString();

  // `[MEMORY] name [\ name]`. `missingFirst`: no name where the reference
  // starts; `missingLater`: no name after MEMORY or after "\".
  void ParseTableReference(TSourceTable& table, std::string_view missingFirst,
                           std::string_view missingLater);
  // An optional correlation name after a table reference.
  void ParseCorrelation(TSourceTable& table, TablePlace place, bool allowAs);
  // Appends the table to the query's sources; rejects a duplicate correlation name.
  TSourceTable& AddSourceTable(TDataQuery& query, TSourceTable table);
  // `name [. name]` as a column of the "table column" / "index column" kinds.
  void ReadColumnName(std::string& name, std::string& correlation, std::string& sourceText,
                      const SqlExpressionContext& context);
  void ParseCommitOptions(TDataQuery& query);

  // --- SELECT (sql_select_parser.cpp)
  // Reads a SELECT block, the lexer on SELECT. `master`: the statement's
  // master query; `parenthesized`: the statement began with "(".
  void ParseSelect(TDataQuery& query, bool master, bool parenthesized, TablePlace fromPlace);
  void ParseSelectList(TDataQuery& query);
  void ParseInto(TDataQuery& query, bool master);
  // FROM list with joins; the lexer is on the first token after FROM.
  // `openParentheses` already counted before it. UPDATE passes its target so
  // that the first entry is matched against it instead of being added.
  void ParseFromList(TDataQuery& query, TablePlace place, int openParentheses,
                     const TSourceTable* updateTarget);
  void ParseJoins(TDataQuery& query, int& openParentheses);
  void ParseGroupBy(TDataQuery& query);
  void ParseOrderBy(TDataQuery& query);
  void ParseSelectOptions(TDataQuery& query);
  void ParseLanguage(TDataQuery& query);
  void ParseEncrypted(TDataQuery& query);

  // --- INSERT, UPDATE, DELETE (sql_dml_parser.cpp)
  void ParseInsert(TDataQuery& query);
  void ParseUpdate(TDataQuery& query);
  void ParseDelete(TDataQuery& query);

  // --- definitions and transactions (sql_ddl_parser.cpp)
  void ParseCreateTable(TDataQuery& query);
  void ParseCreateIndex(TDataQuery& query);
  void ParseAlterTable(TDataQuery& query);
  void ParseDropTable(TDataQuery& query);
  void ParseDropIndex(TDataQuery& query);
  void ParseTransaction(TDataQuery& query);
  // A target table of CREATE, ALTER or DROP into query.TargetName.
  void ParseTargetTable(TDataQuery& query, std::string_view missing);
  // Column name and data type; `typeRequired` in CREATE TABLE and ALTER ADD.
  void ParseColumnNameAndType(TCreateField& field, bool typeRequired);
  void ParseColumnModifiers(TCreateField& field, bool alter);
  std::string ParseModifierValue(std::string_view fragment);
  bool AtPrimaryKeyStart() const;
  void ParsePrimaryKey(TCreateIndex& index);
  void ParseIndexColumns(std::vector<TIndexColumn>& columns, std::string_view open, std::string_view close);
  uint8_t ParseCompression();
  void ParseTableOptions(TDataQuery& query, bool alter);
  void ParseTextIndex(TDataQuery& query);

  TQueryStatement& statement_;
  TSqlLexer& lexer_;
  TSqlExpressionReader& expressions_;
};

}  // namespace rudira
