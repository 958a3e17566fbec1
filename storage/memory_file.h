// TMemoryFile: a table file of the in-memory directory, a growable buffer.
//
// The buffer grows in granules of kMemoryFileGranule bytes: a request for
// n >= 1 bytes allocates the next multiple of 4096 at or above n, keeps the
// old contents and zero-fills the new part; capacity never shrinks, except
// that a request for 0 bytes frees the buffer. Size() is the logical length,
// at most Capacity().
//
// A memory file stays listed in the file list with its contents after its
// last handle closes, so an in-memory table lives for the whole process until
// it is removed. Bytes between Size() and Capacity() are always zero, so a
// file that grows again (also after a truncation) reads zeros in its gap.
// Its byte-range locks are kept in the owner-less lock list of
// TAbstractFile.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "storage/abstract_file.h"

namespace rudira {

constexpr int32_t kMemoryFileGranule = 4096;

class TMemoryFile final : public TAbstractFile {
 public:
  explicit TMemoryFile(std::string fileName);
  ~TMemoryFile() override;

  bool IsMemory() const override { return true; }

  int64_t GetSize() override;  // Size()
  // Frees the buffer, sets the size to 0 and adds a handle.
  int32_t CreateNew() override;
  // Reading at a position outside [0, Size()) returns 0 bytes.
  int32_t Read(int32_t id, void* buffer, int32_t count) override;
  // Fails (-1) when the file would exceed 2^31 - 1 bytes or memory runs out.
  int32_t Write(int32_t id, const void* buffer, int32_t count) override;

  int64_t Size() const;
  int32_t Capacity() const;

 private:
  // Makes the buffer hold at least n bytes (granule rule above); n == 0 frees
  // it. False when memory cannot be had. REQUIRES: Guard() held, n >= 0.
  bool Reserve(int64_t n);

  std::unique_ptr<uint8_t[]> buffer_;  // the bytes; null when capacity is 0
  int32_t capacity_ = 0;               // bytes allocated
  int64_t size_ = 0;                   // logical length
};

}  // namespace rudira
