#include "app/panels/CapturePanel.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTimer>

#include "base/ConsoleLog.h"
#include "base/WallClock.h"
#include "capture/CaptureWriter.h"

namespace kelvaro {

CaptureSaveDialog::CaptureSaveDialog(QWidget* parent, const QString& folder, const QString& name)
    : QFileDialog(parent, QStringLiteral("Save the capture as")) {
  setObjectName(QStringLiteral("SaveDialogCapture"));
  setOption(QFileDialog::DontUseNativeDialog, true);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setNameFilters({QStringLiteral("Captures (*.capture)"), QStringLiteral("All files (*)")});
  setDefaultSuffix(QStringLiteral("capture"));
  setDirectory(folder);
  selectFile(name);
  setSizeGripEnabled(true);
}

CapturePanel::CapturePanel(QCheckBox& box, CaptureWriter& writer, ConsoleLog& console,
                           const WallClock& clock, QString program, ReportError reportError,
                           QObject* parent)
    : QObject(parent),
      box_(box),
      writer_(writer),
      console_(console),
      clock_(clock),
      program_(std::move(program)),
      reportError_(std::move(reportError)),
      folder_(QDir::currentPath()) {
  connect(&box_, &QCheckBox::toggled, this, &CapturePanel::boxToggled);
  writer_.setFailureReport([this](const QString& message) { failed(message); });
}

CapturePanel::~CapturePanel() { writer_.setFailureReport(nullptr); }

bool CapturePanel::start(const QString& path, QString* reason) {
  CaptureHeader header;
  header.program = program_;
  header.start = clock_.now();
  if (!writer_.start(path, header, reason)) {
    showCapturing(false);
    return false;
  }
  console_.append(QStringLiteral("Capture to %1").arg(QDir::toNativeSeparators(path)));
  showCapturing(true);
  return true;
}

void CapturePanel::finish() { end(); }

QString CapturePanel::end() {
  if (!writer_.active()) return QString();
  QString reason;
  writer_.finish(&reason);
  console_.append(QStringLiteral("Capture ended: %1, %2 lines")
                      .arg(QDir::toNativeSeparators(writer_.path()))
                      .arg(writer_.records()));
  if (!reason.isEmpty()) console_.append(reason);
  showCapturing(false);
  return reason;
}

void CapturePanel::boxToggled(bool on) {
  if (!on) {
    const QString reason = end();
    if (!reason.isEmpty() && reportError_) reportError_(reason);
    return;
  }
  const QString name = QStringLiteral("belt-%1.capture")
                           .arg(clock_.now().toString(QStringLiteral("yyyyMMdd-HHmmss")));
  const std::optional<QString> path = ask_ ? ask_(folder_, name) : askWithDialog(folder_, name);
  if (!path || path->isEmpty()) {
    showCapturing(false);
    return;
  }
  // The dialog has asked before replacing the file; the writer itself never replaces one.
  if (QFileInfo(*path).isFile()) QFile::remove(*path);
  QString reason;
  if (!start(*path, &reason)) {
    if (reportError_) reportError_(reason);
    return;
  }
  folder_ = QFileInfo(*path).absolutePath();
}

std::optional<QString> CapturePanel::askWithDialog(const QString& folder,
                                                   const QString& name) const {
  CaptureSaveDialog dialog(box_.window(), folder, name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}

void CapturePanel::showCapturing(bool on) {
  const QSignalBlocker quiet(box_);
  box_.setChecked(on);
}

void CapturePanel::failed(const QString& message) {
  // Met while a read or a write passes the tap: the box and the console now, the report once
  // that has been handled, so that a message box opened here does not let the next bytes in
  // halfway through it.
  console_.append(message);
  showCapturing(false);
  QTimer::singleShot(0, this, [this, message] {
    if (reportError_) reportError_(message);
  });
}

}  // namespace kelvaro
