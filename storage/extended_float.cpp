#include "storage/extended_float.h"

#include <cmath>
#include <limits>

#include "storage/byte_codec.h"

namespace rudira {
namespace {

constexpr int kBias = 16383;
constexpr uint16_t kMaxExponent = 0x7FFF;
constexpr uint64_t kIntegerBit = uint64_t{1} << 63;

Extended80 Pack(bool negative, uint16_t exponent, uint64_t significand) {
  Extended80 bytes{};
  StoreLE<uint64_t>(bytes.data(), significand);
  StoreLE<uint16_t>(bytes.data() + 8, static_cast<uint16_t>(exponent | (negative ? 0x8000 : 0)));
  return bytes;
}

}  // namespace

Extended80 EncodeExtended(long double value) {
  const bool negative = std::signbit(value);
  if (std::isnan(value)) return Pack(false, kMaxExponent, kIntegerBit | (kIntegerBit >> 1));
  if (std::isinf(value)) return Pack(negative, kMaxExponent, kIntegerBit);
  if (value == 0) return Pack(negative, 0, 0);
  int exp2 = 0;
  // |value| = fraction × 2^exp2 with fraction in [0.5, 1).
  const long double fraction = std::frexp(std::fabs(value), &exp2);
  int exponent = exp2 - 1 + kBias;  // of the form 1.xxx × 2^(exp2 − 1)
  if (exponent >= kMaxExponent) return Pack(negative, kMaxExponent, kIntegerBit);
  // 64 significand bits: fraction × 2^64, taken in two 32-bit halves so that
  // a long double with fewer bits than 64 is still exact.
  long double scaled = std::ldexp(fraction, 32);
  const long double highPart = std::floor(scaled);
  const long double lowPart = std::ldexp(scaled - highPart, 32);
  uint64_t significand = (static_cast<uint64_t>(highPart) << 32) | static_cast<uint64_t>(std::floor(lowPart));
  if (exponent <= 0) {
    // Below the normal range: a denormal with exponent field 0.
    const int shift = 1 - exponent;
    significand = shift >= 64 ? 0 : significand >> shift;
    exponent = 0;
  }
  return Pack(negative, static_cast<uint16_t>(exponent), significand);
}

long double DecodeExtended(const Extended80& bytes) {
  const uint64_t significand = LoadLE<uint64_t>(bytes.data());
  const uint16_t signExponent = LoadLE<uint16_t>(bytes.data() + 8);
  const bool negative = (signExponent & 0x8000) != 0;
  const int exponent = signExponent & kMaxExponent;
  long double result;
  if (exponent == kMaxExponent) {
    result = (significand << 1) == 0 ? std::numeric_limits<long double>::infinity()
                                     : std::numeric_limits<long double>::quiet_NaN();
  } else {
    const long double mantissa = std::ldexp(static_cast<long double>(significand >> 32), 32) +
                                 static_cast<long double>(significand & 0xFFFFFFFFu);
    // A denormal (exponent field 0) has the exponent of the smallest normal.
    const int unbiased = (exponent == 0 ? 1 : exponent) - kBias;
    result = std::ldexp(mantissa, unbiased - 63);
  }
  return negative ? -result : result;
}

}  // namespace rudira
