#include "storage/byte_codec.h"

#include "engine/utf8_text.h"

namespace rudira {

void StoreShortString(uint8_t* p, size_t capacity, std::string_view text) {
  const size_t n = Utf8CutLength(text, std::min<size_t>(capacity, 255));
  std::memset(p, 0, capacity + 1);
  p[0] = static_cast<uint8_t>(n);
  std::memcpy(p + 1, text.data(), n);
}

std::optional<std::string> LoadShortString(const uint8_t* p, size_t capacity) {
  if (p[0] > capacity) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

}  // namespace rudira
