#include "link/DongleWatchdog.h"

#include <QTimer>

#include "link/DongleKeeper.h"
#include "link/DongleNotFoundExit.h"
#include "link/LinkState.h"

namespace kelvaro {

DongleWatchdog::DongleWatchdog(QTimer& timer3, const LinkState& link,
                               DongleNotFoundExit& dongleNotFound)
    : timer3_(timer3), link_(link), dongleNotFound_(dongleNotFound) {}

void DongleWatchdog::tick() {
  if (keeper_ && keeper_->tick()) return;
  if (link_.discoverAnswered != LinkAnswer::None) {
    startedUp_ = true;
    return;
  }
  if (startedUp_ && keeper_) {
    keeper_->lost(QStringLiteral("no answer to the discover"));
    return;
  }
  // Stopped first: the dialog keeps the event loop running, and one dialog is enough.
  timer3_.stop();
  dongleNotFound_.run(DongleNotFoundExit::kNoAnswer);
}

}  // namespace kelvaro
