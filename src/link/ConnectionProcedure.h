#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "link/LinkState.h"

namespace kelvaro {

class CommandSender;
class ConsoleLog;
class ScanList;
class ScanView;
class SerialTransport;
class Waiter;
class Stopwatch;

// What the connection procedure changes in the window and reads from it. The window implements
// it; tests record the calls.
class ConnectionView {
 public:
  // The buttons whose enabled state the procedure sets.
  enum class Button {
    ConnectSelected,  // "Connect Selected"
    ConnectLast,      // "Connect Last"
    ConnectionReset,  // "Connection Reset"
    BleReset,         // "BLE Reset "
    BleConnect,       // "BLE Connect"
  };

  virtual ~ConnectionView() = default;

  virtual void setButtonEnabled(Button button, bool enabled) = 0;
  // Column 2 ("Device ID") of StringGridScan's current row; the first device row when no row is
  // current. Asked only while the grid has device rows.
  virtual QString selectedDeviceId() const = 0;
  virtual QString lastBeltIdText() const = 0;
  virtual void setLastBeltIdText(const QString& text) = 0;
  virtual QString macText() const = 0;
  virtual void setMacText(const QString& text) = 0;
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
  virtual void clearLiveGraph() = 0;
  // A click refused because a connect or a reset is under way, with the reason
  // (ConnectionProcedure::kBusyConnectingText or kBusyResettingText), shown for a few seconds so
  // that the click does not seem lost. A view without a place for such notes may leave it out.
  virtual void showRefusal(const QString& /*text*/) {}
  // A connect the user asked for has made the connection to deviceId.
  virtual void connectionMade(const QString& /*deviceId*/) {}
  // The user's Disconnect (or a connect called off) has ended the connection: the belt is gone,
  // and the next connection starts afresh (its tenth notification zeroes the forces again).
  virtual void connectionEnded() {}
};

// Connects to one belt and switches its notifications on (connectToBelt), and the user actions
// around it: connect to the selected or the last device, disconnect, reset the dongle.
//
// The waits pump the event loop, so clicks are handled inside them. While a connect or a reset
// runs, a further connect or reset is refused and the view is told why (a second procedure would
// clear the flags the first one is polling, or close the port under it). "Disconnect" and the
// low-level single-command buttons are never refused: a Disconnect during a connect's phases
// stops them at their next poll, without another command of the connect, and then disconnects
// (before the link is up, after ending the dongle's connect procedure), leaving both connect
// buttons usable; a Disconnect while a made connection settles, or during a reset, runs
// at once (the settling wait then ends at its next slice; the reset goes on). A failing serial
// write ends the action with the buttons it disabled enabled again and propagates kelvaro::Error
// to the window's error report.
class ConnectionProcedure {
 public:
  static constexpr std::uint16_t kPollMs = 10;
  static constexpr int kMaxPolls = 300;
  static constexpr std::uint32_t kSettleMs = 1200;
  static constexpr std::uint32_t kResetRestartMs = 5000;
  static constexpr std::uint32_t kReopenDelayMs = 1000;
  // Time for the dongle to answer the commands that end a failed attempt's leftovers.
  static constexpr std::uint32_t kLeftoverMs = 100;
  static inline const QString kConnectFailedText = QStringLiteral("k danemu id se nleze pripojit!");
  // The refusals of a connect or reset clicked while one runs.
  static inline const QString kBusyConnectingText =
      QStringLiteral("Busy connecting: wait until the connection is made");
  static inline const QString kBusyResettingText =
      QStringLiteral("Busy resetting the dongle: wait until it is back");

  // reopenPort opens the dongle's port again with the name and settings it had; it returns false
  // when the port does not open (then the transport's errorString() says why). Everything passed
  // in must outlive this object.
  ConnectionProcedure(CommandSender& commands, LinkState& link, ScanList& scanList,
                      ScanView& scanView, ConnectionView& view, SerialTransport& port,
                      std::function<bool()> reopenPort, Waiter& waiter, const Stopwatch& stopwatch,
                      ConsoleLog& console);

