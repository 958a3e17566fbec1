#include "storage/index_definition.h"

#include <cstring>

#include "storage/byte_codec.h"

namespace rudira {

void TIndexDefinition::EncodeTo(uint8_t* p) const {
  std::memset(p, 0, kIndexDefinitionSize);
  StoreShortString(p, kIndexNameCapacity, IndexName);
  StoreLE<int16_t>(p + 31, KeySize);
  p[33] = Descending;
  p[34] = CaseInsensitive;
  p[35] = Unique;
  p[36] = Compression;
  p[37] = IndexFieldCount;
  for (int i = 0; i < kMaxIndexFields; ++i) {
    p[38 + i] = FieldDescending[i];
    StoreLE<uint16_t>(p + 54 + 2 * i, FieldNumbers[i]);
  }
  StoreLE<int32_t>(p + 86, RootPage);
  StoreLE<int32_t>(p + 90, FreePageHead);
  StoreLE<int32_t>(p + 96, ParameterPage);
  p[100] = NoCounts;
  p[101] = TemporaryIndex;
}

bool TIndexDefinition::DecodeFrom(const uint8_t* p) {
  auto name = LoadShortString(p, kIndexNameCapacity);
  if (!name) return false;
  IndexName = *name;
  KeySize = LoadLE<int16_t>(p + 31);
  Descending = p[33];
  CaseInsensitive = p[34];
  Unique = p[35];
  Compression = p[36];
  IndexFieldCount = p[37];
  for (int i = 0; i < kMaxIndexFields; ++i) {
    FieldDescending[i] = p[38 + i];
    FieldNumbers[i] = LoadLE<uint16_t>(p + 54 + 2 * i);
  }
  RootPage = LoadLE<int32_t>(p + 86);
  FreePageHead = LoadLE<int32_t>(p + 90);
  ParameterPage = LoadLE<int32_t>(p + 96);
  NoCounts = p[100];
  TemporaryIndex = p[101];
  return true;
}

bool IsValidIndexNameStart(const std::string& name) {
  if (name.empty() || name.size() > kIndexNameCapacity) return false;
  const auto c = static_cast<uint8_t>(name[0]);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
}

}  // namespace rudira
