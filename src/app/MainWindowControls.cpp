// The window's controls wired to what they do: the clicks, boxes and fields of every page, and
// the connection at start to a belt named on the command line.
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
#include "app/pages/ConnectionPage.h"
#include "app/pages/GamingKeysPage.h"
#include "app/pages/LiveGraphPage.h"
#include "app/pages/SettingsPage.h"
#include "app/pages/SpecSettingPage.h"
#include "app/panels/ActivityPanel.h"
#include "app/panels/BeltsPanel.h"
#include "app/panels/BreathingPanel.h"
#include "app/panels/ChartOutputPanel.h"
#include "app/panels/HistoryPanel.h"
#include "app/panels/KeysPanel.h"
#include "app/panels/LinkPanel.h"
#include "app/panels/RecorderPanel.h"
#include "app/panels/ScratchPanel.h"
#include "app/panels/UsersPanel.h"
#include "app/shell/ErrorReportingApplication.h"
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

void MainWindow::wireControls() {
  auto& specPage = *windowPages_.specSetting;
  auto& connection = *windowPages_.connection;
  auto& graph = *windowPages_.liveGraph;

  connect(env_.port, &SerialTransport::readyRead, this,
          [this] { guarded([this] { receiveSerialBytes(); }); });
  connect(env_.port, &SerialTransport::connectionLost, this, [this](const QString& reason) {
    core_->console().append(QStringLiteral("Port closed: ") + reason);
  });
  connect(&dongleWatchdogTimer, &QTimer::timeout, this, [this] {
    if (watchdog_) watchdog_->tick();
  });

  // Connecting, disconnecting and resetting; the low-level buttons send one command each.
  // While a belt is being added, "Connect Selected" adds it beside the others; "Disconnect" is
  // the chosen belt's.
  // The first belt's connect waits while a further belt connects.
  auto* procedure = connection_.get();
  const std::pair<QPushButton*, void (ConnectionProcedure::*)()> connects[] = {
      {connection.connectSelectedButton, &ConnectionProcedure::connectSelectedClicked},
      {connection.connectLastButton, &ConnectionProcedure::connectLastClicked},
  };
  for (const auto& [button, handler] : connects) {
    connect(button, &QPushButton::clicked, this, [this, procedure, h = handler] {
      guarded([&] {
        if (belts_->adding()) {
          belts_->addClicked(h == &ConnectionProcedure::connectLastClicked ? lastBelt_->id()
                                                                           : QString());
        } else if (belts_->further().busy()) {
          connectionPanel_->showRefusal(FurtherBelts::kBusyText);
        } else {
          (procedure->*h)();
        }
      });
    });
  }
  connect(graph.disconnectButton, &QPushButton::clicked, this,
          [this] { guarded([this] { belts_->disconnectClicked(); }); });
  const std::pair<QPushButton*, void (ConnectionProcedure::*)()> actions[] = {
      {connection.connectionResetButton, &ConnectionProcedure::connectionResetClicked},
      {specPage.bleConnectButton, &ConnectionProcedure::bleConnectClicked},
      {specPage.bleResetButton, &ConnectionProcedure::bleResetClicked},
      {specPage.bleDisconnectButton, &ConnectionProcedure::bleDisconnectClicked},
      {specPage.connectDirectButton, &ConnectionProcedure::connectDirectClicked},
      {specPage.set1Button, &ConnectionProcedure::set1Clicked},
      {specPage.set2Button, &ConnectionProcedure::set2Clicked},
      {specPage.startDiscoveryButton, &ConnectionProcedure::startDiscoveryClicked},
      {specPage.stopDiscoveryButton, &ConnectionProcedure::stopDiscoveryClicked},
  };
  for (const auto& [button, handler] : actions) {
    connect(button, &QPushButton::clicked, this,
            [this, procedure, h = handler] { guarded([&] { (procedure->*h)(); }); });
  }
  connect(specPage.clearConsoleButton, &QPushButton::clicked, this,
          [this] { core_->console().clear(); });

  // Activity sessions.
  connect(windowPages_.activityMonitor->sessionStartButton, &QPushButton::clicked, this,
          [this] { guarded([this] { activity_->startSession(); }); });
  connect(windowPages_.activityMonitor->sessionStopButton, &QPushButton::clicked, this,
          [this] { guarded([this] { activity_->stopSession(); }); });

  // The switches the road of one measurement reads.
  connect(specPage.logCheck, &QCheckBox::toggled, this,
          [this](bool on) { core_->switches().log = on; });
  connect(graph.graphFreezeCheck, &QCheckBox::toggled, this,
          [this](bool on) { core_->switches().freeze = on; });

  // About.
  connect(connection.connectionAboutButton, &QPushButton::clicked, this,
          [this] { aboutBox_->exec(); });
  connect(specPage.aboutButton, &QPushButton::clicked, this, [this] { aboutBox_->exec(); });

  // Calibration fields and zero buttons.
  // "Live Graph" zeroes the belt its read-outs show; the fields are the first belt's.
  auto zero = [this](ForceChannel channel, QSpinBox* field, int belt) {
    const std::int32_t offset = core_->zeroForce(channel, belt);
    if (belt == 0) field->setValue(offset);
  };
  connect(specPage.zero1Button, &QPushButton::clicked, this,
          [=] { zero(ForceChannel::One, windowPages_.specSetting->offset1Spin, 0); });
  connect(graph.zeroForce1Button, &QPushButton::clicked, this, [=] {
    zero(ForceChannel::One, windowPages_.specSetting->offset1Spin, core_->shownBelt());
  });
  connect(specPage.zero2Button, &QPushButton::clicked, this,
          [=] { zero(ForceChannel::Two, windowPages_.specSetting->offset2Spin, 0); });
  connect(graph.zeroForce2Button, &QPushButton::clicked, this, [=] {
    zero(ForceChannel::Two, windowPages_.specSetting->offset2Spin, core_->shownBelt());
  });
  connect(specPage.offset1Spin, &QSpinBox::valueChanged, this,
          [this](int value) { core_->calibration().ofs1 = value; });
  connect(specPage.offset2Spin, &QSpinBox::valueChanged, this,
          [this](int value) { core_->calibration().ofs2 = value; });
  connect(specPage.slope1Edit, &QDoubleSpinBox::editingFinished, this, [this] {
    core_->calibration().k1 = slopeFromEntry(windowPages_.specSetting->slope1Edit->value());
  });
  connect(specPage.slope2Edit, &QDoubleSpinBox::editingFinished, this, [this] {
    core_->calibration().k2 = slopeFromEntry(windowPages_.specSetting->slope2Edit->value());
  });

  // The dongle's port.
  connect(connection.autoComPortCheck, &QCheckBox::toggled, this, [this](bool on) {
    windowSettings_->setAutoComPort(on);
    windowPages_.connection->setComPortButton->setVisible(!on);
  });
  auto editPort = [this] {
    guarded([this] {
      if (portSelection_) EditPortSettings(this, *env_.catalog, *portSelection_);
    });
  };
  connect(connection.setComPortButton, &QPushButton::clicked, this, editPort);
  connect(specPage.comSetupButton, &QPushButton::clicked, this, editPort);

  wireLiveGraph();

  // Alarm level read-out.
  connect(windowPages_.activityMonitor->alarmLevelSlider, &QSlider::valueChanged, this,
          [this](int value) {
            windowPages_.activityMonitor->alarmLevelLabel->setText(
                QStringLiteral("Alarm Level = %1").arg(value));
          });
}

