// Date and time texts: Delphi-style pictures for display and the readers for the history file.
#include <QDateTime>
#include <array>

#include "base/FormatText.h"
#include "base/Formats.h"

namespace kelvaro::fmt {

using detail::appendNumber;
using detail::isAsciiDigit;
using detail::toQString;

namespace {

bool startsWithIgnoringCase(const QString& text, qsizetype at, QLatin1String word) {
  return text.mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// Finds an am/pm marker outside quoted text: its presence switches hours to the 12-hour clock.
bool hasAmPm(const QString& picture) {
  QChar quote;
  for (qsizetype i = 0; i < picture.size(); ++i) {
    const QChar c = picture[i];
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
    } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
      quote = c;
    } else if (startsWithIgnoringCase(picture, i, QLatin1String("am/pm")) ||
               startsWithIgnoringCase(picture, i, QLatin1String("a/p"))) {
      return true;
    }
  }
  return false;
}

void appendQString(std::string& out, const QString& text) { out += text.toStdString(); }

}  // namespace

QString formatDateTime(const QString& picture, const QDateTime& dateTime) {
  if (!dateTime.isValid()) return {};
  const QDate date = dateTime.date();
  const QTime time = dateTime.time();
  const bool twelveHour = hasAmPm(picture);
  const QLocale names(QLocale::C);
  std::string out;
  char lastLetter = 0;
  for (qsizetype i = 0; i < picture.size();) {
    const QChar c = picture[i];
    if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
      qsizetype end = picture.indexOf(c, i + 1);
      if (end < 0) end = picture.size();
      appendQString(out, picture.mid(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (c == QLatin1Char('/')) {
      out += '.';
      ++i;
      continue;
    }
    if (startsWithIgnoringCase(picture, i, QLatin1String("am/pm"))) {
      lastLetter = 'A';
      const bool upper = c.isUpper();
      out += time.hour() < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
      i += 5;
      continue;
    }
    if (startsWithIgnoringCase(picture, i, QLatin1String("a/p"))) {
      lastLetter = 'A';
      const bool upper = c.isUpper();
      out += time.hour() < 12 ? (upper ? 'A' : 'a') : (upper ? 'P' : 'p');
      i += 3;
      continue;
    }
    const char16_t u = c.toUpper().unicode();
    if (u < u'A' || u > u'Z') {
      appendQString(out, QString(c));
      ++i;
      continue;
    }
    char letter = static_cast<char>(u);
    if (letter == 'M' && lastLetter == 'H') letter = 'N';
    lastLetter = letter;
    int count = 1;
    while (i + count < picture.size() && picture[i + count].toUpper() == c.toUpper()) ++count;
    switch (letter) {
      case 'Y':
        if (count <= 2) {
          appendNumber(out, date.year() % 100, 2);
        } else {
          appendNumber(out, date.year(), 4);
        }
        break;
      case 'M':
        if (count <= 2) {
          appendNumber(out, date.month(), count);
        } else {
          appendQString(out, names.monthName(date.month(), count == 3 ? QLocale::ShortFormat
                                                                      : QLocale::LongFormat));
        }
        break;
      case 'D':
        if (count <= 2) {
          appendNumber(out, date.day(), count);
        } else {
          appendQString(out, names.dayName(date.dayOfWeek(), count == 3 ? QLocale::ShortFormat
                                                                        : QLocale::LongFormat));
        }
        break;
      case 'H': {
        int hour = time.hour();
        if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
        appendNumber(out, hour, std::min(count, 2));
        break;
      }
      case 'N':
        appendNumber(out, time.minute(), std::min(count, 2));
        break;
      case 'S':
        appendNumber(out, time.second(), std::min(count, 2));
        break;
      case 'Z':
        appendNumber(out, time.msec(), count >= 3 ? 3 : 1);
        break;
      default:
        appendQString(out, picture.mid(i, count));
        break;
    }
    i += count;
  }
  return toQString(out);
}

QString formatDateTimeLong(const QDateTime& dateTime) {
  return formatDateTime(QStringLiteral("hh:nn:ss dd.mm.yyyy"), dateTime);
}

QString formatDateTimeShort(const QDateTime& dateTime) {
  return formatDateTime(QStringLiteral("hh:nn dd.mm.yy"), dateTime);
}

QString formatTimeOfDay(std::int64_t milliseconds) {
  constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000;
  const std::int64_t ms = (milliseconds < 0 ? -(milliseconds % kDay) : milliseconds % kDay);
  const std::int64_t seconds = ms / 1000;
  std::string out;
  appendNumber(out, seconds / 3600, 2);
  out += ':';
  appendNumber(out, seconds / 60 % 60, 2);
  out += ':';
  appendNumber(out, seconds % 60, 2);
  return toQString(out);
}

namespace {

// Reads numbers of 1..maxDigits[k] digits separated by `separator`; returns how many were read,
// or -1 when the text is anything else.
int readFields(const QString& text, QChar separator, std::array<int, 3>& fields,
               const std::array<int, 3>& maxDigits) {
  const QString s = text.trimmed();
  int n = 0;
  qsizetype i = 0;
  while (true) {
    if (n == 3) return -1;
    const int allowed = maxDigits[static_cast<std::size_t>(n)];
    int digits = 0;
    int value = 0;
    while (i < s.size() && isAsciiDigit(s[i])) {
      // A run longer than the field allows is refused before its value could overflow.
      if (++digits > allowed) return -1;
      value = value * 10 + (s[i].unicode() - u'0');
      ++i;
    }
    if (digits == 0) return -1;
    fields[static_cast<std::size_t>(n++)] = value;
    if (i == s.size()) return n;
    if (s[i] != separator) return -1;
    ++i;
  }
}

}  // namespace

std::optional<QTime> parseTime(const QString& text) {
  std::array<int, 3> f{0, 0, 0};
  const int n = readFields(text, QLatin1Char(':'), f, {2, 2, 2});
  if (n < 2) return std::nullopt;
  if (f[0] > 23 || f[1] > 59 || f[2] > 59) return std::nullopt;
  return QTime(f[0], f[1], f[2]);
}

std::optional<QDate> parseDate(const QString& text) {
  std::array<int, 3> f{0, 0, 0};
  const QString s = text.trimmed();
  if (readFields(s, QLatin1Char('.'), f, {2, 2, 4}) != 3) return std::nullopt;
  int year = f[2];
  if (s.size() - s.lastIndexOf(QLatin1Char('.')) - 1 <= 2) year += 2000;
  const QDate date(year, f[1], f[0]);
  if (!date.isValid() || year == 0) return std::nullopt;
  return date;
}

std::optional<QDateTime> parseDateTimeLong(const QString& text) {
  const QString s = text.trimmed();
  const qsizetype blank = s.indexOf(QLatin1Char(' '));
  if (blank < 0) return std::nullopt;
  const auto time = parseTime(s.left(blank));
  const auto date = parseDate(s.mid(blank + 1));
  if (!time || !date) return std::nullopt;
  return QDateTime(*date, *time);
}

}  // namespace kelvaro::fmt
