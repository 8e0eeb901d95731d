#include "base/SettingsFile.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <string>

#include "base/Errors.h"

namespace kelvaro {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  void setContent(const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
  }

  QByteArray content() const {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
  }

  QTemporaryDir dir;
  QString path = dir.filePath("Darev.ini");
  SettingsFile settings{path};
};

struct IntegerCase {
  const char* text;
  int expected;
};

class IntegerReads : public SettingsFileTest, public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(IntegerReads, ParsesDecimalAndHexOrGivesDefault) {
  setContent(QByteArray("[GLOBAL]\nMax=") + GetParam().text + "\n");
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 65535), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, IntegerReads,
                         ::testing::Values(IntegerCase{"0x1F", 31}, IntegerCase{"0X1f", 31},
                                           IntegerCase{"$1F", 31}, IntegerCase{"-500", -500},
                                           IntegerCase{"  42  ", 42}, IntegerCase{"0", 0},
                                           IntegerCase{"abc", 65535}, IntegerCase{"", 65535},
                                           IntegerCase{"12abc", 65535}, IntegerCase{"1.5", 65535}));

struct BoolCase {
  const char* text;
  bool defaultValue;
  bool expected;
};

class BoolReads : public SettingsFileTest, public ::testing::WithParamInterface<BoolCase> {};

