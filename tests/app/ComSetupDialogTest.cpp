#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "app/dialogs/ComSetupDialog.h"
#include "app/dialogs/DongleNotFoundDialog.h"
#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/SettingsFile.h"
#include "link/CommandSender.h"
#include "link/DongleNotFoundExit.h"
#include "link/LinkState.h"
#include "link/PortSelection.h"
#include "platform/PortCatalog.h"
#include "support/FakeSerialTransport.h"

namespace kelvaro {
namespace {

SerialPortRecord present(const char* path) {
  SerialPortRecord record;
  record.portName = QString::fromLatin1(path);
  return record;
}

ComPortConfig customConfig() {
  ComPortConfig config;
  config.port = QStringLiteral("/dev/ttyACM0");
  config.settings.baudRate = 57600;
  config.settings.dataBits = 7;
  config.settings.stopBits = SerialSettings::StopBits::Two;
  config.settings.parity = SerialSettings::Parity::Odd;
  config.settings.rtsCtsHandshake = true;
  return config;
}

TEST(ComSetupDialogTest, ListsShowTheCurrentValuesAndThePortsPresent) {
  FixedPortCatalog catalog({present("/dev/ttyACM0"), present("/dev/ttyUSB0")});
  TComSetupFrm dialog(catalog, customConfig());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Setup"));
  EXPECT_EQ(dialog.settingsGroup->title(), QStringLiteral(" Settings "));
  const struct {
    const char* name;
    const char* label;
    const char* shown;
    int count;
  } cases[] = {
      {"ComboPort", "Port", "/dev/ttyACM0", 2}, {"ComboBaudRate", "Baud rate", "57600", 16},
      {"ComboDataBits", "Data bits", "7", 4},   {"ComboStopBits", "Stop bits", "2", 3},
      {"ComboParity", "Parity", "Odd", 5},      {"ComboFlowControl", "Flow control", "Hardware", 4},
  };
  for (const auto& c : cases) {
    auto* combo = dialog.findChild<QComboBox*>(QString::fromLatin1(c.name));
    ASSERT_NE(combo, nullptr) << c.name;
    EXPECT_EQ(combo->currentText(), QString::fromLatin1(c.shown)) << c.name;
    EXPECT_EQ(combo->count(), c.count) << c.name;
    EXPECT_FALSE(combo->isEditable()) << c.name;
    EXPECT_EQ(combo->accessibleName(), QString::fromLatin1(c.label)) << c.name;
    bool labelled = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
      if (label->buddy() == combo && label->text() == QString::fromLatin1(c.label)) labelled = true;
    }
    EXPECT_TRUE(labelled) << c.name;
  }
  EXPECT_EQ(dialog.okButton->text(), QStringLiteral("OK"));
  EXPECT_EQ(dialog.cancelButton->text(), QStringLiteral("Cancel"));
  EXPECT_TRUE(dialog.okButton->isDefault());
}

TEST(ComSetupDialogTest, CurrentPortIsOfferedEvenWhenAbsent) {
  FixedPortCatalog catalog({present("/dev/ttyACM0")});
  TComSetupFrm dialog(catalog, ComPortConfig{});
  EXPECT_EQ(dialog.portCombo->currentText(), QStringLiteral("COM3"));
  EXPECT_EQ(dialog.portCombo->count(), 2);
}

TEST(ComSetupDialogTest, TabReachesEveryListAndButton) {
  FixedPortCatalog catalog;
  TComSetupFrm dialog(catalog, ComPortConfig{});
  QList<QWidget*> expected{dialog.portCombo,     dialog.baudRateCombo, dialog.dataBitsCombo,
                           dialog.stopBitsCombo, dialog.parityCombo,   dialog.flowControlCombo,
                           dialog.okButton,      dialog.cancelButton};
  QWidget* w = dialog.portCombo;
  for (int i = 1; i < expected.size(); ++i) {
    w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
    EXPECT_EQ(w, expected[i]) << i;
  }
}

// EditPortSettings over a port opened by the start-up selection, with its files in a temporary
// home.
class EditPortSettingsTest : public ::testing::Test {
 protected:
  EditPortSettingsTest()
      : settings_(dir_.filePath(QStringLiteral("Darev.ini"))),
        commands_(port_, console_, link_),
        notFound_(
            settings_, console_, [] {}, [](int) {}),
        catalog_({present("/dev/ttyACM0"), present("/dev/ttyACM1")}),
        selection_(&catalog_, port_, console_, commands_, notFound_, iniPath()) {
    QFile file(iniPath());
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[ComPort1]\nPort=/dev/ttyACM0\n");
    file.close();
    selection_.selectAtStart(false);
  }

