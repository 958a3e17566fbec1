#include "components/session_list.h"

#include <strings.h>

#include <algorithm>
#include <cassert>

#include "components/component_messages.h"
#include "components/rudira_session.h"
#include "storage/file_list.h"

namespace rudira {

bool SameComponentName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

TRUDIRASessionList::TRUDIRASessionList() {
  // The engine's file list is made first so that it is destroyed after this
  // list: sessions still open when the program ends close their tables
  // through it.
  GlobalFileList();
  // The session adds itself, as the first one, and so becomes the default.
  TRUDIRASession* session = new TRUDIRASession(*this);
  assert(session == defaultSession_);
  (void)session;
}

TRUDIRASessionList::~TRUDIRASessionList() {
  delete defaultSession_;
  defaultSession_ = nullptr;
}

void TRUDIRASessionList::Add(TRUDIRASession* session) {
  std::lock_guard<std::mutex> guard(lock_);
  if (sessions_.empty() && defaultSession_ == nullptr) {
    session->isDefault_ = true;
    defaultSession_ = session;
  }
  sessions_.push_back(session);
}

void TRUDIRASessionList::Remove(TRUDIRASession* session) {
  std::lock_guard<std::mutex> guard(lock_);
  sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), session), sessions_.end());
}

TRUDIRASession* TRUDIRASessionList::FindSession(const std::string& name) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (name.empty()) return defaultSession_;
  for (TRUDIRASession* session : sessions_) {
    if (SameComponentName(session->SessionName(), name)) return session;
  }
  return nullptr;
}

TRUDIRASession* TRUDIRASessionList::GetSession(const std::string& name) const {
  TRUDIRASession* session = FindSession(name);
  if (session == nullptr) RaiseDatabaseError(kInvalidSessionName, name);
  return session;
}

std::vector<TRUDIRASession*> TRUDIRASessionList::List() const {
  std::lock_guard<std::mutex> guard(lock_);
  return sessions_;
}

int TRUDIRASessionList::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int>(sessions_.size());
}

int TRUDIRASessionList::TakeSessionNumber() {
  std::lock_guard<std::mutex> guard(lock_);
  auto free = std::find(sessionNumbers_.begin(), sessionNumbers_.end(), false);
  if (free == sessionNumbers_.end()) {
    sessionNumbers_.push_back(true);
    return static_cast<int>(sessionNumbers_.size()) - 1;
  }
  *free = true;
  return static_cast<int>(free - sessionNumbers_.begin());
}

void TRUDIRASessionList::FreeSessionNumber(int number) {
  std::lock_guard<std::mutex> guard(lock_);
  if (number >= 0 && number < static_cast<int>(sessionNumbers_.size())) sessionNumbers_[number] = false;
}

bool TRUDIRASessionList::SessionNumberUsed(int number) const {
  std::lock_guard<std::mutex> guard(lock_);
  return number >= 0 && number < static_cast<int>(sessionNumbers_.size()) && sessionNumbers_[number];
}

TDataSession* TRUDIRASessionList::CurrentEngineSession() const {
  std::lock_guard<std::mutex> guard(lock_);
  return currentEngineSession_;
}

void TRUDIRASessionList::SetCurrentEngineSession(TDataSession* session) {
  std::lock_guard<std::mutex> guard(lock_);
  currentEngineSession_ = session;
}

TRUDIRASessionList& Sessions() {
  static TRUDIRASessionList list;
  return list;
}

}  // namespace rudira
