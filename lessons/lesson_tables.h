// The query-level routines over the lesson tables `mokuji` and `figure`:
// opening the contents, opening and renumbering the figure rows of one
// contents entry, and finding a free branch number.
//
// Lesson structure kept in `figure` (rows of one MNB in TNB order):
// - a basic figure is a run of rows with TES 0; its first row has BTO 9999
//   and the figure letter in DTX mod 100, its last row BFR = b > 0;
// - a sequence is a run of rows with TES 1, 2, ...; its first row has BTO =
//   the BFR of the row it continues, its last row a BFR of its own;
// - a row with BFR = b > 0 is a branch row: the sequences whose first row has
//   BTO = b continue from it.
// TNB is never stored for good: every OpenFigures renumbers the rows 1..n in
// the query's row order, so Locate "TNB" = k moves to the k-th row.
#ifndef MOMIRO_LESSONS_LESSON_TABLES_H_
#define MOMIRO_LESSONS_LESSON_TABLES_H_

#include <string>

#include "board/board_state.h"
#include "lessons/lesson_query.h"

namespace momiro {

// SQL lines of the contents query (RUDIRAQuery1): select, one condition
// line, order.
inline constexpr const char* kContentsSelect = "select * from mokuji";
inline constexpr const char* kContentsOrder = "Order By MNB";
inline constexpr const char* kAllContents = "Where MNB >= 0";  // the start-up condition

// SQL lines of the figure query (RUDIRAQuery2), parameter 0 = MNB.
inline constexpr const char* kFiguresSelect = "select * from figure";
inline constexpr const char* kFiguresWhere = "Where MNB = :MNB";

// SQL lines of the branch-number query (RUDIRAQuery4), parameter 0 = MNB.
inline constexpr const char* kBranchesSelect = "Select *";
inline constexpr const char* kBranchesFrom = "From figure";
inline constexpr const char* kBranchesWhere = "Where (MNB = :MNB) and (BFR > 0) order by BFR";

// The data module's queries. Not owned; they outlive every user.
struct LessonQueries {
  LessonQuery& contents;  // RUDIRAQuery1, shown by DBGrid1
  LessonQuery& figures;   // RUDIRAQuery2, shown by DBGrid2; its current row is the lesson position
  LessonQuery& branches;  // RUDIRAQuery4, opened only by NextFreeBranchId
};

// Opens the contents with one condition line, in MNB order.
void OpenContents(LessonQuery& contents, const std::string& condition);

// Opens the figure rows of contentsNumber and renumbers them: each row in
// query order gets TNB 1, 2, ... (Edit, set, Next stores it). Afterwards the
// query stands at its end (Eof).
void OpenFigures(LessonQuery& figures, int contentsNumber);

// The same renumbering on the open figure query from its first row, storing
// each row with Post before moving on.
void RenumberFigures(LessonQuery& figures);

// The smallest branch number not used by the rows of contentsNumber: the
// first gap in 1, 2, 3, ... among the used numbers in ascending order. A
// number used twice (a damaged table) counts once, so the result is never a
// used number. The query stays open when a gap is found and is closed when
// the rows run out.
int NextFreeBranchId(LessonQuery& branches, int contentsNumber);

// Start-up: all contents with MNB >= 0; ContentsNumber := the first entry's
// MNB; its figure rows opened.
void OpenLessons(LessonQueries& queries, BoardState& board);

}  // namespace momiro

#endif  // MOMIRO_LESSONS_LESSON_TABLES_H_
