#include "components/rudira_query.h"

#include <cmath>
#include <cstring>

#include "components/component_messages.h"
#include "components/dataset_messages.h"
#include "components/rudira_database.h"
#include "components/rudira_session.h"
#include "engine/value_text.h"
#include "storage/bcd.h"
#include "storage/field_type.h"

namespace rudira {

namespace {

constexpr size_t kLongestStringParameter = 250;

template <typename T>
void Put(std::vector<uint8_t>& buffer, T value) {
  const size_t at = buffer.size();
  buffer.resize(at + sizeof(T));
  std::memcpy(buffer.data() + at, &value, sizeof(T));
}

double NumberOf(const TFieldValue& value) {
  return std::visit(
      [](const auto& v) -> double {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return v ? 1.0 : 0.0;
        } else if constexpr (std::is_arithmetic_v<T>) {
          return static_cast<double>(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return TextToFloat(v);
        } else if constexpr (std::is_same_v<T, Bcd>) {
          const std::optional<int64_t> fixed = BcdToFixedPoint(v);
          return fixed ? static_cast<double>(*fixed) / 10000.0 : 0.0;
        } else {
          return 0.0;
        }
      },
      value);
}

int64_t IntegerOf(const TFieldValue& value) {
  if (const auto* n = std::get_if<int64_t>(&value)) return *n;
  if (const auto* s = std::get_if<std::string>(&value)) return std::stoll(*s);
  return std::llround(NumberOf(value));
}

std::string TextOf(const TFieldValue& value, const TParam& param) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* b = std::get_if<std::vector<uint8_t>>(&value)) return std::string(b->begin(), b->end());
  return param.AsString();
}

