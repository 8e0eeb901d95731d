#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>

#include "base/TickSource.h"
#include "sim/SimDongle.h"
#include "sim/SimOptions.h"

class QTimer;

namespace kelvaro {

// The simulated dongle on a pseudo-terminal, so that a program reaches it through its real
// serial-port code. The slave side (/dev/pts/N) is the dongle's device; an optional symbolic link
// gives it a stable name. When the dongle re-enumerates after a reset, or is unplugged by the
// fault, the pseudo-terminal is closed (the program's port sees the device vanish) and a new one
// is opened when it comes back, with the link moved to it.
//
// What the dongle sends while no program has the device open is lost, as with a USB serial
// device; before the device has been opened for the first time it is kept for the first reader.
class SimPtyPort : public QObject {
  Q_OBJECT

 public:
  SimPtyPort(const TickSource& clock, const SimOptions& options, const QString& linkPath = {},
             QObject* parent = nullptr);
  ~SimPtyPort() override;

  // Opens the first pseudo-terminal and the link; false with a reason when that fails.
  bool start(QString* error);
  QString devicePath() const { return devicePath_; }
  QString linkPath() const { return linkPath_; }
  SimDongle& dongle() { return dongle_; }

  // One step: take what the program wrote, move the dongle to the clock's time, hand over what
  // it sent, and follow its presence on the bus. Runs on its own from a timer and the device's
  // read notifier.
  void pump();

 signals:
  void deviceAppeared(const QString& path);
  void deviceGone();
  void failed(const QString& reason);

 private:
  bool openDevice(QString* error);
  void closeDevice();
  bool placeLink(QString* error);
  void removeLink();
  void readHost();
  void writeHost();
  void schedule();

  const TickSource& clock_;
  SimDongle dongle_;
  QString linkPath_;
  QString devicePath_;
  int master_ = -1;
  bool hostGone_ = false;  // the program had the device open and closed it
  bool started_ = false;
  std::unique_ptr<QSocketNotifier> notifier_;  // while a device is open
  QTimer* timer_;                              // child of this object
};

}  // namespace kelvaro
