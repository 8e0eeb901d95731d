#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kelvaro {

// A decoded picture: 8-bit RGB, three bytes per pixel, rows packed top to bottom.
struct JpegImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// Decodes one in-memory JPEG with libjpeg. Damaged data never ends the process: truncated or
// corrupt input, anything libjpeg only warns about included, gives nothing and sets *error to
// libjpeg's message. Pictures larger than kMaxPixels are refused before any pixel is allocated.
class JpegDecoder {
 public:
  static constexpr std::int64_t kMaxPixels = 64LL * 1024 * 1024;

  static std::optional<JpegImage> decode(QByteArrayView data, QString* error = nullptr);
};

}  // namespace kelvaro
