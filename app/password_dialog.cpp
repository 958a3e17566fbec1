#include "app/password_dialog.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/error_guard.h"
#include "components/rudira_session.h"

namespace momiro {

namespace {

// Client size and control geometry in pixels.
constexpr int kClientWidth = 262;
constexpr int kClientHeight = 166;

}  // namespace

TPasswordForm::TPasswordForm(rudira::TRUDIRASession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName("PasswordDialog");
  setWindowTitle("Enter password");
  setModal(true);
  setFixedSize(kClientWidth, kClientHeight);

  group_ = new QGroupBox("Password", this);
  group_->setObjectName("PasswordGroup");
  group_->setGeometry(8, 6, 246, 116);

  edit_ = new QLineEdit(group_);
  edit_->setObjectName("PasswordEdit");
  edit_->setGeometry(12, 22, 222, 24);
  edit_->setEchoMode(QLineEdit::Password);
  // The mask character is "*" whatever the platform style draws by default.
  edit_->setStyleSheet("lineedit-password-character: 42;");

  addButton_ = new QPushButton("&Add", group_);
  addButton_->setObjectName("AddButton");
  addButton_->setGeometry(12, 76, 68, 26);
  removeButton_ = new QPushButton("&Remove", group_);
  removeButton_->setObjectName("RemoveButton");
  removeButton_->setGeometry(89, 76, 68, 26);
  removeAllButton_ = new QPushButton("Re&move all", group_);
  removeAllButton_->setObjectName("RemoveAllButton");
  removeAllButton_->setGeometry(166, 76, 68, 26);

  okButton_ = new QPushButton("&OK", this);
  okButton_->setObjectName("OKButton");
  okButton_->setGeometry(98, 132, 75, 26);
  okButton_->setDefault(true);
  cancelButton_ = new QPushButton("Cancel", this);
  cancelButton_->setObjectName("CancelButton");
  cancelButton_->setGeometry(179, 132, 75, 26);

  connect(edit_, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
  connect(addButton_, &QPushButton::clicked, this, [this] { Guarded(this, [this] { AddButtonClick(); }); });
  connect(removeButton_, &QPushButton::clicked, this, [this] { Guarded(this, [this] { RemoveButtonClick(); }); });
  connect(removeAllButton_, &QPushButton::clicked, this,
          [this] { Guarded(this, [this] { RemoveAllButtonClick(); }); });
  connect(okButton_, &QPushButton::clicked, this, [this] { Guarded(this, [this] { OKButtonClick(); }); });
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  UpdateButtons();
}

void TPasswordForm::UpdateButtons() {
  const bool hasText = !edit_->text().isEmpty();
  addButton_->setEnabled(hasText);
  removeButton_->setEnabled(hasText);
  okButton_->setEnabled(hasText || added_);
}

void TPasswordForm::AddButtonClick() {
  session_.AddPassword(edit_->text().toStdString());
  added_ = true;
  edit_->clear();
  UpdateButtons();
  edit_->setFocus();
}

void TPasswordForm::RemoveButtonClick() {
  session_.RemovePassword(edit_->text().toStdString());
  edit_->clear();
  UpdateButtons();
  edit_->setFocus();
}

void TPasswordForm::RemoveAllButtonClick() {
  session_.RemoveAllPasswords();
  edit_->setFocus();
}

void TPasswordForm::OKButtonClick() {
  if (!edit_->text().isEmpty()) {
    session_.AddPassword(edit_->text().toStdString());
    added_ = true;
  }
  accept();
}

bool TQtPasswordDialog::ShowForSession(rudira::TRUDIRASession& session) {
  TPasswordForm form(session, QApplication::activeWindow());
  return form.exec() == QDialog::Accepted;
}

void InstallPasswordDialog() {
  static TQtPasswordDialog dialog;
  rudira::SetPasswordDialog(&dialog);
}

}  // namespace momiro
