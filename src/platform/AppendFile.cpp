#include "platform/AppendFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace kelvaro {

namespace {

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

PosixAppendFile::~PosixAppendFile() {
  if (fd_ >= 0) ::close(fd_);
}

AppendFile::Created PosixAppendFile::create(const QString& path, QString* reason) {
  if (fd_ >= 0) close(nullptr);
  const QByteArray name = QFile::encodeName(path);
  int fd;
  do {
    fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == EEXIST) return Created::kExists;
    if (reason) *reason = systemReason(errno);
    return Created::kFailed;
  }
  fd_ = fd;
  return Created::kYes;
}

bool PosixAppendFile::append(const char* data, std::size_t size, QString* reason) {
  if (fd_ < 0) {
    if (reason) *reason = systemReason(EBADF);
    return false;
  }
  // A regular file takes a small piece whole; a short write happens only at the edge of a full
  // disk, and the rest then tells why.
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (reason) *reason = systemReason(errno);
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool PosixAppendFile::close(QString* reason) {
  if (fd_ < 0) return true;
  int error = 0;
  if (::fsync(fd_) != 0 && errno != EINVAL) error = errno;
  if (::close(fd_) != 0 && error == 0 && errno != EINTR) error = errno;
  fd_ = -1;
  if (error != 0 && reason) *reason = systemReason(error);
  return error == 0;
}

}  // namespace kelvaro
