#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "capture/CaptureFormat.h"

namespace kelvaro {

// One read or write of the capture; its bytes are in Capture::bytes.
struct CaptureRecord {
  std::uint64_t micros = 0;
  capture::Direction direction = capture::Direction::Received;
  std::size_t offset = 0;
  std::size_t size = 0;
};

// Where and why reading a capture stopped.
struct CaptureDamage {
  int line = 0;  // 1 for the first line
  QString what;
};

// A capture as read: the header and the records up to the first damage, if any. Everything
// before the damage is whole and usable; nothing after it is taken.
struct Capture {
  std::optional<CaptureHeader> header;  // none when the first line is not a usable header
  std::vector<CaptureRecord> records;
  std::vector<std::uint8_t> bytes;
  std::optional<CaptureDamage> damage;

  const std::uint8_t* data(const CaptureRecord& record) const {
    return bytes.data() + record.offset;
  }
};

// Reads a capture's whole content. Never throws; damage ends the reading (see Capture).
Capture parseCapture(const char* data, std::size_t size);

// "FILE:LINE: what", the way compilers and editors name a place in a file.
QString captureDamageText(const QString& file, const CaptureDamage& damage);

// Reads the file; nothing, with the reason in `error` ("FILE: ..."), when it cannot be read.
std::optional<Capture> readCaptureFile(const QString& path, QString* error);

}  // namespace kelvaro
