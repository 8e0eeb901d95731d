#include "activity/ActivityHistory.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTime>
#include <string>
#include <vector>

#include "activity/ActivitySession.h"
#include "base/Errors.h"

namespace kelvaro {
namespace {

QDateTime at(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
  return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms));
}

ActivitySession session(const QString& user, const QDateTime& start, const QDateTime& stop) {
  ActivitySession s;
  s.start = start;
  s.stop = stop;
  s.beltId = QStringLiteral("00078023A1B2");
  s.user = user;
  s.motionActivity = QStringLiteral("0.40");
  s.forceActivity = QStringLiteral("3.50");
  s.motionAverage = QStringLiteral("1.10");
  s.forceAverage = QStringLiteral("2.75");
  return s;
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  ASSERT_EQ(file.write(bytes), bytes.size());
}

// --- the session line ---------------------------------------------------------------------

struct SessionLineCase {
  const char* name;
  ActivitySession session;
  const char* expected;
};

ActivitySession withoutValues(ActivitySession s) {
  s.motionActivity = s.forceActivity = s.motionAverage = s.forceAverage = QStringLiteral("---");
  return s;
}

const auto kStart = at(2024, 3, 5, 8, 7, 6);

class SessionLineTest : public ::testing::TestWithParam<SessionLineCase> {};

