#include "storage/file_list.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "engine/error_codes.h"
#include "storage/memory_file.h"
#include "storage/os_file.h"
#include "storage/physical_file.h"

namespace rudira {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// A negated code for a conflict or unknown name found by the list itself,
// with the errno that stands for it.
FileOpenResult Refused(uint16_t code, int errnoValue) {
  SetLastFileOSError(errnoValue);
  FileOpenResult result;
  result.Handle = -static_cast<int32_t>(code);
  return result;
}

int32_t RefusedCode(uint16_t code, int errnoValue) {
  SetLastFileOSError(errnoValue);
  return -static_cast<int32_t>(code);
}

std::unique_ptr<TAbstractFile> MakeFile(std::string_view name, bool inMemory) {
  if (inMemory) return std::make_unique<TMemoryFile>(std::string(name));
  return std::make_unique<TPhysicalFile>(std::string(name));
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Runs a closing action when the scope ends (also when a callback throws).
template <typename F>
class TScopeExit {
 public:
  explicit TScopeExit(F action) : action_(std::move(action)) {}
  ~TScopeExit() { action_(); }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  F action_;
};

}  // namespace

std::string_view TrimFileName(std::string_view name) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!name.empty() && blank(name.front())) name.remove_prefix(1);
  while (!name.empty() && blank(name.back())) name.remove_suffix(1);
  return name;
}

bool SameFileName(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
  }
  icu::UnicodeString left = icu::UnicodeString::fromUTF8(
      icu::StringPiece(a.data(), static_cast<int32_t>(a.size())));
  icu::UnicodeString right = icu::UnicodeString::fromUTF8(
      icu::StringPiece(b.data(), static_cast<int32_t>(b.size())));
  return left.caseCompare(right, U_FOLD_CASE_DEFAULT) == 0;
}

TFileList& GlobalFileList() {
  static TFileList list;
  return list;
}

TFileList::TFileList() = default;

TFileList::~TFileList() {
  Guard hold(guard_);
  files_.clear();
}

size_t TFileList::Count() const {
  Guard hold(guard_);
  return files_.size();
}

std::vector<std::string> TFileList::MemoryFileNames() const {
  Guard hold(guard_);
  std::vector<std::string> names;
  for (const auto& file : files_) {
    if (file->IsMemory()) names.push_back(file->FileName());
  }
  return names;
}

TAbstractFile* TFileList::Find(std::string_view trimmedName, bool inMemory) const {
  for (const auto& file : files_) {
    if (file->IsMemory() == inMemory && SameFileName(file->FileName(), trimmedName)) {
      return file.get();
    }
  }
  return nullptr;
}

bool TFileList::IsListed(const TAbstractFile* file) const {
  return std::any_of(files_.begin(), files_.end(),
                     [&](const auto& listed) { return listed.get() == file; });
}

void TFileList::Unlist(TAbstractFile* file) {
  std::erase_if(files_, [&](const auto& listed) { return listed.get() == file; });
}

FileOpenResult TFileList::CreateNew(std::string_view name, bool inMemory, bool temporary) {
  Guard hold(guard_);
  std::string_view trimmed = TrimFileName(name);
  TAbstractFile* file = Find(trimmed, inMemory);
  if (file != nullptr && file->OpenCount() > 0) return Refused(RUDIRA_OSEACCES, EACCES);
  std::unique_ptr<TAbstractFile> made;
  if (file == nullptr) {
    made = MakeFile(trimmed, inMemory);
    file = made.get();
  }
  file->SetExclusive(true);
  file->SetTemporary(temporary);
  FileOpenResult result;
  result.Handle = file->CreateNew();
  if (result.Handle < 0) return result;  // a new object dies with `made`
  if (made) files_.push_back(std::move(made));
  result.File = file;
  result.ReadOnly = file->ReadOnly();
  result.ReadOnlyAttribute = file->ReadOnlyAttribute();
  return result;
}

