// TBlobBuffer: a cursor's in-memory copy of one BLOB value, read from and
// written back to its chain in the table's BLOB file.
//
// The buffer holds the reference of the record's BLOB field (first block and
// stamp), the value bytes, a copy of the value as last read or written (to
// restore on cancel) and a modified flag. Edits change only the buffer; the
// file changes when the record is posted and WriteValue runs.
//
// Stamps guard against stale references: every block of a chain repeats the
// stamp of the reference, a rewrite gives the chain a new stamp and freed
// blocks carry none. A reader whose record still holds the old stamp after
// another writer rewrote or freed the BLOB therefore gets 8708
// (RUDIRA_KEYORRECDELETED) and re-reads its record.
//
// Lifetime: the buffer refers to its BLOB file, which must outlive it. Not
// thread-safe: used by one cursor under the table's locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/blob_file.h"
#include "storage/blob_layout.h"

namespace rudira {

class TBlobBuffer {
 public:
  // file: the table's BLOB file. reference: the record's BLOB field.
  TBlobBuffer(TBlobFile& file, BlobReference reference);
  TBlobBuffer(const TBlobBuffer&) = delete;
  TBlobBuffer& operator=(const TBlobBuffer&) = delete;

  // The owning cursor's change check (only when its session does not use
  // strict change detection); see TBlobChangeCheck.
  void SetChangeCheck(TBlobChangeCheck changeCheck) { changeCheck_ = std::move(changeCheck); }

  // Fills the buffer from the chain of Reference() (an empty reference gives
  // an empty value) and keeps the value as the copy; clears Modified().
  // Returns false, with the buffer unchanged, when the change check reported
  // a change before a disk read: the caller repositions and reads again.
  // Raises 8708 when a block's stamp differs from the reference's, 8963 for
  // a link outside the file, a cycle or an impossible length, 8711 when the
  // chain ends before TotalLength bytes.
  bool ReadValue();

  // Writes the value to the chain with the new stamp `stamp` (issued from
  // the data header's LastBlobStamp): the old chain's blocks are reused in
  // order, more are allocated as needed, surplus old blocks are freed, and
  // Reference() becomes (first block, stamp). An empty value frees the old
  // chain and leaves an empty reference. Keeps the value as the copy and
  // clears Modified(). Raises 8708 when the old first block no longer carries
  // the reference's stamp, 8963 for a broken old chain, 9479 when the value
  // or the file would exceed its limits, 8711 when the chain could not take
  // every byte. On a raise the file's cache may hold part of the new chain:
  // the table drops its caches.
  // REQUIRES: the table's writer lock is held; stamp ≥ 1.
  void WriteValue(int32_t stamp);

  // --- the value ---

  const std::vector<uint8_t>& Value() const { return value_; }
  size_t Length() const { return value_.size(); }
  // Makes the value `length` bytes long: cut, or extended with zero bytes.
  void SetLength(size_t length);
  // Replaces the value.
  void Assign(const void* data, size_t count);
  // Writes count bytes at offset, extending the value (with zero bytes up to
  // offset) as needed.
  void WriteAt(size_t offset, const void* data, size_t count);
  // Copies up to count bytes from offset; returns the bytes copied (0 at or
  // beyond the end).
  size_t ReadAt(size_t offset, void* data, size_t count) const;

  // Keeps the current value as the copy restored on cancel.
  void KeepCopy();
  // Puts the kept copy back and clears Modified().
  void RestoreCopy();

  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }

  const BlobReference& Reference() const { return reference_; }
  // Points the buffer at another reference (the record was read again);
  // the value is kept until the next ReadValue.
  void SetReference(BlobReference reference) { reference_ = reference; }

 private:
  [[noreturn]] void Raise(uint16_t code) const;

  TBlobFile& file_;                  // the table's BLOB file
  TBlobChangeCheck changeCheck_;     // the cursor's change check, or empty
  BlobReference reference_;          // first block and stamp of the chain
  std::vector<uint8_t> value_;       // the value bytes
  std::vector<uint8_t> copy_;        // the value as last read or written
  bool modified_ = false;            // value_ changed since then
};

}  // namespace rudira
