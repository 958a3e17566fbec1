// The execution of the SQL statements other than SELECT: INSERT, UPDATE and
// DELETE (sql/dml_prepare.cpp, sql/dml_execute.cpp), the definition
// statements CREATE TABLE, CREATE INDEX, DROP TABLE and DROP INDEX
// (sql/ddl_executor.cpp), and the checks of START TRANSACTION, COMMIT and
// ROLLBACK.
//
// INSERT, UPDATE and DELETE keep their state in a TQueryRun of the
// statement's master query inside the executor's TImpl (its Sources: the
// target first, then the other FROM tables, opened read-write in natural
// order), so that TImpl::CloseAll closes their cursors with the rest and the
// evaluator reads their columns through TImpl::Access. Sub-selects and the
// source query of INSERT ... SELECT are ordinary SELECT runs of the same
// TImpl, prepared before the target analysis.
//
// Statement transaction of INSERT ... SELECT, UPDATE and DELETE (over the
// target's database):
//   - no transaction active: the statement starts its own, commits every n
//     rows and at the end, and rolls back what is uncommitted on failure;
//   - a transaction active: it works inside it and commits (starting the
//     next one at once) every n rows only when COMMIT INTERVAL n was given.
//   n is COMMIT INTERVAL's value, else min(2 * B / R, M) with R the target's
//   record size and B, M the session's data buffer bytes and count (at
//   least 1). FLUSH makes each of these commits flush to disk.
//
// Every analysis and type error raises RUDIRA_SQLPARSE (11949); engine
// failures pass through with their own codes.
#pragma once

#include <cstdint>
#include <string>

#include "sql/select_query_run.h"

namespace rudira {

// Prepare-time analysis of INSERT, UPDATE and DELETE: opens the tables,
// resolves target columns and values, checks constants against their
// columns (converting date, time and timestamp texts), distributes WHERE.
// REQUIRES: the statement's SELECT queries are already prepared in impl.
void PrepareDataChange(TSelectExecutor::TImpl& impl, TDataQuery& query);

// The run of the source query of INSERT ... SELECT, or null.
TQueryRun* SourceRun(TSelectExecutor::TImpl& impl, const TDataQuery& query);

// Runs a prepared INSERT, UPDATE or DELETE; returns the rows affected.
int32_t ExecuteDataChange(TSelectExecutor::TImpl& impl, TDataQuery& query);

// Runs CREATE TABLE, CREATE INDEX, DROP TABLE or DROP INDEX; returns 0.
int32_t ExecuteDefinition(TSelectExecutor::TImpl& impl, TDataQuery& query);

// The name transaction messages give for `database`: its name, else its
// directory.
std::string TransactionDatabaseName(const TDataDirectory& database);

// The commit interval of a statement changing `target`.
int32_t CommitIntervalOf(const TDataQuery& query, const TDataSession& session, TDataCursor& target);

}  // namespace rudira