TEST_P(SessionLineTest, ComposesFieldsInOrder) {
  const SessionLineCase& c = GetParam();
  EXPECT_EQ(sessionLine(c.session).toStdString(), c.expected);
  EXPECT_EQ(sessionLineBytes(c.session).toStdString(), std::string(c.expected) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    ActivitySession, SessionLineTest,
    ::testing::Values(
        SessionLineCase{"Typical", session("Anna", kStart, kStart.addSecs(5025)),
                        "08:07:06 05.03.2024;00078023A1B2;Anna;01:23:45;0.40;3.50;1.10;2.75;"},
        SessionLineCase{"NoBlockYet", withoutValues(session("Anna", kStart, kStart.addSecs(12))),
                        "08:07:06 05.03.2024;00078023A1B2;Anna;00:00:12;---;---;---;---;"},
        SessionLineCase{"TwentyFiveHoursDropTheDay",
                        session("Anna", kStart, kStart.addSecs(25 * 3600)),
                        "08:07:06 05.03.2024;00078023A1B2;Anna;01:00:00;0.40;3.50;1.10;2.75;"},
        SessionLineCase{"ExactlyOneDay", session("Anna", kStart, kStart.addDays(1)),
                        "08:07:06 05.03.2024;00078023A1B2;Anna;00:00:00;0.40;3.50;1.10;2.75;"},
        SessionLineCase{"OverMidnightAndYearEnd",
                        session("Bo", at(2023, 12, 31, 23, 59, 30), at(2024, 1, 1, 0, 1, 0)),
                        "23:59:30 31.12.2023;00078023A1B2;Bo;00:01:30;0.40;3.50;1.10;2.75;"},
        SessionLineCase{"MillisecondsTruncated",
                        session("Bo", at(2024, 7, 9, 1, 2, 3, 900), at(2024, 7, 9, 1, 2, 5, 899)),
                        "01:02:03 09.07.2024;00078023A1B2;Bo;00:00:01;0.40;3.50;1.10;2.75;"},
        SessionLineCase{"NameWithSemicolonWrittenAsIs",
                        session("Ann;Lee", kStart, kStart.addSecs(60)),
                        "08:07:06 05.03.2024;00078023A1B2;Ann;Lee;00:01:00;0.40;3.50;1.10;2.75;"},
        SessionLineCase{
            "NameWithSpaces", session(" Anna Maria ", kStart, kStart.addSecs(60)),
            "08:07:06 05.03.2024;00078023A1B2; Anna Maria ;00:01:00;0.40;3.50;1.10;2.75;"},
        SessionLineCase{"EmptyName", session("", kStart, kStart.addSecs(60)),
                        "08:07:06 05.03.2024;00078023A1B2;;00:01:00;0.40;3.50;1.10;2.75;"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ActivitySessionBytes, NonAsciiNameIsUtf8) {
  const ActivitySession s = session(QStringLiteral("Zo\u00eb"), kStart, kStart.addSecs(1));
  EXPECT_EQ(
      sessionLineBytes(s),
      QByteArray("08:07:06 05.03.2024;00078023A1B2;Zo\xc3\xab;00:00:01;0.40;3.50;1.10;2.75;\r\n"));
}

// --- appending -----------------------------------------------------------------------------

class HistoryAppendTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(home.isValid()); }
  QTemporaryDir home;
};

TEST_F(HistoryAppendTest, CreatesDataFolderAndAppendsCrLfLines) {
  ASSERT_FALSE(QFileInfo::exists(home.filePath("Data")));
  const ActivitySession first = session("Anna", kStart, kStart.addSecs(60));
  const ActivitySession second =
      withoutValues(session("Bo", kStart.addSecs(3600), kStart.addSecs(3700)));
  appendSession(home.path(), first);
  EXPECT_TRUE(QFileInfo(home.filePath("Data")).isDir());
  EXPECT_EQ(readAll(home.filePath("Data/usr_act.csv")), sessionLineBytes(first));
  appendSession(home.path(), second);
  EXPECT_EQ(readAll(home.filePath("Data/usr_act.csv")),
            QByteArray("08:07:06 05.03.2024;00078023A1B2;Anna;00:01:00;0.40;3.50;1.10;2.75;\r\n"
                       "09:07:06 05.03.2024;00078023A1B2;Bo;00:01:40;---;---;---;---;\r\n"));
}

TEST_F(HistoryAppendTest, KeepsWhatTheFileHeld) {
  ASSERT_TRUE(QDir(home.path()).mkdir("Data"));
  writeAll(home.filePath("Data/usr_act.csv"), "old line\r\n");
  const ActivitySession s = session("Anna", kStart, kStart.addSecs(60));
  appendSession(home.path(), s);
  EXPECT_EQ(readAll(home.filePath("Data/usr_act.csv")), "old line\r\n" + sessionLineBytes(s));
}

TEST_F(HistoryAppendTest, LowerCaseDataFolderIsTheSameFile) {
  ASSERT_TRUE(QDir(home.path()).mkdir("data"));
  writeAll(home.filePath("data/usr_act.csv"), "old line\r\n");
  EXPECT_EQ(historyFilePath(home.path()), home.filePath("data/usr_act.csv"));
  const ActivitySession s = session("Anna", kStart, kStart.addSecs(60));
  appendSession(home.path(), s);
  EXPECT_FALSE(QFileInfo::exists(home.filePath("Data")));
  EXPECT_EQ(readAll(home.filePath("data/usr_act.csv")), "old line\r\n" + sessionLineBytes(s));
  const HistoryReport report = readHistory(home.path(), "Anna", {});
  EXPECT_TRUE(report.fault.has_value());  // "old line" is damaged, but it was read from there
  EXPECT_EQ(report.fault->lineNumber, 1);
}

struct UnwritableCase {
  const char* name;
  const char* blocker;  // made a regular file or a folder where the writer needs the other
  bool blockerIsFolder;
  const char* pathInMessage;
};

class HistoryAppendFailureTest : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(HistoryAppendFailureTest, ThrowsErrorNamingThePath) {
  const UnwritableCase& c = GetParam();
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString home = root.filePath("home");
  ASSERT_TRUE(QDir(root.path()).mkdir("home"));
  if (c.blockerIsFolder) {
    ASSERT_TRUE(QDir(home).mkpath(c.blocker));
  } else {
    writeAll(QDir(home).filePath(c.blocker), "not a folder");
  }
  const QString expectedPath = QFileInfo(QDir(home).filePath(c.pathInMessage)).absoluteFilePath();
  try {
    appendSession(home, session("Anna", kStart, kStart.addSecs(60)));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(expectedPath.toStdString()), std::string::npos)
        << e.what();
  }
  // The session stays open and the stop can be tried again once the blocker is gone.
  if (c.blockerIsFolder) {
    ASSERT_TRUE(QDir(QDir(home).filePath(c.blocker)).removeRecursively());
  } else {
    ASSERT_TRUE(QFile::remove(QDir(home).filePath(c.blocker)));
  }
  appendSession(home, session("Anna", kStart, kStart.addSecs(60)));
  EXPECT_EQ(readAll(QDir(home).filePath("Data/usr_act.csv")),
            sessionLineBytes(session("Anna", kStart, kStart.addSecs(60))));
}

