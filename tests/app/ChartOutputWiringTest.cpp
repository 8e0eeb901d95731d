// "Print" and "WMF" on the window's Live Graph page reach the chart's output.
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "app/panels/ChartOutputPanel.h"

namespace kelvaro {
namespace {

using testing::find;

class NoPrinter final : public PrinterSource {
 public:
  QPrinter* defaultPrinter() override { return nullptr; }
};

TEST(ChartOutputWiringTest, PrintAndWmfAreWiredToTheLiveChart) {
  testing::WindowHarness h;
  h.startAnswered();
  auto* panel = h.window->findChild<ChartOutputPanel*>();
  ASSERT_NE(panel, nullptr);
  NoPrinter none;
  panel->setPrinterSource(&none);
  find<QPushButton>(*h.window, "Button2").click();
  EXPECT_EQ(h.reports,
            QStringList{QStringLiteral("There is no default printer currently selected")});

  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("chart.svg"));
  panel->setAskSavePath([&](const QString&) {
    return std::optional<ChartOutputPanel::SaveChoice>(
        ChartOutputPanel::SaveChoice{path, QStringLiteral("SVG picture (*.svg)")});
  });
  find<QPushButton>(*h.window, "Button6").click();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("<svg"));
}

}  // namespace
}  // namespace kelvaro
