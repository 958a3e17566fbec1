// TDataFile::Sort: the in-cache and the external method, and the run files
// of the external one.
#include "storage/data_file_sort.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <cstring>
#include <iterator>
#include <memory>
#include <numeric>
#include <vector>

#include "engine/errors.h"
#include "storage/abstract_file.h"
#include "storage/data_file.h"
#include "storage/index_file.h"
#include "storage/index_key.h"
#include "storage/os_process.h"
#include "storage/record_layout.h"
#include "storage/scramble.h"

namespace rudira {
namespace {

std::atomic<uint32_t> runFileCounter{0};

// The largest single write; only a grown cache of very large records comes
// near it.
constexpr size_t kMaxWriteBytes = size_t{1} << 30;

// The run files of one sort. They are temporary files: closing deletes a
// disk file, and a memory file is removed explicitly. The destructor closes
// and deletes every one of them, so that no exit leaves a run file behind.
class TRunFiles {
 public:
  TRunFiles(const std::string& privateDirectory, bool inMemory) : inMemory_(inMemory) {
    directory_ = privateDirectory.empty() ? OsTempDirectory() : privateDirectory;
    if (directory_.back() != '/' && directory_.back() != '\\') directory_ += '/';
    prefix_ = std::to_string(OsCurrentThreadId()).substr(0, 5);
  }
  ~TRunFiles() {
    for (auto& file : files_) Delete(*file);
  }
  TRunFiles(const TRunFiles&) = delete;
  TRunFiles& operator=(const TRunFiles&) = delete;

  // A new, empty run file, open for reading and writing.
  TFileHandler& Create() {
    auto file = std::make_unique<TFileHandler>();
    file->SetInMemory(inMemory_);
    file->SetTemporary(true);
    for (;;) {
      file->SetFileName(directory_ + prefix_ + std::to_string(runFileCounter.fetch_add(1)) + ".TMP");
      if (!file->Exists()) break;
    }
    file->CreateNew();
    files_.push_back(std::move(file));
    return *files_.back();
  }

  // Closes and deletes a run file that has been merged into another.
  void Release(TFileHandler& file) {
    const auto it = std::find_if(files_.begin(), files_.end(), [&](const auto& f) { return f.get() == &file; });
    assert(it != files_.end());
    std::unique_ptr<TFileHandler> owned = std::move(*it);
    files_.erase(it);
    Delete(*owned);
  }

 private:
  static void Delete(TFileHandler& file) {
    try {
      if (file.Opened()) file.Close();
      if (file.Exists()) file.Remove();
    } catch (const ERUDIRAEngineError&) {
      // A run file that cannot be removed is left to the system; the sort's
      // own outcome is what the caller hears about.
    }
  }

