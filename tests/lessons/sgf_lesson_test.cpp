// SGF lessons: a problem file becoming rows, the right/wrong conventions,
// round trips through export, refused files and numbers leaving the tables
// as they were, and an imported problem walked through the lesson player.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "lessons/sgf_lesson_export.h"
#include "lessons/sgf_lesson_import.h"
#include "lessons/sgf_lesson_queries.h"
#include "lessons/sgf_reader.h"
#include "lessons/sgf_writer.h"
#include "support/kyozai_directory.h"
#include "support/lesson_fixture.h"

namespace momiro {
void PrintTo(const SgfLessonRow& r, std::ostream* os) {
  *os << "{" << r.tes << "," << r.col << "," << r.pst << "," << r.bfr << "," << r.bto << "," << r.dtx << ",\"" << r.cmt
      << "\"}";
}
}  // namespace momiro

namespace momiro::testing {
namespace {

// Point of an SGF coordinate pair on the 19-line board.
int S(const char* xy) { return BoardPointOf(SgfPoint{xy[0] - 'a', xy[1] - 'a'}, 19); }

std::vector<const SgfNode*> Trees(const SgfCollection& collection) {
  std::vector<const SgfNode*> trees;
  for (const auto& tree : collection.trees) trees.push_back(tree.get());
  return trees;
}

std::string Dump(MemoryDatabase& db, const char* table) {
  std::ostringstream out;
  for (const MemoryRow& row : db.Table(table).Rows()) {
    for (const MemoryValue& value : row) out << (value.null ? "-" : value.text + std::to_string(value.integer)) << ' ';
    out << '\n';
  }
  return out.str();
}

const char* const kProblem =
    "(;GM[1]FF[4]SZ[19]AB[aa][ba]AW[ab]LB[cc:A]TR[aa]C[黒番]"
    "(;B[bb]C[RIGHT];W[cb])"
    "(;B[ca];W[bb]C[白が取ります]))";

class SgfLessonTest : public LessonTest {
 protected:
  SgfLessonTest() : scratch(db) {}
  void Import(const std::string& text, int number, const std::string& title = "詰碁") {
    const SgfCollection collection = ReadSgf(text);
    ImportSgfLesson(scratch, figures, Trees(collection), number, title);
  }
  MemoryQuery scratch;
};

TEST_F(SgfLessonTest, AProblemBecomesAFigureWithTextsAndTwoSequences) {
  Import(kProblem, 1001);
  const std::vector<SgfLessonRow> expected{
      {0, 1, S("aa"), 0, 9999, 1, ""},
      {0, 1, S("ba"), 0, 0, 0, ""},
      {0, 2, S("ab"), 0, 0, 0, "黒番"},
      {0, 3, S("cc"), 0, 0, 2100, "A"},
      {0, 1, S("aa"), 1, 0, 1100, "△"},
      {1, 1, S("bb"), 0, 1, 0, "RIGHT"},
      {2, 2, S("cb"), 2, 0, 0, ""},
      {1, -1, S("ca"), 0, 1, 0, ""},
      {2, 2, S("bb"), 3, 0, 0, "白が取ります"},
  };
  EXPECT_EQ(ReadLessonRows(figures, 1001), expected);
  OpenContents(contents, kAllContents);
  ASSERT_TRUE(contents.Locate("MNB", {1001}));
  EXPECT_EQ(contents.FieldText(kContentsITM), "詰碁");
  // Every stored row belongs to 1001 and is numbered 1..n.
  figures.First();
  for (int tnb = 1; !figures.Eof(); ++tnb, figures.Next()) {
    EXPECT_EQ(figures.FieldInt(kFigureMNB), 1001);
    EXPECT_EQ(figures.FieldInt(kFigureTNB), tnb);
  }
}

TEST_F(SgfLessonTest, RightAndWrongFollowTheConventionsInOrder) {
  struct Case {
    const char* firstMove;      // properties of the first variation's move
    const char* firstReply;     // properties of the reply in the first variation
    const char* secondMove;
    const char* secondReply;
    int firstSign;
    int secondSign;
  };
  const std::vector<Case> cases{
      {"", "", "", "", 1, -1},                       // first correct, others wrong
      {"", "", "", "C[RIGHT]", 1, 1},                // RIGHT deep in the line
      {"", "", "C[正解です]", "", 1, 1},             // 正解
      {"", "C[不正解]", "", "", -1, -1},             // 不正解 is wrong, not 正解
      {"WV[]", "", "", "", -1, -1},
      {"BM[1]", "", "", "", -1, -1},
      {"TR[aa]", "", "", "", -1, -1},                // a triangle on the move
      {"TR[cc]", "", "", "", 1, -1},                 // a triangle elsewhere is a mark
      {"", "C[これは失敗]", "", "", -1, -1},
      {"BM[1]", "C[RIGHT]", "TE[1]", "", 1, 1},      // RIGHT before BM; TE is correct
  };
  for (const Case& c : cases) {
    const std::string text = std::string("(;AB[jj](;B[aa]") + c.firstMove + ";W[ab]" + c.firstReply + ")(;B[ba]" +
                             c.secondMove + ";W[bb]" + c.secondReply + "))";
    const std::vector<SgfLessonRow> rows = SgfToLessonRows(*ReadSgf(text).trees.front());
    std::vector<int> signs;
    for (const SgfLessonRow& row : rows) {
      if (row.bto == 1) signs.push_back(row.col > 0 ? 1 : -1);
    }
    EXPECT_EQ(signs, (std::vector<int>{c.firstSign, c.secondSign})) << text;
  }
}

TEST_F(SgfLessonTest, CommentsOfNodesWithoutMovesGoToTheRowBefore) {
  // A root with only game information hands its comment to the setup node
  // below; a node with only a comment hands it to the row before it; a
  // figure without stones is one row of point 0.
  EXPECT_EQ(SgfToLessonRows(*ReadSgf("(;GN[x]C[はじめ];AB[aa]C[図])").trees.front()),
            (std::vector<SgfLessonRow>{{0, 1, S("aa"), 1, 9999, 1, "はじめ\n図"}}));
  EXPECT_EQ(SgfToLessonRows(*ReadSgf("(;AB[aa];C[説明];B[bb];C[後で])").trees.front()),
            (std::vector<SgfLessonRow>{{0, 1, S("aa"), 1, 9999, 1, "説明"}, {1, 1, S("bb"), 2, 1, 0, "後で"}}));
  EXPECT_EQ(SgfToLessonRows(*ReadSgf("(;C[空の盤];B[aa])").trees.front()),
            (std::vector<SgfLessonRow>{{0, 0, 0, 1, 9999, 1, "空の盤"}, {1, 1, S("aa"), 2, 1, 0, ""}}));
  // Texts longer than the field are cut at a character boundary.
  std::string longComment;
  for (int i = 0; i < 100; ++i) longComment += "碁";
  const std::vector<SgfLessonRow> rows = SgfToLessonRows(*ReadSgf("(;AB[aa]C[" + longComment + "])").trees.front());
  EXPECT_EQ(rows.front().cmt, longComment.substr(0, 83 * 3));
}

// Two figures (a setup node deep in the tree adds to the position there),
// nested variations, wrong lines with refutations, marks and comments.
const char* const kLesson =
    "(;SZ[19]GN[x]AB[dd][pd]AW[dp]SQ[pd]MA[qq]C[図の説明]"
    "(;B[qf]C[よい手];W[nc](;B[pf]C[正解])(;B[qc];W[qd]C[失敗]))"
    "(;B[cc];W[dc]BM[1];B[cd])"
    "(;B[jj];W[jk];AB[kk]AW[kj]C[第二図]"
    "(;B[ki]C[RIGHT])(;B[lj];W[ki])))";

TEST_F(SgfLessonTest, ExportThenImportGivesTheSameRows) {
  Import(kLesson, 1001, "二つの図");
  const std::vector<SgfLessonRow> imported = ReadLessonRows(figures, 1001);
  // The second figure holds the stones of the moves before its setup node.
  EXPECT_NE(std::find(imported.begin(), imported.end(), SgfLessonRow{0, 1, S("jj"), 0, 0, 0, ""}), imported.end());
  EXPECT_EQ(std::count_if(imported.begin(), imported.end(), [](const SgfLessonRow& r) { return r.bto == 9999; }), 2);

  const std::unique_ptr<SgfNode> tree = ExportSgfLesson(scratch, figures, 1001);
  EXPECT_EQ(tree->Value("GN"), "二つの図");
  Import(WriteSgf(*tree), 1002, "二つの図");
  EXPECT_EQ(ReadLessonRows(figures, 1002), imported);

  // A setup node beside a move in the middle of a line, and one beside the
  // first moves.
  int number = 1003;
  for (const char* text : {"(;AB[dd](;B[qf];W[nc](;B[pf])(;AB[qc];W[qd]))(;B[cc]))",
                           "(;AW[dd](;AB[ee];B[ff])(;B[cc]BM[1])(;B[gg];W[hh]))"}) {
    Import(text, number, "t");
    const std::vector<SgfLessonRow> rows = ReadLessonRows(figures, number);
    Import(WriteSgf(*ExportSgfLesson(scratch, figures, number)), number + 1, "t");
    EXPECT_EQ(ReadLessonRows(figures, number + 1), rows) << text;
    number += 2;
  }
}

// A canonical text of a tree: per node its move, setup points as sets,
// marks, comment; children in order. Properties of the file as a whole
// and the right/wrong markers are left out.
void Describe(const SgfNode& node, std::string& out) {
  out += ";";
  for (const char* id : {"B", "W", "AB", "AW", "AE", "LB", "TR", "SQ", "CR", "MA", "C"}) {
    const SgfProperty* property = node.Find(id);
    if (property == nullptr) continue;
    std::set<std::string> values(property->values.begin(), property->values.end());
    out += id;
    for (const std::string& v : values) out += "[" + v + "]";
  }
  for (const auto& child : node.Children()) {
    out += "(";
    Describe(*child, out);
    out += ")";
  }
}

TEST_F(SgfLessonTest, ImportThenExportGivesAnEquivalentTree) {
  const char* const problem =
      "(;SZ[19]AB[dd][ed]AW[de][ee]LB[fe:a]CR[cc]C[白を取る]"
      "(;B[fd]C[RIGHT];W[ff];B[ef])"
      "(;B[df]BM[1];W[cd]C[逃げられます])"
      "(;B[gg]BM[1]))";
  Import(problem, 1001);
  const std::unique_ptr<SgfNode> exported = ExportSgfLesson(scratch, figures, 1001);
  std::string original;
  std::string back;
  Describe(*ReadSgf(problem).trees.front(), original);
  Describe(*ReadSgf(WriteSgf(*exported)).trees.front(), back);
  EXPECT_EQ(back, original);
  // The wrong first moves carry BM[1] again.
  ASSERT_EQ(exported->Children().size(), 3u);
  EXPECT_FALSE(exported->Children()[0]->Has("BM"));
  EXPECT_TRUE(exported->Children()[1]->Has("BM"));
  EXPECT_TRUE(exported->Children()[2]->Has("BM"));
}

TEST_F(SgfLessonTest, RefusedFilesAndNumbersChangeNothing) {
  Import("(;AB[aa])", 1001);
  // Continuations at one node and runs on one path, up to the player's
  // limits (20; 10 counting the figure) and one beyond.
  auto wideFile = [](int continuations) {
    std::string text = "(;AB[jj]";
    for (int i = 0; i < continuations; ++i) text += "(;B[" + SgfPointText(SgfPoint{i % 19, i / 19}) + "])";
    return text + ")";
  };
  auto deepFile = [](int levels) {
    std::string text = "(;AB[jj]";
    for (int i = 0; i < levels; ++i) {
      text += "(;B[" + SgfPointText(SgfPoint{i, 0}) + "])(;W[" + SgfPointText(SgfPoint{i, 1}) + "]";
    }
    for (int i = 0; i < levels; ++i) text += ")";
    return text + ")";
  };
  EXPECT_NO_THROW(SgfToLessonRows(*ReadSgf(wideFile(20)).trees.front()));
  EXPECT_NO_THROW(SgfToLessonRows(*ReadSgf(deepFile(9)).trees.front()));
  const std::string wide = wideFile(21);
  const std::string deep = deepFile(10);
  struct Case {
    std::string text;
    int number;
    std::string title;
    std::string words;
  };
  const std::vector<Case> cases{
      {"(;SZ[13]AB[aa])", 1002, "t", "19路"},
      {"(;AB[aa];B[])", 1002, "t", "パス"},
      {"(;AB[aa];B[bb];W[aa])", 1002, "t", "石のある点"},
      {"(;AB[aa];B[bb]\n;AB[cc]", 1002, "t", "「)」"},
      {wide, 1002, "t", "20"},
      {deep, 1002, "t", "10 段"},
      {"(;AB[aa])(;AB[bb])", 1002, "t", "一つだけ"},
      {"(;AB[aa])", 999, "t", "使えません"},
      {"(;AB[aa])", 1100, "t", "使えません"},
      {"(;AB[aa])", 1001, "t", "既にあります"},
      {"(;AB[aa])", 1002, "", "題名"},
  };
  const std::string contentsBefore = Dump(db, "mokuji");
  const std::string figuresBefore = Dump(db, "figure");
  for (const Case& c : cases) {
    try {
      Import(c.text, c.number, c.title);
      ADD_FAILURE() << "imported: " << c.text;
    } catch (const ESgfError& e) {
      EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << c.text << ": " << e.what();
    }
    EXPECT_EQ(Dump(db, "mokuji"), contentsBefore) << c.text;
    EXPECT_EQ(Dump(db, "figure"), figuresBefore) << c.text;
  }
}

TEST_F(SgfLessonTest, AnImportedProblemIsPlayedWithItsCirclesAndRedNumbers) {
  Import(kProblem, 1001);
  OpenContents(contents, kAllContents);
  ShowEntry(1001);
  EXPECT_EQ(board.Cell(S("aa")), kBlack);
  EXPECT_EQ(board.Cell(S("ab")), kWhite);
  EXPECT_EQ(view.At(S("cc")).text, "A");
  EXPECT_EQ(view.At(S("aa")).text, "△");
  EXPECT_EQ(view.status[1], "黒番");

  StepForward();
  EXPECT_EQ(view.At(S("bb")).text, kChoiceMarker);
  EXPECT_EQ(view.At(S("bb")).textColour, kGreenText);
  EXPECT_EQ(view.At(S("ca")).text, kChoiceMarker);
  EXPECT_EQ(view.At(S("ca")).textColour, kRedText);

  Click(S("ca"));
  EXPECT_EQ(board.Cell(S("ca")), kBlack);
  EXPECT_EQ(view.At(S("ca")).text, "1");
  EXPECT_EQ(view.At(S("ca")).textColour, kRedText);
  StepForward();
  EXPECT_EQ(board.Cell(S("bb")), kWhite);
  EXPECT_EQ(view.At(S("bb")).text, "2");
  EXPECT_EQ(view.status[1], "白が取ります");
  EXPECT_EQ(view.status[0], kSequenceEnded);
}

// The figure query, failing at its n-th Append as a full disk would.
class FailingFigures : public LessonQuery {
 public:
  FailingFigures(LessonQuery& inner, int failAt) : inner_(inner), failAt_(failAt) {}
  void Close() override { inner_.Close(); }
  void ClearSql() override { inner_.ClearSql(); }
  void AddSql(const std::string& line) override { inner_.AddSql(line); }
  void SetParamInt(int index, int value) override { inner_.SetParamInt(index, value); }
  void Open() override { inner_.Open(); }
  bool Active() const override { return inner_.Active(); }
  void First() override { inner_.First(); }
  void Next() override { inner_.Next(); }
  void Prior() override { inner_.Prior(); }
  bool Eof() const override { return inner_.Eof(); }
  bool Bof() const override { return inner_.Bof(); }
  bool IsEmpty() const override { return inner_.IsEmpty(); }
  void Edit() override { inner_.Edit(); }
  void Append() override {
    if (++appends_ == failAt_) throw std::runtime_error("書き込めません");
    inner_.Append();
  }
  void Post() override { inner_.Post(); }
  void Delete() override { inner_.Delete(); }
  int FieldInt(int position) const override { return inner_.FieldInt(position); }
  std::string FieldText(int position) const override { return inner_.FieldText(position); }
  void SetFieldInt(int position, int value) override { inner_.SetFieldInt(position, value); }
  void SetFieldText(int position, const std::string& text) override { inner_.SetFieldText(position, text); }
  bool Locate(const std::string& fields, const std::vector<int>& values) override {
    return inner_.Locate(fields, values);
  }

