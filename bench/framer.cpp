// Framing throughput over a stream of belt notifications, the load the framer carries while a
// belt streams.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "base/ConsoleLog.h"
#include "base/TickSource.h"
#include "link/BgapiPacket.h"
#include "link/RxFramer.h"
#include "support/NotificationPackets.h"

namespace {

class CountingSink : public kelvaro::PacketSink {
 public:
  void dispatchPacket(const kelvaro::BgapiPacket& packet) override {
    ++packets;
    last = packet.payload[packet.length - 1u];
  }
  std::uint64_t packets = 0;
  std::uint8_t last = 0;
};

// Attribute-value events with 16 changing value bytes, including 0x00 and 0x80 bytes.
std::vector<std::uint8_t> notificationStream(int count) {
  std::vector<std::uint8_t> bytes;
  std::uint32_t state = 12345;
  for (int i = 0; i < count; ++i) {
    kelvaro::testing::SensorValue value{};
    value[0] = i % 4 == 3 ? 0x00 : 0x80;
    for (std::size_t v = 1; v < value.size(); ++v) {
      state = state * 1103515245u + 12345u;
      value[v] = static_cast<std::uint8_t>(state >> 16);
    }
    const std::vector<std::uint8_t> packet = kelvaro::testing::notificationPacket(value);
    bytes.insert(bytes.end(), packet.begin(), packet.end());
  }
  return bytes;
}

void BM_FrameNotifications(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = notificationStream(4000);  // 100 kB
  kelvaro::ManualTickSource ticks(1);
  kelvaro::ConsoleLog console;
  CountingSink sink;
  kelvaro::RxFramer framer(ticks, console, sink);
  for (auto _ : state) {
    for (const std::uint8_t b : stream) framer.FeedRxByte(b);
    benchmark::DoNotOptimize(sink.last);
  }
  if (framer.droppedBytes() != 0 ||
      sink.packets != 4000u * static_cast<std::uint64_t>(state.iterations())) {
    state.SkipWithError("the framer lost step");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
  state.counters["packets/s"] =
      benchmark::Counter(static_cast<double>(sink.packets), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameNotifications);

}  // namespace

BENCHMARK_MAIN();
