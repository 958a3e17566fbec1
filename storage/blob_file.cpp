#include "storage/blob_file.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "engine/errors.h"
#include "storage/scramble.h"

namespace rudira {
namespace {

// Unpins a block when the scope ends, also when a raise leaves it.
class TPinGuard {
 public:
  explicit TPinGuard(TBlock* block) : block_(block) { block_->Pin(); }
  ~TPinGuard() { block_->Unpin(); }
  TPinGuard(const TPinGuard&) = delete;
  TPinGuard& operator=(const TPinGuard&) = delete;

 private:
  TBlock* block_;
};

}  // namespace

TBlobFile::~TBlobFile() {
  // The base destructor closes the handle; the cache goes with the object.
}

void TBlobFile::Raise(uint16_t code) const { RaiseTableError(code, "", FileName()); }

// --- configuration ----------------------------------------------------------

void TBlobFile::SetBlockSize(uint32_t storedBlockSize) {
  assert(!Opened());
  blockSize_ = EffectiveBlockSize(storedBlockSize);
}

void TBlobFile::SetEncrypted(bool value) {
  assert(!Opened());
  encrypted_ = value;
}

void TBlobFile::SetBufferLimits(const BlobBufferLimits& limits) {
  limits_ = limits;
  if (Opened()) SizeCache();
}

void TBlobFile::SizeCache() {
  const int64_t byBytes = std::max<int64_t>(limits_.MaxBytes, 0) / blockSize_;
  const int64_t limit = std::max<int64_t>(1, std::min<int64_t>(byBytes, limits_.MaxCount));
  cache_.SetCapacity(static_cast<size_t>(limit));
  readAheadCount_ = std::max<int32_t>(1, kBlobReadAheadBytes / static_cast<int32_t>(blockSize_));
}

// --- open, create, close ----------------------------------------------------

void TBlobFile::Open() {
  if (Opened()) return;
  TFileHandler::Open();
  try {
    if (!ValidBlockSize(blockSize_)) Raise(RUDIRA_HEADERCORRUPT);
    ReadHeader();
    headerModified_ = false;
    SizeCache();
  } catch (...) {
    cache_.Clear();
    TFileHandler::Close();
    throw;
  }
}

void TBlobFile::CreateNew() {
  if (!ValidBlockSize(blockSize_)) Raise(RUDIRA_BLOBLIMIT);
  TFileHandler::CreateNew();
  try {
    cache_.Clear();
    header_ = TBlobHeader{};
    headerModified_ = false;
    StoreHeader();
    SizeCache();
  } catch (...) {
    TFileHandler::Close();
    throw;
  }
}

void TBlobFile::Close() {
  assert(!cache_.AnyPinned());
  cache_.Clear();
  headerModified_ = false;
  TFileHandler::Close();
}

// --- header -----------------------------------------------------------------

void TBlobFile::CheckHeader(const TBlobHeader& header) const {
  if (header.FormatVersion != kBlobFormatVersion) Raise(RUDIRA_OLDVERSION);
  if (header.NextBlockNumber < 1 || header.NextBlockNumber > kMaxBlockNumber + 1) {
    Raise(RUDIRA_HEADERCORRUPT);
  }
}

TBlobHeader TBlobFile::LoadHeader() {
  uint8_t bytes[kBlobHeaderSize];
  int32_t bytesRead;
  {
    TFileAccess access(*this);
    Seek(kSeekFromBeginning, 0);
    bytesRead = ReadBuffer(bytes, static_cast<int32_t>(kBlobHeaderSize), true);
  }
  if (bytesRead != static_cast<int32_t>(kBlobHeaderSize)) Raise(RUDIRA_HEADERCORRUPT);
  if (encrypted_) Scramble(bytes, kBlobHeaderSize, kRecordScrambleSeed);
  TBlobHeader header;
  header.DecodeFrom(bytes);
  return header;
}

void TBlobFile::StoreHeader() {
  uint8_t bytes[kBlobHeaderSize];
  header_.EncodeTo(bytes);
  if (encrypted_) Scramble(bytes, kBlobHeaderSize, kRecordScrambleSeed);
  TFileAccess access(*this);
  Seek(kSeekFromBeginning, 0);
  WriteBuffer(bytes, static_cast<int32_t>(kBlobHeaderSize));
}

void TBlobFile::ReadHeader() {
  const TBlobHeader header = LoadHeader();
  CheckHeader(header);
  header_ = header;
  headerModified_ = false;
}

bool TBlobFile::RereadHeader() {
  const int32_t heldCount = header_.BlobChangeCount;
  ReadHeader();
  return header_.BlobChangeCount != heldCount;
}

void TBlobFile::WriteHeader(bool force) {
  if (!headerModified_ && !force) return;
  header_.BlobChangeCount += 1;
  header_.BlobHeaderModified = headerModified_ ? 1 : 0;
  StoreHeader();
  headerModified_ = false;
  if (changeNotifier_) changeNotifier_();
}

void TBlobFile::BumpChangeCountInMemory() {
  header_.BlobChangeCount += 1;
  headerModified_ = true;
}

void TBlobFile::Empty() {
  DropCache();
  {
    TFileAccess access(*this);
    Seek(kSeekFromBeginning, static_cast<int64_t>(kBlobHeaderSize));
    WriteBuffer(nullptr, 0);
  }
  header_.FirstFreeBlock = 0;
  header_.NextBlockNumber = 1;
  headerModified_ = true;
  WriteHeader();
}

void TBlobFile::Verify() const {
  if (header_.FormatVersion != kBlobFormatVersion) Raise(RUDIRA_OLDVERSION);
  if (header_.NextBlockNumber < 1 || header_.FirstFreeBlock < 0 ||
      header_.FirstFreeBlock > header_.NextBlockNumber - 1) {
    Raise(RUDIRA_HEADERCORRUPT);
  }
}

// --- blocks -----------------------------------------------------------------

TBlock* TBlobFile::MakeRoom(int32_t blockNo, bool mayEvictDirty) {
  std::unique_ptr<TBlock> block;
  if (!cache_.Full()) {
    block = blockStack_.Pop();
  } else if (TBlock* victim = cache_.LeastRecentlyUsedClean()) {
    block = cache_.Remove(victim);
  } else if (!mayEvictDirty) {
    return nullptr;
  } else {
    if (!inTransaction_) WriteBlocks();
    if (TBlock* cleaned = cache_.LeastRecentlyUsedClean()) {
      block = cache_.Remove(cleaned);
    } else {
      // Everything is pinned or must stay until commit.
      cache_.SetCapacity(cache_.Capacity() + kBlockCacheGrowth);
      block = blockStack_.Pop();
    }
  }
  block->Reset(blockNo, blockSize_);
  return cache_.Insert(std::move(block));
}

TBlock* TBlobFile::AppendBlock() {
  const int32_t blockNo = header_.NextBlockNumber;
  if (!BlockWithinLimits(blockNo, blockSize_)) Raise(RUDIRA_TABLEFULL);
  TBlock* block = cache_.Find(blockNo);
  if (block != nullptr) {
    // Left over from before the file was emptied by another user.
    if (block->Pinned()) Raise(RUDIRA_MEMOCORRUPT);
    block->Clear();
  } else {
    block = MakeRoom(blockNo, true);
  }
  block->SetModified(true);
  header_.NextBlockNumber = blockNo + 1;
  headerModified_ = true;
  return block;
}

void TBlobFile::ReadRun(int32_t first, int32_t count) {
  // Room for the wanted block is made before the read: making it may write
  // modified blocks, and bytes read before that write would be stale.
  TBlock* wanted = MakeRoom(first, true);
  const size_t blockSize = blockSize_;
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * blockSize);
  int32_t bytesRead;
  try {
    TFileAccess access(*this);
    Seek(kSeekFromBeginning, BlockOffset(first, blockSize_));
    bytesRead = ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()), true);
  } catch (...) {
    cache_.Discard(wanted);
    throw;
  }
  ++blockReads_;
  // A run may end early where blocks were appended in the cache and not yet
  // written; the wanted block itself must be on disk.
  const int32_t blocksRead = bytesRead / static_cast<int32_t>(blockSize);
  if (blocksRead < 1) {
    cache_.Discard(wanted);
    Raise(RUDIRA_READERR);
  }
  wanted->DecodeFrom(bytes.data(), encrypted_);
  TPinGuard keepWanted(wanted);  // the read-ahead blocks must not evict it
  for (int32_t i = 1; i < blocksRead; ++i) {
    const int32_t blockNo = first + i;
    const uint8_t* stored = bytes.data() + static_cast<size_t>(i) * blockSize;
    if (TBlock* cached = cache_.Peek(blockNo)) {
      if (!cached->Modified() && !cached->Pinned()) cached->DecodeFrom(stored, encrypted_);
      continue;
    }
    TBlock* block = MakeRoom(blockNo, false);
    if (block == nullptr) break;
    block->DecodeFrom(stored, encrypted_);
  }
}