  bool inMemory_;
  std::string directory_;                            // with a trailing separator
  std::string prefix_;                               // first five digits of the thread id
  std::vector<std::unique_ptr<TFileHandler>> files_;  // every run file created
};

void WriteAt(TFileHandler& file, int64_t offset, const uint8_t* bytes, size_t count) {
  TFileAccess access(file);
  file.Seek(kSeekFromBeginning, offset);
  while (count > 0) {
    const size_t part = std::min(count, kMaxWriteBytes);
    file.WriteBuffer(bytes, static_cast<int32_t>(part));
    bytes += part;
    count -= part;
  }
}

void ReadAt(TFileHandler& file, int64_t offset, uint8_t* bytes, size_t count) {
  TFileAccess access(file);
  file.Seek(kSeekFromBeginning, offset);
  file.ReadBuffer(bytes, static_cast<int32_t>(count), /*allowShort=*/false);
}

// The positions 0..count-1 of `keys` (count keys of keySize bytes) in key
// order; equal keys keep their positions' order.
std::vector<uint32_t> SortedOrder(const TSortKeys& sortKeys, const std::vector<uint8_t>& keys, size_t count) {
  std::vector<uint32_t> order(count);
  const size_t keySize = sortKeys.KeySize();
  if (!sortKeys.Bytewise()) {
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      return sortKeys.Compare(keys.data() + a * keySize, keys.data() + b * keySize) < 0;
    });
    return order;
  }
  // Bytewise keys sort as compact entries: their first eight bytes as one
  // big-endian number, sorted by a stable radix sort over the bytes in which
  // the entries differ; the rest of the key, then the position, settle the
  // entries of equal prefix.
  struct Entry {
    uint64_t Prefix;
    uint32_t Position;
  };
  const size_t prefixBytes = std::min<size_t>(keySize, 8);
  std::vector<Entry> entries(count);
  std::vector<std::array<size_t, 256>> histogram(8);
  for (auto& counts : histogram) counts.fill(0);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* key = keys.data() + i * keySize;
    uint64_t prefix = 0;
    for (size_t b = 0; b < prefixBytes; ++b) prefix = (prefix << 8) | key[b];
    prefix <<= 8 * (8 - prefixBytes);
    entries[i] = {prefix, static_cast<uint32_t>(i)};
    for (size_t b = 0; b < 8; ++b) ++histogram[b][(prefix >> (8 * b)) & 0xff];
  }
  std::vector<Entry> scratch(count);
  for (size_t b = 0; b < 8; ++b) {
    std::array<size_t, 256>& counts = histogram[b];
    if (std::find(counts.begin(), counts.end(), count) != counts.end()) continue;  // one byte value for all
    size_t at = 0;
    for (size_t& bucket : counts) {
      const size_t n = bucket;
      bucket = at;
      at += n;
    }
    for (const Entry& entry : entries) scratch[counts[(entry.Prefix >> (8 * b)) & 0xff]++] = entry;
    entries.swap(scratch);
  }
  const size_t restBytes = keySize - prefixBytes;
  if (restBytes > 0) {
    auto byRest = [&](const Entry& a, const Entry& b) {
      const int c = std::memcmp(keys.data() + a.Position * keySize + prefixBytes,
                                keys.data() + b.Position * keySize + prefixBytes, restBytes);
      return c != 0 ? c < 0 : a.Position < b.Position;
    };
    for (size_t first = 0; first < count;) {
      size_t last = first + 1;
      while (last < count && entries[last].Prefix == entries[first].Prefix) ++last;
      if (last - first > 1) std::sort(entries.begin() + static_cast<ptrdiff_t>(first),
                                      entries.begin() + static_cast<ptrdiff_t>(last), byRest);
      first = last;
    }
  }
  for (size_t i = 0; i < count; ++i) order[i] = entries[i].Position;
  return order;
}

// One run during a merge: its file, the records read ahead of it, its
// current record and that record's key.
struct RunCursor {
  TFileHandler* File = nullptr;
  int32_t Count = 0;             // records in the run
  int32_t Next = 0;              // position of the record after the current one
  std::vector<uint8_t> Buffer;   // records read from the file, unscrambled
  size_t Held = 0;               // records in Buffer
  size_t At = 0;                 // place of the current record in Buffer
  std::vector<uint8_t> Key;      // the current record's sort key
};

RunCursor CursorOn(TFileHandler& file, int32_t count, size_t keySize) {
  RunCursor run;
  run.File = &file;
  run.Count = count;
  run.Key.resize(keySize);
  return run;
}

// Merges `runs` (each sorted, in file order of their records) by key: hands
// each record with its key to take(record, key) in key order, until every
// run is exhausted or take returns false. Each run is read ahead in blocks
// of whole records, one positioned read each, so that the runs together
// hold about as much as one run sorted in memory (at least one record
// each). Of equal keys the earlier run's record comes first, so the merge
// keeps the order of the file.
template <typename Take>
void MergeRuns(std::vector<RunCursor>& runs, const TSortKeys& keys, size_t recordSize, bool encrypted, Take take) {
  const size_t readAhead =
      std::max<size_t>(1, static_cast<size_t>(kSortRunBytes) / std::max<size_t>(1, runs.size()) / recordSize);
  auto advance = [&](RunCursor& run) {
    if (run.Next >= run.Count) return false;
    if (run.At + 1 < run.Held) {
      ++run.At;
    } else {
      const size_t count = std::min(readAhead, static_cast<size_t>(run.Count - run.Next));
      run.Buffer.resize(count * recordSize);
      ReadAt(*run.File, static_cast<int64_t>(run.Next) * static_cast<int64_t>(recordSize), run.Buffer.data(),
             run.Buffer.size());
      if (encrypted) {
        for (size_t i = 0; i < count; ++i) Scramble(run.Buffer.data() + i * recordSize, recordSize, kRecordScrambleSeed);
      }
      run.Held = count;
      run.At = 0;
    }
    keys.Build(run.Buffer.data() + run.At * recordSize, run.Key.data());
    ++run.Next;
    return true;
  };
  // A heap of run positions with the smallest current key on top.
  auto later = [&](size_t a, size_t b) {
    const int c = keys.Compare(runs[a].Key.data(), runs[b].Key.data());
    return c > 0 || (c == 0 && a > b);
  };
  std::vector<size_t> heap;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (advance(runs[i])) heap.push_back(i);
  }
  std::make_heap(heap.begin(), heap.end(), later);
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), later);
    RunCursor& run = runs[heap.back()];
    if (!take(run.Buffer.data() + run.At * recordSize, run.Key.data())) return;
    if (advance(run)) {
      std::push_heap(heap.begin(), heap.end(), later);
    } else {
      heap.pop_back();
    }
  }
}

