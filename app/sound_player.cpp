#include "app/sound_player.h"

#include <QFile>
#include <QSoundEffect>
#include <QUrl>
#include <stdexcept>

namespace momiro {

TSoundPlayer::TSoundPlayer(QObject* parent) : QObject(parent), effect_(new QSoundEffect(this)) {
  setObjectName("MediaPlayer1");
}

void TSoundPlayer::Play(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw std::runtime_error(("Cannot open file \"" + path + "\". " + file.errorString())
                                 .toStdString());
  }
  file.close();
  if (openFile_ != path) {
    effect_->setSource(QUrl::fromLocalFile(path));
    openFile_ = path;
  }
  // A machine without an audio device plays nothing; that is not an error
  // of the program, and the action goes on.
  effect_->play();
  ++playCount_;
}

}  // namespace momiro