TBlock* TBlobFile::GetBlock(int32_t blockNo, int32_t readAheadHint, const TBlobChangeCheck& changeCheck) {
  assert(Opened());
  if (blockNo < 1 || blockNo > header_.NextBlockNumber) Raise(RUDIRA_MEMOCORRUPT);
  if (blockNo == header_.NextBlockNumber) return AppendBlock();
  if (TBlock* cached = cache_.Find(blockNo)) return cached;
  if (changeCheck && changeCheck()) return nullptr;
  const int64_t left = static_cast<int64_t>(header_.NextBlockNumber) - blockNo;
  int64_t count = std::min<int64_t>({readAheadCount_, std::max(readAheadHint, 1), left});
  count = std::max<int64_t>(1, std::min<int64_t>(count, static_cast<int64_t>(cache_.Capacity())));
  ReadRun(blockNo, static_cast<int32_t>(count));
  TBlock* block = cache_.Find(blockNo);
  if (block == nullptr) Raise(RUDIRA_MEMOCORRUPT);
  return block;
}

TBlock* TBlobFile::AllocateBlock() {
  const int32_t head = header_.FirstFreeBlock;
  if (head == 0) {
    TBlock* block = AppendBlock();
    block->Clear();
    return block;
  }
  if (!ExistingBlock(head)) Raise(RUDIRA_HEADERCORRUPT);
  TBlock* block = GetBlock(head);
  const int32_t next = block->Header().NextBlock;
  // A free block is unpinned and unstamped; anything else means the free
  // chain runs into a live BLOB, whose blocks must not be handed out.
  if (block->Pinned() || block->Header().OwnerStamp != 0 || (next != 0 && !ExistingBlock(next))) {
    Raise(RUDIRA_MEMOCORRUPT);
  }
  header_.FirstFreeBlock = next;
  headerModified_ = true;
  block->Clear();
  block->SetModified(true);
  return block;
}