INSTANTIATE_TEST_SUITE_P(HistoryAppend, HistoryAppendFailureTest,
                         ::testing::Values(UnwritableCase{"DataIsAFile", "Data", false, "Data"},
                                           UnwritableCase{"FileIsAFolder", "Data/usr_act.csv", true,
                                                          "Data/usr_act.csv"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryAppendMissingHome, ThrowsErrorNamingTheFolder) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString home = root.filePath("gone");  // the writer creates one level only
  const QString folder = QFileInfo(home + "/Data").absoluteFilePath();
  try {
    appendSession(home, session("Anna", kStart, kStart.addSecs(60)));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(folder.toStdString()), std::string::npos) << e.what();
  }
  EXPECT_FALSE(QFileInfo::exists(home));
}

// --- splitting -----------------------------------------------------------------------------

struct SplitCase {
  const char* name;
  const char* line;
  std::vector<const char*> parts;  // the leading parts; every later one must be empty
  bool overflow;
};

class SplitHistoryLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitHistoryLineTest, FillsSlots) {
  const SplitCase& c = GetParam();
  const HistoryLineFields fields = SplitHistoryLine(QString::fromUtf8(c.line));
  EXPECT_EQ(fields.overflow, c.overflow);
  for (std::size_t i = 0; i < fields.parts.size(); ++i) {
    const std::string expected = i < c.parts.size() ? c.parts[i] : "";
    EXPECT_EQ(fields.parts[i].toStdString(), expected) << "slot " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    SplitHistoryLine, SplitHistoryLineTest,
    ::testing::Values(
        SplitCase{"WellFormed",
                  "08:07:06 05.03.2024;00078023A1B2;Anna;01:23:45;0.40;3.50;1.10;2.75;",
                  {"08:07:06", "05.03.2024", "00078023A1B2", "Anna", "01:23:45", "0.40", "3.50",
                   "1.10", "2.75"},
                  false},
        SplitCase{"SpaceInNameKept",
                  "08:07:06 05.03.2024;ID; Anna Maria ;01:23:45;---;---;---;---;",
                  {"08:07:06", "05.03.2024", "ID", " Anna Maria ", "01:23:45", "---", "---", "---",
                   "---"},
                  false},
        SplitCase{"SemicolonInNameShifts",
                  "08:07:06 05.03.2024;ID;Ann;Lee;01:23:45;0.40;3.50;1.10;2.75;",
                  {"08:07:06", "05.03.2024", "ID", "Ann", "Lee", "01:23:45", "0.40", "3.50", "1.10",
                   "2.75"},
                  false},
        SplitCase{"SpacesSplitOnlyTheFirstSlot", "a b c;d e", {"a", "b c", "d e"}, false},
        SplitCase{"OnlyTheFirstSpaceSplits", "  x;;y", {"", " x", "", "y"}, false},
        SplitCase{"ConsecutiveSeparatorsLeaveEmptySlots", "a;;;b;", {"a", "", "", "b"}, false},
        SplitCase{"Empty", "", {}, false},
        SplitCase{"TwentySeparatorsFit",
                  "0;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20",
                  {"0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9", "10",
                   "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"},
                  false},
        SplitCase{"TwentyOneSeparatorsOverflow",
                  "0;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21",
                  {"0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9", "10",
                   "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"},
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- reading the history -------------------------------------------------------------------

const QString kFile = QStringLiteral("/home/u/Data/usr_act.csv");

HistoryReport parse(const QByteArray& content, const QString& user,
                    QStringList* console = nullptr) {
  return parseHistory(
      content, user,
      [console](const QString& line) {
        if (console != nullptr) console->append(line);
      },
      kFile);
}

TEST(HistoryParse, ChartsSelectedUserAndTotalsEveryLine) {
  const QByteArray content =
      "08:07:06 05.03.2024;ID1;Anna;01:30:00;0.40;3.50;1.10;2.75;\r\n"
      "9:05:00 6.3.2024;ID1;anna;00:10:00;0.40;3.50;9.00;9.00;\r\n"
      "23:59:59 31.12.2024;ID2;Anna;00:00:30;---;---;---;---;\r\n"
      "10:00:00 07.03.2024;ID1;Bo;02:00:15;1;1;1;-0.5;\r\n"
      "10:00:00 07.03.2024;ID1; Anna ;00:01:00;1;1;1;1;\r\n"
      "11:11:11 08.03.2024;ID1;Anna Maria;00:00:06;1;1;0.5;1.25;\r\n";
  QStringList console;
  const HistoryReport report = parse(content, "Anna", &console);
  EXPECT_EQ(report.title.toStdString(), "Activity History for Anna");
  ASSERT_FALSE(report.fault.has_value()) << report.fault->message.toStdString();
  ASSERT_EQ(report.points.size(), 2u);
  EXPECT_EQ(report.points[0].x, 0);
  EXPECT_EQ(report.points[0].label.toStdString(), "08:07 05.03.24");
  EXPECT_DOUBLE_EQ(report.points[0].minutes, 90.0);
  EXPECT_DOUBLE_EQ(report.points[0].forceAverage, 2.75);
  EXPECT_DOUBLE_EQ(report.points[0].motionAverage, 1.10);
  EXPECT_EQ(report.points[1].x, 1);
  EXPECT_EQ(report.points[1].label.toStdString(), "23:59 31.12.24");
  EXPECT_DOUBLE_EQ(report.points[1].minutes, 0.5);
  EXPECT_DOUBLE_EQ(report.points[1].forceAverage, 0.0);
  EXPECT_DOUBLE_EQ(report.points[1].motionAverage, 0.0);

  ASSERT_TRUE(report.totals.has_value());
  EXPECT_EQ(report.totals->count, 6);
  EXPECT_EQ(report.totals->countText.toStdString(), "6");
  // 1:30:00 + 0:10:00 + 0:00:30 + 2:00:15 + 0:01:00 + 0:00:06
  EXPECT_EQ(report.totals->durationMs, (3 * 3600 + 41 * 60 + 51) * 1000LL);
  EXPECT_EQ(report.totals->durationText.toStdString(), "0 Day 03:41:51");
  // (2.75 + 9 + 0 - 0.5 + 1 + 1.25) / 6 = 13.5 / 6 = 2.25
  EXPECT_DOUBLE_EQ(report.totals->forceAverage, 2.25);
  EXPECT_EQ(report.totals->averageText.toStdString(), "2.25");

  ASSERT_EQ(console.size(), 6);
  EXPECT_EQ(console[0].toStdString(), "08:07:06 05.03.2024;ID1;Anna;01:30:00;0.40;3.50;1.10;2.75;");
  EXPECT_EQ(console[5].toStdString(), "11:11:11 08.03.2024;ID1;Anna Maria;00:00:06;1;1;0.5;1.25;");
}

TEST(HistoryParse, NameWithSpaceAndSemicolonRoundTrip) {
  const ActivitySession spaced = session("Anna Maria", kStart, kStart.addSecs(600));
  const ActivitySession split = session("Ann;Lee", kStart, kStart.addSecs(600));
  const QByteArray content = sessionLineBytes(spaced) + sessionLineBytes(split);
  EXPECT_EQ(parse(content, "Anna Maria").points.size(), 1u);
  // The ";" moves "Lee" into the duration's place, which does not read as a time.
  const HistoryReport report = parse(content, "Ann;Lee");
  ASSERT_TRUE(report.fault.has_value());
  EXPECT_EQ(report.fault->lineNumber, 2);
  EXPECT_TRUE(report.points.empty());
}

struct LineEndCase {
  const char* name;
  QByteArray content;
  int lines;
};

class HistoryLineEndTest : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(HistoryLineEndTest, CountsLines) {
  const LineEndCase& c = GetParam();
  QStringList console;
  const HistoryReport report = parse(c.content, "A", &console);
  ASSERT_FALSE(report.fault.has_value()) << report.fault->message.toStdString();
  EXPECT_EQ(report.totals->count, c.lines);
  EXPECT_EQ(static_cast<int>(report.points.size()), c.lines);
  EXPECT_EQ(console.size(), c.lines);
  for (const QString& line : console) {
    EXPECT_FALSE(line.contains('\r') || line.contains('\n'));
  }
}

const QByteArray kLineA = "01:00:00 01.01.2024;I;A;00:01:00;---;---;---;---;";

INSTANTIATE_TEST_SUITE_P(
    HistoryParse, HistoryLineEndTest,
    ::testing::Values(LineEndCase{"CrLf", kLineA + "\r\n" + kLineA + "\r\n", 2},
                      LineEndCase{"Lf", kLineA + "\n" + kLineA + "\n", 2},
                      LineEndCase{"Cr", kLineA + "\r" + kLineA + "\r", 2},
                      LineEndCase{"Mixed", kLineA + "\n" + kLineA + "\r\n" + kLineA, 3},
                      LineEndCase{"LastLineWithoutEnd", kLineA + "\r\n" + kLineA, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryParse, EmptyFileGivesZeroTotals) {
  QStringList console;
  const HistoryReport report = parse(QByteArray(), "Anna", &console);
  EXPECT_FALSE(report.fault.has_value());
  EXPECT_TRUE(report.points.empty());
  EXPECT_TRUE(console.isEmpty());
  EXPECT_EQ(report.title.toStdString(), "Activity History for Anna");
  ASSERT_TRUE(report.totals.has_value());
  EXPECT_EQ(report.totals->count, 0);
  EXPECT_EQ(report.totals->countText.toStdString(), "0");
  EXPECT_EQ(report.totals->durationText.toStdString(), "0 Day 00:00:00");
  EXPECT_EQ(report.totals->averageText.toStdString(), "0.00");
}

struct TotalsCase {
  const char* name;
  std::vector<const char*> durationsAndForce;  // pairs: duration text, force average text
  const char* durationText;
  const char* averageText;
};

class HistoryTotalsTest : public ::testing::TestWithParam<TotalsCase> {};

TEST_P(HistoryTotalsTest, FormatsSums) {
  const TotalsCase& c = GetParam();
  QByteArray content;
  for (std::size_t i = 0; i + 1 < c.durationsAndForce.size(); i += 2) {
    content += QByteArray("12:00:00 01.02.2024;I;X;") + c.durationsAndForce[i] + ";1;1;1;" +
               c.durationsAndForce[i + 1] + ";\r\n";
  }
  const HistoryReport report = parse(content, "nobody");
  ASSERT_TRUE(report.totals.has_value()) << report.fault->message.toStdString();
  EXPECT_TRUE(report.points.empty());
  EXPECT_EQ(report.totals->count, static_cast<int>(c.durationsAndForce.size() / 2));
  EXPECT_EQ(report.totals->durationText.toStdString(), c.durationText);
  EXPECT_EQ(report.totals->averageText.toStdString(), c.averageText);
}

INSTANTIATE_TEST_SUITE_P(
    HistoryTotals, HistoryTotalsTest,
    ::testing::Values(
        TotalsCase{"One", {"01:23:45", "4.2"}, "0 Day 01:23:45", "4.20"},
        TotalsCase{"OverOneDay", {"13:00:00", "1.25", "13:00:00", "2.5"}, "1 Day 02:00:00", "1.88"},
        TotalsCase{"ExactlyTwoDays",
                   {"23:59:59", "---", "23:59:59", "---", "00:00:02", "---"},
                   "2 Day 00:00:00",
                   "0.00"},
        TotalsCase{"ShortTimeAndNegativeAverage", {"1:2", "-0.004"}, "0 Day 01:02:00", "0.00"},
        TotalsCase{"Exponent", {"00:00:01", "1e2", "00:00:01", " 2 "}, "0 Day 00:00:02", "51.00"}),
    [](const auto& info) { return std::string(info.param.name); });

struct DamagedCase {
  const char* name;
  const char* badLine;
  const char* what;  // the part of the message after the line number
};

class HistoryDamagedLineTest : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(HistoryDamagedLineTest, StopsAtTheLineNamingFileAndLine) {
  const DamagedCase& c = GetParam();
  const QByteArray good = "08:07:06 05.03.2024;I;Anna;00:10:00;1;1;1;2;\r\n";
  const QByteArray content = good + good + c.badLine + "\r\n" + good;
  QStringList console;
  const HistoryReport report = parse(content, "Anna", &console);
  ASSERT_TRUE(report.fault.has_value());
  EXPECT_FALSE(report.totals.has_value());
  EXPECT_EQ(report.fault->lineNumber, 3);
  EXPECT_EQ(report.fault->message.toStdString(), kFile.toStdString() + ", line 3: " + c.what);
  EXPECT_EQ(report.points.size(), 2u);  // the points read before it stay
  EXPECT_EQ(report.title.toStdString(), "Activity History for Anna");
  ASSERT_EQ(console.size(), 3);  // the damaged line is on the console too
  EXPECT_EQ(console[2].toStdString(), c.badLine);
}

INSTANTIATE_TEST_SUITE_P(
    HistoryParse, HistoryDamagedLineTest,
    ::testing::Values(
        DamagedCase{"EmptyLine", "", "the line is empty"},
        DamagedCase{"BrokenStartTime", "08:7x:06 05.03.2024;I;Anna;00:10:00;1;1;1;2;",
                    "'08:7x:06' is not a valid time"},
        DamagedCase{"HourOutOfRange", "24:00:00 05.03.2024;I;Anna;00:10:00;1;1;1;2;",
                    "'24:00:00' is not a valid time"},
        DamagedCase{"BrokenDate", "08:07:06 31.02.2024;I;Anna;00:10:00;1;1;1;2;",
                    "'31.02.2024' is not a valid date"},
        DamagedCase{"MissingDate", "08:07:06;I;Anna;00:10:00;1;1;1;2;", "'I' is not a valid date"},
        DamagedCase{"HugeHour", "4444444444:07:06 05.03.2024;I;Anna;00:10:00;1;1;1;2;",
                    "'4444444444:07:06' is not a valid time"},
        DamagedCase{"HugeYear", "08:07:06 05.03.99999999999;I;Anna;00:10:00;1;1;1;2;",
                    "'05.03.99999999999' is not a valid date"},
        DamagedCase{"FiveDigitYear", "08:07:06 05.03.20245;I;Anna;00:10:00;1;1;1;2;",
                    "'05.03.20245' is not a valid date"},
        DamagedCase{"HugeDuration", "08:07:06 05.03.2024;I;Anna;00:00:99999999999;1;1;1;2;",
                    "'00:00:99999999999' is not a valid time"},
        DamagedCase{"BrokenDuration", "08:07:06 05.03.2024;I;Anna;10 min;1;1;1;2;",
                    "'10 min' is not a valid time"},
        DamagedCase{"BrokenForceAverage", "08:07:06 05.03.2024;I;Anna;00:10:00;1;1;1;2,5;",
                    "'2,5' is not a valid number"},
        DamagedCase{"EmptyForceAverage", "08:07:06 05.03.2024;I;Anna;00:10:00;1;1;1;;",
                    "'' is not a valid number"},
        DamagedCase{"BrokenMotionAverage", "08:07:06 05.03.2024;I;Anna;00:10:00;1;1;n/a;2;",
                    "'n/a' is not a valid number"},
        DamagedCase{"TooManySeparators", "08:07:06 05.03.2024;I;Anna;00:10:00;1;1;1;2;;;;;;;;;;;;;",
                    "the line has more than 20 separators"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryParse, UnusedSlotsAreNotChecked) {
  const HistoryReport report = parse(
      "08:07:06 05.03.2024;;Anna;00:10:00;junk;;1;2;extra;\r\n"
      // A ";" in place of the blank separates time and date just as well.
      "08:07:06;05.03.2024;I;Anna;00:10:00;1;1;1;2;\r\n"
      // Twenty separators are as many as the parts take.
      "08:07:06 05.03.2024;I;Anna;00:10:00;1;1;1;2;;;;;;;;;;;;\r\n",
      "Anna");
  ASSERT_FALSE(report.fault.has_value()) << report.fault->message.toStdString();
  EXPECT_EQ(report.points.size(), 3u);
}

class HistoryFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(home.isValid()); }
  QTemporaryDir home;
};

TEST_F(HistoryFileTest, MissingFileThrowsFileNotFound) {
  const QString path = QFileInfo(home.filePath("Data/usr_act.csv")).absoluteFilePath();
  try {
    readHistory(home.path(), "Anna", {});
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "File not found: " + path.toStdString());
  }
}

TEST_F(HistoryFileTest, ReadsWhatWasAppended) {
  appendSession(home.path(), session("Anna", kStart, kStart.addSecs(600)));
  appendSession(home.path(), session("Bo", kStart, kStart.addSecs(1200)));
  appendSession(home.path(), session("Anna", kStart.addDays(1), kStart.addDays(1).addSecs(90)));
  QStringList console;
  const HistoryReport report =
      readHistory(home.path(), "Anna", [&console](const QString& line) { console.append(line); });
  ASSERT_FALSE(report.fault.has_value()) << report.fault->message.toStdString();
  ASSERT_EQ(report.points.size(), 2u);
  EXPECT_EQ(report.points[1].label.toStdString(), "08:07 06.03.24");
  EXPECT_DOUBLE_EQ(report.points[1].minutes, 1.5);
  EXPECT_EQ(report.totals->durationText.toStdString(), "0 Day 00:31:30");
  EXPECT_EQ(report.totals->averageText.toStdString(), "2.75");
  EXPECT_EQ(console.size(), 3);
}

TEST_F(HistoryFileTest, DamagedFileStillTakesAnAppend) {
  ASSERT_TRUE(QDir(home.path()).mkdir("Data"));
  writeAll(home.filePath("Data/usr_act.csv"), "garbage\r\n");
  const HistoryReport damaged = readHistory(home.path(), "Anna", {});
  ASSERT_TRUE(damaged.fault.has_value());
  EXPECT_NE(damaged.fault->message.indexOf(
                QFileInfo(home.filePath("Data/usr_act.csv")).absoluteFilePath()),
            -1);
  const ActivitySession s = session("Anna", kStart, kStart.addSecs(60));
  appendSession(home.path(), s);
  EXPECT_EQ(readAll(home.filePath("Data/usr_act.csv")), "garbage\r\n" + sessionLineBytes(s));
}

// --- paging --------------------------------------------------------------------------------

struct PagingStep {
  enum Action { kCount, kPerPage, kLeft, kRight } action;
  int value;  // kCount, kPerPage only
  int page;
  int pages;
  int first;
  int end;
};

struct PagingCase {
  const char* name;
  std::vector<PagingStep> steps;
};

class HistoryPagingTest : public ::testing::TestWithParam<PagingCase> {};

TEST_P(HistoryPagingTest, FollowsClicks) {
  HistoryPaging paging;
  EXPECT_EQ(paging.page(), 1);
  EXPECT_EQ(paging.perPage(), HistoryPaging::kDefaultPerPage);
  int n = 0;
  for (const PagingStep& step : GetParam().steps) {
    switch (step.action) {
      case PagingStep::kCount:
        paging.setPointCount(step.value);
        break;
      case PagingStep::kPerPage:
        paging.setPerPage(step.value);
        break;
      case PagingStep::kLeft:
        paging.left();
        break;
      case PagingStep::kRight:
        paging.right();
        break;
    }
    ++n;
    EXPECT_EQ(paging.page(), step.page) << "step " << n;
    EXPECT_EQ(paging.pageCount(), step.pages) << "step " << n;
    EXPECT_EQ(paging.firstIndex(), step.first) << "step " << n;
    EXPECT_EQ(paging.endIndex(), step.end) << "step " << n;
  }
}

using S = PagingStep;
INSTANTIATE_TEST_SUITE_P(
    HistoryPaging, HistoryPagingTest,
    ::testing::Values(
        PagingCase{"FortyFiveByTwenty",
                   {{S::kCount, 45, 1, 3, 0, 20},
                    {S::kLeft, 0, 1, 3, 0, 20},
                    {S::kRight, 0, 2, 3, 20, 40},
                    {S::kRight, 0, 3, 3, 40, 45},
                    {S::kRight, 0, 3, 3, 40, 45},
                    {S::kLeft, 0, 2, 3, 20, 40},
                    {S::kLeft, 0, 1, 3, 0, 20},
                    {S::kLeft, 0, 1, 3, 0, 20}}},
        PagingCase{"NoPoints", {{S::kRight, 0, 1, 1, 0, 0}, {S::kLeft, 0, 1, 1, 0, 0}}},
        PagingCase{"ExactPages", {{S::kCount, 40, 1, 2, 0, 20}, {S::kCount, 41, 1, 3, 0, 20}}},
        PagingCase{"FewerPerPageKeepsPage",
                   {{S::kCount, 45, 1, 3, 0, 20},
                    {S::kRight, 0, 2, 3, 20, 40},
                    {S::kPerPage, 4, 2, 12, 4, 8}}},
        PagingCase{"MorePerPageGoesToLastPage",
                   {{S::kCount, 45, 1, 3, 0, 20},
                    {S::kRight, 0, 2, 3, 20, 40},
                    {S::kRight, 0, 3, 3, 40, 45},
                    {S::kPerPage, 30, 2, 2, 30, 45},
                    {S::kPerPage, 1000, 1, 1, 0, 45}}},
        PagingCase{"ZeroPerPageShowsAll",
                   {{S::kCount, 45, 1, 3, 0, 20},
                    {S::kRight, 0, 2, 3, 20, 40},
                    {S::kPerPage, 0, 1, 1, 0, 45},
                    {S::kRight, 0, 1, 1, 0, 45},
                    {S::kPerPage, -3, 1, 1, 0, 45},
                    {S::kPerPage, 20, 1, 3, 0, 20}}},
        PagingCase{"UpdateKeepsPage",
                   {{S::kCount, 45, 1, 3, 0, 20},
                    {S::kRight, 0, 2, 3, 20, 40},
                    {S::kRight, 0, 3, 3, 40, 45},
                    {S::kCount, 50, 3, 3, 40, 50},
                    {S::kCount, 10, 3, 1, 40, 40},
                    {S::kLeft, 0, 2, 1, 20, 20},
                    {S::kLeft, 0, 1, 1, 0, 10}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryPaging, LastPageKeepsTheScaleOfAFullPage) {
  HistoryPaging paging;
  paging.setPointCount(45);
  paging.right();
  paging.right();
  EXPECT_EQ(paging.axisMinimum(), 40);
  EXPECT_EQ(paging.axisMaximum(), 59);
  paging.setPerPage(0);
  EXPECT_EQ(paging.axisMinimum(), 0);
  EXPECT_EQ(paging.axisMaximum(), 44);
}

}  // namespace
}  // namespace kelvaro
