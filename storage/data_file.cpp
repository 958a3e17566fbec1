#include "storage/data_file.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "engine/errors.h"
#include "engine/locale_services.h"
#include "engine/utf8_text.h"
#include "storage/abstract_file.h"
#include "storage/field_definitions.h"
#include "storage/os_process.h"
#include "storage/record_layout.h"
#include "storage/scramble.h"

namespace rudira {
namespace {

int32_t NextWrapping(int32_t value) { return value >= INT32_MAX || value < 0 ? 1 : value + 1; }

}  // namespace

TDataFile::~TDataFile() = default;

void TDataFile::Raise(uint16_t code) const { RaiseTableError(code, "", FileName()); }

int64_t TDataFile::DataStart() const {
  return static_cast<int64_t>(kDataHeaderSize) + static_cast<int64_t>(kFieldDescriptorSize) * header_.FieldCount;
}

int64_t TDataFile::RecordOffset(int32_t recordNo) const {
  return DataStart() + static_cast<int64_t>(recordNo - 1) * header_.RecordSize;
}

// --- open and close -------------------------------------------------------

namespace {
// Header re-reads while the file holds more records than its header counts.
constexpr int kGrowingFileRereads = 100;
}  // namespace

void TDataFile::Open() {
  if (Opened()) return;
  TFileHandler::Open();
  try {
    ReadHeader();
    if (header_.FormatVersion != kDataFormatVersion) Raise(RUDIRA_OLDVERSION);
    if (header_.RecordSize < kRecordHeaderSize) Raise(RUDIRA_HEADERCORRUPT);
    readAheadCount_ = std::max<int32_t>(1, kReadAheadBytes / header_.RecordSize);
    if (header_.FieldCount > kMaxFieldCount) Raise(RUDIRA_HEADERCORRUPT);
    ReadDescriptors();
    Validate();
    SizeCache();
  } catch (...) {
    fields_.clear();
    cache_.Clear();
    try {
      TFileHandler::Close();
    } catch (const ERUDIRAEngineError&) {
      // The open's own failure is the one to report.
    }
    throw;
  }
}

void TDataFile::Close() {
  cache_.Clear();
  fields_.clear();
  headerModified_ = false;
  fileHeaderKnown_ = false;
  descriptorsModified_ = false;
  TFileHandler::Close();
}

void TDataFile::Validate() {
  if (header_.FormatVersion != kDataFormatVersion) Raise(RUDIRA_OLDVERSION);
  if (header_.Encrypted > 1 || header_.FieldCount == 0 || header_.FieldCount > kMaxFieldCount ||
      header_.FieldCount != fields_.size() || header_.BlobFieldCount < 0 ||
      header_.BlobFieldCount > kMaxBlobFieldCount) {
    Raise(RUDIRA_HEADERCORRUPT);
  }
  if (!ValidateFieldDescriptors(fields_, header_.RecordSize, header_.BlobFieldCount)) Raise(RUDIRA_HEADERCORRUPT);
  // An append writes its record before the header that counts it, and an
  // open takes no lock: a file longer than its header counts may be another
  // process's append in progress, so the header is read again, a few times
  // 3 ms apart. Whole records that stay uncounted are the torn append or
  // commit of a killed writer (a commit writes all its records before the
  // header): ignored, and overwritten by the next appends from
  // NextRecordNumber on. A file shorter than its header counts is damage.
  int64_t size = FileSize();
  for (int reread = 0; reread < kGrowingFileRereads && size > RecordOffset(header_.NextRecordNumber); ++reread) {
    OsSleep(3);
    ReadHeader();
    size = FileSize();
  }
  const int64_t recordBytes = size - DataStart();
  if (recordBytes < 0 || recordBytes % header_.RecordSize != 0) Raise(RUDIRA_HEADERCORRUPT);
  const int64_t records = recordBytes / header_.RecordSize;
  if (header_.NextRecordNumber < 1 || records + 1 < header_.NextRecordNumber) Raise(RUDIRA_HEADERCORRUPT);
  if (header_.FirstFreeRecord < 0 || header_.FirstFreeRecord >= header_.NextRecordNumber) {
    Raise(RUDIRA_HEADERCORRUPT);
  }
  if (!LocaleInstalled(static_cast<uint16_t>(header_.LanguageId), static_cast<uint16_t>(header_.SortId))) {
    Raise(RUDIRA_CANNOTLOADLDDRV);
  }
}

void TDataFile::SizeCache() {
  const int32_t bySize = header_.RecordSize == 0 ? limits_.MaxCount : limits_.MaxBytes / header_.RecordSize;
  const int32_t capacity = std::max<int32_t>(1, std::min(bySize, limits_.MaxCount));
  cache_.SetCapacity(static_cast<size_t>(capacity));
}

void TDataFile::SetBufferLimits(const DataBufferLimits& limits) {
  limits_ = limits;
  if (header_.RecordSize != 0) SizeCache();
}

// --- header and descriptors ---------------------------------------------

void TDataFile::CreateTable(const DataFileDefinition& definition) {
  std::vector<TFieldDescriptor> fields = definition.Fields;
  const RecordLayoutSummary summary = PrepareFieldDefinitions(fields, "", FileName());
  header_ = TDataHeader{};
  header_.LanguageId = definition.LanguageId;
  header_.SortId = definition.SortId;
  header_.UserMajorVersion = definition.UserMajorVersion;
  header_.UserMinorVersion = definition.UserMinorVersion;
  header_.Encrypted = definition.Encrypted ? 1 : 0;
  header_.BlobBlockSize = definition.BlobBlockSize;
  header_.BlobFieldCount = static_cast<int16_t>(summary.BlobFieldCount);
  header_.FieldCount = static_cast<uint16_t>(fields.size());
  header_.RecordSize = static_cast<uint16_t>(summary.RecordSize);
  header_.FormatVersion = kDataFormatVersion;
  header_.FirstFreeRecord = 0;
  header_.NextRecordNumber = 1;
  header_.LastAutoIncValue = 0;
  header_.ChangeCount = 0;
  SetDescription(definition.Description);
  if (definition.Encrypted) SetPassword(definition.Password);
  fields_ = std::move(fields);
  headerModified_ = true;
  descriptorsModified_ = true;
  readAheadCount_ = std::max<int32_t>(1, kReadAheadBytes / header_.RecordSize);
  cache_.Clear();
  SizeCache();
  CreateNew();
  WriteHeader();
  WriteDescriptors();
}

void TDataFile::ReadHeaderBytes(uint8_t* bytes) {
  TFileAccess access(*this);
  Seek(kSeekFromBeginning, 0);
  if (ReadBuffer(bytes, kDataHeaderSize, /*allowShort=*/true) != static_cast<int32_t>(kDataHeaderSize)) {
    Raise(RUDIRA_HEADERCORRUPT);
  }
}

void TDataFile::AdoptHeader(const uint8_t* bytes) {
  fileHeaderKnown_ = false;
  TDataHeader header;
  if (!header.DecodeFrom(bytes)) Raise(RUDIRA_HEADERCORRUPT);
  header_ = std::move(header);
  headerModified_ = false;
  std::memcpy(fileHeader_, bytes, kDataHeaderSize);
  fileHeaderKnown_ = true;
}

void TDataFile::ReadHeader() {
  uint8_t bytes[kDataHeaderSize];
  ReadHeaderBytes(bytes);
  AdoptHeader(bytes);
}

bool TDataFile::RereadHeader() {
  uint8_t bytes[kDataHeaderSize];
  ReadHeaderBytes(bytes);
  // Nobody wrote since this object last read or wrote the header, and it
  // holds no unwritten change: the header held is what a decode would give.
  if (fileHeaderKnown_ && !headerModified_ && std::memcmp(bytes, fileHeader_, kDataHeaderSize) == 0) return false;
  const int32_t heldCount = header_.ChangeCount;
  const uint16_t recordSize = header_.RecordSize;
  const uint16_t fieldCount = header_.FieldCount;
  AdoptHeader(bytes);
  // The record layout never changes under an open file (a restructure makes
  // a new file); a header that says otherwise is corrupt.
  if (header_.RecordSize != recordSize || header_.FieldCount != fieldCount) {
    fileHeaderKnown_ = false;
    Raise(RUDIRA_HEADERCORRUPT);
  }
  return header_.ChangeCount != heldCount;
}

void TDataFile::WriteHeader(bool force) {
  if (!headerModified_ && !force) return;
  TFileAccess access(*this);
  header_.ChangeCount += 1;
  header_.WriterVersion = kDataWriterVersion;
  header_.LastUpdated = LastUpdatedFromDays(NowAsDays());
  header_.HeaderModified = headerModified_ ? 1 : 0;
  uint8_t bytes[kDataHeaderSize];
  header_.EncodeTo(bytes);
  fileHeaderKnown_ = false;
  Seek(kSeekFromBeginning, 0);
  WriteBuffer(bytes, kDataHeaderSize);
  std::memcpy(fileHeader_, bytes, kDataHeaderSize);
  fileHeaderKnown_ = true;
  headerModified_ = false;
  if (changeNotifier_) changeNotifier_();
}

void TDataFile::BumpChangeCountInMemory() {
  header_.ChangeCount += 1;
  headerModified_ = true;
}

void TDataFile::ReadDescriptors() {
  const size_t count = header_.FieldCount;
  std::vector<uint8_t> bytes(count * kFieldDescriptorSize);
  {
    TFileAccess access(*this);
    Seek(kSeekFromBeginning, kDataHeaderSize);
    if (ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()), /*allowShort=*/true) !=
        static_cast<int32_t>(bytes.size())) {
      Raise(RUDIRA_HEADERCORRUPT);
    }
  }
  if (header_.Encrypted) Scramble(bytes.data(), bytes.size(), kRecordScrambleSeed);
  std::vector<TFieldDescriptor> fields(count);
  for (size_t i = 0; i < count; ++i) {
    if (!fields[i].DecodeFrom(bytes.data() + i * kFieldDescriptorSize)) Raise(RUDIRA_HEADERCORRUPT);
  }
  fields_ = std::move(fields);
  descriptorsModified_ = false;
}

