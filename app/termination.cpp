#include "app/termination.h"

#include <QApplication>

namespace momiro {
namespace {
bool requested = false;  // UI thread only
}  // namespace

void TerminateApplication() {
  requested = true;
  QApplication::quit();
}

bool TerminationRequested() { return requested; }

void ResetTermination() { requested = false; }

}  // namespace momiro
