#include "storage/field_descriptor.h"

#include <cstring>

#include "storage/byte_codec.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

constexpr size_t kOffFieldNo = 0;
constexpr size_t kOffFieldName = 2;
constexpr size_t kOffDescription = 33;
constexpr size_t kOffFieldType = 84;
constexpr size_t kOffSubType = 85;
constexpr size_t kOffSize = 86;
constexpr size_t kOffScale = 87;
constexpr size_t kOffWidth = 88;
constexpr size_t kOffScaleCopy = 89;
constexpr size_t kOffOffset = 90;
constexpr size_t kOffRequired = 92;
constexpr size_t kOffCharCase = 93;
constexpr size_t kOffMinValue = 94;
constexpr size_t kOffMaxValue = 145;
constexpr size_t kOffDefaultValue = 196;
constexpr size_t kOffComputed = 247;
constexpr size_t kOffReserved = 248;
static_assert(kOffReserved + kFieldReservedSize == kFieldDescriptorSize);

}  // namespace

void TFieldDescriptor::EncodeTo(uint8_t* p) const {
  StoreLE<uint16_t>(p + kOffFieldNo, FieldNo);
  StoreShortString(p + kOffFieldName, kFieldNameCapacity, FieldName);
  StoreShortString(p + kOffDescription, kFieldDescriptionCapacity, FieldDescription);
  p[kOffFieldType] = FieldType;
  p[kOffSubType] = SubType;
  p[kOffSize] = Size;
  p[kOffScale] = Scale;
  p[kOffWidth] = Width;
  p[kOffScaleCopy] = ScaleCopy;
  StoreLE<uint16_t>(p + kOffOffset, Offset);
  p[kOffRequired] = Required;
  p[kOffCharCase] = CharCase;
  StoreShortString(p + kOffMinValue, kFieldCheckCapacity, MinValue);
  StoreShortString(p + kOffMaxValue, kFieldCheckCapacity, MaxValue);
  StoreShortString(p + kOffDefaultValue, kFieldCheckCapacity, DefaultValue);
  p[kOffComputed] = Computed;
  std::memcpy(p + kOffReserved, Reserved.data(), kFieldReservedSize);
}

bool TFieldDescriptor::DecodeFrom(const uint8_t* p) {
  auto name = LoadShortString(p + kOffFieldName, kFieldNameCapacity);
  auto description = LoadShortString(p + kOffDescription, kFieldDescriptionCapacity);
  auto minValue = LoadShortString(p + kOffMinValue, kFieldCheckCapacity);
  auto maxValue = LoadShortString(p + kOffMaxValue, kFieldCheckCapacity);
  auto defaultValue = LoadShortString(p + kOffDefaultValue, kFieldCheckCapacity);
  if (!name || !description || !minValue || !maxValue || !defaultValue) return false;
  FieldNo = LoadLE<uint16_t>(p + kOffFieldNo);
  FieldName = std::move(*name);
  FieldDescription = std::move(*description);
  FieldType = p[kOffFieldType];
  SubType = p[kOffSubType];
  Size = p[kOffSize];
  Scale = p[kOffScale];
  Width = p[kOffWidth];
  ScaleCopy = p[kOffScaleCopy];
  Offset = LoadLE<uint16_t>(p + kOffOffset);
  Required = p[kOffRequired];
  CharCase = p[kOffCharCase];
  MinValue = std::move(*minValue);
  MaxValue = std::move(*maxValue);
  DefaultValue = std::move(*defaultValue);
  Computed = p[kOffComputed];
  std::memcpy(Reserved.data(), p + kOffReserved, kFieldReservedSize);
  return true;
}

bool TFieldDescriptor::IsAutoInc() const { return IsAutoIncField(FieldType, SubType); }

bool TFieldDescriptor::IsBlob() const { return FieldType == kFieldTypeBlob; }

}  // namespace rudira
