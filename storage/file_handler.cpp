#include "storage/file_handler.h"

#include <cassert>
#include <cerrno>

#include "engine/errors.h"

namespace rudira {

TFileHandler::TFileHandler() = default;

TFileHandler::TFileHandler(std::string fileName, bool inMemory)
    : inMemory_(inMemory), fileName_(std::move(fileName)) {}

TFileHandler::~TFileHandler() {
  if (opened_) CloseHandle();
}

void TFileHandler::RaiseFileError(uint16_t code) const {
  RaiseEngineError(code, {.TableName = fileName_, .OSErrorCode = LastFileOSError()});
}

void TFileHandler::CheckResult(int32_t result) const {
  if (result < 0) RaiseFileError(static_cast<uint16_t>(-result));
}

void TFileHandler::Open() {
  if (opened_) return;
  // A missing file is reported before the operating system is asked to open
  // it, so that the error is the same on disk and in memory.
  if (!Exists()) {
    SetLastFileOSError(ENOENT);
    RaiseFileError(RUDIRA_OSENOENT);
  }
  FileOpenResult result = GlobalFileList().Open(fileName_, inMemory_, temporary_, exclusive_);
  CheckResult(result.Handle);
  fileObject_ = result.File;
  handle_ = result.Handle;
  readOnly_ = result.ReadOnly;
  readOnlyAttribute_ = result.ReadOnlyAttribute;
  opened_ = true;
}

void TFileHandler::CreateNew() {
  assert(!opened_ && "REQUIRES: closed");
  FileOpenResult result = GlobalFileList().CreateNew(fileName_, inMemory_, temporary_);
  CheckResult(result.Handle);
  fileObject_ = result.File;
  handle_ = result.Handle;
  readOnly_ = result.ReadOnly;
  readOnlyAttribute_ = result.ReadOnlyAttribute;
  opened_ = true;
}

int32_t TFileHandler::CloseHandle() {
  int32_t result = 0;
  if (handle_ != 0) result = GlobalFileList().Close(fileObject_, inMemory_, handle_);
  fileObject_ = nullptr;
  handle_ = 0;
  opened_ = false;
  return result;
}

void TFileHandler::Close() { CheckResult(CloseHandle()); }

void TFileHandler::Remove() { CheckResult(GlobalFileList().Remove(fileName_, inMemory_)); }

void TFileHandler::Rename(const std::string& newName) {
  CheckResult(GlobalFileList().Rename(fileName_, inMemory_, newName));
  fileName_ = newName;
}

void TFileHandler::CopyTo(const std::string& name, bool compress, int step,
                          TProgressCallback callback, void* userData) {
  if (!opened_) {
    SetLastFileOSError(EBADF);
    RaiseFileError(RUDIRA_OSEBADF);
  }
  CheckResult(
      GlobalFileList().CopyTo(fileObject_, handle_, name, compress, step, callback, userData));
}

void TFileHandler::CopyFrom(const std::string& name, bool compress, int step,
                            TProgressCallback callback, void* userData) {
  if (!opened_) {
    SetLastFileOSError(EBADF);
    RaiseFileError(RUDIRA_OSEBADF);
  }
  CheckResult(
      GlobalFileList().CopyFrom(fileObject_, handle_, name, compress, step, callback, userData));
}

int32_t TFileHandler::ReadBuffer(void* buffer, int32_t count, bool allowShort) {
  if (!opened_) {
    SetLastFileOSError(EBADF);
    RaiseFileError(RUDIRA_READERR);
  }
  int32_t n = fileObject_->Read(handle_, buffer, count);
  // A failure is never a short read, even where short reads are allowed.
  if (n < 0 || (n < count && !allowShort)) RaiseFileError(RUDIRA_READERR);
  return n;
}

void TFileHandler::WriteBuffer(const void* buffer, int32_t count) {
  if (!opened_) {
    SetLastFileOSError(EBADF);
    RaiseFileError(RUDIRA_WRITEERR);
  }
  if (fileObject_->Write(handle_, buffer, count) != count) RaiseFileError(RUDIRA_WRITEERR);
}

void TFileHandler::Flush() {
  if (!opened_) {
    SetLastFileOSError(EBADF);
    RaiseFileError(RUDIRA_WRITEERR);
  }
  if (!fileObject_->Flush()) RaiseFileError(RUDIRA_WRITEERR);
}

bool TFileHandler::ChangeLock(bool lock, int64_t length, int64_t offset) {
  if (!opened_) return false;
  return lock ? fileObject_->Lock(length, offset) : fileObject_->Unlock(length, offset);
}

bool TFileHandler::LockRegion(int64_t length, int64_t offset) {
  return ChangeLock(true, length, offset);
}

bool TFileHandler::UnlockRegion(int64_t length, int64_t offset) {
  return ChangeLock(false, length, offset);
}

int64_t TFileHandler::Seek(int origin, int64_t offset) {
  if (!opened_) return -1;
  return fileObject_->Seek(handle_, origin, offset);
}

int64_t TFileHandler::FileSize() {
  if (!opened_) return -1;
  TFileAccess access(*this);
  int64_t position = Seek(kSeekFromCurrent, 0);
  int64_t size = Seek(kSeekFromEnd, 0);
  Seek(kSeekFromBeginning, position);  // -1 stays -1: the position was bad before
  return size;
}

bool TFileHandler::Exists() { return GlobalFileList().Exists(fileName_, inMemory_); }

void TFileHandler::BeginAccess() {
  assert(opened_ && "REQUIRES: opened");
  if (fileObject_ != nullptr) fileObject_->Guard().lock();
}

void TFileHandler::EndAccess() {
  assert(opened_ && "REQUIRES: opened");
  if (fileObject_ != nullptr) fileObject_->Guard().unlock();
}

void TFileHandler::SetInMemory(bool value) {
  assert(!opened_ && "REQUIRES: closed");
  inMemory_ = value;
}

void TFileHandler::SetFileName(std::string fileName) {
  assert(!opened_ && "REQUIRES: closed");
  fileName_ = std::move(fileName);
}

void TFileHandler::SetExclusive(bool value) {
  assert(!opened_ && "REQUIRES: closed");
  exclusive_ = value;
}

void TFileHandler::SetTemporary(bool value) {
  assert(!opened_ && "REQUIRES: closed");
  temporary_ = value;
}

}  // namespace rudira
