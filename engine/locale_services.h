// The bridge from the engine's locale identifiers to ICU.
//
// The platform locale identifier is sort id x 65536 + language id; ICU's
// mapping of such identifiers gives the ICU locale (0x0407 -> "de_DE",
// 0x10407 -> "de_DE@collation=phonebook"). Collators are made once per
// (locale identifier, case flag), kept for the life of the process and only
// used through their const operations afterwards, which ICU allows from any
// number of threads at once.
//
// Meaning of the comparison flags on ICU: "string sort" is ICU's default of
// treating punctuation as ordinary characters; "ignore non-spacing" is
// primary strength (accents do not count); case counts through ICU's case
// level unless the comparison ignores case.
#pragma once

#include <unicode/coll.h>

#include <cstdint>
#include <string>

namespace rudira {

constexpr uint16_t kUsEnglishLanguageId = 1033;  // 0x0409

// sort id x 65536 + language id.
constexpr uint32_t PlatformLocaleId(uint16_t languageId, uint16_t sortId) {
  return (static_cast<uint32_t>(sortId) << 16) | languageId;
}

// The ICU locale name of a locale identifier; empty text when ICU maps none.
// Language 0 has no ICU locale (it compares bytes).
std::string IcuLocaleName(uint16_t languageId, uint16_t sortId);

// Whether the locale is installed: language 0 always is; any other when ICU
// maps the identifier and holds locale data for its language. Opening a table
// whose locale is not installed fails with RUDIRA_CANNOTLOADLDDRV.
bool LocaleInstalled(uint16_t languageId, uint16_t sortId);

// The shared collator of a locale with the engine's flags (string sort,
// ignore non-spacing, ignore case as asked). Never null: a locale ICU cannot
// build falls back to ICU's root order, so a comparison never fails; the
// table open has refused such locales before any comparison runs.
// REQUIRES: languageId != 0.
const icu::Collator& LocaleCollator(uint16_t languageId, uint16_t sortId, bool ignoreCase);

}  // namespace rudira
