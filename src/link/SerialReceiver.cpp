#include "link/SerialReceiver.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>

#include "link/RxFramer.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

void readSerialBytes(SerialTransport& port, RxFramer& framer) {
  std::array<char, kRxChunkSize> buffer;
  std::exception_ptr firstError;
  qint64 waiting = 0;
  while ((waiting = port.bytesAvailable()) > 0) {
    const qint64 wanted = std::min<qint64>(waiting, static_cast<qint64>(buffer.size()));
    const qint64 got = port.read(buffer.data(), wanted);
    if (got <= 0) break;
    for (qint64 i = 0; i < got; ++i) {
      try {
        framer.FeedRxByte(static_cast<std::uint8_t>(buffer[static_cast<std::size_t>(i)]));
      } catch (...) {
        if (!firstError) firstError = std::current_exception();
      }
    }
  }
  if (firstError) std::rethrow_exception(firstError);
}

}  // namespace kelvaro
