// Drawing of the live chart: the layout of plot, axes and legend, the cached background and
// the series lines. Shared by the screen, the printer and the vector export.
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "base/Formats.h"
#include "widgets/LiveChart.h"

namespace kelvaro {

using livegraph::Axis;
using livegraph::AxisTicks;
using livegraph::kLastPoint;
using livegraph::kSeriesCount;
using livegraph::kSeriesStyles;
using livegraph::PlotMapping;
using livegraph::ValueRange;

namespace {

// Margins in parts of the chart's height (top, bottom) and width (left, right).
constexpr double kTopMargin = 0.03;
constexpr double kSideMargin = 0.01;
constexpr double kTickLength = 4.0;
constexpr double kMinorTickLength = 2.0;
constexpr double kGap = 3.0;
constexpr double kLegendMarker = 22.0;
constexpr double kLegendSpacing = 18.0;
// Label spacing as a part of the label's extent.
constexpr double kBottomSeparation = 0.4;
constexpr double kLeftSeparation = 1.0;
constexpr double kRightSeparation = 1.0;

const QColor kGridColour(224, 224, 224);
const QColor kAxisColour(64, 64, 64);
const QColor kFrameColour(176, 176, 176);
const QColor kTextColour(32, 32, 32);

QColor seriesColour(int series) {
  const auto& s = kSeriesStyles[static_cast<std::size_t>(series)];
  return QColor(s.red, s.green, s.blue);
}

// A 1-pixel line lands on whole device pixels at any pixel ratio, so grid and axes stay sharp.
double crisp(double v, double scale) {
  const long width = std::max(1L, std::lround(scale));
  const double device = v * scale;
  if (width % 2 == 1) return (std::floor(device) + 0.5) / scale;
  return std::round(device) / scale;
}

// How many intervals fit on an axis `length` pixels long whose labels need `extent` pixels each
// plus `separation` times that as space between them.
int room(double length, double extent, double separation) {
  const double perLabel = std::max(1.0, extent * (1.0 + separation));
  return static_cast<int>(std::clamp(std::floor(length / perLabel), 1.0, 1000.0));
}

void labelAxis(const axes::Scale& scale, const QFontMetricsF& fm, std::vector<QString>& texts,
               AxisTicks& ticks, double& widest) {
  ticks = AxisTicks{scale.first, scale.step, scale.count};
  texts.clear();
  widest = 0.0;
  for (int i = 0; i < ticks.count; ++i) {
    texts.push_back(axes::tickLabel(ticks.value(i), ticks.step));
    widest = std::max(widest, fm.horizontalAdvance(texts.back()));
  }
}

}  // namespace

LiveChart::Layout LiveChart::computeLayout(const QSizeF& size) const {
  Layout l;
  l.size = size;
  const QFontMetricsF fm(labelFont_);
  const QFontMetricsF tfm(titleFont_);
  const double w = size.width();
  const double h = size.height();
  const double line = fm.height();
  const double titleLine = tfm.height();

  const double top = std::max(kTopMargin * h, line / 2 + 1);
  const double leftEdge = kSideMargin * w;
  const double rightEdge = w - kSideMargin * w;
  const double bottomEdge = h - kSideMargin * h;

  // The legend lists the shown series that belong in it, centred in rows below the plot.
  double legendHeight = 0.0;
  {
    std::vector<double> widths;
    // The further belts' lines follow the first belt's Force 1.
    for (int s = 0; s < kSeriesCount; ++s) {
      const auto& style = kSeriesStyles[static_cast<std::size_t>(s)];
      if (!style.inLegend || !model_.isSeriesVisible(s)) continue;
      l.legendEntries.push_back({s, -1, {}});
      if (s == livegraph::kForce1) {
        for (int i = 0; i < static_cast<int>(lines_.size()); ++i)
          l.legendEntries.push_back({s, i, {}});
      }
    }
    for (const LegendEntry& e : l.legendEntries)
      widths.push_back(kLegendMarker + kGap * 2 + fm.horizontalAdvance(legendText(e)));
    if (!l.legendEntries.empty()) {
      const double available = rightEdge - leftEdge;
      std::vector<std::pair<std::size_t, std::size_t>> rows;  // first entry, end
      double rowWidth = 0.0;
      std::size_t rowStart = 0;
      for (std::size_t i = 0; i < widths.size(); ++i) {
        const double add = widths[i] + (i == rowStart ? 0.0 : kLegendSpacing);
        if (i > rowStart && rowWidth + add > available) {
          rows.emplace_back(rowStart, i);
          rowStart = i;
          rowWidth = widths[i];
        } else {
          rowWidth += add;
        }
      }
      rows.emplace_back(rowStart, widths.size());
      const double rowHeight = line + 2;
      legendHeight = rows.size() * rowHeight + 2 * kGap;
      const double legendTop = bottomEdge - legendHeight;
      double widest = 0.0;
      for (const auto& [first, end] : rows) {
        double x = 0.0;
        for (std::size_t i = first; i < end; ++i)
          x += widths[i] + (i == first ? 0 : kLegendSpacing);
        widest = std::max(widest, x);
      }
      const double legendLeft = (w - widest) / 2;
      l.legend = QRectF(legendLeft - 2 * kGap, legendTop, widest + 4 * kGap, legendHeight);
      for (std::size_t r = 0; r < rows.size(); ++r) {
        double x = legendLeft;
        const double y = legendTop + kGap + r * rowHeight;
        for (std::size_t i = rows[r].first; i < rows[r].second; ++i) {
          l.legendEntries[i].area = QRectF(x, y, widths[i], rowHeight);
          x += widths[i] + kLegendSpacing;
        }
      }
    }
  }

  const double bottomAxisHeight = kTickLength + kGap + line + kGap + titleLine;
  const double plotBottom =
      bottomEdge - legendHeight - (legendHeight > 0 ? 2 * kGap : 0.0) - bottomAxisHeight;
  const double plotHeight = std::max(1.0, plotBottom - top);

  l.sourceLeft = layoutRange(Axis::Left);
  l.sourceRight = layoutRange(Axis::Right);
  l.sourceBottom = model_.bottomRange();
  l.leftFitted = model_.isFitted(Axis::Left);
  l.rightFitted = model_.isFitted(Axis::Right);
  l.labelLine = line;
  const axes::Scale leftScale = verticalScale(Axis::Left, plotHeight, line);
  const axes::Scale rightScale = verticalScale(Axis::Right, plotHeight, line);
  labelAxis(leftScale, fm, l.left.texts, l.left.ticks, l.left.widest);
  labelAxis(rightScale, fm, l.right.texts, l.right.ticks, l.right.widest);

  const double plotLeft = leftEdge + titleLine + kGap + l.left.widest + kGap + kTickLength;
  const double plotRight = rightEdge - (kTickLength + kGap + l.right.widest);
  const double plotWidth = std::max(1.0, plotRight - plotLeft);
  // The labels' width depends on the step's decimals: a first guess with whole numbers, and one
  // more try when the texts turn out wider.
  const ValueRange& b = l.sourceBottom;
  double bottomExtent = std::max(fm.horizontalAdvance(axes::tickLabel(b.minimum, 1.0)),
                                 fm.horizontalAdvance(axes::tickLabel(b.maximum, 1.0)));
  for (int attempt = 0; attempt < 2; ++attempt) {
    const axes::Scale bottomScale =
        axes::fixedScale(b.minimum, b.maximum, room(plotWidth, bottomExtent, kBottomSeparation));
    labelAxis(bottomScale, fm, l.bottom.texts, l.bottom.ticks, l.bottom.widest);
    if (l.bottom.widest <= bottomExtent) break;
    bottomExtent = l.bottom.widest;
  }

  l.mapping = model_.mapping(QRectF(plotLeft, top, plotWidth, plotHeight));
  l.mapping.left = ValueRange{leftScale.minimum, leftScale.maximum};
  l.mapping.right = ValueRange{rightScale.minimum, rightScale.maximum};
  l.bottomTitle =
      QRectF(plotLeft, plotBottom + kTickLength + kGap + line + kGap, plotWidth, titleLine);
  l.leftTitle = QRectF(leftEdge, top, titleLine, plotHeight);
  return l;
}

axes::Scale LiveChart::verticalScale(Axis axis, double length, double labelLine) const {
  const ValueRange r = layoutRange(axis);
  const int most = room(length, labelLine, axis == Axis::Left ? kLeftSeparation : kRightSeparation);
  return model_.isFitted(axis) ? axes::fittedScale(r.minimum, r.maximum, most)
                               : axes::fixedScale(r.minimum, r.maximum, most);
}

void LiveChart::drawBackground(QPainter& painter, const Layout& l) const {
  painter.save();
  const QTransform device = painter.deviceTransform();
  const double sx = std::hypot(device.m11(), device.m12());
  const double sy = std::hypot(device.m22(), device.m21());
  painter.fillRect(QRectF(QPointF(0, 0), l.size), Qt::white);

  const PlotMapping& m = l.mapping;
  const QRectF plot = m.plot;
  const double px0 = crisp(plot.left(), sx);
  const double px1 = crisp(plot.right(), sx);
  const double py0 = crisp(plot.top(), sy);
  const double py1 = crisp(plot.bottom(), sy);

  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen thin(kGridColour, 1.0);
  thin.setCapStyle(Qt::FlatCap);
  painter.setPen(thin);
  for (int i = 0; i < l.left.ticks.count; ++i) {
    const double y = crisp(m.yToPixel(Axis::Left, l.left.ticks.value(i)), sy);
    if (y > py0 + 0.5 && y < py1 - 0.5) painter.drawLine(QLineF(px0, y, px1, y));
  }
  for (int i = 0; i < l.bottom.ticks.count; ++i) {
    const double x = crisp(m.xToPixel(l.bottom.ticks.value(i)), sx);
    if (x > px0 + 0.5 && x < px1 - 0.5) painter.drawLine(QLineF(x, py0, x, py1));
  }

  painter.setPen(QPen(kFrameColour, 1.0));
  painter.drawLine(QLineF(px0, py0, px1, py0));
  QPen axisPen(kAxisColour, 1.0);
  axisPen.setCapStyle(Qt::SquareCap);
  painter.setPen(axisPen);
  painter.drawLine(QLineF(px0, py0, px0, py1));
  painter.drawLine(QLineF(px0, py1, px1, py1));
  painter.drawLine(QLineF(px1, py0, px1, py1));

  // Ticks, with one minor tick between labels on the bottom and left axes.
  axisPen.setCapStyle(Qt::FlatCap);
  painter.setPen(axisPen);
  for (int i = 0; i < l.bottom.ticks.count; ++i) {
    const double v = l.bottom.ticks.value(i);
    const double x = crisp(m.xToPixel(v), sx);
    painter.drawLine(QLineF(x, py1, x, py1 + kTickLength));
    const double minor = v + l.bottom.ticks.step / 2;
    if (minor <= m.bottom.maximum) {
      const double mx = crisp(m.xToPixel(minor), sx);
      painter.drawLine(QLineF(mx, py1, mx, py1 + kMinorTickLength));
    }
  }
  for (int i = 0; i < l.left.ticks.count; ++i) {
    const double v = l.left.ticks.value(i);
    const double y = crisp(m.yToPixel(Axis::Left, v), sy);
    painter.drawLine(QLineF(px0 - kTickLength, y, px0, y));
    const double minor = v + l.left.ticks.step / 2;
    if (minor <= m.left.maximum) {
      const double my = crisp(m.yToPixel(Axis::Left, minor), sy);
      painter.drawLine(QLineF(px0 - kMinorTickLength, my, px0, my));
    }
  }
  for (int i = 0; i < l.right.ticks.count; ++i) {
    const double y = crisp(m.yToPixel(Axis::Right, l.right.ticks.value(i)), sy);
    painter.drawLine(QLineF(px1, y, px1 + kTickLength, y));
  }

  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setFont(labelFont_);
  painter.setPen(kTextColour);
  const QFontMetricsF fm(labelFont_);
  const double line = fm.height();
  for (int i = 0; i < l.bottom.ticks.count; ++i) {
    const double x = m.xToPixel(l.bottom.ticks.value(i));
    const QString& t = l.bottom.texts[static_cast<std::size_t>(i)];
    const double tw = fm.horizontalAdvance(t);
    painter.drawText(QRectF(x - tw / 2 - 1, py1 + kTickLength + kGap, tw + 2, line),
                     Qt::AlignCenter, t);
  }
  for (int i = 0; i < l.left.ticks.count; ++i) {
    const double y = m.yToPixel(Axis::Left, l.left.ticks.value(i));
    const double right = px0 - kTickLength - kGap;
    painter.drawText(QRectF(right - l.left.widest - 1, y - line / 2, l.left.widest + 1, line),
                     Qt::AlignRight | Qt::AlignVCenter, l.left.texts[static_cast<std::size_t>(i)]);
  }
  for (int i = 0; i < l.right.ticks.count; ++i) {
    const double y = m.yToPixel(Axis::Right, l.right.ticks.value(i));
    painter.drawText(QRectF(px1 + kTickLength + kGap, y - line / 2, l.right.widest + 1, line),
                     Qt::AlignLeft | Qt::AlignVCenter, l.right.texts[static_cast<std::size_t>(i)]);
  }

  painter.setFont(titleFont_);
  painter.drawText(l.bottomTitle, Qt::AlignCenter, QStringLiteral("Samples"));
  painter.save();
  painter.translate(l.leftTitle.center());
  painter.rotate(-90);
  painter.drawText(QRectF(-l.leftTitle.height() / 2, -l.leftTitle.width() / 2, l.leftTitle.height(),
                          l.leftTitle.width()),
                   Qt::AlignCenter, QStringLiteral("[gram]"));
  painter.restore();

  if (!l.legendEntries.empty()) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kFrameColour, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(crisp(l.legend.left(), sx), crisp(l.legend.top(), sy),
                            std::round(l.legend.width()), std::round(l.legend.height())));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setFont(labelFont_);
    for (const LegendEntry& e : l.legendEntries) {
      const auto& style = kSeriesStyles[static_cast<std::size_t>(e.series)];
      QPen pen(legendColour(e), style.width);
      pen.setCapStyle(Qt::FlatCap);
      painter.setPen(pen);
      const double y = e.area.center().y();
      painter.drawLine(QLineF(e.area.left(), y, e.area.left() + kLegendMarker, y));
      painter.setPen(kTextColour);
      painter.drawText(QRectF(e.area.left() + kLegendMarker + kGap * 2, e.area.top(),
                              e.area.width() - kLegendMarker - kGap * 2, e.area.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, legendText(e));
    }
  }
  painter.restore();
}

