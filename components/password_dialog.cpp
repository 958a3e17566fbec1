#include "components/password_dialog.h"

#include <atomic>

namespace rudira {

namespace {

std::atomic<TPasswordDialog*> installedDialog{nullptr};

}  // namespace

void SetPasswordDialog(TPasswordDialog* dialog) { installedDialog.store(dialog); }

TPasswordDialog* InstalledPasswordDialog() { return installedDialog.load(); }

}  // namespace rudira
