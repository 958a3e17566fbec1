// String and character comparison and case mapping under a table's locale.
//
// All text is UTF-8. With a locale (language id not 0) comparisons use the
// locale's ICU collation with the engine's flags (engine/locale_services.h):
// accents never distinguish strings, case does unless ignored. Without a
// locale strings compare as unsigned bytes; the case-insensitive byte
// comparison first upper-cases copies of both texts under US English.
//
// Texts end at their first NUL byte, as stored field values (zero-padded to
// their width) do; a length limits both texts further.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rudira {

// Compares text1 and text2: -1, 0 or 1. length 0 compares the whole texts,
// else at most their first `length` bytes (with a locale the cut moves back to
// a character boundary).
int CompareLocaleStrings(uint16_t languageId, uint16_t sortId, std::string_view text1,
                         bool caseInsensitive, size_t length, std::string_view text2);

// Compares two single bytes as characters, case counting: -1, 0 or 1. In
// UTF-8 a byte from 0x80 up is no character on its own; under a locale such
// a byte compares as the replacement character, above every character, so
// the order of the 256 byte values stays total.
int CompareLocaleChars(uint16_t languageId, uint16_t sortId, uint8_t char1, uint8_t char2);

// Compares two characters, each one whole UTF-8 sequence (or one stray
// byte), as CompareLocaleChars does for bytes.
int CompareLocaleCharacters(uint16_t languageId, uint16_t sortId, std::string_view char1,
                            std::string_view char2);

// Map text to upper or lower case in place, under the locale (US English
// without one). The byte length may change ("ß" upper-cases to "SS"); a caller
// storing into a fixed width cuts afterwards.
void LocaleUpperCase(uint16_t languageId, uint16_t sortId, std::string& text);
void LocaleLowerCase(uint16_t languageId, uint16_t sortId, std::string& text);

}  // namespace rudira
