#include "platform/LockedFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvaro {

namespace {

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

LockedFile::~LockedFile() { close(); }

bool LockedFile::open(const QString& path, QString* reason, bool* busy) {
  close();
  if (busy) *busy = false;
  const QByteArray name = QFile::encodeName(path);
  int fd;
  do {
    fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (reason) *reason = systemReason(errno);
    return false;
  }
  // Only a regular file is someone's recording; a device (the null file of a benchmark) is
  // shared by everyone and never locked.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
    fd_ = fd;
    return true;
  }
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const int error = errno;
    ::close(fd);
    if (busy) *busy = error == EWOULDBLOCK;
    if (reason) *reason = error == EWOULDBLOCK ? QStringLiteral("in use") : systemReason(error);
    return false;
  }
  fd_ = fd;
  return true;
}

void LockedFile::close() {
  if (fd_ < 0) return;
  // Closing the last descriptor gives up the lock.
  ::close(fd_);
  fd_ = -1;
}

std::int64_t LockedFile::size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

QByteArray LockedFile::readAt(std::int64_t offset, std::int64_t size) const {
  if (fd_ < 0 || offset < 0 || size <= 0) return {};
  QByteArray bytes(static_cast<qsizetype>(size), '\0');
  std::int64_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd_, bytes.data() + got, static_cast<std::size_t>(size - got),
                              static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += n;
  }
  bytes.truncate(static_cast<qsizetype>(got));
  return bytes;
}

bool LockedFile::writeAt(std::int64_t offset, const QByteArray& bytes, QString* reason) {
  std::int64_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::pwrite(fd_, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done),
                 static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (reason) *reason = systemReason(errno);
      return false;
    }
    done += n;
  }
  return true;
}

bool LockedFile::truncate(std::int64_t size, QString* reason) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (reason) *reason = systemReason(errno);
    return false;
  }
  return true;
}

bool LockedFile::sync(QString* reason) {
  if (fd_ < 0) return true;
  // A device (the null file of a benchmark) has nothing to sync.
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    if (reason) *reason = systemReason(errno);
    return false;
  }
  return true;
}

}  // namespace kelvaro
