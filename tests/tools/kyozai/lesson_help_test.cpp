// Every supplied lesson opens a help topic of its own number.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/help_file.h"
#include "tools/kyozai/lesson_files.h"

namespace momiro {
namespace {

TEST(LessonHelpTest, EachLessonHasItsTopicUnderItsTitle) {
  std::ifstream in(HELP_SOURCE_PATH, std::ios::binary);
  ASSERT_TRUE(in) << HELP_SOURCE_PATH;
  std::ostringstream text;
  text << in.rdbuf();
  std::string error;
  const std::optional<HelpFile> help = ParseHelpFile(text.str(), &error);
  ASSERT_TRUE(help.has_value()) << error;
  for (const LessonEntry& entry : testing::SuppliedLessons()) {
    const HelpTopic* topic = help->Find(entry.number);
    ASSERT_NE(topic, nullptr) << entry.file;
    EXPECT_EQ(topic->title, entry.title) << entry.file;
    EXPECT_FALSE(topic->body.empty()) << entry.file;
  }
}

}  // namespace
}  // namespace momiro
