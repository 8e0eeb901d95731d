#pragma once

#include <QPointF>
#include <QVector>
#include <QWidget>

namespace kelvaro {

// The breathing guide's wave: the target (how far the chest should be in, 0 to 1) and the live
// breathing scaled to the same 0 to 1, scrolling from right to left past a "now" line a little
// right of the middle, so the target ahead can be seen coming. Points are (milliseconds, level);
// no program logic.
class GuideWave : public QWidget {
  Q_OBJECT

 public:
  // The width of the picture in time, and how much of it lies ahead of now.
  static constexpr double kSpanMs = 24000.0;
  static constexpr double kAheadMs = 8000.0;

  explicit GuideWave(QWidget* parent = nullptr);

  // Takes the curves and the time of now; repaints.
  void setCurves(QVector<QPointF> target, QVector<QPointF> live, double nowMs);
  void clear();
  const QVector<QPointF>& target() const { return target_; }
  const QVector<QPointF>& live() const { return live_; }

  QSize sizeHint() const override { return {640, 220}; }
  QSize minimumSizeHint() const override { return {240, 120}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QVector<QPointF> target_, live_;
  double nowMs_ = 0.0;
};

// A large round shape that grows while breathing in and shrinks while breathing out: its size
// follows a level from 0 (smallest) to 1 (largest).
class BreathShape : public QWidget {
  Q_OBJECT

 public:
  explicit BreathShape(QWidget* parent = nullptr);
  void setLevel(double level);
  double level() const { return level_; }
  QSize sizeHint() const override { return {220, 220}; }
  QSize minimumSizeHint() const override { return {120, 120}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double level_ = 0.0;
};

}  // namespace kelvaro
