// The settings file as the main window reads it at start and writes it back at close.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <functional>
#include <ostream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "base/Errors.h"
#include "base/SettingsFile.h"
#include "widgets/NumberEdit.h"
#include "widgets/RadioGroup.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

std::string joined(const QStringList& lines) {
  return lines.join(QStringLiteral("\n")).toStdString();
}

QString writtenValue(const WindowHarness& h, const char* section, const char* key) {
  return SettingsFile(h.darevPath())
      .readString(QString::fromLatin1(section), QString::fromLatin1(key),
                  QStringLiteral("<missing>"));
}

// The key codes and acceleration limits of "Accel Setting" with their defaults.
struct SpinDefault {
  const char* name;
  int value;
};
const SpinDefault kAccelDefaults[] = {
    {"SpinEditKeyLX", 1},   {"SpinEditKeyLY", 2},  {"SpinEditKeyLZ", 3},   {"SpinEditKeyHX", 4},
    {"SpinEditKeyHY", 5},   {"SpinEditKeyHZ", 6},  {"SpinEditACLX", -500}, {"SpinEditACLY", -501},
    {"SpinEditACLZ", -502}, {"SpinEditACHX", 500}, {"SpinEditACHY", 501},  {"SpinEditACHZ", 502},
};

// What a window that found no usable setting shows.
void expectDefaults(WindowHarness& h) {
  MainWindow& w = *h.window;
  EXPECT_EQ(find<QSlider>(w, "TrackBarAct").value(), 10);
  EXPECT_EQ(find<QLabel>(w, "LabelAlarmLevel").text(), QStringLiteral("Alarm Level = 10"));
  EXPECT_FALSE(find<QCheckBox>(w, "CheckBoxSound").isChecked());
  EXPECT_FALSE(find<QCheckBox>(w, "CheckBoxMute").isChecked());
  EXPECT_EQ(find<QLineEdit>(w, "EditMac").text(), QStringLiteral("012345678901"));
  EXPECT_EQ(find<QLineEdit>(w, "EditLastID").text(), QStringLiteral("012345678901"));
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditMin").value(), 0);
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditMax").value(), 65535);
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditMinAcel").value(), 0);
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditMaxAcel").value(), 65535);
  EXPECT_EQ(find<QLineEdit>(w, "EditIP").text(), QStringLiteral("192.168.1.4"));
  EXPECT_EQ(w.core().calibration().k1, 0.5);
  EXPECT_EQ(w.core().calibration().k2, 0.5);
  EXPECT_EQ(find<NumberEdit>(w, "NEditK1").text(), QStringLiteral("0500"));
  EXPECT_EQ(find<NumberEdit>(w, "NEditK2").text(), QStringLiteral("0500"));
  EXPECT_EQ(w.core().calibration().ofs1, 1000);
  EXPECT_EQ(w.core().calibration().ofs2, 1000);
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditOfs1").value(), 1000);
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditOfs2").value(), 1000);
  // The default code 38 is past the last of the ten keys.
  EXPECT_EQ(find<RadioGroup>(w, "RadioGroup1").itemIndex(), 9);
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditF1").value(), 200);
  EXPECT_EQ(find<QSlider>(w, "TrackBar1").value(), 50);
  for (const auto& spin : kAccelDefaults) {
    EXPECT_EQ(find<QSpinBox>(w, spin.name).value(), spin.value) << spin.name;
  }
  EXPECT_TRUE(find<QCheckBox>(w, "CheckBoxForce1").isChecked());
  for (const char* box : {"CheckBoxForce2", "CheckBoxAccX", "CheckBoxAccY", "CheckBoxAccZ",
                          "CheckBoxAuto", "CheckBoxAutoAcel"}) {
    EXPECT_FALSE(find<QCheckBox>(w, box).isChecked()) << box;
  }
  EXPECT_EQ(w.actStart(), 4.15);
  EXPECT_EQ(w.actStop(), 0.6);
  EXPECT_EQ(find<QLabel>(w, "LabelAktStart").text(), QStringLiteral("ActStart=4.15"));
  EXPECT_EQ(find<QLabel>(w, "LabelAktStop").text(), QStringLiteral("ActStop=0.60"));
  auto& users = find<RadioGroup>(w, "RadioGroupUsers");
  EXPECT_EQ(users.items(), QStringList{QStringLiteral("---- 1")});
  EXPECT_EQ(users.itemIndex(), 0);
  EXPECT_TRUE(w.autoComPort());
  EXPECT_TRUE(find<QCheckBox>(w, "CheckBoxComAuto").isChecked());
  EXPECT_TRUE(find<QPushButton>(w, "ButtonSetCom").isHidden());
  EXPECT_FALSE(h.tabShown(w.pages().specSetting));
}

