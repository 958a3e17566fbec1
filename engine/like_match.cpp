#include "engine/like_match.h"

#include <vector>

#include "engine/locale_compare.h"

namespace rudira {

namespace {

// Splits a UTF-8 text into its characters; a byte that starts no valid
// sequence is a character of its own.
std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> result;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    if (i + length > text.size()) length = 1;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        length = 1;
        break;
      }
    }
    result.push_back(text.substr(i, length));
    i += length;
  }
  return result;
}

}  // namespace

bool LikeMatch(uint16_t languageId, uint16_t sortId, std::string_view value,
               std::string_view pattern) {
  const std::vector<std::string_view> v = Characters(value);
  const std::vector<std::string_view> p = Characters(pattern);
  size_t vi = 0;
  size_t pi = 0;
  // The last "%" seen and the value position its run currently ends at: on a
  // mismatch the run grows by one character and matching resumes there.
  bool haveStar = false;
  size_t starPattern = 0;
  size_t starValue = 0;
  while (vi < v.size()) {
    if (pi < p.size() && p[pi] == "%") {
      haveStar = true;
      starPattern = ++pi;
      starValue = vi;
      continue;
    }
    if (pi < p.size() &&
        (p[pi] == "_" || CompareLocaleCharacters(languageId, sortId, p[pi], v[vi]) == 0)) {
      ++pi;
      ++vi;
      continue;
    }
    if (!haveStar) return false;
    pi = starPattern;
    vi = ++starValue;
  }
  // The value is used up: what is left of the pattern must be all "%".
  while (pi < p.size() && p[pi] == "%") ++pi;
  return pi == p.size();
}

}  // namespace rudira