void MainWindow::connectWhenHeard(const QString& deviceId, int patienceMs) {
  if (deviceId.compare(QLatin1String("last"), Qt::CaseInsensitive) != 0) {
    lastBelt_->setId(deviceId.toUpper());
  }
  auto* poll = new QTimer(this);
  poll->setInterval(100);
  const std::uint32_t started = env_.ticks->tick();
  connect(poll, &QTimer::timeout, this, [this, poll, started, patienceMs] {
    const QString wanted = lastBelt_->id();
    for (int i = 0; i < core_->scanList().ScanCount(); ++i) {
      if (DeviceId(core_->scanList().entry(i)) == wanted) {
        poll->deleteLater();
        poll->stop();
        guarded([this] { connection_->connectLastClicked(); });
        return;
      }
    }
    if (static_cast<int>(env_.ticks->tick() - started) > patienceMs) {
      poll->stop();
      poll->deleteLater();
      core_->console().append(QStringLiteral("Connect at start: ") + wanted +
                              QStringLiteral(" not heard"));
    }
  });
  poll->start();
}

void MainWindow::keysChanged(const KeysPanel::Values& values) {
  KeyActivationValues working;
  working.forceThreshold = values.forceThreshold;
  working.forceKey = keyCodeFromField(values.forceKey);
  // While a further belt is chosen, the page's force threshold and key are that belt's.
  if (belts_ && core_->shownBelt() != 0) {
    belts_->chosenKeysChanged(values.forceThreshold, values.forceKey);
    working.forceThreshold = core_->keys().values().forceThreshold;
    working.forceKey = core_->keys().values().forceKey;
  }
  AxisKeyValues* axes[] = {&working.x, &working.y, &working.z};
  for (std::size_t i = 0; i < 3; ++i) {
    *axes[i] = {values.lowLimits[i], values.highLimits[i], keyCodeFromField(values.lowKeys[i]),
                keyCodeFromField(values.highKeys[i])};
  }
  // A held key whose code changes is released; switching off releases every held key.
  core_->keys().applyValues(working);
  core_->keys().setActive(values.active);
  if (belts_) belts_->keysChanged(values.active, working.forceThreshold);
}

void MainWindow::showKeyIndicator(KeyIndicator indicator) {
  keys_->showForceAbove(indicator == KeyIndicator::kGreen);
}

bool MainWindow::recordAtFirstSample(const QString& path) { return recorderPanel_->recordTo(path); }

void MainWindow::showDongleNotFoundDialog() {
  if (env_.showDongleNotFound) {
    env_.showDongleNotFound();
  } else if (portSelection_) {
    kelvaro::showDongleNotFoundDialog(this, *env_.catalog, *portSelection_);
  }
}

void MainWindow::buildBelts() {
  belts_ = new BeltsPanel(
      {*core_, *connection_, *scanGrid_, windowPages_, *env_.ticks,
       [this](QWidget* page, bool shown) { showPage(page, shown); },
       [this] { return connectionPanel_->selectedDeviceId(); },
       [this](const QString& text) { connectionPanel_->showWarning(text); },
       [this](const std::function<void()>& action) { guarded(action); },
       [this] { return settings_.get(); }, [this]() -> KeySink* { return keySink_.get(); },
       [this] { return env_.port->isOpen() && !(link_ && link_->keeper().gone()); }},
      this);
  readouts_->setBeltPlotted([this](int belt, int slot) { belts_->beltPlotted(belt, slot); });
}

}  // namespace kelvaro
