// TGrouping: GROUP BY, implicit grouping into one row, HAVING and the
// aggregate columns COUNT, SUM, RUNSUM, MIN, MAX and AVG of one canned
// SELECT block.
//
// Grouping is done on the result table itself. While the joined rows are
// walked, every qualifying row is written with one row value per aggregate
// column (RowValues):
//
//   aggregate  row value                                  combination in a group
//   SUM        the argument, a SMALLINT or WORD widened   add
//              to INTEGER, an INTEGER or cardinal to
//              LARGEINT (the column has the wider type)
//   RUNSUM     as SUM                                     add, and carried from group to group
//   MIN, MAX   the argument                               keep the smaller / larger
//   AVG        the argument, integers as FLOAT            add; divided by the count at the end
//   COUNT      1, or 0 for a NULL argument                add
//
// NULL arguments are skipped: they neither add, count nor compete. Every AVG
// column has a hidden INTEGER companion "Sys__Avg__Count<n>" (n its own field
// number, after all shown columns) whose row value is 1 for a non-NULL
// argument and 0 otherwise. The sum of an AVG over DATE or TIME values is
// kept in 64 bits beside the record, since the 32-bit field overflows within
// a few dozen TIME values; the field holds the result once the group is done.
//
// Implicit grouping (a select list of aggregates only) combines the rows into
// one accumulator as they come (Open, Combine) and appends it at the end
// (Collapse); with no qualifying row the one row is all NULL. GROUP BY sorts
// the written rows on the grouping columns (ascending, case-sensitive)
// through the data-file sort, whose group callbacks combine each group into
// its first record and whose filter callback applies HAVING to every
// finished group.
//
// Combining ahead: when every aggregate combines the same way however its
// rows are split (no RUNSUM, no DATE or TIME average) and the grouping key
// compares bytewise, the rows the walk keeps for the grouping sort are first
// offered to a table of groups in memory (TGroupTable, at most about as many
// bytes of group rows as the walk keeps for the sort). A row of a held group
// is combined into that group's row at once; the first row of a group opens
// a held group while there is room and while most rows so far did not open
// one (groups of a row or two gain nothing from being held); the rows of
// other groups are kept for the sort as before. So each group is either held
// from its first row on or not at all, and a held group has combined its
// rows in the order made, which is the order in which the sort (keeping
// equal keys in the order made) combines them: float sums come out to the
// same bits. The held rows then reach the sort as one row per group, which
// opens, finishes and filters its group as before. The result table's
// LastAutoIncValue still advances by every row made (HandOverHeldGroups).
//
// HAVING is rewritten at prepare: each aggregate call becomes a reference to
// the shown column computing the same aggregate of the same argument, each
// column reference one to the shown plain column of that source column, so
// that it is evaluated on the finished output row alone.
//
// Lifetime: made at prepare by PrepareGrouping when the query groups, owned by
// its TQueryRun; it points into that run and its query. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/expression_evaluator.h"
#include "sql/group_table.h"
#include "sql/select_query_run.h"
#include "storage/data_file_sort.h"
#include "storage/field_value.h"
#include "storage/sort_key.h"

namespace rudira {

class TGrouping {
 public:
  TGrouping(TSelectExecutor::TImpl& impl, TQueryRun& run);

  // Whether shown column `column` is an aggregate (filled by RowValues).
  bool IsAggregate(size_t column) const;
  bool Implicit() const;

  // Writes the row values of every aggregate column and AVG counter of
  // `record` (a result record being built) from the current joined row.
  void RowValues(TExpressionRecordAccess& access, const TEvaluateOptions& options, uint8_t* record);

  // Implicit grouping: whether an accumulator is open; Open makes a copy of
  // `record` the accumulator; Combine adds `record` into it.
  bool HasAccumulator() const { return haveAccumulator_; }
  void Open(const uint8_t* record);
  void Combine(const uint8_t* record);

  // After the walk: the one implicit row is appended, or the result table is
  // sorted and collapsed to one row per group. Returns whether the query's
  // ORDER BY (with its TOP) is already satisfied. `newRows`: the rows made
  // by the walk when it kept them in memory instead of appending them (the
  // table is then empty), or nullptr; `feed`: the runs of the rows made
  // before those, or nullptr.
  bool Collapse(const std::vector<uint8_t>* newRows = nullptr, TSortFeed* feed = nullptr);

