#include "components/index_defs.h"

namespace rudira {

namespace {

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields, TIndexOptions options) {
  defs_.push_back({name, fields, options});
  return defs_.back();
}

int TIndexDefs::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (SameText(defs_[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<std::string> TIndexDefs::SplitFields(const std::string& fields) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= fields.size()) {
    size_t end = fields.find(';', start);
    if (end == std::string::npos) end = fields.size();
    std::string name = fields.substr(start, end - start);
    const size_t first = name.find_first_not_of(' ');
    if (first != std::string::npos) names.push_back(name.substr(first, name.find_last_not_of(' ') - first + 1));
    start = end + 1;
  }
  return names;
}

}  // namespace rudira
