// The reviewable text source of the lessons supplied with the program, and
// the rows of `mokuji` and `figure` it stands for.
//
// The source format is described in data/lessons/README.md. In short:
//
//   entry 110 石の取り方とアタリ         a contents entry (one per file)
//   figure A start                      a basic figure 図Ａ, its branch row
//     B D4 E5  W E4 : comment            named "start"; stones one row each
//     text background green C3 ア       an authored text row
//   sequence start s1                   a sequence continuing from "start",
//     B E3 captures E4 : comment        its own branch row named "s1"
//     W? ...                            a wrong-answer move (red number)
//
// Points are written as Go players read them: a column letter A..T without
// I from the left, a row number 1..19 from the bottom. They become point
// numbers p = column * 19 + rowFromTop + 1 on the 19-line board.
//
// ParseLessonSource builds the rows; CheckLessonRows then checks the
// structure every lesson routine relies on, over the rows themselves (so it
// also guards rows that did not come from this parser). Both raise
// ELessonSourceError with "file:line: what is wrong".
#ifndef MOMIRO_TOOLS_MAKE_KYOZAI_LESSON_SOURCE_H_
#define MOMIRO_TOOLS_MAKE_KYOZAI_LESSON_SOURCE_H_

#include <stdexcept>
#include <string>
#include <vector>

namespace momiro {

// Byte widths of the text fields of the tables (UTF-8: a Japanese character
// takes three bytes, so ITM holds 40 and CMT 83 of them).
constexpr int kTitleWidth = 120;    // mokuji.ITM
constexpr int kCommentWidth = 250;  // figure.CMT, the widest string field the engine stores

constexpr int kLessonLines = 19;        // lessons are drawn on the main board
constexpr int kMaxContinuations = 20;   // sequences continuing from one branch row
constexpr int kMaxLessonDepth = 10;     // runs on a path, the basic figure included
constexpr int kBasicFigureLink = 9999;  // BTO of a basic figure's first row

class ELessonSourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One row of `figure` and where the source wrote it.
struct LessonRow {
  int mnb = 0;
  int tes = 0;
  int col = 0;
  int pst = 0;
  int bfr = 0;
  int bto = 0;
  int dtx = 0;
  std::string cmt;
  int tnb = 0;                // 1..n within the entry, in row order
  std::vector<int> captures;  // points the move promises to take off (moves only)
  std::string file;
  int line = 0;
};

struct LessonEntry {
  int number = 0;               // MNB
  std::string title;            // ITM
  std::vector<LessonRow> rows;  // in the order they are stored
  std::string file;
  int line = 0;
};

// "D4" -> its point on the 19-line board; 0 when text is no point.
int ParsePoint(const std::string& text);
// The point written as a Go player reads it ("D4").
std::string PointName(int p);

// Parses one source file (text is its whole content, fileName names it in
// messages). A file holds exactly one entry.
LessonEntry ParseLessonSource(const std::string& text, const std::string& fileName);

// Checks one entry's rows: every run ends with BFR > 0, BFR numbers are
// distinct, every run's first row carries BTO (9999 or an existing BFR),
// other rows carry neither, at most kMaxContinuations sequences continue
// from one branch row, paths are at most kMaxLessonDepth runs deep, points
// lie on the board, sequence rows are numbered moves of a stone colour,
// texts fit their fields, and every basic figure's letter is 1..26 and
// used once.
void CheckLessonRows(const LessonEntry& entry);

// Checks what concerns several entries: contents numbers unique.
void CheckLessonEntries(const std::vector<LessonEntry>& entries);

}  // namespace momiro

#endif  // MOMIRO_TOOLS_MAKE_KYOZAI_LESSON_SOURCE_H_
