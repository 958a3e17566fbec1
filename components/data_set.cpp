#include "components/data_set.h"

#include <algorithm>

#include "components/component_messages.h"
#include "components/dataset_messages.h"

namespace rudira {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

}  // namespace

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
  // A concrete dataset closes itself in its own destructor (its hooks are
  // gone by now); here only the sources are let go.
  const std::vector<TDataSource*> sources = dataSources_;
  for (TDataSource* source : sources) source->DataSetDestroyed();
  dataSources_.clear();
}

// --- open and close ---

void TDataSet::SetActive(bool value) {
  if (value == Active()) return;
  if (value) {
    DoOpen();
  } else {
    DoClose();
  }
}

void TDataSet::DoOpen() {
  Fire(BeforeOpen, *this);
  try {
    fieldDefs_.Clear();
    InternalOpen();
    CreateFields();
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    InternalFirst();
    const TGetResult result = GetRecord(TGetMode::gmNext);
    SetFlags(true, result != TGetResult::grOK);
    OpenCompleted();
  } catch (...) {
    state_ = TDataSetState::dsInactive;
    DestroyFields();
    try {
      InternalClose();
    } catch (...) {
    }
    throw;
  }
  DataEvent(TDataEvent::deActiveChange);
  DataEvent(TDataEvent::deUpdateState);
  DataEvent(TDataEvent::deDataSetChange);
  Fire(AfterOpen, *this);
  Fire(AfterScroll, *this);
}

void TDataSet::DoClose() {
  Fire(BeforeClose, *this);
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    try {
      InternalCancel();
    } catch (...) {
    }
  }
  state_ = TDataSetState::dsInactive;
  modified_ = false;
  SetFlags(true, true);
  try {
    InternalClose();
  } catch (...) {
    DestroyFields();
    DataEvent(TDataEvent::deActiveChange);
    throw;
  }
  DestroyFields();
  DataEvent(TDataEvent::deActiveChange);
  DataEvent(TDataEvent::deUpdateState);
  Fire(AfterClose, *this);
}

void TDataSet::CheckActive() const {
  if (!Active()) RaiseDatabaseError(kDataSetClosed);
}

void TDataSet::CheckCanModify() const {
  if (!CanModify()) RaiseDatabaseError(kDataSetReadOnly);
}

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  modified_ = false;
  DataEvent(TDataEvent::deUpdateState);
}

// --- fields ---

void TDataSet::CreateFields() {
  fields_.clear();
  for (int i = 0; i < fieldDefs_.Count(); ++i) {
    fields_.push_back(std::make_unique<TField>(*this, fieldDefs_[i], i));
  }
  for (const TFieldDef& def : calcDefs_) {
    fields_.push_back(std::make_unique<TField>(*this, def, FieldCount()));
  }
}

void TDataSet::AddCalculatedField(const std::string& name, TFieldType type, int size) {
  if (Active()) RaiseDatabaseError(kTableOpen);
  if (IsBlobFieldType(type)) RaiseDatabaseError(kInvalidFieldValue, name);
  TFieldDef def;
  def.Name = name;
  def.DataType = type;
  def.Size = size;
  def.Calculated = true;
  def.CalcIndex = static_cast<int>(calcDefs_.size());
  calcDefs_.push_back(def);
}

void TDataSet::CalculateFields() {
  if (calcDefs_.empty()) return;
  ClearCalcFields();
  if (!OnCalcFields) return;
  const TDataSetState saved = state_;
  state_ = TDataSetState::dsCalcFields;
  try {
    OnCalcFields(*this);
  } catch (...) {
    state_ = saved;
    throw;
  }
  state_ = saved;
}

TField& TDataSet::Fields(int i) const {
  if (i < 0 || i >= FieldCount()) RaiseDatabaseError(kFieldIndexError);
  return *fields_[static_cast<size_t>(i)];
}

TField* TDataSet::FindField(const std::string& name) const {
  for (const auto& field : fields_) {
    if (SameName(field->FieldName(), name)) return field.get();
  }
  return nullptr;
}

TField& TDataSet::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (field == nullptr) RaiseDatabaseError(kFieldNotFound, name);
  return *field;
}

std::vector<TField*> TDataSet::FieldList(const std::string& names) const {
  std::vector<TField*> list;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(';', start);
    if (end == std::string::npos) end = names.size();
    const std::string name = Trimmed(names.substr(start, end - start));
    if (!name.empty()) list.push_back(&FieldByName(name));
    start = end + 1;
  }
  return list;
}

