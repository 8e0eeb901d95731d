// The whole program on the simulated dongle, in real time: scan, connect, measure, disconnect.
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "app/shell/PortRouter.h"
#include "sim/SimDongle.h"
#include "sim/SimOptions.h"

namespace kelvaro {
namespace {

using testing::find;

// The row of the grid whose Device ID is deviceId, or -1.
int rowOf(const QTableWidget& grid, const QString& deviceId) {
  for (int row = 0; row < grid.rowCount(); ++row) {
    const auto* item = grid.item(row, 2);
    if (item && item->text() == deviceId) return row;
  }
  return -1;
}

TEST(MainWindowEndToEndTest, ScanConnectMeasureAndDisconnectOnTheSimulator) {
  QApplication::setQuitOnLastWindowClosed(false);
  QTemporaryDir home;
  SteadyTickSource ticks;
  QtEventPump pump;
  PortRouter port(ticks);
  FixedPortCatalog catalog;
  NullMasterVolume volume;
  QList<int> exitCodes;
  MonitorEnvironment env;
  env.ticks = &ticks;
  env.pump = &pump;
  env.port = &port;
  env.catalog = &catalog;
  env.volume = &volume;
  env.homeDir = home.path();
  env.forcedPort = QStringLiteral("SIM");
  env.endProcess = [&exitCodes](int code) { exitCodes << code; };
  env.showDongleNotFound = [] {};
  // The simulated world of "SIM" is the default one; its belt has this address.
  const QString belt = SimDongle(SimOptions()).beltDeviceId(0);

  MainWindow w(env);
  ASSERT_TRUE(w.startUp());
  auto* grid = w.pages().connection->scanGrid;
  auto& labelF1 = find<QLabel>(w, "LabelF1");

  ASSERT_TRUE(QTest::qWaitFor([&] { return rowOf(*grid, belt) >= 0; }, 10000))
      << w.core().console().lines().join('\n').toStdString();
  EXPECT_EQ(w.core().link().discoverAnswered, LinkAnswer::Good);
  grid->setCurrentCell(rowOf(*grid, belt), 2);

  // A failed connect would wait on its warning box; close any and fail instead.
  QStringList warnings;
  QTimer guard;
  QObject::connect(&guard, &QTimer::timeout, [&warnings] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      warnings << modal->objectName();
      modal->close();
    }
  });
  guard.start(50);
  find<QPushButton>(w, "ButtonConnect").click();
  guard.stop();

  ASSERT_TRUE(warnings.isEmpty()) << w.core().console().lines().join('\n').toStdString();
  EXPECT_EQ(w.pages().tabs->currentWidget(), w.pages().liveGraph);
  EXPECT_EQ(w.pages().tabs->indexOf(w.pages().connection), -1);
  EXPECT_EQ(find<QLineEdit>(w, "EditLastID").text(), belt);
  EXPECT_EQ(find<QLineEdit>(w, "EditMac").text(), belt);
  EXPECT_TRUE(w.core().console().lines().contains(QStringLiteral("**** Set2 OK")));

  // The belt streams: the count grows and the force read-out moves with the breathing. The waits
  // are patient because this test runs in real time beside others that load the machine.
  const std::uint32_t countAtConnect = w.core().measurement().notificationCount;
  QSet<QString> forceTexts;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        forceTexts.insert(labelF1.text());
        return forceTexts.size() >= 3 &&
               w.core().measurement().notificationCount >= countAtConnect + 5;
      },
      10000));
  EXPECT_GT(w.core().measurement().notificationCount, 10u);

  find<QPushButton>(w, "Button20").click();

  EXPECT_EQ(w.pages().tabs->currentWidget(), w.pages().connection);
  EXPECT_EQ(w.pages().tabs->indexOf(w.pages().liveGraph), -1);
  EXPECT_EQ(w.core().measurement().notificationCount, 0u);
  EXPECT_EQ(grid->rowCount(), 0);
  EXPECT_EQ(w.core().console().last(), QStringLiteral("Write1"));
  // The new scan lists the belt again.
  EXPECT_TRUE(QTest::qWaitFor([&] { return rowOf(*grid, belt) >= 0; }, 10000));
  EXPECT_TRUE(exitCodes.isEmpty());
}

}  // namespace
}  // namespace kelvaro
