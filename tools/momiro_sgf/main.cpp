// momiro-sgf: imports SGF files as lessons and exports lessons as SGF, in
// batch, over the lesson database (by default "kyozai" under the current
// directory, as the program opens it).
//
//   momiro-sgf import FILE --contents N --title T [--database DIR]
//   momiro-sgf export N FILE [--database DIR]
//
// Each run does one import or export with the program's own routines
// (lessons/sgf_lesson_import.h, lessons/sgf_lesson_export.h), so a file
// imported here is stored exactly as the "SGF" menu stores it. Success
// prints one line on standard output and exits 0; anything refused (a
// malformed file with its line and column, a contents number in use, an
// engine error) is printed on standard error and exits 1, and the database
// is left as it was; a wrong command line prints the usage and exits 2.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "lessons/data_module.h"
#include "lessons/sgf_lesson_export.h"
#include "lessons/sgf_lesson_import.h"
#include "lessons/sgf_lesson_queries.h"
#include "lessons/sgf_reader.h"
#include "lessons/sgf_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: momiro-sgf import FILE --contents N --title T [--database DIR]\n"
    "       momiro-sgf export N FILE [--database DIR]\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

// A contents number: decimal digits with an optional sign, within 32 bits.
bool ParseNumber(const std::string& text, int& number) {
  try {
    size_t used = 0;
    const long value = std::stol(text, &used);
    if (used != text.size() || value < -2147483647L - 1 || value > 2147483647L) return false;
    number = static_cast<int>(value);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string database = momiro::kLessonDatabase;
  std::string title;
  std::string contents;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--database" || arg == "--contents" || arg == "--title") {
      if (i + 1 >= args.size()) return Usage();
      (arg == "--database" ? database : arg == "--contents" ? contents : title) = args[++i];
    } else if (arg.rfind("--", 0) == 0) {
      return Usage();
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.empty()) return Usage();
  const std::string command = positional.front();
  int number = 0;
  try {
    if (command == "import") {
      if (positional.size() != 2 || contents.empty() || !ParseNumber(contents, number)) return Usage();
      const momiro::SgfCollection collection = momiro::ReadSgfFile(positional[1]);
      std::vector<const momiro::SgfNode*> trees;
      for (const auto& tree : collection.trees) trees.push_back(tree.get());
      momiro::SgfLessonQueries queries(database);
      momiro::ImportSgfLesson(queries.Contents(), queries.Figures(), trees, number, title);
      std::printf("%s: %s -> %d\n", momiro::kSgfImported, positional[1].c_str(), number);
      return 0;
    }
    if (command == "export") {
      if (positional.size() != 3 || !contents.empty() || !title.empty() || !ParseNumber(positional[1], number)) {
        return Usage();
      }
      momiro::SgfLessonQueries queries(database);
      const std::unique_ptr<momiro::SgfNode> tree =
          momiro::ExportSgfLesson(queries.Contents(), queries.Figures(), number);
      momiro::WriteSgfFile(positional[2], *tree);
      std::printf("SGF を書き出しました: %d -> %s\n", number, positional[2].c_str());
      return 0;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "momiro-sgf: %s\n", error.what());
    return 1;
  }
  return Usage();
}