TFieldValue TDataSet::GetFieldValue(const TField& field) {
  CheckActive();
  return InternalGetFieldValue(field, state_ == TDataSetState::dsOldValue);
}

void TDataSet::CheckSetField(const TField& field) const {
  CheckActive();
  // Calculated fields are set by OnCalcFields only, and only they are set
  // there.
  if (field.Calculated() != (state_ == TDataSetState::dsCalcFields)) {
    if (state_ == TDataSetState::dsBrowse && !field.Calculated()) RaiseDatabaseError(kNotEditing);
    RaiseDatabaseError(kFieldReadOnly, field.FieldName());
  }
  switch (state_) {
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert:
      if (field.ReadOnly()) RaiseDatabaseError(kFieldReadOnly, field.FieldName());
      return;
    case TDataSetState::dsSetKey:
      if (!IsKeyField(field)) RaiseDatabaseError(kNotIndexField, field.FieldName());
      return;
    case TDataSetState::dsFilter:
    case TDataSetState::dsCalcFields:
      return;
    case TDataSetState::dsOldValue:
      RaiseDatabaseError(kFieldReadOnly, field.FieldName());
    default:
      RaiseDatabaseError(kNotEditing);
  }
}

void TDataSet::SetFieldValue(TField& field, const TFieldValue& value) {
  CheckSetField(field);
  InternalSetFieldValue(field, value);
  if (field.Calculated()) return;
  modified_ = true;
  if (AutoCalcFields && (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert)) CalculateFields();
  DataEvent(TDataEvent::deFieldChange, &field);
}

void TDataSet::WithOldValues(const std::function<void()>& action) {
  CheckActive();
  const TDataSetState saved = state_;
  state_ = TDataSetState::dsOldValue;
  try {
    action();
  } catch (...) {
    state_ = saved;
    throw;
  }
  state_ = saved;
}

// --- navigation ---

void TDataSet::FirstOrLast(bool first) {
  CheckBrowseMode();
  Fire(BeforeScroll, *this);
  if (first) {
    InternalFirst();
    const bool found = GetRecord(TGetMode::gmNext) == TGetResult::grOK;
    SetFlags(true, !found);
  } else {
    InternalLast();
    const bool found = GetRecord(TGetMode::gmPrior) == TGetResult::grOK;
    SetFlags(!found, true);
  }
  DataEvent(TDataEvent::deDataSetChange);
  Fire(AfterScroll, *this);
}

void TDataSet::First() { FirstOrLast(true); }
void TDataSet::Last() { FirstOrLast(false); }

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  if (distance == 0 || (distance > 0 && eof_) || (distance < 0 && bof_)) {
    return 0;
  }
  if (eof_ && bof_) return 0;  // empty
  Fire(BeforeScroll, *this);
  // The data's position may have moved past the record shown (an earlier
  // read that hit an end); start from the record shown.
  InternalSetToRecord();
  int moved = 0;
  const TGetMode mode = distance > 0 ? TGetMode::gmNext : TGetMode::gmPrior;
  const int steps = distance > 0 ? distance : -distance;
  bof_ = false;
  eof_ = false;
  while (moved < steps) {
    if (GetRecord(mode) != TGetResult::grOK) {
      if (distance > 0) eof_ = true; else bof_ = true;
      // The record shown stays the last one read.
      InternalSetToRecord();
      break;
    }
    ++moved;
  }
  if (moved > 0) DataEvent(TDataEvent::deDataSetScroll, nullptr, distance > 0 ? moved : -moved);
  Fire(AfterScroll, *this);
  return distance > 0 ? moved : -moved;
}

int32_t TDataSet::RecNo() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert || (eof_ && bof_)) return 0;
  return InternalGetRecNo();
}

void TDataSet::SetRecNo(int32_t value) {
  CheckBrowseMode();
  if (value == InternalGetRecNo()) return;
  Fire(BeforeScroll, *this);
  if (InternalSetRecNo(value)) {
    SetFlags(false, false);
    if (GetRecord(TGetMode::gmCurrent) != TGetResult::grOK) SetFlags(true, true);
  } else {
    InternalSetToRecord();
  }
  DataEvent(TDataEvent::deDataSetChange);
  Fire(AfterScroll, *this);
}

int32_t TDataSet::RecordCount() {
  CheckActive();
  return InternalRecordCount();
}

