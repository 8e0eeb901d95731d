#pragma once

#include <QString>

namespace kelvaro {

// Plays a WAV file in the background, as the activity alarm needs: play() returns at once, a new
// play() replaces the sound still playing, and a missing or unplayable file gives silence without
// any message and without a fallback sound.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // The path is taken as given; a relative one is relative to the current working directory.
  virtual void play(const QString& path) = 0;
};

// No audio output: plays nothing.
class NullSoundPlayer final : public SoundPlayer {
 public:
  void play(const QString&) override {}
};

}  // namespace kelvaro
