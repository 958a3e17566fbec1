// SgfTree: a game tree of the interchange format SGF (FF[4]) as nodes with
// their properties and their variations, and the small value types its
// properties carry (points, board size, point lists).
//
// A file is a collection of game trees; each tree here is one root node.
// A node holds its properties in file order, each with its values already
// unescaped (texts keep their line breaks as "\n"; soft line breaks are
// gone), and its children in file order: the first child is the main line,
// the others are variations. Nodes own their children.
//
// Line and column (1-based, columns in characters) name the place in the
// decoded file where a node or property began, so that later checks can
// point the user at it; nodes built in memory carry 0.
#ifndef MOMIRO_LESSONS_SGF_TREE_H_
#define MOMIRO_LESSONS_SGF_TREE_H_

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace momiro {

// Anything the SGF code cannot take: malformed text, a character set it
// cannot decode, values it cannot use. The message names the position when
// there is one.
class ESgfError : public std::runtime_error {
 public:
  ESgfError(const std::string& message, int line = 0, int column = 0);
  int Line() const { return line_; }
  int Column() const { return column_; }

 private:
  int line_;
  int column_;
};

// Where a message points: "（行 L、列 C）" or "" for no position.
std::string SgfPosition(int line, int column);

struct SgfProperty {
  std::string id;                   // upper-case identifier: "B", "AB", "C" ...
  std::vector<std::string> values;  // unescaped, UTF-8
  int line = 0;
  int column = 0;
};

class SgfNode {
 public:
  SgfNode() = default;
  // Frees the subtree without recursion, so a long main line cannot use up
  // the stack.
  ~SgfNode();
  SgfNode(const SgfNode&) = delete;
  SgfNode& operator=(const SgfNode&) = delete;

  const std::vector<SgfProperty>& Properties() const { return properties_; }
  const SgfProperty* Find(const std::string& id) const;
  bool Has(const std::string& id) const { return Find(id) != nullptr; }
  // The first value of a property, or "" when it is missing.
  std::string Value(const std::string& id) const;
  // Replaces (or adds at the end) the property with these values.
  void Set(const std::string& id, std::vector<std::string> values);
  // Adds a value to the property, creating it at the end when missing.
  void Add(const std::string& id, const std::string& value);
  void Remove(const std::string& id);
  // Appends a property as read from a file; a property met twice in one
  // node is refused by the reader, not here.
  void AddRead(SgfProperty property) { properties_.push_back(std::move(property)); }

  const std::vector<std::unique_ptr<SgfNode>>& Children() const { return children_; }
  SgfNode& AddChild();

  int line = 0;    // position of the node's ";"
  int column = 0;

 private:
  std::vector<SgfProperty> properties_;
  std::vector<std::unique_ptr<SgfNode>> children_;
};

// A point of the board: x the column from the left, y the row from the
// top, both from 0.
struct SgfPoint {
  int x = 0;
  int y = 0;
  bool operator==(const SgfPoint&) const = default;
};

// "aa" .. "zz", "AA" .. "ZZ" (columns and rows 0..51). False for anything
// else, including the empty value.
bool ParseSgfPoint(const std::string& value, SgfPoint& point);
std::string SgfPointText(SgfPoint point);
// A move value: true with pass set for "" and, on boards up to 19 lines,
// "tt"; false for a value that is no point.
bool ParseSgfMove(const std::string& value, int lines, SgfPoint& point, bool& pass);

// The points of a point-list property: single points and compressed
// rectangles "aa:cc", in value order, each point once. A value that is no
// point or a rectangle off the board raises ESgfError at the property.
std::vector<SgfPoint> ExpandPointList(const SgfProperty& property, int lines);

// The board size of a root node: SZ[n] (1..52), 19 when missing. A
// rectangular board or a bad number raises ESgfError at the property.
int SgfBoardSize(const SgfNode& root);

// The point number of the program's boards for a point on an N-line board:
// numbered down the columns, 1 at the top left.
inline int BoardPointOf(SgfPoint point, int lines) { return point.x * lines + point.y + 1; }
inline SgfPoint SgfPointOf(int boardPoint, int lines) {
  return SgfPoint{(boardPoint - 1) / lines, (boardPoint - 1) % lines};
}

}  // namespace momiro

#endif  // MOMIRO_LESSONS_SGF_TREE_H_
