#include "engine/table_verifier.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>

#include "engine/error_codes.h"
#include "engine/errors.h"
#include "storage/blob_buffer.h"
#include "storage/data_table.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "storage/record.h"

namespace rudira {

namespace {

// Releases the reader lock taken for the run, also when a step raises.
class TReaderLockHold {
 public:
  explicit TReaderLockHold(TDataTable& table) : table_(table) {
    try {
      taken_ = table.ReaderLock();
    } catch (...) {
      // The lock's change check raised with the slot taken.
      if (table.ReaderLocked()) Release();
      throw;
    }
  }
  ~TReaderLockHold() {
    if (taken_) Release();
  }
  TReaderLockHold(const TReaderLockHold&) = delete;
  TReaderLockHold& operator=(const TReaderLockHold&) = delete;

 private:
  void Release() {
    try {
      table_.ReaderUnlock();
    } catch (...) {
      // An unlock failure leaves the slot to the lock protocol's clean-up
      // when the table closes.
    }
  }
  TDataTable& table_;
  bool taken_ = false;
};

// A key as hexadecimal bytes; long keys are cut after 24 bytes.
std::string KeyText(const uint8_t* key, size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  constexpr size_t kShown = 24;
  std::string text;
  for (size_t i = 0; i < size && i < kShown; ++i) {
    text += kDigits[key[i] >> 4];
    text += kDigits[key[i] & 0x0F];
  }
  if (size > kShown) text += "...";
  return text;
}

// The code and message of the error being handled.
void DescribeCurrentError(TVerifyFault& fault) {
  try {
    throw;
  } catch (const ERUDIRAEngineError& error) {
    fault.ErrorCode = error.ErrorCode();
    fault.Text += error.what();
  } catch (const std::exception& error) {
    fault.Text += error.what();
  }
}

}  // namespace

// The faults of one step or index: listed up to kListedFaultsPerStep.
struct TTableVerifier::TStepFaults {
  std::string Step;
  std::string Prefix;  // put before each line, e.g. "index ByName: "
  int64_t Count = 0;
};

void TTableVerifier::Note(const std::string& line) {
  if (log_) log_(line);
}

void TTableVerifier::Fault(TStepFaults& step, TVerifyFault fault) {
  ++faultCount_;
  if (++step.Count > kListedFaultsPerStep) return;
  fault.Step = step.Step;
  fault.Text = step.Prefix + fault.Text;
  Note(fault.Text);
  faults_.push_back(std::move(fault));
}

void TTableVerifier::CloseStep(TStepFaults& step, const std::string& summary) {
  if (step.Count > kListedFaultsPerStep) {
    Note(step.Prefix + std::to_string(step.Count - kListedFaultsPerStep) + " more problems");
  }
  if (step.Count == 0 && !summary.empty()) Note(step.Prefix + summary);
}

void TTableVerifier::Progress(const std::string& step) {
  ++stepsDone_;
  if (progress_) progress_(step, static_cast<int>(stepsDone_ * 100 / std::max(stepCount_, 1)));
}

bool TTableVerifier::CheckHeaders() {
  TStepFaults step{"Headers", ""};
  try {
    table_.Verify();
  } catch (...) {
    TVerifyFault fault;
    fault.Kind = TVerifyFaultKind::Header;
    DescribeCurrentError(fault);
    Fault(step, std::move(fault));
  }
  CloseStep(step, "headers OK");
  return step.Count == 0;
}

int64_t TTableVerifier::CheckRecords() {
  TStepFaults step{"Records", ""};
  TDataFile& data = table_.DataFile();
  int64_t active = 0;
  int64_t deleted = 0;
  const int32_t slots = data.RecordSlotCount();
  int32_t n = 1;
  try {
    for (; n <= slots; ++n) {
      const uint8_t* bytes = data.GetRecord(n)->Data();
      int32_t number = 0;
      std::memcpy(&number, bytes + 1, sizeof number);
      TVerifyFault fault;
      fault.Kind = TVerifyFaultKind::RecordSlot;
      fault.RecordNo = n;
      if (bytes[0] == 0) {
        ++active;
        if (number == n) continue;
        fault.Text = "record " + std::to_string(n) + " carries the number " + std::to_string(number);
      } else if (bytes[0] == 1) {
        ++deleted;
        continue;
      } else {
        fault.Text = "record " + std::to_string(n) + " has the invalid status " + std::to_string(bytes[0]);
      }
      Fault(step, std::move(fault));
    }
    Note(std::to_string(active) + " records, " + std::to_string(deleted) + " deleted slots");
  } catch (...) {
    TVerifyFault fault;
    fault.Kind = TVerifyFaultKind::RecordsUnreadable;
    fault.RecordNo = n;
    fault.Text = "record " + std::to_string(n) + ": ";
    DescribeCurrentError(fault);
    Fault(step, std::move(fault));
  }
  if (!table_.IndexesMissing() && table_.IndexFile().ActiveRecordCount() != active) {
    TVerifyFault fault;
    fault.Kind = TVerifyFaultKind::RecordCount;
    fault.Text = "the index file counts " + std::to_string(table_.IndexFile().ActiveRecordCount()) +
                 " records in use, the data file holds " + std::to_string(active);
    Fault(step, std::move(fault));
  }
  CloseStep(step, "");
  return active;
}

void TTableVerifier::CheckIndex(int slot, const std::string& name, TIndexContents contents) {
  TStepFaults step{"Index " + name, "index " + name + ": "};
  TDataFile& data = table_.DataFile();
  TIndexFile& indexes = table_.IndexFile();
  // `detail` goes after the entry's key inside the parentheses.
  const auto entryFault = [&](TVerifyFaultKind kind, int32_t recordNo, const uint8_t* key, size_t keySize, const std::string& text,
                              const std::string& detail = {}) {
    TVerifyFault fault;
    fault.Kind = kind;
    fault.Index = name;
    fault.RecordNo = recordNo;
    if (key != nullptr) {
      fault.Key.assign(key, key + keySize);
      fault.Text = text + " (key " + KeyText(key, keySize) + detail + ")";
    } else {
      fault.Text = text;
    }
    Fault(step, std::move(fault));
  };
  int64_t entries = 0;
  try {
    TIndexTree tree(indexes, slot);
    entries = tree.Check();
    if (contents == TIndexContents::Words) {
      CloseStep(step, std::to_string(entries) + " entries, tree OK");
      return;
    }
    const TIndexDefinition& definition = indexes.Definition(slot);
    const size_t keySize = static_cast<size_t>(std::max<int16_t>(definition.KeySize, 1));
    const int32_t slots = data.RecordSlotCount();
    std::vector<bool> seen(static_cast<size_t>(slots) + 1, false);
    std::vector<uint8_t> key(keySize);
    tree.ForEach([&](const uint8_t* entryKey, int32_t recordNo) {
      const std::string record = "record " + std::to_string(recordNo);
      if (recordNo < 1 || recordNo > slots) {
        return entryFault(TVerifyFaultKind::EntryOutsideSlots, recordNo, entryKey, keySize,
                          "an entry names " + record + ", no slot");
      }
      if (seen[static_cast<size_t>(recordNo)]) {
        return entryFault(TVerifyFaultKind::EntryRepeated, recordNo, entryKey, keySize,
                          record + " has a second entry");
      }
      seen[static_cast<size_t>(recordNo)] = true;
      const uint8_t* bytes = data.GetRecord(recordNo)->Data();
      if (contents == TIndexContents::RecordsInUse && bytes[0] != 0) {
        return entryFault(TVerifyFaultKind::EntryForDeletedRecord, recordNo, entryKey, keySize,
                          "an entry names the deleted " + record);
      }
      if (contents == TIndexContents::EverySlot) {
        BuildSysDeletedKey(bytes, key.data());
      } else {
        BuildIndexKey(definition, data.Fields(), bytes, data.Locale(), key.data());
      }
      if (std::memcmp(key.data(), entryKey, keySize) != 0) {
        entryFault(TVerifyFaultKind::EntryKeyDiffers, recordNo, entryKey, keySize, "the entry of " + record + " does not hold its values",
                   ", the record gives " + KeyText(key.data(), keySize));
      }
    });
    for (int32_t n = 1; n <= slots; ++n) {
      if (seen[static_cast<size_t>(n)]) continue;
      if (contents == TIndexContents::EverySlot || data.GetRecord(n)->Data()[0] == 0) {
        entryFault(TVerifyFaultKind::EntryMissing, n, nullptr, 0, "record " + std::to_string(n) + " has no entry");
      }
    }
  } catch (...) {
    TVerifyFault fault;
    fault.Kind = TVerifyFaultKind::IndexUnreadable;
    fault.Index = name;
    DescribeCurrentError(fault);
    Fault(step, std::move(fault));
  }
  CloseStep(step, std::to_string(entries) + " entries, each matching its record");
}

void TTableVerifier::CheckBlobs() {
  TStepFaults step{"BLOBs", ""};
  TDataFile& data = table_.DataFile();
  TBlobFile& blobs = table_.BlobFile();
  const std::vector<TFieldDescriptor>& fields = data.Fields();
  const int32_t slots = data.RecordSlotCount();
  int64_t values = 0;
  int32_t n = 1;
  try {
    std::vector<uint8_t> record;
    for (; n <= slots; ++n) {
      const TRecord* stored = data.GetRecord(n);
      if (stored->Data()[0] != 0) continue;
      // A copy: reading a chain may reuse the cached record's memory.
      record.assign(stored->Data(), stored->Data() + data.RecordSize());
      for (const TFieldDescriptor& field : fields) {
        if (field.FieldType != kFieldTypeBlob || field.Computed) continue;
        const TFieldValue value = ReadFieldValue(record.data(), field);
        const auto* reference = std::get_if<BlobReference>(&value);
        if (reference == nullptr || reference->FirstBlock == 0) continue;
        ++values;
        try {
          TBlobBuffer buffer(blobs, *reference);
          buffer.ReadValue();
        } catch (...) {
          TVerifyFault fault;
          fault.Kind = TVerifyFaultKind::BlobUnreadable;
          fault.RecordNo = n;
          fault.Field = field.FieldName;
          fault.Text = "record " + std::to_string(n) + ", BLOB field " + field.FieldName + ": ";
          DescribeCurrentError(fault);
          Fault(step, std::move(fault));
        }
      }
    }
  } catch (...) {
    TVerifyFault fault;
    fault.Kind = TVerifyFaultKind::BlobUnreadable;
    fault.RecordNo = n;
    fault.Text = "record " + std::to_string(n) + ": ";
    DescribeCurrentError(fault);
    Fault(step, std::move(fault));
  }
  CloseStep(step, std::to_string(values) + " BLOB values, each read to its length");
}

bool TTableVerifier::Run() {
  faults_.clear();
  faultCount_ = 0;
  stepsDone_ = 0;
  // The lock re-reads the headers another user may have written; a header
  // that fails there is a fault of the first step. Only a lock that cannot
  // be had propagates.
  std::optional<TReaderLockHold> hold;
  TVerifyFault lockFault;
  try {
    hold.emplace(table_);
  } catch (const ERUDIRAEngineError& error) {
    if (error.ErrorCode() == RUDIRA_LOCKTIMEOUT) throw;
    lockFault.Kind = TVerifyFaultKind::Header;
    DescribeCurrentError(lockFault);
  }
  TIndexFile& indexes = table_.IndexFile();
  const bool hasPrimary = indexes.Definition(kPrimarySlot).IndexFieldCount > 0;
  const int secondaries = std::min<int>(indexes.Header().SecondaryIndexCount, kMaxSecondaryIndexes);
  const bool hasText = indexes.Definition(kSysTextSlot).IndexFieldCount > 0;
  stepCount_ = 2 + (hasPrimary ? 1 : 0) + secondaries + 1 + (hasText ? 1 : 0) + (table_.HasBlobFields() ? 1 : 0);

  const bool headers = lockFault.Text.empty() ? CheckHeaders() : false;
  if (!lockFault.Text.empty()) {
    TStepFaults step{"Headers", ""};
    Fault(step, std::move(lockFault));
  }
  Progress("Headers");
  if (headers) {
    CheckRecords();
    Progress("Records");
    if (table_.IndexesMissing()) {
      TStepFaults step{"Indexes", ""};
      TVerifyFault fault;
      fault.Kind = TVerifyFaultKind::IndexesMissing;
      fault.Text = "the index file was missing and has been made again empty";
      Fault(step, std::move(fault));
    } else {
      if (hasPrimary) {
        CheckIndex(kPrimarySlot, "PRIMARY", TIndexContents::RecordsInUse);
        Progress("Index PRIMARY");
      }
      for (int slot = 1; slot <= secondaries; ++slot) {
        const std::string name = indexes.Definition(slot).IndexName;
        CheckIndex(slot, name, TIndexContents::RecordsInUse);
        Progress("Index " + name);
      }
      CheckIndex(kSysDeletedSlot, kSysDeletedName, TIndexContents::EverySlot);
      Progress(std::string("Index ") + kSysDeletedName);
      if (hasText) {
        CheckIndex(kSysTextSlot, kSysTextName, TIndexContents::Words);
        Progress(std::string("Index ") + kSysTextName);
      }
    }
    if (table_.HasBlobFields()) {
      CheckBlobs();
      Progress("BLOBs");
    }
  }
  if (stepsDone_ < stepCount_) {
    stepsDone_ = stepCount_ - 1;
    Progress("Done");
  }
  if (faultCount_ == 0) {
    Note("OK");
  } else {
    Note("DAMAGED (" + std::to_string(faultCount_) + (faultCount_ == 1 ? " problem)" : " problems)"));
  }
  return faultCount_ == 0;
}

}  // namespace rudira
