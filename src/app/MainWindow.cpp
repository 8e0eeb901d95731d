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

#include "app/AboutDialog.h"
#include "app/ActivityHistoryPage.h"
#include "app/ActivityMonitorPage.h"
#include "app/ActivityPanel.h"
#include "app/BreathingPanel.h"
#include "app/ChartOutputPanel.h"
#include "app/ComSetupDialog.h"
#include "app/ConnectionPage.h"
#include "app/DongleNotFoundDialog.h"
#include "app/ErrorReportingApplication.h"
#include "app/GamingKeysPage.h"
#include "app/HistoryPanel.h"
#include "app/KeysPanel.h"
#include "app/LinkPanel.h"
#include "app/LiveGraphPage.h"
#include "app/RecorderPanel.h"
#include "app/ScratchPanel.h"
#include "app/SettingsPage.h"
#include "app/SpecSettingPage.h"
#include "app/UsersPanel.h"
#include "app/WindowViews.h"
#include "base/Errors.h"
#include "base/SettingsFile.h"
#include "base/WallClock.h"
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

TForm1::TForm1(MonitorEnvironment environment, QWidget* parent)
    : QMainWindow(parent), env_(std::move(environment)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("KELVARO monitor "));
  QFont font(QStringLiteral("Arial"));
  font.setBold(true);
  setFont(font);

  // The views reach the pages only when the core calls them, after the pages exist.
  scanGrid_ = std::make_unique<WindowScanGrid>(*this);
  readouts_ = std::make_unique<WindowReadouts>(*this, *env_.ticks, env_.displayFrameMs);
  core_ =
      std::make_unique<MonitorCore>(*env_.ticks, *env_.pump, *env_.port, *scanGrid_, *readouts_);
  buildPages();
  connectionPanel_ = std::make_unique<WindowConnectionPanel>(*this);
  connection_ = std::make_unique<ConnectionProcedure>(
      core_->commands(), core_->link(), core_->scanList(), *scanGrid_, *connectionPanel_,
      *env_.port,
      [this] {
        if (!portSelection_) return false;
        const auto& config = portSelection_->config();
        return env_.port->open(config.port, config.settings);
      },
      core_->waiter(), core_->stopwatch(), core_->console());
  link_ = new LinkPanel(*this, *core_, *connection_, this);
  consoleView_ = std::make_unique<ui::ConsoleView>(console(), TabSheetSpecSetting->Memo3);
  users_ = new ui::UsersPanel(*TabSheetConnect, this);
  if (env_.keys) {
    env_.keys->setConsoleSink([this](const QString& line) { console().append(line); });
  }
  keySink_ = std::make_unique<KeyInjectorSink>(env_.keys ? *env_.keys : noKeys_);
  core_->keys().setSink(keySink_.get());
  keys_ = new KeysPanel(
      *TabSheet1, *TabSheetSpecSetting, *TabSheetGraf->Shape1, *PageControl1, console(),
      [this](const KeysPanel::Values& values) { keysChanged(values); }, this);
  scratch_ = std::make_unique<ScratchPanel>(*TabSheetSpecSetting, console(), *env_.ticks,
                                            *env_.pump, env_.scratchPort);
  recorderPanel_ = new RecorderPanel(
      *TabSheetGraf, core_->recorder(), [this](const QString& text) { reportError(text); }, this);
  history_ = new HistoryPanel(
      *AktHist, *users_, console(), env_.homeDir,
      [this](const QString& text) { reportError(text); }, this);
  chartOutput_ = new ChartOutputPanel(
      *TabSheetGraf, *TabSheetSpecSetting, *Chart1,
      [this](const QString& text) { reportError(text); }, this);
  activity_ = new ActivityPanel(
      {*core_, *TabSheet5, *TabSheetGraf, *TabSheetConnect, *users_, Timer2,
       env_.volume ? *env_.volume : noVolume_, env_.sound ? *env_.sound : silence_,
       env_.clock ? *env_.clock : systemClock_, env_.homeDir},
      this);
  breathing_ = new BreathingPanel(*core_, *TabSheetGraf, *TabSheet5, *LabelApneaBanner, this);
  // The Scratch link is the road's last consumer.
  core_->addConsumer(scratch_->client());
  aboutBox_ = new ui::TAboutBox(this);

  Timer2.setInterval(2000);
  Timer3.setInterval(1000);
  wireControls();
  // The dongle watchdog runs from the moment the window's parts exist, for the whole run.
  Timer3.start();
}

