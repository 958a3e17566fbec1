// The help file format, and the shipped help source.
#include "app/help_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace momiro {
namespace {

TEST(HelpFile, ParsesContentsAndTopicsInFileOrder) {
  std::string error;
  const auto file = ParseHelpFile(
      "# comment\n@contents 目次\nintro\n\n@topic 7 石\nbody 1\n\nbody 2\n\n@topic 3 地\nx\n", &error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(file->contentsTitle, "目次");
  EXPECT_EQ(file->introduction, "intro");
  ASSERT_EQ(file->topics.size(), 2u);
  EXPECT_EQ(file->topics[0].number, 7);
  EXPECT_EQ(file->topics[0].title, "石");
  EXPECT_EQ(file->topics[0].body, "body 1\n\nbody 2");
  EXPECT_EQ(file->Find(3)->body, "x");
  EXPECT_EQ(file->Find(4), nullptr);
}

TEST(HelpFile, MalformedFilesNameTheLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"text\n", "line 1: text before @contents"},
      {"@contents A\n@topic x B\n", "line 2: @topic needs a context number"},
      {"@contents A\n@topic 1 B\n@topic 1 C\n", "line 3: topic 1 twice"},
      {"@contents A\n@bogus\n", "line 2: unknown directive @bogus"},
      {"# only a comment\n", "line 1: no @contents"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseHelpFile(c.text, &error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(HelpFile, ShippedSourceIsWellFormed) {
  std::ifstream in(HELP_SOURCE_PATH);
  std::ostringstream text;
  text << in.rdbuf();
  std::string error;
  const auto file = ParseHelpFile(text.str(), &error);
  ASSERT_TRUE(file) << error;
  EXPECT_FALSE(file->topics.empty());
}

}  // namespace
}  // namespace momiro
