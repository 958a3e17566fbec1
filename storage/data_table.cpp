// TDataTable: names, opening and closing, creation, deletion, renaming,
// emptying, index backups and verification. Locks are in table_locks.cpp,
// change detection and write-back in data_table_changes.cpp.
#include "storage/data_table.h"

#include <strings.h>

#include <cassert>
#include <utility>

#include "engine/error_codes.h"
#include "engine/errors.h"

namespace rudira {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool HasPath(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }

constexpr const char* kDataExtension = ".DAT";
constexpr const char* kIndexExtension = ".IDX";
constexpr const char* kBlobExtension = ".BLB";
constexpr const char* kDataBackupExtension = ".DBK";
constexpr const char* kIndexBackupExtension = ".IBK";
constexpr const char* kBlobBackupExtension = ".BBK";

}  // namespace

TDataTable::TDataTable(TDataDirectory* directory, const TableSettings& settings, std::string directoryPath,
                       std::string tableName, bool inMemory, bool temporary, bool exclusive)
    : directory_(directory),
      settings_(settings),
      directoryPath_(std::move(directoryPath)),
      tableName_(std::move(tableName)),
      exclusiveOpen_(exclusive),
      inMemory_(inMemory),
      temporaryTable_(temporary) {}

TDataTable::~TDataTable() {
  if (!filesOpen_) return;
  try {
    useCount_ = 0;
    inTransaction_ = false;
    CloseFiles();
  } catch (const EDatabaseError&) {
    // A destructor cannot report; the files are closed by the handlers.
  }
}

void TDataTable::Raise(uint16_t code) const { RaiseTableError(code, directoryPath_, tableName_); }

std::string TDataTable::ReplaceExtension(const std::string& name, const std::string& extension) {
  const std::string trimmed = Trimmed(name);
  const size_t slash = trimmed.find_last_of("/\\");
  const size_t dot = trimmed.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    const std::string current = trimmed.substr(dot);
    static const char* const kKnown[] = {kDataExtension,       kIndexExtension,       kBlobExtension,
                                         kDataBackupExtension, kIndexBackupExtension, kBlobBackupExtension};
    for (const char* known : kKnown) {
      if (current.size() == 4 && strncasecmp(current.c_str(), known, 4) == 0) return trimmed.substr(0, dot) + extension;
    }
  }
  return trimmed + extension;
}

std::string TDataTable::FileNameWith(const std::string& extension) const {
  const std::string name = ReplaceExtension(tableName_, extension);
  if (inMemory_ || HasPath(name)) return name;
  return directoryPath_ + name;
}

bool TDataTable::HasBlobFields() const { return dataFile_ && dataFile_->Header().BlobFieldCount > 0; }

void TDataTable::ConfigureHandlers() {
  dataFile_->SetBufferLimits(settings_.DataBuffers);
  dataFile_->SetForceFlush(settings_.ForceBufferFlush);
  dataFile_->SetChangeNotifier([this] { tableChanged_ = true; });
  indexFile_->SetPrivateDirectory(settings_.PrivateDirectory);
  indexFile_->SetIndexBufferBytes(settings_.IndexBufferBytes);
  if (blobFile_) {
    blobFile_->SetBufferLimits(settings_.BlobBuffers);
    blobFile_->SetChangeNotifier([this] { tableChanged_ = true; });
  }
}

void TDataTable::Open() {
  if (!filesOpen_) OpenFiles();
  ++useCount_;
}

