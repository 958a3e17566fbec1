// TQueryRun: the execution state of one SELECT block of a statement, and
// TSelectExecutor::TImpl, which holds one per SELECT of the statement.
//
// A run owns the cursors of its source tables (opened at prepare, in natural
// order), the result columns, the WHERE pieces and join links found at
// prepare time, and for a canned result the result table's cursor. Column
// nodes of its expression trees point at their TSourceRun through
// TExpToken::SourceTable once resolved; a sub-select node points at the
// TDataQuery it runs (TExpToken::SubQuery), whose run the TImpl maps.
//
// Join links: an inner edge joins two tables by one comparison; an outer
// link goes from the preserved table to its inner (nullable) table and
// carries the whole ON condition, so that the inner table is probed by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/data_cursor.h"
#include "engine/expression_evaluator.h"
#include "engine/field_token.h"
#include "sql/select_executor.h"
#include "storage/data_file_sort.h"

namespace rudira {

class TGrouping;  // sql/select_grouping.h

struct TSourceRun {
  TSourceTable* Source = nullptr;
  TDataDirectory* Database = nullptr;  // opened through the session when not the statement's
  bool OwnsDatabase = false;
  std::unique_ptr<TDataCursor> Cursor;
  std::vector<uint8_t> Record;        // the current record during the walk
  bool NullRow = false;               // the null side of an outer join
  std::vector<TExpToken*> Own;        // WHERE pieces naming only this table
  // This execution: pieces kept for evaluation on each record of this
  // table, and the filters set on the cursor (dropped at the next one).
  std::vector<TExpToken*> Kept;
  std::vector<TFilter*> Filters;
  // Outer link into this table: the preserved table and the ON condition.
  bool OuterTarget = false;
  size_t OuterFrom = 0;
  TExpToken* OuterCondition = nullptr;
  bool HasJoinOwnCondition = false;   // an inner ON piece naming only this table
};

struct TInnerEdge {
  size_t A = 0;
  size_t B = 0;
  TExpToken* Condition = nullptr;     // compares a column/expression of A with one of B
};

class TQueryRun {
 public:
  explicit TQueryRun(TDataQuery& query) : Query(query) {}
  TDataQuery& Query;
  std::vector<TSourceRun> Sources;
  std::vector<TResultColumn> Columns;   // shown, then hidden
  size_t ShownCount = 0;
  bool Live = false;
  bool RequestLive = true;
  TDataCursor* LiveCursor = nullptr;    // live: the source cursor
  TFilter* LiveFilter = nullptr;
  uint64_t LiveFilterSerial = 0;        // LiveFilter's TFilter::Serial
  std::string LiveOrderIndexName;       // live ORDER BY index; empty: the primary

  // WHERE distribution.
  std::vector<TInnerEdge> Edges;
  std::vector<TExpToken*> RowConditions;  // evaluated on each joined row
  std::vector<TExpTokenPtr> OwnedTrees;   // trees made at prepare (ON splits, expansions)

  // Canned result.
  TDataDirectory* ResultDatabase = nullptr;
  bool OwnsResultDatabase = false;
  std::string ResultTableName;
  bool ResultInMemory = false;
  bool ResultTemporary = false;
  bool ResultCreated = false;
  std::unique_ptr<TDataCursor> ResultCursor;
  struct SortItem {
    size_t Column = 0;  // 0-based result column
    bool Descending = false;
  };
  std::vector<SortItem> OrderItems;       // canned ORDER BY
  // GROUP BY or implicit grouping (aggregates, HAVING); null otherwise.
  std::shared_ptr<TGrouping> Grouping;
  int32_t RowCount = 0;
  double Elapsed = 0.0;
  // Values of the first result column, read once per execution when the
  // query is the operand of IN.
  std::vector<TExpTokenPtr> SubValues;
  bool SubValuesReady = false;
};

// Column values for the evaluator: from the current records of a run's
// sources, sub-selects through their runs.
class TRunAccess : public TExpressionRecordAccess {
 public:
  explicit TRunAccess(TSelectExecutor::TImpl& impl) : impl_(impl) {}
  void ReadColumn(const TExpToken& column, TExpToken& value) override;
  const uint8_t* ColumnRecord(const TExpToken& column, const TFieldDescriptor*& field) override;
  bool SubSelectHasRow(const TExpToken& subSelect, const TExpToken& tested) override;
  // Reads a column of a source not through its Record but from `record`.
  void Override(const TSourceRun* source, const uint8_t* record) {
    overrideSource_ = source;
    overrideRecord_ = record;
  }

 private:
  TSelectExecutor::TImpl& impl_;
  const TSourceRun* overrideSource_ = nullptr;
  const uint8_t* overrideRecord_ = nullptr;
};

class TSelectExecutor::TImpl {
 public:
  TImpl(TSelectExecutor& owner, TDataSession& session, TDataDirectory& database)
      : Owner(owner), Session(session), Database(database), Access(*this) {}
  ~TImpl();

  // --- prepare (sql/select_prepare.cpp)
  void PrepareQuery(TDataQuery& query);
  // --- execution (sql/select_live.cpp, sql/select_canned.cpp)
  void ExecuteQuery(TQueryRun& run);
  void ExecuteLive(TQueryRun& run);
  void ExecuteCanned(TQueryRun& run);
  void CloseAll();

  TQueryRun* RunOf(const TDataQuery* query) const {
    auto it = Runs.find(query);
    return it == Runs.end() ? nullptr : it->second.get();
  }
  // The value of result column `column` of `run` for the record its result
  // cursor has read into `record`.
  TExpTokenPtr ResultValue(TQueryRun& run, size_t column, const uint8_t* record);

  TSelectExecutor& Owner;
  TDataSession& Session;
  TDataDirectory& Database;
  TRunAccess Access;
  std::map<const TDataQuery*, std::unique_ptr<TQueryRun>> Runs;
  std::vector<TQueryRun*> Order;  // prepare order: last created first
  bool Aborted = false;
};

// --- shared helpers (sql/select_values.cpp; TablesOf and ContainsSubSelect
// in sql/select_prepare.cpp)
[[noreturn]] void RaiseSql(const std::string& message);
// Sorts the result table of `cursor` in place by `request` (its private
// directory and index file are set here) under the table's writer lock,
// rebuilds the table's deleted-records index and reopens the cursor.
// REQUIRES: the cursor's buffers are flushed.
void SortResultTable(TDataSession& session, TDataCursor& cursor, TSortRequest& request);
// A deep copy of a tree (values, types and resolution included).
TExpTokenPtr CopyTree(const TExpToken& node);
// The indexes of the sources a tree's columns belong to.
std::vector<size_t> TablesOf(const TQueryRun& run, const TExpToken* root);
bool ContainsSubSelect(const TExpToken* root);
// Stores `value` (typed like `field`) into `record`; BLOB values are left to
// the caller. Returns false when the value does not fit.
bool StoreTokenValue(uint8_t* record, const TFieldDescriptor& field, const TExpToken& value, const TableLocale& locale);

}  // namespace rudira
