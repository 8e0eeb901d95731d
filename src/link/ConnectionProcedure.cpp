#include "link/ConnectionProcedure.h"

#include <algorithm>
#include <utility>

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/ScopeExit.h"
#include "link/CommandSender.h"
#include "link/DeviceAddress.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/ScanList.h"
#include "link/Stopwatch.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

namespace {

using Button = ConnectionView::Button;

// Long waits are cut into slices this short so that a closing window does not have to wait for
// the end of a 5-second dongle restart.
constexpr std::uint32_t kSliceMs = 10;

// The connect command takes the first 12 characters as the address; anything else sends nothing.
bool isDeviceIdText(const QString& text) { return parseDeviceId(text).has_value(); }

}  // namespace

ConnectionProcedure::ConnectionProcedure(CommandSender& commands, LinkState& link,
                                         ScanList& scanList, ScanView& scanView,
                                         ConnectionView& view, SerialTransport& port,
                                         std::function<bool()> reopenPort, Waiter& waiter,
                                         const Stopwatch& stopwatch, ConsoleLog& console)
    : commands_(commands),
      link_(link),
      scanList_(scanList),
      scanView_(scanView),
      view_(view),
      port_(port),
      reopenPort_(std::move(reopenPort)),
      waiter_(waiter),
      stopwatch_(stopwatch),
      console_(console) {}

bool ConnectionProcedure::mayStart() {
  if (abandoned_) return false;
  if (activity_ == Activity::None) return true;
  view_.showRefusal(activity_ == Activity::Resetting ? kBusyResettingText : kBusyConnectingText);
  return false;
}

void ConnectionProcedure::beginBusy(Activity activity) {
  activity_ = activity;
  disconnectRequested_ = false;
}

void ConnectionProcedure::endBusy() {
  if (activity_ == Activity::None) return;
  activity_ = Activity::None;
  disconnectRequested_ = false;
  if (!abandoned_) view_.setBusy(QString());
}

void ConnectionProcedure::setBusyText(const QString& activity) {
  if (!abandoned_) view_.setBusy(activity);
}

void ConnectionProcedure::pause(std::uint32_t ms) {
  const std::uint32_t begin = stopwatch_.tick();
  while (!stopping()) {
    const std::uint32_t elapsed = Stopwatch::diff(begin, stopwatch_.tick());
    if (elapsed >= ms) break;
    waiter_.waitMs(static_cast<std::uint16_t>(std::min(ms - elapsed, kSliceMs)));
  }
}

template <typename Send>
ConnectionProcedure::Outcome ConnectionProcedure::phase(LinkAnswer& flag, Send send,
                                                        const QString& activity, const char* okLine,
                                                        const char* errorLine,
                                                        const char* timeoutLine) {
  setBusyText(activity);
  flag = LinkAnswer::None;
  send();
  for (int waits = 0; flag == LinkAnswer::None && waits < kMaxPolls && !stopping(); ++waits) {
    waiter_.waitMs(kPollMs);
  }
  // A closing window or the user's Disconnect is not a failure of the dongle: no trace for it,
  // even when the answer came in the same pass.
  if (stopping()) return Outcome::Stopped;
  const char* line = flag == LinkAnswer::Good   ? okLine
                     : flag == LinkAnswer::None ? timeoutLine
                                                : errorLine;
  console_.append(QString::fromLatin1(line));
  return flag == LinkAnswer::Good ? Outcome::Connected : Outcome::Failed;
}

ConnectionProcedure::Outcome ConnectionProcedure::connectPhases(const QString& deviceId) {
  if (!isDeviceIdText(deviceId)) {
    // The sender refuses the text with its own trace line; waiting 3 s for an answer to a
    // command that was never written would only hide that.
    commands_.sendConnectDirect(deviceId);
    console_.append(QStringLiteral("Connect Faze1 ERR"));
    return Outcome::Failed;
  }
  // Until phase 2 has seen the link, the dongle is still making the connection.
  linkPending_ = true;
  // The Set1 write of phase 2 goes out while the link is still being set up; phase 2 waits only
  // for the link, and phase 3 writes it again.
  Outcome outcome = phase(
      link_.connectResult, [&] { commands_.sendConnectDirect(deviceId); },
      QStringLiteral("Connecting to %1").arg(deviceId), "**** Connect send OK", "Connect Faze1 ERR",
      "Connect Faze1 Timeout");
  if (outcome != Outcome::Connected) return outcome;
  outcome = phase(
      link_.connectionStatus, [&] { commands_.sendSet1(); },
      QStringLiteral("Waiting for the link to %1").arg(deviceId), "**** Connect faze2 OK",
      "Connect ERR", "Connect Timeout");
  if (outcome != Outcome::Connected) return outcome;
  linkPending_ = false;
  outcome = phase(
      link_.set1Result, [&] { commands_.sendSet1(); }, QStringLiteral("Setting up the belt"),
      "**** Set1 OK", "Set1 ERR", "Set1 Timeout");
  if (outcome != Outcome::Connected) return outcome;
  return phase(
      link_.set2Result, [&] { commands_.sendSet2(); }, QStringLiteral("Switching notifications on"),
      "**** Set2 OK", "Set2 ERR", "Set2 Timeout");
}

