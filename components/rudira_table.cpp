#include "components/rudira_table.h"

#include <algorithm>

#include "components/component_messages.h"
#include "components/dataset_messages.h"
#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "engine/table_verifier.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/index_key.h"
#include "storage/table_directory.h"

namespace rudira {

namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

}  // namespace

// --- master link ---

void TTableMasterLink::ActiveChanged() { table_.MasterChanged(); }
void TTableMasterLink::DataSetChanged() { table_.MasterChanged(); }
void TTableMasterLink::RecordChanged(TField* field) {
  if (field == nullptr) table_.MasterChanged();
}

// --- the table ---

TRUDIRATable::TRUDIRATable(TComponent* owner) : TRUDIRADBDataSet(owner), masterLink_(*this) {}

TRUDIRATable::~TRUDIRATable() {
  MarkDestroying();
  try {
    Close();
  } catch (...) {
  }
  masterLink_.SetDataSource(nullptr);
}

std::string TRUDIRATable::EngineVersion() const { return kEngineVersion; }

void TRUDIRATable::CheckInactive() const {
  if (Active()) RaiseDatabaseError(kTableOpen);
}

void TRUDIRATable::SetTableName(const std::string& name) {
  CheckInactive();
  const size_t slash = name.find_last_of("\\/");
  if (slash == std::string::npos) {
    tableName_ = name;
    return;
  }
  SetDatabaseName(name.substr(0, slash + 1));
  tableName_ = name.substr(slash + 1);
}

void TRUDIRATable::SetExclusive(bool value) {
  CheckInactive();
  exclusive_ = value;
}

void TRUDIRATable::SetReadOnly(bool value) {
  CheckInactive();
  readOnly_ = value;
}

std::unique_ptr<TDataCursor> TRUDIRATable::NewCursor() {
  TRUDIRASession* session = DBSession();
  TDataDirectory* directory = Database()->EngineDirectory();
  auto cursor = std::make_unique<TDataCursor>(*session->EngineSession(), *directory);
  cursor->SetTableName(tableName_);
  cursor->SetInMemory(directory->IsMemory());
  cursor->SetPasswordCallback([session](TDataCursor&) { return session->RequestPassword(); });
  return cursor;
}

TDataCursor* TRUDIRATable::CreateCursor() {
  if (tableName_.empty()) RaiseDatabaseError(kNoTableName);
  OpenDatabase();
  try {
    std::unique_ptr<TDataCursor> cursor = NewCursor();
    cursor->SetExclusive(exclusive_);
    cursor->SetReadOnly(readOnly_);
    cursor->OpenCursor();
    if (cursor->ReadOnly()) readOnly_ = true;
    ReadIndexDefs(*cursor);
    const std::string index = ChosenIndexName(*cursor);
    if (!index.empty()) cursor->SetIndexName(index);
    ownCursor_ = std::move(cursor);
  } catch (...) {
    CloseDatabase();
    throw;
  }
  return ownCursor_.get();
}

void TRUDIRATable::DestroyCursor() { ownCursor_.reset(); }

void TRUDIRATable::OpenCompleted() {
  TRUDIRADataSet::OpenCompleted();
  if (MasterSource() != nullptr && !masterFields_.empty()) MasterChanged();
}

void TRUDIRATable::ReadIndexDefs(TDataCursor& cursor) {
  indexDefs_.Clear();
  TIndexFile& file = cursor.Table()->IndexFile();
  auto fieldsOf = [&](const TIndexDefinition& def) {
    std::string list;
    for (int i = 0; i < def.IndexFieldCount; ++i) {
      if (i > 0) list += ';';
      list += cursor.Field(def.FieldNumbers[static_cast<size_t>(i)]).FieldName;
    }
    return list;
  };
  const TIndexDefinition& primary = file.Definition(0);
  if (!file.NoPrimaryKey() && primary.IndexFieldCount > 0) {
    indexDefs_.Add(primary.IndexName, fieldsOf(primary),
                   {true, true, primary.Descending != 0, primary.CaseInsensitive != 0});
  }
  for (int slot = 1; slot <= file.Header().SecondaryIndexCount && slot <= 30; ++slot) {
    const TIndexDefinition& def = file.Definition(slot);
    indexDefs_.Add(def.IndexName, fieldsOf(def), {false, def.Unique != 0, def.Descending != 0, def.CaseInsensitive != 0});
  }
}

void TRUDIRATable::UpdateIndexDefs() {
  if (Active()) {
    ReadIndexDefs(*ownCursor_);
    return;
  }
  if (tableName_.empty()) RaiseDatabaseError(kNoTableName);
  OpenDatabase();
  try {
    std::unique_ptr<TDataCursor> cursor = NewCursor();
    cursor->SetStructureOnly(true);
    cursor->OpenCursor();
    ReadIndexDefs(*cursor);
  } catch (...) {
    CloseDatabase();
    throw;
  }
  CloseDatabase();
}

