// The program's one top-level error handler.
//
// Every event handler of the windows runs inside Guarded: an exception that
// escapes it (a missing picture or sound file, an engine error, a number box
// that holds no number) ends that handler where it arose, its message is
// shown in a message box, and the event loop goes on. Nothing below catches.
#ifndef MOMIRO_APP_ERROR_GUARD_H_
#define MOMIRO_APP_ERROR_GUARD_H_

#include <functional>

class QWidget;

namespace momiro {

void Guarded(QWidget* parent, const std::function<void()>& handler);

}  // namespace momiro

#endif  // MOMIRO_APP_ERROR_GUARD_H_
