#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <vector>

// A PulseAudio server of the test's own, for the tests of the real volume path.
namespace kelvaro::testing {

// Sets an environment variable for the life of the object and then puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qputenv(name, value);
  }
  ~ScopedEnv() {
    if (had_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

// A sound server of our own with one null sink named "test", reachable only through its socket in
// a temporary runtime folder; this process and every pactl it starts talk to it alone.
class PrivateSoundServer {
 public:
  PrivateSoundServer()
      : runtime_("XDG_RUNTIME_DIR", runtimeDir_.path().toLocal8Bit()),
        pulseRuntime_("PULSE_RUNTIME_PATH", runtimeDir_.filePath("pulse").toLocal8Bit()),
        pulseState_("PULSE_STATE_PATH", runtimeDir_.filePath("state").toLocal8Bit()),
        server_("PULSE_SERVER", "unix:" + socketPath().toLocal8Bit()) {
    process_.setProgram(QStandardPaths::findExecutable(QStringLiteral("pulseaudio")));
    process_.setArguments({"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false",
                           "--load=module-null-sink sink_name=test",
                           "--load=module-native-protocol-unix socket=" + socketPath()});
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start();
  }
  ~PrivateSoundServer() {
    process_.kill();
    process_.waitForFinished(2000);
  }
  PrivateSoundServer(const PrivateSoundServer&) = delete;
  PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

  bool waitReady() {
    return process_.waitForStarted(5000) &&
           QTest::qWaitFor([this] { return QFileInfo::exists(socketPath()); }, 5000);
  }
  // What the server said; it warns about running as root and without D-Bus, so it is shown only
  // when it did not come up.
  QString output() { return QString::fromLocal8Bit(process_.readAll()); }

 private:
  QString socketPath() const { return runtimeDir_.filePath(QStringLiteral("native")); }

  QTemporaryDir runtimeDir_;
  ScopedEnv runtime_;
  ScopedEnv pulseRuntime_;
  ScopedEnv pulseState_;
  ScopedEnv server_;
  QProcess process_;
};

inline std::optional<QString> pactl(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral("pactl"), arguments);
  if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    return std::nullopt;
  }
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The channel volumes of the test sink in percent, as pactl reports them.
inline std::vector<int> sinkPercents() {
  const QString out = pactl({"get-sink-volume", "test"}).value_or(QString());
  std::vector<int> percents;
  static const QRegularExpression kChannel(QStringLiteral("\\d+\\s*/\\s*(\\d+)%"));
  for (auto it = kChannel.globalMatch(out.section('\n', 0, 0)); it.hasNext();) {
    percents.push_back(it.next().captured(1).toInt());
  }
  return percents;
}

inline bool setSinkPercents(const QStringList& percents) {
  return pactl(QStringList{"set-sink-volume", "test"} + percents).has_value();
}

// Whether this machine can run the server (the binary comes with scripts/setup).
inline bool soundServerAvailable() {
  return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty();
}

}  // namespace kelvaro::testing
