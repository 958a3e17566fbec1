#include "lessons/sgf_lesson_import.h"

#include <exception>
#include <set>

#include "board/board_state.h"
#include "lessons/figure_player.h"
#include "lessons/lesson_author.h"
#include "lessons/lesson_rows.h"
#include "lessons/lesson_tables.h"
#include "lessons/sgf_board.h"

namespace momiro {
namespace {

constexpr int kLessonLines = 19;
constexpr int kTextOnStoneCode = kTextOnStone * 1000 + kTextStandard * 100;
constexpr int kTextOnBackgroundCode = kTextOnBackground * 1000 + kTextStandard * 100;

bool IsMoveNode(const SgfNode& node) { return node.Has("B") || node.Has("W"); }
bool IsSetupNode(const SgfNode& node) {
  return !IsMoveNode(node) && (node.Has("AB") || node.Has("AW") || node.Has("AE"));
}
bool HasMarks(const SgfNode& node) {
  for (const char* id : {"LB", "TR", "SQ", "CR", "MA"}) {
    if (node.Has(id)) return true;
  }
  return false;
}

}  // namespace

// "正解" that is not the end of "不正解".
bool SgfCommentMarksRight(const std::string& comment) {
  if (comment.find("RIGHT") != std::string::npos) return true;
  static const std::string kRight = "正解";
  static const std::string kNot = "不";
  for (size_t at = comment.find(kRight); at != std::string::npos; at = comment.find(kRight, at + 1)) {
    if (at < kNot.size() || comment.compare(at - kNot.size(), kNot.size(), kNot) != 0) return true;
  }
  return false;
}
bool SgfCommentMarksWrong(const std::string& comment) {
  return comment.find("失敗") != std::string::npos || comment.find("不正解") != std::string::npos;
}

namespace {

// Whether a comment of the node or of any node below it matches.
template <typename Match>
bool LineComment(const SgfNode& first, Match match) {
  std::vector<const SgfNode*> pending{&first};
  while (!pending.empty()) {
    const SgfNode* node = pending.back();
    pending.pop_back();
    if (match(node->Value("C"))) return true;
    for (const auto& child : node->Children()) pending.push_back(child.get());
  }
  return false;
}

}  // namespace

bool SgfLineMarkedRight(const SgfNode& first) { return LineComment(first, SgfCommentMarksRight); }
bool SgfLineMarkedWrong(const SgfNode& first) { return LineComment(first, SgfCommentMarksWrong); }

namespace {

void JoinComment(std::string& into, const std::string& more) {
  if (more.empty()) return;
  if (!into.empty()) into += '\n';
  into += more;
}

class RowBuilder {
 public:
  std::vector<SgfLessonRow> rows;

  void Root(const SgfNode& root) {
    if (IsMoveNode(root)) {
      throw ESgfError("最初のノードに着手があります。教材には基本図になるノードが要ります。", root.line,
                      root.column);
    }
    const SgfNode* figure = &root;
    std::string carried;
    if (!root.Has("AB") && !root.Has("AW") && !root.Has("AE") && !HasMarks(root) &&
        root.Children().size() == 1 && IsSetupNode(*root.Children().front())) {
      carried = root.Value("C");
      figure = root.Children().front().get();
    }
    Figure(*figure, SgfBoard(kLessonLines), carried);
  }

 private:
  struct Continuations {
    std::vector<const SgfNode*> moves;
    std::vector<const SgfNode*> setups;
    std::vector<const SgfNode*> order;  // moves and setups in file order
    std::string comment;  // of nodes with neither move nor setup on the way
  };

  // The nodes that go on from node: its move and setup children, looking
  // through children that carry only a comment.
  static void Collect(const SgfNode& node, Continuations& out) {
    for (const auto& child : node.Children()) {
      if (IsMoveNode(*child)) {
        out.moves.push_back(child.get());
        out.order.push_back(child.get());
      } else if (IsSetupNode(*child)) {
        out.setups.push_back(child.get());
        out.order.push_back(child.get());
      } else {
        JoinComment(out.comment, child->Value("C"));
        Collect(*child, out);
      }
    }
  }

