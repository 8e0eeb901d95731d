// A person's marker from the window: "Marker" with the text of "Marker text" on "Live Graph", and
// F9 on whichever page is shown; a line on the chart, an event for the recordings, a console line.
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "widgets/LiveChart.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

const QByteArray kValue = testing::bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F");

class MarkerSpy final : public MeasurementConsumer {
 public:
  void eventNoted(const MonitorEvent& e) override {
    if (e.kind == MonitorEventKind::Marker) texts.push_back(e.text.toStdString());
  }
  std::vector<std::string> texts;
};

class MarkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.startAnswered();
    w = h.window.get();
    w->core().addConsumer(spy);
    // The points the window's first showing creates.
    w->pages().chart->createPoints();
    for (int i = 0; i < 30; ++i) h.port.inject(testing::notification(kValue));
  }
  void TearDown() override { w->core().removeConsumer(spy); }
  std::vector<livegraph::LiveGraphModel::Marker> chartMarkers() const {
    std::vector<livegraph::LiveGraphModel::Marker> shown;
    for (const auto& m : w->pages().chart->model().markers()) {
      if (m.slot >= 0) shown.push_back(m);
    }
    return shown;
  }

  WindowHarness h;
  MainWindow* w = nullptr;
  MarkerSpy spy;
};

TEST_F(MarkerTest, TheControlsAreNamedAndTheFieldHasItsCaptionAsBuddy) {
  auto& label = find<QLabel>(*w, "LabelMarker");
  auto& field = find<QLineEdit>(*w, "EditMarker");
  auto& button = find<QPushButton>(*w, "ButtonMarker");
  EXPECT_EQ(label.text(), QStringLiteral("Marker text"));
  EXPECT_EQ(label.buddy(), &field);
  EXPECT_TRUE(field.text().isEmpty());
  EXPECT_EQ(field.accessibleName(), QStringLiteral("Marker text"));
  EXPECT_EQ(button.text(), QStringLiteral("Marker"));
  EXPECT_EQ(button.accessibleName(), QStringLiteral("Marker"));
  EXPECT_TRUE(button.accessibleDescription().contains(QStringLiteral("F9")));
}

TEST_F(MarkerTest, TheButtonMarksTheChartTellsTheRecordingsAndTheConsole) {
  find<QPushButton>(*w, "ButtonMarker").click();
  find<QLineEdit>(*w, "EditMarker").setText(QStringLiteral("coughed"));
  h.port.inject(testing::notification(kValue));
  find<QPushButton>(*w, "ButtonMarker").click();

  EXPECT_EQ(spy.texts, (std::vector<std::string>{"", "coughed"}));
  EXPECT_EQ(w->core().console().lines().back(), QStringLiteral("Marker: coughed"));
  EXPECT_EQ(w->core().console().lines().at(w->core().console().lines().size() - 2),
            QStringLiteral("Marker"));
  const auto markers = chartMarkers();
  ASSERT_EQ(markers.size(), 2u);
  const int last = w->core().graph().lastPlottedSlot();
  EXPECT_EQ(markers[1].slot, last) << "at the sample plotted last";
  EXPECT_EQ(markers[1].text, QStringLiteral("coughed"));
  EXPECT_EQ(markers[0].slot, last - 1);

  // The sweep comes round and writes over them.
  for (int i = 0; i < livegraph::kPointCount; ++i) h.port.inject(testing::notification(kValue));
  EXPECT_TRUE(chartMarkers().empty());
}

TEST_F(MarkerTest, F9MarksOnEveryPageAndAKeyHeldDownIsOneMarker) {
  w->show();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  for (QWidget* page : {static_cast<QWidget*>(w->pages().connection),
                        static_cast<QWidget*>(w->pages().activityHistory)}) {
    ASSERT_TRUE(w->pageShown(page));
    w->pages().tabs->setCurrentWidget(page);
    QTest::keyClick(w->pages().tabs, Qt::Key_F9);
  }
  EXPECT_EQ(spy.texts.size(), 2u);
  // Typing into the marker's own field: F9 still marks, with the text typed so far.
  auto& field = find<QLineEdit>(*w, "EditMarker");
  w->pages().tabs->setCurrentWidget(w->pages().liveGraph);
  field.setFocus();
  QTest::keyClicks(&field, QStringLiteral("apnea?"));
  QTest::keyClick(&field, Qt::Key_F9);
  ASSERT_EQ(spy.texts.size(), 3u);
  EXPECT_EQ(spy.texts.back(), "apnea?");

  // Held: the key repeats, the marker does not.
  QKeyEvent first(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
  QApplication::sendEvent(&field, &first);
  for (int i = 0; i < 5; ++i) {
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&field, &repeat);
  }
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_F9, Qt::NoModifier);
  QApplication::sendEvent(&field, &release);
  EXPECT_EQ(spy.texts.size(), 4u);
}

}  // namespace
}  // namespace kelvaro
