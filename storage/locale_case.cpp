#include "storage/locale_case.h"

#include <unicode/locid.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>

namespace rudira {
namespace {

// The ICU name of the platform locale identifier, or empty when ICU knows none.
std::string LocaleNameOf(int16_t languageId, int16_t sortId) {
  const uint32_t lcid = (static_cast<uint32_t>(static_cast<uint16_t>(sortId)) << 16) |
                        static_cast<uint16_t>(languageId);
  char name[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = uloc_getLocaleForLCID(lcid, name, sizeof name, &status);
  if (U_FAILURE(status) || length <= 0) return {};
  return std::string(name, static_cast<size_t>(length));
}

}  // namespace

bool LocaleAvailable(int16_t languageId, int16_t sortId) {
  return languageId == 0 || !LocaleNameOf(languageId, sortId).empty();
}

void LocaleCaseMap(int16_t languageId, int16_t sortId, bool upper, std::string& text) {
  constexpr int16_t kUsEnglish = 1033;
  std::string name = LocaleNameOf(languageId == 0 ? kUsEnglish : languageId, languageId == 0 ? 0 : sortId);
  if (name.empty()) name = "en_US";
  icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
  const icu::Locale locale(name.c_str());
  if (upper) unicode.toUpper(locale);
  else unicode.toLower(locale);
  text.clear();
  unicode.toUTF8String(text);
}

}  // namespace rudira
