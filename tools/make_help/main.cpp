// make-help SOURCE OUT: checks a help source and writes it as the help file.
// A malformed source fails the build with the line that is wrong, so the
// program never ships a help file it cannot read.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/help_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-help SOURCE OUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "make-help: cannot read %s\n", argv[1]);
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string error;
  if (!momiro::ParseHelpFile(text.str(), &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << text.str();
  out.close();
  if (!out) {
    std::fprintf(stderr, "make-help: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
