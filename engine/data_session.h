// TDataSession: the root of the storage engine for one user context. It owns
// the open databases (one TDataDirectory per directory key, with a reference
// count), the passwords offered for encrypted tables, the private directory
// for temporary files and the settings of locking, change detection, buffer
// sizes and progress reporting, which its databases hand to their tables.
//
// Directory texts use "\" as separator ("/" is turned into "\"); they are
// trimmed and end with "\" but are never expanded, so a relative directory
// is resolved against the process's current directory at each file open.
//
// Invariants: a directory key is listed at most once (trimmed, compared
// without regard to case); a database is freed when its count reaches 0; a
// password is listed at most once (compared with regard to case).
//
// Concurrency: used by one thread at a time; takes no lock of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/table_directory.h"

namespace rudira {

class TDataSession {
 public:
  explicit TDataSession(bool serverSide = false);
  // Removes the passwords and frees every database still open, whatever its
  // count.
  ~TDataSession();
  TDataSession(const TDataSession&) = delete;
  TDataSession& operator=(const TDataSession&) = delete;

  // The trimmed text with "/" as "\" and a trailing "\" (empty stays empty).
  static std::string NormalizeDirectory(const std::string& directory);

  // The database for (name, directory) with its count raised by one. The
  // key: for "Memory" (any case) the normalized directory or empty, else the
  // normalized directory or the current directory at creation.
  TDataDirectory* OpenDatabase(const std::string& databaseName, const std::string& directory);
  // Lowers the count; frees the database at 0. Unknown databases are ignored.
  void CloseDatabase(TDataDirectory* database);
  const std::vector<std::unique_ptr<TDataDirectory>>& Databases() const { return databases_; }

  // --- passwords ---
  void AddPassword(const std::string& password);
  void RemovePassword(const std::string& password);
  void RemoveAllPasswords() { passwords_.clear(); }
  bool HasPassword(const std::string& password) const;
  const std::vector<std::string>& Passwords() const { return passwords_; }

  // The password request. A cursor that opens an encrypted table whose
  // password is not listed calls RequestPassword() and asks HasPassword
  // again while the answer is true; false means the caller gave up (the open
  // then fails with 10498). The session component installs its request here;
  // without a callback the answer is false.
  using PasswordCallback = std::function<bool()>;
  void SetPasswordCallback(PasswordCallback callback) { passwordCallback_ = std::move(callback); }
  bool RequestPassword() { return passwordCallback_ ? passwordCallback_() : false; }

  // --- directories ---
  const std::string& CurrentDirectory() const { return currentDirectory_; }
  const std::string& PrivateDir() const { return privateDirectory_; }
  void SetPrivateDir(const std::string& directory);
  // The private directory, or the current directory when it is empty.
  const std::string& EffectivePrivateDir() const;

  // --- settings ---
  bool ServerSide() const { return serverSide_; }
  uint16_t ProgressSteps() const { return progressSteps_; }
  void SetProgressSteps(uint16_t value) { progressSteps_ = value; }
  // 100 div ProgressSteps, or 100 for 0 steps.
  int ProgressStep() const { return progressSteps_ == 0 ? 100 : 100 / progressSteps_; }
  bool ForceBufferFlush() const { return settings_.ForceBufferFlush; }
  void SetForceBufferFlush(bool value) { settings_.ForceBufferFlush = value; }
  bool StrictChangeDetection() const { return settings_.StrictChangeDetection; }
  void SetStrictChangeDetection(bool value) { settings_.StrictChangeDetection = value; }
  uint8_t LockRetryCount() const { return settings_.LockRetryCount; }
  void SetLockRetryCount(uint8_t value) { settings_.LockRetryCount = value; }
  uint16_t LockWaitTime() const { return settings_.LockWaitTime; }
  void SetLockWaitTime(uint16_t value) { settings_.LockWaitTime = value; }
  // 0 pessimistic, 1 optimistic.
  uint8_t LockProtocol() const { return lockProtocol_; }
  void SetLockProtocol(uint8_t value) { lockProtocol_ = value; }
  // The remote mode is not supported: the flag is kept for the component
  // layer, which refuses remote sessions; it never changes how this session
  // works.
  bool Remote() const { return remote_; }
  void SetRemote(bool value) { remote_ = value; }

  int32_t MaxDataBufferBytes() const { return settings_.DataBuffers.MaxBytes; }
  void SetMaxDataBufferBytes(int32_t value) { settings_.DataBuffers.MaxBytes = value; }
  int32_t MaxDataBufferCount() const { return settings_.DataBuffers.MaxCount; }
  void SetMaxDataBufferCount(int32_t value) { settings_.DataBuffers.MaxCount = value; }
  int32_t MaxIndexBufferBytes() const { return settings_.IndexBufferBytes; }
  void SetMaxIndexBufferBytes(int32_t value) { settings_.IndexBufferBytes = value; }
  int32_t MaxBlobBufferBytes() const { return settings_.BlobBuffers.MaxBytes; }
  void SetMaxBlobBufferBytes(int32_t value) { settings_.BlobBuffers.MaxBytes = value; }
  int32_t MaxBlobBufferCount() const { return settings_.BlobBuffers.MaxCount; }
  void SetMaxBlobBufferCount(int32_t value) { settings_.BlobBuffers.MaxCount = value; }

  // The settings every table of this session works with.
  const TableSettings& Settings() const { return settings_; }

 private:
  bool serverSide_;                                       // serves remote clients
  std::vector<std::unique_ptr<TDataDirectory>> databases_;  // open databases
  std::string currentDirectory_;                          // at creation, normalized
  std::string privateDirectory_;                          // normalized, or empty
  uint16_t progressSteps_ = 20;                           // progress events per long operation
  std::vector<std::string> passwords_;                    // offered passwords
  PasswordCallback passwordCallback_;                     // asked for more passwords, or empty
  uint8_t lockProtocol_ = 0;                              // pessimistic
  bool remote_ = false;                                   // remote mode (unsupported)
  TableSettings settings_;                                // locks, change detection, buffers,
                                                          // effective private directory
};

}  // namespace rudira