void TDataFile::WriteDescriptors(bool force) {
  if (!descriptorsModified_ && !force) return;
  std::vector<uint8_t> bytes(fields_.size() * kFieldDescriptorSize);
  for (size_t i = 0; i < fields_.size(); ++i) fields_[i].EncodeTo(bytes.data() + i * kFieldDescriptorSize);
  if (header_.Encrypted) Scramble(bytes.data(), bytes.size(), kRecordScrambleSeed);
  {
    TFileAccess access(*this);
    Seek(kSeekFromBeginning, kDataHeaderSize);
    WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  descriptorsModified_ = false;
  if (forceFlush_) Flush();
}

void TDataFile::UpdateFieldAttributes(size_t index, const std::string& name, const std::string& description,
                                      bool required, const std::string& minValue, const std::string& maxValue,
                                      const std::string& defaultValue) {
  if (index >= fields_.size()) {
    RaiseEngineError(RUDIRA_OUTOFRANGE, {.TableName = FileName(), .FieldName = std::to_string(index + 1)});
  }
  auto raiseField = [&](uint16_t code) {
    RaiseEngineError(code, {.TableName = FileName(), .FieldName = name});
  };
  if (!IsValidFieldName(name)) raiseField(RUDIRA_INVALIDFIELDNAME);
  const std::string key = FieldNameKey(name);
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (i != index && FieldNameKey(fields_[i].FieldName) == key) raiseField(RUDIRA_INVALIDFIELDNAME);
  }
  TFieldDescriptor changed = fields_[index];
  changed.FieldName = name;
  changed.FieldDescription = Utf8Cut(description, kFieldDescriptionCapacity);
  changed.Required = required ? 1 : 0;
  changed.MinValue = minValue;
  changed.MaxValue = maxValue;
  changed.DefaultValue = defaultValue;
  for (const std::string* text : {&minValue, &maxValue, &defaultValue}) {
    if (text->size() > kFieldCheckCapacity || !FieldCheckTextParses(changed, *text)) {
      raiseField(RUDIRA_INVALIDVCHKSTRUCT);
    }
  }
  fields_[index] = std::move(changed);
  descriptorsModified_ = true;
}

