#include "engine/locale_list.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/locale_services.h"

namespace rudira {
namespace {

TEST(LocaleListTest, NinetyNineNamesInOrderWithDistinctIds) {
  std::span<const LocaleEntry> list = LocaleList();
  ASSERT_EQ(list.size(), 99u);
  EXPECT_STREQ(list.front().Name, "ANSI Standard");
  EXPECT_STREQ(list[28].Name, "English (USA)");
  EXPECT_STREQ(list.back().Name, "Vietnamese");
  std::set<uint16_t> ids;
  std::set<std::string> names;
  for (const LocaleEntry& entry : list) {
    ids.insert(entry.LanguageId);
    names.insert(entry.Name);
  }
  EXPECT_EQ(ids.size(), 99u);
  EXPECT_EQ(names.size(), 99u);
}

TEST(LocaleListTest, LanguageIdentifiersOfTellingRows) {
  struct Row {
    const char* name;
    int primary;
    int sublanguage;
    uint16_t id;
  };
  const Row rows[] = {
      {"ANSI Standard", 0, 0, 0x0000},       {"Afrikaans", 54, 1, 0x0436},
      {"English (USA)", 9, 1, 0x0409},       {"German (Standard)", 7, 1, 0x0407},
      {"German (Liechtenstein)", 7, 5, 0x1407}, {"Portuguese (Standard)", 22, 2, 0x0816},
      {"Portuguese (Brazilian)", 22, 1, 0x0416}, {"Spanish (Castilian)", 10, 1, 0x040A},
      {"Spanish (Modern)", 10, 3, 0x0C0A},   {"Serbian (Latin)", 26, 2, 0x081A},
      {"Vietnamese", 42, 1, 0x042A},         {"Arabic (Qatar)", 1, 16, 0x4001},
      {"Spanish (Puerto Rico)", 10, 20, 0x500A}, {"French (Standard)", 12, 1, 0x040C},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.sublanguage * 1024 + row.primary, row.id);
    EXPECT_EQ(LocaleIdOfName(row.name), row.id);
    EXPECT_EQ(LocaleNameOfId(row.id), row.name);
  }
}

TEST(LocaleListTest, NamesCompareWithoutRegardToCase) {
  EXPECT_TRUE(LocaleNameValid("french (standard)"));
  EXPECT_TRUE(LocaleNameValid("ENGLISH (UK)"));
  EXPECT_EQ(LocaleIdOfName("english (uk)"), 0x0809);
  EXPECT_FALSE(LocaleNameValid("Klingon"));
  EXPECT_FALSE(LocaleNameValid("English"));
  EXPECT_EQ(LocaleIdOfName("Klingon"), 0);
}

TEST(LocaleListTest, SortOrders) {
  for (const LocaleEntry& entry : LocaleList()) {
    SCOPED_TRACE(entry.Name);
    EXPECT_TRUE(SortNameValid(entry.LanguageId, "Default Order"));
    EXPECT_TRUE(SortNameValid(entry.LanguageId, "default order"));
    const bool german = std::string(entry.Name).rfind("German", 0) == 0;
    EXPECT_EQ(SortNameValid(entry.LanguageId, "German Phone Book Order"), german);
    EXPECT_EQ(SortIdOfName(entry.LanguageId, "Default Order"), 0);
  }
  EXPECT_EQ(SortIdOfName(0x0C07, "german phone book order"), kGermanPhoneBookSortId);
  EXPECT_EQ(SortIdOfName(0x0409, "German Phone Book Order"), 0);
  EXPECT_FALSE(SortNameValid(0x0407, "Phone Book"));
}

TEST(LocaleListTest, EveryListedLocaleIsInstalled) {
  for (const LocaleEntry& entry : LocaleList()) {
    EXPECT_TRUE(LocaleInstalled(entry.LanguageId, 0)) << entry.Name;
  }
  EXPECT_TRUE(LocaleInstalled(0x0407, kGermanPhoneBookSortId));
  EXPECT_EQ(IcuLocaleName(0x0407, kGermanPhoneBookSortId), "de_DE@collation=phonebook");
  EXPECT_EQ(IcuLocaleName(0x040C, 0), "fr_FR");
  // Identifiers the platform never assigned.
  EXPECT_FALSE(LocaleInstalled(0x03FF, 0));
  EXPECT_FALSE(LocaleInstalled(0x0409, 0x7777));
}

}  // namespace
}  // namespace rudira
