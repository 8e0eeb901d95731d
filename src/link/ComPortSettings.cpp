#include "link/ComPortSettings.h"

#include <algorithm>
#include <array>

#include "base/SettingsFile.h"

namespace kelvaro {
namespace comport {
namespace {

constexpr std::array<qint32, 15> kBaudRates{110,   300,   600,    1200,   2400,
                                            4800,  9600,  14400,  19200,  38400,
                                            56000, 57600, 115200, 128000, 256000};

const QString kCustom = QStringLiteral("Custom");

// The index of text in texts, compared without regard to case; -1 when none matches.
qsizetype indexOfText(const QStringList& texts, const QString& text) {
  for (qsizetype i = 0; i < texts.size(); ++i) {
    if (texts[i].compare(text, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

}  // namespace

QStringList baudRateTexts() {
  QStringList texts{kCustom};
  for (const qint32 rate : kBaudRates) texts.append(QString::number(rate));
  return texts;
}

QStringList stopBitsTexts() {
  return {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
}

QStringList dataBitsTexts() {
  return {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")};
}

QStringList parityTexts() {
  return {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
          QStringLiteral("Mark"), QStringLiteral("Space")};
}

QStringList flowControlTexts() {
  return {QStringLiteral("Hardware"), QStringLiteral("Software"), QStringLiteral("None"), kCustom};
}

QString baudRateText(const ComPortConfig& config) {
  const qint32 rate = config.settings.baudRate;
  const bool inTable = std::find(kBaudRates.begin(), kBaudRates.end(), rate) != kBaudRates.end();
  return config.customBaudRate || !inTable ? kCustom : QString::number(rate);
}

QString stopBitsText(SerialSettings::StopBits stopBits) {
  return stopBitsTexts()[static_cast<qsizetype>(stopBits)];
}

QString dataBitsText(int dataBits) { return QString::number(dataBits); }

QString parityText(SerialSettings::Parity parity) {
  return parityTexts()[static_cast<qsizetype>(parity)];
}

QString flowControlText(const SerialSettings& settings) {
  if (settings.rtsCtsHandshake && !settings.xonXoff) return QStringLiteral("Hardware");
  if (!settings.rtsCtsHandshake && settings.xonXoff) return QStringLiteral("Software");
  if (!settings.rtsCtsHandshake && !settings.xonXoff) return QStringLiteral("None");
  return kCustom;
}

void setBaudRateText(ComPortConfig& config, const QString& text) {
  if (text.compare(kCustom, Qt::CaseInsensitive) == 0) {
    config.customBaudRate = true;
    return;
  }
  const qsizetype index = indexOfText(baudRateTexts(), text);
  config.customBaudRate = false;
  config.settings.baudRate = index > 0 ? kBaudRates[static_cast<std::size_t>(index - 1)] : 9600;
}

void setStopBitsText(SerialSettings& settings, const QString& text) {
  const qsizetype index = indexOfText(stopBitsTexts(), text);
  settings.stopBits =
      index >= 0 ? static_cast<SerialSettings::StopBits>(index) : SerialSettings::StopBits::One;
}

void setDataBitsText(SerialSettings& settings, const QString& text) {
  const qsizetype index = indexOfText(dataBitsTexts(), text);
  settings.dataBits = index >= 0 ? 5 + static_cast<int>(index) : 8;
}

void setParityText(SerialSettings& settings, const QString& text) {
  const qsizetype index = indexOfText(parityTexts(), text);
  settings.parity =
      index >= 0 ? static_cast<SerialSettings::Parity>(index) : SerialSettings::Parity::None;
}

void setFlowControlText(SerialSettings& settings, const QString& text) {
  switch (indexOfText(flowControlTexts(), text)) {
    case 0:
      settings.rtsCtsHandshake = true;
      settings.xonXoff = false;
      break;
    case 1:
      settings.rtsCtsHandshake = false;
      settings.xonXoff = true;
      break;
    case 2:
      settings.rtsCtsHandshake = false;
      settings.xonXoff = false;
      break;
    default:
      // "Custom" and unknown texts leave the individual flags as they are.
      break;
  }
}

}  // namespace comport

void loadComPortIni(const QString& path, ComPortConfig& config) {
  const SettingsFile file(path);
  const QString& section = comport::kSection;
  // Every key is read with its current text as default, so a missing key changes nothing.
  config.port = file.readString(section, QStringLiteral("Port"), config.port);
  const QString baud =
      file.readString(section, QStringLiteral("BaudRate"), comport::baudRateText(config));
  if (baud.compare(QStringLiteral("Custom"), Qt::CaseInsensitive) == 0) {
    config.customBaudRate = true;
    config.settings.baudRate = file.readInteger(section, QStringLiteral("CustomBaudRate"),
                                                comport::kDefaultCustomBaudRate);
  } else {
    comport::setBaudRateText(config, baud);
  }
  SerialSettings& s = config.settings;
  comport::setStopBitsText(
      s, file.readString(section, QStringLiteral("StopBits"), comport::stopBitsText(s.stopBits)));
  comport::setDataBitsText(
      s, file.readString(section, QStringLiteral("DataBits"), comport::dataBitsText(s.dataBits)));
  comport::setParityText(
      s, file.readString(section, QStringLiteral("Parity"), comport::parityText(s.parity)));
  comport::setFlowControlText(
      s, file.readString(section, QStringLiteral("FlowControl"), comport::flowControlText(s)));
}

void saveComPortIni(const QString& path, const ComPortConfig& config) {
  SettingsFile file(path);
  const QString& section = comport::kSection;
  const SerialSettings& s = config.settings;
  const QString baud = comport::baudRateText(config);
  file.writeString(section, QStringLiteral("Port"), config.port);
  file.writeString(section, QStringLiteral("BaudRate"), baud);
  if (baud == QStringLiteral("Custom")) {
    file.writeInteger(section, QStringLiteral("CustomBaudRate"), s.baudRate);
  }
  file.writeString(section, QStringLiteral("StopBits"), comport::stopBitsText(s.stopBits));
  file.writeString(section, QStringLiteral("DataBits"), comport::dataBitsText(s.dataBits));
  file.writeString(section, QStringLiteral("Parity"), comport::parityText(s.parity));
  file.writeString(section, QStringLiteral("FlowControl"), comport::flowControlText(s));
}

}  // namespace kelvaro
