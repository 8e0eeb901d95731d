#include "app/shell/CommandLine.h"

#include "sim/Scenario.h"

namespace kelvaro {
namespace {

// Options the Qt application itself takes with a value; they pass through untouched.
const QStringList kQtOptionsWithValue = {QStringLiteral("-platform"),
                                         QStringLiteral("-style"),
                                         QStringLiteral("-display"),
                                         QStringLiteral("-geometry"),
                                         QStringLiteral("-qwindowgeometry"),
                                         QStringLiteral("-qwindowtitle"),
                                         QStringLiteral("-platformpluginpath"),
                                         QStringLiteral("-plugin")};

}  // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
  CommandLine result;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments.at(i);
    if (arg == QLatin1String("--simulate")) {
      result.simulate = true;
    } else if (arg.startsWith(QLatin1String("--simulate="))) {
      result.simulate = true;
      result.scenario = arg.mid(int(sizeof("--simulate=")) - 1);
      // Refused here in the simulator's own words: a timeline the simulated dongle cannot play
      // would leave it silent and bring up the dongle-not-found dialog instead.
      if (!result.scenario.isEmpty() && !ScenarioTimeline::parse(result.scenario, &result.error)) {
        return result;
      }
    } else if (arg == QLatin1String("--home")) {
      if (i + 1 >= arguments.size()) {
        result.error = QStringLiteral("--home needs a folder");
        return result;
      }
      result.home = arguments.at(++i);
    } else if (arg.startsWith(QLatin1String("--home="))) {
      result.home = arg.mid(int(sizeof("--home=")) - 1);
    } else if (arg == QLatin1String("--capture")) {
      if (i + 1 >= arguments.size()) {
        result.error = QStringLiteral("--capture needs a file");
        return result;
      }
      result.capture = arguments.at(++i);
    } else if (arg.startsWith(QLatin1String("--capture="))) {
      result.capture = arg.mid(int(sizeof("--capture=")) - 1);
      if (result.capture.isEmpty()) {
        result.error = QStringLiteral("--capture needs a file");
        return result;
      }
    } else if (arg == QLatin1String("--replay")) {
      if (i + 1 >= arguments.size()) {
        result.error = QStringLiteral("--replay needs a capture file");
        return result;
      }
      result.replay = arguments.at(++i);
    } else if (arg.startsWith(QLatin1String("--replay="))) {
      result.replay = arg.mid(int(sizeof("--replay=")) - 1);
      if (result.replay.isEmpty()) {
        result.error = QStringLiteral("--replay needs a capture file");
        return result;
      }
    } else if (arg.startsWith(QLatin1String("--speed="))) {
      QString why;
      if (!parsePlaybackSpeed(arg.mid(int(sizeof("--speed=")) - 1), &result.pace, &why)) {
        result.error = QStringLiteral("--speed: ") + why;
        return result;
      }
    } else if (arg == QLatin1String("--loop")) {
      result.pace.loop = true;
    } else if (arg == QLatin1String("--start-log")) {
      result.startLog = true;
    } else if (arg.startsWith(QLatin1String("--connect="))) {
      result.connect = arg.mid(int(sizeof("--connect=")) - 1);
    } else if (arg == QLatin1String("--connect")) {
      result.connect = QStringLiteral("last");
    } else if (arg.startsWith(QLatin1String("--key-injector="))) {
      result.keyInjector = arg.mid(int(sizeof("--key-injector=")) - 1);
      static const QStringList kInjectors = {QStringLiteral("uinput"), QStringLiteral("xtest"),
                                             QStringLiteral("none")};
      if (!kInjectors.contains(result.keyInjector)) {
        result.error = QStringLiteral("--key-injector takes uinput, xtest or none");
        return result;
      }
    } else if (arg.startsWith(QLatin1String("--record="))) {
      result.record = arg.mid(int(sizeof("--record=")) - 1);
      if (result.record.endsWith(QLatin1String(".edf"), Qt::CaseInsensitive)) {
        result.error = QStringLiteral(
                           "--record=%1: the belt's forces need 24-bit samples, so its EDF+ "
                           "recordings are BDF+ files: name it %2.bdf")
                           .arg(result.record, result.record.chopped(4));
        return result;
      }
      if (!result.record.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) &&
          !result.record.endsWith(QLatin1String(".bdf"), Qt::CaseInsensitive)) {
        result.error = QStringLiteral("--record takes a file named .csv (CSV) or .bdf (EDF+)");
        return result;
      }
    } else if (arg.startsWith(QLatin1String("--repair="))) {
      result.repair = arg.mid(int(sizeof("--repair=")) - 1);
      if (result.repair.isEmpty()) {
        result.error = QStringLiteral("--repair needs a file");
        return result;
      }
    } else if (arg == QLatin1String("--headless")) {
      result.headless = true;
    } else if (arg.startsWith(QLatin1String("--duration="))) {
      const auto ms = parseDuration(arg.mid(int(sizeof("--duration=")) - 1));
      if (!ms) {
        result.error = QStringLiteral("--duration takes a number with s, m or h (100s, 10m, 8h)");
        return result;
      }
      result.durationMs = *ms;
    } else if (arg.startsWith(QLatin1String("--sim-speed="))) {
      bool ok = false;
      result.simSpeed = arg.mid(int(sizeof("--sim-speed=")) - 1).toInt(&ok);
      if (!ok || result.simSpeed < 1 || result.simSpeed > kMaxSimSpeed) {
        result.error =
            QStringLiteral("--sim-speed takes a whole number from 1 to %1").arg(kMaxSimSpeed);
        return result;
      }
    } else if (arg.startsWith(QLatin1String("--sim-belts="))) {
      bool ok = false;
      result.simBelts = arg.mid(int(sizeof("--sim-belts=")) - 1).toInt(&ok);
      if (!ok || result.simBelts < 1 || result.simBelts > SimOptions::kMaxBelts) {
        result.error = QStringLiteral("--sim-belts takes a whole number from 1 to %1")
                           .arg(SimOptions::kMaxBelts);
        return result;
      }
    } else if (arg.startsWith(QLatin1String("--sim-belt-scenario="))) {
      const QString value = arg.mid(int(sizeof("--sim-belt-scenario=")) - 1);
      const int eq = value.indexOf(QLatin1Char('='));
      bool ok = false;
      const int belt = value.left(eq).toInt(&ok);
      QString why;
      const auto timeline =
          eq > 0 && ok ? ScenarioTimeline::parse(value.mid(eq + 1), &why) : std::nullopt;
      if (!timeline) {
        result.error = QStringLiteral("--sim-belt-scenario takes BELT=SCENARIO, BELT from 0%1")
                           .arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why);
        return result;
      }
      result.simBeltTimelines.push_back({belt, *timeline});
    } else if (arg == QLatin1String("--console-to-stderr")) {
      result.consoleToStderr = true;
    } else if (arg == QLatin1String("--version")) {
      result.showVersion = true;
    } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      result.showHelp = true;
    } else if (arg.startsWith(QLatin1String("--"))) {
      result.error = QStringLiteral("unknown option: %1").arg(arg);
      return result;
    } else if (arg.startsWith(QLatin1Char('-')) && i + 1 < arguments.size() &&
               kQtOptionsWithValue.contains(arg)) {
      ++i;  // Qt's own option and its value (-platform offscreen, -style Fusion, ...)
    }
  }
  if (result.simulate && !result.replay.isEmpty()) {
    result.error = QStringLiteral("--simulate and --replay are two different dongles: give one");
  } else if (result.durationMs > 0 && !result.headless) {
    result.error = QStringLiteral("--duration needs --headless");
  } else if (result.simSpeed > 1 && !(result.headless && result.simulate)) {
    result.error = QStringLiteral("--sim-speed needs --headless and --simulate");
  } else if ((result.simBelts > 1 || !result.simBeltTimelines.empty()) && !result.simulate) {
    result.error = QStringLiteral("--sim-belts and --sim-belt-scenario need --simulate");
  }
  for (const SimOptions::BeltTimeline& own : result.simBeltTimelines) {
    if (result.error.isEmpty() && (own.belt < 0 || own.belt >= result.simBelts)) {
      result.error = QStringLiteral("--sim-belt-scenario: belt %1, but there are %2 belts (from 0)")
                         .arg(own.belt)
                         .arg(result.simBelts);
    }
  }
  return result;
}

