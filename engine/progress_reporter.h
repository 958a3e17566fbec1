// The progress reports of long table operations (restructures, index builds
// and rebuilds): the percentage of record slots processed,
// slot / highest record number x 100 rounded to the nearest integer, told
// each time it reaches the last report plus the session's progress step,
// and 100 at the end when that was not told yet.
#pragma once

#include <cstdint>
#include <functional>

namespace rudira {

class TProgressReporter {
 public:
  // `report` may be empty (nothing is told). REQUIRES: step >= 1.
  TProgressReporter(int step, std::function<void(int percent)> report)
      : step_(step < 1 ? 1 : step), report_(std::move(report)) {}

  // Slot `slot` of `highest` is done.
  void Processed(int32_t slot, int32_t highest) {
    if (!report_ || highest <= 0) return;
    const int percent = static_cast<int>((static_cast<int64_t>(slot) * 200 + highest) / (2 * int64_t{highest}));
    if (percent >= last_ + step_) Tell(percent);
  }
  // The end: 100 unless told already.
  void Finish() {
    if (report_ && last_ != 100) Tell(100);
  }

 private:
  void Tell(int percent) {
    last_ = percent;
    report_(percent);
  }

  int step_;                               // percent between reports
  std::function<void(int)> report_;        // told the percentage
  int last_ = 0;                           // last percentage told
};

}  // namespace rudira
