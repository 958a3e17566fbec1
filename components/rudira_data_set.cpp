#include "components/rudira_data_set.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>

#include "components/component_messages.h"
#include "components/dataset_messages.h"
#include "components/locate_filter.h"
#include "storage/field_type.h"

namespace rudira {

namespace {

constexpr size_t kBlockBytes = 65536;

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

}  // namespace

TRUDIRADataSet::TRUDIRADataSet(TComponent* owner) : TDataSet(owner) {}

TRUDIRADataSet::~TRUDIRADataSet() = default;

bool TRUDIRADataSet::CanModify() const {
  return cursor_ != nullptr && !cursor_->ReadOnly() && !ComponentReadOnly();
}

const TFieldDescriptor& TRUDIRADataSet::EngineField(const TField& field) const {
  return cursor_->Field(field.FieldNo());
}

// --- open and close ---

void TRUDIRADataSet::MakeFieldDefs() {
  TFieldDefs& defs = FieldDefs();
  defs.Clear();
  for (const TFieldDescriptor& engineField : cursor_->Fields()) {
    TFieldType type;
    if (FieldHidden(engineField)) continue;
    if (!EngineTypeToFieldType(engineField.FieldType, engineField.SubType, type)) continue;
    int size = 0;
    if (FieldTypeHasSize(engineField.FieldType)) size = engineField.Size;
    if (engineField.FieldType == kFieldTypeBcd) size = engineField.Scale;
    TFieldDef& def = defs.Add(defs.UniqueName(engineField.FieldName), type, size, engineField.Required != 0);
    def.FieldNo = engineField.FieldNo;
    def.Description = engineField.FieldDescription;
  }
}

void TRUDIRADataSet::LayOutCalcFields() {
  calcFields_.clear();
  calcSize_ = 0;
  for (const TFieldDef& def : CalculatedFieldDefs()) {
    TFieldDescriptor field;
    field.FieldName = def.Name;
    if (!FieldTypeToEngineType(def.DataType, field.FieldType, field.SubType)) {
      RaiseDatabaseError(kInvalidFieldValue, def.Name);
    }
    if (FieldTypeHasSize(field.FieldType)) field.Size = static_cast<uint8_t>(def.Size);
    if (field.FieldType == kFieldTypeBcd) field.Scale = static_cast<uint8_t>(def.Size);
    field.Width = FieldDataWidth(field.FieldType, field.Size);
    field.Offset = static_cast<uint16_t>(calcSize_);
    calcSize_ += 1u + field.Width;
    calcFields_.push_back(field);
  }
}

void TRUDIRADataSet::ClearCalcFields() {
  if (calcSize_ > 0) std::memset(active_.CalcFields(), 0, calcSize_);
}

void TRUDIRADataSet::InternalOpen() {
  cursor_ = CreateCursor();
  try {
    LayOutCalcFields();
    MakeFieldDefs();
    IndexChanged();
    ApplyFilters();
  } catch (...) {
    try {
      RemoveFilters();
    } catch (const std::exception&) {
      // The open's own error is the one to report.
    }
    textFilter_ = callbackFilter_ = nullptr;
    DestroyCursor();
    cursor_ = nullptr;
    throw;
  }
}

void TRUDIRADataSet::OpenCompleted() {
  for (int i = 0; i < FieldCount(); ++i) {
    TField& field = Fields(i);
    if (field.Calculated()) {
      const TFieldDescriptor& calc = calcFields_.at(static_cast<size_t>(field.CalcIndex()));
      field.SetEngineType(calc.FieldType, calc.SubType);
      continue;
    }
    const TFieldDescriptor& engineField = EngineField(field);
    field.SetEngineType(engineField.FieldType, engineField.SubType);
    field.SetOrigin(FieldOrigin(engineField));
    if (AutoDisplayLabels && !engineField.FieldDescription.empty()) {
      field.SetDisplayLabel(engineField.FieldDescription);
    }
    if (IsAutoIncField(engineField.FieldType, engineField.SubType) || engineField.Computed != 0) {
      field.SetReadOnly(true);
    }
  }
}

void TRUDIRADataSet::InternalClose() {
  DropBlock();
  onActive_ = false;
  if (cursor_ != nullptr) {
    // A query's result cursor outlives the dataset's use of it: the
    // dataset's filters leave it first. The close completes also when that
    // fails, and the failure is reported afterwards.
    std::exception_ptr failure;
    try {
      RemoveFilters();
    } catch (...) {
      failure = std::current_exception();
    }
    textFilter_ = callbackFilter_ = nullptr;
    cursor_ = nullptr;
    DestroyCursor();
    active_ = fetch_ = old_ = saved_ = key_ = filterRecord_ = TRecordBuffer();
    if (failure) std::rethrow_exception(failure);
  }
  active_ = fetch_ = old_ = saved_ = key_ = filterRecord_ = TRecordBuffer();
}

void TRUDIRADataSet::IndexChanged() {
  DropBlock();
  const size_t recordSize = cursor_->RecordSize();
  const size_t bookmarkSize = cursor_->BookmarkSize();
  auto remake = [&](TRecordBuffer& buffer) {
    TRecordBuffer fresh(recordSize, bookmarkSize, calcSize_);
    if (!buffer.Empty()) std::memcpy(fresh.Record(), buffer.Record(), std::min(recordSize, buffer.RecordSize()));
    if (!buffer.Empty() && calcSize_ > 0) std::memcpy(fresh.CalcFields(), buffer.CalcFields(), calcSize_);
    buffer = std::move(fresh);
  };
  remake(active_);
  remake(fetch_);
  remake(old_);
  remake(saved_);
  remake(key_);
  remake(filterRecord_);
  onActive_ = false;
  if (Active() && !(Eof() && Bof())) {
    // The position is kept by the cursor across the change of order.
    FillBookmark(active_);
    active_.SetBookmarkFlag(kBookmarkCurrent);
    onActive_ = true;
  }
}

bool TRUDIRADataSet::IndexCaseInsensitive() const {
  if (cursor_ == nullptr || cursor_->NaturalOrder() || cursor_->Table() == nullptr) return false;
  return cursor_->Table()->IndexFile().Definition(cursor_->IndexNo()).CaseInsensitive != 0;
}

TCursorFilterOptions TRUDIRADataSet::TextFilterOptions() const {
  TCursorFilterOptions options;
  options.CaseInsensitive = FilterOptions().CaseInsensitive;
  options.NoPartialCompare = FilterOptions().NoPartialCompare;
  return options;
}

void TRUDIRADataSet::RemoveFilters() {
  // The callback first, so that dropping the text filter does not run it
  // over records the text condition kept out.
  if (callbackFilter_ != nullptr) {
    TFilter* filter = callbackFilter_;
    callbackFilter_ = nullptr;
    cursor_->DropFilter(filter);
  }
  if (textFilter_ != nullptr) {
    TFilter* filter = textFilter_;
    textFilter_ = nullptr;
    cursor_->DropFilter(filter);
  }
}

void TRUDIRADataSet::ApplyFilters() {
  // The new text filter is made before the old ones go: a text the parser
  // rejects leaves the filters and the view as they were.
  TFilter* text = nullptr;
  if (Filtered() && !Filter().empty()) text = cursor_->AddFilter(Filter(), TextFilterOptions());
  try {
    RemoveFilters();
    if (text != nullptr) {
      cursor_->ActivateFilter(text);
      textFilter_ = text;
      text = nullptr;
    }
    if (Filtered() && OnFilterRecord) {
      // Late: it stays behind every expression filter and runs on their
      // survivors only.
      TCursorFilterOptions options;
      options.Late = true;
      auto test = [](void* owner, const uint8_t* record) {
        return static_cast<TRUDIRADataSet*>(owner)->CallbackAccepts(record);
      };
      callbackFilter_ = cursor_->AddFilter(this, test, options);
      cursor_->ActivateFilter(callbackFilter_);
    }
  } catch (...) {
    if (text != nullptr) cursor_->DropFilter(text);
    throw;
  }
}

void TRUDIRADataSet::FilterChanged() {
  if (blockCount_ > 0 || blockAtEnd_) InternalSetToRecord();
  DropBlock();
  ApplyFilters();
  onActive_ = false;
}

bool TRUDIRADataSet::CallbackAccepts(const uint8_t* record) {
  if (!OnFilterRecord) return true;
  // The handler reads the record through the fields: it becomes the active
  // record while the handler runs (with its calculated fields), and the
  // record shown comes back afterwards.
  std::memcpy(filterRecord_.Record(), record, cursor_->RecordSize());
  std::swap(active_, filterRecord_);
  bool accepted = false;
  try {
    CalculateFields();
    accepted = RecordAccepted();
  } catch (...) {
    std::swap(active_, filterRecord_);
    throw;
  }
  std::swap(active_, filterRecord_);
  return accepted;
}

// --- reading ---

void TRUDIRADataSet::FillBookmark(TRecordBuffer& buffer) {
  cursor_->GetBookmark(buffer.Bookmark());
  buffer.SetSequenceNumber(cursor_->GetRecordNo());
}

bool TRUDIRADataSet::BlockReading() const {
  return BlockReadSize() > 0 && !Filtered() && State() == TDataSetState::dsBrowse;
}

void TRUDIRADataSet::DropBlock() {
  block_.clear();
  blockCount_ = 0;
  blockNext_ = 0;
  blockAtEnd_ = false;
}

TGetResult TRUDIRADataSet::FetchFromBlock() {
  const size_t recordSize = cursor_->RecordSize();
  if (blockNext_ >= blockCount_) {
    if (blockAtEnd_) return TGetResult::grEOF;
    int32_t wanted = BlockReadSize();
    if (wanted == INT32_MAX) wanted = static_cast<int32_t>(std::max<size_t>(1, kBlockBytes / recordSize));
    block_.assign(static_cast<size_t>(wanted) * recordSize, 0);
    int32_t count = wanted;
    const uint16_t code = cursor_->ReadRecordBlock(&count, block_.data());
    if (code != 0 && code != RUDIRA_EOF) RaiseEngineError(code, {.TableName = cursor_->TableName()});
    blockCount_ = count;
    blockNext_ = 0;
    blockAtEnd_ = code == RUDIRA_EOF;
    if (count == 0) {
      DropBlock();
      onActive_ = false;
      return TGetResult::grEOF;
    }
  }
  std::memcpy(active_.Record(), block_.data() + static_cast<size_t>(blockNext_) * recordSize, recordSize);
  ++blockNext_;
  active_.SetBookmarkFlag(kBookmarkBlock);
  active_.SetSequenceNumber(0);
  CalculateFields();
  return TGetResult::grOK;
}

TGetResult TRUDIRADataSet::Fetch(TGetMode mode) {
  uint16_t code = 0;
  switch (mode) {
    case TGetMode::gmCurrent: code = cursor_->GetCurrentRecord(fetch_.Record()); break;
    case TGetMode::gmNext: code = cursor_->GetNextRecord(fetch_.Record()); break;
    case TGetMode::gmPrior: code = cursor_->GetPriorRecord(fetch_.Record()); break;
  }
  if (code != 0) {
    onActive_ = false;
    if (code == RUDIRA_BOF) return TGetResult::grBOF;
    if (code == RUDIRA_EOF || code == RUDIRA_NOCURRREC) return TGetResult::grEOF;
    RaiseEngineError(code, {.TableName = cursor_->TableName()});
  }
  FillBookmark(fetch_);
  fetch_.SetBookmarkFlag(kBookmarkCurrent);
  // The cursor's view holds only the records that pass the filters.
  std::swap(active_, fetch_);
  CalculateFields();
  onActive_ = true;
  return TGetResult::grOK;
}

TGetResult TRUDIRADataSet::GetRecord(TGetMode mode) {
  if (mode == TGetMode::gmNext && BlockReading()) return FetchFromBlock();
  if (!block_.empty() || blockAtEnd_) InternalSetToRecord();
  return Fetch(mode);
}

void TRUDIRADataSet::InternalSetToRecord() {
  if (blockCount_ > 0 || blockAtEnd_) {
    // Step back over the records of the block not yet served.
    int32_t steps = blockCount_ - blockNext_ + (blockAtEnd_ ? 1 : 0);
    DropBlock();
    while (steps-- > 0) cursor_->GetPriorRecord(nullptr);
    onActive_ = true;
    FillBookmark(active_);
    active_.SetBookmarkFlag(kBookmarkCurrent);
    return;
  }
  if (onActive_ || active_.BookmarkFlag() != kBookmarkCurrent) return;
  cursor_->SetToBookmark(active_.Bookmark());
  onActive_ = true;
}

void TRUDIRADataSet::InternalFirst() {
  DropBlock();
  cursor_->SetToBegin();
  onActive_ = false;
}

void TRUDIRADataSet::InternalLast() {
  DropBlock();
  cursor_->SetToEnd();
  onActive_ = false;
}

void TRUDIRADataSet::RereadActiveRecord() {
  InternalSetToRecord();
  const uint16_t code = cursor_->GetCurrentRecord(active_.Record());
  if (code != 0) RaiseEngineError(code, {.TableName = cursor_->TableName()});
}

// --- editing ---

void TRUDIRADataSet::InternalEdit() {
  InternalSetToRecord();
  // Re-read the record as stored, then begin the engine edit on it.
  uint16_t code = cursor_->GetCurrentRecord(active_.Record());
  if (code == 0) code = cursor_->GetCurrentRecord(active_.Record(), true);
  if (code != 0) RaiseEngineError(code, {.TableName = cursor_->TableName()});
  old_ = active_;
}

void TRUDIRADataSet::InternalInitRecord(bool copy) {
  InternalSetToRecord();
  if (copy) {
    const uint16_t code = cursor_->CloneCurrentRecord(active_.Record());
    if (code != 0) cursor_->InitRecord(active_.Record());
  } else {
    cursor_->InitRecord(active_.Record());
  }
  active_.SetBookmarkFlag(kBookmarkNone);
  active_.SetSequenceNumber(0);
  CalculateFields();
  old_ = active_;
}

void TRUDIRADataSet::InternalPost() {
  if (State() == TDataSetState::dsEdit) {
    InternalSetToRecord();
    cursor_->ModifyRecord(active_.Record());
  } else {
    cursor_->AppendRecord(active_.Record());
  }
  onActive_ = false;
  active_.SetBookmarkFlag(kBookmarkNone);
}

void TRUDIRADataSet::InternalCancel() {
  cursor_->CancelRecord();
}

void TRUDIRADataSet::InternalDelete() {
  InternalSetToRecord();
  // The engine compares the copy with the stored record: read it fresh.
  const uint16_t code = cursor_->GetCurrentRecord(active_.Record());
  if (code != 0) RaiseEngineError(code, {.TableName = cursor_->TableName()});
  cursor_->DeleteRecord(active_.Record());
  onActive_ = false;
  active_.SetBookmarkFlag(kBookmarkNone);
}

void TRUDIRADataSet::InternalRefresh() {
  InternalSetToRecord();
  cursor_->Refresh();
}

// --- positions ---

int32_t TRUDIRADataSet::InternalGetRecNo() {
  InternalSetToRecord();
  return cursor_->GetRecordNo();
}

bool TRUDIRADataSet::InternalSetRecNo(int32_t value) {
  DropBlock();
  onActive_ = false;
  return cursor_->SetToRecordNo(value);
}

int32_t TRUDIRADataSet::InternalRecordCount() { return cursor_->GetRecordCount(); }

std::vector<uint8_t> TRUDIRADataSet::InternalGetBookmark() {
  InternalSetToRecord();
  std::vector<uint8_t> bookmark(cursor_->BookmarkSize());
  cursor_->GetBookmark(bookmark.data());
  return bookmark;
}

bool TRUDIRADataSet::InternalGotoBookmark(const std::vector<uint8_t>& bookmark) {
  DropBlock();
  if (bookmark.size() != cursor_->BookmarkSize()) return false;
  onActive_ = false;
  return cursor_->SetToBookmark(bookmark.data());
}

// --- field values ---

TFieldValue TRUDIRADataSet::InternalGetFieldValue(const TField& field, bool oldValue) {
  if (State() == TDataSetState::dsSetKey && !field.Calculated()) {
    return field.FieldNo() > 0 ? ReadFieldValue(key_.Record(), EngineField(field)) : TFieldValue();
  }
  TRecordBuffer& buffer = oldValue ? old_ : active_;
  if (Eof() && Bof() && State() == TDataSetState::dsBrowse) return std::monostate{};
  if (field.Calculated()) {
    return ReadFieldValue(buffer.CalcFields(), calcFields_.at(static_cast<size_t>(field.CalcIndex())));
  }
  if (field.FieldNo() <= 0) return std::monostate{};
  return ReadFieldValue(buffer.Record(), EngineField(field));
}

void TRUDIRADataSet::InternalSetFieldValue(TField& field, const TFieldValue& value) {
  const bool calculated = field.Calculated();
  if (!calculated && field.FieldNo() <= 0) RaiseDatabaseError(kFieldReadOnly, field.FieldName());
  const TFieldDescriptor& engineField =
      calculated ? calcFields_.at(static_cast<size_t>(field.CalcIndex())) : EngineField(field);
  uint8_t* record = calculated ? active_.CalcFields()
                   : State() == TDataSetState::dsSetKey ? key_.Record() : active_.Record();
  if (std::holds_alternative<std::monostate>(value)) {
    StoreFieldNull(record, engineField);
    return;
  }
  if (!StoreFieldValue(record, engineField, value, cursor_->Table()->DataFile().Locale())) {
    RaiseDatabaseError(kInvalidFieldValue, field.FieldName());
  }
}

bool TRUDIRADataSet::IsKeyField(const TField& field) const {
  if (cursor_ == nullptr) return false;
  const std::vector<uint16_t>& numbers = cursor_->IndexFieldNumbers();
  return std::find(numbers.begin(), numbers.end(), static_cast<uint16_t>(field.FieldNo())) != numbers.end();
}

std::string TRUDIRADataSet::GetBlobText(const TField& field) {
  CheckActive();
  if (field.FieldNo() <= 0 || (Eof() && Bof() && State() == TDataSetState::dsBrowse)) return {};
  const bool editing = State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert;
  uint8_t* record = active_.Record();
  cursor_->OpenBlob(field.FieldNo(), record);
  std::string text;
  try {
    text.resize(cursor_->GetBlobSize(field.FieldNo(), record));
    const size_t read = cursor_->GetBlob(field.FieldNo(), record, 0, text.size(),
                                         reinterpret_cast<uint8_t*>(text.data()));
    text.resize(read);
  } catch (...) {
    if (!editing) cursor_->FreeBlob(field.FieldNo());
    throw;
  }
  // An edit keeps its BLOB open for the post.
  if (!editing) cursor_->FreeBlob(field.FieldNo());
  return text;
}

void TRUDIRADataSet::SetBlobText(TField& field, const std::string& text) {
  CheckActive();
  if (State() != TDataSetState::dsEdit && State() != TDataSetState::dsInsert) RaiseDatabaseError(kNotEditing);
  if (field.ReadOnly()) RaiseDatabaseError(kFieldReadOnly, field.FieldName());
  uint8_t* record = active_.Record();
  cursor_->OpenBlob(field.FieldNo(), record);
  cursor_->TruncateBlob(field.FieldNo(), record, 0);
  if (!text.empty()) {
    cursor_->PutBlob(field.FieldNo(), record, 0, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
  }
  SetModified(true);
  DataEvent(TDataEvent::deFieldChange, &field);
}

void TRUDIRADataSet::BlobFieldWritten(TField& field) {
  SetModified(true);
  DataEvent(TDataEvent::deFieldChange, &field);
}

std::unique_ptr<TRUDIRABlobStream> TRUDIRADataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  CheckActive();
  return std::make_unique<TRUDIRABlobStream>(field, mode);
}

void TRUDIRADataSet::SetBlockReadSize(int value) {
  if (Active() && (blockCount_ > 0 || blockAtEnd_)) InternalSetToRecord();
  TDataSet::SetBlockReadSize(value);
}

// --- key searches ---

bool TRUDIRADataSet::SeekKey(const uint8_t* keyRecord, int fieldCount, bool nearest) {
  InternalSetToRecord();
  std::unique_ptr<TDataCursor> search = cursor_->CloneCursor();
  std::vector<uint8_t> found(search->RecordSize());
  const bool hit = search->Find(keyRecord, false, found.data(), fieldCount, 0, nearest);
  if (!hit && !(nearest && !search->AtEnd())) return false;
  Fire(BeforeScroll, *this);
  DropBlock();
  if (cursor_->SetToCursor(*search) != 0 || Fetch(TGetMode::gmCurrent) != TGetResult::grOK) {
    InternalSetToRecord();
    return false;
  }
  SetFlags(false, false);
  DataEvent(TDataEvent::deDataSetChange);
  Fire(AfterScroll, *this);
  return true;
}

// --- Locate and Lookup ---

bool TRUDIRADataSet::FindOnOtherIndex(const std::vector<uint16_t>&, bool, std::string&) { return false; }

bool TRUDIRADataSet::MatchesAll(const uint8_t* record, const std::vector<TField*>& fields,
                                const std::vector<TFieldValue>& values, TLocateOptions options) const {
  for (size_t i = 0; i < fields.size(); ++i) {
    const TFieldDescriptor& engineField = EngineField(*fields[i]);
    const TFieldValue stored = ReadFieldValue(record, engineField);
    const TFieldValue& wanted = values[i];
    if (std::holds_alternative<std::monostate>(wanted) || std::holds_alternative<std::monostate>(stored)) {
      if (stored.index() != wanted.index()) return false;
      continue;
    }
    if (const auto* text = std::get_if<std::string>(&stored)) {
      std::string want = std::get<std::string>(wanted);
      std::string have = *text;
      if (options.CaseInsensitive) {
        want = Upper(want);
        have = Upper(have);
      }
      if (options.PartialKey) {
        if (have.compare(0, want.size(), want) != 0) return false;
      } else if (have != want) {
        return false;
      }
      continue;
    }
    if (stored != wanted) return false;
  }
  return true;
}

bool TRUDIRADataSet::FindRecord(TDataCursor& search, const std::vector<TField*>& fields,
                                const std::vector<TFieldValue>& given, TLocateOptions options) {
  if (given.size() != fields.size()) RaiseDatabaseError(kFieldIndexError);
  // The values in the fields' own types; strings as a store would leave them.
  std::vector<TFieldValue> values;
  bool anyString = false;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i]->IsBlob() && std::holds_alternative<std::string>(given[i])) {
      // A memo compares its whole text; an empty memo is NULL.
      const std::string& text = std::get<std::string>(given[i]);
      values.push_back(text.empty() ? TFieldValue() : TFieldValue(text));
      continue;
    }
    TFieldValue value = fields[i]->Coerce(given[i]);
    if (auto* text = std::get_if<std::string>(&value)) {
      anyString = true;
      std::string normal = *text;
      if (options.PartialKey && !normal.empty() && normal.back() == '*') normal.pop_back();
      const TFieldDescriptor& engineField = EngineField(*fields[i]);
      normal = NormalizeStringValue(normal, engineField.CharCase, engineField.Size,
                                    cursor_->Table()->DataFile().Locale());
      if (normal.empty() && !options.PartialKey) {
        value = std::monostate{};
      } else {
        value = normal;
      }
    }
    values.push_back(std::move(value));
  }
  std::vector<uint16_t> numbers;
  for (TField* field : fields) numbers.push_back(static_cast<uint16_t>(field->FieldNo()));

  // An index whose leading fields are the given ones, in order.
  auto leads = [&](const std::vector<uint16_t>& indexFields) {
    if (indexFields.size() < numbers.size()) return false;
    return std::equal(numbers.begin(), numbers.end(), indexFields.begin());
  };
  // A key search would not see the filters of the cursor (the dataset's
  // own or a query's condition): with any of them active the search goes
  // through the temporary filter, which joins them.
  bool narrowed = false;
  for (const TFilter* filter : search.Filters()) narrowed = narrowed || filter->Active();
  bool indexUsable = !narrowed && !search.NaturalOrder() && leads(search.IndexFieldNumbers()) &&
                     (!anyString || IndexCaseInsensitive() == options.CaseInsensitive);
  if (!indexUsable && !narrowed) {
    std::string other;
    if (FindOnOtherIndex(numbers, options.CaseInsensitive, other)) {
      search.SetIndexName(other);
      indexUsable = true;
    }
  }
  bool nullKey = false;
  for (const TFieldValue& value : values) nullKey = nullKey || std::holds_alternative<std::monostate>(value);
  if (indexUsable && !nullKey) {
    std::vector<uint8_t> key(search.RecordSize(), 0);
    int partialLength = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
      const TFieldDescriptor& engineField = EngineField(*fields[i]);
      if (!StoreFieldValue(key.data(), engineField, values[i], search.Table()->DataFile().Locale())) {
        RaiseDatabaseError(kInvalidFieldValue, fields[i]->FieldName());
      }
      if (i + 1 == fields.size() && options.PartialKey) {
        if (const auto* text = std::get_if<std::string>(&values[i])) partialLength = static_cast<int>(text->size());
      }
    }
    std::vector<uint8_t> found(search.RecordSize());
    if (!search.Find(key.data(), false, found.data(), static_cast<int>(fields.size()), partialLength, false)) {
      return false;
    }
    // The index may hold keys that only compare equal; check the record.
    return MatchesAll(found.data(), fields, values, options) || options.CaseInsensitive;
  }
  // The temporary filter: one equality per field joined by AND, served from
  // an index where one answers it. It goes in before the dataset's callback
  // filter, so OnFilterRecord runs only on the records it leaves; the first
  // record in cursor order that passes every filter is the one found. The
  // filter lives on the search clone and leaves with it, so the dataset's
  // own cursor never carries it.
  std::vector<TLocateCondition> conditions;
  for (size_t i = 0; i < fields.size(); ++i) conditions.push_back({&EngineField(*fields[i]), values[i]});
  TFilter* temporary = search.AddFilter(BuildLocateFilter(conditions, options), LocateFilterOptions(options));
  search.ActivateFilter(temporary);
  search.SetToBegin();
  return search.GetNextRecord() == 0;
}

