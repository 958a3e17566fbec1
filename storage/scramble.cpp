#include "storage/scramble.h"

namespace rudira {

void Scramble(uint8_t* data, size_t length, ScrambleSeed seed) {
  uint8_t low = seed.Low;
  uint8_t high = seed.High;
  for (size_t i = 0; i < length; ++i) {
    data[i] = static_cast<uint8_t>(data[i] ^ low ^ high);
    ++low;
    --high;
  }
}

std::string ScrambledText(const std::string& text, ScrambleSeed seed) {
  std::string result = text;
  Scramble(reinterpret_cast<uint8_t*>(result.data()), result.size(), seed);
  return result;
}

}  // namespace rudira
