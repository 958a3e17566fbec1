// The sort of a result table: TDataFile::Sort reorders the records of its
// file in place by a sort key (storage/sort_key.h) and can merge duplicates,
// collapse groups, filter them and stop after a number of output rows
// (storage/sort_output.h). ORDER BY, DISTINCT, GROUP BY with HAVING and TOP of
// the SQL engine are carried out by it on the tables that hold query results.
//
// Two methods, chosen by what is cached:
//   in cache   every record slot of the file is in the record cache: the keys
//              of the cached records are sorted, the output rows gathered in
//              one buffer and written at the start of the record area with
//              one write; the file is truncated after them when rows were
//              dropped. The cache then holds the output rows.
//   external   otherwise: modified records are written and the cache dropped;
//              runs of R = min(maximum data buffer count, 1048576 div
//              RecordSize) records are each read with one positioned read,
//              sorted by key and written with one write to a run file; the
//              runs are merged, each read ahead in blocks of whole records
//              (about 1 MiB over all runs, at least one record per run; a
//              read per record cost a system call per record), and the
//              output is written from the start of the record area (in
//              batches of about 1 MiB), the file truncated after it. More
//              than 128 runs are first merged in groups of 128 consecutive
//              runs into longer run files (as often as needed), so that a
//              merge never holds more than 128 files open.
//
// Run files are temporary files in the private directory (the system's
// temporary directory when none is given), named "<first five digits of the
// thread id><counter>.TMP", the first such name not in use. They hold whole
// records, scrambled like the data file's when the table is encrypted, and
// are closed and deleted when the sort ends, also when it fails.
//
// Rows not yet in the file (TSortRequest::NewRows) are sorted like the
// records of the in-cache method, without passing through the cache.
//
// Deleted record slots take no part: the output rows are the records in use,
// renumbered 1..p, so the free chain is gone afterwards (FirstFreeRecord 0).
// Equal keys (equal sort fields and unique id) keep their order in the file.
//
// Afterwards NextRecordNumber is p + 1, LastAutoIncValue is at least p (a
// later insert must not reuse one of the ids 1..p), the header is marked
// modified, and the index file's ActiveRecordCount (when given) is p.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/sort_key.h"
#include "storage/sort_output.h"

namespace rudira {

class TDataFile;
class TIndexFile;
class TSortFeed;

// Everything a sort is asked to do. Callbacks reach whatever query they
// serve through their captures.
struct TSortRequest {
  TSortOrder Order;                 // the sort fields and case-insensitivity
  TSortOutputOptions Output;        // row limit, distinct, group and filter callbacks
  std::string PrivateDirectory;     // where run files go; empty: the temporary directory
  TIndexFile* IndexFile = nullptr;  // the table's index file, for ActiveRecordCount
  // Rows made for the table but not appended to it (whole records of
  // RecordSize bytes, in the order made), or nullptr. The sort takes them
  // as the table's records, in memory, and writes its output rows once,
  // as appending them first and then sorting in the cache would leave the
  // file; LastAutoIncValue advances by their count as the appends would
  // have advanced it. Their status, number and id bytes are ignored.
  // REQUIRES: the file has no record slots (an emptied result table).
  const std::vector<uint8_t>* NewRows = nullptr;
  // Runs of rows made before NewRows, sorted and written by a feed of this
  // file with this request's order, or nullptr. With runs, the sort adds
  // NewRows as the last run and merges them all (the external method's
  // merge), writing the output rows in batches; the run files are deleted
  // when the sort ends.
  TSortFeed* Feed = nullptr;
};

// Rows made for an emptied table that are too many to wait in memory for
// its sort: each batch is sorted by the sort's key and written to a run file
// at once (TSortRequest::Feed), so that the rows never pass through the
// table's records before the sort. Each row takes its position among all
// rows fed (1, 2, …) as its id, so that equal keys keep the order made.
// The destructor deletes the run files still held.
class TSortFeed {
 public:
  // REQUIRES: `order` is valid for `file` (as TDataFile::Sort checks) and is
  // the order of the sort the feed is given to; file outlives the feed.
  TSortFeed(const TDataFile& file, const TSortOrder& order, const std::string& privateDirectory);
  ~TSortFeed();
  TSortFeed(const TSortFeed&) = delete;
  TSortFeed& operator=(const TSortFeed&) = delete;

  // Sorts `rows` (whole records, following those fed before; status,
  // number and id bytes ignored) and writes them as one run file.
  void AddRun(const std::vector<uint8_t>& rows);
  // Runs written and not yet merged.
  int32_t RunCount() const;
  // Hands every row of the runs to `take`, run after run, and deletes the
  // run files; for putting the rows made so far into the table after all.
  void Drain(const std::function<void(const uint8_t* record)>& take);

 private:
  friend class TDataFile;
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

// What a sort did.
struct TSortOutcome {
  int32_t RowCount = 0;  // output rows, now records 1..RowCount
  int32_t RunCount = 0;     // runs read from the table; 0 for a sort in the cache
  int32_t MergePasses = 0;  // merges of groups of runs before the last merge
};

// Bytes of records sorted in memory per run.
constexpr int32_t kSortRunBytes = 1048576;
// Runs one merge reads at once.
constexpr size_t kMaxMergeWidth = 128;

}  // namespace rudira
