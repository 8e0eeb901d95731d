#include "link/CommandSender.h"

#include <QByteArray>
#include <algorithm>

#include "base/ConsoleLog.h"
#include "base/Formats.h"
#include "link/DeviceAddress.h"
#include "link/LinkState.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

CommandSender::CommandSender(SerialTransport& port, ConsoleLog& console, LinkState& link)
    : port_(port), console_(console), link_(link) {}

template <std::size_t N>
void CommandSender::send(const std::array<std::uint8_t, N>& bytes, const char* trace) {
  port_.write(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(N)));
  console_.append(QString::fromLatin1(trace));
}

template <std::size_t N>
void CommandSender::sendOn(std::uint8_t handle, std::array<std::uint8_t, N> bytes,
                           const char* trace) {
  bytes[bgapicmd::kConnectionOffset] = handle;
  port_.write(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(N)));
  console_.append(QString::fromLatin1(trace) + QStringLiteral(" H=") + fmt::hexByte(handle));
}

void CommandSender::sendDiscover() {
  link_.discoverAnswered = LinkAnswer::None;
  send(bgapicmd::kGapDiscover, "Write1");
}

void CommandSender::sendSet1() { send(bgapicmd::kWriteHandle28, "Write2"); }

void CommandSender::sendSet2() { send(bgapicmd::kEnableNotifications, "Write3"); }

void CommandSender::sendConnectDirect(const QString& deviceId) {
  const auto address = parseDeviceId(deviceId);
  if (!address) {
    console_.append(QStringLiteral("ConnectDirect: bad device ID"));
    return;
  }
  std::array<std::uint8_t, bgapicmd::kConnectDirect.size()> packet = bgapicmd::kConnectDirect;
  std::copy(address->begin(), address->end(),
            packet.begin() + bgapicmd::kConnectDirectAddressOffset);
  send(packet, "Write4");
}

void CommandSender::sendReset() { send(bgapicmd::kSystemReset, "Write5"); }

void CommandSender::sendDisconnect() { send(bgapicmd::kDisconnect, "Write6"); }

void CommandSender::sendEndProcedure() { send(bgapicmd::kGapEndProcedure, "Write7"); }

void CommandSender::sendSet1(std::uint8_t handle) {
  sendOn(handle, bgapicmd::kWriteHandle28, "Write2");
}

void CommandSender::sendSet2(std::uint8_t handle) {
  sendOn(handle, bgapicmd::kEnableNotifications, "Write3");
}

void CommandSender::sendDisconnect(std::uint8_t handle) {
  sendOn(handle, bgapicmd::kDisconnect, "Write6");
}

void CommandSender::sendGetConnections() { send(bgapicmd::kGetConnections, "Write8"); }

}  // namespace kelvaro