void TDataTable::OpenFiles() {
  dataFile_ = std::make_unique<TDataFile>(FileNameWith(kDataExtension), inMemory_);
  indexFile_ = std::make_unique<TIndexFile>(FileNameWith(kIndexExtension), inMemory_);
  blobFile_.reset();
  for (TFileHandler* handler : {static_cast<TFileHandler*>(dataFile_.get()), static_cast<TFileHandler*>(indexFile_.get())}) {
    handler->SetExclusive(exclusiveOpen_);
    handler->SetTemporary(temporaryTable_);
  }
  indexesMissing_ = false;
  try {
    dataFile_->Open();
    const TDataHeader& header = dataFile_->Header();
    indexFile_->SetEncrypted(header.Encrypted != 0);
    indexFile_->SetTableFields(dataFile_->Fields(), dataFile_->Locale());
    if (HasBlobFields()) {
      blobFile_ = std::make_unique<TBlobFile>(FileNameWith(kBlobExtension), inMemory_);
      blobFile_->SetExclusive(exclusiveOpen_);
      blobFile_->SetTemporary(temporaryTable_);
      blobFile_->SetBlockSize(header.BlobBlockSize);
      blobFile_->SetEncrypted(header.Encrypted != 0);
    }
    ConfigureHandlers();
    try {
      indexFile_->Open();
    } catch (const ERUDIRAEngineError& error) {
      if (error.ErrorCode() != RUDIRA_OSENOENT) throw;
      // A lost index file is rebuilt by the caller from the records; here it
      // only has to exist again, empty, with the table's sharing.
      indexFile_->CreateNew();
      indexFile_->Close();
      indexFile_->Open();
      indexesMissing_ = true;
    }
    if (blobFile_) blobFile_->Open();
  } catch (...) {
    if (blobFile_ && blobFile_->Opened()) blobFile_->TFileHandler::Close();
    if (indexFile_->Opened()) indexFile_->Close();
    if (dataFile_->Opened()) dataFile_->Close();
    blobFile_.reset();
    indexesMissing_ = false;
    throw;
  }
  tableReadOnly_ = false;
  readOnlyOnDisk_ = false;
  for (TFileHandler* handler : {static_cast<TFileHandler*>(dataFile_.get()), static_cast<TFileHandler*>(indexFile_.get()),
                                static_cast<TFileHandler*>(blobFile_.get())}) {
    if (!handler) continue;
    tableReadOnly_ = tableReadOnly_ || handler->ReadOnly();
    readOnlyOnDisk_ = readOnlyOnDisk_ || handler->ReadOnlyAttribute();
  }
  if (readOnlyOnDisk_) tableReadOnly_ = true;
  tableChanged_ = false;
  filesOpen_ = true;
}

void TDataTable::Close() {
  if (useCount_ > 0) --useCount_;
  if (useCount_ == 0 && !inTransaction_ && filesOpen_) CloseFiles();
}