std::string TRUDIRATable::ChosenIndexName(TDataCursor& cursor) const {
  if (indexFieldNames_.empty()) return indexName_;
  std::vector<std::string> wanted = TIndexDefs::SplitFields(indexFieldNames_);
  for (std::string& name : wanted) {
    bool known = false;
    for (const TFieldDescriptor& field : cursor.Fields()) known = known || Upper(field.FieldName) == Upper(name);
    if (!known) RaiseDatabaseError(kFieldNotFound, name);
    name = Upper(name);
  }
  auto fieldsOf = [](const TIndexDef& def) {
    std::vector<std::string> names = TIndexDefs::SplitFields(def.Fields);
    for (std::string& name : names) name = Upper(name);
    return names;
  };
  for (int i = 0; i < indexDefs_.Count(); ++i) {
    if (fieldsOf(indexDefs_[i]) == wanted) return indexDefs_[i].Name;
  }
  for (int i = 0; i < indexDefs_.Count(); ++i) {
    const std::vector<std::string> names = fieldsOf(indexDefs_[i]);
    if (names.size() >= wanted.size() && std::equal(wanted.begin(), wanted.end(), names.begin())) {
      return indexDefs_[i].Name;
    }
  }
  RaiseDatabaseError(kNoIndexForFields, indexFieldNames_);
}

void TRUDIRATable::ApplyIndex() {
  if (!Active()) return;
  CheckBrowseMode();
  ownCursor_->SetIndexName(ChosenIndexName(*ownCursor_));
  IndexChanged();
  Resync();
}

void TRUDIRATable::SetIndexName(const std::string& name) {
  const std::string oldName = indexName_;
  const std::string oldFields = indexFieldNames_;
  indexName_ = name;
  indexFieldNames_.clear();
  try {
    ApplyIndex();
  } catch (...) {
    indexName_ = oldName;
    indexFieldNames_ = oldFields;
    throw;
  }
}

void TRUDIRATable::SetIndexFieldNames(const std::string& names) {
  const std::string oldName = indexName_;
  const std::string oldFields = indexFieldNames_;
  indexFieldNames_ = names;
  indexName_.clear();
  try {
    ApplyIndex();
  } catch (...) {
    indexName_ = oldName;
    indexFieldNames_ = oldFields;
    throw;
  }
}

bool TRUDIRATable::FindOnOtherIndex(const std::vector<uint16_t>& fieldNumbers, bool caseInsensitive,
                                    std::string& indexName) {
  TIndexFile& file = ownCursor_->Table()->IndexFile();
  auto fits = [&](const TIndexDefinition& def) {
    if (def.IndexFieldCount < fieldNumbers.size()) return false;
    if ((def.CaseInsensitive != 0) != caseInsensitive) {
      // Only string fields care about the case of the index.
      for (uint16_t number : fieldNumbers) {
        if (ownCursor_->Field(number).FieldType == kFieldTypeString) return false;
      }
    }
    return std::equal(fieldNumbers.begin(), fieldNumbers.end(), def.FieldNumbers.begin());
  };
  if (!file.NoPrimaryKey() && file.Definition(0).IndexFieldCount > 0 && ownCursor_->IndexNo() != 0 &&
      fits(file.Definition(0))) {
    indexName.clear();  // the engine names the primary index by the empty name
    return true;
  }
  for (int slot = 1; slot <= file.Header().SecondaryIndexCount && slot <= 30; ++slot) {
    if (slot != ownCursor_->IndexNo() && fits(file.Definition(slot))) {
      indexName = file.Definition(slot).IndexName;
      return true;
    }
  }
  return false;
}

// --- ranges and master ---

std::vector<uint8_t> TRUDIRATable::KeyRecord(const std::vector<TFieldValue>& values, int& fieldCount) {
  const std::vector<uint16_t>& numbers = ownCursor_->IndexFieldNumbers();
  if (values.size() > numbers.size()) RaiseDatabaseError(kFieldIndexError);
  std::vector<uint8_t> record(ownCursor_->RecordSize(), 0);
  for (size_t i = 0; i < values.size(); ++i) {
    const TFieldDescriptor& engineField = ownCursor_->Field(numbers[i]);
    TField* field = nullptr;
    for (int f = 0; f < FieldCount(); ++f) {
      if (Fields(f).FieldNo() == engineField.FieldNo) field = &Fields(f);
    }
    if (field == nullptr) RaiseDatabaseError(kIndexFieldMissing, engineField.FieldName);
    const TFieldValue value = field->Coerce(values[i]);
    if (std::holds_alternative<std::monostate>(value)) {
      StoreFieldNull(record.data(), engineField);
    } else if (!StoreFieldValue(record.data(), engineField, value, ownCursor_->Table()->DataFile().Locale())) {
      RaiseDatabaseError(kInvalidFieldValue, engineField.FieldName);
    }
  }
  fieldCount = static_cast<int>(values.size());
  return record;
}

