#include "storage/table_directory.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "storage/os_process.h"

namespace rudira {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  const std::string x = Trimmed(a);
  const std::string y = Trimmed(b);
  return x.size() == y.size() && strncasecmp(x.c_str(), y.c_str(), x.size()) == 0;
}

constexpr int32_t kAccessDenied = -static_cast<int32_t>(RUDIRA_OSEACCES);

}  // namespace

TDataDirectory::TDataDirectory(const TableSettings& settings, std::string databaseName, std::string directoryPath,
                               bool keepCursorLists)
    : settings_(settings),
      databaseName_(std::move(databaseName)),
      directoryPath_(std::move(directoryPath)),
      isMemory_(SameName(databaseName_, "Memory")),
      keepCursorLists_(keepCursorLists) {}

TDataDirectory::~TDataDirectory() = default;

TDataTable* TDataDirectory::FindTable(const std::string& name, bool inMemory) const {
  for (const auto& table : tables_) {
    // "figure" and "figure.DAT" name the same files.
    if (table->InMemory() == inMemory &&
        SameName(TDataTable::ReplaceExtension(table->TableName(), ""), TDataTable::ReplaceExtension(name, ""))) {
      return table.get();
    }
  }
  return nullptr;
}

void TDataDirectory::Unlist(TDataTable* table) {
  tables_.erase(std::remove_if(tables_.begin(), tables_.end(), [table](const auto& t) { return t.get() == table; }),
                tables_.end());
}

int32_t TDataDirectory::OpenTable(const std::string& name, bool inMemory, bool temporary, bool exclusive,
                                  TDataTable** result) {
  *result = nullptr;
  inMemory = inMemory || isMemory_;
  TDataTable* table = FindTable(name, inMemory);
  if (table && (table->UseCount() > 0 || table->InTransaction())) {
    // An exclusive table the transaction holds without users is this
    // session's alone: it may be taken exclusively again (a query reopens
    // its result table after sorting it).
    const bool idleExclusive = table->UseCount() == 0 && table->ExclusiveOpen() && exclusive;
    if (!idleExclusive && (exclusive || table->ExclusiveOpen())) return kAccessDenied;
    table->Open();
    *result = table;
    return 0;
  }
  if (table) {
    // Listed without users and without open files: it takes the flags asked
    // for now.
    if (!table->FilesOpen()) table->SetExclusiveOpen(exclusive);
    table->Open();
    *result = table;
    return 0;
  }
  auto created = std::make_unique<TDataTable>(this, settings_, directoryPath_, Trimmed(name), inMemory, temporary,
                                              exclusive);
  created->Open();
  if (inTransaction_) {
    try {
      created->TransactionLock();
      created->SetInTransaction(true);
    } catch (...) {
      created->Close();
      throw;
    }
  }
  tables_.push_back(std::move(created));
  *result = tables_.back().get();
  return 0;
}

void TDataDirectory::CloseTable(TDataTable* table) {
  if (!table) return;
  table->Close();
  if (table->UseCount() == 0 && !table->InTransaction()) Unlist(table);
}

int32_t TDataDirectory::CreateTable(const std::string& name, bool inMemory, bool temporary,
                                    const DataFileDefinition& definition, const TableIndexDefinitions& indexes) {
  inMemory = inMemory || isMemory_;
  if (TDataTable* listed = FindTable(name, inMemory); listed && listed->UseCount() > 0) return kAccessDenied;
  TDataTable transient(this, settings_, directoryPath_, Trimmed(name), inMemory, temporary, false);
  transient.Create(definition, indexes);
  return 0;
}

int32_t TDataDirectory::DeleteTable(const std::string& name, bool inMemory) {
  inMemory = inMemory || isMemory_;
  TDataTable* listed = FindTable(name, inMemory);
  if (listed && listed->UseCount() > 0) return kAccessDenied;
  if (listed && listed->InTransaction()) {
    // A shared table of the transaction may hold changes others are meant
    // to see at commit: it cannot go. An exclusive one without users was
    // seen by nobody else (a query's result table, say, made while the
    // transaction runs): it leaves the transaction with its buffered
    // changes, which go with its files.
    if (!listed->ExclusiveOpen()) return kAccessDenied;
    LeaveTransaction(listed);
  }
  if (listed) Unlist(listed);
  TDataTable transient(this, settings_, directoryPath_, Trimmed(name), inMemory, false, false);
  transient.Delete();
  return 0;
}

