#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSizeF>
#include <cstddef>

#include "measure/LiveGraphModel.h"
#include "widgets/LiveChart.h"

namespace kelvaro::charttest {

// A series' colour as the chart draws it.
inline QColor colourOf(int series) {
  const auto& s = livegraph::kSeriesStyles[static_cast<std::size_t>(series)];
  return QColor(s.red, s.green, s.blue);
}

// The chart rendered at a device pixel ratio onto black, as printing and export render it.
inline QImage renderAt(const LiveChart& c, double dpr) {
  QImage img((QSizeF(c.size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(dpr);
  img.fill(Qt::black);
  QPainter p(&img);
  c.render(p, c.size());
  return img;
}

}  // namespace kelvaro::charttest
