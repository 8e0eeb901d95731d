#include "app/panels/BeltsPanel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>

#include "app/WindowPages.h"
#include "app/pages/ConnectionPage.h"
#include "app/pages/LiveGraphPage.h"
#include "base/SettingsFile.h"
#include "link/ConnectionProcedure.h"
#include "monitor/MonitorCore.h"
#include "widgets/BeltColour.h"
#include "widgets/LiveChart.h"

namespace kelvaro {

static_assert(FurtherBelts::kMaxBelts == MonitorCore::kMaxBelts,
              "the connections and the core's roads count the same belts");

BeltsPanel::BeltsPanel(Parts parts, QObject* parent)
    : QObject(parent),
      parts_(std::move(parts)),
      further_(parts_.core.commands(), parts_.ticks, parts_.core.console()) {
  MonitorCore& core = parts_.core;
  core.dispatcher().setFurtherBelts(&further_);
  core.setBeltNames([this](const QString& deviceId) { return storedName(deviceId); });
  core.setBeltReconnect(
      [this](int belt, const QString& deviceId) { return reconnect(belt, deviceId); });
  further_.setFirstBusy([this] { return parts_.connection.busy(); });
  further_.onStreaming = [this](const QString& id, int handle) { streaming(id, handle); };
  further_.onRefused = [this](const QString& id, const QString& text) { refused(id, text); };
  further_.onDisconnected = [this](const QString& id, int handle, std::uint16_t reason) {
    disconnected(id, handle, reason);
  };
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] {
    parts_.guarded([this] { further_.tick(); });
    armTimer();
  });

  LiveGraphPage& page = *parts_.pages.liveGraph;
  connect(page.addBeltButton, &QPushButton::clicked, this,
          [this] { parts_.guarded([this] { addBeltClicked(); }); });
  connect(page.disconnectAllButton, &QPushButton::clicked, this,
          [this] { parts_.guarded([this] { disconnectAllClicked(); }); });
  connect(page.beltCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          [this](int row) { chosen(row); });
  page.beltNameEdit->setMaxLength(kMaxNameLength);
  connect(page.beltNameEdit, &QLineEdit::editingFinished, this, [this] { nameEdited(); });
  // After the recorder panel's own handlers, which place the first belt's request.
  connect(page.startLogButton, &QPushButton::clicked, this, [this] { startLog(); });
  connect(page.endLogButton, &QPushButton::clicked, this, [this] { endLog(); });
  connect(parts_.pages.tabs, &QTabWidget::currentChanged, this, [this] {
    // Another page chosen while no belt is being connected: the addition is called off.
    if (adding_ && parts_.pages.tabs->currentWidget() != parts_.pages.connection &&
        !further_.busy()) {
      endAdding();
    }
  });
  core.addConsumer(*this);
  refreshList();
}

BeltsPanel::~BeltsPanel() {
  parts_.core.removeConsumer(*this);
  parts_.core.setBeltReconnect(nullptr);
  parts_.core.setBeltNames(nullptr);
  parts_.core.dispatcher().setFurtherBelts(nullptr);
  for (int belt = 1; belt < MonitorCore::kMaxBelts; ++belt) {
    if (!parts_.core.hasBelt(belt)) continue;
    parts_.core.belt(belt).keys.releaseAll();
    parts_.core.belt(belt).recorder.setView(nullptr);
    parts_.core.belt(belt).activity.setAlarm(nullptr);
  }
}

QString BeltsPanel::cleanName(const QString& typed) {
  QString name;
  for (const QChar c : typed.trimmed()) {
    if (name.size() >= kMaxNameLength) break;
    if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')) {
      name += c;
    } else if (c.isSpace()) {
      name += QLatin1Char('_');
    }
  }
  return name;
}

void BeltsPanel::addBeltClicked() {
  MonitorCore& core = parts_.core;
  if (core.linkGuard().state() == LinkGuard::State::Idle) {
    parts_.warn(FurtherBelts::kFirstBeltFirstText);
    return;
  }
  if (core.beltCount() >= MonitorCore::kMaxBelts) {
    parts_.warn(FurtherBelts::kMaxBeltsText);
    return;
  }
  ConnectionPage& connection = *parts_.pages.connection;
  adding_ = true;
  // The scan list fills again from nothing; the belts in a connection do not advertise.
  core.scanList().clear();
  parts_.scanView.setRowCount(1);
  connection.connectionResetButton->setEnabled(false);
  parts_.showPage(parts_.pages.connection, true);
  parts_.pages.tabs->setCurrentWidget(parts_.pages.connection);
  core.commands().sendDiscover();
}

