#include "sound_synth.h"

#include <algorithm>
#include <cmath>

namespace momiro::tools {
namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> Wav(const std::vector<double>& samples) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> out;
  for (char c : {'R', 'I', 'F', 'F'}) out.push_back(c);
  PutLE(out, 36 + dataBytes, 4);
  for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}) out.push_back(c);
  PutLE(out, 16, 4);
  PutLE(out, 1, 2);  // PCM
  PutLE(out, 1, 2);  // mono
  PutLE(out, kRate, 4);
  PutLE(out, kRate * 2, 4);
  PutLE(out, 2, 2);
  PutLE(out, 16, 2);
  for (char c : {'d', 'a', 't', 'a'}) out.push_back(c);
  PutLE(out, dataBytes, 4);
  for (double s : samples) {
    const long v = std::lround(std::clamp(s, -1.0, 1.0) * 32000);
    PutLE(out, static_cast<uint32_t>(static_cast<int16_t>(v)), 2);
  }
  return out;
}

}  // namespace

std::vector<uint8_t> RenderStoneClick() {
  // A sharp noise transient over two damped wood resonances. The noise comes
  // from a fixed linear congruential sequence, so the file is the same on
  // every build.
  const int length = kRate * 12 / 100;
  std::vector<double> samples(length);
  uint32_t seed = 12345;
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kRate;
    seed = seed * 1103515245u + 12345u;
    const double noise = ((seed >> 16) & 0x7fff) / 16384.0 - 1.0;
    const double transient = noise * std::exp(-t * 900);
    const double body = 0.6 * std::sin(2 * kPi * 1650 * t) * std::exp(-t * 70) +
                        0.3 * std::sin(2 * kPi * 2900 * t) * std::exp(-t * 110);
    samples[i] = 0.8 * (0.7 * transient + body);
  }
  return Wav(samples);
}

std::vector<uint8_t> RenderChime() {
  const int length = kRate * 8 / 10;
  std::vector<double> samples(length);
  const double notes[2][2] = {{880.0, 0.0}, {1318.5, 0.18}};  // frequency, start (s)
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double s = 0;
    for (const auto& note : notes) {
      const double u = t - note[1];
      if (u < 0) continue;
      const double envelope = std::min(1.0, u * 400) * std::exp(-u * 5);
      s += envelope * (std::sin(2 * kPi * note[0] * u) + 0.25 * std::sin(4 * kPi * note[0] * u));
    }
    samples[i] = 0.35 * s;
  }
  return Wav(samples);
}

}  // namespace momiro::tools
