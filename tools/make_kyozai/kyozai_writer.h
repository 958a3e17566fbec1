// Writes the lesson database `kyozai` with the project's own engine.
//
// Table `figure` (one row per figure row, natural order = insertion order):
//   field  type           meaning
//   MNB    integer        contents number
//   TES    integer        move number, 0 in basic figures
//   COL    integer        1, 2; -1, -2 wrong answer; 3 background text; 0 direct text
//   PST    integer        point on the 19-line board
//   BFR    integer        branch number on a run's last row, else 0
//   BTO    integer        on a run's first row: 9999 or the BFR it continues
//   DTX    integer        text kind * 1000 + text colour * 100 + figure letter
//   CMT    string(250)    comment of a stone row, text of a text row
//   TNB    integer        running number, rewritten by the program at every opening
// No primary-index fields, so appended rows always come last and freed slots
// are never reused; secondary index "ByMNB" (not unique) on MNB.
//
// Table `mokuji`: MNB integer (primary index), ITM string(120).
#ifndef MOMIRO_TOOLS_MAKE_KYOZAI_KYOZAI_WRITER_H_
#define MOMIRO_TOOLS_MAKE_KYOZAI_KYOZAI_WRITER_H_

#include <string>
#include <vector>

#include "tools/make_kyozai/lesson_source.h"

namespace momiro {

inline constexpr const char* kFigureTable = "figure";
inline constexpr const char* kContentsTable = "mokuji";
inline constexpr const char* kFigureByContents = "ByMNB";

// Creates both tables in directory (which must exist and hold neither
// table; it ends with a separator) and appends the entries' rows in order.
// Engine failures propagate as rudira::ERUDIRAEngineError.
void WriteKyozai(const std::string& directory, const std::vector<LessonEntry>& entries);

}  // namespace momiro

#endif  // MOMIRO_TOOLS_MAKE_KYOZAI_KYOZAI_WRITER_H_
