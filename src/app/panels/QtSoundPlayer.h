#pragma once

#include <QString>
#include <memory>

#include "platform/SoundPlayer.h"

class QSoundEffect;

namespace kelvaro {

// True when the file is a WAV file whose header Qt's decoder accepts. Checked before playing so
// that a missing or broken alarm sound stays silent instead of leaving a decoder warning behind.
bool isPlayableWaveFile(const QString& path);

// The alarm sound over Qt Multimedia. It lives here rather than in platform/ because Qt
// Multimedia brings Qt Gui with it, which the headless libraries must not link.
class QtSoundPlayer final : public SoundPlayer {
 public:
  QtSoundPlayer();
  ~QtSoundPlayer() override;
  QtSoundPlayer(const QtSoundPlayer&) = delete;
  QtSoundPlayer& operator=(const QtSoundPlayer&) = delete;

  void play(const QString& path) override;

 private:
  // Created with the first playable file, so a run without alarms never opens the audio output.
  std::unique_ptr<QSoundEffect> effect_;
};

}  // namespace kelvaro
