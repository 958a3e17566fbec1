#include "engine/locale_compare.h"

#include <unicode/casemap.h>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/bytestream.h>

#include <cstring>

#include "engine/locale_services.h"
#include "engine/utf8_text.h"

namespace rudira {

namespace {

// The part of a text that takes part in a comparison: up to its first NUL,
// and at most `length` bytes when length is not 0.
std::string_view Compared(std::string_view text, size_t length) {
  size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (length != 0 && text.size() > length) text = text.substr(0, length);
  return text;
}

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

// Unsigned byte order; a text that is a prefix of the other is less (its
// terminator, 0, is below every byte).
int CompareBytes(std::string_view a, std::string_view b) {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  int result = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  if (result != 0) return Sign(result);
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// US English upper-casing of ASCII is plain A-Z, so ASCII texts (the common
// case of keys) compare without building upper-cased copies.
int CompareAsciiUpper(std::string_view a, std::string_view b) {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareCollated(uint16_t languageId, uint16_t sortId, bool ignoreCase, std::string_view a,
                    std::string_view b) {
  const icu::Collator& collator = LocaleCollator(languageId, sortId, ignoreCase);
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult result = collator.compareUTF8(
      icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
      icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
  if (U_FAILURE(status)) return CompareBytes(a, b);
  return result == UCOL_LESS ? -1 : (result == UCOL_EQUAL ? 0 : 1);
}

void MapCase(uint16_t languageId, uint16_t sortId, bool upper, std::string& text) {
  std::string name = IcuLocaleName(languageId == 0 ? kUsEnglishLanguageId : languageId,
                                   languageId == 0 ? 0 : sortId);
  icu::Locale locale(name.empty() ? "en_US" : name.c_str());
  std::string mapped;
  mapped.reserve(text.size());
  icu::StringByteSink<std::string> sink(&mapped);
  UErrorCode status = U_ZERO_ERROR;
  icu::StringPiece source(text.data(), static_cast<int32_t>(text.size()));
  // The mapping writes into a separate string and then replaces the text, so
  // mapping a text onto itself never arises.
  if (upper) {
    icu::CaseMap::utf8ToUpper(locale.getName(), 0, source, sink, nullptr, status);
  } else {
    icu::CaseMap::utf8ToLower(locale.getName(), 0, source, sink, nullptr, status);
  }
  if (U_SUCCESS(status)) text = std::move(mapped);
}

}  // namespace

int CompareLocaleStrings(uint16_t languageId, uint16_t sortId, std::string_view text1,
                         bool caseInsensitive, size_t length, std::string_view text2) {
  std::string_view a = Compared(text1, length);
  std::string_view b = Compared(text2, length);
  if (languageId != 0) {
    if (length != 0) {
      a = a.substr(0, Utf8CutLength(a, a.size() < length ? a.size() : length));
      b = b.substr(0, Utf8CutLength(b, b.size() < length ? b.size() : length));
    }
    return CompareCollated(languageId, sortId, caseInsensitive, a, b);
  }
  if (!caseInsensitive) return CompareBytes(a, b);
  if (IsAscii(a) && IsAscii(b)) return CompareAsciiUpper(a, b);
  std::string upperA(a);
  std::string upperB(b);
  LocaleUpperCase(kUsEnglishLanguageId, 0, upperA);
  LocaleUpperCase(kUsEnglishLanguageId, 0, upperB);
  return CompareBytes(upperA, upperB);
}

int CompareLocaleChars(uint16_t languageId, uint16_t sortId, uint8_t char1, uint8_t char2) {
  const char a = static_cast<char>(char1);
  const char b = static_cast<char>(char2);
  return CompareLocaleCharacters(languageId, sortId, std::string_view(&a, 1),
                                 std::string_view(&b, 1));
}

int CompareLocaleCharacters(uint16_t languageId, uint16_t sortId, std::string_view char1,
                            std::string_view char2) {
  if (languageId == 0) return CompareBytes(char1, char2);
  return CompareCollated(languageId, sortId, false, char1, char2);
}

void LocaleUpperCase(uint16_t languageId, uint16_t sortId, std::string& text) {
  MapCase(languageId, sortId, true, text);
}

void LocaleLowerCase(uint16_t languageId, uint16_t sortId, std::string& text) {
  MapCase(languageId, sortId, false, text);
}

}  // namespace rudira
