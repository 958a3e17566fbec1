// TSelectExecutor: prepare, parameter binding and the statement loop of a
// text; the SELECT machinery is in sql/select_prepare.cpp,
// sql/select_live.cpp, sql/select_canned.cpp and sql/select_values.cpp.
#include "sql/select_executor.h"

#include <chrono>
#include <cstring>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "sql/select_query_run.h"
#include "sql/statement_executor.h"
#include "storage/field_type.h"

namespace rudira {

namespace {

// Bytes of a fixed-width value in the stored encoding; 0 for the
// variable-length types.
size_t FixedWidth(uint8_t type) {
  switch (type) {
    case kFieldTypeBoolean:
    case kFieldTypeSmallInt:
    case kFieldTypeWord: return 2;
    case kFieldTypeDate:
    case kFieldTypeInteger:
    case kFieldTypeTime:
    case kFieldTypeCardinal: return 4;
    case kFieldTypeFloat:
    case kFieldTypeTimestamp:
    case kFieldTypeLargeInt: return 8;
    case kFieldTypeExtended: return 10;
    case kFieldTypeBcd: return 34;
    default: return 0;
  }
}

void BindParameter(TExpToken& parameter, const TParameterDescriptor& descriptor, const uint8_t* buffer) {
  parameter.SetType(descriptor.FieldType, descriptor.SubType, descriptor.DataSize, 0);
  const uint8_t* at = buffer ? buffer + descriptor.ValueOffset : nullptr;
  if (!at || descriptor.IsNull || at[0] == 0) {
    parameter.SetNull();
    return;
  }
  const uint8_t* value = at + 1;
  switch (descriptor.FieldType) {
    case kFieldTypeString:
      parameter.SetBytes(std::string_view(reinterpret_cast<const char*>(value),
                                          strnlen(reinterpret_cast<const char*>(value), descriptor.DataSize)));
      return;
    case kFieldTypeBlob: {
      uint32_t length = 0;
      const uint8_t* data = nullptr;
      std::memcpy(&length, value, sizeof length);
      std::memcpy(&data, value + sizeof length, sizeof data);
      parameter.SetBytes(data ? std::string_view(reinterpret_cast<const char*>(data), length) : std::string_view());
      return;
    }
    case kFieldTypeBytes:
    case kFieldTypeVarBytes:
      parameter.SetBytes(std::string_view(reinterpret_cast<const char*>(value), descriptor.DataSize));
      return;
    default: {
      const size_t width = FixedWidth(descriptor.FieldType);
      if (width == 0) {
        parameter.SetNull();
        return;
      }
      parameter.ReserveValue(width);
      std::memcpy(parameter.Value.data(), value, width);
      parameter.ValueLength = width;
      parameter.IsNull = false;
    }
  }
}

}  // namespace

TSelectExecutor::TImpl::~TImpl() { CloseAll(); }

void TSelectExecutor::TImpl::CloseAll() {
  for (auto& [query, run] : Runs) {
    (void)query;
    if (run->ResultCursor) run->ResultCursor->CloseCursor();
    run->ResultCursor.reset();
    if (run->ResultCreated && run->ResultTemporary && run->ResultDatabase) {
      try {
        run->ResultDatabase->DeleteTable(run->ResultTableName, run->ResultInMemory);
      } catch (...) {
        // A temporary table that cannot be removed stays behind; closing goes on.
      }
    }
    for (TSourceRun& source : run->Sources) {
      if (source.Source) source.Source->Cursor = nullptr;
      source.Cursor.reset();
    }
  }
  for (auto& [query, run] : Runs) {
    (void)query;
    if (run->OwnsResultDatabase && run->ResultDatabase) Session.CloseDatabase(run->ResultDatabase);
    run->ResultDatabase = nullptr;
    for (TSourceRun& source : run->Sources) {
      if (source.OwnsDatabase && source.Database) Session.CloseDatabase(source.Database);
      source.Database = nullptr;
    }
  }
  Runs.clear();
  Order.clear();
}

TSelectExecutor::TSelectExecutor(TDataSession& session, TDataDirectory& database, bool requestLive,
                                 int32_t maxRowCount)
    : session_(session), database_(database), requestLive_(requestLive), maxRowCount_(maxRowCount) {}

TSelectExecutor::~TSelectExecutor() { Unprepare(); }

void TSelectExecutor::Unprepare() {
  resultCursor_ = nullptr;
  live_ = false;
  columns_.clear();
  impl_.reset();
  statement_.reset();
}

int TSelectExecutor::ParameterCount() const { return statement_ ? statement_->ParameterCount() : 0; }

void TSelectExecutor::Prepare(std::string_view text) {
  Unprepare();
  text_ = std::string(text);
  movedOn_ = false;
  try {
    statement_ = std::make_unique<TQueryStatement>(database_.DirectoryPath(), requestLive_, maxRowCount_);
    statement_->Prepare(text_);
    PrepareCurrentStatement();
  } catch (...) {
    Unprepare();
    throw;
  }
}

void TSelectExecutor::PrepareCurrentStatement() {
  impl_ = std::make_unique<TImpl>(*this, session_, database_);
  const uint8_t kind = statement_->StatementKind();
  const bool changesRows = kind == kStatementInsert || kind == kStatementUpdate || kind == kStatementDelete;
  if (kind != kStatementSelect && !changesRows) return;
  // With an installed runner the statement is the runner's alone.
  if (changesRows && runner_) return;
  const auto& queries = statement_->Queries();
  for (auto it = queries.rbegin(); it != queries.rend(); ++it) {
    if ((*it)->Kind == kStatementSelect) impl_->PrepareQuery(**it);
  }
  if (changesRows) PrepareDataChange(*impl_, *statement_->MasterQuery());
}

void TSelectExecutor::Execute(const std::vector<TParameterDescriptor>& descriptors, const uint8_t* valueBuffer) {
  if (!statement_) RaiseSql("The SQL statement is not prepared");
  // A text of several statements has moved on to its last one: start again
  // from the first.
  if (movedOn_) {
    const std::string text = text_;
    Prepare(text);
  }
  const std::vector<TExpToken*>& parameters = statement_->Parameters();
  for (size_t i = 0; i < descriptors.size() && i < parameters.size(); ++i) {
    BindParameter(*parameters[i], descriptors[i], valueBuffer);
  }
  statement_->SetMaxRowCount(maxRowCount_);
  elapsed_ = 0.0;
  rowsAffected_ = 0;
  transactionMark_ = 0;
  resultCursor_ = nullptr;
  columns_.clear();
  RunCurrentStatement();
  while (statement_->HasMoreStatements()) {
    resultCursor_ = nullptr;
    columns_.clear();
    impl_.reset();
    movedOn_ = true;
    statement_->ParseNextStatement();
    PrepareCurrentStatement();
    RunCurrentStatement();
  }
  statement_->ElapsedSeconds = elapsed_;
  statement_->RowsAffected = rowsAffected_;
}

void TSelectExecutor::RunCurrentStatement() {
  const auto start = std::chrono::steady_clock::now();
  switch (statement_->StatementKind()) {
    case kStatementSelect: {
      impl_->Aborted = false;
      for (TQueryRun* run : impl_->Order) impl_->ExecuteQuery(*run);
      TQueryRun* master = impl_->RunOf(statement_->MasterQuery());
      live_ = master->Live;
      resultCursor_ = live_ ? master->LiveCursor : master->ResultCursor.get();
      columns_ = master->Columns;
      rowCount_ = master->RowCount;
      break;
    }
    case kStatementStartTransaction:
      if (database_.InTransaction()) {
        RaiseSql("Transaction already in progress for database '" + TransactionDatabaseName(database_) + "'");
      }
      database_.StartTransaction();
      transactionMark_ = rowsAffected_;
      break;
    case kStatementCommit:
      if (!database_.InTransaction()) {
        RaiseSql("Transaction not in progress for database '" + TransactionDatabaseName(database_) + "'");
      }
      database_.Commit(statement_->MasterQuery() && statement_->MasterQuery()->CommitFlush);
      break;
    case kStatementRollback:
      if (!database_.InTransaction()) {
        RaiseSql("Transaction not in progress for database '" + TransactionDatabaseName(database_) + "'");
      }
      database_.Rollback();
      rowsAffected_ = transactionMark_;
      break;
    default:
      // A runner installed by the caller takes the statements other than
      // SELECT and the transaction statements.
      if (runner_) {
        rowsAffected_ += runner_(*statement_);
      } else {
        const uint8_t kind = statement_->StatementKind();
        TDataQuery& query = *statement_->MasterQuery();
        if (kind == kStatementInsert || kind == kStatementUpdate || kind == kStatementDelete) {
          rowsAffected_ += ExecuteDataChange(*impl_, query);
        } else {
          rowsAffected_ += ExecuteDefinition(*impl_, query);
        }
      }
      break;
  }
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  elapsed_ += static_cast<double>(ms) / 1000.0;
}

TExpTokenPtr TSelectExecutor::ReadCalculatedColumn(size_t column, const uint8_t* record) {
  TQueryRun* master = impl_ ? impl_->RunOf(statement_->MasterQuery()) : nullptr;
  if (!master || column >= master->Columns.size()) RaiseSql("Invalid column number '" + std::to_string(column + 1) + "'");
  return impl_->ResultValue(*master, column, record);
}

}  // namespace rudira
