#include "engine/split_words.h"

#include <string>

#include "engine/utf8_text.h"

namespace rudira {

namespace {

void AddWord(TLanguageStringList& target, const std::string& word, size_t position,
             bool countMode) {
  // Only a word stopped by the length limit can end in a partial character.
  std::string_view kept = word;
  if (kept.size() == kMaxWordLength) kept = kept.substr(0, Utf8CompleteLength(kept));
  if (kept.empty()) return;
  if (!countMode) {
    target.Add(kept, static_cast<int64_t>(position));
    return;
  }
  size_t index = 0;
  if (target.Find(kept, index)) {
    target.SetValue(index, target.Values(index) + 1);
  } else {
    target.Add(kept, 1);
  }
}

}  // namespace

void SplitWords(std::string_view text, size_t length, TLanguageStringList& target, bool wildcard,
                bool countMode, const CharSet& includeChars, const CharSet& spaceChars) {
  if (countMode) {
    target.SetSorted(true);
    target.SetDuplicates(Duplicates::kIgnore);
  }
  if (length < text.size()) text = text.substr(0, length);
  std::string word;
  size_t position = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    const bool star = wildcard && byte == '*';
    if (spaceChars.test(byte) && !star) {
      AddWord(target, word, position, countMode);
      word.clear();
      continue;
    }
    if ((includeChars.test(byte) || star) && word.size() < kMaxWordLength) {
      if (word.empty()) position = i;
      word.push_back(static_cast<char>(byte));
    }
  }
  AddWord(target, word, position, countMode);
}

}  // namespace rudira
