#include "edf/EdfLayout.h"

#include <limits>

namespace kelvaro::edf {

namespace {

constexpr std::int64_t kMaxRecordBytes = 15 * 1024 * 1024;
constexpr std::int64_t kTimeUnitsPerSecond = 10000000;

// A header field: ASCII, blanks after the value. None unless it is a plain integer.
std::optional<std::int64_t> integerField(const QByteArray& bytes, int offset, int width) {
  if (offset < 0 || offset + width > bytes.size()) return std::nullopt;
  const QByteArray field = bytes.mid(offset, width).trimmed();
  if (field.isEmpty() || field.size() > 18) return std::nullopt;
  bool ok = false;
  const qlonglong value = field.toLongLong(&ok);
  if (!ok) return std::nullopt;
  return value;
}

bool fail(QString* error, const char* why) {
  if (error) *error = QString::fromLatin1(why);
  return false;
}

}  // namespace

std::optional<std::int64_t> headerSize(const QByteArray& fixedHeader) {
  if (fixedHeader.size() < EdfLayout::kFixedHeaderBytes) return std::nullopt;
  const auto count = integerField(fixedHeader, 252, 4);
  if (!count || *count < 1 || *count > EdfLayout::kMaxSignals) return std::nullopt;
  return EdfLayout::kFixedHeaderBytes + *count * EdfLayout::kSignalHeaderBytes;
}

std::optional<EdfLayout> parseLayout(const QByteArray& header, QString* error) {
  EdfLayout layout;
  if (header.size() < EdfLayout::kFixedHeaderBytes) {
    fail(error, "the header is cut short");
    return std::nullopt;
  }
  if (header.startsWith("0       ")) {
    layout.bdf = false;
  } else if (header.startsWith("\xff"
                               "BIOSEMI")) {
    layout.bdf = true;
  } else {
    fail(error, "not an EDF or BDF file");
    return std::nullopt;
  }
  const auto size = headerSize(header);
  const auto declared = integerField(header, 184, 8);
  if (!size || !declared || *declared != *size) {
    fail(error, "the header's size is not that of its signals");
    return std::nullopt;
  }
  if (header.size() < *size) {
    fail(error, "the header is cut short");
    return std::nullopt;
  }
  layout.headerBytes = *size;
  layout.signalCount =
      static_cast<int>((*size - EdfLayout::kFixedHeaderBytes) / EdfLayout::kSignalHeaderBytes);
  const auto records =
      integerField(header, EdfLayout::kRecordCountOffset, EdfLayout::kRecordCountWidth);
  if (!records || *records < -1) {
    fail(error, "the record count is not a number");
    return std::nullopt;
  }
  layout.records = *records;

  const int ns = layout.signalCount;
  const int sampleBytes = layout.bdf ? 3 : 2;
  const int samplesAt = EdfLayout::kFixedHeaderBytes + ns * 216;
  const QByteArray annotationLabel = layout.bdf ? "BDF Annotations " : "EDF Annotations ";
  std::int64_t offset = 0;
  for (int i = 0; i < ns; ++i) {
    const auto samples = integerField(header, samplesAt + 8 * i, 8);
    if (!samples || *samples < 1 || *samples > kMaxRecordBytes) {
      fail(error, "a signal's samples per record is not a number");
      return std::nullopt;
    }
    const std::int64_t bytes = *samples * sampleBytes;
    const QByteArray label = header.mid(EdfLayout::kFixedHeaderBytes + 16 * i, 16);
    if (layout.annotationOffset < 0 && label == annotationLabel) {
      layout.annotationOffset = offset;
      layout.annotationBytes = bytes;
    }
    offset += bytes;
    if (offset > kMaxRecordBytes) {
      fail(error, "a record is larger than a file may have them");
      return std::nullopt;
    }
  }
  layout.recordBytes = offset;
  return layout;
}

QByteArray recordCountField(std::int64_t records) {
  return QByteArray::number(static_cast<qlonglong>(records))
      .leftJustified(EdfLayout::kRecordCountWidth, ' ', true);
}

bool writeTimeKeeping(std::int64_t onset, char* out, std::size_t size) {
  if (onset < 0) return false;
  // Digits from the right, then turned around: no allocation, for it runs as records are written.
  char digits[32];
  std::size_t n = 0;
  std::int64_t fraction = onset % kTimeUnitsPerSecond;
  std::int64_t seconds = onset / kTimeUnitsPerSecond;
  if (fraction != 0) {
    int places = 7;
    while (fraction % 10 == 0) {
      fraction /= 10;
      --places;
    }
    for (int i = 0; i < places; ++i) {
      digits[n++] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    digits[n++] = '.';
  }
  do {
    digits[n++] = static_cast<char>('0' + seconds % 10);
    seconds /= 10;
  } while (seconds > 0);
  if (n + 4 > size) return false;
  std::size_t at = 0;
  out[at++] = '+';
  while (n > 0) out[at++] = digits[--n];
  out[at++] = '\x14';
  out[at++] = '\x14';
  while (at < size) out[at++] = '\0';
  return true;
}

std::optional<QByteArray> retimedAnnotations(const QByteArray& annotations, std::int64_t onset) {
  // The time-keeping list opens the signal: "+<seconds>[.<fraction>]" 20 20 0.
  const int end = annotations.indexOf(QByteArray("\x14\x14\x00", 3));
  if (end <= 0 || (annotations[0] != '+' && annotations[0] != '-') || onset < 0) {
    return std::nullopt;
  }
  // The annotations after it run up to the padding of zeros.
  const int restAt = end + 3;
  int restEnd = annotations.size();
  while (restEnd > restAt && annotations[restEnd - 1] == '\0') --restEnd;
  const QByteArray rest = annotations.mid(restAt, restEnd - restAt);

  QByteArray rewritten(annotations.size(), '\0');
  if (!writeTimeKeeping(onset, rewritten.data(), static_cast<std::size_t>(rewritten.size()))) {
    return std::nullopt;
  }
  const int keeping = rewritten.indexOf(QByteArray("\x14\x14\x00", 3)) + 3;
  if (!rest.isEmpty()) {
    // Each annotation list ends with 20 0: the rest ends with its 20, the zero follows.
    if (keeping + rest.size() + 1 > rewritten.size()) return std::nullopt;
    rewritten.replace(keeping, rest.size(), rest);
  }
  return rewritten;
}

}  // namespace kelvaro::edf