TForm1::~TForm1() {
  // The panels that reach into the core go before it.
  delete recorderPanel_;
  recorderPanel_ = nullptr;
  delete link_;
  link_ = nullptr;
  delete breathing_;
  breathing_ = nullptr;
  core_->recorder().finish();
  core_->removeConsumer(scratch_->client());
  scratch_.reset();
  core_->keys().releaseAll();
  core_->keys().setSink(nullptr);
  if (env_.keys) env_.keys->setConsoleSink(nullptr);
  Timer3.stop();
  Timer2.stop();
  stdoutBinding_.detach();
  if (env_.port) env_.port->close();
}

void TForm1::buildPages() {
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setDocumentMode(false);
  PageControl1->tabBar()->setExpanding(false);
  LabelApneaBanner = BreathingPanel::makeBanner();
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(LabelApneaBanner);
  column->addWidget(PageControl1, 1);
  setCentralWidget(central);

  TabSheetConnect = new ui::ConnectionPage;
  TabSheetSetting = new ui::SettingsPage;
  TabSheetGraf = new ui::LiveGraphPage;
  Chart1 = new LiveChart(core_->graph());
  TabSheetGraf->replaceChart(Chart1);
  Chart1->setAccessibleName(QStringLiteral("Live Graph"));
  for (auto* readout : {TabSheetGraf->LabelF1, TabSheetGraf->LabelF2, TabSheetGraf->LabelActF10,
                        TabSheetGraf->LabelActivityFAvg}) {
    readout->setAnnounceInterval(env_.readoutAnnounceMs);
  }
  TabSheetSpecSetting = new ui::SpecSettingPage;
  TabSheet1 = new ui::GamingKeysPage;
  TabSheet5 = new ui::ActivityMonitorPage;
  AktHist = new ui::ActivityHistoryPage;
  pages_ = {{
      {TabSheetConnect, QStringLiteral("Connection")},
      {TabSheetSetting, QStringLiteral("Settings")},
      {TabSheetGraf, QStringLiteral("Live Graph")},
      {TabSheetSpecSetting, QStringLiteral("Spec. Setting")},
      {TabSheet1, QStringLiteral("Gaming Key Activation")},
      {TabSheet5, QStringLiteral("Activity Monitor")},
      {AktHist, QStringLiteral("Activity History")},
  }};
  for (const auto& [page, caption] : pages_) PageControl1->addTab(page, caption);
  PageControl1->setCurrentWidget(TabSheetConnect);
  showPage(TabSheetGraf, false);
  showPage(TabSheetSpecSetting, false);

  busyLabel_ = new QLabel(this);
  busyLabel_->setObjectName(QStringLiteral("LabelBusy"));
  statusBar()->addWidget(busyLabel_, 1);
  statusBar()->setSizeGripEnabled(true);

  // The design's client area; Qt scales logical pixels to the screen's density.
  resize(1050, 780);
  setMinimumSize(760, 560);
}

