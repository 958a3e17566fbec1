// TDataFile: a table's data file (".DAT") with its header, field descriptors,
// records and record cache.
//
// File layout (storage/data_header.h for the header bytes,
// storage/field_descriptor.h for a descriptor, storage/record_layout.h for a
// record):
//
//   offset              size     contents
//   0                   127      table header
//   127                 768 × F  field descriptors 1..F in field-number order
//   127 + 768 × F       R × N    records 1..N; record n at 127 + 768 × F + (n − 1) × R
//
// In memory the data file keeps the header as read (description and password
// as stored, i.e. scrambled when encrypted), one descriptor per field, a
// modified flag for each, and the record cache: records are read in runs of
// about 8 KiB (a record of the run is copied out of the run when it is first
// asked for; a read-only reader takes it from the run without installing
// it), found through the four most recently used records and then by
// number, and written back in runs of consecutive modified records.
// Cached records are unscrambled; scrambling happens on the way to and from
// the file.
//
// Slots: a deleted record stays in place with RecordStatus 1 and links to the
// next deleted record through bytes 1..4; FirstFreeRecord heads that chain.
// Inserts take the chain head unless the table keeps insertion order, and
// otherwise append at NextRecordNumber.
//
// Concurrency: used under the table's lock (storage/data_table). Every
// positioned read or write, and each header read-modify-write, holds the
// shared file's access guard (BeginAccess/EndAccess). Not otherwise
// thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/data_header.h"
#include "storage/field_descriptor.h"
#include "storage/field_value.h"
#include "storage/file_handler.h"
#include "storage/record.h"
#include "storage/record_cache.h"

namespace rudira {

struct TSortRequest;
struct TSortOutcome;
struct TSortOutputOptions;
class TSortKeys;

constexpr int32_t kReadAheadBytes = 8192;

// The session's limits on the record cache.
struct DataBufferLimits {
  int32_t MaxBytes = 16384;  // maximum data buffer bytes
  int32_t MaxCount = 8192;   // maximum data buffer count (records)
};

// What a new data file is created from.
struct DataFileDefinition {
  int16_t LanguageId = 0;
  int16_t SortId = 0;
  std::vector<TFieldDescriptor> Fields;  // in field-number order
  uint32_t BlobBlockSize = 0;            // 0 means 512
  std::string Description;               // up to 50 bytes
  std::string Password;                  // up to 15 bytes, kept only when Encrypted
  bool Encrypted = false;
  int16_t UserMajorVersion = 0;
  int16_t UserMinorVersion = 0;
};

class TDataFile : public TFileHandler {
 public:
  using TFileHandler::TFileHandler;
  ~TDataFile() override;

  // Opens the file and reads and checks its header and descriptors. Raises
  // 11010 for a missing file, 12035 for a FormatVersion other than 5, 8961
  // for any inconsistency (header, descriptors, a file length that is not the
  // descriptors plus NextRecordNumber − 1 whole records — or one record more,
  // the torn append of a killed writer, whose slot is ignored — the
  // free-chain head),
  // 15878 for a locale the platform does not know. A failure closes the file
  // again before the error propagates.
  void Open() override;
  // Drops descriptors and cache (unwritten changes are lost: callers write
  // them first), then closes.
  void Close() override;

  // --- header and descriptors ---

  // Checks `definition` (storage/field_definitions.h for the errors), builds
  // the header and descriptors, creates the file (replacing any) and writes
  // them, so the new file is a valid empty table of 127 + 768 × F bytes.
  void CreateTable(const DataFileDefinition& definition);

  // Reads the header from the file; 8961 when it is malformed.
  void ReadHeader();
  // The header's bytes from the file.
  void ReadHeaderBytes(uint8_t* bytes);
  // Decodes header bytes read from the file into the header held.
  void AdoptHeader(const uint8_t* bytes);
  // Reads the header again; true when its ChangeCount differs from the one
  // held. In-memory header changes are discarded.
  bool RereadHeader();
  // Writes the header when it is modified or `force`: ChangeCount + 1,
  // WriterVersion 33000, LastUpdated now; then tells the change notifier.
  void WriteHeader(bool force = false);
  void MarkHeaderModified() { headerModified_ = true; }
  bool HeaderModified() const { return headerModified_; }
  // Counts a header write without writing (used inside a transaction, where
  // everything stays in the caches until commit).
  void BumpChangeCountInMemory();

