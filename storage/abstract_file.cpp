#include "storage/abstract_file.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include "engine/error_codes.h"

namespace rudira {

namespace {

thread_local int tLastFileOSError = 0;

// Whether [offset, offset + length - 1] is a lockable range.
bool ValidRange(int64_t length, int64_t offset) {
  return length >= 1 && offset >= 0 && offset <= std::numeric_limits<int64_t>::max() - length;
}

}  // namespace

int LastFileOSError() { return tLastFileOSError; }

void SetLastFileOSError(int errnoValue) { tLastFileOSError = errnoValue; }

TAbstractFile::TAbstractFile(std::string fileName) : fileName_(std::move(fileName)) {}

TAbstractFile::~TAbstractFile() = default;

int TAbstractFile::IndexOfHandle(int32_t id) const {
  std::lock_guard<std::recursive_mutex> hold(guard_);
  for (size_t i = 0; i < handles_.size(); ++i) {
    if (handles_[i].Id == id) return static_cast<int>(i);
  }
  return -1;
}

int32_t TAbstractFile::Open() {
  std::lock_guard<std::recursive_mutex> hold(guard_);
  return AddHandle();
}

int32_t TAbstractFile::Close(int32_t id) {
  std::lock_guard<std::recursive_mutex> hold(guard_);
  int index = IndexOfHandle(id);
  if (index < 0) {
    SetLastFileOSError(EBADF);
    return -RUDIRA_OSEBADF;
  }
  handles_.erase(handles_.begin() + index);
  return 0;
}

int32_t TAbstractFile::Rename(const std::string& newName) {
  std::lock_guard<std::recursive_mutex> hold(guard_);
  fileName_ = newName;
  return 0;
}

int32_t TAbstractFile::Remove() { return 0; }

bool TAbstractFile::Flush() { return true; }

int64_t TAbstractFile::Seek(int32_t id, int origin, int64_t offset) {
  std::lock_guard<std::recursive_mutex> hold(guard_);
  HandleRecord* handle = FindHandle(id);
  if (handle == nullptr) return -1;
  int64_t base;
  switch (origin) {
    case kSeekFromBeginning:
      base = 0;
      break;
    case kSeekFromCurrent:
      base = handle->Position;
      break;
    case kSeekFromEnd:
      base = GetSize();
      break;
    default:
      base = -1;
      break;
  }
  int64_t position;
  if (base < 0 || __builtin_add_overflow(base, offset, &position) || position < 0) {
    handle->Position = -1;
    return -1;
  }
  handle->Position = position;
  return position;
}

bool TAbstractFile::Lock(int64_t length, int64_t offset) {
  if (!ValidRange(length, offset)) return false;
  std::lock_guard<std::recursive_mutex> hold(guard_);
  int64_t end = offset + length - 1;
  for (const LockRecord& lock : locks_) {
    bool startInside = offset >= lock.Start && offset <= lock.End;
    bool otherStartInside = lock.Start >= offset && lock.Start <= end;
    if (startInside || otherStartInside) return false;
  }
  locks_.push_back({offset, end, length});
  return true;
}

bool TAbstractFile::Unlock(int64_t length, int64_t offset) {
  std::lock_guard<std::recursive_mutex> hold(guard_);
  auto it = std::find_if(locks_.begin(), locks_.end(), [&](const LockRecord& lock) {
    return lock.Start == offset && lock.Length == length;
  });
  if (it == locks_.end()) return false;
  locks_.erase(it);
  return true;
}

uint16_t TAbstractFile::OpenCount() const {
  std::lock_guard<std::recursive_mutex> hold(guard_);
  return static_cast<uint16_t>(handles_.size());
}

int32_t TAbstractFile::NextHandleId() const {
  std::lock_guard<std::recursive_mutex> hold(guard_);
  return nextHandleId_;
}

std::vector<LockRecord> TAbstractFile::Locks() const {
  std::lock_guard<std::recursive_mutex> hold(guard_);
  return locks_;
}

int32_t TAbstractFile::AddHandle() {
  if (handles_.size() >= std::numeric_limits<uint16_t>::max() ||
      nextHandleId_ == std::numeric_limits<int32_t>::max()) {
    SetLastFileOSError(EMFILE);
    return -RUDIRA_OSEMFILE;
  }
  ++nextHandleId_;
  handles_.push_back({nextHandleId_, 0});
  return nextHandleId_;
}

HandleRecord* TAbstractFile::FindHandle(int32_t id) {
  for (HandleRecord& handle : handles_) {
    if (handle.Id == id) return &handle;
  }
  return nullptr;
}

}  // namespace rudira
