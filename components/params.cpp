#include "components/params.h"

#include <map>

#include "components/component_messages.h"
#include "engine/value_text.h"

namespace rudira {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

bool NameChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c >= 128;
}

}  // namespace

std::string ParseParamMarkers(const std::string& sql, std::vector<std::string>* names) {
  std::string out;
  out.reserve(sql.size());
  char quote = 0;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (quote != 0) {
      out += c;
      if (c == quote) {
        // A doubled quote stays inside the literal.
        if (i + 1 < sql.size() && sql[i + 1] == quote) {
          out += sql[i + 1];
          i += 2;
          continue;
        }
        quote = 0;
      }
      ++i;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`') {
      quote = c;
      out += c;
      ++i;
      continue;
    }
    if (c == ':' && i + 1 < sql.size()) {
      const unsigned char next = static_cast<unsigned char>(sql[i + 1]);
      if (next == ':') {
        out += ':';
        i += 2;
        continue;
      }
      if (next == '"') {
        const size_t close = sql.find('"', i + 2);
        if (close != std::string::npos) {
          if (names) names->push_back(sql.substr(i + 2, close - i - 2));
          out += '?';
          i = close + 1;
          continue;
        }
      } else if (NameChar(next)) {
        size_t end = i + 1;
        while (end < sql.size() && NameChar(static_cast<unsigned char>(sql[end]))) ++end;
        if (names) names->push_back(sql.substr(i + 1, end - i - 1));
        out += '?';
        i = end;
        continue;
      }
    }
    out += c;
    ++i;
  }
  return out;
}

void TParam::SetValue(TFieldType type, const TFieldValue& value) {
  dataType_ = type;
  value_ = value;
  bound_ = true;
}

void TParam::Clear() {
  value_ = std::monostate{};
  bound_ = true;
}

int32_t TParam::AsInteger() const {
  return std::visit(
      [](const auto& v) -> int32_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return v ? 1 : 0;
        } else if constexpr (std::is_arithmetic_v<T>) {
          return static_cast<int32_t>(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          try {
            return static_cast<int32_t>(std::stol(v));
          } catch (const std::exception&) {
            throw EConvertError("'" + v + "' is not a valid integer value");
          }
        } else {
          return 0;
        }
      },
      value_);
}

std::string TParam::AsString() const {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return v;
        } else if constexpr (std::is_same_v<T, bool>) {
          return BooleanToText(v);
        } else if constexpr (std::is_integral_v<T>) {
          return std::to_string(v);
        } else if constexpr (std::is_floating_point_v<T>) {
          return FloatToText(static_cast<double>(v));
        } else {
          return {};
        }
      },
      value_);
}

TParam& TParams::Add(const std::string& name) {
  params_.emplace_back(name);
  return params_.back();
}

TParam* TParams::FindParam(const std::string& name) {
  for (TParam& param : params_) {
    if (SameName(param.Name(), name)) return &param;
  }
  return nullptr;
}

TParam& TParams::ParamByName(const std::string& name) {
  TParam* param = FindParam(name);
  if (param == nullptr) RaiseDatabaseError("Parameter '%s' not found", name);
  return *param;
}

void TParams::Rebuild(const std::vector<std::string>& names) {
  std::map<std::string, std::vector<TParam>> old;
  for (TParam& param : params_) old[Upper(param.Name())].push_back(std::move(param));
  std::map<std::string, size_t> used;
  params_.clear();
  for (const std::string& name : names) {
    const std::string key = Upper(name);
    auto found = old.find(key);
    if (found == old.end()) {
      params_.emplace_back(name);
      continue;
    }
    size_t& n = used[key];
    TParam param = found->second[n < found->second.size() ? n : 0];
    ++n;
    param.SetName(name);
    params_.push_back(std::move(param));
  }
}

}  // namespace rudira
