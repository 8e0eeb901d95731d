#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "edf/EdfRecorder.h"
#include "headless/HeadlessStatus.h"
#include "link/Dispatcher.h"
#include "link/ScanList.h"
#include "measure/Recorder.h"
#include "monitor/MeasurementConsumer.h"
#include "monitor/MonitorDisplay.h"
#include "platform/AppendFile.h"

namespace kelvaro {

class ConnectionProcedure;
class DongleNotFoundExit;
class DongleWatchdog;
class EventPump;
class LinkKeeper;
class MonitorCore;
class PortCatalog;
class PortSelection;
class SerialTransport;
class SettingsFile;
class TickSource;
class WallClock;

// What the headless recorder is given from outside: the operating system's services or a test's.
struct HeadlessEnvironment {
  TickSource* ticks = nullptr;
  EventPump* pump = nullptr;
  SerialTransport* port = nullptr;
  const PortCatalog* catalog = nullptr;
  const WallClock* clock = nullptr;
  // Every console line and the status line go here; nothing is shown without it.
  HeadlessOutput* output = nullptr;
  // Ends the process with the code of a missing dongle (4, 2 or 3); the program's does not return.
  std::function<void(int exitCode)> endProcess;
};

struct HeadlessOptions {
  QString homeDir;     // Darev.ini, ComPort.ini
  QString forcedPort;  // "SIM" or "SIM:<timeline>" when simulating, "REPLAY" for --replay
  // The belt to connect to once heard; "last": the settings' MAC, or where a home has none the
  // strongest signal the scan hears (what the window tells a person to look for). Empty: none.
  QString connect;
  QString record;  // .csv or .bdf, from the first plotted sample; empty: none
  // The run ends after this long: counted from the recording's first sample when there is one,
  // else from the start. 0: when it is told to.
  std::uint64_t durationMs = 0;
  QString program;  // the program and its version, for an EDF+ recording's header
};

// The monitor without a window: a plain Qt Core application's parts. The core, the dongle's port
// chosen and watched as at the window's start-up, the belt connected once the scan hears it (and
// tried again while it does not answer), the lost link mended and the dongle brought back by the
// link keeper exactly as in the window, the recording of --record (CSV or EDF+), and a status
// line. A missing dongle ends the run with the exit code the window would give, a message in
// place of its dialog. The settings are read, never written back: they are the window's.
class HeadlessRun final : public QObject, private MeasurementConsumer, private RecorderView {
  Q_OBJECT

 public:
  // Tries to connect again this often while the belt does not answer.
  static constexpr std::uint32_t kConnectRetryMs = 5000;
  static constexpr std::uint32_t kStatusMs = 1000;
  // Without a last belt, the scan listens this long before the strongest signal is taken.
  static constexpr std::uint32_t kListenForStrongestMs = 3000;

  HeadlessRun(HeadlessEnvironment environment, HeadlessOptions options, QObject* parent = nullptr);
  ~HeadlessRun() override;

  // The settings, the recordings a killed run left repaired, the dongle's port and a first
  // discovery. False when a missing dongle ended the run (endProcess was called).
  bool start();
  // The end: the recording closed (every sample on the disk), the belt let go; finished(0).
  void stop();

  MonitorCore& core() { return *core_; }
  const HeadlessStatus& status() const { return status_; }
  const EdfRecorder& edfRecorder() const { return *edf_; }

 signals:
  void finished(int exitCode);

 private:
  class View;
  // The scan's latest signal strength of each device heard, for the strongest one.
  class Scan final : public ScanView {
   public:
    void setDeviceIdText(const QString&) override {}
    void setRowCount(int rows) override {
      if (rows <= 1) signal.fill(-1000);
    }
    void setRow(int row, const QString&, const QString& rssi) override {
      if (row >= 1 && row <= ScanList::kCapacity) signal[std::size_t(row - 1)] = rssi.toInt();
    }
    void setConnectButtonsEnabled(bool) override {}
    std::array<int, ScanList::kCapacity> signal{};
  };

  void readSettings();
  void tryConnect();
  void tick();
  void notificationDecoded(const DecodedNotification& notification) override;
  std::uint32_t elapsedMs() const;
  // What a recording shows goes to the console: no window to show it in.
  QString fileNameText() const override { return QString(); }
  void showFileExists() override;
  void showRecording() override {}
  void showFirstRow() override {}
  void showStopped() override {}
  void showFailure(const QString& message) override;

  HeadlessEnvironment env_;
  HeadlessOptions options_;
  Scan scanView_;
  NullMonitorDisplay display_;
  std::unique_ptr<MonitorCore> core_;
  std::unique_ptr<View> view_;
  std::unique_ptr<ConnectionProcedure> connection_;
  std::unique_ptr<SettingsFile> settings_;
  std::unique_ptr<DongleNotFoundExit> dongleNotFound_;
  std::unique_ptr<PortSelection> portSelection_;
  std::unique_ptr<DongleWatchdog> watchdog_;
  std::unique_ptr<LinkKeeper> keeper_;
  PosixAppendFile edfReservation_;
  std::unique_ptr<EdfRecorder> edf_;
  HeadlessStatus status_;
  QTimer watchdogTimer_;
  QTimer statusTimer_;
  QTimer connectTimer_;
  QString wanted_;  // the belt to connect to
  QString user_;    // the selected user, for an EDF+ recording's header
  bool autoComPort_ = true;
  bool ended_ = false;  // a missing dongle ended the run
  bool stopped_ = false;
  std::uint32_t startTick_ = 0;
  std::uint32_t nextAttempt_ = 0;
  std::uint64_t lastMinute_ = 0;
  bool recording_ = false;
  bool firstSampleSeen_ = false;
  std::uint32_t firstSampleTick_ = 0;
};

}  // namespace kelvaro