TEST(MainWindowSettingsTest, WithoutAFileEverySettingHasItsDefault) {
  WindowHarness h;
  ASSERT_TRUE(h.start());

  expectDefaults(h);
  // The read sequence names the file it reads on the console.
  EXPECT_TRUE(h.window->core().console().lines().contains(h.darevPath()));
  EXPECT_EQ(h.window->settingsPath(), h.darevPath());
  // Reading creates nothing.
  EXPECT_FALSE(QFile::exists(h.darevPath()));
}

TEST(MainWindowSettingsTest, AFileOfRandomBytesGivesTheDefaultsAndIsStillWrittenBack) {
  WindowHarness h;
  std::mt19937 random(20240611);
  QByteArray garbage;
  for (int i = 0; i < 8192; ++i) garbage.append(char(random() & 0xFF));
  h.writeDarev(garbage);

  ASSERT_TRUE(h.start());
  expectDefaults(h);

  EXPECT_TRUE(h.window->close());
  // The values written back read as what the window showed.
  const SettingsFile file(h.darevPath());
  EXPECT_EQ(file.readInteger(QStringLiteral("GLOBAL"), QStringLiteral("TrackBarAct"), -1), 10);
  EXPECT_EQ(file.readString(QStringLiteral("GLOBAL"), QStringLiteral("MAC"), QString()),
            QStringLiteral("012345678901"));
  EXPECT_EQ(file.readInteger(QStringLiteral("Keys"), QStringLiteral("KODF1"), -2), 9);
  EXPECT_EQ(file.readInteger(QStringLiteral("users"), QStringLiteral("count"), -1), 1);
}

