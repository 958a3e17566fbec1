// Little-endian integers, floats and short strings inside file buffers.
//
// Every integer of the table files is little-endian whatever the machine. A
// short string[n] occupies n + 1 bytes: a length byte, then up to n bytes of
// text, unused bytes zero. These helpers read and write such values at an
// offset of a byte buffer; the caller guarantees the buffer is long enough.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>
#include <string>
#include <string_view>

namespace rudira {

// On a little-endian machine the bytes are the value: one unaligned load
// or store (the compiler does not always merge the byte loop into one).
template <typename T>
inline T LoadLE(const uint8_t* p) {
  static_assert(std::is_integral_v<T>);
  if constexpr (std::endian::native == std::endian::little) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
  }
  std::make_unsigned_t<T> value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    value |= static_cast<std::make_unsigned_t<T>>(p[i]) << (8 * i);
  }
  return static_cast<T>(value);
}

template <typename T>
inline void StoreLE(uint8_t* p, T value) {
  static_assert(std::is_integral_v<T>);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &value, sizeof value);
    return;
  }
  auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) {
    p[i] = static_cast<uint8_t>(bits >> (8 * i));
  }
}

inline double LoadDoubleLE(const uint8_t* p) { return std::bit_cast<double>(LoadLE<uint64_t>(p)); }
inline void StoreDoubleLE(uint8_t* p, double value) { StoreLE<uint64_t>(p, std::bit_cast<uint64_t>(value)); }

// Writes `text` as a short string of capacity `capacity` at p (capacity + 1
// bytes). A longer text is cut to `capacity` bytes, never inside a UTF-8
// character. Unused bytes are zeroed.
void StoreShortString(uint8_t* p, size_t capacity, std::string_view text);

// Reads the short string of capacity `capacity` at p; nothing when its length
// byte exceeds the capacity (a corrupt structure).
std::optional<std::string> LoadShortString(const uint8_t* p, size_t capacity);

}  // namespace rudira
