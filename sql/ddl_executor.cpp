// Execution of CREATE TABLE, CREATE INDEX, DROP TABLE and DROP INDEX
// through the table directory and an exclusive cursor; ALTER TABLE is in
// sql/alter_table.cpp.
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "sql/ddl_support.h"
#include "sql/statement_executor.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/index_key.h"

namespace rudira {

namespace {

// What CREATE TABLE gives beyond the definition: the text index's stop
// words and character sets, and LAST AUTOINC as the last auto-increment
// value issued, written into the new, still empty table.
void StoreCreatedExtras(TTargetDatabase& target, const TDataQuery& query) {
  const TextIndexParameters parameters = TextParametersOf(query.TextIndex);
  const bool textParameters = query.TextIndex.Given && !(parameters == TextIndexParameters{});
  if (!textParameters && query.LastAutoInc < 0) return;
  std::unique_ptr<TDataCursor> cursor = target.OpenExclusive();
  TDataTable& table = *cursor->Table();
  table.WriterLock();
  try {
    if (textParameters) table.IndexFile().WriteParameters(parameters.Encode());
    if (query.LastAutoInc >= 0) table.DataFile().SetLastAutoIncValue(query.LastAutoInc);
    table.WriteChanges(false, false);
  } catch (...) {
    table.WriterUnlock();
    throw;
  }
  table.WriterUnlock();
  cursor->CloseCursor();
}

void CreateTable(TSelectExecutor::TImpl& impl, TDataQuery& query) {
  TTargetDatabase target(impl, query);
  TDataDirectory& database = target.Database();
  if (database.TableExists(target.TableName(), target.InMemory())) {
    if (query.IfNotExists) return;
    RaiseEngineError(RUDIRA_TABLEEXISTS, {.TableName = target.TableName()});
  }
  DataFileDefinition definition;
  definition.LanguageId = static_cast<int16_t>(query.LanguageId);
  definition.SortId = static_cast<int16_t>(query.SortId);
  definition.BlobBlockSize = query.BlobBlockSize;
  definition.Description = CutText(query.Description, kMaxSqlDescriptionLength);
  if (query.PasswordGiven && !query.Password.empty()) {
    definition.Encrypted = true;
    definition.Password = query.Password;
  }
  definition.UserMajorVersion = static_cast<int16_t>(query.UserMajorVersion);
  definition.UserMinorVersion = static_cast<int16_t>(query.UserMinorVersion);
  uint16_t number = 0;
  for (const TCreateField& column : query.CreateFields) {
    TFieldDescriptor field = FieldOf(column);
    field.FieldNo = ++number;
    definition.Fields.push_back(std::move(field));
  }
  PrepareFieldDefinitions(definition.Fields, database.DatabaseName(), target.TableName());
  TableIndexDefinitions indexes;
  for (const TCreateIndex& index : query.CreateIndexes) {
    if (index.Primary) indexes.Primary = IndexOf(index, definition.Fields, target.TableName());
  }
  if (query.TextIndex.Given) indexes.TextIndex = TextIndexOf(query.TextIndex, definition.Fields, target.TableName());
  TDataSession& session = impl.Session;
  const bool added = definition.Encrypted && !session.HasPassword(definition.Password);
  if (added) session.AddPassword(definition.Password);
  bool created = false;
  try {
    const int32_t made = database.CreateTable(target.TableName(), target.InMemory(), false, definition, indexes);
    if (made < 0) RaiseEngineError(static_cast<uint16_t>(-made), {.TableName = target.TableName()});
    created = true;
    StoreCreatedExtras(target, query);
  } catch (...) {
    // A table left without what the statement gave it is not kept.
    if (created) database.DeleteTable(target.TableName(), target.InMemory());
    if (added) session.RemovePassword(definition.Password);
    throw;
  }
  if (added) session.RemovePassword(definition.Password);
}

void CreateIndex(TSelectExecutor::TImpl& impl, TDataQuery& query) {
  TTargetDatabase target(impl, query);
  std::unique_ptr<TDataCursor> cursor = target.OpenExclusive();
  for (const TCreateIndex& index : query.CreateIndexes) {
    if (query.IfNotExists && cursor->Table()->IndexFile().FindIndex(index.IndexName) >= 0) continue;
    cursor->AddIndex(IndexOf(index, cursor->Fields(), target.TableName()));
  }
  cursor->CloseCursor();
}

void DropTable(TSelectExecutor::TImpl& impl, TDataQuery& query) {
  TTargetDatabase target(impl, query);
  TDataDirectory& database = target.Database();
  if (!database.TableExists(target.TableName(), target.InMemory())) {
    if (query.IfExists) return;
    RaiseEngineError(RUDIRA_OSENOENT, {.TableName = target.TableName()});
  }
  const int32_t deleted = database.DeleteTable(target.TableName(), target.InMemory());
  if (deleted < 0) RaiseEngineError(static_cast<uint16_t>(-deleted), {.TableName = target.TableName()});
}

void DropIndex(TSelectExecutor::TImpl& impl, TDataQuery& query) {
  TTargetDatabase target(impl, query);
  std::unique_ptr<TDataCursor> cursor = target.OpenExclusive();
  const TIndexFile& index = cursor->Table()->IndexFile();
  if (SameNameIgnoringCase(query.TargetIndexName, "PRIMARY")) {
    const bool hasPrimary = index.Definition(0).IndexFieldCount > 0;
    if (!(query.IfExists && !hasPrimary)) cursor->DeleteIndex("");
  } else if (!(query.IfExists && index.FindIndex(query.TargetIndexName) < 0)) {
    cursor->DeleteIndex(query.TargetIndexName);
  }
  cursor->CloseCursor();
}

}  // namespace

int32_t ExecuteDefinition(TSelectExecutor::TImpl& impl, TDataQuery& query) {
  switch (query.Kind) {
    case kStatementCreateTable: CreateTable(impl, query); break;
    case kStatementCreateIndex: CreateIndex(impl, query); break;
    case kStatementDropTable: DropTable(impl, query); break;
    case kStatementDropIndex: DropIndex(impl, query); break;
    case kStatementAlterTable: AlterTable(impl, query); break;
    default:
      RaiseSql(std::string("The ") + StatementKindName(query.Kind) +
               " statement cannot be executed by this engine version");
  }
  return 0;
}

}  // namespace rudira