  static bool IsCorrect(const std::vector<const SgfNode*>& moves, size_t index) {
    const SgfNode& first = *moves[index];
    if (first.Has("TE") || SgfLineMarkedRight(first)) return true;
    if (first.Has("WV") || first.Has("BM") || TriangleOnMove(first) || SgfLineMarkedWrong(first)) {
      return false;
    }
    return index == 0;
  }

  static bool TriangleOnMove(const SgfNode& node) {
    const SgfProperty* triangles = node.Find("TR");
    if (triangles == nullptr) return false;
    SgfPoint move;
    bool pass = false;
    const std::string value = node.Has("B") ? node.Value("B") : node.Value("W");
    if (!ParseSgfMove(value, kLessonLines, move, pass) || pass) return false;
    for (SgfPoint p : ExpandPointList(*triangles, kLessonLines)) {
      if (p == move) return true;
    }
    return false;
  }

  // The point and colour of a move node; passes and points off the board
  // are refused.
  static void Move(const SgfNode& node, int& colour, int& p) {
    const SgfProperty* move = node.Find("B");
    colour = kBlack;
    if (move == nullptr) {
      move = node.Find("W");
      colour = kWhite;
    }
    if (node.Has("B") && node.Has("W")) {
      throw ESgfError("一つのノードに黒と白の着手があります。", node.line, node.column);
    }
    SgfPoint point;
    bool pass = false;
    const std::string value = move->values.empty() ? std::string() : move->values.front();
    if (!ParseSgfMove(value, kLessonLines, point, pass)) {
      throw ESgfError(move->id + "[" + value + "] は点ではありません。", move->line, move->column);
    }
    if (pass) throw ESgfError("パスは教材の手順にできません。", move->line, move->column);
    if (point.x >= kLessonLines || point.y >= kLessonLines) {
      throw ESgfError(move->id + "[" + value + "] は盤の外です。", move->line, move->column);
    }
    p = BoardPointOf(point, kLessonLines);
  }

  void Figure(const SgfNode& node, SgfBoard board, const std::string& carried) {
    if (++letters_ > kFigureLetterCount) {
      throw ESgfError("基本図は " + std::to_string(kFigureLetterCount) + " までです。", node.line, node.column);
    }
    // One colour after the other, the colour of the node's first AB or AW
    // first (black when it has none): stones kept from before in point
    // order, then the node's own in file order.
    std::set<int> changed;
    std::vector<std::pair<int, int>> placed;  // point, colour in file order
    int firstColour = 0;
    for (const SgfProperty& property : node.Properties()) {
      if (property.id != "AB" && property.id != "AW" && property.id != "AE") continue;
      const int colour = property.id == "AB" ? kBlack : property.id == "AW" ? kWhite : kEmpty;
      if (firstColour == 0 && colour != kEmpty) firstColour = colour;
      for (SgfPoint point : ExpandPointList(property, kLessonLines)) {
        const int p = BoardPointOf(point, kLessonLines);
        changed.insert(p);
        std::erase_if(placed, [p](const auto& entry) { return entry.first == p; });
        if (colour != kEmpty) placed.emplace_back(p, colour);
      }
    }
    std::vector<int> order;
    const std::vector<int> before = board.Stones();
    for (int p : changed) board.Set(p, kEmpty);
    for (const auto& [p, colour] : placed) board.Set(p, colour);
    if (firstColour == 0) firstColour = kBlack;
    for (int colour : {firstColour, OtherColour(firstColour)}) {
      for (int p : before) {
        if (changed.count(p) == 0 && board.At(p) == colour) order.push_back(p);
      }
      for (const auto& [p, placedColour] : placed) {
        if (placedColour == colour) order.push_back(p);
      }
    }

    Continuations next;
    Collect(node, next);
    std::string comment = carried;
    JoinComment(comment, node.Value("C"));
    JoinComment(comment, next.comment);

    const size_t first = rows.size();
    for (int p : order) rows.push_back(SgfLessonRow{0, board.At(p), p, 0, 0, 0, ""});
    const bool haveStones = rows.size() > first;
    if (haveStones) rows.back().cmt = CutToWidth(comment, kCommentFieldWidth);
    AddMarks(node, board);
    if (!haveStones && (!comment.empty() || rows.size() == first)) {
      rows.push_back(SgfLessonRow{0, kEmpty, 0, 0, 0, 0, CutToWidth(comment, kCommentFieldWidth)});
    }
    rows[first].bto = kBasicFigureStart;
    rows[first].dtx += letters_;
    const int branch = nextBranch_++;
    rows.back().bfr = branch;

    // Setup nodes met below this figure become figures of their own after
    // its sequences, in the order they were met.
    std::vector<Pending> pending;
    std::vector<Pending>* outer = pending_;
    pending_ = &pending;
    Follow(next, branch, 0, board, 1);
    pending_ = outer;
    for (const Pending& later : pending) Figure(*later.node, later.board, "");
  }

