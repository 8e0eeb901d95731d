#pragma once

#include <QLabel>
#include <QTimer>

namespace kelvaro {

// A label that shows a value changing with every notification (the forces). What it shows is
// its accessible name, as with any label; but assistive tools hear of a new value at most once
// per announce interval (the newest value at its end), so a screen reader is told politely
// instead of twenty-five times a second.
class ReadoutLabel : public QLabel {
  Q_OBJECT

 public:
  static constexpr int kAnnounceMs = 500;

  explicit ReadoutLabel(const QString& text, QWidget* parent = nullptr);

  // Shows the value at once; its accessible name follows within the announce interval.
  void setReading(const QString& text);
  // 0: the accessible name follows every reading at once.
  void setAnnounceInterval(int ms);

 private:
  void announce();

  QTimer announceTimer_;
  bool pending_ = false;
};

}  // namespace kelvaro
