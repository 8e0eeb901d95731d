#include "headless/HeadlessRun.h"

#include <exception>

#include "activity/UserList.h"
#include "base/SettingsFile.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "breathing/BreathDetector.h"
#include "edf/EdfRepair.h"
#include "link/ConnectionProcedure.h"
#include "link/DeviceAddress.h"
#include "link/DongleNotFoundExit.h"
#include "link/DongleWatchdog.h"
#include "link/PortSelection.h"
#include "monitor/LinkKeeper.h"
#include "monitor/MonitorCore.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

namespace {

const QString kGlobal = QStringLiteral("GLOBAL");

}  // namespace

// What the connection procedure would change in a window: here nothing is shown but the warnings,
// on the console; a made or ended connection goes to the core.
class HeadlessRun::View final : public ConnectionView {
 public:
  explicit View(HeadlessRun& run) : run_(run) {}
  void setButtonEnabled(Button, bool) override {}
  QString selectedDeviceId() const override { return run_.wanted_; }
  QString lastBeltIdText() const override { return run_.wanted_; }
  void setLastBeltIdText(const QString& text) override { run_.wanted_ = text; }
  QString macText() const override { return mac_; }
  void setMacText(const QString& text) override { mac_ = text; }
  void showLiveGraphPage() override {}
  void showConnectionPage() override {}
  void showWarning(const QString& text) override { run_.core_->console().append(text); }
  void setBusy(const QString&) override {}
  void resetGraphSlot() override { run_.core_->graph().resetSlot(); }
  void clearLiveGraph() override { run_.core_->graph().clearLiveGraph(); }
  void connectionMade(const QString& deviceId) override { run_.core_->linkConnected(deviceId); }
  void connectionEnded() override { run_.core_->linkDisconnected(); }

 private:
  HeadlessRun& run_;
  QString mac_;
};

HeadlessRun::HeadlessRun(HeadlessEnvironment environment, HeadlessOptions options, QObject* parent)
    : QObject(parent), env_(std::move(environment)), options_(std::move(options)) {
  core_ = std::make_unique<MonitorCore>(*env_.ticks, *env_.pump, *env_.port, scanView_, display_);
  if (env_.output) {
    connect(&core_->console(), &ConsoleLog::lineAppended, this,
            [this](const QString& line) { env_.output->consoleLine(line); });
  }
  view_ = std::make_unique<View>(*this);
  connection_ = std::make_unique<ConnectionProcedure>(
      core_->commands(), core_->link(), core_->scanList(), scanView_, *view_, *env_.port,
      [this] {
        if (!portSelection_) return false;
        const auto& config = portSelection_->config();
        return env_.port->open(config.port, config.settings);
      },
      core_->waiter(), core_->stopwatch(), core_->console());
  const auto guarded = [this](const std::function<void()>& action) {
    try {
      action();
    } catch (const std::exception& e) {
      core_->console().append(QString::fromUtf8(e.what()));
    }
  };
  keeper_ = std::make_unique<LinkKeeper>(
      LinkKeeper::Parts{*core_, *connection_, *env_.port, env_.catalog,
                        [this] { return portSelection_.get(); }, [this] { return autoComPort_; },
                        [this] { return watchdog_ && watchdog_->startedUp(); }, guarded});
  edf_ = std::make_unique<EdfRecorder>(edfReservation_, *env_.clock, *env_.ticks,
                                       EdfRecorder::calibrationsOf(*core_), core_->console());
  edf_->setIdentity([this] {
    const QString belt = core_->linkGuard().deviceId();
    return edf::RecordingIdentity{user_, belt.isEmpty() ? wanted_ : belt, options_.program};
  });
  edf_->setView(this);
  core_->recorder().setView(this);
  // Road order: the recordings, then what watches them.
  core_->addConsumer(*edf_);
  core_->addConsumer(status_);
  core_->addConsumer(*this);

  connect(env_.port, &SerialTransport::readyRead, this,
          [this, guarded] { guarded([this] { core_->receive(); }); });
  connect(env_.port, &SerialTransport::connectionLost, this, [this](const QString& reason) {
    core_->console().append(QStringLiteral("Port closed: ") + reason);
  });
  watchdogTimer_.setInterval(realWaitMs(*env_.ticks, 1000));
  connect(&watchdogTimer_, &QTimer::timeout, this, [this] {
    if (watchdog_) watchdog_->tick();
  });
  statusTimer_.setInterval(realWaitMs(*env_.ticks, kStatusMs));
  connect(&statusTimer_, &QTimer::timeout, this, [this] { tick(); });
  connectTimer_.setInterval(realWaitMs(*env_.ticks, 100));
  connect(&connectTimer_, &QTimer::timeout, this,
          [this, guarded] { guarded([this] { tryConnect(); }); });
}

