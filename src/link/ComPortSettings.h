#pragma once

#include <QString>
#include <QStringList>

#include "platform/SerialTransport.h"

namespace kelvaro {

// The dongle's port as configured: its name and line settings. The defaults are the design
// settings used when ComPort.ini says nothing else.
struct ComPortConfig {
  QString port = QStringLiteral("COM3");
  SerialSettings settings;
  // Baud rate "Custom": settings.baudRate then holds the CustomBaudRate value.
  bool customBaudRate = false;

  friend bool operator==(const ComPortConfig& a, const ComPortConfig& b) {
    return a.port == b.port && a.customBaudRate == b.customBaudRate &&
           a.settings.baudRate == b.settings.baudRate &&
           a.settings.dataBits == b.settings.dataBits && a.settings.parity == b.settings.parity &&
           a.settings.stopBits == b.settings.stopBits &&
           a.settings.rtsCtsHandshake == b.settings.rtsCtsHandshake &&
           a.settings.xonXoff == b.settings.xonXoff;
  }
  friend bool operator!=(const ComPortConfig& a, const ComPortConfig& b) { return !(a == b); }
};

// The value texts of ComPort.ini, which the setup dialog offers as well. Reading a text is
// case-insensitive; a text that matches none gives the key's fallback (baud rate 9600, stop bits
// 1, data bits 8, parity None, flow control Custom, which leaves the flags as they are).
namespace comport {

inline const QString kSection = QStringLiteral("ComPort1");
inline constexpr qint32 kDefaultCustomBaudRate = 9600;

QStringList baudRateTexts();
QStringList stopBitsTexts();
QStringList dataBitsTexts();
QStringList parityTexts();
QStringList flowControlTexts();

// "Custom" for a custom rate or one the table does not hold.
QString baudRateText(const ComPortConfig& config);
QString stopBitsText(SerialSettings::StopBits stopBits);
QString dataBitsText(int dataBits);
QString parityText(SerialSettings::Parity parity);
// "Custom" for any combination other than none, RTS/CTS alone or XON/XOFF alone.
QString flowControlText(const SerialSettings& settings);

// "Custom" marks the rate as custom and keeps the current number; the caller sets it.
void setBaudRateText(ComPortConfig& config, const QString& text);
void setStopBitsText(SerialSettings& settings, const QString& text);
void setDataBitsText(SerialSettings& settings, const QString& text);
void setParityText(SerialSettings& settings, const QString& text);
void setFlowControlText(SerialSettings& settings, const QString& text);

}  // namespace comport

// Reads section "ComPort1" of the file into config; a key that is missing keeps config's value.
void loadComPortIni(const QString& path, ComPortConfig& config);

// Writes Port, BaudRate, CustomBaudRate (only for a custom rate), StopBits, DataBits, Parity and
// FlowControl, in this order. A refused write throws kelvaro::Error "Unable to write to <path>".
void saveComPortIni(const QString& path, const ComPortConfig& config);

}  // namespace kelvaro
