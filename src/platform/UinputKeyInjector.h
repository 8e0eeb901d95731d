#pragma once

#include <QString>
#include <memory>
#include <set>

#include "platform/KeyInjector.h"
#include "platform/UinputWriter.h"

struct libevdev;
struct libevdev_uinput;

namespace kelvaro {

// Keys through a virtual keyboard of the kernel's uinput module: they reach every program, under
// X11 and Wayland alike.
class UinputKeyInjector final : public KeyInjector {
 public:
  // Creates the virtual keyboard on the uinput device at path; null with *error set when the
  // device cannot be opened for writing or refuses the keyboard.
  static std::unique_ptr<UinputKeyInjector> open(const QString& path, QString* error);
  // Writes the events to fd without creating a device; fd stays the caller's (tests use a pipe).
  explicit UinputKeyInjector(int fd);
  // Releases every key still held, then removes the virtual keyboard.
  ~UinputKeyInjector() override;

  void keyDown(int virtualKey) override;
  void keyUp(int virtualKey) override;
  QString name() const override { return QStringLiteral("uinput"); }

 private:
  UinputKeyInjector(int fd, libevdev* device, libevdev_uinput* uinput);

  UinputWriter writer_;
  libevdev* device_ = nullptr;
  libevdev_uinput* uinput_ = nullptr;
  bool ownsFd_ = false;
  std::set<int> held_;  // evdev codes
};

}  // namespace kelvaro
