#pragma once

#include <QApplication>
#include <functional>

namespace kelvaro {

// The application's general error report: an error raised by a platform call (a serial write,
// a file write) ends the action that raised it, is shown in a message box, and the program goes
// on. Every handler the event loop calls passes through notify().
class ErrorReportingApplication : public QApplication {
  Q_OBJECT

 public:
  ErrorReportingApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Where reports go; by default a message box over the active window.
  void setReporter(std::function<void(const QString&)> reporter) {
    reporter_ = std::move(reporter);
  }
  void report(const QString& text);

 private:
  std::function<void(const QString&)> reporter_;
};

// Shows an error the way the general error report does.
void showErrorMessage(const QString& text);

}  // namespace kelvaro
