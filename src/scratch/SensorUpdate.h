#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Formats.h"

namespace kelvaro {

// The names one belt's values go under in its sensor-update, each quoted as the protocol quotes
// a name: in double quotes, a double quote inside it doubled. The first belt's are "force",
// "force2", "GX", "GY" and "GZ"; a further belt's are the same followed by a blank and the belt's
// name ("force Anna"), in UTF-8, a control character in the name sent as a blank. Built once when
// a belt is named, so that a frame only copies them.
class SensorNames {
 public:
  enum Sensor { Force1, Force2, AccelX, AccelY, AccelZ };
  static constexpr std::size_t kSensors = 5;

  // The first belt's.
  SensorNames();
  // A further belt's, for the belt named `belt`.
  explicit SensorNames(const QString& belt);

  std::string_view quoted(Sensor sensor) const { return quoted_[sensor]; }
  // The bytes of every quoted name together.
  std::size_t size() const;

 private:
  std::array<std::string, kSensors> quoted_;
};

// One "sensor-update" message of Scratch's remote-sensor protocol on the TCP stream: a 4-byte
// big-endian length, then the message text (8-bit, no terminator):
//
//   sensor-update "force" 0012.3 "force2" 0000.0 "GX"00100 "GY"-00005 "GZ"04000
//
// Forces with "0000.0", accelerations with "00000", "." whatever the locale. The two force names
// are followed by a blank, the acceleration names are not. A further belt's frame has the same
// values under its own names (SensorNames). The builder keeps its buffer: after the first frame
// (for a further belt's names: after reserveFor them), building one allocates nothing.
class SensorUpdateFrame {
 public:
  // The message of the longest values a notification can carry fits in this many bytes (with
  // the first belt's names; a further belt's add what their names are longer).
  static constexpr std::size_t kMaxMessage = 125;

  SensorUpdateFrame();

  // Builds the frame, with the first belt's names; data() and size() hold it until the next build.
  void build(int accelX, int accelY, int accelZ, double force1, double force2);
  // The same with a belt's names.
  void build(const SensorNames& names, int accelX, int accelY, int accelZ, double force1,
             double force2);
  // Room for the longest frame under these names, so that building one allocates nothing.
  void reserveFor(const SensorNames& names);
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
