#include "components/rudira_session.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "components/component_messages.h"
#include "components/database_dataset.h"
#include "components/password_dialog.h"
#include "components/rudira_database.h"
#include "components/session_list.h"
#include "engine/data_session.h"

namespace rudira {

namespace {

bool IsSession(TComponent* component) { return dynamic_cast<TRUDIRASession*>(component) != nullptr; }

}  // namespace

TRUDIRASession* AutoSessionOf(TComponent* owner) {
  if (owner == nullptr) return nullptr;
  for (TComponent* component : owner->Components()) {
    auto* session = dynamic_cast<TRUDIRASession*>(component);
    if (session != nullptr && session->AutoSessionName()) return session;
  }
  return nullptr;
}

TRUDIRASession::TRUDIRASession(TRUDIRASessionList& list) : TComponent(nullptr), list_(list) {
  sessionName_ = kDefaultSessionName;
  list_.Add(this);
}

TRUDIRASession::TRUDIRASession(TComponent* owner) : TComponent(owner), list_(Sessions()) {
  if (AutoSessionOf(owner) != nullptr) RaiseDatabaseError(kAutoSessionExists);
  list_.Add(this);
}

TRUDIRASession::~TRUDIRASession() {
  MarkDestroying();
  try {
    CloseSession();
  } catch (...) {
    // A destructor cannot pass errors on; the engine session is gone anyway.
  }
  // Databases of other owners stay; they lose their session name and pass to
  // the default session (or to none while the default session itself goes).
  TRUDIRASession* fallback = isDefault_ ? nullptr : list_.DefaultSession();
  const std::vector<TRUDIRADatabase*> remaining = databases_;
  databases_.clear();
  for (TRUDIRADatabase* database : remaining) {
    database->session_ = nullptr;
    if (database->Temporary()) continue;  // owned: freed with this component
    database->sessionName_.clear();
    if (fallback != nullptr) fallback->AddDatabase(database);
  }
  if (sessionNumber_ >= 0) list_.FreeSessionNumber(sessionNumber_);
  list_.Remove(this);
}

// --- state ---

void TRUDIRASession::SetActive(bool value) {
  if (Loading()) {
    streamedActive_ = value;
    return;
  }
  if (value == Active()) return;
  if (value) {
    OpenSession();
  } else {
    CloseSession();
  }
}

void TRUDIRASession::Loaded() {
  if (streamedActive_) {
    streamedActive_ = false;
    SetActive(true);
  }
}

void TRUDIRASession::OpenSession() {
  if (OnStartup) OnStartup(this);
  if (sessionName_.empty()) RaiseDatabaseError(kSessionNameMissing);
  if (!isDefault_) {
    TRUDIRASession* defaultSession = list_.DefaultSession();
    if (defaultSession != nullptr) defaultSession->Open();
  }
  if (sessionType_ == TSessionType::stRemote) RaiseDatabaseError(kRemoteNotSupported, sessionName_);
  try {
    TSessionLock lock(*this);
    engineSession_ = std::make_unique<TDataSession>(false);
    TDataSession& engine = *engineSession_;
    list_.SetCurrentEngineSession(&engine);
    // An empty PrivateDir puts temporary tables in the engine session's
    // default directory, the current directory when it was created.
    engine.SetPrivateDir(privateDir_);
    engine.SetStrictChangeDetection(strictChangeDetection_);
    engine.SetForceBufferFlush(forceBufferFlush_);
    engine.SetLockRetryCount(lockRetryCount_);
    engine.SetLockWaitTime(lockWaitTime_);
    engine.SetLockProtocol(static_cast<uint8_t>(lockProtocol_));
    engine.SetProgressSteps(progressSteps_);
    engine.SetMaxDataBufferBytes(maxDataBufferBytes_);
    engine.SetMaxDataBufferCount(maxDataBufferCount_);
    engine.SetMaxIndexBufferBytes(maxIndexBufferBytes_);
    engine.SetMaxBlobBufferBytes(maxBlobBufferBytes_);
    engine.SetMaxBlobBufferCount(maxBlobBufferCount_);
    engine.SetPasswordCallback([this] { return RequestPassword(); });
  } catch (...) {
    CloseSession();
    throw;
  }
}

void TRUDIRASession::CloseSession() {
  // Databases first: temporary ones are freed, the others closed.
  const std::vector<TRUDIRADatabase*> databases = databases_;
  std::exception_ptr first;
  for (TRUDIRADatabase* database : databases) {
    if (std::find(databases_.begin(), databases_.end(), database) == databases_.end()) continue;
    try {
      if (database->Temporary()) {
        delete database;
      } else {
        database->Close();
      }
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (engineSession_ != nullptr) {
    TSessionLock lock(*this);
    if (list_.CurrentEngineSession() == engineSession_.get()) list_.SetCurrentEngineSession(nullptr);
    engineSession_.reset();
  }
  if (first) std::rethrow_exception(first);
}

void TRUDIRASession::CheckInactive() const {
  if (Active()) RaiseDatabaseError(kSessionActive);
}

// --- names ---

void TRUDIRASession::SetSessionName(const std::string& name) {
  if (autoSessionName_) RaiseDatabaseError(kAutoSessionActive);
  if (name == sessionName_) return;
  CheckInactive();
  SetSessionNameUnchecked(name);
}

void TRUDIRASession::SetSessionNameUnchecked(const std::string& name) {
  if (!name.empty()) {
    TRUDIRASession* other = list_.FindSession(name);
    if (other != nullptr && other != this) RaiseDatabaseError(kDuplicateSessionName, name);
  }
  sessionName_ = name;
}

void TRUDIRASession::SetAutoSessionName(bool value) {
  if (value == autoSessionName_) return;
  CheckInactive();
  if (value) {
    if (Owner() != nullptr) {
      for (TComponent* component : Owner()->Components()) {
        if (component != this && IsSession(component)) RaiseDatabaseError(kAutoSessionExclusive);
      }
    }
    sessionNumber_ = list_.TakeSessionNumber();
    try {
      autoSessionName_ = true;
      UpdateAutoSessionName();
    } catch (...) {
      autoSessionName_ = false;
      list_.FreeSessionNumber(sessionNumber_);
      sessionNumber_ = -1;
      throw;
    }
  } else {
    autoSessionName_ = false;
    list_.FreeSessionNumber(sessionNumber_);
    sessionNumber_ = -1;
  }
}

void TRUDIRASession::SetName(const std::string& name) {
  const std::string old = Name();
  TComponent::SetName(name);
  if (!autoSessionName_) return;
  try {
    UpdateAutoSessionName();
  } catch (...) {
    TComponent::SetName(old);
    throw;
  }
}

void TRUDIRASession::UpdateAutoSessionName() {
  char number[16];
  std::snprintf(number, sizeof number, "_%d", sessionNumber_ + 1);
  SetSessionNameUnchecked(Name() + number);
  if (Owner() == nullptr) return;
  const std::vector<TComponent*> siblings = Owner()->Components();
  for (TComponent* component : siblings) {
    if (component != this) GiveNameTo(component);
  }
}

void TRUDIRASession::GiveNameTo(TComponent* component) {
  if (auto* database = dynamic_cast<TRUDIRADatabase*>(component)) {
    if (database->SessionName() != sessionName_) database->SetSessionName(sessionName_);
  } else if (auto* dataSet = dynamic_cast<TDatabaseDataSet*>(component)) {
    if (dataSet->DataSetSessionName() != sessionName_) dataSet->SetDataSetSessionName(sessionName_);
  }
}

void TRUDIRASession::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opInsert && autoSessionName_ && component != this && component->Owner() == Owner()) {
    GiveNameTo(component);
  }
}

// --- settings ---

void TRUDIRASession::ApplyToEngine(const std::function<void(TDataSession&)>& apply) {
  if (!Active()) return;
  TSessionLock lock(*this);
  apply(*engineSession_);
}

void TRUDIRASession::SetForceBufferFlush(bool value) {
  forceBufferFlush_ = value;
  ApplyToEngine([value](TDataSession& engine) { engine.SetForceBufferFlush(value); });
}

void TRUDIRASession::SetLockRetryCount(uint8_t value) {
  lockRetryCount_ = value;
  ApplyToEngine([value](TDataSession& engine) { engine.SetLockRetryCount(value); });
}

void TRUDIRASession::SetLockWaitTime(uint16_t value) {
  lockWaitTime_ = value;
  ApplyToEngine([value](TDataSession& engine) { engine.SetLockWaitTime(value); });
}

void TRUDIRASession::SetLockProtocol(TLockProtocol value) {
  lockProtocol_ = value;
  ApplyToEngine([value](TDataSession& engine) { engine.SetLockProtocol(static_cast<uint8_t>(value)); });
}

void TRUDIRASession::SetPrivateDir(const std::string& value) {
  privateDir_ = value;
  ApplyToEngine([value](TDataSession& engine) { engine.SetPrivateDir(value); });
}

void TRUDIRASession::SetProgressSteps(uint16_t value) {
  if (value > 100) return;
  progressSteps_ = value;
  ApplyToEngine([value](TDataSession& engine) { engine.SetProgressSteps(value); });
}

void TRUDIRASession::SetStrictChangeDetection(bool value) {
  strictChangeDetection_ = value;
  ApplyToEngine([value](TDataSession& engine) { engine.SetStrictChangeDetection(value); });
}

void TRUDIRASession::SetSessionType(TSessionType value) {
  if (value == sessionType_) return;
  CheckInactive();
  sessionType_ = value;
}

void TRUDIRASession::SetRemoteType(TRemoteType value) {
  if (value == remoteType_) return;
  CheckInactive();
  remoteType_ = value;
}

void TRUDIRASession::SetRemoteHost(const std::string& value) {
  if (value == remoteHost_) return;
  CheckInactive();
  remoteHost_ = value;
}

void TRUDIRASession::SetRemoteAddress(const std::string& value) {
  if (value == remoteAddress_) return;
  CheckInactive();
  remoteAddress_ = value;
}

void TRUDIRASession::SetRemotePort(int value) {
  if (value == remotePort_) return;
  CheckInactive();
  remotePort_ = value;
}

void TRUDIRASession::SetRemoteService(const std::string& value) {
  if (value == remoteService_) return;
  CheckInactive();
  remoteService_ = value;
}

void TRUDIRASession::SetRemoteUser(const std::string& value) {
  if (value == remoteUser_) return;
  CheckInactive();
  remoteUser_ = value;
}

void TRUDIRASession::SetRemotePassword(const std::string& value) {
  if (value == remotePassword_) return;
  CheckInactive();
  remotePassword_ = value;
}

// --- passwords ---

void TRUDIRASession::AddPassword(const std::string& password) {
  Open();
  TSessionLock lock(*this);
  engineSession_->AddPassword(password);
}

void TRUDIRASession::RemovePassword(const std::string& password) {
  TSessionLock lock(*this);
  if (engineSession_ != nullptr) engineSession_->RemovePassword(password);
}

void TRUDIRASession::RemoveAllPasswords() {
  TSessionLock lock(*this);
  if (engineSession_ != nullptr) engineSession_->RemoveAllPasswords();
}

bool TRUDIRASession::RequestPassword() {
  if (OnPassword) {
    bool continueFlag = false;
    OnPassword(this, continueFlag);
    return continueFlag;
  }
  if (TPasswordDialog* dialog = InstalledPasswordDialog()) return dialog->ShowForSession(*this);
  return false;
}

// --- engine lock ---

void TRUDIRASession::LockSession() {
  list_.EngineLock().lock();
  if (lockCount_++ == 0 && engineSession_ != nullptr) list_.SetCurrentEngineSession(engineSession_.get());
}

void TRUDIRASession::UnlockSession() {
  assert(lockCount_ > 0);
  --lockCount_;
  list_.EngineLock().unlock();
}

// --- databases ---

void TRUDIRASession::AddDatabase(TRUDIRADatabase* database) {
  if (std::find(databases_.begin(), databases_.end(), database) == databases_.end()) databases_.push_back(database);
  database->session_ = this;
}

void TRUDIRASession::RemoveDatabase(TRUDIRADatabase* database) {
  databases_.erase(std::remove(databases_.begin(), databases_.end(), database), databases_.end());
  if (database->session_ == this) database->session_ = nullptr;
}

TRUDIRADatabase* TRUDIRASession::FindDatabase(const std::string& name) const {
  const std::string wanted = WithBackslashes(name);
  for (TRUDIRADatabase* database : databases_) {
    if (SameComponentName(database->DatabaseName(), wanted)) return database;
  }
  return nullptr;
}

TRUDIRADatabase* TRUDIRASession::OpenDatabase(const std::string& name, TComponent* requestingOwner) {
  const std::string wanted = WithBackslashes(name);
  TRUDIRADatabase* found = nullptr;
  for (TRUDIRADatabase* database : databases_) {
    if (database->HandleShared() && database->Owner() == requestingOwner &&
        SameComponentName(database->DatabaseName(), wanted)) {
      found = database;
      break;
    }
  }
  if (found == nullptr) found = FindDatabase(wanted);
  if (found == nullptr) {
    TRUDIRADatabase* made = new TRUDIRADatabase(this, wanted);
    try {
      made->Open();
    } catch (...) {
      delete made;
      throw;
    }
    found = made;
  } else {
    found->Open();
  }
  ++found->useCount_;
  return found;
}

void TRUDIRASession::CloseDatabase(TRUDIRADatabase* database) {
  if (database == nullptr) return;
  if (database->useCount_ > 0) --database->useCount_;
  // A database that is closing or being freed is already on its way.
  if (database->useCount_ > 0 || database->KeepConnection() || database->closing_ || database->Destroying()) return;
  if (database->Temporary()) {
    delete database;
  } else {
    database->Close();
  }
}

}  // namespace rudira
