#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "app/dialogs/DongleNotFoundDialog.h"
#include "app/dialogs/SerialPortListDialog.h"
#include "platform/PortCatalog.h"

namespace kelvaro {
namespace {

SerialPortRecord port(const char* path, const char* description, quint16 vid, quint16 pid) {
  SerialPortRecord record;
  record.portName = QString::fromLatin1(path);
  record.description = QString::fromLatin1(description);
  record.friendlyName = friendlyPortName(record.description, record.portName.section(u'/', -1));
  record.manufacturer = QStringLiteral("Maker");
  record.location = QStringLiteral("usb 1-2:1.0");
  record.vendorId = vid;
  record.productId = pid;
  record.hasVidPid = true;
  return record;
}

TEST(DongleNotFoundDialogTest, HelpTextHasNineteenLinesWithOneAmpersand) {
  FixedPortCatalog catalog;
  TErrorDlg dialog(catalog, nullptr);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Error"));
  const QStringList lines = dialog.helpText->text().split(u'\n');
  ASSERT_EQ(lines.size(), 19);
  const struct {
    int line;
    const char* text;
  } cases[] = {
      {0, "KELVARO Monitor App cannot find the Bluetooth Dongle!"},
      {1, " "},
      {4, "1. Is the dongle inserted into the USB port?"},
      {7, "    For driver installation, please see instructions."},
      {13, " b. Open the Device manager by bellow button. "},
      {14, "    Click on and expand \"Ports (COM&LPT) "},
      {16, "    as per the image on the right "},
      {18, " e. Click OK and start the app again"},
  };
  for (const auto& c : cases) EXPECT_EQ(lines[c.line], QString::fromLatin1(c.text)) << c.line;
  EXPECT_FALSE(dialog.helpText->text().contains(u'\r'));
  EXPECT_TRUE(dialog.helpText->font().bold());
}

TEST(DongleNotFoundDialogTest, ButtonsAndHiddenTemplateButtons) {
  FixedPortCatalog catalog;
  TErrorDlg dialog(catalog, nullptr);
  const struct {
    const char* name;
    const char* caption;
    bool visible;
  } cases[] = {
      {"Button1", "Open Device Manager", true},
      {"ButtonSetCom", "Set Com Port", true},
      {"OKBtn", "OK", true},
      {"CancelBtn", "Cancel", false},
      {"HelpBtn", "&Help", false},
  };
  for (const auto& c : cases) {
    auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(c.name));
    ASSERT_NE(button, nullptr) << c.name;
    EXPECT_EQ(button->text(), QString::fromLatin1(c.caption)) << c.name;
    EXPECT_EQ(!button->isHidden(), c.visible) << c.name;
    EXPECT_FALSE(button->accessibleName().isEmpty()) << c.name;
  }
  EXPECT_EQ(dialog.setComPortButton->toolTip(),
            QStringLiteral("Close and open program after changes"));
  EXPECT_TRUE(dialog.okButton->isDefault());
}

TEST(DongleNotFoundDialogTest, EmbeddedPictureDecodesToItsSizeAndIsShownWhole) {
  QString error;
  const QImage picture = dongleLocationPicture(&error);
  ASSERT_FALSE(picture.isNull()) << error.toStdString();
  QImage byQt;
  ASSERT_TRUE(byQt.load(QStringLiteral(":/dialogs/dongle_port.jpg")));
  EXPECT_EQ(picture.size(), byQt.size());

  FixedPortCatalog catalog;
  TErrorDlg dialog(catalog, nullptr);
  const QSizeF shown = dialog.portPicture->pixmap().deviceIndependentSize();
  ASSERT_FALSE(shown.isEmpty());
  EXPECT_NEAR(shown.width() / shown.height(),
              static_cast<double>(picture.width()) / picture.height(), 0.02);
  EXPECT_LE(shown.width(), dialog.portPicture->width());
  EXPECT_LE(shown.height(), dialog.portPicture->height());
}

TEST(DongleNotFoundDialogTest, DeviceManagerButtonListsThePortsWithTheDongleInBold) {
  FixedPortCatalog catalog({port("/dev/ttyUSB0", "FT232R USB UART", 0x0403, 0x6001),
                            port("/dev/ttyACM0", "Low Energy Dongle", 0x2458, 0x0001)});
  TErrorDlg dialog(catalog, nullptr);
  int rows = -1;
  testing::onNextModal<SerialPortListDialog>([&](SerialPortListDialog* list) {
    rows = list->portTable->rowCount();
    EXPECT_EQ(list->portTable->item(1, 0)->text(), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(list->portTable->item(1, 4)->text(), QStringLiteral("2458:0001"));
    EXPECT_TRUE(list->portTable->item(1, 0)->font().bold());
    EXPECT_FALSE(list->portTable->item(0, 0)->font().bold());
    list->closeButton->click();
  });
  dialog.openDeviceManagerButton->click();
  EXPECT_EQ(rows, 2);
}

TEST(DongleNotFoundDialogTest, PortListRefreshShowsAPortPluggedInSince) {
  FixedPortCatalog catalog;
  SerialPortListDialog list(catalog);
  EXPECT_EQ(list.portTable->rowCount(), 0);
  catalog.setPorts({port("/dev/ttyACM0", "Low Energy Dongle", 0x2458, 0x0001)});
  list.refreshButton->click();
  ASSERT_EQ(list.portTable->rowCount(), 1);
  EXPECT_EQ(list.portTable->item(0, 1)->text(), QStringLiteral("Low Energy Dongle"));
}

TEST(DongleNotFoundDialogTest, SetComPortRunsThePortSetupOverTheDialogAndOkCloses) {
  FixedPortCatalog catalog;
  QWidget* setupParent = nullptr;
  TErrorDlg dialog(catalog, [&](QWidget* over) { setupParent = over; });
  testing::onNextModal<TErrorDlg>([](TErrorDlg* shown) {
    shown->setComPortButton->click();
    shown->okButton->click();
  });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(setupParent, &dialog);
}

TEST(DongleNotFoundDialogTest, TabGoesFromTheToolsToOk) {
  FixedPortCatalog catalog;
  TErrorDlg dialog(catalog, nullptr);
  const QList<QWidget*> expected{dialog.openDeviceManagerButton, dialog.setComPortButton,
                                 dialog.okButton, dialog.openDeviceManagerButton};
  QWidget* w = expected.first();
  for (int i = 1; i < expected.size(); ++i) {
    w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus) || w->isHidden()) w = w->nextInFocusChain();
    EXPECT_EQ(w, expected[i]) << i;
  }
}

TEST(DongleNotFoundDialogTest, HasAFixedSize) {
  FixedPortCatalog catalog;
  TErrorDlg dialog(catalog, nullptr);
  dialog.show();
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
}

}  // namespace
}  // namespace kelvaro
