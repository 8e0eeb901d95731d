#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace kelvaro {

class CommandSender;
class ConsoleLog;
class ScanList;
class ScanView;
class SerialTransport;
class Waiter;
class tTimer;
struct LinkState;

// What the connection procedure changes in the window and reads from it. The window implements
// it; tests record the calls.
class ConnectionView {
 public:
  // The buttons whose enabled state the procedure sets.
  enum class Button {
    ButtonConnect,   // "Connect Selected"
    ButtonLastIDt2,  // "Connect Last"
    ButtonReset2,    // "Connection Reset"
    ButtonReset,     // "BLE Reset "
    ButtonAutoConn,  // "BLE Connect"
  };

  virtual ~ConnectionView() = default;

  virtual void setButtonEnabled(Button button, bool enabled) = 0;
  // Column 2 ("Device ID") of StringGridScan's current row; the first device row when no row is
  // current. Asked only while the grid has device rows.
  virtual QString selectedDeviceId() const = 0;
  virtual QString EditLastIDText() const = 0;
  virtual void setEditLastIDText(const QString& text) = 0;
  virtual QString EditMacText() const = 0;
  virtual void setEditMacText(const QString& text) = 0;
  // Makes "Settings" and "Live Graph" visible, "Live Graph" the active page, and hides
  // "Connection".
  virtual void showLiveGraphPage() = 0;
  // Hides "Live Graph", shows "Connection" and makes it the active page; "Settings" keeps its
  // visibility.
  virtual void showConnectionPage() = 0;
  // A modal warning with a single "Yes" button; returns when the user has closed it.
  virtual void showWarning(const QString& text) = 0;
  // What is going on while a connect or a reset waits (the window stays responsive meanwhile);
  // an empty text when it is over.
  virtual void setBusy(const QString& activity) = 0;
  // GraphSlot := 0, the live graph's write position.
  virtual void resetGraphSlot() = 0;
  virtual void ClearLiveGraph() = 0;
};

// Connects to one belt and switches its notifications on (Pripoj), and the user actions around
// it: connect to the selected or the last device, disconnect, reset the dongle.
//
// The waits pump the event loop, so clicks are handled inside them. While a connect or a reset
// runs, the handlers of this class ignore further clicks (a second procedure would clear the
// flags the first one is polling, or close the port under it); the low-level single-command
// buttons stay available. A failing serial write ends the action with the buttons it disabled
// enabled again and propagates kelvaro::Error to the window's error report.
class ConnectionProcedure {
 public:
  static constexpr std::uint16_t kPollMs = 10;
  static constexpr int kMaxPolls = 300;
  static constexpr std::uint32_t kSettleMs = 1200;
  static constexpr std::uint32_t kResetRestartMs = 5000;
  static constexpr std::uint32_t kReopenDelayMs = 1000;
  static inline const QString kConnectFailedText = QStringLiteral("k danemu id se nleze pripojit!");

  // reopenPort opens the dongle's port again with the name and settings it had; it returns false
  // when the port does not open (then the transport's errorString() says why). notificationCount
  // is MeasurementState::NotificationCount, which "Disconnect" zeroes. Everything passed in must
  // outlive this object.
  ConnectionProcedure(CommandSender& commands, LinkState& link, ScanList& scanList,
                      ScanView& scanView, ConnectionView& view, SerialTransport& port,
                      std::function<bool()> reopenPort, Waiter& waiter, const tTimer& stopwatch,
                      ConsoleLog& console, std::uint32_t& notificationCount);

  // The four phases for the device whose DeviceId is given; true when all four succeeded. False
  // at once while another procedure runs.
  bool Pripoj(const QString& deviceId);

  // "Connect Selected", "Connect Last", "BLE Connect".
  void ButtonConnectClick();
  void ButtonLastIDt2Click();
  void ButtonAutoConnClick();
  // "Connection Reset": the dongle reset, then an empty scan list and a new discovery.
  void ButtonReset2Click();
  // "BLE Reset ": system reset, then the port closed and opened again (about 6 s).
  void ButtonResetClick();
  // "Disconnect" on the "Live Graph" page.
  void Button20Click();

  // The low-level buttons: one command each, nothing else.
  void ButtonBLEDisClick();
  void Button8Click();
  void Button10Click();
  void Button12Click();
  void Button9Click();
  void Button7Click();

  // A connect or a reset is under way.
  bool busy() const { return busy_; }

  // The window is closing: a running procedure ends at its next poll or wait slice without
  // another command, message box or page change, and every later click is ignored. From here on
  // nothing of the view, the port or the console is touched, so the window may go once the
  // handler that was running has returned.
  void abandon() { abandoned_ = true; }
  bool abandoned() const { return abandoned_; }

 private:
  enum class Target { Selected, Last };

  bool canStart() const { return !busy_ && !abandoned_; }
  void beginBusy();
  void endBusy();
  void setBusyText(const QString& activity);

  void connectClick(Target target);
  bool connectPhases(const QString& deviceId);
  template <typename Send>
  bool phase(std::int32_t& flag, Send send, const QString& activity, const char* okLine,
             const char* errorLine, const char* timeoutLine);
  void resetDongle();
  void emptyScanList();
  // Waits ms milliseconds in short pumping waits, ending early only when abandoned.
  void pause(std::uint32_t ms);

  CommandSender& commands_;
  LinkState& link_;
  ScanList& scanList_;
  ScanView& scanView_;
  ConnectionView& view_;
  SerialTransport& port_;
  std::function<bool()> reopenPort_;
  Waiter& waiter_;
  const tTimer& stopwatch_;
  ConsoleLog& console_;
  std::uint32_t& notificationCount_;

  bool busy_ = false;
  bool abandoned_ = false;
};

}  // namespace kelvaro
