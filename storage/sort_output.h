// TSortOutput: the output step of a result-table sort, shared by the
// in-cache and the external method. It takes the records in key order and
// produces the output rows: all of them, the distinct ones, or one per group,
// filtered and limited, each numbered with its position.
//
// Modes, chosen from the options:
//   grouping (any group callback set)  the first record of a key opens a group
//       and becomes its output row; further records of the same key are
//       accumulated into that row; a record of another key starts the next
//       group (StartGroup with the open row and the record), then the open
//       row is finished and filtered, then the record becomes the new row.
//       Grouping rows are distinct by construction, so a distinct flag given
//       as well changes nothing.
//   distinct                            a record whose sort fields equal those
//       of the previous output row is dropped.
//   plain                               every record is output.
// Outside grouping a row is complete as soon as it is output and the filter
// applies to it at once.
//
// Numbering: output row p (1, 2, …, counted over the rows kept) carries p
// both as its record number (bytes 1..4) and as its unique id (bytes 5..8),
// with status "in use". A row the filter drops gives its position to the next.
//
// Row limit: the output stops once `limit` rows are complete and kept. An
// open group is not complete until a record of another key (or the end)
// arrives, so TOP n collapses exactly n whole groups; a row the filter drops
// does not count, so the sort goes on after it.
//
// Rows are handed to the sink in order, in batches of at most `batchRows`
// complete rows (all at Finish when batchRows is 0); the open row of a group
// stays behind until it is complete. Errors of callbacks and of the sink
// propagate; the output is then unusable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "storage/sort_key.h"

namespace rudira {

// Starts a group: previousRow is the open output row (nullptr for the first
// record), record the first record of the new group, which the callback may
// change before it becomes the new output row.
using TSortStartGroup = std::function<void(uint8_t* previousRow, uint8_t* record)>;
// Adds record into the open output row of its group.
using TSortAccumulate = std::function<void(const uint8_t* record, uint8_t* row)>;
// Completes an output row of a group (for example divides averages).
using TSortFinishGroup = std::function<void(uint8_t* row)>;
// Whether a completed output row is kept (HAVING).
using TSortFilter = std::function<bool(const uint8_t* row)>;

// The output options of a sort.
struct TSortOutputOptions {
  int32_t RowLimit = -1;  // negative: no limit
  bool Distinct = false;
  TSortStartGroup StartGroup;
  TSortAccumulate Accumulate;
  TSortFinishGroup FinishGroup;
  TSortFilter Filter;

  bool Grouping() const { return StartGroup || Accumulate || FinishGroup; }
};

// Receives `count` complete rows (count × recordSize bytes), the first of
// them numbered firstRowNo.
using TSortRowSink = std::function<void(const uint8_t* rows, size_t count, int32_t firstRowNo)>;

class TSortOutput {
 public:
  // REQUIRES: keys, options and sink outlive the output.
  TSortOutput(const TSortKeys& keys, const TSortOutputOptions& options, size_t recordSize, size_t batchRows,
              const TSortRowSink& sink);
  TSortOutput(const TSortOutput&) = delete;
  TSortOutput& operator=(const TSortOutput&) = delete;

  // Whether the row limit is reached: no further record can be output.
  bool Done() const;
  // Takes the next record in key order with its key. Returns !Done().
  // REQUIRES: !Done(); Finish not called yet.
  bool Take(const uint8_t* record, const uint8_t* key);
  // Completes the open row, hands every remaining row to the sink and
  // returns the number of output rows.
  int32_t Finish();

 private:
  // Appends record as the next output row, numbered, and remembers its key.
  void Emit(const uint8_t* record, const uint8_t* key);
  // Completes the last row of rows_: finish (grouping), then filter; drops
  // it when the filter refuses it.
  void Complete();
  // Hands the complete rows held to the sink (the open row stays).
  void Flush();
  uint8_t* LastRow() { return rows_.data() + rows_.size() - recordSize_; }
  int32_t HeldRows() const { return static_cast<int32_t>(rows_.size() / recordSize_); }

  const TSortKeys& keys_;
  const TSortOutputOptions& options_;
  const TSortRowSink& sink_;
  size_t recordSize_;
  size_t batchRows_;                 // 0: everything at Finish
  bool grouping_;
  std::vector<uint8_t> rows_;        // rows not handed on yet; the open row last
  std::vector<uint8_t> lastKey_;     // sort fields of the last output row
  std::vector<uint8_t> incoming_;    // the record a new group starts with
  bool haveLast_ = false;            // an output row has been made
  bool open_ = false;                // the last row of rows_ is an open group
  int32_t handedOn_ = 0;             // rows given to the sink
  int32_t kept_ = 0;                 // complete rows kept (handed on or held)
};

}  // namespace rudira
