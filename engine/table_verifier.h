// TTableVerifier: the full check of one table's files, each against the
// others.
//
// Run() holds the table's reader lock (other users may read meanwhile, none
// writes) and takes these steps in order:
//   "Headers"  the data, index and BLOB headers with the field and index
//              descriptors (TDataTable::Verify). A failure here ends the
//              run: key buffers and record layouts come from these headers,
//              so nothing after them could be read safely.
//   "Records"  every record slot of the data file: status 0 (in use) with
//              its own number in bytes 1..4, or 1 (deleted); the index
//              file's count of records in use against the records found.
//   "Index X"  for the primary index (when the table has one), each
//              secondary index and "Sys Deleted": the tree's structure
//              (TIndexTree::Check: page types, key order, separators,
//              subtree counts, sibling links), then every entry against the
//              data file: it names a record slot, and a record in use
//              (except in "Sys Deleted", which holds every slot); no record
//              has two entries; the entry's key is the one the record's
//              values give; afterwards every record without an entry. So an
//              index holds exactly one entry per record in use with that
//              record's key and its entry count is the record count. The
//              text index "Sys Text" gets its tree's structure checked only.
//   "BLOBs"    every BLOB value of every record in use, read through its
//              block chain to the length its first block states (stamps,
//              links and length checked by TBlobBuffer::ReadValue).
// An engine error inside a step (a page that does not decode, a short file,
// a broken chain) is a fault of that step and the run goes on with the next
// step; nothing is thrown past Run() but a reader lock that cannot be had
// (10249). A header that fails when the lock re-reads it is a fault of
// "Headers".
//
// Every finding is told to the log as one line; faults are also kept, at
// most kListedFaultsPerStep per index or step (the rest are counted and one
// line says how many more). The last line is "OK" or
// "DAMAGED (n problem)" / "DAMAGED (n problems)". Progress is told after
// each step: its name and the percentage of all steps done.
//
// REQUIRES: the table's files are open (a cursor on it is open); used by
// the thread that owns the table's session.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rudira {

class TDataTable;

// What a fault is.
enum class TVerifyFaultKind {
  Header,               // a header or descriptor failed its check
  RecordSlot,           // a slot with an invalid status or a wrong own number
  RecordCount,          // the index file's count of records in use differs
  RecordsUnreadable,    // reading the record slots raised
  IndexesMissing,       // the index file was missing at open and made again empty
  IndexUnreadable,      // walking an index raised (its structure, a page, a record)
  EntryOutsideSlots,    // an entry names a record number that is no slot
  EntryRepeated,        // a record has a second entry
  EntryForDeletedRecord,
  EntryKeyDiffers,      // the entry's key is not the one the record's values give
  EntryMissing,         // a record has no entry
  BlobUnreadable,       // a BLOB chain could not be read to its stated length
};

struct TVerifyFault {
  TVerifyFaultKind Kind = TVerifyFaultKind::Header;
  std::string Step;            // the step that found it ("Records", "Index ByName", ...)
  std::string Index;           // the index concerned; empty when none
  int32_t RecordNo = 0;        // the record slot concerned; 0 when none
  std::string Field;           // the BLOB field concerned; empty when none
  std::vector<uint8_t> Key;    // the index entry's key, for a fault of an entry
  uint16_t ErrorCode = 0;      // the engine error that showed it; 0 when a comparison did
  std::string Text;            // the line told to the log
};

class TTableVerifier {
 public:
  static constexpr int kListedFaultsPerStep = 10;

  using TProgress = std::function<void(const std::string& step, int percentDone)>;
  using TLog = std::function<void(const std::string& message)>;

  explicit TTableVerifier(TDataTable& table) : table_(table) {}

  void SetProgress(TProgress progress) { progress_ = std::move(progress); }
  void SetLog(TLog log) { log_ = std::move(log); }

  // Runs every step; true when no fault was found.
  bool Run();

  // The faults listed by the last run, in the order found.
  const std::vector<TVerifyFault>& Faults() const { return faults_; }
  // Every fault of the last run, listed or only counted.
  int64_t FaultCount() const { return faultCount_; }

 private:
  struct TStepFaults;
  enum class TIndexContents { RecordsInUse, EverySlot, Words };

  void Note(const std::string& line);
  void Fault(TStepFaults& step, TVerifyFault fault);
  void CloseStep(TStepFaults& step, const std::string& summary);
  void Progress(const std::string& step);

  bool CheckHeaders();
  int64_t CheckRecords();
  void CheckIndex(int slot, const std::string& name, TIndexContents contents);
  void CheckBlobs();

  TDataTable& table_;
  TProgress progress_;
  TLog log_;
  std::vector<TVerifyFault> faults_;
  int64_t faultCount_ = 0;
  int stepsDone_ = 0;
  int stepCount_ = 0;
};

}  // namespace rudira
