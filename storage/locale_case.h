// Case mapping of stored strings (the CharCase rule of string fields) and
// the check that a table's locale is known.
//
// Placeholder: this maps case through ICU directly, with the platform locale
// identifier (sort id × 65536 + language id; language 0 maps under US English,
// 1033). It is to be replaced by the engine's locale routines
// (LocaleUpperCase / LocaleLowerCase) once they exist, so that every case
// mapping of the engine goes through one place.
#pragma once

#include <cstdint>
#include <string>

namespace rudira {

// Maps `text` (UTF-8) to upper or lower case in place.
void LocaleCaseMap(int16_t languageId, int16_t sortId, bool upper, std::string& text);

// Whether the platform knows the locale (language 0, no locale, always is).
// Placeholder as above: to be replaced by the engine's locale check.
bool LocaleAvailable(int16_t languageId, int16_t sortId);

}  // namespace rudira
