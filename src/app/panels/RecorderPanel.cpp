#include "app/panels/RecorderPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

#include "app/pages/LiveGraphPage.h"
#include "monitor/MonitorCore.h"

namespace kelvaro {

RecorderPanel::RecorderPanel(Parts parts, QObject* parent)
    : QObject(parent),
      parts_(std::move(parts)),
      edf_(edfReservation_, parts_.clock, parts_.ticks, EdfRecorder::calibrationsOf(parts_.core),
           parts_.core.console()) {
  parts_.core.recorder().setView(this);
  edf_.setView(this);
  edf_.setIdentity(parts_.identity);
  parts_.core.addConsumer(edf_);
  connect(parts_.page.startLogButton, &QPushButton::clicked, this, [this] { startClicked(); });
  connect(parts_.page.endLogButton, &QPushButton::clicked, this, [this] { endClicked(); });
}

RecorderPanel::~RecorderPanel() {
  finish();
  parts_.core.removeConsumer(edf_);
  edf_.setView(nullptr);
  parts_.core.recorder().setView(nullptr);
}

std::optional<RecorderPanel::Format> RecorderPanel::formatOf(const QString& path) {
  if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) return Format::Csv;
  if (path.endsWith(EdfRecorder::kExtension, Qt::CaseInsensitive)) return Format::Edf;
  return std::nullopt;
}

bool RecorderPanel::recordTo(const QString& path) {
  const auto format = formatOf(path);
  if (!format) return false;
  running_ = *format;
  parts_.page.logFormatCombo->setCurrentIndex(static_cast<int>(*format));
  if (*format == Format::Edf) {
    edf_.startRecording(path);
  } else {
    parts_.core.recorder().startRecording(path);
  }
  return true;
}

void RecorderPanel::finish() {
  parts_.core.recorder().finish();
  edf_.finish();
}

void RecorderPanel::startClicked() {
  running_ = static_cast<Format>(parts_.page.logFormatCombo->currentIndex());
  if (running_ == Format::Edf) {
    edf_.startLogClicked();
  } else {
    parts_.core.recorder().startLogClicked();
  }
}

void RecorderPanel::endClicked() {
  if (running_ == Format::Edf) {
    edf_.endLogClicked();
  } else {
    parts_.core.recorder().endLogClicked();
  }
}

QString RecorderPanel::fileNameText() const { return parts_.page.logFileNameEdit->text(); }

void RecorderPanel::setStatus(const QString& text) { parts_.page.logStatusLabel->setText(text); }

void RecorderPanel::setStatusRed(bool red) {
  QPalette palette = parts_.page.logStatusLabel->palette();
  palette.setColor(QPalette::Window,
                   red ? QColor(255, 0, 0) : QApplication::palette().color(QPalette::Button));
  parts_.page.logStatusLabel->setPalette(palette);
}

void RecorderPanel::setFormatChoosable(bool choosable) {
  parts_.page.logFormatCombo->setEnabled(choosable);
}

void RecorderPanel::showFileExists() {
  setStatus(QStringLiteral("Soubor existuje"));
  setStatusRed(true);
}

void RecorderPanel::showRecording() {
  setStatus(QStringLiteral("OK"));
  setStatusRed(false);
  parts_.page.startLogButton->setEnabled(false);
  setFormatChoosable(false);
}

void RecorderPanel::showFirstRow() { parts_.page.endLogButton->setEnabled(true); }

void RecorderPanel::showStopped() {
  parts_.page.startLogButton->setEnabled(true);
  parts_.page.endLogButton->setEnabled(false);
  setFormatChoosable(true);
  setStatus(QStringLiteral("Stop"));
}

void RecorderPanel::showFailure(const QString& message) {
  parts_.page.startLogButton->setEnabled(true);
  parts_.page.endLogButton->setEnabled(false);
  setFormatChoosable(true);
  QTimer::singleShot(0, this, [this, message] {
    if (parts_.reportError) parts_.reportError(message);
  });
}

}  // namespace kelvaro