// One key in the file, what the window shows for it, and what it writes back at close.
struct ReadCase {
  const char* name;
  const char* file;
  std::function<void(WindowHarness&)> check;
  const char* section;
  const char* key;
  const char* writtenBack;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class MainWindowSettingsReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(MainWindowSettingsReadTest, AppliesTheValueAndWritesItBack) {
  const ReadCase& c = GetParam();
  WindowHarness h;
  h.writeDarev(QByteArray(c.file));
  ASSERT_TRUE(h.start());

  c.check(h);

  EXPECT_TRUE(h.window->close());
  EXPECT_EQ(writtenValue(h, c.section, c.key), QString::fromUtf8(c.writtenBack));
}

template <class T>
T& control(WindowHarness& h, const char* name) {
  return find<T>(*h.window, name);
}

const ReadCase kReadCases[] = {
    {"HexadecimalMax", "[GLOBAL]\nMax=0x1F\n",
     [](WindowHarness& h) { EXPECT_EQ(control<QSpinBox>(h, "SpinEditMax").value(), 31); }, "GLOBAL",
     "Max", "31"},
    {"DollarHexadecimalMin", "[GLOBAL]\nMin=$10\n",
     [](WindowHarness& h) { EXPECT_EQ(control<QSpinBox>(h, "SpinEditMin").value(), 16); }, "GLOBAL",
     "Min", "16"},
    {"UnreadableMax", "[GLOBAL]\nMax=abc\n",
     [](WindowHarness& h) { EXPECT_EQ(control<QSpinBox>(h, "SpinEditMax").value(), 65535); },
     "GLOBAL", "Max", "65535"},
    {"CheckSoundTwo", "[GLOBAL]\nCheckSound=2\n",
     [](WindowHarness& h) { EXPECT_TRUE(control<QCheckBox>(h, "CheckBoxSound").isChecked()); },
     "GLOBAL", "CheckSound", "1"},
    {"ThresholdAboveItsRange", "[Keys]\nLIMF1=300\n",
     [](WindowHarness& h) {
       EXPECT_EQ(control<QSpinBox>(h, "SpinEditF1").value(), 250);
       EXPECT_EQ(control<QSlider>(h, "TrackBar1").value(), 0);
     },
     "Keys", "LIMF1", "250"},
    {"ThresholdInRange", "[Keys]\nLIMF1=30\n",
     [](WindowHarness& h) {
       EXPECT_EQ(control<QSpinBox>(h, "SpinEditF1").value(), 30);
       EXPECT_EQ(control<QSlider>(h, "TrackBar1").value(), 220);
     },
     "Keys", "LIMF1", "30"},
    {"AlarmLevelAboveItsRange", "[GLOBAL]\nTrackBarAct=80\n",
     [](WindowHarness& h) {
       EXPECT_EQ(control<QSlider>(h, "TrackBarAct").value(), 50);
       EXPECT_EQ(control<QLabel>(h, "LabelAlarmLevel").text(), QStringLiteral("Alarm Level = 50"));
     },
     "GLOBAL", "TrackBarAct", "50"},
    {"AlarmLevelBelowItsRange", "[GLOBAL]\nTrackBarAct=-3\n",
     [](WindowHarness& h) {
       EXPECT_EQ(control<QSlider>(h, "TrackBarAct").value(), 0);
       EXPECT_EQ(control<QLabel>(h, "LabelAlarmLevel").text(), QStringLiteral("Alarm Level = 0"));
     },
     "GLOBAL", "TrackBarAct", "0"},
    {"NegativeKeyCode", "[Keys]\nKODF1=-5\n",
     [](WindowHarness& h) { EXPECT_EQ(control<RadioGroup>(h, "RadioGroup1").itemIndex(), -1); },
     "Keys", "KODF1", "-1"},
    {"KeyCodePastTheLastItem", "[Keys]\nKODF1=38\n",
     [](WindowHarness& h) { EXPECT_EQ(control<RadioGroup>(h, "RadioGroup1").itemIndex(), 9); },
     "Keys", "KODF1", "9"},
    {"KeyCodeOfAnItem", "[Keys]\nKODF1=3\n",
     [](WindowHarness& h) { EXPECT_EQ(control<RadioGroup>(h, "RadioGroup1").itemIndex(), 3); },
     "Keys", "KODF1", "3"},
    {"AccelerationLimit", "[Keys]\nLIMLY=-1234\nKODHZ=65\n",
     [](WindowHarness& h) {
       EXPECT_EQ(control<QSpinBox>(h, "SpinEditACLY").value(), -1234);
       EXPECT_EQ(control<QSpinBox>(h, "SpinEditKeyHZ").value(), 65);
     },
     "Keys", "LIMLY", "-1234"},
    {"SpecSetShowsThePage", "[GLOBAL]\nSpecSet=1\n",
     [](WindowHarness& h) { EXPECT_TRUE(h.tabShown(h.window->pages().specSetting)); }, "GLOBAL",
     "SpecSet", "1"},
    {"NoUsers", "[users]\ncount=0\n",
     [](WindowHarness& h) {
       auto& users = control<RadioGroup>(h, "RadioGroupUsers");
       EXPECT_EQ(users.count(), 0);
       EXPECT_EQ(users.itemIndex(), -1);
     },
     "users", "count", "0"},
    {"ThreeUsersOnlyTheFirstNamed", "[users]\ncount=3\nusr1=Anna\n",
     [](WindowHarness& h) {
       auto& users = control<RadioGroup>(h, "RadioGroupUsers");
       EXPECT_EQ(users.items(), (QStringList{QStringLiteral("Anna"), QStringLiteral("---- 2"),
                                             QStringLiteral("---- 3")}));
       EXPECT_EQ(users.itemIndex(), 0);
     },
     "users", "usr3", "---- 3"},
    {"NamesInAnyLetterCase", "[global]\nmac = 0007800A1B2C \n",
     [](WindowHarness& h) {
       EXPECT_EQ(control<QLineEdit>(h, "EditMac").text(), QStringLiteral("0007800A1B2C"));
       EXPECT_EQ(control<QLineEdit>(h, "EditLastID").text(), QStringLiteral("0007800A1B2C"));
     },
     "GLOBAL", "MAC", "0007800A1B2C"},
    {"Calibration", "[GLOBAL]\nK1=0.75\nK2=4\nOfs1=-20\nOfs2=3000\n",
     [](WindowHarness& h) {
       EXPECT_EQ(h.window->core().calibration().k1, 0.75);
       EXPECT_EQ(control<NumberEdit>(h, "NEditK1").text(), QStringLiteral("0750"));
       EXPECT_EQ(control<NumberEdit>(h, "NEditK2").text(), QStringLiteral("4000"));
       EXPECT_EQ(control<QSpinBox>(h, "SpinEditOfs1").value(), -20);
       EXPECT_EQ(h.window->core().calibration().ofs2, 3000);
       EXPECT_EQ(control<QSpinBox>(h, "SpinEditOfs2").value(), 3000);
     },
     "GLOBAL", "K2", "4"},
    {"TinySlope", "[GLOBAL]\nK1=0.0000012\n",
     [](WindowHarness& h) { EXPECT_EQ(h.window->core().calibration().k1, 0.0000012); }, "GLOBAL",
     "K1", "1.2E-6"},
    {"ChartedChannels", "[SetGraf]\nForce1=0\nAccZ=1\nAuto=1\n",
     [](WindowHarness& h) {
       EXPECT_FALSE(control<QCheckBox>(h, "CheckBoxForce1").isChecked());
       EXPECT_TRUE(control<QCheckBox>(h, "CheckBoxAccZ").isChecked());
       EXPECT_TRUE(control<QCheckBox>(h, "CheckBoxAuto").isChecked());
     },
     "SetGraf", "Force1", "0"},
    {"ApneaLimit", "[Breathing]\nApneaLimit=25\n",
     [](WindowHarness& h) {
       EXPECT_EQ(control<QSpinBox>(h, "SpinEditApnea").value(), 25);
       EXPECT_EQ(h.window->core().breathing().apneaLimitSeconds(), 25);
     },
     "Breathing", "ApneaLimit", "25"},
    {"ApneaLimitBeyondItsRange", "[Breathing]\nApneaLimit=600\n",
     [](WindowHarness& h) {
       EXPECT_EQ(control<QSpinBox>(h, "SpinEditApnea").value(), 60);
       EXPECT_EQ(h.window->core().breathing().apneaLimitSeconds(), 60);
     },
     "Breathing", "ApneaLimit", "60"},
    {"ManualPortMode", "[GLOBAL]\nAutoComPort=0\n",
     [](WindowHarness& h) {
       EXPECT_FALSE(h.window->autoComPort());
       EXPECT_FALSE(control<QCheckBox>(h, "CheckBoxComAuto").isChecked());
       EXPECT_FALSE(control<QPushButton>(h, "ButtonSetCom").isHidden());
     },
     "GLOBAL", "AutoComPort", "0"},
    {"SessionThresholdsAreNeverWritten", "[GLOBAL]\nActStart=5\nActStop=0.5\n",
     [](WindowHarness& h) {
       EXPECT_EQ(h.window->actStart(), 5.0);
       EXPECT_EQ(control<QLabel>(h, "LabelAktStart").text(), QStringLiteral("ActStart=5.00"));
       EXPECT_EQ(control<QLabel>(h, "LabelAktStop").text(), QStringLiteral("ActStop=0.50"));
     },
     "GLOBAL", "ActStart", "5"},
    // Port 0 takes a free port, so that tests may run side by side.
    {"Scratch3ServesFromTheStart", "[Scratch3]\nEnabled=1\nPort=0\n",
     [](WindowHarness& h) {
       EXPECT_TRUE(control<QCheckBox>(h, "CheckBoxScratch3").isChecked());
       EXPECT_EQ(control<QLabel>(h, "LabelScratch3Editors").text(),
                 QStringLiteral("Editors connected: 0"));
       const QString address = control<QLineEdit>(h, "EditScratch3Address").text();
       EXPECT_TRUE(address.startsWith(QStringLiteral("http://localhost:")))
           << address.toStdString();
       EXPECT_NE(address, QStringLiteral("http://localhost:0/kelvaro-belt.js"));
     },
     "Scratch3", "Enabled", "1"},
    {"Scratch3Origins", "[Scratch3]\nOrigins=https://editor.example tw-editor://.\n",
     [](WindowHarness& h) {
       EXPECT_FALSE(control<QCheckBox>(h, "CheckBoxScratch3").isChecked()) << "off by default";
       EXPECT_EQ(control<QLabel>(h, "LabelScratch3Editors").text(), QStringLiteral("Off"));
     },
     "Scratch3", "Origins", "https://editor.example tw-editor://."},
    {"Scratch3PortBeyondItsRange", "[Scratch3]\nPort=70000\n",
     [](WindowHarness& h) {
       EXPECT_EQ(control<QLineEdit>(h, "EditScratch3Address").text(),
                 QStringLiteral("http://localhost:8000/kelvaro-belt.js"));
     },
     "Scratch3", "Port", "8000"},
};

INSTANTIATE_TEST_SUITE_P(Keys, MainWindowSettingsReadTest, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MainWindowSettingsTest, ANewFileHasItsSectionsAndKeysInTheWriteBackOrder) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  find<QSlider>(w, "TrackBarAct").setValue(33);
  find<QCheckBox>(w, "CheckBoxMute").setChecked(true);
  find<QLineEdit>(w, "EditIP").setText(QStringLiteral("10.0.0.7"));
  find<QSpinBox>(w, "SpinEditF1").setValue(120);
  find<QCheckBox>(w, "CheckBoxAccY").setChecked(true);
  find<QLineEdit>(w, "EditName").setText(QStringLiteral("Bea"));
  find<QPushButton>(w, "ButtonAdd").click();

