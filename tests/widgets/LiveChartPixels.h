#pragma once

#include <QBackingStore>
#include <QColor>
#include <QImage>
#include <QPaintDevice>
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

// The chart's backing store against a fresh render of the whole chart: the pixels that differ
// (-1 when the store is no image).
inline int differingFromFullRender(LiveChart& chart) {
  QPaintDevice* store = chart.backingStore()->paintDevice();
  if (store->devType() != QInternal::Image) return -1;
  const QImage onScreen = static_cast<QImage*>(store)->convertToFormat(QImage::Format_RGB32);
  QImage full(onScreen.size(), QImage::Format_RGB32);
  full.setDevicePixelRatio(onScreen.devicePixelRatio());
  {
    QPainter p(&full);
    chart.render(p, chart.size());
  }
  int differing = 0;
  for (int y = 0; y < full.height(); ++y) {
    for (int x = 0; x < full.width(); ++x) differing += full.pixel(x, y) != onScreen.pixel(x, y);
  }
  return differing;
}

}  // namespace kelvaro::charttest
