// Feeds arbitrary bytes as the content of a capture file through the reader, and what it read
// through the recorded belt and a dongle that plays it. The checks hold for any file: the records
// lie within the bytes read, their times never go backwards, a file read without damage ends its
// last line, what was read, written again, reads back the same; the recorded belt's events lie
// within its bytes, and playing it (connected, notifications on, at flood pace) never over-reads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureFormat.h"
#include "capture/CaptureReader.h"
#include "sim/RecordedBelt.h"
#include "sim/SimDongle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto* text = reinterpret_cast<const char*>(data);
  const kelvaro::Capture capture = kelvaro::parseCapture(text, size);

  if (!capture.header && !capture.records.empty()) std::abort();
  if (!capture.header && !capture.damage) std::abort();
  if (capture.damage && (capture.damage->line < 1 || capture.damage->what.isEmpty())) std::abort();
  if (!capture.damage && (size == 0 || data[size - 1] != '\n')) std::abort();
  std::size_t total = 0;
  std::uint64_t last = 0;
  for (const kelvaro::CaptureRecord& r : capture.records) {
    if (r.size == 0 || r.offset != total || r.micros < last) std::abort();
    total += r.size;
    last = r.micros;
  }
  if (total != capture.bytes.size()) std::abort();
  if (!capture.header) return 0;

  std::string again = kelvaro::captureHeaderLine(*capture.header).toStdString();
  for (const kelvaro::CaptureRecord& r : capture.records) {
    kelvaro::appendCaptureRecord(again, r.micros, r.direction,
                                 reinterpret_cast<const char*>(capture.data(r)), r.size);
  }
  const kelvaro::Capture reread = kelvaro::parseCapture(again.data(), again.size());
  if (reread.damage || reread.records.size() != capture.records.size()) std::abort();
  if (reread.bytes != capture.bytes) std::abort();
  for (std::size_t i = 0; i < capture.records.size(); ++i) {
    if (reread.records[i].micros != capture.records[i].micros ||
        reread.records[i].direction != capture.records[i].direction) {
      std::abort();
    }
  }
  if (reread.header->start != capture.header->start) std::abort();

  auto belt = std::make_shared<kelvaro::RecordedBelt>(kelvaro::RecordedBelt::fromCapture(capture));
  std::size_t bytes = 0;
  std::uint64_t notifications = 0;
  for (const kelvaro::RecordedBelt::Event& e : belt->events()) {
    if (e.kind == kelvaro::RecordedBelt::Event::Kind::Notification) {
      if (e.offset != bytes || e.size < 4 || e.size > 254) std::abort();
      bytes += e.size;
      ++notifications;
    }
  }
  if (notifications != belt->notifications()) std::abort();
  if (!belt->heard()) return 0;

  kelvaro::SimOptions options;
  options.otherAdvertisers = 0;
  options.playback.belt = belt;
  options.playback.pace.flood = true;
  kelvaro::SimDongle dongle(options);
  std::uint32_t now = 0;
  dongle.advanceTo(now);
  const auto command = [&dongle](std::initializer_list<std::uint8_t> bytes) {
    const std::vector<std::uint8_t> v(bytes);
    dongle.receive(reinterpret_cast<const char*>(v.data()), v.size());
  };
  const auto run = [&](std::uint32_t ms) {
    for (std::uint32_t i = 0; i < ms; i += 10) {
      dongle.advanceTo(now += 10);
      dongle.discardOutput();
    }
  };
  const kelvaro::DeviceAddress& a = belt->address();
  command({0x00, 0x0F, 0x06, 0x03, a[0], a[1], a[2], a[3], a[4], a[5], 0x00, 0x3C, 0x00, 0x4C, 0x00,
           0x64, 0x00, 0x00, 0x00});
  run(400);
  command({0x00, 0x06, 0x04, 0x05, 0x00, 0x1A, 0x00, 0x02, 0x01, 0x00});
  run(2000);
  return 0;
}
