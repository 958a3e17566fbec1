#include "storage/field_type.h"

namespace rudira {

bool IsKnownFieldType(uint8_t type) {
  return (type >= kFieldTypeString && type <= kFieldTypeVarBytes) || type == kFieldTypeLargeInt;
}

bool IsValidSubType(uint8_t type, uint8_t subType) {
  switch (type) {
    case kFieldTypeString:
      return subType == kSubTypeNone || subType == kSubTypeFixedString || subType == kSubTypeWideString;
    case kFieldTypeBlob:
      return subType == kSubTypeNone || subType == kSubTypeMemo || subType == kSubTypeBinary ||
             subType == kSubTypeFormattedMemo || subType == kSubTypeGraphic ||
             subType == kSubTypeTypedBinary;
    case kFieldTypeInteger:
      return subType == kSubTypeNone || subType == kSubTypeAutoInc;
    case kFieldTypeFloat:
      return subType == kSubTypeNone || subType == kSubTypeMoney;
    default:
      return IsKnownFieldType(type) && subType == kSubTypeNone;
  }
}

uint8_t FieldDataWidth(uint8_t type, uint8_t size) {
  switch (type) {
    case kFieldTypeString: return static_cast<uint8_t>(size + 1);
    case kFieldTypeDate: return 4;
    case kFieldTypeBlob: return 8;
    case kFieldTypeBoolean: return 2;
    case kFieldTypeSmallInt: return 2;
    case kFieldTypeInteger: return 4;
    case kFieldTypeFloat: return 8;
    case kFieldTypeBcd: return kBcdWidth;
    case kFieldTypeBytes: return size;
    case kFieldTypeTime: return 4;
    case kFieldTypeTimestamp: return 8;
    case kFieldTypeWord: return 2;
    case kFieldTypeCardinal: return 4;
    case kFieldTypeExtended: return kExtendedWidth;
    case kFieldTypeVarBytes: return size;
    case kFieldTypeLargeInt: return 8;
    default: return 0;
  }
}

}  // namespace rudira
