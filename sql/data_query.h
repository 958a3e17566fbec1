// TDataQuery: one SELECT block (the master query, a UNION member, a
// sub-select or the source of INSERT ... SELECT) or one other statement, as
// the statement parser leaves it.
//
// A query belongs to its TQueryStatement, which owns every query of the
// statement in one list (master first, then the others in creation order).
// UNION links (UnionedOnto, NextUnion) point into that list and own nothing.
// The fields after "derived at prepare time" are filled by the prepare-time
// analysis of SELECT execution and grouping; the parser leaves them at their
// defaults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sql/statement_model.h"

namespace rudira {

class TQueryStatement;

// Statement kind codes; the name is used in the end-of-statement message.
constexpr uint8_t kStatementUnknown = 0;
constexpr uint8_t kStatementSelect = 1;
constexpr uint8_t kStatementInsert = 2;
constexpr uint8_t kStatementUpdate = 3;
constexpr uint8_t kStatementDelete = 4;
constexpr uint8_t kStatementCreateTable = 5;
constexpr uint8_t kStatementAlterTable = 6;
constexpr uint8_t kStatementDropTable = 7;
constexpr uint8_t kStatementCreateIndex = 8;
constexpr uint8_t kStatementDropIndex = 9;
constexpr uint8_t kStatementStartTransaction = 10;
constexpr uint8_t kStatementRollback = 11;
constexpr uint8_t kStatementCommit = 12;

// "SELECT", "CREATE TABLE", ...; "UNKNOWN" for any other code.
const char* StatementKindName(uint8_t kind);

constexpr uint16_t kSqlDefaultBlobBlockSize = 512;  // BLOCK SIZE when not given

class TDataQuery {
 public:
  explicit TDataQuery(TQueryStatement* owner) : Owner(owner) {}
  TDataQuery(const TDataQuery&) = delete;
  TDataQuery& operator=(const TDataQuery&) = delete;

  // The source table with this correlation name (ignoring case), or null.
  TSourceTable* FindCorrelation(std::string_view name);

  TQueryStatement* Owner;
  uint8_t Kind = kStatementUnknown;
  bool SubQuery = false;        // operand of IN / NOT IN, or source of INSERT ... SELECT
  bool UnionMember = false;
  TDataQuery* UnionedOnto = nullptr;  // the query this member was UNIONed onto
  TDataQuery* NextUnion = nullptr;    // the member UNIONed onto this query
  bool UnionAll = false;        // this member was joined by UNION ALL

  bool RequestLive = true;
  int32_t MaxRowCount = -1;     // -1: no limit

  std::vector<TSourceTable> SourceTables;   // FROM order; INSERT/UPDATE/DELETE: the target first
  std::vector<TResultField> ResultFields;
  std::vector<TJoinExpression> Joins;
  TExpTokenPtr WhereExpression;
  TExpTokenPtr HavingExpression;
  std::vector<TOrderByField> OrderBy;       // for the master of a UNION: ordering of the whole UNION
  bool OrderByNoCase = false;
  std::vector<TGroupByField> GroupBy;

  // INSERT and UPDATE: targets and values paired by position.
  std::vector<TUpdateField> UpdateFields;
  std::vector<TUpdateValue> UpdateValues;

  // CREATE TABLE, ALTER TABLE, CREATE INDEX.
  std::vector<TCreateField> CreateFields;
  std::vector<TCreateIndex> CreateIndexes;
  TTextIndexDefinition TextIndex;

  // INTO table of a SELECT, or the table CREATE, ALTER or DROP acts on:
  // directory part and name joined by "\". DROP INDEX: the index name is in
  // TargetIndexName.
  std::string TargetName;
  bool TargetInMemory = false;
  std::string TargetIndexName;
  bool IntoGiven = false;

  // Clause flags and values.
  bool Distinct = false;
  bool MultipleSourceTables = false;  // a comma in the table list or any JOIN
  bool NoJoinOptimize = false;
  bool GroupByPresent = false;
  bool HavingPresent = false;
  bool OrderByPresent = false;
  int32_t TopCount = -1;              // -1 when absent
  // The TOP after the ORDER BY of a whole UNION (master query only).
  int32_t UnionTopCount = -1;
  bool WithLocks = false;
  uint16_t LanguageId = 0;
  bool LanguageGiven = false;
  uint16_t SortId = 0;
  bool SortGiven = false;
  std::string Password;               // ENCRYPTED WITH; empty: not encrypted
  bool PasswordGiven = false;
  uint16_t BlobBlockSize = kSqlDefaultBlobBlockSize;
  bool BlobBlockSizeGiven = false;
  std::string Description;
  bool DescriptionGiven = false;
  uint16_t UserMajorVersion = 1;
  bool UserMajorVersionGiven = false;
  uint16_t UserMinorVersion = 0;
  bool UserMinorVersionGiven = false;
  int32_t LastAutoInc = -1;           // -1 when not given
  bool NoAutoInc = false;
  bool NoBackup = false;
  int32_t CommitInterval = 0;
  bool CommitIntervalGiven = false;
  bool CommitFlush = false;           // COMMIT ... FLUSH (also the COMMIT statement's FLUSH)
  bool IfExists = false;
  bool IfNotExists = false;

  // Derived at prepare time.
  bool HasCalculatedColumn = false;
  bool HasCalculatedBlobColumn = false;
  bool ImplicitGrouping = false;
  int32_t LiveOrderIndex = -1;        // index chosen for a live ORDER BY; -1 none
  bool LiveResult = false;
};

}  // namespace rudira