std::optional<std::uint64_t> CommandLine::parseDuration(const QString& text) {
  if (text.size() < 2 || text.size() > 12) return std::nullopt;
  const QChar unit = text.back();
  std::uint64_t scale = 0;
  if (unit == QLatin1Char('s')) {
    scale = 1000;
  } else if (unit == QLatin1Char('m')) {
    scale = 60 * 1000;
  } else if (unit == QLatin1Char('h')) {
    scale = 60 * 60 * 1000;
  } else {
    return std::nullopt;
  }
  const QString number = text.chopped(1);
  for (const QChar c : number) {
    if (!c.isDigit() || c.unicode() > 0x7F) return std::nullopt;
  }
  bool ok = false;
  const std::uint64_t value = number.toULongLong(&ok);
  // A week at most: what an unattended recording can sensibly be asked for.
  if (!ok || value == 0 || value * scale > 7ull * 24 * 60 * 60 * 1000) return std::nullopt;
  return value * scale;
}

QString CommandLine::helpText() {
  return QStringLiteral(
      "Usage: kelvaro-monitor [options]\n"
      "Desktop monitor for the KELVARO sensor belt.\n"
      "\n"
      "  --simulate[=SCENARIO]  use the built-in simulated dongle and belt instead of a serial "
      "port\n"
      "                         (SCENARIO as for kelvaro-belt-sim, e.g. breathing:60,apnea:20)\n"
      "  --sim-belts=N          with --simulate: N belts around the simulated dongle (1 to 16),\n"
      "                         to connect several at once with \"Add Belt\"\n"
      "  --sim-belt-scenario=B=SCENARIO\n"
      "                         with --simulate: belt B (from 0) plays a scenario of its own,\n"
      "                         e.g. 1=breathing@15 (repeatable)\n"
      "  --replay=FILE          use a recorded belt instead of a serial port: a dongle that\n"
      "                         answers as the simulated one and whose belt (the one the\n"
      "                         capture FILE heard) streams what was captured, with its\n"
      "                         spacing and its lost links; at the end the belt goes out of\n"
      "                         reach. A damaged capture plays up to the damage (FILE:LINE)\n"
      "  --speed=X              play recorded belts X times as fast (0.1 to 100), or as fast\n"
      "                         as the wire carries (flood); also for \"Play capture...\"\n"
      "  --loop                 play recorded belts again from their start instead of ending\n"
      "  --home DIR             keep Darev.ini, ComPort.ini and Data/ in DIR\n"
      "  --capture=FILE         capture every byte read from the dongle's port and every\n"
      "                         command written to it into FILE, a new text file of a line\n"
      "                         per read or write, as the \"Capture\" box does\n"
      "  --connect[=ID]         connect to the belt ID (12 hex digits; default: the last one)\n"
      "                         as soon as the scan hears it, as \"Connect Last\" does\n"
      "  --start-log            press \"Start Log\" at start: the measurement log begins with\n"
      "                         the first plotted sample\n"
      "  --key-injector=NAME    how the key activation sends keys: uinput (a virtual keyboard\n"
      "                         on /dev/uinput, every desktop), xtest (X11) or none; by\n"
      "                         default the first of these that works\n"
      "  --console-to-stderr    copy every line of the diagnostics console to standard error\n"
      "                         as it is written (for logs and scripts)\n"
      "  --record=PATH          record from the first plotted sample on: PATH.csv the CSV of\n"
      "                         \"Start Log\", PATH.bdf an EDF+ (BDF+) recording with events\n"
      "  --repair=FILE          repair a recording a killed run left (every whole data record\n"
      "                         kept) and exit; recordings in the current folder are repaired\n"
      "                         at every start\n"
      "  --headless             no window and no display: connect, record and keep the link,\n"
      "                         the console on standard error, a status line on a terminal;\n"
      "                         SIGTERM or SIGINT closes the recording and ends with 0\n"
      "  --duration=TIME        with --headless: end after TIME (100s, 10m, 8h)\n"
      "  --sim-speed=N          with --headless --simulate: the simulated belt and the\n"
      "                         program's clock run N times as fast (for tests)\n"
      "  --version              print the version and exit\n"
      "  --help                 print this help and exit\n");
}

}  // namespace kelvaro
