#include <QLocale>
#include <QPushButton>
#include <cstdio>

#include "app/AppInfo.h"
#include "app/MainWindow.h"
#include "app/pages/LiveGraphPage.h"
#include "app/panels/CapturePanel.h"
#include "app/panels/QtSoundPlayer.h"
#include "app/shell/AppHome.h"
#include "app/shell/CommandLine.h"
#include "app/shell/ErrorReportingApplication.h"
#include "app/shell/HeadlessMain.h"
#include "app/shell/PortRouter.h"
#include "app/shell/ProcessExit.h"
#include "app/shell/QuitSignals.h"
#include "base/EventPump.h"
#include "base/TickSource.h"
#include "edf/EdfRepair.h"
#include "platform/KeyInjector.h"
#include "platform/MasterVolume.h"
#include "platform/PortCatalog.h"
#include "sim/RecordedBelt.h"
#include "sim/SimSerialTransport.h"

int main(int argc, char** argv) {
  // --help and --version answer without a display, so they come before the application object.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const auto options = kelvaro::CommandLine::parse(arguments);
  if (!options.error.isEmpty()) {
    std::fprintf(stderr, "kelvaro-monitor: %s\n%s", qPrintable(options.error),
                 qPrintable(kelvaro::CommandLine::helpText()));
    return kelvaro::CommandLine::kUsageExitCode;
  }
  if (options.showHelp) {
    std::printf("%s", qPrintable(kelvaro::CommandLine::helpText()));
    return 0;
  }
  if (options.showVersion) {
    std::printf("%s %s\n", qPrintable(kelvaro::AppInfo::productName()),
                qPrintable(kelvaro::AppInfo::versionNumber()));
    return 0;
  }
  if (!options.repair.isEmpty()) {
    const auto outcome = kelvaro::edf::repairRecording(options.repair);
    std::printf("%s\n", outcome.message.toLocal8Bit().constData());
    using Result = kelvaro::edf::RepairOutcome::Result;
    return outcome.result == Result::kRepaired || outcome.result == Result::kNotNeeded ? 0 : 1;
  }

  if (options.headless) return kelvaro::runHeadless(options, argc, argv);

  // A capture with nothing to play is refused before any window, as a mistyped scenario is.
  kelvaro::RecordedBeltFile recording;
  if (!options.replay.isEmpty()) {
    recording = kelvaro::loadRecordedBelt(options.replay);
    if (!recording.belt) {
      std::fprintf(stderr, "kelvaro-monitor: --replay: %s\n", qPrintable(recording.error));
      return kelvaro::CommandLine::kUsageExitCode;
    }
    // A damaged capture plays what came before the damage.
    if (!recording.damage.isEmpty()) {
      std::fprintf(stderr, "kelvaro-monitor: %s\n", qPrintable(recording.damage));
    }
  }

  kelvaro::ErrorReportingApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kelvaro-monitor"));
  QApplication::setApplicationDisplayName(kelvaro::AppInfo::productName());
  QApplication::setApplicationVersion(kelvaro::AppInfo::versionNumber());

  // Numbers in files, labels and messages always use "." whatever the user's locale.
  QLocale::setDefault(QLocale::c());

  kelvaro::SteadyTickSource ticks;
  kelvaro::QtEventPump pump;
  kelvaro::PortRouter port(ticks);
  kelvaro::QtPortCatalog catalog;
  const auto volume = kelvaro::openSystemMasterVolume();
  kelvaro::QtSoundPlayer sound;
  QString keyInjectorLine;
  const auto keys = kelvaro::openKeyInjector(options.keyInjector, &keyInjectorLine);

  kelvaro::MonitorEnvironment environment;
  environment.ticks = &ticks;
  environment.pump = &pump;
  environment.port = &port;
  environment.catalog = &catalog;
  environment.volume = volume.get();
  environment.sound = &sound;
  environment.keys = keys.get();
  environment.keyInjectorLine = keyInjectorLine;
  environment.homeDir =
      kelvaro::AppHome::resolve(options.home, QCoreApplication::applicationDirPath());
  if (options.simulate) {
    kelvaro::SimOptions simulated;
    simulated.belts = options.simBelts;
    simulated.beltTimelines = options.simBeltTimelines;
    port.setSimOptions(simulated);
    environment.forcedPort = options.scenario.isEmpty() ? QStringLiteral("SIM")
                                                        : QStringLiteral("SIM:") + options.scenario;
  }
  if (recording.belt) {
    port.setPlayback({recording.belt, options.pace});
    environment.forcedPort = kelvaro::SimSerialTransport::kReplayPort;
    environment.replayFile = options.replay;
  }
  environment.setPlayback = [&port](const kelvaro::SimPlayback& p) { port.setPlayback(p); };
  environment.playbackProgress = [&port] { return port.playbackProgress(); };
  environment.playbackPace = options.pace;
  environment.endProcess = [](int code) { kelvaro::endProcessNow(code); };

  kelvaro::MainWindow form(environment);
  if (options.consoleToStderr) {
    QObject::connect(&form.core().console(), &kelvaro::ConsoleLog::lineAppended,
                     [](const QString& line) {
                       std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
                       std::fflush(stderr);
                     });
  }
  if (!options.capture.isEmpty()) {
    QString reason;
    if (!form.capture().start(options.capture, &reason)) {
      std::fprintf(stderr, "kelvaro-monitor: --capture: %s\n", qPrintable(reason));
      return kelvaro::CommandLine::kUsageExitCode;
    }
  }
  kelvaro::QuitSignals quit;
  QObject::connect(&quit, &kelvaro::QuitSignals::quitRequested, &form,
                   [&form] { kelvaro::closeForQuit(form); });

  if (!recording.damage.isEmpty()) form.core().console().append(recording.damage);
  try {
    if (form.startUp()) {
      if (options.startLog) form.pages().liveGraph->startLogButton->click();
      if (!options.record.isEmpty()) form.recordAtFirstSample(options.record);
      if (!options.connect.isEmpty()) form.connectWhenHeard(options.connect);
    }
  } catch (const std::exception& e) {
    // The rest of the start-up is skipped; the watchdog ends the run if the dongle stays silent.
    app.report(QString::fromUtf8(e.what()));
  }
  form.show();
  return QApplication::exec();
}
