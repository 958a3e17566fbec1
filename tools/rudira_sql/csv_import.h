// .import FILE TABLE: CSV records into an existing table.
//
// The file is read with TCsvReader. With headers on, its first record names
// the columns (each must be a field of the table, compared without regard
// to case; unnamed fields take their defaults); with headers off the
// records fill the table's fields in order. Every record must have one
// value per column. Values are read in the shell's output forms
// (value_format.h): an empty field is NULL, bytes and binary BLOBs are
// hexadecimal, everything else the engine's fixed text forms. AUTOINC
// columns are skipped: the engine numbers the new records itself.
//
// The rows go in through a table component inside a transaction of the
// database committed every n rows and at the end, n being the commit
// interval of the engine's own data-changing statements (2 x the session's
// data buffer bytes / record size, at most its data buffer count): a bad
// record undoes the rows since the last commit, and the error tells how
// many rows stay imported. (One transaction over the whole file would hold
// every changed record and record lock until the end, and the engine's
// cost per row grows with what a transaction holds.) When a transaction is
// already open (START TRANSACTION) the rows join it, uncommitted, and its
// owner decides. Errors raise EImportError naming the file and the line of
// the record.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rudira::sql_shell {

class TShellDatabase;

class EImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Returns the number of rows imported.
int64_t ImportCsv(const TShellDatabase& database, const std::string& fileName,
                  const std::string& table, bool header);

}  // namespace rudira::sql_shell
