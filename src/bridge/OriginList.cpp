#include "bridge/OriginList.h"

#include <QRegularExpression>
#include <algorithm>

namespace kelvaro {
namespace {

// What an origin's host part may hold: a name or an address, an optional port.
bool hostCharacter(QChar c) {
  return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
         (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
         c == QLatin1Char('.') || c == QLatin1Char(':') || c == QLatin1Char('[') ||
         c == QLatin1Char(']');
}

}  // namespace

QString OriginList::defaultText(std::uint16_t port) {
  return QStringLiteral(
             "https://turbowarp.org https://experiments.turbowarp.org tw-editor://. "
             "http://localhost:%1")
      .arg(port);
}

OriginList OriginList::parse(const QString& text) {
  OriginList list;
  static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
  for (QString entry : text.split(separators, Qt::SkipEmptyParts)) {
    entry = entry.toLower();
    while (entry.size() > 1 && entry.endsWith(QLatin1Char('/')) &&
           !entry.endsWith(QStringLiteral("://"))) {
      entry.chop(1);
    }
    if (entry == QStringLiteral("null")) {
      list.entries_ << entry;
      continue;
    }
    const qsizetype scheme = entry.indexOf(QStringLiteral("://"));
    if (scheme <= 0) continue;
    QString host = entry.mid(scheme + 3);
    if (host.startsWith(QStringLiteral("*."))) host.remove(0, 2);
    if (host.isEmpty() || !std::all_of(host.begin(), host.end(), hostCharacter)) continue;
    if (!list.entries_.contains(entry)) list.entries_ << entry;
  }
  return list;
}

bool OriginList::allows(const QByteArray& origin) const {
  if (origin.isEmpty()) return false;
  const QString given = QString::fromLatin1(origin).toLower();
  for (const QString& entry : entries_) {
    if (given == entry) return true;
    const qsizetype star = entry.indexOf(QStringLiteral("://*."));
    if (star < 0) continue;
    // "scheme://*.rest": the scheme, then at least one label, then ".rest".
    const QString scheme = entry.left(star + 3);
    const QString rest = entry.mid(star + 4);  // ".rest"
    if (!given.startsWith(scheme) || !given.endsWith(rest)) continue;
    const QString labels = given.mid(scheme.size(), given.size() - scheme.size() - rest.size());
    if (labels.isEmpty() || labels.startsWith(QLatin1Char('.')) ||
        labels.endsWith(QLatin1Char('.'))) {
      continue;
    }
    const bool plain = std::all_of(labels.begin(), labels.end(), [](QChar c) {
      return c != QLatin1Char(':') && c != QLatin1Char('[') && c != QLatin1Char(']') &&
             hostCharacter(c);
    });
    if (plain) return true;
  }
  return false;
}

}  // namespace kelvaro
