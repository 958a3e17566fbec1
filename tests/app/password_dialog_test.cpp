// The "Enter password" dialog over a real session: captions, the mask, the
// enabling rules of its buttons, what each button does to the session's
// passwords, and the engine's password request reaching the dialog.
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/password_dialog.h"
#include "components/password_dialog.h"
#include "components/rudira_session.h"
#include "engine/data_session.h"

using namespace momiro;

class PasswordDialogTest : public QObject {
  Q_OBJECT

 private:
  rudira::TRUDIRASession* session_ = nullptr;
  TPasswordForm* form_ = nullptr;

  template <typename T>
  T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(name);
    if (child == nullptr) qFatal("no %s", name);
    return child;
  }
  QPushButton* Button(const char* name) { return Child<QPushButton>(form_, name); }
  QLineEdit* Edit() { return Child<QLineEdit>(form_, "PasswordEdit"); }
  bool Has(const char* password) { return session_->EngineSession()->HasPassword(password); }

 private slots:
  void init() {
    session_ = new rudira::TRUDIRASession;
    session_->SetSessionName("DialogSession");
    session_->Open();
    form_ = new TPasswordForm(*session_);
    form_->show();
  }
  void cleanup() {
    delete form_;
    delete session_;
    rudira::SetPasswordDialog(nullptr);
  }

  void CaptionsAndMask() {
    QCOMPARE(form_->windowTitle(), QString("Enter password"));
    QCOMPARE(Child<QGroupBox>(form_, "PasswordGroup")->title(), QString("Password"));
    QCOMPARE(Edit()->parentWidget()->objectName(), QString("PasswordGroup"));
    QCOMPARE(Button("AddButton")->text(), QString("&Add"));
    QCOMPARE(Button("RemoveButton")->text(), QString("&Remove"));
    QCOMPARE(Button("RemoveAllButton")->text(), QString("Re&move all"));
    QCOMPARE(Button("OKButton")->text(), QString("&OK"));
    QCOMPARE(Button("CancelButton")->text(), QString("Cancel"));
    QCOMPARE(Button("AddButton")->parentWidget()->objectName(), QString("PasswordGroup"));
    QCOMPARE(Edit()->echoMode(), QLineEdit::Password);
    QTest::keyClicks(Edit(), "abc");
    QCOMPARE(Edit()->displayText(), QString("***"));
    QVERIFY(form_->isModal());
  }

  void ButtonsFollowTheEdit() {
    QVERIFY(!Button("AddButton")->isEnabled());
    QVERIFY(!Button("RemoveButton")->isEnabled());
    QVERIFY(!Button("OKButton")->isEnabled());
    QVERIFY(Button("CancelButton")->isEnabled());
    QVERIFY(Button("RemoveAllButton")->isEnabled());
    QTest::keyClicks(Edit(), "x");
    QVERIFY(Button("AddButton")->isEnabled());
    QVERIFY(Button("RemoveButton")->isEnabled());
    QVERIFY(Button("OKButton")->isEnabled());
    QTest::keyClick(Edit(), Qt::Key_Backspace);
    QVERIFY(!Button("AddButton")->isEnabled());
    QVERIFY(!Button("OKButton")->isEnabled());
  }

  void AddKeepsTheDialogOpenAndEnablesOK() {
    QTest::keyClicks(Edit(), "Secret1");
    QTest::mouseClick(Button("AddButton"), Qt::LeftButton);
    QVERIFY(Has("Secret1"));
    QCOMPARE(Edit()->text(), QString());
    QVERIFY(form_->isVisible());
    QVERIFY(!Button("AddButton")->isEnabled());
    QVERIFY(!Button("RemoveButton")->isEnabled());
    QVERIFY(Button("OKButton")->isEnabled());  // a password was added
    QVERIFY(form_->PasswordAdded());
  }

  void RemoveAndRemoveAll() {
    for (const char* text : {"one", "two", "three"}) {
      QTest::keyClicks(Edit(), text);
      QTest::mouseClick(Button("AddButton"), Qt::LeftButton);
    }
    QTest::keyClicks(Edit(), "two");
    QTest::mouseClick(Button("RemoveButton"), Qt::LeftButton);
    QVERIFY(Has("one"));
    QVERIFY(!Has("two"));
    QVERIFY(Has("three"));
    QCOMPARE(Edit()->text(), QString());
    QTest::mouseClick(Button("RemoveAllButton"), Qt::LeftButton);
    QVERIFY(session_->EngineSession()->Passwords().empty());
    QVERIFY(form_->isVisible());
  }

  void OKAddsTheTextAndAccepts() {
    QTest::keyClicks(Edit(), "Final");
    QTest::mouseClick(Button("OKButton"), Qt::LeftButton);
    QVERIFY(Has("Final"));
    QCOMPARE(form_->result(), int(QDialog::Accepted));
    QVERIFY(!form_->isVisible());
  }

  void CancelAddsNothing() {
    QTest::keyClicks(Edit(), "Ignored");
    QTest::mouseClick(Button("CancelButton"), Qt::LeftButton);
    QVERIFY(!Has("Ignored"));
    QCOMPARE(form_->result(), int(QDialog::Rejected));
  }

  void TheEnginesRequestShowsTheInstalledDialog() {
    form_->hide();
    InstallPasswordDialog();
    auto answer = [](const char* text, const char* button) {
      QTimer::singleShot(0, [text, button] {
        auto* shown = qobject_cast<TPasswordForm*>(QApplication::activeModalWidget());
        if (shown == nullptr) qFatal("no modal password dialog");
        QTest::keyClicks(shown->findChild<QLineEdit*>("PasswordEdit"), text);
        QTest::mouseClick(shown->findChild<QPushButton*>(button), Qt::LeftButton);
      });
    };
    answer("FromUser", "OKButton");
    QVERIFY(session_->EngineSession()->RequestPassword());
    QVERIFY(Has("FromUser"));
    answer("NotKept", "CancelButton");
    QVERIFY(!session_->EngineSession()->RequestPassword());
    QVERIFY(!Has("NotKept"));
  }
};

QTEST_MAIN(PasswordDialogTest)
#include "password_dialog_test.moc"