  // No confirmation is asked.
  EXPECT_TRUE(w.close());

  const QStringList expected = {
      "[GLOBAL]",
      "TrackBarAct=33",
      "CheckSound=0",
      "CheckMute=1",
      "MAC=012345678901",
      "Max=65535",
      "Min=0",
      "MaxAcel=65535",
      "MinAcel=0",
      "IP=10.0.0.7",
      "K1=0.5",
      "K2=0.5",
      "Ofs1=1000",
      "Ofs2=1000",
      "AutoComPort=1",
      "[Keys]",
      "KODF1=9",
      "LIMF1=120",
      "KODLX=1",
      "KODLY=2",
      "KODLZ=3",
      "KODHX=4",
      "KODHY=5",
      "KODHZ=6",
      "LIMLX=-500",
      "LIMLY=-501",
      "LIMLZ=-502",
      "LIMHX=500",
      "LIMHY=501",
      "LIMHZ=502",
      "[SetGraf]",
      "Force1=1",
      "Force2=0",
      "AccX=0",
      "AccY=1",
      "AccZ=0",
      "Auto=0",
      "AutoAcel=0",
      "[users]",
      "count=2",
      "usr1=---- 1",
      "usr2=Bea",
      "[Breathing]",
      "ApneaLimit=10",
      "[Guide]",
      "Pace=6",
      "InShare=40",
      "HoldIn=0",
      "HoldOut=0",
      "Minutes=5",
      "Sound=0",
      "[Scratch3]",
      "Enabled=0",
      "Port=8000",
      "Origins=https://turbowarp.org https://experiments.turbowarp.org tw-editor://. "
      "http://localhost:8000",
  };
  const auto lines = h.darevLines();
  ASSERT_TRUE(lines.has_value());
  EXPECT_EQ(joined(*lines), joined(expected));
}