void TRUDIRATable::SetRange(const std::vector<TFieldValue>& startValues, const std::vector<TFieldValue>& endValues) {
  CheckBrowseMode();
  int startCount = 0;
  int endCount = 0;
  const std::vector<uint8_t> start = KeyRecord(startValues, startCount);
  const std::vector<uint8_t> end = KeyRecord(endValues, endCount);
  ownCursor_->SetRange(start.data(), startCount, end.data(), endCount);
  First();
}

void TRUDIRATable::CancelRange() {
  CheckBrowseMode();
  ownCursor_->ResetRange();
  Resync();
}

void TRUDIRATable::SetMasterSource(TDataSource* source) {
  if (WouldLinkCircularly(source)) RaiseDatabaseError(kCircularDataLink);
  masterLink_.SetDataSource(source);
}

void TRUDIRATable::SetMasterFields(const std::string& fields) {
  masterFields_ = fields;
  if (Active()) MasterChanged();
}

void TRUDIRATable::MasterChanged() {
  if (!Active() || masterFields_.empty()) return;
  TDataSource* source = masterLink_.DataSource();
  if (source == nullptr || source->DataSet() == nullptr || !source->DataSet()->Active()) return;
  TDataSet& master = *source->DataSet();
  if (master.State() == TDataSetState::dsSetKey) return;
  std::vector<TFieldValue> values;
  for (const std::string& name : TIndexDefs::SplitFields(masterFields_)) values.push_back(master.FieldByName(name).Value());
  SetRange(values, values);
}

// --- key searches ---

void TRUDIRATable::BeginKey(bool clear) {
  CheckBrowseMode();
  if (clear) {
    std::fill(KeyBuffer().Record(), KeyBuffer().Record() + ownCursor_->RecordSize(), uint8_t{0});
    keyFieldCount_ = 0;
  }
  SetState(TDataSetState::dsSetKey);
  DataEvent(TDataEvent::deDataSetChange);
}

void TRUDIRATable::SetKey() { BeginKey(true); }
void TRUDIRATable::EditKey() { BeginKey(false); }

bool TRUDIRATable::EndKey(bool nearest) {
  if (State() != TDataSetState::dsSetKey) RaiseDatabaseError(kNotEditing);
  SetState(TDataSetState::dsBrowse);
  DataEvent(TDataEvent::deDataSetChange);
  // The key reaches as far as the last index field that was given a value.
  int count = keyFieldCount_;
  const std::vector<uint16_t>& numbers = ownCursor_->IndexFieldNumbers();
  if (count == 0) {
    for (size_t i = 0; i < numbers.size(); ++i) {
      if (!IsFieldNull(KeyBuffer().Record(), ownCursor_->Field(numbers[i]))) count = static_cast<int>(i + 1);
    }
  }
  if (count == 0) count = static_cast<int>(numbers.size());
  return SeekKey(KeyBuffer().Record(), count, nearest);
}

bool TRUDIRATable::GotoKey() { return EndKey(false); }
void TRUDIRATable::GotoNearest() { EndKey(true); }

void TRUDIRATable::AssignKeyValues(const std::vector<TFieldValue>& values) {
  const std::vector<uint16_t>& numbers = ownCursor_->IndexFieldNumbers();
  for (size_t i = 0; i < values.size(); ++i) {
    if (i >= numbers.size()) RaiseDatabaseError(kFieldIndexError);
    TField* field = nullptr;
    for (int f = 0; f < FieldCount(); ++f) {
      if (Fields(f).FieldNo() == numbers[i]) field = &Fields(f);
    }
    if (field == nullptr) RaiseDatabaseError(kIndexFieldMissing, ownCursor_->Field(numbers[i]).FieldName);
    field->SetValue(field->Coerce(values[i]));
  }
  keyFieldCount_ = static_cast<int>(values.size());
}

bool TRUDIRATable::FindKey(const std::vector<TFieldValue>& values) {
  SetKey();
  try {
    AssignKeyValues(values);
  } catch (...) {
    SetState(TDataSetState::dsBrowse);
    throw;
  }
  return GotoKey();
}

void TRUDIRATable::FindNearest(const std::vector<TFieldValue>& values) {
  SetKey();
  try {
    AssignKeyValues(values);
  } catch (...) {
    SetState(TDataSetState::dsBrowse);
    throw;
  }
  GotoNearest();
}

