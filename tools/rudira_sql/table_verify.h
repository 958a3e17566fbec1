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
//     sibling links;
//   - every entry of the primary, secondary and deleted-records indexes
//     against the data file: it names a slot (a record in use, except in
//     the deleted-records index, which holds every slot), no record has two
//     entries or none, and the entry's key is the one the record's values
//     give. This finds the damage that only a disagreement between the
//     files shows (an index written before the data file, or after).
// At most ten findings are written per index, the rest counted.
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
