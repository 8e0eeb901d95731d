#include "widgets/ReadoutLabel.h"

#include <algorithm>

namespace kelvaro {

ReadoutLabel::ReadoutLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  // While the accessible name is set, QLabel::setText raises no name-change event of its own;
  // this label raises them itself, at its own pace.
  setAccessibleName(text);
  announceTimer_.setSingleShot(true);
  announceTimer_.setInterval(kAnnounceMs);
  connect(&announceTimer_, &QTimer::timeout, this, [this] {
    if (pending_) announce();
  });
}

void ReadoutLabel::setReading(const QString& text) {
  if (text == this->text()) return;
  setText(text);
  if (announceTimer_.isActive()) {
    pending_ = true;
  } else {
    announce();
  }
}

void ReadoutLabel::setAnnounceInterval(int ms) { announceTimer_.setInterval(std::max(0, ms)); }

void ReadoutLabel::announce() {
  pending_ = false;
  setAccessibleName(text());
  if (announceTimer_.interval() > 0) announceTimer_.start();
}

}  // namespace kelvaro
