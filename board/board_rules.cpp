#include "board/board_rules.h"

#include <cstdlib>

#include "board/history.h"
#include "board/stone_pictures.h"

namespace momiro {

BoardRules::BoardRules(BoardState& board, BoardView& view, BoardKind kind)
    : board_(board), view_(view), kind_(kind) {}

void BoardRules::ClearBoard() {
  if (kind_ == BoardKind::Main) {
    ClearMainBoard();
  } else {
    ClearSmallBoard();
  }
}

void BoardRules::ClearMainBoard() {
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

void BoardRules::ClearSmallBoard() {
  board_.MoveNumber = 0;
  board_.CurrentColour = kBlack;
  board_.MoveCount = 0;
  board_.CaptureCount = 0;
  board_.BlackStonesTaken = 0;
  board_.WhiteStonesTaken = 0;
  view_.ShowPrisoners(kBlackPrisonerBox, 0);
  view_.ShowPrisoners(kWhitePrisonerBox, 0);
  view_.SetStatusText(0, "");
  // Only this window's points: the Cells entries beyond N x N are the main
  // board's and are left alone.
  for (int p = 1; p <= board_.PointCount; ++p) {
    view_.ClearPicture(p);
    view_.SetCellText(p, "");
    board_.SetCell(p, kEmpty);
  }
  captures_.ClearMarks();
  for (int i = 1; i <= board_.MoveList.Size(); ++i) {
    MoveEntry& move = board_.MoveList.Mutable(i);
    move.moveNumber = move.colour = move.point = 0;
  }
  for (int i = 1; i <= board_.CaptureLog.Size(); ++i) board_.CaptureLog.Mutable(i) = CaptureEntry{};
  view_.SetStatusText(0, kPleaseBegin);
}

void BoardRules::DrawStonePicture(int point, int colour) {
  view_.LoadPicture(point, StonePicturePath(board_, colour));
}

void BoardRules::PlacePoint(int moveNumber, int colour, int point, int code,
                           const std::string& text) {
  if (kind_ == BoardKind::Small) {
    // Stones only: no comment, no red number, no figure row.
    DrawStonePicture(point, colour);
    view_.SetCellTextColour(point, colour == kBlack ? kWhiteText : kBlackText);
    if (code >= kDrawNewestNumber && moveNumber > 0) {
      view_.SetCellText(point, std::to_string(moveNumber));
    }
    if (code == kDrawNewestNumber && board_.LastPoint > 0) view_.SetCellText(board_.LastPoint, "");
    board_.LastPoint = point;
    CheckCaptures(moveNumber, point);
    return;
  }
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

void BoardRules::ClearEmptyMarks() {
  for (int p = 1; p <= kMaxPoints; ++p) {
    const int value = std::abs(board_.Cell(p));
    if (value != kBlack && value != kWhite) {
      view_.SetCellTransparent(p);
      view_.SetCellText(p, "");
    }
  }
}

void BoardRules::CheckCaptures(int moveNumber, int point) {
  captures_.CheckCaptures(board_, view_, figure_, moveNumber, point);
}

void BoardRules::BoardClick(int p, MouseButton button, bool shift) {
  view_.SetStatusText(0, "");
  if (kind_ == BoardKind::Small) {
    const bool shiftClick = shift && (button == MouseButton::Left || button == MouseButton::Right);
    if (shiftClick && board_.Cell(p) > 0) {
      // Taken off without a record, as a prisoner of the other side.
      view_.ClearPicture(p);
      view_.SetCellText(p, "");
      if (board_.Cell(p) == kBlack) {
        ++board_.BlackStonesTaken;
        view_.ShowPrisoners(kWhitePrisonerBox, board_.BlackStonesTaken);
      } else {
        ++board_.WhiteStonesTaken;
        view_.ShowPrisoners(kBlackPrisonerBox, board_.WhiteStonesTaken);
      }
      board_.SetCell(p, kEmpty);
      return;
    }
    PlayClick(p, button);
    return;
  }
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

void BoardRules::PlayClick(int p, MouseButton button) {
  if (board_.PlayMode != kPlayEndOfGame && board_.Cell(p) > 0) return;
  switch (board_.PlayMode) {
    case kPlayAlternate: {
      // A current colour that is no colour (after lesson rows of colour 0
      // or 3) falls back to black rather than dividing by it.
      if (board_.CurrentColour != kBlack && board_.CurrentColour != kWhite) {
        board_.CurrentColour = kBlack;
      }
      if (kind_ == BoardKind::Main) {
        board_.LessonStepTaken = 0;
        ClearEmptyMarks();
      }
      ++board_.MoveCount;
      ++board_.MoveNumber;
      board_.SetCell(p, board_.CurrentColour);
      MoveEntry& move = board_.MoveList.Mutable(board_.MoveCount);
      move.moveNumber = board_.MoveNumber;
      move.colour = board_.CurrentColour;
      move.point = p;
      if (kind_ == BoardKind::Main) view_.SetCellTransparent(p);
      PlacePoint(board_.MoveNumber, board_.CurrentColour, p, kDrawNewestNumber, "");
      view_.PlaySound(kStoneSound);
      board_.CurrentColour = OtherColour(board_.CurrentColour);
      break;
    }
    case kPlayFree: {
      if (kind_ == BoardKind::Main) ClearEmptyMarks();
      ++board_.MoveCount;
      board_.MoveNumber = 0;
      board_.CurrentColour = button == MouseButton::Left ? kBlack : kWhite;
      board_.SetCell(p, board_.CurrentColour);
      MoveEntry& move = board_.MoveList.Mutable(board_.MoveCount);
      move.moveNumber = 0;
      move.colour = board_.CurrentColour;
      move.point = p;
      if (kind_ == BoardKind::Main) view_.SetCellTransparent(p);
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

void BoardRules::SelectPlayModeButton(int mode) {
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

void BoardRules::RadioButton1Click() {
  board_.PlayMode = kPlayAlternate;
  // The side that did not place the last stone moves next; when the current
  // colour is no colour (0 or 3 after some lesson rows) black moves next.
  if (board_.CurrentColour == kBlack || board_.CurrentColour == kWhite) {
    board_.CurrentColour = OtherColour(board_.CurrentColour);
  } else {
    board_.CurrentColour = kBlack;
  }
}

void BoardRules::RadioButton2Click() { board_.PlayMode = kPlayFree; }

void BoardRules::RadioButton3Click() {
  board_.PlayMode = kPlayEndOfGame;
  view_.ShowMessage(kEndOfGameNotice);
}

void BoardRules::BeginGame() {
  ClearBoard();
  board_.LineCount = kMaxLines;
  board_.PointCount = kMaxPoints;
  board_.PlayMode = kPlayAlternate;
  SelectPlayModeButton(kPlayAlternate);
  board_.CurrentColour = kBlack;
  view_.SetStatusText(0, kPleaseBegin);
}

void BoardRules::BeginSmallGame() {
  assert(kind_ == BoardKind::Small);
  board_.PlayMode = kPlayAlternate;
  SelectPlayModeButton(kPlayAlternate);
  board_.CurrentColour = kBlack;
  ClearBoard();
}

void BoardRules::EndGame() {
  board_.PlayMode = kPlayFree;
  SelectPlayModeButton(kPlayFree);
  ClearBoard();
}

void BoardRules::TakeBackClick() {
  view_.SetStatusText(0, "");
  const bool lessonStep = kind_ == BoardKind::Main && board_.LessonStepTaken != 0;
  if (!lessonStep && board_.MoveCount == 0) {
    view_.SetStatusText(0, kNothingToTakeBack);
    view_.PlaySound(kStoneSound);
    return;
  }
  UndoMove();
}

void BoardRules::UndoMove() {
  if (board_.MoveCount > 0) {
    TakeBackOptions options;
    // The small windows too show the number again only when the main
    // window is in its view layout.
    options.showPreviousNumber = board_.AppMode == kAppView;
    options.alwaysSwapColour = kind_ == BoardKind::Small;
    TakeBackMove(board_, view_, options);
  } else if (hooks_ != nullptr) {
    hooks_->StepLessonBack();
  }
}

void BoardRules::ClearClick() {
  if (kind_ == BoardKind::Main) {
    ClearBoard();
    return;
  }
  const int playMode = board_.PlayMode;
  if (adjourned_ != nullptr) adjourned_->SaveAdjournedGame();
  ClearBoard();
  board_.PlayMode = playMode;
  // Selecting a button that was not selected runs its handler: after a
  // clear in end-of-game mode the window is in free mode.
  SelectPlayModeButton(playMode == kPlayAlternate ? kPlayAlternate : kPlayFree);
}

void BoardRules::CountClick() {
  if (kind_ == BoardKind::Main) {
    if (board_.PlayMode != kPlayEndOfGame) return;
    view_.SetStatusText(0, MainCountText(CountTerritory(board_)));
  } else {
    view_.SetStatusText(0, SmallCountText(CountTerritory(board_)));
  }
  view_.PlaySound(kStoneSound);
}

std::string SmallCountText(const TerritoryCount& count) {
  return "黒 " + std::to_string(count.black) + " 目、白 " + std::to_string(count.white) + " 目です。";
}

std::string MainCountText(const TerritoryCount& count) { return "盤面：" + SmallCountText(count); }

}  // namespace momiro
