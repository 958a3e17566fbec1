// Menu items with a keyboard shortcut that stand for a panel button: the
// item is enabled exactly while its button can be clicked (not hidden, not
// disabled), so that its key does what a click would do and nothing while
// a layout hides the button, and the menu shows it greyed out then.
#ifndef MOMIRO_APP_BUTTON_SHORTCUT_H_
#define MOMIRO_APP_BUTTON_SHORTCUT_H_

class QAction;
class QWidget;

namespace momiro {

// Keeps action's enabled state on button's from now on. Neither is owned;
// the follower lives as long as the action.
void FollowButton(QAction* action, QWidget* button);

}  // namespace momiro

#endif  // MOMIRO_APP_BUTTON_SHORTCUT_H_
