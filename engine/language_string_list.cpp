#include "engine/language_string_list.h"

#include <algorithm>
#include <cassert>

#include "engine/locale_compare.h"

namespace rudira {

TLanguageStringList::TLanguageStringList(uint16_t languageId, uint16_t sortId, bool sorted,
                                         Duplicates duplicates)
    : languageId_(languageId), sortId_(sortId), sorted_(sorted), duplicates_(duplicates) {}

int TLanguageStringList::Compare(std::string_view a, std::string_view b) const {
  return CompareLocaleStrings(languageId_, sortId_, a, true, 0, b);
}

void TLanguageStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) {
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const Item& a, const Item& b) { return Compare(a.Text, b.Text) < 0; });
  }
  sorted_ = sorted;
}

bool TLanguageStringList::Find(std::string_view text, size_t& index) const {
  if (!sorted_) {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (Compare(items_[i].Text, text) == 0) {
        index = i;
        return true;
      }
    }
    index = items_.size();
    return false;
  }
  // Lower bound: with duplicates accepted this finds the first equal string.
  size_t low = 0;
  size_t high = items_.size();
  while (low < high) {
    size_t mid = low + (high - low) / 2;
    if (Compare(items_[mid].Text, text) < 0) low = mid + 1;
    else high = mid;
  }
  index = low;
  return low < items_.size() && Compare(items_[low].Text, text) == 0;
}

size_t TLanguageStringList::Add(std::string_view text, int64_t value) {
  if (!sorted_) {
    items_.push_back(Item{std::string(text), value});
    return items_.size() - 1;
  }
  size_t index = 0;
  bool found = Find(text, index);
  if (found && duplicates_ == Duplicates::kIgnore) return index;
  // An accepted duplicate goes after the equal strings already there.
  while (found && index < items_.size() && Compare(items_[index].Text, text) == 0) ++index;
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), Item{std::string(text), value});
  return index;
}

std::ptrdiff_t TLanguageStringList::IndexOf(std::string_view text) const {
  size_t index = 0;
  return Find(text, index) ? static_cast<std::ptrdiff_t>(index) : -1;
}

void TLanguageStringList::Delete(size_t index) {
  assert(index < items_.size());
  if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace rudira