ConnectionProcedure::Outcome ConnectionProcedure::connect(const QString& deviceId) {
  if (leftovers_) endLeftovers();
  if (stopping()) return Outcome::Stopped;
  linkPending_ = false;
  const Outcome outcome = connectPhases(deviceId);
  // Whatever the phases got the dongle into is ended before the next connect.
  if (outcome == Outcome::Failed && isDeviceIdText(deviceId)) leftovers_ = true;
  if (outcome == Outcome::Stopped && disconnectRequested_ && !abandoned_) {
    // The user called the connect off: both connect buttons are usable again at once ("Connect
    // Selected" does nothing until a device is heard, as after a Connection Reset).
    ScopeExit usable([this] {
      view_.setButtonEnabled(Button::ConnectSelected, true);
      view_.setButtonEnabled(Button::ConnectLast, true);
    });
    disconnect(linkPending_);
  }
  return outcome;
}

void ConnectionProcedure::endLeftovers() {
  leftovers_ = false;
  setBusyText(QStringLiteral("Ending the last connection attempt"));
  commands_.sendDisconnect();
  commands_.sendEndProcedure();
  pause(kLeftoverMs);
}

bool ConnectionProcedure::reconnect(const QString& deviceId) {
  if (abandoned_ || busy()) return false;
  ScopeExit done([this] { endBusy(); });
  beginBusy(Activity::Connecting);
  // The live graph goes on where it stopped.
  leftovers_ = true;
  return connect(deviceId) == Outcome::Connected;
}

bool ConnectionProcedure::connectToBelt(const QString& deviceId) {
  if (abandoned_ || busy()) return false;
  ScopeExit done([this] { endBusy(); });
  beginBusy(Activity::Connecting);
  return connect(deviceId) == Outcome::Connected;
}

void ConnectionProcedure::connectSelectedClicked() {
  if (!mayStart() || scanList_.ScanCount() < 1) return;
  connectClick(Target::Selected);
}

void ConnectionProcedure::connectLastClicked() {
  if (!mayStart()) return;
  connectClick(Target::Last);
}

void ConnectionProcedure::connectToClicked(const QString& deviceId) {
  if (!mayStart()) return;
  connectClick(Target::Given, deviceId);
}

void ConnectionProcedure::connectClick(Target target, const QString& given) {
  const QString deviceId = target == Target::Selected ? view_.selectedDeviceId()
                           : target == Target::Last   ? view_.lastBeltIdText()
                                                      : given;
  ScopeExit done([this] { endBusy(); });
  beginBusy(Activity::Connecting);
  view_.resetGraphSlot();
  view_.setButtonEnabled(Button::ConnectSelected, false);

  Outcome outcome = Outcome::Failed;
  try {
    outcome = connect(deviceId);
  } catch (...) {
    if (!abandoned_) view_.setButtonEnabled(Button::ConnectSelected, true);
    throw;
  }
  // Stopped: the window is closing, or the Disconnect that stopped the phases has run.
  if (abandoned_ || outcome == Outcome::Stopped) return;
  if (outcome == Outcome::Failed) {
    view_.setButtonEnabled(Button::ConnectSelected, true);
    endBusy();
    view_.showWarning(kConnectFailedText);
    return;
  }

  activity_ = Activity::Settling;
  view_.showLiveGraphPage();
  view_.connectionMade(deviceId);
  if (target == Target::Selected) {
    view_.setLastBeltIdText(deviceId);
    view_.setMacText(view_.lastBeltIdText());
  }
  view_.resetGraphSlot();
  // Notifications that arrive while the link settles are drawn, then wiped. A Disconnect
  // meanwhile has already gone back to "Connection"; wiping the hidden graph then does no harm.
  setBusyText(QStringLiteral("Connected to %1").arg(deviceId));
  pause(kSettleMs);
  if (abandoned_) return;
  view_.clearLiveGraph();
}

