#include "board/capture.h"

#include <algorithm>
#include <cstdlib>

#include "board/point_geometry.h"

namespace momiro {

std::array<Neighbour, 4> ScanNeighbours(const BoardState& board, int p) {
  std::array<Neighbour, 4> result;
  const std::array<int, 4> points = NeighbourPoints(p, board.LineCount);
  for (int k = 0; k < 4; ++k) {
    if (points[k] != 0) result[k] = {std::abs(board.Cell(points[k])), points[k]};
  }
  return result;
}

CaptureCheck::CaptureCheck()
    : captureMark_(kMaxPoints + 1, 0), visited_(kMaxPoints + 1, 0), queue_() {
  queue_.reserve(kMaxPoints);
}

void CaptureCheck::ClearMarks() { std::fill(captureMark_.begin(), captureMark_.end(), 0); }

bool CaptureCheck::GroupIsCaptured(const BoardState& board, int seed, int opp, int* groupSize) {
  std::fill(visited_.begin(), visited_.end(), 0);
  queue_.clear();
  queue_.push_back(seed);
  visited_[seed] = 1;
  // The search stops at the first liberty it meets: a group that has one is
  // dropped at once, so only groups that are really captured are walked whole.
  for (size_t i = 0; i < queue_.size(); ++i) {
    for (const Neighbour& n : ScanNeighbours(board, queue_[i])) {
      if (n.colour == kEmpty) return false;
      if (n.point > 0 && !visited_[n.point] && n.colour == opp) {
        visited_[n.point] = 1;
        queue_.push_back(n.point);
      }
    }
  }
  *groupSize = static_cast<int>(queue_.size());
  return true;
}

int CaptureCheck::EarlierRowOnPoint(FigureRows* figure, int currentTes, int x) {
  int remembered = 0;
  if (figure == nullptr || !figure->First()) return 0;
  do {
    if (figure->CurrentTES() >= currentTes) break;
    if (figure->CurrentPST() == x) remembered = figure->CurrentTES();
  } while (figure->Next());
  return remembered;
}

void CaptureCheck::CheckCaptures(BoardState& board, BoardView& view, FigureRows* figure,
                                 int moveNumber, int p) {
  assert(IsStoneValue(board.Cell(p)));
  const int opp = std::abs(OtherColour(board.Cell(p)));
  const int points = board.PointCount;

  std::fill(captureMark_.begin(), captureMark_.end(), 0);
  for (const Neighbour& n : ScanNeighbours(board, p)) {
    // A group touching the new stone on two sides is examined once: its
    // second seed already carries a capture mark, or it has a liberty and is
    // dropped again cheaply.
    if (n.point <= 0 || n.colour != opp || captureMark_[n.point]) continue;
    int groupSize = 0;
    if (GroupIsCaptured(board, n.point, opp, &groupSize)) {
      for (int i = 0; i < groupSize; ++i) captureMark_[queue_[i]] = 1;
    }
  }

  int taken = 0;
  for (int x = 1; x <= points; ++x) {
    if (!captureMark_[x]) continue;
    ++taken;
    view.ClearPicture(x);
    view.SetCellText(x, "");
    board.SetCell(x, kEmpty);
    ++board.CaptureCount;
    CaptureEntry& entry = board.CaptureLog.Mutable(board.CaptureCount);
    if (board.MoveCount > 0) {
      entry = {board.MoveCount, moveNumber, opp, x};
    } else {
      const int tes = (figure != nullptr && figure->HasCurrentRow()) ? figure->CurrentTES() : 0;
      entry = {tes, EarlierRowOnPoint(figure, tes, x), opp, x};
    }
  }

  if (opp == kBlack) {
    board.BlackStonesTaken += taken;
    view.ShowPrisoners(kWhitePrisonerBox, board.BlackStonesTaken);
  } else {
    board.WhiteStonesTaken += taken;
    view.ShowPrisoners(kBlackPrisonerBox, board.WhiteStonesTaken);
  }
}

}  // namespace momiro
