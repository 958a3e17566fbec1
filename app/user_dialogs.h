// The message boxes of the program, in one place.
//
// Interactive: Qt message boxes, confirmations with Japanese Yes/No buttons.
// Scripted (the --actions mode and the UI tests): nothing blocks; each box
// prints "message: TEXT" to the scripted output and takes the next queued
// answer, OK or Yes when none is queued.
#ifndef MOMIRO_APP_USER_DIALOGS_H_
#define MOMIRO_APP_USER_DIALOGS_H_

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QWidget;

namespace momiro {

enum class DialogAnswer { Ok, Yes, No };

class TUserDialogs {
 public:
  // A plain message box.
  static void ShowMessage(QWidget* parent, const QString& text);
  // An information box with an OK button.
  static void ShowInformation(QWidget* parent, const QString& text);
  // A confirmation box with Yes and No; true for Yes.
  static bool Confirm(QWidget* parent, const QString& text);

  // Scripted mode: boxes never block. `print` receives each box's text.
  static void SetScripted(std::function<void(const QString&)> print);
  static bool IsScripted();
  static void QueueAnswer(DialogAnswer answer);

 private:
  static DialogAnswer Scripted(const QString& text);
};

}  // namespace momiro

#endif  // MOMIRO_APP_USER_DIALOGS_H_