 private:
  LessonQuery& inner_;
  int failAt_;
  int appends_ = 0;
};

TEST_F(SgfLessonTest, AWriteFailingPartWayTakesBackWhatItWrote) {
  const std::string contentsBefore = Dump(db, "mokuji");
  const std::string figuresBefore = Dump(db, "figure");
  FailingFigures failing(figures, 4);
  const SgfCollection problem = ReadSgf(kProblem);
  EXPECT_THROW(ImportSgfLesson(scratch, failing, Trees(problem), 1001, "詰碁"), std::runtime_error);
  EXPECT_EQ(Dump(db, "mokuji"), contentsBefore);
  EXPECT_EQ(Dump(db, "figure"), figuresBefore);
}

TEST(SgfLessonDatabaseTest, TheEngineTablesTakeAnImportAndRefuseAConflict) {
  KyozaiDirectory directory;
  MemoryDatabase empty;
  directory.Write(empty);
  if (!SqlExecutionAvailable()) GTEST_SKIP() << "no SQL execution in this build";
  SgfLessonQueries queries("kyozai");
  const SgfCollection problem = ReadSgf(kProblem);
  ImportSgfLesson(queries.Contents(), queries.Figures(), Trees(problem), 1001, "詰碁");
  const std::vector<SgfLessonRow> rows = ReadLessonRows(queries.Figures(), 1001);
  EXPECT_EQ(rows, SgfToLessonRows(*problem.trees.front()));
  EXPECT_THROW(ImportSgfLesson(queries.Contents(), queries.Figures(), Trees(problem), 1001, "詰碁"), ESgfError);
  EXPECT_EQ(ReadLessonRows(queries.Figures(), 1001), rows);
  EXPECT_EQ(ExportSgfLesson(queries.Contents(), queries.Figures(), 1001)->Value("GN"), "詰碁");
}

}  // namespace
}  // namespace momiro::testing
