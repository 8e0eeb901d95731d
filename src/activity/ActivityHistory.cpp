#include "activity/ActivityHistory.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <algorithm>

#include "activity/ActivitySession.h"
#include "base/Errors.h"
#include "base/Formats.h"
#include "base/HistoryFile.h"

namespace kelvaro {

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;
const QString kMissingValue = QStringLiteral("---");

// A value text of the activity monitor: "---" stands for no value and reads as 0.
std::optional<double> readValue(const QString& text) {
  if (text == kMissingValue) return 0.0;
  return fmt::parseReal(text);
}

QString quoted(const QString& text) { return QLatin1Char('\'') + text + QLatin1Char('\''); }

// One line's contribution, or what is wrong with it.
struct ParsedLine {
  QDateTime start;
  std::int64_t durationMs = 0;
  double forceAverage = 0;
  double motionAverage = 0;
  QString fault;
};

ParsedLine parseLine(const QString& text, const HistoryLineFields& fields) {
  ParsedLine parsed;
  if (text.isEmpty()) {
    parsed.fault = QStringLiteral("the line is empty");
    return parsed;
  }
  if (fields.overflow) {
    parsed.fault = QStringLiteral("the line has more than %1 separators")
                       .arg(HistoryLineFields::kSlotCount - 1);
    return parsed;
  }
  const auto& s = fields.parts;
  const auto time = fmt::parseTime(s[0]);
  if (!time) {
    parsed.fault = QStringLiteral("%1 is not a valid time").arg(quoted(s[0]));
    return parsed;
  }
  const auto date = fmt::parseDate(s[1]);
  if (!date) {
    parsed.fault = QStringLiteral("%1 is not a valid date").arg(quoted(s[1]));
    return parsed;
  }
  const auto duration = fmt::parseTime(s[4]);
  if (!duration) {
    parsed.fault = QStringLiteral("%1 is not a valid time").arg(quoted(s[4]));
    return parsed;
  }
  const auto force = readValue(s[8]);
  if (!force) {
    parsed.fault = QStringLiteral("%1 is not a valid number").arg(quoted(s[8]));
    return parsed;
  }
  const auto motion = readValue(s[7]);
  if (!motion) {
    parsed.fault = QStringLiteral("%1 is not a valid number").arg(quoted(s[7]));
    return parsed;
  }
  // The fields are wall-clock values; UTC keeps a time in a daylight-saving gap as written.
  parsed.start = QDateTime(*date, *time, QTimeZone::utc());
  parsed.durationMs = duration->msecsSinceStartOfDay();
  parsed.forceAverage = *force;
  parsed.motionAverage = *motion;
  return parsed;
}

HistoryTotals makeTotals(int count, std::int64_t durationMs, double forceSum) {
  HistoryTotals totals;
  totals.count = count;
  totals.durationMs = durationMs;
  // A file without lines has no average; it shows as 0 rather than as a division by zero.
  totals.forceAverage = count > 0 ? forceSum / count : 0.0;
  totals.countText = QString::number(count);
  totals.durationText = QString::number(durationMs / kDayMs) + QStringLiteral(" Day ") +
                        fmt::formatTimeOfDay(durationMs);
  totals.averageText = fmt::formatFloat(QStringLiteral("0.00"), totals.forceAverage);
  return totals;
}

}  // namespace

HistoryLineFields SplitHistoryLine(const QString& line) {
  HistoryLineFields fields;
  std::size_t slot = 0;
  qsizetype begin = 0;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar c = line[i];
    if (c != QLatin1Char(';') && !(slot == 0 && c == QLatin1Char(' '))) continue;
    fields.parts[slot] = line.mid(begin, i - begin);
    begin = i + 1;
    if (slot + 1 == fields.parts.size()) {
      fields.overflow = true;
      return fields;
    }
    ++slot;
  }
  fields.parts[slot] = line.mid(begin);
  return fields;
}

HistoryReport parseHistory(const QByteArray& content, const QString& user,
                           const HistoryLineSink& eachLine, const QString& fileName) {
  HistoryReport report;
  report.title = QStringLiteral("Activity History for ") + user;
  int count = 0;
  std::int64_t durationSum = 0;
  double forceSum = 0;
  for (qsizetype begin = 0; begin < content.size();) {
    const history::LineBounds bounds = history::lineAt(content, begin);
    const QString text = QString::fromUtf8(content.constData() + begin, bounds.end - begin);
    begin = bounds.next;
    const int lineNumber = count + 1;
    if (eachLine) eachLine(text);
    const HistoryLineFields fields = SplitHistoryLine(text);
    const ParsedLine parsed = parseLine(text, fields);
    if (!parsed.fault.isEmpty()) {
      report.fault = HistoryFault{
          lineNumber,
          QStringLiteral("%1, line %2: %3").arg(fileName).arg(lineNumber).arg(parsed.fault)};
      return report;
    }
    if (fields.parts[3] == user) {
      HistoryPoint point;
      point.x = static_cast<int>(report.points.size());
      point.label = fmt::formatDateTimeShort(parsed.start);
      point.minutes = static_cast<double>(parsed.durationMs) / 60000.0;
      point.forceAverage = parsed.forceAverage;
      point.motionAverage = parsed.motionAverage;
      report.points.push_back(std::move(point));
    }
    durationSum += parsed.durationMs;
    forceSum += parsed.forceAverage;
    ++count;
  }
  report.totals = makeTotals(count, durationSum, forceSum);
  return report;
}

HistoryReport readHistory(const QString& home, const QString& user,
                          const HistoryLineSink& eachLine) {
  const QString path = QFileInfo(historyFilePath(home)).absoluteFilePath();
  if (!QFileInfo::exists(path)) {
    throw Error(QStringLiteral("File not found: %1").arg(path).toStdString());
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw Error(
        QStringLiteral("Unable to read %1: %2").arg(path, file.errorString()).toStdString());
  }
  const QByteArray content = file.readAll();
  const bool failed = file.error() != QFileDevice::NoError;
  const QString reason = file.errorString();
  file.close();
  if (failed) {
    throw Error(QStringLiteral("Unable to read %1: %2").arg(path, reason).toStdString());
  }
  return parseHistory(content, user, eachLine, path);
}

void HistoryPaging::setPointCount(int count) { count_ = std::max(count, 0); }

void HistoryPaging::setPerPage(int perPage) {
  perPage_ = perPage;
  page_ = std::min(page_, pageCount());
}

void HistoryPaging::left() {
  if (page_ > 0) page_ = std::max(page_ - 1, 1);
}

void HistoryPaging::right() {
  if (page_ < pageCount()) ++page_;
}

int HistoryPaging::pageCount() const {
  if (perPage_ < 1) return 1;
  return std::max(count_ / perPage_ + (count_ % perPage_ != 0 ? 1 : 0), 1);
}

int HistoryPaging::firstIndex() const { return perPage_ < 1 ? 0 : (page_ - 1) * perPage_; }

int HistoryPaging::endIndex() const {
  if (perPage_ < 1) return count_;
  const int first = firstIndex();
  return std::max(first, std::min(first + perPage_, count_));
}

int HistoryPaging::axisMaximum() const {
  if (perPage_ < 1) return std::max(count_ - 1, 0);
  return firstIndex() + perPage_ - 1;
}

}  // namespace kelvaro
