// TDataCursor: BLOB values through the open-BLOB table, and their posting,
// copying and freeing with the record.
//
// An entry is made on first use of a field for the record at hand and read
// from the record's reference. Writes change only the entry; they reach the
// BLOB file when the record is posted and are dropped on cancel. A record
// never shares a block chain with another: an appended record whose BLOB
// fields still name another record's chains gets copies of them.
#include <cstring>

#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "storage/field_type.h"
#include "storage/field_value.h"

namespace rudira {

namespace {

BlobReference ReferenceOf(const uint8_t* record, const TFieldDescriptor& field) {
  if (record == nullptr || IsFieldNull(record, field)) return {};
  const TFieldValue value = ReadFieldValue(record, field);
  if (const auto* reference = std::get_if<BlobReference>(&value)) return *reference;
  return {};
}

void StoreReference(uint8_t* record, const TFieldDescriptor& field, const BlobReference& reference) {
  if (reference.FirstBlock == 0) {
    StoreFieldNull(record, field);
  } else {
    (void)StoreFieldValue(record, field, reference, TableLocale{});
  }
}

}  // namespace

const TFieldDescriptor& TDataCursor::BlobField(int fieldNo) const {
  const TFieldDescriptor& field = Field(fieldNo);
  if (!field.IsBlob() || !hasBlobs_) Raise(RUDIRA_NOTABLOB, field.FieldName);
  return field;
}

TDataCursor::OpenBlobEntry& TDataCursor::BlobEntry(int fieldNo, const uint8_t* record) {
  const TFieldDescriptor& field = BlobField(fieldNo);
  const BlobReference reference = ReferenceOf(record, field);
  for (OpenBlobEntry& entry : blobs_) {
    if (entry.FieldNo != fieldNo) continue;
    if (entry.ForEdit || entry.Buffer->Reference() == reference) return entry;
    // The entry belongs to another record: read this one's value instead.
    entry.Buffer = std::make_unique<TBlobBuffer>(table_->BlobFile(), reference);
    entry.Buffer->ReadValue();
    return entry;
  }
  if (blobs_.size() >= kMaxOpenBlobs) Raise(RUDIRA_OPENBLOBLIMIT);
  OpenBlobEntry entry;
  entry.FieldNo = fieldNo;
  entry.Buffer = std::make_unique<TBlobBuffer>(table_->BlobFile(), reference);
  entry.Buffer->ReadValue();
  blobs_.push_back(std::move(entry));
  return blobs_.back();
}

void TDataCursor::OpenBlob(int fieldNo, const uint8_t* record) {
  RequireOpen();
  BlobEntry(fieldNo, record);
}

void TDataCursor::FreeBlob(int fieldNo) {
  RequireOpen();
  std::erase_if(blobs_, [fieldNo](const OpenBlobEntry& entry) { return entry.FieldNo == fieldNo; });
}

size_t TDataCursor::GetBlob(int fieldNo, const uint8_t* record, size_t offset, size_t length, uint8_t* data) {
  RequireOpen();
  return BlobEntry(fieldNo, record).Buffer->ReadAt(offset, data, length);
}

void TDataCursor::PutBlob(int fieldNo, const uint8_t* record, size_t offset, size_t length, const uint8_t* data) {
  RequireOpen();
  if (readOnly_) Raise(RUDIRA_OSEACCES);
  OpenBlobEntry& entry = BlobEntry(fieldNo, record);
  entry.Buffer->WriteAt(offset, data, length);
  entry.ForEdit = true;
}

void TDataCursor::TruncateBlob(int fieldNo, const uint8_t* record, size_t length) {
  RequireOpen();
  if (readOnly_) Raise(RUDIRA_OSEACCES);
  OpenBlobEntry& entry = BlobEntry(fieldNo, record);
  if (length > entry.Buffer->Length()) Raise(RUDIRA_INVALIDBLOBLEN);
  entry.Buffer->SetLength(length);
  entry.ForEdit = true;
}

size_t TDataCursor::GetBlobSize(int fieldNo, const uint8_t* record) {
  RequireOpen();
  return BlobEntry(fieldNo, record).Buffer->Length();
}

uint16_t TDataCursor::CloneCurrentRecord(uint8_t* record) {
  const bool taken = BeginOperation();
  try {
    const uint16_t code = ReadCode();
    if (code != 0) {
      EndOperation(taken);
      return code;
    }
    ReadCurrent();
    std::memcpy(record, record_.data(), recordSize_);
    if (hasBlobs_) {
      blobs_.clear();
      const auto& fields = table_->DataFile().Fields();
      for (size_t i = 0; i < fields.size(); ++i) {
        if (!fields[i].IsBlob()) continue;
        const BlobReference reference = ReferenceOf(record, fields[i]);
        if (reference.FirstBlock == 0) continue;
        // The copy's own value: posted as a new chain on append.
        OpenBlobEntry& entry = BlobEntry(static_cast<int>(i) + 1, record);
        entry.Buffer->SetReference({});
        entry.Buffer->SetModified(true);
        entry.ForEdit = true;
      }
    }
    EndOperation(taken);
    return 0;
  } catch (...) {
    try {
      EndOperation(taken);
    } catch (const std::exception&) {
    }
    throw;
  }
}

void TDataCursor::PostBlobs(uint8_t* record, bool appending, const uint8_t* stored) {
  if (!hasBlobs_) return;
  TDataFile& data = table_->DataFile();
  TBlobFile& blobFile = table_->BlobFile();
  const auto& fields = data.Fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    const TFieldDescriptor& field = fields[i];
    if (!field.IsBlob()) continue;
    const int fieldNo = static_cast<int>(i) + 1;
    OpenBlobEntry* edited = nullptr;
    for (OpenBlobEntry& entry : blobs_) {
      if (entry.FieldNo == fieldNo && entry.ForEdit) edited = &entry;
    }
    const BlobReference given = ReferenceOf(record, field);
    if (edited) {
      TBlobBuffer& buffer = *edited->Buffer;
      // A new record starts a chain of its own; a modified one rewrites the
      // chain its stored record names.
      buffer.SetReference(appending ? BlobReference{} : ReferenceOf(stored, field));
      buffer.WriteValue(data.NextBlobStamp());
      StoreReference(record, field, buffer.Reference());
      continue;
    }
    if (appending) {
      if (given.FirstBlock == 0) continue;
      TBlobBuffer copy(blobFile, given);
      copy.ReadValue();
      copy.SetReference({});
      copy.WriteValue(data.NextBlobStamp());
      StoreReference(record, field, copy.Reference());
      continue;
    }
    const BlobReference before = ReferenceOf(stored, field);
    if (given == before) continue;
    if (given.FirstBlock == 0) {
      // The caller cleared the field: its chain goes.
      if (before.FirstBlock != 0) blobFile.FreeChain(before);
      StoreFieldNull(record, field);
    } else {
      // A reference can only come from this record's own chain.
      StoreReference(record, field, before);
    }
  }
}

void TDataCursor::FreeRecordBlobs(const uint8_t* record) {
  if (!hasBlobs_) return;
  const auto& fields = table_->DataFile().Fields();
  for (const TFieldDescriptor& field : fields) {
    if (!field.IsBlob()) continue;
    const BlobReference reference = ReferenceOf(record, field);
    if (reference.FirstBlock != 0) table_->BlobFile().FreeChain(reference);
  }
}

void TDataCursor::FreeEditBlobs() { blobs_.clear(); }

}  // namespace rudira
