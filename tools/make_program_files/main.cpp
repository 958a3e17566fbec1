// make-program-files OUTDIR: writes the pictures and sounds of the program
// directory ("stB.bmp", "stW.bmp", "Oto1.wav", "Oto2.wav").
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sound_synth.h"
#include "stone_bitmap.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "make-program-files: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-program-files OUTDIR\n");
    return 2;
  }
  using namespace momiro::tools;
  const std::string dir = std::string(argv[1]) + "/";
  const bool ok = WriteFile(dir + "stB.bmp", RenderStoneBitmap(StoneKind::Black)) &&
                  WriteFile(dir + "stW.bmp", RenderStoneBitmap(StoneKind::White)) &&
                  WriteFile(dir + "Oto1.wav", RenderStoneClick()) &&
                  WriteFile(dir + "Oto2.wav", RenderChime());
  return ok ? 0 : 1;
}
