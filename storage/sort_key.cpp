#include "storage/sort_key.h"

#include <cassert>
#include <cstring>
#include <string_view>

#include "engine/locale_compare.h"
#include "storage/field_type.h"
#include "storage/index_key.h"
#include "storage/index_key_compare.h"
#include "storage/record_layout.h"

namespace rudira {

TSortKeys::TSortKeys(const TSortOrder& order, const TableLocale& locale)
    : fields_(order.Fields), caseInsensitive_(order.CaseInsensitive), locale_(locale) {
  assert(fields_.size() <= kMaxSortFields);
  size_t offset = 0;
  for (const SortField& sortField : fields_) {
    const size_t length = static_cast<size_t>(sortField.Field.Width) + 1;
    if (locale_.LanguageId != 0) {
      segments_.push_back(
          {offset, length, sortField.Field.FieldType == kFieldTypeString, sortField.Descending});
    }
    offset += length;
  }
  keySize_ = offset + kSortKeyIdSize;
}

void TSortKeys::Build(const uint8_t* record, uint8_t* key) const {
  uint8_t* out = key;
  const bool noLocale = locale_.LanguageId == 0;
  for (const SortField& sortField : fields_) {
    const TFieldDescriptor& field = sortField.Field;
    EncodeRecordKeyField(field, record, caseInsensitive_, sortField.Descending && noLocale, locale_, out);
    out += field.Width + 1;
  }
  EncodeOrderedInt32(RecordAutoIncValue(record), out);
}

int TSortKeys::CompareFields(const uint8_t* a, const uint8_t* b) const {
  if (segments_.empty()) return CompareKeyBytes(a, b, static_cast<int>(FieldBytes()));
  const auto languageId = static_cast<uint16_t>(locale_.LanguageId);
  const auto sortId = static_cast<uint16_t>(locale_.SortId);
  for (const Segment& s : segments_) {
    int c;
    if (s.LocaleText) {
      c = CompareKeyBytes(a + s.Offset, b + s.Offset, 1);
      if (c == 0) {
        const size_t textLength = s.Length - 1;
        auto textOf = [&](const uint8_t* k) {
          const char* t = reinterpret_cast<const char*>(k + s.Offset + 1);
          return std::string_view(t, strnlen(t, textLength));
        };
        c = CompareLocaleStrings(languageId, sortId, textOf(a), caseInsensitive_, textLength, textOf(b));
      }
    } else {
      c = CompareKeyBytes(a + s.Offset, b + s.Offset, static_cast<int>(s.Length));
    }
    if (c != 0) return s.Negate ? -c : c;
  }
  return 0;
}

int TSortKeys::Compare(const uint8_t* a, const uint8_t* b) const {
  const int c = CompareFields(a, b);
  if (c != 0) return c;
  const size_t idAt = FieldBytes();
  return CompareKeyBytes(a + idAt, b + idAt, static_cast<int>(kSortKeyIdSize));
}

}  // namespace rudira