void ConnectionProcedure::bleConnectClicked() {
  if (!mayStart()) return;
  view_.setButtonEnabled(Button::BleConnect, false);
  ScopeExit done([this] {
    endBusy();
    if (!abandoned_) view_.setButtonEnabled(Button::BleConnect, true);
  });
  beginBusy(Activity::Connecting);
  const QString deviceId = view_.macText();
  if (connect(deviceId) == Outcome::Connected && !abandoned_) view_.connectionMade(deviceId);
}

void ConnectionProcedure::resetDongle() {
  view_.setButtonEnabled(Button::BleReset, false);
  try {
    console_.append(QStringLiteral("*** Cekejte ***"));
    setBusyText(QStringLiteral("Resetting the dongle"));
    commands_.sendReset();
    // The dongle restarts, which takes its serial port away and brings it back.
    pause(kResetRestartMs);
    if (abandoned_) return;
    setBusyText(QStringLiteral("Reopening the port"));
    port_.close();
    pause(kReopenDelayMs);
    if (abandoned_) return;
    if (!reopenPort_()) {
      throw Error(QStringLiteral("Cannot open %1 again after the dongle reset: %2")
                      .arg(port_.portName(), port_.errorString())
                      .toStdString());
    }
  } catch (...) {
    // Enabled again so that a failed reset can be tried again.
    if (!abandoned_) view_.setButtonEnabled(Button::BleReset, true);
    throw;
  }
  view_.setButtonEnabled(Button::BleReset, true);
  console_.append(QStringLiteral("*** Hotovo ***"));
}

void ConnectionProcedure::bleResetClicked() {
  if (!mayStart()) return;
  ScopeExit done([this] { endBusy(); });
  beginBusy(Activity::Resetting);
  resetDongle();
}

void ConnectionProcedure::connectionResetClicked() {
  if (!mayStart()) return;
  static constexpr Button kButtons[] = {Button::ConnectionReset, Button::ConnectSelected,
                                        Button::ConnectLast};
  for (const Button b : kButtons) view_.setButtonEnabled(b, false);
  // Enabled again even when nothing has been heard yet ("Connect Selected" then does nothing),
  // and after a failure too, so that the user can try again.
  ScopeExit done([this] {
    endBusy();
    if (abandoned_) return;
    for (const Button b : kButtons) view_.setButtonEnabled(b, true);
  });
  beginBusy(Activity::Resetting);
  resetDongle();
  if (abandoned_) return;
  emptyScanList();
  commands_.sendDiscover();
}

void ConnectionProcedure::disconnectClicked() {
  if (abandoned_) return;
  switch (activity_) {
    case Activity::Connecting:
      // The phases stop at their next poll and the connect then disconnects, so that none of
      // its commands follows the disconnect. A second click before then changes nothing.
      disconnectRequested_ = true;
      return;
    case Activity::Settling:
      // The settling wait ends at its next slice, even when the disconnect cannot be written.
      disconnectRequested_ = true;
      break;
    case Activity::None:
    case Activity::Resetting:
      break;
  }
  disconnect(false);
}

void ConnectionProcedure::disconnect(bool endConnecting) {
  view_.connectionEnded();
  view_.showConnectionPage();
  view_.setButtonEnabled(Button::ConnectSelected, false);
  view_.setButtonEnabled(Button::ConnectLast, false);
  // The old connection's list is forgotten even when the disconnect cannot be written (its
  // count went with connectionEnded, so that the next connection zeroes the forces again).
  try {
    // A dongle still making the connection rejects the disconnect and goes on connecting, so
    // its procedure is ended first; a connection made meanwhile is then ended by the disconnect.
    if (endConnecting) commands_.sendEndProcedure();
    commands_.sendDisconnect();
  } catch (...) {
    emptyScanList();
    throw;
  }
  emptyScanList();
  // The first device heard enables the connect buttons again.
  commands_.sendDiscover();
}

void ConnectionProcedure::emptyScanList() {
  scanList_.clear();
  scanView_.setRowCount(1);
}

void ConnectionProcedure::bleDisconnectClicked() { commands_.sendDisconnect(); }
void ConnectionProcedure::connectDirectClicked() { commands_.sendConnectDirect(view_.macText()); }
void ConnectionProcedure::set1Clicked() { commands_.sendSet1(); }
void ConnectionProcedure::set2Clicked() { commands_.sendSet2(); }
void ConnectionProcedure::startDiscoveryClicked() { commands_.sendDiscover(); }
void ConnectionProcedure::stopDiscoveryClicked() { commands_.sendEndProcedure(); }

}  // namespace kelvaro