void TDataTable::CloseFiles() {
  // Everything below runs even when a step fails; the first failure is
  // re-raised once the files are closed.
  std::exception_ptr failure;
  auto attempt = [&failure](const std::function<void()>& step) {
    try {
      step();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  };
  if (exclusiveOpen_ && !tableReadOnly_) {
    if (temporaryTable_) {
      attempt([this] { DropCaches(false, false); });
    } else {
      attempt([this] { WriteChanges(false, false); });
    }
  }
  attempt([this] { UnlockAllRecords(); });
  attempt([this] { ChangeReaderUnlock(); });
  attempt([this] { ReaderUnlock(); });
  attempt([this] { WriterUnlock(); });
  if (transactionLocked_) attempt([this] { TransactionUnlock(); });
  attempt([this] { indexFile_->Close(); });
  if (blobFile_) attempt([this] { blobFile_->Close(); });
  attempt([this] { dataFile_->Close(); });
  blobFile_.reset();
  indexFile_.reset();
  dataFile_.reset();
  filesOpen_ = false;
  indexesMissing_ = false;
  tableChanged_ = false;
  lockedRecords_.ClearAll();
  deferredUnlocks_.ClearAll();
  if (failure) std::rethrow_exception(failure);
}

void TDataTable::Create(const DataFileDefinition& definition, const TableIndexDefinitions& indexes) {
  assert(!filesOpen_);
  DataFileDefinition checked = definition;
  if (checked.Encrypted) {
    checked.Password = Trimmed(checked.Password);
    if (checked.Password.empty() || checked.Password.size() > 15) Raise(RUDIRA_INVALIDPASSWORD);
  }
  TDataFile data(FileNameWith(kDataExtension), inMemory_);
  data.CreateTable(checked);
  try {
    TIndexFile index(FileNameWith(kIndexExtension), inMemory_);
    index.SetEncrypted(checked.Encrypted);
    index.SetPrivateDirectory(settings_.PrivateDirectory);
    index.SetTableFields(data.Fields(), data.Locale());
    index.CreateNew();
    index.SetPrimaryDefinition(indexes.Primary);
    for (const TIndexDefinition& secondary : indexes.Secondaries) index.AddSecondaryDefinition(secondary);
    if (indexes.TextIndex) index.SetDefinition(kIndexSlotCount - 1, *indexes.TextIndex);
    index.WriteHeader(true);
    index.Close();
    if (data.Header().BlobFieldCount > 0) {
      TBlobFile blob(FileNameWith(kBlobExtension), inMemory_);
      blob.SetBlockSize(data.Header().BlobBlockSize);
      blob.SetEncrypted(checked.Encrypted);
      blob.CreateNew();
      blob.Close();
    }
  } catch (...) {
    // A half-made table is removed so that no later open finds it.
    data.Close();
    for (const char* extension : {kDataExtension, kIndexExtension, kBlobExtension}) {
      TFileHandler handler(FileNameWith(extension), inMemory_);
      try {
        if (handler.Exists()) handler.Remove();
      } catch (const EDatabaseError&) {
      }
    }
    throw;
  }
  data.Close();
}

void TDataTable::Delete() {
  assert(!filesOpen_);
  TFileHandler data(FileNameWith(kDataExtension), inMemory_);
  data.Remove();
  TFileHandler index(FileNameWith(kIndexExtension), inMemory_);
  if (index.Exists()) index.Remove();
  TFileHandler blob(FileNameWith(kBlobExtension), inMemory_);
  if (blob.Exists()) blob.Remove();
}

void TDataTable::Rename(const std::string& newName, bool asBackup) {
  assert(!filesOpen_);
  TDataTable target(nullptr, settings_, directoryPath_, newName, inMemory_, false, false);
  const std::pair<const char*, const char*> kinds[] = {{kDataExtension, kDataBackupExtension},
                                                       {kIndexExtension, kIndexBackupExtension},
                                                       {kBlobExtension, kBlobBackupExtension}};
  for (const auto& [extension, backupExtension] : kinds) {
    TFileHandler file(FileNameWith(extension), inMemory_);
    if (!file.Exists()) continue;
    const std::string to = asBackup ? FileNameWith(backupExtension) : target.FileNameWith(extension);
    if (asBackup) {
      TFileHandler old(to, inMemory_);
      if (old.Exists()) old.Remove();
    }
    file.Rename(to);
  }
  if (!asBackup) tableName_ = Trimmed(newName);
}

void TDataTable::Empty() {
  assert(filesOpen_);
  dataFile_->Empty();
  indexFile_->Empty();
  if (blobFile_) blobFile_->Empty();
  DropCaches(true, false);
}

void TDataTable::BackupIndexFile() {
  assert(filesOpen_);
  indexFile_->CopyTo(FileNameWith(kIndexBackupExtension), false, 0, nullptr, nullptr);
}

void TDataTable::RestoreIndexFile(bool onlyDelete) {
  assert(filesOpen_);
  TFileHandler backup(FileNameWith(kIndexBackupExtension), inMemory_);
  if (!onlyDelete) {
    backup.Open();
    const int64_t size = backup.FileSize();
    backup.Close();
    indexFile_->CopyFrom(backup.FileName(), false, 0, nullptr, nullptr);
    // The copy does not truncate: a grown index file would keep pages that
    // the restored header does not know.
    {
      TFileAccess access(*indexFile_);
      if (size >= 0 && indexFile_->Seek(kSeekFromBeginning, size) == size) indexFile_->WriteBuffer(nullptr, 0);
    }
    indexFile_->DropPages();
    indexFile_->RereadHeader();
  }
  backup.Remove();
}

void TDataTable::Verify() {
  assert(filesOpen_);
  dataFile_->Validate();
  if (!indexesMissing_) {
    indexFile_->Verify();
    const std::vector<TFieldDescriptor>& fields = indexFile_->TableFields();
    if (!fields.empty() && !KeySizesFitFields(indexFile_->Header(), fields)) {
      RaiseEngineError(RUDIRA_HEADERCORRUPT, {.TableName = indexFile_->FileName()});
    }
  }
  if (blobFile_) blobFile_->Verify();
}

void TDataTable::EnsureBitmapSize(int32_t recordNo) {
  const uint32_t wanted = static_cast<uint32_t>(recordNo);
  for (TRecordsBitmap* bitmap : {&lockedRecords_, &tableLockedRecords_, &deferredUnlocks_}) {
    if (bitmap->Size() < wanted) bitmap->SetSize(wanted);
  }
}

bool TDataTable::RecordLockedHere(int32_t recordNo) const {
  return recordNo > 0 && static_cast<uint32_t>(recordNo) <= lockedRecords_.Size() &&
         lockedRecords_.Test(static_cast<uint32_t>(recordNo));
}

}  // namespace rudira