void LiveChart::drawSeries(QPainter& painter, const PlotMapping& m, double fromX,
                           double toX) const {
  if (!model_.hasPoints()) return;
  const ValueRange& b = m.bottom;
  // The points whose segments can reach the x-interval.
  const double v0 = m.pixelToX(fromX - kStripPad);
  const double v1 = m.pixelToX(toX + kStripPad);
  const int first = std::clamp(static_cast<int>(std::floor(std::min(v0, v1))) - 1, 0, kLastPoint);
  const int last = std::clamp(static_cast<int>(std::ceil(std::max(v0, v1))) + 1, 0, kLastPoint);
  if (first >= last) return;

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  // Values beyond a vertical range are drawn beyond the plot; horizontally the plot ends the line.
  painter.setClipRect(QRectF(m.plot.left() - kStripPad, -1e6, m.plot.width() + 2 * kStripPad, 2e6),
                      Qt::IntersectClip);
  const double xScale = b.span() == 0.0 ? 0.0 : m.plot.width() / b.span();
  // Round caps close the bends between segments; they cost about twice flat or square caps
  // (measured), which keeps a strip well under a tenth of a millisecond.
  QPen pen;
  pen.setCapStyle(Qt::RoundCap);
  for (int s = 0; s < kSeriesCount; ++s) {
    if (!model_.isSeriesVisible(s)) continue;
    const auto& style = kSeriesStyles[static_cast<std::size_t>(s)];
    pen.setColor(seriesColour(s));
    pen.setWidthF(style.width);
    painter.setPen(pen);
    const auto& p = model_.points(s);
    // Segment by segment: much cheaper than one wide polyline with its joins.
    QPointF a(m.plot.left() + (first - b.minimum) * xScale,
              m.yToPixel(style.axis, p[static_cast<std::size_t>(first)]));
    for (int i = first + 1; i <= last; ++i) {
      const QPointF c(m.plot.left() + (i - b.minimum) * xScale,
                      m.yToPixel(style.axis, p[static_cast<std::size_t>(i)]));
      if (!model_.lineBrokenBefore(i)) painter.drawLine(a, c);
      a = c;
    }
  }
  drawLines(painter, m, first, last);
  drawBreathMarks(painter, m, first, last);
  painter.restore();
  drawMarkers(painter, m, fromX, toX);
}

