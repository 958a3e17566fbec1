// TStringList: lines of text with a change notification, as a query's SQL
// property holds its statement. Text() joins the lines with "\n".
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace rudira {

class TStringList {
 public:
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& operator[](int i) const { return lines_.at(static_cast<size_t>(i)); }
  void Add(const std::string& line) { lines_.push_back(line); Changed(); }
  void Clear() { lines_.clear(); Changed(); }
  // Replaces every line by the lines of `text` (split at "\n").
  void SetText(const std::string& text) {
    lines_.clear();
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      if (end > start || end < text.size()) lines_.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    Changed();
  }
  std::string Text() const {
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (i > 0) text += '\n';
      text += lines_[i];
    }
    return text;
  }

  // Called after every change.
  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  std::vector<std::string> lines_;
};

}  // namespace rudira
