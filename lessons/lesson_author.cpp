#include "lessons/lesson_author.h"

#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>

#include "board/history.h"
#include "lessons/figure_player.h"
#include "lessons/lesson_error.h"
#include "lessons/lesson_rows.h"
#include "lessons/lesson_tables.h"

namespace momiro {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The colour to play after a stored sequence: the other side of its last
// stone, and black after a text entry, whose colour (0 or 3) is no side.
int ColourAfter(int lastColour) {
  const int side = std::abs(lastColour);
  return side == kBlack || side == kWhite ? OtherColour(side) : kBlack;
}

}  // namespace

int ParseEditNumber(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  bool negative = false;
  if (begin < end && (text[begin] == '+' || text[begin] == '-')) {
    negative = text[begin] == '-';
    ++begin;
  }
  bool valid = begin < end;
  int64_t value = 0;
  for (size_t i = begin; valid && i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      valid = false;
      break;
    }
    value = value * 10 + (text[i] - '0');
    // One past the largest value leaves room for the smallest negative one.
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) valid = false;
  }
  if (negative) value = -value;
  if (!valid || value > std::numeric_limits<int32_t>::max()) {
    throw EConvertError("「" + text + "」は整数ではありません。");
  }
  return static_cast<int>(value);
}

LessonAuthor::LessonAuthor(BoardRules& rules, BoardView& view, LessonWindow& window,
                           AuthoringWindow& editor, LessonQuery& figures, LessonQuery& branches)
    : rules_(rules),
      board_(rules.Board()),
      view_(view),
      window_(window),
      editor_(editor),
      figures_(figures),
      branches_(branches) {}

int LessonAuthor::Edit3Number() const { return ParseEditNumber(editor_.Edit3Text()); }

int LessonAuthor::ChosenLetterSelectingFirst() {
  int index = window_.FigureItemIndex();
  if (index < 0) {
    index = 0;
    window_.SetFigureItemIndex(0);
  }
  const int letter = index + 1;
  return letter <= kFigureLetterCount ? letter : 0;
}

void LessonAuthor::RenumberKeepingRow() {
  // Position of the current row, counted by stepping back to the first.
  int position = 0;
  for (;;) {
    figures_.Prior();
    if (figures_.Bof()) break;
    ++position;
  }
  RenumberFigures(figures_);
  LocateTNB(figures_, position + 1);
}

// --- Recording ------------------------------------------------------------------

void LessonAuthor::RecordAuthoringClick(int p, MouseButton button) {
  assert(p >= 1 && p <= kMaxPoints);
  const std::string text = editor_.Edit3Text();
  const bool isText = !text.empty();
  if (isText && (board_.TextKind == 0 || board_.TextColour == 0)) {
    view_.ShowMessage(kChooseTextStyle);
    return;
  }
  const int code = board_.TextKind * 1000 + board_.TextColour * 100;
  const int buttonColour = button == MouseButton::Left ? kBlack : kWhite;

  ++board_.MoveCount;
  MoveEntry& entry = board_.MoveList.Mutable(board_.MoveCount);
  std::string& entryText = board_.MoveTexts.Mutable(board_.MoveCount);
  int colour = buttonColour;
  if (!isText) {
    ++board_.MoveNumber;
    board_.SetCell(p, colour);
    entry = {board_.MoveNumber, colour, p, 0};
    // A stone carries no text: a text left at this index by an entry that
    // was cleared from the board must not become the stone's comment.
    entryText.clear();
  } else {
    board_.MoveNumber = 0;
    if (board_.TextKind == kTextOnStone) {
      board_.SetCell(p, colour);
    } else {
      colour = board_.TextKind == kTextOnBackground ? kBackgroundMark : 0;
    }
    entry = {0, colour, p, code};
    entryText = text;
  }
  board_.CurrentColour = colour;
  rules_.PlacePoint(board_.MoveNumber, board_.CurrentColour, p, isText ? code / 100 : kDrawStone, text);
}

// --- Basic figures ----------------------------------------------------------------