FileOpenResult TFileList::Open(std::string_view name, bool inMemory, bool temporary,
                               bool exclusive) {
  Guard hold(guard_);
  std::string_view trimmed = TrimFileName(name);
  TAbstractFile* file = Find(trimmed, inMemory);
  std::unique_ptr<TAbstractFile> made;
  if (file != nullptr) {
    if (file->OpenCount() > 0) {
      if (file->Exclusive() || exclusive) return Refused(RUDIRA_OSEACCES, EACCES);
    } else {
      file->SetExclusive(exclusive);
      file->SetTemporary(temporary);
    }
  } else if (inMemory) {
    return Refused(RUDIRA_OSENOENT, ENOENT);
  } else {
    made = MakeFile(trimmed, inMemory);
    file = made.get();
    file->SetExclusive(exclusive);
    file->SetTemporary(temporary);
  }
  FileOpenResult result;
  result.Handle = file->Open();
  if (result.Handle < 0) return result;
  if (made) files_.push_back(std::move(made));
  result.File = file;
  result.ReadOnly = file->ReadOnly();
  result.ReadOnlyAttribute = file->ReadOnlyAttribute();
  return result;
}

int32_t TFileList::Close(TAbstractFile* file, bool inMemory, int32_t id) {
  Guard hold(guard_);
  if (file == nullptr || !IsListed(file) || file->IsMemory() != inMemory ||
      file->OpenCount() == 0) {
    return RefusedCode(RUDIRA_OSENOENT, ENOENT);
  }
  int32_t result = file->Close(id);
  if (result < 0) return result;
  if (file->OpenCount() == 0 && !file->IsMemory()) Unlist(file);
  return 0;
}

int32_t TFileList::Rename(std::string_view name, bool inMemory, std::string_view newName) {
  Guard hold(guard_);
  std::string_view trimmed = TrimFileName(name);
  std::string_view trimmedNew = TrimFileName(newName);
  TAbstractFile* file = Find(trimmed, inMemory);
  if (file != nullptr) {
    if (file->OpenCount() > 0) return RefusedCode(RUDIRA_OSEACCES, EACCES);
    if (inMemory) {
      TAbstractFile* other = Find(trimmedNew, true);
      if (other != nullptr && other != file) return RefusedCode(RUDIRA_OSEACCES, EEXIST);
    }
    return file->Rename(std::string(trimmedNew));
  }
  if (inMemory) return RefusedCode(RUDIRA_OSENOENT, ENOENT);
  TPhysicalFile transient{std::string(trimmed)};
  return transient.Rename(std::string(trimmedNew));
}

int32_t TFileList::Remove(std::string_view name, bool inMemory) {
  Guard hold(guard_);
  std::string_view trimmed = TrimFileName(name);
  TAbstractFile* file = Find(trimmed, inMemory);
  if (file != nullptr) {
    if (file->OpenCount() > 0) return RefusedCode(RUDIRA_OSEACCES, EACCES);
    int32_t result = file->Remove();
    if (result < 0) return result;
    Unlist(file);
    return 0;
  }
  if (inMemory) return RefusedCode(RUDIRA_OSENOENT, ENOENT);
  TPhysicalFile transient{std::string(trimmed)};
  return transient.Remove();
}

bool TFileList::Exists(std::string_view name, bool inMemory) {
  Guard hold(guard_);
  std::string_view trimmed = TrimFileName(name);
  if (Find(trimmed, inMemory) != nullptr) return true;
  if (inMemory) return false;
  OsFileAttributes attributes;
  return OsGetAttributes(trimmed, attributes) && !attributes.Directory;
}

