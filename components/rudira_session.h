// TRUDIRASession: the session component. It owns one engine session
// (TDataSession) while active, copies its settings into it, keeps the list
// of database components that belong to it and resolves the databases of
// datasets.
//
// Life cycle: inactive -> active by Open (SetActive(true), or implicitly
// when one of its databases opens) -> inactive by Close or destruction.
// Opening runs OnStartup, needs a SessionName ("Session name is missing."),
// opens the default session first when this is another one, refuses remote
// sessions, then creates the engine session and hands it PrivateDir,
// StrictChangeDetection, ForceBufferFlush, LockRetryCount, LockWaitTime,
// LockProtocol, ProgressSteps and the five buffer sizes; a failure closes
// the session again and passes the error on. Closing closes every database
// of the session (temporary ones are freed) and frees the engine session.
// While the owner is being loaded, SetActive only records the wish; Loaded()
// applies it.
//
// The default session (the first in the session list, "Default") holds the
// process-wide engine session: the engine has no start-up of its own, so
// opening the default session is starting the engine and closing it shuts
// the engine down. Every other session creates an engine session of its own.
//
// Remote sessions (SessionType stRemote): the remote properties are kept so
// that loaded forms keep their values, but opening a remote session raises
// "Session %s cannot be opened: remote sessions are not supported.".
// OnRemoteLogin and OnRemoteTrace are stored and never called.
//
// Engine lock: LockSession/UnlockSession enter and leave the process-wide
// engine lock of the session list with a nesting count, and make this
// session's engine session the current one on the first entry. Settings of
// an open session, databases opening and passwords go through it.
//
// Thread use: a session component is used by the thread that owns it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/component.h"

namespace rudira {

class TDataSession;
class TRUDIRADatabase;
class TRUDIRASessionList;

enum class TSessionType { stLocal, stRemote };
enum class TRemoteType { rtLAN, rtInternet };
enum class TLockProtocol { lpPessimistic, lpOptimistic };

inline constexpr char kEngineVersion[] = "3.30";
inline constexpr char kDefaultSessionName[] = "Default";
inline constexpr char kDefaultRemoteAddress[] = "127.0.0.1";
inline constexpr int kDefaultRemotePort = 12005;

class TRUDIRASession : public TComponent {
 public:
  using TNotifyEvent = std::function<void(TRUDIRASession* sender)>;
  using TPasswordEvent = std::function<void(TRUDIRASession* sender, bool& continueFlag)>;
  using TRemoteLoginEvent =
      std::function<void(TRUDIRASession* sender, std::string& userName, std::string& password, bool& continueFlag)>;
  using TRemoteTraceEvent = std::function<void(TRUDIRASession* sender, const std::string& traceMessage)>;

  // A new inactive session in owner, listed in the session list. "This
  // auto-session already exists." when owner already holds an auto-named
  // session.
  explicit TRUDIRASession(TComponent* owner = nullptr);
  // Closes the session and leaves the session list; the databases still
  // belonging to it are closed, lose their SessionName and pass to the
  // default session.
  ~TRUDIRASession() override;