// Writes whole records to a run file in batches of about 1 MiB, scrambled
// like the data file's when the table is encrypted.
class TRunWriter {
 public:
  TRunWriter(TFileHandler& file, size_t recordSize, bool encrypted)
      : file_(file), recordSize_(recordSize), encrypted_(encrypted) {
    buffer_.reserve(std::max(recordSize, static_cast<size_t>(kSortRunBytes)));
  }
  void Add(const uint8_t* record) {
    const size_t at = buffer_.size();
    buffer_.insert(buffer_.end(), record, record + recordSize_);
    if (encrypted_) Scramble(buffer_.data() + at, recordSize_, kRecordScrambleSeed);
    ++count_;
    if (buffer_.size() >= static_cast<size_t>(kSortRunBytes)) Flush();
  }
  // Writes what is buffered; returns the records written in all.
  int32_t Finish() {
    Flush();
    return count_;
  }

 private:
  void Flush() {
    if (buffer_.empty()) return;
    WriteAt(file_, written_, buffer_.data(), buffer_.size());
    written_ += static_cast<int64_t>(buffer_.size());
    buffer_.clear();
  }

  TFileHandler& file_;
  size_t recordSize_;
  bool encrypted_;
  std::vector<uint8_t> buffer_;  // records not written yet
  int64_t written_ = 0;          // bytes written so far
  int32_t count_ = 0;            // records added
};

// Sorts `records` by key and writes them with one write to a new run file,
// scrambled like the data file's when the table is encrypted.
RunCursor WriteSortedRun(TRunFiles& runFiles, const TSortKeys& keys, const std::vector<const uint8_t*>& records,
                   size_t recordSize, bool encrypted) {
  const size_t keySize = keys.KeySize();
  std::vector<uint8_t> keyBytes(records.size() * keySize);
  for (size_t i = 0; i < records.size(); ++i) keys.Build(records[i], keyBytes.data() + i * keySize);
  const std::vector<uint32_t> order = SortedOrder(keys, keyBytes, records.size());
  std::vector<uint8_t> sorted(records.size() * recordSize);
  for (size_t i = 0; i < order.size(); ++i) {
    uint8_t* target = sorted.data() + i * recordSize;
    std::memcpy(target, records[order[i]], recordSize);
    if (encrypted) Scramble(target, recordSize, kRecordScrambleSeed);
  }
  TFileHandler& file = runFiles.Create();
  WriteAt(file, 0, sorted.data(), sorted.size());
  return CursorOn(file, static_cast<int32_t>(records.size()), keySize);
}

// Merges `runs` into the output step, whose rows go to `sink` in batches of
// about 1 MiB; sets the outcome's RowCount and MergePasses. The run files
// stay in runFiles.
void MergeToOutput(std::vector<RunCursor>& runs, TRunFiles& runFiles, const TSortKeys& keys, size_t recordSize,
                   bool encrypted, const TSortOutputOptions& options, const TSortRowSink& sink,
                   TSortOutcome& outcome) {
  const size_t keySize = keys.KeySize();

  // More runs than one merge may keep open are first merged in groups of
  // consecutive runs into longer runs, so that the file order of equal keys
  // survives.
  while (runs.size() > kMaxMergeWidth) {
    std::vector<RunCursor> longer;
    for (size_t first = 0; first < runs.size(); first += kMaxMergeWidth) {
      const auto begin = runs.begin() + static_cast<ptrdiff_t>(first);
      const auto end = runs.begin() + static_cast<ptrdiff_t>(std::min(runs.size(), first + kMaxMergeWidth));
      std::vector<RunCursor> group(std::make_move_iterator(begin), std::make_move_iterator(end));
      TFileHandler& file = runFiles.Create();
      TRunWriter writer(file, recordSize, encrypted);
      MergeRuns(group, keys, recordSize, encrypted, [&](const uint8_t* record, const uint8_t*) {
        writer.Add(record);
        return true;
      });
      const int32_t count = writer.Finish();
      for (RunCursor& run : group) runFiles.Release(*run.File);
      longer.push_back(CursorOn(file, count, keySize));
    }
    runs = std::move(longer);
    ++outcome.MergePasses;
  }

  const size_t batchRows = std::max<size_t>(1, static_cast<size_t>(kSortRunBytes) / recordSize);
  TSortOutput step(keys, options, recordSize, batchRows, sink);
  if (!step.Done()) {
    MergeRuns(runs, keys, recordSize, encrypted,
              [&](const uint8_t* record, const uint8_t* key) { return step.Take(record, key); });
  }
  outcome.RowCount = step.Finish();
}

