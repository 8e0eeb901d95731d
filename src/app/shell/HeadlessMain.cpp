#include "app/shell/HeadlessMain.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <cstdio>
#include <memory>

#include <unistd.h>

#include "app/AppInfo.h"
#include "app/shell/AppHome.h"
#include "app/shell/CommandLine.h"
#include "app/shell/PortRouter.h"
#include "app/shell/ProcessExit.h"
#include "app/shell/QuitSignals.h"
#include "base/EventPump.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "headless/HeadlessRun.h"
#include "platform/PortCatalog.h"
#include "sim/RecordedBelt.h"
#include "sim/SimSerialTransport.h"

namespace kelvaro {

int runHeadless(const CommandLine& options, int argc, char** argv) {
  // An unattended recording never goes over a file; better said now than after the connection.
  if (!options.record.isEmpty() && QFileInfo::exists(options.record)) {
    std::fprintf(stderr, "kelvaro-monitor: %s exists: a recording is never written over a file\n",
                 options.record.toLocal8Bit().constData());
    return CommandLine::kUsageExitCode;
  }
  // A capture with nothing to play is refused before the run; a damaged one plays what came before
  // the damage.
  RecordedBeltFile recording;
  if (!options.replay.isEmpty()) {
    recording = loadRecordedBelt(options.replay);
    if (!recording.belt) {
      std::fprintf(stderr, "kelvaro-monitor: --replay: %s\n", qPrintable(recording.error));
      return CommandLine::kUsageExitCode;
    }
    if (!recording.damage.isEmpty()) {
      std::fprintf(stderr, "kelvaro-monitor: %s\n", qPrintable(recording.damage));
    }
  }
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("kelvaro-monitor"));
  QCoreApplication::setApplicationVersion(AppInfo::versionNumber());
  // Numbers in files and messages always use "." whatever the user's locale.
  QLocale::setDefault(QLocale::c());

  // The simulated belt may be played faster than life; everything then runs on its clock.
  std::unique_ptr<TickSource> ticks;
  if (options.simSpeed > 1) {
    ticks = std::make_unique<FastTickSource>(options.simSpeed);
  } else {
    ticks = std::make_unique<SteadyTickSource>();
  }
  QtEventPump pump;
  PortRouter port(*ticks);
  QtPortCatalog catalog;
  SystemWallClock wall;
  HeadlessOutput output(stderr, ::isatty(STDERR_FILENO) == 1);

  HeadlessEnvironment environment;
  environment.ticks = ticks.get();
  environment.pump = &pump;
  environment.port = &port;
  environment.catalog = &catalog;
  environment.clock = &wall;
  environment.output = &output;
  environment.endProcess = [&output](int code) {
    output.finish();
    endProcessNow(code);
  };
  HeadlessOptions settings;
  settings.homeDir = AppHome::resolve(options.home, QCoreApplication::applicationDirPath());
  if (options.simulate) {
    settings.forcedPort = options.scenario.isEmpty() ? QStringLiteral("SIM")
                                                     : QStringLiteral("SIM:") + options.scenario;
  }
  if (recording.belt) {
    port.setPlayback({recording.belt, options.pace});
    settings.forcedPort = SimSerialTransport::kReplayPort;
  }
  settings.connect = options.connect;
  settings.record = options.record;
  settings.durationMs = options.durationMs;
  settings.program = AppInfo::productName() + QLatin1Char(' ') + AppInfo::versionNumber();

  HeadlessRun run(environment, settings);
  QuitSignals quit;
  QObject::connect(&quit, &QuitSignals::quitRequested, &run, [&run] { run.stop(); });
  QObject::connect(&run, &HeadlessRun::finished, &app,
                   [](int code) { QCoreApplication::exit(code); });
  if (!run.start()) return 0;
  return QCoreApplication::exec();
}

}  // namespace kelvaro