void TForm1::connectWhenHeard(const QString& deviceId, int patienceMs) {
  if (deviceId.compare(QLatin1String("last"), Qt::CaseInsensitive) != 0) {
    TabSheetConnect->EditLastID->setText(deviceId.toUpper());
  }
  auto* poll = new QTimer(this);
  poll->setInterval(100);
  const std::uint32_t started = env_.ticks->tick();
  connect(poll, &QTimer::timeout, this, [this, poll, started, patienceMs] {
    const QString wanted = TabSheetConnect->EditLastID->text();
    for (int i = 0; i < scanList().ScanCount(); ++i) {
      if (DeviceId(scanList().entry(i)) == wanted) {
        poll->deleteLater();
        poll->stop();
        guarded([this] { connection_->ButtonLastIDt2Click(); });
        return;
      }
    }
    if (static_cast<int>(env_.ticks->tick() - started) > patienceMs) {
      poll->stop();
      poll->deleteLater();
      console().append(QStringLiteral("Connect at start: ") + wanted +
                       QStringLiteral(" not heard"));
    }
  });
  poll->start();
}

void TForm1::showActivityBlock(const ActivityBlock& block) { activity_->showBlock(block); }

void TForm1::keysChanged(const KeysPanel::Values& values) {
  KeyActivationValues working;
  working.forceThreshold = values.forceThreshold;
  working.forceKey = keyCodeFromField(values.forceKey);
  AxisKeyValues* axes[] = {&working.x, &working.y, &working.z};
  for (std::size_t i = 0; i < 3; ++i) {
    *axes[i] = {values.lowLimits[i], values.highLimits[i], keyCodeFromField(values.lowKeys[i]),
                keyCodeFromField(values.highKeys[i])};
  }
  // A held key whose code changes is released; switching off releases every held key.
  core_->keys().aktualizace(working);
  core_->keys().setActive(values.active);
}

void TForm1::showKeyIndicator(KeyIndicator indicator) {
  keys_->showForceAbove(indicator == KeyIndicator::kGreen);
}

void TForm1::showPage(QWidget* page, bool visible) {
  // A hidden page leaves the tab widget: a tab only set invisible stays in the accessibility
  // tree, where a screen reader would still land on it. It stays a child of the window.
  const int index = PageControl1->indexOf(page);
  if (!visible) {
    if (index >= 0) PageControl1->removeTab(index);
    return;
  }
  if (index >= 0) return;
  int at = 0;
  for (const auto& [other, caption] : pages_) {
    if (other == page) {
      PageControl1->insertTab(at, page, caption);
      return;
    }
    if (PageControl1->indexOf(other) >= 0) ++at;
  }
}

bool TForm1::pageShown(QWidget* page) const { return PageControl1->indexOf(page) >= 0; }

void TForm1::setBusy(const QString& phase) {
  busyLabel_->setText(phase);
  if (phase.isEmpty()) {
    QApplication::restoreOverrideCursor();
  } else if (!QApplication::overrideCursor()) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  }
}

void TForm1::reportError(const QString& text) {
  if (env_.reportError) {
    env_.reportError(text);
  } else {
    showErrorMessage(text);
  }
}

QString TForm1::settingsPath() const { return env_.homeDir + QStringLiteral("/Darev.ini"); }

QString TForm1::comPortIniPath() const { return env_.homeDir + QStringLiteral("/ComPort.ini"); }

