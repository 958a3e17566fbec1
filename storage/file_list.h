// TFileList: the process-wide list of shared table files (GlobalFileList()).
//
// All tables of the process find their files here, so the same file opened
// by several cursors, sessions or tables is one TAbstractFile (one
// operating-system descriptor) with several logical handles. The list owns
// every listed file object.
//
// A file is found by kind (memory or physical) and by name; names are
// trimmed of leading and trailing blanks and compared without regard to case.
//
// Sharing rules kept here (all yield -RUDIRA_OSEACCES, "Access denied"):
// a listed file with open handles cannot be created, renamed or removed, and
// is shared by a second open only if neither its first opener nor the new one
// asked for exclusive use. Names unknown to the memory kind yield
// -RUDIRA_OSENOENT.
//
// Every operation returns a negated engine code instead of raising; after one
// LastFileOSError() gives the errno that stands for it (storage/abstract_file.h).
//
// Concurrency: every operation holds the list's guard for its whole run
// (including a whole copy) and takes a file's guard inside it; never call
// into the list while holding a file's guard.
//
// Lifetime: a physical file is listed from its first successful create or
// open until its last close; a memory file from its first create until it is
// removed. The list frees every listed file when the process ends.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "storage/abstract_file.h"

namespace rudira {

// Progress report of a long operation: percent done, 0 to 100.
using TProgressCallback = void (*)(void* userData, int percent);

// Bytes moved per chunk by CopyTo and CopyFrom.
constexpr int32_t kCopyChunkSize = 65536;

// The result of a successful open: the shared file, the new handle id and
// the flags the first opener's open found.
struct FileOpenResult {
  TAbstractFile* File = nullptr;
  int32_t Handle = 0;            // handle id, or a negated engine code
  bool ReadOnly = false;
  bool ReadOnlyAttribute = false;
};

class TFileList {
 public:
  TFileList();
  ~TFileList();  // frees every listed file

  TFileList(const TFileList&) = delete;
  TFileList& operator=(const TFileList&) = delete;

  // Creates the file empty and exclusively. A listed file of that kind and
  // name with open handles fails with -RUDIRA_OSEACCES; one without open
  // handles is reused; otherwise a new file object is made and listed only
  // if its creation succeeds. result.Handle is the new id or a negated code.
  FileOpenResult CreateNew(std::string_view name, bool inMemory, bool temporary);

  // Opens the file: see the sharing rules above. A listed file without open
  // handles takes the new exclusive and temporary values. An unlisted memory
  // name fails with -RUDIRA_OSENOENT; an unlisted physical name is opened on
  // disk and listed only on success.
  FileOpenResult Open(std::string_view name, bool inMemory, bool temporary, bool exclusive);

  // Closes handle id of file. With the last handle a physical file is freed
  // and unlisted (a temporary one is deleted); a memory file stays listed with
  // its contents. Returns 0, or -RUDIRA_OSENOENT when file is not listed or
  // has no open handle, -RUDIRA_OSEBADF when id is not open on it.
  int32_t Close(TAbstractFile* file, bool inMemory, int32_t id);

  // Renames a closed file (listed or, for the physical kind, only on disk).
  // Returns 0 or a negated code; -RUDIRA_OSEACCES when open, or when a memory
  // file named newName is already listed.
  int32_t Rename(std::string_view name, bool inMemory, std::string_view newName);

  // Removes a closed file; a removed memory file loses its contents.
  int32_t Remove(std::string_view name, bool inMemory);

  // Listed, or (physical kind only) a file that is not a directory exists on
  // disk under that name.
  bool Exists(std::string_view name, bool inMemory);

  // Copies the whole of file (through its handle id) to a new file of the
  // same kind named name, created exclusively, in kCopyChunkSize chunks; with
  // compress each chunk is written zlib-compressed at level 9. callback, if
  // given, gets callback(userData, percent) after a chunk whenever the
  // percentage copied has risen by at least step since the last report. The
  // new file is closed at the end, also on failure. Returns 0 or a negated
  // code (-RUDIRA_READERR, -RUDIRA_WRITEERR, -RUDIRA_COMPRESS or the
  // create's code).
  int32_t CopyTo(TAbstractFile* file, int32_t id, std::string_view name, bool compress,
                 int step, TProgressCallback callback, void* userData);

  // Copies the file named name (of file's kind, opened exclusively) into
  // file from position 0, as CopyTo. The destination is not truncated: bytes
  // beyond the copied length keep their values.
  int32_t CopyFrom(TAbstractFile* file, int32_t id, std::string_view name, bool compress,
                   int step, TProgressCallback callback, void* userData);

  // Number of listed files (for tests and diagnostics).
  size_t Count() const;
  // The names of the listed memory files, which hold the tables of the
  // in-memory database (a memory file has no directory to list).
  std::vector<std::string> MemoryFileNames() const;

 private:
  // The listed file of that kind and trimmed name, or nullptr.
  // REQUIRES: guard_ held.
  TAbstractFile* Find(std::string_view trimmedName, bool inMemory) const;
  // Unlists and frees file. REQUIRES: guard_ held, file listed.
  void Unlist(TAbstractFile* file);
  bool IsListed(const TAbstractFile* file) const;
  // The copy loop shared by CopyTo and CopyFrom. REQUIRES: guard_ held.
  int32_t CopyChunks(TAbstractFile* source, int32_t sourceId, TAbstractFile* destination,
                     int32_t destinationId, bool compress, int step,
                     TProgressCallback callback, void* userData);

  mutable std::recursive_mutex guard_;                // held by every operation
  std::vector<std::unique_ptr<TAbstractFile>> files_;  // the listed files
};

// The one list of the process, created on first use, freed at process end.
TFileList& GlobalFileList();

// Name with leading and trailing blanks removed.
std::string_view TrimFileName(std::string_view name);
// Whether two file names are equal without regard to case (UTF-8).
bool SameFileName(std::string_view a, std::string_view b);

}  // namespace rudira
