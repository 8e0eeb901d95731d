#pragma once

#include <memory>
#include <optional>

namespace kelvaro {

// The master volume of the default audio output, as a scalar 0..1 (the position of the system's
// volume slider). The mute alarm lowers it for two seconds and puts it back.
class MasterVolume {
 public:
  virtual ~MasterVolume() = default;
  // False when there is no sound server or output device; the other calls then do nothing.
  virtual bool available() const = 0;
  virtual std::optional<float> level() = 0;
  virtual bool setLevel(float scalar) = 0;
};

// No audio output: every call is a no-op.
class NullMasterVolume final : public MasterVolume {
 public:
  bool available() const override { return false; }
  std::optional<float> level() override { return std::nullopt; }
  bool setLevel(float) override { return false; }
};

// The default sink of the PulseAudio server (PipeWire serves the same protocol). Returns a null
// volume when no server answers; every call is bounded in time so the GUI never stalls on it.
std::unique_ptr<MasterVolume> openSystemMasterVolume();

}  // namespace kelvaro