  void AddMarks(const SgfNode& node, const SgfBoard& board) {
    std::set<int> marked;
    for (const SgfProperty& property : node.Properties()) {
      std::vector<std::pair<SgfPoint, std::string>> marks;
      if (property.id == "LB") {
        for (const std::string& value : property.values) {
          const size_t colon = value.find(':');
          SgfPoint point;
          if (colon == std::string::npos || !ParseSgfPoint(value.substr(0, colon), point) ||
              point.x >= kLessonLines || point.y >= kLessonLines) {
            throw ESgfError("LB[" + value + "] は「点:文字」ではありません。", property.line, property.column);
          }
          marks.emplace_back(point, value.substr(colon + 1));
        }
      } else {
        const char* text = property.id == "TR"   ? kTriangleText
                           : property.id == "SQ" ? kSquareText
                           : property.id == "CR" ? kCircleText
                           : property.id == "MA" ? kCrossText
                                                 : nullptr;
        if (text == nullptr) continue;
        for (SgfPoint point : ExpandPointList(property, kLessonLines)) marks.emplace_back(point, text);
      }
      for (const auto& [point, text] : marks) {
        const int p = BoardPointOf(point, kLessonLines);
        if (text.empty() || !marked.insert(p).second) continue;
        const int stone = board.At(p);
        rows.push_back(stone != kEmpty
                           ? SgfLessonRow{0, stone, p, 0, 0, kTextOnStoneCode, CutToWidth(text, kCommentFieldWidth)}
                           : SgfLessonRow{0, kBackgroundMark, p, 0, 0, kTextOnBackgroundCode,
                                          CutToWidth(text, kCommentFieldWidth)});
      }
    }
  }

  // What goes on from a branch row: a run for each move; setup nodes wait
  // for the figure being built to end.
  void Follow(const Continuations& next, int branch, int tes, const SgfBoard& board, int depth) {
    const std::vector<const SgfNode*>& moves = next.moves;
    if (moves.size() > static_cast<size_t>(kChoiceCapacity)) {
      const SgfNode& extra = *moves[kChoiceCapacity];
      throw ESgfError("一つの局面からの変化は " + std::to_string(kChoiceCapacity) + " までです。", extra.line,
                      extra.column);
    }
    size_t i = 0;
    for (const SgfNode* node : next.order) {
      if (IsSetupNode(*node)) {
        pending_->push_back(Pending{node, board});
        continue;
      }
      if (depth + 1 > kMaxPathDepth) {
        throw ESgfError("変化の入れ子が " + std::to_string(kMaxPathDepth) + " 段を超えます。", node->line,
                        node->column);
      }
      Run(*node, branch, tes, board, !IsCorrect(moves, i), depth + 1);
      ++i;
    }
  }

  void Run(const SgfNode& start, int from, int tes, SgfBoard board, bool wrong, int depth) {
    const SgfNode* node = &start;
    bool firstRow = true;
    for (;;) {
      int colour = 0;
      int p = 0;
      Move(*node, colour, p);
      if (!board.Play(colour, p)) {
        throw ESgfError("石のある点に打っています。", node->line, node->column);
      }
      SgfLessonRow row{++tes, firstRow && wrong ? -colour : colour, p, 0, firstRow ? from : 0, 0, ""};
      Continuations next;
      Collect(*node, next);
      std::string comment = node->Value("C");
      JoinComment(comment, next.comment);
      row.cmt = CutToWidth(comment, kCommentFieldWidth);
      rows.push_back(row);
      firstRow = false;
      if (next.moves.size() == 1) {
        for (const SgfNode* setup : next.setups) pending_->push_back(Pending{setup, board});
        node = next.moves.front();
        continue;
      }
      const int branch = nextBranch_++;
      rows.back().bfr = branch;
      Follow(next, branch, tes, board, depth);
      return;
    }
  }

