// Import of an SGF problem or lesson as a new contents entry: one row of
// `mokuji` and the `figure` rows of its lesson (lessons/lesson_tables.h).
//
// How the tree becomes rows:
// - The root and every setup node (AB, AW or AE without a move) start a
//   basic figure, lettered 図Ａ, 図Ｂ, ... in the order they are stored: a
//   setup node's figure follows the sequences of the figure it was met
//   under (so that an exported lesson, whose later figures all hang from
//   the root, comes back in the same order), and a move that has one move
//   and setup nodes below it goes on in the same run. Its rows are the
//   whole position there (a setup node deep in the tree adds to what the
//   moves before it left), one stone row per stone: stones kept from
//   before in point order, then the node's AB and AW points in file order.
//   Then the node's labels and marks (LB text, TR "△", SQ "□", CR "○",
//   MA "×"; one per point, the first wins) as authored texts in standard
//   colour: on a stone (COL the stone's colour, DTX 1100) or on the
//   background (COL 3, DTX 2100). The first row carries BTO 9999 and the
//   letter, the last the figure's branch number. The node's comment goes
//   on the last stone row, which panel 1 keeps showing once the figure is
//   drawn; a figure without stones ends with a row of point 0 that carries
//   the comment (a figure with nothing at all is that row alone).
//   Root nodes without stones, marks or setup whose only child is a setup
//   node hand their comment to that node's figure instead.
// - Moves become sequences: a run of rows TES 1, 2, ... from a branch row
//   up to the next node with other than one continuation, which ends the
//   run with a branch number of its own; each continuation there starts a
//   run with BTO = that number. Nodes without move or setup (a comment
//   only) pass their comment to the row before them. Marks on moves are
//   not kept: the player draws texts only in basic figures.
// - Right and wrong, for each continuation of a node, in this order: a
//   comment anywhere in the line containing RIGHT or 正解 (not as part of
//   不正解), or TE on its first move, marks a correct line; WV, BM or TR
//   on the point of its first move, or a comment in the line containing
//   失敗 or 不正解, marks a wrong one; otherwise the first continuation is
//   correct and the others wrong. A wrong line's first move is stored with
//   a negative colour.
// Rows are built and checked completely before anything is written: a
// board other than 19 lines, a pass, a move on a stone, more than 26
// figures, more than kChoiceCapacity continuations at one node or lines
// nested deeper than the player's path raise ESgfError naming the place,
// and the tables stay as they were. Texts longer than the CMT field are
// cut at a character boundary.
#ifndef MOMIRO_LESSONS_SGF_LESSON_IMPORT_H_
#define MOMIRO_LESSONS_SGF_LESSON_IMPORT_H_

#include <string>
#include <vector>

#include "lessons/lesson_query.h"
#include "lessons/sgf_tree.h"

namespace momiro {

// Byte widths of the text fields (UTF-8).
constexpr int kTitleFieldWidth = 120;    // mokuji.ITM
constexpr int kCommentFieldWidth = 250;  // figure.CMT

// Texts of marks drawn as authored texts.
inline constexpr const char* kTriangleText = "△";
inline constexpr const char* kSquareText = "□";
inline constexpr const char* kCircleText = "○";
inline constexpr const char* kCrossText = "×";

// The importer's message once an entry is stored.
inline constexpr const char* kSgfImported = "SGF を読み込みました。";

// One `figure` row without MNB and TNB.
struct SgfLessonRow {
  int tes = 0;
  int col = 0;
  int pst = 0;
  int bfr = 0;
  int bto = 0;
  int dtx = 0;
  std::string cmt;
  bool operator==(const SgfLessonRow&) const = default;
};

// The rows of the lesson a tree stands for, in storing order.
std::vector<SgfLessonRow> SgfToLessonRows(const SgfNode& root);

// Refuses a contents number the import may not take: below
// kFirstAuthoredNumber (the supplied lessons and the adjourned games), a
// multiple of 100 (whose figures are those of the number + 1), or one that
// the contents or the figure rows already use. Also an empty or too long
// title. Raises ESgfError; changes nothing.
void CheckImportTarget(LessonQuery& contents, LessonQuery& figures, int number, const std::string& title);

// Stores the first tree of a collection as contents entry number with
// title: checks the collection (one tree), builds the rows, checks the
// target, then appends the `mokuji` row and the `figure` rows and opens
// the figure rows of number (renumbering them). contents is a scratch
// query over `mokuji` (its SQL is replaced); figures the figure query. A
// write that fails part-way takes back what it wrote before the error
// passes on.
void ImportSgfLesson(LessonQuery& contents, LessonQuery& figures, const std::vector<const SgfNode*>& trees,
                     int number, const std::string& title);

// The comment conventions of right and wrong lines: RIGHT or 正解 (not as
// the end of 不正解); 失敗 or 不正解.
bool SgfCommentMarksRight(const std::string& comment);
bool SgfCommentMarksWrong(const std::string& comment);
// Whether the comment of first or of any node below it marks right (or
// wrong).
bool SgfLineMarkedRight(const SgfNode& first);
bool SgfLineMarkedWrong(const SgfNode& first);

// A text cut to at most width bytes without splitting a character.
std::string CutToWidth(const std::string& text, int width);

}  // namespace momiro

#endif  // MOMIRO_LESSONS_SGF_LESSON_IMPORT_H_
