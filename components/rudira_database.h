// TRUDIRADatabase: the database component. It names one engine database (a
// directory of table files, or the in-memory database "Memory"), holds its
// engine directory while connected, carries its transactions and keeps the
// datasets attached to it.
//
// Names: every "/" in DatabaseName, Directory and RemoteDatabase becomes
// "\" when set. A database component (not a temporary one) whose name holds
// ":" or "\" is refused ("Database name %s is not valid."); such names are
// paths, which only a temporary database made for a dataset may carry. The
// Directory is handed to the engine untouched but trimmed and with a
// trailing "\", never expanded: a relative directory such as "kyozai\" is
// resolved against the process's current directory whenever a table file is
// opened. An empty Directory is the engine session's directory (the current
// directory when the engine session was created).
//
// Session: a database belongs to the session that owns it, else to the
// default session; SessionName starts as that session's name. Opening finds
// the session by SessionName and moves the database there.
//
// Opening (SetConnected(true)): BeforeConnect; a component needs a name
// ("Database name is missing."); the session is found ("Session name %s is
// not valid."), the name checked for duplicates and the session opened.
// With HandleShared, another open database of that name with HandleShared
// lends its engine directory (this one is then sharing). Otherwise the
// engine session opens the directory under the engine lock, with an empty
// database name when the name holds ":" or "\". A failed open keeps no
// engine directory.
//
// Closing: every attached dataset is closed first, then the engine
// directory is given back. A transaction still active when the last user of
// the engine directory closes is rolled back: its changes were never
// committed, and the directory's tables go away with it.
//
// Duplicate names: within a session two databases may share a name only
// when both have HandleShared; a temporary database of that name that no
// dataset uses is freed instead of refusing the name.
//
// Temporary databases are owned by their session, made by
// TRUDIRASession::OpenDatabase and freed by the session; their flag never
// changes.
//
// Thread use: used by the thread that owns it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "components/component.h"

namespace rudira {

class TDataDirectory;
class TDatabaseDataSet;
class TRUDIRASession;

class TRUDIRADatabase : public TComponent {
 public:
  using TNotifyEvent = std::function<void(TRUDIRADatabase* sender)>;

  // A closed database in owner, added to the owning session (or the default
  // session).
  explicit TRUDIRADatabase(TComponent* owner = nullptr);
  // Closes the database and leaves its session.
  ~TRUDIRADatabase() override;

  // --- state ---
  bool Connected() const { return engineDirectory_ != nullptr; }
  void SetConnected(bool value);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }
  // The engine directory while connected, else null.
  TDataDirectory* EngineDirectory() const { return engineDirectory_; }
  // The session the database belongs to (null only while the process ends).
  TRUDIRASession* Session() const { return session_; }
  // Made by a session for a DatabaseName without database component.
  bool Temporary() const { return temporary_; }
  // Uses the engine directory of another database of the same name.
  bool SharedHandle() const { return sharedHandle_; }
  // Datasets that opened the database through its session and not yet
  // closed.
  int UseCount() const { return useCount_; }
  bool InTransaction() const;

  // --- published properties (DatabaseName, Directory, RemoteDatabase and
  // SessionName need a closed database: "Cannot perform this operation on
  // an open database."; a failed change leaves the old value) ---
  std::string EngineVersion() const;
  void SetEngineVersion(const std::string&) {}  // read-only: ignored
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& directory);
  const std::string& RemoteDatabase() const { return remoteDatabase_; }
  void SetRemoteDatabase(const std::string& name);
  const std::string& SessionName() const { return sessionName_; }
  void SetSessionName(const std::string& name);
  bool HandleShared() const { return handleShared_; }
  // Needs a closed database, since it decides whose directory an open
  // database uses.
  void SetHandleShared(bool value);
  bool KeepConnection() const { return keepConnection_; }
  // false closes the database at once when no dataset uses it.
  void SetKeepConnection(bool value);

  TNotifyEvent BeforeConnect;

  // --- transactions of the engine directory ---
  // "Cannot perform this operation on a closed database." / "Database %s
  // already has an active transaction."
  void StartTransaction();
  // "Cannot perform this operation on a closed database." / "Database %s has
  // no active transaction."
  void Commit(bool forceFlush = false);
  void Rollback();

  // --- datasets ---
  const std::vector<TDatabaseDataSet*>& DataSets() const { return dataSets_; }
  int DataSetCount() const { return static_cast<int>(dataSets_.size()); }
  // Closes every attached dataset.
  void CloseDataSets();

 protected:
  void Loaded() override;

 private:
  friend class TRUDIRASession;
  friend TRUDIRADatabase* OpenDataSetDatabase(TDatabaseDataSet& dataSet);
  friend void CloseDataSetDatabase(TDatabaseDataSet& dataSet, TRUDIRADatabase* database);

  // A temporary database of session, owned by it.
  TRUDIRADatabase(TRUDIRASession* session, const std::string& name);

  void OpenDatabase();
  void CloseDatabase();
  void CheckClosed() const;
  void CheckOpen() const;
  // Raises "Database name %s already exists." unless the other database may
  // keep the name; frees an unused temporary database of that name.
  void CheckDuplicateName(const std::string& name);
  void MoveToSession(TRUDIRASession* session);
  void Attach(TDatabaseDataSet* dataSet);
  void Detach(TDatabaseDataSet* dataSet);

  TRUDIRASession* session_ = nullptr;   // the session it belongs to
  TDataDirectory* engineDirectory_ = nullptr;  // while connected
  bool temporary_ = false;               // made by a session for a dataset
  bool sharedHandle_ = false;            // directory lent by another database
  bool closing_ = false;                 // Close running: datasets closing
  bool streamedConnected_ = false;       // Connected wished while loading
  int useCount_ = 0;                     // datasets using it through the session
  std::vector<TDatabaseDataSet*> dataSets_;  // attached datasets (not owned)

  std::string databaseName_;             // DatabaseName ("\" separators)
  std::string directory_;               // Directory ("\" separators)
  std::string remoteDatabase_;           // RemoteDatabase
  std::string sessionName_;              // SessionName
  bool handleShared_ = false;            // HandleShared
  bool keepConnection_ = true;           // KeepConnection
};

// Whether a database name is a path (holds ":" or "\"), which only a
// temporary database may carry. UTF-8 continuation bytes never equal these
// characters, so a byte test is exact.
bool IsPathDatabaseName(const std::string& name);
// The text with every "/" turned into "\".
std::string WithBackslashes(std::string text);

}  // namespace rudira
