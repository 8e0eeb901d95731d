#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>

#include <gtest/gtest.h>

#include "platform/MasterVolume.h"

namespace kelvaro {
namespace {

// A private sound server with one null sink, in its own runtime folder, ended with the test.
class PrivateSoundServer {
 public:
  PrivateSoundServer() {
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    qputenv("PULSE_SERVER", QByteArray("unix:") + socketPath().toLocal8Bit());
    server_.setProgram(QStandardPaths::findExecutable(QStringLiteral("pulseaudio")));
    server_.setArguments({"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit=false",
                          "--use-pid-file=false", "-L", "module-null-sink sink_name=kelvaro_test",
                          "-L", "module-native-protocol-unix socket=" + socketPath()});
    server_.start();
  }
  ~PrivateSoundServer() {
    server_.kill();
    server_.waitForFinished(2000);
  }
  bool waitReady() {
    return server_.waitForStarted(5000) &&
           QTest::qWaitFor([this] { return QFileInfo::exists(socketPath()); }, 5000);
  }
  QString socketPath() const { return runtime_.filePath(QStringLiteral("native")); }

 private:
  QTemporaryDir runtime_;
  QProcess server_;
};

TEST(MasterVolume, NoSoundServerGivesANullVolumeAtOnce) {
  QTemporaryDir empty;
  qputenv("XDG_RUNTIME_DIR", empty.path().toLocal8Bit());
  qputenv("PULSE_SERVER", QByteArray("unix:") + empty.filePath("missing").toLocal8Bit());
  const auto start = std::chrono::steady_clock::now();
  auto volume = openSystemMasterVolume();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(volume->available());
  EXPECT_FALSE(volume->level().has_value());
  EXPECT_FALSE(volume->setLevel(0.5f));
  EXPECT_LT(took, std::chrono::milliseconds(600));
}

TEST(MasterVolume, ReadsLowersAndRestoresTheDefaultSink) {
  ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
      << "pulseaudio is installed by scripts/setup";
  PrivateSoundServer server;
  ASSERT_TRUE(server.waitReady());
  auto volume = openSystemMasterVolume();
  ASSERT_TRUE(volume->available());
  const auto saved = volume->level();
  ASSERT_TRUE(saved.has_value());
  EXPECT_NEAR(*saved, 1.0f, 0.01f);

  ASSERT_TRUE(volume->setLevel(*saved / 3));
  EXPECT_NEAR(*volume->level(), 1.0f / 3, 0.01f);
  ASSERT_TRUE(volume->setLevel(*saved));
  EXPECT_NEAR(*volume->level(), *saved, 0.01f);
}

}  // namespace
}  // namespace kelvaro
