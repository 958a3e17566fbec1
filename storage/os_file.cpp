#include "storage/os_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>

#include "storage/os_lock_registry.h"

namespace rudira {

namespace {

// Keeps errno over cleanup calls that may change it.
class TErrnoKeeper {
 public:
  TErrnoKeeper() : saved_(errno) {}
  ~TErrnoKeeper() { errno = saved_; }

 private:
  int saved_;
};

bool HasWriteBit(mode_t mode) { return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

// One-byte-or-more OFD lock request.
struct flock MakeLock(short type, int64_t offset, int64_t length) {
  struct flock request {};
  request.l_type = type;
  request.l_whence = SEEK_SET;
  request.l_start = static_cast<off_t>(offset);
  request.l_len = static_cast<off_t>(length);
  request.l_pid = 0;  // required for OFD locks
  return request;
}

bool SetLock(int fd, short type, int64_t offset, int64_t length) {
  struct flock request = MakeLock(type, offset, length);
  while (fcntl(fd, F_OFD_SETLK, &request) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// One SetLock call's arguments, for the lock registry's callbacks.
struct TLockCall {
  int Fd;
  short Type;
  int64_t Offset;
  int64_t Length;
};

bool SetLock(const TLockCall& call) { return SetLock(call.Fd, call.Type, call.Offset, call.Length); }

// Whether an open file description other than fd's holds any lock on the
// share byte.
bool ShareByteHeldElsewhere(int fd) {
  struct flock probe = MakeLock(F_WRLCK, kShareLockOffset, 1);
  if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

void CloseDescriptor(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace

std::string OsNativePath(std::string_view name) {
  std::string path(name);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

bool OsGetAttributes(std::string_view name, OsFileAttributes& attributes) {
  struct stat info {};
  if (::stat(OsNativePath(name).c_str(), &info) != 0) return false;
  attributes.ReadOnly = !HasWriteBit(info.st_mode);
  attributes.Directory = S_ISDIR(info.st_mode);
  attributes.Size = static_cast<int64_t>(info.st_size);
  attributes.LastWriteTime = static_cast<int64_t>(info.st_mtim.tv_sec);
  return true;
}

bool OsFileInUse(std::string_view name) {
  TErrnoKeeper keep;
  int fd = ::open(OsNativePath(name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  bool inUse = ShareByteHeldElsewhere(fd);
  ::close(fd);
  return inUse;
}

bool OsRenameFile(std::string_view from, std::string_view to) {
  std::string source = OsNativePath(from);
  std::string target = OsNativePath(to);
  if (OsFileInUse(source)) {
    errno = EACCES;
    return false;
  }
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system cannot refuse to replace by itself: check first.
  struct stat info {};
  if (::lstat(target.c_str(), &info) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(source.c_str(), target.c_str()) == 0;
}

bool OsDeleteFile(std::string_view name) {
  std::string path = OsNativePath(name);
  if (OsFileInUse(path)) {
    errno = EACCES;
    return false;
  }
  return ::unlink(path.c_str()) == 0;
}

TOsFile::~TOsFile() { Close(); }

bool TOsFile::OpenExisting(std::string_view name, TOsAccess access, TOsShare share,
                           bool deleteOnClose) {
  path_ = OsNativePath(name);
  int flags = (access == TOsAccess::kReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  fd_ = ::open(path_.c_str(), flags);
  if (fd_ < 0) return false;
  access_ = access;
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) errno = EISDIR;
    TErrnoKeeper keep;
    Close();
    return false;
  }
  device_ = info.st_dev;
  inode_ = info.st_ino;
  if (access == TOsAccess::kRead) {
    // Write locks need a descriptor open for writing; take one for the locks
    // alone if this process may have it.
    int companion = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (companion >= 0) {
      struct stat same {};
      if (::fstat(companion, &same) == 0 && same.st_dev == device_ && same.st_ino == inode_) {
        lockFd_ = companion;
      } else {
        ::close(companion);
      }
    }
  }
  if (!TakeShareLock(share)) {
    TErrnoKeeper keep;
    Close();
    return false;
  }
  deleteOnClose_ = deleteOnClose;
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  return true;
}

bool TOsFile::CreateAlways(std::string_view name) {
  path_ = OsNativePath(name);
  struct stat existing {};
  if (::stat(path_.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (!HasWriteBit(existing.st_mode)) {
      errno = EACCES;
      return false;
    }
  }
  bool created = true;
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ < 0 && errno == EEXIST) {
    created = false;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
  }
  if (fd_ < 0) return false;
  access_ = TOsAccess::kReadWrite;
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    TErrnoKeeper keep;
    Close();
    return false;
  }
  device_ = info.st_dev;
  inode_ = info.st_ino;
  // The contents of a file someone else holds open must survive: empty it
  // only once the exclusive share lock is ours.
  if (!TakeShareLock(TOsShare::kExclusive)) {
    TErrnoKeeper keep;
    if (created) ::unlink(path_.c_str());
    Close();
    return false;
  }
  if (!created && ::ftruncate(fd_, 0) != 0) {
    TErrnoKeeper keep;
    Close();
    return false;
  }
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  return true;
}

bool TOsFile::TakeShareLock(TOsShare share) {
  bool taken;
  if (share == TOsShare::kShared) {
    taken = SetLock(fd_, F_RDLCK, kShareLockOffset, 1);
  } else if (CanWriteLock()) {
    taken = SetLock(LockDescriptor(), F_WRLCK, kShareLockOffset, 1);
  } else {
    // Nobody here may write the file: a read lock keeps out every other
    // exclusive opener and every later create.
    taken = SetLock(fd_, F_RDLCK, kShareLockOffset, 1);
  }
  if (!taken && (errno == EAGAIN || errno == EACCES)) errno = EACCES;
  return taken;
}

void TOsFile::Close() {
  if (fd_ < 0) {
    CloseDescriptor(lockFd_);
    return;
  }
  TErrnoKeeper keep;
  TLockRegistry::Instance().ReleaseAll({device_, inode_}, this);
  // Closing the companion first drops its locks, so that a probe from fd_
  // sees only other opens.
  CloseDescriptor(lockFd_);
  if (deleteOnClose_) {
    struct stat info {};
    // Delete only the file this object opened, not one that took its name,
    // and only when no other open holds it.
    if (!ShareByteHeldElsewhere(fd_) && ::stat(path_.c_str(), &info) == 0 &&
        info.st_dev == device_ && info.st_ino == inode_) {
      ::unlink(path_.c_str());
    }
  }
  CloseDescriptor(fd_);
  deleteOnClose_ = false;
  device_ = 0;
  inode_ = 0;
}

int64_t TOsFile::ReadAt(void* buffer, int64_t count, int64_t offset) {
  if (offset < 0 || count < 0) {
    errno = EINVAL;
    return -1;
  }
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd_, bytes + done, static_cast<size_t>(count - done),
                        static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;  // end of file
    done += n;
  }
  return done;
}

int64_t TOsFile::WriteAt(const void* buffer, int64_t count, int64_t offset) {
  if (offset < 0 || count < 0 || offset > std::numeric_limits<int64_t>::max() - count) {
    errno = EINVAL;
    return -1;
  }
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(fd_, bytes + done, static_cast<size_t>(count - done),
                         static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += n;
  }
  return done;
}

bool TOsFile::Truncate(int64_t size) {
  if (size < 0) {
    errno = EINVAL;
    return false;
  }
  while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

int64_t TOsFile::Size() {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool TOsFile::Sync() {
  while (::fsync(fd_) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool TOsFile::LockRange(int64_t offset, int64_t length) {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  if (length < 1 || offset < 0 || offset > std::numeric_limits<int64_t>::max() - length ||
      (offset <= kShareLockOffset && kShareLockOffset < offset + length)) {
    errno = EINVAL;
    return false;
  }
  errno = EAGAIN;  // what an overlap inside the process reports
  // The kernel call is decided here and reaches the registry behind one
  // reference: a lambda capturing only that fits std::function's inline
  // storage, so a lock allocates nothing.
  const TLockCall call = CanWriteLock() ? TLockCall{LockDescriptor(), F_WRLCK, offset, length}
                                        : TLockCall{fd_, F_RDLCK, offset, length};
  return TLockRegistry::Instance().Acquire({device_, inode_}, this, offset, length, [&call] { return SetLock(call); });
}

bool TOsFile::UnlockRange(int64_t offset, int64_t length) {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  errno = ENOLCK;
  const TLockCall call{CanWriteLock() ? LockDescriptor() : fd_, F_UNLCK, offset, length};  // as in LockRange
  return TLockRegistry::Instance().Release({device_, inode_}, this, offset, length, [&call] { return SetLock(call); });
}

}  // namespace rudira
