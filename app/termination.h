// Ending the program on the user's word ("終了" answered Yes).
//
// Quitting the event loop does nothing before the loop runs, and the
// scripted mode performs its actions outside it; so the request is also
// remembered, and whoever drives the program checks it.
#ifndef MOMIRO_APP_TERMINATION_H_
#define MOMIRO_APP_TERMINATION_H_

namespace momiro {

// Ends the event loop and remembers that the program is to end.
void TerminateApplication();
bool TerminationRequested();
// For tests that ask the question more than once.
void ResetTermination();

}  // namespace momiro

#endif  // MOMIRO_APP_TERMINATION_H_