bool TRUDIRADataSet::Locate(const std::string& keyFields, const std::vector<TFieldValue>& keyValues,
                            TLocateOptions options) {
  CheckBrowseMode();
  const std::vector<TField*> fields = FieldList(keyFields);
  InternalSetToRecord();
  std::unique_ptr<TDataCursor> search = cursor_->CloneCursor();
  if (!FindRecord(*search, fields, keyValues, options)) return false;
  Fire(BeforeScroll, *this);
  DropBlock();
  if (cursor_->SetToCursor(*search) != 0) {
    InternalSetToRecord();
    return false;
  }
  if (Fetch(TGetMode::gmCurrent) != TGetResult::grOK) {
    InternalSetToRecord();
    return false;
  }
  SetFlags(false, false);
  DataEvent(TDataEvent::deDataSetChange);
  Fire(AfterScroll, *this);
  return true;
}

std::vector<TFieldValue> TRUDIRADataSet::Lookup(const std::string& keyFields, const std::vector<TFieldValue>& keyValues,
                                                const std::string& resultFields) {
  CheckBrowseMode();
  const std::vector<TField*> fields = FieldList(keyFields);
  const std::vector<TField*> results = FieldList(resultFields);
  InternalSetToRecord();
  std::unique_ptr<TDataCursor> search = cursor_->CloneCursor();
  if (!FindRecord(*search, fields, keyValues, {})) return {};
  std::vector<uint8_t> record(search->RecordSize());
  if (search->GetCurrentRecord(record.data()) != 0) return {};
  std::vector<TFieldValue> values;
  for (TField* field : results) values.push_back(ReadFieldValue(record.data(), EngineField(*field)));
  return values;
}

}  // namespace rudira