  // Reads the F descriptors (unscrambling them); 8961 when malformed.
  void ReadDescriptors();
  // Writes the descriptors when they are modified or `force`; flushes after
  // the write when force-flush is on.
  void WriteDescriptors(bool force = false);
  bool DescriptorsModified() const { return descriptorsModified_; }

  // Changes field `index`'s (0-based) name, description, Required flag and
  // minimum, maximum and default texts in place, without touching records.
  // Raises 9985 for an index out of range, 10038 for an invalid or duplicate
  // name, 10006 for a check text that does not parse.
  void UpdateFieldAttributes(size_t index, const std::string& name, const std::string& description,
                             bool required, const std::string& minValue, const std::string& maxValue,
                             const std::string& defaultValue);

  // Checks header and descriptors against each other and the file length
  // (the checks of Open); raises as Open does.
  void Validate();

  const TDataHeader& Header() const { return header_; }
  const std::vector<TFieldDescriptor>& Fields() const { return fields_; }
  TableLocale Locale() const { return {header_.LanguageId, header_.SortId}; }
  uint16_t RecordSize() const { return header_.RecordSize; }
  // Where record 1 starts: 127 + 768 × F.
  int64_t DataStart() const;
  // The number of record slots, in use or deleted: NextRecordNumber − 1.
  int32_t RecordSlotCount() const { return header_.NextRecordNumber - 1; }

  // --- records ---

  // Record n (1 ≤ n ≤ RecordSlotCount()), from the cache or read from the
  // file in a run of about 8 KiB starting at n, or ending at n when
  // `backward`. Raises 8962 for a number outside the slots, 9217 when the
  // file is shorter than the slots. The record stays valid until the next
  // cache operation unless pinned.
  TRecord* GetRecord(int32_t recordNo, bool backward = false);

  // Record n's bytes for reading only, unscrambled: a cached record's; else,
  // when the last read run holds n, taken from the run without installing a
  // record (a scan through a run would otherwise install, and in a full
  // cache evict, one record for every record it reads); else read and
  // installed as GetRecord does. Valid until the next operation on this
  // file. Raises as GetRecord.
  const uint8_t* ReadRecordBytes(int32_t recordNo);

  // The record number the next insert will take: the free chain's head, or
  // NextRecordNumber when there is none or `keepInsertionOrder` (a table
  // without primary key keeps rows in insertion order).
  int32_t InsertRecordNumber(bool keepInsertionOrder) const;

  // Takes that slot for an insert and returns its record, zeroed, in use,
  // numbered, modified, and with the next auto-increment value at offset 5
  // when `newAutoIncValue`. Appending raises 9479 beyond 200,000,000 records
  // or when the record would end past byte 4,000,000,000; a free-chain head
  // that is not a deleted record raises 8962. The header is marked modified.
  TRecord* AllocateRecord(bool keepInsertionOrder, bool newAutoIncValue);

  // Deletes record n: status deleted, linked in at the head of the free
  // chain, header marked modified. A record already deleted raises 8708
  // (linking it twice would make the chain a loop).
  void DeleteRecord(int32_t recordNo);

  // Marks `record` modified so that it is written back.
  void MarkRecordModified(TRecord* record) { record->SetModified(true); }

  // Writes the modified, unpinned records in runs of consecutive numbers,
  // one positioned write per run.
  void WriteRecords();
  // Drops every cached record, modified ones included.
  void DropCache();
  // Drops least recently used clean records down to the session limit.
  void ShrinkCache();

  // Truncates the file after the descriptors, resets ChangeCount,
  // FirstFreeRecord, NextRecordNumber and LastAutoIncValue, drops the cache
  // and writes the header. REQUIRES: the table is held exclusively.
  void Empty();

  // --- result sort (storage/data_file_sort.h) ---

