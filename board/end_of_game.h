// End of game: marking and taking off dead groups, and the territory count.
//
// There is no life-and-death judgement: the user clicks a dead group once to
// mark it ("*" on each stone) and once more to take it off. The count gives
// each empty point the colour of the nearest stones along its row and column.
#ifndef MOMIRO_BOARD_END_OF_GAME_H_
#define MOMIRO_BOARD_END_OF_GAME_H_

#include <string>

#include "board/board_state.h"
#include "board/board_view.h"

namespace momiro {

// Owner of an empty point.
constexpr int kOwnerUndecided = 0;  // no stone seen
constexpr int kOwnerNeutral = 3;    // both colours seen

// A click on point p in end-of-game mode: marks the clicked stone's chain
// when none is marked, takes the marked chain off when p belongs to it, and
// otherwise does nothing. Removed stones are counted as prisoners but not
// logged, so they cannot be taken back.
void DeadGroupClick(BoardState& board, BoardView& view, int p);

// Appends the same-coloured neighbours of point (those not yet listed, in the
// order above, below, left, right) to DeadList, on a board of LineCount lines.
void AddGroupNeighbours(BoardState& board, int point, int colour);

// Owner of the empty point p: the colour every nearest stone up, down, left
// and right agrees on, kOwnerNeutral when they disagree, kOwnerUndecided when
// no direction meets a stone.
int PointOwner(const BoardState& board, int p);

struct TerritoryCount {
  int black = 0;  // black area less BlackStonesTaken
  int white = 0;  // white area less WhiteStonesTaken
};

// Counts the territory of the board as it stands. Undecided points go to the
// side of the next decided point in point order, and those after the last
// decided point to that point's side (to white when no point is decided).
TerritoryCount CountTerritory(const BoardState& board);

}  // namespace momiro

#endif  // MOMIRO_BOARD_END_OF_GAME_H_
