#pragma once

#include <QFileDialog>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

#include "app/panels/PrinterSource.h"

class QPainter;

namespace kelvaro {

class LiveChart;

class LiveGraphPage;
class SpecSettingPage;

// Where the chart lands on a printed page of `page` (the printable area in device pixels): a
// rectangle inside margins of 4 % of the width on the left, 3 % of the height at the top, 2 % of
// the width on the right and 3 % of the height at the bottom, onto which a logical drawing area
// of the chart's on-screen size x (100 - resolution) / 100 is stretched, x and y apart. At 0 the
// screen's layout is enlarged to the page; below 0 the area is larger, so lines and texts are
// finer and relatively smaller; above 0 coarser. The resolution is taken within -100..99.
struct PrintLayout {
  QRect target;
  QSize logical;
};
PrintLayout printLayout(const QRect& page, const QSize& chart, int resolution);

// Draws the chart as displayed into `page` of the painter's device in that layout.
void printChart(QPainter& painter, const QRect& page, const LiveChart& chart, int resolution);

// SaveDialog1: asks before overwriting, wants an existing folder, can be resized, and offers the
// picture formats. A name typed without one of their extensions gets the chosen filter's before
// the overwrite question, so that the question is about the file that will be written.
class ChartSaveDialog final : public QFileDialog {
  Q_OBJECT

 public:
  explicit ChartSaveDialog(QWidget* parent, const QString& folder);

  void accept() override;
};

// "Print" and "WMF" on the "Standard" sub-page of "Live Graph": the live chart as displayed at
// that moment on the default printer, or saved as a picture (SVG, PDF or PNG).
class ChartOutputPanel final : public QObject {
  Q_OBJECT

 public:
  using ReportError = std::function<void(const QString&)>;
  struct SaveChoice {
    QString path;
    QString filter;
  };
  // Asks where to save, starting in `folder`; nothing on cancel.
  using AskSavePath = std::function<std::optional<SaveChoice>(const QString& folder)>;

  // The print resolution is SpinEdit14's value at the moment of printing.
  ChartOutputPanel(LiveGraphPage& page, const SpecSettingPage& settings, const LiveChart& chart,
                   ReportError reportError, QObject* parent = nullptr);

  // Where prints go instead of the system's default printer (null: back to it); not owned.
  void setPrinterSource(PrinterSource* printers) { printers_ = printers ? printers : &system_; }
  // What asks for the picture's name instead of SaveDialog1 (empty: back to it).
  void setAskSavePath(AskSavePath ask) { ask_ = std::move(ask); }

  // "Print": one landscape page titled "Chart1" with the busy pointer meanwhile; the printer's
  // orientation and the pointer are restored however the job ends; a failure is reported and
  // the job aborted.
  void printClicked();
  // "WMF": asks for a name, then writes the chart as it is at the moment the user confirms.
  void exportPictureClicked();

 private:
  std::optional<SaveChoice> askWithDialog(const QString& folder) const;

  LiveGraphPage& page_;
  const SpecSettingPage& settings_;
  const LiveChart& chart_;
  ReportError reportError_;
  SystemPrinterSource system_;
  PrinterSource* printers_ = &system_;
  AskSavePath ask_;
  QString folder_;  // where the last picture went; the dialog starts there
};

}  // namespace kelvaro
