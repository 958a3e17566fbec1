// The SGF reader and writer: structure, escapes, character sets, point
// lists, the messages of malformed files, and text written then read back.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <string>

#include "lessons/sgf_reader.h"
#include "lessons/sgf_writer.h"

namespace momiro {
namespace {

// UTF-8 text in another character set, through ICU.
std::string Encode(const std::string& utf8, const char* charset) {
  UErrorCode status = U_ZERO_ERROR;
  std::string out(utf8.size() * 4 + 16, '\0');
  const int32_t length = ucnv_convert(charset, "UTF-8", out.data(), static_cast<int32_t>(out.size()),
                                      utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  out.resize(static_cast<size_t>(length));
  return out;
}

const SgfNode& Only(const SgfCollection& collection) {
  EXPECT_EQ(collection.trees.size(), 1u);
  return *collection.trees.front();
}

TEST(SgfReaderTest, NodesVariationsAndValuesFollowTheFile) {
  const SgfCollection c = ReadSgf("junk before (;GM[1]SZ[19]AB[aa][bb] ;B[cc](;W[dd];B[ee])(;W[ff]))");
  const SgfNode& root = Only(c);
  EXPECT_EQ(root.Value("SZ"), "19");
  ASSERT_NE(root.Find("AB"), nullptr);
  EXPECT_EQ(root.Find("AB")->values, (std::vector<std::string>{"aa", "bb"}));
  ASSERT_EQ(root.Children().size(), 1u);
  const SgfNode& move = *root.Children()[0];
  EXPECT_EQ(move.Value("B"), "cc");
  ASSERT_EQ(move.Children().size(), 2u);
  EXPECT_EQ(move.Children()[0]->Value("W"), "dd");
  ASSERT_EQ(move.Children()[0]->Children().size(), 1u);
  EXPECT_EQ(move.Children()[0]->Children()[0]->Value("B"), "ee");
  EXPECT_EQ(move.Children()[1]->Value("W"), "ff");
  EXPECT_TRUE(move.Children()[1]->Children().empty());
  EXPECT_EQ(c.charset, "UTF-8");
}

TEST(SgfReaderTest, EscapesSoftBreaksAndLineBreaks) {
  // \] and \\ stand for themselves, "\" before a line break removes it,
  // CR LF is one hard break, a tab is a blank, lower-case letters of an
  // identifier are dropped.
  const SgfCollection c = ReadSgf("(;C[a\\]b\\\\c\\\r\nd\r\ne\tf]Comment[x])");
  const SgfNode& root = Only(c);
  EXPECT_EQ(root.Value("C"), "a]b\\cd\ne f");
  EXPECT_EQ(root.Find("C")->values.size(), 2u) << "C and Comment are one identifier";
}

TEST(SgfReaderTest, CompressedPointListsExpand) {
  const SgfCollection c = ReadSgf("(;SZ[9]AB[aa:bc][ee][ab])");
  const std::vector<SgfPoint> points = ExpandPointList(*Only(c).Find("AB"), 9);
  const std::vector<SgfPoint> expected{{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}, {4, 4}};
  EXPECT_EQ(points, expected);
  EXPECT_THROW(ExpandPointList(*ReadSgf("(;AB[aa:jj])").trees[0]->Find("AB"), 9), ESgfError);
  EXPECT_THROW(ExpandPointList(*ReadSgf("(;AB[a])").trees[0]->Find("AB"), 9), ESgfError);
}

TEST(SgfReaderTest, ShiftJisWithoutCharsetIsDetected) {
  // 表 and ソ end in the byte of "\", which must not be taken for an escape.
  const std::string text = "(;GN[表ソ]C[正解です])";
  const std::string bytes = Encode(text, "Shift_JIS");
  ASSERT_NE(bytes.find('\\'), std::string::npos);
  const SgfCollection c = ReadSgf(bytes);
  EXPECT_EQ(c.charset, "Shift_JIS");
  EXPECT_EQ(Only(c).Value("GN"), "表ソ");
  EXPECT_EQ(Only(c).Value("C"), "正解です");
}

TEST(SgfReaderTest, CharsetPropertyNamesTheSet) {
  const std::string bytes = Encode("(;CA[EUC-JP]C[失敗しました]GN[詰碁])", "EUC-JP");
  const SgfCollection c = ReadSgf(bytes);
  EXPECT_EQ(c.charset, "EUC-JP");
  EXPECT_EQ(Only(c).Value("C"), "失敗しました");
  EXPECT_EQ(Only(c).Value("GN"), "詰碁");
  // Valid UTF-8 is read as UTF-8 without CA[].
  EXPECT_EQ(Only(ReadSgf("(;C[正解])")).Value("C"), "正解");
}

TEST(SgfReaderTest, MalformedFilesNameThePosition) {
  struct Case {
    std::string text;
    int line;
    int column;
    std::string words;
  };
  const std::vector<Case> cases{
      {"no tree here", 1, 13, "「(」"},
      {"(;B[aa]\n;W[bb", 2, 3, "「]」"},
      {"(;B[aa]\n(;W[bb])", 1, 1, "「)」"},
      {"(;B[aa]\n  ?", 2, 3, "「?」"},
      {"(;B[aa](;W[bb]);B[cc])", 1, 16, "変化"},
      {"(;B[aa]\n;C )", 2, 2, "C"},
      {"(B[aa])", 1, 2, "「;」"},
      {"(;CA[UTF-8]C[\xFF])", 1, 14, "CA[UTF-8]"},
      {"(;CA[NO-SUCH-SET]C[x])", 0, 0, "NO-SUCH-SET"},
  };
  for (const Case& c : cases) {
    try {
      ReadSgf(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ESgfError& e) {
      EXPECT_EQ(e.Line(), c.line) << c.text << ": " << e.what();
      EXPECT_EQ(e.Column(), c.column) << c.text << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
      if (c.line > 0) {
        EXPECT_NE(std::string(e.what()).find(SgfPosition(c.line, c.column)), std::string::npos) << e.what();
      }
    }
  }
}

TEST(SgfReaderTest, BoardSizes) {
  EXPECT_EQ(SgfBoardSize(*ReadSgf("(;GM[1])").trees[0]), 19);
  EXPECT_EQ(SgfBoardSize(*ReadSgf("(;SZ[13])").trees[0]), 13);
  EXPECT_EQ(SgfBoardSize(*ReadSgf("(;SZ[9:9])").trees[0]), 9);
  EXPECT_THROW(SgfBoardSize(*ReadSgf("(;SZ[9:13])").trees[0]), ESgfError);
  EXPECT_THROW(SgfBoardSize(*ReadSgf("(;SZ[x])").trees[0]), ESgfError);
}

TEST(SgfWriterTest, WrittenTextReadsBackTheSameTree) {
  SgfNode root;
  root.Set("GM", {"1"});
  root.Set("CA", {"Shift_JIS"});
  root.Set("C", {"角括弧 ] と \\ と\n改行"});
  SgfNode& first = root.AddChild();
  first.Set("B", {"pd"});
  SgfNode& a = first.AddChild();
  a.Set("W", {"dp"});
  a.AddChild().Set("B", {"qq"});
  SgfNode& b = first.AddChild();
  b.Set("W", {"dd"});
  b.Set("LB", {"cc:A", "dc:B"});

  const std::string text = WriteSgf(root);
  const SgfCollection back = ReadSgf(text);
  const SgfNode& r = Only(back);
  EXPECT_EQ(r.Value("CA"), "UTF-8");
  EXPECT_EQ(r.Value("C"), root.Value("C"));
  const SgfNode& f = *r.Children().at(0);
  EXPECT_EQ(f.Value("B"), "pd");
  ASSERT_EQ(f.Children().size(), 2u);
  EXPECT_EQ(f.Children()[0]->Value("W"), "dp");
  EXPECT_EQ(f.Children()[0]->Children().at(0)->Value("B"), "qq");
  EXPECT_EQ(f.Children()[1]->Find("LB")->values, b.Find("LB")->values);
  EXPECT_EQ(WriteSgf(r), text);
}

TEST(SgfWriterTest, LongMainLineNeedsNoDeepRecursion) {
  SgfNode root;
  SgfNode* node = &root;
  for (int i = 0; i < kMaxSgfDepth - 1; ++i) {
    node = &node->AddChild();
    node->Set(i % 2 == 0 ? "B" : "W", {"aa"});
  }
  const SgfCollection back = ReadSgf(WriteSgf(root));
  int depth = 1;
  for (const SgfNode* n = back.trees[0].get(); !n->Children().empty(); n = n->Children()[0].get()) ++depth;
  EXPECT_EQ(depth, kMaxSgfDepth);
  std::string deeper = "(";
  for (int i = 0; i <= kMaxSgfDepth; ++i) deeper += ";B[aa]";
  EXPECT_THROW(ReadSgf(deeper + ")"), ESgfError);
}

}  // namespace
}  // namespace momiro
