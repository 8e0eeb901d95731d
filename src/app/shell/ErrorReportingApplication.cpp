#include "app/shell/ErrorReportingApplication.h"

#include <QMessageBox>
#include <exception>

namespace kelvaro {

ErrorReportingApplication::ErrorReportingApplication(int& argc, char** argv)
    : QApplication(argc, argv), reporter_(showErrorMessage) {}

bool ErrorReportingApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    report(QString::fromUtf8(e.what()));
  } catch (...) {
    report(QStringLiteral("Unexpected error"));
  }
  return false;
}

void ErrorReportingApplication::report(const QString& text) {
  if (reporter_) reporter_(text);
}

void showErrorMessage(const QString& text) {
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("KELVARO monitor"), text);
}

}  // namespace kelvaro
