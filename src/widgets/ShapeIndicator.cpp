#include "widgets/ShapeIndicator.h"

#include <QPainter>
#include <algorithm>

namespace kelvaro {
namespace {

QString colourName(const QColor& c) {
  if (c == QColor(255, 0, 0)) return QStringLiteral("red");
  if (c == QColor(0, 255, 0)) return QStringLiteral("green");
  return c.name();
}

}  // namespace

ShapeIndicator::ShapeIndicator(Shape shape, QWidget* parent)
    : QWidget(parent), shape_(shape), color_(255, 0, 0) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setAccessibleDescription(colourName(color_));
}

void ShapeIndicator::setColor(const QColor& color) {
  if (color == color_) return;
  color_ = color;
  setAccessibleDescription(colourName(color_));
  update();
}

QSize ShapeIndicator::sizeHint() const {
  const int side = fontMetrics().height() * 2;
  return {side, side};
}

QSize ShapeIndicator::minimumSizeHint() const {
  const int side = fontMetrics().height();
  return {side, side};
}

void ShapeIndicator::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(palette().color(QPalette::WindowText), 1));
  p.setBrush(color_);
  const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
  if (shape_ == Shape::Circle) {
    const qreal side = std::min(r.width(), r.height());
    p.drawEllipse(QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side));
  } else {
    p.drawRect(r);
  }
}

}  // namespace kelvaro
