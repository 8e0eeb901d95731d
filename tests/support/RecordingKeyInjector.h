#pragma once

#include <QString>
#include <QStringList>

#include "platform/KeyInjector.h"

namespace kelvaro::testing {

// The keys sent, as "down 39" and "up 39".
class RecordingKeyInjector final : public KeyInjector {
 public:
  void keyDown(int key) override { events << QStringLiteral("down %1").arg(key); }
  void keyUp(int key) override { events << QStringLiteral("up %1").arg(key); }
  QString name() const override { return QStringLiteral("recording"); }
  QStringList events;
};

}  // namespace kelvaro::testing
