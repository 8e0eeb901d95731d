#pragma once

// The window on the in-process simulated dongle, on the test's clock: the dongle's bytes reach
// the window as the clock moves, in the connection procedure's waits as in the test's own.
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "sim/SimDongle.h"
#include "sim/SimOptions.h"

namespace kelvaro::testing {

// The simulated dongle moves with the clock, in the procedure's waits as in the test's own.
class SimPump final : public EventPump {
 public:
  explicit SimPump(std::function<void(std::uint32_t)> run) : run_(std::move(run)) {}
  void processPending() override { QCoreApplication::processEvents(); }
  void waitForEvents(std::uint32_t maxMs) override { run_(std::max<std::uint32_t>(maxMs, 1)); }

 private:
  std::function<void(std::uint32_t)> run_;
};

class SimWindowTest : public ::testing::Test {
 protected:
  void start(const SimOptions& options) {
    ASSERT_TRUE(folder.isValid());
    previous = QDir::currentPath();
    QDir::setCurrent(folder.path());
    dongle = std::make_unique<SimDongle>(options);
    dongle->advanceTo(h.ticks.tick());
    h.port.onWrite = [this](const QByteArray& bytes) { dongle->receive(bytes); };
    MonitorEnvironment env = h.environment();
    env.pump = &pump;
    h.window = std::make_unique<MainWindow>(env);
    w = h.window.get();
    ASSERT_TRUE(w->startUp());
    w->core().graph().createPoints();  // as the window's first showing does
    step(1000);                        // the answer to the discover, and the belt heard
    ASSERT_EQ(w->core().link().discoverAnswered, LinkAnswer::Good);
    ASSERT_TRUE(find<QPushButton>(*w, "ButtonLastIDt2").isEnabled());
    belt = dongle->beltDeviceId(0);
    find<QLineEdit>(*w, "EditLastID").setText(belt);
    find<QPushButton>(*w, "ButtonLastIDt2").click();
    ASSERT_EQ(w->pages().tabs->currentWidget(), w->pages().liveGraph)
        << w->core().console().lines().join('\n').toStdString();
  }
  void TearDown() override {
    h.window.reset();
    if (!previous.isEmpty()) QDir::setCurrent(previous);
  }
  // The clock moves ms on in 10 ms steps; the dongle's bytes arrive (unless deaf) and the guard
  // looks at the link as the core's timer has it do.
  void step(std::uint32_t ms) {
    for (std::uint32_t t = 0; t < ms; t += 10) {
      h.ticks.advance(10);
      h.clock.set(h.clock.now().addMSecs(10));
      dongle->advanceTo(h.ticks.tick());
      const QByteArray out = dongle->takeOutput();
      if (!out.isEmpty() && !deaf) h.port.inject(out);
      QCoreApplication::processEvents();
      if (w && h.ticks.tick() % MonitorCore::kLinkCheckMs == 0) {
        w->core().checkLink();
      }
      if (w && h.ticks.tick() % 1000 == 0) h.tickDongleWatchdog();
    }
  }
  // Steps until the condition holds, at most ms; the time it took.
  std::uint32_t until(const std::function<bool()>& condition, std::uint32_t ms) {
    const std::uint32_t begin = h.ticks.tick();
    while (!condition() && h.ticks.tick() - begin < ms) step(10);
    return h.ticks.tick() - begin;
  }

  QTemporaryDir folder;
  QString previous;
  WindowHarness h;
  SimPump pump{[this](std::uint32_t ms) { step(ms); }};
  std::unique_ptr<SimDongle> dongle;
  MainWindow* w = nullptr;
  QString belt;
  bool deaf = false;
};

}  // namespace kelvaro::testing
