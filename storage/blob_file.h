// TBlobFile: a table's BLOB file (".BLB"): its header, the free-block chain
// and the block cache.
//
// Layout: storage/blob_layout.h. Each BLOB value is a doubly linked chain of
// blocks that all carry the stamp of the record's reference; freed blocks
// form a singly linked chain through NextBlock headed by FirstFreeBlock and
// are reused, most recently freed first, before the file grows. Blocks are
// never given back to the operating system except by Empty().
//
// The block size and the encrypted flag come from the data file header and
// are set before Open or CreateNew. The cache holds at most
// min(BLOB buffer bytes div block size, BLOB buffer count) blocks; a full
// cache reuses its least recently used clean, unpinned block, else (outside a
// transaction) writes every modified block and looks again, else grows by 32.
// A miss reads a run of consecutive blocks with one positioned read, as many
// as the smallest of the read-ahead count (16384 div block size), the
// caller's hint and the blocks up to the end of the file; modified blocks are
// written in runs of consecutive numbers, one positioned write per run.
//
// Every chain walk is range-checked, stamp-checked and guarded against
// cycles, so a corrupt file raises 8963 (RUDIRA_MEMOCORRUPT) instead of
// looping or reading outside the file.
//
// Ownership and validity: the cache owns its blocks. A TBlock* returned here
// stays valid until the next operation that may read, allocate or drop
// blocks, unless the caller pins it (and unpins it before returning).
//
// Concurrency: used under the table's locks (storage/data_table): writers
// hold the writer range below, readers a reader slot. Every positioned read
// or write, and each header read or write, holds the shared file's access
// guard. Not otherwise thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>

#include "storage/blob_block.h"
#include "storage/blob_layout.h"
#include "storage/block_cache.h"
#include "storage/file_handler.h"

namespace rudira {

// Lock bytes of the BLOB file (beyond any data): reader slot s (1..65535) is
// the byte 4294967295 − s; the writer range covers every reader slot.
constexpr int64_t kBlobReaderSlotBase = 4294967295LL;
constexpr int64_t kBlobWriterRangeOffset = 4294901759LL;
constexpr int64_t kBlobWriterRangeLength = 65536;

// The session's limits on the block cache.
struct BlobBufferLimits {
  int32_t MaxBytes = 32768;  // BLOB buffer bytes
  int32_t MaxCount = 8192;   // BLOB buffer count (blocks)
};

// Given to a read by a cursor whose session does not use strict change
// detection: called before a block is read from disk; returns true when the
// table has changed (the caches are then dropped), which abandons the read so
// that the cursor can reposition.
using TBlobChangeCheck = std::function<bool()>;

class TBlobFile : public TFileHandler {
 public:
  using TFileHandler::TFileHandler;
  ~TBlobFile() override;

  // --- configuration (REQUIRES: closed) ---

  // The data header's BlobBlockSize (0 stands for 512).
  void SetBlockSize(uint32_t storedBlockSize);
  // Whether the table is encrypted (header and blocks scrambled).
  void SetEncrypted(bool value);

  uint32_t BlockSize() const { return blockSize_; }
  size_t BlockDataSize() const { return rudira::BlockDataSize(blockSize_); }
  bool Encrypted() const { return encrypted_; }

  // --- file ---

  // Opens the file, reads the header and checks it: 12035 for a
  // FormatVersion other than 5, 8961 for a block size outside 64..65535, a
  // short header or a NextBlockNumber outside 1..2000000001. Sizes the cache.
  // A failure closes the file again before the error propagates.
  void Open() override;
  // Creates the file (replacing any) with the 512-byte empty header:
  // FormatVersion 5, FirstFreeBlock 0, NextBlockNumber 1, BlobChangeCount 0.
  // Raises 9498 for a block size outside 64..65535 before anything is made.
  void CreateNew() override;
  // Drops the cache (unwritten blocks and header changes are lost: callers
  // write them first) and closes.
  void Close() override;

  // --- header ---

  // Reads the header from the file and checks it as Open does.
  void ReadHeader();
  // Reads the header again; true when its BlobChangeCount differs from the
  // one held. In-memory header changes are discarded; the cache is kept (the
  // table drops it when something changed).
  bool RereadHeader();
  // Writes the header when it is modified or `force`, with
  // BlobChangeCount + 1; then tells the change notifier.
  void WriteHeader(bool force = false);
  void MarkHeaderModified() { headerModified_ = true; }
  bool HeaderModified() const { return headerModified_; }
  // Counts a header write without writing (inside a transaction everything
  // stays in the caches until commit).
  void BumpChangeCountInMemory();
  // Truncates the file after the header, sets FirstFreeBlock 0 and
  // NextBlockNumber 1, drops the cache and writes the header.
  // REQUIRES: the table is held exclusively; no block pinned.
  void Empty();
  // Checks the held header: 12035 for a wrong FormatVersion, 8961 unless
  // 1 ≤ NextBlockNumber and 0 ≤ FirstFreeBlock ≤ NextBlockNumber − 1.
  void Verify() const;

