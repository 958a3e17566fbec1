// Field definitions and field objects of the dataset framework.
//
// TFieldDef describes one column of a dataset (name, type, size, required);
// an open dataset makes one TField per definition. A field object reads and
// writes its column in the dataset's active record buffer through the
// dataset (TDataSet::GetFieldValue / SetFieldValue), so it holds no value of
// its own: its value is always that of the current record.
//
// Values travel as the engine's TFieldValue (storage/field_value.h). The As*
// accessors convert between that and the caller's type:
//   - a null field reads as 0, 0.0, false or the empty text;
//   - texts use the engine's fixed forms (engine/value_text.h): dates
//     YYYY-MM-DD, times HH:MM[:SS[.m]], "True"/"False", "." decimal point;
//   - AsDateTime is the engine timestamp: milliseconds since 0001-01-01 00:00
//     (a date is its midnight, a time lies on day 0);
//   - a value that does not fit the field (text that is no number, a number
//     beyond a small integer) raises EDatabaseError "Invalid value for field
//     %s.", changing nothing.
// Memo and BLOB fields read and write their whole value as text through the
// dataset's BLOB access.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/field_value.h"

namespace rudira {

class TDataSet;

enum class TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD, ftDate,
  ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo,
  ftTypedBinary, ftFixedChar, ftWideString, ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftGuid
};

// Whether values of the type are BLOB data (memo, graphic, binary).
bool IsBlobFieldType(TFieldType type);
// "ftString", "ftInteger", ...
const char* FieldTypeName(TFieldType type);

// The field type of an engine type and sub-type, and whether the engine type
// gets a field definition at all (0, 14, 16 and 17 do not).
bool EngineTypeToFieldType(uint8_t engineType, uint8_t subType, TFieldType& fieldType);
// The engine type and sub-type of a field type, as parameters and created
// tables use them; false for a type the engine cannot store.
bool FieldTypeToEngineType(TFieldType fieldType, uint8_t& engineType, uint8_t& subType);

struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  int Size = 0;              // bytes of string and byte types; scale of BCD
  int Precision = 0;         // BCD: 32
  bool Required = false;     // the engine field is not null
  int FieldNo = 0;           // 1-based engine field number; 0 for a definition not from the engine
  std::string Description;   // the engine field's description, for display labels
  // A calculated field: no engine column; OnCalcFields sets its value in
  // the calculated-fields part of the record buffer (CalcIndex-th of them).
  bool Calculated = false;
  int CalcIndex = -1;
};

// The field definitions of a dataset, in field order. Names compare without
// regard to case.
class TFieldDefs {
 public:
  void Clear() { defs_.clear(); }
  TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  int Count() const { return static_cast<int>(defs_.size()); }
  TFieldDef& operator[](int i) { return defs_.at(static_cast<size_t>(i)); }
  const TFieldDef& operator[](int i) const { return defs_.at(static_cast<size_t>(i)); }
  // -1 when no definition has the name.
  int IndexOf(const std::string& name) const;
  // A name not yet used: `name`, or "name_1", "name_2", ... (format "%s_%d").
  std::string UniqueName(const std::string& name) const;

 private:
  std::vector<TFieldDef> defs_;
};

class TField {
 public:
  // REQUIRES: dataSet outlives the field (the dataset owns its fields).
  TField(TDataSet& dataSet, const TFieldDef& def, int index);

  TDataSet& DataSet() const { return dataSet_; }
  const std::string& FieldName() const { return fieldName_; }
  TFieldType DataType() const { return dataType_; }
  int Size() const { return size_; }
  int FieldNo() const { return fieldNo_; }
  // Position among the dataset's fields (0-based).
  int Index() const { return index_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  bool Required() const { return required_; }
  void SetRequired(bool value) { required_ = value; }
  const std::string& DisplayLabel() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
  void SetDisplayLabel(const std::string& label) { displayLabel_ = label; }
  const std::string& Origin() const { return origin_; }
  void SetOrigin(const std::string& origin) { origin_ = origin; }
  bool IsBlob() const { return IsBlobFieldType(dataType_); }
  // A calculated field (fkCalculated): set only while OnCalcFields runs.
  bool Calculated() const { return calcIndex_ >= 0; }
  int CalcIndex() const { return calcIndex_; }

  // The engine value of the current record (std::monostate when null).
  TFieldValue Value() const;
  bool IsNull() const;

  int32_t AsInteger() const;
  int64_t AsLargeInt() const;
  std::string AsString() const;
  double AsFloat() const;
  bool AsBoolean() const;
  double AsDateTime() const;

  void SetAsInteger(int32_t value);
  void SetAsLargeInt(int64_t value);
  void SetAsString(const std::string& value);
  void SetAsFloat(double value);
  void SetAsBoolean(bool value);
  void SetAsDateTime(double timestamp);
  // Makes the field null.
  void Clear();
  // Stores an engine value as it is (its alternative must fit the field).
  void SetValue(const TFieldValue& value);

  // `value` converted to this field's engine type as the setters convert
  // (a text read as a number, a number as text, ...); null stays null.
  TFieldValue Coerce(const TFieldValue& value) const;

  // The engine type of the column (set by the dataset when it makes the
  // field; 0 for a field that is no engine column).
  uint8_t EngineType() const { return engineType_; }
  uint8_t EngineSubType() const { return engineSubType_; }
  void SetEngineType(uint8_t type, uint8_t subType) { engineType_ = type; engineSubType_ = subType; }

 private:
  [[noreturn]] void InvalidValue() const;
  // The value of a number for this field's engine type.
  TFieldValue FromInteger(int64_t value) const;
  TFieldValue FromFloat(double value) const;
  TFieldValue FromText(const std::string& text) const;

  TDataSet& dataSet_;
  std::string fieldName_;
  TFieldType dataType_;
  int size_;
  int fieldNo_;
  int index_;
  int calcIndex_;
  bool readOnly_ = false;
  bool required_ = false;
  std::string displayLabel_;
  std::string origin_;
  uint8_t engineType_ = 0;
  uint8_t engineSubType_ = 0;
};

}  // namespace rudira
