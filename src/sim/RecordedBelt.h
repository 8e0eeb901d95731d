#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/DeviceAddress.h"

namespace kelvaro {

struct Capture;

// A belt as a capture heard it: the address of the first belt the program connected to, and what
// that belt did while it streamed, on the belt's own streaming clock (the time it was connected
// and notifying; a reconnect or a reset in the capture takes none of it).
//
// The events are its attribute-value notifications, byte for byte, and its lost links: the
// disconnected events the program had not asked for (no disconnect command and no reset since the
// connection), with their reason and how long the belt stayed out of reach after them (until the
// capture connected to it again). A silence in the stream is the spacing of the next event.
class RecordedBelt {
 public:
  static constexpr std::uint64_t kForever = UINT64_MAX;

  struct Event {
    enum class Kind : std::uint8_t { Notification, LinkLoss };
    Kind kind = Kind::Notification;
    std::uint16_t reason = 0;  // LinkLoss: the disconnected event's reason
    // The streaming time since the event before (since the first streaming for the first one).
    std::uint64_t afterUs = 0;
    // LinkLoss: how long the belt stayed out of reach; kForever when the capture ended first.
    std::uint64_t awayUs = 0;
    // Notification: the attribute-value event's payload after its connection handle (the
    // attribute handle, the value type and the value), in bytes().
    std::size_t offset = 0;
    std::size_t size = 0;
  };

  // What the capture's received bytes say about the first belt the program connected to.
  static RecordedBelt fromCapture(const Capture& capture);

  // An address was heard: there is a belt to play, if only for its link to be made.
  bool heard() const { return heard_; }
  const DeviceAddress& address() const { return address_; }
  std::uint8_t addressType() const { return addressType_; }
  // The signal strength of its last scan response in the capture (-55 when none was heard).
  int rssi() const { return rssi_; }
  const std::vector<Event>& events() const { return events_; }
  const std::uint8_t* data(const Event& event) const { return bytes_.data() + event.offset; }
  // The streaming time after the last event until the capture ended or the belt stopped.
  std::uint64_t endAfterUs() const { return endAfterUs_; }
  // The belt's whole streaming time.
  std::uint64_t durationUs() const { return durationUs_; }
  std::uint64_t notifications() const { return notifications_; }

 private:
  class Reader;

  bool heard_ = false;
  DeviceAddress address_{};
  std::uint8_t addressType_ = 0;
  int rssi_ = -55;
  std::vector<Event> events_;
  std::vector<std::uint8_t> bytes_;
  std::uint64_t endAfterUs_ = 0;
  std::uint64_t durationUs_ = 0;
  std::uint64_t notifications_ = 0;
};

// A capture file read for playback.
struct RecordedBeltFile {
  std::shared_ptr<const RecordedBelt> belt;  // null: nothing to play (error says why)
  QString damage;  // "FILE:LINE: what" when the file is damaged; what came before it plays
  QString error;   // why nothing can be played
};
RecordedBeltFile loadRecordedBelt(const QString& path);

}  // namespace kelvaro
