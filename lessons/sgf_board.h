// SgfBoard: the stones of an N-line board while an SGF tree is read, so
// that setup nodes deep in a tree and game records can be checked and
// turned into whole positions. Moves take off the groups they leave
// without liberties (the other side's first, then the mover's own).
//
// Cells are indexed by the program's point numbers (1..N*N, down the
// columns); 0 empty, 1 black, 2 white.
#ifndef MOMIRO_LESSONS_SGF_BOARD_H_
#define MOMIRO_LESSONS_SGF_BOARD_H_

#include <cstddef>
#include <vector>

namespace momiro {

class SgfBoard {
 public:
  explicit SgfBoard(int lines) : lines_(lines), cells_(static_cast<size_t>(lines * lines + 1), 0) {}

  int Lines() const { return lines_; }
  // REQUIRES: 1 <= p <= Lines()^2.
  int At(int p) const { return cells_[static_cast<size_t>(p)]; }
  void Set(int p, int colour) { cells_[static_cast<size_t>(p)] = colour; }
  // Plays colour at p; false (nothing changed) when p holds a stone.
  bool Play(int colour, int p);
  // Points holding a stone, in point order.
  std::vector<int> Stones() const;

 private:
  // The group of p and whether it has a liberty.
  bool HasLiberty(int p, std::vector<int>& group) const;

  int lines_;
  std::vector<int> cells_;  // index 0 unused
};

}  // namespace momiro

#endif  // MOMIRO_LESSONS_SGF_BOARD_H_
