#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "app/WindowPages.h"
#include "app/WindowSettings.h"
#include "app/panels/KeysPanel.h"
#include "base/ConsoleOutput.h"
#include "base/Errors.h"
#include "base/MicrosecondClock.h"
#include "base/WallClock.h"
#include "capture/CaptureTap.h"
#include "capture/CaptureWriter.h"
#include "keys/KeyInjectorSink.h"
#include "link/ConnectionProcedure.h"
#include "monitor/MonitorCore.h"
#include "platform/AppendFile.h"
#include "platform/KeyInjector.h"
#include "platform/MasterVolume.h"
#include "platform/SoundPlayer.h"
#include "sim/BeltPlayback.h"
#include "sim/SimOptions.h"

class QLabel;
class QTabWidget;

namespace kelvaro {

namespace edf {
struct RecordingIdentity;
}

class DongleNotFoundExit;
class LiveChart;
class DongleWatchdog;
class MasterVolume;
class PortCatalog;
class PortSelection;
class SerialTransport;
class SettingsFile;
class TickSource;
class ActivityPanel;
class HistoryPanel;
class ChartOutputPanel;
class RecorderPanel;
class ScratchPanel;
class Scratch3Panel;
class BreathingPanel;
class CapturePanel;
class GuidePanel;
class PlaybackPanel;
class LastBelt;
class BeltsPanel;
class LinkPanel;
class MarkerPanel;
class WindowConnectionPanel;
class WindowReadouts;
class WindowScanGrid;
struct WindowViewParts;

class ActivityHistoryPage;
class ConsoleView;
class ActivityMonitorPage;
class ConnectionPage;
class GamingKeysPage;
class LiveGraphPage;
class SettingsPage;
class SpecSettingPage;
class AboutBox;
class UsersPanel;

// What the window is given from outside: the operating system's services, or a test's fakes.
struct MonitorEnvironment {
  TickSource* ticks = nullptr;
  EventPump* pump = nullptr;
  SerialTransport* port = nullptr;  // ComPort1
  const PortCatalog* catalog = nullptr;
  MasterVolume* volume = nullptr;    // EndpointVolume
  SoundPlayer* sound = nullptr;      // the alarm sound; silence when null
  KeyInjector* keys = nullptr;       // the key activation's keys; none sent when null
  QString keyInjectorLine;           // what the choice of the key injector says on the console
  const WallClock* clock = nullptr;  // sessions and activity points; the system's when null
  const MicrosecondClock* micros = nullptr;  // the capture's times; the steady clock when null
  QString homeDir;                           // Darev.ini, ComPort.ini and Data/ live here
  QString forcedPort;  // "SIM" or "SIM:<timeline>" when simulating, "REPLAY" for --replay
  // Recorded belts: what the port name "REPLAY" plays from its next open on, and how far the one
  // open has got (nothing while none is). Without them no capture can be played in this run.
  std::function<void(const SimPlayback&)> setPlayback;
  std::function<std::optional<PlaybackProgress>()> playbackProgress;
  PlaybackPace playbackPace;  // how "Play capture…" plays
  QString replayFile;         // the capture that a forced "REPLAY" plays (--replay)
  std::function<void(int exitCode)> endProcess;
  // Shows the dongle-not-found dialog modally; the real dialog when empty.
  std::function<void()> showDongleNotFound;
  // The value read-outs show the latest notification at most this often (0: at every one).
  int displayFrameMs = 40;
  // Assistive tools hear of a new force value at most this often (0: at every one shown).
  int readoutAnnounceMs = 500;
  // Where "TCP Connect" finds Scratch: its remote-sensor port on the host in EditIP.
  std::uint16_t scratchPort = 42001;
  // The general error report for errors a handler catches itself; a message box when empty.
  std::function<void(const QString&)> reportError;
};

// The main window: every page and control, the module-level state of the link and the
// measurements, the timers, and the start-up and shut-down sequences.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(MonitorEnvironment environment, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up: settings, port selection, first discovery. False when the run ended there
  // (the dongle was missing and the environment's endProcess returned, as it does in tests).
  bool startUp();

  // The pages and the live chart, for the window's views and for tests.
  const WindowPages& pages() const { return windowPages_; }
  QTimer volumeRestoreTimer;
  QTimer dongleWatchdogTimer;

  // The headless core: the run's state and the road of one measurement.
  MonitorCore& core() { return *core_; }
  bool autoComPort() const { return windowSettings_->autoComPort(); }
  const PortSelection* portSelection() const { return portSelection_.get(); }
  const MonitorEnvironment& environment() const { return env_; }
  DongleWatchdog* watchdog() const { return watchdog_.get(); }
  double actStart() const { return windowSettings_->actStart(); }
  double actStop() const { return windowSettings_->actStop(); }
  QString settingsPath() const;
  QString comPortIniPath() const;

