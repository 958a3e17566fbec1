// The capture check run after every stone drawn on a board.
//
// Only the opponent's groups next to the new stone are examined: a group
// without a liberty is taken off, one stone at a time into the capture log.
// The new stone's own group is never examined, so a stone without liberties
// that captures nothing stays on the board, and a single-stone capture may be
// retaken at once (there is no suicide rule and no ko rule).
//
// The check works on the first LineCount x LineCount points of the shared
// BoardState and draws through the window's BoardView.
#ifndef MOMIRO_BOARD_CAPTURE_H_
#define MOMIRO_BOARD_CAPTURE_H_

#include <array>
#include <cstdint>
#include <vector>

#include "board/board_state.h"
#include "board/board_view.h"
#include "board/figure_rows.h"

namespace momiro {

// One side of a neighbour scan: the neighbour's colour |Cells| and point, or
// (kEdgeColour, 0) where the side runs off the board.
struct Neighbour {
  int colour = kEdgeColour;
  int point = 0;
};

// The four neighbours of p in the order above, below, left, right.
std::array<Neighbour, 4> ScanNeighbours(const BoardState& board, int p);

class CaptureCheck {
 public:
  CaptureCheck();

  // Takes off every opposing group next to p left without a liberty and logs
  // each removed stone. During play (MoveCount > 0) the log key is MoveCount;
  // while a lesson is drawn (MoveCount <= 0) it is the current figure row's
  // TES, and `figure` is walked from its first row (it is left where the walk
  // stopped; the caller moves it back). The prisoner box of the colour that
  // could be captured is refreshed even when nothing is taken.
  // REQUIRES: Cells entry p holds a stone (1, 2, -1 or -2).
  void CheckCaptures(BoardState& board, BoardView& view, FigureRows* figure, int moveNumber,
                     int p);

  // Zeroes the capture marks, as clearing the board does.
  void ClearMarks();

 private:
  // True when the opposing group containing seed has no liberty; its points
  // are then in queue_[0..groupSize).
  bool GroupIsCaptured(const BoardState& board, int seed, int opp, int* groupSize);
  // Finds the TES of the last figure row before the current one that put a
  // stone on point x, walking from the first row; 0 when there is none.
  static int EarlierRowOnPoint(FigureRows* figure, int currentTes, int x);

  std::vector<uint8_t> captureMark_;  // per point (index p): 1 = to be taken off
  std::vector<uint8_t> visited_;      // per point: already queued in this search
  std::vector<int> queue_;            // breadth-first queue of the group searched
};

}  // namespace momiro

#endif  // MOMIRO_BOARD_CAPTURE_H_
