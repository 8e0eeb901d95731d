#include "widgets/GuideWave.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace kelvaro {

namespace {

const QColor kTargetColor(0x4A, 0x90, 0xD9);
const QColor kLiveColor(0x20, 0x20, 0x20);

}  // namespace

GuideWave::GuideWave(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

void GuideWave::setCurves(QVector<QPointF> target, QVector<QPointF> live, double nowMs) {
  target_ = std::move(target);
  live_ = std::move(live);
  nowMs_ = nowMs;
  update();
}

void GuideWave::clear() { setCurves({}, {}, 0.0); }

void GuideWave::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF area = QRectF(rect()).adjusted(8, 12, -8, -12);
  const double from = nowMs_ - (kSpanMs - kAheadMs);
  const auto toPoint = [&](const QPointF& v) {
    const double x = area.left() + (v.x() - from) / kSpanMs * area.width();
    const double y = area.bottom() - std::clamp(v.y(), -0.2, 1.2) * area.height();
    return QPointF(x, y);
  };
  // The top and bottom of a breath, faintly.
  p.setPen(QPen(QColor(0xE0, 0xE0, 0xE0), 1, Qt::DashLine));
  p.drawLine(QPointF(area.left(), area.top()), QPointF(area.right(), area.top()));
  p.drawLine(QPointF(area.left(), area.bottom()), QPointF(area.right(), area.bottom()));
  const auto draw = [&](const QVector<QPointF>& curve, const QPen& pen) {
    if (curve.size() < 2) return;
    QPainterPath path(toPoint(curve.front()));
    for (int i = 1; i < curve.size(); ++i) path.lineTo(toPoint(curve[i]));
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  };
  draw(target_, QPen(kTargetColor, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  draw(live_, QPen(kLiveColor, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const double nowX = area.left() + (kSpanMs - kAheadMs) / kSpanMs * area.width();
  p.setPen(QPen(QColor(0xC0, 0x30, 0x30), 2));
  p.drawLine(QPointF(nowX, rect().top()), QPointF(nowX, rect().bottom()));
}

BreathShape::BreathShape(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

void BreathShape::setLevel(double level) {
  level = std::clamp(level, 0.0, 1.0);
  if (level == level_) return;
  level_ = level;
  update();
}

void BreathShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const double side = std::min(width(), height()) - 8.0;
  // From a third of the room to all of it.
  const double diameter = side * (0.35 + 0.65 * level_);
  const QRectF circle(QPointF(width() / 2.0 - diameter / 2, height() / 2.0 - diameter / 2),
                      QSizeF(diameter, diameter));
  p.setPen(QPen(kTargetColor.darker(130), 3));
  p.setBrush(kTargetColor.lighter(100 + int(40 * (1.0 - level_))));
  p.drawEllipse(circle);
}

}  // namespace kelvaro
