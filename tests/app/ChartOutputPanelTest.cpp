// "Print" and "WMF" on the live graph: the printed page's layout, a print into a PDF printer,
// the pictures by extension, SaveDialog1's questions, and what a missing printer or an
// unwritable file does.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <cmath>
#include <optional>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "app/pages/LiveGraphPage.h"
#include "app/pages/SpecSettingPage.h"
#include "app/panels/ChartOutputPanel.h"
#include "app/panels/ChartPicture.h"
#include "widgets/LiveChart.h"

// Failures name the strings and file lists they compare.
static void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace kelvaro {
namespace {

using livegraph::Axis;
using testing::onNextModal;

constexpr QSize kChartSize(800, 500);

// A PDF file in place of the desktop's printer; none at all when `available` is false.
class PdfPrinterSource final : public PrinterSource {
 public:
  QPrinter* defaultPrinter() override {
    const QCursor* cursor = QApplication::overrideCursor();
    cursorWhenAsked = cursor ? std::optional<Qt::CursorShape>(cursor->shape()) : std::nullopt;
    return available ? &printer : nullptr;
  }

  QPrinter printer{QPrinter::HighResolution};
  bool available = true;
  std::optional<Qt::CursorShape> cursorWhenAsked;
};

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A PDF's page size in points and its number of pages, from the uncompressed page objects.
QSizeF mediaBox(const QByteArray& pdf) {
  static const QRegularExpression box(
      QStringLiteral("/MediaBox \\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
  const auto m = box.match(QString::fromLatin1(pdf));
  return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}
int pageCount(const QByteArray& pdf) {
  static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?!s)"));
  return static_cast<int>(QString::fromLatin1(pdf).count(page));
}

// The format the file's bytes are, whatever its name says.
std::optional<PictureFormat> formatOfContent(const QByteArray& bytes) {
  if (bytes.startsWith("\x89PNG\r\n\x1a\n")) return PictureFormat::Png;
  if (bytes.startsWith("%PDF-")) return PictureFormat::Pdf;
  if (bytes.startsWith("<?xml") && bytes.contains("<svg")) return PictureFormat::Svg;
  return std::nullopt;
}

// Thickness in pixels of the first line below `fromY` in column `x` of a white-backed image.
int firstLineThickness(const QImage& image, int x, int fromY) {
  int y = fromY;
  while (y < image.height() && image.pixel(x, y) == qRgb(255, 255, 255)) ++y;
  const int start = y;
  while (y < image.height() && image.pixel(x, y) != qRgb(255, 255, 255)) ++y;
  return y - start;
}

class ChartOutputTest : public ::testing::Test {
 protected:
  ChartOutputTest()
      : panel(page, settings, chart, [this](const QString& text) { reports << text; }) {
    chart.resize(kChartSize);
    chart.createPoints();
    chart.setAxisMaximum(Axis::Left, 1000);
    chart.setAxisMinimum(Axis::Left, -1000);
    chart.setAxisMaximum(Axis::Right, 2000);
    chart.setAxisMinimum(Axis::Right, -2000);
    for (int i = 0; i <= livegraph::kLastPoint; ++i) {
      const double t = i / 40.0;
      chart.plotSample(400 * std::sin(t), 200 * std::cos(t), 800 * std::sin(t / 3), -300,
                       600 * std::cos(t / 2));
      chart.advanceSlot();
    }
    printers.printer.setOutputFormat(QPrinter::PdfFormat);
    printers.printer.setOutputFileName(path("print.pdf"));
    panel.setPrinterSource(&printers);
  }
  ~ChartOutputTest() override {
    // The pointer is the application's; a test that left it busy would spoil the next.
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  }

  QString path(const QString& name) const { return dir.filePath(name); }
  QStringList files() const {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
  }
  void saveAs(const QString& name, const QString& filter) {
    panel.setAskSavePath([this, name, filter](const QString&) {
      return ChartOutputPanel::SaveChoice{path(name), filter};
    });
    page.exportPictureButton->click();
  }

  QTemporaryDir dir;
  LiveGraphPage page;
  SpecSettingPage settings;
  LiveChart chart;
  PdfPrinterSource printers;
  QStringList reports;
  ChartOutputPanel panel;
};

TEST(ChartOutputLayoutTest, MarginsOfThePageAndALogicalAreaByTheResolution) {
  const struct {
    QRect page;
    QSize chart;
    int resolution;
    QRect target;
    QSize logical;
  } cases[] = {
      // 4 % of 10000 on the left, 2 % on the right, 3 % of 7000 at the top and bottom.
      {{0, 0, 10000, 7000}, {800, 500}, 0, {400, 210, 9400, 6580}, {800, 500}},
      {{0, 0, 10000, 7000}, {800, 500}, -50, {400, 210, 9400, 6580}, {1200, 750}},
      {{0, 0, 10000, 7000}, {800, 500}, 50, {400, 210, 9400, 6580}, {400, 250}},
      {{0, 0, 10000, 7000}, {800, 500}, 99, {400, 210, 9400, 6580}, {8, 5}},
      {{0, 0, 10000, 7000}, {800, 500}, -100, {400, 210, 9400, 6580}, {1600, 1000}},
      // Beyond the field's limits: 99 at most, and never an empty area.
      {{0, 0, 10000, 7000}, {800, 500}, 100, {400, 210, 9400, 6580}, {8, 5}},
      {{0, 0, 10000, 7000}, {50, 40}, 99, {400, 210, 9400, 6580}, {1, 1}},
      // A letter page at 300 dpi: 132, 77 (76.5 rounded up), 66 and 77.
      {{0, 0, 3300, 2550}, {1000, 600}, -25, {132, 77, 3102, 2396}, {1250, 750}},
      // A page whose printable area does not start at the origin.
      {{100, 50, 1000, 1000}, {640, 480}, 0, {140, 80, 940, 940}, {640, 480}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.resolution);
    const PrintLayout layout = printLayout(c.page, c.chart, c.resolution);
    EXPECT_EQ(layout.target, c.target);
    EXPECT_EQ(layout.logical, c.logical);
  }
}

// The printed chart covers the rectangle inside the margins and nothing else, and at -50 the
// same one-pixel frame line is two thirds as thick as at 0.
TEST_F(ChartOutputTest, ThePrintedChartFillsTheMarginsWithFinerLinesBelowZero) {
  const QRect page(0, 0, 4000, 2800);
  std::optional<int> thicknessAtZero;
  for (const int resolution : {0, -50}) {
    SCOPED_TRACE(resolution);
    QImage image(page.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      printChart(painter, page, chart, resolution);
    }
    const QRect target = printLayout(page, chart.size(), resolution).target;
    QRect painted;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (qAlpha(image.pixel(x, y)) != 0) painted |= QRect(x, y, 1, 1);
      }
    }
    EXPECT_EQ(painted, target);

    // The plot's top frame line, in the middle of the page.
    const int thickness = firstLineThickness(image, target.center().x(), target.top());
    EXPECT_GT(thickness, 1);
    if (!thicknessAtZero) {
      thicknessAtZero = thickness;
    } else {
      EXPECT_LT(thickness, *thicknessAtZero);
      EXPECT_NEAR(static_cast<double>(*thicknessAtZero) / thickness, 1.5, 0.35);
    }
  }
}

TEST_F(ChartOutputTest, PrintsOneLandscapePageTitledChart1AndRestoresTheOrientation) {
  const struct {
    int resolution;
    QPageLayout::Orientation before;
  } cases[] = {
      {0, QPageLayout::Portrait}, {-50, QPageLayout::Portrait}, {-50, QPageLayout::Landscape}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.resolution);
    QFile::remove(path("print.pdf"));
    settings.printResolutionSpin->setValue(c.resolution);
    printers.printer.setPageOrientation(c.before);

    page.printButton->click();

    EXPECT_TRUE(reports.isEmpty()) << reports.join(QLatin1Char('\n')).toStdString();
    const QByteArray pdf = contents(path("print.pdf"));
    ASSERT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_EQ(pageCount(pdf), 1);
    const QSizeF paper = mediaBox(pdf);
    EXPECT_GT(paper.width(), paper.height()) << "landscape";
    EXPECT_EQ(printers.printer.docName(), QStringLiteral("Chart1"));
    // The document information holds the title in UTF-16 with its byte-order mark.
    const QByteArray title = QByteArray(
        "\xfe\xff\0C\0h\0a\0r\0t\0"
        "1",
        14);
    EXPECT_TRUE(pdf.contains("/Title (" + title + ")")) << "job title";
    EXPECT_EQ(printers.printer.pageLayout().orientation(), c.before);
    EXPECT_EQ(printers.cursorWhenAsked, Qt::WaitCursor) << "busy while printing";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
}

TEST_F(ChartOutputTest, WithoutAPrinterTheMessageGoesToTheErrorReport) {
  printers.available = false;
  page.printButton->click();
  EXPECT_EQ(reports, QStringList{QStringLiteral("There is no default printer currently selected")});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(files().isEmpty());
}

TEST_F(ChartOutputTest, APrinterThatCannotStartIsReportedAndEverythingRestored) {
  const QString unreachable = path("no such folder/print.pdf");
  printers.printer.setOutputFileName(unreachable);
  printers.printer.setPageOrientation(QPageLayout::Portrait);

  page.printButton->click();

  ASSERT_EQ(reports.size(), 1);
  EXPECT_EQ(reports.first(), QStringLiteral("Printing failed: \"%1\" could not start the job")
                                 .arg(QDir::toNativeSeparators(unreachable)));
  EXPECT_NE(printers.printer.printerState(), QPrinter::Active);
  EXPECT_EQ(printers.printer.pageLayout().orientation(), QPageLayout::Portrait);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(files().isEmpty());
}

TEST_F(ChartOutputTest, ThePictureIsWhatItsExtensionSaysAtTheChartsSize) {
  const struct {
    const char* typed;
    int filter;  // in pictureFilters()
    const char* written;
    PictureFormat format;
  } cases[] = {
      {"chart.svg", 0, "chart.svg", PictureFormat::Svg},
      {"report", 1, "report.pdf", PictureFormat::Pdf},
      {"shot", 2, "shot.png", PictureFormat::Png},
      {"picture.PNG", 0, "picture.PNG", PictureFormat::Png},
      {"notes.txt", 1, "notes.txt.pdf", PictureFormat::Pdf},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    saveAs(QString::fromLatin1(c.typed), pictureFilters().at(c.filter));
    EXPECT_TRUE(reports.isEmpty()) << reports.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(files().contains(QString::fromLatin1(c.written)))
        << files().join(' ').toStdString();
    const QByteArray bytes = contents(path(QString::fromLatin1(c.written)));
    ASSERT_EQ(formatOfContent(bytes), c.format);
    switch (c.format) {
      case PictureFormat::Svg: {
        const QString header =
            QString::fromUtf8(bytes.left(bytes.indexOf('>', bytes.indexOf("<svg")) + 1));
        EXPECT_TRUE(header.contains(QStringLiteral(" width=\"800\" height=\"500\"")))
            << header.toStdString();
        EXPECT_TRUE(header.contains(QStringLiteral("viewBox=\"0 0 800 500\"")))
            << header.toStdString();
        break;
      }
      case PictureFormat::Pdf:
        // 800 x 500 CSS pixels of 3/4 point.
        EXPECT_EQ(mediaBox(bytes), QSizeF(600, 375));
        EXPECT_EQ(pageCount(bytes), 1);
        break;
      case PictureFormat::Png:
        EXPECT_EQ(QImage::fromData(bytes, "PNG").size(),
                  (QSizeF(kChartSize) * chart.devicePixelRatioF()).toSize());
        break;
    }
  }
  EXPECT_EQ(files().size(), static_cast<int>(std::size(cases))) << "no temporary files left";
}

TEST(ChartOutputNameTest, ANameWithoutAPictureExtensionGetsTheFiltersOne) {
  const QStringList& filters = pictureFilters();
  EXPECT_EQ(filters, (QStringList{QStringLiteral("SVG picture (*.svg)"),
                                  QStringLiteral("PDF document (*.pdf)"),
                                  QStringLiteral("PNG image (*.png)")}));
  const struct {
    const char* name;
    QString filter;
    const char* completed;
  } cases[] = {
      {"/tmp/a", filters[0], "/tmp/a.svg"},
      {"/tmp/a", filters[1], "/tmp/a.pdf"},
      {"/tmp/a", filters[2], "/tmp/a.png"},
      {"/tmp/a.Pdf", filters[2], "/tmp/a.Pdf"},
      {"/tmp/a.svg.bak", filters[2], "/tmp/a.svg.bak.png"},
      {"/tmp/v1.2/a", filters[1], "/tmp/v1.2/a.pdf"},
      {"/tmp/a", QString(), "/tmp/a.svg"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(completePictureName(QString::fromLatin1(c.name), c.filter),
              QString::fromLatin1(c.completed))
        << c.name << " " << c.filter.toStdString();
  }
}

TEST_F(ChartOutputTest, CancelWritesNothingAndTheNextDialogStartsWhereThePictureWent) {
  QStringList folders;
  panel.setAskSavePath([&](const QString& folder) -> std::optional<ChartOutputPanel::SaveChoice> {
    folders << folder;
    return std::nullopt;
  });
  page.exportPictureButton->click();
  EXPECT_TRUE(files().isEmpty());
  EXPECT_TRUE(reports.isEmpty());

  saveAs(QStringLiteral("first.svg"), pictureFilters().first());
  panel.setAskSavePath([&](const QString& folder) -> std::optional<ChartOutputPanel::SaveChoice> {
    folders << folder;
    return std::nullopt;
  });
  page.exportPictureButton->click();
  EXPECT_EQ(folders, (QStringList{QDir::currentPath(), QFileInfo(dir.path()).absoluteFilePath()}));
  EXPECT_EQ(files(), QStringList{QStringLiteral("first.svg")});
}

TEST_F(ChartOutputTest, AFileThatCannotBeCreatedIsReportedWithTheReasonAndNothingWritten) {
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.svg")));
  QFile plain(path("plain"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  for (const char* name : {"taken.svg", "plain/inside.svg"}) {
    SCOPED_TRACE(name);
    reports.clear();
    saveAs(QString::fromLatin1(name), pictureFilters().first());
    ASSERT_EQ(reports.size(), 1);
    const QString prefix = QStringLiteral("Cannot create file \"%1\". ")
                               .arg(QDir::toNativeSeparators(path(QString::fromLatin1(name))));
    EXPECT_TRUE(reports.first().startsWith(prefix)) << reports.first().toStdString();
    EXPECT_GT(reports.first().size(), prefix.size()) << "with the reason";
    EXPECT_EQ(files(), (QStringList{QStringLiteral("plain"), QStringLiteral("taken.svg")}));
    EXPECT_TRUE(QFileInfo(path("taken.svg")).isDir());
    EXPECT_EQ(QFileInfo(path("plain")).size(), 0);
  }
}

TEST_F(ChartOutputTest, SaveDialog1AsksBeforeOverwritingAndOffersThePictureFormats) {
  ChartSaveDialog dialog(nullptr, dir.path());
  EXPECT_EQ(dialog.objectName(), QStringLiteral("SaveDialog1"));
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_TRUE(dialog.isSizeGripEnabled());
  EXPECT_EQ(dialog.nameFilters(), pictureFilters());
  EXPECT_EQ(dialog.selectedNameFilter(), pictureFilters().first());
  EXPECT_EQ(dialog.selectedFiles(), QStringList{path("chart.svg")});
}

// What SaveDialog1 does with a typed name: the filter's extension is added before the overwrite
// question, a missing folder is refused, and an existing file is replaced only on "Yes".
TEST_F(ChartOutputTest, SaveDialog1CompletesTheNameAndQuestionsItBeforeAccepting) {
  QFile existing(path("chart.pdf"));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.close();
  const struct {
    QString typed;
    int filter;
    std::optional<QMessageBox::StandardButton> answer;  // to the question the dialog asks
    bool accepted;
  } cases[] = {
      {path("report"), 2, std::nullopt, true},
      {path("chart"), 1, QMessageBox::No, false},
      {path("chart"), 1, QMessageBox::Yes, true},
      {path("missing/report.svg"), 0, QMessageBox::Ok, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    ChartSaveDialog dialog(nullptr, dir.path());
    bool asked = false;
    bool stillOpen = false;
    onNextModal<ChartSaveDialog>([&](ChartSaveDialog* shown) {
      shown->selectNameFilter(pictureFilters().at(c.filter));
      shown->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(c.typed);
      if (c.answer) {
        onNextModal<QMessageBox>([&](QMessageBox* box) {
          asked = true;
          box->button(*c.answer)->click();
        });
      }
      shown->accept();
      stillOpen = shown->isVisible();
      if (stillOpen) shown->reject();
    });
    const int result = dialog.exec();
    EXPECT_EQ(asked, c.answer.has_value());
    EXPECT_EQ(stillOpen, !c.accepted);
    EXPECT_EQ(result == QDialog::Accepted, c.accepted);
    if (c.accepted) {
      EXPECT_EQ(dialog.selectedFiles(),
                QStringList{completePictureName(c.typed, pictureFilters().at(c.filter))});
    }
  }
  EXPECT_EQ(files(), QStringList{QStringLiteral("chart.pdf")}) << "the dialog writes nothing";
}

TEST_F(ChartOutputTest, WMFSavesThroughSaveDialog1) {
  onNextModal<ChartSaveDialog>([&](ChartSaveDialog* shown) {
    shown->selectNameFilter(pictureFilters().at(2));
    shown->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path("dialog"));
    shown->accept();
  });
  page.exportPictureButton->click();
  EXPECT_TRUE(reports.isEmpty());
  EXPECT_EQ(formatOfContent(contents(path("dialog.png"))), PictureFormat::Png);
}

}  // namespace
}  // namespace kelvaro
