#include "link/Stopwatch.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>

namespace kelvaro {

QtEventPump::QtEventPump() {
  wakeUp_.setSingleShot(true);
  wakeUp_.setTimerType(Qt::PreciseTimer);
}

void QtEventPump::processPending() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventPump::waitForEvents(std::uint32_t maxMs) {
  if (maxMs == 0) {
    processPending();
    return;
  }
  // The timer's own event ends the sleep at the latest; any other event ends it sooner.
  wakeUp_.start(std::chrono::milliseconds(maxMs));
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void Waiter::WaitMs(std::uint16_t ms) {
  stopwatch_.Start();
  for (;;) {
    pump_.processPending();
    if (stopwatch_.Expired(ms)) break;
    // The stopwatch may have been restarted by a nested wait, so the remainder is recomputed on
    // every pass.
    const std::int32_t left = ms - stopwatch_.Elapsed();
    pump_.waitForEvents(left > 0 ? static_cast<std::uint32_t>(left) : 0u);
  }
}

}  // namespace kelvaro
