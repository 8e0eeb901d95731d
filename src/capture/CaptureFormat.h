#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvaro {

// The capture format, version 1 (docs/capture-format.md): a text file of lines ending in LF.
// The first line names the format and its version, then fields `key=value`:
//   kelvaro-capture 1 program=kelvaro-monitor/3.24.0 start=2025-03-01T14:02:11.250+01:00
// Every further line is one read from the dongle's port or one write to it:
//   1843 < 80 02 06 02 00 00
// the microseconds since the start, "<" (received from the dongle) or ">" (sent to it), and the
// bytes in hex, two digits each, separated by spaces. Lines that begin with "#" are comments.
namespace capture {

inline constexpr char kFormatName[] = "kelvaro-capture";
inline constexpr int kVersion = 1;

enum class Direction : std::uint8_t {
  Received,  // "<": read from the dongle's port
  Sent,      // ">": written to it
};

inline char directionMark(Direction direction) {
  return direction == Direction::Received ? '<' : '>';
}

}  // namespace capture

// What the first line says.
struct CaptureHeader {
  int version = capture::kVersion;
  QString program;  // name/version of the program that wrote the capture, without spaces
  QDateTime start;  // the wall-clock time of time 0, with its offset from UTC
};

// The first line, its line end included.
QByteArray captureHeaderLine(const CaptureHeader& header);

// Appends one record line, its line end included. Allocates nothing when `out` has room for
// 24 + 3 * size characters more.
void appendCaptureRecord(std::string& out, std::uint64_t micros, capture::Direction direction,
                         const char* data, std::size_t size);

}  // namespace kelvaro
