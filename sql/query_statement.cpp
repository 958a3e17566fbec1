#include "sql/query_statement.h"

#include <cassert>

#include "sql/sql_parser.h"

namespace rudira {

TQueryStatement::TQueryStatement(std::string databaseDirectory, bool requestLive, int32_t maxRowCount)
    : databaseDirectory_(std::move(databaseDirectory)),
      requestLive_(requestLive),
      maxRowCount_(maxRowCount),
      expressions_(
          lexer_,
          [this](TSqlLexer&) -> void* { return TSqlParser(*this).ParseSubSelect(); },
          [this](TExpToken& parameter) { AddParameter(parameter); }) {}

TQueryStatement::~TQueryStatement() = default;

void TQueryStatement::AddParameter(TExpToken& parameter) {
  parameter.ParameterIndex = static_cast<int32_t>(parameters_.size());
  parameters_.push_back(&parameter);
}

TDataQuery& TQueryStatement::NewQuery() {
  queries_.push_back(std::make_unique<TDataQuery>(this));
  return *queries_.back();
}

void TQueryStatement::Prepare(std::string_view text) {
  lexer_.SetText(text);
  ParseCurrentStatement();
}

bool TQueryStatement::HasMoreStatements() const { return !lexer_.AtEnd(); }

void TQueryStatement::ParseNextStatement() {
  assert(HasMoreStatements());
  ParseCurrentStatement();
}

void TQueryStatement::ParseCurrentStatement() {
  // The parameter tokens live in the trees of the queries dropped here.
  parameters_.clear();
  queries_.clear();
  kind_ = kStatementUnknown;
  selectStar_ = false;
  TDataQuery& master = NewQuery();
  TSqlParser(*this).ParseStatement(master);
  kind_ = master.Kind;
  if (kind_ == kStatementSelect) {
    master.RequestLive = requestLive_;
    master.MaxRowCount = maxRowCount_;
  } else {
    master.RequestLive = true;
    master.MaxRowCount = -1;
  }
}

void TQueryStatement::SetMaxRowCount(int32_t maxRowCount) {
  maxRowCount_ = maxRowCount;
  if (TDataQuery* master = MasterQuery(); master && master->Kind == kStatementSelect) {
    master->MaxRowCount = maxRowCount;
  }
}

bool TQueryStatement::LiveResult() const {
  const TDataQuery* master = MasterQuery();
  return master && master->Kind == kStatementSelect && master->LiveResult;
}

}  // namespace rudira
