#include <QGroupBox>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <climits>

#include <gtest/gtest.h>

#include "app/PageChecks.h"
#include "app/pages/SpecSettingPage.h"
#include "widgets/NumberEdit.h"

namespace kelvaro {
namespace {

using namespace kelvaro::pagechecks;

TEST(SpecSettingPage, ControlsStartAsDesigned) {
  SpecSettingPage page;
  checkButtons(page, {
                         {"ButtonReset", "BLE Reset ", true, true, ""},
                         {"ButtonAutoConn", "BLE Connect", true, true, ""},
                         {"ButtonBLEDis", "BLE Disconnect", true, true, ""},
                         {"Button13", "TCP Connect", true, true, ""},
                         {"Button14", "TCP Disconnect", true, true, ""},
                         {"Button5", "Clear", true, true, "Empties the console below"},
                         {"Button8", "ConnectDirect", true, true, ""},
                         {"Button10", "Set1", true, true, ""},
                         {"Button12", "Set2", true, true, ""},
                         {"Button9", "StartGapDiscover", true, true, ""},
                         {"Button7", "StopGatDisc", true, true, ""},
                         {"Button15", "Send force", true, true, ""},
                         {"Button16", "Test spoj", true, true, ""},
                         {"Button1", "About", true, true, ""},
                         {"Button3", "COM setup", true, true, ""},
                         {"ButtonZero1", "Zero1", true, true, ""},
                         {"ButtonZero2", "Zero2", true, true, ""},
                     });
  checkChecks(
      page, {{"CheckBoxLog", "Log", false, "Trace every measurement notification on the console"}});
  checkEdits(page, {{"EditMac", "012345678901", false, "MAC"},
                    {"EditIP", "192.168.1.4", false, "IP"},
                    {"EditNap", "", true, "Battery"},
                    {"EditTemp", "", true, "Temperature"}});
  checkSpins(page, {
                       {"SpinEdit1", INT_MIN, INT_MAX, 55000},
                       {"SpinEdit14", -100, 99, 0},
                       {"SpinEditOfs1", INT_MIN, INT_MAX, 1000},
                       {"SpinEditOfs2", INT_MIN, INT_MAX, 1000},
                       {"SpinEditACLX", -9999, 9999, -500},
                       {"SpinEditACLY", -9999, 9999, -501},
                       {"SpinEditACLZ", -9999, 9999, -502},
                       {"SpinEditACHX", -9999, 9999, 500},
                       {"SpinEditACHY", -9999, 9999, 501},
                       {"SpinEditACHZ", -9999, 9999, 502},
                       {"SpinEditKeyLX", 0, 255, 1},
                       {"SpinEditKeyLY", 0, 255, 2},
                       {"SpinEditKeyLZ", 0, 255, 3},
                       {"SpinEditKeyHX", 0, 255, 4},
                       {"SpinEditKeyHY", 0, 255, 5},
                       {"SpinEditKeyHZ", 0, 255, 6},
                   });
  checkLabels(page, {{"LabelMac", "MAC", "EditMac"},
                     {"LabelIP", "IP", "EditIP"},
                     {"LabelNap", "Battery", "EditNap"},
                     {"LabelTemp", "Temperature", "EditTemp"},
                     {"LabelPrintResolution", "Print resolution %", "SpinEdit14"},
                     {"LabelSensor1", "Sensor 1", "NEditK1"},
                     {"LabelSensor2", "Sensor 2", "NEditK2"}});

  EXPECT_EQ(page.macEdit->maxLength(), 12);
  EXPECT_EQ(page.macEdit->font().family(), QStringLiteral("Courier New"));
  EXPECT_EQ(page.scratchIpEdit->maxLength(), 16);
  EXPECT_EQ(page.printResolutionSpin->toolTip(), QString::fromUtf8("Rozlišení detailů při tisku "));
  EXPECT_EQ(page.graphGroup->title(), QStringLiteral("Graph"));
  EXPECT_TRUE(page.graphGroup->isAncestorOf(page.printResolutionSpin));
}

TEST(SpecSettingPage, SubPagesHoldTheirControls) {
  SpecSettingPage page;
  auto* tabs = page.findChild<QTabWidget*>(QStringLiteral("PageControl2"));
  ASSERT_NE(tabs, nullptr);
  const struct {
    const char* sheet;
    const char* caption;
    std::vector<const char*> controls;
  } sheets[] = {
      {"TabSheet3",
       "Standard",
       {"Button13", "Button14", "EditIP", "ButtonReset", "ButtonAutoConn", "ButtonBLEDis",
        "EditMac", "Button5", "EditNap", "EditTemp", "CheckBoxScratch3", "EditScratch3Address",
        "ButtonScratch3Copy", "LabelScratch3Editors"}},
      {"TabSheet4",
       "Edhanced",
       {"Button8", "Button10", "Button12", "Button9", "Button7", "Button15", "SpinEdit1",
        "Button16", "CheckBoxLog", "SpinEdit14", "Button1", "Button3"}},
      {"TabSheet2",
       "Calibration",
       {"NEditK1", "NEditK2", "SpinEditOfs1", "SpinEditOfs2", "ButtonZero1", "ButtonZero2"}},
      {"TabSheet6",
       "Accel Setting",
       {"SpinEditACLX", "SpinEditACLY", "SpinEditACLZ", "SpinEditACHX", "SpinEditACHY",
        "SpinEditACHZ", "SpinEditKeyLX", "SpinEditKeyLY", "SpinEditKeyLZ", "SpinEditKeyHX",
        "SpinEditKeyHY", "SpinEditKeyHZ"}},
  };
  ASSERT_EQ(tabs->count(), 4);
  EXPECT_EQ(tabs->currentIndex(), 0);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(sheets[i].sheet);
    EXPECT_EQ(tabs->tabText(i), QString::fromLatin1(sheets[i].caption));
    EXPECT_EQ(tabs->widget(i)->objectName(), QString::fromLatin1(sheets[i].sheet));
    for (const char* name : sheets[i].controls) {
      EXPECT_NE(tabs->widget(i)->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
  }
}

TEST(SpecSettingPage, SlopeFieldsShowThousandthsAsFourDigits) {
  SpecSettingPage page;
  for (NumberEdit* edit : {page.slope1Edit, page.slope2Edit}) {
    SCOPED_TRACE(edit->objectName().toStdString());
    EXPECT_EQ(edit->picture(), QStringLiteral("0000"));
    EXPECT_EQ(edit->minimum(), -1000);
    EXPECT_EQ(edit->maximum(), 20000);
    EXPECT_EQ(edit->text(), QStringLiteral("0500"));
    EXPECT_FALSE(edit->accessibleName().isEmpty());
  }
  EXPECT_EQ(page.slope1Edit->accessibleName(), QStringLiteral("Sensor 1 Slope (K)"));
  EXPECT_EQ(page.offset2Spin->accessibleName(), QStringLiteral("Sensor 2 Offset (Q)"));
}

TEST(SpecSettingPage, ConsoleFillsTheBottom) {
  SpecSettingPage page;
  auto* memo = page.findChild<QPlainTextEdit*>(QStringLiteral("Memo3"));
  ASSERT_NE(memo, nullptr);
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_FALSE(memo->accessibleName().isEmpty());
  EXPECT_EQ(memo->font().family(), QStringLiteral("Courier New"));
  EXPECT_EQ(memo->font().pointSize(), 10);
  EXPECT_EQ(memo->font().weight(), QFont::Normal);
  EXPECT_FALSE(memo->font().italic());
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  QFont bold(QStringLiteral("Arial"));
  bold.setBold(true);
  page.setFont(bold);
  // The window's bold default does not reach the console.
  EXPECT_EQ(memo->font().weight(), QFont::Normal);

  for (const QSize size : {QSize(1050, 700), QSize(1400, 900)}) {
    page.resize(size);
    page.show();
    QApplication::processEvents();
    const QRect console = placeOf(page, "Memo3");
    const QRect tabs = placeOf(page, "PageControl2");
    EXPECT_EQ(console.height(), 320);
    EXPECT_GE(console.bottom(), page.height() - 2);
    EXPECT_GE(console.width(), page.width() - 10);
    EXPECT_LT(tabs.bottom(), console.top());
    EXPECT_GE(tabs.width(), page.width() - 10);
  }
}

TEST(SpecSettingPage, KeepsTheDesignArrangement) {
  SpecSettingPage page;
  page.resize(1050, 700);
  page.show();
  QApplication::processEvents();
  // "Standard": the dongle buttons one under the other, the address beside them, the read-outs
  // further right.
  const QRect reset = placeOf(page, "ButtonReset");
  const QRect connect = placeOf(page, "ButtonAutoConn");
  const QRect disconnect = placeOf(page, "ButtonBLEDis");
  EXPECT_LT(reset.bottom(), connect.top());
  EXPECT_LT(connect.bottom(), disconnect.top());
  EXPECT_LT(disconnect.bottom(), placeOf(page, "EditMac").top());
  EXPECT_LT(reset.right(), placeOf(page, "Button13").left());
  EXPECT_LT(placeOf(page, "EditIP").right(), placeOf(page, "EditNap").left());

  // "Calibration": a grid of rows "Sensor 1", "Sensor 2" and columns slope, offset, zero.
  page.specPages->setCurrentWidget(page.calibrationTab);
  QApplication::processEvents();
  const QRect k1 = placeOf(page, "NEditK1");
  const QRect k2 = placeOf(page, "NEditK2");
  const QRect ofs1 = placeOf(page, "SpinEditOfs1");
  const QRect ofs2 = placeOf(page, "SpinEditOfs2");
  EXPECT_EQ(k1.left(), k2.left());
  EXPECT_EQ(ofs1.left(), ofs2.left());
  EXPECT_LT(k1.right(), ofs1.left());
  EXPECT_LT(ofs1.right(), placeOf(page, "ButtonZero1").left());
  EXPECT_LT(k1.bottom(), k2.top());
  EXPECT_EQ(k1.center().y(), ofs1.center().y());

  // "Accel Setting": rows X, Y, Z; limits LOW, HIGH, then keys LOW, HIGH.
  page.specPages->setCurrentWidget(page.accelSettingTab);
  QApplication::processEvents();
  const char* rows[3][4] = {{"SpinEditACLX", "SpinEditACHX", "SpinEditKeyLX", "SpinEditKeyHX"},
                            {"SpinEditACLY", "SpinEditACHY", "SpinEditKeyLY", "SpinEditKeyHY"},
                            {"SpinEditACLZ", "SpinEditACHZ", "SpinEditKeyLZ", "SpinEditKeyHZ"}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      SCOPED_TRACE(rows[r][c]);
      const QRect cell = placeOf(page, rows[r][c]);
      if (c > 0) {
        EXPECT_LT(placeOf(page, rows[r][c - 1]).right(), cell.left());
      }
      if (r > 0) {
        EXPECT_LT(placeOf(page, rows[r - 1][c]).bottom(), cell.top());
        EXPECT_EQ(placeOf(page, rows[r - 1][c]).left(), cell.left());
      }
    }
  }
}

TEST(SpecSettingPage, TabReachesEveryControlOfTheShownSubPage) {
  const struct {
    int index;
    QStringList order;
  } cases[] = {
      {0,
       {"PageControl2", "ButtonReset", "ButtonAutoConn", "ButtonBLEDis", "EditMac", "Button13",
        "Button14", "EditIP", "EditNap", "EditTemp", "CheckBoxScratch3", "EditScratch3Address",
        "ButtonScratch3Copy", "Button5", "Memo3"}},
      {1,
       {"PageControl2", "Button8", "Button10", "Button12", "Button9", "Button7", "Button15",
        "SpinEdit1", "Button16", "SpinEdit14", "CheckBoxLog", "CheckBoxCapture", "Button3",
        "Button1", "Memo3"}},
      {2,
       {"PageControl2", "NEditK1", "SpinEditOfs1", "ButtonZero1", "NEditK2", "SpinEditOfs2",
        "ButtonZero2", "Memo3"}},
      {3,
       {"PageControl2", "SpinEditACLX", "SpinEditACHX", "SpinEditKeyLX", "SpinEditKeyHX",
        "SpinEditACLY", "SpinEditACHY", "SpinEditKeyLY", "SpinEditKeyHY", "SpinEditACLZ",
        "SpinEditACHZ", "SpinEditKeyLZ", "SpinEditKeyHZ", "Memo3"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    SpecSettingPage page;
    page.specPages->setCurrentIndex(c.index);
    EXPECT_EQ(tabWalk(page, page.specPages), c.order);
    QStringList stops = tabStops(page);
    stops.sort();
    QStringList sorted = c.order;
    sorted.sort();
    EXPECT_EQ(stops, sorted);
  }
}

}  // namespace
}  // namespace kelvaro
