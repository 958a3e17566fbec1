// TFileHandler: one table file as used by one table object.
//
// TDataFile, TIndexFile and TBlobFile derive from it; their Open/CreateNew/
// Close overrides call the inherited operation and then read or write their
// own header. The handler holds the file's name and one logical handle on the
// shared file in GlobalFileList(), and raises engine errors (with FileName()
// as the table name) where the list and the file return codes.
//
// Positioned I/O: all logical handles of a file share its state, so every
// caller brackets a Seek and the following ReadBuffer or WriteBuffer (and a
// header read-modify-write) with BeginAccess/EndAccess (or a TFileAccess),
// which hold the shared file's re-entrant guard. Do not open, create, close,
// rename, remove or copy while holding it: the list's guard comes first.
//
// States: closed (FileObject() null, Handle() 0) -> opened by Open or
// CreateNew -> closed by Close. The destructor closes an open handler without
// raising; a derived class that writes on close must call Close itself.
#pragma once

#include <cstdint>
#include <string>

#include "storage/abstract_file.h"
#include "storage/file_list.h"

namespace rudira {

class TFileHandler {
 public:
  TFileHandler();
  TFileHandler(std::string fileName, bool inMemory);
  virtual ~TFileHandler();

  TFileHandler(const TFileHandler&) = delete;
  TFileHandler& operator=(const TFileHandler&) = delete;

  // Opens the file with InMemory(), Temporary() and Exclusive(); sets
  // ReadOnly() and ReadOnlyAttribute() from what the open found. Does nothing
  // if already opened. Raises RUDIRA_OSENOENT if the file does not exist
  // (before any operating-system open), RUDIRA_OSEACCES on a sharing
  // conflict, else the mapped operating-system error.
  virtual void Open();
  // Releases the handle (if any) and marks the handler closed. Raises the
  // list's code after the handler is already closed.
  virtual void Close();
  // Creates the file empty and exclusively, and opens it. REQUIRES: closed.
  virtual void CreateNew();
  // Deletes the file. Raises RUDIRA_OSEACCES while it is open anywhere in
  // the process (or, for a disk file, in another process).
  virtual void Remove();
  // Renames the file; on success FileName() becomes newName.
  virtual void Rename(const std::string& newName);
  // Copies this file to a new file name of the same kind (see
  // TFileList::CopyTo). REQUIRES: opened.
  virtual void CopyTo(const std::string& name, bool compress, int step,
                      TProgressCallback callback, void* userData);
  // Copies the file name over this one from position 0, without truncating
  // (see TFileList::CopyFrom). REQUIRES: opened.
  virtual void CopyFrom(const std::string& name, bool compress, int step,
                        TProgressCallback callback, void* userData);
  // Reads up to count bytes at the handle's position. Raises RUDIRA_READERR
  // on failure, and when fewer than count bytes came back unless allowShort.
  // Returns the bytes read. REQUIRES: opened; BeginAccess held around the
  // Seek that placed the position.
  virtual int32_t ReadBuffer(void* buffer, int32_t count, bool allowShort);
  // Writes count bytes at the handle's position; raises RUDIRA_WRITEERR
  // unless all were written. A count of 0 sets the end of the file at the
  // position. REQUIRES: opened; BeginAccess held as for ReadBuffer.
  virtual void WriteBuffer(const void* buffer, int32_t count);
  // Forces written data to disk; raises RUDIRA_WRITEERR on failure.
  virtual void Flush();

  // Locks/unlocks [offset, offset + length - 1] without waiting; never
  // raises (false also when closed). Callers retry.
  bool LockRegion(int64_t length, int64_t offset);
  bool UnlockRegion(int64_t length, int64_t offset);
  // Moves the handle's position (origin kSeekFrom*) and returns it; -1 on
  // failure, after which reads and writes fail until the next good Seek.
  int64_t Seek(int origin, int64_t offset);
  // The file's size; the handle's position is kept. -1 on failure.
  int64_t FileSize();
  // Whether the file exists (listed, or on disk for the physical kind).
  bool Exists();
  // Enter/leave the shared file's guard. REQUIRES: opened.
  void BeginAccess();
  void EndAccess();

  bool InMemory() const { return inMemory_; }
  // REQUIRES: closed.
  void SetInMemory(bool value);
  TAbstractFile* FileObject() const { return fileObject_; }
  const std::string& FileName() const { return fileName_; }
  // REQUIRES: closed.
  void SetFileName(std::string fileName);
  int32_t Handle() const { return handle_; }
  bool Exclusive() const { return exclusive_; }
  // REQUIRES: closed.
  void SetExclusive(bool value);
  bool ReadOnly() const { return readOnly_; }
  bool ReadOnlyAttribute() const { return readOnlyAttribute_; }
  bool Opened() const { return opened_; }
  bool Temporary() const { return temporary_; }
  // REQUIRES: closed.
  void SetTemporary(bool value);

 protected:
  // Raises code (a positive engine code) with FileName() as the table name
  // and the errno of the failure as OSErrorCode.
  [[noreturn]] void RaiseFileError(uint16_t code) const;

 private:
  // Raises -result when result < 0.
  void CheckResult(int32_t result) const;
  // Releases the handle without raising; returns the list's result.
  int32_t CloseHandle();
  bool ChangeLock(bool lock, int64_t length, int64_t offset);

  bool inMemory_ = false;                // belongs to the in-memory directory
  TAbstractFile* fileObject_ = nullptr;  // the shared file while open; owned by the list
  std::string fileName_;                 // directory path, table name, extension
  int32_t handle_ = 0;                   // logical handle id; 0 when closed
  bool exclusive_ = false;               // open without sharing
  bool readOnly_ = false;                // could only be opened for reading
  bool readOnlyAttribute_ = false;       // carries the read-only attribute
  bool opened_ = false;                  // handler is open
  bool temporary_ = false;               // temporary: deleted on last close
};

// Holds a handler's file guard for a scope (BeginAccess .. EndAccess).
class TFileAccess {
 public:
  explicit TFileAccess(TFileHandler& handler) : handler_(handler) { handler_.BeginAccess(); }
  ~TFileAccess() { handler_.EndAccess(); }
  TFileAccess(const TFileAccess&) = delete;
  TFileAccess& operator=(const TFileAccess&) = delete;

 private:
  TFileHandler& handler_;
};

}  // namespace rudira
