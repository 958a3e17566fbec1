#include "engine/language_string_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/split_words.h"

namespace rudira {
namespace {

std::vector<std::string> Contents(const TLanguageStringList& list) {
  std::vector<std::string> result;
  for (size_t i = 0; i < list.Count(); ++i) {
    result.push_back(list.Strings(i) + "=" + std::to_string(list.Values(i)));
  }
  return result;
}

TEST(LanguageStringListTest, SortedCaseInsensitiveWithoutLocale) {
  TLanguageStringList list;
  list.Add("banana", 1);
  list.Add("Apple", 2);
  list.Add("cherry", 3);
  EXPECT_EQ(list.Add("APPLE", 9), 0u);  // duplicate ignored, value kept
  EXPECT_EQ(Contents(list), (std::vector<std::string>{"Apple=2", "banana=1", "cherry=3"}));
  size_t index = 0;
  EXPECT_TRUE(list.Find("BANANA", index));
  EXPECT_EQ(index, 1u);
  EXPECT_FALSE(list.Find("blueberry", index));
  EXPECT_EQ(index, 2u);  // where it would go
  EXPECT_EQ(list.IndexOf("Cherry"), 2);
  EXPECT_EQ(list.IndexOf("date"), -1);
  list.Delete(0);
  EXPECT_EQ(list.IndexOf("apple"), -1);
}

TEST(LanguageStringListTest, DuplicatesAcceptedKeepAddingOrderAmongEquals) {
  TLanguageStringList list(0, 0, true, Duplicates::kAccept);
  list.Add("b", 1);
  list.Add("a", 2);
  list.Add("B", 3);
  EXPECT_EQ(Contents(list), (std::vector<std::string>{"a=2", "b=1", "B=3"}));
  EXPECT_EQ(list.IndexOf("b"), 1);
}

TEST(LanguageStringListTest, LocaleOrder) {
  // Swedish sorts å after z, French with a.
  TLanguageStringList swedish(0x041D, 0);
  TLanguageStringList french(0x040C, 0);
  for (const char* word : {"\xC3\xA5r", "zon", "apa"}) {
    swedish.Add(word);
    french.Add(word);
  }
  EXPECT_EQ(swedish.Strings(2), "\xC3\xA5r");
  EXPECT_EQ(french.Strings(1), "\xC3\xA5r");
  // Accents do not distinguish entries under a locale.
  EXPECT_EQ(french.IndexOf("ar"), 1);
}

TEST(LanguageStringListTest, UnsortedKeepsOrderUntilSorted) {
  TLanguageStringList list(0, 0, false);
  list.Add("c");
  list.Add("a");
  list.Add("c");
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.IndexOf("C"), 0);
  list.SetSorted(true);
  EXPECT_EQ(Contents(list), (std::vector<std::string>{"a=0", "c=0", "c=0"}));
}

CharSet Set(std::string_view chars) {
  CharSet set;
  for (char c : chars) set.set(static_cast<unsigned char>(c));
  return set;
}

CharSet Letters() {
  CharSet set;
  for (int c = 'a'; c <= 'z'; ++c) set.set(c);
  for (int c = 'A'; c <= 'Z'; ++c) set.set(c);
  for (int c = '0'; c <= '9'; ++c) set.set(c);
  for (int c = 0x80; c <= 0xFF; ++c) set.set(c);  // every byte of a UTF-8 sequence
  return set;
}

TEST(SplitWordsTest, PositionsInTextOrder) {
  TLanguageStringList words(0, 0, false);
  const std::string text = "black  stone, white-stone";
  SplitWords(text, text.size(), words, false, false, Letters(), Set(" ,-"));
  EXPECT_EQ(Contents(words),
            (std::vector<std::string>{"black=0", "stone=7", "white=14", "stone=20"}));
}

TEST(SplitWordsTest, CountModeCountsEachWordOnce) {
  TLanguageStringList words;
  const std::string text = "ko ladder ko net ko";
  SplitWords(text, text.size(), words, false, true, Letters(), Set(" "));
  EXPECT_EQ(Contents(words), (std::vector<std::string>{"ko=3", "ladder=1", "net=1"}));
}

TEST(SplitWordsTest, DroppedBytesWildcardsAndLength) {
  TLanguageStringList words(0, 0, false);
  // Bytes in neither set vanish from the word; "*" is kept only with wildcards.
  SplitWords("s!ta*r", 6, words, true, false, Letters(), Set(" "));
  SplitWords("s!ta*r", 6, words, false, false, Letters(), Set(" *"));
  SplitWords("abcdef", 3, words, false, false, Letters(), Set(" "));
  EXPECT_EQ(Contents(words), (std::vector<std::string>{"sta*r=0", "sta=0", "r=5", "abc=0"}));
}

TEST(SplitWordsTest, LongWordsKeepTheirFirst61Bytes) {
  TLanguageStringList words(0, 0, false);
  const std::string text = std::string(70, 'x') + " y";
  SplitWords(text, text.size(), words, false, false, Letters(), Set(" "));
  ASSERT_EQ(words.Count(), 2u);
  EXPECT_EQ(words.Strings(0), std::string(61, 'x'));
  EXPECT_EQ(words.Strings(1), "y");
  EXPECT_EQ(words.Values(1), 71);

  // A three-byte character across the limit is dropped whole.
  TLanguageStringList japanese(0, 0, false);
  const std::string stones = std::string(60, 'x') + "\xE7\x9F\xB3";  // 60 + 3 bytes
  SplitWords(stones, stones.size(), japanese, false, false, Letters(), Set(" "));
  ASSERT_EQ(japanese.Count(), 1u);
  EXPECT_EQ(japanese.Strings(0), std::string(60, 'x'));
}

}  // namespace
}  // namespace rudira
