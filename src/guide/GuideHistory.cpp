#include "guide/GuideHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimeZone>
#include <cmath>

#include "base/Errors.h"
#include "base/Formats.h"
#include "base/HistoryFile.h"

namespace kelvaro {

namespace {

constexpr int kFields = 7;
const QString kNone = QStringLiteral("---");

QString absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

QString rateText(std::optional<double> rate) {
  return rate ? fmt::formatFloat(QStringLiteral("0.0"), *rate) : kNone;
}

QString quoted(const QString& text) { return QLatin1Char('\'') + text + QLatin1Char('\''); }

// One line, or what is wrong with it.
struct ParsedLine {
  GuideExercise exercise;
  QString fault;
};

std::optional<std::int64_t> readDuration(const QString& text) {
  const auto time = fmt::parseTime(text);
  if (!time) return std::nullopt;
  return std::int64_t(time->msecsSinceStartOfDay());
}

ParsedLine parseLine(const QString& text) {
  ParsedLine p;
  QStringList f = text.split(QLatin1Char(';'));
  // The final ";" ends the last field.
  if (!f.last().isEmpty()) {
    p.fault = QStringLiteral("the line does not end with \";\"");
    return p;
  }
  if (f.size() - 1 != kFields) {
    p.fault = QStringLiteral("%1 fields instead of %2").arg(f.size() - 1).arg(kFields);
    return p;
  }
  const QStringList start = f[0].split(QLatin1Char(' '));
  const auto time = start.size() == 2 ? fmt::parseTime(start[0]) : std::nullopt;
  const auto date = start.size() == 2 ? fmt::parseDate(start[1]) : std::nullopt;
  if (!time || !date) {
    p.fault = QStringLiteral("%1 is not a valid start").arg(quoted(f[0]));
    return p;
  }
  GuideExercise& e = p.exercise;
  // Wall-clock fields as written; UTC keeps a time in a daylight-saving gap as it is.
  e.start = QDateTime(*date, *time, QTimeZone::utc());
  e.user = f[1];
  const auto duration = readDuration(f[2]);
  if (!duration) {
    p.fault = QStringLiteral("%1 is not a valid duration").arg(quoted(f[2]));
    return p;
  }
  e.durationMs = *duration;
  const auto pace = fmt::parseReal(f[3]);
  if (!pace || !std::isfinite(*pace) || *pace <= 0) {
    p.fault = QStringLiteral("%1 is not a valid pace").arg(quoted(f[3]));
    return p;
  }
  e.pacePerMinute = *pace;
  if (f[4] != kNone) {
    const auto mean = fmt::parseReal(f[4]);
    if (!mean || !std::isfinite(*mean) || *mean < 0) {
      p.fault = QStringLiteral("%1 is not a valid rate").arg(quoted(f[4]));
      return p;
    }
    e.meanRatePerMinute = *mean;
  }
  if (f[5] != kNone) {
    bool ok = false;
    const int score = f[5].toInt(&ok);
    if (!ok || score < 0 || score > 100) {
      p.fault = QStringLiteral("%1 is not a valid score").arg(quoted(f[5]));
      return p;
    }
    e.scorePercent = score;
  }
  const auto longest = readDuration(f[6]);
  if (!longest) {
    p.fault = QStringLiteral("%1 is not a valid duration").arg(quoted(f[6]));
    return p;
  }
  e.longestFollowedMs = *longest;
  return p;
}

}  // namespace

QString guideLine(const GuideExercise& e) {
  const QChar sep = QLatin1Char(';');
  QString user = e.user;
  user.replace(sep, QLatin1Char(','));
  QString line = fmt::formatDateTimeLong(e.start);
  line += sep + user + sep + fmt::formatTimeOfDay(e.durationMs) + sep +
          fmt::formatFloat(QStringLiteral("0.0"), e.pacePerMinute) + sep +
          rateText(e.meanRatePerMinute) + sep +
          (e.scorePercent ? QString::number(*e.scorePercent) : kNone) + sep +
          fmt::formatTimeOfDay(e.longestFollowedMs) + sep;
  return line;
}

QByteArray guideLineBytes(const GuideExercise& exercise) {
  return guideLine(exercise).toUtf8() + QByteArrayLiteral("\r\n");
}

QString guideHistoryPath(const QString& home) {
  return QDir(home).filePath(QStringLiteral("Data/") + QString::fromLatin1(kGuideHistoryFileName));
}

void appendGuideExercise(const QString& home, const GuideExercise& exercise) {
  history::appendLine(guideHistoryPath(home), guideLineBytes(exercise));
}

GuideHistory parseGuideHistory(const QByteArray& content, const QString& user,
                               const QString& fileName) {
  GuideHistory history;
  int lineNumber = 0;
  const qsizetype size = content.size();
  for (qsizetype begin = 0; begin < size;) {
    const auto [end, next] = history::lineAt(content, begin);
    ++lineNumber;
    const QString text = QString::fromUtf8(content.constData() + begin, end - begin);
    begin = next;
    if (text.isEmpty()) continue;
    ParsedLine parsed = parseLine(text);
    if (!parsed.fault.isEmpty()) {
      history.faults.push_back(
          {lineNumber,
           QStringLiteral("%1, line %2: %3").arg(fileName).arg(lineNumber).arg(parsed.fault)});
      continue;
    }
    if (parsed.exercise.user == user) history.exercises.push_back(std::move(parsed.exercise));
  }
  return history;
}

GuideHistory readGuideHistory(const QString& home, const QString& user) {
  const QString path = absolute(guideHistoryPath(home));
  if (!QFileInfo::exists(path)) return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    GuideHistory history;
    history.faults.push_back(
        {0, QStringLiteral("Unable to read %1: %2").arg(path, file.errorString())});
    return history;
  }
  const QByteArray content = file.readAll();
  file.close();
  return parseGuideHistory(content, user, path);
}

std::optional<int> scoreChange(const std::vector<GuideExercise>& exercises, std::size_t index) {
  if (index == 0 || index >= exercises.size()) return std::nullopt;
  const auto& now = exercises[index].scorePercent;
  const auto& before = exercises[index - 1].scorePercent;
  if (!now || !before) return std::nullopt;
  return *now - *before;
}

std::optional<double> scoreTrend(const std::vector<GuideExercise>& exercises, std::size_t count) {
  std::vector<double> scores;
  for (auto it = exercises.rbegin(); it != exercises.rend() && scores.size() < count; ++it) {
    if (it->scorePercent) scores.insert(scores.begin(), double(*it->scorePercent));
  }
  if (scores.size() < 2) return std::nullopt;
  const double n = double(scores.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < scores.size(); ++i) {
    sx += double(i);
    sy += scores[i];
    sxx += double(i) * double(i);
    sxy += double(i) * scores[i];
  }
  return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

}  // namespace kelvaro