  // Reorders the records by the request's sort key, producing its output
  // rows as records 1..p; see storage/data_file_sort.h. Raises 9492 for more
  // than 1024 sort fields, 9985 for a sort field that is not one of this
  // file's fields, and whatever the callbacks or the file layer raise.
  // The output rows reach the file at once even inside a transaction (a
  // result table made in the database directory joins the running one): the
  // table is the session's alone, and its header still waits for the
  // commit like every other.
  // REQUIRES: no record pinned; the table has no index entries (result
  // tables keep none), since records move.
  TSortOutcome Sort(const TSortRequest& request);

  // --- counters ---

  // LastAutoIncValue + 1, wrapping from 2147483647 to 1; becomes the new
  // LastAutoIncValue; header marked modified.
  int32_t NextAutoIncValue();
  void SetLastAutoIncValue(int32_t value);
  // LastBlobStamp + 1, wrapping from 2147483647 to 1; header marked modified.
  int32_t NextBlobStamp();

  // --- description and password ---

  std::string Description() const;
  void SetDescription(const std::string& text);
  std::string Password() const;
  void SetPassword(const std::string& text);
  // The application's version numbers of the table; header marked modified.
  void SetUserVersion(int16_t major, int16_t minor);

  // --- session settings ---

  void SetBufferLimits(const DataBufferLimits& limits);
  void SetForceFlush(bool value) { forceFlush_ = value; }
  // Inside a transaction modified records are never written to make room;
  // the cache grows instead.
  void SetInTransaction(bool value) { inTransaction_ = value; }
  // Called after every header write, so that the table can note for the lock
  // protocol that it changed its files.
  void SetChangeNotifier(std::function<void()> notifier) { changeNotifier_ = std::move(notifier); }

  // The record cache, for inspection.
  const TRecordCache& Cache() const { return cache_; }
  int32_t ReadAheadCount() const { return readAheadCount_; }

 private:
  [[noreturn]] void Raise(uint16_t code) const;
  void SizeCache();
  // Reads `count` records starting at `first` with one positioned read into
  // the cache's run buffer, from which GetRecord installs the records asked
  // for. Raises 9217 when `wanted`, or a record of the run that is not
  // cached, lies beyond the file's end.
  void ReadRun(int32_t first, int32_t count, int32_t wanted);
  // GetRecord after a cache miss: the run read when it does not hold n,
  // and n installed from it.
  TRecord* InstallRecord(int32_t recordNo, bool backward);
  // A record object for record n, making room in the cache: a spare or new
  // one while there is room, else the least recently used clean record; when
  // there is none, modified records are written first (outside a
  // transaction); when there is still none the cache grows by 64.
  TRecord* MakeRoom(int32_t recordNo);
  void WriteRun(const std::vector<TRecord*>& run);
  int64_t RecordOffset(int32_t recordNo) const;
  // The two methods of Sort (storage/data_file_sort.cpp).
  int32_t SortInCache(const TSortKeys& keys, const TSortOutputOptions& options);
  TSortOutcome SortExternally(const TSortKeys& keys, const TSortRequest& request);
  // Writes `count` output rows as records firstRowNo.. with one write.
  void WriteSortedRows(const uint8_t* rows, size_t count, int32_t firstRowNo);
  // Truncates the file after record `rowCount`.
  void TruncateAfter(int32_t rowCount);

  TDataHeader header_;                    // as read, texts as stored
  std::vector<TFieldDescriptor> fields_;  // one per field
  bool headerModified_ = false;           // header differs from the file
  // The header's bytes as last read or written: a re-read finding them
  // unchanged, with nothing changed in memory since, keeps the header held.
  uint8_t fileHeader_[kDataHeaderSize] = {};
  bool fileHeaderKnown_ = false;
  bool descriptorsModified_ = false;      // descriptors differ from the file
  TRecordStack recordStack_;              // spare records
  TRecordCache cache_{recordStack_};      // cached records
  int32_t readAheadCount_ = 1;            // records per read run
  DataBufferLimits limits_;               // session limits of the cache
  bool forceFlush_ = false;               // flush after descriptor writes and emptying
  bool inTransaction_ = false;            // never write records to make room
  std::function<void()> changeNotifier_;  // told after each header write
  std::vector<uint8_t> plainRecord_;      // ReadRecordBytes' unscrambled copy of an encrypted record
};

}  // namespace rudira
