// Index definitions of a table component: what IndexDefs lists and what
// CreateTable builds. Fields are a ";"-separated list of field names (at most
// 16); the primary index is the one with ixPrimary (at most one, unnamed in
// the engine).
#pragma once

#include <string>
#include <vector>

namespace rudira {

struct TIndexOptions {
  bool Primary = false;          // ixPrimary
  bool Unique = false;           // ixUnique
  bool Descending = false;       // ixDescending
  bool CaseInsensitive = false;  // ixCaseInsensitive
  bool operator==(const TIndexOptions&) const = default;
};

struct TIndexDef {
  std::string Name;
  std::string Fields;
  TIndexOptions Options;
};

class TIndexDefs {
 public:
  void Clear() { defs_.clear(); }
  TIndexDef& Add(const std::string& name, const std::string& fields, TIndexOptions options);
  int Count() const { return static_cast<int>(defs_.size()); }
  const TIndexDef& operator[](int i) const { return defs_.at(static_cast<size_t>(i)); }
  // -1 when no definition has the name (ignoring case).
  int IndexOf(const std::string& name) const;
  // The ";"-separated names of a field list, trimmed, empty names dropped.
  static std::vector<std::string> SplitFields(const std::string& fields);

 private:
  std::vector<TIndexDef> defs_;
};

}  // namespace rudira
