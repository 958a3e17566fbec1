// TDataCursor::CopyIntoNewTable: the restructure that copies every record.
//
// The new table is made under a temporary name in the work database (the
// in-memory database for an in-memory table, else the session's private
// directory) and filled in record-number order of the old table; the old
// table is not written at all. Only when the copy ran to its end is the old
// table deleted or renamed to its backup names and the new one renamed into
// its place; a stopped or failed copy deletes the new table.
#include <algorithm>
#include <cstring>

#include "engine/cleanup_quietly.h"
#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "engine/errors.h"
#include "engine/progress_reporter.h"
#include "engine/value_conversion.h"
#include "storage/field_type.h"
#include "storage/field_value.h"
#include "storage/index_header.h"
#include "storage/record_layout.h"

namespace rudira {

namespace {

// Where a field's value bytes lie: the record header's id for AUTOINC,
// after the null-flag byte otherwise.
const uint8_t* ValueBytes(const uint8_t* record, const TFieldDescriptor& field) {
  return field.IsAutoInc() ? record + kRecordAutoIncOffset : record + field.Offset + 1;
}

uint8_t* ValueBytes(uint8_t* record, const TFieldDescriptor& field) {
  return field.IsAutoInc() ? record + kRecordAutoIncOffset : record + field.Offset + 1;
}

}  // namespace

bool TDataCursor::CopyIntoNewTable(const TRestructureDefinition& definition, const std::vector<uint16_t>& sources,
                                   const TextIndexParameters& parameters) {
  TDataDirectory* work = inMemory_ || database_.IsMemory()
                             ? session_.OpenDatabase("Memory", "")
                             : session_.OpenDatabase("Restructure", session_.EffectivePrivateDir());
  const bool inMemory = inMemory_ || database_.IsMemory();
  const bool addedPassword = definition.Encrypted && !session_.HasPassword(definition.Password);
  std::string newName;
  bool created = false;
  bool oldRemoved = false;  // from here on the new table is the only copy of the records
  bool completed = true;
  auto release = [&] {
    if (addedPassword) session_.RemovePassword(definition.Password);
    session_.CloseDatabase(work);
  };
  try {
    newName = work->TemporaryTableName();
    DataFileDefinition file;
    file.LanguageId = definition.LanguageId;
    file.SortId = definition.SortId;
    file.Fields = definition.Fields;
    file.BlobBlockSize = definition.BlobBlockSize;
    file.Description = definition.Description;
    file.Password = definition.Password;
    file.Encrypted = definition.Encrypted;
    file.UserMajorVersion = definition.UserMajorVersion;
    file.UserMinorVersion = definition.UserMinorVersion;
    TableIndexDefinitions indexes = definition.Indexes;
    if (indexes.Primary.IndexFieldCount == 0) indexes.Primary = TIndexDefinition{};
    if (indexes.TextIndex && indexes.TextIndex->IndexFieldCount == 0) indexes.TextIndex.reset();
    // The pages named by definitions taken from the old table are not the
    // new file's.
    auto withoutPages = [](TIndexDefinition& index) {
      index.RootPage = index.FreePageHead = index.ParameterPage = 0;
      index.TemporaryIndex = 0;
    };
    withoutPages(indexes.Primary);
    for (TIndexDefinition& index : indexes.Secondaries) withoutPages(index);
    if (indexes.TextIndex) withoutPages(*indexes.TextIndex);
    const int32_t made = work->CreateTable(newName, inMemory, false, file, indexes);
    if (made < 0) Raise(static_cast<uint16_t>(-made));
    created = true;
    if (addedPassword) session_.AddPassword(definition.Password);

    TDataCursor target(session_, *work);
    target.SetTableName(newName);
    target.SetExclusive(true);
    target.SetInMemory(inMemory);
    target.SetNaturalOrder(true);
    target.OpenCursor();
    target.SuppressAutoInc(true);
    TDataTable& newTable = *target.Table();
    if (!(parameters == TextIndexParameters{})) {
      newTable.IndexFile().WriteParameters(parameters.Encode());
      newTable.WriteChanges(false, false);
      target.CopyCounters();
    }

    TDataFile& data = table_->DataFile();
    const std::vector<TFieldDescriptor> oldFields = data.Fields();
    const std::vector<TFieldDescriptor>& newFields = newTable.DataFile().Fields();
    const int32_t slots = data.RecordSlotCount();
    TProgressReporter progress(session_.ProgressStep(), [this](int percent) {
      if (progressCallback_) progressCallback_(*this, percent);
    });
    bool stopAsking = false;
    bool lastContinue = true;
    std::vector<uint8_t> old(recordSize_);
    std::vector<uint8_t> fresh(target.RecordSize());
    std::vector<uint8_t> blob;
    for (int32_t n = 1; n <= slots && completed; ++n) {
      const TRecord* stored = data.GetRecord(n);
      if (RecordStatus(stored->Data()) != kRecordInUse) {
        progress.Processed(n, slots);
        continue;
      }
      std::copy(stored->Data(), stored->Data() + recordSize_, old.begin());
      target.InitRecord(fresh.data());
      bool carried = false;
      for (const TFieldDescriptor& oldField : oldFields) {
        const auto found = std::find(sources.begin(), sources.end(), oldField.FieldNo);
        if (found == sources.end()) {
          if (!ReportDataLoss(kDataLossFieldDropped, oldField.FieldName, stopAsking, lastContinue)) {
            completed = false;
            break;
          }
          continue;
        }
        const TFieldDescriptor& newField = newFields[static_cast<size_t>(found - sources.begin())];
        if (newField.IsAutoInc()) carried = true;
        if (!newField.IsStored() || IsFieldNull(old.data(), oldField)) continue;
        bool converted = true;
        if (oldField.IsBlob() || newField.IsBlob()) {
          // A BLOB value moves only into a BLOB field; a value of another
          // type has no BLOB to refer to.
          converted = oldField.IsBlob() && newField.IsBlob();
          if (converted) {
            const int oldNo = oldField.FieldNo;
            const size_t size = GetBlobSize(oldNo, old.data());
            blob.resize(size);
            if (size > 0) GetBlob(oldNo, old.data(), 0, size, blob.data());
            FreeBlob(oldNo);
            StoreFieldNull(fresh.data(), newField);
            if (size > 0) target.PutBlob(newField.FieldNo, fresh.data(), 0, size, blob.data());
          }
        } else {
          uint8_t* into = ValueBytes(fresh.data(), newField);
          converted = ConvertFieldValue(oldField.FieldType, oldField.Size, ValueBytes(static_cast<const uint8_t*>(old.data()), oldField),
                                        newField.FieldType, newField.Size, newField.Scale, into);
          // A failed conversion leaves the zero value, which is stored.
          if (newField.HasNullFlag()) fresh[newField.Offset] = 1;
          if (converted && newField.FieldType == kFieldTypeString && newField.CharCase != kCharCaseUnchanged) {
            // The new field's case applies to every stored string.
            const TFieldValue text = ReadFieldValue(fresh.data(), newField);
            if (!StoreFieldValue(fresh.data(), newField, text, newTable.DataFile().Locale())) converted = false;
          }
        }
        if (!converted && !ReportDataLoss(kDataLossConversion, newField.FieldName, stopAsking, lastContinue)) {
          completed = false;
          break;
        }
      }
      if (!completed) break;
      // A field that was to carry the id but held none leaves the old one.
      if (!carried || RecordAutoIncValue(fresh.data()) == 0) {
        SetRecordAutoIncValue(fresh.data(), RecordAutoIncValue(old.data()));
      }
      try {
        target.AppendRecord(fresh.data(), false);
      } catch (const ERUDIRAEngineError& error) {
        target.CancelRecord();
        int cause = kDataLossAppendFailed;
        std::string context;
        if (error.ErrorCode() == RUDIRA_KEYVIOL) {
          cause = kDataLossKeyViolation;
          context = error.ErrorIndexName();
        } else if (error.ErrorCode() == RUDIRA_REQDERR || error.ErrorCode() == RUDIRA_MINVALERR ||
                   error.ErrorCode() == RUDIRA_MAXVALERR) {
          cause = kDataLossCheckFailed;
          context = error.ErrorFieldName();
        }
        if (!ReportDataLoss(cause, context, stopAsking, lastContinue)) completed = false;
      }
      progress.Processed(n, slots);
    }
    if (completed) {
      progress.Finish();
      // Ids handed out before stay used: the new table never repeats them.
      TDataFile& newData = newTable.DataFile();
      const int32_t keep =
          definition.LastAutoIncValue == -1 ? data.Header().LastAutoIncValue : definition.LastAutoIncValue;
      if (keep > newData.Header().LastAutoIncValue) {
        newData.SetLastAutoIncValue(keep);
        newTable.WriteChanges(false, false);
      }
    }
    target.CloseCursor();
    CloseCursor();

    if (completed) {
      const int32_t removed = inMemory || definition.NoBackup
                                  ? database_.DeleteTable(tableName_, inMemory)
                                  : database_.RenameTable(tableName_, inMemory, tableName_, true);
      if (removed < 0) Raise(static_cast<uint16_t>(-removed));
      oldRemoved = true;
      const std::string finalName = inMemory ? tableName_ : database_.DirectoryPath() + tableName_;
      const int32_t renamed = work->RenameTable(newName, inMemory, finalName, false);
      if (renamed < 0) Raise(static_cast<uint16_t>(-renamed));
    } else {
      work->DeleteTable(newName, inMemory);
    }
  } catch (...) {
    CleanUpQuietly([&] { CloseCursor(); });
    if (created && !oldRemoved) CleanUpQuietly([&] { work->DeleteTable(newName, inMemory); });
    CleanUpQuietly(release);
    throw;
  }
  release();
  return completed;
}

}  // namespace rudira
