#include "app/panels/PlaybackPanel.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include "link/CommandSender.h"
#include "link/ConnectionProcedure.h"
#include "link/DeviceAddress.h"
#include "monitor/MonitorCore.h"
#include "platform/SerialTransport.h"
#include "sim/RecordedBelt.h"
#include "sim/SimSerialTransport.h"

namespace kelvaro {
namespace {

// "0:05", "12:34", "1:02:03".
QString clockText(std::uint64_t us) {
  const std::uint64_t seconds = us / 1000000;
  const auto part = [](std::uint64_t n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
  };
  if (seconds < 3600) return QStringLiteral("%1:%2").arg(seconds / 60).arg(part(seconds % 60));
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600)
      .arg(part(seconds / 60 % 60))
      .arg(part(seconds % 60));
}

}  // namespace

CaptureOpenDialog::CaptureOpenDialog(QWidget* parent, const QString& folder)
    : QFileDialog(parent, QStringLiteral("Play capture")) {
  setObjectName(QStringLiteral("OpenDialogCapture"));
  setOption(QFileDialog::DontUseNativeDialog, true);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFile);
  setNameFilters({QStringLiteral("Captures (*.capture)"), QStringLiteral("All files (*)")});
  setDirectory(folder);
  setSizeGripEnabled(true);
}

PlaybackPanel::PlaybackPanel(Parts parts, QObject* parent)
    : QObject(parent), parts_(std::move(parts)), folder_(QDir::currentPath()) {
  label_ = new QLabel(&parts_.statusBar);
  label_->setObjectName(QStringLiteral("LabelPlayback"));
  parts_.statusBar.addPermanentWidget(label_);
  label_->hide();
  parts_.button.setEnabled(parts_.setPlayback && parts_.progress);
  connect(&parts_.button, &QPushButton::clicked, this,
          [this] { parts_.guarded([this] { playClicked(); }); });
  statusTimer_.setInterval(kStatusMs);
  connect(&statusTimer_, &QTimer::timeout, this, &PlaybackPanel::showStatus);
  if (!parts_.replayFile.isEmpty() && parts_.progress) statusTimer_.start();
  parts_.core.addConsumer(*this);
}

PlaybackPanel::~PlaybackPanel() { parts_.core.removeConsumer(*this); }

QString PlaybackPanel::statusText(const QString& file, const PlaybackPace& pace,
                                  const PlaybackProgress& progress) {
  return QStringLiteral("Playing %1 %2  %3 / %4")
      .arg(QFileInfo(file).fileName(), playbackSpeedText(pace), clockText(progress.positionUs),
           clockText(progress.durationUs));
}

void PlaybackPanel::playClicked() {
  if (!parts_.setPlayback || !parts_.progress || playing_ || parts_.connection.busy()) return;
  const std::optional<QString> path = ask_ ? ask_(folder_) : askWithDialog(folder_);
  if (!path || path->isEmpty()) return;
  folder_ = QFileInfo(*path).absolutePath();
  const RecordedBeltFile recording = loadRecordedBelt(*path);
  if (!recording.belt) {
    parts_.reportError(recording.error);
    return;
  }
  ConsoleLog& console = parts_.core.console();
  if (!recording.damage.isEmpty()) console.append(recording.damage);
  const QString belt = DeviceId(recording.belt->address());
  console.append(QStringLiteral("Play capture %1: belt %2, %3 notifications, %4")
                     .arg(QDir::toNativeSeparators(*path), belt)
                     .arg(recording.belt->notifications())
                     .arg(clockText(recording.belt->durationUs())));

  // The dongle stops scanning before its port closes; a dongle already gone is no obstacle.
  if (parts_.port.isOpen()) {
    try {
      parts_.core.commands().sendEndProcedure();
    } catch (const std::exception&) {
    }
  }
  parts_.port.close();
  parts_.setPlayback({recording.belt, parts_.pace});
  if (!parts_.port.open(SimSerialTransport::kReplayPort, SerialSettings())) {
    const QString why = parts_.port.errorString();
    backToTheDongle();
    parts_.reportError(why);
    return;
  }
  file_ = *path;
  playing_ = true;
  linkMade_ = false;
  parts_.button.setEnabled(false);
  statusTimer_.start();
  showStatus();
  parts_.connection.connectToClicked(belt);
  // A connect that failed has been warned about; the dongle's port comes back.
  if (playing_ && !linkMade_ && !switching_) backToTheDongle();
}

std::optional<QString> PlaybackPanel::askWithDialog(const QString& folder) const {
  CaptureOpenDialog dialog(parts_.button.window(), folder);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

void PlaybackPanel::showStatus() {
  const QString file = playing_ ? file_ : parts_.replayFile;
  const std::optional<PlaybackProgress> progress =
      parts_.progress ? parts_.progress() : std::nullopt;
  if (file.isEmpty() || !progress) {
    label_->hide();
    return;
  }
  label_->setText(statusText(file, parts_.pace, *progress));
  label_->show();
  // The end of a capture chosen with the button ends its connection: the belt has gone out of
  // reach for good, and the dongle's port comes back.
  if (playing_ && progress->finished && !switching_) {
    parts_.guarded([this] { parts_.connection.disconnectClicked(); });
  }
}

void PlaybackPanel::linkChanged(const LinkChange& change) {
  // The first belt's only.
  if (change.belt > 0) return;
  if (change.event == LinkEvent::Connected) linkMade_ = true;
  if (change.event != LinkEvent::Disconnected || !playing_ || switching_) return;
  if (parts_.connection.abandoned()) return;  // the window is closing
  // After the Disconnect's own commands, which still go to the recorded belt.
  switching_ = true;
  QTimer::singleShot(0, this, [this] { backToTheDongle(); });
}

void PlaybackPanel::backToTheDongle() {
  const QString played = file_;
  playing_ = false;
  file_.clear();
  statusTimer_.stop();
  if (!parts_.replayFile.isEmpty()) statusTimer_.start();
  label_->hide();
  parts_.port.close();
  ConsoleLog& console = parts_.core.console();
  if (!played.isEmpty()) {
    console.append(QStringLiteral("Play capture ended: %1").arg(QDir::toNativeSeparators(played)));
  }
  parts_.guarded([this, &console] {
    if (!parts_.reopenDongle || !parts_.reopenDongle()) {
      console.append(QStringLiteral("The dongle's port did not open again: %1")
                         .arg(parts_.port.errorString()));
      return;
    }
    parts_.core.commands().sendDiscover();
  });
  switching_ = false;
  parts_.button.setEnabled(true);
}

}  // namespace kelvaro
