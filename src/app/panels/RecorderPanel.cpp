#include "app/panels/RecorderPanel.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

#include "app/pages/LiveGraphPage.h"

namespace kelvaro {

RecorderPanel::RecorderPanel(LiveGraphPage& page, Recorder& recorder, ReportError reportError,
                             QObject* parent)
    : QObject(parent), page_(page), recorder_(recorder), reportError_(std::move(reportError)) {
  recorder_.setView(this);
  connect(page.startLogButton, &QPushButton::clicked, this,
          [this] { recorder_.startLogClicked(); });
  connect(page.endLogButton, &QPushButton::clicked, this, [this] { recorder_.endLogClicked(); });
}

RecorderPanel::~RecorderPanel() { recorder_.setView(nullptr); }

QString RecorderPanel::fileNameText() const { return page_.logFileNameEdit->text(); }

void RecorderPanel::setStatus(const QString& text) { page_.logStatusLabel->setText(text); }

void RecorderPanel::setStatusRed(bool red) {
  QPalette palette = page_.logStatusLabel->palette();
  palette.setColor(QPalette::Window,
                   red ? QColor(255, 0, 0) : QApplication::palette().color(QPalette::Button));
  page_.logStatusLabel->setPalette(palette);
}

void RecorderPanel::showFileExists() {
  setStatus(QStringLiteral("Soubor existuje"));
  setStatusRed(true);
}

void RecorderPanel::showRecording() {
  setStatus(QStringLiteral("OK"));
  setStatusRed(false);
  page_.startLogButton->setEnabled(false);
}

void RecorderPanel::showFirstRow() { page_.endLogButton->setEnabled(true); }

void RecorderPanel::showStopped() {
  page_.startLogButton->setEnabled(true);
  page_.endLogButton->setEnabled(false);
  setStatus(QStringLiteral("Stop"));
}

void RecorderPanel::showFailure(const QString& message) {
  page_.startLogButton->setEnabled(true);
  page_.endLogButton->setEnabled(false);
  QTimer::singleShot(0, this, [this, message] {
    if (reportError_) reportError_(message);
  });
}

}  // namespace kelvaro