HeadlessRun::~HeadlessRun() {
  stop();
  edf_->setView(nullptr);
  core_->recorder().setView(nullptr);
  core_->removeConsumer(*this);
  core_->removeConsumer(status_);
  core_->removeConsumer(*edf_);
}

void HeadlessRun::readSettings() {
  const SettingsFile& file = *settings_;
  Calibration& c = core_->calibration();
  c.k1 = file.readReal(kGlobal, QStringLiteral("K1"), 0.5);
  c.k2 = file.readReal(kGlobal, QStringLiteral("K2"), 0.5);
  c.ofs1 = file.readInteger(kGlobal, QStringLiteral("Ofs1"), 1000);
  c.ofs2 = file.readInteger(kGlobal, QStringLiteral("Ofs2"), 1000);
  core_->activity().settings().alarmLevel =
      file.readInteger(kGlobal, QStringLiteral("TrackBarAct"), 10);
  core_->breathing().setApneaLimitSeconds(file.readInteger(
      QStringLiteral("Breathing"), QStringLiteral("ApneaLimit"), breathing::kDefaultApneaSeconds));
  autoComPort_ = file.readBool(kGlobal, QStringLiteral("AutoComPort"), true);
  const QString mac = file.readString(kGlobal, QStringLiteral("MAC"), QString());
  view_->setMacText(mac.isEmpty() ? QStringLiteral("012345678901") : mac);
  // The last belt, unless a home that never connected has none: then the first one heard.
  if (options_.connect.compare(QLatin1String("last"), Qt::CaseInsensitive) != 0) {
    wanted_ = options_.connect.toUpper();
  } else {
    wanted_ = mac;
  }
  const QString users = QStringLiteral("users");
  user_ = UserList::load(file.readInteger(users, QStringLiteral("count"), 1),
                         [&](int n) -> std::optional<QString> {
                           return file.readString(users, QStringLiteral("usr%1").arg(n),
                                                  UserList::defaultName(n));
                         })
              .selectedName();
}

bool HeadlessRun::start() {
  startTick_ = env_.ticks->tick();
  settings_ = std::make_unique<SettingsFile>(options_.homeDir + QStringLiteral("/Darev.ini"));
  core_->console().append(settings_->path());
  readSettings();
  for (const QString& line : edf::repairRecordingsIn(QStringLiteral("."))) {
    core_->console().append(line);
  }

  dongleNotFound_ = std::make_unique<DongleNotFoundExit>(
      *settings_, core_->console(), [] {},
      [this](int code) {
        ended_ = true;
        watchdogTimer_.stop();
        edf_->finish();
        core_->recorder().finish();
        core_->console().append(
            QStringLiteral("KELVARO Monitor App cannot find the Bluetooth Dongle! Is it inserted "
                           "into the USB port? (exit code %1)")
                .arg(code));
        if (env_.endProcess) env_.endProcess(code);
      });
  portSelection_ = std::make_unique<PortSelection>(
      env_.catalog, *env_.port, core_->console(), core_->commands(), *dongleNotFound_,
      options_.homeDir + QStringLiteral("/ComPort.ini"), options_.forcedPort);
  watchdog_ = std::make_unique<DongleWatchdog>(watchdogTimer_, core_->link(), *dongleNotFound_);
  watchdog_->setKeeper(&keeper_->dongle());
  watchdogTimer_.start();
  if (!portSelection_->selectAtStart(autoComPort_) || ended_) return false;
  core_->scanList().clear();
  scanView_.signal.fill(-1000);

  if (!options_.record.isEmpty()) {
    recording_ = true;
    if (options_.record.endsWith(EdfRecorder::kExtension, Qt::CaseInsensitive)) {
      edf_->startRecording(options_.record);
    } else {
      core_->recorder().startRecording(options_.record);
    }
  }
  if (!options_.connect.isEmpty()) connectTimer_.start();
  statusTimer_.start();
  return true;
}

