#include "sim/SimPtyPort.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kelvaro {

namespace {

constexpr std::uint32_t kMaxSleepMs = 50;
constexpr std::uint32_t kRetryWriteMs = 5;

QString systemError(const char* what) {
  return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                      QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

SimPtyPort::SimPtyPort(const TickSource& clock, const SimOptions& options, const QString& linkPath,
                       QObject* parent)
    : QObject(parent),
      clock_(clock),
      dongle_(options),
      linkPath_(linkPath),
      timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &SimPtyPort::pump);
}

SimPtyPort::~SimPtyPort() {
  notifier_.reset();
  closeDevice();
  removeLink();
}

bool SimPtyPort::start(QString* error) {
  if (started_) return true;
  dongle_.advanceTo(clock_.tick());
  if (!openDevice(error)) return false;
  if (!placeLink(error)) {
    closeDevice();
    return false;
  }
  started_ = true;
  emit deviceAppeared(devicePath_);
  schedule();
  return true;
}

bool SimPtyPort::openDevice(QString* error) {
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    if (error) *error = systemError("posix_openpt");
    return false;
  }
  std::array<char, 128> name{};
  // Raw from the start: with the default line discipline the pseudo-terminal would echo the
  // dongle's own bytes back to it before the program has set the port up.
  termios tio{};
  if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name.data(), name.size()) != 0 ||
      ::tcgetattr(fd, &tio) != 0) {
    if (error) *error = systemError("pseudo-terminal");
    ::close(fd);
    return false;
  }
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B115200);
  ::cfsetospeed(&tio, B115200);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    if (error) *error = systemError("tcsetattr");
    ::close(fd);
    return false;
  }
  master_ = fd;
  hostGone_ = false;
  devicePath_ = QString::fromLocal8Bit(name.data());
  notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &SimPtyPort::pump);
  return true;
}

void SimPtyPort::closeDevice() {
  // The notifier must stop before its descriptor closes; it may be the one that called us, so
  // it is deleted from the event loop.
  if (notifier_) {
    notifier_->setEnabled(false);
    notifier_.release()->deleteLater();
  }
  if (master_ >= 0) ::close(master_);
  master_ = -1;
  devicePath_.clear();
}

bool SimPtyPort::placeLink(QString* error) {
  if (linkPath_.isEmpty()) return true;
  const QFileInfo existing(linkPath_);
  if ((existing.exists() || existing.isSymLink()) && !existing.isSymLink()) {
    if (error)
      *error =
          QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(linkPath_);
    return false;
  }
  // A new link beside the old one, renamed over it: a reader never finds the name missing.
  const QByteArray target = devicePath_.toLocal8Bit();
  const QByteArray link = linkPath_.toLocal8Bit();
  const QByteArray temporary = link + ".new";
  ::unlink(temporary.constData());
  if (::symlink(target.constData(), temporary.constData()) != 0 ||
      ::rename(temporary.constData(), link.constData()) != 0) {
    if (error) *error = systemError(link.constData());
    ::unlink(temporary.constData());
    return false;
  }
  return true;
}

void SimPtyPort::removeLink() {
  if (linkPath_.isEmpty()) return;
  if (QFileInfo(linkPath_).isSymLink()) ::unlink(linkPath_.toLocal8Bit().constData());
}

void SimPtyPort::readHost() {
  std::array<char, 4096> buffer;
  for (;;) {
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n > 0) {
      hostGone_ = false;
      dongle_.receive(buffer.data(), std::size_t(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EIO) {
      // Nobody has the device open any more; the notifier would fire without end.
      if (!hostGone_) dongle_.discardOutput();
      hostGone_ = true;
    } else if (n < 0 && errno == EAGAIN) {
      hostGone_ = false;
    }
    break;
  }
  if (notifier_) notifier_->setEnabled(!hostGone_);
}

void SimPtyPort::writeHost() {
  if (master_ < 0) return;
  if (hostGone_) {
    dongle_.discardOutput();
    return;
  }
  while (dongle_.outputSize() > 0) {
    const ssize_t n = ::write(master_, dongle_.outputData(), std::size_t(dongle_.outputSize()));
    if (n > 0) {
      dongle_.consumeOutput(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // the device's buffer is full: the rest waits in the dongle
  }
}

void SimPtyPort::pump() {
  if (!started_) return;
  dongle_.advanceTo(clock_.tick());
  if (master_ >= 0) {
    readHost();
    writeHost();
  }
  if (master_ >= 0 && !dongle_.present()) {
    closeDevice();
    removeLink();
    emit deviceGone();
  } else if (master_ < 0 && dongle_.present()) {
    QString error;
    if (!openDevice(&error) || !placeLink(&error)) {
      emit failed(error);
    } else {
      emit deviceAppeared(devicePath_);
      writeHost();
    }
  } else if (master_ < 0) {
    dongle_.discardOutput();
  }
  schedule();
}

void SimPtyPort::schedule() {
  std::uint32_t wait = dongle_.msUntilNextActivity();
  if (master_ >= 0 && !hostGone_ && dongle_.outputSize() > 0) wait = std::min(wait, kRetryWriteMs);
  timer_->start(static_cast<int>(std::clamp<std::uint32_t>(wait, 1, kMaxSleepMs)));
}

}  // namespace kelvaro
