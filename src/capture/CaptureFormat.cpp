#include "capture/CaptureFormat.h"

#include <array>

namespace kelvaro {

QByteArray captureHeaderLine(const CaptureHeader& header) {
  // The start with its offset from UTC, so that the line says the same moment anywhere.
  const QDateTime start = header.start.toOffsetFromUtc(header.start.offsetFromUtc());
  QByteArray line(capture::kFormatName);
  line += ' ';
  line += QByteArray::number(header.version);
  line += " program=";
  QString program = header.program;
  program.replace(QLatin1Char(' '), QLatin1Char('-'));
  line += program.toUtf8();
  line += " start=";
  line += start.toString(Qt::ISODateWithMs).toLatin1();
  line += '\n';
  return line;
}

void appendCaptureRecord(std::string& out, std::uint64_t micros, capture::Direction direction,
                         const char* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::array<char, 20> time{};
  std::size_t n = 0;
  do {
    time[n++] = static_cast<char>('0' + micros % 10);
    micros /= 10;
  } while (micros != 0);
  while (n > 0) out += time[--n];
  out += ' ';
  out += capture::directionMark(direction);
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<std::uint8_t>(data[i]);
    out += ' ';
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
  out += '\n';
}

}  // namespace kelvaro
