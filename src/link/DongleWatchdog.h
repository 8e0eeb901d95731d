#pragma once

class QTimer;

namespace kelvaro {

class DongleNotFoundExit;
struct LinkState;

// Every tick of Timer3 (1000 ms, for the whole run) checks that the dongle has answered the last
// discover command; if not, the timer stops and the run ends with exit code 3. The window
// connects the timer's timeout to Timer3Timer.
class DongleWatchdog {
 public:
  DongleWatchdog(QTimer& timer3, const LinkState& link, DongleNotFoundExit& dongleNotFound);

  void Timer3Timer();

 private:
  QTimer& timer3_;
  const LinkState& link_;
  DongleNotFoundExit& dongleNotFound_;
};

}  // namespace kelvaro
