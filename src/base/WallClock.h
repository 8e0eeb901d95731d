#pragma once

#include <QDateTime>

namespace kelvaro {

// The local date and time that sessions and activity points are stamped with. Logic asks this
// interface, so that tests can say what time it is.
class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual QDateTime now() const = 0;
};

// The system's local time.
class SystemWallClock final : public WallClock {
 public:
  QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that moves only when told to.
class ManualWallClock final : public WallClock {
 public:
  explicit ManualWallClock(QDateTime start) : now_(std::move(start)) {}
  QDateTime now() const override { return now_; }
  void set(const QDateTime& now) { now_ = now; }
  void advanceSecs(qint64 seconds) { now_ = now_.addSecs(seconds); }

 private:
  QDateTime now_;
};

}  // namespace kelvaro
