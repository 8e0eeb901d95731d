#include "app/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <iostream>

#include "app/WindowViews.h"
#include "app/dialogs/AboutDialog.h"
#include "app/dialogs/ComSetupDialog.h"
#include "app/dialogs/DongleNotFoundDialog.h"
#include "app/pages/ActivityHistoryPage.h"
#include "app/pages/ActivityMonitorPage.h"
#include "app/pages/BreathingGuidePage.h"
#include "app/pages/ConnectionPage.h"
#include "app/pages/GamingKeysPage.h"
#include "app/pages/LiveGraphPage.h"
#include "app/pages/Scratch3Group.h"
#include "app/pages/SettingsPage.h"
#include "app/pages/SpecSettingPage.h"
#include "app/panels/ActivityPanel.h"
#include "app/panels/BeltsPanel.h"
#include "app/panels/BreathingPanel.h"
#include "app/panels/CapturePanel.h"
#include "app/panels/ChartOutputPanel.h"
#include "app/panels/GuidePanel.h"
#include "app/panels/HistoryPanel.h"
#include "app/panels/KeysPanel.h"
#include "app/panels/LastBelt.h"
#include "app/panels/LinkPanel.h"
#include "app/panels/MarkerPanel.h"
#include "app/panels/PlaybackPanel.h"
#include "app/panels/RecorderPanel.h"
#include "app/panels/Scratch3Panel.h"
#include "app/panels/ScratchPanel.h"
#include "app/panels/UsersPanel.h"
#include "app/shell/ErrorReportingApplication.h"
#include "base/Errors.h"
#include "base/SettingsFile.h"
#include "base/WallClock.h"
#include "edf/EdfRepair.h"
#include "link/DongleNotFoundExit.h"
#include "link/DongleWatchdog.h"
#include "link/PortSelection.h"
#include "measure/CalibrationFields.h"
#include "platform/MasterVolume.h"
#include "platform/SerialTransport.h"
#include "platform/SoundPlayer.h"
#include "widgets/ConsoleView.h"
#include "widgets/LiveChart.h"
#include "widgets/NumberEdit.h"
#include "widgets/ReadoutLabel.h"

namespace kelvaro {

MainWindow::MainWindow(MonitorEnvironment environment, QWidget* parent)
    : QMainWindow(parent), env_(std::move(environment)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("KELVARO monitor "));
  QFont font(QStringLiteral("Arial"));
  font.setBold(true);
  setFont(font);
  captureWriter_ =
      std::make_unique<CaptureWriter>(captureFile_, env_.micros ? *env_.micros : steadyMicros_);
  captureTap_ = std::make_unique<CaptureTap>(*env_.port, *captureWriter_);
  env_.port = captureTap_.get();