void TBlobFile::FreeBlock(TBlock* block) {
  assert(block != nullptr && ExistingBlock(block->BlockNo()));
  BlockHeader& header = block->Header();
  header = BlockHeader{};
  header.NextBlock = header_.FirstFreeBlock;
  block->SetModified(true);
  header_.FirstFreeBlock = block->BlockNo();
  headerModified_ = true;
}

void TBlobFile::FreeChain(const BlobReference& reference, bool repair) {
  if (!HasBlob(reference)) return;
  std::unordered_set<int32_t> seen;
  FreeChainFrom(reference.FirstBlock, reference.Stamp, repair, readAheadCount_, seen);
}

void TBlobFile::FreeChainFrom(int32_t first, int32_t stamp, bool repair, int32_t readAheadHint,
                              std::unordered_set<int32_t>& seen) {
  if (!ExistingBlock(first) || !seen.insert(first).second) Raise(RUDIRA_MEMOCORRUPT);
  int32_t hint = std::max(readAheadHint, 1);
  TBlock* block = GetBlock(first, hint);
  for (;;) {
    if (block->Pinned()) Raise(RUDIRA_MEMOCORRUPT);
    if (block->Header().OwnerStamp != stamp) {
      if (!repair) Raise(RUDIRA_MEMOCORRUPT);
      block->Header().OwnerStamp = stamp;
    }
    const int32_t next = block->Header().NextBlock;
    if (next == 0) break;
    if (!ExistingBlock(next) || !seen.insert(next).second) Raise(RUDIRA_MEMOCORRUPT);
    hint = std::max(hint - 1, 1);
    TBlock* successor;
    {
      TPinGuard keep(block);
      successor = GetBlock(next, hint);
    }
    FreeBlock(block);
    block = successor;
  }
  FreeBlock(block);
}

void TBlobFile::WriteRun(const std::vector<TBlock*>& run) {
  const size_t blockSize = blockSize_;
  std::vector<uint8_t> bytes(run.size() * blockSize);
  for (size_t i = 0; i < run.size(); ++i) run[i]->EncodeTo(bytes.data() + i * blockSize, encrypted_);
  {
    TFileAccess access(*this);
    Seek(kSeekFromBeginning, BlockOffset(run.front()->BlockNo(), blockSize_));
    WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  ++blockWrites_;
  for (TBlock* block : run) block->SetModified(false);
}

void TBlobFile::WriteBlocks() {
  // A run is bounded so that its buffer stays small next to the cache.
  constexpr size_t kMaxRunBytes = 1 << 20;
  const size_t maxRunBlocks = std::max<size_t>(1, kMaxRunBytes / blockSize_);
  std::vector<TBlock*> run;
  for (TBlock* block : cache_.ModifiedBlocks()) {
    if (!run.empty() && (block->BlockNo() != run.back()->BlockNo() + 1 || run.size() >= maxRunBlocks)) {
      WriteRun(run);
      run.clear();
    }
    run.push_back(block);
  }
  if (!run.empty()) WriteRun(run);
}

void TBlobFile::DropCache() {
  assert(!cache_.AnyPinned());
  cache_.Clear();
}

void TBlobFile::ShrinkCache() {
  SizeCache();
  cache_.ShrinkTo(cache_.Capacity());
}

// --- locks ------------------------------------------------------------------

bool TBlobFile::LockReaderSlot(uint16_t slot) {
  assert(slot >= 1);
  return LockRegion(1, kBlobReaderSlotBase - slot);
}

bool TBlobFile::UnlockReaderSlot(uint16_t slot) {
  assert(slot >= 1);
  return UnlockRegion(1, kBlobReaderSlotBase - slot);
}

bool TBlobFile::LockWriterRange() { return LockRegion(kBlobWriterRangeLength, kBlobWriterRangeOffset); }

bool TBlobFile::UnlockWriterRange() { return UnlockRegion(kBlobWriterRangeLength, kBlobWriterRangeOffset); }

}  // namespace rudira
