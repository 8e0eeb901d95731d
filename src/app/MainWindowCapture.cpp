// The window's files of a run: the captures of the dongle's port and the recorded belts it plays
// back, the identity an EDF+ recording carries, and the ending of them all.
#include <QCheckBox>
#include <QPushButton>
#include <QStatusBar>

#include "app/AppInfo.h"
#include "app/MainWindow.h"
#include "app/pages/ConnectionPage.h"
#include "app/pages/SpecSettingPage.h"
#include "app/panels/CapturePanel.h"
#include "app/panels/LastBelt.h"
#include "app/panels/PlaybackPanel.h"
#include "app/panels/RecorderPanel.h"
#include "app/panels/UsersPanel.h"
#include "link/PortSelection.h"

namespace kelvaro {

void MainWindow::buildCapture() {
  capture_ = new CapturePanel(
      *windowPages_.specSetting->captureCheck, *captureWriter_, core_->console(),
      env_.clock ? *env_.clock : systemClock_,
      QStringLiteral("kelvaro-monitor/") + AppInfo::versionNumber(),
      [this](const QString& text) { reportError(text); }, this);
}

void MainWindow::buildPlayback() {
  playback_ = new PlaybackPanel(
      {*core_, *connection_, *env_.port, *windowPages_.connection->playCaptureButton, *statusBar(),
       env_.setPlayback, env_.playbackProgress, env_.playbackPace, env_.replayFile,
       [this] {
         if (!portSelection_) return false;
         const auto& config = portSelection_->config();
         return env_.port->open(config.port, config.settings);
       },
       [this](const QString& text) { reportError(text); },
       [this](const std::function<void()>& action) { guarded(action); }},
      this);
}

void MainWindow::finishFiles() {
  // The recorder panel ends the CSV and the EDF+ recording; without it (as the window goes) the
  // core's recorder is ended directly.
  if (recorderPanel_) {
    recorderPanel_->finish();
  } else {
    core_->recorder().finish();
  }
  // Each further belt's CSV file, and the keys they may hold.
  for (int belt = 1; belt < MonitorCore::kMaxBelts; ++belt) {
    if (!core_->hasBelt(belt)) continue;
    core_->belt(belt).recorder.finish();
    core_->belt(belt).keys.releaseAll();
  }
  if (capture_) capture_->finish();
}

edf::RecordingIdentity MainWindow::recordingIdentity() const {
  const QString belt = core_->linkGuard().deviceId();
  return edf::RecordingIdentity{
      users_->users().selectedName(), belt.isEmpty() ? lastBelt_->id() : belt,
      AppInfo::productName() + QLatin1Char(' ') + AppInfo::versionNumber()};
}

}  // namespace kelvaro
