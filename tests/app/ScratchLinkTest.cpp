// The Scratch link from the window: the buttons of "Spec. Setting", the belt's notifications on
// the wire, and a quiet close at exit.
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <string>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "support/ScratchPeer.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

// Raw forces 1000 and 500 with the default calibration (offset 1000, slope 0.5): 0 and -250 g;
// accelerations 16, -16 and 256.
const QByteArray kValue = testing::bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F");

class ScratchLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.scratchPort = peer.port();
    h.startAnswered();
    find<QLineEdit>(*h.window, "EditIP").setText(QStringLiteral("127.0.0.1"));
  }
  void connectToPeer() {
    auto& connectButton = find<QPushButton>(*h.window, "Button13");
    connectButton.click();
    EXPECT_FALSE(connectButton.isEnabled()) << "disabled while the attempt runs";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return peer.connections() == 1 && connectButton.isEnabled(); }, 5000));
    ASSERT_EQ(h.window->core().console().last(), QStringLiteral("Pripojeno"));
  }

  testing::ScratchPeer peer;
  WindowHarness h;
};

TEST_F(ScratchLinkTest, EveryNotificationReachesScratchAndSendForceSendsTheField) {
  connectToPeer();
  for (int i = 0; i < 3; ++i) h.port.inject(testing::notification(kValue));
  find<QPushButton>(*h.window, "Button15").click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return peer.frames().size() == 4; }, 5000));
  const auto frames = peer.frames();
  EXPECT_EQ(frames[0],
            "sensor-update \"force\" 0000.0 \"force2\" -0250.0 \"GX\"00016 \"GY\"-00016 "
            "\"GZ\"00256");
  EXPECT_EQ(frames[3],
            "sensor-update \"force\" 55000.0 \"force2\" 0001.0 \"GX\"00111 \"GY\"00222 "
            "\"GZ\"00333");
}

TEST_F(ScratchLinkTest, DisconnectAndTheTestButtonSayWhatHappened) {
  auto& w = *h.window;
  connectToPeer();
  find<QPushButton>(w, "Button14").click();
  EXPECT_EQ(
      w.core().console().lines().mid(w.core().console().count() - 2),
      (QStringList{QStringLiteral("*** TCP disconnect *********"), QStringLiteral("Odpojeno")}));
  find<QPushButton>(w, "Button16").click();
  EXPECT_EQ(w.core().console().last(), QStringLiteral("*** neni connect *********"));
  h.port.inject(testing::notification(kValue));
  QTest::qWait(20);
  EXPECT_TRUE(peer.received().isEmpty());
}

TEST_F(ScratchLinkTest, AnOpenConnectionClosesWithoutConsoleLinesAtExit) {
  auto& w = *h.window;
  connectToPeer();
  const QStringList before = w.core().console().lines();
  w.close();
  EXPECT_EQ(w.core().console().lines(), before);
  EXPECT_TRUE(QTest::qWaitFor([&] { return peer.hangUps() == 1; }, 5000));
}

}  // namespace
}  // namespace kelvaro