  // Connects as "Connect Last" does to the belt `deviceId` ("last": the one in EditLastID) as soon
  // as the scan has heard it; gives up with a console line after `patienceMs`.
  void connectWhenHeard(const QString& deviceId, int patienceMs = 15000);
  // A recording into `path` from the first plotted sample on, in the format its extension names
  // (".csv", ".bdf"); false for any other.
  bool recordAtFirstSample(const QString& path);

  // Shows or hides a page; a shown page takes its place in the pages' fixed order.
  void showPage(QWidget* page, bool visible);
  bool pageShown(QWidget* page) const;
  void reportError(const QString& text);
  // Runs an action; an error it raises ends it and goes to the error report. Every slot that can
  // fail goes through here, so that no exception travels through Qt's signal code.
  template <class Action>
  void guarded(Action&& action) {
    try {
      action();
    } catch (const std::exception& e) {
      reportError(QString::fromUtf8(e.what()));
    }
  }
  void setBusy(const QString& phase);
  // A block of the activity computation ended: its values on the pages and the activity chart.
  void showActivityBlock(const ActivityBlock& block);
  // The key activation's working copies changed (a field, the selection, the on/off box).
  void keysChanged(const KeysPanel::Values& values);
  void showKeyIndicator(KeyIndicator indicator);
  BreathingPanel* breathingPanel() const { return breathing_; }
  LinkPanel* linkPanel() const { return link_; }
  // The last belt's ID, which EditLastID shows.
  LastBelt& lastBelt() const { return *lastBelt_; }
  WindowReadouts& readouts() { return *readouts_; }
  // The "Capture" box and the capture of the dongle's port behind it.
  CapturePanel& capture() const { return *capture_; }
  // "Play capture…" and the recorded belt it plays.
  PlaybackPanel& playback() const { return *playback_; }
  // The belts beside the first.
  BeltsPanel& belts() const { return *belts_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  WindowPages windowPages_;

  void buildPages();
  void wireControls();
  void firstShown();
  void shutDown();
  void receiveSerialBytes();
  void showDongleNotFoundDialog();
  void applyGraphCheckBoxes();      // the series boxes' reactions, run once more at start-up
  void applyAutoscaleCheckBoxes();  // the autoscale boxes' reactions, likewise
  void applyAutoscale(bool left);
  void wireLiveGraph();
  void buildCapture();
  void buildPlayback();
  void buildBelts();
  // Every way out of the run: the measurement log and the capture flushed, synced and closed.
  void finishFiles();
  edf::RecordingIdentity recordingIdentity() const;

  MonitorEnvironment env_;
  // The dongle's port goes through the capture's tap; env_.port is the tap from the start on.
  SteadyMicrosecondClock steadyMicros_;
  PosixAppendFile captureFile_;
  std::unique_ptr<CaptureWriter> captureWriter_;
  std::unique_ptr<CaptureTap> captureTap_;
  // Every page of PageControl1 with its caption, in tab order, shown or not.
  std::array<std::pair<QWidget*, QString>, 8> pages_{};
  // What the environment may leave out.
  NullSoundPlayer silence_;
  NullKeyInjector noKeys_;
  std::unique_ptr<KeyInjectorSink> keySink_;
  NullMasterVolume noVolume_;
  SystemWallClock systemClock_;
  ConsoleOutputBinding stdoutBinding_;
  std::unique_ptr<WindowViewParts> viewParts_;
  std::unique_ptr<WindowScanGrid> scanGrid_;
  std::unique_ptr<WindowReadouts> readouts_;
  std::unique_ptr<MonitorCore> core_;
  std::unique_ptr<ScratchPanel> scratch_;    // goes before the core whose console it writes to
  std::unique_ptr<Scratch3Panel> scratch3_;  // likewise
  std::unique_ptr<WindowConnectionPanel> connectionPanel_;
  UsersPanel* users_ = nullptr;
  LastBelt* lastBelt_ = nullptr;
  ActivityPanel* activity_ = nullptr;
  HistoryPanel* history_ = nullptr;
  ChartOutputPanel* chartOutput_ = nullptr;
  KeysPanel* keys_ = nullptr;
  RecorderPanel* recorderPanel_ = nullptr;
  CapturePanel* capture_ = nullptr;
  PlaybackPanel* playback_ = nullptr;
  BreathingPanel* breathing_ = nullptr;
  GuidePanel* guide_ = nullptr;
  LinkPanel* link_ = nullptr;
  BeltsPanel* belts_ = nullptr;
  MarkerPanel* markers_ = nullptr;
  std::unique_ptr<ConnectionProcedure> connection_;
  std::unique_ptr<ConsoleView> consoleView_;
  std::unique_ptr<SettingsFile> settings_;
  std::unique_ptr<WindowSettings> windowSettings_;
  std::unique_ptr<DongleNotFoundExit> dongleNotFound_;
  std::unique_ptr<PortSelection> portSelection_;
  std::unique_ptr<DongleWatchdog> watchdog_;
  AboutBox* aboutBox_ = nullptr;
  QLabel* busyLabel_ = nullptr;

  bool shownOnce_ = false;
  bool settingsRead_ = false;
  bool runEnded_ = false;
};

}  // namespace kelvaro
