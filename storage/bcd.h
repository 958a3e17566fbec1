// The stored form of BCD (type 8) fields: 34 bytes.
//
//   offset  width  meaning
//   0       byte   Precision: number of decimal digits held (1..64); written as 32
//   1       byte   bit 7: sign (1 = negative); bits 0..5: Scale, digits after the point
//   2       32     digit nibbles: Precision digits, most significant first, the
//                  high nibble of each byte before its low nibble; unused nibbles 0
//
// The value is the digits read as an integer divided by 10^Scale. Zero is
// stored with the sign bit clear. Inside the engine BCD values travel as
// 64-bit fixed-point numbers with 4 decimal places (value × 10000); the
// conversions below map between that form and the stored one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace rudira {

constexpr uint8_t kBcdPrecision = 32;
constexpr uint8_t kBcdMaxScale = 32;
constexpr int kFixedPointDecimals = 4;

struct Bcd {
  std::array<uint8_t, 34> Bytes{};

  uint8_t Precision() const { return Bytes[0]; }
  uint8_t Scale() const { return Bytes[1] & 0x3F; }
  bool Negative() const { return (Bytes[1] & 0x80) != 0; }
  // Digit i (0 = most significant) of the Precision digits.
  uint8_t Digit(int i) const;

  bool operator==(const Bcd&) const = default;
};

// The BCD of precision 32 and `scale` holding the fixed-point value
// `fixedPoint` / 10000. Digits below the scale are rounded half to even.
// Nothing when the value does not fit 32 digits at that scale or scale > 32.
std::optional<Bcd> BcdFromFixedPoint(int64_t fixedPoint, uint8_t scale);

// The fixed-point value (× 10000) of a BCD; digits beyond 4 decimals are
// rounded half to even. Nothing when the value is outside the 64-bit range
// or the BCD is malformed (precision above 64, a nibble above 9).
std::optional<int64_t> BcdToFixedPoint(const Bcd& value);

// Whether the 34 bytes are a well-formed BCD.
bool IsValidBcd(const Bcd& value);

}  // namespace rudira
