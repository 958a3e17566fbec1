#include "lessons/sgf_tree.h"

#include <algorithm>
#include <cctype>

namespace momiro {

ESgfError::ESgfError(const std::string& message, int line, int column)
    : std::runtime_error(message + SgfPosition(line, column)), line_(line), column_(column) {}

std::string SgfPosition(int line, int column) {
  if (line <= 0) return "";
  return "（行 " + std::to_string(line) + "、列 " + std::to_string(column) + "）";
}

SgfNode::~SgfNode() {
  std::vector<std::unique_ptr<SgfNode>> pending = std::move(children_);
  while (!pending.empty()) {
    std::unique_ptr<SgfNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children_) pending.push_back(std::move(child));
    node->children_.clear();
  }
}

const SgfProperty* SgfNode::Find(const std::string& id) const {
  for (const SgfProperty& property : properties_) {
    if (property.id == id) return &property;
  }
  return nullptr;
}

std::string SgfNode::Value(const std::string& id) const {
  const SgfProperty* property = Find(id);
  return property == nullptr || property->values.empty() ? std::string() : property->values.front();
}

void SgfNode::Set(const std::string& id, std::vector<std::string> values) {
  for (SgfProperty& property : properties_) {
    if (property.id == id) {
      property.values = std::move(values);
      return;
    }
  }
  properties_.push_back(SgfProperty{id, std::move(values)});
}

void SgfNode::Add(const std::string& id, const std::string& value) {
  for (SgfProperty& property : properties_) {
    if (property.id == id) {
      property.values.push_back(value);
      return;
    }
  }
  properties_.push_back(SgfProperty{id, {value}});
}

void SgfNode::Remove(const std::string& id) {
  std::erase_if(properties_, [&](const SgfProperty& property) { return property.id == id; });
}

SgfNode& SgfNode::AddChild() {
  children_.push_back(std::make_unique<SgfNode>());
  return *children_.back();
}

namespace {

int CoordinateOf(char c) {
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 26;
  return -1;
}

char CoordinateLetter(int n) { return n < 26 ? static_cast<char>('a' + n) : static_cast<char>('A' + n - 26); }

bool ParseSize(const std::string& text, int& size) {
  if (text.empty() || text.size() > 3) return false;
  size = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    size = size * 10 + (c - '0');
  }
  return size >= 1 && size <= 52;
}

}  // namespace

bool ParseSgfPoint(const std::string& value, SgfPoint& point) {
  if (value.size() != 2) return false;
  const int x = CoordinateOf(value[0]);
  const int y = CoordinateOf(value[1]);
  if (x < 0 || y < 0) return false;
  point = SgfPoint{x, y};
  return true;
}

std::string SgfPointText(SgfPoint point) {
  return std::string{CoordinateLetter(point.x), CoordinateLetter(point.y)};
}

bool ParseSgfMove(const std::string& value, int lines, SgfPoint& point, bool& pass) {
  pass = value.empty() || (value == "tt" && lines <= 19);
  if (pass) return true;
  return ParseSgfPoint(value, point);
}

std::vector<SgfPoint> ExpandPointList(const SgfProperty& property, int lines) {
  std::vector<SgfPoint> points;
  auto add = [&](SgfPoint p) {
    if (p.x >= lines || p.y >= lines) {
      throw ESgfError(property.id + " の点 " + SgfPointText(p) + " が盤の外です。", property.line,
                      property.column);
    }
    if (std::find(points.begin(), points.end(), p) == points.end()) points.push_back(p);
  };
  for (const std::string& value : property.values) {
    SgfPoint from;
    SgfPoint to;
    const size_t colon = value.find(':');
    const bool single = colon == std::string::npos && ParseSgfPoint(value, from);
    const bool rectangle = colon != std::string::npos && ParseSgfPoint(value.substr(0, colon), from) &&
                           ParseSgfPoint(value.substr(colon + 1), to);
    if (single) {
      add(from);
    } else if (rectangle) {
      for (int x = std::min(from.x, to.x); x <= std::max(from.x, to.x); ++x) {
        for (int y = std::min(from.y, to.y); y <= std::max(from.y, to.y); ++y) add(SgfPoint{x, y});
      }
    } else {
      throw ESgfError(property.id + "[" + value + "] は点ではありません。", property.line, property.column);
    }
  }
  return points;
}

int SgfBoardSize(const SgfNode& root) {
  const SgfProperty* sz = root.Find("SZ");
  if (sz == nullptr) return 19;
  const std::string value = sz->values.empty() ? std::string() : sz->values.front();
  const size_t colon = value.find(':');
  int columns = 0;
  int rows = 0;
  if (colon == std::string::npos) {
    if (ParseSize(value, columns)) return columns;
  } else if (ParseSize(value.substr(0, colon), columns) && ParseSize(value.substr(colon + 1), rows)) {
    if (columns == rows) return columns;
    throw ESgfError("長方形の盤（SZ[" + value + "]）は扱えません。", sz->line, sz->column);
  }
  throw ESgfError("盤の大きさ SZ[" + value + "] が正しくありません。", sz->line, sz->column);
}

}  // namespace momiro
