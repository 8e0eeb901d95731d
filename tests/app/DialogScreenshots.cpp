#include <QApplication>
#include <QFont>
#include <QPixmap>

#include <gtest/gtest.h>

#include "app/dialogs/AboutDialog.h"
#include "app/dialogs/ComSetupDialog.h"
#include "app/dialogs/DongleNotFoundDialog.h"
#include "app/dialogs/SerialPortListDialog.h"
#include "platform/PortCatalog.h"

namespace kelvaro {
namespace {

// Pictures of the dialogs for a person to look at:
// test_app --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*' writes /tmp/<dialog>.png.
TEST(DialogScreenshots, DISABLED_WriteDialogPictures) {
  SerialPortRecord dongle;
  dongle.portName = QStringLiteral("/dev/ttyACM0");
  dongle.description = QStringLiteral("Low Energy Dongle");
  dongle.manufacturer = QStringLiteral("Bluegiga");
  dongle.location = QStringLiteral("usb 1-2:1.0");
  dongle.vendorId = 0x2458;
  dongle.productId = 0x0001;
  dongle.hasVidPid = true;
  SerialPortRecord serial;
  serial.portName = QStringLiteral("/dev/ttyS0");
  FixedPortCatalog catalog({serial, dongle});

  const auto save = [](QWidget& widget, const char* name) {
    widget.show();
    QApplication::processEvents();
    EXPECT_TRUE(widget.grab().save(QStringLiteral("/tmp/%1.png").arg(QLatin1String(name))));
    widget.hide();
  };
  TErrorDlg error(catalog, nullptr);
  save(error, "TErrorDlg");
  ComPortConfig config;
  config.port = dongle.portName;
  TComSetupFrm setup(catalog, config);
  save(setup, "TComSetupFrm");
  AboutBox about;
  save(about, "TAboutBox");
  SerialPortListDialog list(catalog);
  save(list, "SerialPortListDialog");
}

}  // namespace
}  // namespace kelvaro