void TForm1::wireControls() {
  auto& specPage = *TabSheetSpecSetting;
  auto& connection = *TabSheetConnect;
  auto& graph = *TabSheetGraf;

  connect(env_.port, &SerialTransport::readyRead, this,
          [this] { guarded([this] { ComPort1RxCharEvent(); }); });
  connect(env_.port, &SerialTransport::connectionLost, this, [this](const QString& reason) {
    console().append(QStringLiteral("Port closed: ") + reason);
  });
  connect(&Timer3, &QTimer::timeout, this, [this] {
    if (watchdog_) watchdog_->Timer3Timer();
  });

  // Connecting, disconnecting and resetting; the low-level buttons send one command each.
  auto* procedure = connection_.get();
  const std::pair<QPushButton*, void (ConnectionProcedure::*)()> actions[] = {
      {connection.ButtonConnect, &ConnectionProcedure::ButtonConnectClick},
      {connection.ButtonLastIDt2, &ConnectionProcedure::ButtonLastIDt2Click},
      {connection.ButtonReset2, &ConnectionProcedure::ButtonReset2Click},
      {specPage.ButtonAutoConn, &ConnectionProcedure::ButtonAutoConnClick},
      {specPage.ButtonReset, &ConnectionProcedure::ButtonResetClick},
      {graph.Button20, &ConnectionProcedure::Button20Click},
      {specPage.ButtonBLEDis, &ConnectionProcedure::ButtonBLEDisClick},
      {specPage.Button8, &ConnectionProcedure::Button8Click},
      {specPage.Button10, &ConnectionProcedure::Button10Click},
      {specPage.Button12, &ConnectionProcedure::Button12Click},
      {specPage.Button9, &ConnectionProcedure::Button9Click},
      {specPage.Button7, &ConnectionProcedure::Button7Click},
  };
  for (const auto& [button, handler] : actions) {
    connect(button, &QPushButton::clicked, this,
            [this, procedure, h = handler] { guarded([&] { (procedure->*h)(); }); });
  }
  connect(specPage.Button5, &QPushButton::clicked, this, [this] { console().clear(); });

  // Activity sessions.
  connect(TabSheet5->ButtonStartAct, &QPushButton::clicked, this,
          [this] { guarded([this] { activity_->startSession(); }); });
  connect(TabSheet5->ButtonStopAct, &QPushButton::clicked, this,
          [this] { guarded([this] { activity_->stopSession(); }); });

  // The switches the road of one measurement reads.
  connect(specPage.CheckBoxLog, &QCheckBox::toggled, this,
          [this](bool on) { core_->switches().log = on; });
  connect(graph.CheckBoxFreeze, &QCheckBox::toggled, this,
          [this](bool on) { core_->switches().freeze = on; });

  // About.
  connect(connection.Button11, &QPushButton::clicked, this, [this] { aboutBox_->exec(); });
  connect(specPage.Button1, &QPushButton::clicked, this, [this] { aboutBox_->exec(); });

  // Calibration fields and zero buttons.
  auto zero = [this](ForceChannel channel, QSpinBox* field) {
    field->setValue(zeroForceChannel(channel, measurement(), calibration()));
  };
  connect(specPage.ButtonZero1, &QPushButton::clicked, this,
          [=] { zero(ForceChannel::One, TabSheetSpecSetting->SpinEditOfs1); });
  connect(graph.Button19, &QPushButton::clicked, this,
          [=] { zero(ForceChannel::One, TabSheetSpecSetting->SpinEditOfs1); });
  connect(specPage.ButtonZero2, &QPushButton::clicked, this,
          [=] { zero(ForceChannel::Two, TabSheetSpecSetting->SpinEditOfs2); });
  connect(graph.Button4, &QPushButton::clicked, this,
          [=] { zero(ForceChannel::Two, TabSheetSpecSetting->SpinEditOfs2); });
  connect(specPage.SpinEditOfs1, &QSpinBox::valueChanged, this,
          [this](int value) { calibration().Ofs1 = value; });
  connect(specPage.SpinEditOfs2, &QSpinBox::valueChanged, this,
          [this](int value) { calibration().Ofs2 = value; });
  connect(specPage.NEditK1, &QDoubleSpinBox::editingFinished, this,
          [this] { calibration().K1 = slopeFromEntry(TabSheetSpecSetting->NEditK1->value()); });
  connect(specPage.NEditK2, &QDoubleSpinBox::editingFinished, this,
          [this] { calibration().K2 = slopeFromEntry(TabSheetSpecSetting->NEditK2->value()); });

  // The dongle's port.
  connect(connection.CheckBoxComAuto, &QCheckBox::toggled, this, [this](bool on) {
    autoComPort_ = on;
    TabSheetConnect->ButtonSetCom->setVisible(!on);
  });
  auto editPort = [this] {
    guarded([this] {
      if (portSelection_) ui::EditPortSettings(this, *env_.catalog, *portSelection_);
    });
  };
  connect(connection.ButtonSetCom, &QPushButton::clicked, this, editPort);
  connect(specPage.Button3, &QPushButton::clicked, this, editPort);

  wireLiveGraph();

  // Alarm level read-out.
  connect(TabSheet5->TrackBarAct, &QSlider::valueChanged, this, [this](int value) {
    TabSheet5->LabelAlarmLevel->setText(QStringLiteral("Alarm Level = %1").arg(value));
  });
}

