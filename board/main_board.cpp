#include "board/main_board.h"

#include <cstdlib>

#include "board/history.h"
#include "board/stone_pictures.h"

namespace momiro {

MainBoard::MainBoard(BoardState& board, BoardView& view) : board_(board), view_(view) {}

void MainBoard::ClearBoard() {
  board_.MoveNumber = 0;
  board_.CurrentColour = kBlack;
  board_.MoveCount = 0;
  board_.CaptureCount = 0;
  board_.BlackStonesTaken = 0;
  board_.WhiteStonesTaken = 0;
  board_.ChoicePending = 0;
  board_.LessonStepTaken = 0;

  view_.ShowPrisoners(kBlackPrisonerBox, 0);
  view_.ShowPrisoners(kWhitePrisonerBox, 0);
  view_.SetStatusText(0, "");
  view_.SetStatusText(1, "");

  for (int p = 1; p <= kMaxPoints; ++p) {
    view_.SetCellTransparent(p);
    view_.SetCellText(p, " ");
    view_.ClearPicture(p);
    board_.SetCell(p, kEmpty);
  }
  captures_.ClearMarks();

  // Display codes and move texts stay: authoring keeps them across clears.
  for (int i = 1; i <= board_.MoveList.Size(); ++i) {
    MoveEntry& move = board_.MoveList.Mutable(i);
    move.moveNumber = move.colour = move.point = 0;
  }
  for (int i = 1; i <= board_.CaptureLog.Size(); ++i) board_.CaptureLog.Mutable(i) = CaptureEntry{};
}

void MainBoard::DrawStonePicture(int point, int colour) {
  view_.LoadPicture(point, StonePicturePath(board_, colour));
}

void MainBoard::PlacePoint(int moveNumber, int colour, int point, int code,
                           const std::string& text) {
  view_.SetCellBold(point, false);
  if (code <= kDrawAllNumbers) {
    const bool haveRow = figure_ != nullptr && figure_->HasCurrentRow();
    const int rememberedTnb = haveRow ? figure_->CurrentTNB() : 0;
    DrawStonePicture(point, colour);
    Rgb textColour = std::abs(colour) == kBlack ? kWhiteText : kBlackText;
    if (colour < 0) textColour = kRedText;
    view_.SetCellTextColour(point, textColour);
    if (code >= kDrawNewestNumber && moveNumber > 0) {
      view_.SetCellText(point, std::to_string(moveNumber));
    }
    if (code == kDrawNewestNumber && board_.LastPoint > 0) {
      view_.SetCellText(board_.LastPoint, "");
    }
    board_.LastPoint = point;
    view_.SetStatusText(1, text);
    CheckCaptures(moveNumber, point);
    // The capture check may have walked the figure rows.
    if (haveRow) figure_->LocateTNB(rememberedTnb);
    return;
  }

  const int kind = code / 10;
  const int textColour = code % 10;
  if (kind == kTextOnStone) DrawStonePicture(point, colour);
  view_.SetCellText(point, text);
  switch (textColour) {
    case kTextGreen:
      view_.SetCellTextColour(point, kGreenText);
      break;
    case kTextRed:
      view_.SetCellTextColour(point, kRedText);
      break;
    default:
      view_.SetCellTextColour(point, colour == kBlack ? kWhiteText : kBlackText);
      break;
  }
  if (kind >= kTextOnBackground) view_.SetCellBold(point, true);
  if (kind == kTextOnBackground) {
    view_.SetCellOpaque(point, kBoardColour);
  } else {
    view_.SetCellTransparent(point);
  }
}

void MainBoard::ClearEmptyMarks() {
  for (int p = 1; p <= kMaxPoints; ++p) {
    const int value = std::abs(board_.Cell(p));
    if (value != kBlack && value != kWhite) {
      view_.SetCellTransparent(p);
      view_.SetCellText(p, "");
    }
  }
}

void MainBoard::CheckCaptures(int moveNumber, int point) {
  captures_.CheckCaptures(board_, view_, figure_, moveNumber, point);
}

void MainBoard::BoardClick(int p, MouseButton button) {
  view_.SetStatusText(0, "");
  if (view_.CellText(p) == kChoiceMarker) {
    if (hooks_ != nullptr) hooks_->ChooseContinuation(p);
    return;
  }
  if (board_.AppMode == kAppView) {
    PlayClick(p, button);
  } else if (board_.ContentsNumber != 0) {
    if (hooks_ != nullptr) hooks_->RecordAuthoringEntry(p, button);
  } else {
    view_.ShowMessage(kDoubleClickContents);
    view_.PlaySound(kStoneSound);
  }
}

void MainBoard::PlayClick(int p, MouseButton button) {
  if (board_.PlayMode != kPlayEndOfGame && board_.Cell(p) > 0) return;
  switch (board_.PlayMode) {
    case kPlayAlternate: {
      // A current colour that is no colour (after lesson rows of colour 0
      // or 3) falls back to black rather than dividing by it.
      if (board_.CurrentColour != kBlack && board_.CurrentColour != kWhite) {
        board_.CurrentColour = kBlack;
      }
      board_.LessonStepTaken = 0;
      ClearEmptyMarks();
      ++board_.MoveCount;
      ++board_.MoveNumber;
      board_.SetCell(p, board_.CurrentColour);
      MoveEntry& move = board_.MoveList.Mutable(board_.MoveCount);
      move.moveNumber = board_.MoveNumber;
      move.colour = board_.CurrentColour;
      move.point = p;
      view_.SetCellTransparent(p);
      PlacePoint(board_.MoveNumber, board_.CurrentColour, p, kDrawNewestNumber, "");
      view_.PlaySound(kStoneSound);
      board_.CurrentColour = OtherColour(board_.CurrentColour);
      break;
    }
    case kPlayFree: {
      ClearEmptyMarks();
      ++board_.MoveCount;
      board_.MoveNumber = 0;
      board_.CurrentColour = button == MouseButton::Left ? kBlack : kWhite;
      board_.SetCell(p, board_.CurrentColour);
      MoveEntry& move = board_.MoveList.Mutable(board_.MoveCount);
      move.moveNumber = 0;
      move.colour = board_.CurrentColour;
      move.point = p;
      view_.SetCellTransparent(p);
      PlacePoint(0, board_.CurrentColour, p, kDrawStone, "");
      break;
    }
    case kPlayEndOfGame:
      DeadGroupClick(board_, view_, p);
      break;
    default:
      break;
  }
}

void MainBoard::SelectPlayModeButton(int mode) {
  if (selectedMode_ == mode) return;
  selectedMode_ = mode;
  view_.ShowPlayModeButton(mode);
  switch (mode) {
    case kPlayAlternate:
      RadioButton1Click();
      break;
    case kPlayFree:
      RadioButton2Click();
      break;
    case kPlayEndOfGame:
      RadioButton3Click();
      break;
    default:
      break;
  }
}

void MainBoard::RadioButton1Click() {
  board_.PlayMode = kPlayAlternate;
  // The side that did not place the last stone moves next; when the current
  // colour is no colour (0 or 3 after some lesson rows) black moves next.
  if (board_.CurrentColour == kBlack || board_.CurrentColour == kWhite) {
    board_.CurrentColour = OtherColour(board_.CurrentColour);
  } else {
    board_.CurrentColour = kBlack;
  }
}

void MainBoard::RadioButton2Click() { board_.PlayMode = kPlayFree; }

void MainBoard::RadioButton3Click() {
  board_.PlayMode = kPlayEndOfGame;
  view_.ShowMessage(kEndOfGameNotice);
}

void MainBoard::BeginGame() {
  ClearBoard();
  board_.LineCount = kMaxLines;
  board_.PointCount = kMaxPoints;
  board_.PlayMode = kPlayAlternate;
  SelectPlayModeButton(kPlayAlternate);
  board_.CurrentColour = kBlack;
  view_.SetStatusText(0, kPleaseBegin);
}

void MainBoard::EndGame() {
  board_.PlayMode = kPlayFree;
  SelectPlayModeButton(kPlayFree);
  ClearBoard();
}

void MainBoard::CuteButton7Click() {
  view_.SetStatusText(0, "");
  if (board_.LessonStepTaken == 0 && board_.MoveCount == 0) {
    view_.SetStatusText(0, kNothingToTakeBack);
    view_.PlaySound(kStoneSound);
    return;
  }
  UndoMove();
}

void MainBoard::UndoMove() {
  if (board_.MoveCount > 0) {
    TakeBackOptions options;
    options.showPreviousNumber = board_.AppMode == kAppView;
    TakeBackMove(board_, view_, options);
  } else if (hooks_ != nullptr) {
    hooks_->StepLessonBack();
  }
}

void MainBoard::CuteButton6Click() { ClearBoard(); }

void MainBoard::N9Click() {
  if (board_.PlayMode != kPlayEndOfGame) return;
  view_.SetStatusText(0, MainCountText(CountTerritory(board_)));
  view_.PlaySound(kStoneSound);
}

std::string MainCountText(const TerritoryCount& count) {
  return "盤面：黒 " + std::to_string(count.black) + " 目、白 " + std::to_string(count.white) +
         " 目です。";
}

}  // namespace momiro
