#include <sys/signalfd.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "base/TickSource.h"
#include "sim/RecordedBelt.h"
#include "sim/SimOptions.h"
#include "sim/SimPtyPort.h"
#include "sim/SimStats.h"

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

const char* const kStatsHelp =
    "\n"
    "Load tests:\n"
    "  --stats               print once a second \"stats t=S notifications=N wire=B dropped=B\n"
    "                        lost=B txlost=P waiting=B breaths=N rate=R\": bytes sent on the\n"
    "                        wire, dropped by the fault, lost because the program's side was\n"
    "                        full, packets lost in the dongle, bytes the pseudo-terminal has not\n"
    "                        taken yet; then the truth of the streaming belt: the wearer's\n"
    "                        breaths so far (each counted where it peaks) and its breaths a\n"
    "                        minute of the belt's sample clock, the median of the last five\n"
    "                        breath-to-breath intervals (\"none\" before the third breath and\n"
    "                        after breathing stopped). While more than one belt is connected,\n"
    "                        each stats line is followed by a line for each connection:\n"
    "                        \"connection H belt DEVICEID samples=N breaths=N rate=R\", the\n"
    "                        samples its belt has sent and that belt's truth as above\n";

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
  // --stats belongs to this command alone; the rest is the simulator's own command line.
  QStringList arguments = QCoreApplication::arguments();
  const bool stats = arguments.removeAll(QStringLiteral("--stats")) > 0;
  SimCommandLine command = SimCommandLine::parse(arguments);
  if (command.showHelp) {
    QTextStream(stdout) << SimCommandLine::helpText() << kStatsHelp;
    return 0;
  }
  if (!command.error.isEmpty()) {
    complain(command.error + QStringLiteral(" (see --help)"));
    return 2;
  }
  if (!command.replayPath.isEmpty()) {
    const kelvaro::RecordedBeltFile recording = kelvaro::loadRecordedBelt(command.replayPath);
    if (!recording.belt) {
      complain(recording.error);
      return 1;
    }
    // A damaged capture plays what came before the damage.
    if (!recording.damage.isEmpty()) complain(recording.damage);
    command.options.playback.belt = recording.belt;
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
  QTimer replayTimer;
  if (const auto& recording = command.options.playback.belt) {
    say(QStringLiteral("replay %1 %2 notifications %3 s")
            .arg(command.replayPath)
            .arg(recording->notifications())
            .arg(double(recording->durationUs()) / 1e6, 0, 'f', 3));
    QObject::connect(&replayTimer, &QTimer::timeout, [&port, &replayTimer] {
      if (port.dongle().playbackProgress()->finished) {
        say(QStringLiteral("replay over"));
        replayTimer.stop();
      }
    });
    replayTimer.start(100);
  }
  QTimer statsTimer;
  if (stats) {
    QObject::connect(&statsTimer, &QTimer::timeout, [&port] {
      say(kelvaro::simStatsLine(port.dongle()));
      for (const QString& line : kelvaro::simConnectionStatsLines(port.dongle())) {
        say(line);
      }
    });
    statsTimer.start(1000);
  }
  const int result = app.exec();
  close(signalFd);
  return result;
}
