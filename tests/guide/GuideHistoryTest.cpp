// The exercises' file: its line byte for byte, appending, reading back with damaged lines, the
// trend.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/Errors.h"
#include "guide/GuideHistory.h"

namespace kelvaro {
namespace {

GuideExercise exercise(const QString& user, int score) {
  GuideExercise e;
  e.start = QDateTime(QDate(2026, 3, 4), QTime(7, 8, 9));
  e.user = user;
  e.durationMs = 5 * 60000;
  e.pacePerMinute = 6.0;
  e.meanRatePerMinute = 6.14;
  e.scorePercent = score;
  e.longestFollowedMs = 4 * 60000 + 10000;
  return e;
}

TEST(GuideHistory, WritesTheLineByteForByte) {
  EXPECT_EQ(guideLineBytes(exercise(QStringLiteral("Alice"), 93)),
            QByteArray("07:08:09 04.03.2026;Alice;00:05:00;6.0;6.1;93;00:04:10;\r\n"));
  GuideExercise unknown = exercise(QString::fromUtf8("Jiří;K"), 0);
  unknown.meanRatePerMinute.reset();
  unknown.scorePercent.reset();
  unknown.pacePerMinute = 5.5;
  unknown.longestFollowedMs = 0;
  EXPECT_EQ(
      guideLineBytes(unknown),
      QByteArray("07:08:09 04.03.2026;Ji\xC5\x99\xC3\xAD,K;00:05:00;5.5;---;---;00:00:00;\r\n"));
}

TEST(GuideHistory, AppendsAndReadsBackTheUsersExercises) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  EXPECT_TRUE(readGuideHistory(home.path(), QStringLiteral("Alice")).exercises.empty());
  appendGuideExercise(home.path(), exercise(QStringLiteral("Alice"), 70));
  appendGuideExercise(home.path(), exercise(QStringLiteral("Bob"), 50));
  appendGuideExercise(home.path(), exercise(QStringLiteral("Alice"), 80));
  QFile file(home.filePath(QStringLiteral("Data/usr_guide.csv")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count("\r\n"), 3);
  const GuideHistory h = readGuideHistory(home.path(), QStringLiteral("Alice"));
  EXPECT_TRUE(h.faults.empty());
  ASSERT_EQ(h.exercises.size(), 2u);
  EXPECT_EQ(h.exercises[1].scorePercent, 80);
  EXPECT_EQ(guideLine(h.exercises[0]), guideLine(exercise(QStringLiteral("Alice"), 70)));
  EXPECT_EQ(scoreChange(h.exercises, 1), 10);
  EXPECT_FALSE(scoreChange(h.exercises, 0).has_value());
}

TEST(GuideHistory, AnEmptyFileIsAnEmptyHistory) {
  for (const char* content : {"", "\r\n", "\n\n\r"}) {
    const GuideHistory h = parseGuideHistory(content, QStringLiteral("Alice"), "usr_guide.csv");
    EXPECT_TRUE(h.exercises.empty()) << content;
    EXPECT_TRUE(h.faults.empty()) << content;
  }
}

TEST(GuideHistory, ReportsEachDamagedLineByFileAndLineAndReadsOn) {
  const QByteArray good = "07:08:09 04.03.2026;Alice;00:05:00;6.0;6.1;93;00:04:10;";
  const QByteArray content =
      good + "\r\n" +                                                   // 1
      "07:08:09 04.03.2026;Alice;00:05:00;6.0;6.1;93;00:04:10\r\n" +    // 2: no final ";"
      "07:08:09 04.03.2026;Alice;00:05:00;6.0;93;00:04:10;\n" +         // 3: a field missing
      "7:08 pm;Alice;00:05:00;6.0;6.1;93;00:04:10;\r" +                 // 4: the start
      "07:08:09 04.03.2026;Alice;5 min;6.0;6.1;93;00:04:10;\r\n" +      // 5: the duration
      "07:08:09 04.03.2026;Alice;00:05:00;fast;6.1;93;00:04:10;\r\n" +  // 6: the pace
      "07:08:09 04.03.2026;Alice;00:05:00;6.0;6,1;93;00:04:10;\r\n" +   // 7: the rate
      "07:08:09 04.03.2026;Alice;00:05:00;6.0;6.1;101;00:04:10;\r\n" +  // 8: the score
      "07:08:09 04.03.2026;Alice;00:05:00;6.0;6.1;93;;\r\n" +           // 9: the stretch
      "\r\n" +                                                          // 10: empty, skipped
      good;                                                             // 11: no line end
  const GuideHistory h =
      parseGuideHistory(content, QStringLiteral("Alice"), "/h/Data/usr_guide.csv");
  ASSERT_EQ(h.exercises.size(), 2u);
  ASSERT_EQ(h.faults.size(), 8u);
  const int lines[] = {2, 3, 4, 5, 6, 7, 8, 9};
  for (std::size_t i = 0; i < h.faults.size(); ++i) {
    EXPECT_EQ(h.faults[i].lineNumber, lines[i]);
    EXPECT_TRUE(h.faults[i].message.startsWith(
        QStringLiteral("/h/Data/usr_guide.csv, line %1: ").arg(lines[i])))
        << h.faults[i].message.toStdString();
  }
  EXPECT_EQ(h.faults[0].message.toStdString(),
            "/h/Data/usr_guide.csv, line 2: the line does not end with \";\"");
  EXPECT_EQ(h.faults[6].message.toStdString(),
            "/h/Data/usr_guide.csv, line 8: '101' is not a valid score");
}

TEST(GuideHistory, AppendingWhereNoFolderCanBeMadeThrowsNamingThePath) {
  QTemporaryDir home;
  QFile blocker(home.filePath(QStringLiteral("Data")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder would be
  blocker.close();
  try {
    appendGuideExercise(home.path(), exercise(QStringLiteral("Alice"), 1));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Data"), std::string::npos) << e.what();
  }
}

TEST(GuideHistory, TheTrendIsTheSlopeOfTheLatestScores) {
  std::vector<GuideExercise> list;
  for (int score : {10, 40, 20, 30, 40, 50}) list.push_back(exercise(QStringLiteral("A"), score));
  list[0].scorePercent.reset();
  EXPECT_NEAR(*scoreTrend(list, 4), 10.0, 1e-9);  // 20, 30, 40, 50
  EXPECT_FALSE(scoreTrend({list[0], list[1]}).has_value());
}

}  // namespace
}  // namespace kelvaro
