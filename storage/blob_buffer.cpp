#include "storage/blob_buffer.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <unordered_set>

#include "engine/errors.h"

namespace rudira {
namespace {

class TPinGuard {
 public:
  explicit TPinGuard(TBlock* block) : block_(block) { block_->Pin(); }
  ~TPinGuard() { block_->Unpin(); }
  TPinGuard(const TPinGuard&) = delete;
  TPinGuard& operator=(const TPinGuard&) = delete;

 private:
  TBlock* block_;
};

int32_t BlocksFor(int64_t length, uint32_t blockSize) {
  return static_cast<int32_t>(std::min<int64_t>(BlocksForLength(length, blockSize), INT32_MAX));
}

}  // namespace

TBlobBuffer::TBlobBuffer(TBlobFile& file, BlobReference reference) : file_(file), reference_(reference) {}

void TBlobBuffer::Raise(uint16_t code) const { RaiseTableError(code, "", file_.FileName()); }

bool TBlobBuffer::ReadValue() {
  if (!HasBlob(reference_)) {
    value_.clear();
    copy_.clear();
    modified_ = false;
    return true;
  }
  const size_t dataSize = file_.BlockDataSize();
  const uint32_t blockSize = file_.BlockSize();
  if (!file_.ExistingBlock(reference_.FirstBlock)) Raise(RUDIRA_MEMOCORRUPT);
  const TBlock* block = file_.GetBlock(reference_.FirstBlock, 1, changeCheck_);
  if (block == nullptr) return false;
  if (block->Header().OwnerStamp != reference_.Stamp) Raise(RUDIRA_KEYORRECDELETED);

  const int64_t total = block->Header().TotalLength;
  // More than every block of the file could hold is no length at all.
  if (total < 0 || total > static_cast<int64_t>(file_.BlockCount()) * static_cast<int64_t>(dataSize)) {
    Raise(RUDIRA_MEMOCORRUPT);
  }
  std::vector<uint8_t> value(static_cast<size_t>(total));
  std::unordered_set<int32_t> seen{reference_.FirstBlock};
  size_t copied = 0;
  for (;;) {
    const size_t chunk = std::min({dataSize, value.size() - copied, size_t{block->Header().UsedBytes}});
    if (chunk > 0) std::memcpy(value.data() + copied, block->Data(), chunk);
    copied += chunk;
    if (copied == value.size()) break;
    const int32_t next = block->Header().NextBlock;
    if (next == 0) break;
    if (!file_.ExistingBlock(next) || !seen.insert(next).second) Raise(RUDIRA_MEMOCORRUPT);
    block = file_.GetBlock(next, BlocksFor(total - static_cast<int64_t>(copied), blockSize), changeCheck_);
    if (block == nullptr) return false;
    if (block->Header().OwnerStamp != reference_.Stamp) Raise(RUDIRA_KEYORRECDELETED);
  }
  if (copied != value.size()) Raise(RUDIRA_ENDOFBLOB);
  value_ = std::move(value);
  copy_ = value_;
  modified_ = false;
  return true;
}

void TBlobBuffer::WriteValue(int32_t stamp) {
  assert(stamp >= 1);
  if (value_.size() > static_cast<size_t>(INT32_MAX)) Raise(RUDIRA_TABLEFULL);
  const BlobReference old = reference_;
  const size_t dataSize = file_.BlockDataSize();
  const uint32_t blockSize = file_.BlockSize();
  const size_t length = value_.size();

  // The old chain must still be the one the record names.
  TBlock* block = nullptr;
  int32_t oldBlocksLeft = 0;  // blocks of the old chain not reached yet
  if (HasBlob(old)) {
    if (!file_.ExistingBlock(old.FirstBlock)) Raise(RUDIRA_MEMOCORRUPT);
    block = file_.GetBlock(old.FirstBlock, 1);
    if (block->Header().OwnerStamp != old.Stamp) Raise(RUDIRA_KEYORRECDELETED);
    if (block->Header().TotalLength < 0) Raise(RUDIRA_MEMOCORRUPT);
    oldBlocksLeft = BlocksFor(block->Header().TotalLength, blockSize) - 1;
  }

  if (length == 0) {
    if (HasBlob(old)) file_.FreeChain(old);
    reference_ = BlobReference{};
    copy_.clear();
    modified_ = false;
    return;
  }

  std::unordered_set<int32_t> seen;
  if (block == nullptr) block = file_.AllocateBlock();
  const int32_t firstBlock = block->BlockNo();
  seen.insert(firstBlock);
  // The rest of the old chain, still to be reused or freed.
  int32_t oldNext = HasBlob(old) ? block->Header().NextBlock : 0;
  block->Header().PrevBlock = 0;
  block->Header().OwnerStamp = stamp;
  block->Header().TotalLength = static_cast<int32_t>(length);

  size_t written = 0;
  for (;;) {
    const size_t chunk = std::min(dataSize, length - written);
    std::memcpy(block->Data(), value_.data() + written, chunk);
    // Old bytes past the value's end would outlive it in the file.
    std::memset(block->Data() + chunk, 0, dataSize - chunk);
    block->Header().UsedBytes = static_cast<uint16_t>(chunk);
    block->SetModified(true);
    written += chunk;
    if (written == length) break;

    TBlock* successor;
    {
      TPinGuard keep(block);
      if (oldNext != 0) {
        if (!file_.ExistingBlock(oldNext) || !seen.insert(oldNext).second) Raise(RUDIRA_MEMOCORRUPT);
        successor = file_.GetBlock(oldNext, std::max(oldBlocksLeft, 1));
        if (successor->Pinned() || successor->Header().OwnerStamp != old.Stamp) Raise(RUDIRA_MEMOCORRUPT);
        oldNext = successor->Header().NextBlock;
        oldBlocksLeft = std::max(oldBlocksLeft - 1, 0);
      } else {
        successor = file_.AllocateBlock();
        seen.insert(successor->BlockNo());
      }
    }
    // Making room for the successor may have written this block already.
    block->Header().NextBlock = successor->BlockNo();
    block->SetModified(true);
    successor->Header().PrevBlock = block->BlockNo();
    successor->Header().OwnerStamp = stamp;
    successor->Header().TotalLength = 0;
    successor->SetModified(true);
    block = successor;
  }
  block->Header().NextBlock = 0;
  block->SetModified(true);
  if (oldNext != 0) file_.FreeChainFrom(oldNext, old.Stamp, false, std::max(oldBlocksLeft, 1), seen);
  if (written != length) Raise(RUDIRA_ENDOFBLOB);

  reference_ = BlobReference{firstBlock, stamp};
  copy_ = value_;
  modified_ = false;
}

void TBlobBuffer::SetLength(size_t length) {
  if (length == value_.size()) return;
  value_.resize(length, 0);
  modified_ = true;
}

void TBlobBuffer::Assign(const void* data, size_t count) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  value_.assign(bytes, bytes + count);
  modified_ = true;
}

void TBlobBuffer::WriteAt(size_t offset, const void* data, size_t count) {
  if (offset + count > value_.size()) value_.resize(offset + count, 0);
  if (count > 0) std::memcpy(value_.data() + offset, data, count);
  modified_ = true;
}

size_t TBlobBuffer::ReadAt(size_t offset, void* data, size_t count) const {
  if (offset >= value_.size()) return 0;
  const size_t n = std::min(count, value_.size() - offset);
  std::memcpy(data, value_.data() + offset, n);
  return n;
}

void TBlobBuffer::KeepCopy() { copy_ = value_; }

void TBlobBuffer::RestoreCopy() {
  value_ = copy_;
  modified_ = false;
}

}  // namespace rudira
