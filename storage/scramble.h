// Scrambling of encrypted tables.
//
// A run of bytes is XORed with a running 16-bit state made of a low and a
// high byte, both set from a fixed two-byte seed at the start of the run:
// each byte is XORed with the low byte and with the high byte, then the low
// byte is incremented and the high byte decremented (modulo 256). The same
// call unscrambles. A run of length 0 changes nothing.
//
// Runs: each record on its own and all descriptors of a file as one run (the
// record seed); the description's characters (the record seed); the
// password's characters (the password seed). Length bytes of short strings
// are never scrambled.
//
// This keeps casual readers out of a table file; it is not cryptography.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rudira {

struct ScrambleSeed {
  uint8_t Low;
  uint8_t High;
};

// The seeds are this engine's own choice and part of its file format: every
// encrypted table ever written depends on them, so they never change. The
// values are arbitrary except that low − high is odd in both: the two bytes
// step towards each other by two per byte and so never meet, the combined
// mask (low XOR high) is never 0 and every scrambled byte differs from the
// plain one.
constexpr ScrambleSeed kRecordScrambleSeed{0x5A, 0xC3};
constexpr ScrambleSeed kPasswordScrambleSeed{0x27, 0x9E};

void Scramble(uint8_t* data, size_t length, ScrambleSeed seed);

// The scrambled (or unscrambled) copy of a text.
std::string ScrambledText(const std::string& text, ScrambleSeed seed);

}  // namespace rudira
