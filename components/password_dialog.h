// TPasswordDialog: the modal "Enter password" dialog through which a session
// asks the user for table passwords when it has no OnPassword handler. The
// engine includes no user interface; the application supplies the dialog by
// implementing this interface and installing it once with
// SetPasswordDialog().
//
// What the dialog does with the session: "&Add" adds the edit's text to the
// session's passwords (TRUDIRASession::AddPassword) and keeps the dialog
// open, "&Remove" removes it, "Re&move all" removes every password, "&OK"
// adds the text and closes with OK, "Cancel" closes without adding.
#pragma once

namespace rudira {

class TRUDIRASession;

class TPasswordDialog {
 public:
  virtual ~TPasswordDialog() = default;
  // Shows the dialog modally for session; true when the user closed it with
  // OK (the engine then tries the session's updated passwords again).
  virtual bool ShowForSession(TRUDIRASession& session) = 0;
};

// Installs the process's password dialog (null removes it). The dialog is
// not owned; it must stay alive while installed.
void SetPasswordDialog(TPasswordDialog* dialog);
// The installed dialog, or null.
TPasswordDialog* InstalledPasswordDialog();

}  // namespace rudira
