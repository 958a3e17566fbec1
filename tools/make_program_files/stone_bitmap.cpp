#include "stone_bitmap.h"

#include <algorithm>
#include <cmath>

namespace momiro::tools {
namespace {

constexpr int kSize = 28;
constexpr int kSamples = 4;  // supersampling per axis for the rim
struct Colour {
  double r, g, b;
};
constexpr Colour kKey{255, 0, 255};          // transparent key
constexpr Colour kBoard{254, 231, 182};       // board colour under the rim

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Colour of the stone's surface at (x, y) relative to its centre, radius r:
// a soft light from the upper left.
Colour Surface(StoneKind kind, double x, double y, double r) {
  const double lx = x + r * 0.35, ly = y + r * 0.35;
  const double highlight = std::max(0.0, 1.0 - std::sqrt(lx * lx + ly * ly) / (r * 1.1));
  const double edge = std::sqrt(x * x + y * y) / r;
  if (kind == StoneKind::Black) {
    const double v = 20 + 90 * highlight * highlight;
    return {v, v, v + 4};
  }
  const double v = 255 - 45 * edge * edge + 0 * highlight;
  return {v, v, v - 6};
}

}  // namespace

std::vector<uint8_t> RenderStoneBitmap(StoneKind kind) {
  const int rowBytes = kSize * 3;  // already a multiple of 4
  const uint32_t pixelBytes = rowBytes * kSize;
  std::vector<uint8_t> out;
  // BITMAPFILEHEADER
  out.push_back('B');
  out.push_back('M');
  PutLE(out, 14 + 40 + pixelBytes, 4);
  PutLE(out, 0, 4);
  PutLE(out, 14 + 40, 4);
  // BITMAPINFOHEADER
  PutLE(out, 40, 4);
  PutLE(out, kSize, 4);
  PutLE(out, kSize, 4);  // positive height: rows stored bottom-up
  PutLE(out, 1, 2);
  PutLE(out, 24, 2);
  PutLE(out, 0, 4);  // no compression
  PutLE(out, pixelBytes, 4);
  PutLE(out, 2835, 4);  // 72 dpi
  PutLE(out, 2835, 4);
  PutLE(out, 0, 4);
  PutLE(out, 0, 4);

  const double centre = kSize / 2.0;
  const double radius = kSize / 2.0 - 0.5;
  for (int row = kSize - 1; row >= 0; --row) {
    for (int col = 0; col < kSize; ++col) {
      int inside = 0;
      Colour sum{0, 0, 0};
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double x = col + (sx + 0.5) / kSamples - centre;
          const double y = row + (sy + 0.5) / kSamples - centre;
          if (x * x + y * y > radius * radius) continue;
          ++inside;
          const Colour c = Surface(kind, x, y, radius);
          sum.r += c.r;
          sum.g += c.g;
          sum.b += c.b;
        }
      }
      Colour pixel = kKey;
      if (inside > 0) {
        const double coverage = static_cast<double>(inside) / (kSamples * kSamples);
        pixel = {sum.r / inside * coverage + kBoard.r * (1 - coverage),
                 sum.g / inside * coverage + kBoard.g * (1 - coverage),
                 sum.b / inside * coverage + kBoard.b * (1 - coverage)};
      }
      auto byte = [](double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
      out.push_back(byte(pixel.b));
      out.push_back(byte(pixel.g));
      out.push_back(byte(pixel.r));
    }
  }
  return out;
}

}  // namespace momiro::tools
