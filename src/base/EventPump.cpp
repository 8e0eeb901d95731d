#include "base/EventPump.h"

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

}  // namespace kelvaro
