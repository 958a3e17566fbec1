#include "board/end_of_game.h"

#include "board/point_geometry.h"

namespace momiro {
namespace {

bool DeadListHolds(const BoardState& board, int value) {
  for (int i = 1; i <= board.DeadList.Size(); ++i) {
    if (board.DeadList.At(i) == value) return true;
  }
  return false;
}

// First entry of DeadList still to be examined (positive), or 0.
int FirstUnexamined(const BoardState& board) {
  for (int i = 1; i <= board.DeadList.Size(); ++i) {
    if (board.DeadList.At(i) > 0) return i;
  }
  return 0;
}

void ClearDeadList(BoardState& board) {
  for (int i = 1; i <= board.DeadList.Size(); ++i) board.DeadList.Mutable(i) = 0;
}

}  // namespace

void AddGroupNeighbours(BoardState& board, int point, int colour) {
  const int lines = board.LineCount;
  for (int q : NeighbourPoints(point, lines)) {
    if (q == 0 || board.Cell(q) != colour) continue;
    if (DeadListHolds(board, q) || DeadListHolds(board, -q)) continue;
    ++board.DeadCount;
    board.DeadList.Mutable(board.DeadCount) = q;
  }
}

void DeadGroupClick(BoardState& board, BoardView& view, int p) {
  board.DeadCount = 0;
  if (board.Cell(p) <= 0) return;

  if (board.DeadMarked == 0) {
    ClearDeadList(board);
    board.DeadList.Mutable(1) = p;
    board.DeadCount = 1;
    // The list grows as the chain is walked; each stone enters it once.
    for (int i = FirstUnexamined(board); i != 0; i = FirstUnexamined(board)) {
      const int q = board.DeadList.At(i);
      board.DeadList.Mutable(i) = -q;
      AddGroupNeighbours(board, q, board.Cell(q));
    }
    for (int i = 1; i <= board.DeadList.Size(); ++i) {
      if (board.DeadList.At(i) < 0) view.SetCellText(-board.DeadList.At(i), "*");
    }
    board.DeadMarked = 1;
    return;
  }

  // A second group cannot be marked while one is: only a stone of the
  // marked group takes it off.
  if (!DeadListHolds(board, -p)) return;
  for (int i = 1; i <= board.DeadList.Size(); ++i) {
    const int entry = board.DeadList.At(i);
    if (entry >= 0) continue;
    const int q = -entry;
    view.ClearPicture(q);
    view.SetCellText(q, "");
    if (board.Cell(q) == kBlack) {
      ++board.BlackStonesTaken;
      view.ShowPrisoners(kWhitePrisonerBox, board.BlackStonesTaken);
    } else {
      ++board.WhiteStonesTaken;
      view.ShowPrisoners(kBlackPrisonerBox, board.WhiteStonesTaken);
    }
    board.SetCell(q, kEmpty);
  }
  board.DeadMarked = 0;
}

int PointOwner(const BoardState& board, int p) {
  const int lines = board.LineCount;
  const int points = board.PointCount;
  // Walks from p by step until a stone (its value) or the edge (0). `passed`
  // says when q has left the board in that direction.
  auto look = [&](int step, auto passed) {
    for (int q = p + step;; q += step) {
      if (passed(q)) return 0;
      if (board.Cell(q) > 0) return static_cast<int>(board.Cell(q));
    }
  };
  const int seen[4] = {
      look(-1, [&](int q) { return q % lines == 0; }),      // up: passed the top row
      look(+1, [&](int q) { return q % lines == 1 || q > points; }),  // down
      look(-lines, [&](int q) { return q <= 0; }),           // left
      look(+lines, [&](int q) { return q > points; }),       // right
  };
  int k = 0;
  int sum = 0;
  for (int result : seen) {
    if (result > 0) {
      ++k;
      sum += result;
    }
  }
  if (k == 0) return kOwnerUndecided;
  if (sum % k != 0) return kOwnerNeutral;
  return sum / k;
}

TerritoryCount CountTerritory(const BoardState& board) {
  int blackArea = 0;
  int whiteArea = 0;
  int lastOwner = kOwnerUndecided;
  int pending = 0;
  for (int x = 1; x <= board.PointCount; ++x) {
    if (board.Cell(x) != kEmpty) continue;
    const int owner = PointOwner(board, x);
    if (owner == kBlack || owner == kWhite) {
      lastOwner = owner;
      (owner == kBlack ? blackArea : whiteArea) += pending + 1;
      pending = 0;
    } else if (owner == kOwnerUndecided) {
      ++pending;
    }
    // A neutral point counts for nobody and does not reset pending.
  }
  if (pending > 0) (lastOwner == kBlack ? blackArea : whiteArea) += pending;
  return {blackArea - board.BlackStonesTaken, whiteArea - board.WhiteStonesTaken};
}

}  // namespace momiro
