#include "widgets/LiveChart.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QLineF>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

#include "base/Errors.h"
#include "base/Formats.h"

namespace kelvaro {

using livegraph::Axis;
using livegraph::AxisTicks;
using livegraph::kLastPoint;
using livegraph::kSeriesCount;
using livegraph::kSeriesStyles;
using livegraph::PlotMapping;
using livegraph::ValueRange;

namespace {

// One screen frame: repaints requested within it are handed to Qt together.
constexpr int kFrameMilliseconds = 16;
// Strips closer than this are repainted as one.
constexpr int kMergeGap = 24;
// A drag shorter than this in either direction is a click, not a zoom.
constexpr int kMinimumZoomPixels = 8;

}  // namespace

LiveChart::LiveChart(QWidget* parent)
    : QWidget(parent),
      ownModel_(std::make_unique<livegraph::LiveGraphModel>()),
      model_(*ownModel_) {
  setUp();
}

LiveChart::LiveChart(livegraph::LiveGraphModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setUp();
}

LiveChart::~LiveChart() = default;

void LiveChart::setUp() {
  setObjectName(QStringLiteral("Chart1"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setCursor(Qt::CrossCursor);
  setMinimumSize(200, 150);
  frameTimer_.setSingleShot(true);
  connect(&frameTimer_, &QTimer::timeout, this, &LiveChart::frameTick);
  changeEvent(nullptr);
}

void LiveChart::createPoints() {
  model_.createPoints();
  invalidateAll();
}

void LiveChart::plotSample(double force1Grams, double force2Grams, double accelX, double accelY,
                           double accelZ) {
  model_.plotSample(force1Grams, force2Grams, accelX, accelY, accelZ);
  samplePlotted(model_.graphSlot());
}

void LiveChart::samplePlotted(int slot) {
  if (!checkRanges()) markSlotDirty(slot);
}

void LiveChart::clearLiveGraph() {
  model_.clearLiveGraph();
  invalidateAll();
}

void LiveChart::addMarker(const QString& text) {
  const int slot = model_.lastPlottedSlot();
  model_.addMarker(slot, text);
  const double x = layout().mapping.xToPixel(slot);
  markDirty(std::max(0, static_cast<int>(std::floor(x)) - kStripPad),
            std::min(width(), static_cast<int>(std::ceil(x)) + kMarkerTextWidth + kStripPad));
}

void LiveChart::setSeriesVisible(int series, bool visible) {
  model_.setSeriesVisible(series, visible);
  invalidateAll();
}

void LiveChart::setAutomatic(Axis axis, bool automatic) {
  model_.setAutomatic(axis, automatic);
  checkRanges();
}

void LiveChart::setAxisMaximum(Axis axis, double maximum) {
  if (auto refusal = model_.setMaximum(axis, maximum)) throw Error(refusal->toStdString());
  checkRanges();
}

void LiveChart::setAxisMinimum(Axis axis, double minimum) {
  if (auto refusal = model_.setMinimum(axis, minimum)) throw Error(refusal->toStdString());
  checkRanges();
}

void LiveChart::unzoom() {
  model_.unzoom();
  checkRanges();
}

PlotMapping LiveChart::mapping() const { return layout().mapping; }

const LiveChart::Layout& LiveChart::layout() const {
  if (!layoutValid_ || layout_.size != QSizeF(size())) {
    layout_ = computeLayout(QSizeF(size()));
    layoutValid_ = true;
  }
  return layout_;
}

bool LiveChart::checkRanges() {
  // Without a valid layout a full repaint is already pending (first showing, resize, font).
  if (!layoutValid_) return false;
  Layout& l = layout_;
  const ValueRange left = layoutRange(Axis::Left);
  const ValueRange right = layoutRange(Axis::Right);
  const bool leftFitted = model_.isFitted(Axis::Left);
  const bool rightFitted = model_.isFitted(Axis::Right);
  if (model_.bottomRange() == l.sourceBottom && leftFitted == l.leftFitted &&
      rightFitted == l.rightFitted) {
    if (left == l.sourceLeft && right == l.sourceRight) return false;
    // A fitted range that moved within its round ends keeps axes and labels as they are.
    const double length = l.mapping.plot.height();
    const axes::Scale ls = verticalScale(Axis::Left, length, l.labelLine);
    const axes::Scale rs = verticalScale(Axis::Right, length, l.labelLine);
    if (ValueRange{ls.minimum, ls.maximum} == l.mapping.left && ls.step == l.left.ticks.step &&
        ValueRange{rs.minimum, rs.maximum} == l.mapping.right && rs.step == l.right.ticks.step) {
      l.sourceLeft = left;
      l.sourceRight = right;
      return false;
    }
  }
  invalidateAll();
  return true;
}

AxisTicks LiveChart::ticks(Edge edge) const { return labelsOf(edge).ticks; }

QStringList LiveChart::labels(Edge edge) const {
  const std::vector<QString>& texts = labelsOf(edge).texts;
  return QStringList(texts.begin(), texts.end());
}

const LiveChart::AxisLabels& LiveChart::labelsOf(Edge edge) const {
  const Layout& l = layout();
  if (edge == Edge::Bottom) return l.bottom;
  return edge == Edge::Left ? l.left : l.right;
}

void LiveChart::invalidateAll() {
  // A model changed without a word is caught up with at the next full repaint.
  for (LineState& line : lines_) line.current = false;
  layoutValid_ = false;
  backgroundValid_ = false;
  fullDirty_ = true;
  spanCount_ = 0;
  startFrame();
}

void LiveChart::markSlotDirty(int slot) {
  const PlotMapping& m = layout().mapping;
  const double a = m.xToPixel(std::max(slot - 1, 0));
  const double b = m.xToPixel(std::min(slot + 1, kLastPoint));
  const int left = static_cast<int>(std::floor(std::min(a, b))) - kStripPad;
  const int right = static_cast<int>(std::ceil(std::max(a, b))) + kStripPad;
  if (right < 0 || left > width()) return;
  markDirty(std::max(left, 0), std::min(right, width()));
}

void LiveChart::markDirty(int left, int right) {
  if (fullDirty_) return;
  for (int i = 0; i < spanCount_; ++i) {
    Span& s = spans_[static_cast<std::size_t>(i)];
    if (left <= s.right + kMergeGap && right >= s.left - kMergeGap) {
      s.left = std::min(s.left, left);
      s.right = std::max(s.right, right);
      startFrame();
      return;
    }
  }
  if (spanCount_ < static_cast<int>(spans_.size())) {
    spans_[static_cast<std::size_t>(spanCount_++)] = Span{left, right};
  } else {
    Span& last = spans_.back();
    last.left = std::min(last.left, left);
    last.right = std::max(last.right, right);
  }
  startFrame();
}

void LiveChart::startFrame() {
  if (frameTimer_.isActive()) return;
  // A change a frame or more after the last repaint is shown at once, together with whatever
  // else the window updates for the same notification (at 20 samples a second, each one);
  // changes that follow within the frame wait for its end.
  const auto since = static_cast<std::int32_t>(clock_->tick() - lastFlush_);
  if (!flushed_ || since < 0 || since >= kFrameMilliseconds) {
    flushRepaint();
  } else {
    frameTimer_.start(kFrameMilliseconds - since);
  }
}

void LiveChart::frameTick() { flushRepaint(); }

void LiveChart::flushRepaint() {
  frameTimer_.stop();
  if (!fullDirty_ && spanCount_ == 0) return;
  if (fullDirty_) {
    update();
  } else {
    for (int i = 0; i < spanCount_; ++i) {
      const Span& s = spans_[static_cast<std::size_t>(i)];
      update(QRect(s.left, 0, s.right - s.left, height()));
    }
  }
  fullDirty_ = false;
  spanCount_ = 0;
  flushed_ = true;
  lastFlush_ = clock_->tick();
}

void LiveChart::render(QPainter& painter, const QSize& size) const {
  const Layout l = computeLayout(QSizeF(size));
  painter.save();
  painter.setClipRect(QRectF(QPointF(0, 0), QSizeF(size)), Qt::IntersectClip);
  drawBackground(painter, l);
  drawSeries(painter, l.mapping, 0, size.width());
  painter.restore();
}

void LiveChart::ensureBackground() {
  const double dpr = devicePixelRatioF();
  const Layout& l = layout();
  if (backgroundValid_ && background_.devicePixelRatio() == dpr &&
      background_.size() == (QSizeF(size()) * dpr).toSize()) {
    return;
  }
  background_ = QPixmap((QSizeF(size()) * dpr).toSize());
  background_.setDevicePixelRatio(dpr);
  background_.fill(Qt::white);
  QPainter p(&background_);
  drawBackground(p, l);
  backgroundValid_ = true;
}

void LiveChart::paintEvent(QPaintEvent* event) {
  ensureBackground();
  const Layout& l = layout();
  QPainter painter(this);
  for (const QRect& r : event->region()) {
    painter.drawPixmap(r, background_,
                       QRectF(QPointF(r.topLeft()) * background_.devicePixelRatio(),
                              QSizeF(r.size()) * background_.devicePixelRatio()));
    drawSeries(painter, l.mapping, r.left(), r.right() + 1);
  }
  if (banding_) drawBand(painter);
}

void LiveChart::drawBand(QPainter& painter) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen pen(QColor(40, 40, 40), 1.0, Qt::DashLine);
  painter.setPen(pen);
  painter.setBrush(QColor(60, 120, 220, 28));
  painter.drawRect(QRectF(bandStart_, bandEnd_).normalized().toRect());
  painter.restore();
}

QRect LiveChart::bandRect() const {
  return QRectF(bandStart_, bandEnd_).normalized().toAlignedRect().adjusted(-2, -2, 2, 2);
}

void LiveChart::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutValid_ = false;
  backgroundValid_ = false;
}

void LiveChart::changeEvent(QEvent* event) {
  if (event) QWidget::changeEvent(event);
  if (event && event->type() != QEvent::FontChange) return;
  // Fonts in pixels, so that a printer or picture painter draws them at the chart's proportions.
  labelFont_ = font();
  labelFont_.setPixelSize(std::max(8, QFontInfo(font()).pixelSize()));
  labelFont_.setBold(false);
  titleFont_ = labelFont_;
  titleFont_.setBold(true);
  layoutValid_ = false;
  backgroundValid_ = false;
  update();
}

void LiveChart::mousePressEvent(QMouseEvent* event) {
  const PlotMapping& m = layout().mapping;
  const QPointF pos = event->position();
  const livegraph::PressTexts t =
      model_.press(m.pixelToX(pos.x()), m.pixelToY(Axis::Left, pos.y()));
  emit pressed(t.timeDelta, t.forceDelta);
  if (event->button() == Qt::LeftButton) {
    banding_ = true;
    bandStart_ = bandEnd_ = pos;
  }
}

void LiveChart::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) {
    if (banding_) {
      const QRect before = bandRect();
      bandEnd_ = event->position();
      update(before.united(bandRect()));
    }
    return;
  }
  const PlotMapping& m = layout().mapping;
  const QPointF pos = event->position();
  const livegraph::MoveTexts t = model_.move(m.pixelToX(pos.x()), m.pixelToY(Axis::Left, pos.y()));
  emit moved(t.timeValue, t.forceValue, t.timeDelta, t.forceDelta);
}

void LiveChart::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !banding_) return;
  banding_ = false;
  bandEnd_ = event->position();
  update(bandRect());
  const QPointF d = bandEnd_ - bandStart_;
  if (d.x() > kMinimumZoomPixels && d.y() > kMinimumZoomPixels) {
    const PlotMapping& m = layout().mapping;
    const QRectF r = QRectF(bandStart_, bandEnd_).normalized();
    model_.zoom({m.pixelToX(r.left()), m.pixelToX(r.right())},
                {m.pixelToY(Axis::Left, r.bottom()), m.pixelToY(Axis::Left, r.top())},
                {m.pixelToY(Axis::Right, r.bottom()), m.pixelToY(Axis::Right, r.top())});
    checkRanges();
  } else if (d.x() < -kMinimumZoomPixels || d.y() < -kMinimumZoomPixels) {
    unzoom();
  }
}

}  // namespace kelvaro