// Sorts `records` (whole records in memory, in file order) by key and runs
// the output step over them into `output`; returns the output rows.
// When `idsInOrder`, the keys take the positions 1, 2, … as ids in place of
// the records' own id bytes.
int32_t SortRecordsInMemory(const TSortKeys& keys, const TSortOutputOptions& options, size_t recordSize,
                            const std::vector<const uint8_t*>& records, bool idsInOrder,
                            std::vector<uint8_t>& output) {
  const size_t keySize = keys.KeySize();
  std::vector<uint8_t> keyBytes(records.size() * keySize);
  for (size_t i = 0; i < records.size(); ++i) {
    uint8_t* key = keyBytes.data() + i * keySize;
    keys.Build(records[i], key);
    if (idsInOrder) EncodeOrderedInt32(static_cast<int32_t>(i + 1), key + keys.FieldBytes());
  }
  const std::vector<uint32_t> order = SortedOrder(keys, keyBytes, records.size());
  output.reserve(records.size() * recordSize);
  const TSortRowSink sink = [&](const uint8_t* rows, size_t count, int32_t) {
    output.insert(output.end(), rows, rows + count * recordSize);
  };
  TSortOutput step(keys, options, recordSize, /*batchRows=*/0, sink);
  for (uint32_t at : order) {
    if (step.Done()) break;
    step.Take(records[at], keyBytes.data() + at * keySize);
  }
  return step.Finish();
}

}  // namespace

struct TSortFeed::TImpl {
  TImpl(const TDataFile& file, const TSortOrder& order, const std::string& privateDirectory)
      : Keys(order, file.Locale()),
        RecordSize(file.RecordSize()),
        Encrypted(file.Header().Encrypted != 0),
        RunFiles(privateDirectory, file.InMemory()) {}

  TSortKeys Keys;
  size_t RecordSize;
  bool Encrypted;
  TRunFiles RunFiles;
  std::vector<RunCursor> Runs;
  int64_t Fed = 0;  // rows fed so far
};

TSortFeed::TSortFeed(const TDataFile& file, const TSortOrder& order, const std::string& privateDirectory)
    : impl_(std::make_unique<TImpl>(file, order, privateDirectory)) {}

TSortFeed::~TSortFeed() = default;

void TSortFeed::AddRun(const std::vector<uint8_t>& rows) {
  TImpl& feed = *impl_;
  const size_t size = feed.RecordSize;
  if (rows.size() < size) return;
  std::vector<uint8_t> numbered(rows.begin(), rows.begin() + static_cast<ptrdiff_t>(rows.size() / size * size));
  std::vector<const uint8_t*> records;
  records.reserve(numbered.size() / size);
  for (size_t at = 0; at < numbered.size(); at += size) {
    SetRecordAutoIncValue(numbered.data() + at, static_cast<int32_t>(++feed.Fed));
    records.push_back(numbered.data() + at);
  }
  feed.Runs.push_back(WriteSortedRun(feed.RunFiles, feed.Keys, records, size, feed.Encrypted));
}

int32_t TSortFeed::RunCount() const { return static_cast<int32_t>(impl_->Runs.size()); }

