#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "capture/CaptureFormat.h"

namespace kelvaro {

class AppendFile;
class MicrosecondClock;

// Writes a capture as it happens, like the measurement recorder writes its rows: every line is
// handed to the system in one write as soon as it is made, so a process killed afterwards loses
// none of it, and the file is flushed to the disk and closed when the capture ends. An
// input/output error ends the capture (what is written stays), is reported once, and the run goes
// on without it.
class CaptureWriter {
 public:
  using FailureReport = std::function<void(const QString& message)>;

  // Both must outlive the writer.
  CaptureWriter(AppendFile& file, const MicrosecondClock& clock);
  ~CaptureWriter();
  CaptureWriter(const CaptureWriter&) = delete;
  CaptureWriter& operator=(const CaptureWriter&) = delete;

  // Where a failure while writing is reported (the message names the file and the reason).
  void setFailureReport(FailureReport report) { report_ = std::move(report); }

  // Creates `path` (which must not exist yet) and writes the first line; time 0 is now. A
  // running capture is ended first. False, with the reason in `reason`, when the file cannot be
  // created or written.
  bool start(const QString& path, const CaptureHeader& header, QString* reason);
  // One read from the dongle's port or one write to it, timed now. Nothing while not capturing.
  void record(capture::Direction direction, const char* data, std::size_t size);
  // Ends the capture: the file flushed, synced and closed. False with the reason when that fails.
  bool finish(QString* reason = nullptr);

  bool active() const { return active_; }
  // The file of the capture running or last started.
  const QString& path() const { return path_; }
  // Lines written to it after the first one.
  std::uint64_t records() const { return records_; }

 private:
  void fail(const char* what, const QString& reason);

  AppendFile& file_;
  const MicrosecondClock& clock_;
  FailureReport report_;
  bool active_ = false;
  QString path_;
  std::uint64_t startMicros_ = 0;
  std::uint64_t lastMicros_ = 0;
  std::uint64_t records_ = 0;
  std::string line_;
};

}  // namespace kelvaro
