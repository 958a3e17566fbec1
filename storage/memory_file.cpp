#include "storage/memory_file.h"

#include <cstring>
#include <limits>
#include <new>

namespace rudira {

TMemoryFile::TMemoryFile(std::string fileName) : TAbstractFile(std::move(fileName)) {}

TMemoryFile::~TMemoryFile() = default;

int64_t TMemoryFile::GetSize() { return Size(); }

int64_t TMemoryFile::Size() const {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  return size_;
}

int32_t TMemoryFile::Capacity() const {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  return capacity_;
}

int32_t TMemoryFile::CreateNew() {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  Reserve(0);
  size_ = 0;
  return AddHandle();
}

bool TMemoryFile::Reserve(int64_t n) {
  if (n == 0) {
    buffer_.reset();
    capacity_ = 0;
    return true;
  }
  if (n <= capacity_) return true;
  int64_t granules = (n + kMemoryFileGranule - 1) / kMemoryFileGranule;
  int64_t wanted = granules * kMemoryFileGranule;
  if (wanted > std::numeric_limits<int32_t>::max()) return false;
  std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[static_cast<size_t>(wanted)]);
  if (!grown) return false;
  if (capacity_ > 0) std::memcpy(grown.get(), buffer_.get(), static_cast<size_t>(capacity_));
  std::memset(grown.get() + capacity_, 0, static_cast<size_t>(wanted - capacity_));
  buffer_ = std::move(grown);
  capacity_ = static_cast<int32_t>(wanted);
  return true;
}

int32_t TMemoryFile::Read(int32_t id, void* buffer, int32_t count) {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  HandleRecord* handle = FindHandle(id);
  if (handle == nullptr || count < 0) return -1;
  if (handle->Position < 0 || handle->Position >= size_) return 0;
  int64_t n = std::min<int64_t>(count, size_ - handle->Position);
  std::memcpy(buffer, buffer_.get() + handle->Position, static_cast<size_t>(n));
  handle->Position += n;
  return static_cast<int32_t>(n);
}

int32_t TMemoryFile::Write(int32_t id, const void* buffer, int32_t count) {
  std::lock_guard<std::recursive_mutex> hold(Guard());
  HandleRecord* handle = FindHandle(id);
  if (handle == nullptr || count < 0 || handle->Position < 0) return -1;
  if (count == 0) {
    // The end of the file moves to the position. Bytes cut off are cleared
    // so that a later extension reads zeros, as a disk file would.
    if (handle->Position < size_) {
      std::memset(buffer_.get() + handle->Position, 0,
                  static_cast<size_t>(size_ - handle->Position));
    }
    if (!Reserve(handle->Position)) return -1;
    size_ = handle->Position;
    return 0;
  }
  int64_t end = handle->Position + count;
  if (end > size_) {
    if (!Reserve(end)) return -1;
    size_ = end;
  }
  std::memcpy(buffer_.get() + handle->Position, buffer, static_cast<size_t>(count));
  handle->Position = end;
  return count;
}

}  // namespace rudira