std::vector<uint8_t> TDataSet::GetBookmark() {
  if (!Active() || (eof_ && bof_) || state_ == TDataSetState::dsInsert) return {};
  return InternalGetBookmark();
}

void TDataSet::GotoBookmark(const std::vector<uint8_t>& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  Fire(BeforeScroll, *this);
  if (!InternalGotoBookmark(bookmark)) {
    InternalSetToRecord();
  } else if (GetRecord(TGetMode::gmCurrent) == TGetResult::grOK) {
    SetFlags(false, false);
  }
  DataEvent(TDataEvent::deDataSetChange);
  Fire(AfterScroll, *this);
}

// --- editing ---

void TDataSet::WithErrorAction(const TDataSetErrorEvent& handler, const std::function<void()>& action) {
  for (;;) {
    try {
      action();
      return;
    } catch (const EDatabaseError& error) {
      TDataAction decision = TDataAction::daFail;
      if (handler) handler(*this, error, decision);
      if (decision == TDataAction::daFail) throw;
      if (decision == TDataAction::daAbort) throw EAbort();
    }
  }
}

void TDataSet::Edit() {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
  CheckActive();
  CheckCanModify();
  if (eof_ && bof_) {
    Append();
    return;
  }
  Fire(BeforeEdit, *this);
  WithErrorAction(OnEditError, [this] { InternalEdit(); });
  SetState(TDataSetState::dsEdit);
  DataEvent(TDataEvent::deRecordChange);
  Fire(AfterEdit, *this);
}

void TDataSet::BeginInsert(bool append) {
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeInsert, *this);
  Fire(BeforeScroll, *this);
  savedBof_ = bof_;
  savedEof_ = eof_;
  SaveActiveBuffer();
  InternalInitRecord(CopyOnAppend && !(eof_ && bof_));
  if (append) {
    SetFlags(false, true);
  } else {
    SetFlags(false, false);
  }
  SetState(TDataSetState::dsInsert);
  try {
    if (OnNewRecord) OnNewRecord(*this);
  } catch (...) {
    InternalCancel();
    RestoreActiveBuffer();
    SetFlags(savedBof_, savedEof_);
    SetState(TDataSetState::dsBrowse);
    throw;
  }
  modified_ = false;
  DataEvent(TDataEvent::deDataSetChange);
  Fire(AfterInsert, *this);
  Fire(AfterScroll, *this);
}

void TDataSet::CheckRequiredFields() {
  for (const auto& field : fields_) {
    if (field->Required() && !field->ReadOnly() && field->DataType() != TFieldType::ftAutoInc &&
        field->IsNull()) {
      RaiseDatabaseError(kFieldRequired, field->FieldName());
    }
  }
}

void TDataSet::Post() {
  CheckActive();
  DataEvent(TDataEvent::deUpdateRecord);
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  DataEvent(TDataEvent::deCheckBrowseMode);
  Fire(BeforePost, *this);
  CheckRequiredFields();
  WithErrorAction(OnPostError, [this] { InternalPost(); });
  SetState(TDataSetState::dsBrowse);
  SetFlags(false, false);
  Resync();
  Fire(AfterPost, *this);
}

void TDataSet::Cancel() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  DataEvent(TDataEvent::deCheckBrowseMode);
  Fire(BeforeCancel, *this);
  const bool inserting = state_ == TDataSetState::dsInsert;
  InternalCancel();
  if (inserting) {
    RestoreActiveBuffer();
    SetFlags(savedBof_, savedEof_);
    if (!(bof_ && eof_)) InternalSetToRecord();
  } else if (!(bof_ && eof_)) {
    // The record as stored again.
    if (GetRecord(TGetMode::gmCurrent) != TGetResult::grOK) InternalSetToRecord();
  }
  SetState(TDataSetState::dsBrowse);
  DataEvent(TDataEvent::deDataSetChange);
  Fire(AfterCancel, *this);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  CheckCanModify();
  if (eof_ && bof_) RaiseDatabaseError(kDataSetEmpty);
  DataEvent(TDataEvent::deCheckBrowseMode);
  Fire(BeforeDelete, *this);
  Fire(BeforeScroll, *this);
  WithErrorAction(OnDeleteError, [this] { InternalDelete(); });
  SetState(TDataSetState::dsBrowse);
  // The record that followed becomes current, or the new last one.
  SetFlags(false, false);
  if (GetRecord(TGetMode::gmCurrent) != TGetResult::grOK) {
    InternalLast();
    if (GetRecord(TGetMode::gmPrior) == TGetResult::grOK) {
      SetFlags(false, true);
    } else {
      SetFlags(true, true);
    }
  }
  DataEvent(TDataEvent::deDataSetChange);
  Fire(AfterDelete, *this);
  Fire(AfterScroll, *this);
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(TDataEvent::deCheckBrowseMode);
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    DataEvent(TDataEvent::deUpdateRecord);
    if (modified_) {
      Post();
    } else {
      Cancel();
    }
  } else if (state_ == TDataSetState::dsSetKey) {
    SetState(TDataSetState::dsBrowse);
  }
}

