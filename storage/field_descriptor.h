// One field descriptor of a data file: 768 bytes, also the field definition
// that callers pass to create or restructure a table.
//
//   offset  width   field              meaning
//   0       uint16  FieldNo            1..F, equal to the descriptor's position
//   2       31      FieldName          short string[30]
//   33      51      FieldDescription   short string[50]
//   84      byte    FieldType          type code (storage/field_type.h)
//   85      byte    SubType            sub-type code
//   86      byte    Size               declared size of types 1, 9, 15 (1..250); else 0
//   87      byte    Scale              digits after the point of type 8; else 0
//   88      byte    Width              stored data width, derived from type and size
//   89      byte    ScaleCopy          a copy of Scale
//   90      uint16  Offset             position of the field's null-flag byte in the record
//   92      byte    Required           1 = NOT NULL
//   93      byte    CharCase           strings: 0 unchanged, 1 lower, 2 upper on every store
//   94      51      MinValue           short string[50], text form; empty = none
//   145     51      MaxValue           short string[50]
//   196     51      DefaultValue       short string[50]; dates and times also CURRENT_DATE,
//                                      CURRENT_TIME, CURRENT_TIMESTAMP
//   247     byte    Computed           1 = occupies no bytes in the record
//   248     520     Reserved           copied from the definition
//
// Texts are UTF-8 and their capacities count bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace rudira {

constexpr size_t kFieldDescriptorSize = 768;
constexpr size_t kFieldNameCapacity = 30;
constexpr size_t kFieldDescriptionCapacity = 50;
constexpr size_t kFieldCheckCapacity = 50;  // MinValue, MaxValue, DefaultValue
constexpr size_t kFieldReservedSize = 520;

constexpr uint8_t kCharCaseUnchanged = 0;
constexpr uint8_t kCharCaseLower = 1;
constexpr uint8_t kCharCaseUpper = 2;

struct TFieldDescriptor {
  uint16_t FieldNo = 0;
  std::string FieldName;
  std::string FieldDescription;
  uint8_t FieldType = 0;
  uint8_t SubType = 0;
  uint8_t Size = 0;
  uint8_t Scale = 0;
  uint8_t Width = 0;
  uint8_t ScaleCopy = 0;
  uint16_t Offset = 0;
  uint8_t Required = 0;
  uint8_t CharCase = kCharCaseUnchanged;
  std::string MinValue;
  std::string MaxValue;
  std::string DefaultValue;
  uint8_t Computed = 0;
  std::array<uint8_t, kFieldReservedSize> Reserved{};

  // Writes the 768 bytes at p. Texts longer than their capacity are cut at a
  // character boundary.
  void EncodeTo(uint8_t* p) const;
  // Reads the 768 bytes at p; false when a short string's length byte
  // exceeds its capacity.
  bool DecodeFrom(const uint8_t* p);

  bool IsAutoInc() const;
  bool IsBlob() const;
  // Whether the field has bytes in the record: not Computed.
  bool IsStored() const { return Computed == 0; }
  // Whether the field has a null-flag byte: stored and not AUTOINC.
  bool HasNullFlag() const { return IsStored() && !IsAutoInc(); }
};

}  // namespace rudira
