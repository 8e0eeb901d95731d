#include "scratch/SensorUpdate.h"

namespace kelvaro {

SensorUpdateFrame::SensorUpdateFrame()
    : force_(QStringLiteral("0000.0")), accel_(QStringLiteral("00000")) {
  bytes_.reserve(kLengthBytes + kMaxMessage);
}

void SensorUpdateFrame::build(int accelX, int accelY, int accelZ, double force1, double force2) {
  bytes_.assign(kLengthBytes, '\0');
  bytes_ += "sensor-update \"force\" ";
  force_.appendTo(bytes_, force1);
  bytes_ += " \"force2\" ";
  force_.appendTo(bytes_, force2);
  bytes_ += " \"GX\"";
  accel_.appendTo(bytes_, accelX);
  bytes_ += " \"GY\"";
  accel_.appendTo(bytes_, accelY);
  bytes_ += " \"GZ\"";
  accel_.appendTo(bytes_, accelZ);

  const auto length = static_cast<std::uint32_t>(bytes_.size() - kLengthBytes);
  for (std::size_t i = 0; i < kLengthBytes; ++i) {
    bytes_[i] = static_cast<char>((length >> (8 * (kLengthBytes - 1 - i))) & 0xFF);
  }
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