QString LiveChart::legendText(const LegendEntry& e) const {
  QString text = QString::fromLatin1(kSeriesStyles[static_cast<std::size_t>(e.series)].title);
  if (e.series != livegraph::kForce1 || lines_.empty()) return text;
  const QString& name =
      e.line < 0 ? firstBeltName_ : beltLines_[static_cast<std::size_t>(e.line)].name;
  if (!name.isEmpty()) text += QLatin1Char(' ') + name;
  return text;
}

QColor LiveChart::legendColour(const LegendEntry& e) const {
  return e.line < 0 ? seriesColour(e.series) : beltLines_[static_cast<std::size_t>(e.line)].colour;
}

std::vector<LiveChart::LegendItem> LiveChart::legend() const {
  std::vector<LegendItem> items;
  for (const LegendEntry& e : layout().legendEntries)
    items.push_back({legendText(e), legendColour(e), e.area});
  return items;
}

// A thin line from the plot's top to its bottom, and the text at its top, right of the line.
void LiveChart::drawMarkers(QPainter& painter, const PlotMapping& m, double fromX,
                            double toX) const {
  const auto& markers = model_.markers();
  if (std::none_of(markers.begin(), markers.end(),
                   [](const livegraph::LiveGraphModel::Marker& k) { return k.slot >= 0; })) {
    return;
  }
  painter.save();
  painter.setClipRect(m.plot.adjusted(-1, -1, 1, 1), Qt::IntersectClip);
  QPen pen(kMarkerColour, 1.0);
  pen.setCosmetic(true);
  painter.setFont(labelFont_);
  const QFontMetrics metrics(labelFont_);
  for (const auto& marker : markers) {
    if (marker.slot < 0) continue;
    const double x = m.xToPixel(marker.slot);
    if (x + kMarkerTextWidth < fromX - kStripPad || x > toX + kStripPad) continue;
    painter.setPen(pen);
    painter.drawLine(QLineF(x, m.plot.top(), x, m.plot.bottom()));
    const QString text = marker.text.isEmpty() ? QStringLiteral("Marker") : marker.text;
    const QRectF area(x + 3, m.plot.top() + 2, kMarkerTextWidth - 3, metrics.height());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop,
                     metrics.elidedText(text, Qt::ElideRight, int(area.width())));
  }
  painter.restore();
}

