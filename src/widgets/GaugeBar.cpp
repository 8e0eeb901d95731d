#include "widgets/GaugeBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

namespace kelvaro {

// Everything the style's picture depends on: the option it is drawn from, the size, the screen's
// pixel ratio, the palette and the style itself.
QString GaugeBar::pictureKey() const {
  QStyleOptionProgressBar option;
  initStyleOption(&option);
  return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12|%13")
      .arg(option.minimum)
      .arg(option.maximum)
      .arg(option.progress)
      .arg(int(option.state))
      .arg(option.rect.width())
      .arg(option.rect.height())
      .arg(devicePixelRatioF())
      .arg(option.palette.cacheKey())
      .arg(int(option.textAlignment))
      .arg(int(option.textVisible) | int(option.invertedAppearance) << 1 |
           int(option.bottomToTop) << 2)
      .arg(reinterpret_cast<quintptr>(style()))
      .arg(int(option.direction))
      .arg(option.text);
}

void GaugeBar::paintEvent(QPaintEvent* /*event*/) {
  const QString key = pictureKey();
  const Picture* shown = nullptr;
  for (const Picture& picture : pictures_) {
    if (!picture.pixmap.isNull() && picture.key == key) {
      shown = &picture;
      break;
    }
  }
  if (!shown) {
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    {
      QPainter painter(&pixmap);
      QStyleOptionProgressBar option;
      initStyleOption(&option);
      style()->drawControl(QStyle::CE_ProgressBar, &option, &painter, this);
    }
    ++styleDraws_;
    Picture& slot = pictures_[next_];
    next_ = (next_ + 1) % kKept;
    slot.key = key;
    slot.pixmap = std::move(pixmap);
    shown = &slot;
  }
  QPainter painter(this);
  painter.drawPixmap(0, 0, shown->pixmap);
}

}  // namespace kelvaro
