#include "link/Dispatcher.h"

#include <algorithm>
#include <cstdint>

#include "base/ConsoleLog.h"
#include "base/Formats.h"
#include "link/FurtherBelts.h"
#include "link/LinkState.h"
#include "link/ScanList.h"

namespace kelvaro {
namespace {

using namespace bgapi;

// The number of payload bytes each branch below reads.
constexpr int kConnectionStatusMin = 2;
constexpr int kDisconnectedMin = 3;
constexpr int kProcedureCompletedMin = 4;
constexpr int kScanResponseMin = 8;
constexpr int kConnectDirectMin = 3;
constexpr int kEndProcedureMin = 2;
constexpr int kDiscoverMin = 2;
constexpr int kAttributeWriteMin = 3;
constexpr int kGetConnectionsMin = 1;

constexpr std::uint8_t kSet1AttributeHandle = 28;
constexpr std::uint8_t kSet2AttributeHandle = 26;
constexpr int kScanAddressOffset = 2;

bool matches(const BgapiPacket& p, std::uint8_t classId, std::uint8_t id, int minLength) {
  return p.classId == classId && p.commandId == id && p.length >= minLength;
}

QString hex(std::uint8_t byte) { return fmt::hexByte(byte); }

LinkAnswer goodOrBad(bool good) { return good ? LinkAnswer::Good : LinkAnswer::Bad; }

QString genericTrace(const BgapiPacket& p) {
  QString line = QStringLiteral("HD=") + hex(p.messageType) + QStringLiteral(" CID=") +
                 QString::number(p.classId) + QStringLiteral(" CMD=") +
                 QString::number(p.commandId) + QStringLiteral(" L=") + QString::number(p.length) +
                 QLatin1Char(' ');
  line.reserve(line.size() + 3 * p.length);
  for (int i = 0; i < p.length; ++i) {
    line += QLatin1Char(' ');
    line += hex(p.payload[i]);
  }
  return line;
}

}  // namespace

Dispatcher::Dispatcher(LinkState& link, ScanList& scanList, ConsoleLog& console, ScanView& view,
                       MeasurementSink& measurements)
    : link_(link),
      scanList_(scanList),
      console_(console),
      view_(view),
      measurements_(measurements) {}

void Dispatcher::dispatchPacket(const BgapiPacket& packet) {
  const bool handled = packet.isEvent() ? dispatchEvent(packet) : dispatchResponse(packet);
  if (!handled) console_.append(genericTrace(packet));
}

bool Dispatcher::dispatchEvent(const BgapiPacket& p) {
  const auto& b = p.payload;
  if (matches(p, kClassConnection, kEvtConnectionStatus, kConnectionStatusMin)) {
    console_.append(QStringLiteral("E30 Conn status  Handle=") + hex(b[0]) +
                    QStringLiteral(" Flags=") + hex(b[1]));
    if (further(b[0])) {
      furtherBelts_->connectionStatus(b[0], b[1]);
    } else {
      link_.connectionStatus = goodOrBad(b[1] == kFlagsConnectedAndCompleted);
    }
    return true;
  }
  if (matches(p, kClassConnection, kEvtDisconnected, kDisconnectedMin)) {
    // Traced like any other event; whoever watches the link hears of it as well.
    const auto reason = static_cast<std::uint16_t>(b[1] | (b[2] << 8));
    if (further(b[0])) {
      furtherBelts_->disconnected(b[0], reason);
    } else if (disconnected_) {
      disconnected_(reason);
    }
    return false;
  }
  if (matches(p, kClassAttributeClient, kEvtProcedureCompleted, kProcedureCompletedMin)) {
    console_.append(QStringLiteral("E41 Proc completed  Handle=") + hex(b[0]) +
                    QStringLiteral(" Res=") + hex(b[1]) + hex(b[2]) +
                    QStringLiteral(" Char Handle=") + hex(b[3]));
    if (further(b[0])) {
      furtherBelts_->procedureCompleted(b[0], static_cast<std::uint16_t>(b[1] | (b[2] << 8)), b[3]);
      return true;
    }
    // Only the low byte of the attribute handle is compared; a failed procedure changes nothing.
    if (b[1] == 0 && b[2] == 0) {
      link_.set1Result = goodOrBad(b[3] == kSet1AttributeHandle);
      link_.set2Result = goodOrBad(b[3] == kSet2AttributeHandle);
    }
    return true;
  }
  if (matches(p, kClassGap, kEvtScanResponse, kScanResponseMin)) {
    scanResponse(p);
    return true;
  }
  // Any length: the sink checks it.
  if (matches(p, kClassAttributeClient, kEvtAttributeValue, 0)) {
    // Notifications arrive every 50 ms: no trace and no formatting here.
    measurements_.handleMeasurementNotification(p);
    return true;
  }
  return false;
}

bool Dispatcher::dispatchResponse(const BgapiPacket& p) {
  const auto& b = p.payload;
  if (matches(p, kClassGap, kConnectDirect, kConnectDirectMin)) {
    console_.append(QStringLiteral("63 RepConnDir=") + hex(b[0]) + hex(b[1]) +
                    QStringLiteral("  ") + hex(b[2]));
    if (furtherBelts_ && furtherBelts_->awaitsConnectDirectResponse()) {
      furtherBelts_->connectDirectResponse(static_cast<std::uint16_t>(b[0] | (b[1] << 8)), b[2]);
    } else {
      link_.connectResult = goodOrBad(b[0] == 0 && b[1] == 0);
    }
    return true;
  }
  if (matches(p, kClassGap, kEndProcedure, kEndProcedureMin)) {
    console_.append(QStringLiteral("64 StopGAP=") + hex(b[0]) + hex(b[1]));
    return true;
  }
  if (matches(p, kClassGap, kDiscover, kDiscoverMin)) {
    console_.append(QStringLiteral("62 RepDisc=") + hex(b[0]) + hex(b[1]));
    link_.discoverAnswered = LinkAnswer::Good;
    return true;
  }
  if (matches(p, kClassSystem, kGetConnections, kGetConnectionsMin) && furtherBelts_ &&
      furtherBelts_->awaitsGetConnectionsResponse()) {
    // Traced as before, ahead of what the further belts send next.
    console_.append(genericTrace(p));
    furtherBelts_->getConnectionsResponse(b[0]);
    return true;
  }
  if (matches(p, kClassAttributeClient, kAttributeWrite, kAttributeWriteMin)) {
    console_.append(QStringLiteral("45 repwrite L=") + QString::number(p.length) +
                    QLatin1Char(' ') + hex(b[0]) + hex(b[1]) + QStringLiteral("  ") + hex(b[2]));
    return true;
  }
  return false;
}

bool Dispatcher::further(std::uint8_t handle) const {
  return furtherBelts_ && furtherBelts_->isFurtherHandle(handle);
}

void Dispatcher::scanResponse(const BgapiPacket& p) {
  const auto& b = p.payload;
  const int rssi = static_cast<std::int8_t>(b[0]);
  DeviceAddress address{};
  std::copy_n(b.begin() + kScanAddressOffset, address.size(), address.begin());

  QString sender;
  for (auto it = address.rbegin(); it != address.rend(); ++it) {
    if (!sender.isEmpty()) sender += QLatin1Char(':');
    sender += hex(*it);
  }
  const QString signal = QString::number(rssi);
  console_.append(QStringLiteral("E60 ScanResp Rssi=") + signal + QStringLiteral(" Sender=") +
                  sender);

  const QString deviceId = DeviceId(address);
  view_.setDeviceIdText(deviceId);

  int index = scanList_.find(address);
  if (index < 0) {
    const bool wasEmpty = scanList_.ScanCount() == 0;
    index = scanList_.add(address);
    if (index < 0) {
      // A full list gets no row; one line per full list says so, not one per scan response.
      if (scanList_.takeOverflowNotice()) {
        console_.append(QStringLiteral("ScanList full: %1 devices, %2 not listed")
                            .arg(ScanList::kCapacity)
                            .arg(deviceId));
      }
      return;
    }
    if (wasEmpty) view_.setConnectButtonsEnabled(true);
    view_.setRowCount(scanList_.ScanCount() + 1);
  }
  view_.setRow(index + 1, deviceId, signal);
}

}  // namespace kelvaro
