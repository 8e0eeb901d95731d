#pragma once

#include <QFileDialog>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "monitor/MeasurementConsumer.h"
#include "sim/BeltPlayback.h"
#include "sim/SimOptions.h"

class QLabel;
class QPushButton;
class QStatusBar;

namespace kelvaro {

class ConnectionProcedure;
class MonitorCore;
class SerialTransport;

// OpenDialogCapture: the capture to play. Qt's own dialog, as the save dialogs are.
class CaptureOpenDialog final : public QFileDialog {
  Q_OBJECT

 public:
  CaptureOpenDialog(QWidget* parent, const QString& folder);
};

// "Play capture…" on "Connection": asks for a capture file and switches the program from the
// dongle's port to that recorded belt (the port "REPLAY"), connects to it as "Connect Last" would
// and so runs the whole road on it, until "Disconnect" or the end of the recording; then the
// dongle's own port is opened again and scanned. Meanwhile the status bar says
// "Playing <file> ×<speed>  <elapsed> / <total>" (LabelPlayback), as it does for the whole run
// when the program was started on a recorded belt (--replay). A capture that cannot be played is
// reported; a damaged one plays what came before the damage, which the console names.
class PlaybackPanel final : public QObject, public MeasurementConsumer {
  Q_OBJECT

 public:
  // Asks for the capture to play, starting in `folder`; nothing on cancel.
  using AskOpenPath = std::function<std::optional<QString>(const QString& folder)>;

  // The few things the panel uses; all must outlive it.
  struct Parts {
    MonitorCore& core;
    ConnectionProcedure& connection;
    SerialTransport& port;  // the dongle's port
    QPushButton& button;    // "Play capture…"
    QStatusBar& statusBar;  // where LabelPlayback goes
    // What "REPLAY" plays from its next open on, and how far the one open has got. Without them
    // the button is disabled.
    std::function<void(const SimPlayback&)> setPlayback;
    std::function<std::optional<PlaybackProgress>()> progress;
    PlaybackPace pace;
    QString replayFile;  // the capture the run was started on (--replay), if any
    // Opens the dongle's own port again (false: it did not open; the port says why).
    std::function<bool()> reopenDongle;
    std::function<void(const QString&)> reportError;
    // Runs an action with the window's error report around it.
    std::function<void(const std::function<void()>& action)> guarded;
  };

  // The status is looked at this often while a recorded belt plays.
  static constexpr int kStatusMs = 250;

  // Registers with the core, which must outlive it.
  explicit PlaybackPanel(Parts parts, QObject* parent = nullptr);
  ~PlaybackPanel() override;

  // What asks for the file instead of OpenDialogCapture (empty: back to it).
  void setAskOpenPath(AskOpenPath ask) { ask_ = std::move(ask); }

  void playClicked();
  // A capture chosen with the button is playing.
  bool playing() const { return playing_; }

  // "Playing belt.capture ×10  0:12 / 1:30".
  static QString statusText(const QString& file, const PlaybackPace& pace,
                            const PlaybackProgress& progress);

  void linkChanged(const LinkChange& change) override;

 private:
  std::optional<QString> askWithDialog(const QString& folder) const;
  void showStatus();
  void backToTheDongle();

  Parts parts_;
  AskOpenPath ask_;
  QLabel* label_ = nullptr;  // child of the status bar
  QTimer statusTimer_;
  QString folder_;  // where the last capture came from; the dialog starts there
  QString file_;    // the capture playing
  bool playing_ = false;
  bool linkMade_ = false;   // the connect to the recorded belt succeeded
  bool switching_ = false;  // the way back to the dongle is under way
};

}  // namespace kelvaro
