// TShellDatabase: the database the shell works on, held open for the whole
// run.
//
// The shell goes through the component layer as the program does: the
// default session (its temporary tables in the system's temporary
// directory, not in the user's current directory) and a temporary database
// named after the DIRECTORY argument, so that every query of the run
// resolves the same database by that name and a transaction begun by one
// statement is seen by the next. "Memory" names the in-memory database; a
// directory is handed to the engine as given and so resolved against the
// current directory. Holding one use of the database keeps it (and an open
// transaction) alive between statements.
//
// Structure cursors read a table's definition for .schema, .indexes and
// .verify directly on the engine session and directory of that database.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace rudira {
class TDataCursor;
class TRUDIRADatabase;
}  // namespace rudira

namespace rudira::sql_shell {

class TShellDatabase {
 public:
  // Opens the database: `location` is a directory, "Memory" or empty (the
  // current directory). Raises for a directory that does not exist and for
  // engine failures.
  explicit TShellDatabase(const std::string& location);
  // Gives the database back (an open transaction is rolled back).
  ~TShellDatabase();
  TShellDatabase(const TShellDatabase&) = delete;
  TShellDatabase& operator=(const TShellDatabase&) = delete;

  // The DatabaseName for the shell's datasets.
  const std::string& Name() const { return name_; }
  TRUDIRADatabase& Database() const { return *database_; }
  bool InMemory() const;

  // The names of the tables, sorted without regard to case: the ".DAT"
  // files of the directory, or the tables of the in-memory database.
  std::vector<std::string> TableNames() const;

  // An open cursor on `table` (structureOnly: for its definition only).
  // Raises the engine's error for a missing or unreadable table.
  std::unique_ptr<TDataCursor> OpenCursor(const std::string& table, bool structureOnly) const;

 private:
  std::string name_;
  TRUDIRADatabase* database_ = nullptr;  // temporary, owned by the session
};

}  // namespace rudira::sql_shell
