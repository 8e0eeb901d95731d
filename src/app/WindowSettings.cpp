// The settings read sequence (window creation) and write-back sequence (close) of the main
// window: every key of Darev.ini applied to its control, and taken back from it, in one order.
#include "app/WindowSettings.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include "app/pages/ActivityMonitorPage.h"
#include "app/pages/BreathingGuidePage.h"
#include "app/pages/ConnectionPage.h"
#include "app/pages/GamingKeysPage.h"
#include "app/pages/Scratch3Group.h"
#include "app/pages/SettingsPage.h"
#include "app/pages/SpecSettingPage.h"
#include "app/panels/ActivityPanel.h"
#include "app/panels/LastBelt.h"
#include "app/panels/UsersPanel.h"
#include "base/ConsoleLog.h"
#include "base/Formats.h"
#include "base/SettingsFile.h"
#include "breathing/BreathDetector.h"
#include "guide/GuidePacer.h"
#include "keys/KeyTriggers.h"
#include "measure/MeasurementState.h"
#include "widgets/NumberEdit.h"
#include "widgets/RadioGroup.h"

namespace kelvaro {
namespace {

const QString kGlobal = QStringLiteral("GLOBAL");
const QString kKeys = QStringLiteral("Keys");
const QString kSetGraf = QStringLiteral("SetGraf");
const QString kUsers = QStringLiteral("users");
const QString kBreathing = QStringLiteral("Breathing");
const QString kGuide = QStringLiteral("Guide");
const QString kScratch3 = QStringLiteral("Scratch3");

struct SpinKey {
  const char* key;
  QSpinBox* SpecSettingPage::*field;
  int defaultValue;
};

// The acceleration keys of section "Keys", in the order they are read and written.
const SpinKey kAccelKeys[] = {
    {"KODLX", &SpecSettingPage::keyLowXSpin, 1},
    {"KODLY", &SpecSettingPage::keyLowYSpin, 2},
    {"KODLZ", &SpecSettingPage::keyLowZSpin, 3},
    {"KODHX", &SpecSettingPage::keyHighXSpin, 4},
    {"KODHY", &SpecSettingPage::keyHighYSpin, 5},
    {"KODHZ", &SpecSettingPage::keyHighZSpin, 6},
    {"LIMLX", &SpecSettingPage::accelLowXSpin, -500},
    {"LIMLY", &SpecSettingPage::accelLowYSpin, -501},
    {"LIMLZ", &SpecSettingPage::accelLowZSpin, -502},
    {"LIMHX", &SpecSettingPage::accelHighXSpin, 500},
    {"LIMHY", &SpecSettingPage::accelHighYSpin, 501},
    {"LIMHZ", &SpecSettingPage::accelHighZSpin, 502},
};

struct GraphKey {
  const char* key;
  QCheckBox* SettingsPage::*box;
  bool defaultValue;
};

const GraphKey kGraphKeys[] = {
    {"Force1", &SettingsPage::force1SeriesCheck, true},
    {"Force2", &SettingsPage::force2SeriesCheck, false},
    {"AccX", &SettingsPage::accelXSeriesCheck, false},
    {"AccY", &SettingsPage::accelYSeriesCheck, false},
    {"AccZ", &SettingsPage::accelZSeriesCheck, false},
    {"Auto", &SettingsPage::forceAutoscaleCheck, false},
    {"AutoAcel", &SettingsPage::accelAutoscaleCheck, false},
};

QString userKey(int n) { return QStringLiteral("usr%1").arg(n); }

}  // namespace

void WindowSettings::read(SettingsFile& file) {
  const WindowPages& pages = parts_.pages;
  Calibration& calibration = parts_.calibration;
  auto& specPage = *pages.specSetting;
  auto& graphSettings = *pages.settings;
  auto& activity = *pages.activityMonitor;
  auto& keys = *pages.gamingKeys;

  parts_.console.append(file.path());

  activity.alarmLevelSlider->setValue(file.readInteger(kGlobal, QStringLiteral("TrackBarAct"), 10));
  activity.alarmLevelLabel->setText(
      QStringLiteral("Alarm Level = %1").arg(activity.alarmLevelSlider->value()));
  activity.soundAlarmCheck->setChecked(file.readBool(kGlobal, QStringLiteral("CheckSound"), false));
  activity.muteAlarmCheck->setChecked(file.readBool(kGlobal, QStringLiteral("CheckMute"), false));
  activity.apneaSpin->setValue(
      file.readInteger(kBreathing, QStringLiteral("ApneaLimit"), breathing::kDefaultApneaSeconds));

  specPage.macEdit->setText(
      file.readString(kGlobal, QStringLiteral("MAC"), QStringLiteral("012345678901")));
  parts_.lastBelt.setId(specPage.macEdit->text());

  graphSettings.forceAxisMaxSpin->setValue(file.readInteger(kGlobal, QStringLiteral("Max"), 65535));
  graphSettings.forceAxisMinSpin->setValue(file.readInteger(kGlobal, QStringLiteral("Min"), 0));
  graphSettings.accelAxisMaxSpin->setValue(
      file.readInteger(kGlobal, QStringLiteral("MaxAcel"), 65535));
  graphSettings.accelAxisMinSpin->setValue(file.readInteger(kGlobal, QStringLiteral("MinAcel"), 0));

  specPage.scratchIpEdit->setText(
      file.readString(kGlobal, QStringLiteral("IP"), QStringLiteral("192.168.1.4")));

  calibration.k1 = file.readReal(kGlobal, QStringLiteral("K1"), 0.5);
  calibration.k2 = file.readReal(kGlobal, QStringLiteral("K2"), 0.5);
  calibration.ofs1 = file.readInteger(kGlobal, QStringLiteral("Ofs1"), 1000);
  calibration.ofs2 = file.readInteger(kGlobal, QStringLiteral("Ofs2"), 1000);

  // A code past the last item selects the last one; any negative code selects nothing.
  keys.keySelection->setItemIndex(
      keySelectionIndexFromStored(file.readInteger(kKeys, QStringLiteral("KODF1"), 38)));
  keys.forceThresholdSpin->setValue(file.readInteger(kKeys, QStringLiteral("LIMF1"), 200));
  keys.thresholdSlider->setValue(250 - keys.forceThresholdSpin->value());

  for (const auto& k : kAccelKeys) {
    (specPage.*k.field)
        ->setValue(file.readInteger(kKeys, QString::fromLatin1(k.key), k.defaultValue));
  }
  for (const auto& k : kGraphKeys) {
    (graphSettings.*k.box)
        ->setChecked(file.readBool(kSetGraf, QString::fromLatin1(k.key), k.defaultValue));
  }

  actStart_ = file.readReal(kGlobal, QStringLiteral("ActStart"), 4.15);
  actStop_ = file.readReal(kGlobal, QStringLiteral("ActStop"), 0.6);
  parts_.activity.setThresholds(actStart_, actStop_);
  activity.actStartLabel->setText(QStringLiteral("ActStart=") +
                                  fmt::formatFloat("0.00", actStart_));
  activity.actStopLabel->setText(QStringLiteral("ActStop=") + fmt::formatFloat("0.00", actStop_));

  autoComPort_ = file.readBool(kGlobal, QStringLiteral("AutoComPort"), true);

  parts_.users.setUsers(UserList::load(
      file.readInteger(kUsers, QStringLiteral("count"), 1), [&](int n) -> std::optional<QString> {
        return file.readString(kUsers, userKey(n), UserList::defaultName(n));
      }));

  parts_.applyGraphCheckBoxes();

  if (file.readBool(kGlobal, QStringLiteral("SpecSet"), false))
    parts_.showPage(pages.specSetting, true);
  specPage.slope1Edit->setValue(calibration.k1 * 1000);
  specPage.slope2Edit->setValue(calibration.k2 * 1000);
  specPage.offset1Spin->setValue(calibration.ofs1);
  specPage.offset2Spin->setValue(calibration.ofs2);

  parts_.applyAutoscaleCheckBoxes();

  // The breathing guide's fields; a value out of range is brought into it by the field.
  auto& guide = *pages.breathingGuide;
  guide.paceSpin->setValue(file.readReal(kGuide, QStringLiteral("Pace"), guide::kDefaultPace));
  guide.inShareSpin->setValue(
      file.readInteger(kGuide, QStringLiteral("InShare"), guide::kDefaultInShare));
  guide.holdInSpin->setValue(file.readReal(kGuide, QStringLiteral("HoldIn"), 0.0));
  guide.holdOutSpin->setValue(file.readReal(kGuide, QStringLiteral("HoldOut"), 0.0));
  guide.lengthSpin->setValue(
      file.readInteger(kGuide, QStringLiteral("Minutes"), guide::kDefaultMinutes));
  guide.soundCheck->setChecked(file.readBool(kGuide, QStringLiteral("Sound"), false));

  scratch3_.enabled = file.readBool(kScratch3, QStringLiteral("Enabled"), false);
  const int port = file.readInteger(kScratch3, QStringLiteral("Port"), BeltBridge::kDefaultPort);
  scratch3_.port = port >= 0 && port <= 65535 ? port : BeltBridge::kDefaultPort;
  scratch3_.origins = file.readString(kScratch3, QStringLiteral("Origins"),
                                      OriginList::defaultText(BeltBridge::kDefaultPort));
}

void WindowSettings::write(SettingsFile& file) const {
  const WindowPages& pages = parts_.pages;
  const Calibration& calibration = parts_.calibration;
  auto& specPage = *pages.specSetting;
  auto& graphSettings = *pages.settings;
  auto& activity = *pages.activityMonitor;
  auto& keys = *pages.gamingKeys;

  file.writeInteger(kGlobal, QStringLiteral("TrackBarAct"), activity.alarmLevelSlider->value());
  file.writeBool(kGlobal, QStringLiteral("CheckSound"), activity.soundAlarmCheck->isChecked());
  file.writeBool(kGlobal, QStringLiteral("CheckMute"), activity.muteAlarmCheck->isChecked());
  file.writeString(kGlobal, QStringLiteral("MAC"), specPage.macEdit->text());
  file.writeInteger(kGlobal, QStringLiteral("Max"), graphSettings.forceAxisMaxSpin->value());
  file.writeInteger(kGlobal, QStringLiteral("Min"), graphSettings.forceAxisMinSpin->value());
  file.writeInteger(kGlobal, QStringLiteral("MaxAcel"), graphSettings.accelAxisMaxSpin->value());
  file.writeInteger(kGlobal, QStringLiteral("MinAcel"), graphSettings.accelAxisMinSpin->value());
  file.writeString(kGlobal, QStringLiteral("IP"), specPage.scratchIpEdit->text());
  file.writeReal(kGlobal, QStringLiteral("K1"), calibration.k1);
  file.writeReal(kGlobal, QStringLiteral("K2"), calibration.k2);
  file.writeInteger(kGlobal, QStringLiteral("Ofs1"), calibration.ofs1);
  file.writeInteger(kGlobal, QStringLiteral("Ofs2"), calibration.ofs2);

  file.writeInteger(kKeys, QStringLiteral("KODF1"), keys.keySelection->itemIndex());
  file.writeInteger(kKeys, QStringLiteral("LIMF1"), keys.forceThresholdSpin->value());
  for (const auto& k : kAccelKeys) {
    file.writeInteger(kKeys, QString::fromLatin1(k.key), (specPage.*k.field)->value());
  }
  for (const auto& k : kGraphKeys) {
    file.writeBool(kSetGraf, QString::fromLatin1(k.key), (graphSettings.*k.box)->isChecked());
  }

  const QStringList users = parts_.users.users().names();
  file.writeInteger(kUsers, QStringLiteral("count"), users.size());
  for (int n = 1; n <= users.size(); ++n) file.writeString(kUsers, userKey(n), users.at(n - 1));

  file.writeBool(kGlobal, QStringLiteral("AutoComPort"), autoComPort_);
  file.writeInteger(kBreathing, QStringLiteral("ApneaLimit"), activity.apneaSpin->value());

  const auto& guide = *pages.breathingGuide;
  file.writeReal(kGuide, QStringLiteral("Pace"), guide.paceSpin->value());
  file.writeInteger(kGuide, QStringLiteral("InShare"), guide.inShareSpin->value());
  file.writeReal(kGuide, QStringLiteral("HoldIn"), guide.holdInSpin->value());
  file.writeReal(kGuide, QStringLiteral("HoldOut"), guide.holdOutSpin->value());
  file.writeInteger(kGuide, QStringLiteral("Minutes"), guide.lengthSpin->value());
  file.writeBool(kGuide, QStringLiteral("Sound"), guide.soundCheck->isChecked());
  file.writeBool(kScratch3, QStringLiteral("Enabled"),
                 specPage.scratch3Group->enableCheck->isChecked());
  file.writeInteger(kScratch3, QStringLiteral("Port"), scratch3_.port);
  file.writeString(kScratch3, QStringLiteral("Origins"), scratch3_.origins);
}

}  // namespace kelvaro