TEST_P(BoolReads, NonZeroIntegerIsTrueAndUnreadableGivesDefault) {
  setContent(QByteArray("[GLOBAL]\nCheckSound=") + GetParam().text + "\n");
  EXPECT_EQ(settings.readBool("GLOBAL", "CheckSound", GetParam().defaultValue),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, BoolReads,
                         ::testing::Values(BoolCase{"1", false, true}, BoolCase{"2", false, true},
                                           BoolCase{"-1", false, true}, BoolCase{"0", true, false},
                                           BoolCase{"0x0", true, false},
                                           BoolCase{"yes", false, false},
                                           BoolCase{"yes", true, true}, BoolCase{"", true, true}));

struct RealCase {
  const char* text;
  double expected;
};

class RealReads : public SettingsFileTest, public ::testing::WithParamInterface<RealCase> {};

TEST_P(RealReads, ParsesWithDotOrGivesDefault) {
  setContent(QByteArray("[GLOBAL]\nK1=") + GetParam().text + "\n");
  EXPECT_DOUBLE_EQ(settings.readReal("GLOBAL", "K1", -7.25), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, RealReads,
                         ::testing::Values(RealCase{"0.5", 0.5}, RealCase{"1.2E-6", 1.2e-6},
                                           RealCase{" 4 ", 4.0}, RealCase{"2.5E20", 2.5e20},
                                           RealCase{"-0.125", -0.125}, RealCase{"", -7.25},
                                           RealCase{"abc", -7.25}, RealCase{"1,5", -7.25}));

struct WriteCase {
  const char* name;
  void (*write)(SettingsFile&);
  const char* line;
};

class Writes : public SettingsFileTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(Writes, EncodeTheValue) {
  GetParam().write(settings);
  EXPECT_EQ(content(), QByteArray("[GLOBAL]\n") + GetParam().line + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Values, Writes,
    ::testing::Values(
        WriteCase{"TinySlope", [](SettingsFile& s) { s.writeReal("GLOBAL", "K1", 0.0000012); },
                  "K1=1.2E-6"},
        WriteCase{"HalfSlope", [](SettingsFile& s) { s.writeReal("GLOBAL", "K1", 0.5); }, "K1=0.5"},
        WriteCase{"WholeSlope", [](SettingsFile& s) { s.writeReal("GLOBAL", "K1", 4.0); }, "K1=4"},
        WriteCase{"NegativeInteger",
                  [](SettingsFile& s) { s.writeInteger("GLOBAL", "LIMLX", -500); }, "LIMLX=-500"},
        WriteCase{"LargestInteger",
                  [](SettingsFile& s) {
                    s.writeInteger("GLOBAL", "Max", std::numeric_limits<int>::max());
                  },
                  "Max=2147483647"},
        WriteCase{"True", [](SettingsFile& s) { s.writeBool("GLOBAL", "CheckMute", true); },
                  "CheckMute=1"},
        WriteCase{"False", [](SettingsFile& s) { s.writeBool("GLOBAL", "CheckMute", false); },
                  "CheckMute=0"},
        WriteCase{"StringAsIs",
                  [](SettingsFile& s) { s.writeString("GLOBAL", "IP", "192.168.1.4"); },
                  "IP=192.168.1.4"},
        WriteCase{"LineBreaksFlattened",
                  [](SettingsFile& s) { s.writeString("GLOBAL", "usr1", "a\r\nb"); }, "usr1=a  b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, BooleanTwoReadsTrueAndIsWrittenBackAsOne) {
  setContent("[GLOBAL]\nCheckSound=2\n");
  const bool sound = settings.readBool("GLOBAL", "CheckSound", false);
  EXPECT_TRUE(sound);
  settings.writeBool("GLOBAL", "CheckSound", sound);
  EXPECT_EQ(content(), "[GLOBAL]\nCheckSound=1\n");
}

TEST_F(SettingsFileTest, RealsRoundTripToFifteenDigits) {
  for (const double value : {0.5, 0.0000012, 4.0, -123.456, 2.5e20, 0.1, 1.0 / 3.0}) {
    settings.writeReal("GLOBAL", "K2", value);
    EXPECT_NEAR(settings.readReal("GLOBAL", "K2", 0.0), value, std::abs(value) * 1e-14)
        << content().toStdString();
  }
}

TEST_F(SettingsFileTest, NamesMatchWithoutRegardToCase) {
  setContent("[global]\ncheckSOUND = 1\n[KEYS]\nkodf1=7\n");
  EXPECT_TRUE(settings.readBool("GLOBAL", "CheckSound", false));
  EXPECT_EQ(settings.readInteger("Keys", "KODF1", 38), 7);
  settings.writeBool("GLOBAL", "CHECKSOUND", false);
  EXPECT_EQ(content(), "[global]\nCHECKSOUND=0\n[KEYS]\nkodf1=7\n");
}

TEST_F(SettingsFileTest, ReplacesTheLineInPlaceKeepingEveryOtherByte) {
  const QByteArray before =
      "; hand-written notes\n[GLOBAL]\nMax = 100 \n  odd line without equals\nMin=0\n\n"
      "[Keys]\nMax=9\n";
  setContent(before);
  settings.writeInteger("GLOBAL", "Max", 200);
  QByteArray expected = before;
  expected.replace("Max = 100 ", "Max=200");
  EXPECT_EQ(content(), expected);
  EXPECT_EQ(settings.readInteger("Keys", "Max", 0), 9);
}

TEST_F(SettingsFileTest, ReadsStringsTrimmedWithEqualsSignsInside) {
  setContent("[GLOBAL]\nIP=  a=b c  \nMAC=\n");
  EXPECT_EQ(settings.readString("GLOBAL", "IP", "x"), "a=b c");
  EXPECT_EQ(settings.readString("GLOBAL", "MAC", "012345678901"), "");
}

TEST_F(SettingsFileTest, ReadsAtMost2047Characters) {
  settings.writeString("users", "usr1", QString(3000, 'n'));
  EXPECT_EQ(settings.readString("users", "usr1", ""), QString(2047, 'n'));
}

TEST_F(SettingsFileTest, KeepsNonAsciiTextAsUtf8) {
  const QString name = QString::fromUtf8("Žluťoučký kůň");
  settings.writeString("users", "usr1", name);
  EXPECT_EQ(content(), QByteArray("[users]\nusr1=") + name.toUtf8() + "\n");
  EXPECT_EQ(settings.readString("users", "usr1", ""), name);
}

TEST_F(SettingsFileTest, AppendsANewKeyAfterTheLastKeyOfItsSection) {
  setContent("[GLOBAL]\nMax=1\nnot a key\nMin=0\n\n\n[Keys]\nKODF1=3\n");
  settings.writeInteger("GLOBAL", "MaxAcel", 65535);
  EXPECT_EQ(content(), "[GLOBAL]\nMax=1\nnot a key\nMin=0\nMaxAcel=65535\n\n\n[Keys]\nKODF1=3\n");
}

TEST_F(SettingsFileTest, AppendsAfterTheHeaderOfASectionWithoutKeys) {
  setContent("[GLOBAL]\n[Keys]\nKODF1=3\n");
  settings.writeInteger("GLOBAL", "Max", 5);
  EXPECT_EQ(content(), "[GLOBAL]\nMax=5\n[Keys]\nKODF1=3\n");
}

TEST_F(SettingsFileTest, AppendsToAnUnterminatedLastLine) {
  setContent("[GLOBAL]\nMax=1");
  settings.writeInteger("GLOBAL", "Min", 2);
  EXPECT_EQ(content(), "[GLOBAL]\nMax=1\nMin=2\n");
}

TEST_F(SettingsFileTest, AppendsANewSectionAtTheEnd) {
  setContent("[GLOBAL]\nMax=1");
  settings.writeBool("SetGraf", "Force1", true);
  EXPECT_EQ(content(), "[GLOBAL]\nMax=1\n\n[SetGraf]\nForce1=1\n");
}

TEST_F(SettingsFileTest, KeepsTheFilesCrLfLineEnds) {
  setContent("[GLOBAL]\r\nMax=1\r\n");
  EXPECT_EQ(settings.readString("GLOBAL", "Max", ""), "1");
  settings.writeInteger("GLOBAL", "Min", 0);
  settings.writeInteger("Keys", "KODF1", 38);
  EXPECT_EQ(content(), "[GLOBAL]\r\nMax=1\r\nMin=0\r\n\r\n[Keys]\r\nKODF1=38\r\n");
}

TEST_F(SettingsFileTest, CreatesAMissingFileWithSectionsInFirstWrittenOrder) {
  ASSERT_FALSE(QFileInfo::exists(path));
  settings.writeInteger("GLOBAL", "TrackBarAct", 10);
  settings.writeInteger("Keys", "KODF1", 9);
  settings.writeBool("SetGraf", "Force1", true);
  settings.writeInteger("users", "count", 1);
  settings.writeString("users", "usr1", "---- 1");
  settings.writeBool("GLOBAL", "AutoComPort", false);
  EXPECT_EQ(content(),
            "[GLOBAL]\nTrackBarAct=10\nAutoComPort=0\n\n[Keys]\nKODF1=9\n\n[SetGraf]\nForce1=1\n\n"
            "[users]\ncount=1\nusr1=---- 1\n");
}

TEST_F(SettingsFileTest, MissingFileSectionOrKeyGivesDefaults) {
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 65535), 65535);
  EXPECT_EQ(settings.readString("GLOBAL", "MAC", "012345678901"), "012345678901");
  EXPECT_FALSE(QFileInfo::exists(path)) << "reading must not create the file";
  setContent("[GLOBAL]\nMin=3\n");
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 65535), 65535);
  EXPECT_TRUE(settings.readBool("SetGraf", "Force1", true));
  EXPECT_DOUBLE_EQ(settings.readReal("GLOBAL", "K1", 0.5), 0.5);
}

TEST_F(SettingsFileTest, EveryReadSeesTheFileAsItIsNow) {
  setContent("[GLOBAL]\nMax=1\n");
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 0), 1);
  setContent("[GLOBAL]\nMax=2\n");
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 0), 2);
  SettingsFile other(path);
  other.writeInteger("GLOBAL", "Max", 3);
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 0), 3);
}

