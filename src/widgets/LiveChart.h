#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/AxisScale.h"
#include "base/TickSource.h"
#include "measure/LiveGraphModel.h"

class QPainter;

namespace kelvaro {

// The live chart Chart1: a sweep display of LiveGraphModel. The axes, grid, labels and legend
// are drawn once into a cached picture; a plotted sample repaints only the narrow strip of pixels
// around the point it changed, and the strips of one screen frame are merged into one repaint,
// so that plotting hundreds of samples a second costs little. A change a frame or more after the
// last repaint is handed to Qt at once; the frame timer runs only while a repaint waits for the
// frame to end, so that a slow stream of samples wakes the program for nothing else. A change of a
// range, of the shown series or of the size repaints the whole chart once. render() draws the same
// picture onto any painter, for printing and export.
//
// Further belts streaming beside the first one each add a line: the Force 1 of their own model,
// in their own colour, on the left axis and over the first belt's series, while the first belt's
// Force 1 is shown. An automatic left axis fits their values too.
//
// Mouse: a press of any button starts a cursor measurement (pressed()); movement without the
// left button held reports the position and the distance from the press (moved()). Dragging
// with the left button draws a band; released to the right and down of its start it zooms into
// the band, released to the left or up it undoes the zoom. Nothing else changes while the left
// button is held.
class LiveChart : public QWidget {
  Q_OBJECT

 public:
  // A chart of the model the program's core keeps; the model must outlive the chart.
  explicit LiveChart(livegraph::LiveGraphModel& model, QWidget* parent = nullptr);
  // A chart with a model of its own (previews, tests).
  explicit LiveChart(QWidget* parent = nullptr);
  ~LiveChart() override;

  const livegraph::LiveGraphModel& model() const { return model_; }

  // A further belt's line. Its model must outlive the chart, or the next setBeltLines().
  struct BeltLine {
    const livegraph::LiveGraphModel* model = nullptr;
    QColor colour;
    QString name;  // its legend entry reads "Force 1 <name>"
  };
  // Replaces the further belts' lines (lines without a model are left out); none: the first
  // belt's chart alone.
  void setBeltLines(std::vector<BeltLine> lines);
  const std::vector<BeltLine>& beltLines() const { return beltLines_; }
  // The first belt's name in its Force 1 legend entry while further belts are drawn.
  void setFirstBeltName(const QString& name);
  // A further line's model changed at `slot`: repaints the strip around it together with the
  // frame's other strips (or the whole chart when the automatic left range moved). A line or slot
  // that does not exist is ignored.
  void beltPlotted(int line, int slot);
  // A further line's model changed as a whole (created, cleared): repaints the whole chart.
  void beltChanged(int line);

  // The window's first showing: 501 zero points per series.
  void createPoints();

  // The model's points at `slot` were overwritten: repaints the strip around them (or the whole
  // chart when an automatic range moved).
  void samplePlotted(int slot);
  // Writes the sample into the model and shows it, as the core's road does in two steps.
  void plotSample(double force1Grams, double force2Grams, double accelX, double accelY,
                  double accelZ);
  void advanceSlot() { model_.advanceSlot(); }
  void wrapSlot() { model_.wrapSlot(); }
  void resetSlot() { model_.resetSlot(); }
  int graphSlot() const { return model_.graphSlot(); }
  void clearLiveGraph();
  // A person's marker at the sample plotted last: a thin vertical line across the plot with the
  // text beside it, until the sweep writes that sample again.
  void addMarker(const QString& text);

  // The "Settings" page. A refused limit throws Error with the refusal message and leaves the
  // axis as it was.
  void setSeriesVisible(int series, bool visible);
  void setAutomatic(livegraph::Axis axis, bool automatic);
  void setAxisMaximum(livegraph::Axis axis, double maximum);
  void setAxisMinimum(livegraph::Axis axis, double minimum);
  void unzoom();

  // Draws the whole chart as displayed (shown series, ranges, zoom) into a logical area of
  // `size` on `painter`, whatever the painter's device and transform.
  void render(QPainter& painter, const QSize& size) const;

  // Pixel <-> value conversion for the chart at its current size.
  livegraph::PlotMapping mapping() const;

  // What an axis shows at the chart's current size: its labelled values and their texts. Its
  // range is mapping()'s: an automatic range widened to round ends, any other one as it is.
  enum class Edge { Bottom, Left, Right };
  livegraph::AxisTicks ticks(Edge edge) const;
  QStringList labels(Edge edge) const;

  // The legend's entries at the chart's current size, in their order: text, line colour and the
  // area the entry takes (its line marker at the left).
  struct LegendItem {
    QString text;
    QColor colour;
    QRectF area;
  };
  std::vector<LegendItem> legend() const;

  // Hands the repaints collected for the current frame to Qt now instead of at the frame tick.
  void flushRepaint();
  // Whether a repaint waits for the end of the frame (the frame timer is running).
  bool repaintWaiting() const { return frameTimer_.isActive(); }
  // The clock that frames are measured with (a steady clock unless set); must outlive the chart.
  void setFrameClock(const TickSource& clock) { clock_ = &clock; }