std::string RightTrimmed(const std::string& text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

// --- master link ---

void TRUDIRAQueryDataLink::ActiveChanged() {
  if (Active()) query_.MasterChanged();
}
void TRUDIRAQueryDataLink::DataSetChanged() { query_.MasterChanged(); }
void TRUDIRAQueryDataLink::RecordChanged(TField* field) {
  if (field == nullptr) query_.MasterChanged();
}
void TRUDIRAQueryDataLink::CheckBrowseMode() {
  if (query_.Active()) query_.CheckBrowseMode();
}

// --- the query ---

TRUDIRAQuery::TRUDIRAQuery(TComponent* owner) : TRUDIRADBDataSet(owner), masterLink_(*this) {
  sql_.OnChange = [this] { SQLChanged(); };
}

TRUDIRAQuery::~TRUDIRAQuery() {
  MarkDestroying();
  try {
    Close();
  } catch (...) {
  }
  runner_.reset();
  CloseDatabase();
  masterLink_.SetDataSource(nullptr);
}

std::string TRUDIRAQuery::EngineVersion() const { return kEngineVersion; }

void TRUDIRAQuery::SQLChanged() {
  Close();
  UnPrepare();
  Data.clear();
  if (ParamCheck) {
    std::vector<std::string> names;
    engineText_ = ParseParamMarkers(sql_.Text(), &names);
    params_.Rebuild(names);
  } else {
    engineText_ = sql_.Text();
  }
}

void TRUDIRAQuery::SetRequestLive(bool value) {
  if (value == requestLive_) return;
  Close();
  UnPrepare();
  requestLive_ = value;
}

void TRUDIRAQuery::SetMaxRowCount(int32_t value) {
  maxRowCount_ = value;
  if (runner_) runner_->SetMaxRowCount(value);
}

void TRUDIRAQuery::SetReadOnly(bool value) {
  if (Active()) RaiseDatabaseError(kTableOpen);
  readOnly_ = value;
}

void TRUDIRAQuery::SetDataSource(TDataSource* source) {
  if (WouldLinkCircularly(source)) RaiseDatabaseError(kCircularDataLink);
  masterLink_.SetDataSource(source);
}

void TRUDIRAQuery::DatabaseChanged() {
  UnPrepare();
}

// --- prepare ---

void TRUDIRAQuery::PrepareStatement() {
  if (runner_) return;
  if (Active()) RaiseDatabaseError(kDataSetOpen);
  if (engineText_.size() < 2) RaiseDatabaseError(kEmptySQLStatement);
  OpenDatabase();
  try {
    TRUDIRASession* session = DBSession();
    std::unique_ptr<TStatementRunner> runner =
        NewStatementRunner(*session->EngineSession(), *Database()->EngineDirectory(), requestLive_, maxRowCount_);
    runner->SetPasswordCallback([session](TDataCursor&) { return session->RequestPassword(); });
    runner->SetProgressCallback([this](int percent, bool& abort) {
      if (OnQueryProgress) OnQueryProgress(*this, percent, abort);
    });
    runner->Prepare(engineText_);
    runner_ = std::move(runner);
  } catch (...) {
    CloseDatabase();
    throw;
  }
}

void TRUDIRAQuery::Prepare() {
  if (Active()) RaiseDatabaseError(kDataSetOpen);
  PrepareStatement();
  explicitPrepare_ = true;
}

void TRUDIRAQuery::UnPrepare() {
  if (Active()) Close();
  explicitPrepare_ = false;
  if (!runner_) return;
  runner_.reset();
  CloseDatabase();
}

// --- parameters ---

void TRUDIRAQuery::FillFromMaster() {
  TDataSource* source = masterLink_.DataSource();
  if (source == nullptr || source->DataSet() == nullptr || !source->DataSet()->Active()) return;
  TDataSet& master = *source->DataSet();
  for (int i = 0; i < params_.Count(); ++i) {
    TParam& param = params_[i];
    if (param.Bound()) continue;
    TField* field = master.FindField(param.Name());
    if (field == nullptr) continue;
    TFieldValue value = field->IsBlob() ? TFieldValue(field->AsString()) : field->Value();
    param.SetValue(field->DataType(), value);
    param.SetBound(false);  // supplied by the master, not bound explicitly
  }
}

void TRUDIRAQuery::BuildParameters(std::vector<TParameterDescriptor>& descriptors, std::vector<uint8_t>& buffer) const {
  descriptors.clear();
  buffer.clear();
  for (int i = 0; i < params_.Count(); ++i) {
    const TParam& param = params_[i];
    if (param.DataType() == TFieldType::ftUnknown) RaiseDatabaseError(kNoParameterValue, param.Name());
    TParameterDescriptor descriptor;
    if (!FieldTypeToEngineType(param.DataType(), descriptor.FieldType, descriptor.SubType)) {
      RaiseDatabaseError(kNoParameterValue, param.Name());
    }
    if (descriptor.FieldType == kFieldTypeBlob && descriptor.SubType != kSubTypeMemo &&
        descriptor.SubType != kSubTypeFormattedMemo && descriptor.SubType != kSubTypeGraphic &&
        descriptor.SubType != kSubTypeTypedBinary) {
      descriptor.SubType = 0;
    }
    descriptor.ValueOffset = static_cast<uint32_t>(buffer.size());
    const TFieldValue& value = param.Value();
    bool present = !std::holds_alternative<std::monostate>(value);
    std::string text;
    if (descriptor.FieldType == kFieldTypeString || descriptor.FieldType == kFieldTypeBlob ||
        descriptor.FieldType == kFieldTypeBytes || descriptor.FieldType == kFieldTypeVarBytes) {
      if (present) text = TextOf(value, param);
      if (descriptor.FieldType == kFieldTypeString) {
        text = RightTrimmed(text);
        if (text.empty()) present = false;  // an empty or blank string binds as NULL
        if (text.size() > kLongestStringParameter) {
          descriptor.FieldType = kFieldTypeBlob;
          descriptor.SubType = 0;
        }
      }
    }
    descriptor.IsNull = !present;
    buffer.push_back(present ? 1 : 0);
    if (present) {
      switch (descriptor.FieldType) {
        case kFieldTypeString:
          buffer.insert(buffer.end(), text.begin(), text.end());
          buffer.push_back(0);
          descriptor.DataSize = static_cast<uint16_t>(text.size());
          break;
        case kFieldTypeBlob: {
          // The text stays in the parameter while the statement runs.
          const std::string* held = std::get_if<std::string>(&value);
          const char* data = held != nullptr ? held->data() : nullptr;
          if (held == nullptr) RaiseDatabaseError(kNoParameterValue, param.Name());
          // A long string parameter is trimmed like every string.
          const uint32_t length = static_cast<uint32_t>(
              descriptor.SubType == 0 && param.DataType() == TFieldType::ftString ? text.size() : held->size());
          Put(buffer, length);
          Put(buffer, reinterpret_cast<uintptr_t>(data));
          descriptor.DataSize = static_cast<uint16_t>(sizeof(uint32_t) + sizeof(uintptr_t));
          break;
        }
        case kFieldTypeBytes:
        case kFieldTypeVarBytes:
          buffer.insert(buffer.end(), text.begin(), text.end());
          descriptor.DataSize = static_cast<uint16_t>(text.size());
          break;
        case kFieldTypeDate:
        case kFieldTypeInteger:
        case kFieldTypeTime:
          Put(buffer, static_cast<int32_t>(IntegerOf(value)));
          descriptor.DataSize = 4;
          break;
        case kFieldTypeBoolean:
        case kFieldTypeWord:
          Put(buffer, static_cast<uint16_t>(IntegerOf(value)));
          descriptor.DataSize = 2;
          break;
        case kFieldTypeSmallInt:
          Put(buffer, static_cast<int16_t>(IntegerOf(value)));
          descriptor.DataSize = 2;
          break;
        case kFieldTypeFloat:
        case kFieldTypeTimestamp:
          Put(buffer, NumberOf(value));
          descriptor.DataSize = 8;
          break;
        case kFieldTypeLargeInt:
          Put(buffer, IntegerOf(value));
          descriptor.DataSize = 8;
          break;
        case kFieldTypeBcd: {
          // BCD parameters carry a scale of 4.
          std::optional<Bcd> bcd;
          if (const auto* held = std::get_if<Bcd>(&value)) {
            const std::optional<int64_t> fixed = BcdToFixedPoint(*held);
            if (fixed) bcd = BcdFromFixedPoint(*fixed, 4);
          } else {
            bcd = BcdFromFixedPoint(std::llround(NumberOf(value) * 10000.0), 4);
          }
          if (!bcd) RaiseDatabaseError(kNoParameterValue, param.Name());
          const size_t at = buffer.size();
          buffer.resize(at + kBcdWidth);
          std::memcpy(buffer.data() + at, &*bcd, kBcdWidth);
          descriptor.DataSize = kBcdWidth;
          break;
        }
        default:
          RaiseDatabaseError(kNoParameterValue, param.Name());
      }
    }
    descriptors.push_back(descriptor);
  }
}

// --- execution ---

void TRUDIRAQuery::Execute() {
  FillFromMaster();
  std::vector<TParameterDescriptor> descriptors;
  std::vector<uint8_t> buffer;
  BuildParameters(descriptors, buffer);
  try {
    runner_->Execute(descriptors, buffer.data());
  } catch (const ERUDIRAEngineError& error) {
    if (error.ErrorCode() == RUDIRA_SQLPARSE) {
      explicitPrepare_ = false;
      runner_.reset();
      CloseDatabase();
    }
    throw;
  }
  rowsAffected_ = runner_->RowsAffected();
  elapsed_ = runner_->ElapsedSeconds();
}

TDataCursor* TRUDIRAQuery::CreateCursor() {
  if (engineText_.empty()) RaiseDatabaseError(kEmptySQLStatement);
  PrepareStatement();
  try {
    Execute();
    TDataCursor* cursor = runner_ ? runner_->ResultCursor() : nullptr;
    if (cursor == nullptr) RaiseDatabaseError(kHandleError);
    if (cursor->ReadOnly()) readOnly_ = true;
    return cursor;
  } catch (...) {
    if (!explicitPrepare_) {
      runner_.reset();
      CloseDatabase();
    }
    throw;
  }
}

std::string TRUDIRAQuery::FieldOrigin(const TFieldDescriptor& field) const {
  return runner_ ? runner_->ColumnOrigin(field.FieldNo) : std::string();
}

bool TRUDIRAQuery::FieldHidden(const TFieldDescriptor& field) const {
  return runner_ != nullptr && runner_->ColumnHidden(field.FieldNo);
}

void TRUDIRAQuery::DestroyCursor() {
  // The result cursor belongs to the statement.
}

void TRUDIRAQuery::InternalClose() {
  // The base gives the database back only when it holds no prepared
  // statement on it.
  TRUDIRADataSet::InternalClose();
  if (!explicitPrepare_) {
    runner_.reset();
    CloseDatabase();
  }
}

void TRUDIRAQuery::ExecSQL() {
  if (Active()) RaiseDatabaseError(kDataSetOpen);
  if (engineText_.empty()) RaiseDatabaseError(kEmptySQLStatement);
  PrepareStatement();
  try {
    Execute();
  } catch (...) {
    if (!explicitPrepare_ && runner_) {
      runner_.reset();
      CloseDatabase();
    }
    throw;
  }
  if (!explicitPrepare_) {
    runner_.reset();
    CloseDatabase();
  }
}

void TRUDIRAQuery::MasterChanged() {
  if (!Active() || reopening_) return;
  TDataSource* source = masterLink_.DataSource();
  if (source == nullptr || source->DataSet() == nullptr) return;
  if (source->DataSet()->State() == TDataSetState::dsSetKey) return;
  reopening_ = true;
  DisableControls();
  try {
    Close();
    Open();
  } catch (...) {
    EnableControls();
    reopening_ = false;
    throw;
  }
  EnableControls();
  reopening_ = false;
}

}  // namespace rudira