  QString iniPath() const { return dir_.filePath(QStringLiteral("ComPort.ini")); }

  QByteArray iniText() const {
    QFile file(iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  static void chooseEverything(TComSetupFrm* dialog) {
    dialog->portCombo->setCurrentText(QStringLiteral("/dev/ttyACM1"));
    dialog->baudRateCombo->setCurrentText(QStringLiteral("9600"));
    dialog->dataBitsCombo->setCurrentText(QStringLiteral("7"));
    dialog->stopBitsCombo->setCurrentText(QStringLiteral("1.5"));
    dialog->parityCombo->setCurrentText(QStringLiteral("Even"));
    dialog->flowControlCombo->setCurrentText(QStringLiteral("Software"));
  }

  QTemporaryDir dir_;
  SettingsFile settings_;
  ConsoleLog console_;
  LinkState link_;
  kelvaro::testing::FakeSerialTransport port_;
  CommandSender commands_;
  DongleNotFoundExit notFound_;
  FixedPortCatalog catalog_;
  PortSelection selection_;
};

TEST_F(EditPortSettingsTest, OkAppliesAllSixAtOnceAndStoresThem) {
  ASSERT_EQ(port_.openCount, 1);
  kelvaro::testing::onNextModal<TComSetupFrm>([](TComSetupFrm* dialog) {
    chooseEverything(dialog);
    dialog->okButton->click();
  });
  EditPortSettings(nullptr, catalog_, selection_);

  EXPECT_EQ(port_.openCount, 2) << "one reopen for all six values";
  EXPECT_EQ(port_.portName(), QStringLiteral("/dev/ttyACM1"));
  EXPECT_EQ(port_.lastSettings.baudRate, 9600);
  EXPECT_EQ(port_.lastSettings.dataBits, 7);
  EXPECT_EQ(port_.lastSettings.stopBits, SerialSettings::StopBits::OneAndHalf);
  EXPECT_EQ(port_.lastSettings.parity, SerialSettings::Parity::Even);
  EXPECT_TRUE(port_.lastSettings.xonXoff);
  EXPECT_FALSE(port_.lastSettings.rtsCtsHandshake);
  EXPECT_EQ(iniText(),
            "[ComPort1]\nPort=/dev/ttyACM1\nBaudRate=9600\nStopBits=1.5\nDataBits=7\n"
            "Parity=Even\nFlowControl=Software\n");
}

TEST_F(EditPortSettingsTest, CancelChangesNothingButStillRewritesTheFile) {
  const ComPortConfig before = selection_.config();
  kelvaro::testing::onNextModal<TComSetupFrm>([](TComSetupFrm* dialog) {
    chooseEverything(dialog);
    dialog->cancelButton->click();
  });
  EditPortSettings(nullptr, catalog_, selection_);

  EXPECT_TRUE(selection_.config() == before);
  EXPECT_EQ(port_.openCount, 1);
  EXPECT_EQ(port_.portName(), QStringLiteral("/dev/ttyACM0"));
  EXPECT_EQ(iniText(),
            "[ComPort1]\nPort=/dev/ttyACM0\nBaudRate=115200\nStopBits=1\nDataBits=8\n"
            "Parity=None\nFlowControl=None\n");
}

TEST_F(EditPortSettingsTest, RefusedWriteReachesTheErrorReport) {
  QFile::remove(iniPath());
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("ComPort.ini")));
  kelvaro::testing::onNextModal<TComSetupFrm>(
      [](TComSetupFrm* dialog) { dialog->cancelButton->click(); });
  EXPECT_THROW(EditPortSettings(nullptr, catalog_, selection_), Error);
}

TEST_F(EditPortSettingsTest, SetComPortOfTheDongleDialogStoresTheChoice) {
  port_.close();  // as after a failed start: the choice waits for the next start
  kelvaro::testing::onNextModal<TErrorDlg>([](TErrorDlg* error) {
    kelvaro::testing::onNextModal<TComSetupFrm>([](TComSetupFrm* setup) {
      setup->portCombo->setCurrentText(QStringLiteral("/dev/ttyACM1"));
      setup->okButton->click();
    });
    error->setComPortButton->click();
    error->okButton->click();
  });
  showDongleNotFoundDialog(nullptr, catalog_, selection_);
  EXPECT_EQ(port_.openCount, 1) << "a closed port is not opened by the setup";
  EXPECT_TRUE(iniText().startsWith("[ComPort1]\nPort=/dev/ttyACM1\n")) << iniText().constData();
}

}  // namespace
}  // namespace kelvaro
