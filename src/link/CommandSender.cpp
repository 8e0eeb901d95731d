#include "link/CommandSender.h"

#include <QByteArray>
#include <algorithm>
#include <optional>

#include "base/ConsoleLog.h"
#include "link/LinkState.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

namespace {

constexpr int kDeviceIdDigits = 12;

std::optional<std::uint8_t> hexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return static_cast<std::uint8_t>(u - u'0');
  if (u >= u'A' && u <= u'F') return static_cast<std::uint8_t>(u - u'A' + 10);
  if (u >= u'a' && u <= u'f') return static_cast<std::uint8_t>(u - u'a' + 10);
  return std::nullopt;
}

// The address in wire order (least significant byte first) from the first 12 characters of a
// DeviceId, which are most significant byte first; nothing for a shorter or non-hexadecimal text.
std::optional<std::array<std::uint8_t, bgapicmd::kAddressSize>> parseDeviceId(const QString& id) {
  if (id.size() < kDeviceIdDigits) return std::nullopt;
  std::array<std::uint8_t, bgapicmd::kAddressSize> address{};
  for (std::size_t i = 0; i < address.size(); ++i) {
    const auto high = hexDigit(id[static_cast<qsizetype>(2 * i)]);
    const auto low = hexDigit(id[static_cast<qsizetype>(2 * i + 1)]);
    if (!high || !low) return std::nullopt;
    address[address.size() - 1 - i] = static_cast<std::uint8_t>(*high << 4 | *low);
  }
  return address;
}

}  // namespace

CommandSender::CommandSender(SerialTransport& port, ConsoleLog& console, LinkState& link)
    : port_(port), console_(console), link_(link) {}

template <std::size_t N>
void CommandSender::send(const std::array<std::uint8_t, N>& bytes, const char* trace) {
  port_.write(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(N)));
  console_.append(QString::fromLatin1(trace));
}

void CommandSender::sendDiscover() {
  link_.DiscoverAnswered = 0;
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

}  // namespace kelvaro
