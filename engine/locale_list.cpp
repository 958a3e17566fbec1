#include "engine/locale_list.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <iterator>

namespace rudira {

namespace {

constexpr LocaleEntry kLocales[] = {
    {"ANSI Standard", 0x0000},  // primary 0, sublanguage 0
    {"Afrikaans", 0x0436},  // primary 54, sublanguage 1
    {"Albanian", 0x041C},  // primary 28, sublanguage 1
    {"Arabic (Saudi Arabia)", 0x0401},  // primary 1, sublanguage 1
    {"Arabic (Iraq)", 0x0801},  // primary 1, sublanguage 2
    {"Arabic (Egypt)", 0x0C01},  // primary 1, sublanguage 3
    {"Arabic (Libya)", 0x1001},  // primary 1, sublanguage 4
    {"Arabic (Algeria)", 0x1401},  // primary 1, sublanguage 5
    {"Arabic (Morocco)", 0x1801},  // primary 1, sublanguage 6
    {"Arabic (Tunisia)", 0x1C01},  // primary 1, sublanguage 7
    {"Arabic (Oman)", 0x2001},  // primary 1, sublanguage 8
    {"Arabic (Yemen)", 0x2401},  // primary 1, sublanguage 9
    {"Arabic (Syria)", 0x2801},  // primary 1, sublanguage 10
    {"Arabic (Jordan)", 0x2C01},  // primary 1, sublanguage 11
    {"Arabic (Lebanon)", 0x3001},  // primary 1, sublanguage 12
    {"Arabic (Kuwait)", 0x3401},  // primary 1, sublanguage 13
    {"Arabic (U.A.E)", 0x3801},  // primary 1, sublanguage 14
    {"Arabic (Bahrain)", 0x3C01},  // primary 1, sublanguage 15
    {"Arabic (Qatar)", 0x4001},  // primary 1, sublanguage 16
    {"Basque", 0x042D},  // primary 45, sublanguage 1
    {"Belarusian", 0x0423},  // primary 35, sublanguage 1
    {"Bulgarian", 0x0402},  // primary 2, sublanguage 1
    {"Catalan", 0x0403},  // primary 3, sublanguage 1
    {"Croatian", 0x041A},  // primary 26, sublanguage 1
    {"Czech", 0x0405},  // primary 5, sublanguage 1
    {"Danish", 0x0406},  // primary 6, sublanguage 1
    {"Dutch (Standard)", 0x0413},  // primary 19, sublanguage 1
    {"Dutch (Belgian)", 0x0813},  // primary 19, sublanguage 2
    {"English (USA)", 0x0409},  // primary 9, sublanguage 1
    {"English (UK)", 0x0809},  // primary 9, sublanguage 2
    {"English (Australian)", 0x0C09},  // primary 9, sublanguage 3
    {"English (Canadian)", 0x1009},  // primary 9, sublanguage 4
    {"English (New Zealand)", 0x1409},  // primary 9, sublanguage 5
    {"English (Irish)", 0x1809},  // primary 9, sublanguage 6
    {"English (South Africa)", 0x1C09},  // primary 9, sublanguage 7
    {"English (Jamaica)", 0x2009},  // primary 9, sublanguage 8
    {"English (Caribbean)", 0x2409},  // primary 9, sublanguage 9
    {"English (Belize)", 0x2809},  // primary 9, sublanguage 10
    {"English (Trinidad)", 0x2C09},  // primary 9, sublanguage 11
    {"Estonian", 0x0425},  // primary 37, sublanguage 1
    {"Faeroese", 0x0438},  // primary 56, sublanguage 1
    {"Farsi", 0x0429},  // primary 41, sublanguage 1
    {"Finnish", 0x040B},  // primary 11, sublanguage 1
    {"French (Standard)", 0x040C},  // primary 12, sublanguage 1
    {"French (Belgian)", 0x080C},  // primary 12, sublanguage 2
    {"French (Canadian)", 0x0C0C},  // primary 12, sublanguage 3
    {"French (Swiss)", 0x100C},  // primary 12, sublanguage 4
    {"French (Luxembourg)", 0x140C},  // primary 12, sublanguage 5
    {"German (Standard)", 0x0407},  // primary 7, sublanguage 1
    {"German (Swiss)", 0x0807},  // primary 7, sublanguage 2
    {"German (Austrian)", 0x0C07},  // primary 7, sublanguage 3
    {"German (Luxembourg)", 0x1007},  // primary 7, sublanguage 4
    {"German (Liechtenstein)", 0x1407},  // primary 7, sublanguage 5
    {"Greek", 0x0408},  // primary 8, sublanguage 1
    {"Hebrew", 0x040D},  // primary 13, sublanguage 1
    {"Hungarian", 0x040E},  // primary 14, sublanguage 1
    {"Icelandic", 0x040F},  // primary 15, sublanguage 1
    {"Indonesian", 0x0421},  // primary 33, sublanguage 1
    {"Italian (Standard)", 0x0410},  // primary 16, sublanguage 1
    {"Italian (Swiss)", 0x0810},  // primary 16, sublanguage 2
    {"Latvian", 0x0426},  // primary 38, sublanguage 1
    {"Lithuanian", 0x0427},  // primary 39, sublanguage 1
    {"Norwegian (Bokmal)", 0x0414},  // primary 20, sublanguage 1
    {"Norwegian (Nynorsk)", 0x0814},  // primary 20, sublanguage 2
    {"Polish", 0x0415},  // primary 21, sublanguage 1
    {"Portuguese (Standard)", 0x0816},  // primary 22, sublanguage 2
    {"Portuguese (Brazilian)", 0x0416},  // primary 22, sublanguage 1
    {"Romanian", 0x0418},  // primary 24, sublanguage 1
    {"Russian", 0x0419},  // primary 25, sublanguage 1
    {"Serbian (Latin)", 0x081A},  // primary 26, sublanguage 2
    {"Serbian (Cyrillic)", 0x0C1A},  // primary 26, sublanguage 3
    {"Slovak", 0x041B},  // primary 27, sublanguage 1
    {"Slovenian", 0x0424},  // primary 36, sublanguage 1
    {"Spanish (Castilian)", 0x040A},  // primary 10, sublanguage 1
    {"Spanish (Mexican)", 0x080A},  // primary 10, sublanguage 2
    {"Spanish (Modern)", 0x0C0A},  // primary 10, sublanguage 3
    {"Spanish (Guatemala)", 0x100A},  // primary 10, sublanguage 4
    {"Spanish (Costa Rica)", 0x140A},  // primary 10, sublanguage 5
    {"Spanish (Panama)", 0x180A},  // primary 10, sublanguage 6
    {"Spanish (Dominican Republic)", 0x1C0A},  // primary 10, sublanguage 7
    {"Spanish (Venezuela)", 0x200A},  // primary 10, sublanguage 8
    {"Spanish (Colombia)", 0x240A},  // primary 10, sublanguage 9
    {"Spanish (Peru)", 0x280A},  // primary 10, sublanguage 10
    {"Spanish (Argentina)", 0x2C0A},  // primary 10, sublanguage 11
    {"Spanish (Ecuador)", 0x300A},  // primary 10, sublanguage 12
    {"Spanish (Chile)", 0x340A},  // primary 10, sublanguage 13
    {"Spanish (Uruguay)", 0x380A},  // primary 10, sublanguage 14
    {"Spanish (Paraguay)", 0x3C0A},  // primary 10, sublanguage 15
    {"Spanish (Bolivia)", 0x400A},  // primary 10, sublanguage 16
    {"Spanish (El Salvador)", 0x440A},  // primary 10, sublanguage 17
    {"Spanish (Honduras)", 0x480A},  // primary 10, sublanguage 18
    {"Spanish (Nicaragua)", 0x4C0A},  // primary 10, sublanguage 19
    {"Spanish (Puerto Rico)", 0x500A},  // primary 10, sublanguage 20
    {"Swedish (Standard)", 0x041D},  // primary 29, sublanguage 1
    {"Swedish (Finland)", 0x081D},  // primary 29, sublanguage 2
    {"Thai", 0x041E},  // primary 30, sublanguage 1
    {"Turkish", 0x041F},  // primary 31, sublanguage 1
    {"Ukranian", 0x0422},  // primary 34, sublanguage 1
    {"Vietnamese", 0x042A},  // primary 42, sublanguage 1
};
static_assert(std::size(kLocales) == 99);

constexpr const char* kDefaultSorts[] = {kDefaultOrderName};
constexpr const char* kGermanSorts[] = {kDefaultOrderName, kGermanPhoneBookOrderName};

constexpr uint16_t kGermanPrimaryLanguage = 7;

// Case-insensitive equality by Unicode case folding: the names are ASCII,
// but the text asked about may be anything.
bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  icu::UnicodeString ua = icu::UnicodeString::fromUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())));
  icu::UnicodeString ub = icu::UnicodeString::fromUTF8(icu::StringPiece(b.data(), static_cast<int32_t>(b.size())));
  return ua.caseCompare(ub, U_FOLD_CASE_DEFAULT) == 0;
}

