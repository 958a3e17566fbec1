// TSoundPlayer: MediaPlayer1 of a window. Plays a WAV file by name and
// returns at once, without waiting for the sound to end.
#ifndef MOMIRO_APP_SOUND_PLAYER_H_
#define MOMIRO_APP_SOUND_PLAYER_H_

#include <QObject>
#include <QString>

class QSoundEffect;

namespace momiro {

class TSoundPlayer : public QObject {
  Q_OBJECT
 public:
  explicit TSoundPlayer(QObject* parent);
  // Opens path unless it is the file already open, and starts playing.
  // Throws std::runtime_error when the file cannot be opened.
  void Play(const QString& path);
  QString OpenFile() const { return openFile_; }
  int PlayCount() const { return playCount_; }

 private:
  QSoundEffect* effect_;
  QString openFile_;   // file the player has open; empty before the first sound
  int playCount_ = 0;  // sounds started, for tests
};

}  // namespace momiro

#endif  // MOMIRO_APP_SOUND_PLAYER_H_
