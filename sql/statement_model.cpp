#include "sql/statement_model.h"

namespace rudira {

std::string SqlShortString(std::string_view text) {
  if (text.size() <= kSqlShortStringMax) return std::string(text);
  size_t cut = kSqlShortStringMax;
  // Step back over continuation bytes so the cut lands on a character start.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut));
}

std::vector<std::string> SplitStopWords(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
    size_t start = i;
    while (i < text.size() && static_cast<unsigned char>(text[i]) > 32) ++i;
    if (i > start) words.emplace_back(text.substr(start, i - start));
  }
  return words;
}

std::bitset<256> CharacterSetOf(std::string_view text) {
  std::bitset<256> set;
  for (char c : text) set.set(static_cast<unsigned char>(c));
  return set;
}

}  // namespace rudira
