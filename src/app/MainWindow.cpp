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
#include <iostream>

#include "app/AboutDialog.h"
#include "app/ActivityHistoryPage.h"
#include "app/ActivityMonitorPage.h"
#include "app/ComSetupDialog.h"
#include "app/ConnectionPage.h"
#include "widgets/ConsoleView.h"
#include "app/DongleNotFoundDialog.h"
#include "app/ErrorReportingApplication.h"
#include "app/GamingKeysPage.h"
#include "app/LiveGraphPage.h"
#include "widgets/NumberEdit.h"
#include "widgets/ReadoutLabel.h"
#include "app/SettingsPage.h"
#include "app/SpecSettingPage.h"
#include "base/Errors.h"
#include "base/SettingsFile.h"
#include "link/DongleNotFoundExit.h"
#include "link/DongleWatchdog.h"
#include "link/PortSelection.h"
#include "link/SerialReceiver.h"
#include "measure/CalibrationFields.h"
#include "widgets/LiveChart.h"
#include "measure/MeasurementDecoder.h"
#include "platform/MasterVolume.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

// The scan list as the dispatcher fills it: the grid on "Connection", EditMac and the two
// connect buttons. The grid's heading row is its header, so grid row r is table row r - 1.
class TForm1::ScanGrid final : public ScanView {
 public:
  explicit ScanGrid(TForm1& form) : form_(form) {}

  void setDeviceIdText(const QString& deviceId) override {
    form_.TabSheetSpecSetting->EditMac->setText(deviceId);
  }
  void setRowCount(int rows) override {
    form_.TabSheetConnect->StringGridScan->setRowCount(std::max(0, rows - 1));
  }
  void setRow(int row, const QString& deviceId, const QString& signal) override {
    auto* grid = form_.TabSheetConnect->StringGridScan;
    setCell(grid, row - 1, 2, deviceId);
    setCell(grid, row - 1, 3, signal);
  }
  void setConnectButtonsEnabled(bool enabled) override {
    form_.TabSheetConnect->ButtonConnect->setEnabled(enabled);
    form_.TabSheetConnect->ButtonLastIDt2->setEnabled(enabled);
  }

 private:
  static void setCell(QTableWidget* grid, int row, int column, const QString& text) {
    if (row < 0 || row >= grid->rowCount()) return;
    if (auto* item = grid->item(row, column)) {
      item->setText(text);
    } else {
      grid->setItem(row, column, new QTableWidgetItem(text));
    }
  }

  TForm1& form_;
};

// The road of one measurement, from the decoded notification to the last consumer, in the one
// order every consumer relies on.
class TForm1::MeasurementRoad final : public MeasurementSink {
 public:
  explicit MeasurementRoad(TForm1& form) : form_(form) {
    displayTimer_.setSingleShot(true);
    QObject::connect(&displayTimer_, &QTimer::timeout, &form, [this] { showDisplays(); });
  }

  void handleMeasurementNotification(const BgapiPacket& packet) override {
    const NotificationSwitches switches{form_.TabSheetSpecSetting->CheckBoxLog->isChecked(),
                                        form_.TabSheetGraf->CheckBoxFreeze->isChecked()};
    const auto out = kelvaro::handleMeasurementNotification(packet.payload.data(), packet.length,
                                                            form_.measurement_, form_.calibration_,
                                                            switches, form_.console_);
    if (!out.decoded) return;
    keepForDisplay(out);

    const auto& m = form_.measurement_;
    auto& chart = *form_.Chart1;
    if (out.gated) {
      chart.plotSample(m.Force1Grams, m.Force2Grams, m.AccelX, m.AccelY, m.AccelZ);
      chart.advanceSlot();
    }
    chart.wrapSlot();
  }

 private:
  // The read-outs show the latest values at most once per display frame: at the wire's full
  // rate, updating every label for every notification would cost more than all the rest.
  void keepForDisplay(const NotificationOutcome& out) {
    if (out.batteryShown) {
      pending_.battery = true;
      pending_.batteryReading = out.batteryReading;
      pending_.batteryGauge = out.batteryGauge;
    }
    if (out.temperatureShown) {
      pending_.temperature = true;
      pending_.temperatureReading = out.temperatureReading;
    }
    pending_.forceBar = out.forceBarPosition;
    pending_.forces = true;

    const int frame = form_.env_.displayFrameMs;
    const auto elapsed = static_cast<int>(form_.env_.ticks->tick() - lastShown_);
    if (frame <= 0 || elapsed >= frame) {
      showDisplays();
    } else if (!displayTimer_.isActive()) {
      displayTimer_.start(frame - elapsed);
    }
  }

  void showDisplays() {
    auto& specPage = *form_.TabSheetSpecSetting;
    auto& graph = *form_.TabSheetGraf;
    if (pending_.battery) {
      setTextIfChanged(specPage.EditNap, batteryReadout(pending_.batteryReading));
      graph.Gauge1->setValue(pending_.batteryGauge);
    }
    if (pending_.temperature) {
      setTextIfChanged(specPage.EditTemp, temperatureReadout(pending_.temperatureReading));
    }
    if (pending_.forces) {
      form_.TabSheet1->ProgressBar1->setValue(pending_.forceBar);
      graph.LabelF1->setReading(forceReadout(form_.measurement_.Force1Grams));
      graph.LabelF2->setReading(forceReadout(form_.measurement_.Force2Grams));
    }
    pending_.battery = pending_.temperature = pending_.forces = false;
    lastShown_ = form_.env_.ticks->tick();
  }

