// The stored form of type 14 fields: an 80-bit extended float in 10 bytes.
//
//   offset  width   meaning
//   0       uint64  significand with its integer bit explicit (bit 63)
//   8       uint16  bit 15: sign; bits 0..14: exponent biased by 16383
//
// Zero has exponent and significand 0; infinities have exponent 0x7FFF and
// significand 0x8000000000000000; NaN exponent 0x7FFF with more significand
// bits. The encoding works from `long double` arithmetic so that it does not
// depend on the machine's own long double format.
#pragma once

#include <array>
#include <cstdint>

namespace rudira {

using Extended80 = std::array<uint8_t, 10>;

Extended80 EncodeExtended(long double value);
long double DecodeExtended(const Extended80& bytes);

}  // namespace rudira
