#include "link/DongleKeeper.h"

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "link/CommandSender.h"
#include "link/LinkState.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

DongleKeeper::DongleKeeper(SerialTransport& port, CommandSender& commands, LinkState& link,
                           ConsoleLog& console, Hooks hooks)
    : port_(port), commands_(commands), link_(link), console_(console), hooks_(std::move(hooks)) {}

void DongleKeeper::lost(const QString& reason) {
  if (gone_) return;
  gone_ = true;
  discoverSent_ = false;
  port_.close();
  console_.append(QStringLiteral("Dongle gone: %1 — waiting for it to come back").arg(reason));
  if (hooks_.showGone) hooks_.showGone(true);
}

bool DongleKeeper::tick() {
  if (!gone_) return false;
  if (discoverSent_ && link_.discoverAnswered != LinkAnswer::None) {
    gone_ = false;
    console_.append(QStringLiteral("Dongle back on %1").arg(port_.portName()));
    if (hooks_.showGone) hooks_.showGone(false);
    if (hooks_.back) hooks_.back();
    return false;
  }
  if (!port_.isOpen() || discoverSent_) {
    // Not there yet, or there but not answering: closed and tried afresh.
    port_.close();
    discoverSent_ = false;
    const QString name = hooks_.findPort ? hooks_.findPort() : QString();
    if (name.isEmpty() || !hooks_.openPort || !hooks_.openPort(name)) return true;
    try {
      commands_.sendDiscover();
      discoverSent_ = true;
    } catch (const Error&) {
      port_.close();
    }
  }
  return true;
}

}  // namespace kelvaro
