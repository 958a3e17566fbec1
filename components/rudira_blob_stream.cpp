#include "components/rudira_blob_stream.h"

#include "components/component_messages.h"
#include "components/dataset_messages.h"
#include "components/rudira_data_set.h"
#include "engine/error_codes.h"
#include "engine/errors.h"

namespace rudira {

namespace {

TRUDIRADataSet& CursorDataSetOf(TField& field) {
  auto* dataSet = dynamic_cast<TRUDIRADataSet*>(&field.DataSet());
  if (dataSet == nullptr || dataSet->Handle() == nullptr) RaiseDatabaseError(kDataSetClosed);
  return *dataSet;
}

bool Editing(const TDataSet& dataSet) {
  return dataSet.State() == TDataSetState::dsEdit || dataSet.State() == TDataSetState::dsInsert;
}

}  // namespace

TRUDIRABlobStream::TRUDIRABlobStream(TField& field, TBlobStreamMode mode)
    : field_(field), dataSet_(CursorDataSetOf(field)), mode_(mode), fieldNo_(field.FieldNo()) {
  if (mode_ != TBlobStreamMode::bmRead) {
    if (field_.ReadOnly()) RaiseDatabaseError(kFieldReadOnly, field_.FieldName());
    if (!Editing(dataSet_)) RaiseDatabaseError(kNotEditing);
  }
  TDataCursor& cursor = *dataSet_.Handle();
  try {
    cursor.OpenBlob(fieldNo_, dataSet_.ActiveBuffer().Record());
  } catch (const ERUDIRAEngineError& error) {
    if (error.ErrorCode() != RUDIRA_KEYORRECDELETED) throw;
    dataSet_.RereadActiveRecord();
    cursor.OpenBlob(fieldNo_, dataSet_.ActiveBuffer().Record());
  }
  opened_ = true;
  if (mode_ == TBlobStreamMode::bmWrite) {
    cursor.TruncateBlob(fieldNo_, dataSet_.ActiveBuffer().Record(), 0);
    modified_ = true;
  }
}

TRUDIRABlobStream::~TRUDIRABlobStream() {
  if (!opened_) return;
  try {
    if (!Editing(dataSet_)) dataSet_.Handle()->FreeBlob(fieldNo_);
    if (modified_) dataSet_.BlobFieldWritten(field_);
  } catch (...) {
    // A destructor cannot report; the engine frees the BLOB with the edit.
  }
}

void TRUDIRABlobStream::CheckWritable() const {
  if (mode_ == TBlobStreamMode::bmRead) RaiseDatabaseError(kFieldReadOnly, field_.FieldName());
}

size_t TRUDIRABlobStream::Read(void* buffer, size_t count) {
  const size_t read = dataSet_.Handle()->GetBlob(fieldNo_, dataSet_.ActiveBuffer().Record(),
                                                 static_cast<size_t>(position_), count,
                                                 static_cast<uint8_t*>(buffer));
  position_ += static_cast<int64_t>(read);
  return read;
}

size_t TRUDIRABlobStream::Write(const void* buffer, size_t count) {
  CheckWritable();
  if (count == 0) return 0;
  dataSet_.Handle()->PutBlob(fieldNo_, dataSet_.ActiveBuffer().Record(), static_cast<size_t>(position_), count,
                             static_cast<const uint8_t*>(buffer));
  position_ += static_cast<int64_t>(count);
  modified_ = true;
  return count;
}

int64_t TRUDIRABlobStream::Size() {
  return static_cast<int64_t>(dataSet_.Handle()->GetBlobSize(fieldNo_, dataSet_.ActiveBuffer().Record()));
}

int64_t TRUDIRABlobStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position_;
  if (origin == TSeekOrigin::soEnd) base = Size();
  if (base + offset < 0) RaiseDatabaseError(kNotSeekable);
  position_ = base + offset;
  return position_;
}

void TRUDIRABlobStream::Truncate() {
  CheckWritable();
  dataSet_.Handle()->TruncateBlob(fieldNo_, dataSet_.ActiveBuffer().Record(), static_cast<size_t>(position_));
  modified_ = true;
}

}  // namespace rudira
