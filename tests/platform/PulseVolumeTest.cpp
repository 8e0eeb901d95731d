#include <QByteArray>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/MasterVolume.h"
#include "platform/VolumeDucker.h"
#include "support/PrivateSoundServer.h"

namespace kelvaro {
namespace {

using testing::PrivateSoundServer;
using testing::setSinkPercents;
using testing::sinkPercents;

class PulseVolume : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()) {
      GTEST_SKIP() << "no pulseaudio binary";
    }
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty())
        << "pactl (pulseaudio-utils) is installed by scripts/setup";
    server_ = std::make_unique<PrivateSoundServer>();
    ASSERT_TRUE(server_->waitReady()) << server_->output().toStdString();
    volume_ = openSystemMasterVolume();
    ASSERT_TRUE(volume_->available());
  }
  void TearDown() override {
    volume_.reset();
    server_.reset();
  }

  // Runs one alarm, or several in a row, and the restore from a timer as the window does.
  void duckAndRestore(int alarms, const std::vector<int>& lowered) {
    VolumeDucker ducker(*volume_);
    QTimer restoreTimer;
    restoreTimer.setSingleShot(true);
    restoreTimer.setInterval(150);
    QObject::connect(&restoreTimer, &QTimer::timeout, [&ducker] { ducker.restore(); });
    for (int i = 0; i < alarms; ++i) {
      if (ducker.lower()) restoreTimer.start();
      EXPECT_EQ(sinkPercents(), lowered) << "after alarm " << i + 1;
    }
    EXPECT_TRUE(ducker.isLowered());
    EXPECT_TRUE(QTest::qWaitFor([&ducker] { return !ducker.isLowered(); }, 2000));
  }

  std::unique_ptr<PrivateSoundServer> server_;
  std::unique_ptr<MasterVolume> volume_;
};

TEST_F(PulseVolume, MuteAlarmLowersToAThirdAndRestores) {
  ASSERT_TRUE(setSinkPercents({"90%"}));
  ASSERT_EQ(sinkPercents(), (std::vector<int>{90, 90}));
  duckAndRestore(1, {30, 30});
  EXPECT_EQ(sinkPercents(), (std::vector<int>{90, 90}));
}

TEST_F(PulseVolume, AlarmsInARowRestoreTheFirstLevel) {
  ASSERT_TRUE(setSinkPercents({"90%"}));
  duckAndRestore(3, {30, 30});
  EXPECT_EQ(sinkPercents(), (std::vector<int>{90, 90}));
}

TEST_F(PulseVolume, UnevenChannelsKeepTheirBalance) {
  ASSERT_TRUE(setSinkPercents({"90%", "45%"}));
  ASSERT_EQ(sinkPercents(), (std::vector<int>{90, 45}));
  duckAndRestore(1, {30, 15});
  EXPECT_EQ(sinkPercents(), (std::vector<int>{90, 45}));
}

}  // namespace
}  // namespace kelvaro
