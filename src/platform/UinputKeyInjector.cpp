#include "platform/UinputKeyInjector.h"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/VirtualKeyTable.h"

namespace kelvaro {

std::unique_ptr<UinputKeyInjector> UinputKeyInjector::open(const QString& path, QString* error) {
  const QByteArray native = path.toLocal8Bit();
  int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
    return nullptr;
  }
  libevdev* device = libevdev_new();
  libevdev_set_name(device, "KELVARO key emulation");
  libevdev_set_id_bustype(device, BUS_VIRTUAL);
  libevdev_enable_event_type(device, EV_KEY);
  for (const VirtualKeyMapping& m : virtualKeyTable()) {
    libevdev_enable_event_code(device, EV_KEY, static_cast<unsigned>(m.evdevCode), nullptr);
  }
  libevdev_uinput* uinput = nullptr;
  int rc = libevdev_uinput_create_from_device(device, fd, &uinput);
  if (rc != 0) {
    if (error) {
      *error = QStringLiteral("%1: no virtual keyboard (%2)")
                   .arg(path, QString::fromLocal8Bit(strerror(-rc)));
    }
    libevdev_free(device);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<UinputKeyInjector>(new UinputKeyInjector(fd, device, uinput));
}

UinputKeyInjector::UinputKeyInjector(int fd) : writer_(fd) {}

UinputKeyInjector::UinputKeyInjector(int fd, libevdev* device, libevdev_uinput* uinput)
    : writer_(fd), device_(device), uinput_(uinput), ownsFd_(true) {}

UinputKeyInjector::~UinputKeyInjector() {
  for (int code : held_) writer_.writeKey(code, false);
  if (uinput_) libevdev_uinput_destroy(uinput_);
  if (device_) libevdev_free(device_);
  if (ownsFd_) ::close(writer_.fd());
}

void UinputKeyInjector::keyDown(int virtualKey) {
  const VirtualKeyMapping* m = findVirtualKey(virtualKey);
  if (!m) {
    reportUnmapped(virtualKey);
    return;
  }
  held_.insert(m->evdevCode);
  writer_.writeKey(m->evdevCode, true);
}

void UinputKeyInjector::keyUp(int virtualKey) {
  const VirtualKeyMapping* m = findVirtualKey(virtualKey);
  if (!m) {
    reportUnmapped(virtualKey);
    return;
  }
  held_.erase(m->evdevCode);
  writer_.writeKey(m->evdevCode, false);
}

}  // namespace kelvaro
