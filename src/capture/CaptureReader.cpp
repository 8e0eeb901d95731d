#include "capture/CaptureReader.h"

#include <QFile>
#include <cstring>
#include <string_view>

namespace kelvaro {
namespace {

using std::string_view;

// A quoted piece of a damaged line, short enough for a message.
QString quoted(string_view text) {
  constexpr std::size_t kShown = 24;
  QString shown = QString::fromUtf8(text.data(), qsizetype(std::min(text.size(), kShown)));
  if (text.size() > kShown) shown += QStringLiteral("...");
  return QLatin1Char('"') + shown + QLatin1Char('"');
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The next token of `line` from `at`, blanks skipped; empty at the end.
string_view nextToken(string_view line, std::size_t& at) {
  while (at < line.size() && isBlank(line[at])) ++at;
  const std::size_t begin = at;
  while (at < line.size() && !isBlank(line[at])) ++at;
  return line.substr(begin, at - begin);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint64_t> parseMicros(string_view text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

class Parser {
 public:
  explicit Parser(Capture& capture) : capture_(capture) {}

  // False when the line is damaged; the reason is then in capture_.damage.
  bool header(string_view line) {
    std::size_t at = 0;
    if (nextToken(line, at) != string_view(capture::kFormatName)) {
      return fail(QStringLiteral("not a capture: the first line does not begin with \"%1\"")
                      .arg(QLatin1String(capture::kFormatName)));
    }
    const string_view version = nextToken(line, at);
    if (version.empty()) return fail(QStringLiteral("the first line names no format version"));
    if (version != "1") {
      return fail(QStringLiteral("unknown version %1 of the capture format (this program reads "
                                 "version %2)")
                      .arg(quoted(version))
                      .arg(capture::kVersion));
    }
    CaptureHeader header;
    bool hasStart = false;
    for (string_view field = nextToken(line, at); !field.empty(); field = nextToken(line, at)) {
      const std::size_t eq = field.find('=');
      if (eq == string_view::npos || eq == 0) {
        return fail(QStringLiteral("bad header field %1: key=value").arg(quoted(field)));
      }
      const string_view key = field.substr(0, eq);
      const string_view value = field.substr(eq + 1);
      if (key == "program") {
        header.program = QString::fromUtf8(value.data(), qsizetype(value.size()));
      } else if (key == "start") {
        header.start = QDateTime::fromString(
            QString::fromLatin1(value.data(), qsizetype(value.size())), Qt::ISODateWithMs);
        if (!header.start.isValid()) {
          return fail(QStringLiteral("bad start time %1: a date and time as "
                                     "2025-03-01T14:02:11.250+01:00")
                          .arg(quoted(value)));
        }
        hasStart = true;
      }
      // Other keys belong to later writers of the same version and are passed over.
    }
    if (header.program.isEmpty()) {
      return fail(QStringLiteral("the first line names no program (program=NAME/VERSION)"));
    }
    if (!hasStart) return fail(QStringLiteral("the first line has no start time (start=...)"));
    capture_.header = header;
    return true;
  }

  bool record(string_view line) {
    std::size_t at = 0;
    const string_view time = nextToken(line, at);
    if (time.empty() || time.front() == '#') return true;  // a blank line or a comment
    const auto micros = parseMicros(time);
    if (!micros) {
      return fail(QStringLiteral("bad time %1: microseconds since the start, a whole number")
                      .arg(quoted(time)));
    }
    if (*micros < lastMicros_) {
      return fail(QStringLiteral("time goes backwards: %1 after %2 microseconds")
                      .arg(*micros)
                      .arg(lastMicros_));
    }
    const string_view mark = nextToken(line, at);
    if (mark.empty()) return fail(QStringLiteral("the line ends after the time"));
    if (mark != "<" && mark != ">") {
      return fail(QStringLiteral("bad direction %1: < (received from the dongle) or > (sent to it)")
                      .arg(quoted(mark)));
    }
    CaptureRecord record;
    record.micros = *micros;
    record.direction = mark == "<" ? capture::Direction::Received : capture::Direction::Sent;
    record.offset = capture_.bytes.size();
    for (string_view hex = nextToken(line, at); !hex.empty(); hex = nextToken(line, at)) {
      if (hex.size() % 2 != 0) return badHex(hex, record);
      for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexValue(hex[i]);
        const int low = hexValue(hex[i + 1]);
        if (high < 0 || low < 0) return badHex(hex, record);
        capture_.bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
      }
    }
    record.size = capture_.bytes.size() - record.offset;
    if (record.size == 0) return fail(QStringLiteral("no bytes after the direction"));
    lastMicros_ = record.micros;
    capture_.records.push_back(record);
    return true;
  }

  bool fail(const QString& what) {
    capture_.damage = CaptureDamage{line_, what};
    return false;
  }

  void setLine(int line) { line_ = line; }

 private:
  bool badHex(string_view hex, const CaptureRecord& record) {
    capture_.bytes.resize(record.offset);
    return fail(QStringLiteral("bad hex %1: every byte is two hex digits, bytes apart by spaces")
                    .arg(quoted(hex)));
  }

  Capture& capture_;
  int line_ = 0;
  std::uint64_t lastMicros_ = 0;
};

}  // namespace

Capture parseCapture(const char* data, std::size_t size) {
  Capture capture;
  Parser parser(capture);
  if (size == 0) {
    parser.setLine(1);
    parser.fail(QStringLiteral("not a capture: the file is empty"));
    return capture;
  }
  std::size_t at = 0;
  for (int number = 1; at < size; ++number) {
    parser.setLine(number);
    const void* found = std::memchr(data + at, '\n', size - at);
    if (found == nullptr) {
      // The writer ends every line; one without its end was cut short, and its bytes may be
      // missing even when what is left looks whole.
      parser.fail(QStringLiteral("the line is cut off (it has no end of line)"));
      break;
    }
    const std::size_t end = std::size_t(static_cast<const char*>(found) - data);
    string_view line(data + at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = end + 1;
    const bool whole = number == 1 ? parser.header(line) : parser.record(line);
    if (!whole) break;
  }
  return capture;
}

QString captureDamageText(const QString& file, const CaptureDamage& damage) {
  return QStringLiteral("%1:%2: %3").arg(file).arg(damage.line).arg(damage.what);
}

std::optional<Capture> readCaptureFile(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return std::nullopt;
  }
  const QByteArray content = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return std::nullopt;
  }
  return parseCapture(content.constData(), std::size_t(content.size()));
}

}  // namespace kelvaro
