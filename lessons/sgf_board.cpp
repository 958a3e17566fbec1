#include "lessons/sgf_board.h"

#include "board/point_geometry.h"

namespace momiro {

bool SgfBoard::HasLiberty(int p, std::vector<int>& group) const {
  const int colour = At(p);
  std::vector<bool> seen(cells_.size(), false);
  group.assign(1, p);
  seen[static_cast<size_t>(p)] = true;
  bool liberty = false;
  for (size_t i = 0; i < group.size(); ++i) {
    for (int n : NeighbourPoints(group[i], lines_)) {
      if (n <= 0 || seen[static_cast<size_t>(n)]) continue;
      if (At(n) == 0) {
        liberty = true;
      } else if (At(n) == colour) {
        seen[static_cast<size_t>(n)] = true;
        group.push_back(n);
      }
    }
  }
  return liberty;
}

bool SgfBoard::Play(int colour, int p) {
  if (At(p) != 0) return false;
  Set(p, colour);
  std::vector<int> group;
  for (int n : NeighbourPoints(p, lines_)) {
    if (n > 0 && At(n) != 0 && At(n) != colour && !HasLiberty(n, group)) {
      for (int q : group) Set(q, 0);
    }
  }
  if (!HasLiberty(p, group)) {
    for (int q : group) Set(q, 0);
  }
  return true;
}

std::vector<int> SgfBoard::Stones() const {
  std::vector<int> stones;
  for (int p = 1; p < static_cast<int>(cells_.size()); ++p) {
    if (At(p) != 0) stones.push_back(p);
  }
  return stones;
}

}  // namespace momiro
