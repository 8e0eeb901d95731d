#pragma once

#include <QObject>
#include <array>

class QSocketNotifier;
class QWidget;

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

// What a quit request does: the open modal dialogs are rejected first (each one's own event loop
// would hold the close back until somebody answered it), then the window closes if it is showing.
// A window not shown yet is still starting up; its dialogs end the run themselves.
void closeForQuit(QWidget& window);

}  // namespace kelvaro
