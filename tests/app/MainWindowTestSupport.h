#pragma once

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QStringList>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "app/MainWindow.h"
#include "app/pages/ActivityHistoryPage.h"
#include "app/pages/ActivityMonitorPage.h"
#include "app/pages/ConnectionPage.h"
#include "app/pages/GamingKeysPage.h"
#include "app/pages/LiveGraphPage.h"
#include "app/pages/SettingsPage.h"
#include "app/pages/SpecSettingPage.h"
#include "base/EventPump.h"
#include "base/MicrosecondClock.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "platform/KeyInjector.h"
#include "platform/MasterVolume.h"
#include "platform/PortCatalog.h"
#include "platform/SoundPlayer.h"
#include "support/FakeSerialTransport.h"
#include "support/NotificationPackets.h"
#include "support/RecordingKeyInjector.h"

namespace kelvaro::testing {

// The event loop on a manual clock: a wait moves the clock by its whole length and handles
// whatever Qt has pending.
class ManualLoopPump final : public EventPump {
 public:
  explicit ManualLoopPump(ManualTickSource& clock) : clock_(clock) {}
  void processPending() override { QCoreApplication::processEvents(); }
  void waitForEvents(std::uint32_t maxMs) override {
    clock_.advance(maxMs);
    QCoreApplication::processEvents();
  }

 private:
  ManualTickSource& clock_;
};

// A control of the window by its objectName; a missing one fails the test with its name.
template <class T>
T& find(QObject& root, const char* name) {
  T* child = root.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) throw std::runtime_error(std::string("no control named ") + name);
  return *child;
}

inline QByteArray bytes(const char* hex) {
  return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

// The dongle as this system's port list shows it: a CDC-ACM device with the dongle's USB id.
inline SerialPortRecord dongleRecord() {
  SerialPortRecord r;
  r.portName = QStringLiteral("/dev/ttyACM0");
  r.friendlyName = QStringLiteral("Low Energy Dongle (ttyACM0)");
  r.description = QStringLiteral("Low Energy Dongle");
  r.location = QStringLiteral("usb 1-2:1.0");
  r.vendorId = 0x2458;
  r.productId = 0x0001;
  r.hasVidPid = true;
  return r;
}

inline SerialPortRecord otherPortRecord(const QString& friendlyName) {
  SerialPortRecord r;
  r.portName = QStringLiteral("/dev/ttyUSB0");
  r.friendlyName = friendlyName;
  return r;
}

// The response to "StartGapDiscover" with result 0.
inline const QByteArray kDiscoverAnswer = bytes("00 02 06 02 00 00");
// The discover command, "Write1".
inline const QByteArray kDiscoverCommand = bytes("00 01 06 02 01");

// A scan response (event 6/0) from the address given most significant byte first, with the
// signal byte, packet type 0, public address, no bond and no advertising data.
inline QByteArray scanResponse(std::uint8_t rssi, const char* deviceId) {
  QByteArray address = bytes(deviceId);
  std::reverse(address.begin(), address.end());
  return bytes("80 0B 06 00") + QByteArray(1, char(rssi)) + bytes("00") + address +
         bytes("00 FF 00");
}

// An attribute-value event (4/5) carrying a 16-byte sensor value.
inline QByteArray notification(const QByteArray& value) { return notificationBytes(value); }

// The alarm sounds asked for.
class RecordingSoundPlayer final : public SoundPlayer {
 public:
  void play(const QString& path) override { played << path; }
  QStringList played;
};

// The main window over fakes: a scripted port, a fixed port list with the dongle in it, no audio,
// a temporary home and a manual clock. The exit and the dongle-not-found dialog are recorded.
class WindowHarness {
 public:
  WindowHarness() {
    QApplication::setQuitOnLastWindowClosed(false);
    catalog.setPorts({dongleRecord()});
  }

  QString darevPath() const { return home.filePath(QStringLiteral("Darev.ini")); }
  QString comPortPath() const { return home.filePath(QStringLiteral("ComPort.ini")); }

  void writeFile(const QString& path, const QByteArray& content) const {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
  }
  void writeDarev(const QByteArray& content) const { writeFile(darevPath(), content); }

  // The file's lines without line ends, blank lines left out; nothing when there is no file.
  std::optional<QStringList> darevLines() const {
    QFile file(darevPath());
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QStringList lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
      const QString text = QString::fromUtf8(line).trimmed();
      if (!text.isEmpty()) lines << text;
    }
    return lines;
  }

  MonitorEnvironment environment() {
    MonitorEnvironment env;
    env.ticks = &ticks;
    env.pump = &pump;
    env.port = &port;
    env.catalog = &catalog;
    env.volume = systemVolume ? systemVolume : &volume;
    env.sound = &sound;
    env.keys = &keys;
    env.clock = &clock;
    env.micros = &micros;
    env.homeDir = home.path();
    env.displayFrameMs = displayFrameMs;
    env.readoutAnnounceMs = 0;
    env.scratchPort = scratchPort;
    env.reportError = [this](const QString& text) { reports << text; };
    env.endProcess = [this](int code) {
      exitCodes << code;
      if (onExit) onExit(code);
    };
    if (!realDialog) {
      env.showDongleNotFound = [this] {
        ++dialogs;
        if (onDialog) onDialog();
      };
    }
    return env;
  }

  MainWindow& create() {
    window = std::make_unique<MainWindow>(environment());
    return *window;
  }
  // The window created and its start-up run.
  bool start() {
    create();
    return window->startUp();
  }
  // start() with the dongle's answer to the first discover.
  void startAnswered() {
    ASSERT_TRUE(start());
    port.inject(kDiscoverAnswer);
    ASSERT_EQ(window->core().link().discoverAnswered, LinkAnswer::Good);
  }
  // A tick of the dongle watchdog, as dongleWatchdogTimer gives it every second.
  void tickDongleWatchdog() { QMetaObject::invokeMethod(&window->dongleWatchdogTimer, "timeout"); }

  QTableWidget* grid() const { return window->pages().connection->scanGrid; }
  bool tabShown(QWidget* page) const { return window->pageShown(page); }

  QTemporaryDir home;
  ManualTickSource ticks{100000};
  ManualLoopPump pump{ticks};
  FakeSerialTransport port;
  FixedPortCatalog catalog;
  NullMasterVolume volume;
  // The real volume of a test's own sound server instead of the null one.
  MasterVolume* systemVolume = nullptr;
  RecordingSoundPlayer sound;
  RecordingKeyInjector keys;
  ManualWallClock clock{QDateTime(QDate(2026, 12, 10), QTime(9, 0))};
  ManualMicrosecondClock micros{1000000};  // a capture's clock
  QList<int> exitCodes;
  // What the window's error report was given, instead of message boxes.
  QStringList reports;
  // 0: the read-outs follow every notification, so tests can look at once.
  int displayFrameMs = 0;
  // A test's own Scratch stand-in instead of Scratch's port.
  std::uint16_t scratchPort = 42001;
  int dialogs = 0;
  std::function<void()> onDialog;
  std::function<void(int)> onExit;
  // The window's own dongle-not-found dialog instead of the recording one.
  bool realDialog = false;
  // Last, so that the window goes before the port and the clock it uses.
  std::unique_ptr<MainWindow> window;
};

}  // namespace kelvaro::testing
