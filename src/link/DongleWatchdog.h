#pragma once

class QTimer;

namespace kelvaro {

class DongleKeeper;
class DongleNotFoundExit;
struct LinkState;

// Every tick of dongleWatchdogTimer (1000 ms, for the whole run) checks that the dongle has
// answered the last discover command; if not, the timer stops and the run ends with exit code 3.
// The window connects the timer's timeout to tick.
//
// With a keeper, that holds for the start-up only: once a discover has been answered, a dongle
// that stops answering is the keeper's to bring back, and the run goes on.
class DongleWatchdog {
 public:
  DongleWatchdog(QTimer& timer3, const LinkState& link, DongleNotFoundExit& dongleNotFound);

  void tick();
  void setKeeper(DongleKeeper* keeper) { keeper_ = keeper; }
  // A discover has been answered: the start-up found its dongle.
  bool startedUp() const { return startedUp_; }

 private:
  QTimer& timer3_;
  const LinkState& link_;
  DongleNotFoundExit& dongleNotFound_;
  DongleKeeper* keeper_ = nullptr;
  bool startedUp_ = false;
};

}  // namespace kelvaro
