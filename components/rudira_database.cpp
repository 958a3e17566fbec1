#include "components/rudira_database.h"

#include <algorithm>
#include <cassert>

#include "components/component_messages.h"
#include "components/database_dataset.h"
#include "components/rudira_session.h"
#include "components/session_list.h"
#include "engine/data_session.h"
#include "storage/table_directory.h"

namespace rudira {

bool IsPathDatabaseName(const std::string& name) {
  return name.find(':') != std::string::npos || name.find('\\') != std::string::npos;
}

std::string WithBackslashes(std::string text) {
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

namespace {

bool IsMemoryName(const std::string& name) { return SameComponentName(name, "Memory"); }

}  // namespace

TRUDIRADatabase::TRUDIRADatabase(TComponent* owner) : TComponent(owner) {
  auto* owningSession = dynamic_cast<TRUDIRASession*>(owner);
  TRUDIRASession* session = owningSession != nullptr ? owningSession : Sessions().DefaultSession();
  sessionName_ = session->SessionName();
  if (TRUDIRASession* autoSession = AutoSessionOf(owner)) sessionName_ = autoSession->SessionName();
  session->AddDatabase(this);
}

TRUDIRADatabase::TRUDIRADatabase(TRUDIRASession* session, const std::string& name) : TComponent(session) {
  temporary_ = true;
  sessionName_ = session->SessionName();
  keepConnection_ = session->KeepConnections();
  databaseName_ = name;
  if (!IsMemoryName(name)) {
    if (session->SessionType() == TSessionType::stLocal) {
      directory_ = name;
    } else {
      remoteDatabase_ = name;
    }
  }
  session->AddDatabase(this);
}

TRUDIRADatabase::~TRUDIRADatabase() {
  MarkDestroying();
  try {
    CloseDatabase();
  } catch (...) {
    // A destructor cannot pass errors on; the engine directory is given back.
  }
  if (session_ != nullptr) session_->RemoveDatabase(this);
}

std::string TRUDIRADatabase::EngineVersion() const { return kEngineVersion; }

bool TRUDIRADatabase::InTransaction() const { return Connected() && engineDirectory_->InTransaction(); }

// --- open and close ---

void TRUDIRADatabase::SetConnected(bool value) {
  if (Loading()) {
    streamedConnected_ = value;
    return;
  }
  if (value == Connected()) return;
  if (value) {
    OpenDatabase();
  } else {
    CloseDatabase();
  }
}

void TRUDIRADatabase::Loaded() {
  if (streamedConnected_) {
    streamedConnected_ = false;
    SetConnected(true);
  }
}

void TRUDIRADatabase::OpenDatabase() {
  if (BeforeConnect) BeforeConnect(this);
  if (!temporary_ && databaseName_.empty()) RaiseDatabaseError(kDatabaseNameMissing);
  TRUDIRASession* session = Sessions().GetSession(sessionName_);
  MoveToSession(session);
  CheckDuplicateName(databaseName_);
  session->Open();

  if (handleShared_) {
    for (TRUDIRADatabase* other : session->Databases()) {
      if (other != this && other->Connected() && other->HandleShared() &&
          SameComponentName(other->DatabaseName(), databaseName_)) {
        // The directory is counted once more so that it outlives whichever
        // of the two closes first.
        other->engineDirectory_->AddUse();
        engineDirectory_ = other->engineDirectory_;
        sharedHandle_ = true;
        return;
      }
    }
  }

  TSessionLock lock(*session);
  const std::string engineName = IsPathDatabaseName(databaseName_) ? std::string() : databaseName_;
  // "Memory" is the in-memory database whatever Directory says; an empty key
  // is never a disk directory in the engine session.
  std::string location = session->SessionType() == TSessionType::stLocal ? directory_ : remoteDatabase_;
  if (IsMemoryName(databaseName_)) location.clear();
  engineDirectory_ = session->EngineSession()->OpenDatabase(engineName, location);
}

void TRUDIRADatabase::CloseDatabase() {
  if (!Connected()) return;
  closing_ = true;
  std::exception_ptr first;
  try {
    CloseDataSets();
  } catch (...) {
    first = std::current_exception();
  }
  TDataDirectory* directory = engineDirectory_;
  engineDirectory_ = nullptr;
  sharedHandle_ = false;
  try {
    if (directory->InTransaction() && directory->UseCount() <= 1) directory->Rollback();
  } catch (...) {
    if (!first) first = std::current_exception();
  }
  if (session_ != nullptr && session_->EngineSession() != nullptr) {
    TSessionLock lock(*session_);
    session_->EngineSession()->CloseDatabase(directory);
  }
  closing_ = false;
  if (first) std::rethrow_exception(first);
}

void TRUDIRADatabase::CloseDataSets() {
  // While datasets give the database back, their session must not close or
  // free it under this loop.
  const bool wasClosing = closing_;
  closing_ = true;
  std::exception_ptr first;
  while (!dataSets_.empty()) {
    TDatabaseDataSet* dataSet = dataSets_.back();
    try {
      dataSet->CloseDataSet();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
    // A dataset that failed to give the database back is let go all the
    // same: the database is closing.
    if (!dataSets_.empty() && dataSets_.back() == dataSet) {
      dataSets_.pop_back();
      if (useCount_ > 0) --useCount_;
    }
  }
  closing_ = wasClosing;
  if (first) std::rethrow_exception(first);
}

// --- sessions and names ---

void TRUDIRADatabase::MoveToSession(TRUDIRASession* session) {
  if (session == session_) return;
  if (session_ != nullptr) session_->RemoveDatabase(this);
  session->AddDatabase(this);
}

void TRUDIRADatabase::CheckDuplicateName(const std::string& name) {
  if (name.empty() || session_ == nullptr) return;
  const std::vector<TRUDIRADatabase*> others = session_->Databases();
  for (TRUDIRADatabase* other : others) {
    if (other == this || !SameComponentName(other->DatabaseName(), name)) continue;
    if (handleShared_ && other->HandleShared()) continue;
    if (other->Temporary() && other->UseCount() == 0) {
      delete other;
      continue;
    }
    RaiseDatabaseError(kDuplicateDatabaseName, name);
  }
}

void TRUDIRADatabase::CheckClosed() const {
  if (Connected()) RaiseDatabaseError(kDatabaseOpen);
}

void TRUDIRADatabase::CheckOpen() const {
  if (!Connected()) RaiseDatabaseError(kDatabaseClosed);
}

void TRUDIRADatabase::SetDatabaseName(const std::string& name) {
  const std::string normalized = WithBackslashes(name);
  if (normalized == databaseName_) return;
  CheckClosed();
  if (!temporary_ && IsPathDatabaseName(normalized)) RaiseDatabaseError(kInvalidDatabaseName, normalized);
  CheckDuplicateName(normalized);
  databaseName_ = normalized;
}

void TRUDIRADatabase::SetDirectory(const std::string& directory) {
  const std::string normalized = WithBackslashes(directory);
  if (normalized == directory_) return;
  CheckClosed();
  directory_ = normalized;
}

void TRUDIRADatabase::SetRemoteDatabase(const std::string& name) {
  const std::string normalized = WithBackslashes(name);
  if (normalized == remoteDatabase_) return;
  CheckClosed();
  remoteDatabase_ = normalized;
}

void TRUDIRADatabase::SetSessionName(const std::string& name) {
  if (name == sessionName_) return;
  CheckClosed();
  sessionName_ = name;
}

void TRUDIRADatabase::SetHandleShared(bool value) {
  if (value == handleShared_) return;
  CheckClosed();
  handleShared_ = value;
}

void TRUDIRADatabase::SetKeepConnection(bool value) {
  keepConnection_ = value;
  if (!value && Connected() && useCount_ == 0) Close();
}

// --- transactions ---

void TRUDIRADatabase::StartTransaction() {
  CheckOpen();
  if (engineDirectory_->InTransaction()) RaiseDatabaseError(kInTransaction, databaseName_);
  engineDirectory_->StartTransaction();
}

void TRUDIRADatabase::Commit(bool forceFlush) {
  CheckOpen();
  if (!engineDirectory_->InTransaction()) RaiseDatabaseError(kNotInTransaction, databaseName_);
  engineDirectory_->Commit(forceFlush);
}

void TRUDIRADatabase::Rollback() {
  CheckOpen();
  if (!engineDirectory_->InTransaction()) RaiseDatabaseError(kNotInTransaction, databaseName_);
  engineDirectory_->Rollback();
}

// --- datasets ---

void TRUDIRADatabase::Attach(TDatabaseDataSet* dataSet) {
  if (std::find(dataSets_.begin(), dataSets_.end(), dataSet) == dataSets_.end()) dataSets_.push_back(dataSet);
}

void TRUDIRADatabase::Detach(TDatabaseDataSet* dataSet) {
  dataSets_.erase(std::remove(dataSets_.begin(), dataSets_.end(), dataSet), dataSets_.end());
}

}  // namespace rudira
