#include "link/ComPortSettings.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "base/Errors.h"

namespace kelvaro {
namespace {

using Parity = SerialSettings::Parity;
using StopBits = SerialSettings::StopBits;

class ComPortSettingsTest : public ::testing::Test {
 protected:
  QString path() const { return dir_.filePath(QStringLiteral("ComPort.ini")); }

  void writeFile(const QByteArray& text) {
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  QByteArray readFile() const {
    QFile file(path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir dir_;
};

TEST_F(ComPortSettingsTest, DesignSettingsWithCom5GiveTheExpectedFile) {
  ComPortConfig config;
  config.port = QStringLiteral("COM5");
  saveComPortIni(path(), config);
  EXPECT_EQ(readFile(),
            "[ComPort1]\nPort=COM5\nBaudRate=115200\nStopBits=1\nDataBits=8\nParity=None\n"
            "FlowControl=None\n");
}

TEST_F(ComPortSettingsTest, CustomRateIsWrittenWithItsNumber) {
  ComPortConfig config;
  config.port = QStringLiteral("/dev/ttyACM0");
  config.settings.baudRate = 250000;
  config.settings.stopBits = StopBits::OneAndHalf;
  config.settings.dataBits = 7;
  config.settings.parity = Parity::Space;
  config.settings.rtsCtsHandshake = true;
  config.settings.xonXoff = true;
  saveComPortIni(path(), config);
  EXPECT_EQ(readFile(),
            "[ComPort1]\nPort=/dev/ttyACM0\nBaudRate=Custom\nCustomBaudRate=250000\nStopBits=1.5\n"
            "DataBits=7\nParity=Space\nFlowControl=Custom\n");
}

TEST_F(ComPortSettingsTest, LoadsTextsWithFallbacks) {
  const auto designWith = [](auto change) {
    ComPortConfig config;
    change(config);
    return config;
  };
  const struct {
    const char* file;
    ComPortConfig expected;
  } cases[] = {
      {"[ComPort1]\nBaudRate=fast\n",
       designWith([](ComPortConfig& c) { c.settings.baudRate = 9600; })},
      {"[comport1]\nbaudrate=57600\n",
       designWith([](ComPortConfig& c) { c.settings.baudRate = 57600; })},
      {"[ComPort1]\nParity=even\n",
       designWith([](ComPortConfig& c) { c.settings.parity = Parity::Even; })},
      {"[ComPort1]\nParity=strange\n", designWith([](ComPortConfig&) {})},
      {"[ComPort1]\nBaudRate=custom\nCustomBaudRate=250000\n", designWith([](ComPortConfig& c) {
         c.customBaudRate = true;
         c.settings.baudRate = 250000;
       })},
      {"[ComPort1]\nBaudRate=Custom\n", designWith([](ComPortConfig& c) {
         c.customBaudRate = true;
         c.settings.baudRate = 9600;
       })},
      // CustomBaudRate counts only under BaudRate=Custom.
      {"[ComPort1]\nBaudRate=38400\nCustomBaudRate=250000\n",
       designWith([](ComPortConfig& c) { c.settings.baudRate = 38400; })},
      {"[ComPort1]\nStopBits=1.5\nDataBits=5\n", designWith([](ComPortConfig& c) {
         c.settings.stopBits = StopBits::OneAndHalf;
         c.settings.dataBits = 5;
       })},
      {"[ComPort1]\nStopBits=3\nDataBits=9\n", designWith([](ComPortConfig&) {})},
      {"[ComPort1]\nFlowControl=HARDWARE\n",
       designWith([](ComPortConfig& c) { c.settings.rtsCtsHandshake = true; })},
      {"[ComPort1]\nFlowControl=software\n",
       designWith([](ComPortConfig& c) { c.settings.xonXoff = true; })},
      {"[ComPort1]\nPort= /dev/ttyACM0 \n",
       designWith([](ComPortConfig& c) { c.port = QStringLiteral("/dev/ttyACM0"); })},
      {"[Other]\nPort=COM9\n", designWith([](ComPortConfig&) {})},
  };
  for (const auto& c : cases) {
    writeFile(c.file);
    ComPortConfig config;
    loadComPortIni(path(), config);
    EXPECT_TRUE(config == c.expected) << c.file;
  }
}

TEST_F(ComPortSettingsTest, MissingKeysAndUnknownFlowControlKeepCurrentValues) {
  ComPortConfig current;
  current.port = QStringLiteral("COM9");
  current.settings.baudRate = 19200;
  current.settings.dataBits = 6;
  current.settings.stopBits = StopBits::Two;
  current.settings.parity = Parity::Mark;
  current.settings.rtsCtsHandshake = true;
  current.settings.xonXoff = true;

  for (const QByteArray& text :
       {QByteArray(), QByteArray("[ComPort1]\n"), QByteArray("[ComPort1]\nFlowControl=sometimes\n"),
        QByteArray("[ComPort1]\nFlowControl=Custom\n")}) {
    writeFile(text);
    ComPortConfig config = current;
    loadComPortIni(path(), config);
    EXPECT_TRUE(config == current) << text.constData();
  }
  QFile::remove(path());
  ComPortConfig config = current;
  loadComPortIni(path(), config);
  EXPECT_TRUE(config == current);
}

TEST_F(ComPortSettingsTest, EveryChoiceOfTheTablesSurvivesSaveAndLoad) {
  const auto roundTrip = [this](const QString& baud, const QString& flow) {
    ComPortConfig saved;
    saved.settings.baudRate = 1000;  // kept as the custom rate when "Custom" is chosen
    comport::setBaudRateText(saved, baud);
    comport::setFlowControlText(saved.settings, flow);
    comport::setParityText(saved.settings, QStringLiteral("Odd"));
    comport::setStopBitsText(saved.settings, QStringLiteral("2"));
    comport::setDataBitsText(saved.settings, QStringLiteral("6"));
    QFile::remove(path());
    saveComPortIni(path(), saved);
    ComPortConfig loaded;
    loadComPortIni(path(), loaded);
    EXPECT_TRUE(loaded == saved) << baud.toStdString() << " " << flow.toStdString();
    EXPECT_EQ(comport::baudRateText(loaded), baud);
  };
  for (const QString& baud : comport::baudRateTexts()) roundTrip(baud, QStringLiteral("Software"));
  for (const QString& flow : comport::flowControlTexts()) roundTrip(QStringLiteral("300"), flow);
}

TEST_F(ComPortSettingsTest, RefusedWriteThrowsWithThePath) {
  const QString missingDir = dir_.filePath(QStringLiteral("no/such/dir/ComPort.ini"));
  try {
    saveComPortIni(missingDir, ComPortConfig{});
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(QString::fromStdString(error.what()),
              QStringLiteral("Unable to write to ") + missingDir);
  }
}

}  // namespace
}  // namespace kelvaro