 signals:
  // Texts for timeDelta and forceDelta after a press.
  void pressed(const QString& edit7, const QString& edit8);
  // Texts for timeValue, forceValue, timeDelta and forceDelta after a movement without the left
  // button.
  void moved(const QString& editPosX, const QString& editPosY, const QString& edit7,
             const QString& edit8);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Half the widest line plus its round cap and antialiasing fringe.
  static constexpr int kStripPad = 4;
  // Breath marks: half their width (within the strip pad) and their gap above the point.
  static constexpr double kBreathMarkHalf = 3.5;
  static constexpr double kBreathMarkGap = 3.0;
  static inline const QColor kBreathMarkColour{0x1F, 0x4E, 0x9A};
  // Markers: their colour, and the room their text takes right of the line at most.
  static inline const QColor kMarkerColour{0xB0, 0x00, 0x20};
  static constexpr int kMarkerTextWidth = 160;

  struct AxisLabels {
    livegraph::AxisTicks ticks;
    std::vector<QString> texts;
    double widest = 0.0;
  };
  struct LegendEntry {
    int series = 0;
    int line = -1;  // a further belt's line, or -1: the first belt's series
    QRectF area;
  };
  // A further belt's line and the extremes of its Force 1's finite values, kept up to date as
  // points are written and found again from the model after the point of an extreme is
  // overwritten.
  struct LineState {
    const livegraph::LiveGraphModel* model = nullptr;
    mutable bool current = false;
    mutable int lowSlot = -1;  // -1: no finite value
    mutable int highSlot = -1;
    mutable double low = 0.0;
    mutable double high = 0.0;
  };
  struct Layout {
    QSizeF size;
    livegraph::PlotMapping mapping;
    AxisLabels bottom;
    AxisLabels left;
    AxisLabels right;
    // The model's ranges the layout was made from, and whether the vertical ones were fitted.
    livegraph::ValueRange sourceBottom;
    livegraph::ValueRange sourceLeft;
    livegraph::ValueRange sourceRight;
    bool leftFitted = false;
    bool rightFitted = false;
    double labelLine = 0.0;
    QRectF bottomTitle;
    QRectF leftTitle;
    QRectF legend;
    std::vector<LegendEntry> legendEntries;
  };
  // Logical x-intervals waiting to be repainted; full-height strips.
  struct Span {
    int left = 0;
    int right = 0;
  };

  void setUp();
  Layout computeLayout(const QSizeF& size) const;
  // The scale of a vertical axis `length` pixels long with labels `labelLine` high.
  axes::Scale verticalScale(livegraph::Axis axis, double length, double labelLine) const;
  const AxisLabels& labelsOf(Edge edge) const;
  // Whether the further lines are drawn: some exist and the first belt's Force 1 is shown.
  bool linesShown() const;
  // The range the chart lays out an axis for: the model's, and on a fitted left axis widened by
  // the further lines' values.
  livegraph::ValueRange layoutRange(livegraph::Axis axis) const;
  const LineState& currentExtremes(const LineState& line) const;
  static void noteWritten(LineState& line, int slot);
  QString legendText(const LegendEntry& entry) const;
  QColor legendColour(const LegendEntry& entry) const;
  void drawLines(QPainter& painter, const livegraph::PlotMapping& mapping, int first,
                 int last) const;
  void drawBackground(QPainter& painter, const Layout& layout) const;
  void drawSeries(QPainter& painter, const livegraph::PlotMapping& mapping, double fromX,
                  double toX) const;
  void drawBreathMarks(QPainter& painter, const livegraph::PlotMapping& mapping, int first,
                       int last) const;
  void drawMarkers(QPainter& painter, const livegraph::PlotMapping& mapping, double fromX,
                   double toX) const;
  void drawBand(QPainter& painter) const;

  const Layout& layout() const;
  void ensureBackground();
  // Compares the model's ranges with those the chart is laid out for; repaints all on a change.
  bool checkRanges();
  void invalidateAll();
  void markDirty(int left, int right);
  void markSlotDirty(int slot);
  void startFrame();
  void frameTick();
  QRect bandRect() const;

  std::unique_ptr<livegraph::LiveGraphModel> ownModel_;
  livegraph::LiveGraphModel& model_;
  std::vector<BeltLine> beltLines_;
  std::vector<LineState> lines_;
  QString firstBeltName_;
  QFont labelFont_;
  QFont titleFont_;
  mutable Layout layout_;
  mutable bool layoutValid_ = false;
  QPixmap background_;
  bool backgroundValid_ = false;

  std::array<Span, 4> spans_{};
  int spanCount_ = 0;
  bool fullDirty_ = false;
  QTimer frameTimer_;
  SteadyTickSource steadyClock_;
  const TickSource* clock_ = &steadyClock_;
  bool flushed_ = false;
  std::uint32_t lastFlush_ = 0;

  bool banding_ = false;
  QPointF bandStart_;
  QPointF bandEnd_;
};

}  // namespace kelvaro