void TForm1::ComPort1RxCharEvent() { core_->receive(); }

void TForm1::showDongleNotFoundDialog() {
  if (env_.showDongleNotFound) {
    env_.showDongleNotFound();
  } else if (portSelection_) {
    ui::showDongleNotFoundDialog(this, *env_.catalog, *portSelection_);
  }
}

bool TForm1::FormCreate() {
  stdoutBinding_.attach(std::cout, console());
  PageControl1->setCurrentWidget(TabSheetConnect);
  showPage(TabSheetSpecSetting, false);

  settings_ = std::make_unique<SettingsFile>(settingsPath());
  readSettings();
  // From here a close writes the settings back, even when the rest of the start-up fails.
  settingsRead_ = true;
  // After the read sequence, whose first line is the settings file's path.
  if (!env_.volume || !env_.volume->available()) {
    console().append(
        QStringLiteral("No audio output found: the mute alarm cannot lower the volume"));
  }
  if (!env_.keyInjectorLine.isEmpty()) console().append(env_.keyInjectorLine);
  stdoutBinding_.attach(std::cout, console());

  dongleNotFound_ = std::make_unique<DongleNotFoundExit>(
      *settings_, console(), [this] { showDongleNotFoundDialog(); },
      [this](int code) {
        runEnded_ = true;
        core_->keys().releaseAll();
        core_->recorder().finish();
        guarded([this] { activity_->finish(); });
        Timer3.stop();
        if (env_.endProcess) env_.endProcess(code);
      });
  portSelection_ =
      std::make_unique<PortSelection>(env_.catalog, *env_.port, console(), commands(),
                                      *dongleNotFound_, comPortIniPath(), env_.forcedPort);
  watchdog_ = std::make_unique<DongleWatchdog>(Timer3, link(), *dongleNotFound_);
  watchdog_->setKeeper(&link_->keeper());

  TabSheetConnect->CheckBoxComAuto->setChecked(autoComPort_);
  TabSheetConnect->ButtonSetCom->setVisible(!autoComPort_);
  if (!portSelection_->selectAtStart(autoComPort_) || runEnded_) return false;

  scanList().clear();
  scanGrid_->setRowCount(1);
  showPage(TabSheetConnect, true);
  showPage(TabSheetGraf, false);
  return true;
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shownOnce_) {
    shownOnce_ = true;
    FormShow();
  }
}

void TForm1::FormShow() {
  Chart1->createPoints();
  guarded([this] {
    Chart1->setAxisMaximum(livegraph::Axis::Left, TabSheetSetting->SpinEditMax->value());
    Chart1->setAxisMinimum(livegraph::Axis::Left, TabSheetSetting->SpinEditMin->value());
  });
}

void TForm1::closeEvent(QCloseEvent* event) {
  connection_->abandon();
  core_->linkDisconnected();
  scratch_->client().closeQuietly();
  // A recording ends with the window: every row on the disk, the file closed.
  core_->recorder().finish();
  // A key left held would stay held for the whole desktop.
  core_->keys().releaseAll();
  // A session still open is stopped, so that its line is in the history.
  guarded([this] { activity_->finish(); });
  // A refused write-back is reported; the window closes all the same.
  guarded([this] { FormClose(); });
  event->accept();
}

void TForm1::FormClose() {
  if (!settingsRead_ || runEnded_) return;
  settingsRead_ = false;
  Timer3.stop();
  writeSettings();
}

}  // namespace kelvaro