  // The order of the grouping sort: the GROUP BY columns, ascending and
  // case-sensitive.
  TSortOrder SortOrder() const;

  // Combining ahead (see above), for the rows the walk keeps for the
  // grouping sort in this execution. Starts it when the query allows it,
  // with room for group rows of about maxBytes.
  void StartCombiningAhead(size_t maxBytes);
  // Takes `record` (a finished result row the walk would keep) into a held
  // group: combined into the group's row, or opening the group. Returns
  // false, changing nothing, when its group is not held (or nothing is
  // combined ahead): the walk keeps it as before.
  bool CombineAhead(const uint8_t* record);
  // Appends the rows of the held groups to `rows` (the rows kept for the
  // sort, which then stand for every row made), advances the result table's
  // LastAutoIncValue by the rows combined away and stops combining ahead.
  void HandOverHeldGroups(std::vector<uint8_t>& rows);

  // The whole answer of "SELECT COUNT(*) FROM t [WHERE ...]" when it can be
  // had from the filtered record count of t's cursor; false when the query
  // is not of that form and must be walked.
  bool AnswerCountOnly();

  // Forgets the state of the previous execution.
  void Reset();

 private:
  struct Aggregate {
    size_t Column = 0;          // shown column
    uint8_t Kind = 0;           // kFuncSum ... kFuncAvg
    const TExpToken* Argument = nullptr;  // null for COUNT(*)
    size_t Counter = 0;         // AVG: its hidden counter column
    int Wide = -1;              // AVG of DATE/TIME: index into the 64-bit sums
  };

  // The aggregates and their counters, from the prepared columns.
  void Describe();
  const TFieldDescriptor& FieldOf(size_t column) const { return run_.Columns[column].Field; }
  void CombineInto(const uint8_t* record, uint8_t* row, std::vector<int64_t>& wide);
  void StartGroup(uint8_t* previousRow, uint8_t* record);
  void FinishGroup(uint8_t* row, const std::vector<int64_t>& wide);
  bool Having(const uint8_t* row);
  void AppendRow(std::vector<uint8_t>& record);
  void SortGroups(int32_t limit, const std::vector<uint8_t>* newRows, TSortFeed* feed);
  bool OrderIsGrouping() const;

  TSelectExecutor::TImpl& impl_;
  TQueryRun& run_;
  TDataQuery& query_;
  std::vector<Aggregate> aggregates_;
  std::vector<int> aggregateOf_;  // per shown column: index into aggregates_ or -1
  size_t wideCount_ = 0;
  std::vector<size_t> groupColumns_;  // GROUP BY items as result columns
  const TExpToken* having_ = nullptr; // rewritten onto the result columns; owned by the query

  // One execution.
  std::vector<uint8_t> accumulator_;
  bool haveAccumulator_ = false;
  std::vector<int64_t> wide_;         // 64-bit sums of the open group
  std::vector<int64_t> closingWide_;  // those of the group being closed
  bool closing_ = false;              // a group was started after the open one
  bool answered_ = false;             // the result came from a record count
  TableLocale locale_;
  bool combiningAhead_ = false;
  std::optional<TSortKeys> aheadKeys_;  // the grouping sort's keys while combining ahead
  std::vector<uint8_t> aheadKey_;       // the key of the row offered
  TGroupTable heldGroups_;
  int64_t combinedAway_ = 0;            // rows combined into a held group's row
  int64_t aheadOffered_ = 0;            // rows offered to CombineAhead

  friend void PrepareGrouping(TSelectExecutor::TImpl& impl, TQueryRun& run);
};

// The grouping checks and resolution of a prepared SELECT block, after its
// columns are named: HAVING without GROUP BY, implicit grouping, aggregates
// beside plain columns without GROUP BY, the GROUP BY items, the HAVING
// rewrite, the widened SUM columns. Makes run.Grouping when the block groups.
// Raises RUDIRA_SQLPARSE (11949) with the message of the failed check.
void PrepareGrouping(TSelectExecutor::TImpl& impl, TQueryRun& run);

}  // namespace rudira