// --- description and password --------------------------------------------

std::string TDataFile::Description() const {
  return header_.Encrypted ? ScrambledText(header_.Description, kRecordScrambleSeed) : header_.Description;
}

void TDataFile::SetDescription(const std::string& text) {
  const std::string plain = Utf8Cut(text, kDescriptionCapacity);
  header_.Description = header_.Encrypted ? ScrambledText(plain, kRecordScrambleSeed) : plain;
  headerModified_ = true;
}

std::string TDataFile::Password() const { return ScrambledText(header_.Password, kPasswordScrambleSeed); }

void TDataFile::SetPassword(const std::string& text) {
  // A plain table keeps no password.
  const std::string plain = header_.Encrypted ? Utf8Cut(text, kPasswordCapacity) : std::string();
  header_.Password = ScrambledText(plain, kPasswordScrambleSeed);
  headerModified_ = true;
}

void TDataFile::SetUserVersion(int16_t major, int16_t minor) {
  header_.UserMajorVersion = major;
  header_.UserMinorVersion = minor;
  headerModified_ = true;
}

// --- counters -------------------------------------------------------------

int32_t TDataFile::NextAutoIncValue() {
  header_.LastAutoIncValue = NextWrapping(header_.LastAutoIncValue);
  headerModified_ = true;
  return header_.LastAutoIncValue;
}

