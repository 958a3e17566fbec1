#include "storage/physical_file.h"

#include <cerrno>

#include "engine/errors.h"
#include "storage/os_file.h"

namespace rudira {

namespace {

// Records the current errno as the failure and returns its negated code.
int32_t OSFailure() {
  int error = errno;
  SetLastFileOSError(error);
  return -static_cast<int32_t>(OSErrorToEngineCode(error));
}

}  // namespace

TPhysicalFile::TPhysicalFile(std::string fileName) : TAbstractFile(std::move(fileName)) {}

TPhysicalFile::~TPhysicalFile() = default;

int64_t TPhysicalFile::GetSize() {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  if (!osHandle_) return -1;
  int64_t size = osHandle_->Size();
  if (size < 0) SetLastFileOSError(errno);
  return size;
}

int32_t TPhysicalFile::CreateNew() {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  if (osHandle_) {
    // Another handle still uses the file; the list never asks for this.
    SetLastFileOSError(EACCES);
    return -RUDIRA_OSEACCES;
  }
  auto file = std::make_unique<TOsFile>();
  if (!file->CreateAlways(FileName())) return OSFailure();
  SetReadOnly(false);
  SetReadOnlyAttribute(false);
  int32_t id = AddHandle();
  if (id < 0) return id;
  osHandle_ = std::move(file);
  return id;
}

int32_t TPhysicalFile::Open() {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  if (osHandle_) return AddHandle();
  SetReadOnlyAttribute(false);
  SetReadOnly(false);
  OsFileAttributes attributes;
  if (!OsGetAttributes(FileName(), attributes)) return OSFailure();
  if (attributes.ReadOnly) {
    SetReadOnly(true);
    SetReadOnlyAttribute(true);
  }
  TOsShare share = Exclusive() ? TOsShare::kExclusive : TOsShare::kShared;
  auto file = std::make_unique<TOsFile>();
  TOsAccess access = ReadOnly() ? TOsAccess::kRead : TOsAccess::kReadWrite;
  if (!file->OpenExisting(FileName(), access, share, Temporary())) {
    if (ReadOnly()) return OSFailure();
    if (!file->OpenExisting(FileName(), TOsAccess::kRead, share, Temporary())) return OSFailure();
    SetReadOnly(true);
  }
  int32_t id = AddHandle();
  if (id < 0) return id;
  osHandle_ = std::move(file);
  return id;
}

int32_t TPhysicalFile::Close(int32_t id) {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  int32_t result = TAbstractFile::Close(id);
  if (result == 0 && Handles().empty() && osHandle_) {
    osHandle_->Close();
    osHandle_.reset();
  }
  return result;
}

int32_t TPhysicalFile::Rename(const std::string& newName) {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  if (!OsRenameFile(FileName(), newName)) return OSFailure();
  SetFileName(newName);
  return 0;
}

int32_t TPhysicalFile::Remove() {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  if (!OsDeleteFile(FileName())) return OSFailure();
  return 0;
}

int32_t TPhysicalFile::Read(int32_t id, void* buffer, int32_t count) {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  HandleRecord* handle = FindHandle(id);
  if (handle == nullptr || !osHandle_ || count < 0) {
    SetLastFileOSError(EBADF);
    return -1;
  }
  int64_t n = osHandle_->ReadAt(buffer, count, handle->Position);
  if (n < 0) {
    SetLastFileOSError(errno);
    return -1;
  }
  handle->Position += n;
  return static_cast<int32_t>(n);
}

int32_t TPhysicalFile::Write(int32_t id, const void* buffer, int32_t count) {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  HandleRecord* handle = FindHandle(id);
  if (handle == nullptr || !osHandle_ || count < 0) {
    SetLastFileOSError(EBADF);
    return -1;
  }
  if (!osHandle_->Writable()) {
    SetLastFileOSError(EBADF);
    return -1;
  }
  if (count == 0) {
    if (!osHandle_->Truncate(handle->Position)) {
      SetLastFileOSError(errno);
      return -1;
    }
    return 0;
  }
  if (osHandle_->WriteAt(buffer, count, handle->Position) != count) {
    SetLastFileOSError(errno);
    return -1;
  }
  handle->Position += count;
  return count;
}

bool TPhysicalFile::Flush() {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  if (!osHandle_ || !osHandle_->Sync()) {
    SetLastFileOSError(osHandle_ ? errno : EBADF);
    return false;
  }
  return true;
}

bool TPhysicalFile::Lock(int64_t length, int64_t offset) {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  return osHandle_ && osHandle_->LockRange(offset, length);
}

bool TPhysicalFile::Unlock(int64_t length, int64_t offset) {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  return osHandle_ && osHandle_->UnlockRange(offset, length);
}

}  // namespace rudira
