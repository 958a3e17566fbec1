#include "lessons/sgf_lesson_export.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "board/board_state.h"
#include "lessons/lesson_tables.h"

namespace momiro {
namespace {

constexpr int kLessonLines = 19;

struct Run {
  size_t first = 0;  // row indexes, both included
  size_t last = 0;
};

[[noreturn]] void BadRow(size_t index, const std::string& detail) {
  throw ESgfError("図の行が SGF にできません（TNB " + std::to_string(index + 1) + "）：" + detail);
}

std::string PointValue(int p) { return SgfPointText(SgfPointOf(p, kLessonLines)); }

void AddMark(SgfNode& node, int p, const std::string& text) {
  if (text.empty()) return;
  const std::string point = PointValue(p);
  if (text == kTriangleText) {
    node.Add("TR", point);
  } else if (text == kSquareText) {
    node.Add("SQ", point);
  } else if (text == kCircleText) {
    node.Add("CR", point);
  } else if (text == kCrossText) {
    node.Add("MA", point);
  } else {
    node.Add("LB", point + ":" + text);
  }
}

void AddComment(SgfNode& node, const std::string& text) {
  if (text.empty()) return;
  std::string comment = node.Value("C");
  if (!comment.empty()) comment += '\n';
  comment += text;
  node.Set("C", {comment});
}

class TreeBuilder {
 public:
  TreeBuilder(const std::vector<SgfLessonRow>& rows) : rows_(rows) {
    for (size_t i = 0; i < rows.size();) {
      if (rows[i].bto == 0) BadRow(i, "手順の最初の行ではありません（BTO 0）。");
      Run run{i, i};
      while (rows[run.last].bfr <= 0) {
        if (run.last + 1 >= rows.size() || rows[run.last + 1].bto != 0) {
          BadRow(run.last, "分岐の行（BFR）で終わっていません。");
        }
        ++run.last;
      }
      if (rows[i].bto == kBasicFigureStart) {
        figures_.push_back(run);
      } else {
        from_[rows[i].bto].push_back(run);
      }
      if (!branches_.insert(rows[run.last].bfr).second) BadRow(run.last, "分岐の番号が二度使われています。");
      i = run.last + 1;
    }
    for (const auto& [branch, runs] : from_) {
      if (branches_.count(branch) == 0) BadRow(runs.front().first, "続く分岐の行がありません。");
    }
    if (figures_.empty()) throw ESgfError("基本図がありません。");
  }

  std::unique_ptr<SgfNode> Build(const std::string& title) {
    auto root = std::make_unique<SgfNode>();
    root->Set("FF", {"4"});
    root->Set("GM", {"1"});
    root->Set("SZ", {std::to_string(kLessonLines)});
    root->Set("CA", {"UTF-8"});
    if (!title.empty()) root->Set("GN", {title});
    const std::vector<int> rootStones = FigureNode(*root, figures_.front());

    // The root's continuations and the further figures, in row order.
    std::vector<std::pair<size_t, const Run*>> below;
    const int rootBranch = rows_[figures_.front().last].bfr;
    std::vector<SgfNode*> continuations;
    for (const Run& run : from_[rootBranch]) below.emplace_back(run.first, &run);
    for (size_t i = 1; i < figures_.size(); ++i) below.emplace_back(figures_[i].first, &figures_[i]);
    std::sort(below.begin(), below.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [first, run] : below) {
      SgfNode& child = root->AddChild();
      if (rows_[run->first].bto == kBasicFigureStart) {
        for (int p : rootStones) child.Add("AE", PointValue(p));
        FigureNode(child, *run);
        Continue(child, rows_[run->last].bfr);
      } else {
        continuations.push_back(&child);
        SequenceNodes(child, *run);
      }
    }
    MarkRightAndWrong(continuations, from_[rootBranch]);
    return root;
  }

 private:
  // The node of a basic figure; the points of its stones.
  std::vector<int> FigureNode(SgfNode& node, const Run& run) {
    std::vector<int> stones;
    auto addStone = [&](int colour, int p) {
      if (std::find(stones.begin(), stones.end(), p) != stones.end()) return;
      stones.push_back(p);
      node.Add(colour == kBlack ? "AB" : "AW", PointValue(p));
    };
    for (size_t i = run.first; i <= run.last; ++i) {
      const SgfLessonRow& row = rows_[i];
      const int colour = std::abs(row.col);
      if (row.pst == 0) {
        AddComment(node, row.cmt);
        continue;
      }
      if (row.pst < 1 || row.pst > kLessonLines * kLessonLines) BadRow(i, "点が盤の外です。");
      const int display = row.dtx / 100;
      if (display == 0) {
        if (colour == kBlack || colour == kWhite) addStone(colour, row.pst);
        AddComment(node, row.cmt);
      } else if (display / 10 == kTextOnStone && (colour == kBlack || colour == kWhite)) {
        addStone(colour, row.pst);
      }
    }
    for (size_t i = run.first; i <= run.last; ++i) {
      const SgfLessonRow& row = rows_[i];
      if (row.pst != 0 && row.dtx / 100 != 0) AddMark(node, row.pst, row.cmt);
    }
    return stones;
  }

