// Feeds arbitrary bytes as the content of a capture file through the reader. The checks hold for
// any file: the records lie within the bytes read, their times never go backwards, a file read
// without damage ends its last line, and what was read, written again, reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture/CaptureFormat.h"
#include "capture/CaptureReader.h"

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
  return 0;
}