void TDataFile::SetLastAutoIncValue(int32_t value) {
  header_.LastAutoIncValue = value;
  headerModified_ = true;
}

int32_t TDataFile::NextBlobStamp() {
  header_.LastBlobStamp = NextWrapping(header_.LastBlobStamp);
  headerModified_ = true;
  return header_.LastBlobStamp;
}

// --- records ----------------------------------------------------------------

TRecord* TDataFile::MakeRoom(int32_t recordNo) {
  std::unique_ptr<TRecord> record;
  if (!cache_.Full()) {
    record = recordStack_.Pop();
  } else if (TRecord* victim = cache_.LeastRecentlyUsedClean()) {
    record = cache_.Remove(victim);
  } else {
    if (!inTransaction_) WriteRecords();
    if (TRecord* cleaned = cache_.LeastRecentlyUsedClean()) {
      record = cache_.Remove(cleaned);
    } else {
      // Everything is pinned or must stay until commit.
      cache_.SetCapacity(cache_.Capacity() + kCacheGrowth);
      record = recordStack_.Pop();
    }
  }
  record->Reset(this, recordNo, header_.RecordSize);
  return cache_.Insert(std::move(record));
}

void TDataFile::ReadRun(int32_t first, int32_t count, int32_t wanted) {
  const size_t recordSize = header_.RecordSize;
  const size_t size = static_cast<size_t>(count) * recordSize;
  uint8_t* bytes = cache_.RunBuffer(first, size);
  int32_t bytesRead;
  {
    TFileAccess access(*this);
    Seek(kSeekFromBeginning, RecordOffset(first));
    bytesRead = ReadBuffer(bytes, static_cast<int32_t>(size), /*allowShort=*/true);
  }
  const int32_t recordsRead = bytesRead < 0 ? 0 : static_cast<int32_t>(static_cast<size_t>(bytesRead) / recordSize);
  // Records short of the file's end are those appended in the cache and not
  // written yet; those are cached, so a missing one means the file is
  // shorter than its header says. The wanted record is not cached (a miss).
  if (wanted - first >= recordsRead) Raise(RUDIRA_READERR);
  for (int32_t n = first + recordsRead; n < first + count; ++n) {
    if (cache_.Peek(n) == nullptr) Raise(RUDIRA_READERR);
  }
  cache_.SetRunRead(recordsRead);
}

TRecord* TDataFile::GetRecord(int32_t recordNo, bool backward) {
  if (recordNo < 1 || recordNo > RecordSlotCount()) Raise(RUDIRA_FILECORRUPT);
  if (TRecord* cached = cache_.Find(recordNo)) return cached;
  return InstallRecord(recordNo, backward);
}

const uint8_t* TDataFile::ReadRecordBytes(int32_t recordNo) {
  if (recordNo < 1 || recordNo > RecordSlotCount()) Raise(RUDIRA_FILECORRUPT);
  if (TRecord* cached = cache_.Find(recordNo)) return cached->Data();
  // Not cached, so the run's bytes of n are the file's, which are current:
  // a modified record stays cached until it is written, and a write updates
  // the run (NoteWritten).
  const size_t recordSize = header_.RecordSize;
  const uint8_t* stored = cache_.RunRecord(recordNo, recordSize);
  if (stored == nullptr) return InstallRecord(recordNo, false)->Data();
  if (!header_.Encrypted) return stored;
  plainRecord_.assign(stored, stored + recordSize);
  Scramble(plainRecord_.data(), recordSize, kRecordScrambleSeed);
  return plainRecord_.data();
}

TRecord* TDataFile::InstallRecord(int32_t recordNo, bool backward) {
  const size_t recordSize = header_.RecordSize;
  if (cache_.RunRecord(recordNo, recordSize) == nullptr) {
    int32_t first = recordNo;
    int32_t count = std::min(readAheadCount_, RecordSlotCount() - recordNo + 1);
    if (backward) {
      first = std::max(1, recordNo - readAheadCount_ + 1);
      count = recordNo - first + 1;
    }
    ReadRun(first, count, recordNo);
  }
  // Making room may write modified records back, which the run takes in;
  // its bytes are copied only afterwards.
  TRecord* record = MakeRoom(recordNo);
  const uint8_t* stored = cache_.RunRecord(recordNo, recordSize);
  if (stored == nullptr) Raise(RUDIRA_FILECORRUPT);
  uint8_t* data = record->Data();
  std::memcpy(data, stored, recordSize);
  if (header_.Encrypted) Scramble(data, recordSize, kRecordScrambleSeed);
  return record;
}

