// ELessonDataError: figure rows that do not form a lesson the player can
// show (a point off the board, a stone row without a stone colour, a run
// without its first or branch row, a branch that cannot be found), and
// lessons deeper or wider than the player's working storage.
//
// It is thrown like an engine error: the handler ends where it arose and
// the top-level handler shows the message; nothing is drawn out of bounds.
#ifndef MOMIRO_LESSONS_LESSON_ERROR_H_
#define MOMIRO_LESSONS_LESSON_ERROR_H_

#include <stdexcept>
#include <string>

namespace momiro {

class ELessonDataError : public std::runtime_error {
 public:
  explicit ELessonDataError(const std::string& message) : std::runtime_error(message) {}
};

// "図の行が正しくありません（TNB t）：detail"
[[noreturn]] inline void RaiseBadFigureRow(int tnb, const std::string& detail) {
  throw ELessonDataError("図の行が正しくありません（TNB " + std::to_string(tnb) + "）：" + detail);
}

}  // namespace momiro

#endif  // MOMIRO_LESSONS_LESSON_ERROR_H_
