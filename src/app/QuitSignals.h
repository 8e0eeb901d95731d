#pragma once

#include <QObject>
#include <array>

class QSocketNotifier;

namespace kelvaro {

// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread, so that a terminated program
// closes its window in order (settings written) instead of dying mid-write.
class QuitSignals : public QObject {
  Q_OBJECT

 public:
  explicit QuitSignals(QObject* parent = nullptr);
  ~QuitSignals() override;

 signals:
  void quitRequested(int signalNumber);

 private:
  std::array<int, 2> pipe_{-1, -1};
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kelvaro
