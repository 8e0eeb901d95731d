#pragma once

class QLabel;
class QTabWidget;

namespace kelvaro {

class ActivityHistoryPage;
class ActivityMonitorPage;
class BreathingGuidePage;
class ConnectionPage;
class GamingKeysPage;
class LiveChart;
class LiveGraphPage;
class SettingsPage;
class SpecSettingPage;

// The main window's pages and the live chart; the window owns them and fills this in once they
// exist. Its views and the tests reach the pages through it.
struct WindowPages {
  QTabWidget* tabs = nullptr;
  QLabel* apneaBanner = nullptr;  // above the pages while no breath comes
  ConnectionPage* connection = nullptr;
  SettingsPage* settings = nullptr;
  LiveGraphPage* liveGraph = nullptr;
  SpecSettingPage* specSetting = nullptr;
  GamingKeysPage* gamingKeys = nullptr;
  ActivityMonitorPage* activityMonitor = nullptr;
  BreathingGuidePage* breathingGuide = nullptr;
  ActivityHistoryPage* activityHistory = nullptr;
  LiveChart* chart = nullptr;
};

}  // namespace kelvaro
