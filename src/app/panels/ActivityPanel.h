#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include "activity/ActivityMonitor.h"
#include "platform/VolumeDucker.h"

class QTimer;

namespace kelvaro {

class MasterVolume;
class MonitorCore;
class SoundPlayer;
class WallClock;

class ActivityMonitorPage;
class LiveGraphPage;
class LastBelt;
class UsersPanel;

// The activity monitoring in the window: the session buttons (also pressed by the automatic
// rule), the alarm's sound and lowered volume, and each block's values on both pages and on the
// activity chart. The panel holds whether a session is open; "Session Stop" is enabled and
// "Session Start" disabled exactly while it is.
class ActivityPanel final : public QObject, public ActivitySessionControl, public ActivityAlarm {
  Q_OBJECT

 public:
  static inline const QString kAlarmSound = QStringLiteral("./SoundAct.wav");

  struct Parts {
    MonitorCore& core;
    ActivityMonitorPage& page;
    LiveGraphPage& graph;
    const LastBelt& lastBelt;  // the belt a session's line names
    const UsersPanel& users;
    QTimer& volumeRestoreTimer;
    MasterVolume& volume;
    SoundPlayer& sound;
    const WallClock& clock;
    QString homeDir;  // Data/usr_act.csv lives here
  };

  explicit ActivityPanel(Parts parts, QObject* parent = nullptr);

  bool sessionOpen() const override;
  // "Session Start".
  void startSession() override;
  // "Session Stop": appends the session's line; a file that cannot be written throws
  // kelvaro::Error naming it, and the session stays open so that it can be stopped again.
  void stopSession() override;
  void soundAlarm() override;
  void muteAlarm() override;

  void showBlock(const ActivityBlock& block);
  // The thresholds of the automatic session rule, from the settings file.
  void setThresholds(double start, double stop);
  // The end of the run: an open session is stopped (its line written) and a lowered volume put
  // back.
  void finish();

 private:
  void setSessionButtons(bool open);

  Parts parts_;
  VolumeDucker ducker_;
  QDateTime sessionStart_;
  bool sessionOpen_ = false;
};

}  // namespace kelvaro
