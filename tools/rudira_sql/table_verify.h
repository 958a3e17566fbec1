// .verify TABLE: checks a table's files and reports what it found.
//
// Under the table's reader lock (other users may read meanwhile, none
// writes) it checks:
//   - the headers of the data, index and BLOB files (the engine's own
//     validation of each header and of the field and index descriptors);
//   - every record slot of the data file: status 0 (in use) with its own
//     number in bytes 1..4, or 1 (deleted);
//   - the index file's count of records in use against the records found;
//   - every index tree (primary, secondary, the deleted-records index and
//     the text index): page types, key order, separators, subtree counts and
//     sibling links; the primary and secondary indexes must hold one entry
//     per record in use.
// Each finding is one line "TABLE: ..."; the last line is "TABLE: OK" or
// "TABLE: DAMAGED (n problems)". An engine error while reading (a page that
// does not decode, a short file) is a finding too.
#pragma once

#include <string>

namespace rudira::sql_shell {

class TShellDatabase;

// Returns whether the table is sound; the report goes to `report`.
bool VerifyTable(const TShellDatabase& database, const std::string& table, std::string& report);

}  // namespace rudira::sql_shell
