#pragma once

#include <QString>
#include <functional>

class QWidget;

#include "app/WindowPages.h"
#include "app/panels/Scratch3Panel.h"

namespace kelvaro {

class ActivityPanel;
class ConsoleLog;
class LastBelt;
class SettingsFile;
class UsersPanel;
struct Calibration;

// The window's settings in Darev.ini: the read sequence at start-up applies every key to its
// control (or to the value kept here when no control shows it), the write-back sequence at close
// takes them back, in one fixed order of keys.
class WindowSettings {
 public:
  struct Parts {
    const WindowPages& pages;
    ConsoleLog& console;
    Calibration& calibration;
    LastBelt& lastBelt;
    UsersPanel& users;
    ActivityPanel& activity;
    std::function<void(QWidget* page, bool shown)> showPage;
    // The series and autoscale boxes' reactions, run once more after the boxes were set.
    std::function<void()> applyGraphCheckBoxes;
    std::function<void()> applyAutoscaleCheckBoxes;
  };

  explicit WindowSettings(Parts parts) : parts_(std::move(parts)) {}

  void read(SettingsFile& file);
  void write(SettingsFile& file) const;

  // The values no control holds.
  bool autoComPort() const { return autoComPort_; }
  void setAutoComPort(bool on) { autoComPort_ = on; }
  double actStart() const { return actStart_; }
  double actStop() const { return actStop_; }
  // [Scratch3] as read; the write-back takes Enabled from the box, the rest from here.
  const Scratch3Settings& scratch3() const { return scratch3_; }

 private:
  Parts parts_;
  bool autoComPort_ = true;
  double actStart_ = 4.15;
  double actStop_ = 0.6;
  Scratch3Settings scratch3_;
};

}  // namespace kelvaro
