#include "storage/index_key_compare.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/locale_compare.h"
#include "storage/field_type.h"
#include "storage/index_header.h"

namespace rudira {

int CompareKeyBytes(const uint8_t* a, const uint8_t* b, int length) {
  if (length <= 0) return 0;
  const int c = std::memcmp(a, b, static_cast<size_t>(length));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

TKeyComparer::TKeyComparer(int keySize) : keySize_(keySize) {}

TKeyComparer::TKeyComparer(int slot, const TIndexDefinition& definition,
                           const std::vector<TFieldDescriptor>& fields, const TableLocale& locale)
    : keySize_(definition.KeySize),
      languageId_(static_cast<uint16_t>(locale.LanguageId)),
      sortId_(static_cast<uint16_t>(locale.SortId)),
      caseInsensitive_(definition.CaseInsensitive != 0) {
  if (locale.LanguageId == 0 || slot == kSysDeletedSlot) return;
  if (slot == kSysTextSlot) {
    segments_.push_back({0, kSysTextWordOffset, false, false, false});
    segments_.push_back({kSysTextWordOffset, kSysTextWordWidth, true, false, false});
    segments_.push_back({kSysTextWordOffset + kSysTextWordWidth,
                         keySize_ - kSysTextWordOffset - kSysTextWordWidth, false, false, false});
    return;
  }
  int offset = 0;
  for (int i = 0; i < definition.IndexFieldCount; ++i) {
    const uint16_t number = definition.FieldNumbers[i];
    if (number < 1 || number > fields.size()) break;  // a definition not checked yet: bytewise rest
    const TFieldDescriptor& field = fields[number - 1];
    const int length = field.Width + 1;
    segments_.push_back({offset, length, field.FieldType == kFieldTypeString, true, definition.FieldIsDescending(i)});
    offset += length;
  }
  if (offset < keySize_) segments_.push_back({offset, keySize_ - offset, false, false, false});
}

int TKeyComparer::Compare(const uint8_t* a, const uint8_t* b, int length) const {
  length = std::min(length, keySize_);
  if (segments_.empty()) return CompareKeyBytes(a, b, length);
  for (const Segment& s : segments_) {
    if (s.Offset >= length) break;
    const int available = std::min(s.Length, length - s.Offset);
    int c;
    if (!s.Locale) {
      c = CompareKeyBytes(a + s.Offset, b + s.Offset, available);
    } else {
      int textStart = s.Offset;
      c = 0;
      if (s.Flag) {
        c = CompareKeyBytes(a + s.Offset, b + s.Offset, 1);
        ++textStart;
      }
      const int textLength = s.Offset + available - textStart;
      if (c == 0 && textLength > 0) {
        auto textOf = [&](const uint8_t* k) {
          const char* t = reinterpret_cast<const char*>(k + textStart);
          return std::string_view(t, strnlen(t, static_cast<size_t>(textLength)));
        };
        c = CompareLocaleStrings(languageId_, sortId_, textOf(a), caseInsensitive_,
                                 static_cast<size_t>(textLength), textOf(b));
      }
    }
    if (c != 0) return s.Negate ? -c : c;
  }
  return 0;
}

}  // namespace rudira
