// The capture of the dongle's port while a belt streams: a line per 25-byte read of a
// notification into a file that keeps nothing, and the reader over such a capture. Reports lines
// a second, bytes a line, and heap allocations per line written (none).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/MicrosecondClock.h"
#include "capture/CaptureFormat.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureWriter.h"
#include "platform/AppendFile.h"
#include "support/AllocationCount.h"
#include "support/NotificationPackets.h"

namespace {

using kelvaro::capture::Direction;

std::vector<std::uint8_t> notification(int i) {
  kelvaro::testing::RawValues raw;
  raw.force1 = static_cast<std::uint16_t>(1000 + i % 300);
  raw.tag = static_cast<std::uint8_t>(i);
  return kelvaro::testing::notificationPacket(raw);
}

kelvaro::CaptureHeader header() {
  kelvaro::CaptureHeader h;
  h.program = QStringLiteral("kelvaro-monitor/3.24");
  h.start = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
  return h;
}

void BM_CaptureNotifications(benchmark::State& state) {
  kelvaro::NullAppendFile file;
  kelvaro::ManualMicrosecondClock clock(1);
  kelvaro::CaptureWriter writer(file, clock);
  if (!writer.start(QStringLiteral("null"), header(), nullptr)) state.SkipWithError("no start");
  const std::vector<std::uint8_t> packet = notification(7);
  const auto* bytes = reinterpret_cast<const char*>(packet.data());
  // An hour into a capture, so that the times have their ten digits.
  clock.advance(3600ULL * 1000000);
  long lines = 0;
  for (auto _ : state) {
    clock.advance(50000);
    writer.record(Direction::Received, bytes, packet.size());
    ++lines;
  }
  const std::size_t before = file.bytes();
  const long allocations = allocationCount();
  for (int i = 0; i < 1000; ++i) {
    clock.advance(50000);
    writer.record(Direction::Received, bytes, packet.size());
  }
  state.counters["allocs_per_line"] = double(allocationCount() - allocations) / 1000.0;
  state.counters["bytes_per_line"] = double(file.bytes() - before) / 1000.0;
  state.counters["lines/s"] = benchmark::Counter(double(lines), benchmark::Counter::kIsRate);
}

void BM_ReadCapture(benchmark::State& state) {
  std::string text = kelvaro::captureHeaderLine(header()).toStdString();
  constexpr int kLines = 20 * 60;  // a minute of the belt
  for (int i = 0; i < kLines; ++i) {
    const std::vector<std::uint8_t> packet = notification(i);
    kelvaro::appendCaptureRecord(text, std::uint64_t(i) * 50000, Direction::Received,
                                 reinterpret_cast<const char*>(packet.data()), packet.size());
  }
  std::size_t records = 0;
  for (auto _ : state) {
    const kelvaro::Capture capture = kelvaro::parseCapture(text.data(), text.size());
    records += capture.records.size();
    benchmark::DoNotOptimize(capture.bytes.data());
  }
  if (records != std::size_t(kLines) * std::size_t(state.iterations())) {
    state.SkipWithError("lines went missing");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["lines/s"] = benchmark::Counter(double(records), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_CaptureNotifications);
BENCHMARK(BM_ReadCapture)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
