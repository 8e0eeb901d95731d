#include "platform/XTestKeyInjector.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "platform/VirtualKeyTable.h"

namespace kelvaro {

std::unique_ptr<XTestKeyInjector> XTestKeyInjector::open(const QString& display, QString* error) {
  const QByteArray native = display.toLocal8Bit();
  const char* name = display.isEmpty() ? nullptr : native.constData();
  const QString shown = QString::fromLocal8Bit(XDisplayName(name));
  if (shown.isEmpty()) {
    if (error) *error = QStringLiteral("no X display");
    return nullptr;
  }
  Display* dpy = XOpenDisplay(name);
  if (!dpy) {
    if (error) *error = QStringLiteral("X display %1 does not answer").arg(shown);
    return nullptr;
  }
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(dpy, &eventBase, &errorBase, &major, &minor)) {
    XCloseDisplay(dpy);
    if (error) *error = QStringLiteral("X display %1 has no XTEST extension").arg(shown);
    return nullptr;
  }
  return std::unique_ptr<XTestKeyInjector>(new XTestKeyInjector(dpy, shown));
}

XTestKeyInjector::XTestKeyInjector(_XDisplay* display, QString displayName)
    : display_(display), displayName_(std::move(displayName)) {}

XTestKeyInjector::~XTestKeyInjector() {
  for (unsigned keycode : held_) XTestFakeKeyEvent(display_, keycode, False, CurrentTime);
  // A round trip, so the releases are processed before the connection goes.
  XSync(display_, False);
  XCloseDisplay(display_);
}

unsigned XTestKeyInjector::keycodeFor(int virtualKey) {
  const VirtualKeyMapping* m = findVirtualKey(virtualKey);
  if (!m) {
    reportUnmapped(virtualKey);
    return 0;
  }
  unsigned keycode = XKeysymToKeycode(display_, static_cast<KeySym>(m->keysym));
  if (keycode == 0) {
    reportOnce(virtualKey, QStringLiteral("Key injection: virtual-key code %1 (%2) has no key on "
                                          "display %3; nothing is sent")
                               .arg(virtualKey)
                               .arg(QString::fromLatin1(m->name), displayName_));
  }
  return keycode;
}

void XTestKeyInjector::keyDown(int virtualKey) {
  unsigned keycode = keycodeFor(virtualKey);
  if (keycode == 0) return;
  held_.insert(keycode);
  XTestFakeKeyEvent(display_, keycode, True, CurrentTime);
  XFlush(display_);
}

void XTestKeyInjector::keyUp(int virtualKey) {
  unsigned keycode = keycodeFor(virtualKey);
  if (keycode == 0) return;
  held_.erase(keycode);
  XTestFakeKeyEvent(display_, keycode, False, CurrentTime);
  XFlush(display_);
}

}  // namespace kelvaro
