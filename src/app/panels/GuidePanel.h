#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "guide/GuideHistory.h"
#include "guide/GuideListener.h"

namespace kelvaro {

class BreathingGuidePage;
class ConsoleLog;
class MonitorCore;
class SoundPlayer;
class TickSource;
class WallClock;

// The breathing guide in the window: "Start" runs an exercise with the page's fields, the guide's
// listener on the core's road hears the breathing, and a frame timer draws the wave, the shape,
// the phase (its name announced to assistive tools at each change only), the score and the rate;
// a soft cue sounds at each phase's start when "Sound cues" is ticked. At the end or "Stop" the
// summary is shown and appended to Data/usr_guide.csv for the selected user, whose exercises the
// page lists, the latest first. It registers its listener with the core and must not outlive it.
class GuidePanel final : public QObject {
  Q_OBJECT

 public:
  struct Parts {
    MonitorCore& core;
    BreathingGuidePage& page;
    const TickSource& ticks;  // the core's clock: the exercise's time
    const WallClock& clock;   // the exercise's start, as kept
    SoundPlayer& sound;
    QString cueSound;  // the cue's WAV file
    std::function<QString()> userName;
    QString homeDir;
    ConsoleLog& console;
    std::function<void(const QString&)> reportError;
  };
  static constexpr int kFrameMs = 40;

  GuidePanel(Parts parts, QObject* parent = nullptr);
  ~GuidePanel() override;

  void startClicked();
  void stopClicked() { finish(); }
  // Ends an exercise under way (the end of its time, "Stop", the window closing) and keeps it.
  void finish();
  bool running() const { return listener_.running(); }
  // The frame: what the page shows of the exercise now. The frame timer calls it.
  void showFrame();
  // The selected user's exercises read again into the list.
  void showHistory();
  QTimer& frameTimer() { return frameTimer_; }
  const GuideListener& listener() const { return listener_; }

  // The cue sound installed with the program (share/kelvaro-monitor/breath-cue.wav beside its
  // bin/), else one beside the executable or in the home folder; the installed path when none is.
  static QString findCueSound(const QString& executableDir, const QString& homeDir);
  // "Breathe in", "Hold", "Breathe out".
  static QString phaseText(GuidePhase phase);
  // "Exercise of 05:00 at 6.0 breaths/min: ..."
  static QString summaryText(const GuideExercise& exercise);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  GuideSettings fieldSettings() const;
  void setFieldsEnabled(bool enabled);
  void showPhase(const GuideMoment& moment);
  void showWave(std::int64_t nowMs);

  Parts parts_;
  GuideListener listener_;
  QTimer frameTimer_;
  QDateTime startedAt_;
  std::optional<GuidePhase> shownPhase_;
  std::uint64_t shownCycle_ = 0;
};

}  // namespace kelvaro