void BeltsPanel::addClicked(const QString& deviceId) {
  if (!adding_) return;
  if (deviceId.isEmpty() && parts_.core.scanList().ScanCount() < 1) return;
  if (further_.add(deviceId.isEmpty() ? parts_.selectedDeviceId() : deviceId)) armTimer();
}

void BeltsPanel::endAdding() {
  adding_ = false;
  parts_.pages.connection->connectionResetButton->setEnabled(true);
  parts_.showPage(parts_.pages.connection, false);
  parts_.pages.tabs->setCurrentWidget(parts_.pages.liveGraph);
}

void BeltsPanel::streaming(const QString& deviceId, int handle) {
  MonitorCore& core = parts_.core;
  // A belt back after a lost link keeps its slot, keys and recording.
  const int before = core.beltCount();
  const int belt = core.attachBelt(deviceId, static_cast<std::uint8_t>(handle));
  const bool known = core.beltCount() == before;
  if (belt < 0) {
    further_.disconnect(handle);
    refused(deviceId, FurtherBelts::kMaxBeltsText);
    return;
  }
  if (!known) {
    setUpKeys(belt);
    if (core.recorder().state() != RecorderState::Idle &&
        core.belt(belt).recorder.state() == RecorderState::Idle) {
      startFurtherLog(belt);
    }
  }
  refreshList();
  refreshChart();
  if (adding_) endAdding();
}

void BeltsPanel::refused(const QString& /*deviceId*/, const QString& message) {
  // Said once the dongle's packet that brought it has been handled: a message box waits in an
  // event loop of its own, which must not read the port under the packet being dispatched.
  QTimer::singleShot(0, this, [this, message] { parts_.warn(message); });
}

void BeltsPanel::disconnected(const QString& /*deviceId*/, int handle, std::uint16_t reason) {
  const int belt = parts_.core.beltOnHandle(static_cast<std::uint8_t>(handle));
  if (belt > 0) parts_.core.beltDisconnectedEvent(belt, reason);
}

bool BeltsPanel::reconnect(int /*belt*/, const QString& deviceId) {
  if (parts_.linkUsable && !parts_.linkUsable()) return false;
  bool made = false;
  parts_.guarded([&] {
    // A belt gone silent may still hold its connection: it is ended first.
    if (const auto handle = further_.handleOf(deviceId)) further_.disconnect(*handle);
    made = further_.reconnect(deviceId, parts_.core.waiter());
  });
  return made;
}

void BeltsPanel::disconnectClicked() {
  const int belt = parts_.core.shownBelt();
  if (belt == 0) {
    disconnectAllClicked();
    return;
  }
  further_.disconnect(parts_.core.belt(belt).handle);
  detach(belt);
}

void BeltsPanel::disconnectAllClicked() {
  endFurtherBelts();
  parts_.connection.disconnectClicked();
}

void BeltsPanel::endFurtherBelts() {
  for (int belt = MonitorCore::kMaxBelts - 1; belt > 0; --belt) {
    if (parts_.core.hasBelt(belt)) detach(belt);
  }
  further_.disconnectAll();
}

void BeltsPanel::detach(int belt) {
  const int shown = parts_.core.shownBelt();
  parts_.core.belt(belt).recorder.setView(nullptr);
  parts_.core.detachBelt(belt);
  showKeysOf(shown, parts_.core.shownBelt());
  recorderViews_[static_cast<std::size_t>(belt)].reset();
  refreshList();
  refreshChart();
}

void BeltsPanel::linkChanged(const LinkChange& change) {
  if (change.belt != 0) return;
  if (change.event == LinkEvent::Connected) {
    further_.setFirstBeltConnected(true, change.deviceId);
  } else if (change.event == LinkEvent::Disconnected) {
    // The further belts go with the first: its pages are the window's.
    parts_.guarded([this] { endFurtherBelts(); });
    further_.setFirstBeltConnected(false);
    adding_ = false;
  }
}

