// The window's port: "REPLAY" opens the recorded belt set last, a new one from its start.
#include <QByteArray>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/shell/PortRouter.h"
#include "base/TickSource.h"
#include "capture/CaptureReader.h"
#include "sim/RecordedBelt.h"

namespace kelvaro {
namespace {

// A capture of a connection to belt 000780008D83 and three notifications 50 ms apart.
std::shared_ptr<const RecordedBelt> recordedBelt() {
  const std::string text =
      "kelvaro-capture 1 program=test/1 start=2025-03-01T14:02:11.250Z\n"
      "100 < 80 10 03 00 00 05 83 8d 00 80 07 00 00 3c 00 64 00 00 00 ff\n"
      "200 < 80 05 04 01 00 00 00 1a 00\n"
      "50200 < 80 07 04 05 00 19 00 01 02 aa bb\n"
      "100200 < 80 07 04 05 00 19 00 01 02 aa bc\n"
      "150200 < 80 07 04 05 00 19 00 01 02 aa bd\n";
  const Capture capture = parseCapture(text.data(), text.size());
  return std::make_shared<RecordedBelt>(RecordedBelt::fromCapture(capture));
}

TEST(PortRouterTest, ReplayOpensTheRecordedBeltSetLastEachTimeFromItsStart) {
  ManualTickSource clock(1000);
  PortRouter port(clock);
  EXPECT_FALSE(port.open(QStringLiteral("REPLAY"), SerialSettings()));
  EXPECT_EQ(port.errorString(), QStringLiteral("REPLAY: there is no capture to play"));
  EXPECT_FALSE(port.playbackProgress());

  const auto belt = recordedBelt();
  ASSERT_TRUE(belt->heard());
  EXPECT_EQ(belt->notifications(), 3u);
  port.setPlayback({belt, PlaybackPace{}});
  ASSERT_TRUE(port.open(QStringLiteral("replay"), SerialSettings())) << "any case";
  auto progress = port.playbackProgress();
  ASSERT_TRUE(progress);
  EXPECT_EQ(progress->durationUs, 150000u);
  EXPECT_EQ(progress->positionUs, 0u);
  EXPECT_FALSE(progress->finished);

  // Another dongle: no playback to follow; the simulated one is not a recorded belt.
  ASSERT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings()));
  EXPECT_FALSE(port.playbackProgress());
  port.close();
  EXPECT_FALSE(port.open(QStringLiteral("REPLAY:x"), SerialSettings()));
}

}  // namespace
}  // namespace kelvaro