  const TBlobHeader& Header() const { return header_; }
  // Blocks in the file: NextBlockNumber − 1.
  int32_t BlockCount() const { return header_.NextBlockNumber - 1; }
  // Whether n names an existing block (1..NextBlockNumber − 1).
  bool ExistingBlock(int32_t blockNo) const { return blockNo >= 1 && blockNo < header_.NextBlockNumber; }

  // --- blocks ---

  // Block n, from the cache or read from the file in a run of up to
  // min(read-ahead count, readAheadHint, blocks left) blocks starting at n.
  // n = NextBlockNumber appends a fresh, zeroed, modified block (9479 beyond
  // block 2000000000 or byte 4000000000 of the file). Before a disk read
  // `changeCheck` (if given) may report a change: then nullptr is returned and
  // nothing was read. Raises 8963 for n outside 1..NextBlockNumber, 9217 when
  // the block lies beyond the end of the file.
  TBlock* GetBlock(int32_t blockNo, int32_t readAheadHint = 1, const TBlobChangeCheck& changeCheck = {});

  // A block for a chain, header and data cleared and marked modified: the
  // head of the free chain (whose NextBlock becomes the new head), else a new
  // block appended at NextBlockNumber. The header is marked modified. A free
  // head outside the file raises 8961; a free block that is in use or still
  // stamped, or whose link leaves the file, raises 8963.
  TBlock* AllocateBlock();

  // Puts `block` at the head of the free chain: its NextBlock becomes the
  // old head, its other header fields (the stamp too) are cleared, so that no
  // reference matches a freed block. REQUIRES: block cached, not in a chain
  // still referenced.
  void FreeBlock(TBlock* block);

  // Frees the whole chain of `reference`, each block after its successor has
  // been read. Every link must name an existing block not visited before, the
  // block must not be pinned, and its stamp must equal the reference's (with
  // `repair` a different stamp is overwritten instead), else 8963. An empty
  // reference frees nothing.
  void FreeChain(const BlobReference& reference, bool repair = false);

  // Writes every modified block, consecutive blocks in one positioned write.
  void WriteBlocks();
  // Drops every cached block, modified ones included. REQUIRES: none pinned
  // (debug-checked; a pinned block is kept for its user).
  void DropCache();
  // Drops least recently used clean blocks down to the session limit.
  void ShrinkCache();

  // --- locks (never wait, never raise; the table retries) ---

  // REQUIRES: 1 ≤ slot ≤ 65535.
  bool LockReaderSlot(uint16_t slot);
  bool UnlockReaderSlot(uint16_t slot);
  bool LockWriterRange();
  bool UnlockWriterRange();

  // --- session settings ---

  void SetBufferLimits(const BlobBufferLimits& limits);
  // Inside a transaction modified blocks are never written to make room.
  void SetInTransaction(bool value) { inTransaction_ = value; }
  // Called after every header write, so that the table can note for the
  // lock protocol that it changed its files.
  void SetChangeNotifier(std::function<void()> notifier) { changeNotifier_ = std::move(notifier); }

  // --- inspection ---

  const TBlockCache& Cache() const { return cache_; }
  const TBlockStack& SpareBlocks() const { return blockStack_; }
  int32_t ReadAheadCount() const { return readAheadCount_; }
  // Positioned block reads and writes issued so far (runs, not blocks).
  uint64_t BlockReadCount() const { return blockReads_; }
  uint64_t BlockWriteCount() const { return blockWrites_; }

 private:
  friend class TBlobBuffer;

  [[noreturn]] void Raise(uint16_t code) const;
  // The checks of Open and header reads.
  void CheckHeader(const TBlobHeader& header) const;
  // Reads and decodes the 512-byte header; 8961 when the file is shorter.
  TBlobHeader LoadHeader();
  void StoreHeader();
  void SizeCache();
  // Appends block NextBlockNumber to the cache.
  TBlock* AppendBlock();
  // Reads `count` blocks from `first` with one positioned read and caches
  // them; `first` must end up cached.
  void ReadRun(int32_t first, int32_t count);
  // A block object for block n, inserted into the cache. With
  // `mayEvictDirty` false (read-ahead), nothing is written or grown: nullptr
  // when there is no clean block to reuse.
  TBlock* MakeRoom(int32_t blockNo, bool mayEvictDirty);
  void WriteRun(const std::vector<TBlock*>& run);
  // The chain walk of FreeChain from block `first`; `seen` holds the blocks
  // the caller has already visited in this chain.
  void FreeChainFrom(int32_t first, int32_t stamp, bool repair, int32_t readAheadHint,
                     std::unordered_set<int32_t>& seen);

  uint32_t blockSize_ = kDefaultBlockSize;  // bytes per block
  bool encrypted_ = false;                  // header and blocks scrambled
  TBlobHeader header_;                      // as read or changed since
  bool headerModified_ = false;             // header differs from the file
  TBlockStack blockStack_;                  // spare blocks
  TBlockCache cache_{blockStack_};          // cached blocks
  int32_t readAheadCount_ = 1;              // blocks per read run at most
  BlobBufferLimits limits_;                 // session limits of the cache
  bool inTransaction_ = false;              // never write blocks to make room
  std::function<void()> changeNotifier_;    // told after each header write
  uint64_t blockReads_ = 0;                 // positioned block reads
  uint64_t blockWrites_ = 0;                // positioned block writes
};

}  // namespace rudira
