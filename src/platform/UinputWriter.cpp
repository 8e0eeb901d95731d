#include "platform/UinputWriter.h"

#include <linux/input.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelvaro {

bool UinputWriter::writeKey(int evdevCode, bool down) {
  // The kernel stamps the time of uinput events itself, so the time fields stay zero.
  input_event events[2];
  std::memset(events, 0, sizeof events);
  events[0].type = EV_KEY;
  events[0].code = static_cast<__u16>(evdevCode);
  events[0].value = down ? 1 : 0;
  events[1].type = EV_SYN;
  events[1].code = SYN_REPORT;
  events[1].value = 0;

  const char* data = reinterpret_cast<const char*>(events);
  size_t left = sizeof events;
  while (left > 0) {
    ssize_t n = ::write(fd_, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace kelvaro
