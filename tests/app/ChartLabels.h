#pragma once

#include <QAbstractAxis>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QStringList>
#include <algorithm>
#include <utility>
#include <vector>

namespace kelvaro::pagechecks {

// The tick texts a shown chart draws beside its plot for a vertical axis, bottom to top, read
// from the chart's scene as the chart widget laid them out (the axis title left out).
inline QStringList drawnLabels(QChartView& view, const QAbstractAxis& axis) {
  // The chart lays its axes out when the event loop hands it the layout request.
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
  const QRectF plot = view.chart()->plotArea();
  std::vector<std::pair<double, QString>> found;
  for (QGraphicsItem* item : view.scene()->items()) {
    auto* text = dynamic_cast<QGraphicsTextItem*>(item);
    if (!text || !text->isVisible()) continue;
    const QString t = text->toPlainText();
    if (t.isEmpty() || t == axis.titleText()) continue;
    const QRectF r = text->sceneBoundingRect();
    if (r.center().y() < plot.top() - r.height() || r.center().y() > plot.bottom() + r.height())
      continue;
    const bool onSide = axis.alignment() == Qt::AlignLeft ? r.right() <= plot.left() + 1
                                                          : r.left() >= plot.right() - 1;
    if (onSide) found.emplace_back(r.center().y(), t);
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  QStringList texts;
  for (const auto& f : found) texts << f.second;
  return texts;
}

}  // namespace kelvaro::pagechecks
