// Every sequence of the lessons supplied with the program, replayed through
// the board code along every path from its basic figure: no stone is put on
// a stone, each move takes off exactly the stones the lesson says it
// captures, no move leaves its own group without a liberty, and no move
// retakes a ko at once.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "board/board_rules.h"
#include "board/board_state.h"
#include "board/support/recording_view.h"
#include "tools/kyozai/lesson_files.h"

namespace momiro {
namespace {

struct LessonRun {
  size_t first = 0;
  size_t last = 0;
};

// The runs of an entry's rows and, for each, the run it continues (-1 for a
// basic figure), found through BFR and BTO as the player finds them.
struct RunGraph {
  std::vector<LessonRun> runs;
  std::vector<int> parent;
  std::vector<bool> continued;  // some run continues from this run's branch row

  explicit RunGraph(const std::vector<LessonRow>& rows) {
    std::map<int, int> runOfBranch;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].bto != 0) runs.push_back({i, i});
      runs.back().last = i;
      if (rows[i].bfr > 0) runOfBranch[rows[i].bfr] = static_cast<int>(runs.size()) - 1;
    }
    continued.assign(runs.size(), false);
    for (const LessonRun& run : runs) {
      const int bto = rows[run.first].bto;
      const int p = bto == kBasicFigureLink ? -1 : runOfBranch.at(bto);
      parent.push_back(p);
      if (p >= 0) continued[static_cast<size_t>(p)] = true;
    }
  }

  // Runs from the basic figure down to `leaf`.
  std::vector<int> PathTo(int leaf) const {
    std::vector<int> path;
    for (int r = leaf; r >= 0; r = parent[static_cast<size_t>(r)]) path.insert(path.begin(), r);
    return path;
  }
};

bool IsStone(int value) {
  return value == 1 || value == 2 || value == -1 || value == -2;
}
int ColourOf(int value) {
  return value < 0 ? -value : value;
}

std::vector<int> Neighbours(int p) {
  std::vector<int> out;
  const int n = kLessonLines;
  if ((p - 1) % n != 0) out.push_back(p - 1);
  if (p % n != 0) out.push_back(p + 1);
  if (p - n > 0) out.push_back(p - n);
  if (p + n <= n * n) out.push_back(p + n);
  return out;
}

// The group of the stone at p and its number of liberties.
std::pair<std::set<int>, int> GroupOf(const BoardState& board, int p) {
  std::set<int> group = {p};
  std::set<int> liberties;
  std::vector<int> queue = {p};
  const int colour = ColourOf(board.Cell(p));
  while (!queue.empty()) {
    const int q = queue.back();
    queue.pop_back();
    for (int x : Neighbours(q)) {
      const int value = board.Cell(x);
      if (!IsStone(value))
        liberties.insert(x);
      else if (ColourOf(value) == colour && group.insert(x).second)
        queue.push_back(x);
    }
  }
  return {group, static_cast<int>(liberties.size())};
}

std::set<int> Stones(const BoardState& board) {
  std::set<int> stones;
  for (int p = 1; p <= kLessonLines * kLessonLines; ++p) {
    if (IsStone(board.Cell(p))) stones.insert(p);
  }
  return stones;
}

std::string Names(const std::set<int>& points) {
  std::string out;
  for (int p : points) out += (out.empty() ? "" : " ") + PointName(p);
  return out.empty() ? "(none)" : out;
}