// --- create and delete ---

void TRUDIRATable::CreateTable() {
  CheckInactive();
  if (tableName_.empty()) RaiseDatabaseError(kNoTableName);
  OpenDatabase();
  try {
    TDataDirectory* directory = Database()->EngineDirectory();
    if (FieldDefs().Count() == 0 && directory->IsMemory()) RaiseDatabaseError(kInMemoryNoFields);
    DataFileDefinition definition;
    for (int i = 0; i < FieldDefs().Count(); ++i) {
      const TFieldDef& def = FieldDefs()[i];
      TFieldDescriptor field;
      field.FieldNo = static_cast<uint16_t>(i + 1);
      field.FieldName = def.Name;
      if (!FieldTypeToEngineType(def.DataType, field.FieldType, field.SubType)) {
        RaiseDatabaseError(kInvalidFieldValue, def.Name);
      }
      if (FieldTypeHasSize(field.FieldType)) field.Size = static_cast<uint8_t>(def.Size);
      if (field.FieldType == kFieldTypeBcd) field.Scale = static_cast<uint8_t>(def.Size);
      field.Required = def.Required ? 1 : 0;
      field.FieldDescription = def.Description;
      definition.Fields.push_back(field);
    }
    PrepareFieldDefinitions(definition.Fields, DatabaseName(), tableName_);
    auto numberOf = [&](const std::string& name) -> uint16_t {
      for (const TFieldDescriptor& field : definition.Fields) {
        if (Upper(field.FieldName) == Upper(name)) return field.FieldNo;
      }
      RaiseDatabaseError(kFieldNotFound, name);
    };
    TableIndexDefinitions indexes;
    for (int i = 0; i < indexDefs_.Count(); ++i) {
      const TIndexDef& def = indexDefs_[i];
      TIndexDefinition index;
      index.IndexName = def.Options.Primary ? std::string() : def.Name;
      index.Unique = (def.Options.Unique || def.Options.Primary) ? 1 : 0;
      index.Descending = def.Options.Descending ? 1 : 0;
      index.CaseInsensitive = def.Options.CaseInsensitive ? 1 : 0;
      const std::vector<std::string> names = TIndexDefs::SplitFields(def.Fields);
      if (names.size() > kMaxIndexFields) RaiseEngineError(9487, {.TableName = tableName_, .IndexName = def.Name});
      index.IndexFieldCount = static_cast<uint8_t>(names.size());
      for (size_t f = 0; f < names.size(); ++f) index.FieldNumbers[f] = numberOf(names[f]);
      PrepareIndexDefinition(index, definition.Fields, false, tableName_);
      if (def.Options.Primary) {
        indexes.Primary = index;
      } else {
        indexes.Secondaries.push_back(index);
      }
    }
    const int32_t result = directory->CreateTable(tableName_, directory->IsMemory(), false, definition, indexes);
    if (result < 0) RaiseTableError(static_cast<uint16_t>(-result), DatabaseName(), tableName_);
  } catch (...) {
    CloseDatabase();
    throw;
  }
  CloseDatabase();
}

bool TRUDIRATable::VerifyTable() {
  const auto run = [this](TDataCursor& cursor) {
    TTableVerifier verifier(*cursor.Table());
    verifier.SetProgress([this](const std::string& step, int percentDone) {
      if (OnVerifyProgress) OnVerifyProgress(*this, step, percentDone);
    });
    verifier.SetLog([this](const std::string& message) {
      if (OnVerifyLog) OnVerifyLog(*this, message);
    });
    return verifier.Run();
  };
  if (Active()) return run(*ownCursor_);
  if (tableName_.empty()) RaiseDatabaseError(kNoTableName);
  OpenDatabase();
  bool sound = false;
  try {
    std::unique_ptr<TDataCursor> cursor = NewCursor();
    cursor->SetExclusive(exclusive_);
    // Natural order: opening reads no index page, so a damaged index is
    // found by the check instead of failing the open.
    cursor->SetNaturalOrder(true);
    cursor->OpenCursor();
    sound = run(*cursor);
  } catch (...) {
    CloseDatabase();
    throw;
  }
  CloseDatabase();
  return sound;
}

void TRUDIRATable::DeleteTable() {
  CheckInactive();
  if (tableName_.empty()) RaiseDatabaseError(kNoTableName);
  OpenDatabase();
  try {
    TDataDirectory* directory = Database()->EngineDirectory();
    const int32_t result = directory->DeleteTable(tableName_, directory->IsMemory());
    if (result < 0) RaiseTableError(static_cast<uint16_t>(-result), DatabaseName(), tableName_);
  } catch (...) {
    CloseDatabase();
    throw;
  }
  CloseDatabase();
}

}  // namespace rudira
