#include "storage/sort_output.h"

#include <cassert>
#include <cstring>

#include "storage/record_layout.h"

namespace rudira {

TSortOutput::TSortOutput(const TSortKeys& keys, const TSortOutputOptions& options, size_t recordSize,
                         size_t batchRows, const TSortRowSink& sink)
    : keys_(keys),
      options_(options),
      sink_(sink),
      recordSize_(recordSize),
      batchRows_(batchRows),
      grouping_(options.Grouping()),
      lastKey_(keys.FieldBytes()) {
  if (grouping_) incoming_.resize(recordSize);
}

bool TSortOutput::Done() const { return options_.RowLimit >= 0 && kept_ >= options_.RowLimit; }

void TSortOutput::Emit(const uint8_t* record, const uint8_t* key) {
  const size_t at = rows_.size();
  rows_.insert(rows_.end(), record, record + recordSize_);
  uint8_t* row = rows_.data() + at;
  const int32_t position = handedOn_ + HeldRows();
  SetRecordStatus(row, kRecordInUse);
  SetRecordNumberOrLink(row, position);
  SetRecordAutoIncValue(row, position);
  // Without sort fields there is nothing to remember (and no buffer to copy to).
  if (!lastKey_.empty()) std::memcpy(lastKey_.data(), key, lastKey_.size());
  haveLast_ = true;
}

void TSortOutput::Complete() {
  uint8_t* row = LastRow();
  if (grouping_ && options_.FinishGroup) options_.FinishGroup(row);
  if (options_.Filter && !options_.Filter(row)) {
    rows_.resize(rows_.size() - recordSize_);
    return;
  }
  ++kept_;
}

bool TSortOutput::Take(const uint8_t* record, const uint8_t* key) {
  assert(!Done());
  if (!grouping_) {
    if (options_.Distinct && haveLast_ && keys_.SameFields(key, lastKey_.data())) return true;
    Emit(record, key);
    Complete();
  } else if (open_ && keys_.SameFields(key, lastKey_.data())) {
    if (options_.Accumulate) options_.Accumulate(record, LastRow());
    return true;
  } else {
    // The callback may change the record that opens the group: it works on a
    // copy, so that the caller's record (a cached record, a run buffer) stays
    // as it was.
    std::memcpy(incoming_.data(), record, recordSize_);
    if (options_.StartGroup) options_.StartGroup(open_ ? LastRow() : nullptr, incoming_.data());
    if (open_) {
      open_ = false;
      Complete();
      if (Done()) return false;
    }
    Emit(incoming_.data(), key);
    open_ = true;
  }
  if (batchRows_ != 0 && static_cast<size_t>(HeldRows() - (open_ ? 1 : 0)) >= batchRows_) Flush();
  return !Done();
}

void TSortOutput::Flush() {
  const int32_t complete = HeldRows() - (open_ ? 1 : 0);
  if (complete <= 0) return;
  sink_(rows_.data(), static_cast<size_t>(complete), handedOn_ + 1);
  handedOn_ += complete;
  rows_.erase(rows_.begin(), rows_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(complete) * recordSize_));
}

int32_t TSortOutput::Finish() {
  if (open_) {
    open_ = false;
    Complete();
  }
  Flush();
  return handedOn_;
}

}  // namespace rudira
