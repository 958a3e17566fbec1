#include "tools/rudira_sql/shell_database.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "components/session_list.h"
#include "engine/data_cursor.h"
#include "storage/file_list.h"
#include "storage/table_directory.h"

namespace rudira::sql_shell {

namespace fs = std::filesystem;

namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool IsMemoryName(const std::string& name) {
  return Upper(name) == "MEMORY";
}

// The table name of a data file name ("figure.DAT" -> "figure"), or empty.
std::string TableOfDataFile(const std::string& fileName) {
  if (fileName.size() <= 4 || Upper(fileName.substr(fileName.size() - 4)) != ".DAT") return {};
  return fileName.substr(0, fileName.size() - 4);
}

}  // namespace

TShellDatabase::TShellDatabase(const std::string& location)
    : name_(location.empty() ? "." : location) {
  if (!IsMemoryName(name_)) {
    std::error_code error;
    if (!fs::is_directory(fs::path(name_), error)) {
      throw std::runtime_error("database directory '" + name_ + "' does not exist");
    }
  }
  TRUDIRASession* session = Sessions().DefaultSession();
  if (session->PrivateDir().empty()) {
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    if (!error) session->SetPrivateDir(temporary.string());
  }
  database_ = session->OpenDatabase(name_, nullptr);
  // The session keeps the database under its normalised name ("/" as "\").
  name_ = database_->DatabaseName();
}

TShellDatabase::~TShellDatabase() {
  try {
    if (database_ != nullptr && database_->Session() != nullptr)
      database_->Session()->CloseDatabase(database_);
  } catch (...) {
    // The process ends; a failed close has nobody left to tell.
  }
}

bool TShellDatabase::InMemory() const {
  return database_->EngineDirectory() != nullptr && database_->EngineDirectory()->IsMemory();
}

std::vector<std::string> TShellDatabase::TableNames() const {
  std::vector<std::string> names;
  if (InMemory()) {
    for (const std::string& file : GlobalFileList().MemoryFileNames()) {
      const std::string table = TableOfDataFile(file);
      if (!table.empty()) names.push_back(table);
    }
  } else {
    const std::string directory = database_->Directory().empty() ? "." : database_->Directory();
    std::string path = directory;
    std::replace(path.begin(), path.end(), '\\', '/');
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(path), error)) {
      if (!entry.is_regular_file(error)) continue;
      const std::string table = TableOfDataFile(entry.path().filename().string());
      if (!table.empty()) names.push_back(table);
    }
    if (error)
      throw std::runtime_error("cannot list the directory '" + directory + "': " + error.message());
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string ua = Upper(a);
    const std::string ub = Upper(b);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

std::unique_ptr<TDataCursor> TShellDatabase::OpenCursor(const std::string& table,
                                                        bool structureOnly) const {
  TRUDIRASession* session = database_->Session();
  auto cursor =
      std::make_unique<TDataCursor>(*session->EngineSession(), *database_->EngineDirectory());
  cursor->SetTableName(table);
  cursor->SetInMemory(InMemory());
  cursor->SetStructureOnly(structureOnly);
  cursor->SetPasswordCallback([session](TDataCursor&) { return session->RequestPassword(); });
  cursor->OpenCursor();
  return cursor;
}

}  // namespace rudira::sql_shell
