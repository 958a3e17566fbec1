#include "lessons/figure_player.h"

#include <array>
#include <cstdlib>
#include <string>

#include "board/stone_pictures.h"
#include "lessons/lesson_error.h"
#include "lessons/lesson_rows.h"
#include "lessons/lesson_tables.h"

namespace momiro {
namespace {

// Keeps DBGrid2 off its data source while a path is redrawn, and puts it
// back also when a row raises on the way.
class DetachedFigureGrid {
 public:
  explicit DetachedFigureGrid(LessonWindow& window) : window_(window) { window_.DetachFigureGrid(); }
  ~DetachedFigureGrid() { window_.AttachFigureGrid(); }
  DetachedFigureGrid(const DetachedFigureGrid&) = delete;
  DetachedFigureGrid& operator=(const DetachedFigureGrid&) = delete;

 private:
  LessonWindow& window_;
};

}  // namespace

FigurePlayer::FigurePlayer(BoardRules& rules, BoardView& view, LessonWindow& window,
                           LessonQuery& contents, LessonQuery& figures)
    : rules_(rules),
      board_(rules.Board()),
      view_(view),
      window_(window),
      contents_(contents),
      figures_(figures) {}

void FigurePlayer::CheckDrawable(int colour, int p, int code) const {
  const int tnb = figures_.FieldInt(kFigureTNB);
  if (p < 1 || p > board_.PointCount) {
    RaiseBadFigureRow(tnb, "点 " + std::to_string(p) + " は盤の外です。");
  }
  // The capture check that follows a stone needs a stone colour on the point.
  if (code <= kDrawAllNumbers && !IsStoneValue(colour)) {
    RaiseBadFigureRow(tnb, "石の色ではありません（COL " + std::to_string(colour) + "）。");
  }
}

void FigurePlayer::DrawCurrentRow(int moveNumber, int colour, int p, int code, int cellValue) {
  CheckDrawable(colour, p, code);
  board_.SetCell(p, cellValue);
  rules_.PlacePoint(moveNumber, colour, p, code, figures_.FieldText(kFigureCMT));
}

// --- Handlers ----------------------------------------------------------------

void FigurePlayer::ComboBox1Click() {
  const int index = window_.FigureItemIndex();
  board_.FigureLetter = (index < 0 ? 0 : index) + 1;
  rules_.ClearBoard();
  if (!figures_.Active() || FindFigureStart(figures_, board_.FigureLetter) == 0) {
    view_.SetStatusText(0, kNoSuchFigure);
    return;
  }
  ShowFigure(false);
}

void FigurePlayer::CuteButton14Click() {
  // Past the last (empty) item no item is selected, which ShowFigure takes
  // for the first letter.
  const int next = window_.FigureItemIndex() + 1;
  window_.SetFigureItemIndex(next < kFigureItemCount ? next : -1);
  ShowFigure(false);
}

void FigurePlayer::CuteButton15Click() {
  // With no item selected the box stands for the first letter too.
  const int index = window_.FigureItemIndex();
  if (index <= 0) {
    view_.ShowMessage(kNoEarlierFigure);
    return;
  }
  window_.SetFigureItemIndex(index - 1);
  ShowFigure(false);
}

void FigurePlayer::CuteButton9Click() { ShowFigure(false); }

void FigurePlayer::CuteButton5Click() {
  view_.SetStatusText(0, "");
  board_.LessonStepTaken = 1;
  if (board_.ChoicePending == 1) {
    view_.ShowMessage(kClickAPoint);
    return;
  }
  rules_.ClearEmptyMarks();
  StepForward();
}

// --- Showing a figure ---------------------------------------------------------

void FigurePlayer::ShowFigure(bool fromContents) {
  rules_.ClearBoard();
  int number = contents_.FieldInt(kContentsMNB);
  if (number != 0 && number % 100 == 0) ++number;
  board_.ContentsNumber = number;
  if (board_.AppMode == kAppView && fromContents) window_.ShowHelpTopic(number);
  OpenFigures(figures_, number);

  if (fromContents) {
    board_.FigureLetter = 0;
    window_.SetFigureItemIndex(0);
  } else {
    board_.FigureLetter = window_.FigureItemIndex();
    if (board_.FigureLetter < 0) {
      board_.FigureLetter = 0;
      window_.SetFigureItemIndex(0);
    }
  }
  ++board_.FigureLetter;

  board_.PlayMode = kPlayFree;
  rules_.SelectPlayModeButton(kPlayFree);

  // An entry numbered 0 has no figures. A letter without a basic figure
  // leaves the board empty, whether it was chosen in the box or is the first
  // letter of a contents entry (drawing from wherever the query stands would
  // show rows of no figure).
  const int start = number % 100 > 0 ? FindFigureStart(figures_, board_.FigureLetter) : 0;
  if (start == 0) {
    view_.SetStatusText(0, kNoSuchFigure);
    return;
  }
  LocateTNB(figures_, start);

  for (;;) {
    board_.MoveNumber = 0;
    const int colour = figures_.FieldInt(kFigureCOL);
    const int p = figures_.FieldInt(kFigurePST);
    const int dtx = figures_.FieldInt(kFigureDTX);
    if (p == 0) break;
    // Only stone colours are written to Cells. A wrong-answer colour in a
    // basic figure keeps its sign, as a sequence row does, so the capture
    // check finds a stone there.
    const int code = dtx >= 100 ? dtx / 100 : kDrawStone;
    CheckDrawable(colour, p, code);
    if (IsStoneValue(colour)) board_.SetCell(p, colour);
    rules_.PlacePoint(0, colour, p, code, figures_.FieldText(kFigureCMT));
    if (figures_.FieldInt(kFigureBFR) > 0) {
      board_.CurrentColour = kBlack;
      break;
    }
    figures_.Next();
    if (figures_.Eof()) break;
  }
  board_.MoveNumber = figures_.FieldInt(kFigureTES);
  board_.CurrentColour = kBlack;
}

void FigurePlayer::ShowChoices() {
  if (board_.AppMode == kAppEdit) return;
  for (int i = 1; i <= kChoiceCapacity; ++i) {
    const ChoiceEntry& choice = board_.Choices.At(i);
    if (choice.point == 0) break;
    board_.CurrentColour = choice.colour;
    view_.SetCellText(choice.point, kChoiceMarker);
    view_.SetCellTextColour(choice.point, choice.colour > 0 ? kGreenText : kRedText);
  }
  view_.SetStatusText(0, kClickACircle);
  board_.ChoicePending = 1;
}

// --- Stepping forward ---------------------------------------------------------

void FigurePlayer::StepForward() {
  if (!HasRows(figures_)) {
    view_.SetStatusText(0, kCannotGoOn);
    view_.PlaySound(kStoneSound);
    return;
  }
  board_.MoveNumber = figures_.FieldInt(kFigureTES);
  board_.CurrentColour = figures_.FieldInt(kFigureCOL);
  const int tnb = figures_.FieldInt(kFigureTNB);
  const int next = ClassifyNext(figures_, board_);
  LocateTNB(figures_, tnb);

  bool moved = true;
  switch (next) {
    case kNothingContinues:
      moved = false;
      break;
    case kSeveralContinuations:
      ShowChoices();
      return;
    case kOneContinuation:
      LocateTNB(figures_, board_.Choices.At(1).tnb);
      break;
    default:
      // A last row that carries no branch number has nothing after it.
      figures_.Next();
      moved = !figures_.Eof();
      break;
  }
  if (!moved) {
    view_.SetStatusText(0, kCannotGoOn);
    view_.PlaySound(kStoneSound);
    return;
  }

  // The cell keeps the colour's sign: a wrong answer stays marked.
  board_.MoveNumber = figures_.FieldInt(kFigureTES);
  board_.CurrentColour = figures_.FieldInt(kFigureCOL);
  DrawCurrentRow(board_.MoveNumber, board_.CurrentColour, figures_.FieldInt(kFigurePST),
                 kDrawAllNumbers, board_.CurrentColour);

  if (ClassifyNext(figures_, board_) == kNothingContinues) {
    view_.PlaySound(kSequenceSound);
    view_.SetStatusText(0, kSequenceEnded);
    board_.CurrentColour = kBlack;
    board_.MoveNumber = 0;
  } else {
    view_.PlaySound(kStoneSound);
    view_.SetStatusText(0, kPleaseGoOn);
  }
}

void FigurePlayer::TakeChoice(int p) {
  // Only an offered continuation counts: a "●" written as an authored text,
  // or one left from choices already taken, is not a move.
  int tnb = 0;
  if (board_.ChoicePending == 1) {
    for (int i = 1; i <= kChoiceCapacity; ++i) {
      const ChoiceEntry& choice = board_.Choices.At(i);
      if (choice.point == 0) break;
      if (choice.point == p) {
        tnb = choice.tnb;
        break;
      }
    }
  }
  if (tnb == 0 || !HasRows(figures_)) return;

  rules_.ClearEmptyMarks();
  if (!LocateTNB(figures_, tnb)) {
    RaiseBadFigureRow(tnb, "選んだ手の行がありません。");
  }
  board_.MoveNumber = figures_.FieldInt(kFigureTES);
  board_.CurrentColour = figures_.FieldInt(kFigureCOL);
  DrawCurrentRow(board_.MoveNumber, board_.CurrentColour, p, kDrawAllNumbers,
                 std::abs(board_.CurrentColour));
  view_.PlaySound(kStoneSound);
  board_.ChoicePending = 0;

  const int next = ClassifyNext(figures_, board_);
  LocateTNB(figures_, tnb);
  if (next == kNothingContinues) {
    view_.PlaySound(kSequenceSound);
    view_.SetStatusText(0, kSequenceEnded);
  } else {
    view_.SetStatusText(0, kPleaseGoOn);
  }
}

// --- Stepping back ------------------------------------------------------------

void FigurePlayer::StepBack() {
  // At a basic figure (TES 0) there is no move to take back; capture-log
  // entries with key 0 are free entries or captures of the figure itself,
  // never stones of a sequence.
  const int tes = HasRows(figures_) ? figures_.FieldInt(kFigureTES) : 0;
  if (tes <= 0) {
    view_.SetStatusText(0, kCannotGoBack);
    return;
  }
  const int p = figures_.FieldInt(kFigurePST);
  if (p < 1 || p > board_.PointCount) {
    RaiseBadFigureRow(figures_.FieldInt(kFigureTNB), "点 " + std::to_string(p) + " は盤の外です。");
  }
  board_.MoveNumber = tes;

  for (int i = 1; i <= board_.CaptureLog.Size(); ++i) {
    CaptureEntry& entry = board_.CaptureLog.Mutable(i);
    if (entry.IsFree() || entry.key != tes) continue;
    const CaptureEntry taken = entry;
    board_.SetCell(taken.point, taken.colour);
    board_.CurrentColour = taken.colour;
    entry = CaptureEntry{};
    --board_.CaptureCount;
    view_.LoadPicture(taken.point, StonePicturePath(board_, taken.colour));
    if (taken.number > 0) {
      view_.SetCellText(taken.point, std::to_string(taken.number));
      view_.SetCellTextColour(taken.point, taken.colour == kBlack ? kWhiteText : kBlackText);
    }
    if (taken.colour == kBlack) {
      --board_.BlackStonesTaken;
      view_.ShowPrisoners(kWhitePrisonerBox, board_.BlackStonesTaken);
    } else {
      --board_.WhiteStonesTaken;
      view_.ShowPrisoners(kBlackPrisonerBox, board_.WhiteStonesTaken);
    }
  }

  view_.ClearPicture(p);
  view_.SetCellText(p, "");
  board_.SetCell(p, kEmpty);

  StepBackRow(figures_);
  view_.SetStatusText(1, figures_.FieldText(kFigureCMT));
  const int branch = figures_.FieldInt(kFigureBFR);
  if (branch > 0) {
    // Even a single continuation is offered as a circle here.
    if (ClassifyNext(figures_, board_) != kNothingContinues) ShowChoices();
    LocateBranch(figures_, branch);
  }
}

void FigurePlayer::BackOneSequence() {
  view_.SetStatusText(0, "");
  if (!HasRows(figures_)) {
    view_.SetStatusText(0, kCannotGoBack);
    view_.PlaySound(kStoneSound);
    return;
  }
  SeekSequenceStart(figures_);
  const int from = figures_.FieldInt(kFigureBTO);
  board_.MoveNumber = figures_.FieldInt(kFigureTES);
  if (board_.MoveNumber == 0 || from == kBasicFigureStart) {
    view_.SetStatusText(0, kCannotGoBack);
    view_.PlaySound(kStoneSound);
    return;
  }
  figures_.First();
  while (figures_.FieldInt(kFigureBFR) != from) {
    figures_.Next();
    if (figures_.Eof()) {
      RaiseBadFigureRow(figures_.FieldInt(kFigureTNB),
                        "分岐 " + std::to_string(from) + " の行がありません。");
    }
  }
  RebuildPath();
  view_.SetStatusText(0, kSequenceTakenBack);
  view_.PlaySound(kStoneSound);
}

// --- Redrawing a path -----------------------------------------------------------

void FigurePlayer::ReplayRun() {
  SeekSequenceStart(figures_);
  for (;;) {
    const int tes = figures_.FieldInt(kFigureTES);
    const int colour = figures_.FieldInt(kFigureCOL);
    const int p = figures_.FieldInt(kFigurePST);
    const int dtx = figures_.FieldInt(kFigureDTX);
    board_.MoveNumber = tes;
    board_.CurrentColour = colour;
    // A basic figure without stones is a single row with point 0: nothing
    // to draw, but its branch number still ends the run.
    if (p != 0) DrawCurrentRow(tes, colour, p, dtx < 100 ? kDrawAllNumbers : dtx / 100, std::abs(colour));
    if (figures_.FieldInt(kFigureBFR) > 0) return;
    figures_.Next();
    if (figures_.Eof()) {
      RaiseBadFigureRow(figures_.FieldInt(kFigureTNB), "分岐の行で終わっていません。");
    }
  }
}

void FigurePlayer::RebuildPath() {
  if (!HasRows(figures_)) return;
  rules_.ClearBoard();
  std::array<int, kMaxPathDepth + 1> path{};  // slots 1..10, 10 the innermost run

  {
    DetachedFigureGrid detached(window_);
    const int targetTes = figures_.FieldInt(kFigureTES);
    const int targetPoint = figures_.FieldInt(kFigurePST);

    SeekBranchEnd(figures_);
    // Innermost run first, out to the basic figure. A chain longer than the
    // path (or one that loops back on itself) is refused.
    for (int slot = kMaxPathDepth;; --slot) {
      if (slot < 1) {
        throw ELessonDataError("手順の入れ子が " + std::to_string(kMaxPathDepth) +
                               " 段を超えるため表示できません。");
      }
      path[slot] = figures_.FieldInt(kFigureBFR);
      SeekSequenceStart(figures_);
      const int from = figures_.FieldInt(kFigureBTO);
      if (from == kBasicFigureStart) break;
      LocateBranch(figures_, from);
    }

    for (int slot = 1; slot <= kMaxPathDepth; ++slot) {
      if (path[slot] <= 0) continue;
      LocateBranch(figures_, path[slot]);
      ReplayRun();
    }

    // The target within the innermost run, which ends at the current row.
    SeekSequenceStart(figures_);
    while (!(figures_.FieldInt(kFigureTES) == targetTes &&
             figures_.FieldInt(kFigurePST) == targetPoint)) {
      if (figures_.FieldInt(kFigureBFR) > 0) break;
      figures_.Next();
      if (figures_.Eof()) break;
    }
  }

  board_.MoveNumber = figures_.FieldInt(kFigureTES);
  board_.CurrentColour = figures_.FieldInt(kFigureCOL);
  const int next = ClassifyNext(figures_, board_);
  if (next == kOneContinuation || next == kSeveralContinuations) ShowChoices();
  board_.CurrentColour = kBlack;
}

}  // namespace momiro
