// The word splitter of full-text indexes and text searches.
//
// The text is walked byte by byte. A byte in the space set ends the current
// word (except "*" when wildcards are on, which then belongs to the word); a
// byte in the include set (or "*" with wildcards) joins the word while it is
// shorter than kMaxWordLength bytes; every other byte is dropped. A word cut
// at the limit loses any partial UTF-8 character at its end. Each non-empty
// word is added to the target:
//   - count mode: the target is sorted; a word present gets its value raised
//     by one, a new word is added with value 1;
//   - otherwise every word is appended with the 0-based byte position of its
//     first kept byte.
// The two sets come from the table's text-index definition.
#pragma once

#include <bitset>
#include <cstddef>
#include <string_view>

#include "engine/language_string_list.h"

namespace rudira {

using CharSet = std::bitset<256>;

constexpr size_t kMaxWordLength = 61;

// Splits the first `length` bytes of text (all of it when length exceeds
// the text). In count mode the target is switched to sorted with
// duplicates ignored.
void SplitWords(std::string_view text, size_t length, TLanguageStringList& target, bool wildcard,
                bool countMode, const CharSet& includeChars, const CharSet& spaceChars);

}  // namespace rudira
