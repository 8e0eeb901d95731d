#pragma once

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <functional>

#include "app/WindowPages.h"
#include "app/pages/ConnectionPage.h"
#include "app/pages/GamingKeysPage.h"
#include "app/pages/LiveGraphPage.h"
#include "app/pages/SettingsPage.h"
#include "app/pages/SpecSettingPage.h"
#include "app/panels/LastBelt.h"
#include "link/ConnectionProcedure.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorDisplay.h"
#include "widgets/LiveChart.h"

// The window's side of the core's and the connection procedure's interfaces: what they show and
// read goes to and comes from the window's controls.
namespace kelvaro {

class MonitorCore;
class TickSource;

// What the window's views need of the window; the window fills it in and outlives its views.
struct WindowViewParts {
  QWidget& window;  // the parent of the views' message boxes
  const WindowPages& pages;
  std::function<void(QWidget* page, bool shown)> showPage;
  std::function<void(const QString& phase)> setBusy;
  std::function<void(const ActivityBlock& block)> showActivityBlock;
  std::function<void(KeyIndicator indicator)> showKeyIndicator;
  // These exist only once the pages and the core do, after the views are made.
  std::function<LastBelt&()> lastBelt;
  std::function<MonitorCore&()> core;
  std::function<QStatusBar*()> statusBar;
};

// The scan list as the dispatcher fills it: the grid on "Connection", EditMac and the two
// connect buttons. The grid's heading row is its header, so grid row r is table row r - 1.
class WindowScanGrid final : public ScanView {
 public:
  explicit WindowScanGrid(const WindowViewParts& parts) : parts_(parts) {}

  void setDeviceIdText(const QString& deviceId) override {
    parts_.pages.specSetting->macEdit->setText(deviceId);
  }
  void setRowCount(int rows) override {
    parts_.pages.connection->scanGrid->setRowCount(std::max(0, rows - 1));
  }
  void setRow(int row, const QString& deviceId, const QString& signal) override {
    auto* grid = parts_.pages.connection->scanGrid;
    setCell(grid, row - 1, 2, deviceId);
    setCell(grid, row - 1, 3, signal);
  }
  void setConnectButtonsEnabled(bool enabled) override {
    parts_.pages.connection->connectSelectedButton->setEnabled(enabled);
    parts_.pages.connection->connectLastButton->setEnabled(enabled);
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

  const WindowViewParts& parts_;
};

// What the road of one measurement shows: the read-outs, at most once per display frame (at the
// wire's full rate, updating every label for every notification would cost more than all the
// rest), and every plotted sample on the chart at once.
class WindowReadouts final : public MonitorDisplay {
 public:
  // frameMs 0: the read-outs follow every notification.
  WindowReadouts(const WindowViewParts& parts, const TickSource& ticks, int frameMs);

  void showReadings(const NotificationOutcome& out, const MeasurementState& state) override;
  void samplePlotted(int slot) override { parts_.pages.chart->samplePlotted(slot); }
  void activityBlock(const ActivityBlock& block) override { parts_.showActivityBlock(block); }
  void keyIndicator(KeyIndicator indicator) override { parts_.showKeyIndicator(indicator); }
  void breathMarked(int slot) override { parts_.pages.chart->samplePlotted(slot); }
  void beltPlotted(int belt, int slot) override {
    if (beltPlotted_) beltPlotted_(belt, slot);
  }
  // Where a further belt's plotted samples go (its chart line).
  void setBeltPlotted(std::function<void(int belt, int slot)> plotted) {
    beltPlotted_ = std::move(plotted);
  }

  // What a read-out shows while no reading of the belt is current.
  static inline const QString kNotCurrentText = QStringLiteral("---");
  // The belt is out of reach, `why` in the words of the band that says so: the forces show
  // "---"; the force bar and the battery gauge are greyed, the gauge's value "---", both
  // described by `why` for assistive tools. Each comes back with its next reading.
  void showNotCurrent(const QString& why);

