#include "storage/bcd.h"

#include <string>

namespace rudira {
namespace {

// Rounds the decimal digit string `digits` (most significant first) by
// dropping its last `drop` digits, half to even.
std::string DropDigitsRounded(const std::string& digits, size_t drop) {
  if (drop == 0) return digits;
  if (drop > digits.size()) return "0";
  std::string kept = digits.substr(0, digits.size() - drop);
  const std::string dropped = digits.substr(digits.size() - drop);
  const char first = dropped[0];
  const bool restNonZero = dropped.find_first_not_of('0', 1) != std::string::npos;
  const bool lastKeptOdd = !kept.empty() && ((kept.back() - '0') % 2 == 1);
  const bool roundUp = first > '5' || (first == '5' && (restNonZero || lastKeptOdd));
  if (kept.empty()) kept = "0";
  if (roundUp) {
    int i = static_cast<int>(kept.size()) - 1;
    while (i >= 0 && kept[i] == '9') kept[i--] = '0';
    if (i < 0) kept.insert(kept.begin(), '1');
    else ++kept[i];
  }
  return kept;
}

std::string StripLeadingZeros(const std::string& digits) {
  const size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

}  // namespace

uint8_t Bcd::Digit(int i) const {
  const uint8_t byte = Bytes[2 + i / 2];
  return (i % 2 == 0) ? static_cast<uint8_t>(byte >> 4) : static_cast<uint8_t>(byte & 0x0F);
}

bool IsValidBcd(const Bcd& value) {
  if (value.Precision() > 64 || value.Scale() > value.Precision()) return false;
  for (int i = 0; i < value.Precision(); ++i) {
    if (value.Digit(i) > 9) return false;
  }
  return true;
}

std::optional<Bcd> BcdFromFixedPoint(int64_t fixedPoint, uint8_t scale) {
  if (scale > kBcdMaxScale) return std::nullopt;
  const bool negative = fixedPoint < 0;
  // The magnitude as unsigned so that INT64_MIN is representable.
  const uint64_t magnitude = negative ? uint64_t{0} - static_cast<uint64_t>(fixedPoint)
                                      : static_cast<uint64_t>(fixedPoint);
  std::string digits = std::to_string(magnitude);  // value × 10^4
  if (scale >= kFixedPointDecimals) {
    digits.append(scale - kFixedPointDecimals, '0');
  } else {
    digits = DropDigitsRounded(digits, kFixedPointDecimals - scale);
  }
  digits = StripLeadingZeros(digits);
  if (digits.size() > kBcdPrecision) return std::nullopt;
  digits.insert(digits.begin(), kBcdPrecision - digits.size(), '0');
  Bcd result;
  result.Bytes[0] = kBcdPrecision;
  const bool isZero = digits.find_first_not_of('0') == std::string::npos;
  result.Bytes[1] = static_cast<uint8_t>(scale | ((negative && !isZero) ? 0x80 : 0));
  for (int i = 0; i < kBcdPrecision; ++i) {
    const uint8_t d = static_cast<uint8_t>(digits[i] - '0');
    result.Bytes[2 + i / 2] |= (i % 2 == 0) ? static_cast<uint8_t>(d << 4) : d;
  }
  return result;
}

std::optional<int64_t> BcdToFixedPoint(const Bcd& value) {
  if (!IsValidBcd(value)) return std::nullopt;
  std::string digits;
  for (int i = 0; i < value.Precision(); ++i) digits.push_back(static_cast<char>('0' + value.Digit(i)));
  if (digits.empty()) digits = "0";
  const int scale = value.Scale();
  if (scale <= kFixedPointDecimals) {
    digits.append(kFixedPointDecimals - scale, '0');
  } else {
    digits = DropDigitsRounded(digits, scale - kFixedPointDecimals);
  }
  digits = StripLeadingZeros(digits);
  if (digits.size() > 19) return std::nullopt;
  uint64_t magnitude = 0;
  for (char c : digits) magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
  constexpr uint64_t kMaxPositive = static_cast<uint64_t>(INT64_MAX);
  if (value.Negative()) {
    if (magnitude > kMaxPositive + 1) return std::nullopt;
    return static_cast<int64_t>(uint64_t{0} - magnitude);
  }
  if (magnitude > kMaxPositive) return std::nullopt;
  return static_cast<int64_t>(magnitude);
}

}  // namespace rudira