  // The views reach the pages only when the core calls them, after the pages exist.
  viewParts_ = std::make_unique<WindowViewParts>(WindowViewParts{
      *this, windowPages_, [this](QWidget* page, bool shown) { showPage(page, shown); },
      [this](const QString& phase) { setBusy(phase); },
      [this](const ActivityBlock& block) { showActivityBlock(block); },
      [this](KeyIndicator indicator) { showKeyIndicator(indicator); },
      [this]() -> LastBelt& { return *lastBelt_; }, [this]() -> MonitorCore& { return *core_; },
      [this] { return statusBar(); }});
  scanGrid_ = std::make_unique<WindowScanGrid>(*viewParts_);
  readouts_ = std::make_unique<WindowReadouts>(*viewParts_, *env_.ticks, env_.displayFrameMs);
  core_ =
      std::make_unique<MonitorCore>(*env_.ticks, *env_.pump, *env_.port, *scanGrid_, *readouts_);
  buildPages();
  connectionPanel_ = std::make_unique<WindowConnectionPanel>(*viewParts_);
  connection_ = std::make_unique<ConnectionProcedure>(
      core_->commands(), core_->link(), core_->scanList(), *scanGrid_, *connectionPanel_,
      *env_.port,
      [this] {
        if (!portSelection_) return false;
        const auto& config = portSelection_->config();
        return env_.port->open(config.port, config.settings);
      },
      core_->waiter(), core_->stopwatch(), core_->console());
  link_ = new LinkPanel(
      {{*core_, *connection_, *env_.port, env_.catalog, [this] { return portSelection_.get(); },
        [this] { return autoComPort(); }, [this] { return watchdog_ && watchdog_->startedUp(); },
        [this](const std::function<void()>& action) { guarded(action); }},
       *statusBar(),
       *windowPages_.liveGraph->linkLostLabel,
       [this](const QString& why) { readouts_->showNotCurrent(why); }},
      this);
  buildPlayback();
  consoleView_ =
      std::make_unique<ConsoleView>(core_->console(), windowPages_.specSetting->diagnosticsConsole);
  users_ = new UsersPanel(*windowPages_.connection, this);
  lastBelt_ = new LastBelt(*windowPages_.connection->lastBeltIdEdit, this);
  if (env_.keys) {
    env_.keys->setConsoleSink([this](const QString& line) { core_->console().append(line); });
  }
  keySink_ = std::make_unique<KeyInjectorSink>(env_.keys ? *env_.keys : noKeys_);
  core_->keys().setSink(keySink_.get());
  keys_ = new KeysPanel(
      *windowPages_.gamingKeys, *windowPages_.specSetting, *windowPages_.liveGraph->keyIndicator,
      *windowPages_.tabs, core_->console(),
      [this](const KeysPanel::Values& values) { keysChanged(values); }, this);
  scratch_ = std::make_unique<ScratchPanel>(*windowPages_.specSetting, core_->console(),
                                            *env_.ticks, *env_.pump, env_.scratchPort);
  recorderPanel_ = new RecorderPanel(
      {*windowPages_.liveGraph, *core_, env_.clock ? *env_.clock : systemClock_, *env_.ticks,
       [this] { return recordingIdentity(); }, [this](const QString& text) { reportError(text); }},
      this);
  buildBelts();
  buildCapture();
  history_ = new HistoryPanel(
      *windowPages_.activityHistory, *users_, core_->console(), env_.homeDir,
      [this](const QString& text) { reportError(text); }, this);
  chartOutput_ = new ChartOutputPanel(
      *windowPages_.liveGraph, *windowPages_.specSetting, *windowPages_.chart,
      [this](const QString& text) { reportError(text); }, this);
  activity_ = new ActivityPanel(
      {*core_, *windowPages_.activityMonitor, *windowPages_.liveGraph, *lastBelt_, *users_,
       volumeRestoreTimer, env_.volume ? *env_.volume : noVolume_,
       env_.sound ? *env_.sound : silence_, env_.clock ? *env_.clock : systemClock_, env_.homeDir},
      this);
  breathing_ = new BreathingPanel(*core_, *windowPages_.liveGraph, *windowPages_.activityMonitor,
                                  *windowPages_.apneaBanner, this);
  guide_ = new GuidePanel(
      {*core_, *windowPages_.breathingGuide, *env_.ticks, env_.clock ? *env_.clock : systemClock_,
       env_.sound ? *env_.sound : silence_,
       GuidePanel::findCueSound(QCoreApplication::applicationDirPath(), env_.homeDir),
       [this] { return users_->users().selectedName(); }, env_.homeDir, core_->console(),
       [this](const QString& text) { reportError(text); }},
      this);
  scratch3_ = std::make_unique<Scratch3Panel>(*windowPages_.specSetting->scratch3Group,
                                              core_->console(), *core_);
  core_->addConsumer(scratch3_->bridge());
  markers_ = new MarkerPanel(*core_, *windowPages_.liveGraph, *windowPages_.chart, *this, this);
  // The Scratch link is the road's last consumer.
  core_->addConsumer(scratch_->client());
  aboutBox_ = new AboutBox(this);
  windowSettings_ = std::make_unique<WindowSettings>(WindowSettings::Parts{
      windowPages_, core_->console(), core_->calibration(), *lastBelt_, *users_, *activity_,
      [this](QWidget* page, bool shown) { showPage(page, shown); },
      [this] { applyGraphCheckBoxes(); }, [this] { applyAutoscaleCheckBoxes(); }});

  volumeRestoreTimer.setInterval(2000);
  dongleWatchdogTimer.setInterval(1000);
  wireControls();
  // The dongle watchdog runs from the moment the window's parts exist, for the whole run.
  dongleWatchdogTimer.start();
}

