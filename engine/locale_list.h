// The engine's locale list: the 99 locale names a table definition or an SQL
// LANGUAGE clause may give, each with its platform language identifier, and
// the sort orders each locale offers.
//
// A language identifier is 16 bits: sublanguage x 1024 + primary language.
// Identifier 0 ("ANSI Standard") is no locale: strings compare byte by byte.
// A sort identifier is 16 bits, 0 for the default order. The list is a
// compiled-in constant, so it is ready before any engine code runs and needs
// no lock.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace rudira {

struct LocaleEntry {
  const char* Name;     // "German (Standard)"
  uint16_t LanguageId;  // 0x0407
};

// The sort identifier of the German phone-book order: the platform's own
// number for that order, so that sort id x 65536 + language id names it.
constexpr uint16_t kGermanPhoneBookSortId = 1;

constexpr const char kDefaultOrderName[] = "Default Order";
constexpr const char kGermanPhoneBookOrderName[] = "German Phone Book Order";

// All 99 locales in list order, "ANSI Standard" first.
std::span<const LocaleEntry> LocaleList();

// Whether the name is in the locale list (compared without regard to case).
bool LocaleNameValid(std::string_view name);

// The language identifier of a locale name; 0 when the name is absent.
uint16_t LocaleIdOfName(std::string_view name);

// The name of a language identifier, or empty text when no list entry has it.
std::string_view LocaleNameOfId(uint16_t languageId);

// The sort orders a locale offers: "Default Order" for every locale, and
// "German Phone Book Order" too for the five German ones.
std::span<const char* const> LocaleSortNames(uint16_t languageId);

// Whether the name (without regard to case) is one of the locale's sort orders.
bool SortNameValid(uint16_t languageId, std::string_view name);

// The sort identifier of a sort-order name of the locale: 0 for
// "Default Order", kGermanPhoneBookSortId for the phone-book order; 0 for a
// name the locale does not offer.
uint16_t SortIdOfName(uint16_t languageId, std::string_view name);

}  // namespace rudira