  // A setup node waiting for its figure, with the position there.
  struct Pending {
    const SgfNode* node;
    SgfBoard board;
  };

  int letters_ = 0;
  int nextBranch_ = 1;
  std::vector<Pending>* pending_ = nullptr;  // of the figure being built
};

}  // namespace

std::string CutToWidth(const std::string& text, int width) {
  if (text.size() <= static_cast<size_t>(width)) return text;
  size_t end = static_cast<size_t>(width);
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::vector<SgfLessonRow> SgfToLessonRows(const SgfNode& root) {
  const int lines = SgfBoardSize(root);
  if (lines != kLessonLines) {
    const SgfProperty* sz = root.Find("SZ");
    throw ESgfError("教材にできるのは19路盤の棋譜だけです（SZ[" + std::to_string(lines) + "]）。",
                    sz != nullptr ? sz->line : root.line, sz != nullptr ? sz->column : root.column);
  }
  RowBuilder builder;
  builder.Root(root);
  return std::move(builder.rows);
}

void CheckImportTarget(LessonQuery& contents, LessonQuery& figures, int number, const std::string& title) {
  if (title.empty()) throw ESgfError("題名を入れてください。");
  if (title.size() > static_cast<size_t>(kTitleFieldWidth)) {
    throw ESgfError("題名が長すぎます（" + std::to_string(kTitleFieldWidth) + " バイトまで）。");
  }
  if (number < kFirstAuthoredNumber || number % 100 == 0) {
    throw ESgfError("目次番号 " + std::to_string(number) + " は使えません。" +
                    std::to_string(kFirstAuthoredNumber) + " 以上で 100 の倍数でない番号にしてください。");
  }
  SetSql(contents, {kContentsSelect, kFiguresWhere});
  contents.SetParamInt(0, number);
  contents.Open();
  if (!contents.IsEmpty()) throw ESgfError("目次番号 " + std::to_string(number) + " は既にあります。");
  OpenFigures(figures, number);
  if (!figures.IsEmpty()) {
    throw ESgfError("目次番号 " + std::to_string(number) + " の図の行が既にあります。");
  }
}

namespace {

// Takes back the rows of number after a failed write; the first error is
// the one reported, so failures here are not.
void TakeBack(LessonQuery& contents, LessonQuery& figures, int number) {
  try {
    contents.Close();
    SetSql(contents, {kContentsSelect, kFiguresWhere});
    contents.SetParamInt(0, number);
    contents.Open();
    while (!contents.IsEmpty()) contents.Delete();
  } catch (...) {
  }
  try {
    figures.Close();
    OpenFigures(figures, number);
    figures.First();
    while (!figures.IsEmpty()) figures.Delete();
  } catch (...) {
  }
}

}  // namespace

void ImportSgfLesson(LessonQuery& contents, LessonQuery& figures, const std::vector<const SgfNode*>& trees,
                     int number, const std::string& title) {
  if (trees.size() != 1) {
    throw ESgfError("ファイルに棋譜が " + std::to_string(trees.size()) + " つあります。教材にできるのは一つだけです。");
  }
  const std::vector<SgfLessonRow> rows = SgfToLessonRows(*trees.front());
  CheckImportTarget(contents, figures, number, title);
  try {
    contents.Append();
    contents.SetFieldInt(kContentsMNB, number);
    contents.SetFieldText(kContentsITM, title);
    contents.Post();
    for (const SgfLessonRow& row : rows) {
      figures.Append();
      figures.SetFieldInt(kFigureMNB, number);
      figures.SetFieldInt(kFigureTES, row.tes);
      figures.SetFieldInt(kFigureCOL, row.col);
      figures.SetFieldInt(kFigurePST, row.pst);
      figures.SetFieldInt(kFigureBFR, row.bfr);
      figures.SetFieldInt(kFigureBTO, row.bto);
      figures.SetFieldInt(kFigureDTX, row.dtx);
      if (!row.cmt.empty()) figures.SetFieldText(kFigureCMT, row.cmt);
    }
    figures.Post();
    OpenFigures(figures, number);
  } catch (...) {
    TakeBack(contents, figures, number);
    throw;
  }
}

}  // namespace momiro