void LessonAuthor::StoreBasicFigure() {
  const int count = CountMoves(board_);
  const int letter = ChosenLetterSelectingFirst();
  if (letter == 0) {
    view_.ShowMessage(kChooseFigureLetter);
    return;
  }
  if (count == 0) {
    view_.SetStatusText(0, kNothingToStore);
    return;
  }
  for (int i = 1; i <= count; ++i) {
    const MoveEntry& entry = board_.MoveList.At(i);
    figures_.Append();
    figures_.SetFieldInt(kFigureMNB, board_.ContentsNumber);
    figures_.SetFieldInt(kFigureTES, 0);
    figures_.SetFieldInt(kFigureCOL, entry.colour);
    figures_.SetFieldInt(kFigurePST, entry.point);
    figures_.SetFieldInt(kFigureDTX, entry.displayCode + (i == 1 ? letter : 0));
    figures_.SetFieldText(kFigureCMT, board_.MoveTexts.At(i));
    if (i == 1) figures_.SetFieldInt(kFigureBTO, kBasicFigureStart);
    if (i == count) figures_.SetFieldInt(kFigureBFR, NextFreeBranchId(branches_, board_.ContentsNumber));
  }
  figures_.Post();
  RenumberFigures(figures_);
  ClearMoveList(board_);
  board_.MoveNumber = 0;
  editor_.SetEdit3Text("");
  view_.SetStatusText(0, kStored);
  view_.PlaySound(kStoneSound);
}

void LessonAuthor::DeleteBasicFigure() {
  const int index = window_.FigureItemIndex();
  const int letter = (index < 0 ? 0 : index) + 1;
  board_.FigureLetter = letter;
  // Rows appended since the last opening have no TNB yet; numbered, they
  // neither end the deletion early nor let it run into earlier rows.
  if (HasRows(figures_)) RenumberFigures(figures_);
  const int start = figures_.Active() ? FindFigureStart(figures_, letter) : 0;
  if (start != 0) {
    std::set<int> removed;
    DeleteRowNoting(removed);
    // After the last row is deleted the new last row is current; its
    // smaller TNB ends the run.
    while (!figures_.IsEmpty() && figures_.FieldInt(kFigureTNB) > start &&
           figures_.FieldInt(kFigureBTO) != kBasicFigureStart) {
      DeleteRowNoting(removed);
    }
    DeleteOrphanedRuns(removed);
  }
  rules_.ClearBoard();
  if (start == 0) view_.SetStatusText(0, kNoSuchFigure);
}

void LessonAuthor::DeleteRowNoting(std::set<int>& removed) {
  const int branch = figures_.FieldInt(kFigureBFR);
  if (branch > 0) removed.insert(branch);
  figures_.Delete();
}

void LessonAuthor::DeleteOrphanedRuns(std::set<int>& removed) {
  // Each pass deletes one run and starts again from the first row, since
  // the run's own branch number may orphan runs stored before it.
  for (bool deleted = true; deleted;) {
    deleted = false;
    figures_.First();
    while (!figures_.IsEmpty() && !figures_.Eof()) {
      const int from = figures_.FieldInt(kFigureBTO);
      if (from == 0 || from == kBasicFigureStart || removed.count(from) == 0) {
        figures_.Next();
        continue;
      }
      for (;;) {
        const int tnb = figures_.FieldInt(kFigureTNB);
        const int branch = figures_.FieldInt(kFigureBFR);
        DeleteRowNoting(removed);
        if (branch > 0 || figures_.IsEmpty()) break;
        // Past the table's last row the new last row, with a smaller TNB, is
        // current; a row that begins a run ends a run without branch row.
        if (figures_.FieldInt(kFigureTNB) < tnb || figures_.FieldInt(kFigureBTO) != 0) break;
      }
      deleted = true;
      break;
    }
  }
}

// --- Sequences -------------------------------------------------------------------------

void LessonAuthor::StoreSequence() {
  const int count = CountMoves(board_);
  if (count == 0) {
    view_.SetStatusText(0, kNothingToStore);
    return;
  }
  SeekBranchEnd(figures_);
  const int branchTnb = figures_.FieldInt(kFigureTNB);
  const int branch = figures_.FieldInt(kFigureBFR);
  const MoveEntry& first = board_.MoveList.At(1);
  board_.CurrentColour = first.colour;

  if (figures_.Locate("COL;PST;BTO", {first.colour, first.point, branch}) &&
      figures_.FieldInt(kFigureTNB) > branchTnb) {
    // Nothing is stored and the lesson position stays on the branch row, so
    // that the next store continues the same row.
    LocateBranch(figures_, branch);
    view_.ShowMessage(kAlreadyStored);
    view_.PlaySound(kStoneSound);
    return;
  }

  for (int i = 1; i <= count; ++i) {
    const MoveEntry& entry = board_.MoveList.At(i);
    figures_.Append();
    figures_.SetFieldInt(kFigureMNB, board_.ContentsNumber);
    figures_.SetFieldInt(kFigureTES, entry.moveNumber);
    figures_.SetFieldInt(kFigureCOL, entry.colour);
    figures_.SetFieldInt(kFigurePST, entry.point);
    board_.MoveNumber = entry.moveNumber;
    board_.CurrentColour = entry.colour;
    if (i == 1) figures_.SetFieldInt(kFigureBTO, branch);
    if (i == count) figures_.SetFieldInt(kFigureBFR, NextFreeBranchId(branches_, board_.ContentsNumber));
  }
  figures_.Post();
  ClearMoveList(board_);
  board_.CurrentColour = ColourAfter(board_.CurrentColour);
  view_.SetStatusText(0, kStored);
  view_.PlaySound(kStoneSound);
}

