#include <sys/signalfd.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <cstdio>

#include "base/TickSource.h"
#include "sim/SimOptions.h"
#include "sim/SimPtyPort.h"

using kelvaro::SimCommandLine;
using kelvaro::SimPtyPort;

namespace {

void say(const QString& line) {
  QTextStream out(stdout);
  out << line << '\n';
  out.flush();
}

void complain(const QString& line) {
  QTextStream err(stderr);
  err << "kelvaro-belt-sim: " << line << '\n';
  err.flush();
}

}  // namespace

int main(int argc, char** argv) {
  // Interrupt and terminate arrive as readable data, so the link is removed on the way out.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);

  QCoreApplication app(argc, argv);
  const SimCommandLine command = SimCommandLine::parse(QCoreApplication::arguments());
  if (command.showHelp) {
    QTextStream(stdout) << SimCommandLine::helpText();
    return 0;
  }
  if (!command.error.isEmpty()) {
    complain(command.error + QStringLiteral(" (see --help)"));
    return 2;
  }

  const int signalFd = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
  QSocketNotifier stopNotifier(signalFd, QSocketNotifier::Read);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, [signalFd] {
    signalfd_siginfo info;
    while (read(signalFd, &info, sizeof info) > 0) {
    }
    QCoreApplication::quit();
  });

  const kelvaro::SteadyTickSource clock;
  SimPtyPort port(clock, command.options, command.linkPath);
  QObject::connect(&port, &SimPtyPort::deviceAppeared, [&port](const QString& path) {
    say(QStringLiteral("device %1").arg(path));
    if (!port.linkPath().isEmpty()) say(QStringLiteral("link %1 -> %2").arg(port.linkPath(), path));
  });
  QObject::connect(&port, &SimPtyPort::deviceGone, [] { say(QStringLiteral("gone")); });
  QObject::connect(&port, &SimPtyPort::failed, [](const QString& reason) {
    complain(reason);
    QCoreApplication::exit(1);
  });
  if (command.verbose) {
    port.dongle().setTrace([&port](const QString& line) {
      QTextStream err(stderr);
      err << QString::number(double(port.dongle().elapsedMs()) / 1000.0, 'f', 3) << " " << line
          << '\n';
    });
  }

  QString error;
  if (!port.start(&error)) {
    complain(error);
    return 1;
  }
  for (int i = 0; i < int(port.dongle().belts().size()); ++i) {
    say(QStringLiteral("belt %1").arg(port.dongle().beltDeviceId(i)));
  }
  const int result = app.exec();
  close(signalFd);
  return result;
}