TEST(MainWindowSettingsTest, UncheckingAutomaticPortModeIsStoredAtClose) {
  WindowHarness h;
  h.startAnswered();
  auto& box = find<QCheckBox>(*h.window, "CheckBoxComAuto");

  box.click();
  EXPECT_FALSE(h.window->autoComPort());
  EXPECT_FALSE(find<QPushButton>(*h.window, "ButtonSetCom").isHidden());
  h.window->close();

  EXPECT_EQ(writtenValue(h, "GLOBAL", "AutoComPort"), QStringLiteral("0"));
}

TEST(MainWindowSettingsTest, RemovedUsersLeaveTheirOldKeysBehind) {
  WindowHarness h;
  h.writeDarev(
      "[GLOBAL]\nMAC=0007800A1B2C\n[users]\ncount=5\nusr1=Anna\nusr2=Bea\nusr3=Cyril\n"
      "usr4=Dana\nusr5=Emil\n[Keys]\nKODF1=2\n");
  h.startAnswered();
  auto& users = find<RadioGroup>(*h.window, "RadioGroupUsers");
  ASSERT_EQ(users.count(), 5);
  // "Remove User" on Dana, then on Bea.
  for (const char* item : {"RadioGroupUsers_item3", "RadioGroupUsers_item1"}) {
    find<QRadioButton>(*h.window, item).click();
    find<QPushButton>(*h.window, "ButtonRemove").click();
  }

  h.window->close();

  const auto lines = h.darevLines();
  ASSERT_TRUE(lines.has_value());
  const qsizetype begin = lines->indexOf(QStringLiteral("[users]"));
  ASSERT_GE(begin, 0);
  const QStringList usersSection = lines->mid(begin, 7);
  EXPECT_EQ(joined(usersSection), joined({"[users]", "count=3", "usr1=Anna", "usr2=Cyril",
                                          "usr3=Emil", "usr4=Dana", "usr5=Emil"}));
  // Reading stops at count, so the next start lists three users.
  WindowHarness again;
  QFile copy(h.darevPath());
  ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
  again.writeDarev(copy.readAll());
  ASSERT_TRUE(again.start());
  EXPECT_EQ(find<RadioGroup>(*again.window, "RadioGroupUsers").items(),
            (QStringList{QStringLiteral("Anna"), QStringLiteral("Cyril"), QStringLiteral("Emil")}));
}

TEST(MainWindowSettingsTest, AFailedWriteBackSurfacesUnableToWriteWithThePath) {
  WindowHarness h;
  // A directory where the file should be: reads give the defaults, every write is refused.
  ASSERT_TRUE(QDir(h.home.path()).mkdir(QStringLiteral("Darev.ini")));
  h.startAnswered();
  expectDefaults(h);

  EXPECT_TRUE(h.window->close()) << "the window closes all the same";

  EXPECT_EQ(h.reports, QStringList{QStringLiteral("Unable to write to ") + h.darevPath()});
}

}  // namespace
}  // namespace kelvaro
