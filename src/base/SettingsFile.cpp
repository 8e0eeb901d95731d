#include "base/SettingsFile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <vector>

#include "base/Errors.h"
#include "base/Formats.h"

namespace kelvaro {
namespace {

// One line of the file as byte offsets, so that untouched lines are written back unchanged.
struct Line {
  qsizetype begin;
  qsizetype contentEnd;  // before the line terminator ("\n" or "\r\n")
  qsizetype end;         // after the terminator; equals contentEnd on an unterminated last line
};

std::vector<Line> splitLines(const QByteArray& data) {
  std::vector<Line> lines;
  qsizetype begin = 0;
  while (begin < data.size()) {
    const qsizetype newline = data.indexOf('\n', begin);
    if (newline < 0) {
      lines.push_back({begin, data.size(), data.size()});
      break;
    }
    const qsizetype contentEnd =
        newline > begin && data[newline - 1] == '\r' ? newline - 1 : newline;
    lines.push_back({begin, contentEnd, newline + 1});
    begin = newline + 1;
  }
  return lines;
}

QString lineText(const QByteArray& data, const Line& line) {
  return QString::fromUtf8(data.constData() + line.begin, line.contentEnd - line.begin);
}

bool isSectionHeader(const QString& text) { return text.trimmed().startsWith(u'['); }

// A header without its closing bracket names no section anyone can ask for; its keys stay
// unreachable instead of being taken for the previous section's.
QString sectionName(const QString& text) {
  const QString trimmed = text.trimmed();
  const qsizetype close = trimmed.indexOf(u']');
  if (close < 0) return QString();
  return trimmed.mid(1, close - 1).trimmed();
}

// The key of a "key=value" line, or a null QString for any other line.
QString keyName(const QString& text) {
  const qsizetype equals = text.indexOf(u'=');
  if (equals < 0) return QString();
  const QString key = text.left(equals).trimmed();
  return key.isEmpty() ? QString() : key;
}

bool sameName(const QString& a, const QString& b) {
  return !a.isNull() && a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key is, or where it would go, within the first section of that name.
struct Location {
  qsizetype header = -1;   // line index of the section header, -1 when there is no such section
  qsizetype keyLine = -1;  // line index of the key's first occurrence in it
  qsizetype lastKey = -1;  // line index of the section's last key line
};

Location locate(const QByteArray& data, const std::vector<Line>& lines, const QString& section,
                const QString& key) {
  Location where;
  for (qsizetype i = 0; i < static_cast<qsizetype>(lines.size()); ++i) {
    const QString text = lineText(data, lines[i]);
    if (isSectionHeader(text)) {
      if (where.header >= 0) break;
      if (sameName(sectionName(text), section)) where.header = i;
      continue;
    }
    if (where.header < 0) continue;
    const QString name = keyName(text);
    if (name.isNull()) continue;
    where.lastKey = i;
    if (where.keyLine < 0 && sameName(name, key)) where.keyLine = i;
  }
  return where;
}

enum class Load { Missing, Loaded, Unreadable };

Load loadFile(const QString& path, QByteArray& data) {
  const QFileInfo info(path);
  if (!info.exists()) return Load::Missing;
  if (info.isDir() || info.size() > SettingsFile::kMaxFileSize) return Load::Unreadable;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return Load::Unreadable;
  // Bounded even for files that report no size (devices, pipes).
  data = file.read(SettingsFile::kMaxFileSize + 1);
  if (file.error() != QFileDevice::NoError || data.size() > SettingsFile::kMaxFileSize) {
    return Load::Unreadable;
  }
  return Load::Loaded;
}

QByteArray lineEnding(const std::vector<Line>& lines) {
  for (const Line& line : lines) {
    if (line.end != line.contentEnd) {
      return line.end - line.contentEnd == 2 ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    }
  }
  return QByteArrayLiteral("\n");
}

[[noreturn]] void refuseWrite(const QString& path) {
  throw Error(QStringLiteral("Unable to write to %1")
                  .arg(QFileInfo(path).absoluteFilePath())
                  .toStdString());
}

}  // namespace

std::optional<QString> SettingsFile::readValue(const QString& section, const QString& key) const {
  QByteArray data;
  if (loadFile(path_, data) != Load::Loaded) return std::nullopt;
  const std::vector<Line> lines = splitLines(data);
  const Location where = locate(data, lines, section, key);
  if (where.keyLine < 0) return std::nullopt;
  const QString text = lineText(data, lines[static_cast<std::size_t>(where.keyLine)]);
  QString value = text.mid(text.indexOf(u'=') + 1).trimmed();
  // Never a value that ends in a broken character.
  if (value.size() > kMaxStringLength) {
    value.truncate(kMaxStringLength);
    if (value.back().isHighSurrogate()) value.chop(1);
  }
  return value;
}

void SettingsFile::writeValue(const QString& section, const QString& key, const QString& value) {
  QByteArray data;
  // Rewriting a file we could not read in full would lose its other lines.
  if (loadFile(path_, data) == Load::Unreadable) refuseWrite(path_);
  const std::vector<Line> lines = splitLines(data);
  const QByteArray eol = lineEnding(lines);
  // The format has no way to hold a line break inside a value.
  QString flat = value;
  flat.replace(u'\r', u' ').replace(u'\n', u' ');
  const QByteArray entry = key.toUtf8() + '=' + flat.toUtf8();

  const Location where = locate(data, lines, section, key);
  if (where.keyLine >= 0) {
    const Line& line = lines[static_cast<std::size_t>(where.keyLine)];
    data.replace(line.begin, line.contentEnd - line.begin, entry);
  } else if (where.header >= 0) {
    const qsizetype after = where.lastKey >= 0 ? where.lastKey : where.header;
    const Line& line = lines[static_cast<std::size_t>(after)];
    QByteArray insert = line.end == line.contentEnd ? eol : QByteArray();
    insert += entry + eol;
    data.insert(line.end, insert);
  } else {
    if (!lines.empty()) {
      const Line& last = lines.back();
      if (last.end == last.contentEnd) data += eol;
      // A blank line keeps sections apart, unless the file already ends in one.
      if (!lineText(data, last).trimmed().isEmpty()) data += eol;
    }
    data += '[' + section.toUtf8() + ']' + eol + entry + eol;
  }

  // A crash or a full disk leaves either the old file or the new one, never half of it.
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) refuseWrite(path_);
  if (file.write(data) != data.size()) {
    file.cancelWriting();
    refuseWrite(path_);
  }
  if (!file.commit()) refuseWrite(path_);
}

int SettingsFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
  const std::optional<QString> value = readValue(section, key);
  if (!value) return defaultValue;
  return fmt::parseInteger(*value).value_or(defaultValue);
}

bool SettingsFile::readBool(const QString& section, const QString& key, bool defaultValue) const {
  const std::optional<QString> value = readValue(section, key);
  if (!value) return defaultValue;
  const std::optional<std::int32_t> number = fmt::parseInteger(*value);
  return number ? *number != 0 : defaultValue;
}

double SettingsFile::readReal(const QString& section, const QString& key,
                              double defaultValue) const {
  const std::optional<QString> value = readValue(section, key);
  if (!value || value->isEmpty()) return defaultValue;
  return fmt::parseReal(*value).value_or(defaultValue);
}

QString SettingsFile::readString(const QString& section, const QString& key,
                                 const QString& defaultValue) const {
  return readValue(section, key).value_or(defaultValue);
}

void SettingsFile::writeInteger(const QString& section, const QString& key, int value) {
  writeValue(section, key, QString::number(value));
}

void SettingsFile::writeBool(const QString& section, const QString& key, bool value) {
  writeValue(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsFile::writeReal(const QString& section, const QString& key, double value) {
  writeValue(section, key, fmt::formatGeneral(value));
}

void SettingsFile::writeString(const QString& section, const QString& key, const QString& value) {
  writeValue(section, key, value);
}

}  // namespace kelvaro
