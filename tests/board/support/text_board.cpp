#include "text_board.h"

#include <cstdlib>

#include "board/point_geometry.h"

namespace momiro::testing {

void SetPosition(BoardState& board, const std::vector<std::string>& rows) {
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const char ch = rows[r][c];
      const int value = ch == 'X' ? kBlack : ch == 'O' ? kWhite : kEmpty;
      board.SetCell(PointAt(static_cast<int>(c), static_cast<int>(r), board.LineCount), value);
    }
  }
}

std::vector<std::string> BoardRows(const BoardState& board) {
  const int n = board.LineCount;
  std::vector<std::string> rows(n, std::string(n, '.'));
  for (int p = 1; p <= n * n; ++p) {
    const int value = std::abs(board.Cell(p));
    if (value == kBlack || value == kWhite) {
      rows[PointRow(p, n)][PointColumn(p, n)] = value == kBlack ? 'X' : 'O';
    }
  }
  return rows;
}

int DiagramPoint(int row, int column, int lines) { return PointAt(column, row, lines); }

}  // namespace momiro::testing
