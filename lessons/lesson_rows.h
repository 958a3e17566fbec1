// Row routines of the lesson player: moving the figure query's current row
// along the lesson structure (lessons/lesson_tables.h) and collecting the
// continuations of a branch row.
//
// All of them work on the open figure query (RUDIRAQuery2) and leave its
// current row where each comment says. Rows that break the structure (a run
// without its first row or its branch row, a branch number no row carries)
// raise ELessonDataError instead of walking off the rows.
#ifndef MOMIRO_LESSONS_LESSON_ROWS_H_
#define MOMIRO_LESSONS_LESSON_ROWS_H_

#include "board/board_state.h"
#include "lessons/lesson_query.h"

namespace momiro {

// Results of ClassifyNext.
constexpr int kNothingContinues = 0;
constexpr int kOneContinuation = 1;
constexpr int kSeveralContinuations = 2;
constexpr int kRunGoesOn = 3;  // the current row is inside a run: the next row follows

// Number of figure letters (1 = 図Ａ ... 26 = 図Ｚ).
constexpr int kFigureLetterCount = 26;

// Walks the rows from the first; the TNB of the first row whose DTX mod 100
// is letter, which becomes the current row. 0 when none, the query then
// standing at its end; letters outside 1..26 never match.
int FindFigureStart(LessonQuery& figures, int letter);

// Fills board.Choices with (PST, TNB, COL) of every row whose BTO is branch,
// in row order, after zeroing all entries; the number filled. The query is
// left at its end. More continuations than Choices holds (20), or a
// continuation whose point is off the board, raise ELessonDataError.
int CollectChoices(LessonQuery& figures, BoardState& board, int branch);

// What follows the current row: kRunGoesOn when its BFR is 0, else by the
// number of continuations collected into board.Choices. The current row is
// unchanged afterwards.
int ClassifyNext(LessonQuery& figures, BoardState& board);

// Moves back to the first row of the current run (the nearest row at or
// before the current one whose BTO is not 0).
void SeekSequenceStart(LessonQuery& figures);

// Moves forward to the last row of the current run (BFR > 0); the result is
// 1 + the number of moves made.
int SeekBranchEnd(LessonQuery& figures);

// One row back along the lesson: the previous row inside a run, or from a
// run's first row to the branch row it continues from.
void StepBackRow(LessonQuery& figures);

// Locate "TNB" = tnb; false (and no move) when no row has it.
bool LocateTNB(LessonQuery& figures, int tnb);
// Locate "BFR" = branch; a branch no row carries raises ELessonDataError.
void LocateBranch(LessonQuery& figures, int branch);

}  // namespace momiro

#endif  // MOMIRO_LESSONS_LESSON_ROWS_H_