void HeadlessRun::tryConnect() {
  // Once connected the link keeper looks after the link.
  if (core_->linkGuard().state() != LinkGuard::State::Idle) {
    connectTimer_.stop();
    return;
  }
  const std::uint32_t now = env_.ticks->tick();
  if (connection_->busy() || static_cast<std::int32_t>(now - nextAttempt_) < 0) return;
  if (wanted_.isEmpty()) {
    const int heard = core_->scanList().ScanCount();
    if (heard == 0 || elapsedMs() < kListenForStrongestMs) return;
    int strongest = 0;
    for (int i = 1; i < heard; ++i) {
      if (scanView_.signal[std::size_t(i)] > scanView_.signal[std::size_t(strongest)]) {
        strongest = i;
      }
    }
    wanted_ = DeviceId(core_->scanList().entry(strongest));
    core_->console().append(QStringLiteral("Connect at start: no last belt in the settings, the "
                                           "strongest signal heard: %1 (%2 dB)")
                                .arg(wanted_)
                                .arg(scanView_.signal[std::size_t(strongest)]));
  }
  for (int i = 0; i < core_->scanList().ScanCount(); ++i) {
    if (DeviceId(core_->scanList().entry(i)) == wanted_) {
      nextAttempt_ = now + kConnectRetryMs;
      connection_->connectLastClicked();
      return;
    }
  }
}

void HeadlessRun::showFileExists() {
  core_->console().append(
      QStringLiteral("Recording %1 not started: the file exists").arg(options_.record));
}

void HeadlessRun::showFailure(const QString& message) { core_->console().append(message); }

std::uint32_t HeadlessRun::elapsedMs() const { return env_.ticks->tick() - startTick_; }

void HeadlessRun::tick() {
  const std::uint32_t elapsed = elapsedMs();
  if (env_.output) {
    // On a terminal every second; in a log a line a minute.
    if (env_.output->terminal()) {
      env_.output->status(status_.line(elapsed));
    } else if (elapsed / 60000 > lastMinute_) {
      lastMinute_ = elapsed / 60000;
      env_.output->status(status_.line(elapsed));
    }
  }
  if (options_.durationMs > 0 && !recording_ && elapsed >= options_.durationMs) stop();
}

void HeadlessRun::notificationDecoded(const DecodedNotification& notification) {
  // The first belt's only.
  if (notification.belt > 0) return;
  if (!recording_ || options_.durationMs == 0) return;
  if (!firstSampleSeen_) {
    const bool started = edf_->state() == RecorderState::Recording ||
                         core_->recorder().state() == RecorderState::Recording;
    if (started) {
      firstSampleSeen_ = true;
      firstSampleTick_ = notification.tick;
    }
    return;
  }
  if (notification.tick - firstSampleTick_ < options_.durationMs) return;
  // The recording holds the duration's samples; the files close at once, the rest of the run
  // once this notification has been handled.
  recording_ = false;
  edf_->finish();
  core_->recorder().finish();
  QTimer::singleShot(0, this, [this] { stop(); });
}

void HeadlessRun::stop() {
  if (stopped_) return;
  stopped_ = true;
  connectTimer_.stop();
  statusTimer_.stop();
  watchdogTimer_.stop();
  // The last status as the run had it, before the belt is let go.
  if (env_.output && !ended_) {
    env_.output->status(status_.line(elapsedMs()));
    env_.output->finish();
  }
  connection_->abandon();
  core_->linkDisconnected();
  edf_->finish();
  core_->recorder().finish();
  env_.port->close();
  emit finished(0);
}

}  // namespace kelvaro
