// TPhysicalFile: a table file on disk.
//
// One operating-system file (TOsFile, storage/os_file.h) is shared by all
// logical handles; only the first Open touches the disk. Each handle keeps
// its own position and reads and writes at it with positioned I/O, so the
// descriptor's own offset is never used. Reads and writes are unbuffered
// here: caching is done above by the record, page and block pools.
//
// Sharing between processes: an exclusive open (and every create) holds a
// write lock, a shared open a read lock, on a reserved byte far beyond any
// data (kShareLockOffset), so an exclusive open in one process and any open
// in another conflict with RUDIRA_OSEACCES, as they do inside one process.
//
// Byte-range locks go to the operating system without waiting, after the
// process-wide lock registry has refused any range that overlaps one already
// held in this process (storage/os_lock_registry.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "storage/abstract_file.h"

namespace rudira {

class TOsFile;

class TPhysicalFile final : public TAbstractFile {
 public:
  explicit TPhysicalFile(std::string fileName);
  ~TPhysicalFile() override;  // closes the operating-system file if open

  bool IsMemory() const override { return false; }

  // Size of the operating-system file; -1 on failure (or when not open).
  int64_t GetSize() override;
  // Create-always, read/write, no sharing; adds a handle.
  int32_t CreateNew() override;
  // First handle: reads the attributes (no write bit in the mode = read-only
  // attribute: opens for reading and sets ReadOnly and ReadOnlyAttribute),
  // opens the existing file with the access and sharing of Exclusive() and
  // ReadOnly(); if that fails and ReadOnly was not set, retries for reading
  // only and sets ReadOnly. A temporary file is opened delete-on-close.
  // Later handles only add a handle record.
  int32_t Open() override;
  int32_t Close(int32_t id) override;
  // Moves the file on disk; fails if newName exists or another process has
  // the file open. REQUIRES: no handle open.
  int32_t Rename(const std::string& newName) override;
  // Deletes the file on disk; fails if another process has it open.
  // REQUIRES: no handle open.
  int32_t Remove() override;
  int32_t Read(int32_t id, void* buffer, int32_t count) override;
  int32_t Write(int32_t id, const void* buffer, int32_t count) override;
  bool Flush() override;
  bool Lock(int64_t length, int64_t offset) override;
  bool Unlock(int64_t length, int64_t offset) override;

  // The shared operating-system file; null while no handle is open.
  TOsFile* OSHandle() const { return osHandle_.get(); }

 private:
  std::unique_ptr<TOsFile> osHandle_;  // shared by all logical handles
};

}  // namespace rudira
