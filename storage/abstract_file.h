// TAbstractFile: one shared table file, on disk or in process memory.
//
// Every table file of the process (data, index, BLOB file) exists once as a
// TAbstractFile owned by the process-wide file list (storage/file_list.h).
// Each table, cursor or session that opens the file gets a logical handle on
// it: a small id with its own file position. All logical handles share the
// one underlying file (one operating-system descriptor for TPhysicalFile, one
// buffer for TMemoryFile).
//
// Positions, sizes and lock offsets are 64-bit. A position may be set to any
// value by Seek; reading at a position outside [0, size] returns no bytes,
// writing at a negative position fails.
//
// Locking: Guard() is a re-entrant mutex held by every operation below, so
// each operation is atomic. A caller that seeks and then reads or writes must
// hold Guard() across both (TFileHandler::BeginAccess/EndAccess), because
// another thread may move the same shared state in between. Lock order: the
// file list's guard first, then a file's guard; never the reverse.
//
// Return conventions (no operation raises; the handler above raises):
//   CreateNew/Open  -> new handle id (>= 1) or a negated engine error code;
//   Rename/Remove   -> 0 or a negated engine error code;
//   Read/Write      -> bytes transferred, -1 on an operating-system failure;
//   Seek/GetSize    -> the position/size, -1 on failure.
// After a negated code that came from the operating system, LastFileOSError()
// gives the errno of that failure (the raise passes it on as OSErrorCode).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace rudira {

// Seek origins.
constexpr int kSeekFromBeginning = 0;
constexpr int kSeekFromCurrent = 1;
constexpr int kSeekFromEnd = 2;

// One logical handle on a shared file.
struct HandleRecord {
  int32_t Id = 0;        // handle id, unique in the file object's life
  int64_t Position = 0;  // this handle's file position
};

// One locked byte range of a memory file: [Start, End], End inclusive.
struct LockRecord {
  int64_t Start = 0;
  int64_t End = 0;     // Start + Length - 1
  int64_t Length = 0;
};

// The errno recorded by the calling thread's most recent file-layer failure
// that came from (or stands for) an operating-system error; 0 if none.
int LastFileOSError();
// Records errnoValue as the calling thread's last file-layer failure.
void SetLastFileOSError(int errnoValue);

class TAbstractFile {
 public:
  // fileName: the name under which the file is listed (already trimmed).
  explicit TAbstractFile(std::string fileName);
  virtual ~TAbstractFile();

  TAbstractFile(const TAbstractFile&) = delete;
  TAbstractFile& operator=(const TAbstractFile&) = delete;

  // True for TMemoryFile.
  virtual bool IsMemory() const = 0;

  // List index of handle id in Handles(), or -1 (also when none is open).
  int IndexOfHandle(int32_t id) const;

  // Current size in bytes; -1 on failure.
  virtual int64_t GetSize() = 0;

  // Creates the file empty (discarding any contents) and adds a handle.
  // Returns the new handle id or a negated engine code.
  virtual int32_t CreateNew() = 0;

  // Adds a handle; the physical kind opens the operating-system file for the
  // first handle (using Exclusive() and Temporary()) and sets ReadOnly() and
  // ReadOnlyAttribute(). Returns the new handle id or a negated engine code.
  virtual int32_t Open();

  // Removes handle id. The physical kind closes the operating-system file
  // with the last handle (a temporary file is then deleted). Returns 0, or
  // -RUDIRA_OSEBADF for an id that is not open.
  virtual int32_t Close(int32_t id);

  // Renames the file to newName and lists it under that name.
  // REQUIRES: no handle is open.
  virtual int32_t Rename(const std::string& newName);

  // Deletes the file (the physical kind deletes the operating-system file).
  // REQUIRES: no handle is open.
  virtual int32_t Remove();

  // Reads up to count bytes at handle id's position into buffer and advances
  // the position by the bytes read. Returns the bytes read (fewer than count
  // only at the end of the file), or -1 for an unknown id or an
  // operating-system failure. REQUIRES: count >= 0.
  virtual int32_t Read(int32_t id, void* buffer, int32_t count) = 0;

  // Writes count bytes at handle id's position and advances the position;
  // the file grows as needed (a gap is zero-filled). A count of 0 sets the end
  // of the file at the position (truncating or extending). Returns count on
  // success, else -1. REQUIRES: count >= 0.
  virtual int32_t Write(int32_t id, const void* buffer, int32_t count) = 0;

  // Forces written data to stable storage; true on success.
  virtual bool Flush();

  // Sets handle id's position to offset relative to origin (kSeekFrom*) and
  // returns it. A result below 0, an unknown id or origin, or an overflow
  // fails: -1 is returned and the position becomes -1, so that a following
  // read or write fails instead of using a stale position.
  virtual int64_t Seek(int32_t id, int origin, int64_t offset);

  // Locks the byte range [offset, offset + length - 1] without waiting. A
  // range overlapping one already locked in this process is refused, even
  // when locked through the same handle (locks have no owner); the physical
  // kind is also refused by other processes' locks. REQUIRES: length >= 1,
  // offset >= 0.
  virtual bool Lock(int64_t length, int64_t offset);

  // Unlocks the range locked with exactly this offset and length; fails (and
  // leaves every lock) when there is none.
  virtual bool Unlock(int64_t length, int64_t offset);

  // The file's guard, held by every operation above; re-entrant.
  std::recursive_mutex& Guard() const { return guard_; }

  const std::string& FileName() const { return fileName_; }
  void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }

  // Sharing and attribute flags; the first opener's values hold for all
  // later handles. The file list sets Exclusive and Temporary before the
  // first Open/CreateNew; Open sets ReadOnly and ReadOnlyAttribute.
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value) { exclusive_ = value; }
  bool ReadOnly() const { return readOnly_; }
  bool ReadOnlyAttribute() const { return readOnlyAttribute_; }
  bool Temporary() const { return temporary_; }
  void SetTemporary(bool value) { temporary_ = value; }

  // Number of open logical handles.
  uint16_t OpenCount() const;
  // The last handle id issued (0 before the first).
  int32_t NextHandleId() const;
  // The byte ranges currently locked through Lock() (memory kind; the
  // physical kind keeps its ranges in the process-wide lock registry).
  std::vector<LockRecord> Locks() const;

 protected:
  // Appends a handle record at position 0 with the next id. Returns the id,
  // or -RUDIRA_OSEMFILE when 65535 handles are open or the ids are exhausted.
  // REQUIRES: Guard() held.
  int32_t AddHandle();
  // The handle record of id, or nullptr. REQUIRES: Guard() held.
  HandleRecord* FindHandle(int32_t id);

  void SetReadOnly(bool value) { readOnly_ = value; }
  void SetReadOnlyAttribute(bool value) { readOnlyAttribute_ = value; }

  std::vector<HandleRecord>& Handles() { return handles_; }
  std::vector<LockRecord>& LockList() { return locks_; }

 private:
  mutable std::recursive_mutex guard_;  // serialises every operation
  bool exclusive_ = false;              // opened without sharing
  bool readOnly_ = false;               // could only be opened for reading
  bool readOnlyAttribute_ = false;      // carries the read-only attribute
  bool temporary_ = false;              // temporary: deleted on last close
  std::string fileName_;                // name under which it is listed
  std::vector<LockRecord> locks_;       // ranges locked in a memory file
  std::vector<HandleRecord> handles_;   // one per open logical handle
  int32_t nextHandleId_ = 0;            // last id issued; never reused
};

}  // namespace rudira
