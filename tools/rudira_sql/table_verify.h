// .verify TABLE: checks a table's files and reports what it found.
//
// The table is opened through a cursor and checked by the engine's full
// verification (engine/table_verifier.h: headers, record slots, every index
// walked against the data file, every BLOB chain read to its length) under
// the table's reader lock, so other users may read meanwhile, none writes.
// Each line the verification tells becomes one line "TABLE: ..."; the last
// line is "TABLE: OK" or "TABLE: DAMAGED (n problems)". A table that cannot
// be opened gives its engine error as the one finding.
#pragma once

#include <string>

namespace rudira::sql_shell {

class TShellDatabase;

// Returns whether the table is sound; the report goes to `report`.
bool VerifyTable(const TShellDatabase& database, const std::string& table, std::string& report);

}  // namespace rudira::sql_shell
