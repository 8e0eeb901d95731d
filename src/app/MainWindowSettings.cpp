// The settings read sequence (window creation) and write-back sequence (close) of the main
// window: every key of Darev.ini applied to its control, and taken back from it, in one order.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include "app/ActivityMonitorPage.h"
#include "app/ActivityPanel.h"
#include "app/ConnectionPage.h"
#include "app/GamingKeysPage.h"
#include "app/MainWindow.h"
#include "app/SettingsPage.h"
#include "app/SpecSettingPage.h"
#include "app/UsersPanel.h"
#include "base/Formats.h"
#include "base/SettingsFile.h"
#include "keys/KeyTriggers.h"
#include "widgets/NumberEdit.h"
#include "widgets/RadioGroup.h"

namespace kelvaro {
namespace {

const QString kGlobal = QStringLiteral("GLOBAL");
const QString kKeys = QStringLiteral("Keys");
const QString kSetGraf = QStringLiteral("SetGraf");
const QString kUsers = QStringLiteral("users");
const QString kBreathing = QStringLiteral("Breathing");

// A user count beyond this is not one a person typed; reading stops there so that a damaged
// file cannot make the start-up add millions of radio buttons.

struct SpinKey {
  const char* key;
  QSpinBox* ui::SpecSettingPage::*field;
  int defaultValue;
};

// The acceleration keys of section "Keys", in the order they are read and written.
const SpinKey kAccelKeys[] = {
    {"KODLX", &ui::SpecSettingPage::SpinEditKeyLX, 1},
    {"KODLY", &ui::SpecSettingPage::SpinEditKeyLY, 2},
    {"KODLZ", &ui::SpecSettingPage::SpinEditKeyLZ, 3},
    {"KODHX", &ui::SpecSettingPage::SpinEditKeyHX, 4},
    {"KODHY", &ui::SpecSettingPage::SpinEditKeyHY, 5},
    {"KODHZ", &ui::SpecSettingPage::SpinEditKeyHZ, 6},
    {"LIMLX", &ui::SpecSettingPage::SpinEditACLX, -500},
    {"LIMLY", &ui::SpecSettingPage::SpinEditACLY, -501},
    {"LIMLZ", &ui::SpecSettingPage::SpinEditACLZ, -502},
    {"LIMHX", &ui::SpecSettingPage::SpinEditACHX, 500},
    {"LIMHY", &ui::SpecSettingPage::SpinEditACHY, 501},
    {"LIMHZ", &ui::SpecSettingPage::SpinEditACHZ, 502},
};

struct GraphKey {
  const char* key;
  QCheckBox* ui::SettingsPage::*box;
  bool defaultValue;
};

const GraphKey kGraphKeys[] = {
    {"Force1", &ui::SettingsPage::CheckBoxForce1, true},
    {"Force2", &ui::SettingsPage::CheckBoxForce2, false},
    {"AccX", &ui::SettingsPage::CheckBoxAccX, false},
    {"AccY", &ui::SettingsPage::CheckBoxAccY, false},
    {"AccZ", &ui::SettingsPage::CheckBoxAccZ, false},
    {"Auto", &ui::SettingsPage::CheckBoxAuto, false},
    {"AutoAcel", &ui::SettingsPage::CheckBoxAutoAcel, false},
};

QString userKey(int n) { return QStringLiteral("usr%1").arg(n); }

}  // namespace

void TForm1::readSettings() {
  SettingsFile& file = *settings_;
  auto& specPage = *TabSheetSpecSetting;
  auto& graphSettings = *TabSheetSetting;
  auto& activity = *TabSheet5;
  auto& keys = *TabSheet1;

  console().append(file.path());

  activity.TrackBarAct->setValue(file.readInteger(kGlobal, QStringLiteral("TrackBarAct"), 10));
  activity.LabelAlarmLevel->setText(
      QStringLiteral("Alarm Level = %1").arg(activity.TrackBarAct->value()));
  activity.CheckBoxSound->setChecked(file.readBool(kGlobal, QStringLiteral("CheckSound"), false));
  activity.CheckBoxMute->setChecked(file.readBool(kGlobal, QStringLiteral("CheckMute"), false));
  activity.SpinEditApnea->setValue(
      file.readInteger(kBreathing, QStringLiteral("ApneaLimit"), breathing::kDefaultApneaSeconds));

  specPage.EditMac->setText(
      file.readString(kGlobal, QStringLiteral("MAC"), QStringLiteral("012345678901")));
  TabSheetConnect->EditLastID->setText(specPage.EditMac->text());

  graphSettings.SpinEditMax->setValue(file.readInteger(kGlobal, QStringLiteral("Max"), 65535));
  graphSettings.SpinEditMin->setValue(file.readInteger(kGlobal, QStringLiteral("Min"), 0));
  graphSettings.SpinEditMaxAcel->setValue(
      file.readInteger(kGlobal, QStringLiteral("MaxAcel"), 65535));
  graphSettings.SpinEditMinAcel->setValue(file.readInteger(kGlobal, QStringLiteral("MinAcel"), 0));

  specPage.EditIP->setText(
      file.readString(kGlobal, QStringLiteral("IP"), QStringLiteral("192.168.1.4")));

  calibration().K1 = file.readReal(kGlobal, QStringLiteral("K1"), 0.5);
  calibration().K2 = file.readReal(kGlobal, QStringLiteral("K2"), 0.5);
  calibration().Ofs1 = file.readInteger(kGlobal, QStringLiteral("Ofs1"), 1000);
  calibration().Ofs2 = file.readInteger(kGlobal, QStringLiteral("Ofs2"), 1000);

  // A code past the last item selects the last one; any negative code selects nothing.
  keys.RadioGroup1->setItemIndex(
      keySelectionIndexFromStored(file.readInteger(kKeys, QStringLiteral("KODF1"), 38)));
  keys.SpinEditF1->setValue(file.readInteger(kKeys, QStringLiteral("LIMF1"), 200));
  keys.TrackBar1->setValue(250 - keys.SpinEditF1->value());

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
  activity_->setThresholds(actStart_, actStop_);
  activity.LabelAktStart->setText(QStringLiteral("ActStart=") +
                                  fmt::formatFloat("0.00", actStart_));
  activity.LabelAktStop->setText(QStringLiteral("ActStop=") + fmt::formatFloat("0.00", actStop_));

  autoComPort_ = file.readBool(kGlobal, QStringLiteral("AutoComPort"), true);

  users_->setUsers(UserList::load(
      file.readInteger(kUsers, QStringLiteral("count"), 1), [&](int n) -> std::optional<QString> {
        return file.readString(kUsers, userKey(n), UserList::defaultName(n));
      }));

  applyGraphCheckBoxes();

  if (file.readBool(kGlobal, QStringLiteral("SpecSet"), false)) showPage(TabSheetSpecSetting, true);
  specPage.NEditK1->setValue(calibration().K1 * 1000);
  specPage.NEditK2->setValue(calibration().K2 * 1000);
  specPage.SpinEditOfs1->setValue(calibration().Ofs1);
  specPage.SpinEditOfs2->setValue(calibration().Ofs2);

  applyAutoscaleCheckBoxes();
}

void TForm1::writeSettings() {
  SettingsFile& file = *settings_;
  auto& specPage = *TabSheetSpecSetting;
  auto& graphSettings = *TabSheetSetting;
  auto& activity = *TabSheet5;
  auto& keys = *TabSheet1;

  file.writeInteger(kGlobal, QStringLiteral("TrackBarAct"), activity.TrackBarAct->value());
  file.writeBool(kGlobal, QStringLiteral("CheckSound"), activity.CheckBoxSound->isChecked());
  file.writeBool(kGlobal, QStringLiteral("CheckMute"), activity.CheckBoxMute->isChecked());
  file.writeString(kGlobal, QStringLiteral("MAC"), specPage.EditMac->text());
  file.writeInteger(kGlobal, QStringLiteral("Max"), graphSettings.SpinEditMax->value());
  file.writeInteger(kGlobal, QStringLiteral("Min"), graphSettings.SpinEditMin->value());
  file.writeInteger(kGlobal, QStringLiteral("MaxAcel"), graphSettings.SpinEditMaxAcel->value());
  file.writeInteger(kGlobal, QStringLiteral("MinAcel"), graphSettings.SpinEditMinAcel->value());
  file.writeString(kGlobal, QStringLiteral("IP"), specPage.EditIP->text());
  file.writeReal(kGlobal, QStringLiteral("K1"), calibration().K1);
  file.writeReal(kGlobal, QStringLiteral("K2"), calibration().K2);
  file.writeInteger(kGlobal, QStringLiteral("Ofs1"), calibration().Ofs1);
  file.writeInteger(kGlobal, QStringLiteral("Ofs2"), calibration().Ofs2);

  file.writeInteger(kKeys, QStringLiteral("KODF1"), keys.RadioGroup1->itemIndex());
  file.writeInteger(kKeys, QStringLiteral("LIMF1"), keys.SpinEditF1->value());
  for (const auto& k : kAccelKeys) {
    file.writeInteger(kKeys, QString::fromLatin1(k.key), (specPage.*k.field)->value());
  }
  for (const auto& k : kGraphKeys) {
    file.writeBool(kSetGraf, QString::fromLatin1(k.key), (graphSettings.*k.box)->isChecked());
  }

  const QStringList users = users_->users().names();
  file.writeInteger(kUsers, QStringLiteral("count"), users.size());
  for (int n = 1; n <= users.size(); ++n) file.writeString(kUsers, userKey(n), users.at(n - 1));

  file.writeBool(kGlobal, QStringLiteral("AutoComPort"), autoComPort_);
  file.writeInteger(kBreathing, QStringLiteral("ApneaLimit"), activity.SpinEditApnea->value());
}

}  // namespace kelvaro