  // --- state ---
  bool Active() const { return engineSession_ != nullptr; }
  void SetActive(bool value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  // The default session of the process.
  bool IsDefault() const { return isDefault_; }
  // The engine session while active, else null.
  TDataSession* EngineSession() const { return engineSession_.get(); }

  // --- published properties ---
  std::string EngineVersion() const { return kEngineVersion; }
  void SetEngineVersion(const std::string&) {}  // read-only: ignored
  const std::string& SessionName() const { return sessionName_; }
  // "Cannot perform this operation on the active auto-session." with
  // AutoSessionName on; "Cannot perform this operation on an active
  // session." while active; "Session name %s already exists." when another
  // session has the name (ignoring case).
  void SetSessionName(const std::string& name);
  bool AutoSessionName() const { return autoSessionName_; }
  // REQUIRES an inactive session and no other session in the same owner.
  // On: SessionName becomes Name + "_" + (number + 1) and is handed to the
  // owner's datasets and databases. Off: frees the number.
  void SetAutoSessionName(bool value);
  // The auto-session number, or -1.
  int SessionNumber() const { return sessionNumber_; }
  void SetName(const std::string& name) override;

  bool ForceBufferFlush() const { return forceBufferFlush_; }
  void SetForceBufferFlush(bool value);
  bool KeepConnections() const { return keepConnections_; }
  void SetKeepConnections(bool value) { keepConnections_ = value; }
  uint8_t LockRetryCount() const { return lockRetryCount_; }
  void SetLockRetryCount(uint8_t value);
  uint16_t LockWaitTime() const { return lockWaitTime_; }
  void SetLockWaitTime(uint16_t value);
  TLockProtocol LockProtocol() const { return lockProtocol_; }
  void SetLockProtocol(TLockProtocol value);
  // Directory of temporary result tables; empty: the engine session's
  // directory (the current directory when the session opened).
  const std::string& PrivateDir() const { return privateDir_; }
  void SetPrivateDir(const std::string& value);
  uint16_t ProgressSteps() const { return progressSteps_; }
  // Values above 100 are ignored.
  void SetProgressSteps(uint16_t value);
  bool StrictChangeDetection() const { return strictChangeDetection_; }
  void SetStrictChangeDetection(bool value);

  // Remote properties: all but RemoteTrace require an inactive session
  // ("Cannot perform this operation on an active session.").
  TSessionType SessionType() const { return sessionType_; }
  void SetSessionType(TSessionType value);
  TRemoteType RemoteType() const { return remoteType_; }
  void SetRemoteType(TRemoteType value);
  const std::string& RemoteHost() const { return remoteHost_; }
  void SetRemoteHost(const std::string& value);
  const std::string& RemoteAddress() const { return remoteAddress_; }
  void SetRemoteAddress(const std::string& value);
  int RemotePort() const { return remotePort_; }
  void SetRemotePort(int value);
  const std::string& RemoteService() const { return remoteService_; }
  void SetRemoteService(const std::string& value);
  bool RemoteTrace() const { return remoteTrace_; }
  void SetRemoteTrace(bool value) { remoteTrace_ = value; }
  const std::string& RemoteUser() const { return remoteUser_; }
  void SetRemoteUser(const std::string& value);
  const std::string& RemotePassword() const { return remotePassword_; }
  void SetRemotePassword(const std::string& value);

  // Events.
  TPasswordEvent OnPassword;
  TNotifyEvent OnStartup;
  TRemoteLoginEvent OnRemoteLogin;
  TRemoteTraceEvent OnRemoteTrace;

  // The five engine buffer sizes in bytes, copied into the engine session
  // when it opens: data buffer bytes, data buffer count, index buffer bytes,
  // BLOB buffer bytes, BLOB buffer count.
  int32_t MaxDataBufferBytes() const { return maxDataBufferBytes_; }
  void SetMaxDataBufferBytes(int32_t value) { maxDataBufferBytes_ = value; }
  int32_t MaxDataBufferCount() const { return maxDataBufferCount_; }
  void SetMaxDataBufferCount(int32_t value) { maxDataBufferCount_ = value; }
  int32_t MaxIndexBufferBytes() const { return maxIndexBufferBytes_; }
  void SetMaxIndexBufferBytes(int32_t value) { maxIndexBufferBytes_ = value; }
  int32_t MaxBlobBufferBytes() const { return maxBlobBufferBytes_; }
  void SetMaxBlobBufferBytes(int32_t value) { maxBlobBufferBytes_ = value; }
  int32_t MaxBlobBufferCount() const { return maxBlobBufferCount_; }
  void SetMaxBlobBufferCount(int32_t value) { maxBlobBufferCount_ = value; }

  // --- passwords (each under the engine lock) ---
  // Adds to the engine session's passwords; an inactive session is opened
  // first, so a password given before the first table opens is kept.
  void AddPassword(const std::string& password);
  // Nothing to remove while inactive.
  void RemovePassword(const std::string& password);
  void RemoveAllPasswords();
  // The password request of the engine session: OnPassword when assigned
  // (called with Continue false; its Continue is the answer), otherwise the
  // installed password dialog (true when closed with OK), otherwise false.
  bool RequestPassword();

  // --- databases ---
  // The databases that belong to this session (components of any owner).
  const std::vector<TRUDIRADatabase*>& Databases() const { return databases_; }
  // The database named `name` (ignoring case), or null.
  TRUDIRADatabase* FindDatabase(const std::string& name) const;
  // The resolution of a dataset's database within this session: a database
  // of that name with HandleShared and the requesting owner, then any of
  // that name, else a new temporary database owned by this session (named
  // `name`, KeepConnection = KeepConnections, Directory = name unless the
  // name is "Memory"; RemoteDatabase for a remote session). Opens it and
  // raises its use count. A temporary database whose open fails is freed.
  TRUDIRADatabase* OpenDatabase(const std::string& name, TComponent* requestingOwner);
  // Lowers the use count; at zero without KeepConnection a temporary
  // database is freed and another one closed.
  void CloseDatabase(TRUDIRADatabase* database);

  // --- engine lock ---
  void LockSession();
  void UnlockSession();
  int LockCount() const { return lockCount_; }

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

 private:
  friend class TRUDIRASessionList;
  friend class TRUDIRADatabase;
  // The default session, created by the session list itself.
  explicit TRUDIRASession(TRUDIRASessionList& list);

  void OpenSession();
  void CloseSession();
  // Raises "Cannot perform this operation on an active session." while
  // active.
  void CheckInactive() const;
  // Refreshes an auto-session name after the number or Name changed and
  // hands it to the owner's datasets and databases.
  void UpdateAutoSessionName();
  void GiveNameTo(TComponent* component);
  void SetSessionNameUnchecked(const std::string& name);
  void AddDatabase(TRUDIRADatabase* database);
  void RemoveDatabase(TRUDIRADatabase* database);
  // Applies `apply` to the engine session under the engine lock, when
  // active.
  void ApplyToEngine(const std::function<void(TDataSession&)>& apply);

  TRUDIRASessionList& list_;                 // the session list it is in
  bool isDefault_ = false;                   // first session of the list
  std::unique_ptr<TDataSession> engineSession_;  // while active
  bool streamedActive_ = false;              // Active wished while loading
  int lockCount_ = 0;                        // nested entries of the engine lock
  int sessionNumber_ = -1;                   // auto-session number, or -1
  std::vector<TRUDIRADatabase*> databases_;  // databases of this session (not owned)

  std::string sessionName_;                  // SessionName
  bool autoSessionName_ = false;             // AutoSessionName
  bool forceBufferFlush_ = false;            // ForceBufferFlush
  bool keepConnections_ = true;              // KeepConnections
  uint8_t lockRetryCount_ = 15;              // LockRetryCount
  uint16_t lockWaitTime_ = 100;              // LockWaitTime (ms)
  TLockProtocol lockProtocol_ = TLockProtocol::lpPessimistic;
  std::string privateDir_;                   // PrivateDir as given ("/" kept)
  uint16_t progressSteps_ = 20;              // ProgressSteps, 0..100
  bool strictChangeDetection_ = false;       // StrictChangeDetection
  TSessionType sessionType_ = TSessionType::stLocal;
  TRemoteType remoteType_ = TRemoteType::rtLAN;
  std::string remoteHost_;
  std::string remoteAddress_ = kDefaultRemoteAddress;
  int remotePort_ = kDefaultRemotePort;
  std::string remoteService_;
  bool remoteTrace_ = false;
  std::string remoteUser_;
  std::string remotePassword_;
  int32_t maxDataBufferBytes_ = 16384;
  int32_t maxDataBufferCount_ = 8192;
  int32_t maxIndexBufferBytes_ = 16384;
  int32_t maxBlobBufferBytes_ = 32768;
  int32_t maxBlobBufferCount_ = 8192;
};

// The auto-named session among owner's components, or null. A component
// made in such an owner takes the session's name in its own constructor: the
// owner's insert notification comes while only the component base exists.
TRUDIRASession* AutoSessionOf(TComponent* owner);

// Holds a session's engine lock for a scope.
class TSessionLock {
 public:
  explicit TSessionLock(TRUDIRASession& session) : session_(session) { session_.LockSession(); }
  ~TSessionLock() { session_.UnlockSession(); }
  TSessionLock(const TSessionLock&) = delete;
  TSessionLock& operator=(const TSessionLock&) = delete;

 private:
  TRUDIRASession& session_;
};

}  // namespace rudira
