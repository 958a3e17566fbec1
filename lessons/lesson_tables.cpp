#include "lessons/lesson_tables.h"

namespace momiro {

void OpenContents(LessonQuery& contents, const std::string& condition) {
  contents.Close();
  contents.ClearSql();
  contents.AddSql(kContentsSelect);
  contents.AddSql(condition);
  contents.AddSql(kContentsOrder);
  contents.Open();
}

void OpenFigures(LessonQuery& figures, int contentsNumber) {
  figures.Close();
  SetSql(figures, {kFiguresSelect, kFiguresWhere});
  figures.SetParamInt(0, contentsNumber);
  figures.Open();
  // Moving to the next row stores the edited number.
  int number = 1;
  while (!figures.Eof()) {
    figures.Edit();
    figures.SetFieldInt(kFigureTNB, number++);
    figures.Next();
  }
}

void RenumberFigures(LessonQuery& figures) {
  figures.First();
  int number = 1;
  while (!figures.Eof()) {
    figures.Edit();
    figures.SetFieldInt(kFigureTNB, number++);
    figures.Post();
    figures.Next();
  }
}

int NextFreeBranchId(LessonQuery& branches, int contentsNumber) {
  branches.Close();
  SetSql(branches, {kBranchesSelect, kBranchesFrom, kBranchesWhere});
  branches.SetParamInt(0, contentsNumber);
  branches.Open();
  branches.First();
  int candidate = 1;
  while (!branches.Eof()) {
    const int used = branches.FieldInt(kFigureBFR);
    if (used > candidate) return candidate;
    // A number seen again (used < candidate) is skipped rather than taken
    // for a gap: handing it out would give two rows the same branch number.
    if (used == candidate) ++candidate;
    branches.Next();
  }
  branches.Close();
  return candidate;
}

void OpenLessons(LessonQueries& queries, BoardState& board) {
  OpenContents(queries.contents, kAllContents);
  board.ContentsNumber = queries.contents.FieldInt(kContentsMNB);
  OpenFigures(queries.figures, board.ContentsNumber);
}

}  // namespace momiro