void TSortFeed::Drain(const std::function<void(const uint8_t* record)>& take) {
  TImpl& feed = *impl_;
  std::vector<uint8_t> record(feed.RecordSize);
  std::vector<RunCursor> runs = std::move(feed.Runs);
  feed.Runs.clear();
  for (RunCursor& run : runs) {
    for (int32_t i = 0; i < run.Count; ++i) {
      ReadAt(*run.File, static_cast<int64_t>(i) * static_cast<int64_t>(feed.RecordSize), record.data(),
             feed.RecordSize);
      if (feed.Encrypted) Scramble(record.data(), feed.RecordSize, kRecordScrambleSeed);
      take(record.data());
    }
    feed.RunFiles.Release(*run.File);
  }
}

TSortOutcome TDataFile::Sort(const TSortRequest& request) {
  const TSortOrder& order = request.Order;
  if (order.Fields.size() > kMaxSortFields) Raise(RUDIRA_FLDLIMIT);
  for (const SortField& sortField : order.Fields) {
    const TFieldDescriptor& given = sortField.Field;
    const bool known = given.FieldNo >= 1 && given.FieldNo <= fields_.size();
    const TFieldDescriptor* own = known ? &fields_[given.FieldNo - 1] : nullptr;
    if (own == nullptr || own->FieldType != given.FieldType || own->Width != given.Width ||
        own->Offset != given.Offset || own->Computed != given.Computed) {
      RaiseEngineError(RUDIRA_OUTOFRANGE, {.TableName = FileName(), .FieldName = given.FieldName});
    }
  }
  const TSortKeys keys(order, Locale());
  TSortOutcome outcome;
  if (request.Feed != nullptr && request.Feed->RunCount() > 0) {
    assert(RecordSlotCount() == 0 && cache_.Count() == 0);
    TSortFeed::TImpl& feed = *request.Feed->impl_;
    if (request.NewRows != nullptr) request.Feed->AddRun(*request.NewRows);
    // The ids their appends would have taken.
    for (int64_t i = 0; i < feed.Fed; ++i) NextAutoIncValue();
    outcome.RunCount = request.Feed->RunCount();
    const TSortRowSink sink = [&](const uint8_t* rows, size_t count, int32_t firstRowNo) {
      WriteSortedRows(rows, count, firstRowNo);
    };
    std::vector<RunCursor> runs = std::move(feed.Runs);
    feed.Runs.clear();
    try {
      MergeToOutput(runs, feed.RunFiles, keys, feed.RecordSize, feed.Encrypted, request.Output, sink, outcome);
    } catch (...) {
      // The file holds no record slots still: nothing written may stay.
      try {
        TruncateAfter(0);
      } catch (const ERUDIRAEngineError&) {
        // The merge's own error is the one to report.
      }
      throw;
    }
    for (RunCursor& run : runs) feed.RunFiles.Release(*run.File);
  } else if (request.NewRows != nullptr) {
    assert(RecordSlotCount() == 0 && cache_.Count() == 0);
    const size_t recordSize = header_.RecordSize;
    const std::vector<uint8_t>& made = *request.NewRows;
    assert(made.size() % recordSize == 0);
    std::vector<const uint8_t*> records(made.size() / recordSize);
    for (size_t i = 0; i < records.size(); ++i) records[i] = made.data() + i * recordSize;
    // The ids their appends would have taken.
    for (size_t i = 0; i < records.size(); ++i) NextAutoIncValue();
    std::vector<uint8_t> output;
    outcome.RowCount = SortRecordsInMemory(keys, request.Output, recordSize, records, /*idsInOrder=*/true, output);
    try {
      if (outcome.RowCount > 0) WriteSortedRows(output.data(), static_cast<size_t>(outcome.RowCount), 1);
    } catch (...) {
      // The file holds no record slots still: nothing written may stay.
      try {
        TruncateAfter(0);
      } catch (const ERUDIRAEngineError&) {
        // The write's own error is the one to report.
      }
      throw;
    }
  } else if (cache_.Count() == static_cast<size_t>(RecordSlotCount())) {
    outcome.RowCount = SortInCache(keys, request.Output);
  } else {
    outcome = SortExternally(keys, request);
  }
  const int32_t rows = outcome.RowCount;
  header_.NextRecordNumber = rows + 1;
  header_.FirstFreeRecord = 0;
  if (header_.LastAutoIncValue < rows) header_.LastAutoIncValue = rows;
  headerModified_ = true;
  if (request.IndexFile != nullptr) request.IndexFile->SetActiveRecordCount(rows);
  return outcome;
}

