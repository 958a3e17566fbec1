// Renders the stone pictures as 24-bit BMP files.
//
// A picture is 28 x 28 pixels. Pixels outside the stone carry the key colour
// of the bottom-left pixel, which the windows draw as transparent; the rim is
// anti-aliased against the board colour, which is what lies underneath.
#ifndef MOMIRO_TOOLS_MAKE_PROGRAM_FILES_STONE_BITMAP_H_
#define MOMIRO_TOOLS_MAKE_PROGRAM_FILES_STONE_BITMAP_H_

#include <cstdint>
#include <vector>

namespace momiro::tools {

enum class StoneKind { Black, White };

// The complete bytes of a BMP file showing one stone.
std::vector<uint8_t> RenderStoneBitmap(StoneKind kind);

}  // namespace momiro::tools

#endif  // MOMIRO_TOOLS_MAKE_PROGRAM_FILES_STONE_BITMAP_H_
