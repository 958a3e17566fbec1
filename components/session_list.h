// TRUDIRASessionList: the process's one list of session components.
//
// Sessions() creates it on first use, together with the default session
// "Default" (a session without owner, the first one added and so the
// default one); both live until the program ends. Every TRUDIRASession adds
// itself when created and removes itself when freed.
//
// The list also holds:
//  - the bit set of auto-session numbers in use (TakeSessionNumber gives the
//    lowest free one, counted from 0);
//  - the process-wide engine lock: one re-entrant critical section that
//    serialises engine access by all session components (opening databases,
//    changing settings of an open session, passwords). Sessions enter it
//    through TRUDIRASession::LockSession, which counts nested entries;
//  - the engine session made current by the last session that entered the
//    engine lock.
//
// Concurrency: the list and the number set are guarded by the list's own
// lock; names compare without regard to case (ASCII letters).
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace rudira {

class TDataSession;
class TRUDIRASession;

class TRUDIRASessionList {
 public:
  TRUDIRASessionList();
  // Frees the default session.
  ~TRUDIRASessionList();
  TRUDIRASessionList(const TRUDIRASessionList&) = delete;
  TRUDIRASessionList& operator=(const TRUDIRASessionList&) = delete;

  // The default session ("Default" unless renamed).
  TRUDIRASession* DefaultSession() const { return defaultSession_; }
  // The session named `name` (ignoring case); an empty name is the default
  // session. Null when there is none.
  TRUDIRASession* FindSession(const std::string& name) const;
  // FindSession, raising "Session name %s is not valid." when there is none.
  TRUDIRASession* GetSession(const std::string& name) const;
  // A copy of the list, in the order sessions were added.
  std::vector<TRUDIRASession*> List() const;
  int Count() const;

  // The lowest free auto-session number, now marked as used.
  int TakeSessionNumber();
  // Marks number as free again; -1 is ignored.
  void FreeSessionNumber(int number);
  bool SessionNumberUsed(int number) const;

  // The process-wide engine lock (re-entrant).
  std::recursive_mutex& EngineLock() { return engineLock_; }
  // The engine session of the session that last entered the engine lock,
  // or null.
  TDataSession* CurrentEngineSession() const;
  void SetCurrentEngineSession(TDataSession* session);

 private:
  friend class TRUDIRASession;
  // Called by the session constructor and destructor. The first session
  // added is the default one.
  void Add(TRUDIRASession* session);
  void Remove(TRUDIRASession* session);

  mutable std::mutex lock_;               // guards the fields below
  std::vector<TRUDIRASession*> sessions_;  // in order of creation
  std::vector<bool> sessionNumbers_;       // auto-session numbers in use
  TRUDIRASession* defaultSession_ = nullptr;  // owned by the list
  TDataSession* currentEngineSession_ = nullptr;  // last made current
  std::recursive_mutex engineLock_;       // the process-wide engine lock
};

// The process's session list (created with the default session on first
// use).
TRUDIRASessionList& Sessions();

// Names of sessions and databases compare without regard to case.
bool SameComponentName(const std::string& a, const std::string& b);

}  // namespace rudira
