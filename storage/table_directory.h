// TDataDirectory: one database as seen by one engine session: a directory of
// table files, or the session's in-memory directory "Memory" whose tables are
// memory files. It keeps the TDataTable objects the session has open (one per
// table, shared by every cursor of the session), creates, deletes and renames
// tables, and runs transactions over all of its tables.
//
// Invariants: a table is listed at most once per (name, in-memory kind),
// names compared trimmed and without regard to case; a table is listed only
// after its files opened; while the directory is in a transaction every
// listed table takes part in it.
//
// Concurrency: used by its session's thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/data_table.h"

namespace rudira {

class TDataDirectory {
 public:
  // REQUIRES: settings outlives the directory. directoryPath ends with a
  // separator, or is empty (the process's current directory).
  TDataDirectory(const TableSettings& settings, std::string databaseName, std::string directoryPath,
                 bool keepCursorLists = false);
  // Frees every table (closing its files without raising).
  ~TDataDirectory();
  TDataDirectory(const TDataDirectory&) = delete;
  TDataDirectory& operator=(const TDataDirectory&) = delete;

  // Opens the table `name` for one more user and stores it in *table: a
  // listed table of the same kind is shared unless it or the caller wants
  // exclusive use (then −11013 is returned and *table is null; an exclusive
  // table the transaction holds without users may be taken exclusively
  // again); an unused
  // listed table or a new one takes the requested flags. A table opened
  // during a transaction joins it. Returns 0; errors of the open raise.
  int32_t OpenTable(const std::string& name, bool inMemory, bool temporary, bool exclusive, TDataTable** table);
  // One user less; a table without users outside a transaction is freed.
  void CloseTable(TDataTable* table);
  // Creates the table; −11013 when it is listed with users (0 on success).
  int32_t CreateTable(const std::string& name, bool inMemory, bool temporary, const DataFileDefinition& definition,
                      const TableIndexDefinitions& indexes);
  // Deletes the table's files; −11013 while it is in use, or while it takes
  // part in the transaction unless it is exclusive and without users.
  int32_t DeleteTable(const std::string& name, bool inMemory);
  // Renames the table's files; −11013 while it is in use.
  int32_t RenameTable(const std::string& name, bool inMemory, const std::string& newName, bool asBackup);
  // Listed, or its data file exists.
  bool TableExists(const std::string& name, bool inMemory);
  // The first of "<5 digits of the thread id><counter>.DAT" for which no
  // table exists.
  std::string TemporaryTableName();

  // Starts a transaction over every listed table; a failure rolls back the
  // tables already started and propagates.
  void StartTransaction();
  // Writes every table's changes under its writer lock and ends the
  // transaction; the locks are released also when writing fails.
  void Commit(bool forceFlush);
  // Discards every buffered change and ends the transaction.
  void Rollback();
  bool InTransaction() const { return inTransaction_; }

  const std::string& DatabaseName() const { return databaseName_; }
  const std::string& DirectoryPath() const { return directoryPath_; }
  bool IsMemory() const { return isMemory_; }
  const TableSettings& Settings() const { return settings_; }
  int UseCount() const { return useCount_; }
  void AddUse() { ++useCount_; }
  // Returns the count left.
  int ReleaseUse() { return useCount_ > 0 ? --useCount_ : 0; }
  bool KeepsCursorLists() const { return keepCursorLists_; }
  const std::vector<std::unique_ptr<TDataTable>>& Tables() const { return tables_; }
  // The listed table, or nullptr.
  TDataTable* FindTable(const std::string& name, bool inMemory) const;

 private:
  void Unlist(TDataTable* table);
  // Takes an unused table out of the transaction, dropping its buffered
  // changes, and closes its files.
  void LeaveTransaction(TDataTable* table);
  // Closes tables left without users after a transaction.
  void ReleaseUnusedTables();

  const TableSettings& settings_;                   // the session's settings
  std::string databaseName_;                        // as given
  std::string directoryPath_;                       // key of the session's list
  bool isMemory_ = false;                           // the in-memory directory
  bool keepCursorLists_ = false;                    // lists of cursors and statements are kept
                                                    // (placeholder: served-side sessions only)
  std::vector<std::unique_ptr<TDataTable>> tables_;  // open tables
  int useCount_ = 0;                                // OpenDatabase calls not yet closed
  bool inTransaction_ = false;                      // between start and commit or rollback
};

}  // namespace rudira
