#include "app/user_dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace momiro {
namespace {

struct ScriptedState {
  std::function<void(const QString&)> print;
  std::deque<DialogAnswer> answers;
};

ScriptedState& State() {
  static ScriptedState state;
  return state;
}

QString Title() { return QApplication::applicationName(); }

}  // namespace

void TUserDialogs::SetScripted(std::function<void(const QString&)> print) {
  State().print = std::move(print);
  State().answers.clear();
}

bool TUserDialogs::IsScripted() { return static_cast<bool>(State().print); }

void TUserDialogs::QueueAnswer(DialogAnswer answer) { State().answers.push_back(answer); }

DialogAnswer TUserDialogs::Scripted(const QString& text) {
  State().print(text);
  if (State().answers.empty()) return DialogAnswer::Yes;
  const DialogAnswer answer = State().answers.front();
  State().answers.pop_front();
  return answer;
}

void TUserDialogs::ShowMessage(QWidget* parent, const QString& text) {
  if (IsScripted()) {
    Scripted(text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, Title(), text, QMessageBox::Ok, parent);
  box.exec();
}

void TUserDialogs::ShowInformation(QWidget* parent, const QString& text) {
  if (IsScripted()) {
    Scripted(text);
    return;
  }
  QMessageBox box(QMessageBox::Information, Title(), text, QMessageBox::Ok, parent);
  box.exec();
}

bool TUserDialogs::Confirm(QWidget* parent, const QString& text) {
  if (IsScripted()) return Scripted(text) != DialogAnswer::No;
  QMessageBox box(QMessageBox::Question, Title(), text, QMessageBox::NoButton, parent);
  QPushButton* yes = box.addButton(QString::fromUtf8("はい(&Y)"), QMessageBox::YesRole);
  box.addButton(QString::fromUtf8("いいえ(&N)"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.exec();
  return box.clickedButton() == yes;
}

}  // namespace momiro
