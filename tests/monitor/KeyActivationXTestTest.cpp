// The key activation end to end on an X server of the test's own: the simulated belt's breathing
// goes through the core's road, its triggers press the key through XTest, and the focused window
// receives it; switching the activation off while the key is held releases it.
#include <QByteArray>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "keys/KeyInjectorSink.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "platform/KeyInjector.h"
#include "platform/SerialTransport.h"
#include "sim/BeltModel.h"
#include "sim/Scenario.h"
#include "support/NotificationPackets.h"
#include "support/PrivateXServer.h"

#include <X11/keysym.h>

namespace kelvaro {
namespace {

class KeyActivationXTest : public testing::XTestWindowTest {
 protected:
  void SetUp() override {
    XTestWindowTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    KeyInjectorPlaces places;
    places.display = server_->display();
    QString line;
    injector_ = openKeyInjector(QStringLiteral("xtest"), &line, places);
    ASSERT_EQ(injector_->name(), QStringLiteral("xtest")) << line.toStdString();
    sink_ = std::make_unique<KeyInjectorSink>(*injector_);
    core_ = std::make_unique<MonitorCore>(ticks_, pump_, port_, scanView_, display_);
    core_->keys().setSink(sink_.get());
    KeyActivationValues values;
    values.forceThreshold = 10;  // grams: the calm breath's peaks are well above it
    values.forceKey = 0x27;      // "Arrow Right "
    core_->keys().applyValues(values);
    core_->keys().setActive(true);
  }
  void TearDown() override {
    core_.reset();
    sink_.reset();
    injector_.reset();
    XTestWindowTest::TearDown();
  }

  // One notification of the simulated belt, as the dongle sends it.
  void nextNotification() {
    BeltModel::Value value{};
    belt_.nextValue(timeline_, value);
    const std::vector<std::uint8_t> bytes = testing::notificationPacket(value.data(), value.size());
    core_->feed(bytes.data(), bytes.size());
  }
  // Feeds notifications until the key is held (or released); false after a minute of belt time.
  bool breatheUntil(bool held) {
    for (int i = 0; i < 1200; ++i) {
      nextNotification();
      if (core_->keys().trigger(KeyTriggers::kForce).pressed == held) return true;
    }
    return false;
  }

  ManualTickSource ticks_{1000};
  NoEventLoop pump_;
  NullSerialTransport port_;
  NullScanView scanView_;
  NullMonitorDisplay display_;
  BeltModel belt_{1, 0};
  ScenarioTimeline timeline_{Scenario::Breathing};
  std::unique_ptr<KeyInjector> injector_;
  std::unique_ptr<KeyInjectorSink> sink_;
  std::unique_ptr<MonitorCore> core_;
};

TEST_F(KeyActivationXTest, BreathingPressesAndReleasesTheKeyInTheFocusedWindow) {
  ASSERT_TRUE(breatheUntil(true)) << "the breath never rose above the threshold";
  expectKeyEvent(KeyPress, XK_Right);
  ASSERT_TRUE(breatheUntil(false)) << "the breath never fell back";
  expectKeyEvent(KeyRelease, XK_Right);
}

TEST_F(KeyActivationXTest, SwitchingOffWhileTheKeyIsHeldReleasesIt) {
  ASSERT_TRUE(breatheUntil(true));
  expectKeyEvent(KeyPress, XK_Right);
  core_->keys().setActive(false);
  expectKeyEvent(KeyRelease, XK_Right);
  for (int i = 0; i < 400; ++i) nextNotification();
  EXPECT_EQ(pendingKeyEvents(100), 0) << "nothing more while off";
}

}  // namespace
}  // namespace kelvaro