void BeltsPanel::beltNamed(int /*belt*/, const QString& /*name*/) {
  // Told on the road (a belt connected); the list and the legend follow once it has returned.
  QTimer::singleShot(0, this, [this] {
    refreshList();
    refreshChart();
  });
}

void BeltsPanel::refreshList() {
  MonitorCore& core = parts_.core;
  LiveGraphPage& page = *parts_.pages.liveGraph;
  QComboBox& combo = *page.beltCombo;
  // Refilled without choosing: the shown belt stays.
  const QSignalBlocker quiet(&combo);
  combo.clear();
  rows_ = 0;
  for (int belt = 0; belt < MonitorCore::kMaxBelts; ++belt) {
    if (!core.hasBelt(belt)) continue;
    const BeltRoad& road = core.belt(belt);
    QPixmap swatch(12, 12);
    swatch.fill(beltColour(belt));
    const QString text = road.name.isEmpty() ? QStringLiteral("First belt") : road.name;
    combo.addItem(QIcon(swatch), text);
    rowBelt_[static_cast<std::size_t>(rows_++)] = belt;
  }
  int row = 0;
  for (int r = 0; r < rows_; ++r) {
    if (rowBelt_[static_cast<std::size_t>(r)] == core.shownBelt()) row = r;
  }
  combo.setCurrentIndex(row);
  combo.setEnabled(rows_ > 1);
  page.beltNameEdit->setText(core.belt(core.shownBelt()).name);
  page.beltNameEdit->setEnabled(!core.belt(core.shownBelt()).deviceId.isEmpty());
  page.disconnectAllButton->setEnabled(rows_ > 1);
}

void BeltsPanel::refreshChart() {
  MonitorCore& core = parts_.core;
  std::vector<LiveChart::BeltLine> lines;
  lineOf_.fill(-1);
  for (int belt = 1; belt < MonitorCore::kMaxBelts; ++belt) {
    if (!core.hasBelt(belt)) continue;
    lineOf_[static_cast<std::size_t>(belt)] = static_cast<int>(lines.size());
    lines.push_back({&core.belt(belt).graph, beltColour(belt), core.belt(belt).name});
  }
  LiveChart& chart = *parts_.pages.chart;
  chart.setFirstBeltName(lines.empty() ? QString() : core.belt(0).name);
  chart.setBeltLines(std::move(lines));
}

void BeltsPanel::beltPlotted(int belt, int slot) {
  const int line =
      belt > 0 && belt < MonitorCore::kMaxBelts ? lineOf_[static_cast<std::size_t>(belt)] : -1;
  if (line >= 0) parts_.pages.chart->beltPlotted(line, slot);
}

void BeltsPanel::chosen(int row) {
  if (row < 0 || row >= rows_) return;
  MonitorCore& core = parts_.core;
  const int previous = core.shownBelt();
  core.setShownBelt(rowBelt_[static_cast<std::size_t>(row)]);
  parts_.pages.liveGraph->beltNameEdit->setText(core.belt(core.shownBelt()).name);
  showKeysOf(previous, core.shownBelt());
}

void BeltsPanel::chooseFirst() {
  const int previous = parts_.core.shownBelt();
  parts_.core.setShownBelt(0);
  showKeysOf(previous, 0);
  refreshList();
}

void BeltsPanel::nameEdited() {
  MonitorCore& core = parts_.core;
  const int belt = core.shownBelt();
  BeltRoad& road = core.belt(belt);
  QLineEdit& edit = *parts_.pages.liveGraph->beltNameEdit;
  const QString name = cleanName(edit.text());
  if (name.isEmpty() || road.deviceId.isEmpty()) {
    edit.setText(road.name);
    return;
  }
  edit.setText(name);
  if (name == road.name) return;
  core.setBeltName(belt, name);
  if (SettingsFile* file = parts_.settings()) {
    parts_.guarded([&] { file->writeString(kSection, road.deviceId, name); });
  }
  refreshList();
  refreshChart();
}

QString BeltsPanel::storedName(const QString& deviceId) const {
  const SettingsFile* file = parts_.settings();
  return file ? cleanName(file->readString(kSection, deviceId, QString())) : QString();
}

void BeltsPanel::armTimer() {
  if (const auto due = further_.msUntilDue()) {
    timer_.start(realWaitMs(parts_.ticks, std::max<std::uint32_t>(*due, 1)));
  } else {
    timer_.stop();
  }
}

}  // namespace kelvaro