  // The four phases for the device whose DeviceId is given; true when all four succeeded. False
  // at once, without a refusal shown, while another procedure runs; false after a Disconnect
  // clicked meanwhile has stopped the phases and been carried out.
  bool connectToBelt(const QString& deviceId);

  // "Connect Selected", "Connect Last", "BLE Connect".
  void connectSelectedClicked();
  void connectLastClicked();
  // A connect to a belt the user chose another way (the recorded belt of a capture played): as
  // "Connect Last" does, without making it the last belt.
  void connectToClicked(const QString& deviceId);
  void bleConnectClicked();
  // "Connection Reset": the dongle reset, then an empty scan list and a new discovery.
  void connectionResetClicked();
  // "BLE Reset ": system reset, then the port closed and opened again (about 6 s).
  void bleResetClicked();
  // "Disconnect" on the "Live Graph" page; never refused (see the class comment for what it does
  // to a running connect).
  void disconnectClicked();
  // A lost link mended: the phases for deviceId again, after what the lost or failed connection
  // left in the dongle has been ended. No page changes, no warning; false at once while another
  // procedure runs.
  bool reconnect(const QString& deviceId);

  // The low-level buttons: one command each, nothing else.
  void bleDisconnectClicked();
  void connectDirectClicked();
  void set1Clicked();
  void set2Clicked();
  void startDiscoveryClicked();
  void stopDiscoveryClicked();

  // A connect or a reset is under way.
  bool busy() const { return activity_ != Activity::None; }

  // The window is closing: a running procedure ends at its next poll or wait slice without
  // another command, message box or page change, and every later click is ignored. From here on
  // nothing of the view, the port or the console is touched, so the window may go once the
  // handler that was running has returned.
  void abandon() { abandoned_ = true; }
  bool abandoned() const { return abandoned_; }

 private:
  enum class Target { Selected, Last, Given };
  // What is under way: the phases of a connect, the settling of a made connection, a reset.
  enum class Activity { None, Connecting, Settling, Resetting };
  // How the phases ended; Stopped: by a closing window or a Disconnect, without a trace line.
  enum class Outcome { Connected, Failed, Stopped };

  // True when a connect or reset clicked now may start; a refused one is shown to the user.
  bool mayStart();
  void beginBusy(Activity activity);
  void endBusy();
  void setBusyText(const QString& activity);
  // The running procedure is to end at its next poll or wait slice.
  bool stopping() const { return abandoned_ || disconnectRequested_; }

  void connectClick(Target target, const QString& given = QString());
  // The phases, and the Disconnect that stopped them, if one did.
  Outcome connect(const QString& deviceId);
  Outcome connectPhases(const QString& deviceId);
  template <typename Send>
  Outcome phase(LinkAnswer& flag, Send send, const QString& activity, const char* okLine,
                const char* errorLine, const char* timeoutLine);
  // endConnecting: the dongle may still be making a connection (a connect stopped in phase 1
  // or 2).
  void disconnect(bool endConnecting);
  // Ends what a failed connect or a lost link may have left in the dongle (a connection still
  // being made, or made, on handle 0), so that the next connect can succeed.
  void endLeftovers();
  void resetDongle();
  void emptyScanList();
  // Waits ms milliseconds in short pumping waits, ending early only when stopping.
  void pause(std::uint32_t ms);

  CommandSender& commands_;
  LinkState& link_;
  ScanList& scanList_;
  ScanView& scanView_;
  ConnectionView& view_;
  SerialTransport& port_;
  std::function<bool()> reopenPort_;
  Waiter& waiter_;
  const Stopwatch& stopwatch_;
  ConsoleLog& console_;

  Activity activity_ = Activity::None;
  // A Disconnect came while the running connect was in its phases or settling.
  bool disconnectRequested_ = false;
  bool abandoned_ = false;
  // A connect failed after it was sent: the dongle may still be connecting or connected.
  bool leftovers_ = false;
  // The running connect has sent connect direct and not yet seen the link come up.
  bool linkPending_ = false;
};

}  // namespace kelvaro
