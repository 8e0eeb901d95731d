#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Formats.h"

namespace kelvaro {

// One "sensor-update" message of Scratch's remote-sensor protocol on the TCP stream: a 4-byte
// big-endian length, then the message text (8-bit, no terminator):
//
//   sensor-update "force" 0012.3 "force2" 0000.0 "GX"00100 "GY"-00005 "GZ"04000
//
// Forces with "0000.0", accelerations with "00000", "." whatever the locale. The two force names
// are followed by a blank, the acceleration names are not. The builder keeps its buffer: after
// the first frame, building one allocates nothing.
class SensorUpdateFrame {
 public:
  // The message of the longest values a notification can carry fits in this many bytes.
  static constexpr std::size_t kMaxMessage = 125;

  SensorUpdateFrame();

  // Builds the frame; data() and size() hold it until the next build.
  void build(int accelX, int accelY, int accelZ, double force1, double force2);
  const char* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }
  // The message text without its length.
  std::string_view message() const { return std::string_view(bytes_).substr(kLengthBytes); }

 private:
  static constexpr std::size_t kLengthBytes = 4;

  void appendForce(double value);

  std::string bytes_;
  fmt::Picture force_;
};

// What the console shows of bytes received from Scratch: a byte above 31 as its character, a
// control byte as "#" with two upper-case hexadecimal digits and a blank; wrapped as Data="...".
QString receivedDataLine(const QByteArray& bytes);

}  // namespace kelvaro
