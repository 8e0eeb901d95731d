#include "sim/SimOptions.h"

#include <algorithm>
#include <cmath>

namespace kelvaro {

namespace {

std::optional<std::uint64_t> parseNumber(const QString& text, std::uint64_t max) {
  bool ok = false;
  const qulonglong value = text.trimmed().toULongLong(&ok, 0);
  if (!ok || value > max) return std::nullopt;
  return value;
}

// Seconds with an optional fraction, as milliseconds above zero.
std::optional<std::uint32_t> parseSeconds(const QString& text) {
  bool ok = false;
  const double seconds = text.trimmed().toDouble(&ok);
  if (!ok || !(seconds > 0.0) || seconds > 7.0 * 24 * 3600) return std::nullopt;
  const auto ms = static_cast<std::uint32_t>(std::lround(seconds * 1000.0));
  return ms == 0 ? 1 : ms;
}

}  // namespace

std::uint32_t SimFaults::linkLossAfterMsOn(int handle) const {
  std::uint32_t ms = handle == 0 ? linkLossAfterMs : 0;
  for (const LinkLossOn& loss : linkLossOn) {
    if (loss.handle == handle) ms = loss.afterMs;
  }
  return ms;
}

bool parseSimRate(const QString& text, SimOptions* options, QString* error) {
  if (text.trimmed().compare(QLatin1String("flood"), Qt::CaseInsensitive) == 0) {
    options->flood = true;
    return true;
  }
  bool ok = false;
  const double hz = text.trimmed().toDouble(&ok);
  if (!ok || !(hz > 0.0) || hz > SimOptions::kMaxRateHz) {
    if (error) {
      *error = QStringLiteral(
                   "bad rate \"%1\": a number of notifications a second above 0 and "
                   "up to %2, or flood")
                   .arg(text)
                   .arg(SimOptions::kMaxRateHz);
    }
    return false;
  }
  options->flood = false;
  options->rateHz = hz;
  return true;
}

bool parsePlaybackSpeed(const QString& text, PlaybackPace* pace, QString* error) {
  if (text.trimmed().compare(QLatin1String("flood"), Qt::CaseInsensitive) == 0) {
    pace->flood = true;
    return true;
  }
  bool ok = false;
  const double speed = text.trimmed().toDouble(&ok);
  if (!ok || !(speed >= PlaybackPace::kMinSpeed) || speed > PlaybackPace::kMaxSpeed) {
    if (error) {
      *error = QStringLiteral("bad speed \"%1\": %2 to %3 times the captured pace, or flood")
                   .arg(text)
                   .arg(PlaybackPace::kMinSpeed)
                   .arg(PlaybackPace::kMaxSpeed);
    }
    return false;
  }
  pace->flood = false;
  pace->speed = speed;
  return true;
}

std::optional<SimCommandKey> parseSimCommandKey(const QString& text) {
  const QStringList parts = text.trimmed().split(QLatin1Char('/'));
  if (parts.size() != 2) return std::nullopt;
  const auto classId = parseNumber(parts.at(0), 255);
  const auto commandId = parseNumber(parts.at(1), 255);
  if (!classId || !commandId) return std::nullopt;
  return SimCommandKey{static_cast<std::uint8_t>(*classId), static_cast<std::uint8_t>(*commandId)};
}

SimCommandLine SimCommandLine::parse(const QStringList& arguments) {
  SimCommandLine result;
  SimOptions& o = result.options;
  bool replugWithoutUnplug = false;
  bool paceWithoutReplay = false;
  int highestLossHandle = 0;
  for (int i = 1; i < arguments.size(); ++i) {
    QString name = arguments.at(i);
    QString value;
    bool hasValue = false;
    const int eq = name.indexOf(QLatin1Char('='));
    if (name.startsWith(QLatin1String("--")) && eq > 0) {
      value = name.mid(eq + 1);
      name = name.left(eq);
      hasValue = true;
    }
    const auto fail = [&result](const QString& why) {
      result.error = why;
      return result;
    };
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
      result.showHelp = true;
      continue;
    }
    if (name == QLatin1String("--verbose") || name == QLatin1String("-v")) {
      result.verbose = true;
      continue;
    }
    if (name == QLatin1String("--loop")) {
      o.playback.pace.loop = true;
      paceWithoutReplay = true;
      continue;
    }
    static const QStringList withValue{QStringLiteral("--scenario"),
                                       QStringLiteral("--rate"),
                                       QStringLiteral("--belts"),
                                       QStringLiteral("--others"),
                                       QStringLiteral("--seed"),
                                       QStringLiteral("--link"),
                                       QStringLiteral("--drop-every"),
                                       QStringLiteral("--garble-every"),
                                       QStringLiteral("--no-answer"),
                                       QStringLiteral("--delay"),
                                       QStringLiteral("--link-loss"),
                                       QStringLiteral("--unplug"),
                                       QStringLiteral("--replug"),
                                       QStringLiteral("--late-status"),
                                       QStringLiteral("--replay"),
                                       QStringLiteral("--speed"),
                                       QStringLiteral("--max-connections"),
                                       QStringLiteral("--belt-scenario")};
    if (!withValue.contains(name)) return fail(QStringLiteral("unknown option: %1").arg(name));
    if (!hasValue) {
      if (i + 1 >= arguments.size()) return fail(QStringLiteral("%1 needs a value").arg(name));
      value = arguments.at(++i);
    }
    const auto bad = [&](const QString& what) {
      return fail(QStringLiteral("%1: bad value \"%2\" (%3)").arg(name, value, what));
    };

    if (name == QLatin1String("--scenario")) {
      QString why;
      const auto timeline = ScenarioTimeline::parse(value, &why);
      if (!timeline) return fail(QStringLiteral("--scenario: %1").arg(why));
      o.timeline = *timeline;
    } else if (name == QLatin1String("--belt-scenario")) {
      const int eq = value.indexOf(QLatin1Char('='));
      const auto belt = parseNumber(value.left(eq), SimOptions::kMaxBelts - 1);
      if (eq <= 0 || !belt) return bad(QStringLiteral("BELT=TIMELINE, BELT from 0"));
      QString why;
      const auto timeline = ScenarioTimeline::parse(value.mid(eq + 1), &why);
      if (!timeline) return fail(QStringLiteral("--belt-scenario: %1").arg(why));
      o.beltTimelines.push_back({static_cast<int>(*belt), *timeline});
    } else if (name == QLatin1String("--max-connections")) {
      const auto n = parseNumber(value, SimOptions::kMaxConnections);
      if (!n || *n == 0) return bad(QStringLiteral("1 to %1").arg(SimOptions::kMaxConnections));
      o.maxConnections = static_cast<int>(*n);
    } else if (name == QLatin1String("--rate")) {
      QString why;
      if (!parseSimRate(value, &o, &why)) return fail(QStringLiteral("--rate: %1").arg(why));
    } else if (name == QLatin1String("--belts")) {
      const auto n = parseNumber(value, SimOptions::kMaxBelts);
      if (!n) return bad(QStringLiteral("0 to %1").arg(SimOptions::kMaxBelts));
      o.belts = static_cast<int>(*n);
    } else if (name == QLatin1String("--others")) {
      const auto n = parseNumber(value, SimOptions::kMaxOthers);
      if (!n) return bad(QStringLiteral("0 to %1").arg(SimOptions::kMaxOthers));
      o.otherAdvertisers = static_cast<int>(*n);
    } else if (name == QLatin1String("--seed")) {
      const auto n = parseNumber(value, UINT64_MAX);
      if (!n) return bad(QStringLiteral("a whole number"));
      o.seed = *n;
    } else if (name == QLatin1String("--replay")) {
      if (value.isEmpty()) return bad(QStringLiteral("a capture file"));
      result.replayPath = value;
    } else if (name == QLatin1String("--speed")) {
      QString why;
      if (!parsePlaybackSpeed(value, &o.playback.pace, &why)) {
        return fail(QStringLiteral("--speed: %1").arg(why));
      }
      paceWithoutReplay = true;
    } else if (name == QLatin1String("--link")) {
      if (value.isEmpty()) return bad(QStringLiteral("a file path"));
      result.linkPath = value;
    } else if (name == QLatin1String("--drop-every") || name == QLatin1String("--garble-every")) {
      const auto n = parseNumber(value, UINT32_MAX);
      if (!n || *n < 2) return bad(QStringLiteral("a whole number of bytes, 2 or more"));
      (name == QLatin1String("--drop-every") ? o.faults.dropEvery : o.faults.garbleEvery) =
          static_cast<std::uint32_t>(*n);
    } else if (name == QLatin1String("--no-answer")) {
      for (const QString& part : value.split(QLatin1Char(','))) {
        const auto key = parseSimCommandKey(part);
        if (!key) return bad(QStringLiteral("CLASS/ID, for example 6/3"));
        o.faults.noAnswer.push_back(*key);
      }
    } else if (name == QLatin1String("--delay")) {
      const int colon = value.indexOf(QLatin1Char(':'));
      QString ms = value;
      if (colon >= 0) {
        const auto key = parseSimCommandKey(value.left(colon));
        if (!key) return bad(QStringLiteral("MS or CLASS/ID:MS"));
        o.faults.delayOnly = *key;
        ms = value.mid(colon + 1);
      }
      const auto n = parseNumber(ms, 600000);
      if (!n || *n == 0) return bad(QStringLiteral("MS or CLASS/ID:MS, 1 to 600000 ms"));
      o.faults.delayMs = static_cast<std::uint32_t>(*n);
    } else if (name == QLatin1String("--late-status")) {
      const auto n = parseNumber(value, 600000);
      if (!n || *n == 0) return bad(QStringLiteral("1 to 600000 ms"));
      o.faults.lateStatusMs = static_cast<std::uint32_t>(*n);
    } else if (name == QLatin1String("--link-loss")) {
      for (const QString& part : value.split(QLatin1Char(','))) {
        const int at = part.indexOf(QLatin1Char('@'));
        const auto ms = parseSeconds(at < 0 ? part : part.left(at));
        const auto handle = at < 0 ? std::optional<std::uint64_t>(0)
                                   : parseNumber(part.mid(at + 1), SimOptions::kMaxConnections - 1);
        if (!ms || !handle) {
          return bad(QStringLiteral("SECONDS or SECONDS@HANDLE, seconds above 0, handle 0 to %1")
                         .arg(SimOptions::kMaxConnections - 1));
        }
        if (*handle == 0) {
          o.faults.linkLossAfterMs = *ms;
        } else {
          o.faults.linkLossOn.push_back({static_cast<int>(*handle), *ms});
        }
        highestLossHandle = std::max(highestLossHandle, static_cast<int>(*handle));
      }
    } else {
      const auto ms = parseSeconds(value);
      if (!ms) return bad(QStringLiteral("seconds above 0"));
      if (name == QLatin1String("--unplug")) {
        o.faults.unplugAfterMs = *ms;
      } else {
        o.faults.replugAfterMs = *ms;
        replugWithoutUnplug = true;
      }
    }
  }
  if (replugWithoutUnplug && o.faults.unplugAfterMs == 0) {
    result.error = QStringLiteral("--replug needs --unplug");
  } else if (paceWithoutReplay && result.replayPath.isEmpty()) {
    result.error = QStringLiteral("--speed and --loop need --replay");
  } else if (highestLossHandle >= o.maxConnections) {
    result.error = QStringLiteral("--link-loss: handle %1, but the dongle holds %2 connections")
                       .arg(highestLossHandle)
                       .arg(o.maxConnections);
  }
  for (const SimOptions::BeltTimeline& own : o.beltTimelines) {
    if (result.error.isEmpty() && own.belt >= o.belts) {
      result.error = QStringLiteral("--belt-scenario: belt %1, but there are %2 belts (from 0)")
                         .arg(own.belt)
                         .arg(o.belts);
    }
  }
  return result;
}

