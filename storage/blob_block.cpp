#include "storage/blob_block.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "storage/scramble.h"

namespace rudira {

void TBlock::Reset(int32_t blockNo, uint32_t blockSize) {
  assert(blockSize > kBlockHeaderSize);
  assert(mruPrev_ == nullptr && mruNext_ == nullptr);
  const size_t dataSize = BlockDataSize(blockSize);
  if (data_.size() != dataSize) {
    data_.assign(dataSize, 0);
  } else {
    std::fill(data_.begin(), data_.end(), uint8_t{0});
  }
  blockNo_ = blockNo;
  header_ = BlockHeader{};
  modified_ = false;
  pinCount_ = 0;
}

void TBlock::Clear() {
  header_ = BlockHeader{};
  std::fill(data_.begin(), data_.end(), uint8_t{0});
}

void TBlock::Unpin() {
  assert(pinCount_ > 0);
  --pinCount_;
}

void TBlock::EncodeTo(uint8_t* p, bool encrypted) const {
  header_.EncodeTo(p);
  if (!data_.empty()) std::memcpy(p + kBlockHeaderSize, data_.data(), data_.size());
  if (encrypted) {
    Scramble(p, kBlockHeaderSize, kRecordScrambleSeed);
    Scramble(p + kBlockHeaderSize, data_.size(), kRecordScrambleSeed);
  }
}

void TBlock::DecodeFrom(const uint8_t* p, bool encrypted) {
  if (!encrypted) {
    header_.DecodeFrom(p);
    if (!data_.empty()) std::memcpy(data_.data(), p + kBlockHeaderSize, data_.size());
    return;
  }
  uint8_t header[kBlockHeaderSize];
  std::memcpy(header, p, kBlockHeaderSize);
  Scramble(header, kBlockHeaderSize, kRecordScrambleSeed);
  header_.DecodeFrom(header);
  if (!data_.empty()) std::memcpy(data_.data(), p + kBlockHeaderSize, data_.size());
  Scramble(data_.data(), data_.size(), kRecordScrambleSeed);
}

std::unique_ptr<TBlock> TBlockStack::Pop() {
  if (spare_.empty()) return std::make_unique<TBlock>();
  std::unique_ptr<TBlock> block = std::move(spare_.back());
  spare_.pop_back();
  return block;
}

void TBlockStack::Push(std::unique_ptr<TBlock> block) {
  if (block == nullptr || spare_.size() >= kBlockStackLimit) return;
  spare_.push_back(std::move(block));
}

}  // namespace rudira
