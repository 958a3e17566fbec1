// TDataCursor::RebuildIndexes: the restructure that only changes indexes.
//
// The index file is copied to its backup name first. Changed, new and
// removed definitions are stored, the changed and new indexes emptied and
// marked, and every active record's keys entered into the marked indexes.
// A record whose key a marked unique index already holds is reported
// (cause 1) and, when the callback lets the rebuild go on, deleted from the
// table. Those deletions are made only once the rebuild has run to its end:
// a rebuild stopped by the callback restores the index file from its backup,
// and the data file must then still hold every record the restored index
// lists.
//
// The words of a marked text index are entered by the text-index layer
// (placeholder: no such layer exists yet, so a marked "Sys Text" is left
// empty with its new definition and parameters).
#include <algorithm>

#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/index_pages.h"
#include "engine/progress_reporter.h"
#include "engine/restructure_steps.h"
#include "storage/index_header.h"
#include "storage/index_key.h"
#include "storage/index_tree.h"
#include "storage/record_layout.h"

namespace rudira {

namespace {

// Stores `fresh` in `slot`, emptied, keeping the slot's own free pages.
void Redefine(TIndexFile& index, int slot, TIndexDefinition fresh) {
  FreeIndexPages(index, slot);
  const TIndexDefinition& old = index.Definition(slot);
  fresh.RootPage = 0;
  fresh.FreePageHead = old.FreePageHead;
  fresh.ParameterPage = old.ParameterPage;
  fresh.TemporaryIndex = 0;
  index.SetDefinition(slot, fresh);
}

}  // namespace

bool TDataCursor::RebuildIndexes(const TRestructureDefinition& definition, const TextIndexParameters& oldParameters,
                                 const TextIndexParameters& newParameters) {
  TDataFile& data = table_->DataFile();
  TIndexFile& index = table_->IndexFile();
  table_->WriterLock();
  try {
    table_->WriteChanges(false, false);
    table_->BackupIndexFile();
  } catch (...) {
    try {
      table_->WriterUnlock();
    } catch (const std::exception&) {
      // The backup's own error is the one to report.
    }
    throw;
  }
  bool completed = true;
  try {
    std::vector<bool> marked(kIndexSlotCount, false);
    const int oldCount = index.Header().SecondaryIndexCount;
    const int newCount = static_cast<int>(definition.Indexes.Secondaries.size());
    for (int slot = oldCount; slot > newCount; --slot) {
      FreeIndexPages(index, slot);
      index.RemoveSecondaryDefinition(slot);
    }
    for (int slot = 1; slot <= std::min(oldCount, newCount); ++slot) {
      const TIndexDefinition& fresh = definition.Indexes.Secondaries[static_cast<size_t>(slot) - 1];
      if (!IndexDefinitionDiffers(index.Definition(slot), fresh)) continue;
      Redefine(index, slot, fresh);
      marked[static_cast<size_t>(slot)] = true;
    }
    for (int slot = oldCount + 1; slot <= newCount; ++slot) {
      const int added = index.AddSecondaryDefinition(definition.Indexes.Secondaries[static_cast<size_t>(slot) - 1]);
      marked[static_cast<size_t>(added)] = true;
    }
    TIndexDefinition primary = definition.Indexes.Primary;
    if (primary.IndexFieldCount == 0) primary = TIndexDefinition{};
    primary.IndexName.clear();
    primary.Unique = 1;
    if (PrimaryDefinitionDiffers(index.Definition(kPrimarySlot), primary) ||
        index.NoPrimaryKey() != (primary.IndexFieldCount == 0)) {
      Redefine(index, kPrimarySlot, primary);
      index.SetNoPrimaryKey(primary.IndexFieldCount == 0);
      marked[kPrimarySlot] = primary.IndexFieldCount > 0;
    }
    const TIndexDefinition text = NewTextIndexDefinition(definition);
    if (IndexDefinitionDiffers(index.Definition(kSysTextSlot), text) ||
        TextParametersDiffer(oldParameters, newParameters, data.Locale())) {
      Redefine(index, kSysTextSlot, text);
      const bool none = newParameters == TextIndexParameters{};
      index.WriteParameters(none ? std::vector<uint8_t>{} : newParameters.Encode());
    }
    index.MarkHeaderModified();

    std::vector<int> keyed;
    for (int slot = 0; slot <= kMaxSecondaryIndexes; ++slot) {
      if (marked[static_cast<size_t>(slot)]) keyed.push_back(slot);
    }
    std::vector<int32_t> dropped;
    const int32_t slots = data.RecordSlotCount();
    if (!keyed.empty() && slots > 0) {
      TProgressReporter progress(session_.ProgressStep(), [this](int percent) {
        if (progressCallback_) progressCallback_(*this, percent);
      });
      bool stopAsking = false;
      bool lastContinue = true;
      std::vector<uint8_t> record(recordSize_);
      std::vector<std::vector<uint8_t>> keys(keyed.size());
      for (int32_t n = 1; n <= slots && completed; ++n) {
        const TRecord* stored = data.GetRecord(n);
        if (RecordStatus(stored->Data()) != kRecordInUse) {
          progress.Processed(n, slots);
          continue;
        }
        std::copy(stored->Data(), stored->Data() + recordSize_, record.begin());
        const std::string* duplicate = nullptr;
        for (size_t i = 0; i < keyed.size(); ++i) {
          const TIndexDefinition& d = index.Definition(keyed[i]);
          keys[i].assign(static_cast<size_t>(d.KeySize), 0);
          BuildIndexKey(d, data.Fields(), record.data(), data.Locale(), keys[i].data());
          if (!duplicate && d.Unique && TIndexTree(index, keyed[i]).Find(keys[i].data()) != 0) duplicate = &d.IndexName;
        }
        if (duplicate) {
          if (ReportDataLoss(kDataLossKeyViolation, *duplicate, stopAsking, lastContinue)) {
            dropped.push_back(n);
          } else {
            completed = false;
          }
          progress.Processed(n, slots);
          continue;
        }
        size_t entered = 0;
        try {
          for (; entered < keyed.size(); ++entered) {
            if (!TIndexTree(index, keyed[entered]).Insert(keys[entered].data(), n)) {
              Raise(RUDIRA_KEYVIOL, {}, index.Definition(keyed[entered]).IndexName);
            }
          }
        } catch (const ERUDIRAEngineError& error) {
          // Take the record's keys out again so that its deletion leaves no
          // key behind.
          for (size_t i = 0; i < entered; ++i) TIndexTree(index, keyed[i]).Delete(keys[i].data());
          const bool isKey = error.ErrorCode() == RUDIRA_KEYVIOL;
          if (ReportDataLoss(isKey ? kDataLossKeyViolation : kDataLossAppendFailed,
                             isKey ? error.ErrorIndexName() : std::string(), stopAsking, lastContinue)) {
            dropped.push_back(n);
          } else {
            completed = false;
          }
        }
        progress.Processed(n, slots);
      }
      if (completed) progress.Finish();
    }
    if (completed) {
      for (int32_t n : dropped) DropRecordWhileBuilding(n, marked);
      StoreDefinition(definition);
      FlushBuffers();
    }
  } catch (...) {
    // Nothing of the data file has changed yet; the index file goes back.
    try {
      table_->DataFile().DropCache();
      table_->RestoreIndexFile(false);
      CopyCounters();
      table_->WriterUnlock();
    } catch (const std::exception&) {
      // The rebuild's own error is the one to report.
    }
    throw;
  }
  if (completed) {
    // The rebuilt file stays; its copy is kept as the backup unless none is wanted.
    if (definition.NoBackup) table_->RestoreIndexFile(true);
  } else {
    table_->RestoreIndexFile(false);
    data.DropCache();
    CopyCounters();
  }
  table_->WriterUnlock();
  return completed;
}

}  // namespace rudira
