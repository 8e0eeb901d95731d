// Feeds arbitrary bytes through the framer. Input is read in pairs: a control byte (how far the
// clock moves before the byte, and whether the consumer feeds a byte back or throws) and the
// byte itself. The sink reads every dispatched packet within its length, so an over-read of the
// receive buffer or a length the header could not have shows up under the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/TickSource.h"
#include "link/BgapiPacket.h"
#include "link/RxFramer.h"

namespace {

class CheckingSink : public kelvaro::PacketSink {
 public:
  void dispatchPacket(const kelvaro::BgapiPacket& packet) override {
    if (framer == nullptr) std::abort();
    if (framer->rxState() != kelvaro::rxstate::kDispatching) std::abort();
    if (packet.messageType != kelvaro::bgapi::kResponse &&
        packet.messageType != kelvaro::bgapi::kEvent) {
      std::abort();
    }
    if (framer->payloadIndex() != packet.length) std::abort();
    unsigned sum = 0;
    for (std::size_t i = 0; i < packet.length; ++i) sum += packet.payload[i];
    checksum += sum;
    if (feedBack) framer->FeedRxByte(static_cast<std::uint8_t>(sum));
    if (fail) throw kelvaro::Error("consumer failed");
  }

  kelvaro::RxFramer* framer = nullptr;
  bool feedBack = false;
  bool fail = false;
  unsigned checksum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Start just below the wrap of the 32-bit tick counter so that long inputs cross it.
  kelvaro::ManualTickSource ticks(0xFFFFF000u);
  kelvaro::ConsoleLog console;
  CheckingSink sink;
  kelvaro::RxFramer framer(ticks, console, sink);
  sink.framer = &framer;

  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const std::uint8_t control = data[i];
    // Low 4 bits: clock step 0..15 ms, or, at 15, a long step past the time-out.
    const std::uint32_t step = (control & 0x0F) == 0x0F
                                   ? 551u + (control >> 4) * 100u
                                   : static_cast<std::uint32_t>(control & 0x0F);
    ticks.advance(step);
    sink.feedBack = (control & 0x30) == 0x30;
    sink.fail = (control & 0xC0) == 0xC0;
    const std::uint64_t droppedBefore = framer.droppedBytes();
    try {
      framer.FeedRxByte(data[i + 1]);
    } catch (const kelvaro::Error&) {
      if (framer.rxState() != kelvaro::rxstate::kMessageType) std::abort();
    }
    if (framer.rxState() > kelvaro::rxstate::kPayload) std::abort();
    if (framer.droppedBytes() - droppedBefore > 4) std::abort();  // one byte frees at most four
  }
  return 0;
}
