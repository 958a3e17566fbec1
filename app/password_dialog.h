// The "Enter password" dialog: the modal window through which a session asks
// the user for table passwords (the engine's password request, when the
// session has no OnPassword handler).
//
// Controls (objectName in brackets): the group "Password" [PasswordGroup]
// holding a masked edit, mask "*" [PasswordEdit], and the buttons "&Add"
// [AddButton], "&Remove" [RemoveButton] and "Re&move all" [RemoveAllButton];
// below them "&OK" [OKButton] and "Cancel" [CancelButton].
//
// Rules: Add and Remove are enabled while the edit is not empty; OK while
// the edit is not empty or once a password was added. Add adds the edit's
// text to the session's passwords, clears the edit and keeps the dialog
// open; Remove removes the edit's text from them and clears the edit; Remove
// all removes every password; OK adds the edit's text and closes with OK;
// Cancel closes without adding. Engine errors of the session's password
// calls go to the program's top-level handler.
#ifndef MOMIRO_APP_PASSWORD_DIALOG_H_
#define MOMIRO_APP_PASSWORD_DIALOG_H_

#include <QDialog>

#include "components/password_dialog.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace rudira {
class TRUDIRASession;
}

namespace momiro {

class TPasswordForm : public QDialog {
  Q_OBJECT

 public:
  TPasswordForm(rudira::TRUDIRASession& session, QWidget* parent = nullptr);

  // Whether a password was added while the dialog was shown.
  bool PasswordAdded() const { return added_; }

 private:
  void UpdateButtons();
  void AddButtonClick();
  void RemoveButtonClick();
  void RemoveAllButtonClick();
  void OKButtonClick();

  rudira::TRUDIRASession& session_;  // the session asking
  QGroupBox* group_;
  QLineEdit* edit_;
  QPushButton* addButton_;
  QPushButton* removeButton_;
  QPushButton* removeAllButton_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
  bool added_ = false;               // Add or OK added a password
};

// The dialog as the engine's components see it: shows a TPasswordForm
// modally; true when it was closed with OK.
class TQtPasswordDialog : public rudira::TPasswordDialog {
 public:
  bool ShowForSession(rudira::TRUDIRASession& session) override;
};

// Installs the program's password dialog for every session (call once after
// the application object exists).
void InstallPasswordDialog();

}  // namespace momiro

#endif  // MOMIRO_APP_PASSWORD_DIALOG_H_
