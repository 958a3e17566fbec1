#include "tools/rudira_sql/table_verify.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

#include "engine/data_cursor.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
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

// At most this many findings are written per index; the rest are counted.
constexpr int kFindingsPerIndex = 10;

// What an index must hold: one entry per record in use (primary and
// secondary indexes) or per record slot ("Sys Deleted"), each carrying the
// key built from that record.
enum class TIndexContents { RecordsInUse, EverySlot, Words };

// Walks one index tree: its structure (TIndexTree::Check), then each entry
// against the data file: a record number inside the slots, a record in use
// where the index holds only those, no record twice, the key the record's
// values give; and afterwards every record that has no entry.
void CheckIndex(TDataFile& data, TIndexFile& indexes, int slot, const std::string& name,
                TIndexContents contents, TFindings& findings) {
  const std::string label = "index " + name + ": ";
  int reported = 0;
  int64_t problems = 0;
  const auto problem = [&](const std::string& line) {
    ++problems;
    if (++reported <= kFindingsPerIndex) findings.Problem(label + line);
  };
  try {
    TIndexTree tree(indexes, slot);
    const int64_t entries = tree.Check();
    if (contents == TIndexContents::Words) {
      findings.Note(label + std::to_string(entries) + " entries, tree OK");
      return;
    }
    const TIndexDefinition& definition = indexes.Definition(slot);
    const int32_t slots = data.RecordSlotCount();
    std::vector<bool> seen(static_cast<size_t>(slots) + 1, false);
    std::vector<uint8_t> key(static_cast<size_t>(std::max<int16_t>(definition.KeySize, 1)));
    tree.ForEach([&](const uint8_t* entryKey, int32_t recordNo) {
      const std::string record = "record " + std::to_string(recordNo);
      if (recordNo < 1 || recordNo > slots)
        return problem("an entry names " + record + ", no slot");
      if (seen[static_cast<size_t>(recordNo)]) return problem(record + " has a second entry");
      seen[static_cast<size_t>(recordNo)] = true;
      const uint8_t* bytes = data.GetRecord(recordNo)->Data();
      if (contents == TIndexContents::RecordsInUse && bytes[0] != 0) {
        return problem("an entry names the deleted " + record);
      }
      if (contents == TIndexContents::EverySlot) {
        BuildSysDeletedKey(bytes, key.data());
      } else {
        BuildIndexKey(definition, data.Fields(), bytes, data.Locale(), key.data());
      }
      if (std::memcmp(key.data(), entryKey, key.size()) != 0) {
        problem("the entry of " + record + " does not hold its values");
      }
    });
    for (int32_t n = 1; n <= slots; ++n) {
      if (seen[static_cast<size_t>(n)]) continue;
      if (contents == TIndexContents::EverySlot || data.GetRecord(n)->Data()[0] == 0) {
        problem("record " + std::to_string(n) + " has no entry");
      }
    }
    if (problems > kFindingsPerIndex) {
      findings.Problems += static_cast<int>(problems - kFindingsPerIndex);
      findings.Note(label + std::to_string(problems - kFindingsPerIndex) + " more problems");
    }
    if (problems == 0)
      findings.Note(label + std::to_string(entries) + " entries, each matching its record");
  } catch (const std::exception& error) {
    findings.Problem(label + error.what());
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
      TDataFile& data = shared.DataFile();
      if (indexes.Definition(kPrimarySlot).IndexFieldCount > 0) {
        CheckIndex(data, indexes, kPrimarySlot, "PRIMARY", TIndexContents::RecordsInUse, findings);
      }
      for (int slot = 1;
           slot <= indexes.Header().SecondaryIndexCount && slot <= kMaxSecondaryIndexes; ++slot) {
        CheckIndex(data, indexes, slot, indexes.Definition(slot).IndexName,
                   TIndexContents::RecordsInUse, findings);
      }
      CheckIndex(data, indexes, kSysDeletedSlot, kSysDeletedName, TIndexContents::EverySlot,
                 findings);
      if (indexes.Definition(kSysTextSlot).IndexFieldCount > 0) {
        CheckIndex(data, indexes, kSysTextSlot, kSysTextName, TIndexContents::Words, findings);
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
