#include "board/history.h"

#include <algorithm>
#include <string>

#include "board/stone_pictures.h"

namespace momiro {

void TakeBackMove(BoardState& board, BoardView& view, const TakeBackOptions& options) {
  assert(board.MoveCount > 0);

  // 1. Restore the stones this move captured, in log order.
  for (int i = 1; i <= board.CaptureLog.Size(); ++i) {
    CaptureEntry& entry = board.CaptureLog.Mutable(i);
    if (entry.IsFree() || entry.key != board.MoveCount) continue;
    const int colour = entry.colour;
    const int point = entry.point;
    board.CurrentColour = colour;
    board.SetCell(point, colour);
    entry = CaptureEntry{};
    --board.CaptureCount;
    view.LoadPicture(point, StonePicturePath(board, colour));
    if (colour == kBlack) {
      --board.BlackStonesTaken;
      view.ShowPrisoners(kWhitePrisonerBox, board.BlackStonesTaken);
    } else {
      --board.WhiteStonesTaken;
      view.ShowPrisoners(kBlackPrisonerBox, board.WhiteStonesTaken);
    }
  }

  // 2. Remove the move itself.
  MoveEntry& move = board.MoveList.Mutable(board.MoveCount);
  const int q = move.point;
  if (q > 0) {
    view.ClearPicture(q);
    view.SetCellText(q, "");
    view.SetCellTransparent(q);
    board.SetCell(q, kEmpty);
  }
  move.point = 0;
  --board.MoveCount;
  --board.MoveNumber;

  // 3. and 4. The previous move becomes the last point again, with the number
  // that alternate play had erased.
  const int r = board.MoveCount > 0 ? board.MoveList.At(board.MoveCount).point : 0;
  if (options.showPreviousNumber && r > 0 && board.MoveNumber > 0) {
    view.SetCellText(r, std::to_string(board.MoveNumber));
  }
  board.LastPoint = r;

  // 5. Without captures CurrentColour held the other side; with captures
  // step 1 left it holding the captured (other) side. Either way the division
  // gives the turn back to the side whose move was taken back.
  if (options.alwaysSwapColour ? board.CurrentColour != 0 : board.CurrentColour > 0) {
    board.CurrentColour = OtherColour(board.CurrentColour);
  }
}

int CountMoves(const BoardState& board) {
  int count = 0;
  while (board.MoveList.At(count + 1).point > 0) ++count;
  return count;
}

void ClearMoveList(BoardState& board) {
  // A list that grew past 100 entries is cleared up to its last move too, so
  // that entries after MoveCount keep point 0.
  const int last = std::max(kMoveTextCapacity, board.MoveCount);
  for (int i = 1; i <= last; ++i) {
    board.MoveList.Mutable(i) = MoveEntry{};
    board.MoveTexts.Mutable(i).clear();
  }
  board.MoveCount = 0;
}

}  // namespace momiro