MainWindow::~MainWindow() {
  // The panels that reach into the core go before it.
  delete belts_;
  belts_ = nullptr;
  delete recorderPanel_;
  recorderPanel_ = nullptr;
  delete playback_;
  playback_ = nullptr;
  delete link_;
  link_ = nullptr;
  delete breathing_;
  breathing_ = nullptr;
  delete guide_;
  guide_ = nullptr;
  finishFiles();
  delete capture_;
  capture_ = nullptr;
  core_->removeConsumer(scratch_->client());
  scratch_.reset();
  core_->removeConsumer(scratch3_->bridge());
  scratch3_.reset();
  core_->keys().releaseAll();
  core_->keys().setSink(nullptr);
  if (env_.keys) env_.keys->setConsoleSink(nullptr);
  dongleWatchdogTimer.stop();
  volumeRestoreTimer.stop();
  stdoutBinding_.detach();
  if (env_.port) env_.port->close();
}

void MainWindow::buildPages() {
  windowPages_.tabs = new QTabWidget(this);
  windowPages_.tabs->setObjectName(QStringLiteral("PageControl1"));
  windowPages_.tabs->setDocumentMode(false);
  windowPages_.tabs->tabBar()->setExpanding(false);
  windowPages_.apneaBanner = BreathingPanel::makeBanner();
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(windowPages_.apneaBanner);
  column->addWidget(windowPages_.tabs, 1);
  setCentralWidget(central);

  windowPages_.connection = new ConnectionPage;
  windowPages_.settings = new SettingsPage;
  windowPages_.liveGraph = new LiveGraphPage;
  windowPages_.chart = new LiveChart(core_->graph());
  windowPages_.liveGraph->replaceChart(windowPages_.chart);
  windowPages_.chart->setAccessibleName(QStringLiteral("Live Graph"));
  for (auto* readout :
       {windowPages_.liveGraph->force1Readout, windowPages_.liveGraph->force2Readout,
        windowPages_.liveGraph->currentActivityReadout,
        windowPages_.liveGraph->averageActivityReadout}) {
    readout->setAnnounceInterval(env_.readoutAnnounceMs);
  }
  windowPages_.specSetting = new SpecSettingPage;
  windowPages_.gamingKeys = new GamingKeysPage;
  windowPages_.activityMonitor = new ActivityMonitorPage;
  windowPages_.activityHistory = new ActivityHistoryPage;
  windowPages_.breathingGuide = new BreathingGuidePage;
  pages_ = {{
      {windowPages_.connection, QStringLiteral("Connection")},
      {windowPages_.settings, QStringLiteral("Settings")},
      {windowPages_.liveGraph, QStringLiteral("Live Graph")},
      {windowPages_.specSetting, QStringLiteral("Spec. Setting")},
      {windowPages_.gamingKeys, QStringLiteral("Gaming Key Activation")},
      {windowPages_.activityMonitor, QStringLiteral("Activity Monitor")},
      {windowPages_.breathingGuide, QStringLiteral("Breathing Guide")},
      {windowPages_.activityHistory, QStringLiteral("Activity History")},
  }};
  for (const auto& [page, caption] : pages_) windowPages_.tabs->addTab(page, caption);
  windowPages_.tabs->setCurrentWidget(windowPages_.connection);
  showPage(windowPages_.liveGraph, false);
  showPage(windowPages_.specSetting, false);

  busyLabel_ = new QLabel(this);
  busyLabel_->setObjectName(QStringLiteral("LabelBusy"));
  statusBar()->addWidget(busyLabel_, 1);
  statusBar()->setSizeGripEnabled(true);

  // The design's client area; Qt scales logical pixels to the screen's density.
  resize(1050, 780);
  setMinimumSize(760, 560);
}

void MainWindow::showActivityBlock(const ActivityBlock& block) { activity_->showBlock(block); }

void MainWindow::showPage(QWidget* page, bool visible) {
  // A hidden page leaves the tab widget: a tab only set invisible stays in the accessibility
  // tree, where a screen reader would still land on it. It stays a child of the window.
  const int index = windowPages_.tabs->indexOf(page);
  if (!visible) {
    if (index >= 0) windowPages_.tabs->removeTab(index);
    return;
  }
  if (index >= 0) return;
  int at = 0;
  for (const auto& [other, caption] : pages_) {
    if (other == page) {
      windowPages_.tabs->insertTab(at, page, caption);
      return;
    }
    if (windowPages_.tabs->indexOf(other) >= 0) ++at;
  }
}

bool MainWindow::pageShown(QWidget* page) const { return windowPages_.tabs->indexOf(page) >= 0; }

