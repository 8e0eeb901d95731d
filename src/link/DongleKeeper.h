#pragma once

#include <QString>
#include <functional>

namespace kelvaro {

class CommandSender;
class ConsoleLog;
class SerialTransport;
struct LinkState;

// Brings a dongle back that went away after the start-up: pulled out, or silent. The port is
// closed, and every second (on the watchdog's tick) the keeper tries to open it again, under
// the name findPort() gives (the configured port, or in automatic mode whatever port carries the
// dongle's USB identity now); once it opens, a discover is sent, and its answer means the dongle
// is back. The start-up itself is not the keeper's: a dongle missing then ends the run.
class DongleKeeper {
 public:
  struct Hooks {
    std::function<QString()> findPort;                  // the name to try; empty: none yet
    std::function<bool(const QString& name)> openPort;  // opens it with the port's settings
    std::function<void(bool gone)> showGone;            // the status while it is gone
    std::function<void()> back;                         // the dongle answers again
  };

  DongleKeeper(SerialTransport& port, CommandSender& commands, LinkState& link, ConsoleLog& console,
               Hooks hooks);

  // The dongle went away (the port's reason, or a discover unanswered).
  void lost(const QString& reason);
  // One second passed: a try to reopen, or the answer looked for. True while the dongle is gone.
  bool tick();
  bool gone() const { return gone_; }

 private:
  SerialTransport& port_;
  CommandSender& commands_;
  LinkState& link_;
  ConsoleLog& console_;
  Hooks hooks_;
  bool gone_ = false;
  bool discoverSent_ = false;
};

}  // namespace kelvaro
