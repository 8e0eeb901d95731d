#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "link/FurtherBelts.h"
#include "measure/Recorder.h"
#include "monitor/MeasurementConsumer.h"

namespace kelvaro {

class ConnectionProcedure;
class ScanView;
class KeySink;
class MonitorCore;
class SettingsFile;
class TickSource;
struct WindowPages;

// The belts beside the first on the same dongle. "Add Belt" on "Live Graph" brings "Connection"
// back, its scan list filling again while the belts stream on; "Connect Selected" there adds the
// selected belt (up to four in all), and once it streams "Connection" is hidden again. "Belt"
// chooses the belt the read-outs show, "Belt name" is its short name (by default the last four
// digits of its DeviceId; remembered by DeviceId in Darev.ini), "Disconnect" ends the chosen belt
// ("Disconnect" of the first belt ends them all, as "Disconnect All" does: the window's pages are
// the first belt's). Each further belt has a colour and its force-1 line on the live chart, its
// own key (its force-1 threshold and key), and a CSV file of its own beside the first belt's
// while "Start Log" records one. A lost link of a further belt is mended by its own guard.
class BeltsPanel final : public QObject, public MeasurementConsumer {
  Q_OBJECT

 public:
  // The further belts' keys by default, one each: "Arrow Left", "Arrow Up", "Arrow Down".
  static constexpr std::array<std::uint8_t, 3> kDefaultKeys{37, 38, 40};
  static constexpr int kMaxNameLength = 12;
  static inline const QString kSection = QStringLiteral("Belts");

  struct Parts {
    MonitorCore& core;
    ConnectionProcedure& connection;
    ScanView& scanView;  // the scan list's grid
    const WindowPages& pages;
    const TickSource& ticks;
    std::function<void(QWidget* page, bool shown)> showPage;
    std::function<QString()> selectedDeviceId;  // the scan list's chosen row
    std::function<void(const QString& text)> warn;
    std::function<void(const std::function<void()>& action)> guarded;
    std::function<SettingsFile*()> settings;  // Darev.ini, once it is known
    std::function<KeySink*()> keySink;        // where the key activation's keys go
    // Whether an attempt to connect again can get anywhere (the dongle there, its port open).
    std::function<bool()> linkUsable;
  };

  // Registers with the core, which must outlive it.
  explicit BeltsPanel(Parts parts, QObject* parent = nullptr);
  ~BeltsPanel() override;

  // "Add Belt".
  void addBeltClicked();
  // "Connect Selected" (the scan list's chosen belt) or "Connect Last" (deviceId) while a belt
  // is being added.
  void addClicked(const QString& deviceId = QString());
  // "Disconnect": the chosen belt.
  void disconnectClicked();
  // "Disconnect All".
  void disconnectAllClicked();
  // The key activation switched on or off, or the first belt's force threshold changed: the
  // further belts follow (a threshold stored for a belt in Darev.ini stays its own).
  void keysChanged(bool active, int forceThreshold);
  // "Gaming Key Activation"'s force threshold and key while a further belt is chosen: that
  // belt's, remembered in Darev.ini by its DeviceId.
  void chosenKeysChanged(int forceThreshold, int forceKeyField);
  // The first belt chosen again (before the settings are written back: the page's fields are
  // the first belt's settings).
  void chooseFirst();
  // Whether "Connection" is shown to add a belt.
  bool adding() const { return adding_; }

  FurtherBelts& further() { return further_; }
  // Further belt `belt`'s graph took a sample at `slot`: its chart line is repainted there.
  void beltPlotted(int belt, int slot);
  // A name as typed, made fit for sensor names, labels and file names: trimmed, at most
  // kMaxNameLength characters of letters, digits, '-' and '_'; empty when nothing is left.
  static QString cleanName(const QString& typed);

  void linkChanged(const LinkChange& change) override;
  void beltNamed(int belt, const QString& name) override;

 private:
  void streaming(const QString& deviceId, int handle);
  void refused(const QString& deviceId, const QString& message);
  void disconnected(const QString& deviceId, int handle, std::uint16_t reason);
  bool reconnect(int belt, const QString& deviceId);
  void endAdding();
  // Every further belt disconnected and detached.
  void endFurtherBelts();
  void detach(int belt);
  void refreshList();
  void refreshChart();
  void chosen(int row);
  void nameEdited();
  QString storedName(const QString& deviceId) const;
  void setUpKeys(int belt);
  // The page's force threshold and key show `belt`'s; `previous` was shown before.
  void showKeysOf(int previous, int belt);
  bool keyThresholdStored(int belt) const;
  void startLog();
  void endLog();
  void startFurtherLog(int belt);
  void armTimer();

  Parts parts_;
  FurtherBelts further_;
  QTimer timer_;
  bool adding_ = false;
  // The first belt's force threshold, key field and key selection, while a further belt's
  // stand in the page's fields.
  struct KeyFields {
    int threshold = 0;
    int key = 0;
    int selection = -1;
  };
  KeyFields firstKeys_;
  bool showingFurtherKeys_ = false;
  // Each further belt's line on the chart (-1: none).
  std::array<int, FurtherBelts::kMaxBelts> lineOf_{-1, -1, -1, -1};
  // The belt of each row of the belt list.
  std::array<int, FurtherBelts::kMaxBelts> rowBelt_{};
  int rows_ = 0;
  // Where a further belt's recorder says how it goes: its failures go to the error report.
  class FurtherRecorderView;
  std::array<std::unique_ptr<RecorderView>, FurtherBelts::kMaxBelts> recorderViews_;
};

}  // namespace kelvaro