  // An unchanged reading is not set again: each new text is an event for assistive tools.
  static void setTextIfChanged(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) edit->setText(text);
  }

  struct Pending {
    bool battery = false;
    std::int32_t batteryReading = 0;
    int batteryGauge = 0;
    bool temperature = false;
    std::int32_t temperatureReading = 0;
    bool forces = false;
    int forceBar = 0;
  };

  TForm1& form_;
  Pending pending_;
  QTimer displayTimer_;
  std::uint32_t lastShown_ = 0;
};

// What the connection procedure changes in the window: buttons, the texts of the last and the
// current belt, the pages, the busy indicator, the refusals and the live graph.
class TForm1::ConnectionPanel final : public ConnectionView {
 public:
  // Long enough to be read; the busy text it covers comes back afterwards.
  static constexpr int kRefusalShownMs = 4000;

  explicit ConnectionPanel(TForm1& form) : form_(form) {}

  void setButtonEnabled(Button button, bool enabled) override {
    auto& c = *form_.TabSheetConnect;
    auto& s = *form_.TabSheetSpecSetting;
    switch (button) {
      case Button::ButtonConnect:
        c.ButtonConnect->setEnabled(enabled);
        break;
      case Button::ButtonLastIDt2:
        c.ButtonLastIDt2->setEnabled(enabled);
        break;
      case Button::ButtonReset2:
        c.ButtonReset2->setEnabled(enabled);
        break;
      case Button::ButtonReset:
        s.ButtonReset->setEnabled(enabled);
        break;
      case Button::ButtonAutoConn:
        s.ButtonAutoConn->setEnabled(enabled);
        break;
    }
  }
  QString selectedDeviceId() const override {
    auto* grid = form_.TabSheetConnect->StringGridScan;
    const int row = grid->currentRow() >= 0 ? grid->currentRow() : 0;
    const auto* item = grid->item(row, 2);
    return item ? item->text() : QString();
  }
  QString EditLastIDText() const override { return form_.TabSheetConnect->EditLastID->text(); }
  void setEditLastIDText(const QString& text) override {
    form_.TabSheetConnect->EditLastID->setText(text);
  }
  QString EditMacText() const override { return form_.TabSheetSpecSetting->EditMac->text(); }
  void setEditMacText(const QString& text) override {
    form_.TabSheetSpecSetting->EditMac->setText(text);
  }
  void showLiveGraphPage() override {
    form_.showPage(form_.TabSheetSetting, true);
    form_.showPage(form_.TabSheetGraf, true);
    form_.PageControl1->setCurrentWidget(form_.TabSheetGraf);
    form_.showPage(form_.TabSheetConnect, false);
  }
  void showConnectionPage() override {
    form_.showPage(form_.TabSheetGraf, false);
    form_.showPage(form_.TabSheetConnect, true);
    form_.PageControl1->setCurrentWidget(form_.TabSheetConnect);
  }
  void showWarning(const QString& text) override {
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Yes, &form_);
    box.setObjectName(QStringLiteral("ConnectWarning"));
    box.exec();
  }
  void setBusy(const QString& activity) override { form_.setBusy(activity); }
  void resetGraphSlot() override { form_.Chart1->resetSlot(); }
  void ClearLiveGraph() override { form_.Chart1->clearLiveGraph(); }
  // A temporary message hides LabelBusy, a normal status-bar widget, while it is shown, so the
  // refusal is not covered by the busy text.
  void showRefusal(const QString& text) override {
    form_.statusBar()->showMessage(text, kRefusalShownMs);
  }

 private:
  TForm1& form_;
};

TForm1::TForm1(MonitorEnvironment environment, QWidget* parent)
    : QMainWindow(parent),
      env_(std::move(environment)),
      stopwatch_(*env_.ticks),
      waiter_(stopwatch_, *env_.pump),
      commands_(*env_.port, console_, link_) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("KELVARO monitor "));
  QFont font(QStringLiteral("Arial"));
  font.setBold(true);
  setFont(font);

  buildPages();
  scanGrid_ = std::make_unique<ScanGrid>(*this);
  road_ = std::make_unique<MeasurementRoad>(*this);
  dispatcher_ = std::make_unique<Dispatcher>(link_, scanList_, console_, *scanGrid_, *road_);
  framer_ = std::make_unique<RxFramer>(*env_.ticks, console_, *dispatcher_);
  connectionPanel_ = std::make_unique<ConnectionPanel>(*this);
  connection_ = std::make_unique<ConnectionProcedure>(
      commands_, link_, scanList_, *scanGrid_, *connectionPanel_, *env_.port,
      [this] {
        if (!portSelection_) return false;
        const auto& config = portSelection_->config();
        return env_.port->open(config.port, config.settings);
      },
      waiter_, stopwatch_, console_, measurement_.NotificationCount);
  consoleView_ = std::make_unique<ui::ConsoleView>(console_, TabSheetSpecSetting->Memo3);
  aboutBox_ = new ui::TAboutBox(this);

  Timer2.setInterval(2000);
  Timer3.setInterval(1000);
  wireControls();
  // The dongle watchdog runs from the moment the window's parts exist, for the whole run.
  Timer3.start();
}

