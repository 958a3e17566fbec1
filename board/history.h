// Move history: taking back played moves, counting and emptying the list.
//
// Invariants kept with the placement code: move-list entries 1..MoveCount are
// the moves on the board in the order played and later entries have point 0;
// a capture-log entry belongs to the move whose move-list index equals its
// key, and free log entries are all zero.
#ifndef MOMIRO_BOARD_HISTORY_H_
#define MOMIRO_BOARD_HISTORY_H_

#include "board/board_state.h"
#include "board/board_view.h"

namespace momiro {

struct TakeBackOptions {
  // Show the previous move's number again (alternate play erased it): the
  // main window does so in the view layout only.
  bool showPreviousNumber = true;
  // The small windows always hand the turn over; the main window only when
  // CurrentColour is a colour (> 0).
  bool alwaysSwapColour = false;
};

// Takes back move-list entry MoveCount: restores the stones it captured,
// removes the stone and hands the turn back.
// REQUIRES: board.MoveCount > 0.
void TakeBackMove(BoardState& board, BoardView& view, const TakeBackOptions& options);

// The number of leading move-list entries whose point is > 0.
int CountMoves(const BoardState& board);

// Zeroes move-list entries 1..100 and empties the move texts; MoveCount := 0.
void ClearMoveList(BoardState& board);

}  // namespace momiro

#endif  // MOMIRO_BOARD_HISTORY_H_