 private:
  void showDisplays();

  std::function<void(int, int)> beltPlotted_;

  struct Pending {
    bool battery = false;
    std::int32_t batteryReading = 0;
    int batteryGauge = 0;
    bool temperature = false;
    std::int32_t temperatureReading = 0;
    bool forces = false;
    int forceBar = 0;
    double force1Grams = 0.0;
    double force2Grams = 0.0;
  };

  const WindowViewParts& parts_;
  const TickSource& ticks_;
  const int frameMs_;
  Pending pending_;
  QTimer displayTimer_;
  std::uint32_t lastShown_ = 0;
  bool forceBarNotCurrent_ = false;
  bool batteryNotCurrent_ = false;
};

// What the connection procedure changes in the window: buttons, the texts of the last and the
// current belt, the pages, the busy indicator, the refusals and the live graph.
class WindowConnectionPanel final : public ConnectionView {
 public:
  // Long enough to be read; the busy text it covers comes back afterwards.
  static constexpr int kRefusalShownMs = 4000;

  explicit WindowConnectionPanel(const WindowViewParts& parts) : parts_(parts) {}

  void setButtonEnabled(Button button, bool enabled) override {
    auto& c = *parts_.pages.connection;
    auto& s = *parts_.pages.specSetting;
    switch (button) {
      case Button::ConnectSelected:
        c.connectSelectedButton->setEnabled(enabled);
        break;
      case Button::ConnectLast:
        c.connectLastButton->setEnabled(enabled);
        break;
      case Button::ConnectionReset:
        c.connectionResetButton->setEnabled(enabled);
        break;
      case Button::BleReset:
        s.bleResetButton->setEnabled(enabled);
        break;
      case Button::BleConnect:
        s.bleConnectButton->setEnabled(enabled);
        break;
    }
  }
  QString selectedDeviceId() const override {
    auto* grid = parts_.pages.connection->scanGrid;
    const int row = grid->currentRow() >= 0 ? grid->currentRow() : 0;
    const auto* item = grid->item(row, 2);
    return item ? item->text() : QString();
  }
  QString lastBeltIdText() const override { return parts_.lastBelt().id(); }
  void setLastBeltIdText(const QString& text) override { parts_.lastBelt().setId(text); }
  QString macText() const override { return parts_.pages.specSetting->macEdit->text(); }
  void setMacText(const QString& text) override {
    parts_.pages.specSetting->macEdit->setText(text);
  }
  void showLiveGraphPage() override {
    parts_.showPage(parts_.pages.settings, true);
    parts_.showPage(parts_.pages.liveGraph, true);
    parts_.pages.tabs->setCurrentWidget(parts_.pages.liveGraph);
    parts_.showPage(parts_.pages.connection, false);
  }
  void showConnectionPage() override {
    parts_.showPage(parts_.pages.liveGraph, false);
    parts_.showPage(parts_.pages.connection, true);
    parts_.pages.tabs->setCurrentWidget(parts_.pages.connection);
  }
  void showWarning(const QString& text) override {
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Yes, &parts_.window);
    box.setObjectName(QStringLiteral("ConnectWarning"));
    box.exec();
  }
  void setBusy(const QString& activity) override { parts_.setBusy(activity); }
  void connectionMade(const QString& deviceId) override;
  void connectionEnded() override;
  void resetGraphSlot() override { parts_.pages.chart->resetSlot(); }
  void clearLiveGraph() override { parts_.pages.chart->clearLiveGraph(); }
  // A temporary message hides LabelBusy, a normal status-bar widget, while it is shown, so the
  // refusal is not covered by the busy text.
  void showRefusal(const QString& text) override {
    parts_.statusBar()->showMessage(text, kRefusalShownMs);
  }

 private:
  const WindowViewParts& parts_;
};

}  // namespace kelvaro
