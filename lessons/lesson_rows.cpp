#include "lessons/lesson_rows.h"

#include <string>

#include "lessons/lesson_error.h"

namespace momiro {

int FindFigureStart(LessonQuery& figures, int letter) {
  const bool validLetter = letter >= 1 && letter <= kFigureLetterCount;
  figures.First();
  while (!figures.Eof()) {
    if (validLetter && figures.FieldInt(kFigureDTX) % 100 == letter) {
      return figures.FieldInt(kFigureTNB);
    }
    figures.Next();
  }
  return 0;
}

int CollectChoices(LessonQuery& figures, BoardState& board, int branch) {
  for (int i = 1; i <= kChoiceCapacity; ++i) board.Choices.Mutable(i) = ChoiceEntry{};
  int filled = 0;
  figures.First();
  while (!figures.Eof()) {
    if (figures.FieldInt(kFigureBTO) == branch) {
      const int tnb = figures.FieldInt(kFigureTNB);
      const int point = figures.FieldInt(kFigurePST);
      if (filled == kChoiceCapacity) {
        throw ELessonDataError("分岐 " + std::to_string(branch) + " から続く手順が " +
                               std::to_string(kChoiceCapacity) +
                               " を超えるため表示できません。");
      }
      if (point < 1 || point > kMaxPoints) {
        RaiseBadFigureRow(tnb, "点 " + std::to_string(point) + " は盤の外です。");
      }
      board.Choices.Mutable(++filled) = {point, tnb, figures.FieldInt(kFigureCOL)};
    }
    figures.Next();
  }
  return filled;
}

int ClassifyNext(LessonQuery& figures, BoardState& board) {
  const int branch = figures.FieldInt(kFigureBFR);
  if (branch == 0) return kRunGoesOn;
  const int tnb = figures.FieldInt(kFigureTNB);
  const int count = CollectChoices(figures, board, branch);
  LocateTNB(figures, tnb);
  if (count == 0) return kNothingContinues;
  return count == 1 ? kOneContinuation : kSeveralContinuations;
}

void SeekSequenceStart(LessonQuery& figures) {
  while (figures.FieldInt(kFigureBTO) == 0) {
    figures.Prior();
    if (figures.Bof() && figures.FieldInt(kFigureBTO) == 0) {
      RaiseBadFigureRow(figures.FieldInt(kFigureTNB), "手順の始めの行がありません。");
    }
  }
}

int SeekBranchEnd(LessonQuery& figures) {
  int rows = 1;
  while (figures.FieldInt(kFigureBFR) == 0) {
    figures.Next();
    if (figures.Eof()) {
      RaiseBadFigureRow(figures.FieldInt(kFigureTNB), "分岐の行で終わっていません。");
    }
    ++rows;
  }
  return rows;
}

void StepBackRow(LessonQuery& figures) {
  const int from = figures.FieldInt(kFigureBTO);
  if (from == 0) {
    figures.Prior();
    if (figures.Bof() && figures.FieldInt(kFigureBTO) == 0) {
      RaiseBadFigureRow(figures.FieldInt(kFigureTNB), "手順の始めの行がありません。");
    }
  } else {
    LocateBranch(figures, from);
  }
}

bool LocateTNB(LessonQuery& figures, int tnb) { return figures.Locate("TNB", {tnb}); }

void LocateBranch(LessonQuery& figures, int branch) {
  if (!figures.Locate("BFR", {branch})) {
    RaiseBadFigureRow(figures.FieldInt(kFigureTNB),
                      "分岐 " + std::to_string(branch) + " の行がありません。");
  }
}

}  // namespace momiro
