// The character order map of a locale: the 256 byte values in ascending
// order of the locale's single-character comparison (byte order without a
// locale).
//
// Partial keys and ranges are padded with the map's lowest and highest
// entries so that they sort before or after every key with the same prefix,
// and step to a byte's neighbour in the locale's order. Maps are computed on
// first use and cached for the life of the process; the cache is shared by
// all threads under its own lock, and a map handed out is never changed or
// freed.
#pragma once

#include <array>
#include <cstdint>

namespace rudira {

struct CharOrder {
  uint16_t LanguageId = 0;
  uint16_t SortId = 0;
  std::array<uint8_t, 256> Bytes{};  // byte values, lowest character first
  std::array<uint8_t, 256> Rank{};   // Rank[b]: the entry holding b

  uint8_t Lowest() const { return Bytes[0]; }
  uint8_t Highest() const { return Bytes[255]; }
  // The byte just before / after b in the locale's order; b itself at the
  // ends of the order.
  uint8_t Predecessor(uint8_t b) const { return Rank[b] == 0 ? b : Bytes[Rank[b] - 1]; }
  uint8_t Successor(uint8_t b) const { return Rank[b] == 255 ? b : Bytes[Rank[b] + 1]; }
};

// The cached map of a locale, computed under the cache lock on first use.
// The reference stays valid for the life of the process.
const CharOrder& CharOrderMap(uint16_t languageId, uint16_t sortId);

}  // namespace rudira
