// make-kyozai [--keep-existing] OUTDIR SOURCE...: reads the lesson sources,
// checks them, and writes the lesson database (tables `mokuji` and `figure`)
// as the directory OUTDIR.
//
// The database is written beside OUTDIR first and renamed into place only
// when complete, so a failed run leaves no half-made database. An existing
// OUTDIR is never touched: it holds the user's adjourned games and authored
// lessons. With --keep-existing that is no error (the build runs the tool
// every time and keeps what is there); the sources are checked all the same,
// so a bad source still fails the build.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/make_kyozai/kyozai_writer.h"
#include "tools/make_kyozai/lesson_source.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  int first = 1;
  bool keepExisting = false;
  if (argc > 1 && std::string(argv[1]) == "--keep-existing") {
    keepExisting = true;
    ++first;
  }
  if (argc - first < 2) {
    std::fprintf(stderr, "usage: make-kyozai [--keep-existing] OUTDIR SOURCE...\n");
    return 2;
  }
  const fs::path out = fs::path(argv[first]).lexically_normal();
  try {
    std::vector<momiro::LessonEntry> entries;
    for (int i = first + 1; i < argc; ++i) {
      std::ifstream in(argv[i], std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "make-kyozai: cannot read %s\n", argv[i]);
        return 1;
      }
      std::ostringstream text;
      text << in.rdbuf();
      entries.push_back(momiro::ParseLessonSource(text.str(), argv[i]));
    }
    momiro::CheckLessonEntries(entries);

    std::error_code error;
    if (fs::exists(out, error)) {
      if (keepExisting) {
        std::printf("make-kyozai: %s exists and is kept\n", out.c_str());
        return 0;
      }
      std::fprintf(stderr, "make-kyozai: %s exists; it is never overwritten\n", out.c_str());
      return 1;
    }
    const fs::path work = out.string() + ".new-" + std::to_string(::getpid());
    fs::remove_all(work, error);
    fs::create_directories(work);
    try {
      momiro::WriteKyozai(work.string() + "/", entries);
      fs::rename(work, out);
    } catch (...) {
      fs::remove_all(work, error);
      throw;
    }
    size_t rows = 0;
    for (const momiro::LessonEntry& entry : entries) rows += entry.rows.size();
    std::printf("make-kyozai: wrote %zu entries and %zu figure rows to %s\n", entries.size(), rows,
                out.c_str());
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 1;
  }
}