int32_t TFileList::CopyTo(TAbstractFile* file, int32_t id, std::string_view name, bool compress,
                          int step, TProgressCallback callback, void* userData) {
  Guard hold(guard_);
  if (file == nullptr || !IsListed(file) || file->IndexOfHandle(id) < 0) {
    return RefusedCode(RUDIRA_OSEBADF, EBADF);
  }
  bool inMemory = file->IsMemory();
  FileOpenResult destination = CreateNew(name, inMemory, false);
  if (destination.Handle < 0) return destination.Handle;
  int32_t result = -RUDIRA_WRITEERR;
  {
    // A partial copy must not be taken for a good one later: it goes away.
    TScopeExit finish([&] {
      Close(destination.File, inMemory, destination.Handle);
      if (result < 0) {
        int saved = LastFileOSError();
        Remove(name, inMemory);
        SetLastFileOSError(saved);
      }
    });
    result = CopyChunks(file, id, destination.File, destination.Handle, compress, step, callback,
                        userData);
  }
  return result;
}

int32_t TFileList::CopyFrom(TAbstractFile* file, int32_t id, std::string_view name,
                            bool compress, int step, TProgressCallback callback,
                            void* userData) {
  Guard hold(guard_);
  if (file == nullptr || !IsListed(file) || file->IndexOfHandle(id) < 0) {
    return RefusedCode(RUDIRA_OSEBADF, EBADF);
  }
  bool inMemory = file->IsMemory();
  FileOpenResult source = Open(name, inMemory, false, true);
  if (source.Handle < 0) return source.Handle;
  TScopeExit finish([&] {
    int saved = LastFileOSError();
    Close(source.File, inMemory, source.Handle);
    SetLastFileOSError(saved);
  });
  return CopyChunks(source.File, source.Handle, file, id, compress, step, callback, userData);
}

int32_t TFileList::CopyChunks(TAbstractFile* source, int32_t sourceId, TAbstractFile* destination,
                              int32_t destinationId, bool compress, int step,
                              TProgressCallback callback, void* userData) {
  std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[kCopyChunkSize]);
  uLong packedCapacity = compress ? compressBound(kCopyChunkSize) : 0;
  std::unique_ptr<uint8_t[]> packed(compress ? new (std::nothrow) uint8_t[packedCapacity]
                                             : nullptr);
  if (!chunk || (compress && !packed)) return RefusedCode(RUDIRA_OSENOMEM, ENOMEM);

  int64_t sourceSize = source->Seek(sourceId, kSeekFromEnd, 0);
  if (sourceSize < 0 || source->Seek(sourceId, kSeekFromBeginning, 0) != 0) {
    return -RUDIRA_READERR;
  }
  if (destination->Seek(destinationId, kSeekFromBeginning, 0) != 0) return -RUDIRA_WRITEERR;

  int64_t copied = 0;
  int lastReported = 0;
  for (;;) {
    int32_t n = source->Read(sourceId, chunk.get(), kCopyChunkSize);
    if (n < 0) return -RUDIRA_READERR;
    // A zero-byte write would set the end of the destination: skip it.
    if (n > 0) {
      const uint8_t* out = chunk.get();
      int32_t outLength = n;
      if (compress) {
        uLongf packedLength = packedCapacity;
        if (compress2(packed.get(), &packedLength, chunk.get(), static_cast<uLong>(n), 9) !=
            Z_OK) {
          return -RUDIRA_COMPRESS;
        }
        out = packed.get();
        outLength = static_cast<int32_t>(packedLength);
      }
      if (destination->Write(destinationId, out, outLength) != outLength) {
        return -RUDIRA_WRITEERR;
      }
      copied += n;
    }
    if (callback != nullptr) {
      int64_t percent = sourceSize > 0 ? copied * 100 / sourceSize : 100;
      percent = std::min<int64_t>(percent, 100);
      if (percent - lastReported >= step) {
        callback(userData, static_cast<int>(percent));
        lastReported = static_cast<int>(percent);
      }
    }
    if (n < kCopyChunkSize) break;
  }
  return 0;
}

}  // namespace rudira
