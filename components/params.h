// Query parameters: the values a query's ":name" markers take, and the scan
// that finds those markers.
//
// ParseParamMarkers scans an SQL text for ":name" outside quoted literals
// ('...', "..." and `...`, a doubled quote staying inside): a name is a run
// of letters, digits, "_" and bytes from 128 up (UTF-8 names), or a quoted
// name (:"two words"). Each occurrence is one parameter, in text order (a
// name used twice gives two parameters of that name); the text handed to the
// engine has each marker replaced by "?". "::" stands for one ":".
//
// A parameter's DataType is ftUnknown until a value is assigned; assigning
// through AsInteger, AsString, ... fixes the type and the value. Clear makes
// the value null and keeps the type.
#pragma once

#include <string>
#include <vector>

#include "components/field.h"

namespace rudira {

// The engine text of `sql` (markers replaced by "?"); the names found, in
// text order, go to *names when given.
std::string ParseParamMarkers(const std::string& sql, std::vector<std::string>* names);

class TParam {
 public:
  TParam() = default;
  explicit TParam(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TFieldType DataType() const { return dataType_; }
  // Changes the type; the value is kept as it is.
  void SetDataType(TFieldType type) { dataType_ = type; }
  // Whether a value was assigned explicitly (a master dataset then does not
  // supply it).
  bool Bound() const { return bound_; }
  void SetBound(bool value) { bound_ = value; }

  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  const TFieldValue& Value() const { return value_; }
  // Assigns an engine value with the type to bind it as.
  void SetValue(TFieldType type, const TFieldValue& value);

  void SetAsInteger(int32_t value) { SetValue(TFieldType::ftInteger, value); }
  void SetAsSmallInt(int16_t value) { SetValue(TFieldType::ftSmallint, value); }
  void SetAsWord(uint16_t value) { SetValue(TFieldType::ftWord, value); }
  void SetAsLargeInt(int64_t value) { SetValue(TFieldType::ftLargeint, value); }
  void SetAsString(const std::string& value) { SetValue(TFieldType::ftString, value); }
  void SetAsMemo(const std::string& value) { SetValue(TFieldType::ftMemo, value); }
  void SetAsBlob(const std::string& value) { SetValue(TFieldType::ftBlob, value); }
  void SetAsFloat(double value) { SetValue(TFieldType::ftFloat, value); }
  void SetAsCurrency(double value) { SetValue(TFieldType::ftCurrency, value); }
  void SetAsBoolean(bool value) { SetValue(TFieldType::ftBoolean, value); }
  // Engine forms: day number, milliseconds of the day, timestamp.
  void SetAsDate(int32_t dayNumber) { SetValue(TFieldType::ftDate, dayNumber); }
  void SetAsTime(int32_t milliseconds) { SetValue(TFieldType::ftTime, milliseconds); }
  void SetAsDateTime(double timestamp) { SetValue(TFieldType::ftDateTime, timestamp); }
  // Null, keeping the type.
  void Clear();

  // Reading: null reads as 0 and the empty text.
  int32_t AsInteger() const;
  std::string AsString() const;

 private:
  std::string name_;
  TFieldType dataType_ = TFieldType::ftUnknown;
  TFieldValue value_;
  bool bound_ = false;
};

class TParams {
 public:
  int Count() const { return static_cast<int>(params_.size()); }
  TParam& operator[](int i) { return params_.at(static_cast<size_t>(i)); }
  const TParam& operator[](int i) const { return params_.at(static_cast<size_t>(i)); }
  TParam& Add(const std::string& name);
  void Clear() { params_.clear(); }
  // The first parameter of the name (ignoring case), or null.
  TParam* FindParam(const std::string& name);
  // Raises "Parameter '%s' not found" for an unknown name.
  TParam& ParamByName(const std::string& name);
  // Replaces the list by one parameter per name, taking over the type and
  // value of a parameter of the same name from the old list (the n-th of a
  // name from the n-th of that name, or the first when there are fewer).
  void Rebuild(const std::vector<std::string>& names);

 private:
  std::vector<TParam> params_;
};

}  // namespace rudira
