// The Scratch 3 bridge from the window: the box on "Spec. Setting", the address and "Copy", the
// editors counted, a port that is taken, and the belt's notifications on the wire reaching an
// editor. Every test serves on a free port ([Scratch3] Port=0), so they may run side by side.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QUrl>
#include <QWebSocket>
#include <vector>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "base/SettingsFile.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

const QByteArray kValue = testing::bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F");

std::uint16_t portOf(const QString& address) {
  return static_cast<std::uint16_t>(QUrl(address).port());
}

class Scratch3PanelTest : public ::testing::Test {
 protected:
  void start(const QByteArray& scratch3 = "Port=0\n") {
    h.writeDarev("[Scratch3]\n" + scratch3);
    h.startAnswered();
  }
  QCheckBox& box() { return find<QCheckBox>(*h.window, "CheckBoxScratch3"); }
  QString status() { return find<QLabel>(*h.window, "LabelScratch3Editors").text(); }
  QString address() { return find<QLineEdit>(*h.window, "EditScratch3Address").text(); }

  WindowHarness h;
};

TEST_F(Scratch3PanelTest, TheBoxServesTheExtensionAndCountsTheEditors) {
  start();
  EXPECT_FALSE(box().isChecked()) << "off by default";
  EXPECT_EQ(status(), QStringLiteral("Off"));

  box().click();
  EXPECT_EQ(status(), QStringLiteral("Editors connected: 0"));
  const std::uint16_t port = portOf(address());
  ASSERT_NE(port, 0);
  EXPECT_EQ(address(), QStringLiteral("http://localhost:%1/kelvaro-belt.js").arg(port));
  EXPECT_EQ(h.window->core().console().last(),
            QStringLiteral("Scratch 3: serving http://localhost:%1/kelvaro-belt.js").arg(port));

  find<QPushButton>(*h.window, "ButtonScratch3Copy").click();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), address());

  QWebSocket editor(QStringLiteral("https://turbowarp.org"));
  std::vector<QJsonObject> messages;
  QObject::connect(&editor, &QWebSocket::textMessageReceived, [&](const QString& text) {
    messages.push_back(QJsonDocument::fromJson(text.toUtf8()).object());
  });
  editor.open(QUrl(QStringLiteral("ws://localhost:%1/belt").arg(port)));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return status() == QStringLiteral("Editors connected: 1"); }, 5000));

  // The belt's notifications, as the dongle delivers them, reach the editor.
  ASSERT_TRUE(QTest::qWaitFor([&] { return messages.size() == 1; }, 5000));
  for (int i = 0; i < 3; ++i) h.port.inject(testing::notification(kValue));
  ASSERT_TRUE(QTest::qWaitFor([&] { return messages.size() == 4; }, 5000));
  EXPECT_EQ(messages[3].value("force").toDouble(), 0.0);
  EXPECT_EQ(messages[3].value("force2").toDouble(), -250.0);
  EXPECT_EQ(messages[3].value("GX").toInt(), 16);
  EXPECT_EQ(messages[3].value("GY").toInt(), -16);
  EXPECT_EQ(messages[3].value("GZ").toInt(), 256);

  bool ended = false;
  QObject::connect(&editor, &QWebSocket::disconnected, [&] { ended = true; });
  box().click();
  EXPECT_EQ(status(), QStringLiteral("Off"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return ended; }, 5000)) << "unticking ends the editors";
  EXPECT_EQ(h.window->core().console().last(), QStringLiteral("Scratch 3: stopped"));

  EXPECT_TRUE(h.window->close());
  EXPECT_EQ(SettingsFile(h.darevPath())
                .readString(QStringLiteral("Scratch3"), QStringLiteral("Enabled"), QString()),
            QStringLiteral("0"));
}

TEST_F(Scratch3PanelTest, APortTakenByAnotherProgramIsNamedAndTheRestGoesOn) {
  QTcpServer other;
  ASSERT_TRUE(other.listen(QHostAddress::LocalHost));
  start("Enabled=1\nPort=" + QByteArray::number(other.serverPort()) + "\n");
  EXPECT_TRUE(box().isChecked());
  EXPECT_EQ(
      status(),
      QStringLiteral("Not serving: Port %1 is in use by another program").arg(other.serverPort()));
  EXPECT_TRUE(h.window->core().console().lines().contains(
      QStringLiteral("Scratch 3: port %1 is in use by another program; the bridge is off")
          .arg(other.serverPort())));
  // The rest of the window works as before: the belt's values still reach the read-outs.
  h.port.inject(testing::notification(kValue));
  EXPECT_EQ(h.window->core().measurement().force2Grams, -250.0);

  // Once the other program has gone, ticking again serves.
  const std::uint16_t port = other.serverPort();
  other.close();
  box().click();
  box().click();
  EXPECT_EQ(status(), QStringLiteral("Editors connected: 0"));
  EXPECT_EQ(portOf(address()), port);
}

TEST_F(Scratch3PanelTest, TheControlsAreNamedForAssistiveTools) {
  start();
  auto& edit = find<QLineEdit>(*h.window, "EditScratch3Address");
  auto& label = find<QLabel>(*h.window, "LabelScratch3Address");
  EXPECT_EQ(label.buddy(), &edit);
  EXPECT_EQ(edit.accessibleName(), QStringLiteral("Extension address"));
  EXPECT_TRUE(edit.isReadOnly());
  EXPECT_EQ(box().accessibleName(), QStringLiteral("Scratch 3"));
  EXPECT_EQ(find<QPushButton>(*h.window, "ButtonScratch3Copy").accessibleName(),
            QStringLiteral("Copy"));
  EXPECT_EQ(find<QLabel>(*h.window, "LabelScratch3Editors").accessibleDescription(),
            QStringLiteral("Scratch 3 editors"));
}

}  // namespace
}  // namespace kelvaro