int32_t TDataFile::InsertRecordNumber(bool keepInsertionOrder) const {
  if (header_.FirstFreeRecord == 0 || keepInsertionOrder) return header_.NextRecordNumber;
  return header_.FirstFreeRecord;
}

TRecord* TDataFile::AllocateRecord(bool keepInsertionOrder, bool newAutoIncValue) {
  const int32_t recordNo = InsertRecordNumber(keepInsertionOrder);
  TRecord* record;
  if (recordNo == header_.NextRecordNumber) {
    const int64_t end = RecordOffset(recordNo) + header_.RecordSize;
    if (recordNo > kMaxRecordCount || end > kMaxDataFileEnd) Raise(RUDIRA_TABLEFULL);
    if (TRecord* stale = cache_.Peek(recordNo)) {
      // Nothing can be cached past the last slot; a leftover would be stale.
      assert(!stale->Pinned());
      cache_.Discard(stale);
    }
    record = MakeRoom(recordNo);
    header_.NextRecordNumber += 1;
  } else {
    record = GetRecord(recordNo);
    const int32_t link = RecordNumberOrLink(record->Data());
    if (RecordStatus(record->Data()) != kRecordDeleted || link < 0 || link > RecordSlotCount() || link == recordNo) {
      Raise(RUDIRA_FILECORRUPT);
    }
    header_.FirstFreeRecord = link;
  }
  uint8_t* data = record->Data();
  std::memset(data, 0, header_.RecordSize);
  SetRecordStatus(data, kRecordInUse);
  SetRecordNumberOrLink(data, recordNo);
  if (newAutoIncValue) SetRecordAutoIncValue(data, NextAutoIncValue());
  record->SetModified(true);
  headerModified_ = true;
  return record;
}

void TDataFile::DeleteRecord(int32_t recordNo) {
  TRecord* record = GetRecord(recordNo);
  uint8_t* data = record->Data();
  if (RecordStatus(data) == kRecordDeleted) Raise(RUDIRA_KEYORRECDELETED);
  SetRecordStatus(data, kRecordDeleted);
  SetRecordNumberOrLink(data, header_.FirstFreeRecord);
  header_.FirstFreeRecord = recordNo;
  record->SetModified(true);
  headerModified_ = true;
}

void TDataFile::WriteRun(const std::vector<TRecord*>& run) {
  const size_t recordSize = header_.RecordSize;
  std::vector<uint8_t> bytes(run.size() * recordSize);
  for (size_t i = 0; i < run.size(); ++i) {
    uint8_t* target = bytes.data() + i * recordSize;
    std::memcpy(target, run[i]->Data(), recordSize);
    if (header_.Encrypted) Scramble(target, recordSize, kRecordScrambleSeed);
  }
  {
    TFileAccess access(*this);
    Seek(kSeekFromBeginning, RecordOffset(run.front()->RecordNo()));
    WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  cache_.NoteWritten(run.front()->RecordNo(), bytes.data(), static_cast<int32_t>(run.size()), recordSize);
  for (TRecord* record : run) record->SetModified(false);
}

void TDataFile::WriteRecords() {
  const std::vector<TRecord*> modified = cache_.ModifiedUnpinned();
  // One write per run of consecutive numbers, each at most about 64 KiB so
  // that the buffer stays small whatever the number of dirty records.
  const size_t maxRun = std::max<size_t>(1, 65536 / header_.RecordSize);
  std::vector<TRecord*> run;
  for (TRecord* record : modified) {
    if (!run.empty() && (record->RecordNo() != run.back()->RecordNo() + 1 || run.size() >= maxRun)) {
      WriteRun(run);
      run.clear();
    }
    run.push_back(record);
  }
  if (!run.empty()) WriteRun(run);
}

void TDataFile::DropCache() { cache_.Clear(); }

void TDataFile::ShrinkCache() {
  SizeCache();
  cache_.ShrinkTo(cache_.Capacity());
}

void TDataFile::Empty() {
  cache_.Clear();
  {
    TFileAccess access(*this);
    Seek(kSeekFromBeginning, DataStart());
    WriteBuffer(nullptr, 0);
  }
  header_.ChangeCount = 0;
  header_.FirstFreeRecord = 0;
  header_.NextRecordNumber = 1;
  header_.LastAutoIncValue = 0;
  headerModified_ = true;
  // The header goes out at once: a truncated file with the old record count
  // would not open again.
  WriteHeader();
  if (forceFlush_) Flush();
}

}  // namespace rudira
