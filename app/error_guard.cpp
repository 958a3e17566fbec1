#include "app/error_guard.h"

#include <QString>
#include <exception>

#include "app/user_dialogs.h"

namespace momiro {

void Guarded(QWidget* parent, const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    TUserDialogs::ShowMessage(parent, QString::fromUtf8(error.what()));
  }
}

}  // namespace momiro