const LocaleEntry* FindLocale(std::string_view name) {
  for (const LocaleEntry& entry : kLocales) {
    if (SameNameIgnoringCase(entry.Name, name)) return &entry;
  }
  return nullptr;
}

}  // namespace

std::span<const LocaleEntry> LocaleList() { return kLocales; }

bool LocaleNameValid(std::string_view name) { return FindLocale(name) != nullptr; }

uint16_t LocaleIdOfName(std::string_view name) {
  const LocaleEntry* entry = FindLocale(name);
  return entry == nullptr ? 0 : entry->LanguageId;
}

std::string_view LocaleNameOfId(uint16_t languageId) {
  for (const LocaleEntry& entry : kLocales) {
    if (entry.LanguageId == languageId) return entry.Name;
  }
  return {};
}

std::span<const char* const> LocaleSortNames(uint16_t languageId) {
  // Every German locale of the list (primary language 7) offers the
  // phone-book order as well.
  if ((languageId & 0x3FF) == kGermanPrimaryLanguage && !LocaleNameOfId(languageId).empty()) {
    return kGermanSorts;
  }
  return kDefaultSorts;
}

bool SortNameValid(uint16_t languageId, std::string_view name) {
  for (const char* sortName : LocaleSortNames(languageId)) {
    if (SameNameIgnoringCase(sortName, name)) return true;
  }
  return false;
}

uint16_t SortIdOfName(uint16_t languageId, std::string_view name) {
  std::span<const char* const> names = LocaleSortNames(languageId);
  if (names.size() > 1 && SameNameIgnoringCase(names[1], name)) return kGermanPhoneBookSortId;
  return 0;
}

}  // namespace rudira
