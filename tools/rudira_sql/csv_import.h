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
// The rows go in through a table component inside one transaction of the
// database, committed at the end, so that a bad record leaves the table as
// it was; when a transaction is already open (START TRANSACTION) the rows
// join it and its owner decides. Errors raise EImportError naming the file
// and the line of the record.
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
int64_t ImportCsv(const TShellDatabase& database, const std::string& fileName, const std::string& table,
                  bool header);

}  // namespace rudira::sql_shell
