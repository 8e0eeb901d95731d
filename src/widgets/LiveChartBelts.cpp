// The further belts' lines of the live chart: their models, the extremes of their Force 1 for the
// automatic left axis, and their drawing.
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <utility>

#include "widgets/LiveChart.h"

namespace kelvaro {

using livegraph::Axis;
using livegraph::kLastPoint;
using livegraph::kSeriesStyles;
using livegraph::PlotMapping;
using livegraph::ValueRange;

void LiveChart::setBeltLines(std::vector<BeltLine> lines) {
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [](const BeltLine& l) { return l.model == nullptr; }),
              lines.end());
  beltLines_ = std::move(lines);
  lines_.assign(beltLines_.size(), LineState{});
  for (std::size_t i = 0; i < beltLines_.size(); ++i) lines_[i].model = beltLines_[i].model;
  invalidateAll();
}

void LiveChart::setFirstBeltName(const QString& name) {
  if (name == firstBeltName_) return;
  firstBeltName_ = name;
  if (!lines_.empty()) invalidateAll();
}

void LiveChart::beltPlotted(int line, int slot) {
  if (line < 0 || line >= static_cast<int>(lines_.size()) || slot < 0 || slot > kLastPoint) return;
  noteWritten(lines_[static_cast<std::size_t>(line)], slot);
  if (!linesShown()) return;
  if (!checkRanges()) markSlotDirty(slot);
}

void LiveChart::beltChanged(int line) {
  if (line < 0 || line >= static_cast<int>(lines_.size())) return;
  lines_[static_cast<std::size_t>(line)].current = false;
  if (linesShown()) invalidateAll();
}

bool LiveChart::linesShown() const {
  return !lines_.empty() && model_.isSeriesVisible(livegraph::kForce1);
}

void LiveChart::noteWritten(LineState& line, int slot) {
  if (!line.current) return;
  if (slot == line.lowSlot || slot == line.highSlot) {
    // The extreme may be gone; the next read finds the extremes again.
    line.current = false;
    return;
  }
  const double v = line.model->value(livegraph::kForce1, slot);
  if (!std::isfinite(v)) return;
  if (line.lowSlot < 0) {
    line.low = line.high = v;
    line.lowSlot = line.highSlot = slot;
    return;
  }
  if (v < line.low) {
    line.low = v;
    line.lowSlot = slot;
  }
  if (v > line.high) {
    line.high = v;
    line.highSlot = slot;
  }
}

const LiveChart::LineState& LiveChart::currentExtremes(const LineState& line) const {
  if (line.current) return line;
  line.lowSlot = line.highSlot = -1;
  const livegraph::LiveGraphModel::Points& p = line.model->points(livegraph::kForce1);
  for (int i = 0; i <= kLastPoint; ++i) {
    const double v = p[static_cast<std::size_t>(i)];
    if (!std::isfinite(v)) continue;
    if (line.lowSlot < 0 || v < line.low) {
      line.low = v;
      line.lowSlot = i;
    }
    if (line.highSlot < 0 || v > line.high) {
      line.high = v;
      line.highSlot = i;
    }
  }
  line.current = true;
  return line;
}

ValueRange LiveChart::layoutRange(Axis axis) const {
  ValueRange r = model_.range(axis);
  if (axis != Axis::Left || !model_.isFitted(Axis::Left) || !linesShown()) return r;
  for (const LineState& line : lines_) {
    if (!line.model->hasPoints()) continue;
    const LineState& e = currentExtremes(line);
    if (e.lowSlot < 0) continue;
    r.minimum = std::min(r.minimum, e.low);
    r.maximum = std::max(r.maximum, e.high);
  }
  return r;
}

// The further belts' Force 1, over the first belt's series, each breaking where its own data
// stopped.
void LiveChart::drawLines(QPainter& painter, const PlotMapping& m, int first, int last) const {
  if (!linesShown()) return;
  const auto& style = kSeriesStyles[static_cast<std::size_t>(livegraph::kForce1)];
  QPen pen;
  pen.setCapStyle(Qt::RoundCap);
  pen.setWidthF(style.width);
  for (std::size_t k = 0; k < lines_.size(); ++k) {
    const livegraph::LiveGraphModel& model = *lines_[k].model;
    if (!model.hasPoints()) continue;
    pen.setColor(beltLines_[k].colour);
    painter.setPen(pen);
    const auto& p = model.points(livegraph::kForce1);
    QPointF a = m.toPixel(first, style.axis, p[static_cast<std::size_t>(first)]);
    for (int i = first + 1; i <= last; ++i) {
      const QPointF c = m.toPixel(i, style.axis, p[static_cast<std::size_t>(i)]);
      if (!model.lineBrokenBefore(i)) painter.drawLine(a, c);
      a = c;
    }
  }
}

}  // namespace kelvaro
