#include "engine/utf8_text.h"

namespace rudira {

namespace {

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the sequence a lead byte announces (1 for a stray byte).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

}  // namespace

size_t Utf8CutLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  // Walk back from the cut to the start of the character it falls in; keep
  // that character only if it ends before the cut.
  size_t start = maxBytes;
  size_t steps = 0;
  while (start > 0 && steps < 3 && IsContinuationByte(static_cast<unsigned char>(text[start]))) {
    --start;
    ++steps;
  }
  if (!IsContinuationByte(static_cast<unsigned char>(text[start]))) {
    size_t length = SequenceLength(static_cast<unsigned char>(text[start]));
    // text[maxBytes] is a continuation byte of the sequence that starts at
    // 'start' only if that sequence reaches past maxBytes.
    if (length > 1 && start + length > maxBytes) return start;
  }
  return maxBytes;
}

size_t Utf8CompleteLength(std::string_view text) {
  size_t start = text.size();
  size_t steps = 0;
  while (start > 0 && steps < 3 && IsContinuationByte(static_cast<unsigned char>(text[start - 1]))) {
    --start;
    ++steps;
  }
  if (start == 0) return text.size();
  size_t lead = start - 1;
  size_t length = SequenceLength(static_cast<unsigned char>(text[lead]));
  if (length > 1 && lead + length > text.size()) return lead;
  return text.size();
}

std::string Utf8Cut(std::string_view text, size_t maxBytes) {
  return std::string(text.substr(0, Utf8CutLength(text, maxBytes)));
}

}  // namespace rudira
