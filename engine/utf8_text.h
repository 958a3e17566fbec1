// Small UTF-8 helpers shared by the engine: all engine text is UTF-8 and
// every cut to a byte size ends on a character boundary.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rudira {

// The largest length <= maxBytes at which text can be cut without splitting
// a UTF-8 sequence. Bytes that are not valid UTF-8 count as one character each.
size_t Utf8CutLength(std::string_view text, size_t maxBytes);

// The length of text without a UTF-8 sequence left incomplete at its end.
size_t Utf8CompleteLength(std::string_view text);

// text cut to at most maxBytes bytes on a character boundary.
std::string Utf8Cut(std::string_view text, size_t maxBytes);

}  // namespace rudira
