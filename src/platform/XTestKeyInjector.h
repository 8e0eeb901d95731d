#pragma once

#include <QString>
#include <memory>
#include <set>

#include "platform/KeyInjector.h"

struct _XDisplay;

namespace kelvaro {

// Keys through the XTEST extension of an X server, on a connection of its own. They reach the
// window that has the keyboard focus.
class XTestKeyInjector final : public KeyInjector {
 public:
  // display empty: the DISPLAY environment variable. Null with *error set when no X server
  // answers or it lacks XTEST.
  static std::unique_ptr<XTestKeyInjector> open(const QString& display, QString* error);
  // The server keeps a fake key down after its client is gone, so every held key is released.
  ~XTestKeyInjector() override;

  void keyDown(int virtualKey) override;
  void keyUp(int virtualKey) override;
  QString name() const override { return QStringLiteral("xtest"); }
  QString displayName() const { return displayName_; }

 private:
  XTestKeyInjector(_XDisplay* display, QString displayName);
  // 0 when the code has no key (reported once).
  unsigned keycodeFor(int virtualKey);

  _XDisplay* display_;
  QString displayName_;
  std::set<unsigned> held_;  // X keycodes
};

}  // namespace kelvaro
