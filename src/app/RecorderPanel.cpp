#include "app/RecorderPanel.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

#include "app/LiveGraphPage.h"

namespace kelvaro {

RecorderPanel::RecorderPanel(ui::LiveGraphPage& page, Recorder& recorder, ReportError reportError,
                             QObject* parent)
    : QObject(parent), page_(page), recorder_(recorder), reportError_(std::move(reportError)) {
  recorder_.setView(this);
  connect(page.ButtonStartLog, &QPushButton::clicked, this,
          [this] { recorder_.ButtonStartLogClick(); });
  connect(page.ButtonEndLog, &QPushButton::clicked, this,
          [this] { recorder_.ButtonEndLogClick(); });
}

RecorderPanel::~RecorderPanel() { recorder_.setView(nullptr); }

QString RecorderPanel::fileNameText() const { return page_.EditSoub->text(); }

void RecorderPanel::setStatus(const QString& text) { page_.LabelErr->setText(text); }

void RecorderPanel::setStatusRed(bool red) {
  QPalette palette = page_.LabelErr->palette();
  palette.setColor(QPalette::Window,
                   red ? QColor(255, 0, 0) : QApplication::palette().color(QPalette::Button));
  page_.LabelErr->setPalette(palette);
}

void RecorderPanel::showFileExists() {
  setStatus(QStringLiteral("Soubor existuje"));
  setStatusRed(true);
}

void RecorderPanel::showRecording() {
  setStatus(QStringLiteral("OK"));
  setStatusRed(false);
  page_.ButtonStartLog->setEnabled(false);
}

void RecorderPanel::showFirstRow() { page_.ButtonEndLog->setEnabled(true); }

void RecorderPanel::showStopped() {
  page_.ButtonStartLog->setEnabled(true);
  page_.ButtonEndLog->setEnabled(false);
  setStatus(QStringLiteral("Stop"));
}

void RecorderPanel::showFailure(const QString& message) {
  page_.ButtonStartLog->setEnabled(true);
  page_.ButtonEndLog->setEnabled(false);
  QTimer::singleShot(0, this, [this, message] {
    if (reportError_) reportError_(message);
  });
}

}  // namespace kelvaro
