// The lesson sources supplied with the program, parsed as the build does.
#ifndef MOMIRO_TESTS_TOOLS_KYOZAI_LESSON_FILES_H_
#define MOMIRO_TESTS_TOOLS_KYOZAI_LESSON_FILES_H_

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/make_kyozai/lesson_source.h"

namespace momiro::testing {

// The *.txt files of data/lessons in name order.
inline std::vector<std::string> LessonFiles() {
  std::vector<std::string> files;
  for (const auto& item : std::filesystem::directory_iterator(LESSON_SOURCE_DIR)) {
    if (item.path().extension() == ".txt") files.push_back(item.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline std::vector<LessonEntry> SuppliedLessons() {
  std::vector<LessonEntry> entries;
  for (const std::string& file : LessonFiles()) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    entries.push_back(ParseLessonSource(text.str(), file));
  }
  CheckLessonEntries(entries);
  return entries;
}

}  // namespace momiro::testing

#endif  // MOMIRO_TESTS_TOOLS_KYOZAI_LESSON_FILES_H_
