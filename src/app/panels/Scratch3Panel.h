#pragma once

#include <QObject>
#include <QString>

#include "bridge/BeltBridge.h"

namespace kelvaro {

class ConsoleLog;
class MonitorCore;
class Scratch3Group;

// [Scratch3] of Darev.ini: the box's state, the port and the origins allowed.
struct Scratch3Settings {
  bool enabled = false;
  int port = BeltBridge::kDefaultPort;  // 0: any free port (tests)
  QString origins = OriginList::defaultText(BeltBridge::kDefaultPort);
};

// The Scratch 3 bridge's controls: the box starts and stops serving, "Copy" puts the address on
// the clipboard, the status says how many editors are connected, or why nothing is served.
class Scratch3Panel : public QObject {
  Q_OBJECT

 public:
  // The bridge reads each belt's activity from the core.
  Scratch3Panel(Scratch3Group& group, ConsoleLog& console, const MonitorCore& core,
                QObject* parent = nullptr);

  BeltBridge& bridge() { return bridge_; }
  // The settings read at start: the port and origins kept, the box set (Enabled=1 serves).
  void apply(const Scratch3Settings& settings);

 private:
  void switched(bool on);
  void showState();

  Scratch3Group& group_;
  BeltBridge bridge_;
  Scratch3Settings settings_;
};

}  // namespace kelvaro