void TDataFile::WriteSortedRows(const uint8_t* rows, size_t count, int32_t firstRowNo) {
  const size_t recordSize = header_.RecordSize;
  const size_t bytes = count * recordSize;
  if (!header_.Encrypted) {
    WriteAt(*this, RecordOffset(firstRowNo), rows, bytes);
    return;
  }
  std::vector<uint8_t> scrambled(rows, rows + bytes);
  for (size_t i = 0; i < count; ++i) Scramble(scrambled.data() + i * recordSize, recordSize, kRecordScrambleSeed);
  WriteAt(*this, RecordOffset(firstRowNo), scrambled.data(), bytes);
}

void TDataFile::TruncateAfter(int32_t rowCount) {
  TFileAccess access(*this);
  Seek(kSeekFromBeginning, RecordOffset(rowCount + 1));
  WriteBuffer(nullptr, 0);
}

int32_t TDataFile::SortInCache(const TSortKeys& keys, const TSortOutputOptions& options) {
  const size_t recordSize = header_.RecordSize;
  std::vector<const uint8_t*> records;
  records.reserve(cache_.Count());
  for (const auto& record : cache_.Records()) {
    assert(!record->Pinned());
    if (RecordStatus(record->Data()) == kRecordInUse) records.push_back(record->Data());
  }
  std::vector<uint8_t> output;
  const int32_t rowCount = SortRecordsInMemory(keys, options, recordSize, records, /*idsInOrder=*/false, output);

  try {
    if (rowCount > 0) WriteSortedRows(output.data(), static_cast<size_t>(rowCount), 1);
    if (rowCount < RecordSlotCount()) TruncateAfter(rowCount);
  } catch (...) {
    // The file may be half rewritten; the cache still holds every record as
    // it was, and writing it back restores the file.
    for (const auto& record : cache_.Records()) record->SetModified(true);
    throw;
  }
  // The cache keeps the table in memory: it now holds the output rows, as
  // written.
  cache_.Clear();
  std::vector<std::unique_ptr<TRecord>> sorted;
  sorted.reserve(static_cast<size_t>(rowCount));
  for (int32_t i = 0; i < rowCount; ++i) {
    std::unique_ptr<TRecord> record = recordStack_.Pop();
    record->Reset(this, i + 1, recordSize);
    std::memcpy(record->Data(), output.data() + static_cast<size_t>(i) * recordSize, recordSize);
    sorted.push_back(std::move(record));
  }
  cache_.InsertSorted(std::move(sorted));
  return rowCount;
}

TSortOutcome TDataFile::SortExternally(const TSortKeys& keys, const TSortRequest& request) {
  WriteRecords();
  cache_.Clear();
  const size_t recordSize = header_.RecordSize;
  const bool encrypted = header_.Encrypted != 0;
  const int32_t slots = RecordSlotCount();
  const int32_t runLength =
      std::max<int32_t>(1, std::min<int32_t>(limits_.MaxCount, kSortRunBytes / static_cast<int32_t>(recordSize)));

  TRunFiles runFiles(request.PrivateDirectory, InMemory());
  std::vector<RunCursor> runs;
  {
    std::vector<uint8_t> chunk(static_cast<size_t>(runLength) * recordSize);
    std::vector<const uint8_t*> inUse;
    for (int32_t first = 1; first <= slots; first += runLength) {
      const int32_t count = std::min(runLength, slots - first + 1);
      ReadAt(*this, RecordOffset(first), chunk.data(), static_cast<size_t>(count) * recordSize);
      inUse.clear();
      for (int32_t i = 0; i < count; ++i) {
        uint8_t* record = chunk.data() + static_cast<size_t>(i) * recordSize;
        if (encrypted) Scramble(record, recordSize, kRecordScrambleSeed);
        if (RecordStatus(record) == kRecordInUse) inUse.push_back(record);
      }
      if (inUse.empty()) continue;
      runs.push_back(WriteSortedRun(runFiles, keys, inUse, recordSize, encrypted));
    }
  }
  TSortOutcome outcome;
  outcome.RunCount = static_cast<int32_t>(runs.size());
  const TSortRowSink sink = [&](const uint8_t* rows, size_t count, int32_t firstRowNo) {
    WriteSortedRows(rows, count, firstRowNo);
  };
  MergeToOutput(runs, runFiles, keys, recordSize, encrypted, request.Output, sink, outcome);
  if (outcome.RowCount < slots) TruncateAfter(outcome.RowCount);
  return outcome;
}

}  // namespace rudira
