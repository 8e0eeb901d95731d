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

#include "app/MainWindow.h"
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

class TickSource;

// The scan list as the dispatcher fills it: the grid on "Connection", EditMac and the two
// connect buttons. The grid's heading row is its header, so grid row r is table row r - 1.
class WindowScanGrid final : public ScanView {
 public:
  explicit WindowScanGrid(MainWindow& form) : form_(form) {}

  void setDeviceIdText(const QString& deviceId) override {
    form_.pages().specSetting->macEdit->setText(deviceId);
  }
  void setRowCount(int rows) override {
    form_.pages().connection->scanGrid->setRowCount(std::max(0, rows - 1));
  }
  void setRow(int row, const QString& deviceId, const QString& signal) override {
    auto* grid = form_.pages().connection->scanGrid;
    setCell(grid, row - 1, 2, deviceId);
    setCell(grid, row - 1, 3, signal);
  }
  void setConnectButtonsEnabled(bool enabled) override {
    form_.pages().connection->connectSelectedButton->setEnabled(enabled);
    form_.pages().connection->connectLastButton->setEnabled(enabled);
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

  MainWindow& form_;
};

// What the road of one measurement shows: the read-outs, at most once per display frame (at the
// wire's full rate, updating every label for every notification would cost more than all the
// rest), and every plotted sample on the chart at once.
class WindowReadouts final : public MonitorDisplay {
 public:
  // frameMs 0: the read-outs follow every notification.
  WindowReadouts(MainWindow& form, const TickSource& ticks, int frameMs);

  void showReadings(const NotificationOutcome& out, const MeasurementState& state) override;
  void samplePlotted(int slot) override { form_.pages().chart->samplePlotted(slot); }
  void activityBlock(const ActivityBlock& block) override { form_.showActivityBlock(block); }
  void keyIndicator(KeyIndicator indicator) override { form_.showKeyIndicator(indicator); }
  void breathMarked(int slot) override { form_.pages().chart->samplePlotted(slot); }

  // What a read-out shows while no reading of the belt is current.
  static inline const QString kNotCurrentText = QStringLiteral("---");
  // The belt is out of reach, `why` in the words of the band that says so: the forces show
  // "---"; the force bar and the battery gauge are greyed, the gauge's value "---", both
  // described by `why` for assistive tools. Each comes back with its next reading.
  void showNotCurrent(const QString& why);

 private:
  void showDisplays();

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

  MainWindow& form_;
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

  explicit WindowConnectionPanel(MainWindow& form) : form_(form) {}

  void setButtonEnabled(Button button, bool enabled) override {
    auto& c = *form_.pages().connection;
    auto& s = *form_.pages().specSetting;
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
    auto* grid = form_.pages().connection->scanGrid;
    const int row = grid->currentRow() >= 0 ? grid->currentRow() : 0;
    const auto* item = grid->item(row, 2);
    return item ? item->text() : QString();
  }
  QString lastBeltIdText() const override { return form_.lastBelt().id(); }
  void setLastBeltIdText(const QString& text) override { form_.lastBelt().setId(text); }
  QString macText() const override { return form_.pages().specSetting->macEdit->text(); }
  void setMacText(const QString& text) override {
    form_.pages().specSetting->macEdit->setText(text);
  }
  void showLiveGraphPage() override {
    form_.showPage(form_.pages().settings, true);
    form_.showPage(form_.pages().liveGraph, true);
    form_.pages().tabs->setCurrentWidget(form_.pages().liveGraph);
    form_.showPage(form_.pages().connection, false);
  }
  void showConnectionPage() override {
    form_.showPage(form_.pages().liveGraph, false);
    form_.showPage(form_.pages().connection, true);
    form_.pages().tabs->setCurrentWidget(form_.pages().connection);
  }
  void showWarning(const QString& text) override {
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Yes, &form_);
    box.setObjectName(QStringLiteral("ConnectWarning"));
    box.exec();
  }
  void setBusy(const QString& activity) override { form_.setBusy(activity); }
  void connectionMade(const QString& deviceId) override;
  void connectionEnded() override;
  void resetGraphSlot() override { form_.pages().chart->resetSlot(); }
  void clearLiveGraph() override { form_.pages().chart->clearLiveGraph(); }
  // A temporary message hides LabelBusy, a normal status-bar widget, while it is shown, so the
  // refusal is not covered by the busy text.
  void showRefusal(const QString& text) override {
    form_.statusBar()->showMessage(text, kRefusalShownMs);
  }

 private:
  MainWindow& form_;
};

}  // namespace kelvaro
