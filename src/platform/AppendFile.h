#pragma once

#include <QString>
#include <cstddef>

namespace kelvaro {

// A file written from start to end, one piece at a time, where every piece is the system's as
// soon as append() returns: a process killed afterwards loses none of it. Only a new file is
// created; an existing one is never truncated or appended to.
class AppendFile {
 public:
  enum class Created { kYes, kExists, kFailed };

  virtual ~AppendFile() = default;
  // Creates path (which must not exist) for writing. On kFailed, reason says why.
  virtual Created create(const QString& path, QString* reason) = 0;
  // Hands all bytes to the system at once. False with the reason on an input/output error.
  virtual bool append(const char* data, std::size_t size, QString* reason) = 0;
  // Flushes to the disk and closes; the file is closed afterwards even when this fails.
  virtual bool close(QString* reason) = 0;
  virtual bool isOpen() const = 0;
};

// The real file: open(2) with O_CREAT | O_EXCL, write(2) per piece, fsync(2) and close(2).
class PosixAppendFile final : public AppendFile {
 public:
  PosixAppendFile() = default;
  PosixAppendFile(const PosixAppendFile&) = delete;
  PosixAppendFile& operator=(const PosixAppendFile&) = delete;
  // Closes what is still open, without a report.
  ~PosixAppendFile() override;

  Created create(const QString& path, QString* reason) override;
  bool append(const char* data, std::size_t size, QString* reason) override;
  bool close(QString* reason) override;
  bool isOpen() const override { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Takes everything and keeps nothing: for benchmarks.
class NullAppendFile final : public AppendFile {
 public:
  Created create(const QString&, QString*) override {
    open_ = true;
    return Created::kYes;
  }
  bool append(const char*, std::size_t size, QString*) override {
    bytes_ += size;
    return true;
  }
  bool close(QString*) override {
    open_ = false;
    return true;
  }
  bool isOpen() const override { return open_; }
  std::size_t bytes() const { return bytes_; }

 private:
  bool open_ = false;
  std::size_t bytes_ = 0;
};

}  // namespace kelvaro