QString SimCommandLine::helpText() {
  return QStringLiteral(
      "Usage: kelvaro-belt-sim [options]\n"
      "A simulated BLED112-class Bluetooth dongle with KELVARO belts, served on a "
      "pseudo-terminal.\n"
      "Point the monitor at the printed device (or at --link) as its serial port.\n"
      "\n"
      "World:\n"
      "  --scenario TIMELINE   what the wearer does, name:seconds steps separated by commas; the\n"
      "                        timeline repeats, a bare name lasts for ever. Names: breathing,\n"
      "                        shallow, apnea (breathing stops after breathing out), hold (the\n"
      "                        breath is held after breathing in), moving, off. Default:\n"
      "                        breathing:60,shallow:30,apnea:20,moving:30\n"
      "                        breathing@R is breathing kept to R breaths a minute (2 to 40),\n"
      "                        e.g. breathing@6:120\n"
      "  --rate HZ|flood       notifications a second once a belt streams: above 0 up to 460,\n"
      "                        or flood (as many as 115200 baud carries, about 460). The signals\n"
      "                        follow the belt's 20 Hz sample clock, so other rates play the\n"
      "                        scenario slower or faster. Default 20\n"
      "  --belt-scenario B=TIMELINE\n"
      "                        belt B (0 for the first \"belt\" line) plays TIMELINE instead of\n"
      "                        --scenario's; may be given for several belts\n"
      "  --belts N             belts in range, 0 to 16; addresses 00:07:80:xx:xx:xx. Each belt\n"
      "                        has signals of its own (its wearer breathes at a pace of its\n"
      "                        own). Default 1\n"
      "  --max-connections N   connections the dongle holds at once, 1 to 8 (what\n"
      "                        system_get_connections answers); connection handles are 0 to\n"
      "                        N-1, the lowest free one for each new connection, and a connect\n"
      "                        beyond N is refused with 0x0209 (connection limit exceeded).\n"
      "                        Default 3\n"
      "  --others N            other advertisers heard while scanning, 0 to 16. Default 3\n"
      "  --seed N              the same seed gives the same addresses and signals. Default 1\n"
      "  --link PATH           keep a symbolic link PATH to the device; it is recreated when the\n"
      "                        dongle re-enumerates after a reset and removed at exit\n"
      "\n"
      "Faults:\n"
      "  --drop-every N        lose one byte of every N sent to the program\n"
      "  --garble-every N      corrupt one byte of every N sent to the program\n"
      "  --no-answer C/I[,..]  commands of class C, id I are lost: no answer, no effect\n"
      "                        (for example 6/3 for connect direct, 6/2 for discover)\n"
      "  --delay MS            handle every command MS milliseconds late\n"
      "  --delay C/I:MS        handle only that command late\n"
      "  --late-status MS      the connection to a belt is made (connection-status event) MS\n"
      "                        milliseconds after connect direct instead of about 200\n"
      "  --link-loss SECONDS[@HANDLE][,..]\n"
      "                        the link on connection HANDLE (default 0, the first belt's)\n"
      "                        drops SECONDS after each time it is made (disconnected event,\n"
      "                        reason 0x0208 supervision timeout); a list for several handles\n"
      "  --unplug SECONDS      the dongle is pulled out SECONDS after start: the device goes\n"
      "  --replug SECONDS      ... and is plugged in again SECONDS after that (a new device)\n"
      "\n"
      "Playback of a capture (kelvaro-monitor --capture=FILE):\n"
      "  --replay FILE         the belt is the one the capture FILE heard (its address) and\n"
      "                        streams what was captured, with the captured spacing; its lost\n"
      "                        links are played where they happened; at the end the belt goes\n"
      "                        out of reach. The dongle answers commands as always. A damaged\n"
      "                        capture is played up to the damage, which is named (FILE:LINE)\n"
      "  --speed X|flood       play X times as fast (0.1 to 100), or as fast as the wire\n"
      "                        carries. Default 1\n"
      "  --loop                play the capture again from its start instead of ending\n"
      "\n"
      "Other:\n"
      "  -v, --verbose         print every command received and what the dongle did\n"
      "  -h, --help            print this help and exit\n"
      "\n"
      "Standard output: \"device PATH\" whenever the dongle (re)appears, \"gone\" when it\n"
      "disappears, and one \"belt DEVICEID\" line per belt at start; with --replay \"replay FILE\n"
      "N notifications S s\" at start and \"replay over\" when the capture has been played.\n");
}

}  // namespace kelvaro