void TDataSet::Resync() {
  if (!(bof_ && eof_) || InternalRecordCount() > 0) {
    if (GetRecord(TGetMode::gmCurrent) == TGetResult::grOK) {
      SetFlags(false, false);
    } else if (GetRecord(TGetMode::gmNext) == TGetResult::grOK) {
      SetFlags(false, false);
    } else {
      InternalLast();
      if (GetRecord(TGetMode::gmPrior) == TGetResult::grOK) {
        SetFlags(false, true);
      } else {
        SetFlags(true, true);
      }
    }
  }
  DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  Fire(BeforeRefresh, *this);
  InternalRefresh();
  Resync();
  Fire(AfterRefresh, *this);
}

// --- options ---

void TDataSet::SetFilter(const std::string& text) {
  filter_ = text;
  if (Active() && filtered_) {
    CheckBrowseMode();
    FilterChanged();
    First();
  }
}

void TDataSet::SetFiltered(bool value) {
  if (value == filtered_) return;
  filtered_ = value;
  if (Active()) {
    CheckBrowseMode();
    FilterChanged();
    First();
  }
}

void TDataSet::SetFilterOptions(TFilterOptions options) {
  filterOptions_ = options;
  if (Active() && filtered_) {
    CheckBrowseMode();
    FilterChanged();
    First();
  }
}

TFilterRecordEventProperty& TFilterRecordEventProperty::operator=(TFilterRecordEvent handler) {
  handler_ = std::move(handler);
  owner_.FilterRecordEventChanged();
  return *this;
}

void TDataSet::FilterRecordEventChanged() {
  // A handler replaced from inside the callback takes effect with the next
  // record tried; the filters are not made again under it.
  if (!Active() || !filtered_ || state_ == TDataSetState::dsFilter) return;
  CheckBrowseMode();
  FilterChanged();
  First();
}

void TDataSet::SetBlockReadSize(int value) { blockReadSize_ = value < 0 ? 0 : value; }

bool TDataSet::RecordAccepted() {
  if (!OnFilterRecord) return true;
  const TDataSetState saved = state_;
  state_ = TDataSetState::dsFilter;
  bool accept = true;
  try {
    OnFilterRecord(*this, accept);
  } catch (const std::exception& error) {
    accept = true;
    if (ReportFilterError) ReportFilterError(error);
  }
  state_ = saved;
  return accept;
}

// --- data sources ---

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ == 0 && pendingChange_) {
    pendingChange_ = false;
    DataEvent(TDataEvent::deDataSetChange);
  }
}

void TDataSet::AddDataSource(TDataSource* source) {
  if (std::find(dataSources_.begin(), dataSources_.end(), source) == dataSources_.end()) {
    dataSources_.push_back(source);
  }
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), source), dataSources_.end());
}

bool TDataSet::WouldLinkCircularly(TDataSource* source) const {
  // A chain of masters is short; the bound guards against a loop made
  // elsewhere.
  int guard = 0;
  while (source != nullptr && guard++ < 1000) {
    const TDataSet* dataSet = source->DataSet();
    if (dataSet == nullptr) return false;
    if (dataSet == this) return true;
    source = dataSet->MasterDataSource();
  }
  return source != nullptr;
}

void TDataSet::DataEvent(TDataEvent event, TField* field, int info) {
  const bool stateEvent = event == TDataEvent::deActiveChange || event == TDataEvent::deUpdateState;
  if (disableCount_ > 0 && !stateEvent) {
    if (event != TDataEvent::deCheckBrowseMode && event != TDataEvent::deUpdateRecord) pendingChange_ = true;
    return;
  }
  const std::vector<TDataSource*> sources = dataSources_;
  for (TDataSource* source : sources) source->DataEvent(event, field, info);
}

}  // namespace rudira