void LessonAuthor::DeleteSequence() {
  if (!HasRows(figures_)) return;
  SeekSequenceStart(figures_);
  // The whole run is walked first: one that does not end with a branch row
  // raises here, before a row is gone, instead of deleting past its end.
  const int rows = SeekBranchEnd(figures_);
  for (int i = 1; i < rows; ++i) figures_.Prior();
  for (int i = 0; i < rows; ++i) figures_.Delete();
  rules_.ClearBoard();
  view_.PlaySound(kStoneSound);
  view_.SetStatusText(0, kSequenceDeleted);
}

// --- Contents numbers --------------------------------------------------------------------

void LessonAuthor::MoveRowsToNumber() {
  const int number = Edit3Number();
  if (number < kFirstAuthoredNumber) {
    view_.ShowMessage(kBadContentsNumber);
    return;
  }
  const int letter = ChosenLetterSelectingFirst();
  if (letter == 0) {
    view_.ShowMessage(kChooseFigureLetter);
    return;
  }
  if (HasRows(figures_)) {
    RenumberKeepingRow();
    int tnb = figures_.FieldInt(kFigureTNB);
    for (;;) {
      figures_.Edit();
      figures_.SetFieldInt(kFigureMNB, number);
      const int dtx = figures_.FieldInt(kFigureDTX);
      if (dtx > 0) figures_.SetFieldInt(kFigureDTX, dtx / 100 * 100 + letter);
      // Locating stores the row; a row that has left the result (its MNB
      // changed) does not disturb the numbers of the others.
      ++tnb;
      if (!LocateTNB(figures_, tnb)) break;
      if (figures_.FieldInt(kFigureBTO) == kBasicFigureStart) break;
    }
  }
  board_.ContentsNumber = number;
  OpenFigures(figures_, number);
}

void LessonAuthor::ShowFigureByNumber() {
  const int number = Edit3Number();
  rules_.ClearBoard();
  board_.ContentsNumber = number;
  OpenFigures(figures_, number);
  board_.PlayMode = kPlayFree;
  rules_.SelectPlayModeButton(kPlayFree);

  int index = window_.FigureItemIndex();
  if (index < 0) {
    index = 0;
    window_.SetFigureItemIndex(0);
  }
  // A letter without a figure leaves the board empty rather than drawing
  // from wherever the rows stand.
  const int start = FindFigureStart(figures_, index + 1);
  if (start == 0) {
    view_.SetStatusText(0, kNoSuchFigure);
    return;
  }
  LocateTNB(figures_, start);
  DrawBasicFigure();
  board_.MoveNumber = 0;
  board_.CurrentColour = kBlack;
}

void LessonAuthor::DrawBasicFigure() {
  for (;;) {
    board_.MoveNumber = 0;
    const int colour = figures_.FieldInt(kFigureCOL);
    const int p = figures_.FieldInt(kFigurePST);
    const int dtx = figures_.FieldInt(kFigureDTX);
    if (p == 0) break;
    const int code = dtx >= 100 ? dtx / 100 : kDrawStone;
    const int tnb = figures_.FieldInt(kFigureTNB);
    if (p < 1 || p > board_.PointCount) {
      RaiseBadFigureRow(tnb, "点 " + std::to_string(p) + " は盤の外です。");
    }
    // The capture check that follows a stone needs a stone colour.
    if (code <= kDrawAllNumbers && !IsStoneValue(colour)) {
      RaiseBadFigureRow(tnb, "石の色ではありません（COL " + std::to_string(colour) + "）。");
    }
    if (IsStoneValue(colour)) board_.SetCell(p, colour);
    rules_.PlacePoint(0, colour, p, code, figures_.FieldText(kFigureCMT));
    if (figures_.FieldInt(kFigureBFR) > 0) break;
    figures_.Next();
    if (figures_.Eof()) break;
  }
}

}  // namespace momiro
