// TLanguageStringList: a list of strings kept in the order of a locale.
//
// Sorting and searching use the locale's case-insensitive comparison
// (CompareLocaleStrings with the case-insensitive flag), so "Go" and "go" are
// the same entry. Each string may carry an integer. When sorted, an added
// string that is already present is ignored (its existing index is returned)
// or accepted beside the others, as Duplicates says; when not sorted, strings
// keep the order they were added in and Find searches linearly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rudira {

enum class Duplicates { kIgnore, kAccept };

class TLanguageStringList {
 public:
  TLanguageStringList(uint16_t languageId = 0, uint16_t sortId = 0, bool sorted = true,
                      Duplicates duplicates = Duplicates::kIgnore);

  uint16_t LanguageId() const { return languageId_; }
  uint16_t SortId() const { return sortId_; }
  bool Sorted() const { return sorted_; }
  Duplicates DuplicatesMode() const { return duplicates_; }

  // Turning sorting on sorts the strings there are (stably).
  void SetSorted(bool sorted);
  void SetDuplicates(Duplicates duplicates) { duplicates_ = duplicates; }

  size_t Count() const { return items_.size(); }
  const std::string& Strings(size_t index) const { return items_.at(index).Text; }
  int64_t Values(size_t index) const { return items_.at(index).Value; }
  void SetValue(size_t index, int64_t value) { items_.at(index).Value = value; }

  // Adds a string with its integer and returns its index. In a sorted list
  // with Duplicates::kIgnore an equal string already present is kept as it
  // is (value unchanged) and its index returned.
  size_t Add(std::string_view text, int64_t value = 0);

  // Whether an equal string is present; index is where it is, or (sorted)
  // where it would be inserted, or (unsorted, absent) Count().
  bool Find(std::string_view text, size_t& index) const;

  // The index of an equal string, or -1.
  std::ptrdiff_t IndexOf(std::string_view text) const;

  void Delete(size_t index);
  void Clear() { items_.clear(); }

 private:
  struct Item {
    std::string Text;
    int64_t Value;
  };
  int Compare(std::string_view a, std::string_view b) const;

  uint16_t languageId_;     // locale of the order
  uint16_t sortId_;
  bool sorted_;             // items_ ascending by Compare when true
  Duplicates duplicates_;   // what Add does with an equal string (sorted only)
  std::vector<Item> items_;
};

}  // namespace rudira
