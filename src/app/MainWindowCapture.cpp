// The window's captures of the dongle's port and the recorded belts it plays back.
#include <QCheckBox>

#include "app/AppInfo.h"
#include "app/MainWindow.h"
#include "app/pages/SpecSettingPage.h"
#include "app/panels/CapturePanel.h"

namespace kelvaro {

void MainWindow::buildCapture() {
  capture_ = new CapturePanel(
      *windowPages_.specSetting->captureCheck, *captureWriter_, core_->console(),
      env_.clock ? *env_.clock : systemClock_,
      QStringLiteral("kelvaro-monitor/") + AppInfo::versionNumber(),
      [this](const QString& text) { reportError(text); }, this);
}

void MainWindow::finishFiles() {
  core_->recorder().finish();
  if (capture_) capture_->finish();
}

}  // namespace kelvaro
