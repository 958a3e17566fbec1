// TRUDIRABlobStream: a stream over the BLOB value of one field of a cursor
// dataset's current record.
//
// Modes: bmRead, bmWrite (the value is truncated to nothing at once) and
// bmReadWrite. A write mode needs a field that is not read-only ("Field %s
// cannot be modified.") and a dataset in edit or insert state ("Table is not
// in edit or insert mode."). The BLOB is opened in the engine for the record
// in the active buffer; when the engine finds that record changed by
// another user (8708) on the first attempt, the record is re-read and the
// open tried once more.
//
// Read and Write work at the position and advance it; reading at the end
// gives 0 bytes, no error. Seek sets the position from the beginning, the
// current position or the end (the BLOB's size); a position before the
// start raises "Invalid stream position.".
//
// Freeing the stream marks the field modified when anything was written,
// frees the engine BLOB unless the dataset keeps it for posting (edit or
// insert state), and tells the field's data links of the change.
//
// REQUIRES: the field's dataset is a TRUDIRADataSet that stays open and on
// the same record while the stream lives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rudira {

class TField;
class TRUDIRADataSet;

enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TRUDIRABlobStream {
 public:
  TRUDIRABlobStream(TField& field, TBlobStreamMode mode);
  ~TRUDIRABlobStream();
  TRUDIRABlobStream(const TRUDIRABlobStream&) = delete;
  TRUDIRABlobStream& operator=(const TRUDIRABlobStream&) = delete;

  // Bytes read (fewer than count at the end).
  size_t Read(void* buffer, size_t count);
  // Bytes written (all of them). REQUIRES: a write mode.
  size_t Write(const void* buffer, size_t count);
  // The new position.
  int64_t Seek(int64_t offset, TSeekOrigin origin);
  int64_t Position() const { return position_; }
  int64_t Size();
  // Cuts the value at the position.
  void Truncate();

 private:
  void CheckWritable() const;

  TField& field_;
  TRUDIRADataSet& dataSet_;
  TBlobStreamMode mode_;
  int fieldNo_;
  int64_t position_ = 0;
  bool modified_ = false;
  bool opened_ = false;
};

}  // namespace rudira
