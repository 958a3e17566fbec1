#include "app/button_shortcut.h"

#include <QAction>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace momiro {
namespace {

// Watches the button's show, hide and enable changes.
class TButtonFollower : public QObject {
 public:
  TButtonFollower(QAction* action, QWidget* button) : QObject(action), action_(action), button_(button) {
    button->installEventFilter(this);
    Update();
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == button_ && (event->type() == QEvent::ShowToParent ||
                               event->type() == QEvent::HideToParent ||
                               event->type() == QEvent::EnabledChange)) {
      Update();
    }
    return false;
  }

 private:
  void Update() {
    if (button_ != nullptr) action_->setEnabled(!button_->isHidden() && button_->isEnabled());
  }

  QAction* action_;
  QPointer<QWidget> button_;
};

}  // namespace

void FollowButton(QAction* action, QWidget* button) { new TButtonFollower(action, button); }

}  // namespace momiro
