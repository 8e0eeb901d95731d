#include "app/panels/QtSoundPlayer.h"

#include <QFile>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>
#include <QWaveDecoder>

namespace kelvaro {

bool isPlayableWaveFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  QWaveDecoder decoder(&file);
  // The decoder parses the header while it opens a local file, so the format is known at once.
  return decoder.open(QIODevice::ReadOnly) && decoder.audioFormat().isValid();
}

QtSoundPlayer::QtSoundPlayer() = default;
QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::play(const QString& path) {
  // Resolved now, so a relative name follows the working directory of this moment.
  const QString absolute = QFileInfo(path).absoluteFilePath();
  if (!isPlayableWaveFile(absolute)) return;
  const QUrl source = QUrl::fromLocalFile(absolute);
  // An effect that failed to decode never plays again; a fresh one gives a repaired file a chance.
  if (effect_ && effect_->status() == QSoundEffect::Error) effect_.reset();
  if (!effect_) effect_ = std::make_unique<QSoundEffect>();
  if (effect_->source() != source) effect_->setSource(source);
  // Without a sound server an effect stays "playing" for ever; stopping first makes every alarm
  // start its sound from the beginning, as a new alarm sound replaces the one still playing.
  if (effect_->isPlaying()) effect_->stop();
  effect_->play();
}

}  // namespace kelvaro
