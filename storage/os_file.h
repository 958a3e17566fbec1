// The Linux platform layer for table files.
//
// The engine's files were defined against a platform with share modes and
// mandatory byte-range locks. Here:
//
// - I/O is positioned (pread/pwrite) with 64-bit offsets; the file layer
//   keeps one position per logical handle, the descriptor's offset is unused.
// - Share modes: every open holds an open-file-description lock on the
//   reserved byte kShareLockOffset: a write lock for exclusive use (and for
//   create), a read lock for shared use. A conflict is a sharing violation:
//   the call fails with errno EACCES. Because these locks belong to the open
//   file description, two opens in one process conflict exactly as two
//   processes do.
// - Byte-range locks: F_OFD_SETLK write locks, never waiting. The
//   process-wide registry (storage/os_lock_registry.h) first refuses a range
//   that overlaps one this process already holds on the same file, so a
//   locked range cannot be locked again, even through the same descriptor.
// - A descriptor opened for reading only cannot hold write locks, so such a
//   file takes its locks through a second descriptor opened for writing only
//   when the process may write it; otherwise it falls back to read locks,
//   which still exclude every writer-locked range of other users.
// - The read-only attribute is a mode without any write bit (never access():
//   the engine may run as root).
// - Names: a "\" in a file name is a directory separator and becomes "/".
// - Descriptors are close-on-exec, but a forked child shares its parent's
//   open file descriptions, and so their locks, until it closes them or ends.
//
// Every failing call returns false (or -1) with errno set to the cause.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace rudira {

// The reserved share-mode byte: 2^40, far beyond any data and beyond the
// lock bytes of the table protocol (which lie below 2^32).
constexpr int64_t kShareLockOffset = int64_t{1} << 40;

enum class TOsAccess { kRead, kReadWrite };
enum class TOsShare { kExclusive, kShared };

// What a stat of a name found.
struct OsFileAttributes {
  bool ReadOnly = false;     // no write bit in the mode
  bool Directory = false;
  int64_t Size = 0;
  int64_t LastWriteTime = 0;  // seconds since 1970-01-01 UTC
};

// The name with every "\" turned into "/".
std::string OsNativePath(std::string_view name);

// Reads the attributes of name; false with errno set when it cannot be had.
bool OsGetAttributes(std::string_view name, OsFileAttributes& attributes);

// Moves from to to without replacing an existing to (EEXIST). Fails with
// EACCES while any process (this one included) holds from open.
bool OsRenameFile(std::string_view from, std::string_view to);

// Deletes name. Fails with EACCES while any process holds it open.
bool OsDeleteFile(std::string_view name);

// Whether some open file description (of any process) holds name open
// through the share-mode byte. False also when name cannot be opened.
bool OsFileInUse(std::string_view name);

// One open operating-system file with its share-mode lock.
class TOsFile {
 public:
  TOsFile() = default;
  ~TOsFile();  // Close()

  TOsFile(const TOsFile&) = delete;
  TOsFile& operator=(const TOsFile&) = delete;

  // Opens an existing file. deleteOnClose: the file is deleted when this
  // object closes it, unless another open still holds it.
  // REQUIRES: !IsOpen().
  bool OpenExisting(std::string_view name, TOsAccess access, TOsShare share, bool deleteOnClose);

  // Creates name empty, or empties an existing file, for read/write without
  // sharing. The existing file is emptied only after the exclusive share lock
  // is held; an existing file with the read-only attribute fails with EACCES.
  // REQUIRES: !IsOpen().
  bool CreateAlways(std::string_view name);

  bool IsOpen() const { return fd_ >= 0; }
  bool Writable() const { return access_ == TOsAccess::kReadWrite; }
  const std::string& Path() const { return path_; }

  // Releases every lock and the descriptor(s); deletes a delete-on-close file
  // no other open holds. Keeps errno.
  void Close();

  // Reads up to count bytes at offset (fewer only at the end of the file).
  // Returns the bytes read or -1.
  int64_t ReadAt(void* buffer, int64_t count, int64_t offset);
  // Writes all count bytes at offset; returns count or -1.
  int64_t WriteAt(const void* buffer, int64_t count, int64_t offset);
  // Sets the end of the file at size.
  bool Truncate(int64_t size);
  // Current size or -1.
  int64_t Size();
  // fsync.
  bool Sync();

  // Locks [offset, offset + length - 1] without waiting. Fails with EAGAIN
  // when this process or another holds an overlapping range, EINVAL for an
  // empty or negative range or one touching kShareLockOffset.
  bool LockRange(int64_t offset, int64_t length);
  // Unlocks the range locked by this object with exactly offset and length;
  // fails with ENOLCK (and changes nothing) when there is none.
  bool UnlockRange(int64_t offset, int64_t length);

 private:
  bool TakeShareLock(TOsShare share);
  // The descriptor that holds locks: fd_ or the write-only companion.
  int LockDescriptor() const { return lockFd_ >= 0 ? lockFd_ : fd_; }
  bool CanWriteLock() const { return Writable() || lockFd_ >= 0; }

  int fd_ = -1;                          // the I/O descriptor
  int lockFd_ = -1;                      // write-only companion for locks, or -1
  TOsAccess access_ = TOsAccess::kRead;  // access of fd_
  bool deleteOnClose_ = false;           // delete the file at Close
  dev_t device_ = 0;                     // identity of the open file
  ino_t inode_ = 0;                      //   (key of the lock registry)
  std::string path_;                     // native path as opened
};

}  // namespace rudira
