// The main window itself: its pages at start and the About box.
#include <QPushButton>
#include <QTabWidget>
#include <string>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "MainWindowTestSupport.h"
#include "app/dialogs/AboutDialog.h"
#include "app/pages/BreathingGuidePage.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

TEST(MainWindowTest, PagesInTheirOrderWithConnectionActiveAndLiveGraphAndSpecSettingHidden) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  struct Page {
    QWidget* page;
    const char* caption;
    bool shown;
  };
  const Page pages[] = {
      {w.pages().connection, "Connection", true},
      {w.pages().settings, "Settings", true},
      {w.pages().liveGraph, "Live Graph", false},
      {w.pages().specSetting, "Spec. Setting", false},
      {w.pages().gamingKeys, "Gaming Key Activation", true},
      {w.pages().activityMonitor, "Activity Monitor", true},
      {w.pages().breathingGuide, "Breathing Guide", true},
      {w.pages().activityHistory, "Activity History", true},
  };
  // A hidden page has no tab; it is still the window's, and comes back at its place.
  int tab = 0;
  for (const Page& p : pages) {
    SCOPED_TRACE(p.caption);
    EXPECT_TRUE(w.isAncestorOf(p.page));
    if (!p.shown) {
      EXPECT_EQ(w.pages().tabs->indexOf(p.page), -1);
      continue;
    }
    ASSERT_LT(tab, w.pages().tabs->count());
    EXPECT_EQ(w.pages().tabs->widget(tab), p.page);
    EXPECT_EQ(w.pages().tabs->tabText(tab), QString::fromLatin1(p.caption));
    EXPECT_TRUE(w.pages().tabs->isTabVisible(tab));
    ++tab;
  }
  EXPECT_EQ(w.pages().tabs->count(), tab);
  EXPECT_EQ(w.pages().tabs->currentWidget(), w.pages().connection);

  w.showPage(w.pages().specSetting, true);
  w.showPage(w.pages().liveGraph, true);
  w.showPage(w.pages().liveGraph, true);
  ASSERT_EQ(w.pages().tabs->count(), 8);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(pages[i].caption);
    EXPECT_EQ(w.pages().tabs->widget(i), pages[i].page);
    EXPECT_EQ(w.pages().tabs->tabText(i), QString::fromLatin1(pages[i].caption));
  }
  EXPECT_EQ(w.pages().tabs->currentWidget(), w.pages().connection)
      << "showing a page keeps the active one";
  EXPECT_EQ(w.windowTitle(), QStringLiteral("KELVARO monitor "));
}

// The console opens with the settings file's full path; what start-up reports about the sound
// output comes after it.
TEST(MainWindowTest, TheFirstConsoleLineIsTheSettingsFilesPath) {
  WindowHarness h;
  h.startAnswered();
  const QStringList& lines = h.window->core().console().lines();
  ASSERT_GE(lines.size(), 2);
  EXPECT_EQ(lines.at(0), h.darevPath());
  EXPECT_EQ(lines.at(1),
            QStringLiteral("No audio output found: the mute alarm cannot lower the volume"));
}

TEST(MainWindowTest, BothAboutButtonsShowTheSameAboutBoxModally) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  QList<AboutBox*> shown;
  const auto closeIt = [&shown](AboutBox* box) {
    shown << box;
    EXPECT_TRUE(box->isModal());
    EXPECT_TRUE(box->isVisible());
    box->okButton->click();
  };

  kelvaro::testing::onNextModal<AboutBox>(closeIt);
  find<QPushButton>(w, "Button11").click();
  kelvaro::testing::onNextModal<AboutBox>(closeIt);
  find<QPushButton>(w, "Button1").click();

  ASSERT_EQ(shown.size(), 2);
  EXPECT_EQ(shown[0], shown[1]);
  EXPECT_EQ(shown[0]->parentWidget(), &w);
  EXPECT_FALSE(shown[0]->isVisible());
}

}  // namespace
}  // namespace kelvaro
