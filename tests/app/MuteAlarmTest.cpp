// The mute alarm on a real sound server of the test's own: a quiet block lowers the default
// sink to a third, volumeRestoreTimer puts it back about two seconds later, and alarms in a row end
// at the volume from before the first.
#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <memory>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "support/PrivateSoundServer.h"

namespace kelvaro {
namespace {

using testing::bytes;
using testing::find;
using testing::notification;
using testing::PrivateSoundServer;
using testing::setSinkPercents;
using testing::sinkPercents;
using testing::WindowHarness;

class MuteAlarmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::soundServerAvailable()) GTEST_SKIP() << "no pulseaudio binary";
    server_ = std::make_unique<PrivateSoundServer>();
    ASSERT_TRUE(server_->waitReady()) << server_->output().toStdString();
    ASSERT_TRUE(setSinkPercents({QStringLiteral("90%")}));
    volume_ = openSystemMasterVolume();
    ASSERT_TRUE(volume_->available());
    h_ = std::make_unique<WindowHarness>();
    h_->systemVolume = volume_.get();
    h_->startAnswered();
    find<QCheckBox>(*h_->window, "CheckBoxMute").setChecked(true);
    // A still belt: the tenth notification zeroes, the two after it are not charted.
    for (int i = 0; i < 11; ++i) h_->port.inject(quiet());
  }
  void TearDown() override {
    h_.reset();
    volume_.reset();
    server_.reset();
  }
  static QByteArray quiet() {
    return notification(bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F"));
  }
  void quietBlock() {
    for (int i = 0; i < 200; ++i) h_->port.inject(quiet());
  }
  static std::vector<int> percents(int p) { return {p, p}; }

  std::unique_ptr<PrivateSoundServer> server_;
  std::unique_ptr<MasterVolume> volume_;
  std::unique_ptr<WindowHarness> h_;
};

TEST_F(MuteAlarmTest, AQuietBlockLowersTheVolumeToAThirdForTwoSeconds) {
  ASSERT_EQ(sinkPercents(), percents(90));
  quietBlock();
  EXPECT_EQ(sinkPercents(), percents(30));
  EXPECT_TRUE(h_->window->volumeRestoreTimer.isActive());
  EXPECT_TRUE(QTest::qWaitFor([] { return sinkPercents() == percents(90); }, 4000));
}

TEST_F(MuteAlarmTest, AlarmsInARowEndAtTheVolumeFromBeforeTheFirst) {
  quietBlock();
  quietBlock();
  quietBlock();
  EXPECT_EQ(sinkPercents(), percents(30)) << "lowered once, not to a ninth";
  EXPECT_TRUE(QTest::qWaitFor([] { return sinkPercents() == percents(90); }, 4000));
}

TEST_F(MuteAlarmTest, ClosingWhileLoweredPutsTheVolumeBack) {
  quietBlock();
  EXPECT_EQ(sinkPercents(), percents(30));
  ASSERT_TRUE(h_->window->close());
  EXPECT_EQ(sinkPercents(), percents(90));
}

}  // namespace
}  // namespace kelvaro