// A small triangle above Force 1 where a breath peaked, pointing down at the point. The highest
// crest of an automatic axis lies on the plot's top edge, and the margin above it is narrower than
// a mark: there the mark goes below the point, pointing up, rather than off the chart's top.
void LiveChart::drawBreathMarks(QPainter& painter, const PlotMapping& m, int first,
                                int last) const {
  if (!model_.isSeriesVisible(livegraph::kForce1)) return;
  const auto& style = kSeriesStyles[static_cast<std::size_t>(livegraph::kForce1)];
  const auto& p = model_.points(livegraph::kForce1);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kBreathMarkColour);
  const double reach = kBreathMarkGap + 2 * kBreathMarkHalf;
  for (int i = first; i <= last; ++i) {
    if (!model_.breathMarked(i)) continue;
    const double x = m.xToPixel(i);
    const double point = m.yToPixel(style.axis, p[static_cast<std::size_t>(i)]);
    // The chart's top edge is at 0, on the screen as on a printed or exported picture.
    const double side = point - reach >= 0.0 ? -1.0 : 1.0;
    const double tip = point + side * kBreathMarkGap;
    const double base = point + side * reach;
    const QPointF triangle[] = {{x - kBreathMarkHalf, base}, {x + kBreathMarkHalf, base}, {x, tip}};
    painter.drawPolygon(triangle, 3);
  }
}

}  // namespace kelvaro
