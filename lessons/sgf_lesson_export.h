// Export of a contents entry's lesson to an SGF tree (the other direction
// of lessons/sgf_lesson_import.h, so that an exported lesson imports back
// to the same rows).
//
// - The first basic figure (in row order) is the root: FF[4], GM[1],
//   SZ[19], GN[title], its stones as AB and AW in row order, its texts as
//   marks ("△" TR, "□" SQ, "○" CR, "×" MA, any other text LB; a text on a
//   stone also sets that stone), the comments of its other rows as C.
// - Every further basic figure is a setup node under the root: AE of the
//   root's stones, then its own stones and marks, so that it shows exactly
//   its own position.
// - Sequences are the variations: each run a chain of move nodes (B or W,
//   C from CMT) hanging from the node of the branch row it continues, in
//   row order; a run's branch row takes the runs that continue it. A wrong
//   first move (negative colour) gets BM[1]; a correct one gets TE[1] when
//   its place or its comments would otherwise read as wrong (not the first
//   continuation, or a comment with 失敗 in its line).
// Rows that break the structure (a row outside every run, a run that does
// not end with a branch row, a continuation of a branch no row carries)
// raise ESgfError naming the row's TNB.
#ifndef MOMIRO_LESSONS_SGF_LESSON_EXPORT_H_
#define MOMIRO_LESSONS_SGF_LESSON_EXPORT_H_

#include <memory>
#include <string>
#include <vector>

#include "lessons/lesson_query.h"
#include "lessons/sgf_lesson_import.h"
#include "lessons/sgf_tree.h"

namespace momiro {

// The tree of rows in storing order (TNB order).
std::unique_ptr<SgfNode> LessonRowsToSgf(const std::vector<SgfLessonRow>& rows, const std::string& title);

// Reads the title of number (or of number - 1 for the figures of an entry
// numbered by a multiple of 100) through the scratch query contents and the
// figure rows of number through figures (OpenFigures), and builds the tree.
// An entry without rows raises ESgfError.
std::unique_ptr<SgfNode> ExportSgfLesson(LessonQuery& contents, LessonQuery& figures, int number);

// The rows of number through figures (opened and renumbered), in TNB order.
std::vector<SgfLessonRow> ReadLessonRows(LessonQuery& figures, int number);

}  // namespace momiro

#endif  // MOMIRO_LESSONS_SGF_LESSON_EXPORT_H_
