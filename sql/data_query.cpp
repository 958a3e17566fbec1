#include "sql/data_query.h"

#include "sql/sql_lexer.h"

namespace rudira {

const char* StatementKindName(uint8_t kind) {
  switch (kind) {
    case kStatementSelect: return "SELECT";
    case kStatementInsert: return "INSERT";
    case kStatementUpdate: return "UPDATE";
    case kStatementDelete: return "DELETE";
    case kStatementCreateTable: return "CREATE TABLE";
    case kStatementAlterTable: return "ALTER TABLE";
    case kStatementDropTable: return "DROP TABLE";
    case kStatementCreateIndex: return "CREATE INDEX";
    case kStatementDropIndex: return "DROP INDEX";
    case kStatementStartTransaction: return "START TRANSACTION";
    case kStatementRollback: return "ROLLBACK";
    case kStatementCommit: return "COMMIT";
    default: return "UNKNOWN";
  }
}

TSourceTable* TDataQuery::FindCorrelation(std::string_view name) {
  for (TSourceTable& table : SourceTables) {
    if (SqlKeywordEquals(table.CorrelationName, name)) return &table;
  }
  return nullptr;
}

}  // namespace rudira