void MainWindow::setBusy(const QString& phase) {
  busyLabel_->setText(phase);
  if (phase.isEmpty()) {
    QApplication::restoreOverrideCursor();
  } else if (!QApplication::overrideCursor()) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  }
}

void MainWindow::reportError(const QString& text) {
  if (env_.reportError) {
    env_.reportError(text);
  } else {
    showErrorMessage(text);
  }
}

QString MainWindow::settingsPath() const { return env_.homeDir + QStringLiteral("/Darev.ini"); }

QString MainWindow::comPortIniPath() const { return env_.homeDir + QStringLiteral("/ComPort.ini"); }

void MainWindow::receiveSerialBytes() { core_->receive(); }

bool MainWindow::startUp() {
  stdoutBinding_.attach(std::cout, core_->console());
  windowPages_.tabs->setCurrentWidget(windowPages_.connection);
  showPage(windowPages_.specSetting, false);

  settings_ = std::make_unique<SettingsFile>(settingsPath());
  windowSettings_->read(*settings_);
  // From here a close writes the settings back, even when the rest of the start-up fails.
  settingsRead_ = true;
  scratch3_->apply(windowSettings_->scratch3());
  // After the read sequence, whose first line is the settings file's path.
  if (!env_.volume || !env_.volume->available()) {
    core_->console().append(
        QStringLiteral("No audio output found: the mute alarm cannot lower the volume"));
  }
  if (!env_.keyInjectorLine.isEmpty()) core_->console().append(env_.keyInjectorLine);
  // Recordings a killed run left in the current folder, where recordings go.
  for (const QString& line : edf::repairRecordingsIn(QStringLiteral("."))) {
    core_->console().append(line);
  }
  stdoutBinding_.attach(std::cout, core_->console());

  dongleNotFound_ = std::make_unique<DongleNotFoundExit>(
      *settings_, core_->console(), [this] { showDongleNotFoundDialog(); },
      [this](int code) {
        runEnded_ = true;
        core_->keys().releaseAll();
        finishFiles();
        guarded([this] { activity_->finish(); });
        dongleWatchdogTimer.stop();
        if (env_.endProcess) env_.endProcess(code);
      });
  portSelection_ =
      std::make_unique<PortSelection>(env_.catalog, *env_.port, core_->console(), core_->commands(),
                                      *dongleNotFound_, comPortIniPath(), env_.forcedPort);
  watchdog_ =
      std::make_unique<DongleWatchdog>(dongleWatchdogTimer, core_->link(), *dongleNotFound_);
  watchdog_->setKeeper(&link_->keeper());

  windowPages_.connection->autoComPortCheck->setChecked(autoComPort());
  windowPages_.connection->setComPortButton->setVisible(!autoComPort());
  if (!portSelection_->selectAtStart(autoComPort()) || runEnded_) return false;

  core_->scanList().clear();
  scanGrid_->setRowCount(1);
  showPage(windowPages_.connection, true);
  showPage(windowPages_.liveGraph, false);
  return true;
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shownOnce_) {
    shownOnce_ = true;
    firstShown();
  }
}

void MainWindow::firstShown() {
  windowPages_.chart->createPoints();
  guarded([this] {
    windowPages_.chart->setAxisMaximum(livegraph::Axis::Left,
                                       windowPages_.settings->forceAxisMaxSpin->value());
    windowPages_.chart->setAxisMinimum(livegraph::Axis::Left,
                                       windowPages_.settings->forceAxisMinSpin->value());
  });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  connection_->abandon();
  core_->linkDisconnected();
  scratch_->client().closeQuietly();
  // A recording and a capture end with the window: every line on the disk, the files closed.
  finishFiles();
  // A key left held would stay held for the whole desktop.
  core_->keys().releaseAll();
  // A session still open is stopped, so that its line is in the history; an exercise too.
  guarded([this] { activity_->finish(); });
  guarded([this] { guide_->finish(); });
  // A refused write-back is reported; the window closes all the same.
  guarded([this] { shutDown(); });
  event->accept();
}

void MainWindow::shutDown() {
  if (!settingsRead_ || runEnded_) return;
  settingsRead_ = false;
  belts_->chooseFirst();
  dongleWatchdogTimer.stop();
  windowSettings_->write(*settings_);
}

}  // namespace kelvaro
