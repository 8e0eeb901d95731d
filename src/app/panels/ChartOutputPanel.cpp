#include "app/panels/ChartOutputPanel.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

#include "app/pages/LiveGraphPage.h"
#include "app/pages/SpecSettingPage.h"
#include "app/panels/ChartPicture.h"
#include "base/Errors.h"
#include "widgets/LiveChart.h"

namespace kelvaro {
namespace {

constexpr double kLeftMargin = 0.04;
constexpr double kTopMargin = 0.03;
constexpr double kRightMargin = 0.02;
constexpr double kBottomMargin = 0.03;

int percentOf(int length, double part) { return static_cast<int>(std::lround(length * part)); }

// The hourglass over the whole application for as long as it lives.
class BusyPointer {
 public:
  BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyPointer() { QApplication::restoreOverrideCursor(); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;
};

// Landscape for one job; the printer's own orientation again afterwards.
class LandscapeJob {
 public:
  explicit LandscapeJob(QPrinter& printer)
      : printer_(printer), previous_(printer.pageLayout().orientation()) {
    printer_.setPageOrientation(QPageLayout::Landscape);
  }
  ~LandscapeJob() { printer_.setPageOrientation(previous_); }
  LandscapeJob(const LandscapeJob&) = delete;
  LandscapeJob& operator=(const LandscapeJob&) = delete;

 private:
  QPrinter& printer_;
  QPageLayout::Orientation previous_;
};

QString printerLabel(const QPrinter& printer) {
  if (printer.outputFormat() == QPrinter::PdfFormat) {
    return QDir::toNativeSeparators(printer.outputFileName());
  }
  return printer.printerName();
}

}  // namespace

PrintLayout printLayout(const QRect& page, const QSize& chart, int resolution) {
  const int left = percentOf(page.width(), kLeftMargin);
  const int top = percentOf(page.height(), kTopMargin);
  const int right = percentOf(page.width(), kRightMargin);
  const int bottom = percentOf(page.height(), kBottomMargin);
  PrintLayout layout;
  layout.target = page.adjusted(left, top, -right, -bottom);
  // At 100 nothing would be left to draw in.
  const int scale = 100 - std::clamp(resolution, -100, 99);
  layout.logical = QSize(std::max(1, percentOf(chart.width(), scale / 100.0)),
                         std::max(1, percentOf(chart.height(), scale / 100.0)));
  return layout;
}

void printChart(QPainter& painter, const QRect& page, const LiveChart& chart, int resolution) {
  const PrintLayout layout = printLayout(page, chart.size(), resolution);
  painter.save();
  painter.setViewport(layout.target);
  painter.setWindow(QRect(QPoint(0, 0), layout.logical));
  chart.render(painter, layout.logical);
  painter.restore();
}

ChartSaveDialog::ChartSaveDialog(QWidget* parent, const QString& folder)
    : QFileDialog(parent, QStringLiteral("Save the chart as")) {
  setObjectName(QStringLiteral("SaveDialog1"));
  // Qt's own dialog, so that the folder check and the extension rule below hold on every
  // desktop; it confirms overwriting (DontConfirmOverwrite stays off) and has no read-only box.
  setOption(QFileDialog::DontUseNativeDialog, true);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setNameFilters(pictureFilters());
  selectNameFilter(pictureFilters().first());
  setDirectory(folder);
  selectFile(QStringLiteral("chart.svg"));
  setSizeGripEnabled(true);
}

void ChartSaveDialog::accept() {
  const QStringList files = selectedFiles();
  if (files.isEmpty() || QFileInfo(files.first()).isDir()) {
    QFileDialog::accept();  // an empty name does nothing; a folder's name opens it
    return;
  }
  const QString name = completePictureName(files.first(), selectedNameFilter());
  const QString folder = QFileInfo(name).absolutePath();
  if (!QFileInfo(folder).isDir()) {
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("The folder \"%1\" does not exist.").arg(QDir::toNativeSeparators(folder)));
    return;
  }
  if (name != files.first()) selectFile(name);
  QFileDialog::accept();
}

ChartOutputPanel::ChartOutputPanel(LiveGraphPage& page, const SpecSettingPage& settings,
                                   const LiveChart& chart, ReportError reportError, QObject* parent)
    : QObject(parent),
      page_(page),
      settings_(settings),
      chart_(chart),
      reportError_(std::move(reportError)),
      folder_(QDir::currentPath()) {
  connect(page_.printButton, &QPushButton::clicked, this, &ChartOutputPanel::printClicked);
  connect(page_.exportPictureButton, &QPushButton::clicked, this,
          &ChartOutputPanel::exportPictureClicked);
}

void ChartOutputPanel::printClicked() {
  // Runs to its end without handling events, as one action.
  const BusyPointer busy;
  QPrinter* printer = printers_->defaultPrinter();
  if (!printer) {
    reportError_(QStringLiteral("There is no default printer currently selected"));
    return;
  }
  const LandscapeJob landscape(*printer);
  printer->setDocName(QStringLiteral("Chart1"));
  QPainter painter;
  if (!painter.begin(printer)) {
    printer->abort();
    reportError_(QStringLiteral("Printing failed: \"%1\" could not start the job")
                     .arg(printerLabel(*printer)));
    return;
  }
  // The painter's origin is the printable area's corner; the margins are parts of that area.
  printChart(painter, QRect(0, 0, printer->width(), printer->height()), chart_,
             settings_.printResolutionSpin->value());
  if (!painter.end() || printer->printerState() == QPrinter::Error) {
    printer->abort();
    reportError_(QStringLiteral("Printing failed: \"%1\" could not finish the job")
                     .arg(printerLabel(*printer)));
  }
}

void ChartOutputPanel::exportPictureClicked() {
  const std::optional<SaveChoice> choice = ask_ ? ask_(folder_) : askWithDialog(folder_);
  if (!choice || choice->path.isEmpty()) return;
  const QString path = completePictureName(choice->path, choice->filter);
  try {
    writeChartPicture(chart_, path);
  } catch (const Error& error) {
    reportError_(QString::fromUtf8(error.what()));
    return;
  }
  folder_ = QFileInfo(path).absolutePath();
}

std::optional<ChartOutputPanel::SaveChoice> ChartOutputPanel::askWithDialog(
    const QString& folder) const {
  ChartSaveDialog dialog(page_.window(), folder);
  // Notifications go on meanwhile; the picture is the chart at the moment of confirming.
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return SaveChoice{dialog.selectedFiles().first(), dialog.selectedNameFilter()};
}

}  // namespace kelvaro
