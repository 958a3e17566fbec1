// A game on the board <-> an SGF game record.
//
// Import takes the main line of a record (the first child at every node)
// on a 19-, 13- or 9-line board: setup stones (AB, AW) become free stones
// of the move list (move number 0), moves become the numbered moves of an
// alternate game (passes are skipped, the numbers stay consecutive), so
// that "1手戻す" takes them back one by one with their captures; MN[]
// sets a move's number. Removing
// stones (AE), a move on a stone or a point off the board raise ESgfError
// naming the place, before the board is touched.
//
// Export writes the move list (entries 1..MoveCount) of the board in use
// (any of the three sizes): free stones before the first numbered move as
// AB and AW of the root (as long as that keeps their order), every later
// free stone as a setup node of its own, numbered moves as B and W nodes
// (with MN[] where the number is not one more than the move before: the
// board numbers afresh after a free stone); captures are implied. Entries
// that are no stone (texts recorded in the edit layout) are left out.
#ifndef MOMIRO_LESSONS_SGF_GAME_H_
#define MOMIRO_LESSONS_SGF_GAME_H_

#include <memory>
#include <vector>

#include "board/board_rules.h"
#include "board/board_state.h"
#include "lessons/sgf_tree.h"

namespace momiro {

inline constexpr const char* kSgfGameLoaded = "棋譜を並べました。";

struct SgfGameMove {
  int colour = 0;      // kBlack or kWhite
  int point = 0;       // on the game's board
  int moveNumber = 0;  // 0 for a setup (free) stone
  bool operator==(const SgfGameMove&) const = default;
};

struct SgfGame {
  int lines = 19;
  std::vector<SgfGameMove> moves;  // in move-list order
  int toPlay = kBlack;             // the side after the last move (PL[] when there is none)
};

// The main line of a record, checked.
SgfGame SgfToGame(const SgfNode& root);

// Places the moves on a board window just cleared for alternate play with
// LineCount = game.lines: move list, stones, newest number, captures and
// prisoners, and the side to play.
// REQUIRES: rules.Board().LineCount == game.lines and no move recorded.
void PlaceSgfGame(BoardRules& rules, const SgfGame& game);

// The record of the board's move list; none recorded raises ESgfError.
std::unique_ptr<SgfNode> BoardGameToSgf(const BoardState& board);

}  // namespace momiro

#endif  // MOMIRO_LESSONS_SGF_GAME_H_
