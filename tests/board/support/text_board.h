// Go positions written as text, for tests: one string per row, top row
// first, '.' empty, 'X' black, 'O' white.
#ifndef MOMIRO_TESTS_BOARD_SUPPORT_TEXT_BOARD_H_
#define MOMIRO_TESTS_BOARD_SUPPORT_TEXT_BOARD_H_

#include <string>
#include <vector>

#include "board/board_state.h"

namespace momiro::testing {

// Writes the diagram into the top-left corner of the board's Cells (the rest
// is left as it is). Rows may be shorter than the board.
void SetPosition(BoardState& board, const std::vector<std::string>& rows);

// The whole board as rows of '.', 'X' and 'O'.
std::vector<std::string> BoardRows(const BoardState& board);

// The point of the character at (row, column) of a diagram on `lines` lines.
int DiagramPoint(int row, int column, int lines = 19);

}  // namespace momiro::testing

#endif  // MOMIRO_TESTS_BOARD_SUPPORT_TEXT_BOARD_H_
