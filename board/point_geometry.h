// Point numbering of an N-line board.
//
// Points are numbered 1..N*N down the columns: point p lies in column
// (p - 1) div N from the left and row (p - 1) mod N from the top, both from 0,
// so p = column * N + row + 1. Point 1 is the top-left corner, point N the
// bottom-left corner and point N*N the bottom-right corner. The same number
// names the point's picture cell Image<p> and text cell Label<p>.
#ifndef MOMIRO_BOARD_POINT_GEOMETRY_H_
#define MOMIRO_BOARD_POINT_GEOMETRY_H_

#include <array>

namespace momiro {

constexpr int kBoardPitch = 28;  // pixels between lines, in every window

inline int PointColumn(int p, int lines) { return (p - 1) / lines; }
inline int PointRow(int p, int lines) { return (p - 1) % lines; }
inline int PointAt(int column, int row, int lines) { return column * lines + row + 1; }

// The four neighbours of p in the fixed order above, below, left, right; 0
// where the side runs off the board.
inline std::array<int, 4> NeighbourPoints(int p, int lines) {
  const int points = lines * lines;
  return {
      (p - 1) % lines == 0 ? 0 : p - 1,
      p % lines == 0 ? 0 : p + 1,
      p - lines <= 0 ? 0 : p - lines,
      p + lines > points ? 0 : p + lines,
  };
}

// The point of a main-window text cell from the cell's left and top position.
// The main window always uses 19 lines here.
inline int PointFromLabel(int left, int top) {
  return ((left - 3) / kBoardPitch) * 19 + (top - 8) / kBoardPitch + 1;
}

}  // namespace momiro

#endif  // MOMIRO_BOARD_POINT_GEOMETRY_H_
