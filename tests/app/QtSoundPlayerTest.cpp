#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <chrono>

#include <gtest/gtest.h>

#include "app/panels/QtSoundPlayer.h"

namespace kelvaro {
namespace {

// A short 8 kHz mono 16-bit PCM WAV file: a 44-byte header and a tenth of a second of a tone.
QByteArray tinyWave() {
  constexpr int kSamples = 800;
  QByteArray data;
  for (int i = 0; i < kSamples; ++i) {
    char sample[2];
    qToLittleEndian<qint16>(static_cast<qint16>((i % 40 - 20) * 500), sample);
    data.append(sample, 2);
  }
  QByteArray wave;
  const auto u32 = [&wave](quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    wave.append(b, 4);
  };
  const auto u16 = [&wave](quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    wave.append(b, 2);
  };
  wave.append("RIFF");
  u32(36 + data.size());
  wave.append("WAVEfmt ");
  u32(16);
  u16(1);  // PCM
  u16(1);  // channels
  u32(8000);
  u32(8000 * 2);  // bytes per second
  u16(2);         // block align
  u16(16);        // bits per sample
  wave.append("data");
  u32(data.size());
  return wave + data;
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList* gMessages = nullptr;

// Collects every Qt message while alive, and runs the test inside a temporary working directory
// because the alarm sound's name is relative to it.
class SoundPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previousDir_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    gMessages = &messages_;
    previousHandler_ = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { gMessages->append(text); });
  }
  void TearDown() override {
    qInstallMessageHandler(previousHandler_);
    gMessages = nullptr;
    QDir::setCurrent(previousDir_);
  }

  QTemporaryDir dir_;
  QString previousDir_;
  QStringList messages_;
  QtMessageHandler previousHandler_ = nullptr;
};

TEST_F(SoundPlayerTest, RecognisesOnlyAPlayableWave) {
  writeFile(dir_.filePath("SoundAct.wav"), tinyWave());
  writeFile(dir_.filePath("noise.wav"), QByteArray("not a wave file at all").repeated(8));
  writeFile(dir_.filePath("cut.wav"), tinyWave().left(30));
  EXPECT_TRUE(isPlayableWaveFile(QStringLiteral("./SoundAct.wav")));
  EXPECT_FALSE(isPlayableWaveFile(QStringLiteral("./noise.wav")));
  EXPECT_FALSE(isPlayableWaveFile(QStringLiteral("./cut.wav")));
  EXPECT_FALSE(isPlayableWaveFile(QStringLiteral("./missing.wav")));
  EXPECT_FALSE(isPlayableWaveFile(dir_.path()));
}

TEST_F(SoundPlayerTest, MissingFileIsSilentAndSaysNothing) {
  QtSoundPlayer player;
  player.play(QStringLiteral("./SoundAct.wav"));
  player.play(QStringLiteral("./SoundAct.wav"));
  QTest::qWait(100);
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join('\n').toStdString();
}

TEST_F(SoundPlayerTest, UnplayableFileIsSilentAndSaysNothing) {
  writeFile(dir_.filePath("SoundAct.wav"), QByteArray("RIFF\x10\0\0\0WAVEjunk", 16).repeated(4));
  QtSoundPlayer player;
  player.play(QStringLiteral("./SoundAct.wav"));
  QTest::qWait(100);
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join('\n').toStdString();
}

TEST_F(SoundPlayerTest, PlayReturnsAtOnceAndAgainWhileStillPlaying) {
  writeFile(dir_.filePath("SoundAct.wav"), tinyWave());
  QtSoundPlayer player;
  using Clock = std::chrono::steady_clock;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const auto start = Clock::now();
    player.play(QStringLiteral("./SoundAct.wav"));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
    QTest::qWait(50);
  }
  // Without a sound server Qt names the missing output; the file itself must decode cleanly.
  for (const auto& m : messages_)
    EXPECT_FALSE(m.contains("decod", Qt::CaseInsensitive)) << m.toStdString();
}

}  // namespace
}  // namespace kelvaro