// Replays one path on a fresh main board and reports every broken promise.
void ReplayPath(const LessonEntry& entry, const RunGraph& graph, const std::vector<int>& path) {
  BoardState board;
  testing::RecordingView view;
  BoardRules rules(board, view);
  board.ProgramDirectory = "/prog/";
  rules.ClearBoard();
  board.AppMode = kAppView;
  board.PlayMode = kPlayFree;

  int koPoint = 0;  // point the previous move's single capture emptied, when it was a ko
  int koTaker = 0;  // the stone that took it
  for (int r : path) {
    const LessonRun& run = graph.runs[static_cast<size_t>(r)];
    for (size_t i = run.first; i <= run.last; ++i) {
      const LessonRow& row = entry.rows[i];
      const std::string where =
          row.file + ":" + std::to_string(row.line) + " (" + PointName(row.pst) + ")";
      const std::set<int> before = Stones(board);
      if (row.tes == 0) {
        // A basic figure's row: stones on empty points, nothing captured.
        if (row.col == 1 || row.col == 2) {
          EXPECT_FALSE(IsStone(board.Cell(row.pst))) << where << ": a figure stone on a stone";
          board.SetCell(row.pst, row.col);
        }
        rules.PlacePoint(0, row.col, row.pst, row.dtx >= 100 ? row.dtx / 100 : 0, row.cmt);
        std::set<int> expected = before;
        if (row.col == 1 || row.col == 2) expected.insert(row.pst);
        EXPECT_EQ(Names(Stones(board)), Names(expected)) << where << ": the figure took stones off";
        continue;
      }
      ASSERT_FALSE(IsStone(board.Cell(row.pst))) << where << ": the move lands on a stone";
      board.SetCell(row.pst, row.col);
      rules.PlacePoint(row.tes, row.col, row.pst, 2, row.cmt);
      std::set<int> removed;
      for (int p : before) {
        if (!IsStone(board.Cell(p))) removed.insert(p);
      }
      const std::set<int> promised(row.captures.begin(), row.captures.end());
      EXPECT_EQ(Names(removed), Names(promised)) << where << ": stones taken off";
      const auto [group, liberties] = GroupOf(board, row.pst);
      EXPECT_GT(liberties, 0) << where << ": the move leaves its own group without a liberty";
      for (int p : Stones(board)) {
        EXPECT_GT(GroupOf(board, p).second, 0)
            << where << ": " << PointName(p) << " stays without a liberty";
      }
      EXPECT_FALSE(row.pst == koPoint && removed == std::set<int>{koTaker})
          << where << ": the ko is retaken at once";
      const bool ko = removed.size() == 1 && group.size() == 1 && liberties == 1;
      koPoint = ko ? *removed.begin() : 0;
      koTaker = ko ? row.pst : 0;
    }
  }
}

TEST(LessonReplayTest, EverySequenceOfTheSuppliedLessonsPlaysAsItSays) {
  const std::vector<LessonEntry> entries = testing::SuppliedLessons();
  ASSERT_FALSE(entries.empty());
  size_t moves = 0, captures = 0;
  for (const LessonEntry& entry : entries) {
    const RunGraph graph(entry.rows);
    std::vector<bool> replayed(graph.runs.size(), false);
    for (size_t r = 0; r < graph.runs.size(); ++r) {
      if (graph.continued[r]) continue;  // not a leaf: its paths go on below
      const std::vector<int> path = graph.PathTo(static_cast<int>(r));
      ReplayPath(entry, graph, path);
      for (int run : path) replayed[static_cast<size_t>(run)] = true;
    }
    for (size_t r = 0; r < graph.runs.size(); ++r) {
      EXPECT_TRUE(replayed[r]) << entry.file << ":" << entry.rows[graph.runs[r].first].line;
      const LessonRun& run = graph.runs[r];
      for (size_t i = run.first; i <= run.last; ++i) {
        if (entry.rows[i].tes == 0) continue;
        ++moves;
        if (!entry.rows[i].captures.empty()) ++captures;
      }
    }
  }
  // The lessons teach capturing: the replay saw moves and promised captures.
  EXPECT_GT(moves, 0u);
  EXPECT_GT(captures, 0u);
}

void ReplayOccupied() {
  const LessonEntry occupied =
      ParseLessonSource("entry 110 題名\nfigure A f\n  W D4\nsequence f\n  B D4\n", "occupied.txt");
  ReplayPath(occupied, RunGraph(occupied.rows), {0, 1});
}

// The replay itself notices a lesson whose promise is false.
TEST(LessonReplayTest, AFalsePromiseOrAMoveOnAStoneIsReported) {
  const LessonEntry wrongCapture = ParseLessonSource(
      "entry 110 題名\nfigure A f\n  W D4\n  B C4 D5\nsequence f\n  B E4 captures D4\n",
      "false.txt");
  EXPECT_NONFATAL_FAILURE(ReplayPath(wrongCapture, RunGraph(wrongCapture.rows), {0, 1}),
                          "stones taken off");
  const LessonEntry missedCapture = ParseLessonSource(
      "entry 110 題名\nfigure A f\n  W D4\n  B C4 D5 E4\nsequence f\n  B D3\n", "missed.txt");
  EXPECT_NONFATAL_FAILURE(ReplayPath(missedCapture, RunGraph(missedCapture.rows), {0, 1}),
                          "stones taken off");
  EXPECT_FATAL_FAILURE(ReplayOccupied(), "the move lands on a stone");
  const LessonEntry ko = ParseLessonSource(
      "entry 110 題名\nfigure A f\n  B D5 C4 D3\n  W E5 F4 E3 D4\n"
      "sequence f\n  B E4 captures D4\n  W D4 captures E4\n",
      "ko.txt");
  EXPECT_NONFATAL_FAILURE(ReplayPath(ko, RunGraph(ko.rows), {0, 1}), "the ko is retaken at once");
}

}  // namespace
}  // namespace momiro
