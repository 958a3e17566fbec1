// The lesson fixture in the edit layout, with the lesson editor wired to the
// board's hooks and a recorder for Edit3, plus two small entries for
// authoring:
//
// Contents 500 (figures under 501): 図Ａ with one sequence; branch numbers
// 1 and 3 are used, so 2 is the next free one.
//   TNB  TES COL PST    BFR BTO   DTX
//    1    0   1  (2,2)   1  9999    1
//    2    1   2  (2,3)   3    1     0
// Contents 700 (no rows under 701): an entry to author from nothing.
#ifndef MOMIRO_TESTS_LESSONS_SUPPORT_AUTHORING_FIXTURE_H_
#define MOMIRO_TESTS_LESSONS_SUPPORT_AUTHORING_FIXTURE_H_

#include <ostream>
#include <string>
#include <vector>

#include "lesson_fixture.h"
#include "lessons/authoring_window.h"
#include "lessons/lesson_author.h"

namespace momiro::testing {

class RecordingAuthoringWindow : public AuthoringWindow {
 public:
  std::string Edit3Text() const override { return edit3; }
  void SetEdit3Text(const std::string& text) override { edit3 = text; }

  std::string edit3;
};

// One stored figure row, read straight from the table.
struct StoredRow {
  int mnb, tes, col, pst, bfr, bto, dtx;
  std::string cmt;
  int tnb;
  friend bool operator==(const StoredRow&, const StoredRow&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const StoredRow& r) {
  return out << "{MNB " << r.mnb << " TES " << r.tes << " COL " << r.col << " PST " << r.pst
             << " BFR " << r.bfr << " BTO " << r.bto << " DTX " << r.dtx << " CMT \"" << r.cmt
             << "\" TNB " << r.tnb << "}";
}

class AuthoringTest : public LessonTest {
 protected:
  AuthoringTest() : author(main, view, window, editor, figures, branches) {
    hooks.SetAuthor(&author);
    db.AddContents(500, "創作");
    db.AddContents(700, "新しい課");
    db.AddFigureRow(501, 0, 1, P(2, 2), 1, 9999, 1);
    db.AddFigureRow(501, 1, 2, P(2, 3), 3, 1, 0);
    OpenContents(contents, kAllContents);
    board.AppMode = kAppEdit;
  }

  // Every row of `figure` whose MNB is mnb, in table order.
  std::vector<StoredRow> Rows(int mnb) {
    std::vector<StoredRow> rows;
    for (const MemoryRow& row : db.Table("figure").Rows()) {
      auto number = [&](int position) { return static_cast<int>(row[position].integer); };
      if (row[kFigureMNB].null || number(kFigureMNB) != mnb) continue;
      rows.push_back({number(kFigureMNB), number(kFigureTES), number(kFigureCOL),
                      number(kFigurePST), number(kFigureBFR), number(kFigureBTO),
                      number(kFigureDTX), row[kFigureCMT].text, number(kFigureTNB)});
    }
    return rows;
  }
  // A board click with the mouse button given.
  void Author(int p, MouseButton button = MouseButton::Left) { main.BoardClick(p, button); }
  // Shows the figure of the box's item index under a contents number, as
  // "図表示" does.
  void ShowNumber(int number, int itemIndex) {
    editor.edit3 = std::to_string(number);
    window.itemIndex = itemIndex;
    author.CuteButton13Click();
    editor.edit3.clear();
  }

  RecordingAuthoringWindow editor;
  LessonAuthor author;
};

}  // namespace momiro::testing

#endif  // MOMIRO_TESTS_LESSONS_SUPPORT_AUTHORING_FIXTURE_H_
