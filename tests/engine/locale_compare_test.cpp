#include "engine/locale_compare.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/char_order_map.h"
#include "engine/like_match.h"
#include "engine/locale_list.h"

namespace rudira {
namespace {

constexpr uint16_t kNone = 0;
constexpr uint16_t kUsEnglish = 0x0409;
constexpr uint16_t kFrench = 0x040C;
constexpr uint16_t kGerman = 0x0407;
constexpr uint16_t kSwedish = 0x041D;
constexpr uint16_t kTurkish = 0x041F;

struct CompareCase {
  uint16_t language;
  uint16_t sort;
  std::string text1;
  bool caseInsensitive;
  size_t length;
  std::string text2;
  int expected;
};

TEST(LocaleCompareTest, Strings) {
  const CompareCase cases[] = {
      // Without a locale: bytes, so lower-case a is above upper-case B ...
      {kNone, 0, "a", false, 0, "B", 1},
      // ... and below it when case is ignored.
      {kNone, 0, "a", true, 0, "B", -1},
      {kNone, 0, "abc", true, 0, "ABC", 0},
      // Case-insensitive compares the upper-cased texts: "a" becomes "A",
      // which is below "_" although "a" is above it.
      {kNone, 0, "a", true, 0, "_", -1},
      {kNone, 0, "a", false, 0, "_", 1},
      {kNone, 0, "r\xC3\xA9sum\xC3\xA9", true, 0, "R\xC3\x89SUM\xC3\x89", 0},
      {kNone, 0, "r\xC3\xA9sum\xC3\xA9", false, 0, "R\xC3\x89SUM\xC3\x89", 1},
      {kNone, 0, "abc", false, 0, "ABC", 1},
      {kNone, 0, "ab", false, 0, "abc", -1},
      {kNone, 0, "abc", false, 2, "abd", 0},
      {kNone, 0, std::string("ab\0x", 4), false, 0, std::string("ab\0y", 4), 0},
      {kNone, 0, "\xC3\xA9", false, 0, "f", 1},  // é is above f as bytes
      {kNone, 0, "", false, 0, "", 0},
      // French: accents do not count, case does unless ignored.
      {kFrench, 0, "r\xC3\xA9sum\xC3\xA9", false, 0, "resume", 0},
      {kFrench, 0, "R\xC3\xA9sum\xC3\xA9", true, 0, "resume", 0},
      {kFrench, 0, "Resume", false, 0, "resume", 1},
      {kFrench, 0, "\xC3\xA9", false, 0, "f", -1},  // é sorts with e
      {kFrench, 0, "a", false, 0, "B", -1},
      // Composed and decomposed é are one text.
      {kFrench, 0, "\xC3\xA9t\xC3\xA9", false, 0, "e\xCC\x81te\xCC\x81", 0},
      {kUsEnglish, 0, "apple", false, 0, "Banana", -1},
      {kUsEnglish, 0, "abcX", false, 3, "abcY", 0},
      {kUsEnglish, 0, std::string("go\0\0\0", 5), false, 0, "go", 0},
      // Swedish puts å after z; German does not.
      {kSwedish, 0, "\xC3\xA5", false, 0, "z", 1},
      {kGerman, 0, "\xC3\xA5", false, 0, "z", -1},
      // German phone-book order: ä sorts as ae, before af.
      {kGerman, kGermanPhoneBookSortId, "\xC3\xA4", false, 0, "af", -1},
      {kGerman, 0, "\xC3\xA4", false, 0, "af", -1},
      {kGerman, 0, "\xC3\xA4z", false, 0, "af", 1},
      {kGerman, kGermanPhoneBookSortId, "\xC3\xA4z", false, 0, "af", -1},
  };
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(c.text1 + " / " + c.text2 + " lang " + std::to_string(c.language));
    EXPECT_EQ(CompareLocaleStrings(c.language, c.sort, c.text1, c.caseInsensitive, c.length,
                                   c.text2),
              c.expected);
    EXPECT_EQ(CompareLocaleStrings(c.language, c.sort, c.text2, c.caseInsensitive, c.length,
                                   c.text1),
              -c.expected);
  }
}

TEST(LocaleCompareTest, Characters) {
  EXPECT_EQ(CompareLocaleChars(kNone, 0, 'a', 'B'), 1);
  EXPECT_EQ(CompareLocaleChars(kNone, 0, 0x80, 0x7F), 1);
  EXPECT_EQ(CompareLocaleChars(kUsEnglish, 0, 'a', 'B'), -1);
  EXPECT_EQ(CompareLocaleChars(kUsEnglish, 0, 'a', 'A'), -1);  // case counts
  EXPECT_EQ(CompareLocaleChars(kUsEnglish, 0, 'b', 'b'), 0);
  // Bytes from 0x80 up are no characters on their own: above every letter.
  EXPECT_EQ(CompareLocaleChars(kUsEnglish, 0, 0xFF, 'z'), 1);
  EXPECT_EQ(CompareLocaleCharacters(kFrench, 0, "e", "\xC3\xA9"), 0);
  EXPECT_EQ(CompareLocaleCharacters(kFrench, 0, "E", "\xC3\xA9"), 1);
}

struct CaseMapCase {
  uint16_t language;
  std::string text;
  std::string upper;
  std::string lower;
};

TEST(LocaleCompareTest, CaseMapping) {
  const CaseMapCase cases[] = {
      {kNone, "Go board", "GO BOARD", "go board"},
      {kNone, "r\xC3\xA9sum\xC3\xA9", "R\xC3\x89SUM\xC3\x89", "r\xC3\xA9sum\xC3\xA9"},
      {kGerman, "Stra\xC3\x9F" "e", "STRASSE", "stra\xC3\x9F" "e"},
      // Turkish dotted and dotless i.
      {kTurkish, "i", "\xC4\xB0", "i"},
      {kTurkish, "I", "I", "\xC4\xB1"},
      {kUsEnglish, "I", "I", "i"},
      // Japanese has no case and stays as it is.
      {kNone, "\xE7\x9F\xB3", "\xE7\x9F\xB3", "\xE7\x9F\xB3"},
  };
  for (const CaseMapCase& c : cases) {
    SCOPED_TRACE(c.text);
    std::string upper = c.text;
    LocaleUpperCase(c.language, 0, upper);
    EXPECT_EQ(upper, c.upper);
    std::string lower = c.text;
    LocaleLowerCase(c.language, 0, lower);
    EXPECT_EQ(lower, c.lower);
  }
}

TEST(CharOrderMapTest, ByteOrderWithoutLocale) {
  const CharOrder& map = CharOrderMap(kNone, 0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(map.Bytes[i], i);
  EXPECT_EQ(map.Lowest(), 0);
  EXPECT_EQ(map.Highest(), 255);
  EXPECT_EQ(map.Predecessor('b'), 'a');
  EXPECT_EQ(map.Successor('b'), 'c');
  EXPECT_EQ(map.Predecessor(0), 0);
  EXPECT_EQ(map.Successor(255), 255);
}

TEST(CharOrderMapTest, LocaleOrderIsAPermutationSortedByTheCharacterComparison) {
  const CharOrder& map = CharOrderMap(kUsEnglish, 0);
  EXPECT_EQ(&map, &CharOrderMap(kUsEnglish, 0));  // cached
  EXPECT_EQ(map.LanguageId, kUsEnglish);
  std::vector<bool> seen(256, false);
  for (int i = 0; i < 256; ++i) {
    seen[map.Bytes[i]] = true;
    EXPECT_EQ(map.Rank[map.Bytes[i]], i);
    if (i > 0) {
      EXPECT_LE(CompareLocaleChars(kUsEnglish, 0, map.Bytes[i - 1], map.Bytes[i]), 0);
    }
  }
  for (int b = 0; b < 256; ++b) EXPECT_TRUE(seen[b]) << b;
  EXPECT_EQ(map.Lowest(), 0);
  EXPECT_EQ(map.Highest(), 0xFF);
  // Letters: a before A before b.
  EXPECT_LT(map.Rank['a'], map.Rank['A']);
  EXPECT_LT(map.Rank['A'], map.Rank['b']);
  EXPECT_EQ(map.Successor('a'), 'A');
  EXPECT_LT(map.Rank['9'], map.Rank['a']);
}

TEST(CharOrderMapTest, ThreadsShareOneMapPerLocale) {
  std::vector<const CharOrder*> got(6, nullptr);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < got.size(); ++t) {
    threads.emplace_back([t, &got] { got[t] = &CharOrderMap(kSwedish, 0); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const CharOrder* map : got) EXPECT_EQ(map, got[0]);
  EXPECT_NE(&CharOrderMap(kSwedish, 0), &CharOrderMap(kGerman, 0));
}

struct LikeCase {
  uint16_t language;
  std::string value;
  std::string pattern;
  bool matches;
};

TEST(LikeMatchTest, Patterns) {
  const LikeCase cases[] = {
      {kNone, "abc", "a%c", true},
      {kNone, "abc", "a_c", true},
      {kNone, "abc", "a%d", false},
      {kNone, "abc", "abc", true},
      {kNone, "abc", "ab", false},
      {kNone, "abc", "abcd", false},
      {kNone, "abc", "%", true},
      {kNone, "", "%", true},
      {kNone, "", "_", false},
      {kNone, "", "", true},
      {kNone, "abc", "%%c", true},
      {kNone, "abcbc", "a%bc", true},
      {kNone, "abcbd", "a%bc", false},
      {kNone, "aXbXc", "a%X%c", true},
      {kNone, "abc", "_%_", true},
      {kNone, "abc", "A%", false},     // case counts
      {kUsEnglish, "abc", "A%", false},
      {kFrench, "r\xC3\xA9sum\xC3\xA9", "resume", true},
      {kFrench, "r\xC3\xA9sum\xC3\xA9", "r_sum_", true},  // _ takes the whole é
      {kNone, "\xE7\x9F\xB3\xE3\x81\xA7", "_\xE3\x81\xA7", true},
      {kNone, "\xE7\x9F\xB3\xE3\x81\xA7", "__", true},
      {kNone, "\xE7\x9F\xB3\xE3\x81\xA7", "___", false},
  };
  for (const LikeCase& c : cases) {
    EXPECT_EQ(LikeMatch(c.language, 0, c.value, c.pattern), c.matches)
        << "'" << c.value << "' LIKE '" << c.pattern << "' lang " << c.language;
  }
}

}  // namespace
}  // namespace rudira
