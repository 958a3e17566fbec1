#include "tools/rudira_sql/table_verify.h"

#include <cstring>
#include <exception>
#include <memory>

#include "engine/data_cursor.h"
#include "storage/index_header.h"
#include "storage/index_tree.h"
#include "storage/record.h"
#include "tools/rudira_sql/shell_database.h"

namespace rudira::sql_shell {

namespace {

struct TFindings {
  std::string Table;
  std::string Report;
  int Problems = 0;

  void Note(const std::string& line) { Report += Table + ": " + line + "\n"; }
  void Problem(const std::string& line) {
    Note(line);
    ++Problems;
  }
};

// Releases the reader lock taken for the checks, also when one raises.
class TReaderLockHold {
 public:
  explicit TReaderLockHold(TDataTable& table) : table_(table), taken_(table.ReaderLock()) {}
  ~TReaderLockHold() {
    try {
      if (taken_) table_.ReaderUnlock();
    } catch (...) {
      // An unlock failure leaves the slot to the lock protocol's clean-up
      // when the table closes.
    }
  }
  TReaderLockHold(const TReaderLockHold&) = delete;
  TReaderLockHold& operator=(const TReaderLockHold&) = delete;

 private:
  TDataTable& table_;
  bool taken_;
};

// Walks the record slots; returns the records in use.
int64_t CheckRecords(TDataFile& data, TFindings& findings) {
  int64_t active = 0;
  int64_t deleted = 0;
  const int32_t slots = data.RecordSlotCount();
  for (int32_t n = 1; n <= slots; ++n) {
    const uint8_t* bytes = data.GetRecord(n)->Data();
    int32_t number = 0;
    std::memcpy(&number, bytes + 1, sizeof number);
    if (bytes[0] == 0) {
      ++active;
      if (number != n)
        findings.Problem("record " + std::to_string(n) + " carries the number " +
                         std::to_string(number));
    } else if (bytes[0] == 1) {
      ++deleted;
    } else {
      findings.Problem("record " + std::to_string(n) + " has the invalid status " +
                       std::to_string(bytes[0]));
    }
  }
  findings.Note(std::to_string(active) + " records, " + std::to_string(deleted) + " deleted slots");
  return active;
}

void CheckIndex(TIndexFile& indexes, int slot, const std::string& name, int64_t active,
                bool oneEntryPerRecord, TFindings& findings) {
  try {
    const int64_t entries = TIndexTree(indexes, slot).Check();
    if (oneEntryPerRecord && entries != active) {
      findings.Problem("index " + name + ": " + std::to_string(entries) + " entries for " +
                       std::to_string(active) + " records");
    } else {
      findings.Note("index " + name + ": " + std::to_string(entries) + " entries, tree OK");
    }
  } catch (const std::exception& error) {
    findings.Problem("index " + name + ": " + error.what());
  }
}

}  // namespace

bool VerifyTable(const TShellDatabase& database, const std::string& table, std::string& report) {
  TFindings findings;
  findings.Table = table;
  try {
    std::unique_ptr<TDataCursor> cursor = database.OpenCursor(table, false);
    TDataTable& shared = *cursor->Table();
    TReaderLockHold hold(shared);
    shared.Verify();
    findings.Note("headers OK");
    const int64_t active = CheckRecords(shared.DataFile(), findings);
    TIndexFile& indexes = shared.IndexFile();
    if (shared.IndexesMissing()) {
      findings.Problem("the index file was missing and has been made again empty");
    } else {
      if (indexes.ActiveRecordCount() != active) {
        findings.Problem("the index file counts " + std::to_string(indexes.ActiveRecordCount()) +
                         " records in use, the data file holds " + std::to_string(active));
      }
      if (indexes.Definition(kPrimarySlot).IndexFieldCount > 0) {
        CheckIndex(indexes, kPrimarySlot, "PRIMARY", active, true, findings);
      }
      for (int slot = 1;
           slot <= indexes.Header().SecondaryIndexCount && slot <= kMaxSecondaryIndexes; ++slot) {
        CheckIndex(indexes, slot, indexes.Definition(slot).IndexName, active, true, findings);
      }
      CheckIndex(indexes, kSysDeletedSlot, kSysDeletedName, active, false, findings);
      if (indexes.Definition(kSysTextSlot).IndexFieldCount > 0) {
        CheckIndex(indexes, kSysTextSlot, kSysTextName, active, false, findings);
      }
    }
  } catch (const std::exception& error) {
    findings.Problem(error.what());
  }
  if (findings.Problems == 0) {
    findings.Note("OK");
  } else {
    findings.Note("DAMAGED (" + std::to_string(findings.Problems) +
                  (findings.Problems == 1 ? " problem)" : " problems)"));
  }
  report = findings.Report;
  return findings.Problems == 0;
}

}  // namespace rudira::sql_shell