  // The move nodes of a sequence, from node (the run's first row) on.
  void SequenceNodes(SgfNode& first, const Run& run) {
    SgfNode* node = nullptr;
    for (size_t i = run.first; i <= run.last; ++i) {
      const SgfLessonRow& row = rows_[i];
      if (row.pst < 1 || row.pst > kLessonLines * kLessonLines) BadRow(i, "点が盤の外です。");
      if (row.dtx / 100 != 0 && node != nullptr) {
        AddMark(*node, row.pst, row.cmt);  // a text among the moves marks the move before it
        continue;
      }
      const int colour = std::abs(row.col);
      if (colour != kBlack && colour != kWhite) BadRow(i, "手順の行が石ではありません。");
      node = node == nullptr ? &first : &node->AddChild();
      node->Set(colour == kBlack ? "B" : "W", {PointValue(row.pst)});
      AddComment(*node, row.cmt);
    }
    Continue(*node, rows_[run.last].bfr);
  }

  void Continue(SgfNode& node, int branch) {
    auto found = from_.find(branch);
    if (found == from_.end()) return;
    std::vector<SgfNode*> children;
    for (const Run& run : found->second) {
      SgfNode& child = node.AddChild();
      children.push_back(&child);
      SequenceNodes(child, run);
    }
    MarkRightAndWrong(children, found->second);
  }

  // BM[1] on wrong first moves; TE[1] on correct ones that would read as
  // wrong without it.
  void MarkRightAndWrong(const std::vector<SgfNode*>& nodes, const std::vector<Run>& runs) {
    for (size_t i = 0; i < nodes.size(); ++i) {
      if (rows_[runs[i].first].col < 0) {
        nodes[i]->Set("BM", {"1"});
      } else if (i > 0 || SgfLineMarkedWrong(*nodes[i])) {
        nodes[i]->Set("TE", {"1"});
      }
    }
  }

  const std::vector<SgfLessonRow>& rows_;
  std::vector<Run> figures_;
  std::map<int, std::vector<Run>> from_;  // runs by the branch they continue, in row order
  // Branch numbers are distinct and each run continues one of them, so the
  // runs reached from the figures form trees: no run is written twice, and
  // runs in a ring of their own are never reached.
  std::set<int> branches_;
};

}  // namespace

std::unique_ptr<SgfNode> LessonRowsToSgf(const std::vector<SgfLessonRow>& rows, const std::string& title) {
  return TreeBuilder(rows).Build(title);
}

std::vector<SgfLessonRow> ReadLessonRows(LessonQuery& figures, int number) {
  OpenFigures(figures, number);
  std::vector<SgfLessonRow> rows;
  figures.First();
  while (!figures.Eof() && !figures.IsEmpty()) {
    rows.push_back(SgfLessonRow{figures.FieldInt(kFigureTES), figures.FieldInt(kFigureCOL),
                                figures.FieldInt(kFigurePST), figures.FieldInt(kFigureBFR),
                                figures.FieldInt(kFigureBTO), figures.FieldInt(kFigureDTX),
                                figures.FieldText(kFigureCMT)});
    figures.Next();
  }
  return rows;
}

std::unique_ptr<SgfNode> ExportSgfLesson(LessonQuery& contents, LessonQuery& figures, int number) {
  std::string title;
  for (int candidate : {number, number - 1}) {
    if (candidate != number && (number % 100 != 1 || number < 100)) break;
    SetSql(contents, {kContentsSelect, kFiguresWhere});
    contents.SetParamInt(0, candidate);
    contents.Open();
    const bool found = !contents.IsEmpty();
    if (found) title = contents.FieldText(kContentsITM);
    contents.Close();
    if (found) break;
  }
  const std::vector<SgfLessonRow> rows = ReadLessonRows(figures, number);
  if (rows.empty()) throw ESgfError("目次番号 " + std::to_string(number) + " には図の行がありません。");
  return LessonRowsToSgf(rows, title);
}

}  // namespace momiro
