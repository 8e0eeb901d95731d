#include "scratch/SensorUpdate.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kelvaro {

namespace {

// A magnitude with at least minDigits digits, leading zeros filling up.
void appendPadded(std::string& out, std::uint64_t magnitude, std::size_t minDigits) {
  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), magnitude).ptr;
  const auto count = static_cast<std::size_t>(end - digits.data());
  if (count < minDigits) out.append(minDigits - count, '0');
  out.append(digits.data(), count);
}

// "00000": a minus sign, then at least five digits.
void appendAcceleration(std::string& out, int value) {
  if (value < 0) out += '-';
  appendPadded(out, static_cast<std::uint64_t>(std::llabs(static_cast<long long>(value))), 5);
}

// "0000.0" without the general picture's work where the value is plainly away from a rounding
// half: there, rounding the tenths of the binary value and of its 15-digit decimal form agree.
// Near a half, and for values too large or not finite, the picture decides.
bool appendForceQuickly(std::string& out, double value) {
  const double tenths = value * 10.0;
  if (!(std::fabs(tenths) < 1e8)) return false;
  const double fraction = std::fabs(tenths - std::trunc(tenths));
  if (std::fabs(fraction - 0.5) < 1e-4) return false;
  const auto rounded = static_cast<long long>(std::llround(tenths));
  const auto magnitude = static_cast<std::uint64_t>(std::llabs(rounded));
  if (rounded < 0) out += '-';
  appendPadded(out, magnitude / 10, 4);
  out += '.';
  out += static_cast<char>('0' + magnitude % 10);
  return true;
}

// The sensors' names: the first belt's alone, a further belt's followed by the belt's name.
constexpr std::array<std::string_view, SensorNames::kSensors> kFirstBeltNames = {"force", "force2",
                                                                                 "GX", "GY", "GZ"};

std::string quotedName(std::string_view sensor, const QByteArray& belt) {
  std::string quoted;
  quoted.reserve(sensor.size() + 3 + static_cast<std::size_t>(belt.size()) * 2);
  quoted += '"';
  quoted += sensor;
  if (!belt.isEmpty()) {
    quoted += ' ';
    for (const char c : belt) {
      if (c == '"') {
        quoted += "\"\"";
      } else if (static_cast<unsigned char>(c) < 32 || c == 127) {
        quoted += ' ';
      } else {
        quoted += c;
      }
    }
  }
  quoted += '"';
  return quoted;
}

}  // namespace

SensorNames::SensorNames() {
  for (std::size_t i = 0; i < kSensors; ++i) quoted_[i] = quotedName(kFirstBeltNames[i], {});
}

SensorNames::SensorNames(const QString& belt) {
  const QByteArray utf8 = belt.toUtf8();
  for (std::size_t i = 0; i < kSensors; ++i) quoted_[i] = quotedName(kFirstBeltNames[i], utf8);
}

std::size_t SensorNames::size() const {
  std::size_t total = 0;
  for (const std::string& name : quoted_) total += name.size();
  return total;
}

SensorUpdateFrame::SensorUpdateFrame() : force_(QStringLiteral("0000.0")) {
  bytes_.reserve(kLengthBytes + kMaxMessage);
}

void SensorUpdateFrame::build(int accelX, int accelY, int accelZ, double force1, double force2) {
  static const SensorNames firstBelt;
  build(firstBelt, accelX, accelY, accelZ, force1, force2);
}

void SensorUpdateFrame::reserveFor(const SensorNames& names) {
  // Only what the first belt's names are shorter than these.
  static const std::size_t firstBelt = SensorNames().size();
  const std::size_t longer = names.size() > firstBelt ? names.size() - firstBelt : 0;
  bytes_.reserve(kLengthBytes + kMaxMessage + longer);
}

void SensorUpdateFrame::build(const SensorNames& names, int accelX, int accelY, int accelZ,
                              double force1, double force2) {
  bytes_.assign(kLengthBytes, '\0');
  bytes_ += "sensor-update ";
  bytes_ += names.quoted(SensorNames::Force1);
  bytes_ += ' ';
  appendForce(force1);
  bytes_ += ' ';
  bytes_ += names.quoted(SensorNames::Force2);
  bytes_ += ' ';
  appendForce(force2);
  bytes_ += ' ';
  bytes_ += names.quoted(SensorNames::AccelX);
  appendAcceleration(bytes_, accelX);
  bytes_ += ' ';
  bytes_ += names.quoted(SensorNames::AccelY);
  appendAcceleration(bytes_, accelY);
  bytes_ += ' ';
  bytes_ += names.quoted(SensorNames::AccelZ);
  appendAcceleration(bytes_, accelZ);

  const auto length = static_cast<std::uint32_t>(bytes_.size() - kLengthBytes);
  for (std::size_t i = 0; i < kLengthBytes; ++i) {
    bytes_[i] = static_cast<char>((length >> (8 * (kLengthBytes - 1 - i))) & 0xFF);
  }
}

void SensorUpdateFrame::appendForce(double value) {
  if (!appendForceQuickly(bytes_, value)) force_.appendTo(bytes_, value);
}

QString receivedDataLine(const QByteArray& bytes) {
  QString line = QStringLiteral("Data=\"");
  line.reserve(line.size() + bytes.size() * 4 + 1);
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte > 31) {
      line += QChar::fromLatin1(c);
    } else {
      line += QLatin1Char('#') + fmt::hexByte(byte) + QLatin1Char(' ');
    }
  }
  line += QLatin1Char('"');
  return line;
}

}  // namespace kelvaro