void TDataDirectory::LeaveTransaction(TDataTable* table) {
  table->SetInTransaction(false);
  table->DropCaches(false, true);
  table->TransactionUnlock();
  table->PerformDeferredUnlocks();
  if (table->FilesOpen()) table->Close();
}

int32_t TDataDirectory::RenameTable(const std::string& name, bool inMemory, const std::string& newName, bool asBackup) {
  inMemory = inMemory || isMemory_;
  TDataTable* listed = FindTable(name, inMemory);
  if (listed && (listed->UseCount() > 0 || listed->InTransaction())) return kAccessDenied;
  if (listed) Unlist(listed);
  TDataTable transient(this, settings_, directoryPath_, Trimmed(name), inMemory, false, false);
  transient.Rename(newName, asBackup);
  return 0;
}

bool TDataDirectory::TableExists(const std::string& name, bool inMemory) {
  inMemory = inMemory || isMemory_;
  if (FindTable(name, inMemory)) return true;
  TDataTable probe(this, settings_, directoryPath_, Trimmed(name), inMemory, false, false);
  TFileHandler data(probe.FileNameWith(".DAT"), inMemory);
  return data.Exists();
}

std::string TDataDirectory::TemporaryTableName() {
  const std::string digits = std::to_string(std::llabs(static_cast<long long>(static_cast<int32_t>(OsCurrentThreadId()))));
  const std::string prefix = digits.substr(0, 5);
  for (uint32_t counter = 0;; ++counter) {
    const std::string name = prefix + std::to_string(counter) + ".DAT";
    if (!TableExists(name, isMemory_)) return name;
  }
}

void TDataDirectory::StartTransaction() {
  std::vector<TDataTable*> started;
  try {
    for (const auto& table : tables_) {
      if (table->ExclusiveOpen() && table->FilesOpen()) table->WriteChanges(false, false);
      // Temporary indexes keep their pages on their own file; they are
      // written now so that a rollback only drops what the transaction did.
      if (table->FilesOpen()) table->IndexFile().WritePages();
      table->SetInTransaction(true);
      started.push_back(table.get());
      table->TransactionLock();
    }
  } catch (...) {
    for (TDataTable* table : started) {
      try {
        table->SetInTransaction(false);
        table->DropCaches(false, true);
        table->TransactionUnlock();
      } catch (const EDatabaseError&) {
      }
    }
    throw;
  }
  inTransaction_ = true;
}

void TDataDirectory::Commit(bool forceFlush) {
  std::exception_ptr failure;
  try {
    for (const auto& table : tables_) table->WriterLock();
    for (const auto& table : tables_) {
      table->SetInTransaction(false);
      table->WriteChanges(false, forceFlush);
    }
  } catch (...) {
    failure = std::current_exception();
  }
  for (const auto& table : tables_) {
    auto attempt = [&failure](const std::function<void()>& step) {
      try {
        step();
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
    };
    table->SetInTransaction(false);
    attempt([&] { table->WriterUnlock(); });
    attempt([&] { table->TransactionUnlock(); });
    attempt([&] { table->PerformDeferredUnlocks(); });
  }
  inTransaction_ = false;
  ReleaseUnusedTables();
  if (failure) std::rethrow_exception(failure);
}

void TDataDirectory::Rollback() {
  std::exception_ptr failure;
  for (const auto& table : tables_) {
    auto attempt = [&failure](const std::function<void()>& step) {
      try {
        step();
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
    };
    table->SetInTransaction(false);
    attempt([&] { table->DropCaches(false, true); });
    attempt([&] { table->TransactionUnlock(); });
    attempt([&] { table->PerformDeferredUnlocks(); });
  }
  inTransaction_ = false;
  ReleaseUnusedTables();
  if (failure) std::rethrow_exception(failure);
}

void TDataDirectory::ReleaseUnusedTables() {
  std::vector<TDataTable*> unused;
  for (const auto& table : tables_) {
    if (table->UseCount() == 0) unused.push_back(table.get());
  }
  for (TDataTable* table : unused) {
    if (table->FilesOpen()) table->Close();
    Unlist(table);
  }
}

}  // namespace rudira
