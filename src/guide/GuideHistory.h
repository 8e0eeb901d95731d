#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kelvaro {

// The exercises live in this file of the program's home folder "Data", one line each.
inline constexpr char kGuideHistoryFileName[] = "usr_guide.csv";

// One exercise of the breathing guide, as its summary says and its line keeps it.
struct GuideExercise {
  QDateTime start;  // local wall-clock time, to the second
  QString user;
  std::int64_t durationMs = 0;  // to the second
  double pacePerMinute = 0;     // the target, one decimal
  std::optional<double> meanRatePerMinute;
  std::optional<int> scorePercent;  // the mean "Following" over the exercise
  std::int64_t longestFollowedMs = 0;
};

// The exercise's line without its line end:
//   "HH:MM:SS DD.MM.YYYY;user;HH:MM:SS;6.0;6.1;93;HH:MM:SS;"
// start; user; duration; target breaths a minute; mean breaths a minute ("---": none); score in
// percent ("---": none); longest stretch followed. A ";" in the user's name is written as ",", so
// the line always reads back.
QString guideLine(const GuideExercise& exercise);
// The bytes appended: the line in UTF-8 followed by CR LF.
QByteArray guideLineBytes(const GuideExercise& exercise);

// The exercises file of a home folder: Data/usr_guide.csv.
QString guideHistoryPath(const QString& home);

// Appends the exercise's line to the file of `home`, creating the folder and the file when they
// are missing, and has the system write it to the disk before returning (fsync). Throws
// kelvaro::Error naming the path when that fails; nothing is kept open either way.
void appendGuideExercise(const QString& home, const GuideExercise& exercise);

// A damaged line: its number (from 1) and what is wrong, named with the file.
struct GuideHistoryFault {
  int lineNumber = 0;
  QString message;  // "PATH, line N: ..."
};

struct GuideHistory {
  std::vector<GuideExercise> exercises;  // of the user asked for, in the file's order
  std::vector<GuideHistoryFault> faults;
};

// Reads the file's content: lines end with CR LF, LF or CR; a final line without an end counts;
// empty lines are skipped. A damaged line is reported and skipped, the lines after it are read.
// The user is compared exactly. Never throws.
GuideHistory parseGuideHistory(const QByteArray& content, const QString& user,
                               const QString& fileName);
// The file of `home` read and parsed; a missing file is an empty history. An unreadable one is a
// fault of line 0.
GuideHistory readGuideHistory(const QString& home, const QString& user);

// The change of the score from the exercise before (for the list: "+5", "-3", "±0"); none when
// either has no score.
std::optional<int> scoreChange(const std::vector<GuideExercise>& exercises, std::size_t index);
// The scores' trend: the least-squares slope over the last `count` exercises with a score, in
// points an exercise; none with fewer than two.
std::optional<double> scoreTrend(const std::vector<GuideExercise>& exercises,
                                 std::size_t count = 10);

}  // namespace kelvaro