TForm1::~TForm1() {
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
  setCentralWidget(PageControl1);

  TabSheetConnect = new ui::ConnectionPage;
  TabSheetSetting = new ui::SettingsPage;
  TabSheetGraf = new ui::LiveGraphPage;
  Chart1 = new LiveChart;
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
  const std::pair<QWidget*, const char*> pages[] = {
      {TabSheetConnect, "Connection"},      {TabSheetSetting, "Settings"},
      {TabSheetGraf, "Live Graph"},         {TabSheetSpecSetting, "Spec. Setting"},
      {TabSheet1, "Gaming Key Activation"}, {TabSheet5, "Activity Monitor"},
      {AktHist, "Activity History"},
  };
  for (const auto& [page, caption] : pages) PageControl1->addTab(page, QString::fromUtf8(caption));
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
    for (int i = 0; i < scanList_.ScanCount(); ++i) {
      if (DeviceId(scanList_.entry(i)) == wanted) {
        poll->deleteLater();
        poll->stop();
        guarded([this] { connection_->ButtonLastIDt2Click(); });
        return;
      }
    }
    if (static_cast<int>(env_.ticks->tick() - started) > patienceMs) {
      poll->stop();
      poll->deleteLater();
      console_.append(QStringLiteral("Connect at start: ") + wanted + QStringLiteral(" not heard"));
    }
  });
  poll->start();
}

void TForm1::showPage(QWidget* page, bool visible) {
  const int index = PageControl1->indexOf(page);
  if (index >= 0) PageControl1->setTabVisible(index, visible);
}

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
    console_.append(QStringLiteral("Port closed: ") + reason);
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
  connect(specPage.Button5, &QPushButton::clicked, this, [this] { console_.clear(); });

  // About.
  connect(connection.Button11, &QPushButton::clicked, this, [this] { aboutBox_->exec(); });
  connect(specPage.Button1, &QPushButton::clicked, this, [this] { aboutBox_->exec(); });

  // Calibration fields and zero buttons.
  auto zero = [this](ForceChannel channel, QSpinBox* field) {
    field->setValue(zeroForceChannel(channel, measurement_, calibration_));
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
          [this](int value) { calibration_.Ofs1 = value; });
  connect(specPage.SpinEditOfs2, &QSpinBox::valueChanged, this,
          [this](int value) { calibration_.Ofs2 = value; });
  connect(specPage.NEditK1, &QDoubleSpinBox::editingFinished, this,
          [this] { calibration_.K1 = slopeFromEntry(TabSheetSpecSetting->NEditK1->value()); });
  connect(specPage.NEditK2, &QDoubleSpinBox::editingFinished, this,
          [this] { calibration_.K2 = slopeFromEntry(TabSheetSpecSetting->NEditK2->value()); });

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

void TForm1::ComPort1RxCharEvent() { ComPort1RxChar(*env_.port, *framer_); }

void TForm1::showDongleNotFoundDialog() {
  if (env_.showDongleNotFound) {
    env_.showDongleNotFound();
  } else if (portSelection_) {
    ui::showDongleNotFoundDialog(this, *env_.catalog, *portSelection_);
  }
}

bool TForm1::FormCreate() {
  stdoutBinding_.attach(std::cout, console_);
  PageControl1->setCurrentWidget(TabSheetConnect);
  showPage(TabSheetSpecSetting, false);

  settings_ = std::make_unique<SettingsFile>(settingsPath());
  readSettings();
  // From here a close writes the settings back, even when the rest of the start-up fails.
  settingsRead_ = true;
  // After the read sequence, whose first line is the settings file's path.
  if (!env_.volume || !env_.volume->available()) {
    console_.append(
        QStringLiteral("No audio output found: the mute alarm cannot lower the volume"));
  }
  stdoutBinding_.attach(std::cout, console_);

  dongleNotFound_ = std::make_unique<DongleNotFoundExit>(
      *settings_, console_, [this] { showDongleNotFoundDialog(); },
      [this](int code) {
        runEnded_ = true;
        Timer3.stop();
        if (env_.endProcess) env_.endProcess(code);
      });
  portSelection_ =
      std::make_unique<PortSelection>(env_.catalog, *env_.port, console_, commands_,
                                      *dongleNotFound_, comPortIniPath(), env_.forcedPort);
  watchdog_ = std::make_unique<DongleWatchdog>(Timer3, link_, *dongleNotFound_);

  TabSheetConnect->CheckBoxComAuto->setChecked(autoComPort_);
  TabSheetConnect->ButtonSetCom->setVisible(!autoComPort_);
  if (!portSelection_->selectAtStart(autoComPort_) || runEnded_) return false;

  scanList_.clear();
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
