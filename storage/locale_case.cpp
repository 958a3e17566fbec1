#include "storage/locale_case.h"

#include <cstdio>

#include <unicode/locid.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>

namespace rudira {

void LocaleCaseMap(int16_t languageId, int16_t sortId, bool upper, std::string& text) {
  constexpr uint32_t kUsEnglish = 1033;
  const uint32_t lcid = languageId == 0
                            ? kUsEnglish
                            : (static_cast<uint32_t>(static_cast<uint16_t>(sortId)) << 16) |
                                  static_cast<uint16_t>(languageId);
  char localeName[ULOC_FULLNAME_CAPACITY] = "en_US";
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLocaleForLCID(lcid, localeName, sizeof localeName, &status);
  if (U_FAILURE(status)) std::snprintf(localeName, sizeof localeName, "en_US");
  icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
  const icu::Locale locale(localeName);
  if (upper) unicode.toUpper(locale);
  else unicode.toLower(locale);
  text.clear();
  unicode.toUTF8String(text);
}

}  // namespace rudira
