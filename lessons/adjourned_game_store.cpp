#include "lessons/adjourned_game_store.h"

#include <string>

#include "lessons/lesson_error.h"
#include "lessons/lesson_tables.h"

namespace momiro {

AdjournedGameStore::AdjournedGameStore(BoardRules& rules, BoardView& view, LessonQuery& figures)
    : rules_(rules), board_(rules.Board()), view_(view), figures_(figures) {}

void AdjournedGameStore::SaveAdjournedGame() {
  if (board_.MoveList.At(1).point <= 0) return;
  board_.ContentsNumber = board_.LineCount;
  OpenFigures(figures_, board_.ContentsNumber);

  figures_.First();
  while (!figures_.IsEmpty()) figures_.Delete();

  // Each Append stores the row before it; the last one is posted below.
  for (int i = 1; board_.MoveList.At(i).point > 0; ++i) {
    const MoveEntry& move = board_.MoveList.At(i);
    figures_.Append();
    figures_.SetFieldInt(kFigureMNB, board_.LineCount);
    figures_.SetFieldInt(kFigureTES, move.moveNumber);
    figures_.SetFieldInt(kFigureCOL, move.colour);
    figures_.SetFieldInt(kFigurePST, move.point);
  }
  figures_.Post();
}

void AdjournedGameStore::RestoreAdjournedGame() {
  board_.ContentsNumber = board_.LineCount;
  OpenFigures(figures_, board_.ContentsNumber);
  figures_.First();
  int count = 0;
  while (!figures_.Eof()) {
    const int tes = figures_.FieldInt(kFigureTES);
    const int colour = figures_.FieldInt(kFigureCOL);
    const int p = figures_.FieldInt(kFigurePST);
    const int tnb = figures_.FieldInt(kFigureTNB);
    if (p < 1 || p > board_.PointCount) {
      RaiseBadFigureRow(tnb, "点 " + std::to_string(p) + " は盤の外です。");
    }
    if (colour != kBlack && colour != kWhite) {
      RaiseBadFigureRow(tnb, "石の色ではありません（COL " + std::to_string(colour) + "）。");
    }
    ++count;
    MoveEntry& move = board_.MoveList.Mutable(count);
    move.moveNumber = tes;
    move.colour = colour;
    move.point = p;
    board_.MoveNumber = tes;
    board_.CurrentColour = colour;
    board_.MoveCount = count;
    board_.SetCell(p, colour);
    // The capture log takes key `count` (MoveCount > 0), so "1手戻す" can
    // take the restored moves back one by one.
    rules_.PlacePoint(board_.MoveNumber, colour, p, kDrawNewestNumber, "");
    figures_.Next();
  }
  // Nothing stored leaves black from the clear, so white is to play.
  if (board_.CurrentColour == kBlack || board_.CurrentColour == kWhite) {
    board_.CurrentColour = OtherColour(board_.CurrentColour);
  }
}

void AdjournedGameStore::Save1Click() {
  SaveAdjournedGame();
  view_.SetStatusText(0, kGameSaved);
  view_.PlaySound(kStoneSound);
}

void AdjournedGameStore::N2Click() {
  rules_.ClearBoard();
  RestoreAdjournedGame();
  view_.SetStatusText(0, kGameRestored);
  view_.PlaySound(kStoneSound);
}

}  // namespace momiro
