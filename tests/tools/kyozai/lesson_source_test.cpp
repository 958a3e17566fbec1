// The lesson source parser and the row checks: what a good source becomes,
// and bad sources refused with the file and line that is wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/make_kyozai/lesson_source.h"

namespace momiro {
namespace {

TEST(LessonPointTest, GoCoordinatesBecomeColumnMajorPointsFromTheTop) {
  struct Case {
    const char* name;
    int point;
  };
  const Case cases[] = {
      {"A19", 1},   // top-left corner
      {"A1", 19},   // bottom-left corner
      {"B19", 20},  // top of the second column
      {"D4", 3 * 19 + 15 + 1},
      {"H1", 7 * 19 + 19},
      {"J1", 8 * 19 + 19},  // J follows H: there is no I column
      {"T1", 361},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParsePoint(c.name), c.point) << c.name;
    EXPECT_EQ(PointName(c.point), c.name) << c.point;
  }
  for (const char* bad : {"I5", "A0", "A20", "U1", "d4", "D", "D4x", ""})
    EXPECT_EQ(ParsePoint(bad), 0) << bad;
}

TEST(LessonSourceTest, FiguresAndSequencesBecomeLinkedRows) {
  const std::string text =
      "# a comment\n"
      "entry 110 題名\n"
      "figure B fig\n"
      "  text background red C3 ア\n"
      "  W D4\n"
      "  B C4 D5 : 図の説明\n"
      "sequence fig s1\n"
      "  B D3 captures D4 : 正解\n"
      "  W C3\n"
      "sequence s1\n"
      "  B? E3 : 失敗\n"
      "sequence fig\n"
      "  W? D3\n";
  const LessonEntry entry = ParseLessonSource(text, "x.txt");
  EXPECT_EQ(entry.number, 110);
  EXPECT_EQ(entry.title, "題名");
  struct Expect {
    int tes, col, pst, bfr, bto, dtx;
    const char* cmt;
  };
  const Expect expected[] = {
      {0, 3, ParsePoint("C3"), 0, 9999, 2 * 1000 + 3 * 100 + 2, "ア"},
      {0, 2, ParsePoint("D4"), 0, 0, 0, ""},
      {0, 1, ParsePoint("C4"), 0, 0, 0, ""},
      {0, 1, ParsePoint("D5"), 1, 0, 0, "図の説明"},
      {1, 1, ParsePoint("D3"), 0, 1, 0, "正解"},
      {2, 2, ParsePoint("C3"), 2, 0, 0, ""},
      {3, -1, ParsePoint("E3"), 3, 2, 0, "失敗"},
      {1, -2, ParsePoint("D3"), 4, 1, 0, ""},
  };
  ASSERT_EQ(entry.rows.size(), std::size(expected));
  for (size_t i = 0; i < entry.rows.size(); ++i) {
    const LessonRow& row = entry.rows[i];
    const Expect& e = expected[i];
    EXPECT_EQ(row.mnb, 110) << i;
    EXPECT_EQ(row.tes, e.tes) << i;
    EXPECT_EQ(row.col, e.col) << i;
    EXPECT_EQ(row.pst, e.pst) << i;
    EXPECT_EQ(row.bfr, e.bfr) << i;
    EXPECT_EQ(row.bto, e.bto) << i;
    EXPECT_EQ(row.dtx, e.dtx) << i;
    EXPECT_EQ(row.cmt, e.cmt) << i;
    EXPECT_EQ(row.tnb, static_cast<int>(i) + 1) << i;
  }
  EXPECT_EQ(entry.rows[4].captures, std::vector<int>{ParsePoint("D4")});
  EXPECT_EQ(entry.rows[4].line, 8);
}

std::string Message(const std::string& text) {
  try {
    ParseLessonSource(text, "bad.txt");
  } catch (const ELessonSourceError& error) {
    return error.what();
  }
  return "(accepted)";
}

std::string Repeat(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

TEST(LessonSourceTest, BadSourcesAreRefusedWithFileAndLine) {
  const std::string head = "entry 110 題名\nfigure A f\n  B D4\n";
  std::string deep = head;
  deep += "sequence f s1\n  W C3\n";
  for (int i = 2; i <= 9; ++i)
    deep += "sequence s" + std::to_string(i - 1) + " s" + std::to_string(i) + "\n  W C3\n";
  std::string wide = head + Repeat("sequence f\n  W C3\n", 21);
  struct Case {
    std::string text;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"", "bad.txt:0: no entry line"},
      {"figure A f\n", "bad.txt:1: the file must begin with an entry line"},
      {"entry x 題名\n", "bad.txt:1: expected: entry NUMBER TITLE"},
      {"entry 110\n", "bad.txt:1: expected: entry NUMBER TITLE"},
      {"entry 19 題名\n", "bad.txt:1: contents numbers 9, 13 and 19 hold the adjourned games"},
      {"entry 200 題名\n", "bad.txt:1: a multiple of 100 shows the figures of the next number"},
      {"entry 110 題名\n", "bad.txt:1: the entry has no basic figure"},
      {"entry 110 題名\nentry 120 別\n", "bad.txt:2: a second entry in one file"},
      {"entry 110 " + Repeat("あ", 41) + "\n", "bad.txt:1: the title is longer than 120 bytes"},
      {"entry 110 題名\n  B D4\n", "bad.txt:2: a row outside a figure or sequence"},
      {"entry 110 題名\nfigure a f\n", "bad.txt:2: expected: figure LETTER LABEL"},
      {"entry 110 題名\nfigure A f\nfigure B g\n  B D4\n", "bad.txt:2: the figure has no rows"},
      {head + "figure A g\n  B C3\n", "bad.txt:4: figure A is defined twice"},
      {head + "figure B f\n  B C3\n", "bad.txt:4: branch label \"f\" is used twice"},
      {head + "  B I4\n", "bad.txt:4: \"I4\" is no point of the board"},
      {head + "  B D20\n", "bad.txt:4: \"D20\" is no point of the board"},
      {head + "  X D3\n", "bad.txt:4: expected stones"},
      {head + "  B\n", "bad.txt:4: a stone line without points"},
      {head + "  text shadow red C3 ア\n", "bad.txt:4: text kind must be"},
      {head + "  text direct blue C3 ア\n", "bad.txt:4: text colour must be"},
      {head + "  text direct red C3\n", "bad.txt:4: expected: text KIND COLOUR POINT TEXT"},
      {head + "  B C3 : " + Repeat("あ", 84) + "\n",
       "bad.txt:4: the text is longer than 250 bytes"},
      {head + "  B C3 : \xff\xfe\n", "bad.txt:4: the text is not UTF-8"},
      {head + "sequence g\n  W C3\n", "bad.txt:4: unknown branch label \"g\""},
      {head + "sequence\n", "bad.txt:4: expected: sequence FROM [LABEL]"},
      {head + "sequence f\nsequence f\n  W C3\n", "bad.txt:4: the sequence has no moves"},
      {head + "sequence f\n  text direct red C3 ア\n",
       "bad.txt:5: text rows belong to basic figures"},
      {head + "sequence f\n  W\n", "bad.txt:5: a move without a point"},
      {head + "sequence f\n  X C3\n", "bad.txt:5: expected a move"},
      {head + "sequence f\n  W C3 takes D4\n", "bad.txt:5: expected: captures POINT..."},
      {head + "sequence f\n  W C3 captures\n", "bad.txt:5: expected: captures POINT..."},
      {deep + "sequence s9\n  W C3\n", "bad.txt:22: sequences nest deeper than 10 runs"},
      {wide, "bad.txt:44: more than 20 sequences continue from \"f\""},
  };
  for (const Case& c : cases) {
    const std::string message = Message(c.text);
    EXPECT_EQ(message.substr(0, c.message.size()), c.message) << "source:\n" << c.text;
  }
  // Ten runs deep and twenty continuations are still allowed.
  EXPECT_EQ(Message(deep), "(accepted)");
  EXPECT_EQ(Message(head + Repeat("sequence f\n  W C3\n", 20)), "(accepted)");
}

// Rows that break the structure the player relies on, as a damaged or
// hand-made row list would: the check names the row's source line.
TEST(LessonRowsTest, BrokenStructureIsRefused) {
  const LessonEntry good = ParseLessonSource(
      "entry 110 題名\nfigure A f\n  B D4\n  W C4\nsequence f s\n  B D3\n  W C3\nsequence s\n  B "
      "E3\n",
      "rows.txt");
  ASSERT_NO_THROW(CheckLessonRows(good));
  struct Case {
    const char* what;
    void (*damage)(LessonEntry&);
    const char* message;
  };
  const Case cases[] = {
      {"last run open", [](LessonEntry& e) { e.rows.back().bfr = 0; },
       "rows.txt:9: the last figure or sequence does not end with a branch row"},
      {"branch used twice", [](LessonEntry& e) { e.rows[4].bfr = 1; },
       "rows.txt:9: branch number 1 is used twice"},
      {"run without BTO", [](LessonEntry& e) { e.rows[2].bto = 0; },
       "rows.txt:6: the row after a branch row must begin a figure or a sequence"},
      {"BTO inside a run", [](LessonEntry& e) { e.rows[3].bto = 1; },
       "rows.txt:7: a figure or sequence begins inside another one"},
      {"link to nothing", [](LessonEntry& e) { e.rows[2].bto = 7; },
       "rows.txt:6: the sequence continues from branch 7, which does not exist"},
      {"circle", [](LessonEntry& e) { e.rows[2].bto = 2; },
       "rows.txt:6: move numbers must continue those of the row the sequence continues from"},
      {"off the board", [](LessonEntry& e) { e.rows[1].pst = 362; },
       "rows.txt:4: the point is off the board"},
      {"no letter", [](LessonEntry& e) { e.rows[0].dtx = 0; },
       "rows.txt:3: a basic figure's letter must be 1 to 26"},
      {"figure move number", [](LessonEntry& e) { e.rows[1].tes = 3; },
       "rows.txt:4: a basic figure's row carries a move number"},
      {"text stone colour", [](LessonEntry& e) { e.rows[1].dtx = 2100; },
       "rows.txt:4: a text row's kind, colour and COL do not fit together"},
      {"move colour", [](LessonEntry& e) { e.rows[3].col = 3; },
       "rows.txt:7: a move must be of colour 1, 2, -1 or -2"},
      {"move numbers", [](LessonEntry& e) { e.rows[3].tes = 5; },
       "rows.txt:7: move numbers must continue those of the row the sequence continues from"},
  };
  for (const Case& c : cases) {
    LessonEntry entry = good;
    c.damage(entry);
    std::string message = "(accepted)";
    try {
      CheckLessonRows(entry);
    } catch (const ELessonSourceError& error) {
      message = error.what();
    }
    EXPECT_EQ(message, c.message) << c.what;
  }
}

TEST(LessonEntriesTest, AContentsNumberIsUsedOnce) {
  const LessonEntry a = ParseLessonSource("entry 110 一\nfigure A f\n  B D4\n", "a.txt");
  const LessonEntry b = ParseLessonSource("entry 110 二\nfigure A f\n  B D4\n", "b.txt");
  const LessonEntry c = ParseLessonSource("entry 120 三\nfigure A f\n  B D4\n", "c.txt");
  EXPECT_NO_THROW(CheckLessonEntries({a, c}));
  try {
    CheckLessonEntries({a, c, b});
    ADD_FAILURE() << "accepted";
  } catch (const ELessonSourceError& error) {
    EXPECT_STREQ(error.what(), "b.txt:1: contents number 110 is also used by a.txt");
  }
}

}  // namespace
}  // namespace momiro
