#pragma once

#include <QPixmap>
#include <QProgressBar>
#include <QString>
#include <array>

namespace kelvaro {

// A progress bar that looks and reads exactly as QProgressBar does, but keeps the last few
// pictures the style drew: a reading that flickers between two neighbouring values (a battery's
// last millivolts, a force at rest) is shown by copying a picture instead of drawing the style's
// gradients, frame and text again.
class GaugeBar : public QProgressBar {
  Q_OBJECT

 public:
  explicit GaugeBar(QWidget* parent = nullptr) : QProgressBar(parent) {}

  // How many paints drew the style (the rest copied a kept picture); for tests.
  int styleDraws() const { return styleDraws_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Picture {
    QString key;
    QPixmap pixmap;
  };
  static constexpr std::size_t kKept = 4;

  QString pictureKey() const;

  std::array<Picture, kKept> pictures_{};
  std::size_t next_ = 0;  // the picture to replace next
  int styleDraws_ = 0;
};

}  // namespace kelvaro
