#include "capture/CaptureWriter.h"

#include <algorithm>

#include "base/MicrosecondClock.h"
#include "platform/AppendFile.h"

namespace kelvaro {

CaptureWriter::CaptureWriter(AppendFile& file, const MicrosecondClock& clock)
    : file_(file), clock_(clock) {
  // A read of the largest chunk the port gives at once fits without growing the line.
  line_.reserve(4096);
}

CaptureWriter::~CaptureWriter() { finish(); }

bool CaptureWriter::start(const QString& path, const CaptureHeader& header, QString* reason) {
  if (active_) finish();
  path_ = path;
  records_ = 0;
  QString why;
  switch (file_.create(path, &why)) {
    case AppendFile::Created::kExists:
      if (reason) *reason = QStringLiteral("\"%1\" exists already").arg(path);
      return false;
    case AppendFile::Created::kFailed:
      if (reason) *reason = QStringLiteral("Cannot create file \"%1\". %2").arg(path, why);
      return false;
    case AppendFile::Created::kYes:
      break;
  }
  const QByteArray first = captureHeaderLine(header);
  if (!file_.append(first.constData(), std::size_t(first.size()), &why)) {
    file_.close(nullptr);
    if (reason) *reason = QStringLiteral("Cannot write to file \"%1\". %2").arg(path, why);
    return false;
  }
  startMicros_ = clock_.microseconds();
  lastMicros_ = 0;
  active_ = true;
  return true;
}

void CaptureWriter::record(capture::Direction direction, const char* data, std::size_t size) {
  if (!active_ || size == 0) return;
  // The lines' times never go backwards, whatever the clock does.
  const std::uint64_t now = clock_.microseconds();
  lastMicros_ = std::max(lastMicros_, now > startMicros_ ? now - startMicros_ : 0);
  line_.clear();
  appendCaptureRecord(line_, lastMicros_, direction, data, size);
  QString why;
  if (!file_.append(line_.data(), line_.size(), &why)) {
    fail("Cannot write to file", why);
    return;
  }
  ++records_;
}

bool CaptureWriter::finish(QString* reason) {
  if (!active_) return true;
  active_ = false;
  QString why;
  if (!file_.close(&why)) {
    if (reason) *reason = QStringLiteral("Cannot close file \"%1\". %2").arg(path_, why);
    return false;
  }
  return true;
}

void CaptureWriter::fail(const char* what, const QString& reason) {
  active_ = false;
  file_.close(nullptr);
  if (report_) {
    report_(
        QStringLiteral("Capture stopped: %1 \"%2\". %3").arg(QLatin1String(what), path_, reason));
  }
}

}  // namespace kelvaro
