// CleanUpQuietly: runs one clean-up step after a failure (a lock given back,
// a half-made write discarded, a file removed) and swallows any engine or
// system error the step raises, so that the failure which made the clean-up
// necessary is the one its caller sees. Only for clean-up on an error path:
// a step whose own failure matters must be called directly.
#pragma once

#include <exception>
#include <functional>

namespace rudira {

inline void CleanUpQuietly(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception&) {
    // The error being reported is the one that led here.
  }
}

}  // namespace rudira