TEST_F(SettingsFileTest, FirstOfDuplicateSectionsAndKeysCounts) {
  setContent("[GLOBAL]\nMax=1\nMax=2\n[GLOBAL]\nMin=5\n");
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 0), 1);
  EXPECT_EQ(settings.readInteger("GLOBAL", "Min", 0), 0);
  settings.writeInteger("GLOBAL", "Max", 7);
  EXPECT_EQ(content(), "[GLOBAL]\nMax=7\nMax=2\n[GLOBAL]\nMin=5\n");
}

TEST_F(SettingsFileTest, GarbageGivesDefaultsAndSurvivesAWrite) {
  QByteArray garbage("\x00\xff\xfe[\x01=\x02\n\xc3\x28=\xa0\xa1\n[GLOBAL\nMax=5\n", 28);
  garbage += "no equals here\n=value without key\n[GLOBAL]\nMin=\xc3\x28\n";
  setContent(garbage);
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 65535), 65535);
  EXPECT_EQ(settings.readInteger("GLOBAL", "Min", 0), 0);
  EXPECT_EQ(settings.readString("GLOBAL", "Min", "").size(), 2);
  settings.writeInteger("GLOBAL", "Max", 9);
  EXPECT_EQ(content(), garbage + "Max=9\n");
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 0), 9);
}

TEST_F(SettingsFileTest, OversizedFileGivesDefaultsAndIsNotRewritten) {
  QByteArray huge("[GLOBAL]\nMax=5\n");
  huge += QByteArray(static_cast<qsizetype>(SettingsFile::kMaxFileSize), 'x');
  setContent(huge);
  EXPECT_EQ(settings.readInteger("GLOBAL", "Max", 65535), 65535);
  EXPECT_THROW(settings.writeInteger("GLOBAL", "Max", 1), Error);
  EXPECT_EQ(content().size(), huge.size());
}

TEST_F(SettingsFileTest, RefusedWriteThrowsWithTheFullPath) {
  const QString blocker = dir.filePath("blocker");
  {
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  const QString target = blocker + "/Darev.ini";
  SettingsFile unwritable(target);
  EXPECT_EQ(unwritable.readInteger("GLOBAL", "Max", 65535), 65535);
  try {
    unwritable.writeInteger("GLOBAL", "Max", 1);
    FAIL() << "the write did not throw";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + target.toStdString());
  }
}

TEST_F(SettingsFileTest, RefusedWriteLeavesTheOldFile) {
  setContent("[GLOBAL]\nMax=1\n");
  const QString folder = dir.path();
  ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
  QFile probe(dir.filePath("probe"));
  const bool canStillWrite = probe.open(QIODevice::WriteOnly);
  if (!canStillWrite) {
    EXPECT_THROW(settings.writeInteger("GLOBAL", "Max", 2), Error);
    EXPECT_EQ(content(), "[GLOBAL]\nMax=1\n");
  }
  QFile::setPermissions(folder,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  if (canStillWrite) GTEST_SKIP() << "permissions do not stop this user from writing";
}

}  // namespace
}  // namespace kelvaro
